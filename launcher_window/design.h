// The launcher window's design: its settings and controls as plain data.
// Nothing here depends on Windows, so the design and the logic that reads it can be
// tested on any host.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tessivar {

using DesignId = std::uint32_t;

inline constexpr DesignId kLauncherWindowId = 0x52010001;
inline constexpr DesignId kButtonWordId = 0x16010002;
inline constexpr DesignId kWordAppId = 0x16010003;
inline constexpr DesignId kWordDocumentsId = 0x16010004;
inline constexpr DesignId kButtonExcelId = 0x16010005;
inline constexpr DesignId kButtonPowerPointId = 0x16010006;
inline constexpr DesignId kExcelAppId = 0x1601000A;
inline constexpr DesignId kExcelWorkbooksId = 0x1601000B;
inline constexpr DesignId kPptAppId = 0x1601000D;
inline constexpr DesignId kPptPresentationsId = 0x1601000E;

// Event numbers raised by controls; a button's click is event 0.
inline constexpr int kClickEvent = 0;

struct DesignRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const DesignRect&, const DesignRect&) = default;
};

enum class ControlKind { PushButton, ApplicationComponent, CollectionComponent };

// Types of the non-visual automation components.
enum class ComponentType { None, WordApp, WordDocuments, ExcelApp, ExcelWorkbooks, PPTApp, PPTPresentations };

struct ControlDesign {
    DesignId id;
    std::u8string_view name;
    ControlKind kind;
    ComponentType componentType;
    // Window class the control is created from; empty for components, which have no window.
    std::wstring_view windowClass;
    DesignRect rect;
    std::wstring_view text;
    bool visible;
    bool disabled;
    bool tabStop;
    int tabOrder;
    // Name of the handler its click runs; empty when nothing is bound.
    std::string_view clickHandler;
};

struct WindowDesign {
    DesignId id;
    std::wstring_view caption;
    DesignRect rect;  // outer frame; left/top are the design position, replaced by centring
    bool centreOnScreen;
    bool escCloses;
    bool enterMovesFocus;
    bool f1OpensHelp;
    bool minimiseBox;
    bool maximiseBox;
    std::span<const ControlDesign> controls;
};

// The design the shipped program is built from (defined in launcher_design.cpp; test builds link
// designs of their own).
extern const WindowDesign kLauncherDesign;

using Handler = void (*)();

struct NamedHandler {
    std::string_view name;
    Handler handler;
};

// A control's click resolved to the routine it runs.
struct ResolvedBinding {
    DesignId controlId;
    int event;
    Handler handler;
};

struct LoadedDesign {
    const WindowDesign* design;
    std::vector<ResolvedBinding> bindings;
};

// Checks that the stored design can be used and resolves every click binding by name.
// Returns nothing when the design cannot be read: a control id repeats or is 0, a button has no
// window class, a component has a window class or no component type, or a binding names a
// handler that does not exist.
std::optional<LoadedDesign> LoadDesign(const WindowDesign& design, std::span<const NamedHandler> handlers);

const ControlDesign* FindControl(const WindowDesign& design, DesignId id);

}  // namespace tessivar
