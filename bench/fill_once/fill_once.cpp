// The floor under the game's drawing cost: an 800 x 600 window that draws one opaque textured
// quad over the whole window per frame, 60 times a second, with the game's OpenGL set-up.
// tools/measure_drawing.sh runs it beside the game. It prints the frames it showed when it is
// stopped (SIGTERM or SIGINT).
#include <SDL.h>
#include <epoxy/gl.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <vector>

namespace
{
volatile std::sig_atomic_t g_stop = 0;

void Stop(int)
{
    g_stop = 1;
}

GLuint Compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

const char* kVertex = R"(#version 330 core
layout(location = 0) in vec2 aPos;
out vec2 vUV;
void main()
{
    vUV = aPos * vec2(0.5, -0.5) + 0.5;
    gl_Position = vec4(aPos, 0.0, 1.0);
}
)";

const char* kFragment = R"(#version 330 core
in vec2 vUV;
uniform sampler2D uTexture;
out vec4 fragColor;
void main()
{
    fragColor = texture(uTexture, vUV);
}
)";
} // namespace

int main()
{
    const int width = 800, height = 600;
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("FillOnce", SDL_WINDOWPOS_CENTERED,
                                          SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context)
        return 1;
    SDL_GL_SetSwapInterval(1);

    GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertex));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragment));
    glLinkProgram(program);
    glUseProgram(program);

    const float corners[] = {-1, -1, 1, -1, 1, 1, -1, -1, 1, 1, -1, 1};
    GLuint vao = 0, vbo = 0, texture = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);

    // A vertical gradient, like the sky.
    std::vector<unsigned> pixels(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = 0xFF000000u | unsigned(y * 255 / height) << 8 | 0xC0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels.data());

    // Frames on an absolute 60 Hz schedule, as the game's pacer keeps them.
    const long period = 1000000000L / 60;
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    unsigned long frames = 0;
    while (!g_stop)
    {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (e.type == SDL_QUIT)
                g_stop = 1;
        glDrawArrays(GL_TRIANGLES, 0, 6);
        SDL_GL_SwapWindow(window);
        ++frames;
        next.tv_nsec += period;
        if (next.tv_nsec >= 1000000000L)
        {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    std::printf("%lu\n", frames);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
