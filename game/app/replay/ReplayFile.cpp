#include "app/replay/ReplayFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace
{
const char kMagic[8] = {'S', 'K', 'Y', 'R', 'P', 'L', 'Y', '\x1a'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeader = 8 + 4 + 8 + 8 + 4 + 4 + 4 + 4; // magic .. hash count
constexpr size_t kFrameBytes = 6;
constexpr size_t kHashBytes = 12;
constexpr size_t kTrailer = 8;

uint64_t Fnv(const char* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i)
    {
        h ^= uint8_t(p[i]);
        h *= 1099511628211ull;
    }
    return h;
}

void Put(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((v >> (8 * i)) & 0xff));
}

uint64_t Get(const std::string& in, size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint64_t(uint8_t(in[at + size_t(i)])) << (8 * i);
    return v;
}

bool Refuse(std::string* error, const char* why)
{
    if (error)
        *error = why;
    return false;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Written beside the target, flushed to disk and renamed over it: a reader sees the old file
// or the new one, never half of one.
bool WriteAtomically(const std::string& path, const std::string& bytes)
{
    const std::string temp = path + ".part";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0)
    {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void KeepNewest(const std::string& folder, unsigned keep)
{
    std::vector<std::string> stamped;
    if (DIR* d = opendir(folder.c_str()))
    {
        while (dirent* e = readdir(d))
        {
            const std::string name = e->d_name;
            if (name.rfind("match-", 0) == 0 && name.size() > 10 &&
                name.compare(name.size() - 10, 10, ".skyreplay") == 0)
                stamped.push_back(name);
        }
        closedir(d);
    }
    // Stamps sort as times do.
    std::sort(stamped.begin(), stamped.end());
    for (size_t i = 0; i + keep < stamped.size(); ++i)
        unlink((folder + "/" + stamped[i]).c_str());
}
} // namespace

std::string EncodeReplay(const Replay& replay)
{
    std::string out(kMagic, sizeof kMagic);
    Put(out, kVersion, 4);
    Put(out, replay.start.build, 8);
    Put(out, replay.start.dataHash, 8);
    Put(out, replay.start.seed, 4);
    Put(out, replay.start.players, 1);
    Put(out, replay.start.level, 1);
    Put(out, replay.start.network, 1);
    Put(out, 0, 1);
    Put(out, replay.frames.size(), 4);
    Put(out, replay.hashes.size(), 4);
    for (const MatchFrame& f : replay.frames)
    {
        Put(out, f.stepMicros, 4);
        Put(out, f.input[0], 1);
        Put(out, f.input[1], 1);
    }
    for (const FrameHash& h : replay.hashes)
    {
        Put(out, h.frame, 4);
        Put(out, h.hash, 8);
    }
    Put(out, Fnv(out.data(), out.size()), 8);
    return out;
}

bool DecodeReplay(const std::string& in, Replay* replay, std::string* error)
{
    if (in.size() < kHeader + kTrailer || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0)
        return Refuse(error, "not a Skyfloat replay");
    if (Get(in, 8, 4) != kVersion)
        return Refuse(error, "a replay of another version of the format");
    if (in.size() > Replay::MAX_BYTES)
        return Refuse(error, "larger than any replay");
    const size_t body = in.size() - kTrailer;
    if (Fnv(in.data(), body) != Get(in, body, 8))
        return Refuse(error, "damaged (checksum differs)");
    Replay r;
    r.start.build = Get(in, 12, 8);
    r.start.dataHash = Get(in, 20, 8);
    r.start.seed = uint32_t(Get(in, 28, 4));
    r.start.players = uint8_t(Get(in, 32, 1));
    r.start.level = uint8_t(Get(in, 33, 1));
    r.start.network = uint8_t(Get(in, 34, 1));
    const uint64_t frames = Get(in, 36, 4);
    const uint64_t hashes = Get(in, 40, 4);
    if (r.start.players < 1 || r.start.players > 2 || r.start.level < 1 || r.start.network > 1)
        return Refuse(error, "damaged (impossible start)");
    if (frames > Replay::MAX_FRAMES || hashes > frames / Replay::HASH_EVERY)
        return Refuse(error, "damaged (impossible counts)");
    if (kHeader + frames * kFrameBytes + hashes * kHashBytes != body)
        return Refuse(error, "damaged (length differs from its counts)");
    size_t at = kHeader;
    r.frames.resize(size_t(frames));
    for (MatchFrame& f : r.frames)
    {
        f.stepMicros = uint32_t(Get(in, at, 4));
        f.input[0] = uint8_t(Get(in, at + 4, 1));
        f.input[1] = uint8_t(Get(in, at + 5, 1));
        at += kFrameBytes;
        if (f.stepMicros == 0 || f.stepMicros > Replay::MAX_STEP_MICROS ||
            (f.input[0] | f.input[1]) & ~INPUT_ALL)
            return Refuse(error, "damaged (impossible frame)");
    }
    r.hashes.resize(size_t(hashes));
    uint32_t last = 0;
    for (FrameHash& h : r.hashes)
    {
        h.frame = uint32_t(Get(in, at, 4));
        h.hash = Get(in, at + 4, 8);
        at += kHashBytes;
        if (h.frame <= last || h.frame % Replay::HASH_EVERY != 0 || h.frame > frames)
            return Refuse(error, "damaged (impossible hash frame)");
        last = h.frame;
    }
    *replay = std::move(r);
    return true;
}

bool LoadReplay(const std::string& path, Replay* replay, std::string* error)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Refuse(error, "cannot be opened");
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        close(fd);
        return Refuse(error, "not a regular file");
    }
    std::string bytes;
    char buffer[65536];
    for (;;)
    {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, size_t(n));
        if (bytes.size() > Replay::MAX_BYTES)
            break;
    }
    close(fd);
    return DecodeReplay(bytes, replay, error);
}

bool SaveReplay(const Replay& replay, const std::string& folder, const std::string& stamp,
                unsigned keep)
{
    mkdir(folder.c_str(), 0755);
    const std::string bytes = EncodeReplay(replay);
    if (!WriteAtomically(folder + "/last.skyreplay", bytes))
        return false;
    const bool copied = WriteAtomically(folder + "/match-" + stamp + ".skyreplay", bytes);
    KeepNewest(folder, keep);
    return copied;
}
