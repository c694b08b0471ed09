#include "launcher_fixture.h"

#include <cstdio>

namespace tessivar::e2e {

namespace {

// Styles the program asks for, plus WS_VISIBLE once shown and what the system adds to every window of
// the kind: Windows and Wine give an overlapped window WS_CLIPSIBLINGS and a captioned one
// WS_EX_WINDOWEDGE. Nothing else may be there (no sizing frame, no maximise box).
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kShownWindowStyle = kWindowStyle | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kWindowExStyle = WS_EX_WINDOWEDGE;
constexpr DWORD kClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
constexpr DWORD kButtonStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", value);
    return text;
}

}  // namespace

const char* ButtonName(LauncherButton button)
{
    switch (button) {
        case LauncherButton::Word:
            return "Word";
        case LauncherButton::Excel:
            return "Excel";
        case LauncherButton::PowerPoint:
            return "PowerPoint";
    }
    return "?";
}

void PrintTo(LauncherButton button, std::ostream* out)
{
    *out << ButtonName(button);
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

std::string DescribeWindow(HWND hwnd)
{
    if (hwnd == nullptr)
        return "(none)";
    return Hex(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd))) + " class=\"" + Narrow(ClassName(hwnd)) +
           "\" text=\"" + Narrow(WindowText(hwnd)) + "\"";
}

HWND FindButton(HWND launcher, LauncherButton button)
{
    for (const ExpectedButton& expected : kExpectedButtons) {
        if (expected.button != button)
            continue;
        for (HWND child : ChildWindows(launcher)) {
            if (WindowText(child) == expected.text)
                return child;
        }
    }
    return nullptr;
}

void ExpectLauncherWindowAsDesigned(const LauncherProcess& process, HWND launcher)
{
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(WindowText(launcher), L"Tessivar");

    DWORD threadId = GetWindowThreadProcessId(launcher, nullptr);
    EXPECT_EQ(threadId, process.ThreadId()) << "the window belongs to the process's main thread";

    EXPECT_EQ(Hex(GetClassLongW(launcher, GCL_STYLE)), Hex(kClassStyle));
    EXPECT_EQ(Hex(static_cast<DWORD>(GetWindowLongW(launcher, GWL_STYLE))), Hex(kShownWindowStyle));
    EXPECT_EQ(Hex(static_cast<DWORD>(GetWindowLongW(launcher, GWL_EXSTYLE))), Hex(kWindowExStyle));
    EXPECT_EQ(GetWindow(launcher, GW_OWNER), nullptr) << "an owned window has no taskbar button";
    EXPECT_EQ(GetAncestor(launcher, GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(GetMenu(launcher), nullptr);
    EXPECT_FALSE(IsIconic(launcher));
    EXPECT_FALSE(IsZoomed(launcher));
    EXPECT_TRUE(IsWindowEnabled(launcher));

    const RECT rect = WindowRect(launcher);
    EXPECT_EQ(rect.right - rect.left, kLauncherSize.cx);
    EXPECT_EQ(rect.bottom - rect.top, kLauncherSize.cy);
    if (const auto origin = TestOptions().expectedOrigin) {
        EXPECT_EQ(rect.left, origin->x);
        EXPECT_EQ(rect.top, origin->y);
    }

    // Wine does not answer WM_GETICON and WM_GETFONT from another process: the icons are checked on
    // the X window (window_icons.py), the font by what the buttons draw (ButtonCaptionsAreDrawnIn...).

    // Exactly the three buttons: the components show nothing and have no windows that can be seen.
    const std::vector<HWND> children = ChildWindows(launcher);
    EXPECT_EQ(children.size(), kExpectedButtons.size());
    for (HWND child : children) {
        SCOPED_TRACE(DescribeWindow(child));
        EXPECT_EQ(CompareStringOrdinal(ClassName(child).c_str(), -1, L"BUTTON", -1, TRUE), CSTR_EQUAL);
        EXPECT_EQ(GetParent(child), launcher);
    }
    for (const ExpectedButton& expected : kExpectedButtons) {
        SCOPED_TRACE(ButtonName(expected.button));
        HWND button = FindButton(launcher, expected.button);
        ASSERT_NE(button, nullptr) << "no button with the text \"" << Narrow(expected.text) << "\"";
        const RECT actual = ChildRect(button);
        EXPECT_EQ(actual.left, expected.rect.left);
        EXPECT_EQ(actual.top, expected.rect.top);
        EXPECT_EQ(actual.right - actual.left, expected.rect.right - expected.rect.left);
        EXPECT_EQ(actual.bottom - actual.top, expected.rect.bottom - expected.rect.top);
        const auto style = static_cast<DWORD>(GetWindowLongW(button, GWL_STYLE));
        EXPECT_EQ(Hex(style), Hex(kButtonStyle));
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "not the default button";
        EXPECT_EQ(Hex(static_cast<DWORD>(GetWindowLongW(button, GWL_EXSTYLE))), Hex(0));
        EXPECT_TRUE(IsWindowEnabled(button));
    }

    // The launcher window is the only window of the process that shows.
    for (HWND other : OtherVisibleWindows(process.Id(), launcher))
        ADD_FAILURE() << "another window shows: " << DescribeWindow(other);
}

void RunningLauncher::Launch(LauncherProcess::StartInfo info)
{
    ASSERT_FALSE(info.exe.empty()) << "the driver needs --tessivar=PATH (and the other builds' paths)";
    std::wstring error;
    m_process = LauncherProcess::Start(info, &error);
    ASSERT_NE(m_process, nullptr) << Narrow(error);
    m_window = m_process->WaitForLauncherWindow();
    ASSERT_NE(m_window, nullptr) << "the launcher window did not show; still running: " << m_process->Running();
    // Keyboard input goes to the foreground window; the launcher activates itself when it shows.
    ASSERT_TRUE(LauncherInForeground()) << "foreground: " << DescribeWindow(GetForegroundWindow());
}

bool RunningLauncher::FocusArrivesAt(LauncherButton button) const
{
    HWND target = Button(button);
    return target != nullptr && WaitUntil([&] { return Focus() == target; }, kReactionTimeout);
}

void RunningLauncher::FocusButton(LauncherButton button)
{
    for (std::size_t i = 0; i < kExpectedButtons.size() && Focus() != Button(button); ++i) {
        const HWND before = Focus();
        TapKey(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return Focus() != before; }, kReactionTimeout));
    }
    ASSERT_EQ(Focus(), Button(button)) << "focus: " << DescribeWindow(Focus());
}

bool RunningLauncher::LauncherInForeground() const
{
    return WaitUntil([&] { return GetForegroundWindow() == m_window; }, kReactionTimeout);
}

}  // namespace tessivar::e2e
