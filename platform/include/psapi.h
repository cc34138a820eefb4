// Process status: how much memory the game itself holds.
#pragma once

#include "win32.h"

typedef struct _PROCESS_MEMORY_COUNTERS {
    DWORD cb;
    DWORD PageFaultCount;
    size_t PeakWorkingSetSize;  // the most resident bytes so far
    size_t WorkingSetSize;      // resident bytes now
    size_t QuotaPeakPagedPoolUsage;
    size_t QuotaPagedPoolUsage;
    size_t QuotaPeakNonPagedPoolUsage;
    size_t QuotaNonPagedPoolUsage;
    size_t PagefileUsage;
    size_t PeakPagefileUsage;
} PROCESS_MEMORY_COUNTERS, *PPROCESS_MEMORY_COUNTERS;

// A pseudo handle that stands for the calling process.
HANDLE GetCurrentProcess();
// Only the calling process can be asked; cb must be at least the record's size.
// The two working-set sizes are filled, the other counters are 0.
BOOL GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb);
