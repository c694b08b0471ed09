#include "fake_office.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <type_traits>

namespace officetest {

using Microsoft::WRL::ComPtr;

namespace {

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text)
        narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return narrow;
}

std::string FlagsText(WORD flags)
{
    switch (flags) {
        case DISPATCH_METHOD:
            return "METHOD";
        case DISPATCH_PROPERTYGET:
            return "GET";
        case DISPATCH_PROPERTYPUT:
            return "PUT";
        case DISPATCH_PROPERTYPUTREF:
            return "PUTREF";
        default:
            return "flags=" + Hex(flags);
    }
}

std::string IidText(const IID& iid)
{
    if (iid == IID_NULL)
        return "NULL";
    if (iid == IID_IUnknown)
        return "IUnknown";
    if (iid == IID_IDispatch)
        return "IDispatch";
    return GuidText(iid);
}

template <typename T>
std::string Join(const std::vector<T>& items)
{
    std::string text;
    for (const T& item : items) {
        if (!text.empty())
            text += ", ";
        if constexpr (std::is_same_v<T, std::string>)
            text += item;
        else
            text += std::to_string(item);
    }
    return text;
}

std::vector<CountedFake*>& Fakes()
{
    static std::vector<CountedFake*> fakes;
    return fakes;
}

std::vector<std::string>& OverReleasedRoles()
{
    static std::vector<std::string> roles;
    return roles;
}

}  // namespace

void Journal::Add(std::string text, std::vector<const VARIANT*> byRefTargets)
{
    m_entries.push_back({std::move(text), std::move(byRefTargets)});
}

std::vector<std::string> Journal::Texts() const
{
    std::vector<std::string> texts;
    for (const JournalEntry& entry : m_entries)
        texts.push_back(entry.text);
    return texts;
}

Journal& TheJournal()
{
    static Journal journal;
    return journal;
}

std::string GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

std::string VariantText(const VARIANT& value)
{
    switch (V_VT(&value)) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_BOOL:
            return "BOOL:" + std::to_string(V_BOOL(&value));
        case VT_I2:
            return "I2:" + std::to_string(V_I2(&value));
        case VT_I4:
            return "I4:" + std::to_string(V_I4(&value));
        case VT_ERROR:
            return "ERROR:" + Hex(static_cast<unsigned long>(V_ERROR(&value)));
        case VT_BYREF | VT_VARIANT:
            return V_VARIANTREF(&value) == nullptr ? "BYREF(null)"
                                                   : "BYREF(" + VariantText(*V_VARIANTREF(&value)) + ")";
        default:
            return "vt=" + Hex(V_VT(&value));
    }
}

std::string InvokeText(const std::string& role, DISPID id, const std::string& flags, const std::string& iid,
                       LCID locale, const std::vector<std::string>& arguments, const std::vector<DISPID>& named,
                       bool result, bool exception, bool argumentError)
{
    return role + ": Invoke " + std::to_string(id) + " " + flags + " args=[" + Join(arguments) + "] named=[" +
           Join(named) + "] iid=" + iid + " lcid=" + std::to_string(locale) + " result=" + (result ? "yes" : "no") +
           " excepinfo=" + (exception ? "yes" : "no") + " argerr=" + (argumentError ? "yes" : "no");
}

std::string ExpectedInvoke(const std::string& role, DISPID id, const std::string& flags,
                           const std::vector<std::string>& arguments, bool result)
{
    const std::vector<DISPID> named = flags == "PUT" ? std::vector<DISPID>{DISPID_PROPERTYPUT} : std::vector<DISPID>{};
    return InvokeText(role, id, flags, "NULL", 0, arguments, named, result, true, true);
}

CountedFake::CountedFake(std::string role) : m_role(std::move(role))
{
    Fakes().push_back(this);
}

CountedFake::~CountedFake()
{
    std::erase(Fakes(), this);
}

ULONG CountedFake::ReleaseReference()
{
    if (--m_references < 0) {
        OverReleasedRoles().push_back(m_role);
        ADD_FAILURE() << m_role << " was released more often than it was referenced";
    }
    return static_cast<ULONG>(std::max<LONG>(m_references, 0));
}

std::map<std::string, LONG> HeldReferences()
{
    std::map<std::string, LONG> held;
    for (const CountedFake* fake : Fakes()) {
        if (fake->References() != 0)
            held[fake->Role()] = fake->References();
    }
    return held;
}

std::vector<std::string> OverReleased()
{
    return OverReleasedRoles();
}

std::vector<std::string>& ForbiddenCalls()
{
    static std::vector<std::string> calls;
    return calls;
}

HRESULT FakeObject::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || (iid == IID_IDispatch && m_answersDispatch))
        *object = static_cast<IDispatch*>(this);
    else if (iid == IID_IConnectionPointContainer && m_container)
        *object = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT FakeObject::GetTypeInfoCount(UINT* count)
{
    ForbiddenCalls().push_back(Role() + ": GetTypeInfoCount");
    if (count != nullptr)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT FakeObject::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo)
{
    ForbiddenCalls().push_back(Role() + ": GetTypeInfo");
    if (typeInfo != nullptr)
        *typeInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID*)
{
    ForbiddenCalls().push_back(Role() + ": GetIDsOfNames " + (names != nullptr && count > 0 ? Narrow(names[0]) : ""));
    TheJournal().Add(Role() + ": GetIDsOfNames");
    return E_NOTIMPL;
}

HRESULT FakeObject::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError)
{
    std::vector<std::string> arguments;
    std::vector<DISPID> named;
    std::vector<const VARIANT*> targets;
    if (params == nullptr) {
        arguments.push_back("<no DISPPARAMS>");
    } else {
        if (params->cArgs > 0 && params->rgvarg == nullptr)
            arguments.push_back("<" + std::to_string(params->cArgs) + " arguments, no array>");
        for (UINT i = 0; params->rgvarg != nullptr && i < params->cArgs; ++i) {
            const VARIANT& argument = params->rgvarg[i];
            arguments.push_back(VariantText(argument));
            if (V_VT(&argument) == (VT_BYREF | VT_VARIANT))
                targets.push_back(V_VARIANTREF(&argument));
        }
        if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)
            named.push_back(DISPID_UNKNOWN);
        for (UINT i = 0; params->rgdispidNamedArgs != nullptr && i < params->cNamedArgs; ++i)
            named.push_back(params->rgdispidNamedArgs[i]);
    }
    TheJournal().Add(InvokeText(Role(), id, FlagsText(flags), IidText(iid), locale, arguments, named, result != nullptr,
                                exception != nullptr, argumentError != nullptr),
                     std::move(targets));

    const auto reply = m_replies.find(id);
    if (reply == m_replies.end())
        return S_OK;
    switch (reply->second.kind) {
        case ReplyKind::Object:
            if (result == nullptr)
                return DISP_E_PARAMNOTOPTIONAL;
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = reply->second.object;
            reply->second.object->AddRef();
            return S_OK;
        case ReplyKind::Failure:
            return reply->second.hr;
        case ReplyKind::Exception:
            if (exception != nullptr) {
                *exception = EXCEPINFO{};
                exception->scode = E_FAIL;
                exception->bstrSource = SysAllocString(L"Fake Office");
                exception->bstrDescription = SysAllocString(L"The fake application refused the call.");
                exception->bstrHelpFile = SysAllocString(L"fake.chm");
                for (BSTR text : {exception->bstrSource, exception->bstrDescription, exception->bstrHelpFile}) {
                    // Without this the check that the caller frees them would pass vacuously.
                    if (!IsAllocated(text))
                        ADD_FAILURE() << "the allocation spy does not see BSTRs; their frees cannot be checked";
                    ExceptionStrings().push_back(text);
                }
            }
            return DISP_E_EXCEPTION;
        case ReplyKind::Empty:
            return S_OK;
        case ReplyKind::NullObject:
            if (result != nullptr) {
                V_VT(result) = VT_DISPATCH;
                V_DISPATCH(result) = nullptr;
            }
            return S_OK;
    }
    return E_UNEXPECTED;
}

HRESULT FakeObject::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    ForbiddenCalls().push_back(Role() + ": EnumConnectionPoints");
    if (points != nullptr)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    TheJournal().Add(Role() + ": FindConnectionPoint " + GuidText(iid));
    if (point == nullptr)
        return E_POINTER;
    *point = nullptr;
    if (m_point == nullptr || iid != m_point->EventInterface())
        return CONNECT_E_NOCONNECTION;
    *point = m_point;
    m_point->AddRef();
    return S_OK;
}

ULONG FakeConnectionPoint::SinkReferences() const
{
    if (m_sink == nullptr)
        return 0;
    // The count is only visible through the pair's return value.
    m_sink->AddRef();
    return m_sink->Release();
}

HRESULT FakeConnectionPoint::Fire(DISPID id)
{
    if (m_sink == nullptr)
        return E_UNEXPECTED;
    VARIANT argument;
    VariantInit(&argument);
    DISPPARAMS params{&argument, nullptr, 1, 0};
    EXCEPINFO exception{};
    UINT argumentError = 0;
    return m_sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &exception, &argumentError);
}

HRESULT FakeConnectionPoint::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint)
        return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT FakeConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (iid == nullptr)
        return E_POINTER;
    *iid = m_eventInterface;
    return S_OK;
}

HRESULT FakeConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    ForbiddenCalls().push_back(Role() + ": GetConnectionPointContainer");
    if (container != nullptr)
        *container = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (cookie == nullptr || sink == nullptr) {
        TheJournal().Add(Role() + ": Advise without sink or cookie");
        return E_POINTER;
    }
    *cookie = 0;
    if (FAILED(m_adviseResult)) {
        TheJournal().Add(Role() + ": Advise refused");
        return m_adviseResult;
    }
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(m_eventInterface, reinterpret_cast<void**>(events.GetAddressOf())))) {
        TheJournal().Add(Role() + ": Advise with a sink that lacks " + GuidText(m_eventInterface));
        return CONNECT_E_CANNOTCONNECT;
    }
    m_sink = std::move(events);
    m_advised = true;
    *cookie = m_cookie;
    TheJournal().Add(Role() + ": Advise cookie=" + Hex(m_cookie));
    return S_OK;
}

HRESULT FakeConnectionPoint::Unadvise(DWORD cookie)
{
    // Whether the application is still held tells if the sink was let go of before it.
    TheJournal().Add(Role() + ": Unadvise cookie=" + Hex(cookie) + " " + m_owner.Role() +
                     "-references=" + std::to_string(m_owner.References()));
    if (!m_advised || cookie != m_cookie)
        return CONNECT_E_NOCONNECTION;
    m_advised = false;
    if (!m_keepSink)
        m_sink.Reset();
    return S_OK;
}

HRESULT FakeConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    ForbiddenCalls().push_back(Role() + ": EnumConnections");
    if (connections != nullptr)
        *connections = nullptr;
    return E_NOTIMPL;
}

namespace {

// Each ProgID asked for gets its own made-up class id, so the creation can be checked against it.
constexpr unsigned long kFakeClassBase = 0xFA4E0000;

std::vector<std::wstring>& ProgIds()
{
    static std::vector<std::wstring> progIds;
    return progIds;
}

HRESULT STDAPICALLTYPE FakeClsidFromProgId(LPCOLESTR progId, CLSID* clsid)
{
    TheJournal().Add("CLSIDFromProgID " + Narrow(progId));
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = CLSID_NULL;
    if (FAILED(Script().progIdResult))
        return Script().progIdResult;
    auto& progIds = ProgIds();
    auto found = std::find(progIds.begin(), progIds.end(), progId);
    if (found == progIds.end())
        found = progIds.insert(progIds.end(), progId);
    *clsid = CLSID{kFakeClassBase + static_cast<unsigned long>(found - progIds.begin()),
                   0xFA4E,
                   0x0000,
                   {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    return S_OK;
}

std::string ClassText(REFCLSID clsid)
{
    const CLSID base{clsid.Data1, 0xFA4E, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const unsigned long index = clsid.Data1 - kFakeClassBase;
    if (clsid == base && index < ProgIds().size())
        return Narrow(ProgIds()[index].c_str());
    return GuidText(clsid);
}

HRESULT STDAPICALLTYPE FakeCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    TheJournal().Add("CoCreateInstance clsid=" + ClassText(clsid) + " outer=" + (outer == nullptr ? "null" : "set") +
                     " context=" + Hex(context) + " iid=" + IidText(iid));
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    auto& script = Script();
    HRESULT hr = S_OK;
    if (!script.createResults.empty()) {
        hr = script.createResults.front();
        script.createResults.pop_front();
    }
    if (FAILED(hr))
        return hr;
    if (script.objects.empty())
        return CO_E_SERVER_EXEC_FAILURE;
    FakeObject* created = script.objects.front();
    script.objects.pop_front();
    return created->QueryInterface(iid, object);
}

// The object that is run must be the one just created: it is named by its identity among the fakes.
std::string RoleOf(IUnknown* object)
{
    if (object == nullptr)
        return "null";
    for (CountedFake* fake : Fakes()) {
        if (auto* candidate = dynamic_cast<FakeObject*>(fake); candidate != nullptr && candidate->Unknown() == object)
            return candidate->Role();
    }
    return "an unknown object";
}

HRESULT STDAPICALLTYPE FakeRun(IUnknown* object)
{
    TheJournal().Add("OleRun " + RoleOf(object));
    return Script().runResult;
}

}  // namespace

ActivationScript& Script()
{
    static ActivationScript script;
    return script;
}

const tessivar::Activation kFakeActivation = {FakeClsidFromProgId, FakeCreateInstance, FakeRun};

tessivar::Component* FakeComponentHost::FindComponent(tessivar::DesignId componentId)
{
    const auto found = m_components.find(componentId);
    return found == m_components.end() ? nullptr : found->second;
}

namespace {

// Keeps the task allocator's live blocks, so a test can tell whether a BSTR was freed.
class AllocationSpy final : public IMallocSpy {
public:
    bool Contains(const void* memory) const
    {
        const auto* byte = static_cast<const unsigned char*>(memory);
        for (const auto& [start, size] : m_live) {
            const auto* first = static_cast<const unsigned char*>(start);
            if (byte >= first && byte < first + size)
                return true;
        }
        return false;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMallocSpy)
            return E_NOINTERFACE;
        *object = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    // A static object: its lifetime is the program's.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override
    {
        m_pendingSize = size;
        return size;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override
    {
        if (actual != nullptr)
            m_live[actual] = m_pendingSize;
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override
    {
        m_live.erase(request);
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        m_live.erase(request);
        *newRequest = request;
        m_pendingSize = size;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return PostAlloc(actual); }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    std::map<void*, SIZE_T> m_live;
    SIZE_T m_pendingSize = 0;
};

AllocationSpy& Spy()
{
    static AllocationSpy spy;
    return spy;
}

}  // namespace

void InstallAllocationSpy()
{
    // Freed BSTRs would otherwise go to oleaut32's cache instead of back to the allocator.
    using NoCache = void(WINAPI*)();
    if (FARPROC noCache = GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "SetOaNoCache"))
        reinterpret_cast<NoCache>(reinterpret_cast<void*>(noCache))();
    CoRegisterMallocSpy(&Spy());
}

void RemoveAllocationSpy()
{
    CoRevokeMallocSpy();
}

bool IsAllocated(const void* memory)
{
    return Spy().Contains(memory);
}

std::vector<BSTR>& ExceptionStrings()
{
    static std::vector<BSTR> strings;
    return strings;
}

void ResetFakeWorld()
{
    TheJournal().Clear();
    Script() = ActivationScript{};
    ForbiddenCalls().clear();
    ExceptionStrings().clear();
    OverReleasedRoles().clear();
}

}  // namespace officetest
