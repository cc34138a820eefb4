// Engine start-up settings and the global log, for the tests that link the engine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Font.h"
#include "engine/GeneralParameters.h"
#include "engine/GlyphRect.h"
#include "engine/Log.h"
#include "support/EngineScope.h"
#include "support/TestUtil.h"

namespace testutil {

// What the global log gained since the mark (made at construction).
class LogTail {
public:
    LogTail() { Mark(); }
    void Mark() {
        m_Bytes = Whole().size();
        m_Entries = ReadLogEntries(File()).size();
    }
    std::string Text() const {
        std::string all = Whole();
        return all.size() > m_Bytes ? all.substr(m_Bytes) : std::string();
    }
    bool Contains(const std::string& needle) const { return Text().find(needle) != std::string::npos; }
    // Occurrences of the text anywhere in the new lines.
    int Count(const std::string& needle) const {
        std::string t = Text();
        int n = 0;
        for (size_t at = t.find(needle); at != std::string::npos; at = t.find(needle, at + 1)) ++n;
        return n;
    }
    std::vector<LogEntry> Entries() const {
        std::vector<LogEntry> all = ReadLogEntries(File());
        return std::vector<LogEntry>(all.begin() + std::min(m_Entries, all.size()), all.end());
    }
    // Lines whose whole message is the text.
    int Lines(const std::string& message) const {
        int n = 0;
        for (const LogEntry& e : Entries()) n += e.text == message;
        return n;
    }

private:
    static std::string File() { return std::string(g_Log.GetStartDirectory()) + "/log.html"; }
    static std::string Whole() { return ReadFile(File()); }
    size_t m_Bytes = 0;
    size_t m_Entries = 0;
};

}  // namespace testutil
