// Real keyboard input to the launcher: focus moves, keys that must do nothing, Space as a click.
#include "journal.h"
#include "launcher_fixture.h"

#include <string>
#include <vector>

namespace tessivar::e2e {
namespace {

// A click starts an Office application; the first start of a stand-in server takes about a second.
constexpr Milliseconds kLaunchTimeout = 30s;

// The recording stand-ins for Word, Excel and PowerPoint are registered in the test prefix (the
// recording_server fixture) and journal every activation, so a click shows there and nowhere else.
class Keyboard : public RunningLauncher {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RecordingJournal::RunServerCommand(L"/RegServer"), std::optional<DWORD>(0));
        WaitForServersToEnd();
        RecordingJournal::ClearJournal();
        RunningLauncher::SetUp();
    }

    void TearDown() override
    {
        // Closing the launcher lets go of every application it started; the stand-ins then end.
        m_process.reset();
        WaitForServersToEnd();
    }

    static void WaitForServersToEnd()
    {
        for (DWORD pid : RecordingJournal::ServerPids(RecordingJournal::ReadJournal()))
            EXPECT_TRUE(RecordingJournal::WaitForProcessExit(pid, 15000)) << "a stand-in server still runs: " << pid;
    }

    // The applications started so far, in order ("Word", "Excel", "PowerPoint").
    static std::vector<std::string> Activations()
    {
        std::vector<std::string> apps;
        for (const RecordingJournal::Entry& entry : RecordingJournal::Find(RecordingJournal::ReadJournal(), "create"))
            apps.push_back(entry.Get("app"));
        return apps;
    }

    // True once the application has been asked to add its new document: the last step of a launch.
    static bool AddRequested(const std::string& app)
    {
        for (const RecordingJournal::Entry& entry : RecordingJournal::Find(RecordingJournal::ReadJournal(), "invoke")) {
            if (entry.Get("member") == "Add" && entry.Get("obj").starts_with(app + "."))
                return true;
        }
        return false;
    }
};

struct TabStep {
    bool shift;
    LauncherButton expected;
};

struct TabSequence {
    const char* name;
    std::vector<TabStep> steps;
};

void PrintTo(const TabSequence& sequence, std::ostream* out)
{
    *out << sequence.name;
}

class TabOrder : public RunningLauncher, public ::testing::WithParamInterface<TabSequence> {};

// Starting on the Word button, each step's Tab (or Shift+Tab) moves the focus to the expected button.
TEST_P(TabOrder, MovesOverTheButtonsOnlyAndWraps)
{
    ASSERT_TRUE(FocusArrivesAt(LauncherButton::Word));
    for (const TabStep& step : GetParam().steps) {
        SCOPED_TRACE(std::string(step.shift ? "Shift+Tab" : "Tab") + " to " + ButtonName(step.expected));
        if (step.shift)
            TapKey(VK_TAB, {VK_SHIFT});
        else
            TapKey(VK_TAB);
        ASSERT_TRUE(FocusArrivesAt(step.expected)) << "focus: " << DescribeWindow(Focus());
    }
}

constexpr bool kShift = true;
using enum LauncherButton;

INSTANTIATE_TEST_SUITE_P(
    Keyboard, TabOrder,
    ::testing::Values(
        TabSequence{"Forward", {{!kShift, Excel}, {!kShift, PowerPoint}, {!kShift, Word}, {!kShift, Excel}}},
        TabSequence{"Backward", {{kShift, PowerPoint}, {kShift, Excel}, {kShift, Word}, {kShift, PowerPoint}}},
        TabSequence{"BackAndForth", {{!kShift, Excel}, {kShift, Word}, {kShift, PowerPoint}, {!kShift, Word}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Enter and F1 must neither move the focus, nor press the button, nor open anything. Input is handled
// in order, so once the Tab pressed after them has moved the focus one step, they have been handled.
TEST_F(Keyboard, EnterAndF1DoNothing)
{
    ASSERT_TRUE(FocusArrivesAt(LauncherButton::Word));
    const LauncherButton order[] = {LauncherButton::Word, LauncherButton::Excel, LauncherButton::PowerPoint};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        SCOPED_TRACE(std::string("on ") + ButtonName(order[i]));
        TapKey(VK_RETURN);
        TapKey(VK_F1);
        TapKey(VK_RETURN, {VK_SHIFT});
        TapKey(VK_TAB);
        const LauncherButton next = order[(i + 1) % std::size(order)];
        ASSERT_TRUE(FocusArrivesAt(next)) << "focus: " << DescribeWindow(Focus());
        EXPECT_TRUE(m_process->Running());
        EXPECT_TRUE(IsWindowVisible(m_window));
        EXPECT_EQ(GetForegroundWindow(), m_window);
        for (HWND other : OtherVisibleWindows(m_process->Id(), m_window))
            ADD_FAILURE() << "a window opened: " << DescribeWindow(other);
        // A click would have started its application before the Tab was handled.
        EXPECT_TRUE(Activations().empty()) << "started: " << ::testing::PrintToString(Activations());
    }
}

// Space presses the focused button: exactly its application starts, the launcher shows nothing of its
// own and goes on taking keys.
TEST_F(Keyboard, SpaceClicksTheFocusedButton)
{
    std::vector<std::string> expected;
    for (const ExpectedButton& button : kExpectedButtons) {
        const std::string app = ButtonName(button.button);
        SCOPED_TRACE("Space on " + app);
        // The application started before shows its window in front; the user comes back.
        SetForegroundWindow(m_window);
        ASSERT_TRUE(LauncherInForeground()) << "foreground: " << DescribeWindow(GetForegroundWindow());
        ASSERT_NO_FATAL_FAILURE(FocusButton(button.button));

        TapKey(VK_SPACE);
        expected.push_back(app);
        ASSERT_TRUE(
            WaitUntil([&] { return Activations().size() >= expected.size() && AddRequested(app); }, kLaunchTimeout))
            << "started so far: " << ::testing::PrintToString(Activations());
        EXPECT_EQ(Activations(), expected);
        EXPECT_TRUE(m_process->Running());
        for (HWND other : OtherVisibleWindows(m_process->Id(), m_window))
            ADD_FAILURE() << "the launcher showed a window: " << DescribeWindow(other);
    }
    SetForegroundWindow(m_window);
    ASSERT_TRUE(LauncherInForeground());
    TapKey(VK_TAB);
    EXPECT_TRUE(FocusArrivesAt(LauncherButton::Word)) << "focus: " << DescribeWindow(Focus());
    ExpectLauncherWindowAsDesigned(*m_process, m_window);
}

}  // namespace
}  // namespace tessivar::e2e
