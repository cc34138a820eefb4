#pragma once

#include <string>

// INI access by a file name relative to the current directory ("config.ini").
// A missing file or key reads as "", 0 or 0.0; a failed write is silent.
std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key);
int ReadIniInt(const std::string& file, const std::string& section, const std::string& key);
float ReadIniFloat(const std::string& file, const std::string& section, const std::string& key);
void WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
void WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int value);
void WriteIniFloat(const std::string& file, const std::string& section, const std::string& key, float value);
