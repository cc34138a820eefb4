// Global memory blocks. Every handle is checked against the live set, so a
// stale or foreign handle fails instead of touching memory.
#include "winbase.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace {

struct Block {
    UINT flags;
    UINT locks;
    size_t size;
    void* data;
};

std::mutex g_Mutex;
std::unordered_set<Block*>& Live() {
    static std::unordered_set<Block*> live;
    return live;
}

Block* Find(HGLOBAL memory) {
    auto it = Live().find(static_cast<Block*>(memory));
    return it == Live().end() ? nullptr : *it;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    void* data = (flags & GMEM_ZEROINIT) ? calloc(bytes ? bytes : 1, 1) : malloc(bytes ? bytes : 1);
    Block* block = data ? new (std::nothrow) Block{flags, 0, bytes, data} : nullptr;
    if (!block) {
        free(data);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_Mutex);
    Live().insert(block);
    return block;
}

LPVOID GlobalLock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    Block* block = Find(memory);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    Block* block = Find(memory);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (block->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    --block->locks;
    SetLastError(ERROR_SUCCESS);
    return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(g_Mutex);
    Block* block = Find(memory);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    Live().erase(block);
    free(block->data);
    delete block;
    return nullptr;
}
