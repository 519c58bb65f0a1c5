#include <windows.h>

#include <cstdio>

#include "ParentConsole.h"

namespace app {

namespace {
bool goesSomewhere(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}
}  // namespace

void useParentConsole() {
    const bool output = goesSomewhere(STD_OUTPUT_HANDLE);
    const bool errors = goesSomewhere(STD_ERROR_HANDLE);
    if (output && errors) return;  // redirected to a file or a pipe
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!output) std::freopen("CONOUT$", "w", stdout);
    if (!errors) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace app
