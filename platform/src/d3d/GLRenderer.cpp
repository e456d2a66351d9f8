// The desktop renderer: OpenGL 3.3 core on the device window's SDL context. The picture is
// drawn into an off-screen buffer of the back-buffer size and shown by Present, scaled to
// the window with its aspect ratio kept (full screen), so mouse coordinates can map back.
#include "D3DInternal.h"

#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <epoxy/gl.h>

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

const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUV;
uniform sampler2D uTexture;
uniform int uHasTexture;
uniform int uOpaque;
uniform ivec3 uColorOp;
uniform ivec3 uAlphaOp;
uniform vec4 uFactor;
uniform ivec3 uAlphaTest;
out vec4 fragColor;

vec4 arg(int a, vec4 tex, vec4 diffuse)
{
    int sel = a & 15;
    vec4 c = diffuse;
    if (sel == 2)
        c = tex;
    else if (sel == 3)
        c = uFactor;
    else if (sel == 4 || sel == 5)
        c = vec4(0.0);
    if ((a & 16) != 0)
        c = vec4(1.0) - c;
    if ((a & 32) != 0)
        c = vec4(c.a);
    return c;
}

float op(int o, float a1, float a2, float d)
{
    if (o == 2) return a1;
    if (o == 3) return a2;
    if (o == 4) return a1 * a2;
    if (o == 5) return clamp(2.0 * a1 * a2, 0.0, 1.0);
    if (o == 6) return clamp(4.0 * a1 * a2, 0.0, 1.0);
    if (o == 7) return clamp(a1 + a2, 0.0, 1.0);
    if (o == 8) return clamp(a1 + a2 - 0.5, 0.0, 1.0);
    if (o == 10) return clamp(a1 - a2, 0.0, 1.0);
    return d;
}

void main()
{
    vec4 d = vColor;
    vec4 o = d;
    if (uHasTexture != 0)
    {
        vec4 t = texture(uTexture, vUV);
        if (uOpaque != 0)
            t.a = 1.0;
        vec4 c1 = arg(uColorOp.y, t, d), c2 = arg(uColorOp.z, t, d);
        vec4 a1 = arg(uAlphaOp.y, t, d), a2 = arg(uAlphaOp.z, t, d);
        o = vec4(op(uColorOp.x, c1.r, c2.r, d.r), op(uColorOp.x, c1.g, c2.g, d.g),
                 op(uColorOp.x, c1.b, c2.b, d.b), op(uAlphaOp.x, a1.a, a2.a, d.a));
    }
    o = clamp(o, 0.0, 1.0);
    if (uAlphaTest.x != 0)
    {
        int a = int(floor(o.a * 255.0 + 0.5));
        int r = uAlphaTest.z;
        int f = uAlphaTest.y;
        bool pass = f == 8 || (f == 2 && a < r) || (f == 3 && a == r) || (f == 4 && a <= r) ||
                    (f == 5 && a > r) || (f == 6 && a != r) || (f == 7 && a >= r);
        if (!pass)
            discard;
    }
    fragColor = o;
}
)";

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

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

class GLRenderer;
GLRenderer* g_current = nullptr;

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
            glDeleteProgram(m_program);
        }
        if (g_current == this)
            g_current = nullptr;
        SDL_GL_DeleteContext(m_context);
    }

    bool Init(const D3DPRESENT_PARAMETERS& params, int width, int height)
    {
        if (!MakeCurrent() || epoxy_gl_version() < 33)
            return false;
        GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader);
        GLuint fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
        if (!vs || !fs)
            return false;
        m_program = glCreateProgram();
        glAttachShader(m_program, vs);
        glAttachShader(m_program, fs);
        glLinkProgram(m_program);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint linked = 0;
        glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
        if (!linked)
            return false;
        glUseProgram(m_program);
        m_uMatrix = glGetUniformLocation(m_program, "uMatrix");
        m_uViewportSize = glGetUniformLocation(m_program, "uViewportSize");
        m_uHasTexture = glGetUniformLocation(m_program, "uHasTexture");
        m_uOpaque = glGetUniformLocation(m_program, "uOpaque");
        m_uColorOp = glGetUniformLocation(m_program, "uColorOp");
        m_uAlphaOp = glGetUniformLocation(m_program, "uAlphaOp");
        m_uFactor = glGetUniformLocation(m_program, "uFactor");
        m_uAlphaTest = glGetUniformLocation(m_program, "uAlphaTest");
        glUniform1i(glGetUniformLocation(m_program, "uTexture"), 0);

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
        if (w && w->sdl)
        {
            const bool full = !params.Windowed;
            const bool isFull = (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0;
            if (full != isFull)
                SDL_SetWindowFullscreen(w->sdl, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        }
        SDL_GL_SetSwapInterval(params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0
                                                                                            : 1);
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
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
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
        if (!MakeCurrent())
            return;
        ApplyState(d, texture);
        if (d.indexed)
        {
            const int64_t first = int64_t(d.baseVertex) + d.minIndex;
            const GLsizeiptr count = GLsizeiptr(d.maxIndex) - d.minIndex + 1;
            glBufferData(GL_ARRAY_BUFFER, count * GLsizeiptr(sizeof(ZanD3DVertex)),
                         d.vertices + first, GL_STREAM_DRAW);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(d.indexCount) * 2, d.indices,
                         GL_STREAM_DRAW);
            glDrawElementsBaseVertex(mode, GLsizei(d.indexCount), GL_UNSIGNED_SHORT, nullptr,
                                     -GLint(d.minIndex));
        }
        else
        {
            glBufferData(GL_ARRAY_BUFFER,
                         GLsizeiptr(d.vertexCount) * GLsizeiptr(sizeof(ZanD3DVertex)), d.vertices,
                         GL_STREAM_DRAW);
            glDrawArrays(mode, 0, GLsizei(d.vertexCount));
        }
    }

    HRESULT Present() override
    {
        ZanWindow* w = ZanWindowFromHandle(m_window);
        if (!w || !w->sdl || !MakeCurrent())
            return D3DERR_DEVICELOST;
        int dw = 0, dh = 0, ww = 0, wh = 0;
        SDL_GL_GetDrawableSize(w->sdl, &dw, &dh);
        SDL_GetWindowSize(w->sdl, &ww, &wh);
        if (dw <= 0 || dh <= 0)
            dw = ww, dh = wh;
        if (dw <= 0 || dh <= 0)
            return D3D_OK;
        // Largest picture that fits with the aspect ratio kept, centred.
        const float scale = std::min(float(dw) / float(m_width), float(dh) / float(m_height));
        const int outW = std::max(1, int(std::lround(m_width * scale)));
        const int outH = std::max(1, int(std::lround(m_height * scale)));
        const int offX = (dw - outW) / 2, offY = (dh - outH) / 2;
        const float toWindow = ww > 0 ? float(ww) / float(dw) : 1.0f;
        w->scaleX = float(outW) / float(m_width) * toWindow;
        w->scaleY = float(outH) / float(m_height) * toWindow;
        w->offsetX = int(std::lround(offX * toWindow));
        w->offsetY = int(std::lround(offY * toWindow));

        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        if (outW != dw || outH != dh)
        {
            glViewport(0, 0, dw, dh);
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glBlitFramebuffer(0, 0, m_width, m_height, offX, dh - offY - outH, offX + outW, dh - offY,
                          GL_COLOR_BUFFER_BIT,
                          outW == m_width && outH == m_height ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(w->sdl);
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
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

    bool ReadBack(std::vector<uint32_t>& picture) override
    {
        if (!MakeCurrent())
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
    bool MakeCurrent()
    {
        if (g_current == this)
            return true;
        ZanWindow* w = ZanWindowFromHandle(m_window);
        if (!w || !w->sdl || SDL_GL_MakeCurrent(w->sdl, m_context) != 0)
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

    void ApplyState(const ZanD3DDraw& d, Texture* texture)
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
            const GLint opaque = texture->Pixels()->opaque ? 1 : 0;
            if (Changed(m_opaque, opaque))
                glUniform1i(m_uOpaque, opaque);
            const DWORD wrap[2] = {s.addressU, s.addressV};
            if (Changed(m_wrap, *reinterpret_cast<const DWORD(*)[2]>(wrap)))
            {
                glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_S, Wrap(s.addressU));
                glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_T, Wrap(s.addressV));
            }
        }
        const GLint has = hasTexture ? 1 : 0;
        if (Changed(m_hasTexture, has))
            glUniform1i(m_uHasTexture, has);

        const D3DMATRIX matrix = Multiply(Multiply(s.world, s.view), s.projection);
        if (Changed(m_matrix, matrix))
            glUniformMatrix4fv(m_uMatrix, 1, GL_FALSE, &matrix.m[0][0]);
        if (!m_viewportValid || Changed(m_viewport, s.viewport))
        {
            m_viewport = s.viewport;
            m_viewportValid = true;
            glViewport(GLint(s.viewport.X), m_height - GLint(s.viewport.Y + s.viewport.Height),
                       GLsizei(s.viewport.Width), GLsizei(s.viewport.Height));
            glUniform2f(m_uViewportSize, float(s.viewport.Width), float(s.viewport.Height));
        }
        const GLint colorOp[3] = {GLint(s.colorOp), GLint(s.colorArg1), GLint(s.colorArg2)};
        if (Changed(m_colorOp, *reinterpret_cast<const GLint(*)[3]>(colorOp)))
            glUniform3iv(m_uColorOp, 1, colorOp);
        const GLint alphaOp[3] = {GLint(s.alphaOp), GLint(s.alphaArg1), GLint(s.alphaArg2)};
        if (Changed(m_alphaOp, *reinterpret_cast<const GLint(*)[3]>(alphaOp)))
            glUniform3iv(m_uAlphaOp, 1, alphaOp);
        if (Changed(m_factor, s.textureFactor))
        {
            const DWORD f = s.textureFactor;
            glUniform4f(m_uFactor, float((f >> 16) & 0xFF) / 255.0f,
                        float((f >> 8) & 0xFF) / 255.0f, float(f & 0xFF) / 255.0f,
                        float(f >> 24) / 255.0f);
        }
        const GLint alphaTest[3] = {s.alphaTestEnable ? 1 : 0, GLint(s.alphaFunc),
                                    GLint(s.alphaRef & 0xFF)};
        if (Changed(m_alphaTest, *reinterpret_cast<const GLint(*)[3]>(alphaTest)))
            glUniform3iv(m_uAlphaTest, 1, alphaTest);

        const DWORD blend[4] = {s.alphaBlendEnable ? 1u : 0u, s.srcBlend, s.destBlend, s.blendOp};
        if (Changed(m_blend, *reinterpret_cast<const DWORD(*)[4]>(blend)))
        {
            if (s.alphaBlendEnable)
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
    }

    HWND m_window;
    SDL_GLContext m_context;
    GLuint m_program = 0, m_vao = 0, m_vbo = 0, m_ebo = 0, m_fbo = 0, m_target = 0, m_sampler = 0;
    GLint m_uMatrix = -1, m_uViewportSize = -1, m_uHasTexture = -1, m_uOpaque = -1, m_uColorOp = -1,
          m_uAlphaOp = -1, m_uFactor = -1, m_uAlphaTest = -1;
    int m_width = 0, m_height = 0;
    GLuint m_boundTexture = 0;
    // Last values handed to OpenGL; impossible values force the first upload.
    GLint m_opaque = -1, m_hasTexture = -1;
    DWORD m_wrap[2] = {0, 0};
    D3DMATRIX m_matrix{};
    D3DVIEWPORT9 m_viewport{};
    bool m_viewportValid = false;
    GLint m_colorOp[3] = {-1, -1, -1}, m_alphaOp[3] = {-1, -1, -1}, m_alphaTest[3] = {-1, -1, -1};
    DWORD m_factor = 0x12345678u;
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
