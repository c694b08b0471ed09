// Non-visual components placed on a window (the automation components), and how they are
// found by (window id, component id). Platform-free.
#pragma once

#include "design.h"

#include <memory>

namespace tessivar {

class Component {
public:
    virtual ~Component() = default;
};

// The window side of a component: lets it pass events on while the window exists.
class ComponentHost {
public:
    virtual DesignId WindowId() const = 0;
    virtual bool WindowExists() const = 0;
    virtual void RaiseEvent(DesignId componentId, int event) = 0;
    virtual Component* FindComponent(DesignId componentId) = 0;

protected:
    ~ComponentHost() = default;
};

// Makes the component a design asks for, or nothing for an unknown type.
using ComponentFactory = std::unique_ptr<Component> (*)(const ControlDesign& control, ComponentHost& host);

// Windows that hold components register here while they exist.
void RegisterComponentHost(ComponentHost& host);
void UnregisterComponentHost(ComponentHost& host);
Component* FindComponent(DesignId windowId, DesignId componentId);

template <typename T>
T* FindComponentAs(DesignId windowId, DesignId componentId)
{
    return dynamic_cast<T*>(FindComponent(windowId, componentId));
}

}  // namespace tessivar
