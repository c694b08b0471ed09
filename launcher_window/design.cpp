#include "design.h"

#include <algorithm>

namespace tessivar {

std::optional<LoadedDesign> LoadDesign(const WindowDesign& design, std::span<const NamedHandler> handlers)
{
    if (design.id == 0 || design.rect.width <= 0 || design.rect.height <= 0)
        return std::nullopt;

    LoadedDesign loaded{&design, {}};
    for (auto it = design.controls.begin(); it != design.controls.end(); ++it) {
        const ControlDesign& control = *it;
        if (control.id == 0 || control.id == design.id)
            return std::nullopt;
        if (std::any_of(design.controls.begin(), it, [&](const ControlDesign& c) { return c.id == control.id; }))
            return std::nullopt;

        const bool isComponent = control.kind != ControlKind::PushButton;
        if (isComponent != (control.componentType != ComponentType::None))
            return std::nullopt;
        if (isComponent == !control.windowClass.empty())
            return std::nullopt;

        if (control.clickHandler.empty())
            continue;
        auto handler = std::find_if(handlers.begin(), handlers.end(),
                                    [&](const NamedHandler& h) { return h.name == control.clickHandler; });
        if (handler == handlers.end() || handler->handler == nullptr)
            return std::nullopt;
        loaded.bindings.push_back({control.id, kClickEvent, handler->handler});
    }
    return loaded;
}

const ControlDesign* FindControl(const WindowDesign& design, DesignId id)
{
    auto it = std::find_if(design.controls.begin(), design.controls.end(),
                           [id](const ControlDesign& c) { return c.id == id; });
    return it == design.controls.end() ? nullptr : &*it;
}

}  // namespace tessivar
