/// \file
/// Resources: the resource interface, counted handles, the description records of resource
/// files and the resource manager.
///
/// Lifetime in short: a CZanResourcePtrHolder owns exactly one resource and deletes it when
/// the last CZanResPtr sharing it goes away. Handles are cheap to copy. The manager owns the
/// textures and fonts it loaded (through handles) and the description records; every drawable
/// it creates is a new object owned by the handle returned for it. Unknown names never fail:
/// they give the manager's built-in default of that kind.
///
/// A resource file is UTF-8 XML with the root element "资源"; each child is one entry whose
/// element name gives its kind and whose attributes its values, for example
/// \code{.xml}
/// <资源>
///   <材质资源 Name="球图" Path="ball.png"/>
///   <精灵资源 Name="球" Texture="球图" TexOffset_X="0" TexOffset_Y="0" Width="32" Height="32"
///           RenderLevel="1"/>
///   <声音资源 Name="点击" Path="click.wav" Loop="false"/>
/// </资源>
/// \endcode
#pragma once

#include "Zan/ZanMath.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

/// Interface of every resource object (textures, fonts, drawables, sounds).
class IZanResource
{
public:
    virtual ~IZanResource() {}
    /// The kind, as the element name of the resource file (GBK), e.g. "材质资源".
    virtual const char* GetResourceType() const = 0;
};

/// A plain, non-atomic reference count. Release deletes the object when the count drops to
/// zero or below, so a count that was never raised is deleted by its first Release.
class CZanRefCounted
{
public:
    /// Count 0.
    CZanRefCounted() : m_nRefCount(0) {}
    /// Copies the count.
    CZanRefCounted(const CZanRefCounted&) = default;
    /// Copies the count.
    CZanRefCounted& operator=(const CZanRefCounted&) = default;
    virtual ~CZanRefCounted() {}

    /// The current count.
    virtual int GetRefCount() const { return m_nRefCount; }
    /// Returns the new count.
    virtual int AddRef() { return ++m_nRefCount; }
    /// Returns the new count; the object is deleted when it is 0 or less.
    virtual int Release();

protected:
    int32_t m_nRefCount; ///< see GetRefCount
};

/// The counted box that owns one resource. Shared only through handles, never copied.
class CZanResourcePtrHolder : public CZanRefCounted
{
public:
    /// Takes ownership of `resource` (may be null); the count starts at 0.
    explicit CZanResourcePtrHolder(IZanResource* resource) : m_pResource(resource) {}
    ~CZanResourcePtrHolder() override { delete m_pResource; }
    /// The owned resource, or null.
    IZanResource* GetResource() const { return m_pResource; }

private:
    CZanResourcePtrHolder(const CZanResourcePtrHolder&) = delete;
    CZanResourcePtrHolder& operator=(const CZanResourcePtrHolder&) = delete;

    IZanResource* m_pResource;
};

/// A counted handle to a resource of type T. A default-made handle designates nothing: Get()
/// returns null and destroying it releases nothing. T must derive from IZanResource.
template <class T> class CZanResPtr
{
public:
    CZanResPtr() : m_pHolder(nullptr) {}
    /// Takes ownership of `resource` in a new holder (count 1). A null resource gives an empty
    /// handle.
    explicit CZanResPtr(T* resource) : m_pHolder(nullptr)
    {
        if (resource)
        {
            m_pHolder = new CZanResourcePtrHolder(resource);
            m_pHolder->AddRef();
        }
    }
    /// Shares `holder` (may be null), taking one reference.
    explicit CZanResPtr(CZanResourcePtrHolder* holder) : m_pHolder(holder)
    {
        if (m_pHolder)
            m_pHolder->AddRef();
    }
    /// Shares other's resource (one more reference).
    CZanResPtr(const CZanResPtr& other) : m_pHolder(other.m_pHolder)
    {
        if (m_pHolder)
            m_pHolder->AddRef();
    }
    /// Shares other's resource and drops the one held before (which may delete it).
    CZanResPtr& operator=(const CZanResPtr& other)
    {
        if (m_pHolder != other.m_pHolder)
        {
            CZanResourcePtrHolder* old = m_pHolder;
            m_pHolder = other.m_pHolder;
            if (m_pHolder)
                m_pHolder->AddRef();
            if (old)
                old->Release();
        }
        return *this;
    }
    /// Drops the reference; the last one deletes the resource.
    ~CZanResPtr()
    {
        if (m_pHolder)
            m_pHolder->Release();
    }

    /// The resource, or null for an empty handle.
    T* Get() const { return m_pHolder ? static_cast<T*>(m_pHolder->GetResource()) : nullptr; }
    /// The resource; the handle must not be empty.
    T* operator->() const { return Get(); }
    /// The resource; the handle must not be empty.
    T& operator*() const { return *Get(); }
    /// The shared holder, or null.
    CZanResourcePtrHolder* GetHolder() const { return m_pHolder; }
    /// True when the handle designates a resource.
    bool IsValid() const { return Get() != nullptr; }

private:
    CZanResourcePtrHolder* m_pHolder;
};

class CZanTexture;
class CZanFont;
class CZanSprite;
class CZanAnim;
class CZanMesh;
class CZanQuadGraphics;
class CZanString;

/// A rectangle ("矩形资源") description.
struct ZanQuadG
{
    float fWidth = 0.0f;  ///< Width, pixels
    float fHeight = 0.0f; ///< Height, pixels
    int nRenderLevel = 0; ///< RenderLevel
};

/// A sprite ("精灵资源") description: a window of a texture at a pixel offset.
struct ZanSprite : ZanQuadG
{
    std::string strTexture;   ///< texture name (GBK); "无" for none
    float fTexOffsetX = 0.0f; ///< TexOffset_X: left edge of the window, texture pixels
    float fTexOffsetY = 0.0f; ///< TexOffset_Y: top edge of the window, texture pixels
};

/// An animation ("动画资源") description.
struct ZanAnim : ZanSprite
{
    int nFrames = 0;   ///< Frames
    float fFps = 0.0f; ///< Fps: frames per second
};

/// A grid mesh ("网格资源") description.
struct ZanMesh : ZanSprite
{
    int nRows = 0;    ///< Rows: nodes down the grid
    int nColumns = 0; ///< Columns: nodes across the grid
};

/// A text string ("字符串资源") description.
struct ZanString
{
    std::string strFont;  ///< font name (GBK)
    int nSize = 0;        ///< initial capacity of the text buffer, bytes
    int nRenderLevel = 0; ///< RenderLevel
};

/// A sound ("声音资源") description.
struct ZanAudio
{
    std::string strPath; ///< sound file path (GBK)
    bool bLoop = false;  ///< Loop: "false" or "0" in the file is false, anything else true
};

/// A particle system ("粒子资源") description. Angles are degrees, times seconds, speeds
/// pixels per second, sizes scale factors.
struct ZanParticleSystemInfo
{
    std::string strSprite;         ///< sprite entry each particle is drawn with
    int nEmission = 0;             ///< particles per second while firing
    int nMaxNumbers = 0;           ///< size of the particle pool
    float fLifeTime = 0.0f;        ///< seconds the system emits after firing starts
    float fParticleLifeMin = 0.0f; ///< shortest life of a particle
    float fParticleLifeMax = 0.0f; ///< longest life of a particle
    float fAngular = 0.0f;         ///< direction of emission, degrees
    float fSpread = 0.0f;          ///< width of the cone of directions around it, degrees
    float fSpeedMin = 0.0f;        ///< slowest start
    float fSpeedMax = 0.0f;        ///< fastest start
    float fSizeStart = 0.0f;       ///< scale at birth
    float fSizeEnd = 0.0f;         ///< scale at death
    float fAngularStart = 0.0f;    ///< spin at birth, degrees per second
    float fAngularEnd = 0.0f;      ///< spin at death, degrees per second
    float fAccelX = 0.0f;          ///< acceleration along x
    float fAccelY = 0.0f;          ///< acceleration along y (positive: down)
    CZanColor colStart;            ///< colour at birth
    CZanColor colEnd;              ///< colour at death
};

class CZanResourceMgr;

/// The manager factory, a C function so that it can be looked up by its plain name: creates
/// the manager on the first call; every call counts one use.
extern "C" CZanResourceMgr* KovResourceCreate();

/// The process-wide resource manager, made by KovResourceCreate and destroyed by its final
/// Release. Names are GBK byte strings compared exactly.
class CZanResourceMgr
{
public:
    /// Creates the seven default resources (needs the graphics device); returns true.
    bool InitDefaults();
    /// Reads one resource file (UTF-8 XML, root "资源") into the maps. False when the path is
    /// null or the file cannot be read or parsed (reported in the run log), or when the player
    /// asked to quit before a picture was read (CZanEngine::LoadInterrupted: the rest of the
    /// file is left); true otherwise. Later entries replace earlier ones of the same name;
    /// files accumulate.
    bool Load(const char* path);
    /// Forgets every loaded entry (textures and fonts are released; objects made earlier keep
    /// their own references). The defaults stay. Always true.
    bool Clear();
    /// Drops one use; the last one destroys the manager.
    void Release();

    /// A new sprite made from the named description, owned by the returned handle (and
    /// registered in the render list until the last handle goes). A name that is unknown, or
    /// declared as another kind, gives the shared default sprite, which draws nothing.
    CZanResPtr<CZanSprite> CreateSprite(const char* name);
    /// A new animation, as CreateSprite; stopped at frame 0.
    CZanResPtr<CZanAnim> CreateAnim(const char* name);
    /// True when `name` describes an animation.
    bool HasAnim(const char* name) const { return FindGraphics(name, KIND_ANIM) != nullptr; }
    /// A new grid mesh, as CreateSprite.
    CZanResPtr<CZanMesh> CreateMesh(const char* name);
    /// A new outlined rectangle, as CreateSprite.
    CZanResPtr<CZanQuadGraphics> CreateQuad(const char* name);
    /// A new text string, as CreateSprite; it shows nothing until SetString.
    CZanResPtr<CZanString> CreateString(const char* name);

    /// The stored particle record (owned by the manager, valid until Clear), or null.
    ZanParticleSystemInfo* GetParticleInfo(const char* name);
    /// The stored sound record (owned by the manager, valid until Clear), or null. Hand its
    /// path and loop flag to a sound's LoadSound.
    ZanAudio* GetAudioInfo(const char* name);

    /// A new heap handle (owned by the caller) sharing the named texture, or the default
    /// one when the name is unknown (empty before InitDefaults).
    CZanResPtr<CZanTexture>* GetTexture(const char* name);
    /// The same for a font; the default is "黑体" 16 pixels high.
    CZanResPtr<CZanFont>* GetFont(const char* name);

    /// Internal: the manager made by KovResourceCreate, or null.
    static CZanResourceMgr* Instance();

private:
    friend CZanResourceMgr* KovResourceCreate();
    CZanResourceMgr();
    ~CZanResourceMgr();
    CZanResourceMgr(const CZanResourceMgr&) = delete;
    CZanResourceMgr& operator=(const CZanResourceMgr&) = delete;

    enum EGraphicsKind
    {
        KIND_SPRITE,
        KIND_ANIM,
        KIND_MESH,
        KIND_QUAD
    };
    struct SGraphicsEntry
    {
        EGraphicsKind kind;
        std::shared_ptr<ZanQuadG> record; ///< the record of that kind
    };
    const ZanQuadG* FindGraphics(const char* name, EGraphicsKind kind) const;

    CZanResPtr<CZanFont> m_DefaultFont;
    CZanResPtr<CZanTexture> m_DefaultTexture;
    CZanResPtr<CZanSprite> m_DefaultSprite;
    CZanResPtr<CZanAnim> m_DefaultAnim;
    CZanResPtr<CZanMesh> m_DefaultMesh;
    CZanResPtr<CZanString> m_DefaultString;
    CZanResPtr<CZanQuadGraphics> m_DefaultQuad;

    std::map<std::string, CZanResPtr<CZanTexture>*> m_mapTextures;
    std::map<std::string, CZanResPtr<CZanTexture>> m_mapTextureFiles; // one texture per file
    std::map<std::string, CZanResPtr<CZanFont>*> m_mapFonts;
    std::map<std::string, SGraphicsEntry> m_mapGraphics;
    std::map<std::string, ZanParticleSystemInfo> m_mapParticles;
    std::map<std::string, ZanString> m_mapStrings;
    std::map<std::string, ZanAudio> m_mapAudio;
};

/// Converts zero-terminated UTF-8 to GBK into `out` (at most 100 bytes, terminator
/// included) and returns the bytes written, terminator included. Text longer than 99 UTF-16
/// units or 99 GBK bytes, invalid UTF-8 and a null input are refused: 0 is returned and `out`
/// is left unchanged. Characters GBK lacks become '?'. A C function, like the factory.
extern "C" int UTF8ToANSI(const char* utf8, char* out);

class TiXmlDocument;

/// Deepest element nesting an XML data file may have; the engine's and the game's formats
/// are two levels deep.
const int kZanXmlMaxDepth = 64;

/// The element nesting the XML parser would recurse into for `text`: an upper bound of the
/// document's real depth, never lowered by stray closing tags. Text the parser could read in
/// more than one way counts as far too deep.
int ZanXmlNestingDepth(const std::string& text);

/// Reads and parses an XML data file (path in GBK) in the parser's legacy mode, bytes as they
/// are. False, with `doc` untouched or holding the parser's error, when the file is missing,
/// not a regular file, larger than 16 MB, empty, nested deeper than kZanXmlMaxDepth or not
/// well-formed. A leading UTF-8 byte-order mark is dropped and a zero byte ends the text.
bool ZanLoadXml(const char* path, TiXmlDocument& doc);

/// Memory that decoded sounds and textures may hold together (768 MB unless set). A sound or
/// texture that does not fit is not loaded, and the first refusal of a run writes a warning
/// record; it stays silent or draws nothing, as a file that failed to load.
void ZanSetMediaBudget(size_t bytes);
/// The bytes decoded sounds and textures hold now.
size_t ZanMediaBytesInUse();
