// Event delivery from controls to their bound handlers, and the process-wide count that
// suppresses it while a window is being built and once the program has begun to end.
#pragma once

#include <cstdint>
#include <vector>

namespace tessivar {

class SuppressionCount {
public:
    void Raise() { ++m_count; }
    void Lower()
    {
        if (m_count > 0)
            --m_count;
    }
    bool Suppressed() const { return m_count > 0; }

private:
    unsigned m_count = 0;
};

// Raises the count for the lifetime of the object.
class ScopedSuppression {
public:
    explicit ScopedSuppression(SuppressionCount& count) : m_count(count) { m_count.Raise(); }
    ~ScopedSuppression() { m_count.Lower(); }
    ScopedSuppression(const ScopedSuppression&) = delete;
    ScopedSuppression& operator=(const ScopedSuppression&) = delete;

private:
    SuppressionCount& m_count;
};

class EventRouter {
public:
    using Handler = void (*)();

    explicit EventRouter(const SuppressionCount& suppression) : m_suppression(suppression) {}

    void Bind(std::uint32_t windowId, std::uint32_t controlId, int event, Handler handler);
    void UnbindWindow(std::uint32_t windowId);

    // Runs the handler bound to the event, if there is one and events are not suppressed.
    // Returns whether a handler ran.
    bool Deliver(std::uint32_t windowId, std::uint32_t controlId, int event) const;

private:
    struct Binding {
        std::uint32_t windowId;
        std::uint32_t controlId;
        int event;
        Handler handler;
    };
    const SuppressionCount& m_suppression;
    std::vector<Binding> m_bindings;
};

}  // namespace tessivar
