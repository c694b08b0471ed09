#include "shell/win_shell.h"

namespace tessivar {

namespace {
// The program keeps no global state, so there is nothing to set up or tear down.
void GlobalInitialisation() {}
void Cleanup() {}
}  // namespace

const ProgramRoutines kProgramRoutines = {GlobalInitialisation, Cleanup};

}  // namespace tessivar
