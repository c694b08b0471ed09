// Stands in for a system DLL planted beside the program: if it is ever loaded it leaves a
// marker file beside itself and refuses to load, so Wine falls back to its own copy.
#include <windows.h>
extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH];
        DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
        while (n > 0 && path[n - 1] != L'\\')
            --n;
        lstrcpyW(path + n, L"planted-dll-loaded");
        HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
        return FALSE;
    }
    return TRUE;
}
