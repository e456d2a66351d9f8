// Textures from image files: formats, colour key, sizes, and files that must be refused.
#include "D3DTestUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace d3dtest;

namespace
{
// Pure black (keyed), near black, half-transparent black, and colours, in a 5 x 3 image.
const std::vector<uint32_t> kImage = {
    0xFF000000u, 0xFF010000u, 0xFF000100u, 0xFF000001u, 0xFFFFFFFFu,
    0xFF102030u, 0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
    0xFF808080u, 0xFF7F7F7Fu, 0xFF000000u, 0xFF123456u, 0xFFABCDEFu,
};

class TextureLoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZanHeadlessEnable();
        ASSERT_TRUE(rig.Create(32, 32));
    }

    HRESULT Load(const char* name, IDirect3DTexture9** t, D3DXIMAGE_INFO* info = nullptr,
                 UINT w = D3DX_DEFAULT, UINT h = D3DX_DEFAULT)
    {
        return D3DXCreateTextureFromFileExA(rig.device, name, w, h, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                            D3DPOOL_DEFAULT, D3DX_FILTER_NONE, D3DX_FILTER_NONE,
                                            0xFF000000u, info, nullptr, t);
    }

    static std::vector<uint32_t> Texels(IDirect3DTexture9* t)
    {
        D3DSURFACE_DESC desc;
        t->GetLevelDesc(0, &desc);
        D3DLOCKED_RECT r;
        std::vector<uint32_t> out;
        if (FAILED(t->LockRect(0, &r, nullptr, D3DLOCK_READONLY)))
            return out;
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                out.push_back(reinterpret_cast<const uint32_t*>(static_cast<uint8_t*>(r.pBits) +
                                                                y * r.Pitch)[x]);
        t->UnlockRect(0);
        return out;
    }

    Rig rig;
    zantest::ScopedWorkDir dir;
};

std::vector<uint32_t> Keyed(const std::vector<uint32_t>& image)
{
    std::vector<uint32_t> out = image;
    for (auto& p : out)
        if (p == 0xFF000000u)
            p = 0;
    return out;
}
} // namespace

TEST_F(TextureLoad, EveryShippedFormatLoadsWithTheBlackColourKey)
{
    zantest::WriteFile("a.png", EncodePng(5, 3, kImage));
    zantest::WriteFile("a.bmp", EncodeBmp24(5, 3, kImage));
    zantest::WriteFile("a.tga", EncodeTga32(5, 3, kImage));
    const std::pair<const char*, D3DXIMAGE_FILEFORMAT> files[] = {
        {"a.png", D3DXIFF_PNG}, {"a.bmp", D3DXIFF_BMP}, {"a.tga", D3DXIFF_TGA}};
    for (const auto& [name, format] : files)
    {
        IDirect3DTexture9* t = nullptr;
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3D_OK, Load(name, &t, &info)) << name;
        EXPECT_EQ(5u, info.Width) << name;
        EXPECT_EQ(3u, info.Height) << name;
        EXPECT_EQ(format, info.ImageFileFormat) << name;
        D3DSURFACE_DESC desc;
        t->GetLevelDesc(0, &desc);
        EXPECT_EQ(5u, desc.Width) << "no padding to a power of two";
        EXPECT_EQ(3u, desc.Height);
        EXPECT_EQ(Keyed(kImage), Texels(t)) << name;
        t->Release();
    }
}

TEST_F(TextureLoad, OnlyExactBlackIsKeyedAndAlphaCounts)
{
    std::vector<uint32_t> image = {0xFF000000u, 0x80000000u, 0xFF000001u, 0x00000000u};
    zantest::WriteFile("k.png", EncodePng(2, 2, image));
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3D_OK, Load("k.png", &t));
    EXPECT_EQ((std::vector<uint32_t>{0u, 0x80000000u, 0xFF000001u, 0u}), Texels(t));
    t->Release();
}

TEST_F(TextureLoad, ExplicitSizeKeepsTheImageAtTheTopLeft)
{
    zantest::WriteFile("a.png", EncodePng(5, 3, kImage));
    IDirect3DTexture9* t = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3D_OK, Load("a.png", &t, &info, 8, 4));
    EXPECT_EQ(5u, info.Width);
    std::vector<uint32_t> texels = Texels(t);
    ASSERT_EQ(32u, texels.size());
    EXPECT_EQ(0xFF010000u, texels[1]);
    EXPECT_EQ(0xFFABCDEFu, texels[2 * 8 + 4]);
    EXPECT_EQ(0u, texels[7]);
    EXPECT_EQ(0u, texels[3 * 8 + 0]);
    t->Release();
}

TEST_F(TextureLoad, FileNamesAreGbk)
{
    zantest::WriteFile(u8"图片.png", EncodePng(5, 3, kImage));
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3D_OK, Load("图片.png", &t));
    t->Release();
}

TEST_F(TextureLoad, BrokenOrForeignFilesAreRefused)
{
    const std::string png = EncodePng(5, 3, kImage);
    const std::pair<const char*, std::string> bad[] = {
        {"trunc.png", png.substr(0, png.size() / 2)},
        {"head.png", png.substr(0, 20)},
        {"x.gif", "GIF89a\x05\x00\x03\x00\x00\x00\x00;"},
        {"x.ppm", "P6\n2 2\n65535\n" + std::string(24, '\xff')},
        {"x.dds", "DDS " + std::string(124, '\0')},
        {"empty.png", ""},
        {"text.png", "this is not an image at all"},
        {"huge.bmp",
         "BM" + std::string(16, '\0') + "\xff\xff\xff\x7f\xff\xff\xff\x7f" + std::string(40, '\0')},
    };
    for (const auto& [name, bytes] : bad)
    {
        zantest::WriteFile(name, bytes);
        IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(1);
        D3DXIMAGE_INFO info{};
        EXPECT_TRUE(FAILED(Load(name, &t, &info))) << name;
        EXPECT_EQ(nullptr, t) << name;
    }
    IDirect3DTexture9* t = nullptr;
    EXPECT_TRUE(FAILED(Load("missing.png", &t)));
    EXPECT_TRUE(FAILED(Load(nullptr, &t)));
}

// PNG colour types and depths other than 8-bit RGBA all arrive as RGBA.
TEST_F(TextureLoad, PngOfEveryColourTypeBecomesRgba)
{
    // 16-bit colour: the high bytes count.
    zantest::WriteFile(
        "deep.png",
        EncodePngRaw(2, 1, 16, 2,
                     std::string("\0\x12\x99\x34\x99\x56\x99\xAB\x00\xCD\x00\xEF\x00", 13)));
    // Grey with a transparent grey level, and a palette with a transparent entry.
    zantest::WriteFile("grey.png", EncodePngRaw(2, 1, 8, 0, std::string("\0\x40\x80", 3),
                                                PngChunk("tRNS", std::string("\0\x40", 2))));
    zantest::WriteFile("palette.png", EncodePngRaw(2, 1, 8, 3, std::string("\0\x00\x01", 3),
                                                   PngChunk("PLTE", "\x11\x22\x33\x44\x55\x66") +
                                                       PngChunk("tRNS", std::string("\x80", 1))));
    const std::pair<const char*, std::vector<uint32_t>> files[] = {
        {"deep.png", {0xFF123456u, 0xFFABCDEFu}},
        {"grey.png", {0x00404040u, 0xFF808080u}},
        {"palette.png", {0x80112233u, 0xFF445566u}},
    };
    for (const auto& [name, texels] : files)
    {
        IDirect3DTexture9* t = nullptr;
        ASSERT_EQ(D3D_OK, Load(name, &t)) << name;
        EXPECT_EQ(texels, Texels(t)) << name;
        t->Release();
    }
}

// An 8 x 8 grey ramp from black at the top to white at the bottom.
TEST_F(TextureLoad, JpegDecodesToItsPicture)
{
    IDirect3DTexture9* t = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3D_OK, Load(zantest::SourcePath("fuzz/corpus/fuzz_image/gradient-8x8.jpg").c_str(),
                           &t, &info));
    EXPECT_EQ(D3DXIFF_JPG, info.ImageFileFormat);
    ASSERT_EQ(8u, info.Width);
    const std::vector<uint32_t> texels = Texels(t);
    t->Release();
    int previous = -1;
    for (int y = 0; y < 8; ++y)
    {
        const uint32_t p = texels[size_t(y) * 8 + 3];
        const int grey = int(p & 0xFF);
        EXPECT_EQ(p & 0xFFFFFFu, uint32_t(grey) * 0x010101u) << y;
        EXPECT_GT(grey, previous) << y;
        previous = grey;
    }
    EXPECT_GT(previous, 0xF0);
}

// A Huffman table of more codes than a table can hold: one decoder wrote past its own tables
// on these, the first even decoding the picture. Both must be refused.
TEST_F(TextureLoad, JpegWithAnOverfullHuffmanTableIsRefused)
{
    for (const char* name : {"hostile-dht-300-codes.jpg", "hostile-dht-counts.jpg"})
    {
        const std::string path = zantest::SourcePath(std::string("fuzz/corpus/fuzz_image/") + name);
        IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXERR_INVALIDDATA, Load(path.c_str(), &t)) << name;
        EXPECT_EQ(nullptr, t);
    }
}

// Sides and pixel count are checked in the header, before anything is decoded.
TEST_F(TextureLoad, ImagesPastTheSizeCapsAreRefused)
{
    const std::string row(1 + 16385 * 4, '\0');
    zantest::WriteFile("wide.png", EncodePngRaw(16385, 1, 8, 6, row));
    std::string tall = EncodePngRaw(4097, 4097, 8, 6, "");
    zantest::WriteFile("budget.png", tall);
    // A JPEG whose frame header claims 5000 x 5000.
    std::string jpeg =
        zantest::ReadFile(zantest::SourcePath("fuzz/corpus/fuzz_image/gradient-8x8.jpg"));
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = char(5000 >> 8), jpeg[sof + 6] = char(5000 & 0xFF);
    jpeg[sof + 7] = char(5000 >> 8), jpeg[sof + 8] = char(5000 & 0xFF);
    zantest::WriteFile("big.jpg", jpeg);
    for (const char* name : {"wide.png", "budget.png", "big.jpg"})
    {
        IDirect3DTexture9* t = nullptr;
        D3DXIMAGE_INFO info{};
        EXPECT_TRUE(FAILED(Load(name, &t))) << name;
        EXPECT_TRUE(FAILED(D3DXGetImageInfoFromFileA(name, &info))) << name;
    }
}

TEST_F(TextureLoad, EmptyTexturesAreTransparentBlack)
{
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(D3D_OK,
              D3DXCreateTexture(rig.device, 128, 128, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t));
    D3DSURFACE_DESC desc;
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(128u, desc.Width);
    EXPECT_EQ(D3DFMT_A8R8G8B8, desc.Format);
    std::vector<uint32_t> texels = Texels(t);
    EXPECT_EQ(std::vector<uint32_t>(128 * 128, 0u), texels);
    t->Release();
    EXPECT_TRUE(FAILED(
        rig.device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr)));
    EXPECT_TRUE(
        FAILED(D3DXCreateTexture(rig.device, 64, 64, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t)));
}
