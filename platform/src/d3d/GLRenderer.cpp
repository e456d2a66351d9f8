// The desktop renderer: OpenGL 3.3 core on the device window's SDL context. When the window
// shows the back buffer pixel for pixel, the picture is drawn straight into the window. When it
// must be scaled (full screen) or read back (a lockable back buffer), it is drawn into an
// off-screen buffer of the back-buffer size and Present copies it to the window, scaled with
// its aspect ratio kept, so mouse coordinates can map back.
#include "D3DInternal.h"
#include "PresentPacer.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <epoxy/gl.h>
#include <map>
#include <string>

namespace zan::d3d
{
namespace
{
const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUV;
uniform mat4 uMatrix;
uniform vec2 uViewportSize;
out vec4 vColor;
out vec2 vUV;
void main()
{
    vec4 p = uMatrix * vec4(aPos, 1.0);
    // Direct3D puts pixel centres on whole coordinates, OpenGL half a pixel further on.
    p.x += p.w / uViewportSize.x;
    p.y -= p.w / uViewportSize.y;
    p.z = 2.0 * p.z - p.w;
    gl_Position = p;
    vColor = aColor;
    vUV = aUV;
}
)";

// Fragment programs are made per combination of texture-stage and alpha-test state, with the
// state written in as constants: a software rasteriser runs them far faster than one program
// that branches on uniforms.
enum VertexColor
{
    kVaryingColor, ///< interpolated from the vertices
    kOneColor,     ///< the same at every vertex: a uniform
    kWhite,        ///< white at every vertex: modulating by it drops out
};

struct ShaderKey
{
    int hasTexture, opaque, colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2, alphaFunc,
        alphaRef, vertexColor;
    bool operator<(const ShaderKey& o) const
    {
        return std::memcmp(this, &o, sizeof(ShaderKey)) < 0;
    }
};

std::string ArgExpression(int arg)
{
    std::string e;
    switch (arg & int(D3DTA_SELECTMASK))
    {
    case D3DTA_TEXTURE:
        e = "t";
        break;
    case D3DTA_TFACTOR:
        e = "uFactor";
        break;
    case D3DTA_SPECULAR:
    case D3DTA_TEMP:
        e = "vec4(0.0)";
        break;
    default:
        e = "d";
        break;
    }
    if (arg & int(D3DTA_COMPLEMENT))
        e = "(vec4(1.0) - " + e + ")";
    if (arg & int(D3DTA_ALPHAREPLICATE))
        e = "vec4((" + e + ").a)";
    return e;
}

// The operation on two arguments, for the components `part` (".rgb" or ".a").
std::string OpExpression(int op, const std::string& a1, const std::string& a2,
                         const std::string& part)
{
    const std::string x = "(" + a1 + ")" + part, y = "(" + a2 + ")" + part;
    switch (op)
    {
    case D3DTOP_SELECTARG1:
        return x;
    case D3DTOP_SELECTARG2:
        return y;
    case D3DTOP_MODULATE:
        return x + " * " + y;
    case D3DTOP_MODULATE2X:
        return "clamp(2.0 * " + x + " * " + y + ", 0.0, 1.0)";
    case D3DTOP_MODULATE4X:
        return "clamp(4.0 * " + x + " * " + y + ", 0.0, 1.0)";
    case D3DTOP_ADD:
        return "clamp(" + x + " + " + y + ", 0.0, 1.0)";
    case D3DTOP_ADDSIGNED:
        return "clamp(" + x + " + " + y + " - 0.5, 0.0, 1.0)";
    case D3DTOP_SUBTRACT:
        return "clamp(" + x + " - " + y + ", 0.0, 1.0)";
    default:
        return "d" + part;
    }
}

std::string FragmentSource(const ShaderKey& k)
{
    // A colour that is the same at every vertex is a uniform, or left out when it is white, so
    // a software rasteriser interpolates less per fragment; nothing is clamped that cannot
    // leave 0..1 (every argument lies in it, and the operations that could leave it clamp).
    std::string src = "#version 330 core\n"
                      "in vec4 vColor;\n"
                      "in vec2 vUV;\n"
                      "uniform sampler2D uTexture;\n"
                      "uniform vec4 uFactor;\n"
                      "uniform vec4 uColor;\n"
                      "out vec4 fragColor;\n"
                      "void main()\n"
                      "{\n";
    src += k.vertexColor == kWhite      ? "    vec4 d = vec4(1.0);\n"
           : k.vertexColor == kOneColor ? "    vec4 d = uColor;\n"
                                        : "    vec4 d = vColor;\n";
    if (k.hasTexture)
    {
        src += "    vec4 t = texture(uTexture, vUV);\n";
        if (k.opaque)
            src += "    t.a = 1.0;\n";
        src += "    vec4 o;\n";
        src += "    o.rgb = " +
               OpExpression(k.colorOp, ArgExpression(k.colorArg1), ArgExpression(k.colorArg2),
                            ".rgb") +
               ";\n";
        src +=
            "    o.a = " +
            OpExpression(k.alphaOp, ArgExpression(k.alphaArg1), ArgExpression(k.alphaArg2), ".a") +
            ";\n";
    }
    else
        src += "    vec4 o = d;\n"; // no texture: the vertex colour alone
    if (k.alphaFunc != 0)
    {
        // The 8-bit alpha is floor(v) with v = a * 255 + 0.5; against an integer reference
        // every comparison of floor(v) is a plain comparison of v, which llvmpipe runs faster.
        const std::string r = std::to_string(k.alphaRef) + ".0";
        const std::string r1 = std::to_string(k.alphaRef + 1) + ".0";
        const std::string compare[] = {"",
                                       "false",
                                       "v < " + r,
                                       "v >= " + r + " && v < " + r1,
                                       "v < " + r1,
                                       "v >= " + r1,
                                       "v < " + r + " || v >= " + r1,
                                       "v >= " + r,
                                       "true"};
        src += "    float v = o.a * 255.0 + 0.5;\n";
        src += "    if (!(" +
               (k.alphaFunc >= 1 && k.alphaFunc <= 8 ? compare[k.alphaFunc] : "true") +
               "))\n        discard;\n";
    }
    src += "    fragColor = o;\n}\n";
    return src;
}

GLenum BlendFactor(DWORD blend)
{
    switch (blend)
    {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    default:
        return blend == 0 ? GL_ZERO : GL_ONE;
    }
}

GLenum BlendEquation(DWORD op)
{
    switch (op)
    {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum Wrap(DWORD mode)
{
    return mode == D3DTADDRESS_CLAMP || mode == D3DTADDRESS_BORDER ? GL_CLAMP_TO_EDGE
           : mode == D3DTADDRESS_MIRROR                            ? GL_MIRRORED_REPEAT
                                                                   : GL_REPEAT;
}

GLuint Compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok)
    {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        std::fprintf(stderr, "Skyfloat: shader does not compile: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

class GLRenderer;
GLRenderer* g_current = nullptr;

// Full screen is a request to the window manager; with none there, nothing would answer it.
// The window is first made to cover its display itself, which any X server honours.
void CoverDisplay(SDL_Window* window)
{
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &bounds) != 0)
        return;
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
}

// Refresh rate of the display showing the window, 0 when the display does not say.
int RefreshRate(SDL_Window* window)
{
    SDL_DisplayMode mode;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window));
    return SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
}

class GLRenderer : public Renderer
{
public:
    GLRenderer(HWND window, SDL_GLContext context) : m_window(window), m_context(context) {}

    ~GLRenderer() override
    {
        if (MakeCurrent())
        {
            glDeleteFramebuffers(1, &m_fbo);
            glDeleteTextures(1, &m_target);
            glDeleteBuffers(1, &m_vbo);
            glDeleteBuffers(1, &m_ebo);
            glDeleteVertexArrays(1, &m_vao);
            glDeleteSamplers(1, &m_sampler);
            for (auto& entry : m_programs)
                glDeleteProgram(entry.second.program);
            glDeleteShader(m_vertexShader);
        }
        if (g_current == this)
            g_current = nullptr;
        SDL_GL_DeleteContext(m_context);
    }

    bool Init(const D3DPRESENT_PARAMETERS& params, int width, int height)
    {
        if (!MakeCurrent() || epoxy_gl_version() < 33)
            return false;
        m_vertexShader = Compile(GL_VERTEX_SHADER, kVertexShader);
        if (!m_vertexShader)
            return false;
        // The programs the engine uses most, made before the first frame.
        ShaderKey common{1,
                         0,
                         D3DTOP_MODULATE,
                         int(D3DTA_TEXTURE),
                         int(D3DTA_DIFFUSE),
                         D3DTOP_MODULATE,
                         int(D3DTA_TEXTURE),
                         int(D3DTA_DIFFUSE),
                         0,
                         0,
                         kWhite};
        if (!ProgramFor(common))
            return false;

        glGenVertexArrays(1, &m_vao);
        glBindVertexArray(m_vao);
        glGenBuffers(1, &m_vbo);
        glGenBuffers(1, &m_ebo);
        glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ebo);
        const GLsizei stride = sizeof(ZanD3DVertex);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<const void*>(12));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(16));

        glGenSamplers(1, &m_sampler);
        glSamplerParameteri(m_sampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glSamplerParameteri(m_sampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindSampler(0, m_sampler);
        glActiveTexture(GL_TEXTURE0);
        glEnable(GL_DEPTH_CLAMP);
        glDisable(GL_DEPTH_TEST);
        glFrontFace(GL_CCW);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGenFramebuffers(1, &m_fbo);
        glGenTextures(1, &m_target);
        return Reset(params, width, height);
    }

    bool Reset(const D3DPRESENT_PARAMETERS& params, int width, int height) override
    {
        if (!MakeCurrent())
            return false;
        ZanWindow* w = ZanWindowFromHandle(m_window);
        m_lockable = (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
        const unsigned refreshes = RefreshesPerPresent(params.PresentationInterval);
        SDL_GL_SetSwapInterval(refreshes == 0 ? 0 : 1);
        m_pacer.Configure(refreshes, w && w->sdl ? RefreshRate(w->sdl) : 0);
        if (width != m_width || height != m_height)
        {
            glBindTexture(GL_TEXTURE_2D, m_target);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         nullptr);
            glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_target,
                                   0);
            if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
                return false;
            m_width = width;
            m_height = height;
            m_boundTexture = 0;
        }
        if (w && w->sdl)
            ShowMode(*w);
        ChooseTarget();
        return true;
    }

    void Clear(const D3DRECT& r, D3DCOLOR color) override
    {
        if (!MakeCurrent())
            return;
        glEnable(GL_SCISSOR_TEST);
        glScissor(r.x1, m_height - r.y2, r.x2 - r.x1, r.y2 - r.y1);
        glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                     float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }

    void Draw(const ZanD3DDraw& d, Texture* texture) override
    {
        GLenum mode;
        switch (d.type)
        {
        case D3DPT_TRIANGLELIST:
            mode = GL_TRIANGLES;
            break;
        case D3DPT_TRIANGLESTRIP:
            mode = GL_TRIANGLE_STRIP;
            break;
        case D3DPT_TRIANGLEFAN:
            mode = GL_TRIANGLE_FAN;
            break;
        case D3DPT_LINELIST:
            mode = GL_LINES;
            break;
        case D3DPT_LINESTRIP:
            mode = GL_LINE_STRIP;
            break;
        default:
            return; // points are not drawn
        }
        if (!MakeCurrent() || !ApplyState(d, texture))
            return;
        if (d.indexed)
        {
            const int64_t first = int64_t(d.baseVertex) + d.minIndex;
            const size_t count = size_t(d.maxIndex) - d.minIndex + 1;
            const size_t vertexAt = Stream(GL_ARRAY_BUFFER, m_vertexRing, d.vertices + first,
                                           count * sizeof(ZanD3DVertex));
            const size_t indexAt =
                Stream(GL_ELEMENT_ARRAY_BUFFER, m_indexRing, d.indices, size_t(d.indexCount) * 2);
            glDrawElementsBaseVertex(mode, GLsizei(d.indexCount), GL_UNSIGNED_SHORT,
                                     reinterpret_cast<const void*>(indexAt),
                                     GLint(vertexAt / sizeof(ZanD3DVertex)) - GLint(d.minIndex));
        }
        else
        {
            const size_t vertexAt = Stream(GL_ARRAY_BUFFER, m_vertexRing, d.vertices,
                                           size_t(d.vertexCount) * sizeof(ZanD3DVertex));
            glDrawArrays(mode, GLint(vertexAt / sizeof(ZanD3DVertex)), GLsizei(d.vertexCount));
        }
    }

    HRESULT Present() override
    {
        ZanWindow* w = ZanWindowFromHandle(m_window);
        if (!w || !w->sdl || !MakeCurrent())
            return D3DERR_DEVICELOST;
        if (w->fullScreen != m_fullScreen)
            ShowMode(*w); // toggled since the last frame
        if (!m_direct)
        {
            Output out;
            if (!LayOut(*w, out))
                return D3D_OK;
            glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
            if (out.w != out.drawableW || out.h != out.drawableH)
            {
                glViewport(0, 0, out.drawableW, out.drawableH);
                glClearColor(0, 0, 0, 1);
                glClear(GL_COLOR_BUFFER_BIT);
            }
            glBlitFramebuffer(0, 0, m_width, m_height, out.x, out.drawableH - out.y - out.h,
                              out.x + out.w, out.drawableH - out.y, GL_COLOR_BUFFER_BIT,
                              out.w == m_width && out.h == m_height ? GL_NEAREST : GL_LINEAR);
        }
        else
        {
            w->scaleX = w->scaleY = 1.0f;
            w->offsetX = w->offsetY = 0;
        }
        m_shownDirect = m_direct;
        SDL_GL_SwapWindow(w->sdl);
        if (const uint64_t until = m_pacer.WaitUntil(PresentPacer::Now()))
            PresentPacer::SleepUntil(until);
        ChooseTarget();
        m_viewportValid = false;
        return D3D_OK;
    }

    void ForgetTexture(Texture* texture) override
    {
        if (texture->glName && MakeCurrent())
        {
            if (m_boundTexture == texture->glName)
                m_boundTexture = 0;
            glDeleteTextures(1, &texture->glName);
        }
        texture->glName = 0;
    }

    // Only a picture drawn off-screen is still there after Present.
    bool ReadBack(std::vector<uint32_t>& picture) override
    {
        if (m_shownDirect || !MakeCurrent())
            return false;
        std::vector<uint32_t> rows(size_t(m_width) * size_t(m_height));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
        glReadPixels(0, 0, m_width, m_height, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
        picture.resize(rows.size());
        for (int y = 0; y < m_height; ++y) // OpenGL rows come bottom-up
            std::memcpy(&picture[size_t(y) * m_width], &rows[size_t(m_height - 1 - y) * m_width],
                        size_t(m_width) * 4);
        return true;
    }

private:
    // Where the picture goes inside the window's drawable, in drawable pixels.
    struct Output
    {
        int drawableW = 0, drawableH = 0, x = 0, y = 0, w = 0, h = 0;
    };

    // Largest picture that fits with the aspect ratio kept, centred; the window learns the
    // mapping so mouse positions can be taken back to back-buffer pixels.
    bool LayOut(ZanWindow& w, Output& out)
    {
        int dw = 0, dh = 0, ww = 0, wh = 0;
        SDL_GL_GetDrawableSize(w.sdl, &dw, &dh);
        SDL_GetWindowSize(w.sdl, &ww, &wh);
        if (dw <= 0 || dh <= 0)
            dw = ww, dh = wh;
        if (m_fullScreen)
        {
            // The window takes the display's size only once the window system has answered:
            // lay the picture out for the display at once.
            const int display = std::max(0, SDL_GetWindowDisplayIndex(w.sdl));
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(display, &bounds) == 0 && bounds.w > 0 && bounds.h > 0)
            {
                const float density = ww > 0 ? float(dw) / float(ww) : 1.0f;
                ww = bounds.w, wh = bounds.h;
                dw = int(std::lround(bounds.w * density)),
                dh = int(std::lround(bounds.h * density));
                w.x = bounds.x;
                w.y = bounds.y;
            }
        }
        if (dw <= 0 || dh <= 0)
            return false;
        const float scale = std::min(float(dw) / float(m_width), float(dh) / float(m_height));
        out.drawableW = dw;
        out.drawableH = dh;
        out.w = std::max(1, int(std::lround(m_width * scale)));
        out.h = std::max(1, int(std::lround(m_height * scale)));
        out.x = (dw - out.w) / 2;
        out.y = (dh - out.h) / 2;
        const float toWindow = ww > 0 ? float(ww) / float(dw) : 1.0f;
        w.scaleX = float(out.w) / float(m_width) * toWindow;
        w.scaleY = float(out.h) / float(m_height) * toWindow;
        w.offsetX = int(std::lround(out.x * toWindow));
        w.offsetY = int(std::lround(out.y * toWindow));
        return true;
    }

    // Makes the native window what the window's state asks for. Full screen covers the
    // display; leaving it brings back the border, size and place the window had, or, for a
    // window that began full screen, a framed window of the back buffer's size.
    void ShowMode(ZanWindow& w)
    {
        const bool full = w.fullScreen;
        const bool isFull = (SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_FULLSCREEN) != 0;
        // A device made full screen was given a window only to cover the display with.
        if (full && !m_fullScreen && !isFull && m_shownOnce)
        {
            m_saved.valid = true;
            m_saved.bordered = !(SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_BORDERLESS);
            SDL_GetWindowPosition(w.sdl, &m_saved.x, &m_saved.y);
            SDL_GetWindowSize(w.sdl, &m_saved.w, &m_saved.h);
        }
        const bool wasShownFull = m_fullScreen || isFull;
        m_fullScreen = full;
        m_shownOnce = true;
        if (full)
        {
            if (!isFull)
            {
                CoverDisplay(w.sdl);
                SDL_SetWindowFullscreen(w.sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
            }
            return;
        }
        if (!wasShownFull)
            return;
        if (isFull)
            SDL_SetWindowFullscreen(w.sdl, 0);
        if (!m_saved.valid)
        {
            m_saved = {true,    true,    int(SDL_WINDOWPOS_CENTERED), int(SDL_WINDOWPOS_CENTERED),
                       m_width, m_height};
        }
        SDL_SetWindowBordered(w.sdl, m_saved.bordered ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowSize(w.sdl, m_saved.w, m_saved.h);
        SDL_SetWindowPosition(w.sdl, m_saved.x, m_saved.y);
        SDL_GetWindowPosition(w.sdl, &w.x, &w.y);
    }

    // Copying the off-screen picture to the window costs a software renderer about a tenth
    // of a core at 60 frames a second, so the next frame is drawn straight into the window
    // whenever it would be copied unscaled and nobody reads it back.
    void ChooseTarget()
    {
        ZanWindow* w = ZanWindowFromHandle(m_window);
        int dw = 0, dh = 0;
        if (w && w->sdl)
            SDL_GL_GetDrawableSize(w->sdl, &dw, &dh);
        m_direct = !m_fullScreen && !m_lockable && dw == m_width && dh == m_height;
        glBindFramebuffer(GL_FRAMEBUFFER, m_direct ? 0 : m_fbo);
    }

    // False once the window is gone: its context then went with it, and there is nothing
    // left to free but the context itself.
    bool MakeCurrent()
    {
        ZanWindow* w = ZanWindowFromHandle(m_window);
        if (!w || !w->sdl)
        {
            if (g_current == this)
                g_current = nullptr;
            return false;
        }
        if (g_current == this && SDL_GL_GetCurrentContext() == m_context)
            return true;
        if (SDL_GL_MakeCurrent(w->sdl, m_context) != 0)
            return false;
        g_current = this;
        return true;
    }

    void Upload(Texture* texture)
    {
        const ZanD3DTexturePixels& p = *texture->Pixels();
        if (!texture->glName)
        {
            glGenTextures(1, &texture->glName);
            glBindTexture(GL_TEXTURE_2D, texture->glName);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, p.width, p.height, 0, GL_BGRA,
                         GL_UNSIGNED_BYTE, p.pixels.data());
        }
        else
        {
            glBindTexture(GL_TEXTURE_2D, texture->glName);
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.width, p.height, GL_BGRA, GL_UNSIGNED_BYTE,
                            p.pixels.data());
        }
        m_boundTexture = texture->glName;
        texture->glDirty = false;
    }

    template <class T> static bool Changed(T& cache, const T& value)
    {
        if (std::memcmp(&cache, &value, sizeof(T)) == 0)
            return false;
        std::memcpy(&cache, &value, sizeof(T));
        return true;
    }

    bool ApplyState(const ZanD3DDraw& d, Texture* texture)
    {
        const ZanD3DDrawState& s = d.state;
        const bool hasTexture = texture && texture->Width() > 0 && texture->Height() > 0;
        if (hasTexture)
        {
            if (!texture->glName || texture->glDirty)
                Upload(texture);
            else if (m_boundTexture != texture->glName)
            {
                glBindTexture(GL_TEXTURE_2D, texture->glName);
                m_boundTexture = texture->glName;
            }
            const DWORD wrap[2] = {s.addressU, s.addressV};
            if (Changed(m_wrap, *reinterpret_cast<const DWORD(*)[2]>(wrap)))
            {
                glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_S, Wrap(s.addressU));
                glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_T, Wrap(s.addressV));
            }
        }
        ShaderKey key{};
        key.hasTexture = hasTexture ? 1 : 0;
        if (hasTexture)
        {
            key.opaque = texture->Pixels()->opaque ? 1 : 0;
            key.colorOp = int(s.colorOp);
            key.colorArg1 = int(s.colorArg1);
            key.colorArg2 = int(s.colorArg2);
            key.alphaOp = int(s.alphaOp);
            key.alphaArg1 = int(s.alphaArg1);
            key.alphaArg2 = int(s.alphaArg2);
        }
        // A draw that covers what lies beneath is written without blending or alpha test: the
        // software rasteriser then skips reading the target, and drops what the draw hides.
        const bool covers = DrawWritesOpaque(d, hasTexture && texture->TexelsOpaque());
        if (s.alphaTestEnable && s.alphaFunc != D3DCMP_ALWAYS && !covers &&
            !AlphaTestHidesOnlyUnseen(s))
        {
            key.alphaFunc = int(s.alphaFunc);
            key.alphaRef = int(s.alphaRef & 0xFF);
        }
        D3DCOLOR color = 0;
        key.vertexColor = !VerticesShareColor(d, color) ? kVaryingColor
                          : color == 0xFFFFFFFFu        ? kWhite
                                                        : kOneColor;
        Program* program = ProgramFor(key);
        if (!program)
            return false;
        if (program != m_active)
        {
            glUseProgram(program->program);
            m_active = program;
        }
        const D3DMATRIX matrix = MultiplyMatrices(MultiplyMatrices(s.world, s.view), s.projection);
        if (Changed(program->matrix, matrix))
            glUniformMatrix4fv(program->uMatrix, 1, GL_FALSE, &matrix.m[0][0]);
        const float size[2] = {float(s.viewport.Width), float(s.viewport.Height)};
        if (Changed(program->viewportSize, *reinterpret_cast<const float(*)[2]>(size)))
            glUniform2f(program->uViewportSize, size[0], size[1]);
        if (Changed(program->factor, s.textureFactor))
        {
            const DWORD f = s.textureFactor;
            glUniform4f(program->uFactor, float((f >> 16) & 0xFF) / 255.0f,
                        float((f >> 8) & 0xFF) / 255.0f, float(f & 0xFF) / 255.0f,
                        float(f >> 24) / 255.0f);
        }
        if (key.vertexColor == kOneColor && Changed(program->color, color))
            glUniform4f(program->uColor, float((color >> 16) & 0xFF) / 255.0f,
                        float((color >> 8) & 0xFF) / 255.0f, float(color & 0xFF) / 255.0f,
                        float(color >> 24) / 255.0f);
        if (!m_viewportValid || Changed(m_viewport, s.viewport))
        {
            m_viewport = s.viewport;
            m_viewportValid = true;
            glViewport(GLint(s.viewport.X), m_height - GLint(s.viewport.Y + s.viewport.Height),
                       GLsizei(s.viewport.Width), GLsizei(s.viewport.Height));
        }
        const bool blending = s.alphaBlendEnable && !covers;
        const DWORD blend[4] = {blending ? 1u : 0u, s.srcBlend, s.destBlend, s.blendOp};
        if (Changed(m_blend, *reinterpret_cast<const DWORD(*)[4]>(blend)))
        {
            if (blending)
            {
                glEnable(GL_BLEND);
                glBlendFunc(BlendFactor(s.srcBlend), BlendFactor(s.destBlend));
                glBlendEquation(BlendEquation(s.blendOp));
            }
            else
                glDisable(GL_BLEND);
        }
        if (Changed(m_cull, s.cullMode))
        {
            if (s.cullMode == D3DCULL_CCW || s.cullMode == D3DCULL_CW)
            {
                // Clockwise on the screen (y down) is counter-clockwise for OpenGL (y up).
                glEnable(GL_CULL_FACE);
                glCullFace(s.cullMode == D3DCULL_CCW ? GL_BACK : GL_FRONT);
            }
            else
                glDisable(GL_CULL_FACE);
        }
        return true;
    }

    // Draw data goes into one large buffer per kind, one range after the other, written
    // without waiting for earlier draws; the buffer is replaced only when it is full.
    struct Ring
    {
        size_t capacity = 0, head = 0;
    };

    static size_t Stream(GLenum target, Ring& ring, const void* data, size_t bytes)
    {
        constexpr size_t kAlign = 96; // whole vertices, and aligned for copying
        if (bytes > ring.capacity / 2)
        {
            ring.capacity = std::max<size_t>(4u << 20, bytes * 2);
            ring.head = ring.capacity;
        }
        if (ring.head + bytes > ring.capacity)
        {
            glBufferData(target, GLsizeiptr(ring.capacity), nullptr, GL_STREAM_DRAW);
            ring.head = 0;
        }
        const size_t at = ring.head;
        void* out = glMapBufferRange(target, GLintptr(at), GLsizeiptr(bytes),
                                     GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT |
                                         GL_MAP_UNSYNCHRONIZED_BIT);
        if (out)
        {
            std::memcpy(out, data, bytes);
            glUnmapBuffer(target);
        }
        else
            glBufferSubData(target, GLintptr(at), GLsizeiptr(bytes), data);
        ring.head = (at + bytes + kAlign - 1) / kAlign * kAlign;
        return at;
    }

    struct Program
    {
        GLuint program = 0;
        GLint uMatrix = -1, uViewportSize = -1, uFactor = -1, uColor = -1;
        // Values last given to this program; impossible ones force the first upload.
        D3DMATRIX matrix{};
        float viewportSize[2] = {-1, -1};
        DWORD factor = 0x12345678u, color = 0x12345678u;
    };

    Program* ProgramFor(const ShaderKey& key)
    {
        auto found = m_programs.find(key);
        if (found != m_programs.end())
            return found->second.program ? &found->second : nullptr;
        Program& p = m_programs[key]; // a failed program stays recorded as 0
        GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentSource(key).c_str());
        if (!fs)
            return nullptr;
        GLuint program = glCreateProgram();
        glAttachShader(program, m_vertexShader);
        glAttachShader(program, fs);
        glLinkProgram(program);
        glDetachShader(program, m_vertexShader);
        glDeleteShader(fs);
        GLint linked = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!linked)
        {
            glDeleteProgram(program);
            return nullptr;
        }
        p.program = program;
        p.uMatrix = glGetUniformLocation(program, "uMatrix");
        p.uViewportSize = glGetUniformLocation(program, "uViewportSize");
        p.uFactor = glGetUniformLocation(program, "uFactor");
        p.uColor = glGetUniformLocation(program, "uColor");
        p.matrix.m[0][0] = std::nanf("");
        glUseProgram(program);
        glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
        m_active = &p;
        return &p;
    }

    HWND m_window;
    SDL_GLContext m_context;
    GLuint m_vao = 0, m_vbo = 0, m_ebo = 0, m_fbo = 0, m_target = 0, m_sampler = 0,
           m_vertexShader = 0;
    std::map<ShaderKey, Program> m_programs;
    Ring m_vertexRing, m_indexRing;
    bool m_fullScreen = false; // what the native window shows
    struct WindowedPlace
    {
        bool valid, bordered;
        int x, y, w, h;
    } m_saved{false, true, 0, 0, 0, 0};
    bool m_shownOnce = false;
    bool m_lockable = false; // the back buffer is read back: keep it off-screen
    bool m_direct = false;   // this frame is drawn straight into the window
    bool m_shownDirect = false;
    PresentPacer m_pacer;
    Program* m_active = nullptr;
    int m_width = 0, m_height = 0;
    GLuint m_boundTexture = 0;
    // Last values handed to OpenGL; impossible values force the first upload.
    DWORD m_wrap[2] = {0, 0};
    D3DVIEWPORT9 m_viewport{};
    bool m_viewportValid = false;
    DWORD m_blend[4] = {9, 0, 0, 0};
    DWORD m_cull = 0;
};
} // namespace

std::unique_ptr<Renderer> CreateGLRenderer(HWND window, const D3DPRESENT_PARAMETERS& params,
                                           int width, int height)
{
    ZanWindow* w = ZanWindowFromHandle(window);
    if (!w || !w->sdl)
        return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(w->sdl);
    if (!context)
    {
        std::fprintf(stderr, "Skyfloat: no OpenGL 3.3 context (%s)\n", SDL_GetError());
        return nullptr;
    }
    g_current = nullptr; // creating a context makes it current
    auto renderer = std::make_unique<GLRenderer>(window, context);
    if (!renderer->Init(params, width, height))
        return nullptr;
    return renderer;
}

} // namespace zan::d3d
