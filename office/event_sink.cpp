#include "event_sink.h"

namespace tessivar {

EventSink::EventSink(const IID& eventInterface, EventReceiver* receiver)
    : m_eventInterface(eventInterface), m_receiver(receiver)
{
}

HRESULT EventSink::Connect(IUnknown* application)
{
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = application->QueryInterface(IID_PPV_ARGS(&container));
    if (FAILED(hr))
        return hr;
    hr = container->FindConnectionPoint(m_eventInterface, &m_point);
    if (FAILED(hr))
        return hr;
    hr = m_point->Advise(static_cast<IDispatch*>(this), &m_cookie);
    if (FAILED(hr)) {
        m_point.Reset();
        m_cookie = 0;
    }
    return hr;
}

void EventSink::Disconnect()
{
    m_receiver = nullptr;
    if (m_point != nullptr) {
        m_point->Unadvise(m_cookie);
        m_point.Reset();
        m_cookie = 0;
    }
}

HRESULT EventSink::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_eventInterface) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::AddRef()
{
    return ++m_references;
}

ULONG EventSink::Release()
{
    const ULONG remaining = --m_references;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT EventSink::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo)
{
    if (typeInfo != nullptr)
        *typeInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    // The arguments are not read: no handler is interested in more than which event it was.
    if (m_receiver != nullptr)
        m_receiver->OnApplicationEvent(id);
    return S_OK;
}

}  // namespace tessivar
