// The datagrams of a network match, written with CPacket_Write and read with CPacket_Read.
// Every datagram carries the session token; the decoder checks every field against its bounds
// and takes no length from the data on trust.
#pragma once

#include "app/replay/ReplayFile.h"

#include <cstdint>
#include <string>

enum ENetKind
{
    NET_HELLO = 1,   ///< joiner to host: who I am
    NET_WELCOME = 2, ///< host to joiner: the match's start, or why not
    NET_INPUTS = 3,  ///< inputs from `first` on, the acknowledgement and the latest hash
    NET_BYE = 4,     ///< this side has left the match after `frame` frames
    NET_REMATCH = 5  ///< between matches: this side wants match `round`; from the host, with a
                     ///< seed, it starts
};

enum ENetRefusal
{
    REFUSE_NONE = 0,
    REFUSE_PROTOCOL = 1,
    REFUSE_BUILD = 2,
    REFUSE_DATA = 3
};

struct NetMessage
{
    enum
    {
        PROTOCOL = 3,
        MAX_INPUTS = 64, ///< inputs one datagram can repeat
        MAX_BYTES = 512
    };
    int kind = 0;
    uint64_t token = 0;
    // hello and welcome
    uint32_t protocol = PROTOCOL;
    uint64_t build = 0;
    uint64_t dataHash = 0;
    uint32_t refusal = REFUSE_NONE;
    uint32_t seed = 0;
    uint8_t delay = 0;   ///< input delay in frames, chosen by the host
    uint32_t sentMs = 0; ///< the sender's clock, echoed to measure the round trip
    uint32_t echoMs = 0;
    uint32_t heldMs = 0; ///< how long the sender held `echoMs` before answering
    uint8_t level = 0;   ///< the level the host chose (0 from a joiner)
    // inputs
    uint32_t first = 0; ///< frame of inputs[0]
    uint8_t count = 0;
    uint8_t inputs[MAX_INPUTS] = {};
    uint32_t ack = 0;       ///< frames of the peer's inputs received without a gap
    uint32_t hashFrame = 0; ///< 0: no hash
    uint64_t hash = 0;
    // bye
    uint32_t frame = 0; ///< frames the leaving side simulated; the peer plays up to there
    // inputs, bye and rematch: which match of the session (counted modulo 256), so a late
    // datagram of the last match never feeds the next
    uint8_t round = 0;
    uint8_t agree = 0; ///< rematch: 1 when this side's player wants the next match
};

/// The datagram's bytes (at most NetMessage::MAX_BYTES).
std::string EncodeNetMessage(const NetMessage& m);
/// False for anything that is not a well-formed datagram of this protocol.
bool DecodeNetMessage(const void* bytes, size_t size, NetMessage* m);
