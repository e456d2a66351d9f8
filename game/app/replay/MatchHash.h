// Fingerprints of a match: its state, the data files it reads and the program that plays it.
#pragma once

#include <cstdint>
#include <string>

class CLevel;

/// Everything a player could see change: positions, speeds and states of every actor and
/// balloon, scores, lives, the countdown, the level state and the hour.
uint64_t MatchStateHash(const CLevel& level);
/// The files in `folder` that shape a match (maps, resources, settings; not the window
/// settings), by name and content.
uint64_t MatchDataHash(const std::string& folder = ".");
/// Changes with the compiler, its version and every flag that changes the floats.
uint64_t BuildFingerprint();
/// 16 hexadecimal digits.
std::string HashText(uint64_t hash);
