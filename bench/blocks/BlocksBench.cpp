// Draws a 10 x 20 field of high-detail blocks per frame with the 2.0 programs,
// setting the per-block constants by name as the field does, and reports
// frames per second and the cost of one block draw. Run under Xvfb:
//   xvfb-run -a -s "-screen 0 1024x768x24" build/bench/blocks/bench_blocks [frames]
#include <SDL.h>
#include <d3d9hooks.h>
#include <d3dx9math.h>
#include <managerhooks.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/MeshManager.h"
#include "engine/ShaderManager.h"
#include "support/EngineScope.h"

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    const UINT width = 1024, height = 768;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "no video: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        fprintf(stderr, "no window: %s\n", SDL_GetError());
        return 1;
    }
    HWND hwnd = reinterpret_cast<HWND>(window);
    d3d9hooks::RegisterSdlWindow(hwnd, window);
    d3d9hooks::SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    // On the null device the figure is the layer's cost, not the recorder's printing.
    d3d9hooks::SetNullRecording(false);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = hwnd;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* device = nullptr;
    if (!d3d || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                         &pp, &device))) {
        fprintf(stderr, "no device\n");
        return 1;
    }
    managerhooks::SetTestDevice(device);
    enginescope::Sweep managers;
    const char* gameEnv = std::getenv("KOLVAR_GAME_DIR");
    std::string data = std::string(gameEnv ? gameEnv : KOLVAR_BENCH_GAME_DIR) + "/data";
    CShaderManager* shaders = CShaderManager::GetInstance();
    CMeshManager* meshes = CMeshManager::GetInstance();
    meshes->SetMeshPath((data + "/meshes").c_str());
    shaders->SetVertexShadersPath(data + "/vertex_shaders");
    shaders->SetPixelShadersPath(data + "/pixel_shaders");
    CVertexShader* vs = shaders->LoadVertexShader("pp_cube_map_high_vs.cg", "vs_2_0");
    CPixelShader* ps = shaders->LoadPixelShader("pp_cube_map_high_ps.cg", "ps_2_0");
    CMesh* block = nullptr;
    if (!vs || !ps || !meshes->LoadMesh(&block, "block_high.x", 1)) {
        fprintf(stderr, "cannot load the programs or the block mesh\n");
        return 1;
    }

    const int W = 10, H = 20;
    D3DXMATRIX view, proj, viewProj;
    D3DXVECTOR3 eye(0, 0, -30.f), at(0, 0, 0), up(0, -1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, 0.785f, float(width) / height, 0.1f, 200.f);
    D3DXMatrixMultiply(&viewProj, &view, &proj);
    struct Block {
        D3DXMATRIX clip, wvT, wvIT, inverse;
    } field[W * H];
    for (int r = 0; r < H; ++r)
        for (int c = 0; c < W; ++c) {
            D3DXMATRIX scale, move, world, wv, tmp;
            D3DXMatrixScaling(&scale, 0.1f, 0.1f, 0.1f);
            D3DXMatrixTranslation(&move, 0.96f * (c - (W - 1) / 2.f), 0.96f * (r - (H - 1) / 2.f), 0);
            D3DXMatrixMultiply(&world, &scale, &move);
            Block& b = field[r * W + c];
            D3DXMatrixMultiply(&tmp, &world, &viewProj);
            D3DXMatrixTranspose(&b.clip, &tmp);
            D3DXMatrixMultiply(&wv, &world, &view);
            D3DXMatrixTranspose(&b.wvT, &wv);
            D3DXMatrixInverse(&tmp, nullptr, &wv);
            D3DXMatrixTranspose(&b.wvIT, &tmp);
            D3DXMatrixInverse(&b.inverse, nullptr, &world);
        }
    const float diffuse[4] = {0.8f, 0.4f, 0.2f, 1}, ambient[4] = {0.2f, 0.2f, 0.2f, 1};
    device->SetRenderState(D3DRS_ZENABLE, TRUE);

    auto drawFrame = [&]() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.f, 0);
        device->BeginScene();
        shaders->SetVertexShader(vs);
        shaders->SetPixelShader(ps);
        for (const Block& b : field) {
            D3DXVECTOR3 light, eyeObject, lightWorld(0, 0, 10);
            D3DXVec3TransformCoord(&light, &lightWorld, &b.inverse);
            D3DXVec3TransformCoord(&eyeObject, &eye, &b.inverse);
            const float l4[4] = {light.x, light.y, light.z, 1}, e4[4] = {eyeObject.x, eyeObject.y, eyeObject.z, 1};
            shaders->SetVertexShaderConstant(vs, "eye_position", e4, 1);
            shaders->SetVertexShaderConstant(vs, "light_position", l4, 1);
            shaders->SetVertexShaderConstant(vs, "clip_matrix", &b.clip.m[0][0], 4);
            shaders->SetVertexShaderConstant(vs, "world_matrix_t", &b.wvT.m[0][0], 4);
            shaders->SetVertexShaderConstant(vs, "world_matrix_it", &b.wvIT.m[0][0], 4);
            shaders->SetPixelShaderConstant(ps, "diffuse_color", diffuse, 1);
            shaders->SetPixelShaderConstant(ps, "ambient_color", ambient, 1);
            block->Render(device, true, true);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int i = 0; i < 10; ++i) drawFrame();  // warm-up: program links, buffer uploads
    const uint64_t callsBefore = d3d9hooks::GlCallCount();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) drawFrame();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* backend = d3d9hooks::ActiveBackend() == d3d9hooks::Backend::Null ? "null" : "GL";
    printf("bench_blocks (%s device): %d frames of %d blocks (%u triangles each) in %.3f s\n", backend, frames,
           W * H, block->GetSysMemMesh()->GetNumFaces(), seconds);
    printf("  %.1f frames per second, %.1f us per block draw (constants and mesh)\n", frames / seconds,
           seconds * 1e6 / (double(frames) * W * H));
    printf("  %.1f GL calls per block draw\n",
           double(d3d9hooks::GlCallCount() - callsBefore) / (double(frames) * W * H));

    managers.Now();
    device->Release();
    d3d->Release();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
