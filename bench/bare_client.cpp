// The launch baseline: a client with no window, no design and no components that makes the launcher's
// calls, in the launcher's order, when the driver signals it. Per application it holds what the
// launcher's two components hold, and lets go of it the way they do when the next launch begins.
//
//   bare_client NAME   opens the events NAME.Word, NAME.Excel, NAME.PowerPoint, NAME.Quit and sets
//                      NAME.Ready once OLE is initialised.
#include <ocidl.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

struct Application {
    const wchar_t* event;
    const wchar_t* progId;
    IID events;
    DISPID visible;
    bool visibleIsI4;
    DISPID collection;
    DISPID add;
};

const std::array<Application, 3> kApplications = {{
    {L"Word", L"Word.Application", {0x000209FE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, 23, false, 6, 14},
    {L"Excel", L"Excel.Application", {0x00024413, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, 558, false, 572, 181},
    {L"PowerPoint",
     L"PowerPoint.Application",
     {0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}},
     2030,
     true,
     2001,
     2003},
}};

// Answers for IUnknown, IDispatch and the event interface; ignores the events.
class Sink final : public IDispatch {
public:
    explicit Sink(const IID& events) : m_events(events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_events) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG remaining = --m_references;
        if (remaining == 0)
            delete this;
        return remaining;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return S_OK;
    }

private:
    ~Sink() = default;
    ULONG m_references = 0;
    IID m_events;
};

// What the launcher's application and collection components hold for one application.
struct Held {
    ComPtr<IDispatch> application;
    ComPtr<Sink> sink;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    std::vector<ComPtr<IDispatch>> bookkeeping;
    ComPtr<IDispatch> added;
    ComPtr<IDispatch> collection;
};

VARIANT Missing()
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

VARIANT I4(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

HRESULT Call(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result)
{
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, &argumentError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// A get or method call that brings back an object; the object (or nothing).
ComPtr<IDispatch> CallForObject(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> arguments = {})
{
    ComPtr<IDispatch> result;
    if (object == nullptr)
        return result;
    DISPPARAMS params{arguments.empty() ? nullptr : arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(Call(object, id, flags, params, &value)) && V_VT(&value) == VT_DISPATCH)
        result = V_DISPATCH(&value);
    VariantClear(&value);
    return result;
}

void Launch(const Application& app, Held& held)
{
    // Start: let go of the previous application and its event connection, then create, run, connect.
    if (held.sink != nullptr) {
        held.point->Unadvise(held.cookie);
        held.point.Reset();
        held.sink.Reset();
    }
    held.application.Reset();
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(app.progId, &clsid)))
        return;
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(
        clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
        IID_IUnknown, &unknown);
    if (hr == E_INVALIDARG)
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                              IID_IUnknown, &unknown);
    if (FAILED(hr) || FAILED(OleRun(unknown.Get())) || FAILED(unknown.As(&held.application)))
        return;
    unknown.Reset();
    ComPtr<Sink> sink = new Sink(app.events);
    ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(held.application->QueryInterface(IID_PPV_ARGS(&container))) &&
        SUCCEEDED(container->FindConnectionPoint(app.events, &held.point)) &&
        SUCCEEDED(held.point->Advise(static_cast<IDispatch*>(sink.Get()), &held.cookie)))
        held.sink = std::move(sink);
    else
        held.point.Reset();
    container.Reset();

    // Visible.
    VARIANT visible;
    VariantInit(&visible);
    if (app.visibleIsI4) {
        V_VT(&visible) = VT_I4;
        V_I4(&visible) = 1;
    } else {
        V_VT(&visible) = VT_BOOL;
        V_BOOL(&visible) = VARIANT_TRUE;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&visible, &named, 1, 1};
    Call(held.application.Get(), app.visible, DISPATCH_PROPERTYPUT, put, nullptr);

    // Attach: release what the last attach took, take the collection, add, keep the bookkeeping.
    held.bookkeeping.clear();
    held.added.Reset();
    held.collection.Reset();
    held.collection = CallForObject(held.application.Get(), app.collection, DISPATCH_PROPERTYGET);
    if (held.collection == nullptr)
        return;
    if (app.add == 14) {
        std::array<VARIANT, 4> omitted = {Missing(), Missing(), Missing(), Missing()};
        std::vector<VARIANT> arguments(4);
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            V_VT(&arguments[i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&arguments[i]) = &omitted[i];
        }
        held.added = CallForObject(held.collection.Get(), app.add, DISPATCH_METHOD, arguments);
        if (held.added == nullptr)
            return;
        ComPtr<IDispatch> parent = CallForObject(held.collection.Get(), 1002, DISPATCH_PROPERTYGET);
        if (parent != nullptr)
            held.bookkeeping.push_back(CallForObject(parent.Get(), 5, DISPATCH_PROPERTYGET));
    } else if (app.add == 181) {
        if (CallForObject(held.collection.Get(), app.add, DISPATCH_METHOD, {Missing()}) == nullptr)
            return;
        ComPtr<IDispatch> application = CallForObject(held.application.Get(), 148, DISPATCH_PROPERTYGET);
        if (application == nullptr)
            return;
        held.bookkeeping.push_back(application);
        ComPtr<IDispatch> sheets = CallForObject(application.Get(), 485, DISPATCH_PROPERTYGET);
        if (sheets == nullptr)
            return;
        held.bookkeeping.push_back(sheets);
        held.bookkeeping.push_back(CallForObject(sheets.Get(), 170, DISPATCH_PROPERTYGET, {I4(1)}));
    } else {
        held.added = CallForObject(held.collection.Get(), app.add, DISPATCH_METHOD, {I4(1)});
    }
}

void Release(Held& held)
{
    if (held.sink != nullptr) {
        held.point->Unadvise(held.cookie);
        held.point.Reset();
        held.sink.Reset();
    }
    held.application.Reset();
    held.bookkeeping.clear();
    held.added.Reset();
    held.collection.Reset();
}

HANDLE OpenNamedEvent(const std::wstring& name)
{
    return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    const std::wstring name = commandLine;
    std::array<HANDLE, 4> events{};  // one per application, then Quit
    for (std::size_t i = 0; i < kApplications.size(); ++i)
        events[i] = OpenNamedEvent(name + L"." + kApplications[i].event);
    events[3] = OpenNamedEvent(name + L".Quit");
    HANDLE ready = OpenNamedEvent(name + L".Ready");
    for (HANDLE event : events) {
        if (event == nullptr || ready == nullptr)
            return 1;
    }

    OleInitialize(nullptr);
    std::array<Held, 3> held;
    SetEvent(ready);
    for (bool running = true; running;) {
        // Calls into this apartment (the applications' events) arrive as messages.
        const DWORD signalled = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(events.size()), events.data(), INFINITE,
                                                            QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (signalled < WAIT_OBJECT_0 + kApplications.size()) {
            Launch(kApplications[signalled - WAIT_OBJECT_0], held[signalled - WAIT_OBJECT_0]);
        } else if (signalled == WAIT_OBJECT_0 + kApplications.size()) {
            running = false;
        } else {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    for (Held& h : held)
        Release(h);
    OleUninitialize();
    for (HANDLE event : events)
        CloseHandle(event);
    CloseHandle(ready);
    return 0;
}
