// The launcher window as it shows after start-up: its frame, buttons, place and first focus.
#include "launcher_fixture.h"

namespace tessivar::e2e {
namespace {

using LauncherWindow = RunningLauncher;

std::string DescribeDifference(const Pixels& a, const Pixels& b)
{
    if (a.width != b.width || a.height != b.height)
        return "sizes differ";
    int differing = 0;
    int largest = 0;
    for (std::size_t i = 0; i < a.data.size(); ++i) {
        if (a.data[i] == b.data[i])
            continue;
        ++differing;
        for (int shift = 0; shift < 24; shift += 8) {
            const int delta =
                static_cast<int>((a.data[i] >> shift) & 0xFF) - static_cast<int>((b.data[i] >> shift) & 0xFF);
            largest = std::max(largest, delta < 0 ? -delta : delta);
        }
    }
    return std::to_string(differing) + " of " + std::to_string(a.data.size()) + " pixels differ, by up to " +
           std::to_string(largest);
}

TEST_F(LauncherWindow, LooksAsDesigned)
{
    ExpectLauncherWindowAsDesigned(*m_process, m_window);
}

// The captions are drawn in the stock default GUI font: what each button shows is exactly what the
// driver draws with that font on the button's face. (The system font, which a button has when none is
// set, draws differently, and the test makes sure it can tell.)
TEST_F(LauncherWindow, ButtonCaptionsAreDrawnInTheDefaultGuiFont)
{
    // Away from the buttons' edges, where borders and the focus rectangle are drawn.
    constexpr LONG kMargin = 6;
    // A button under the pointer is drawn hot; the pointer goes elsewhere.
    MoveMouse({0, 0});
    for (const ExpectedButton& expected : kExpectedButtons) {
        SCOPED_TRACE(ButtonName(expected.button));
        HWND button = Button(expected.button);
        ASSERT_NE(button, nullptr);
        const SIZE size{expected.rect.right - expected.rect.left, expected.rect.bottom - expected.rect.top};
        auto render = [&](int stockFont, std::uint32_t face) {
            return Ink(RenderButtonText(expected.text, static_cast<HFONT>(GetStockObject(stockFont)), size, face), 0,
                       face);
        };

        Pixels shown;
        Pixels wanted;
        // The launcher paints on its own time; give it a moment.
        WaitUntil(
            [&] {
                const Pixels capture = CaptureScreen(WindowRect(button));
                // The visual style decides the face colour: take it beside the caption.
                const std::uint32_t face = capture.At(kMargin, capture.height / 2);
                shown = Ink(capture, kMargin, face);
                wanted = render(DEFAULT_GUI_FONT, face);
                return wanted.width > 0 && shown == wanted;
            },
            kReactionTimeout);
        const std::uint32_t face = CaptureScreen(WindowRect(button)).At(kMargin, size.cy / 2);
        const Pixels systemFont = render(SYSTEM_FONT, face);
        ASSERT_GT(wanted.width, 0);
        ASSERT_NE(wanted, systemFont) << "the fonts cannot be told apart by what they draw";
        EXPECT_TRUE(shown == wanted) << DescribeDifference(shown, wanted) << "; drawn text " << shown.width << "x"
                                     << shown.height << ", default GUI font " << wanted.width << "x" << wanted.height
                                     << ", system font " << systemFont.width << "x" << systemFont.height;
    }
}

TEST_F(LauncherWindow, FocusStartsOnTheWordButton)
{
    ASSERT_NE(Button(LauncherButton::Word), nullptr);
    EXPECT_TRUE(FocusArrivesAt(LauncherButton::Word)) << "focus: " << DescribeWindow(Focus());
}

TEST_F(LauncherWindow, TwoStartsGiveTwoIndependentLaunchers)
{
    std::wstring error;
    auto second = LauncherProcess::Start({TestOptions().tessivar}, &error);
    ASSERT_NE(second, nullptr) << Narrow(error);
    HWND secondWindow = second->WaitForLauncherWindow();
    ASSERT_NE(secondWindow, nullptr) << "the second start shows no window: a single-instance check?";
    EXPECT_NE(secondWindow, m_window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == secondWindow; }, kReactionTimeout));

    TapKey(VK_ESCAPE);
    EXPECT_EQ(second->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(m_process->Running()) << "closing one launcher ended the other";
    EXPECT_TRUE(IsWindowVisible(m_window));

    SetForegroundWindow(m_window);
    ASSERT_TRUE(LauncherInForeground());
    TapKey(VK_ESCAPE);
    EXPECT_EQ(m_process->WaitForExit(), std::optional<DWORD>(0));
}

using Placement = RunningLauncher;

// Run by the screen-size script under displays of other sizes, with the origin it expects.
TEST_F(Placement, OuterFrameIsCentredOnTheScreen)
{
    const Options& options = TestOptions();
    ASSERT_TRUE(options.expectedOrigin.has_value()) << "the driver needs --expect-origin=X,Y";
    if (options.expectedScreen) {
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), options.expectedScreen->cx) << "the display is not as set up";
        ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), options.expectedScreen->cy) << "the display is not as set up";
    }
    const RECT rect = WindowRect(m_window);
    EXPECT_EQ(rect.left, options.expectedOrigin->x);
    EXPECT_EQ(rect.top, options.expectedOrigin->y);
    // The designed size on every screen, also on one smaller than the window.
    EXPECT_EQ(rect.right - rect.left, kLauncherSize.cx);
    EXPECT_EQ(rect.bottom - rect.top, kLauncherSize.cy);
}

}  // namespace
}  // namespace tessivar::e2e
