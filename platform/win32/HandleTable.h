// The live handles of one kind. A handle is an address the layer gave out; it
// is looked up here before anything is read through it, so a closed handle, a
// handle of another kind or a made-up value is refused instead of dereferenced.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

namespace winimpl {

template <class T>
class HandleTable {
public:
    void* Add(std::unique_ptr<T> object) {
        T* raw = object.get();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_live[raw] = std::move(object);
        return raw;
    }

    // The object behind a live handle, nullptr for anything else.
    T* Find(const void* handle) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_live.find(handle);
        return it == m_live.end() ? nullptr : it->second.get();
    }

    // Takes a live handle out of the table; empty for anything else.
    std::unique_ptr<T> Remove(const void* handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_live.find(handle);
        if (it == m_live.end()) return nullptr;
        std::unique_ptr<T> object = std::move(it->second);
        m_live.erase(it);
        return object;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<const void*, std::unique_ptr<T>> m_live;
};

}  // namespace winimpl
