// Routines to run once at the normal end of the program, in registration order.
#pragma once

#include <vector>

namespace tessivar {

class CleanupList {
public:
    using Routine = void (*)();

    // Appends the routine unless it is already registered.
    void Register(Routine routine);
    // Calls every routine in registration order, then empties the list.
    void RunAll();
    // Empties the list without calling anything (after a failed start).
    void Discard() { m_routines.clear(); }
    bool Empty() const { return m_routines.empty(); }

private:
    std::vector<Routine> m_routines;
};

}  // namespace tessivar
