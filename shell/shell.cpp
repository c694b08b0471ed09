#include "shell.h"

namespace tessivar {

int Shell::Run(const ProgramRoutines& routines)
{
    if (Start(routines) != 0)
        return kFatalExitStatus;
    EndProgram();
    return m_exitStatus;
}

// Returns 0 after a normal run; anything else is a fatal start failure, already handled.
int Shell::Start(const ProgramRoutines& routines)
{
    if (!m_oleInitialised) {
        // A failure is not reported: the launch actions then fail silently on their own.
        m_host.InitializeOle();
        m_oleInitialised = true;
    }
    m_host.EnterProgramFolder();

    bool ok = m_host.LoadDesign();
    if (ok) {
        m_host.ResetFpu();
        if (routines.globalInit != nullptr)
            routines.globalInit();
        m_cleanup.Register(routines.cleanup);
        ok = m_host.LoadAndShowWindow();
    }
    if (!ok) {
        m_suppression.Raise();
        m_host.ShowFatalError();
        m_cleanup.Discard();
        EndProgram();
        return kFatalExitStatus;
    }

    m_exitStatus = RunMessageLoop();
    return 0;
}

int Shell::RunMessageLoop()
{
    m_loopEntered = true;
    if (m_openWindows == 0)
        return 0;
    return m_host.PumpMessages();
}

void Shell::OnWindowDestroyed()
{
    if (m_openWindows > 0)
        --m_openWindows;
    if (m_openWindows == 0 && m_loopEntered)
        m_host.PostQuit(0);
}

void Shell::EndProgram()
{
    // Raised for good: nothing may run a handler from here on.
    m_suppression.Raise();
    m_host.FreeDesign();
    m_cleanup.RunAll();
    m_host.DestroyIconsAndWindows();
    if (m_oleInitialised) {
        m_host.UninitializeOle();
        m_oleInitialised = false;
    }
}

}  // namespace tessivar
