// Textures, surfaces, vertex and index buffers.
#include "D3DInternal.h"

#include <algorithm>
#include <cstring>

namespace zan::d3d
{
namespace
{
HRESULT DeviceOf(const std::shared_ptr<DeviceCore>& core, IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = core ? core->device : nullptr;
    if (!*device)
        return D3DERR_INVALIDCALL;
    (*device)->AddRef();
    return D3D_OK;
}
} // namespace

Texture::Texture(std::shared_ptr<DeviceCore> core, int width, int height, D3DFORMAT format,
                 DWORD usage, D3DPOOL pool)
    : m_core(std::move(core)), m_pixels(std::make_shared<ZanD3DTexturePixels>()), m_format(format),
      m_usage(usage), m_pool(pool)
{
    m_pixels->width = width;
    m_pixels->height = height;
    m_pixels->opaque = format == D3DFMT_X8R8G8B8;
    m_pixels->pixels.assign(size_t(width) * size_t(height), 0u);
}

Texture::~Texture()
{
    if (m_core && m_core->device && m_core->device->GetRenderer())
        m_core->device->GetRenderer()->ForgetTexture(this);
}

HRESULT Texture::GetDevice(IDirect3DDevice9** device)
{
    return DeviceOf(m_core, device);
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level != 0 || !desc)
        return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = UINT(m_pixels->width);
    desc->Height = UINT(m_pixels->height);
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (level != 0 || !surface)
        return D3DERR_INVALIDCALL;
    *surface = new Surface(this);
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (level != 0 || !locked || m_locked)
        return D3DERR_INVALIDCALL;
    RECT whole{0, 0, m_pixels->width, m_pixels->height};
    const RECT& r = rect ? *rect : whole;
    if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom ||
        r.right > m_pixels->width || r.bottom > m_pixels->height)
        return D3DERR_INVALIDCALL;
    // A recorded frame may still show the old pixels: write to a copy.
    if (!(flags & D3DLOCK_READONLY) && m_pixels.use_count() > 1)
        m_pixels = std::make_shared<ZanD3DTexturePixels>(*m_pixels);
    locked->Pitch = m_pixels->width * 4;
    locked->pBits = m_pixels->pixels.data() + size_t(r.top) * size_t(m_pixels->width) + r.left;
    m_locked = true;
    if (!(flags & D3DLOCK_READONLY))
    {
        glDirty = true;
        m_opaqueKnown = false;
    }
    return D3D_OK;
}

bool Texture::TexelsOpaque()
{
    if (!m_opaqueKnown && !m_locked)
    {
        m_opaque = zan::d3d::TexelsOpaque(*m_pixels);
        m_opaqueKnown = true;
    }
    return m_opaqueKnown && m_opaque;
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level != 0 || !m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc)
{
    return m_texture->GetLevelDesc(0, desc);
}

namespace
{
size_t ArenaSize(UINT length)
{
    return size_t(length) + std::min<size_t>(size_t(length) * 3, 1u << 20);
}
} // namespace

BufferData::BufferData(UINT length, DWORD usage, D3DPOOL pool)
    : m_length(length), m_usage(usage), m_pool(pool),
      m_storage(std::make_shared<Storage>(ArenaSize(length)))
{
}

HRESULT BufferData::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (!data || m_locked || offset > m_length)
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = m_length - offset;
    if (size > m_length - offset)
        return D3DERR_INVALIDCALL;
    if (!(flags & D3DLOCK_READONLY) && m_readEnd > 0 && m_storage.use_count() > 1)
    {
        // A recorded draw still reads these bytes: move the view elsewhere. Only a partial
        // lock keeps the old contents; a whole-buffer lock rewrites them.
        const bool keep = !(offset == 0 && size == m_length) && !(flags & D3DLOCK_DISCARD);
        // An arena no record holds any more comes first, from its start: frames then take
        // turns on the same few arenas, which stay in the cache.
        std::shared_ptr<Storage> fresh;
        for (auto& spare : m_spares)
            if (spare && spare.use_count() == 1)
            {
                fresh.swap(spare);
                break;
            }
        const size_t next = (m_view + m_readEnd + 63) / 64 * 64;
        if (!fresh && next + m_length <= m_storage->size())
        {
            if (keep)
                std::memmove(m_storage->data() + next, m_storage->data() + m_view, m_length);
            m_view = next;
        }
        else
        {
            if (!fresh)
                fresh = std::make_shared<Storage>(ArenaSize(m_length));
            if (keep)
                std::memcpy(fresh->data(), m_storage->data() + m_view, m_length);
            bool parked = false;
            for (auto& spare : m_spares)
                if (!spare)
                {
                    spare = m_storage;
                    parked = true;
                    break;
                }
            if (!parked && m_spares.size() < 16)
                m_spares.push_back(m_storage);
            m_storage = std::move(fresh);
            m_view = 0;
        }
        m_readEnd = 0;
    }
    *data = m_storage->data() + m_view + offset;
    m_locked = true;
    return D3D_OK;
}

HRESULT BufferData::Unlock()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device)
{
    return DeviceOf(m_core, device);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_length;
    desc->FVF = m_fvf;
    return D3D_OK;
}

HRESULT IndexBuffer::Unlock()
{
    HRESULT hr = BufferData::Unlock();
    if (FAILED(hr))
        return hr;
    const uint16_t* idx = reinterpret_cast<const uint16_t*>(View());
    const UINT total = m_length / 2;
    const UINT blocks = (total + kBlock - 1) / kBlock;
    m_blockMin.assign(blocks, 0xFFFF);
    m_blockMax.assign(blocks, 0);
    for (UINT k = 0; k < total; ++k)
    {
        uint16_t& lo = m_blockMin[k / kBlock];
        uint16_t& hi = m_blockMax[k / kBlock];
        lo = std::min(lo, idx[k]);
        hi = std::max(hi, idx[k]);
    }
    return D3D_OK;
}

void IndexBuffer::Range(UINT start, UINT count, uint16_t* lo, uint16_t* hi) const
{
    const uint16_t* idx = reinterpret_cast<const uint16_t*>(View());
    uint16_t a = 0xFFFF, b = 0;
    UINT k = start;
    const UINT end = start + count;
    const bool summarised = m_blockMin.size() * kBlock >= m_length / 2;
    while (k < end)
    {
        if (summarised && k % kBlock == 0 && k + kBlock <= end)
        {
            a = std::min(a, m_blockMin[k / kBlock]);
            b = std::max(b, m_blockMax[k / kBlock]);
            k += kBlock;
            continue;
        }
        a = std::min(a, idx[k]);
        b = std::max(b, idx[k]);
        ++k;
    }
    *lo = a;
    *hi = b;
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** device)
{
    return DeviceOf(m_core, device);
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_length;
    return D3D_OK;
}

} // namespace zan::d3d
