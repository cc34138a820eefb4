// How module names map onto files, shared by LoadLibraryA and SearchPathA.
#pragma once

#include <string>
#include <vector>

namespace winimpl {

// "Sound.DLL" -> "sound.so"; a name without ".dll" keeps its own extension.
std::string HostModuleName(const std::string& name);
bool IsModuleName(const std::string& name);
// KOLVAR_MISSING_MODULES lists module names that must fail to load (tests).
bool IsMarkedMissing(const std::string& name);
// The folder of the running executable, "" when unknown.
std::string ExecutableFolder();
// Where a bare module name is looked up, in order.
std::vector<std::string> ModuleSearchFolders();

}  // namespace winimpl
