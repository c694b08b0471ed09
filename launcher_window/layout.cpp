#include "layout.h"

#include <algorithm>

namespace tessivar {

std::vector<DesignId> TabOrder(const WindowDesign& design)
{
    struct Entry {
        int tabOrder;
        std::size_t designIndex;
        DesignId id;
    };
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < design.controls.size(); ++i) {
        const ControlDesign& c = design.controls[i];
        if (c.kind == ControlKind::PushButton && c.visible && !c.disabled && c.tabStop)
            entries.push_back({c.tabOrder, i, c.id});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.tabOrder != b.tabOrder)
            return a.tabOrder < b.tabOrder;
        return a.designIndex > b.designIndex;
    });
    std::vector<DesignId> order;
    order.reserve(entries.size());
    for (const Entry& e : entries)
        order.push_back(e.id);
    return order;
}

DesignId NextInTabOrder(const std::vector<DesignId>& order, DesignId current, bool backwards)
{
    if (order.empty())
        return 0;
    auto it = std::find(order.begin(), order.end(), current);
    if (it == order.end())
        return backwards ? order.back() : order.front();
    std::size_t index = static_cast<std::size_t>(it - order.begin());
    std::size_t n = order.size();
    return order[backwards ? (index + n - 1) % n : (index + 1) % n];
}

KeyAction DecideKey(const WindowDesign& design, unsigned virtualKey, Modifiers modifiers)
{
    // Ctrl or Alt combinations belong to the system and the controls.
    if (modifiers.ctrl || modifiers.alt)
        return KeyAction::PassOn;
    switch (virtualKey) {
        case kKeyTab:
            return modifiers.shift ? KeyAction::FocusPrevious : KeyAction::FocusNext;
        case kKeyEscape:
            return design.escCloses ? KeyAction::Close : KeyAction::PassOn;
        case kKeyEnter:
            // No default button: Enter goes on to the focused button, which ignores it.
            return design.enterMovesFocus && !modifiers.shift ? KeyAction::FocusNext : KeyAction::PassOn;
        case kKeyF1:
            return design.f1OpensHelp ? KeyAction::PassOn : KeyAction::Consume;
        default:
            return KeyAction::PassOn;
    }
}

}  // namespace tessivar
