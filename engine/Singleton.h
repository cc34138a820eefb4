#pragma once

// One process-wide instance per class, created with new on first use.
// The pointer is set while the base is constructed, so a constructor that
// reaches its own class through GetInstance finds the instance being built.
template <class T>
class CSingleton {
public:
    static T* GetInstance() {
        if (!ms_Instance) new T();
        return ms_Instance;
    }
    // The instance if it exists, without creating one.
    static T* GetInstancePtr() { return ms_Instance; }
    static bool HasInstance() { return ms_Instance != nullptr; }

    CSingleton(const CSingleton&) = delete;
    CSingleton& operator=(const CSingleton&) = delete;

protected:
    CSingleton() { ms_Instance = static_cast<T*>(this); }
    virtual ~CSingleton() {
        if (ms_Instance == static_cast<T*>(this)) ms_Instance = nullptr;
    }

private:
    static inline T* ms_Instance = nullptr;
};
