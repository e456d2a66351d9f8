// Image files decoded to RGBA: PNG through libpng, JPEG through libjpeg-turbo, BMP and TGA
// through stb_image. Every format is recognised by its first bytes and its header checked
// against the size caps before any pixel is decoded; anything else is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ZanImageKind
{
    Unknown,
    Png,
    Jpeg,
    Bmp,
    Tga
};

struct ZanImageHeader
{
    ZanImageKind kind = ZanImageKind::Unknown;
    int width = 0, height = 0;
    int components = 0; // 1 grey, 2 grey and alpha, 3 colour, 4 colour and alpha
};

constexpr size_t kZanImageMaxFileBytes = size_t(64) << 20;
constexpr int kZanImageMaxSide = 16384;
constexpr int64_t kZanImageMaxPixels = int64_t(1) << 24; // 4096 x 4096

/// True when the bytes are an image of a known kind whose size is within the caps.
bool ZanImageReadHeader(const uint8_t* data, size_t size, ZanImageHeader& header);
/// Decodes the whole image as RGBA bytes, row 0 at the top. False (rgba empty) on any fault.
bool ZanImageDecode(const uint8_t* data, size_t size, ZanImageHeader& header,
                    std::vector<uint8_t>& rgba);
