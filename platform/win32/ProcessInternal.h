// Process handles, closed through CloseHandle (not part of the API).
#pragma once

#include "win32.h"

namespace winimpl {

// Closes a process or thread handle made by CreateProcessA; false for any other handle.
bool CloseProcessHandle(HANDLE object);

}  // namespace winimpl
