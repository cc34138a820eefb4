#include "support/ZipFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/TestUtil.h"

namespace testutil {

bool MakeZip(const std::string& archive, const std::map<std::string, std::string>& files,
             const std::string& password, const std::string& extraOptions) {
    TempDir scratch;
    for (const auto& [name, contents] : files) {
        std::filesystem::path p = scratch.path() + "/" + name;
        std::filesystem::create_directories(p.parent_path());
        WriteFile(p.string(), contents);
    }
    std::filesystem::remove(archive);
    std::string command = "cd '" + scratch.path() + "' && zip -q -r -D " + extraOptions;
    if (!password.empty()) command += " -P '" + password + "'";
    command += " '" + archive + "' .";
    int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

void RenameZipEntry(const std::string& archive, const std::string& from, const std::string& to) {
    ASSERT_EQ(from.size(), to.size());
    std::string data = ReadFile(archive);
    size_t count = 0;
    for (size_t at = data.find(from); at != std::string::npos; at = data.find(from, at + to.size())) {
        data.replace(at, to.size(), to);
        ++count;
    }
    ASSERT_EQ(count, 2u) << "expected the name once in the local header and once in the directory";
    WriteFile(archive, data);
}

void SetZipEntrySize(const std::string& archive, int entry, uint32_t size) {
    std::string data = ReadFile(archive);
    // Local headers ("PK\3\4") keep the size at +22, directory entries ("PK\1\2") at +24.
    for (const auto& [signature, offset] : {std::pair<const char*, size_t>{"PK\x03\x04", 22},
                                            std::pair<const char*, size_t>{"PK\x01\x02", 24}}) {
        size_t at = std::string::npos;
        for (int i = 0; i <= entry; ++i) at = data.find(signature, at == std::string::npos ? 0 : at + 4);
        ASSERT_NE(at, std::string::npos);
        memcpy(&data[at + offset], &size, 4);  // little-endian host, as the format
    }
    WriteFile(archive, data);
}

}  // namespace testutil
