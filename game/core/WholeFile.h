// Small files of the player's own (scores, progress) read and replaced whole.
#pragma once

#include <cstddef>
#include <string>

/// Reads a regular file of at most `cap` bytes without following a link or blocking on a
/// pipe; false for anything else.
bool ReadRegularFile(const std::string& path, size_t cap, std::string* text);

/// Replaces `path` with `text`: a new file beside it, flushed to disk, renamed over the old
/// one, so a crash leaves either the old file or the new one. False when that fails (the old
/// file is then untouched).
bool ReplaceWholeFile(const std::string& path, const std::string& text);
