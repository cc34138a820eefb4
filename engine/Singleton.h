#pragma once

#include <cstdio>
#include <typeinfo>

// One process-wide instance per class, created with new on first use.
// The instance is published only once its constructor has finished. Code run
// from that constructor sees no instance: GetInstance returns null there rather
// than starting a second construction, and HasInstance tells the two apart.
template <class T>
class CSingleton {
public:
    static T* GetInstance() {
        if (ms_Instance) return ms_Instance;
        if (ms_Constructing) {
            if (!ms_ReentryReported) {
                ms_ReentryReported = true;
                std::fprintf(stderr, "singleton %s: GetInstance during its own construction\n",
                             typeid(T).name());
            }
            return nullptr;
        }
        struct Guard {
            Guard() { ms_Constructing = true; }
            ~Guard() { ms_Constructing = false; }
        } guard;
        T* created = new T();
        ms_Instance = created;
        ms_Base = created;
        return ms_Instance;
    }
    // The instance if it exists, without creating one.
    static T* GetInstancePtr() { return ms_Instance; }
    static bool HasInstance() { return ms_Instance != nullptr; }
    // True while GetInstance runs the constructor.
    static bool IsConstructing() { return ms_Constructing; }

    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;

protected:
    CSingleton() = default;
    virtual ~CSingleton() {
        // Compared as the base recorded at publication: no cast of a half-destroyed object.
        if (ms_Base == this) {
            ms_Instance = nullptr;
            ms_Base = nullptr;
        }
    }

private:
    static inline T* ms_Instance = nullptr;
    static inline const CSingleton* ms_Base = nullptr;
    static inline bool ms_Constructing = false;
    static inline bool ms_ReentryReported = false;
};
