#include "component.h"

#include <algorithm>
#include <vector>

namespace tessivar {

namespace {
// Constant-initialised, so it needs no guarded first-use initialisation.
std::vector<ComponentHost*> g_hosts;
std::vector<ComponentHost*>& Hosts()
{
    return g_hosts;
}
}  // namespace

void RegisterComponentHost(ComponentHost& host)
{
    auto& hosts = Hosts();
    if (std::find(hosts.begin(), hosts.end(), &host) == hosts.end())
        hosts.push_back(&host);
}

void UnregisterComponentHost(ComponentHost& host)
{
    std::erase(Hosts(), &host);
}

Component* FindComponent(DesignId windowId, DesignId componentId)
{
    for (ComponentHost* host : Hosts()) {
        if (host->WindowId() == windowId)
            return host->FindComponent(componentId);
    }
    return nullptr;
}

}  // namespace tessivar
