#include "world/SKFMapMgr.h"

#include "world/Scenery.h"

#include <sys/stat.h>
#include <tinyxml.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

CMapMgr* g_pMapMgr = nullptr;

namespace
{
const char* const kSource = "SKFMapMgr";
const size_t kNameBuffer = 100; // converted names: 99 bytes and the terminator
const float kDegrees = 0.017453292f;

void Report(void (CZanEngine::*log)(std::string, std::string, int), const char* message, int line)
{
    if (CZanEngine* engine = CZanEngine::Instance())
        (engine->*log)(message, kSource, line);
}

// GBK form of a UTF-8 name; too long or unconvertible names read as empty.
void Convert(const char* utf8, char (&out)[kNameBuffer])
{
    std::memset(out, 0, sizeof(out));
    if (utf8)
        UTF8ToANSI(utf8, out);
}

struct Attributes
{
    explicit Attributes(const TiXmlElement* element) : m_pElement(element) {}

    void Text(const char* name, char (&out)[kNameBuffer]) const
    {
        Convert(m_pElement->Attribute(name), out);
    }
    float Float(const char* name, float fallback = 0.0f) const
    {
        const char* value = m_pElement->Attribute(name);
        if (!(value && *value))
            return fallback;
        const float n = float(std::strtod(value, nullptr));
        if (std::isfinite(n))
            return n;
        // A NaN or infinite place or size would lose its object, or the birds, out of sight.
        Report(&CZanEngine::SystemWarnLog,
               (std::string("地图数值无效，按默认值: ") + name + "=" + value).c_str(), __LINE__);
        return fallback;
    }
    int Int(const char* name, int fallback = 0) const
    {
        const char* value = m_pElement->Attribute(name);
        if (!(value && *value))
            return fallback;
        const long n = std::strtol(value, nullptr, 10);
        return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : int(n);
    }

    const TiXmlElement* m_pElement;
};

// What the picture elements share: where, how large, how turned and how opaque it is drawn.
struct Picture
{
    explicit Picture(const Attributes& a)
        : x(a.Float("PositionX")), y(a.Float("PositionY")), sx(a.Float("SizeX")),
          sy(a.Float("SizeY")), angle(a.Float("Angle") * kDegrees), alpha(a.Float("Alpha")),
          level(a.Int("RenderLevel")), type(a.Int("Type"))
    {
    }
    void Place(CZanQuadGraphics* g) const
    {
        if (!g)
            return;
        g->SetPosition(x, y);
        g->SetScale(sx, sy);
        g->SetRot(angle);
    }
    float x, y, sx, sy, angle, alpha;
    int level, type;
};

// What the obstacle elements share: the body's place and physical properties.
struct Obstacle
{
    explicit Obstacle(const Attributes& a)
        : x(a.Float("PositionX")), y(a.Float("PositionY")), width(a.Float("Width")),
          height(a.Float("Height")), group(a.Int("Group")), mass(a.Float("Mass")),
          friction(a.Float("Friction")), elast(a.Float("Elast")), type(a.Int("Type"))
    {
        if (mass < 0.0f)
            mass = FLT_MAX; // immovable
    }
    void Apply(CZanObject* o) const
    {
        o->SetPos(x, y);
        o->SetGroup(group);
        o->SetMass(mass);
        o->SetFriction(friction);
        o->SetElast(elast);
    }
    float x, y, width, height;
    int group;
    float mass, friction, elast;
    int type;
};

const char kMapRoot[] = "地图";
const char kDescription[] = "描述";
const char kImage[] = "图像";
const char kDynamicImage[] = "动态图像";
const char kObstacle[] = "障碍";
const char kDynamicObstacle[] = "动态障碍";
const char kPoint[] = "点";

bool Named(const char (&name)[kNameBuffer], const char* literal)
{
    return std::memcmp(name, literal, std::strlen(literal) + 1) == 0;
}
} // namespace

CMapMgr::CMapMgr() : m_nCount(0), m_bFullReported(false)
{
    for (CZanObject*& slot : m_apObjects)
        slot = nullptr;
}

CMapMgr::~CMapMgr()
{
    Clear();
}

bool CMapMgr::Clear()
{
    for (auto& point : m_mapPoints)
        delete point.second;
    m_mapPoints.clear();
    for (CZanObject*& slot : m_apObjects)
    {
        delete slot;
        slot = nullptr;
    }
    m_nCount = 0;
    return true;
}

CZanVector CMapMgr::GetPoint(const char* name) const
{
    if (!name)
        return CZanVector();
    const auto found = m_mapPoints.find(name);
    return found == m_mapPoints.end() ? CZanVector() : *found->second;
}

CZanObject* CMapMgr::GetObject(int slot) const
{
    return slot >= 0 && slot < MAX_OBJECTS ? m_apObjects[slot] : nullptr;
}

bool CMapMgr::TableFull()
{
    if (m_nCount < MAX_OBJECTS)
        return false;
    if (!m_bFullReported)
        Report(&CZanEngine::SystemWarnLog, "地图物体超过 500 个，其余的被跳过", __LINE__);
    m_bFullReported = true;
    return true;
}

bool CMapMgr::Load(const char* file)
{
    if (!file)
    {
        Report(&CZanEngine::SystemErrorLog, "地图文件为 NULL", __LINE__);
        return false;
    }
    TiXmlDocument doc;
    if (!ZanLoadXml(file, doc) || !doc.FirstChildElement())
    {
        struct stat st;
        if (stat(ZanNativePath(file).c_str(), &st) != 0)
            Report(&CZanEngine::SystemErrorLog, (std::string("找不到地图文件: ") + file).c_str(),
                   __LINE__);
        Report(&CZanEngine::SystemErrorLog, "无法解析地图文件", __LINE__);
        return false;
    }
    const TiXmlElement* root = doc.FirstChildElement();
    char name[kNameBuffer];
    Convert(root->Value(), name);
    if (!Named(name, kMapRoot))
        Report(&CZanEngine::SystemErrorLog, "不是正确的地图文件", __LINE__);

    m_bFullReported = false;
    char text[kNameBuffer];
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement())
    {
        Convert(e->Value(), name);
        const Attributes a(e);
        if (Named(name, kDescription))
        {
            a.Text("Name", text);
            if (text[0])
                m_strSettings = text;
        }
        else if (Named(name, kPoint))
        {
            a.Text("Name", text);
            if (!text[0])
                continue;
            CZanVector*& point = m_mapPoints[text];
            delete point;
            point = new CZanVector(a.Float("PositionX"), a.Float("PositionY"));
        }
        else if (Named(name, kImage) || Named(name, kDynamicImage))
        {
            a.Text("Graphics", text);
            const Picture p(a);
            const bool cloud = Named(name, kDynamicImage);
            if (!text[0] || (cloud && p.type != 1) || TableFull())
                continue;
            if (cloud)
            {
                CCloud* c = new CCloud(text);
                c->SetPos(p.x, p.y);
                p.Place(c->GetSprite());
                if (CZanSprite* s = c->GetSprite())
                {
                    s->SetColor(0xff305080UL);
                    s->SetAlpha(p.alpha);
                    s->SetRenderLevel(p.level);
                }
                c->StartDrift();
                m_apObjects[m_nCount++] = c;
            }
            else
            {
                CSkyObject* o = new CSkyObject(text);
                o->SetKind(p.type);
                o->SetBaseScale(p.sx);
                o->SetPos(p.x, p.y);
                p.Place(o->GetSprite());
                if (CZanSprite* s = o->GetSprite())
                {
                    s->SetAlpha(p.alpha);
                    s->SetRenderLevel(p.level);
                }
                m_apObjects[m_nCount++] = o;
            }
        }
        else if (Named(name, kObstacle))
        {
            const Obstacle b(a);
            if (b.type < 1 || b.type > 3 || TableFull())
                continue;
            CBlock* block = new CBlock(b.width, b.height);
            b.Apply(block);
            block->SetMovable(false);
            block->SetSpinnable(false);
            m_apObjects[m_nCount++] = block;
        }
        else if (Named(name, kDynamicObstacle))
        {
            a.Text("Graphics", text);
            const Obstacle b(a);
            const Picture p(a);
            if (!text[0] || (b.type != 4 && b.type != 5) || TableFull())
                continue;
            if (b.type == 4)
            {
                CWaterMesh* water = new CWaterMesh(b.width, b.height, text);
                b.Apply(water);
                water->SetMovable(false);
                water->SetSpinnable(false);
                if (CZanMesh* mesh = water->GetMesh())
                {
                    p.Place(mesh);
                    mesh->SetAlpha(p.alpha);
                    mesh->SetRenderLevel(p.level);
                }
                m_apObjects[m_nCount++] = water;
            }
            else
            {
                CLooseBlock* block = new CLooseBlock(b.width, b.height, text);
                b.Apply(block);
                if (CZanSprite* s = block->GetSprite())
                {
                    p.Place(s);
                    s->SetColor(0xff305080UL);
                    s->SetAlpha(p.alpha);
                    s->SetRenderLevel(p.level);
                }
                m_apObjects[m_nCount++] = block;
            }
        }
    }
    return true;
}
