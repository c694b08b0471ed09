#include "events.h"

#include <algorithm>

namespace tessivar {

void EventRouter::Bind(std::uint32_t windowId, std::uint32_t controlId, int event, Handler handler)
{
    auto it = std::find_if(m_bindings.begin(), m_bindings.end(), [&](const Binding& b) {
        return b.windowId == windowId && b.controlId == controlId && b.event == event;
    });
    if (it != m_bindings.end())
        it->handler = handler;
    else
        m_bindings.push_back({windowId, controlId, event, handler});
}

void EventRouter::UnbindWindow(std::uint32_t windowId)
{
    std::erase_if(m_bindings, [&](const Binding& b) { return b.windowId == windowId; });
}

bool EventRouter::Deliver(std::uint32_t windowId, std::uint32_t controlId, int event) const
{
    if (m_suppression.Suppressed())
        return false;
    for (const Binding& b : m_bindings) {
        if (b.windowId == windowId && b.controlId == controlId && b.event == event) {
            if (b.handler == nullptr)
                return false;
            // Copy first: the handler may rebind or unbind while it runs.
            Handler handler = b.handler;
            handler();
            return true;
        }
    }
    return false;
}

}  // namespace tessivar
