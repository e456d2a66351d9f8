#include "Image.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <stb_image.h>

namespace
{
bool WithinCaps(int width, int height)
{
    return width > 0 && height > 0 && width <= kZanImageMaxSide && height <= kZanImageMaxSide &&
           int64_t(width) * height <= kZanImageMaxPixels;
}

ZanImageKind Recognise(const uint8_t* d, size_t n)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (n >= 8 && std::memcmp(d, png, 8) == 0)
        return ZanImageKind::Png;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF)
        return ZanImageKind::Jpeg;
    if (n >= 26 && d[0] == 'B' && d[1] == 'M')
        return ZanImageKind::Bmp;
    // TGA has no signature: its header must describe a plausible image.
    if (n >= 18)
    {
        const int colorMapType = d[1], imageType = d[2];
        const int width = d[12] | (d[13] << 8), height = d[14] | (d[15] << 8), bits = d[16];
        const bool typeOk = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                            imageType == 10 || imageType == 11;
        const bool bitsOk = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
        const bool mapOk =
            colorMapType == 0 || (colorMapType == 1 && (imageType == 1 || imageType == 9));
        if (mapOk && typeOk && bitsOk && width > 0 && height > 0)
            return ZanImageKind::Tga;
    }
    return ZanImageKind::Unknown;
}

// ---- PNG ----
// libpng reports errors by calling back; ours jumps back to the decoder silently.

struct PngSource
{
    const uint8_t* data;
    size_t size, pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n)
{
    PngSource* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (n > src->size - src->pos)
        png_error(png, "truncated");
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

void PngFail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarn(png_structp, png_const_charp) {}

// The pixel buffers belong to the caller, so the jump out of libpng skips no destructor.
bool DecodePng(const uint8_t* data, size_t size, ZanImageHeader& header, bool pixelsToo,
               std::vector<uint8_t>& rgba, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    PngSource src{data, size, 0};
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &src, PngRead);
    png_set_user_limits(png, kZanImageMaxSide, kZanImageMaxSide);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    header.width = int(width);
    header.height = int(height);
    switch (colorType)
    {
    case PNG_COLOR_TYPE_GRAY:
        header.components = transparency ? 2 : 1;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        header.components = 2;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        header.components = 4;
        break;
    default:
        header.components = transparency ? 4 : 3;
    }
    if (!WithinCaps(header.width, header.height))
        png_error(png, "too large");
    if (pixelsToo)
    {
        // Whatever the file holds becomes 8-bit RGBA, opaque where it has no alpha.
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        const size_t stride = size_t(width) * 4;
        if (png_get_rowbytes(png, info) != stride)
            png_error(png, "unexpected row size");
        rgba.resize(stride * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = rgba.data() + stride * y;
        png_read_image(png, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// ---- JPEG ----
// libjpeg's own error handler ends the process; ours jumps back to the decoder. Warnings
// (corrupt data the library would paper over) count as errors too.

struct JpegErrors
{
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void JpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        JpegFail(cinfo);
}

void JpegSilent(j_common_ptr) {}

// A progressive file may hold any number of scans, each of which walks the whole image:
// real files have about ten.
constexpr int kMaxJpegScans = 256;

void JpegProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        JpegFail(cinfo);
}

bool DecodeJpeg(const uint8_t* data, size_t size, ZanImageHeader& header, bool pixelsToo,
                std::vector<uint8_t>& rgba)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo); // destroying it is safe whenever the jump comes
    JpegErrors errors;
    jpeg_progress_mgr progress{};
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = JpegFail;
    errors.mgr.emit_message = JpegMessage;
    errors.mgr.output_message = JpegSilent;
    if (setjmp(errors.jump))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = JpegProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    header.width = int(cinfo.image_width);
    header.height = int(cinfo.image_height);
    header.components = cinfo.num_components == 1 ? 1 : 3;
    if (!WithinCaps(header.width, header.height))
        JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
    if (pixelsToo)
    {
        cinfo.out_color_space = JCS_EXT_RGBA;
        jpeg_start_decompress(&cinfo);
        if (int(cinfo.output_width) != header.width || int(cinfo.output_height) != header.height ||
            cinfo.output_components != 4)
            JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
        const size_t stride = size_t(header.width) * 4;
        rgba.resize(stride * size_t(header.height));
        while (cinfo.output_scanline < cinfo.output_height)
        {
            JSAMPROW row = rgba.data() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---- BMP and TGA ----

bool DecodeStb(const uint8_t* data, size_t size, ZanImageHeader& header, bool pixelsToo,
               std::vector<uint8_t>& rgba)
{
    if (size > size_t(INT32_MAX))
        return false;
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp) || !WithinCaps(w, h))
        return false;
    header.width = w;
    header.height = h;
    header.components = comp;
    if (!pixelsToo)
        return true;
    stbi_uc* pixels = stbi_load_from_memory(data, int(size), &w, &h, &comp, 4);
    if (!pixels)
        return false;
    const bool same = w == header.width && h == header.height;
    if (same)
        rgba.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
    stbi_image_free(pixels);
    return same;
}

bool Decode(const uint8_t* data, size_t size, ZanImageHeader& header, bool pixelsToo,
            std::vector<uint8_t>& rgba)
{
    header = ZanImageHeader();
    rgba.clear();
    if (!data || size == 0 || size > kZanImageMaxFileBytes)
        return false;
    header.kind = Recognise(data, size);
    bool ok = false;
    switch (header.kind)
    {
    case ZanImageKind::Png:
    {
        std::vector<png_bytep> rows;
        ok = DecodePng(data, size, header, pixelsToo, rgba, rows);
        break;
    }
    case ZanImageKind::Jpeg:
        ok = DecodeJpeg(data, size, header, pixelsToo, rgba);
        break;
    case ZanImageKind::Bmp:
    case ZanImageKind::Tga:
        ok = DecodeStb(data, size, header, pixelsToo, rgba);
        break;
    case ZanImageKind::Unknown:
        break;
    }
    if (!ok)
        rgba.clear();
    return ok;
}
} // namespace

bool ZanImageReadHeader(const uint8_t* data, size_t size, ZanImageHeader& header)
{
    std::vector<uint8_t> none;
    return Decode(data, size, header, false, none);
}

bool ZanImageDecode(const uint8_t* data, size_t size, ZanImageHeader& header,
                    std::vector<uint8_t>& rgba)
{
    return Decode(data, size, header, true, rgba);
}
