#include "shell/win_shell.h"

#include <windows.h>

namespace {

// DLLs loaded by name come from System32 only, never from the program's folder or the current
// directory. Systems without SetDefaultDllDirectories keep their default search.
[[maybe_unused]] void RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return;
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
#ifndef TESSIVAR_TEST_UNRESTRICTED_DLL_SEARCH  // only the planted-DLL test's control build sets it
    RestrictDllSearch();
#endif
    // The command line is not read: arguments change nothing.
    return tessivar::RunLauncher(tessivar::kLauncherDesign, tessivar::kProgramRoutines);
}
