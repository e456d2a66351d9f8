// The call record shared by every device: the frame being built and the last one presented,
// with the picture after the last one rasterised only when asked for.
#include "D3DInternal.h"

#include <algorithm>

namespace
{
struct Records
{
    ZanD3DFrameRecord current, last;
    bool hasLast = false;
    // The picture the last frame was drawn onto, and the picture after it.
    std::vector<uint32_t> base, picture;
    bool baseValid = false, pictureReady = false;
    bool lost = false;
};

Records& Get()
{
    static Records records;
    return records;
}

void Reset(ZanD3DFrameRecord& r)
{
    r.calls.clear();
    r.draws.clear();
    r.clearRects.clear();
    r.keep.clear();
    r.drawCalls = 0;
}

// True when the frame clears the whole back buffer before it draws anything, so what was on
// the screen before does not show through.
bool CoversPrevious(const ZanD3DFrameRecord& r)
{
    size_t rect = 0;
    for (const ZanD3DCall& call : r.calls)
    {
        if (call.op == ZanD3DOp::Draw || call.op == ZanD3DOp::Text)
            return false;
        if (call.op != ZanD3DOp::Clear)
            continue;
        for (uint32_t k = 0; k < call.c && rect < r.clearRects.size(); ++k, ++rect)
        {
            const D3DRECT& c = r.clearRects[rect];
            if (c.x1 <= 0 && c.y1 <= 0 && c.x2 >= r.width && c.y2 >= r.height)
                return true;
        }
    }
    return false;
}

void EnsurePicture(Records& s)
{
    if (s.pictureReady || !s.hasLast)
        return;
    const size_t size = size_t(std::max(0, s.last.width)) * size_t(std::max(0, s.last.height));
    if (s.baseValid && s.base.size() == size)
        s.picture = s.base;
    else
        s.picture.assign(size, 0u);
    ZanD3DRasterise(s.last, s.picture);
    s.pictureReady = true;
}
} // namespace

namespace zan::d3d
{
ZanD3DFrameRecord& CurrentRecord()
{
    return Get().current;
}

void EndRecordedFrame(int width, int height, bool software)
{
    Records& s = Get();
    s.current.width = width;
    s.current.height = height;
    // The OpenGL device never rasterises in software while it runs.
    if (!software || CoversPrevious(s.current))
        s.baseValid = false;
    else if (s.hasLast)
    {
        EnsurePicture(s);
        s.base.swap(s.picture);
        s.baseValid = true;
    }
    std::swap(s.last, s.current);
    Reset(s.current);
    s.hasLast = true;
    s.pictureReady = false;
}

void DiscardRecordedFrame()
{
    Reset(Get().current);
}

bool DeviceLostSimulated()
{
    return Get().lost;
}
} // namespace zan::d3d

const ZanD3DFrameRecord* ZanD3DLastFrame()
{
    return Get().hasLast ? &Get().last : nullptr;
}

const ZanD3DFrameRecord* ZanD3DCurrentFrame()
{
    return &Get().current;
}

const unsigned* ZanD3DLastFramePixels(int* width, int* height)
{
    Records& s = Get();
    if (width)
        *width = s.hasLast ? s.last.width : 0;
    if (height)
        *height = s.hasLast ? s.last.height : 0;
    if (!s.hasLast)
        return nullptr;
    EnsurePicture(s);
    return s.picture.empty() ? nullptr : s.picture.data();
}

void ZanD3DSimulateDeviceLost(bool lost)
{
    Get().lost = lost;
}
