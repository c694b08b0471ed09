#include "server_objects.h"

#include "server_journal.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace Recording {
namespace {

// Error code Office applications put in EXCEPINFO for a refused request.
constexpr SCODE kOfficeRefused = static_cast<SCODE>(0x800A03EC);

std::string NextTag(const std::string& kind)
{
    static std::map<std::string, int> counters;
    return kind + "#" + std::to_string(++counters[kind]);
}

}  // namespace

const std::vector<AppProfile>& Profiles()
{
    static const std::vector<AppProfile> kProfiles = {
        {App::Word,
         "Word",
         L"Word",
         L"Word.Application",
         {0x28581055, 0xBB0D, 0x4E06, {0x85, 0xBC, 0x05, 0x5A, 0x6F, 0x43, 0x94, 0xE1}},
         {0x000209FE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
         L"ApplicationEvents2",
         23,
         6,
         1105,
         "Documents",
         "Document",
         L"Document",
         14,
         4,
         1002,
         1105,
         "NewDocument",
         9},
        {App::Excel,
         "Excel",
         L"Excel",
         L"Excel.Application",
         {0x2BC0D03B, 0xBF7A, 0x4821, {0x84, 0xEB, 0x6D, 0xC6, 0x47, 0x33, 0xD9, 0xF4}},
         {0x00024413, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
         L"AppEvents",
         558,
         572,
         302,
         "Workbooks",
         "Workbook",
         L"Book",
         181,
         1,
         DISPID_UNKNOWN,
         277,
         "NewWorkbook",
         1565},
        {App::PowerPoint,
         "PowerPoint",
         L"PowerPoint",
         L"PowerPoint.Application",
         {0x22CE4085, 0x7149, 0x46F4, {0x9D, 0x08, 0x94, 0x5B, 0x0E, 0x3F, 0xEB, 0x76}},
         {0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}},
         L"EApplication",
         2030,
         2001,
         2021,
         "Presentations",
         "Presentation",
         L"Presentation",
         2003,
         1,
         DISPID_UNKNOWN,
         2035,
         "NewPresentation",
         2005},
    };
    return kProfiles;
}

const AppProfile* FindProfile(std::string_view name)
{
    for (const AppProfile& profile : Profiles()) {
        if (name == profile.name) {
            return &profile;
        }
    }
    return nullptr;
}

// One IDispatch::Invoke in progress, with the argument rules of a dispinterface built in.
struct Invocation {
    WORD flags;
    DISPPARAMS* params;
    VARIANT* result;
    EXCEPINFO* excep;

    UINT PositionalCount() const { return params->cArgs - params->cNamedArgs; }

    // Positional argument `index` in call order, by-reference variants followed; nullptr when the caller
    // left it out or passed it as omitted (VT_ERROR DISP_E_PARAMNOTFOUND).
    const VARIANT* Positional(UINT index) const
    {
        if (index >= PositionalCount()) {
            return nullptr;
        }
        const VARIANT* value = &params->rgvarg[params->cArgs - 1 - index];
        if (V_VT(value) == (VT_BYREF | VT_VARIANT)) {
            value = V_VARIANTREF(value);
        }
        if (!value || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND)) {
            return nullptr;
        }
        return value;
    }

    void ReturnObject(ComPtr<IDispatch> object)
    {
        if (result) {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = object.Detach();
        }
    }

    HRESULT Refuse(const AppProfile& profile, const wchar_t* description)
    {
        if (excep) {
            *excep = {};
            excep->bstrSource = SysAllocString(profile.progId);
            excep->bstrDescription = SysAllocString(description);
            excep->scode = kOfficeRefused;
        }
        return DISP_E_EXCEPTION;
    }
};

namespace {

// Converts one argument to a boolean as a typed dispinterface would (VT_I4 1 counts as true).
HRESULT ToBool(const VARIANT* value, bool& out)
{
    if (!value) {
        return DISP_E_PARAMNOTOPTIONAL;
    }
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_BOOL);
    if (FAILED(hr)) {
        return DISP_E_TYPEMISMATCH;
    }
    out = V_BOOL(&converted) != VARIANT_FALSE;
    return S_OK;
}

// Objects with no members of interest (Word's Selection, Excel's sheets).
class PlainObject final : public DispatchObject {
public:
    PlainObject(const std::string& kind, ComPtr<ApplicationObject> app) : DispatchObject(kind), m_app(std::move(app)) {}

protected:
    std::vector<Member> Members() const override { return {}; }
    HRESULT Call(const Member&, Invocation&) override { return DISP_E_MEMBERNOTFOUND; }

private:
    ComPtr<ApplicationObject> m_app;
};

class ItemObject final : public DispatchObject {
public:
    ItemObject(ComPtr<ApplicationObject> app, std::wstring name)
        : DispatchObject(std::string(app->Profile().name) + "." + app->Profile().itemKind),
          m_app(std::move(app)),
          m_name(std::move(name))
    {
    }

protected:
    std::vector<Member> Members() const override { return {{m_app->Profile().itemClose, "Close", kMethod}}; }

    // Close is recorded so tests can assert that the launcher never sends it; nothing closes here.
    HRESULT Call(const Member&, Invocation&) override { return S_OK; }

private:
    ComPtr<ApplicationObject> m_app;
    std::wstring m_name;
};

class CollectionObject final : public DispatchObject {
public:
    explicit CollectionObject(ComPtr<ApplicationObject> app)
        : DispatchObject(std::string(app->Profile().name) + "." + app->Profile().collectionKind), m_app(std::move(app))
    {
    }

protected:
    std::vector<Member> Members() const override
    {
        const AppProfile& profile = m_app->Profile();
        std::vector<Member> members = {{profile.add, "Add", kMethod}};
        if (profile.collectionParent != DISPID_UNKNOWN) {
            members.push_back({profile.collectionParent, "Parent", kGet});
        }
        return members;
    }

    HRESULT Call(const Member& member, Invocation& call) override
    {
        const AppProfile& profile = m_app->Profile();
        if (member.id == profile.collectionParent) {
            call.ReturnObject(m_app);
            return S_OK;
        }
        if (call.PositionalCount() > profile.maxAddArgs) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (m_app->ApplyFault("add-exception")) {
            return call.Refuse(profile, L"Add refused by the recording server's fault file");
        }
        if (m_app->ApplyFault("add-no-object")) {
            return S_OK;
        }
        const std::wstring name = m_app->NextItemName();
        const ComPtr<IDispatch> item(new ItemObject(m_app, name));
        m_app->ListItem(name);
        call.ReturnObject(item);
        m_app->FireNewItem(item);
        return S_OK;
    }

private:
    ComPtr<ApplicationObject> m_app;
};

class SheetsObject final : public DispatchObject {
public:
    explicit SheetsObject(ComPtr<ApplicationObject> app)
        : DispatchObject(std::string(app->Profile().name) + ".Sheets"), m_app(std::move(app))
    {
    }

protected:
    static constexpr LONG kSheetCount = 3;  // a new workbook's default

    std::vector<Member> Members() const override { return {{170, "Item", kGet | kMethod}}; }

    HRESULT Call(const Member&, Invocation& call) override
    {
        if (call.PositionalCount() != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        const VARIANT* index = call.Positional(0);
        if (!index) {
            return DISP_E_PARAMNOTOPTIONAL;
        }
        VARIANT converted;
        VariantInit(&converted);
        if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(index), 0, VT_I4))) {
            return DISP_E_TYPEMISMATCH;
        }
        if (V_I4(&converted) < 1 || V_I4(&converted) > kSheetCount) {
            return DISP_E_BADINDEX;
        }
        const ComPtr<IDispatch> sheet(new PlainObject(std::string(m_app->Profile().name) + ".Sheet", m_app));
        call.ReturnObject(sheet);
        return S_OK;
    }

private:
    ComPtr<ApplicationObject> m_app;
};

}  // namespace

class ConnectionPoint final : public IConnectionPoint {
public:
    explicit ConnectionPoint(ComPtr<ApplicationObject> app)
        : m_app(std::move(app)), m_tag(NextTag(std::string(m_app->Profile().name) + ".ConnectionPoint"))
    {
        ServerLock();
        RememberTag(static_cast<IConnectionPoint*>(this), m_tag);
        JournalLine("new").Add("obj", m_tag).Write();
    }

    ~ConnectionPoint()
    {
        m_app->ConnectionPointGone();
        ForgetTag(static_cast<IConnectionPoint*>(this));
        m_app.Reset();
        ServerUnlock();
    }

    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    const std::string& Tag() const { return m_tag; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        HRESULT hr = S_OK;
        if (!object) {
            hr = E_POINTER;
        } else if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
            *object = static_cast<IConnectionPoint*>(this);
            AddRef();
        } else {
            *object = nullptr;
            hr = E_NOINTERFACE;
        }
        JournalLine("qi")
            .Add("obj", m_tag)
            .Add("iid", GuidString(iid))
            .Add("name", InterfaceName(iid))
            .AddHr("hr", hr)
            .Write();
        return hr;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) {
            JournalLine("final-release").Add("obj", m_tag).Write();
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid) {
            return E_POINTER;
        }
        *iid = m_app->Profile().eventIid;
        return S_OK;
    }

    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override
    {
        if (!container) {
            return E_POINTER;
        }
        *container = m_app.Get();
        (*container)->AddRef();
        return S_OK;
    }

    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override
    {
        HRESULT hr = S_OK;
        DWORD newCookie = 0;
        if (!sink || !cookie) {
            hr = E_POINTER;
        } else if (m_app->ApplyFault("advise-refused")) {
            *cookie = 0;
            hr = CONNECT_E_ADVISELIMIT;
        } else {
            hr = m_app->AdviseSink(sink, &newCookie);
            *cookie = newCookie;
        }
        JournalLine("advise").Add("obj", m_tag).Add("cookie", newCookie).AddHr("hr", hr).Write();
        return hr;
    }

    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        const HRESULT hr = m_app->UnadviseSink(cookie);
        JournalLine("unadvise").Add("obj", m_tag).Add("cookie", cookie).AddHr("hr", hr).Write();
        return hr;
    }

    STDMETHODIMP EnumConnections(IEnumConnections** connections) override
    {
        if (connections) {
            *connections = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    LONG m_refs = 0;  // the creator's first reference adds 1
    ComPtr<ApplicationObject> m_app;
    std::string m_tag;
};

DispatchObject::DispatchObject(std::string kind) : m_tag(NextTag(kind))
{
    ServerLock();
    RememberTag(static_cast<IDispatch*>(this), m_tag);
    JournalLine("new").Add("obj", m_tag).Write();
}

DispatchObject::~DispatchObject()
{
    ForgetTag(static_cast<IDispatch*>(this));
    ServerUnlock();
}

STDMETHODIMP DispatchObject::QueryInterface(REFIID iid, void** object)
{
    HRESULT hr = S_OK;
    if (!object) {
        hr = E_POINTER;
    } else if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
    } else if (void* other = QueryOther(iid, hr)) {
        *object = other;
        AddRef();
    } else {
        *object = nullptr;
    }
    JournalLine("qi")
        .Add("obj", m_tag)
        .Add("iid", GuidString(iid))
        .Add("name", InterfaceName(iid))
        .AddHr("hr", hr)
        .Write();
    return hr;
}

void* DispatchObject::QueryOther(REFIID, HRESULT& hr)
{
    hr = E_NOINTERFACE;
    return nullptr;
}

STDMETHODIMP_(ULONG) DispatchObject::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) DispatchObject::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) {
        // Written before the members go, so an item's line comes before its application's.
        JournalLine("final-release").Add("obj", m_tag).Write();
        delete this;
    }
    return static_cast<ULONG>(refs);
}

STDMETHODIMP DispatchObject::GetTypeInfoCount(UINT* count)
{
    JournalLine("type-info-count").Add("obj", m_tag).Write();
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP DispatchObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    JournalLine("type-info").Add("obj", m_tag).Add("index", index).Write();
    if (info) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

// Clients of the real applications must use fixed dispatch identifiers, so names are never resolved.
STDMETHODIMP DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    JournalLine line("get-ids-of-names");
    line.Add("obj", m_tag).Add("count", count);
    for (UINT i = 0; names && i < count; ++i) {
        line.Add("name" + std::to_string(i), names[i] ? EncodeValue(std::wstring_view(names[i])) : "(null)");
        if (ids) {
            ids[i] = DISPID_UNKNOWN;
        }
    }
    line.AddHr("hr", DISP_E_UNKNOWNNAME).Write();
    return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchObject::Dispatch(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, Invocation& call)
{
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    const std::vector<Member> members = Members();
    const auto member = std::find_if(members.begin(), members.end(), [id](const Member& m) { return m.id == id; });
    if (member == members.end()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        if (!(member->kinds & kPut)) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTFOUND;
        }
        if (params->cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
    } else {
        const bool method = (flags & DISPATCH_METHOD) && (member->kinds & kMethod);
        const bool get = (flags & DISPATCH_PROPERTYGET) && (member->kinds & kGet);
        if (!method && !get) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params->cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        }
    }
    return Call(*member, call);
}

STDMETHODIMP DispatchObject::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* excep, UINT* argErr)
{
    JournalLine line("invoke");
    line.Add("obj", m_tag);
    std::string memberName = "?";
    for (const Member& member : Members()) {
        if (member.id == id) {
            memberName = member.name;
        }
    }
    line.Add("member", memberName).Add("dispid", id).Add("flags", flags);

    HRESULT hr = S_OK;
    DISPPARAMS empty = {};
    if (!params) {
        params = &empty;
    }
    if (params->cNamedArgs > params->cArgs || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs)) {
        hr = E_INVALIDARG;
        params = &empty;
    }
    line.Add("args", params->cArgs).Add("named", params->cNamedArgs);
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
        line.Add("named" + std::to_string(i), params->rgdispidNamedArgs[i]);
    }
    for (UINT i = 0; i < params->cArgs; ++i) {
        char vt[16];
        std::snprintf(vt, sizeof vt, "0x%04X", V_VT(&params->rgvarg[i]));
        line.Add("arg" + std::to_string(i), FormatVariant(params->rgvarg[i])).Add("vt" + std::to_string(i), vt);
    }
    if (!IsEqualIID(iid, IID_NULL)) {
        line.Add("riid", GuidString(iid));
    }
    line.Add("lcid", static_cast<long long>(lcid));

    if (result) {
        VariantInit(result);
    }
    if (excep) {
        *excep = {};
    }
    if (argErr) {
        *argErr = 0;
    }
    if (SUCCEEDED(hr)) {
        Invocation call{flags, params, result, excep};
        hr = Dispatch(id, iid, flags, params, call);
    }
    line.AddHr("hr", hr);
    if (result && SUCCEEDED(hr)) {
        line.Add("ret", FormatVariant(*result));
    }
    if (hr == DISP_E_EXCEPTION && excep) {
        line.AddHr("excep-scode", excep->scode);
        line.Add("excep-source", excep->bstrSource ? EncodeValue(std::wstring_view(excep->bstrSource)) : "(null)");
    }
    line.Write();
    return hr;
}

ApplicationObject::ApplicationObject(const AppProfile& profile, std::set<std::string> faults)
    : DispatchObject(std::string(profile.name) + ".Application"), m_profile(profile), m_faults(std::move(faults))
{
}

ApplicationObject::~ApplicationObject()
{
    if (m_window && IsWindow(m_window)) {
        DestroyWindow(m_window);
    }
}

bool ApplicationObject::ApplyFault(const char* fault) const
{
    if (!m_faults.contains(fault)) {
        return false;
    }
    JournalLine("fault").Add("app", m_profile.name).Add("fault", fault).Add("obj", Tag()).Write();
    return true;
}

std::wstring ApplicationObject::NextItemName()
{
    return m_profile.itemPrefix + std::to_wstring(++m_itemCount);
}

void ApplicationObject::ListItem(const std::wstring& name)
{
    if (!m_items.empty()) {
        m_items += L"\r\n";
    }
    m_items += name;
    if (m_window) {
        SetWindowTextW(GetWindow(m_window, GW_CHILD), m_items.c_str());
    }
}

void ApplicationObject::ShowWindow(bool visible)
{
    m_visible = visible;
    if (visible && (!m_window || !IsWindow(m_window))) {
        m_window = CreateStandInWindow(std::wstring(m_profile.wideName) + L" (recording stand-in)");
        if (m_window) {
            SetWindowTextW(GetWindow(m_window, GW_CHILD), m_items.c_str());
        }
    }
    if (m_window) {
        ::ShowWindow(m_window, visible ? SW_SHOWNORMAL : SW_HIDE);
        UpdateWindow(m_window);
    }
}

HRESULT ApplicationObject::AdviseSink(IUnknown* sink, DWORD* cookie)
{
    static DWORD nextCookie = 0;
    // Events are sent through the event interface, as the real applications do; that query fails across
    // processes unless the interface is registered for marshalling (the type library does that).
    ComPtr<IDispatch> events;
    const HRESULT hr = sink->QueryInterface(m_profile.eventIid, reinterpret_cast<void**>(events.GetAddressOf()));
    JournalLine("sink-qi").Add("obj", Tag()).Add("iid", GuidString(m_profile.eventIid)).AddHr("hr", hr).Write();
    if (FAILED(hr) || !events) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = ++nextCookie;
    m_sinks.emplace(*cookie, std::move(events));
    return S_OK;
}

HRESULT ApplicationObject::UnadviseSink(DWORD cookie)
{
    return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

void ApplicationObject::FireNewItem(const ComPtr<IDispatch>& item)
{
    // Later, from the message loop: the real applications raise it once the new item is set up, and the
    // client gets it through its own message loop after Add has returned.
    ComPtr<ApplicationObject> self(this);
    PostToServer([self, item] {
        if (self->m_sinks.empty()) {
            JournalLine("fire-skipped").Add("obj", self->Tag()).Add("event", self->m_profile.eventName).Write();
            return;
        }
        const auto sinks = self->m_sinks;  // a sink may unadvise from inside its Invoke
        for (const auto& [cookie, sink] : sinks) {
            VARIANT arg;
            VariantInit(&arg);
            V_VT(&arg) = VT_DISPATCH;
            V_DISPATCH(&arg) = item.Get();
            DISPPARAMS params = {&arg, nullptr, 1, 0};
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO excep = {};
            UINT argErr = 0;
            const HRESULT hr = sink->Invoke(self->m_profile.eventDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &params, &result, &excep, &argErr);
            VariantClear(&result);
            SysFreeString(excep.bstrSource);
            SysFreeString(excep.bstrDescription);
            SysFreeString(excep.bstrHelpFile);
            JournalLine("fire")
                .Add("obj", self->Tag())
                .Add("event", self->m_profile.eventName)
                .Add("dispid", self->m_profile.eventDispid)
                .Add("cookie", cookie)
                .Add("arg0", FormatVariant(arg))
                .AddHr("hr", hr)
                .Write();
        }
    });
}

STDMETHODIMP ApplicationObject::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points) {
        *points = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP ApplicationObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    HRESULT hr = S_OK;
    if (!point) {
        hr = E_POINTER;
    } else {
        *point = nullptr;
        if (ApplyFault("no-cp") || !IsEqualIID(iid, m_profile.eventIid)) {
            hr = CONNECT_E_NOCONNECTION;
        } else if (m_connectionPoint) {
            *point = m_connectionPoint;
            (*point)->AddRef();
        } else {
            m_connectionPoint = new ConnectionPoint(ComPtr<ApplicationObject>(this));
            *point = m_connectionPoint;
            (*point)->AddRef();
        }
    }
    JournalLine line("find-cp");
    line.Add("obj", Tag()).Add("iid", GuidString(iid)).AddHr("hr", hr);
    if (SUCCEEDED(hr)) {
        line.Add("cp", m_connectionPoint->Tag());
    }
    line.Write();
    return hr;
}

void* ApplicationObject::QueryOther(REFIID iid, HRESULT& hr)
{
    if (IsEqualIID(iid, IID_IConnectionPointContainer) && !ApplyFault("no-cpc")) {
        hr = S_OK;
        return static_cast<IConnectionPointContainer*>(this);
    }
    hr = E_NOINTERFACE;
    return nullptr;
}

std::vector<DispatchObject::Member> ApplicationObject::Members() const
{
    std::vector<Member> members = {
        {m_profile.visible, "Visible", kGet | kPut},
        {m_profile.collection, m_profile.collectionKind, kGet},
        {m_profile.quit, "Quit", kMethod},
    };
    if (m_profile.app == App::Word) {
        members.push_back({5, "Selection", kGet});
    } else if (m_profile.app == App::Excel) {
        members.push_back({148, "Application", kGet});
        members.push_back({485, "Sheets", kGet});
    }
    return members;
}

HRESULT ApplicationObject::Call(const Member& member, Invocation& call)
{
    ComPtr<ApplicationObject> self(this);
    if (member.id == m_profile.visible) {
        if (!(call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
            if (call.result) {
                V_VT(call.result) = VT_BOOL;
                V_BOOL(call.result) = m_visible ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        }
        if (ApplyFault("visible-fails")) {
            return call.Refuse(m_profile, L"Visible refused by the recording server's fault file");
        }
        bool visible = false;
        const HRESULT hr = ToBool(&call.params->rgvarg[0], visible);
        if (SUCCEEDED(hr)) {
            ShowWindow(visible);
        }
        return hr;
    }
    if (member.id == m_profile.collection) {
        if (ApplyFault("collection-fails")) {
            return call.Refuse(m_profile, L"The collection is refused by the recording server's fault file");
        }
        const ComPtr<IDispatch> collection(new CollectionObject(self));
        call.ReturnObject(collection);
        return S_OK;
    }
    if (member.id == m_profile.quit) {
        return S_OK;  // recorded only: tests assert the launcher never asks
    }
    ComPtr<IDispatch> object;
    if (member.id == 5) {
        object = new PlainObject(std::string(m_profile.name) + ".Selection", self);
    } else if (member.id == 148) {
        object = self;
    } else if (member.id == 485) {
        object = new SheetsObject(self);
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }
    call.ReturnObject(object);
    return S_OK;
}

}  // namespace Recording
