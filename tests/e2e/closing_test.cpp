// Every way a user closes the launcher ends the process with exit code 0 and asks nothing.
#include "launcher_fixture.h"

#include <set>

namespace tessivar::e2e {
namespace {

struct CloseGesture {
    const char* name;
    LauncherButton focusFirst;
    // Performs the gesture on the launcher window; fails the test if it cannot be performed.
    void (*perform)(const LauncherProcess& process, HWND launcher);
};

void PressEscape(const LauncherProcess&, HWND)
{
    TapKey(VK_ESCAPE);
}

void PressAltF4(const LauncherProcess&, HWND)
{
    TapKey(VK_F4, {VK_MENU});
}

void ClickCloseBox(const LauncherProcess&, HWND launcher)
{
    const auto closeBox = FindHitArea(launcher, HTCLOSE);
    ASSERT_TRUE(closeBox.has_value()) << "no close box on the title bar";
    Click(*closeBox);
}

// A popup menu of the process (the system menu), once it shows.
bool MenuShows(const LauncherProcess& process)
{
    return WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(process.Id(), true)) {
                if (ClassName(hwnd) == L"#32768")
                    return true;
            }
            return false;
        },
        kReactionTimeout);
}

void ChooseCloseOnSystemMenu(const LauncherProcess& process, HWND)
{
    TapKey(VK_SPACE, {VK_MENU});
    ASSERT_TRUE(MenuShows(process)) << "Alt+Space shows no system menu";
    TapKey('C');
}

void ClickCloseOnSystemMenu(const LauncherProcess& process, HWND launcher)
{
    const auto icon = FindHitArea(launcher, HTSYSMENU);
    ASSERT_TRUE(icon.has_value()) << "no system menu icon on the title bar";
    Click(*icon);
    ASSERT_TRUE(MenuShows(process)) << "a click on the icon shows no system menu";
    TapKey('C');
}

void PrintTo(const CloseGesture& gesture, std::ostream* out)
{
    *out << gesture.name;
}

class Closing : public RunningLauncher, public ::testing::WithParamInterface<CloseGesture> {};

TEST_P(Closing, EndsTheProcessWithExitCodeZeroAndNoPrompt)
{
    ASSERT_NO_FATAL_FAILURE(FocusButton(GetParam().focusFirst));
    ASSERT_NO_FATAL_FAILURE(GetParam().perform(*m_process, m_window));

    // Anything else that shows on the way out (a box, a prompt) is a failure; the system menu closes
    // as its item is chosen.
    std::set<std::string> shown;
    const bool ended = WaitUntil(
        [&] {
            for (HWND other : OtherVisibleWindows(m_process->Id(), m_window)) {
                if (ClassName(other) != L"#32768")
                    shown.insert(DescribeWindow(other));
            }
            return !m_process->Running();
        },
        kExitTimeout);
    ASSERT_TRUE(ended) << "still running; window visible: " << (IsWindowVisible(m_window) != FALSE);
    for (const std::string& window : shown)
        ADD_FAILURE() << "shown while closing: " << window;
    EXPECT_EQ(m_process->WaitForExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(
    Closing, Closing,
    ::testing::Values(CloseGesture{"Esc", LauncherButton::Word, PressEscape},
                      CloseGesture{"EscOnPowerPointButton", LauncherButton::PowerPoint, PressEscape},
                      CloseGesture{"AltF4", LauncherButton::Excel, PressAltF4},
                      CloseGesture{"CloseBox", LauncherButton::Word, ClickCloseBox},
                      CloseGesture{"SystemMenuByKeyboard", LauncherButton::Word, ChooseCloseOnSystemMenu},
                      CloseGesture{"SystemMenuByIconClick", LauncherButton::Excel, ClickCloseOnSystemMenu}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar::e2e
