// Program routines for test builds: each call appends its name to the file named by
// TESSIVAR_ROUTINE_JOURNAL, so a test can see which routines ran. Only test builds read the
// environment; the shipped program's routines are empty.
#include "shell/win_shell.h"

#include <windows.h>

#include <string_view>

namespace tessivar {

namespace {

void Record(std::string_view line)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"TESSIVAR_ROUTINE_JOURNAL", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

void GlobalInitialisation()
{
    Record("global-initialisation\n");
}

void Cleanup()
{
    Record("cleanup\n");
}

}  // namespace

const ProgramRoutines kProgramRoutines = {GlobalInitialisation, Cleanup};

}  // namespace tessivar
