#include "component.h"

#include <algorithm>
#include <vector>

namespace tessivar {

namespace {
std::vector<ComponentHost*>& Hosts()
{
    static std::vector<ComponentHost*> hosts;
    return hosts;
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
