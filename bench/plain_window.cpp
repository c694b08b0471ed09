// A second start-up baseline: the launcher's window as a plain Win32 program. It has what the design
// requires of start-up, OLE initialised first, the executable's manifest (common controls 6) and icon
// group, the window with its icons and font, and the three themed buttons, but none of the launcher's
// own code (design data, components, event routing). Against it, only that code's cost remains.
#include <ole2.h>
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

struct ButtonPlace {
    const wchar_t* text;
    RECT rect;  // left, top, width, height
};

constexpr ButtonPlace kButtons[] = {
    {L"打开-PowerPoint", {24, 144, 312, 56}},
    {L"打开Excel", {200, 32, 136, 88}},
    {L"打开WORD", {24, 32, 136, 88}},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    OleInitialize(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"PlainWindow";
    if (RegisterClassExW(&wc) == 0)
        return 1;
    constexpr int kWidth = 364;
    constexpr int kHeight = 251;
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, L"Tessivar", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                        (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2, (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2,
                        kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr)
        return 1;
    HICON big = static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    HICON small = static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(hwnd, WM_SETFONT, font, FALSE);
    int id = 1000;
    for (const ButtonPlace& place : kButtons) {
        HWND button = CreateWindowExW(
            0, L"BUTTON", place.text,
            WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE,
            place.rect.left, place.rect.top, place.rect.right, place.rect.bottom, hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(button, WM_SETFONT, font, FALSE);
        ShowWindow(button, SW_SHOWNA);
    }
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyIcon(big);
    DestroyIcon(small);
    OleUninitialize();
    return static_cast<int>(msg.wParam);
}
