// The start-up baseline: the least a Win32 program with one window does. It registers a class, creates
// and shows one window of the launcher's size and styles, captioned like it, and runs a message loop
// until the window is closed. Built with the launcher's flags, static like it, without its manifest,
// OLE, buttons or icons.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"BareWindow";
    if (RegisterClassExW(&wc) == 0)
        return 1;
    constexpr int kWidth = 364;
    constexpr int kHeight = 251;
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, L"Tessivar", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2, (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2,
                        kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr)
        return 1;
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
