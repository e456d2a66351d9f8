// What the sound classes share inside the library.
#pragma once

#include "Zan/ZanCore.h"
#include "Zan/ZanSound.h"

#include <cstring>

/// Lets the silent device mix up to the platform clock; nothing on a real device.
void ZanSoundCatchUp();

/// Reads up to `bytes` of 16-bit little-endian signed samples from `file` into `out`, keeping
/// at most the first two channels of each frame. Returns the bytes written, 0 at the end of
/// the stream, or a negative vorbisfile error code. `bytes` must be at least one output frame.
long ZanOggRead(OggVorbis_File* file, char* out, long bytes);

/// The buffer already decoded from the file at `path` (its format in `format`), now with one
/// more user; 0 when there is none.
ALuint ZanSoundShareFind(const char* path, ALenum& format);
/// Shares a buffer just decoded from `path` (its first user is the caller); its `bytes` are
/// already taken from the media budget and are given back with the buffer.
void ZanSoundShareAdd(const char* path, ALuint buffer, ALenum format, size_t bytes);
/// One user fewer; the last deletes the buffer. Buffers never shared are deleted at once.
void ZanSoundShareRelease(ALuint buffer);

/// Refills the streams of the long whole-file sounds (CZanOgg) now loaded; the engine calls it
/// once a frame.
void ZanSoundUpdateStreams();
