// The life of the process: start sequence, message loop and end-of-program sequence, written
// against a small host interface so the order of things can be checked without Windows.
#pragma once

#include "cleanup_list.h"
#include "events.h"

namespace tessivar {

// What the shell asks of the platform. The Windows implementation is in win_shell_host.cpp.
class ShellHost {
public:
    virtual ~ShellHost() = default;
    virtual void InitializeOle() = 0;
    virtual void EnterProgramFolder() = 0;
    virtual bool LoadDesign() = 0;
    virtual void ResetFpu() = 0;
    virtual bool LoadAndShowWindow() = 0;
    // Retrieves and dispatches messages until the quit message; returns the quit code.
    virtual int PumpMessages() = 0;
    virtual void ShowFatalError() = 0;
    virtual void FreeDesign() = 0;
    // Destroys the program icons and any window still open.
    virtual void DestroyIconsAndWindows() = 0;
    virtual void UninitializeOle() = 0;
    virtual void PostQuit(int code) = 0;
};

struct ProgramRoutines {
    void (*globalInit)();
    void (*cleanup)();
};

inline constexpr int kFatalExitStatus = -1;

class Shell {
public:
    explicit Shell(ShellHost& host) : m_host(host), m_router(m_suppression) {}

    // Runs the whole program; returns the process exit status.
    int Run(const ProgramRoutines& routines);

    SuppressionCount& Suppression() { return m_suppression; }
    EventRouter& Router() { return m_router; }

    // Windows of the program report their creation and their last message here.
    void OnWindowCreated() { ++m_openWindows; }
    void OnWindowDestroyed();

    bool LoopEntered() const { return m_loopEntered; }

private:
    int Start(const ProgramRoutines& routines);
    int RunMessageLoop();
    void EndProgram();

    ShellHost& m_host;
    SuppressionCount m_suppression;
    EventRouter m_router;
    CleanupList m_cleanup;
    bool m_oleInitialised = false;
    bool m_loopEntered = false;
    int m_openWindows = 0;
    int m_exitStatus = 0;
};

}  // namespace tessivar
