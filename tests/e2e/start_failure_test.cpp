// Builds of the launcher that cannot start (their design cannot be loaded, or their window cannot be
// built) show one error box, never the launcher window, and exit with −1 without running the clean-up
// routine. Their routines record each call in a journal file, so a test sees which routines ran.
#include "launcher_fixture.h"

namespace tessivar::e2e {
namespace {

constexpr char kGlobalInitialisation[] = "global-initialisation\n";
constexpr char kCleanup[] = "cleanup\n";

class RoutineJournal {
public:
    RoutineJournal() : m_path(m_folder.Path() + L"\\routines.txt") {}

    std::pair<std::wstring, std::wstring> Variable() const { return {L"TESSIVAR_ROUTINE_JOURNAL", m_path}; }
    std::string Text() const { return ReadFileText(m_path); }

private:
    TemporaryFolder m_folder;
    std::wstring m_path;
};

struct FailingBuild {
    const char* name;
    std::wstring Options::*exe;
    // The design is loaded before the global-initialisation routine runs, the window built after it.
    const char* routinesRun;
};

void PrintTo(const FailingBuild& build, std::ostream* out)
{
    *out << build.name;
}

class StartFailure : public ::testing::TestWithParam<FailingBuild> {};

TEST_P(StartFailure, ShowsOneErrorBoxNoWindowAndExitsWithMinusOne)
{
    const std::wstring& exe = TestOptions().*GetParam().exe;
    ASSERT_FALSE(exe.empty()) << "the driver needs the path of the " << GetParam().name << " build";
    RoutineJournal journal;
    std::wstring error;
    auto process = LauncherProcess::Start({exe, L"", L"", {journal.Variable()}}, &error);
    ASSERT_NE(process, nullptr) << Narrow(error);

    // Until the box shows, nothing else may show; the launcher window never does.
    std::vector<std::string> shown;
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(process->Id(), true)) {
                if (ClassName(hwnd) == L"#32770")
                    box = hwnd;
                else
                    shown.push_back(DescribeWindow(hwnd));
            }
            return box != nullptr || !process->Running();
        },
        kStartTimeout);
    ASSERT_NE(box, nullptr) << "no error box; exit code " << process->WaitForExit(0ms).value_or(STILL_ACTIVE);
    EXPECT_TRUE(shown.empty()) << "shown before the box: " << shown.front();

    // The box is the process's one top-level window: the launcher window was never kept.
    for (HWND hwnd : TopLevelWindows(process->Id(), false)) {
        if (hwnd != box && IsWindowVisible(hwnd))
            ADD_FAILURE() << "besides the box: " << DescribeWindow(hwnd);
        if (hwnd != box && WindowText(hwnd) == L"Tessivar")
            ADD_FAILURE() << "a launcher window exists: " << DescribeWindow(hwnd);
    }

    // Dismissed as a user would: it has the keyboard, and Enter presses its button.
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }, kReactionTimeout))
        << "the box is not in the foreground: " << DescribeWindow(GetForegroundWindow());
    TapKey(VK_RETURN);
    std::vector<std::string> later;
    const bool ended = WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(process->Id(), true)) {
                if (hwnd != box)
                    later.push_back(DescribeWindow(hwnd));
            }
            return !process->Running();
        },
        kExitTimeout);
    ASSERT_TRUE(ended) << "still running after the box was dismissed";
    EXPECT_TRUE(later.empty()) << "shown after the box: " << later.front();
    EXPECT_EQ(process->WaitForExit(), std::optional<DWORD>(0xFFFFFFFF));

    EXPECT_EQ(journal.Text(), GetParam().routinesRun) << "the clean-up routine must not run after a failed start";
}

INSTANTIATE_TEST_SUITE_P(StartFailure, StartFailure,
                         ::testing::Values(FailingBuild{"UnloadableDesign", &Options::unloadableDesign, ""},
                                           FailingBuild{"MissingWindowClass", &Options::missingWindowClass,
                                                        kGlobalInitialisation}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same recording routines in a build that starts: both run, initialisation first, clean-up once at
// the end. This is also what makes the journal trustworthy for the failing builds above.
TEST(ProgramRoutines, RunOnceEachAroundANormalRun)
{
    const std::wstring& exe = TestOptions().recordingRoutines;
    ASSERT_FALSE(exe.empty()) << "the driver needs --recording-routines=PATH";
    RoutineJournal journal;
    std::wstring error;
    auto process = LauncherProcess::Start({exe, L"", L"", {journal.Variable()}}, &error);
    ASSERT_NE(process, nullptr) << Narrow(error);
    HWND window = process->WaitForLauncherWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(journal.Text(), kGlobalInitialisation) << "clean-up ran while the launcher was open";

    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }, kReactionTimeout));
    TapKey(VK_ESCAPE);
    EXPECT_EQ(process->WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(journal.Text(), std::string(kGlobalInitialisation) + kCleanup);
}

}  // namespace
}  // namespace tessivar::e2e
