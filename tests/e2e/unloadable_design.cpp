// A launcher design that cannot be loaded: its button is bound to a handler that does not exist.
#include "launcher_window/design.h"

namespace tessivar {

namespace {

constexpr ControlDesign kControls[] = {{
    .id = kButtonWordId,
    .name = u8"按钮1",
    .kind = ControlKind::PushButton,
    .componentType = ComponentType::None,
    .windowClass = L"BUTTON",
    .rect = {24, 32, 136, 88},
    .text = L"打开WORD",
    .visible = true,
    .disabled = false,
    .tabStop = true,
    .tabOrder = 0,
    .clickHandler = "LaunchNothing",  // no such handler
}};

}  // namespace

const WindowDesign kLauncherDesign = {
    .id = kLauncherWindowId,
    .caption = L"Tessivar",
    .rect = {50, 50, 364, 251},
    .centreOnScreen = true,
    .escCloses = true,
    .enterMovesFocus = false,
    .f1OpensHelp = false,
    .minimiseBox = true,
    .maximiseBox = false,
    .controls = kControls,
};

}  // namespace tessivar
