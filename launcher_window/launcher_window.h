// The launcher window: a fixed-size, centred top-level window built from its design, with
// push buttons and the non-visual components behind them.
#pragma once

#include "component.h"
#include "design.h"
#include "layout.h"
#include "shell/events.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace tessivar {

struct ProgramIcons {
    HICON big = nullptr;
    HICON small = nullptr;
};

// What a window needs from the shell that owns the process.
class WindowShell {
public:
    virtual SuppressionCount& Suppression() = 0;
    virtual EventRouter& Router() = 0;
    virtual ProgramIcons Icons() = 0;
    virtual void OnWindowCreated() = 0;
    virtual void OnWindowDestroyed() = 0;

protected:
    ~WindowShell() = default;
};

class LauncherWindow final : public ComponentHost {
public:
    // Builds the window and its controls and shows it. Returns nothing if any part cannot be
    // created; whatever was created is destroyed again.
    static std::unique_ptr<LauncherWindow> Create(const LoadedDesign& design, WindowShell& shell,
                                                  ComponentFactory componentFactory);
    ~LauncherWindow();

    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    HWND ControlWindow(DesignId id) const;

    // Keyboard handling before dispatch: returns true when the message was consumed.
    bool PreTranslateMessage(const MSG& msg);

    // ComponentHost
    DesignId WindowId() const override { return m_design.design->id; }
    bool WindowExists() const override { return m_hwnd != nullptr; }
    void RaiseEvent(DesignId componentId, int event) override;
    Component* FindComponent(DesignId componentId) override;

private:
    LauncherWindow(const LoadedDesign& design, WindowShell& shell, ComponentFactory componentFactory);

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Build();
    bool CreateControls();
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnActivate(WPARAM wParam, LPARAM lParam);
    void OnSetFocus();
    void RememberFocus();
    void OnNcDestroy();
    void MoveFocus(bool backwards);
    DesignId ControlIdOf(HWND child) const;

    struct ButtonEntry {
        DesignId id;
        HWND hwnd;
    };
    struct ComponentEntry {
        DesignId id;
        std::unique_ptr<Component> component;
    };

    LoadedDesign m_design;
    WindowShell& m_shell;
    ComponentFactory m_componentFactory;
    HWND m_hwnd = nullptr;
    std::vector<ButtonEntry> m_buttons;
    std::vector<ComponentEntry> m_components;
    std::vector<DesignId> m_tabOrder;
    HWND m_lastFocus = nullptr;
    int m_handlersRunning = 0;
    bool m_closeDeferred = false;
};

}  // namespace tessivar
