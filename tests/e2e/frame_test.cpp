// The frame with real mouse input: fixed size, no maximising, minimise and restore, and the focus
// coming back to its button after the user has been elsewhere.
#include "launcher_fixture.h"

#include <cstdio>

namespace tessivar::e2e {
namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

std::string Describe(const RECT& r)
{
    char text[64];
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

class Frame : public RunningLauncher {
protected:
    // Input is handled in order: once a Tab pressed after a gesture has moved the focus, the launcher
    // has handled the gesture too.
    void SettleWithTab()
    {
        const HWND before = Focus();
        TapKey(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return Focus() != before && Focus() != nullptr; }, kReactionTimeout))
            << "the launcher no longer takes keyboard input; focus: " << DescribeWindow(Focus());
    }
};

struct FrameEdge {
    const char* name;
    // The pixel of the outer frame that is grabbed, and where it is dragged to.
    POINT (*grab)(const RECT&);
    POINT offset;
};

void PrintTo(const FrameEdge& edge, std::ostream* out)
{
    *out << edge.name;
}

class FrameDrag : public Frame, public ::testing::WithParamInterface<FrameEdge> {};

TEST_P(FrameDrag, DoesNotResizeTheWindow)
{
    const RECT before = WindowRect(m_window);
    const POINT grab = GetParam().grab(before);
    DWORD_PTR area = HTNOWHERE;
    SendMessageTimeoutW(m_window, WM_NCHITTEST, 0, MAKELPARAM(grab.x, grab.y), SMTO_ABORTIFHUNG, 2000, &area);
    ASSERT_NE(area, static_cast<DWORD_PTR>(HTCLIENT)) << "the grabbed pixel is not on the frame";
    ASSERT_NE(area, static_cast<DWORD_PTR>(HTNOWHERE)) << "the grabbed pixel is not on the window";

    Drag(grab, {grab.x + GetParam().offset.x, grab.y + GetParam().offset.y});
    ASSERT_NO_FATAL_FAILURE(SettleWithTab());
    const RECT after = WindowRect(m_window);
    EXPECT_TRUE(SameRect(before, after)) << Describe(before) << " became " << Describe(after);
}

// The outermost pixels of the frame, where a sizing border would be grabbed.
POINT RightEdge(const RECT& r)
{
    return {r.right - 1, (r.top + r.bottom) / 2};
}
POINT BottomEdge(const RECT& r)
{
    return {(r.left + r.right) / 2, r.bottom - 1};
}
POINT LeftEdge(const RECT& r)
{
    return {r.left, (r.top + r.bottom) / 2};
}
POINT BottomRightCorner(const RECT& r)
{
    return {r.right - 1, r.bottom - 1};
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameDrag,
                         ::testing::Values(FrameEdge{"RightEdge", RightEdge, {60, 0}},
                                           FrameEdge{"BottomEdge", BottomEdge, {0, 60}},
                                           FrameEdge{"LeftEdge", LeftEdge, {-60, 0}},
                                           FrameEdge{"BottomRightCorner", BottomRightCorner, {60, 60}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Frame, DoubleClickOnTheTitleBarDoesNotMaximise)
{
    const RECT before = WindowRect(m_window);
    const auto caption = FindHitArea(m_window, HTCAPTION);
    ASSERT_TRUE(caption.has_value()) << "no title bar";

    DoubleClick(*caption);
    ASSERT_NO_FATAL_FAILURE(SettleWithTab());
    EXPECT_FALSE(IsZoomed(m_window));
    const RECT after = WindowRect(m_window);
    EXPECT_TRUE(SameRect(before, after)) << Describe(before) << " became " << Describe(after);
}

TEST_F(Frame, MaximiseButtonIsUnavailable)
{
    const RECT before = WindowRect(m_window);
    // The system draws a disabled maximise button beside the minimise button; a click on it does nothing.
    const auto maximise = FindHitArea(m_window, HTMAXBUTTON);
    ASSERT_TRUE(maximise.has_value()) << "no maximise button beside the minimise button";
    Click(*maximise);
    ASSERT_NO_FATAL_FAILURE(SettleWithTab());
    EXPECT_FALSE(IsZoomed(m_window));
    const RECT after = WindowRect(m_window);
    EXPECT_TRUE(SameRect(before, after)) << Describe(before) << " became " << Describe(after);
}

enum class Minimise { ByMinimiseBox, BySystemMenu };

void PrintTo(Minimise minimise, std::ostream* out)
{
    *out << (minimise == Minimise::ByMinimiseBox ? "minimise box" : "system menu");
}

class Minimising : public Frame, public ::testing::WithParamInterface<Minimise> {};

// Restoring gives the window back where and as it was, with the keyboard on the button that had it.
TEST_P(Minimising, MinimisesAndRestores)
{
    FocusButton(LauncherButton::Excel);
    const RECT before = WindowRect(m_window);
    if (GetParam() == Minimise::ByMinimiseBox) {
        const auto minimise = FindHitArea(m_window, HTMINBUTTON);
        ASSERT_TRUE(minimise.has_value()) << "no minimise button";
        Click(*minimise);
    } else {
        TapKey(VK_SPACE, {VK_MENU});
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (HWND hwnd : TopLevelWindows(m_process->Id(), true)) {
                    if (ClassName(hwnd) == L"#32768")
                        return true;
                }
                return false;
            },
            kReactionTimeout))
            << "Alt+Space shows no system menu";
        TapKey('N');
    }
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(m_window) != FALSE; }, kReactionTimeout)) << "not minimised";
    EXPECT_TRUE(m_process->Running());

    ShowWindow(m_window, SW_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return !IsIconic(m_window); }, kReactionTimeout)) << "not restored";
    const RECT after = WindowRect(m_window);
    EXPECT_TRUE(SameRect(before, after)) << Describe(before) << " became " << Describe(after);
    SetForegroundWindow(m_window);
    ASSERT_TRUE(LauncherInForeground());
    EXPECT_TRUE(FocusArrivesAt(LauncherButton::Excel)) << "focus: " << DescribeWindow(Focus());
}

INSTANTIATE_TEST_SUITE_P(Frame, Minimising, ::testing::Values(Minimise::ByMinimiseBox, Minimise::BySystemMenu),
                         [](const auto& info) {
                             return info.param == Minimise::ByMinimiseBox ? "ByMinimiseBox" : "BySystemMenu";
                         });

// A plain window of the driver's own that the user switches to.
class OtherWindow {
public:
    OtherWindow()
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"TessivarE2eOtherWindow";
        RegisterClassExW(&wc);
        // Away from the centred launcher so that clicks on either land where they are meant to.
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"Somewhere else", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 120, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~OtherWindow()
    {
        if (m_hwnd != nullptr)
            DestroyWindow(m_hwnd);
    }
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    HWND Handle() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

enum class ComeBack { ClickOnTitleBar, SetForegroundWindow };

void PrintTo(ComeBack comeBack, std::ostream* out)
{
    *out << (comeBack == ComeBack::ClickOnTitleBar ? "click on the title bar" : "SetForegroundWindow");
}

class SwitchingAway : public Frame, public ::testing::WithParamInterface<std::tuple<LauncherButton, ComeBack>> {};

TEST_P(SwitchingAway, FocusReturnsToTheButtonThatHadIt)
{
    const auto [button, comeBack] = GetParam();
    ASSERT_NO_FATAL_FAILURE(FocusButton(button));
    const RECT before = WindowRect(m_window);

    OtherWindow other;
    ASSERT_NE(other.Handle(), nullptr);
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Handle(); }, kReactionTimeout))
        << "could not switch away; foreground: " << DescribeWindow(GetForegroundWindow());
    // While the user is elsewhere, keys go elsewhere.
    TapKey(VK_TAB);
    PumpOwnMessages();

    if (comeBack == ComeBack::ClickOnTitleBar) {
        const auto caption = FindHitArea(m_window, HTCAPTION);
        ASSERT_TRUE(caption.has_value()) << "no title bar";
        Click(*caption);
    } else {
        SetForegroundWindow(m_window);
    }
    ASSERT_TRUE(LauncherInForeground()) << "foreground: " << DescribeWindow(GetForegroundWindow());
    EXPECT_TRUE(FocusArrivesAt(button)) << "focus: " << DescribeWindow(Focus());
    const RECT after = WindowRect(m_window);
    EXPECT_TRUE(SameRect(before, after)) << Describe(before) << " became " << Describe(after);
}

INSTANTIATE_TEST_SUITE_P(
    Frame, SwitchingAway,
    ::testing::Combine(::testing::Values(LauncherButton::Word, LauncherButton::Excel, LauncherButton::PowerPoint),
                       ::testing::Values(ComeBack::ClickOnTitleBar, ComeBack::SetForegroundWindow)),
    [](const auto& info) {
        return std::string(ButtonName(std::get<0>(info.param))) +
               (std::get<1>(info.param) == ComeBack::ClickOnTitleBar ? "ByClick" : "BySetForeground");
    });

}  // namespace
}  // namespace tessivar::e2e
