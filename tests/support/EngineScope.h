// One engine for a test or a benchmark: the game's window settings, the engine started on them with
// the game's data paths, and on the way out the singletons made meanwhile. No gtest: benchmarks link it.
#pragma once

#include <functional>
#include <vector>

#include "engine/GeneralParameters.h"

namespace enginescope {

// Windowed, 32-bit, the game's 0.025 s step; the caller may change any field after.
void FillWindowed(CGeneralParameters& p, const char* caption, int width, int height, void (*update)() = nullptr);

// Notes which engine and audio singletons exist at construction; Now() and the destructor delete
// those made since and nothing older. The sound engine goes first, then the graphics engine, whose
// destructor takes its managers along; managers made without a new engine go in the order it uses.
class Sweep {
public:
    Sweep();
    ~Sweep() { Now(); }
    Sweep(const Sweep&) = delete;
    Sweep& operator=(const Sweep&) = delete;

    // Also deletes T, a singleton of a layer above audio, unless it exists now.
    // Tracked ones go before the engine's, the last tracked first.
    template <class T>
    void Track() {
        if (!T::HasInstance()) m_above.push_back([] { delete T::GetInstancePtr(); });
    }
    void Now();

private:
    unsigned m_existed = 0;  // a bit per engine or audio singleton
    std::vector<std::function<void()>> m_above;
};

struct Options {
    const char* caption = "test";
    int width = 1024;
    int height = 768;
    void (*update)() = nullptr;
    bool dataPaths = true;  // meshes, textures, shaders, fonts and audio under data\ as the game sets them
};

// Fills the parameters, starts the engine and sets the data paths; the destructor deletes only the
// singletons that did not exist before it.
class EngineScope {
public:
    explicit EngineScope(const Options& o = Options());
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;

    // False when the engine did not start (a line on stderr says so; the log says why).
    bool Ok() const { return m_ok; }
    const CGeneralParameters& Params() const { return m_params; }
    Sweep& Singletons() { return m_sweep; }
    // Deletes now what the destructor would.
    void End() { m_sweep.Now(); }

private:
    Sweep m_sweep;
    CGeneralParameters m_params;
    bool m_ok = false;
};

}  // namespace enginescope
