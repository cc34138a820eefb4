// bench_d3d9 [--frames N]
// The GL device's own costs at 1024 x 768: an empty frame, 1000 small
// pre-transformed quads from user memory, 200 indexed draws through a vertex
// program with fresh constants each (a full field of blocks), and 20000 point
// sprites from one dynamic buffer. Prints frames per second and per-draw time.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "d3d9.h"
#include "d3d9hooks.h"
#include "d3dx9math.h"

namespace {

uint64_t g_callsPerFrame = 0;  // GL calls of the last measured frame

double Measure(IDirect3DDevice9* dev, long frames, const std::function<void()>& draw) {
    const auto start = std::chrono::steady_clock::now();
    uint64_t frameStart = 0;
    for (long f = 0; f < frames; ++f) {
        frameStart = d3d9hooks::GlCallCount();
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev->BeginScene();
        draw();
        dev->EndScene();
        dev->Present(nullptr, nullptr, nullptr, nullptr);
    }
    g_callsPerFrame = d3d9hooks::GlCallCount() - frameStart;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* what, long frames, double seconds, long drawsPerFrame) {
    printf("%-34s %8.1f fps", what, frames / seconds);
    if (drawsPerFrame > 0)
        printf("  %7.2f us per draw  %5.1f GL calls per draw", seconds / frames / drawsPerFrame * 1e6,
               static_cast<double>(g_callsPerFrame) / drawsPerFrame);
    else
        printf("  %llu GL calls per frame", static_cast<unsigned long long>(g_callsPerFrame));
    printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 300;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!strcmp(argv[i], "--frames")) frames = atol(argv[i + 1]);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("bench_d3d9", 0, 0, 1024, 768, SDL_WINDOW_OPENGL);
    HWND hwnd = reinterpret_cast<HWND>(window);
    d3d9hooks::RegisterSdlWindow(hwnd, window);
    d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* dev = nullptr;
    if (!d3d || FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev))) {
        fprintf(stderr, "no device\n");
        return 1;
    }
    printf("%u x %u back buffer\n", pp.BackBufferWidth, pp.BackBufferHeight);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

    Report("empty frame", frames, Measure(dev, frames, [] {}), 0);

    struct TL {
        float x, y, z, rhw;
        D3DCOLOR c;
    };
    Report("1000 quads from user memory", frames, Measure(dev, frames, [&] {
               dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
               for (int i = 0; i < 1000; ++i) {
                   const float x = (i % 40) * 25.0f, y = (i / 40) * 30.0f;
                   const TL q[4] = {{x, y, 0.5f, 1, 0xFF40C040},
                                    {x + 20, y, 0.5f, 1, 0xFF40C040},
                                    {x, y + 20, 0.5f, 1, 0xFF40C040},
                                    {x + 20, y + 20, 0.5f, 1, 0xFF40C040}};
                   dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TL));
               }
           }),
           1000);

    // A cube of 24 vertices / 36 indices drawn 200 times through a vertex program.
    struct V {
        float x, y, z;
    };
    IDirect3DVertexBuffer9* cubeVb = nullptr;
    IDirect3DIndexBuffer9* cubeIb = nullptr;
    dev->CreateVertexBuffer(8 * sizeof(V), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &cubeVb, nullptr);
    dev->CreateIndexBuffer(36 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &cubeIb, nullptr);
    V* v = nullptr;
    cubeVb->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
    for (int i = 0; i < 8; ++i) v[i] = {i & 1 ? 0.4f : -0.4f, i & 2 ? 0.4f : -0.4f, i & 4 ? 0.4f : -0.4f};
    cubeVb->Unlock();
    WORD* idx = nullptr;
    cubeIb->Lock(0, 0, reinterpret_cast<void**>(&idx), 0);
    const WORD faces[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                            2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
    memcpy(idx, faces, sizeof faces);
    cubeIb->Unlock();
    const auto blob = D3D9BuildGlslBlob(D3D9_GLSL_VERTEX,
                                        "void main() {\n"
                                        "  gl_Position = mat4(c[0], c[1], c[2], c[3]) * vec4(a_position.xyz, 1.0);\n"
                                        "  v_color0 = c[4];\n"
                                        "}\n");
    IDirect3DVertexShader9* vs = nullptr;
    dev->CreateVertexShader(blob.data(), &vs);
    D3DXMATRIX view, proj, viewProj;
    D3DXVECTOR3 eye(0, 0, -25), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 100.0f);
    D3DXMatrixMultiply(&viewProj, &view, &proj);
    Report("200 indexed draws, vertex program", frames, Measure(dev, frames, [&] {
               dev->SetVertexShader(vs);
               dev->SetFVF(D3DFVF_XYZ);
               dev->SetStreamSource(0, cubeVb, 0, sizeof(V));
               dev->SetIndices(cubeIb);
               for (int i = 0; i < 200; ++i) {
                   D3DXMATRIX world, wvp;
                   D3DXMatrixTranslation(&world, (i % 20) - 9.5f, (i / 20) - 4.5f, 0.0f);
                   D3DXMatrixMultiply(&wvp, &world, &viewProj);
                   dev->SetVertexShaderConstantF(0, &wvp._11, 4);
                   const float colour[4] = {0.2f + (i % 7) * 0.1f, 0.5f, 0.8f, 1.0f};
                   dev->SetVertexShaderConstantF(4, colour, 1);
                   dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 12);
               }
               dev->SetVertexShader(nullptr);
           }),
           200);

    struct P {
        float x, y, z, rhw, size;
        D3DCOLOR c;
    };
    const int kPoints = 20000;
    IDirect3DVertexBuffer9* points = nullptr;
    dev->CreateVertexBuffer(kPoints * sizeof(P), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS, 0,
                            D3DPOOL_DEFAULT, &points, nullptr);
    long frame = 0;
    Report("20000 point sprites, one buffer", frames, Measure(dev, frames, [&] {
               P* p = nullptr;
               points->Lock(0, kPoints * sizeof(P), reinterpret_cast<void**>(&p), D3DLOCK_DISCARD);
               for (int i = 0; i < kPoints; ++i)
                   p[i] = {static_cast<float>((i * 37 + frame) % 1024), static_cast<float>((i * 91) % 768), 0.5f, 1,
                           6.0f, 0x80FFC080};
               points->Unlock();
               ++frame;
               dev->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
               dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
               dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
               dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
               dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_PSIZE | D3DFVF_DIFFUSE);
               dev->SetStreamSource(0, points, 0, sizeof(P));
               dev->DrawPrimitive(D3DPT_POINTLIST, 0, kPoints);
               dev->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
               dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
           }),
           1);

    dev->SetStreamSource(0, nullptr, 0, 0);
    dev->SetIndices(nullptr);
    points->Release();
    vs->Release();
    cubeVb->Release();
    cubeIb->Release();
    dev->Release();
    d3d->Release();
    SDL_DestroyWindow(window);
    return 0;
}
