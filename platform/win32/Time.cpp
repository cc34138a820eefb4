#include "platform.h"
#include "win32.h"

#include <ctime>

namespace {
bool g_fakeEnabled = false;
int64_t g_fakeNow = 0;

int64_t NowNanoseconds() {
    if (g_fakeEnabled) return g_fakeNow;
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
}  // namespace

namespace platform {
void SetFakeClock(bool enabled, int64_t nanoseconds) {
    g_fakeEnabled = enabled;
    g_fakeNow = nanoseconds;
}
void AdvanceFakeClock(int64_t nanoseconds) { g_fakeNow += nanoseconds; }
bool FakeClockEnabled() { return g_fakeEnabled; }
}  // namespace platform

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = NowNanoseconds();
    return TRUE;
}

// Both wrap around at 2^32 milliseconds, as on the original.
DWORD timeGetTime() { return static_cast<DWORD>(static_cast<uint64_t>(NowNanoseconds() / 1000000)); }
DWORD GetTickCount() { return timeGetTime(); }

void Sleep(DWORD milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}
