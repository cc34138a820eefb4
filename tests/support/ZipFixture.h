#pragma once

#include <map>
#include <string>

namespace testutil {

// Builds a zip archive with the zip tool from files written into a scratch
// folder (name -> contents; names may hold folders). A non-empty password
// encrypts every entry. Returns false with a test failure when zip fails.
bool MakeZip(const std::string& archive, const std::map<std::string, std::string>& files,
             const std::string& password = "", const std::string& extraOptions = "");

// Replaces every occurrence of an entry name in an archive by another of the
// same length (in the local header and the central directory alike), to store
// names the zip tool would clean.
void RenameZipEntry(const std::string& archive, const std::string& from, const std::string& to);

// Sets the uncompressed size every header records for the nth entry (0-based).
void SetZipEntrySize(const std::string& archive, int entry, uint32_t size);

}  // namespace testutil
