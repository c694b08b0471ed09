// Placement, tab order and keyboard decisions of the launcher window. Platform-free.
#pragma once

#include "design.h"

#include <cstddef>
#include <vector>

namespace tessivar {

struct ScreenPoint {
    int x;
    int y;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Centres the outer frame on the screen. Division truncates toward zero, also when the screen is
// smaller than the window (a difference of -51 gives -25).
constexpr ScreenPoint CentredOrigin(int screenWidth, int screenHeight, int width, int height)
{
    return {(screenWidth - width) / 2, (screenHeight - height) / 2};
}

// Ids of the controls that take the focus, in tab order: visible, enabled tab stops ordered by
// tab-order number, equal numbers in reverse design order. The first one gets the focus at start.
std::vector<DesignId> TabOrder(const WindowDesign& design);

// The control after (or before) `current` in tab order, wrapping round. A control that is not in
// the tab order (or 0) moves to the first (or last).
DesignId NextInTabOrder(const std::vector<DesignId>& order, DesignId current, bool backwards);

// Virtual-key codes the window reacts to.
inline constexpr unsigned kKeyTab = 0x09;
inline constexpr unsigned kKeyEnter = 0x0D;
inline constexpr unsigned kKeyEscape = 0x1B;
inline constexpr unsigned kKeyF1 = 0x70;

enum class KeyAction {
    PassOn,   // dispatch as usual, to the focused control
    Consume,  // swallow, do nothing
    FocusNext,
    FocusPrevious,
    Close,
};

struct Modifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

// What the window does with a key-down before it is dispatched.
KeyAction DecideKey(const WindowDesign& design, unsigned virtualKey, Modifiers modifiers);

}  // namespace tessivar
