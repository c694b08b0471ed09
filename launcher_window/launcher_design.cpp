// The launcher window as the user sees it: three push buttons and the six automation
// components behind them. Design order matters for the tab-order and first-focus tie-breaks.
#include "launcher_design.h"

namespace tessivar {

namespace {

using enum ControlKind;
using enum ComponentType;

constexpr ControlDesign Component(DesignId id, std::u8string_view name, ControlKind kind, ComponentType type,
                                  DesignRect rect)
{
    return {id, name, kind, type, {}, rect, {}, false, false, false, 0, {}};
}

constexpr ControlDesign Button(DesignId id, std::u8string_view name, DesignRect rect, std::wstring_view text,
                               std::string_view clickHandler)
{
    return {id, name, PushButton, None, L"BUTTON", rect, text, true, false, true, 0, clickHandler};
}

constexpr ControlDesign kControls[] = {
    Component(kPptPresentationsId, u8"PPT文稿1", CollectionComponent, PPTPresentations, {40, 176, 32, 32}),
    Component(kPptAppId, u8"PPT程序1", ApplicationComponent, PPTApp, {80, 168, 32, 40}),
    Component(kExcelWorkbooksId, u8"Excel工作簿1", CollectionComponent, ExcelWorkbooks, {280, 120, 40, 24}),
    Component(kExcelAppId, u8"Excel程序1", ApplicationComponent, ExcelApp, {232, 120, 40, 16}),
    Button(kButtonPowerPointId, u8"按钮3", {24, 144, 312, 56}, L"打开-PowerPoint", "LaunchPowerPoint"),
    Button(kButtonExcelId, u8"按钮2", {200, 32, 136, 88}, L"打开Excel", "LaunchExcel"),
    Component(kWordDocumentsId, u8"Word文档集1", CollectionComponent, WordDocuments, {168, 48, 40, 32}),
    Component(kWordAppId, u8"Word程序1", ApplicationComponent, WordApp, {160, 80, 32, 32}),
    Button(kButtonWordId, u8"按钮1", {24, 32, 136, 88}, L"打开WORD", "LaunchWord"),
};

}  // namespace

const WindowDesign kLauncherDesign = LauncherWindowDesign(kControls);

}  // namespace tessivar
