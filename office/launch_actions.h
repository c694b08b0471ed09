// The three launch actions bound to the buttons' clicks.
#pragma once

#include "launcher_window/design.h"

#include <span>

namespace tessivar {

void LaunchWord();
void LaunchExcel();
void LaunchPowerPoint();

// The handlers a design's click bindings may name.
std::span<const NamedHandler> LaunchHandlers();

}  // namespace tessivar
