// bench_reference [--frames N]
// The cheapest frame a GL program can have at 1024 x 768: clear and swap in
// an SDL2 window, with no layer in between. Prints frames per second.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    long frames = 1000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!strcmp(argv[i], "--frames")) frames = atol(argv[i + 1]);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("bench_reference", 0, 0, 1024, 768, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        fprintf(stderr, "no GL context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);
    const auto start = std::chrono::steady_clock::now();
    for (long f = 0; f < frames; ++f) {
        glClearColor(0.0f, 0.0f, (f & 1) ? 0.2f : 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapWindow(window);
    }
    glFinish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("clear and swap 1024x768: %ld frames in %.3f s = %.1f frames/s (%.3f ms/frame)\n", frames, seconds,
           frames / seconds, seconds * 1e3 / frames);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
