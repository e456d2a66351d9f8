// The real Skyfloat game class played headless on the virtual clock, shared by the tools that
// drive it (the long-run driver, the screenshot tool, the menu benchmark).
#pragma once

#include <string>

namespace headless
{
/// Links every entry of `data` (but `skip`, when given) into a fresh folder made from the
/// mkdtemp pattern `dir`, which receives its name, and enters it: the run log and anything
/// else the game writes stays out of the data.
bool EnterCopyOf(const std::string& data, char* dir, const char* skip = nullptr);
/// Removes such a folder and what the game wrote in it (links are removed, not followed).
void RemoveCopy(const char* dir);

/// The last presented headless frame as a binary PPM file.
bool WriteFramePpm(const std::string& path);

/// Builds the engine, physics world, resource manager and game as the program does, runs the
/// game until it quits with `onFrame` called on every pass, and releases it all. True when it
/// started and ran.
bool PlaySkyfloat(void (*onFrame)(void*));
} // namespace headless
