// A match kept as a file: its start and every frame's step length and inputs, with the state
// hash recorded every 60 frames. Encoding and decoding are pure; the decoder takes any bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// What a match starts from: the same start and the same frames give the same match.
struct MatchStart
{
    uint64_t build = 0;    ///< the program's build fingerprint
    uint64_t dataHash = 0; ///< the data files the match reads
    uint32_t seed = 1;     ///< the engine's random generator at the start
    uint8_t players = 1;   ///< birds in the match (1 or 2)
    uint8_t level = 1;
    uint8_t network = 0; ///< 1: played over the network
};

/// One simulation step: its length and each bird's input bits.
struct MatchFrame
{
    uint32_t stepMicros;
    uint8_t input[2];
};

enum EMatchInput
{
    INPUT_LEFT = 1,
    INPUT_RIGHT = 2,
    INPUT_FLAP = 4, ///< pressed during this frame
    INPUT_ALL = 7
};

struct FrameHash
{
    uint32_t frame; ///< frames played when it was taken (a multiple of HASH_EVERY)
    uint64_t hash;
};

struct Replay
{
    enum
    {
        HASH_EVERY = 60,
        MAX_FRAMES = 4 * 60 * 60 * 60, ///< four hours at 240 frames a second
        MAX_STEP_MICROS = 250000,
        MAX_BYTES = 64 * 1024 * 1024
    };
    MatchStart start;
    std::vector<MatchFrame> frames;
    std::vector<FrameHash> hashes;
};

/// The file's bytes.
std::string EncodeReplay(const Replay& replay);
/// Reads a replay from bytes; on refusal returns false with the reason in `error`.
bool DecodeReplay(const std::string& bytes, Replay* replay, std::string* error);

/// Reads a replay file: only a regular file, at most Replay::MAX_BYTES.
bool LoadReplay(const std::string& path, Replay* replay, std::string* error);
/// Writes `folder`/last.skyreplay atomically (beside, flushed, renamed) and a copy named by
/// `stamp`; keeps the newest `keep` stamped copies. False when the folder cannot be written.
bool SaveReplay(const Replay& replay, const std::string& folder, const std::string& stamp,
                unsigned keep = 20);
