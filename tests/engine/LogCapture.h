#pragma once

#include <cstdio>
#include <string>

#include "engine/Log.h"
#include "support/TestUtil.h"

namespace testutil {

// Points the log at a fresh folder so the lines of one test can be read back,
// whatever other test processes do to the shared log meanwhile.
class LogCapture {
public:
    LogCapture() {
        char* start = const_cast<char*>(g_Log.GetStartDirectory());
        m_saved = start;
        snprintf(start, 260, "%s", m_dir.path().c_str());
    }
    ~LogCapture() { snprintf(const_cast<char*>(g_Log.GetStartDirectory()), 260, "%s", m_saved.c_str()); }
    std::string Text() const { return testutil::ReadFile(m_dir.file("log.html")); }
    std::string File() const { return m_dir.file("log.html"); }

private:
    testutil::TempDir m_dir;
    std::string m_saved;
};

}  // namespace testutil
