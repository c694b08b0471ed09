// The object an application calls back with its events. It passes them to its component while
// the component is attached; once detached, late calls from the application find nothing.
#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

namespace tessivar {

class EventReceiver {
public:
    virtual void OnApplicationEvent(DISPID event) = 0;

protected:
    ~EventReceiver() = default;
};

// Created with no references: the first owner's AddRef takes the first one.
class EventSink final : public IDispatch {
public:
    EventSink(const IID& eventInterface, EventReceiver* receiver);

    // Finds the application's connection point for the event interface and advises this sink.
    HRESULT Connect(IUnknown* application);
    // Forgets the receiver first, so a late event reaches nothing, then unadvises and lets go
    // of the connection point.
    void Disconnect();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    ~EventSink() = default;

    ULONG m_references = 0;
    IID m_eventInterface;
    EventReceiver* m_receiver;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

}  // namespace tessivar
