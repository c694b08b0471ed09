// A launcher design that cannot be loaded: its button is bound to a handler that does not exist.
#include "launcher_window/launcher_design.h"

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

const WindowDesign kLauncherDesign = LauncherWindowDesign(kControls);

}  // namespace tessivar
