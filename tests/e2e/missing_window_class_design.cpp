// A launcher design that loads but whose window cannot be built: after a component and a button that
// can be created comes a button of a window class nobody registered.
#include "launcher_window/launcher_design.h"

namespace tessivar {

namespace {

constexpr ControlDesign kControls[] = {
    {
        .id = kWordAppId,
        .name = u8"Word程序1",
        .kind = ControlKind::ApplicationComponent,
        .componentType = ComponentType::WordApp,
        .windowClass = {},
        .rect = {160, 80, 32, 32},
        .text = {},
        .visible = false,
        .disabled = false,
        .tabStop = false,
        .tabOrder = 0,
        .clickHandler = {},
    },
    {
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
        .clickHandler = "LaunchWord",
    },
    {
        .id = kButtonExcelId,
        .name = u8"按钮2",
        .kind = ControlKind::PushButton,
        .componentType = ComponentType::None,
        .windowClass = L"NoSuchWindowClass",
        .rect = {200, 32, 136, 88},
        .text = L"打开Excel",
        .visible = true,
        .disabled = false,
        .tabStop = true,
        .tabOrder = 0,
        .clickHandler = "LaunchExcel",
    },
};

}  // namespace

const WindowDesign kLauncherDesign = LauncherWindowDesign(kControls);

}  // namespace tessivar
