// Drives RecordingOffice.exe out of process as a bare automation client (CoCreateInstance, Invoke,
// connection points) and checks what the server journals. The server must already be registered in
// the prefix (the recording_server fixture runs /RegServer).
#include "journal.h"

#include <gtest/gtest.h>

#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>
#include <wrl/client.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;
using namespace RecordingJournal;

namespace {

// Guards against hangs only; nothing here measures speed.
constexpr DWORD kWaitMs = 30000;
constexpr DWORD kContextAll = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD kContextLocal = kContextAll & ~CLSCTX_REMOTE_SERVER;
constexpr SCODE kOfficeRefused = static_cast<SCODE>(0x800A03EC);

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());  // ASCII names only
}

class OleSession {
public:
    OleSession() : m_hr(OleInitialize(nullptr)) {}
    ~OleSession()
    {
        if (SUCCEEDED(m_hr)) {
            OleUninitialize();
        }
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Get() { return &m_value; }
    const VARIANT& operator*() const { return m_value; }

private:
    VARIANT m_value;
};

// What an EXCEPINFO carried; the BSTRs are freed as soon as they are read.
struct ExceptionText {
    SCODE scode = 0;
    bool hasSource = false;
    bool hasDescription = false;
    std::wstring source;
    std::wstring description;
};

ExceptionText TakeException(EXCEPINFO& excep)
{
    ExceptionText text;
    text.scode = excep.scode;
    text.hasSource = excep.bstrSource != nullptr;
    text.hasDescription = excep.bstrDescription != nullptr;
    text.source = excep.bstrSource ? excep.bstrSource : L"";
    text.description = excep.bstrDescription ? excep.bstrDescription : L"";
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep = {};
    return text;
}

VARIANT MakeBool(bool value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT MakeI4(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT MakeOmitted()
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

// One Invoke. `args` are in DISPPARAMS order (last argument first); a put passes its value as the
// named DISPID_PROPERTYPUT argument.
HRESULT Call(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
             ExceptionText* exception = nullptr)
{
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params = {args.empty() ? nullptr : args.data(), put ? &putId : nullptr, static_cast<UINT>(args.size()),
                         put ? 1u : 0u};
    EXCEPINFO excep = {};
    UINT argErr = 0;
    const HRESULT hr = target->Invoke(id, IID_NULL, 0, flags, &params, result, &excep, &argErr);
    const ExceptionText text = TakeException(excep);
    if (exception) {
        *exception = text;
    }
    return hr;
}

// Gets an object-valued property (or calls a method returning one); fails when no object comes back.
HRESULT Fetch(IDispatch* target, DISPID id, ComPtr<IDispatch>& object, std::vector<VARIANT> args = {},
              WORD flags = DISPATCH_PROPERTYGET, ExceptionText* exception = nullptr, VARTYPE* resultType = nullptr)
{
    Variant result;
    const HRESULT hr = Call(target, id, flags, std::move(args), result.Get(), exception);
    if (resultType) {
        *resultType = V_VT(&*result);
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (V_VT(&*result) != VT_DISPATCH || !V_DISPATCH(&*result)) {
        return S_OK;  // the caller sees the empty object
    }
    object = V_DISPATCH(&*result);
    return hr;
}

// A client event sink, as a launcher would advise it.
class EventSink final : public IDispatch {
public:
    struct Received {
        DISPID id;
        WORD flags;
        UINT args;
        VARTYPE firstArgType;
    };

    explicit EventSink(const IID& events) : m_events(events) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, m_events)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) {
            delete this;
        }
        return static_cast<ULONG>(refs);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        const UINT args = params ? params->cArgs : 0;
        m_received.push_back({id, flags, args, args ? V_VT(&params->rgvarg[0]) : VARTYPE(VT_EMPTY)});
        return S_OK;
    }

    const std::vector<Received>& ReceivedEvents() const { return m_received; }

private:
    LONG m_refs = 0;
    IID m_events;
    std::vector<Received> m_received;
};

struct AppCase {
    const char* name;
    const wchar_t* progId;
    IID events;
    DISPID visible;
    VARIANT (*visibleValue)();
    const char* visibleText;  // as journalled
    DISPID collection;
    const char* collectionKind;
    DISPID add;
    int addArgs;
    bool addByReference;
    VARIANT (*addValue)();
    const char* addArgText;
    const char* addVt;
    const char* itemKind;
    DISPID eventId;
    const wchar_t* windowTitle;
    const wchar_t* firstItem;
};

const AppCase kWord = {"Word",
                       L"Word.Application",
                       {0x000209FE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
                       23,
                       [] { return MakeBool(true); },
                       "VT_BOOL:-1",
                       6,
                       "Documents",
                       14,
                       4,
                       true,
                       MakeOmitted,
                       "VT_BYREF|VT_VARIANT:VT_ERROR:0x80020004",
                       "0x400C",
                       "Document",
                       9,
                       L"Word (recording stand-in)",
                       L"Document1"};
const AppCase kExcel = {"Excel",
                        L"Excel.Application",
                        {0x00024413, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
                        558,
                        [] { return MakeBool(true); },
                        "VT_BOOL:-1",
                        572,
                        "Workbooks",
                        181,
                        1,
                        false,
                        MakeOmitted,
                        "VT_ERROR:0x80020004",
                        "0x000A",
                        "Workbook",
                        1565,
                        L"Excel (recording stand-in)",
                        L"Book1"};
const AppCase kPowerPoint = {"PowerPoint",
                             L"PowerPoint.Application",
                             {0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}},
                             2030,
                             [] { return MakeI4(1); },
                             "VT_I4:1",
                             2001,
                             "Presentations",
                             2003,
                             1,
                             false,
                             [] { return MakeI4(1); },
                             "VT_I4:1",
                             "0x0003",
                             "Presentation",
                             2005,
                             L"PowerPoint (recording stand-in)",
                             L"Presentation1"};

// Names instead of addresses in failure messages.
void PrintTo(const AppCase* app, std::ostream* out)
{
    *out << app->name;
}

std::string Tag(const AppCase& app, const char* kind, int number = 1)
{
    return std::string(app.name) + "." + kind + "#" + std::to_string(number);
}

enum class Step {
    Create,
    Run,
    QueryDispatch,
    QueryContainer,
    FindPoint,
    Advise,
    Visible,
    Collection,
    Add,
    Bookkeeping
};

const char* StepName(Step step)
{
    static const char* const kNames[] = {"Create",    "Run",        "QueryDispatch", "QueryContainer",
                                         "FindPoint", "Advise",     "Visible",       "Collection",
                                         "Add",       "Bookkeeping"};
    return kNames[static_cast<int>(step)];
}

// Everything one launch obtained, held like the launcher's components hold it.
struct Launch {
    const AppCase* app = nullptr;
    std::map<Step, HRESULT> results;
    std::map<Step, ExceptionText> exceptions;
    VARTYPE addResultType = VT_EMPTY;
    ComPtr<IDispatch> application;
    ComPtr<EventSink> sink;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    std::vector<ComPtr<IDispatch>> held;  // collection, item, bookkeeping objects

    // Unadvises and releases, never asking the application to quit.
    void Release()
    {
        if (point && cookie) {
            point->Unadvise(cookie);
        }
        cookie = 0;
        point.Reset();
        held.clear();
        application.Reset();
    }
    ~Launch() { Release(); }
};

// The launcher's three steps, recording every result instead of stopping silently; a step whose
// predecessor failed is not run (and so has no result).
std::unique_ptr<Launch> RunLaunch(const AppCase& app, DWORD context = kContextAll)
{
    auto launch = std::make_unique<Launch>();
    launch->app = &app;
    auto& results = launch->results;

    CLSID clsid = {};
    if (FAILED(CLSIDFromProgID(app.progId, &clsid))) {
        return launch;
    }
    ComPtr<IUnknown> unknown;
    results[Step::Create] = CoCreateInstance(clsid, nullptr, context, IID_IUnknown, &unknown);
    if (FAILED(results[Step::Create])) {
        return launch;
    }
    results[Step::Run] = OleRun(unknown.Get());
    results[Step::QueryDispatch] = unknown.As(&launch->application);
    unknown.Reset();
    if (FAILED(results[Step::QueryDispatch])) {
        return launch;
    }
    IDispatch* application = launch->application.Get();

    ComPtr<IConnectionPointContainer> container;
    results[Step::QueryContainer] = launch->application.As(&container);
    if (SUCCEEDED(results[Step::QueryContainer])) {
        results[Step::FindPoint] = container->FindConnectionPoint(app.events, &launch->point);
        if (SUCCEEDED(results[Step::FindPoint])) {
            launch->sink = new EventSink(app.events);
            results[Step::Advise] = launch->point->Advise(launch->sink.Get(), &launch->cookie);
        }
    }

    results[Step::Visible] = Call(application, app.visible, DISPATCH_PROPERTYPUT, {app.visibleValue()}, nullptr,
                                  &launch->exceptions[Step::Visible]);

    ComPtr<IDispatch> collection;
    results[Step::Collection] =
        Fetch(application, app.collection, collection, {}, DISPATCH_PROPERTYGET, &launch->exceptions[Step::Collection]);
    if (FAILED(results[Step::Collection]) || !collection) {
        return launch;
    }
    launch->held.push_back(collection);

    // Omitted arguments; by reference (Word) each points at its own omitted VARIANT.
    std::array<VARIANT, 4> targets;
    std::vector<VARIANT> args;
    for (int i = 0; i < app.addArgs; ++i) {
        targets[i] = app.addValue();
        VARIANT arg;
        VariantInit(&arg);
        if (app.addByReference) {
            V_VT(&arg) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&arg) = &targets[i];
        } else {
            arg = targets[i];
        }
        args.push_back(arg);
    }
    ComPtr<IDispatch> item;
    results[Step::Add] = Fetch(collection.Get(), app.add, item, args, DISPATCH_METHOD, &launch->exceptions[Step::Add],
                               &launch->addResultType);
    if (FAILED(results[Step::Add]) || !item) {
        return launch;
    }

    HRESULT hr = S_OK;
    if (&app == &kWord) {
        launch->held.push_back(item);
        ComPtr<IDispatch> parent;
        ComPtr<IDispatch> selection;
        hr = Fetch(collection.Get(), 1002, parent);
        if (SUCCEEDED(hr) && parent) {
            hr = Fetch(parent.Get(), 5, selection);
            launch->held.push_back(selection);
        }
    } else if (&app == &kExcel) {
        item.Reset();  // the launcher keeps no workbook
        ComPtr<IDispatch> excel;
        ComPtr<IDispatch> sheets;
        ComPtr<IDispatch> sheet;
        hr = Fetch(application, 148, excel);
        if (SUCCEEDED(hr) && excel) {
            launch->held.push_back(excel);
            hr = Fetch(excel.Get(), 485, sheets);
        }
        if (SUCCEEDED(hr) && sheets) {
            launch->held.push_back(sheets);
            hr = Fetch(sheets.Get(), 170, sheet, {MakeI4(1)});
            launch->held.push_back(sheet);
        }
    } else {
        launch->held.push_back(item);
    }
    results[Step::Bookkeeping] = hr;
    return launch;
}

class RecordingServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearFaults();
        ClearJournal();
        m_ole = std::make_unique<OleSession>();
        ASSERT_EQ(S_OK, m_ole->Result());
    }

    void TearDown() override
    {
        EndClient();
        ClearFaults();
    }

    // Releases what the client holds, ends OLE, and waits until every server of this test has exited,
    // so the next test starts a fresh server with fresh object numbers.
    void EndClient()
    {
        m_launches.clear();
        m_ole.reset();
        for (const DWORD pid : ServerPids(ReadJournal())) {
            EXPECT_TRUE(WaitForProcessExit(pid, kWaitMs)) << "server " << pid << " did not exit";
        }
    }

    Launch& Start(const AppCase& app, DWORD context = kContextAll)
    {
        m_launches.push_back(RunLaunch(app, context));
        return *m_launches.back();
    }

    // Waits (pumping messages) until the journal has a line matching `verb` and `wanted`.
    static std::optional<Entry> WaitForLine(std::string_view verb,
                                            std::initializer_list<std::pair<std::string_view, std::string_view>> wanted)
    {
        std::optional<Entry> found;
        PumpMessagesUntil([&] { return (found = FindFirst(ReadJournal(), verb, wanted)).has_value(); }, kWaitMs);
        return found;
    }

    std::unique_ptr<OleSession> m_ole;
    std::vector<std::unique_ptr<Launch>> m_launches;
};

class LaunchTest : public RecordingServerTest, public testing::WithParamInterface<const AppCase*> {};

TEST_P(LaunchTest, RequestsArriveWithExactDispatchIdsFlagsAndArgumentTypes)
{
    const AppCase& app = *GetParam();
    const Launch& launch = Start(app);
    for (const auto& [step, hr] : launch.results) {
        EXPECT_EQ(Hex(S_OK), Hex(hr)) << StepName(step);
    }
    ASSERT_TRUE(launch.results.contains(Step::Bookkeeping));

    const Journal journal = ReadJournal();
    const std::string application = Tag(app, "Application");
    EXPECT_TRUE(FindFirst(journal, "create",
                          {{"app", app.name}, {"name", "IUnknown"}, {"hr", "0x00000000"}, {"obj", application}}));
    // OleRun asks for IRunnableObject, which the real applications do not need to offer either.
    EXPECT_TRUE(FindFirst(journal, "qi", {{"obj", application}, {"name", "IRunnableObject"}, {"hr", "0x80004002"}}));
    EXPECT_TRUE(
        FindFirst(journal, "qi", {{"obj", application}, {"name", "IConnectionPointContainer"}, {"hr", "0x00000000"}}));

    const Journal visible = Find(journal, "invoke", {{"obj", application}, {"dispid", std::to_string(app.visible)}});
    ASSERT_EQ(1u, visible.size());
    EXPECT_TRUE(visible[0].Matches("invoke", {{"member", "Visible"},
                                              {"flags", "4"},
                                              {"args", "1"},
                                              {"named", "1"},
                                              {"named0", "-3"},
                                              {"arg0", app.visibleText},
                                              {"hr", "0x00000000"}}))
        << visible[0].line;

    const std::string collection = Tag(app, app.collectionKind);
    EXPECT_TRUE(FindFirst(journal, "invoke",
                          {{"obj", application},
                           {"dispid", std::to_string(app.collection)},
                           {"flags", "2"},
                           {"args", "0"},
                           {"named", "0"},
                           {"hr", "0x00000000"},
                           {"ret", "VT_DISPATCH:" + collection}}));

    const Journal add = Find(journal, "invoke", {{"obj", collection}, {"dispid", std::to_string(app.add)}});
    ASSERT_EQ(1u, add.size());
    EXPECT_TRUE(add[0].Matches("invoke", {{"member", "Add"},
                                          {"flags", "1"},
                                          {"args", std::to_string(app.addArgs)},
                                          {"named", "0"},
                                          {"hr", "0x00000000"},
                                          {"ret", "VT_DISPATCH:" + Tag(app, app.itemKind)}}))
        << add[0].line;
    for (int i = 0; i < app.addArgs; ++i) {
        EXPECT_EQ(app.addArgText, add[0].Get("arg" + std::to_string(i))) << add[0].line;
        EXPECT_EQ(app.addVt, add[0].Get("vt" + std::to_string(i))) << add[0].line;
    }

    if (&app == &kWord) {
        EXPECT_TRUE(FindFirst(journal, "invoke",
                              {{"obj", collection},
                               {"member", "Parent"},
                               {"dispid", "1002"},
                               {"flags", "2"},
                               {"args", "0"},
                               {"ret", "VT_DISPATCH:" + application}}));
        EXPECT_TRUE(FindFirst(journal, "invoke",
                              {{"obj", application},
                               {"member", "Selection"},
                               {"dispid", "5"},
                               {"flags", "2"},
                               {"ret", "VT_DISPATCH:Word.Selection#1"}}));
    } else if (&app == &kExcel) {
        EXPECT_TRUE(FindFirst(journal, "invoke",
                              {{"obj", application},
                               {"dispid", "148"},
                               {"flags", "2"},
                               {"args", "0"},
                               {"ret", "VT_DISPATCH:" + application}}));
        EXPECT_TRUE(FindFirst(
            journal, "invoke",
            {{"obj", application}, {"dispid", "485"}, {"flags", "2"}, {"ret", "VT_DISPATCH:Excel.Sheets#1"}}));
        EXPECT_TRUE(FindFirst(journal, "invoke",
                              {{"obj", "Excel.Sheets#1"},
                               {"member", "Item"},
                               {"dispid", "170"},
                               {"flags", "2"},
                               {"args", "1"},
                               {"named", "0"},
                               {"arg0", "VT_I4:1"},
                               {"vt0", "0x0003"},
                               {"ret", "VT_DISPATCH:Excel.Sheet#1"}}));
    }
    // Nothing went by name: the real applications' clients must use fixed dispatch identifiers.
    EXPECT_FALSE(FindFirst(journal, "get-ids-of-names"));
}

TEST_P(LaunchTest, EventReachesTheAdvisedSinkAcrossProcesses)
{
    const AppCase& app = *GetParam();
    const Launch& launch = Start(app);
    ASSERT_EQ(Hex(S_OK), Hex(launch.results.at(Step::Advise)));
    EXPECT_NE(0u, launch.cookie);

    // The server asks the client's sink for the event interface: only the registered type library lets
    // that query cross processes.
    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "sink-qi", {{"obj", Tag(app, "Application")}, {"hr", "0x00000000"}}));
    EXPECT_TRUE(FindFirst(
        journal, "advise",
        {{"obj", Tag(app, "ConnectionPoint")}, {"cookie", std::to_string(launch.cookie)}, {"hr", "0x00000000"}}));

    ASSERT_TRUE(PumpMessagesUntil([&] { return !launch.sink->ReceivedEvents().empty(); }, kWaitMs));
    const EventSink::Received& event = launch.sink->ReceivedEvents().front();
    EXPECT_EQ(app.eventId, event.id);
    EXPECT_EQ(DISPATCH_METHOD, event.flags);
    EXPECT_EQ(1u, event.args);
    EXPECT_EQ(VT_DISPATCH, event.firstArgType);
    EXPECT_TRUE(WaitForLine("fire", {{"obj", Tag(app, "Application")},
                                     {"dispid", std::to_string(app.eventId)},
                                     {"cookie", std::to_string(launch.cookie)},
                                     {"arg0", "VT_DISPATCH:" + Tag(app, app.itemKind)},
                                     {"hr", "0x00000000"}}));
}

TEST_P(LaunchTest, VisibleShowsTheStandInWindowListingTheNewItem)
{
    const AppCase& app = *GetParam();
    const Launch& launch = Start(app);
    ASSERT_EQ(Hex(S_OK), Hex(launch.results.at(Step::Add)));

    const HWND window = FindWindowW(nullptr, app.windowTitle);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(IsWindowVisible(window));
    wchar_t items[256] = {};
    GetWindowTextW(GetWindow(window, GW_CHILD), items, ARRAYSIZE(items));
    EXPECT_NE(std::wstring::npos, std::wstring(items).find(app.firstItem)) << Narrow(items);
}

TEST_P(LaunchTest, ReleasingEverythingEndsEveryObjectAndTheServer)
{
    const AppCase& app = *GetParam();
    Launch& launch = Start(app);
    ASSERT_EQ(Hex(S_OK), Hex(launch.results.at(Step::Bookkeeping)));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !launch.sink->ReceivedEvents().empty(); }, kWaitMs));
    const DWORD cookie = launch.cookie;

    // Released with OLE still initialised: the releases alone must end the server.
    launch.Release();
    const std::vector<DWORD> pids = ServerPids(ReadJournal());
    ASSERT_EQ(1u, pids.size());
    ASSERT_TRUE(WaitForProcessExit(pids[0], kWaitMs));

    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "unadvise", {{"cookie", std::to_string(cookie)}, {"hr", "0x00000000"}}));
    const Journal created = Find(journal, "new");
    EXPECT_GE(created.size(), 4u);
    for (const Entry& entry : created) {
        EXPECT_TRUE(FindFirst(journal, "final-release", {{"obj", entry.Get("obj")}})) << entry.Get("obj");
    }
    EXPECT_TRUE(FindFirst(journal, "exit", {{"pid", std::to_string(pids[0])}, {"status", "0"}}));
    EXPECT_FALSE(FindFirst(journal, "invoke", {{"member", "Quit"}}));
    EXPECT_FALSE(FindFirst(journal, "invoke", {{"member", "Close"}}));
    EXPECT_EQ(nullptr, FindWindowW(nullptr, app.windowTitle));
}

INSTANTIATE_TEST_SUITE_P(Apps, LaunchTest, testing::Values(&kWord, &kExcel, &kPowerPoint),
                         [](const testing::TestParamInfo<const AppCase*>& info) { return info.param->name; });

TEST_F(RecordingServerTest, RequestsOutsideTheLaunchAreRecordedAndAnsweredLikeTheApplication)
{
    Launch& launch = Start(kWord);
    ASSERT_EQ(Hex(S_OK), Hex(launch.results.at(Step::Bookkeeping)));
    IDispatch* word = launch.application.Get();

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Visible")};
    DISPID id = 0;
    EXPECT_EQ(Hex(DISP_E_UNKNOWNNAME), Hex(word->GetIDsOfNames(IID_NULL, names, 1, 0, &id)));
    EXPECT_EQ(Hex(DISP_E_MEMBERNOTFOUND), Hex(Call(word, 4242, DISPATCH_PROPERTYGET, {})));

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, launch.application.As(&container));
    ComPtr<IConnectionPoint> other;
    EXPECT_EQ(Hex(CONNECT_E_NOCONNECTION), Hex(container->FindConnectionPoint(IID_IPropertyNotifySink, &other)));

    // A put must name its value DISPID_PROPERTYPUT.
    EXPECT_EQ(Hex(DISP_E_PARAMNOTFOUND),
              Hex(Call(word, 23, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT, {MakeBool(false)})));
    Variant visible;
    EXPECT_EQ(S_OK, Call(word, 23, DISPATCH_PROPERTYGET, {}, visible.Get()));
    EXPECT_EQ(VT_BOOL, V_VT(&*visible));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&*visible));

    // Quit and Close succeed and are recorded, so a test can tell that a launcher sent them.
    EXPECT_EQ(S_OK, Call(launch.held[1].Get(), 1105, DISPATCH_METHOD, {}));
    EXPECT_EQ(S_OK, Call(word, 1105, DISPATCH_METHOD, {}));

    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "get-ids-of-names",
                          {{"obj", "Word.Application#1"}, {"count", "1"}, {"name0", "Visible"}, {"hr", "0x80020006"}}));
    EXPECT_TRUE(FindFirst(journal, "invoke", {{"dispid", "4242"}, {"member", "?"}, {"hr", "0x80020003"}}));
    EXPECT_TRUE(
        FindFirst(journal, "find-cp", {{"iid", "{9BFBBC02-EFF1-101A-84ED-00AA00341D07}"}, {"hr", "0x80040200"}}));
    EXPECT_TRUE(FindFirst(journal, "invoke",
                          {{"obj", "Word.Document#1"}, {"member", "Close"}, {"flags", "1"}, {"hr", "0x00000000"}}));
    EXPECT_TRUE(FindFirst(journal, "invoke",
                          {{"obj", "Word.Application#1"}, {"member", "Quit"}, {"flags", "1"}, {"hr", "0x00000000"}}));
}

TEST_F(RecordingServerTest, EachCreationGetsItsOwnApplicationFromOneServer)
{
    const Launch& first = Start(kWord);
    const Launch& second = Start(kWord);
    ASSERT_EQ(S_OK, first.results.at(Step::Create));
    ASSERT_EQ(S_OK, second.results.at(Step::Create));

    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "create", {{"app", "Word"}, {"obj", "Word.Application#1"}}));
    EXPECT_TRUE(FindFirst(journal, "create", {{"app", "Word"}, {"obj", "Word.Application#2"}}));
    EXPECT_TRUE(FindFirst(journal, "invoke",
                          {{"obj", "Word.Documents#2"}, {"member", "Add"}, {"ret", "VT_DISPATCH:Word.Document#2"}}));
    EXPECT_EQ(1u, ServerPids(journal).size());
}

struct FaultCase {
    const AppCase* app;
    const char* fault;
    Step step;
    HRESULT expected;
    const AppCase* bystander;  // runs beside it with the same faults.txt and must not be affected
};

void PrintTo(const FaultCase& fault, std::ostream* out)
{
    *out << fault.app->name << " " << fault.fault;
}

// Steps that do not run once `failed` has failed.
bool SkippedAfter(Step failed, Step step)
{
    if (failed == Step::QueryContainer) {
        return step == Step::FindPoint || step == Step::Advise;
    }
    if (failed == Step::FindPoint) {
        return step == Step::Advise;
    }
    if (failed == Step::Collection) {
        return step == Step::Add || step == Step::Bookkeeping;
    }
    return failed == Step::Add && step == Step::Bookkeeping;
}

class FaultTest : public RecordingServerTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, FaultHitsOnlyItsApplicationAndStep)
{
    const FaultCase& fault = GetParam();
    WriteFaults(std::string("# injected by FaultTest\r\n") + fault.app->name + " " + fault.fault + "\r\n");
    const Launch& faulted = Start(*fault.app);
    const Launch& bystander = Start(*fault.bystander);

    for (int i = 0; i <= static_cast<int>(Step::Bookkeeping); ++i) {
        const Step step = static_cast<Step>(i);
        if (step == fault.step) {
            ASSERT_TRUE(faulted.results.contains(step)) << StepName(step);
            EXPECT_EQ(Hex(fault.expected), Hex(faulted.results.at(step))) << StepName(step);
        } else if (SkippedAfter(fault.step, step) ||
                   (std::string_view(fault.fault) == "add-no-object" && step == Step::Bookkeeping)) {
            EXPECT_FALSE(faulted.results.contains(step)) << StepName(step);
        } else {
            ASSERT_TRUE(faulted.results.contains(step)) << StepName(step);
            EXPECT_EQ(Hex(S_OK), Hex(faulted.results.at(step))) << StepName(step);
        }
        ASSERT_TRUE(bystander.results.contains(step)) << "bystander " << StepName(step);
        EXPECT_EQ(Hex(S_OK), Hex(bystander.results.at(step))) << "bystander " << StepName(step);
    }

    if (fault.expected == DISP_E_EXCEPTION) {
        const ExceptionText& text = faulted.exceptions.at(fault.step);
        EXPECT_EQ(Hex(kOfficeRefused), Hex(text.scode));
        EXPECT_TRUE(text.hasSource && text.hasDescription);
        EXPECT_EQ(fault.app->progId, text.source);
        EXPECT_FALSE(text.description.empty());
    }
    if (std::string_view(fault.fault) == "add-no-object") {
        EXPECT_EQ(VT_EMPTY, faulted.addResultType);
    }

    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "faults", {{"app", fault.app->name}, {"active", fault.fault}}));
    EXPECT_TRUE(FindFirst(journal, "fault",
                          {{"app", fault.app->name}, {"fault", fault.fault}, {"obj", Tag(*fault.app, "Application")}}));
    EXPECT_FALSE(FindFirst(journal, "fault", {{"app", fault.bystander->name}}));
    EXPECT_FALSE(FindFirst(journal, "fault-ignored"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    testing::Values(FaultCase{&kWord, "no-cpc", Step::QueryContainer, E_NOINTERFACE, &kExcel},
                    FaultCase{&kExcel, "no-cp", Step::FindPoint, CONNECT_E_NOCONNECTION, &kPowerPoint},
                    FaultCase{&kPowerPoint, "advise-refused", Step::Advise, CONNECT_E_ADVISELIMIT, &kWord},
                    FaultCase{&kWord, "visible-fails", Step::Visible, DISP_E_EXCEPTION, &kPowerPoint},
                    FaultCase{&kExcel, "collection-fails", Step::Collection, DISP_E_EXCEPTION, &kWord},
                    FaultCase{&kPowerPoint, "add-exception", Step::Add, DISP_E_EXCEPTION, &kExcel},
                    FaultCase{&kWord, "add-no-object", Step::Add, S_OK, &kExcel}),
    [](const testing::TestParamInfo<FaultCase>& info) {
        std::string name = std::string(info.param.app->name) + "_" + info.param.fault;
        for (char& c : name) {
            if (c == '-') {
                c = '_';
            }
        }
        return name;
    });

TEST_F(RecordingServerTest, CreateInvalidArgFailsOncePerApplicationUntilFaultsAreRewritten)
{
    const std::string faults = "Word create-invalidarg\nExcel create-invalidarg\n";
    WriteFaults(faults);
    CLSID word = {};
    CLSID excel = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Word.Application", &word));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Excel.Application", &excel));

    std::vector<ComPtr<IUnknown>> objects(6);
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(CoCreateInstance(word, nullptr, kContextAll, IID_IUnknown, &objects[0])));
    EXPECT_EQ(Hex(S_OK), Hex(CoCreateInstance(word, nullptr, kContextLocal, IID_IUnknown, &objects[0])));
    EXPECT_EQ(Hex(S_OK), Hex(CoCreateInstance(word, nullptr, kContextAll, IID_IUnknown, &objects[1])));
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(CoCreateInstance(excel, nullptr, kContextAll, IID_IUnknown, &objects[2])));
    EXPECT_EQ(Hex(S_OK), Hex(CoCreateInstance(excel, nullptr, kContextAll, IID_IUnknown, &objects[2])));

    WriteFaults(faults);  // the same content again re-arms it
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(CoCreateInstance(word, nullptr, kContextAll, IID_IUnknown, &objects[3])));
    EXPECT_EQ(Hex(S_OK), Hex(CoCreateInstance(word, nullptr, kContextAll, IID_IUnknown, &objects[3])));

    const Journal journal = ReadJournal();
    EXPECT_EQ(2u, Find(journal, "fault", {{"app", "Word"}, {"fault", "create-invalidarg"}}).size());
    EXPECT_EQ(1u, Find(journal, "fault", {{"app", "Excel"}, {"fault", "create-invalidarg"}}).size());
    EXPECT_EQ(3u, Find(journal, "create", {{"hr", Hex(E_INVALIDARG)}, {"obj", "-"}}).size());
    EXPECT_TRUE(FindFirst(journal, "create", {{"app", "Word"}, {"hr", "0x00000000"}, {"obj", "Word.Application#3"}}));
}

TEST_F(RecordingServerTest, UnregisteredApplicationIsNotFoundUntilRegisteredAgain)
{
    // Registered again whatever happens: later tests need all three.
    struct Reregister {
        ~Reregister() { RunServerCommand(L"/RegServer"); }
    } reregister;
    ASSERT_EQ(std::optional<DWORD>(0), RunServerCommand(L"/UnregServer Word"));

    CLSID clsid = {};
    EXPECT_EQ(Hex(CO_E_CLASSSTRING), Hex(CLSIDFromProgID(L"Word.Application", &clsid)));
    const Launch& excel = Start(kExcel);
    ASSERT_TRUE(excel.results.contains(Step::Create));
    EXPECT_EQ(Hex(S_OK), Hex(excel.results.at(Step::Add)));

    ASSERT_EQ(std::optional<DWORD>(0), RunServerCommand(L"/RegServer"));
    const Launch& word = Start(kWord);
    ASSERT_TRUE(word.results.contains(Step::Create));
    EXPECT_EQ(Hex(S_OK), Hex(word.results.at(Step::Add)));

    const Journal journal = ReadJournal();
    EXPECT_TRUE(FindFirst(journal, "unregister", {{"apps", "Word"}, {"hr", "0x00000000"}}));
    EXPECT_TRUE(FindFirst(journal, "register", {{"hr", "0x00000000"}}));
}

}  // namespace
