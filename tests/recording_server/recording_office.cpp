// RecordingOffice.exe: a local automation server that stands in for Word, Excel and PowerPoint in tests.
// It registers itself under their ProgIDs, answers the requests a launcher makes, and appends one line
// per request to journal.txt beside the exe. Faults are injected through faults.txt beside the exe.
//
//   RecordingOffice.exe /RegServer                     register all three (and the event type library)
//   RecordingOffice.exe /UnregServer [Word|Excel|PowerPoint ...]   remove the named ProgIDs (all by default)
//   RecordingOffice.exe -Embedding                     started by COM
//
// Journal lines: a verb, then space-separated key=value pairs. Values never contain spaces: bytes outside
// '!'..'~' and '%' '=' are %XX-encoded (UTF-8); an empty value is "-". HRESULTs are 0x%08X.
//   start pid=N cmdline=...                 exit pid=N status=N           idle-exit pid=N
//   register apps=Word,Excel,PowerPoint exe=... hr=H          unregister apps=... hr=H
//   faults app=A active=f1,f2|-             fault-ignored line=...      fault app=A fault=F obj=TAG|-
//   create app=A iid={...} name=IUnknown hr=H obj=TAG|-   (class-factory CreateInstance)
//   lock-server lock=1|0
//   new obj=TAG                             final-release obj=TAG
//   qi obj=TAG iid={...} name=IDispatch|? hr=H
//   invoke obj=TAG member=NAME|? dispid=N flags=N args=N named=N [namedI=DISPID...] [argI=VALUE vtI=0xVVVV...]
//          [riid={...}] lcid=N hr=H [ret=VALUE] [excep-scode=H excep-source=TEXT]
//      argI is rgvarg[I] as sent (last positional argument first; named arguments come first).
//      VALUE is TYPE:PAYLOAD, e.g. VT_BOOL:-1, VT_I4:1, VT_ERROR:0x80020004, VT_EMPTY:-,
//      VT_BYREF|VT_VARIANT:VT_ERROR:0x80020004, VT_DISPATCH:Word.Document#1 (or foreign / null).
//   get-ids-of-names obj=TAG count=N nameI=TEXT hr=H        type-info-count obj=TAG    type-info obj=TAG index=N
//   find-cp obj=TAG iid={...} hr=H [cp=TAG]
//   sink-qi obj=TAG iid={...} hr=H          (the server's query of a client sink for the event interface)
//   advise obj=CPTAG cookie=N hr=H          unadvise obj=CPTAG cookie=N hr=H
//   fire obj=TAG event=NAME dispid=N cookie=N arg0=VALUE hr=H     fire-skipped obj=TAG event=NAME
// Tags are App.Kind#N, numbered per kind for the life of one server process: Word.Application#1,
// Word.Documents#2, Excel.Sheet#1, PowerPoint.ConnectionPoint#1.
#include "server_journal.h"
#include "server_objects.h"
#include "server_registration.h"

#include <shellapi.h>
#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace Recording {
namespace {

constexpr wchar_t kStandInClass[] = L"RecordingOfficeStandIn";
constexpr wchar_t kMessageClass[] = L"RecordingOfficeMessages";
constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT_PTR kIdleTimer = 1;
// A server that COM started but nobody used (a failed creation, a client that went away) must not stay
// behind in the test prefix.
constexpr ULONGLONG kIdleExitMs = 15000;

struct State {
    LONG locks = 0;
    bool stopping = false;
    ULONGLONG idleSince = 0;
    HWND messageWindow = nullptr;
    std::deque<std::function<void()>> posted;
    std::vector<DWORD> registrations;
};

State& Server()
{
    static State state;
    return state;
}

void RevokeClasses()
{
    for (const DWORD registration : Server().registrations) {
        CoRevokeClassObject(registration);
    }
    Server().registrations.clear();
}

void BeginShutdown()
{
    if (Server().stopping) {
        return;
    }
    Server().stopping = true;
    // Revoked at once, inside the client's last Release: a creation right after it then starts a new
    // server instead of reaching this one while it exits.
    RevokeClasses();
    PostQuitMessage(0);
}

std::string ReadFileBytes(const std::wstring& path)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

std::string Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

bool IsKnownFault(std::string_view fault)
{
    static const char* const kFaults[] = {"create-invalidarg", "no-cpc",           "no-cp",         "advise-refused",
                                          "visible-fails",     "collection-fails", "add-exception", "add-no-object"};
    for (const char* known : kFaults) {
        if (fault == known) {
            return true;
        }
    }
    return false;
}

// faults.txt: one "App fault" per line; blank lines and lines starting with '#' are skipped.
std::set<std::string> ReadFaults(const AppProfile& profile, std::string& content)
{
    content = ReadFileBytes(ExeFolder() + L"faults.txt");
    std::set<std::string> faults;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        const std::string line = Trim(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto space = line.find_first_of(" \t");
        const std::string app = line.substr(0, space);
        const std::string fault = space == std::string::npos ? std::string() : Trim(line.substr(space));
        if (!FindProfile(app) || !IsKnownFault(fault)) {
            JournalLine("fault-ignored").Add("line", EncodeValue(line)).Write();
        } else if (app == profile.name) {
            faults.insert(fault);
        }
    }
    std::string active;
    for (const std::string& fault : faults) {
        if (!active.empty()) {
            active += ',';
        }
        active += fault;
    }
    JournalLine("faults").Add("app", profile.name).Add("active", active).Write();
    return faults;
}

// create-invalidarg fails one creation per application for each content of faults.txt. faults.fired
// remembers which applications it has failed for; rewriting faults.txt (or deleting faults.fired) re-arms.
bool TakeCreateFault(const AppProfile& profile, const std::string& content)
{
    const std::wstring markerPath = ExeFolder() + L"faults.fired";
    unsigned long hash = 2166136261u;  // FNV-1a
    for (const char c : content) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    const std::string header = "content=" + std::to_string(hash) + "\n";
    std::string marker = ReadFileBytes(markerPath);
    if (marker.compare(0, header.size(), header) != 0) {
        marker = header;
    }
    const std::string entry = std::string(profile.name) + "\n";
    if (marker.find("\n" + entry) != std::string::npos) {
        return false;
    }
    WriteFileBytes(markerPath, marker + entry);
    return true;
}

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const AppProfile& profile) : m_profile(profile) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    // The factories live as long as the process; the server's lifetime follows objects and locks.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        HRESULT hr = S_OK;
        std::string tag;
        std::string content;
        const std::set<std::string> faults = ReadFaults(m_profile, content);
        if (object) {
            *object = nullptr;
        }
        if (!object) {
            hr = E_POINTER;
        } else if (outer) {
            hr = CLASS_E_NOAGGREGATION;
        } else if (Server().stopping) {
            hr = CO_E_SERVER_STOPPING;
        } else if (faults.contains("create-invalidarg") && TakeCreateFault(m_profile, content)) {
            JournalLine("fault").Add("app", m_profile.name).Add("fault", "create-invalidarg").Add("obj", "-").Write();
            hr = E_INVALIDARG;
        } else {
            const ComPtr<ApplicationObject> app(new ApplicationObject(m_profile, faults));
            tag = app->Tag();
            hr = app->QueryInterface(iid, object);
        }
        JournalLine("create")
            .Add("app", m_profile.name)
            .Add("iid", GuidString(iid))
            .Add("name", InterfaceName(iid))
            .AddHr("hr", hr)
            .Add("obj", tag)
            .Write();
        return hr;
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        JournalLine("lock-server").Add("lock", lock ? 1 : 0).Write();
        if (lock) {
            ServerLock();
        } else {
            ServerUnlock();
        }
        return S_OK;
    }

private:
    const AppProfile& m_profile;
};

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_SIZE:
            MoveWindow(GetWindow(window, GW_CHILD), 8, 8, LOWORD(lParam) - 16, HIWORD(lParam) - 16, TRUE);
            return 0;
        case WM_CLOSE:
            // The application object owns the window; closing it by hand only hides it, as with Visible.
            ShowWindow(window, SW_HIDE);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MessageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case kRunPosted:
            while (!Server().posted.empty()) {
                const std::function<void()> work = std::move(Server().posted.front());
                Server().posted.pop_front();
                work();
            }
            return 0;
        case WM_TIMER:
            if (Server().locks == 0 && GetTickCount64() - Server().idleSince >= kIdleExitMs) {
                JournalLine("idle-exit").Add("pid", static_cast<long long>(GetCurrentProcessId())).Write();
                BeginShutdown();
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterWindowClasses(HINSTANCE instance)
{
    WNDCLASSEXW standIn = {};
    standIn.cbSize = sizeof standIn;
    standIn.lpfnWndProc = StandInProc;
    standIn.hInstance = instance;
    standIn.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    standIn.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    standIn.lpszClassName = kStandInClass;
    WNDCLASSEXW messages = {};
    messages.cbSize = sizeof messages;
    messages.lpfnWndProc = MessageProc;
    messages.hInstance = instance;
    messages.lpszClassName = kMessageClass;
    return RegisterClassExW(&standIn) && RegisterClassExW(&messages);
}

int RunServer(HINSTANCE instance)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    int status = 1;
    if (RegisterWindowClasses(instance)) {
        Server().messageWindow =
            CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    }
    if (Server().messageWindow) {
        Server().idleSince = GetTickCount64();
        SetTimer(Server().messageWindow, kIdleTimer, 1000, nullptr);
        static std::vector<std::unique_ptr<ClassFactory>> factories;
        HRESULT hr = S_OK;
        for (const AppProfile& profile : Profiles()) {
            factories.push_back(std::make_unique<ClassFactory>(profile));
            DWORD registration = 0;
            hr = CoRegisterClassObject(profile.clsid, factories.back().get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                       &registration);
            if (FAILED(hr)) {
                break;
            }
            Server().registrations.push_back(registration);
        }
        if (SUCCEEDED(hr)) {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            status = 0;
        }
        RevokeClasses();
        DestroyWindow(Server().messageWindow);
    }
    JournalLine("exit").Add("pid", static_cast<long long>(GetCurrentProcessId())).Add("status", status).Write();
    CoUninitialize();
    return status;
}

}  // namespace

void ServerLock()
{
    ++Server().locks;
}

void ServerUnlock()
{
    if (--Server().locks == 0) {
        Server().idleSince = GetTickCount64();
        BeginShutdown();
    }
}

void PostToServer(std::function<void()> work)
{
    Server().posted.push_back(std::move(work));
    PostMessageW(Server().messageWindow, kRunPosted, 0, 0);
}

HWND CreateStandInWindow(const std::wstring& title)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // Top left, clear of a launcher centred on a 1024x768 or larger screen, so tests can keep
    // clicking the launcher's buttons while stand-ins are open.
    HWND window = CreateWindowExW(0, kStandInClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr,
                                  nullptr, instance, nullptr);
    if (window) {
        RECT client = {};
        GetClientRect(window, &client);
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, client.right - 16, client.bottom - 16,
                        window, nullptr, instance, nullptr);
    }
    return window;
}

}  // namespace Recording

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    using namespace Recording;
    JournalLine("start")
        .Add("pid", static_cast<long long>(GetCurrentProcessId()))
        .Add("cmdline", EncodeValue(std::wstring_view(GetCommandLineW())))
        .Write();

    int argc = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &argc), &LocalFree);
    if (!argv || argc < 2) {
        return 2;  // nothing to do: COM always starts the server with -Embedding
    }
    const std::wstring command = argv.get()[1];
    const auto is = [&command](const wchar_t* name) {
        return (command[0] == L'/' || command[0] == L'-') && lstrcmpiW(command.c_str() + 1, name) == 0;
    };
    if (is(L"Embedding") || is(L"Automation")) {
        return RunServer(instance);
    }
    if (is(L"RegServer") || is(L"UnregServer")) {
        std::vector<const AppProfile*> apps;
        for (int i = 2; i < argc; ++i) {
            const std::wstring name = argv.get()[i];
            const AppProfile* profile = FindProfile(std::string(name.begin(), name.end()));
            if (!profile) {
                return 2;
            }
            apps.push_back(profile);
        }
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            return 1;
        }
        const HRESULT hr = is(L"RegServer") ? RegisterServer() : UnregisterServer(apps);
        CoUninitialize();
        return SUCCEEDED(hr) ? 0 : 1;
    }
    return 2;
}
