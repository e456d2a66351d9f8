#include "app/replay/MatchHash.h"

#include "actors/Bird.h"
#include "actors/Monster.h"
#include "scenes/Level.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#ifndef ZAN_BUILD_FLAGS
#define ZAN_BUILD_FLAGS "unknown"
#endif

namespace
{
struct Hasher
{
    uint64_t h = 1469598103934665603ull;
    void Bytes(const void* p, size_t n)
    {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i)
        {
            h ^= b[i];
            h *= 1099511628211ull;
        }
    }
    void Add(uint32_t v)
    {
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16),
                                    uint8_t(v >> 24)};
        Bytes(b, 4);
    }
    void Add(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Add(bits);
    }
    void Add(int v) { Add(uint32_t(v)); }
    void Add(const CZanObject& o)
    {
        Add(o.GetPos().x);
        Add(o.GetPos().y);
        Add(o.GetVelocity().x);
        Add(o.GetVelocity().y);
        Add(o.GetRot());
    }
    void Add(const char* text) { Bytes(text, std::strlen(text) + 1); }
};

bool ShapesMatch(const std::string& name)
{
    auto ends = [&](const char* tail)
    {
        const size_t n = std::strlen(tail);
        return name.size() > n && name.compare(name.size() - n, n, tail) == 0;
    };
    // The window settings and a single player's progress differ between two players' folders
    // without changing a match.
    return (ends(".xml") || ends(".cfg")) && name != "Autoexec.cfg" && name != "progress.cfg";
}
} // namespace

uint64_t MatchStateHash(const CLevel& level)
{
    Hasher h;
    h.Add(level.GetState());
    h.Add(level.GetRemaining());
    h.Add(const_cast<CLevel&>(level).GetHour());
    for (int i = 0; i < level.GetBirdCount(); ++i)
    {
        const CBird* bird = level.GetBird(i);
        h.Add(*bird);
        h.Add(bird->GetState());
        h.Add(bird->GetScore());
        h.Add(bird->GetLives());
        h.Add(bird->GetLostBalloon());
        for (int b = 0; b < CBird::BALLOONS; ++b)
            h.Add(*bird->GetBalloon(b));
    }
    for (int i = 0; i < level.GetMonsterCount(); ++i)
    {
        const CMonster* monster = level.GetMonster(i);
        h.Add(*monster);
        h.Add(monster->GetState());
        h.Add(monster->GetTarget().x);
        h.Add(monster->GetTarget().y);
        h.Add(*monster->GetBalloon());
    }
    return h.h;
}

uint64_t MatchDataHash(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str()))
    {
        while (dirent* e = readdir(d))
            if (ShapesMatch(e->d_name))
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    Hasher h;
    for (const std::string& name : names)
    {
        const int fd = open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        {
            h.Add(name.c_str());
            char buffer[16384];
            size_t total = 0;
            ssize_t n;
            // Data files are small; a huge one counts by its first 16 MB.
            while (total < (16u << 20) && (n = read(fd, buffer, sizeof buffer)) > 0)
            {
                h.Bytes(buffer, size_t(n));
                total += size_t(n);
            }
        }
        close(fd);
    }
    return h.h;
}

uint64_t BuildFingerprint()
{
    Hasher h;
    h.Add(ZAN_BUILD_FLAGS);
    h.Add(__VERSION__);
#ifdef __OPTIMIZE__
    h.Add("optimize");
#endif
#ifdef __FAST_MATH__
    h.Add("fast-math");
#endif
#ifdef __FP_FAST_FMA
    h.Add("fma");
#endif
#ifdef __AVX__
    h.Add("avx");
#endif
    h.Add(uint32_t(__FLT_EVAL_METHOD__));
    return h.h;
}

std::string HashText(uint64_t hash)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
