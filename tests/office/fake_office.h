// In-process stand-ins for the Office side of automation: recording IDispatch objects with their own
// reference counts, a connection point, the activation functions and a component host. Every call
// they receive goes to one journal as a line of text, so a test compares the exact request sequence
// with the one it expects and a difference shows up as a readable diff.
#pragma once

#include "launcher_window/component.h"
#include "office/components.h"

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace officetest {

struct JournalEntry {
    std::string text;
    // Where the call's VT_BYREF|VT_VARIANT arguments pointed, in DISPPARAMS order.
    std::vector<const VARIANT*> byRefTargets;
};

class Journal {
public:
    void Add(std::string text, std::vector<const VARIANT*> byRefTargets = {});
    void Clear() { m_entries.clear(); }
    std::vector<std::string> Texts() const;
    const std::vector<JournalEntry>& Entries() const { return m_entries; }

private:
    std::vector<JournalEntry> m_entries;
};

Journal& TheJournal();

// The journal's text forms; expectations are built with the same functions.
std::string GuidText(const GUID& guid);
std::string VariantText(const VARIANT& value);
std::string InvokeText(const std::string& role, DISPID id, const std::string& flags, const std::string& iid,
                       LCID locale, const std::vector<std::string>& arguments, const std::vector<DISPID>& named,
                       bool result, bool exception, bool argumentError);
// How every call is expected to look: IID_NULL, locale 0, exception record and argument-error index passed.
std::string ExpectedInvoke(const std::string& role, DISPID id, const std::string& flags,
                           const std::vector<std::string>& arguments, bool result);

// A fake that counts the references handed out on it. It is owned by the test, never deleted by
// Release; a count going below zero is reported as a test failure at once.
class CountedFake {
public:
    explicit CountedFake(std::string role);
    virtual ~CountedFake();
    CountedFake(const CountedFake&) = delete;
    CountedFake& operator=(const CountedFake&) = delete;

    const std::string& Role() const { return m_role; }
    LONG References() const { return m_references; }

protected:
    ULONG AddReference() { return static_cast<ULONG>(++m_references); }
    ULONG ReleaseReference();

private:
    std::string m_role;
    LONG m_references = 0;
};

// Every live fake on which references are held, by role, with the count.
std::map<std::string, LONG> HeldReferences();
// Fakes that were released more often than referenced since the last reset.
std::vector<std::string> OverReleased();

class FakeConnectionPoint;

// Calls that must never be made (name look-ups, type information), counted since the last reset.
std::vector<std::string>& ForbiddenCalls();

class FakeObject final : public CountedFake, public IDispatch, public IConnectionPointContainer {
public:
    explicit FakeObject(std::string role) : CountedFake(std::move(role)) {}

    // Replies per dispatch id; an id without a reply succeeds with nothing in the result.
    void ReplyObject(DISPID id, FakeObject& object) { m_replies[id] = {ReplyKind::Object, &object, S_OK}; }
    void ReplyFailure(DISPID id, HRESULT hr) { m_replies[id] = {ReplyKind::Failure, nullptr, hr}; }
    // DISP_E_EXCEPTION with the exception record's strings filled in (the caller frees them).
    void ReplyException(DISPID id) { m_replies[id] = {ReplyKind::Exception, nullptr, DISP_E_EXCEPTION}; }
    void ReplyEmpty(DISPID id) { m_replies[id] = {ReplyKind::Empty, nullptr, S_OK}; }
    // S_OK with VT_DISPATCH and a null pointer.
    void ReplyNullObject(DISPID id) { m_replies[id] = {ReplyKind::NullObject, nullptr, S_OK}; }

    void SetAnswersDispatch(bool answers) { m_answersDispatch = answers; }
    void SetContainer(bool container) { m_container = container; }
    void SetConnectionPoint(FakeConnectionPoint* point) { m_point = point; }
    IUnknown* Unknown() { return static_cast<IDispatch*>(this); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

private:
    enum class ReplyKind { Object, Failure, Exception, Empty, NullObject };
    struct Reply {
        ReplyKind kind;
        FakeObject* object;
        HRESULT hr;
    };

    std::map<DISPID, Reply> m_replies;
    bool m_answersDispatch = true;
    bool m_container = true;
    FakeConnectionPoint* m_point = nullptr;
};

// The application's connection point for its event interface. It asks the advised sink for that
// interface, as Office does, and keeps the reference until Unadvise, or longer when told to, so a
// test can call the sink after the component let go of it.
class FakeConnectionPoint final : public CountedFake, public IConnectionPoint {
public:
    FakeConnectionPoint(std::string role, FakeObject& owner, const IID& eventInterface, DWORD cookie)
        : CountedFake(std::move(role)), m_owner(owner), m_eventInterface(eventInterface), m_cookie(cookie)
    {
    }

    const IID& EventInterface() const { return m_eventInterface; }
    DWORD Cookie() const { return m_cookie; }
    void RefuseAdvise(HRESULT hr) { m_adviseResult = hr; }
    void KeepSinkAfterUnadvise(bool keep) { m_keepSink = keep; }
    bool Advised() const { return m_advised; }
    Microsoft::WRL::ComPtr<IDispatch> Sink() const { return m_sink; }
    // The references held on the sink, this point's included (0 when it holds none).
    ULONG SinkReferences() const;
    // Calls the sink's Invoke as the application does when the event happens.
    HRESULT Fire(DISPID id);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
    FakeObject& m_owner;
    IID m_eventInterface;
    DWORD m_cookie;
    HRESULT m_adviseResult = S_OK;
    bool m_keepSink = false;
    bool m_advised = false;
    Microsoft::WRL::ComPtr<IDispatch> m_sink;
};

// What the fake activation functions answer; reset before every test.
struct ActivationScript {
    HRESULT progIdResult = S_OK;
    // One result per CoCreateInstance call; S_OK once they run out.
    std::deque<HRESULT> createResults;
    HRESULT runResult = S_OK;
    // Handed out, in order, by the creations that succeed.
    std::deque<FakeObject*> objects;
};

ActivationScript& Script();
extern const tessivar::Activation kFakeActivation;

// BSTRs the fakes put into exception records, and whether each is still allocated. Frees are
// watched through an IMallocSpy with the BSTR cache off.
void InstallAllocationSpy();
void RemoveAllocationSpy();
bool IsAllocated(const void* memory);
std::vector<BSTR>& ExceptionStrings();

// Clears the journal, the script, the forbidden calls and the exception strings.
void ResetFakeWorld();

class FakeComponentHost final : public tessivar::ComponentHost {
public:
    explicit FakeComponentHost(tessivar::DesignId windowId = tessivar::kLauncherWindowId) : m_windowId(windowId) {}

    struct RaisedEvent {
        tessivar::DesignId component;
        int event;
    };

    void SetWindowExists(bool exists) { m_windowExists = exists; }
    void Place(tessivar::DesignId id, tessivar::Component& component) { m_components[id] = &component; }
    const std::vector<RaisedEvent>& Raised() const { return m_raised; }

    tessivar::DesignId WindowId() const override { return m_windowId; }
    bool WindowExists() const override { return m_windowExists; }
    void RaiseEvent(tessivar::DesignId componentId, int event) override { m_raised.push_back({componentId, event}); }
    tessivar::Component* FindComponent(tessivar::DesignId componentId) override;

private:
    tessivar::DesignId m_windowId;
    bool m_windowExists = true;
    std::map<tessivar::DesignId, tessivar::Component*> m_components;
    std::vector<RaisedEvent> m_raised;
};

}  // namespace officetest
