#include "cleanup_list.h"

#include <algorithm>

namespace tessivar {

void CleanupList::Register(Routine routine)
{
    if (routine != nullptr && std::find(m_routines.begin(), m_routines.end(), routine) == m_routines.end())
        m_routines.push_back(routine);
}

void CleanupList::RunAll()
{
    // A routine may register another while the list runs; take the list first so each runs once.
    std::vector<Routine> routines;
    routines.swap(m_routines);
    for (Routine routine : routines)
        routine();
}

}  // namespace tessivar
