// The resource manager: resource files, named textures and fonts, description records and
// the built-in defaults behind every unknown name.
#include "Zan/ZanCore.h"
#include "Zan/ZanResource.h"
#include "Zan/ZanSprite.h"
#include "Zan/ZanText.h"
#include "Graphics/ZanGraphicsLog.h"

#include <sys/stat.h>
#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
const char* const kSource = "Resource\\ZanResourceMgr";
const char* const kNoTexture = "无";

CZanResourceMgr* s_pInstance = nullptr;
int s_nUseCount = 0;

const size_t kNameBuffer = 100;           // converted names: 99 bytes and the terminator
const int kMaxStringCapacity = 64 * 1024; // initial text buffer of a described string

// A text attribute converted to GBK into a zeroed buffer; absent, too long or unconvertible
// values read as empty.
void TextAttribute(const TiXmlElement* e, const char* name, char (&out)[kNameBuffer])
{
    std::memset(out, 0, sizeof(out));
    UTF8ToANSI(e->Attribute(name), out);
}

const char* RawAttribute(const TiXmlElement* e, const char* name)
{
    const char* value = e->Attribute(name);
    return value && *value ? value : nullptr;
}

// Numbers as the C library reads them; absent or empty attributes keep the field.
void IntAttribute(const TiXmlElement* e, const char* name, int& field)
{
    if (const char* value = RawAttribute(e, name))
        field = int(std::strtol(value, nullptr, 10));
}

void FloatAttribute(const TiXmlElement* e, const char* name, float& field)
{
    if (const char* value = RawAttribute(e, name))
        field = float(std::strtod(value, nullptr)); // read as a double, then narrowed
}

// A packed 0xAARRGGBB colour written as a signed decimal.
void ColorAttribute(const TiXmlElement* e, const char* name, CZanColor& field)
{
    if (const char* value = RawAttribute(e, name))
        field.SetHWColor(
            static_cast<unsigned long>(uint32_t(int(std::strtol(value, nullptr, 10)))));
}

void SpriteAttributes(const TiXmlElement* e, const char* texture, ZanSprite& r)
{
    r.strTexture = texture;
    FloatAttribute(e, "TexOffset_X", r.fTexOffsetX);
    FloatAttribute(e, "TexOffset_Y", r.fTexOffsetY);
    FloatAttribute(e, "Width", r.fWidth);
    FloatAttribute(e, "Height", r.fHeight);
    IntAttribute(e, "RenderLevel", r.nRenderLevel);
}

template <class T> void ReplaceHandle(std::map<std::string, T*>& map, const char* name, T* handle)
{
    T*& slot = map[name];
    delete slot;
    slot = handle;
}
} // namespace

CZanResourceMgr* KovResourceCreate()
{
    if (!s_pInstance)
        s_pInstance = new CZanResourceMgr;
    ++s_nUseCount;
    return s_pInstance;
}

CZanResourceMgr* CZanResourceMgr::Instance()
{
    return s_pInstance;
}

CZanResourceMgr::CZanResourceMgr() {}

CZanResourceMgr::~CZanResourceMgr()
{
    Clear();
}

void CZanResourceMgr::Release()
{
    if (--s_nUseCount > 0)
        return;
    s_nUseCount = 0;
    if (s_pInstance == this)
        s_pInstance = nullptr;
    delete this;
}

bool CZanResourceMgr::InitDefaults()
{
    m_DefaultFont = CZanResPtr<CZanFont>(new CZanFont("黑体", 16, 8, 400, false));
    m_DefaultTexture = CZanResPtr<CZanTexture>(new CZanTexture(128.0f, 128.0f));
    m_DefaultSprite = CZanResPtr<CZanSprite>(new CZanSprite(kNoTexture, 0.0f, 0.0f, 0.0f, 0.0f, 0));
    m_DefaultAnim =
        CZanResPtr<CZanAnim>(new CZanAnim(kNoTexture, 1, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0));
    CZanMesh* mesh = new CZanMesh(kNoTexture, 0.0f, 0.0f, 0.0f, 0.0f, 2, 2, 0);
    mesh->SetTextureRect(0.0f, 0.0f, 1.0f, 1.0f);
    m_DefaultMesh = CZanResPtr<CZanMesh>(mesh);
    m_DefaultString = CZanResPtr<CZanString>(new CZanString(kNoTexture, 0, 0));
    m_DefaultQuad = CZanResPtr<CZanQuadGraphics>(new CZanQuadGraphics(1.0f, 1.0f, 0));
    return true;
}

bool CZanResourceMgr::Load(const char* path)
{
    if (!path)
    {
        ZanLogError("资源文件为 NULL", kSource, __LINE__);
        return false;
    }
    TiXmlDocument doc;
    if (!ZanLoadXml(path, doc))
    {
        // A missing file (say, a game started away from its data) is not a damaged one.
        struct stat st;
        if (stat(ZanNativePath(path).c_str(), &st) != 0)
            ZanLogError((std::string("找不到资源文件: ") + path).c_str(), kSource, __LINE__);
        ZanLogError("无法解析资源文件", kSource, __LINE__);
        return false;
    }
    const TiXmlElement* root = doc.FirstChildElement();
    char name[kNameBuffer];
    std::memset(name, 0, sizeof(name));
    if (root)
        UTF8ToANSI(root->Value(), name);
    if (std::strcmp(name, "资源") != 0)
        ZanLogError("不是正确的资源文件", kSource, __LINE__);
    if (!root)
        return true;

    char kind[kNameBuffer];
    char value[kNameBuffer];
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement())
    {
        std::memset(kind, 0, sizeof(kind));
        UTF8ToANSI(e->Value(), kind);
        TextAttribute(e, "Name", name);

        if (std::strcmp(kind, "材质资源") == 0)
        {
            TextAttribute(e, "Path", value);
            if (!*name || !*value)
                continue;
            // Pictures are what takes long: between them the window keeps answering, and a
            // player who asks to quit is not kept waiting for the rest.
            CZanEngine* engine = CZanEngine::Instance();
            if (engine && engine->LoadInterrupted())
                return false;
            // Entries naming one file share one texture: the file is decoded once.
            CZanResPtr<CZanTexture>& file = m_mapTextureFiles[value];
            if (!file.Get())
                file = CZanResPtr<CZanTexture>(new CZanTexture(value));
            ReplaceHandle(m_mapTextures, name, new CZanResPtr<CZanTexture>(file));
        }
        else if (std::strcmp(kind, "字体资源") == 0)
        {
            TextAttribute(e, "FaceName", value);
            const char* height = RawAttribute(e, "Height");
            if (!*name || !*value || !height)
                continue;
            int h = 0, w = 0, weight = 500;
            IntAttribute(e, "Height", h);
            IntAttribute(e, "Width", w);
            IntAttribute(e, "Weight", weight);
            ReplaceHandle(m_mapFonts, name,
                          new CZanResPtr<CZanFont>(new CZanFont(value, h, w, weight, false)));
        }
        else if (std::strcmp(kind, "精灵资源") == 0)
        {
            TextAttribute(e, "Texture", value);
            if (!*name || !*value)
                continue;
            auto record = std::make_shared<ZanSprite>();
            SpriteAttributes(e, value, *record);
            m_mapGraphics[name] = SGraphicsEntry{KIND_SPRITE, record};
        }
        else if (std::strcmp(kind, "动画资源") == 0)
        {
            TextAttribute(e, "Texture", value);
            if (!*name || !*value)
                continue;
            auto record = std::make_shared<ZanAnim>();
            SpriteAttributes(e, value, *record);
            IntAttribute(e, "Frames", record->nFrames);
            FloatAttribute(e, "Fps", record->fFps);
            m_mapGraphics[name] = SGraphicsEntry{KIND_ANIM, record};
        }
        else if (std::strcmp(kind, "网格资源") == 0)
        {
            TextAttribute(e, "Texture", value);
            if (!*name || !*value)
                continue;
            auto record = std::make_shared<ZanMesh>();
            SpriteAttributes(e, value, *record);
            IntAttribute(e, "Rows", record->nRows);
            IntAttribute(e, "Columns", record->nColumns);
            m_mapGraphics[name] = SGraphicsEntry{KIND_MESH, record};
        }
        else if (std::strcmp(kind, "矩形资源") == 0)
        {
            TextAttribute(e, "Path", value); // required, though nothing uses it
            if (!*name || !*value)
                continue;
            auto record = std::make_shared<ZanQuadG>();
            FloatAttribute(e, "Width", record->fWidth);
            FloatAttribute(e, "Height", record->fHeight);
            IntAttribute(e, "RenderLevel", record->nRenderLevel);
            m_mapGraphics[name] = SGraphicsEntry{KIND_QUAD, record};
        }
        else if (std::strcmp(kind, "粒子资源") == 0)
        {
            TextAttribute(e, "Sprite", value);
            if (!*name || !*value)
                continue;
            ZanParticleSystemInfo r;
            r.strSprite = value;
            IntAttribute(e, "MaxNumbers", r.nMaxNumbers);
            IntAttribute(e, "Emission", r.nEmission);
            FloatAttribute(e, "LifeTime", r.fLifeTime);
            FloatAttribute(e, "PaticleLifeMin", r.fParticleLifeMin);
            FloatAttribute(e, "PaticleLifeMax", r.fParticleLifeMax);
            FloatAttribute(e, "Angular", r.fAngular);
            FloatAttribute(e, "Spread", r.fSpread);
            FloatAttribute(e, "SpeedMin", r.fSpeedMin);
            FloatAttribute(e, "SpeedMax", r.fSpeedMax);
            FloatAttribute(e, "SizeSart", r.fSizeStart);
            FloatAttribute(e, "SizeEnd", r.fSizeEnd);
            FloatAttribute(e, "AngularStart", r.fAngularStart);
            FloatAttribute(e, "AngularEnd", r.fAngularEnd);
            FloatAttribute(e, "Accel_X", r.fAccelX);
            FloatAttribute(e, "Accel_Y", r.fAccelY);
            ColorAttribute(e, "ColorStart", r.colStart);
            ColorAttribute(e, "ColorEnd", r.colEnd);
            m_mapParticles[name] = r;
        }
        else if (std::strcmp(kind, "字符串资源") == 0)
        {
            TextAttribute(e, "Font", value);
            if (!*name || !*value)
                continue;
            ZanString r;
            r.strFont = value;
            IntAttribute(e, "Size", r.nSize);
            IntAttribute(e, "RenderLevel", r.nRenderLevel);
            m_mapStrings[name] = r;
        }
        else if (std::strcmp(kind, "声音资源") == 0)
        {
            TextAttribute(e, "Path", value);
            if (!*name || !*value)
                continue;
            ZanAudio r;
            r.strPath = value;
            // Only the exact texts "false" and "0" turn looping off; absent means empty.
            const char* loop = e->Attribute("Loop");
            r.bLoop = !(loop && (std::strcmp(loop, "false") == 0 || std::strcmp(loop, "0") == 0));
            m_mapAudio[name] = r;
        }
    }
    return true;
}

bool CZanResourceMgr::Clear()
{
    for (auto& entry : m_mapTextures)
        delete entry.second;
    m_mapTextures.clear();
    m_mapTextureFiles.clear();
    for (auto& entry : m_mapFonts)
        delete entry.second;
    m_mapFonts.clear();
    m_mapGraphics.clear();
    m_mapParticles.clear();
    m_mapStrings.clear();
    m_mapAudio.clear();
    return true;
}

const ZanQuadG* CZanResourceMgr::FindGraphics(const char* name, EGraphicsKind kind) const
{
    if (!name)
        return nullptr;
    auto it = m_mapGraphics.find(name);
    // A name declared as another kind has no record of this kind.
    if (it == m_mapGraphics.end() || it->second.kind != kind)
        return nullptr;
    return it->second.record.get();
}

CZanResPtr<CZanSprite> CZanResourceMgr::CreateSprite(const char* name)
{
    if (const ZanQuadG* r = FindGraphics(name, KIND_SPRITE))
        return CZanResPtr<CZanSprite>(new CZanSprite(static_cast<const ZanSprite*>(r)));
    return m_DefaultSprite;
}

CZanResPtr<CZanAnim> CZanResourceMgr::CreateAnim(const char* name)
{
    if (const ZanQuadG* r = FindGraphics(name, KIND_ANIM))
        return CZanResPtr<CZanAnim>(new CZanAnim(static_cast<const ZanAnim*>(r)));
    return m_DefaultAnim;
}

CZanResPtr<CZanMesh> CZanResourceMgr::CreateMesh(const char* name)
{
    if (const ZanQuadG* r = FindGraphics(name, KIND_MESH))
        return CZanResPtr<CZanMesh>(new CZanMesh(static_cast<const ZanMesh*>(r)));
    return m_DefaultMesh;
}

CZanResPtr<CZanQuadGraphics> CZanResourceMgr::CreateQuad(const char* name)
{
    if (const ZanQuadG* r = FindGraphics(name, KIND_QUAD))
        return CZanResPtr<CZanQuadGraphics>(new CZanQuadGraphics(r));
    return m_DefaultQuad;
}

CZanResPtr<CZanString> CZanResourceMgr::CreateString(const char* name)
{
    if (name)
    {
        auto it = m_mapStrings.find(name);
        if (it != m_mapStrings.end())
        {
            ZanString record = it->second;
            if (record.nSize > kMaxStringCapacity)
                record.nSize = kMaxStringCapacity; // the text buffer grows on demand anyway
            return CZanResPtr<CZanString>(new CZanString(&record));
        }
    }
    return m_DefaultString;
}

ZanParticleSystemInfo* CZanResourceMgr::GetParticleInfo(const char* name)
{
    if (!name)
        return nullptr;
    auto it = m_mapParticles.find(name);
    return it == m_mapParticles.end() ? nullptr : &it->second;
}

ZanAudio* CZanResourceMgr::GetAudioInfo(const char* name)
{
    if (!name)
        return nullptr;
    auto it = m_mapAudio.find(name);
    return it == m_mapAudio.end() ? nullptr : &it->second;
}

CZanResPtr<CZanTexture>* CZanResourceMgr::GetTexture(const char* name)
{
    if (name)
    {
        auto it = m_mapTextures.find(name);
        if (it != m_mapTextures.end())
            return new CZanResPtr<CZanTexture>(*it->second);
    }
    return new CZanResPtr<CZanTexture>(m_DefaultTexture);
}

CZanResPtr<CZanFont>* CZanResourceMgr::GetFont(const char* name)
{
    if (name)
    {
        auto it = m_mapFonts.find(name);
        if (it != m_mapFonts.end())
            return new CZanResPtr<CZanFont>(*it->second);
    }
    return new CZanResPtr<CZanFont>(m_DefaultFont);
}
