#include "shell/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessivar {
namespace {

std::vector<std::string>* g_log = nullptr;
void GlobalInit()
{
    g_log->push_back("global-init");
}
void Cleanup()
{
    g_log->push_back("cleanup");
}

// Records what the shell asks of the platform, in order.
class FakeHost final : public ShellHost {
public:
    std::vector<std::string> log;
    Shell* shell = nullptr;
    bool designLoads = true;
    bool windowBuilds = true;
    int quitCode = 0;
    bool clickRanDuringEnd = false;

    void InitializeOle() override { log.push_back("ole-init"); }
    void EnterProgramFolder() override { log.push_back("enter-folder"); }
    bool LoadDesign() override
    {
        log.push_back("load-design");
        return designLoads;
    }
    void ResetFpu() override { log.push_back("reset-fpu"); }
    bool LoadAndShowWindow() override
    {
        log.push_back("load-window");
        if (!windowBuilds) {
            // A window that was partly built and torn down again before the loop.
            shell->OnWindowCreated();
            shell->OnWindowDestroyed();
            return false;
        }
        shell->OnWindowCreated();
        return true;
    }
    int PumpMessages() override
    {
        log.push_back("pump");
        // The user closes the window: its last message tells the shell.
        shell->OnWindowDestroyed();
        log.push_back("pump-return");
        return quitCode;
    }
    void ShowFatalError() override
    {
        log.push_back(shell->Suppression().Suppressed() ? "error-box" : "error-box-unsuppressed");
    }
    void FreeDesign() override
    {
        log.push_back("free-design");
        clickRanDuringEnd = shell->Router().Deliver(1, 2, 0);
    }
    void DestroyIconsAndWindows() override { log.push_back("destroy-icons"); }
    void UninitializeOle() override { log.push_back("ole-uninit"); }
    void PostQuit(int code) override { log.push_back("post-quit " + std::to_string(code)); }
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log = &host.log;
        host.shell = &shell;
        shell.Router().Bind(1, 2, 0, [] { g_log->push_back("click"); });
    }
    void TearDown() override { g_log = nullptr; }

    FakeHost host;
    Shell shell{host};
};

TEST_F(ShellTest, NormalRunFollowsTheStartAndEndSequence)
{
    EXPECT_EQ(shell.Run({GlobalInit, Cleanup}), 0);
    const std::vector<std::string> expected = {
        "ole-init",    "enter-folder", "load-design", "reset-fpu", "global-init",   "load-window", "pump",
        "post-quit 0", "pump-return",  "free-design", "cleanup",   "destroy-icons", "ole-uninit",
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_FALSE(host.clickRanDuringEnd) << "a click after the end began ran its handler";
}

TEST_F(ShellTest, ExitStatusIsTheQuitCode)
{
    host.quitCode = 7;
    EXPECT_EQ(shell.Run({GlobalInit, Cleanup}), 7);
}

TEST_F(ShellTest, ClicksRunWhileTheProgramRuns)
{
    EXPECT_TRUE(shell.Router().Deliver(1, 2, 0));
    EXPECT_EQ(host.log, std::vector<std::string>{"click"});
}

struct FatalCase {
    const char* name;
    bool designLoads;
    bool windowBuilds;
    std::vector<std::string> expected;
};

class FatalStartTest : public ShellTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(FatalStartTest, ShowsOneErrorBoxSkipsLoopAndCleanupAndExitsMinusOne)
{
    host.designLoads = GetParam().designLoads;
    host.windowBuilds = GetParam().windowBuilds;
    EXPECT_EQ(shell.Run({GlobalInit, Cleanup}), -1);
    EXPECT_EQ(host.log, GetParam().expected);
    EXPECT_FALSE(host.clickRanDuringEnd);
    EXPECT_FALSE(shell.LoopEntered());
}

INSTANTIATE_TEST_SUITE_P(Failures, FatalStartTest,
                         ::testing::Values(FatalCase{"DesignUnreadable",
                                                     false,
                                                     true,
                                                     {"ole-init", "enter-folder", "load-design", "error-box",
                                                      "free-design", "destroy-icons", "ole-uninit"}},
                                           FatalCase{"WindowNotCreated",
                                                     true,
                                                     false,
                                                     {"ole-init", "enter-folder", "load-design", "reset-fpu",
                                                      "global-init", "load-window", "error-box", "free-design",
                                                      "destroy-icons", "ole-uninit"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CleanupListTest, RunsEachRoutineOnceInRegistrationOrder)
{
    static std::vector<int> calls;
    calls.clear();
    CleanupList list;
    list.Register([] { calls.push_back(1); });
    auto second = [] { calls.push_back(2); };
    list.Register(second);
    list.Register(second);
    list.Register(nullptr);
    list.RunAll();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    EXPECT_TRUE(list.Empty());
    list.RunAll();
    EXPECT_EQ(calls.size(), 2u) << "a second run must not call the routines again";
}

TEST(CleanupListTest, DiscardCallsNothing)
{
    static int calls = 0;
    CleanupList list;
    list.Register([] { ++calls; });
    list.Discard();
    list.RunAll();
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace tessivar
