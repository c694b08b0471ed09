#include "launcher_window.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

namespace tessivar {

namespace {

constexpr wchar_t kWindowClass[] = L"TessivarLauncherWindow";
constexpr DWORD kButtonStyle =
    WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
// Windows control ids of the buttons: their index in design order above this base.
constexpr int kFirstControlId = 1000;

HINSTANCE ThisModule()
{
    return GetModuleHandleW(nullptr);
}

bool RegisterWindowClass(WNDPROC windowProc)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(ThisModule(), kWindowClass, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;  // the window paints its own background
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
}

DWORD WindowStyle(const WindowDesign& design)
{
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    if (design.minimiseBox)
        style |= WS_MINIMIZEBOX;
    if (design.maximiseBox)
        style |= WS_MAXIMIZEBOX;
    return style;
}

}  // namespace

LauncherWindow::LauncherWindow(const LoadedDesign& design, WindowShell& shell, ComponentFactory componentFactory)
    : m_design(design), m_shell(shell), m_componentFactory(componentFactory), m_tabOrder(TabOrder(*design.design))
{
}

LauncherWindow::~LauncherWindow()
{
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
}

std::unique_ptr<LauncherWindow> LauncherWindow::Create(const LoadedDesign& design, WindowShell& shell,
                                                       ComponentFactory componentFactory)
{
    std::unique_ptr<LauncherWindow> window(new LauncherWindow(design, shell, componentFactory));
    if (!window->Build())
        return nullptr;
    return window;
}

bool LauncherWindow::Build()
{
    const WindowDesign& design = *m_design.design;
    {
        // No handler runs while the window is being built.
        ScopedSuppression building(m_shell.Suppression());

        if (!RegisterWindowClass(WindowProc))
            return false;

        const int width = design.rect.width;
        const int height = design.rect.height;
        ScreenPoint origin{design.rect.left, design.rect.top};
        if (design.centreOnScreen)
            origin = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);

        const std::wstring caption(design.caption);
        HWND hwnd = CreateWindowExW(0, kWindowClass, caption.c_str(), WindowStyle(design), origin.x, origin.y, width,
                                    height, nullptr, nullptr, ThisModule(), this);
        if (hwnd == nullptr)
            return false;

        RECT actual{};
        GetWindowRect(m_hwnd, &actual);
        if (actual.right - actual.left != width || actual.bottom - actual.top != height)
            MoveWindow(m_hwnd, origin.x, origin.y, width, height, FALSE);

        const ProgramIcons icons = m_shell.Icons();
        SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big));
        SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small));
        SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);

        // Bound from the start: only the suppression keeps a click during the build from running.
        for (const auto& binding : m_design.bindings)
            m_shell.Router().Bind(design.id, binding.controlId, binding.event, binding.handler);
        if (!CreateControls()) {
            DestroyWindow(m_hwnd);
            return false;
        }

        for (const ButtonEntry& button : m_buttons) {
            const ControlDesign* control = tessivar::FindControl(design, button.id);
            if (control->visible)
                ShowWindow(button.hwnd, SW_SHOWNA);
        }
    }
    ShowWindow(m_hwnd, SW_SHOW);
    return true;
}

bool LauncherWindow::CreateControls()
{
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    int index = -1;
    for (const ControlDesign& control : m_design.design->controls) {
        ++index;
        if (control.kind == ControlKind::PushButton) {
            const std::wstring windowClass(control.windowClass);
            const std::wstring text(control.text);
            DWORD style = kButtonStyle;
            if (!control.tabStop)
                style &= ~WS_TABSTOP;
            if (control.disabled)
                style |= WS_DISABLED;
            HWND button = CreateWindowExW(0, windowClass.c_str(), text.c_str(), style, control.rect.left,
                                          control.rect.top, control.rect.width, control.rect.height, m_hwnd,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                          ThisModule(), nullptr);
            if (button == nullptr)
                return false;
            SendMessageW(button, WM_SETFONT, font, FALSE);
            m_buttons.push_back({control.id, button});
        } else {
            std::unique_ptr<Component> component =
                m_componentFactory != nullptr ? m_componentFactory(control, *this) : nullptr;
            if (component == nullptr)
                return false;
            m_components.push_back({control.id, std::move(component)});
        }
    }
    return true;
}

HWND LauncherWindow::ControlWindow(DesignId id) const
{
    for (const ButtonEntry& button : m_buttons) {
        if (button.id == id)
            return button.hwnd;
    }
    return nullptr;
}

DesignId LauncherWindow::ControlIdOf(HWND child) const
{
    for (const ButtonEntry& button : m_buttons) {
        if (button.hwnd == child)
            return button.id;
    }
    return 0;
}

Component* LauncherWindow::FindComponent(DesignId componentId)
{
    for (ComponentEntry& entry : m_components) {
        if (entry.id == componentId)
            return entry.component.get();
    }
    return nullptr;
}

void LauncherWindow::RaiseEvent(DesignId componentId, int event)
{
    if (m_hwnd != nullptr)
        m_shell.Router().Deliver(WindowId(), componentId, event);
}

bool LauncherWindow::PreTranslateMessage(const MSG& msg)
{
    if (m_hwnd == nullptr || msg.message != WM_KEYDOWN)
        return false;
    if (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))
        return false;

    const Modifiers modifiers{(GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0,
                              (GetKeyState(VK_MENU) & 0x8000) != 0};
    switch (DecideKey(*m_design.design, static_cast<unsigned>(msg.wParam), modifiers)) {
        case KeyAction::PassOn:
            return false;
        case KeyAction::Consume:
            return true;
        case KeyAction::FocusNext:
            MoveFocus(false);
            return true;
        case KeyAction::FocusPrevious:
            MoveFocus(true);
            return true;
        case KeyAction::Close:
            SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
            return true;
    }
    return false;
}

void LauncherWindow::MoveFocus(bool backwards)
{
    const DesignId next = NextInTabOrder(m_tabOrder, ControlIdOf(GetFocus()), backwards);
    if (HWND target = ControlWindow(next))
        SetFocus(target);
}

LRESULT CALLBACK LauncherWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<LauncherWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr && message == WM_NCCREATE) {
        self = static_cast<LauncherWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT LauncherWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE:
            m_shell.OnWindowCreated();
            RegisterComponentHost(*this);
            return 0;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(m_hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_COMMAND:
            OnCommand(wParam, lParam);
            return 0;
        case WM_CLOSE:
            // A handler waiting on an application call lets messages through; the window and its
            // components must outlive it, so a close asked for meanwhile waits until it returns.
            if (m_handlersRunning > 0) {
                m_closeDeferred = true;
                return 0;
            }
            DestroyWindow(m_hwnd);
            return 0;
        case WM_ACTIVATE:
            OnActivate(wParam, lParam);
            break;
        case WM_SYSCOMMAND:
            // A minimised window may stay active (and so never be deactivated): keep the focused
            // button now, so that restoring puts the focus back on it.
            if ((wParam & 0xFFF0) == SC_MINIMIZE)
                RememberFocus();
            break;
        case WM_GETMINMAXINFO: {
            // The window keeps its designed size even on a screen smaller than it: the system would
            // otherwise cap it at the screen's largest tracking size.
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMaxTrackSize.x = std::max<LONG>(info->ptMaxTrackSize.x, m_design.design->rect.width);
            info->ptMaxTrackSize.y = std::max<LONG>(info->ptMaxTrackSize.y, m_design.design->rect.height);
            return 0;
        }
        case WM_SETFOCUS:
            OnSetFocus();
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = m_hwnd;
            OnNcDestroy();
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void LauncherWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED || lParam == 0)
        return;
    // The Windows control id tells which control of the design it is, even while it is created.
    const auto& controls = m_design.design->controls;
    const int index = static_cast<int>(LOWORD(wParam)) - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(controls.size()))
        return;
    ++m_handlersRunning;
    m_shell.Router().Deliver(WindowId(), controls[static_cast<std::size_t>(index)].id, kClickEvent);
    --m_handlersRunning;
    if (m_handlersRunning == 0 && m_closeDeferred && m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
}

void LauncherWindow::OnActivate(WPARAM wParam, LPARAM)
{
    if (LOWORD(wParam) == WA_INACTIVE)
        RememberFocus();
}

void LauncherWindow::RememberFocus()
{
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(m_hwnd, focus))
        m_lastFocus = focus;
}

void LauncherWindow::OnSetFocus()
{
    HWND target = nullptr;
    if (m_lastFocus != nullptr && IsWindow(m_lastFocus) && IsChild(m_hwnd, m_lastFocus))
        target = m_lastFocus;
    else if (!m_tabOrder.empty())
        target = ControlWindow(m_tabOrder.front());
    if (target != nullptr)
        SetFocus(target);
}

void LauncherWindow::OnNcDestroy()
{
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    m_hwnd = nullptr;
    m_buttons.clear();
    m_lastFocus = nullptr;
    m_shell.Router().UnbindWindow(WindowId());
    UnregisterComponentHost(*this);
    // Components release their automation references as they go.
    m_components.clear();
    m_shell.OnWindowDestroyed();
}

}  // namespace tessivar
