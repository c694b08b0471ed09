// The automation objects of the recording server: one Application per class-factory creation, and the
// collections, items and helper objects reachable from it. Every object holds its Application, the
// Application holds only its event sinks, so there are no reference cycles.
#pragma once

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Recording {

using Microsoft::WRL::ComPtr;

enum class App { Word, Excel, PowerPoint };

struct AppProfile {
    App app;
    const char* name;  // "Word": journal tags, faults.txt, /UnregServer arguments
    const wchar_t* wideName;
    const wchar_t* progId;
    CLSID clsid;
    IID eventIid;
    const wchar_t* eventInterface;
    DISPID visible;
    DISPID collection;
    DISPID quit;
    const char* collectionKind;
    const char* itemKind;
    const wchar_t* itemPrefix;  // items are named prefix + ordinal, as the real applications do
    DISPID add;
    UINT maxAddArgs;
    DISPID collectionParent;  // DISPID_UNKNOWN when the collection has none
    DISPID itemClose;
    const char* eventName;  // fired at every sink after a successful Add
    DISPID eventDispid;
};

const std::vector<AppProfile>& Profiles();
const AppProfile* FindProfile(std::string_view name);

// Server lifetime, implemented by the process entry: every live object and every LockServer counts.
void ServerLock();
void ServerUnlock();
// Runs `work` later from the server's message loop, outside the incoming call that asked for it.
void PostToServer(std::function<void()> work);
// A shown top-level window for an Application; the class is registered by the process entry.
HWND CreateStandInWindow(const std::wstring& title);

struct Invocation;

class DispatchObject : public IDispatch {
public:
    explicit DispatchObject(std::string kind);
    virtual ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    const std::string& Tag() const { return m_tag; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

protected:
    enum MemberKind : unsigned { kGet = 1, kPut = 2, kMethod = 4 };
    struct Member {
        DISPID id;
        const char* name;
        unsigned kinds;
    };

    virtual std::vector<Member> Members() const = 0;
    virtual HRESULT Call(const Member& member, Invocation& call) = 0;
    // Interfaces beyond IUnknown/IDispatch; returns the interface pointer or nullptr with `hr` set.
    virtual void* QueryOther(REFIID iid, HRESULT& hr);

private:
    HRESULT Dispatch(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, Invocation& call);

    LONG m_refs = 0;  // the creator's first reference adds 1: new objects go straight into a ComPtr
    std::string m_tag;
};

class ConnectionPoint;

class ApplicationObject final : public DispatchObject, public IConnectionPointContainer {
public:
    ApplicationObject(const AppProfile& profile, std::set<std::string> faults);
    ~ApplicationObject() override;

    const AppProfile& Profile() const { return m_profile; }
    // True when faults.txt asked for `fault` at creation; journals that the fault is applied.
    bool ApplyFault(const char* fault) const;
    std::wstring NextItemName();
    void ListItem(const std::wstring& name);

    HRESULT AdviseSink(IUnknown* sink, DWORD* cookie);
    HRESULT UnadviseSink(DWORD cookie);
    void FireNewItem(const ComPtr<IDispatch>& item);
    void ConnectionPointGone() { m_connectionPoint = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        return DispatchObject::QueryInterface(iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return DispatchObject::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return DispatchObject::Release(); }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

protected:
    std::vector<Member> Members() const override;
    HRESULT Call(const Member& member, Invocation& call) override;
    void* QueryOther(REFIID iid, HRESULT& hr) override;

private:
    void ShowWindow(bool visible);

    const AppProfile& m_profile;
    std::set<std::string> m_faults;
    HWND m_window = nullptr;
    bool m_visible = false;
    int m_itemCount = 0;
    std::wstring m_items;
    std::map<DWORD, ComPtr<IDispatch>> m_sinks;
    ConnectionPoint* m_connectionPoint = nullptr;  // not owned: the point holds the application
};

}  // namespace Recording
