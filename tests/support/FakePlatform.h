// The device hooks on one backend, a fake clock from 1 s with the engine timer started on it and, when
// asked, injected input instead of the real devices, for one scope: engine time moves only when a test
// advances the clock. The destructor puts all back.
#pragma once

#include <d3d9hooks.h>
#include <dinputhooks.h>
#include <platform.h>

#include "engine/EngineTimer.h"

namespace testutil {

class FakePlatform {
public:
    explicit FakePlatform(d3d9hooks::Backend backend = d3d9hooks::Backend::Null, bool injectedInput = false)
        : m_input(injectedInput) {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(backend);
        platform::SetFakeClock(true, 1000000000LL);
        EngineTimerRestart();
        if (m_input) platform::SetInputTestMode(true);
    }
    ~FakePlatform() {
        if (m_input) platform::SetInputTestMode(false);
        platform::SetFakeClock(false);
        d3d9hooks::ResetAll();
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

private:
    bool m_input;
};

}  // namespace testutil
