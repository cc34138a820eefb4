#pragma once
// Sets (or, with nullptr, removes) an environment variable for one scope.
#include <cstdlib>
#include <string>

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_Name(name) {
        if (const char* old = getenv(name)) {
            m_HadValue = true;
            m_Old = old;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_HadValue)
            setenv(m_Name, m_Old.c_str(), 1);
        else
            unsetenv(m_Name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_Name;
    bool m_HadValue = false;
    std::string m_Old;
};
