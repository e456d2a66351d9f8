// UTF8ToANSI: resource and map files are UTF-8, the engine's names are GBK.
#include "Zan/ZanResource.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace
{
const int kMaxUnits = 100; // UTF-16 units, terminator included
const int kMaxBytes = 100; // GBK bytes, terminator included

// Length of the well-formed UTF-8 sequence at `p` and its UTF-16 unit count; 0 when the
// bytes are not well-formed (overlong forms, surrogates and values past U+10FFFF included).
int DecodeOne(const unsigned char* p, int* units)
{
    const unsigned char c = p[0];
    if (c < 0x80)
    {
        *units = 1;
        return 1;
    }
    int len;
    unsigned int cp;
    if (c >= 0xC2 && c <= 0xDF)
    {
        len = 2;
        cp = c & 0x1F;
    }
    else if (c >= 0xE0 && c <= 0xEF)
    {
        len = 3;
        cp = c & 0x0F;
    }
    else if (c >= 0xF0 && c <= 0xF4)
    {
        len = 4;
        cp = c & 0x07;
    }
    else
        return 0;
    for (int i = 1; i < len; ++i)
    {
        if ((p[i] & 0xC0) != 0x80) // also stops at the terminator
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    *units = cp >= 0x10000 ? 2 : 1;
    return len;
}

iconv_t GbkConverter()
{
    static iconv_t s_cd = iconv_open("GBK", "UTF-8");
    return s_cd;
}
} // namespace

int UTF8ToANSI(const char* utf8, char* out)
{
    if (!utf8 || !out)
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    int units = 1;
    size_t inLen = 0;
    while (p[inLen])
    {
        int n = 0;
        const int len = DecodeOne(p + inLen, &n);
        if (len == 0)
            return 0;
        units += n;
        if (units > kMaxUnits)
            return 0;
        inLen += size_t(len);
    }

    iconv_t cd = GbkConverter();
    if (cd == iconv_t(-1))
        return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[kMaxBytes];
    char* in = const_cast<char*>(utf8);
    size_t inLeft = inLen;
    char* dst = buffer;
    size_t dstLeft = kMaxBytes - 1;
    while (inLeft > 0)
    {
        if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno != EILSEQ)
            return 0; // too long for the buffer
        // A character GBK lacks: one '?' for the whole sequence.
        if (dstLeft == 0)
            return 0;
        *dst++ = '?';
        --dstLeft;
        int n = 0;
        const int len = DecodeOne(reinterpret_cast<unsigned char*>(in), &n);
        in += len;
        inLeft -= size_t(len);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    *dst++ = '\0';
    const int written = int(dst - buffer);
    std::memcpy(out, buffer, size_t(written));
    return written;
}
