// Frame animations: frame rectangles laid out once, stepped on the engine's exact clock.
#include "Zan/ZanSprite.h"
#include "ZanGraphicsLog.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <set>
#include <string>

namespace
{
const char* const kSource = "Graphics\\ZanAnim";
// Rectangles laid out at most; later frames show frame 0. Bounds hostile descriptions.
const int kMaxRects = 1 << 16;

// A fault of an animation's description is reported once per run for that description, not
// once per frame of every animation made from it: one wrong number could write millions.
bool FirstReport(const void* texture, float x, float y, float w, float h, int frames)
{
    static std::set<std::string> s_reported;
    char key[160];
    std::snprintf(key, sizeof key, "%p %a %a %a %a %d", texture, double(x), double(y), double(w),
                  double(h), frames);
    return s_reported.insert(key).second;
}
} // namespace

CZanAnim::CZanAnim(const char* texture, int frames, float fps, float texOffsetX, float texOffsetY,
                   float width, float height, int renderLevel)
    : CZanSprite(texture, texOffsetX, texOffsetY, width, height, renderLevel), m_pRect(nullptr),
      m_nRectCount(0)
{
    CreateAnim(frames, fps);
}

CZanAnim::CZanAnim(const ZanAnim* record)
    : CZanSprite(static_cast<const ZanSprite*>(record)), m_pRect(nullptr), m_nRectCount(0)
{
    if (record)
        CreateAnim(record->nFrames, record->fFps);
    else
        CreateAnim(1, 1.0f);
}

CZanAnim::CZanAnim(const CZanAnim& other)
    : CZanSprite(other), m_bPlaying(other.m_bPlaying), m_bForward(other.m_bForward),
      m_fSecondsPerFrame(other.m_fSecondsPerFrame), m_nLoops(other.m_nLoops),
      m_nAdvanced(other.m_nAdvanced), m_bCreated(other.m_bCreated), m_nFrames(other.m_nFrames),
      m_nCurFrame(other.m_nCurFrame), m_pRect(nullptr), m_dLastStep(other.m_dLastStep),
      m_nRectCount(0)
{
    if (other.m_pRect && other.m_nRectCount > 0)
    {
        m_pRect = new (std::nothrow) CZanVector[size_t(other.m_nRectCount) * 4];
        if (m_pRect)
        {
            std::copy(other.m_pRect, other.m_pRect + size_t(other.m_nRectCount) * 4, m_pRect);
            m_nRectCount = other.m_nRectCount;
        }
    }
}

CZanAnim& CZanAnim::operator=(const CZanAnim& other)
{
    if (this == &other)
        return *this;
    CZanSprite::operator=(other);
    CZanVector* rect = nullptr;
    int count = 0;
    if (other.m_pRect && other.m_nRectCount > 0)
    {
        rect = new (std::nothrow) CZanVector[size_t(other.m_nRectCount) * 4];
        if (rect)
        {
            std::copy(other.m_pRect, other.m_pRect + size_t(other.m_nRectCount) * 4, rect);
            count = other.m_nRectCount;
        }
    }
    delete[] m_pRect;
    m_pRect = rect;
    m_nRectCount = count;
    m_bPlaying = other.m_bPlaying;
    m_bForward = other.m_bForward;
    m_fSecondsPerFrame = other.m_fSecondsPerFrame;
    m_nLoops = other.m_nLoops;
    m_nAdvanced = other.m_nAdvanced;
    m_bCreated = other.m_bCreated;
    m_nFrames = other.m_nFrames;
    m_nCurFrame = other.m_nCurFrame;
    m_dLastStep = other.m_dLastStep;
    return *this;
}

CZanAnim::~CZanAnim()
{
    delete[] m_pRect;
}

void CZanAnim::CreateAnim(int frames, float fps)
{
    m_nFrames = frames;
    m_bPlaying = false;
    m_bForward = true;
    m_nCurFrame = 0;
    m_nLoops = 0;
    m_nAdvanced = 0;
    m_fSecondsPerFrame = 1.0f / fps;
    m_dLastStep = 0.0;
    m_bCreated = false;

    delete[] m_pRect;
    m_pRect = nullptr;
    m_nRectCount = 0;
    if (frames > 0)
    {
        const int count = frames < kMaxRects ? frames : kMaxRects;
        m_pRect = new (std::nothrow) CZanVector[size_t(count) * 4];
        if (m_pRect)
            m_nRectCount = count;
    }

    const CZanTexture* texture = m_pTexture ? m_pTexture->Get() : nullptr;
    if (!m_pTexture)
        return; // no texture: every rectangle stays 0 and nothing is applied
    if (frames > 0 && !m_pRect)
    {
        ZanLogError("CZanAnim 中的 m_pRect 内存分配失败", kSource, __LINE__);
        return;
    }
    if (m_nRectCount > 0)
    {
        for (int corner = 0; corner < 4; ++corner)
            m_pRect[corner].Set(m_Quad.v[corner].u, m_Quad.v[corner].v);

        const int texWidth = texture ? int(texture->GetWidth()) : 0;
        const int texHeight = texture ? int(texture->GetHeight()) : 0;
        const float du = m_fWidth / float(texWidth);
        const float dv = m_fHeight / float(texHeight);
        int perRow = 0;
        bool outside = false;
        for (int i = 1; i < m_nRectCount; ++i)
        {
            CZanVector* rect = m_pRect + 4 * i;
            const CZanVector* previous = rect - 4;
            for (int corner = 0; corner < 4; ++corner)
                rect[corner].Set(previous[corner].x + du, previous[corner].y);
            if (rect[2].x > 1.0f)
            {
                // The row is full: start again under the first frame of the row above.
                if (perRow == 0)
                    perRow = i;
                const CZanVector* above = rect - 4 * perRow;
                for (int corner = 0; corner < 4; ++corner)
                    rect[corner].Set(above[corner].x, above[corner].y + dv);
            }
            outside |= rect[2].y > 1.0f;
        }
        if (outside &&
            FirstReport(texture, m_pRect[0].x, m_pRect[0].y, m_fWidth, m_fHeight, frames))
            ZanLogError("动画帧的范围超出纹理材质范围", kSource, __LINE__);
    }
    m_bCreated = true;
    SetFrame(0);
}

void CZanAnim::ApplyFrame(int frame)
{
    if (!m_pRect || m_nRectCount <= 0)
        return;
    if (frame < 0 || frame >= m_nRectCount)
        frame = 0; // a frame count raised by SetFrames has no rectangles of its own
    const CZanVector* rect = m_pRect + 4 * frame;
    for (int corner = 0; corner < 4; ++corner)
    {
        m_Quad.v[corner].u = rect[corner].x;
        m_Quad.v[corner].v = rect[corner].y;
    }
}

void CZanAnim::SetFrame(int frame)
{
    if (frame >= m_nFrames || frame < 0)
    {
        ZanLogWarn("SetFrame()函数设置的当前帧，超过该动画的最大帧。", kSource, __LINE__);
        frame = 0;
    }
    m_nCurFrame = frame;
    ApplyFrame(frame);
}

void CZanAnim::Play(int loops)
{
    if (m_bPlaying)
        return;
    m_nLoops = loops;
    m_nAdvanced = 0;
    m_bPlaying = true;
    m_dLastStep = ZanExactTime();
}

void CZanAnim::Update(float)
{
    if (!m_bPlaying)
        return;
    const double now = ZanExactTime();
    if (double(m_fSecondsPerFrame) < now - m_dLastStep)
    {
        m_nCurFrame += m_bForward ? 1 : -1;
        m_dLastStep = ZanExactTime();
        ++m_nAdvanced;
    }
    // Each direction wraps only at the end it runs towards.
    if (m_bForward && m_nCurFrame >= m_nFrames)
        m_nCurFrame = 0;
    if (!m_bForward && m_nCurFrame < 0)
        m_nCurFrame = m_nFrames > 0 ? m_nFrames - 1 : 0;
    ApplyFrame(m_nCurFrame);
    if (m_nLoops != 0 && int64_t(m_nAdvanced) >= int64_t(m_nLoops) * m_nFrames)
        m_bPlaying = false;
}

CZanVector CZanAnim::GetFrameCorner(int frame, int corner) const
{
    if (!m_pRect || frame < 0 || frame >= m_nRectCount || corner < 0 || corner > 3)
        return CZanVector();
    return m_pRect[4 * frame + corner];
}
