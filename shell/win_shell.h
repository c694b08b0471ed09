// The Windows side of the shell: runs the whole program with a given design and routines.
#pragma once

#include "launcher_window/design.h"
#include "shell/shell.h"

namespace tessivar {

// The shipped program's own routines (program_routines.cpp); test builds link others.
extern const ProgramRoutines kProgramRoutines;

// Runs the program and returns its exit status.
int RunLauncher(const WindowDesign& design, const ProgramRoutines& routines);

}  // namespace tessivar
