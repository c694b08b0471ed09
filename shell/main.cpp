#include "shell/win_shell.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The command line is not read: arguments change nothing.
    return tessivar::RunLauncher(tessivar::kLauncherDesign, tessivar::kProgramRoutines);
}
