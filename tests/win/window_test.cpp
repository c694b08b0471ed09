// The launcher window in-process: event suppression while it is built and after the program
// began to end, undoing a failed build, and the components' lifetime.
#include "launcher_window/launcher_window.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessivar {
namespace {

int g_clicks = 0;
void CountClick()
{
    ++g_clicks;
}

const NamedHandler kHandlers[] = {{"LaunchWord", CountClick},
                                  {"LaunchExcel", CountClick},
                                  {"LaunchPowerPoint", CountClick}};

int g_liveComponents = 0;
class CountedComponent final : public Component {
public:
    CountedComponent() { ++g_liveComponents; }
    ~CountedComponent() override { --g_liveComponents; }
};

std::unique_ptr<Component> MakeCounted(const ControlDesign&, ComponentHost&)
{
    return std::make_unique<CountedComponent>();
}

// The shell side without a message loop of its own; quit requests are recorded.
class TestShell final : public ShellHost, public WindowShell {
public:
    TestShell() : shell(*this) {}

    void InitializeOle() override {}
    void EnterProgramFolder() override {}
    bool LoadDesign() override { return true; }
    void ResetFpu() override {}
    bool LoadAndShowWindow() override { return true; }
    int PumpMessages() override { return 0; }
    void ShowFatalError() override {}
    void FreeDesign() override {}
    void DestroyIconsAndWindows() override {}
    void UninitializeOle() override {}
    void PostQuit(int) override { ++quitRequests; }

    SuppressionCount& Suppression() override { return shell.Suppression(); }
    EventRouter& Router() override { return shell.Router(); }
    ProgramIcons Icons() override { return {}; }
    void OnWindowCreated() override { shell.OnWindowCreated(); }
    void OnWindowDestroyed() override { shell.OnWindowDestroyed(); }

    Shell shell;
    int quitRequests = 0;
};

// Clicks every button of the launcher as soon as it is created, while the window is still
// being built: WM_CREATE of a BUTTON whose parent is the launcher window.
HWND g_lastButton = nullptr;
LRESULT CALLBACK ClickOnCreate(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        wchar_t className[32] = {};
        if (ret->message == WM_CREATE && GetClassNameW(ret->hwnd, className, 32) &&
            lstrcmpiW(className, L"Button") == 0) {
            g_lastButton = ret->hwnd;
            SendMessageW(GetParent(ret->hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ret->hwnd), BN_CLICKED),
                         reinterpret_cast<LPARAM>(ret->hwnd));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_clicks = 0;
        g_liveComponents = 0;
        loaded = LoadDesign(kLauncherDesign, kHandlers);
        ASSERT_TRUE(loaded.has_value());
    }

    void Click(DesignId id)
    {
        HWND button = window->ControlWindow(id);
        ASSERT_NE(button, nullptr);
        SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }

    TestShell shell;
    std::optional<LoadedDesign> loaded;
    std::unique_ptr<LauncherWindow> window;
};

TEST_F(WindowTest, ClickWhileBuildingRunsNothingButAfterwardsRunsTheHandler)
{
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, ClickOnCreate, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    g_lastButton = nullptr;
    window = LauncherWindow::Create(*loaded, shell, MakeCounted);
    UnhookWindowsHookEx(hook);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(g_lastButton, nullptr) << "the hook never saw a button being created";
    EXPECT_EQ(g_clicks, 0) << "a click during the build ran its handler";

    Click(kButtonWordId);
    EXPECT_EQ(g_clicks, 1);
}

TEST_F(WindowTest, ClickAfterTheEndBeganRunsNothing)
{
    window = LauncherWindow::Create(*loaded, shell, MakeCounted);
    ASSERT_NE(window, nullptr);
    Click(kButtonExcelId);
    ASSERT_EQ(g_clicks, 1);
    shell.Suppression().Raise();  // what the end-of-program sequence does first
    Click(kButtonExcelId);
    Click(kButtonPowerPointId);
    EXPECT_EQ(g_clicks, 1);
}

TEST_F(WindowTest, ComponentsAreFoundByWindowAndIdAndDieWithTheWindow)
{
    window = LauncherWindow::Create(*loaded, shell, MakeCounted);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_liveComponents, 6);
    for (DesignId id : {kWordAppId, kWordDocumentsId, kExcelAppId, kExcelWorkbooksId, kPptAppId, kPptPresentationsId})
        EXPECT_NE(FindComponentAs<CountedComponent>(kLauncherWindowId, id), nullptr) << std::hex << id;
    EXPECT_EQ(FindComponent(kLauncherWindowId, kButtonWordId), nullptr) << "a button is not a component";
    EXPECT_EQ(FindComponent(0x52010002, kWordAppId), nullptr);

    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(window->WindowExists());
    EXPECT_EQ(g_liveComponents, 0);
    EXPECT_EQ(FindComponent(kLauncherWindowId, kWordAppId), nullptr);
    EXPECT_EQ(shell.quitRequests, 0) << "no quit before the loop was entered";
}

// A close that arrives while a click handler waits on an application (its call lets messages
// through) must not pull the window and its components away from under the handler.
LauncherWindow* g_window = nullptr;
bool g_componentsAliveAfterClose = false;
void CloseFromInsideTheHandler()
{
    SendMessageW(g_window->Handle(), WM_CLOSE, 0, 0);
    g_componentsAliveAfterClose =
        g_window->WindowExists() && g_liveComponents == 6 && FindComponent(kLauncherWindowId, kWordAppId) != nullptr;
}

TEST_F(WindowTest, CloseDuringAClickHandlerWaitsForTheHandler)
{
    const NamedHandler closing[] = {
        {"LaunchWord", CloseFromInsideTheHandler}, {"LaunchExcel", CountClick}, {"LaunchPowerPoint", CountClick}};
    loaded = LoadDesign(kLauncherDesign, closing);
    ASSERT_TRUE(loaded.has_value());
    window = LauncherWindow::Create(*loaded, shell, MakeCounted);
    ASSERT_NE(window, nullptr);
    g_window = window.get();

    Click(kButtonWordId);
    EXPECT_TRUE(g_componentsAliveAfterClose) << "the window went away while its handler was running";
    EXPECT_FALSE(window->WindowExists()) << "the close was dropped instead of done after the handler";
    EXPECT_EQ(g_liveComponents, 0);
    g_window = nullptr;
}

struct BrokenBuild {
    const char* name;
    std::wstring_view buttonClass;
    ComponentFactory factory;
};

class FailedBuildTest : public WindowTest, public ::testing::WithParamInterface<BrokenBuild> {};

TEST_P(FailedBuildTest, UndoesEverythingAndReportsFailure)
{
    std::vector<ControlDesign> controls(kLauncherDesign.controls.begin(), kLauncherDesign.controls.end());
    for (ControlDesign& c : controls) {
        if (c.id == kButtonExcelId)
            c.windowClass = GetParam().buttonClass;
    }
    WindowDesign design = kLauncherDesign;
    design.controls = controls;
    LoadedDesign broken{&design, loaded->bindings};

    window = LauncherWindow::Create(broken, shell, GetParam().factory);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(FindWindowW(L"TessivarLauncherWindow", nullptr), nullptr) << "the half-built window is still there";
    EXPECT_EQ(g_liveComponents, 0);
    EXPECT_EQ(FindComponent(kLauncherWindowId, kWordAppId), nullptr);
    EXPECT_EQ(g_clicks, 0);
}

std::unique_ptr<Component> NoComponent(const ControlDesign&, ComponentHost&)
{
    return nullptr;
}

INSTANTIATE_TEST_SUITE_P(Builds, FailedBuildTest,
                         ::testing::Values(BrokenBuild{"ButtonClassMissing", L"NoSuchWindowClass", MakeCounted},
                                           BrokenBuild{"ComponentNotMade", L"BUTTON", NoComponent}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar
