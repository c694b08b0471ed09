// The launcher window's own settings, shared by the shipped design and by test designs that
// change only its controls.
#pragma once

#include "design.h"

namespace tessivar {

constexpr WindowDesign LauncherWindowDesign(std::span<const ControlDesign> controls)
{
    return {
        .id = kLauncherWindowId,
        .caption = L"Tessivar",
        .rect = {50, 50, 364, 251},
        .centreOnScreen = true,
        .escCloses = true,
        .enterMovesFocus = false,
        .f1OpensHelp = false,
        .minimiseBox = true,
        .maximiseBox = false,
        .controls = controls,
    };
}

}  // namespace tessivar
