#include "server_registration.h"

#include "server_journal.h"

#include <oleauto.h>

#include <memory>
#include <string>

namespace Recording {
namespace {

// Wine looks up ProgIDs and LocalServer32 for out-of-process activation under HKEY_CLASSES_ROOT,
// which it maps to the machine's classes only.
const HKEY kClassesRoot = HKEY_LOCAL_MACHINE;
constexpr wchar_t kClassesPath[] = L"Software\\Classes\\";

constexpr GUID kLibraryId = {0x66307C24, 0x65A5, 0x4C34, {0x99, 0x78, 0x8A, 0x51, 0x5C, 0x11, 0x5B, 0x55}};
constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring TypeLibraryPath()
{
    return ExeFolder() + L"RecordingOffice.tlb";
}

HRESULT SetDefaultValue(const std::wstring& subKey, const std::wstring& value)
{
    HKEY raw = nullptr;
    LSTATUS status = RegCreateKeyExW(kClassesRoot, (kClassesPath + subKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(status);
    }
    const UniqueKey key(raw);
    status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(const std::wstring& subKey)
{
    const LSTATUS status = RegDeleteTreeW(kClassesRoot, (kClassesPath + subKey).c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT RegisterClass(const AppProfile& profile, const std::wstring& exePath)
{
    const std::wstring clsidKey = L"CLSID\\" + GuidText(profile.clsid);
    const std::wstring description = std::wstring(L"Recording stand-in for ") + profile.progId;
    const std::pair<std::wstring, std::wstring> values[] = {
        {clsidKey, description},
        // Quoted: COM appends " -Embedding" and the build folder may contain spaces.
        {clsidKey + L"\\LocalServer32", L"\"" + exePath + L"\""},
        {clsidKey + L"\\ProgID", profile.progId},
        {profile.progId, description},
        {std::wstring(profile.progId) + L"\\CLSID", GuidText(profile.clsid)},
    };
    for (const auto& [key, value] : values) {
        if (const HRESULT hr = SetDefaultValue(key, value); FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT UnregisterClass(const AppProfile& profile)
{
    const HRESULT progIdHr = DeleteTree(profile.progId);
    const HRESULT clsidHr = DeleteTree(L"CLSID\\" + GuidText(profile.clsid));
    return FAILED(progIdHr) ? progIdHr : clsidHr;
}

// The event dispinterfaces, so that registering them routes calls on a client's sink through the
// standard dispatch proxy; only their identity matters for marshalling, the one event is descriptive.
HRESULT CreateEventTypeLibrary(const std::wstring& path)
{
    ComPtr<ICreateTypeLib2> library;
    HRESULT hr = CreateTypeLib2(SYS_WIN32, path.c_str(), &library);
    if (FAILED(hr)) {
        return hr;
    }
    library->SetGuid(kLibraryId);
    library->SetName(const_cast<LPOLESTR>(L"RecordingOfficeEvents"));
    library->SetVersion(kLibraryMajor, kLibraryMinor);
    library->SetLcid(LOCALE_NEUTRAL);

    ComPtr<ITypeLib> stdole;
    hr = LoadRegTypeLib(IID_StdOle, STDOLE2_MAJORVERNUM, STDOLE2_MINORVERNUM, STDOLE2_LCID, &stdole);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeInfo> dispatchInfo;
    hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    if (FAILED(hr)) {
        return hr;
    }

    for (const AppProfile& profile : Profiles()) {
        ComPtr<ICreateTypeInfo> info;
        hr = library->CreateTypeInfo(const_cast<LPOLESTR>(profile.eventInterface), TKIND_DISPATCH, &info);
        if (FAILED(hr)) {
            return hr;
        }
        info->SetGuid(profile.eventIid);
        HREFTYPE dispatchRef = 0;
        hr = info->AddRefTypeInfo(dispatchInfo.Get(), &dispatchRef);
        if (SUCCEEDED(hr)) {
            hr = info->AddImplType(0, dispatchRef);
        }
        if (FAILED(hr)) {
            return hr;
        }

        ELEMDESC param = {};
        param.tdesc.vt = VT_DISPATCH;
        param.paramdesc.wParamFlags = PARAMFLAG_FIN;
        FUNCDESC function = {};
        function.memid = profile.eventDispid;
        function.funckind = FUNC_DISPATCH;
        function.invkind = INVOKE_FUNC;
        function.callconv = CC_STDCALL;
        function.cParams = 1;
        function.lprgelemdescParam = &param;
        function.elemdescFunc.tdesc.vt = VT_VOID;
        hr = info->AddFuncDesc(0, &function);
        if (FAILED(hr)) {
            return hr;
        }
        const std::wstring eventName(profile.eventName, profile.eventName + strlen(profile.eventName));
        LPOLESTR names[] = {const_cast<LPOLESTR>(eventName.c_str()), const_cast<LPOLESTR>(L"Item")};
        info->SetFuncAndParamNames(0, names, 2);
        hr = info->LayOut();
        if (FAILED(hr)) {
            return hr;
        }
    }
    return library->SaveAllChanges();
}

HRESULT RegisterTypeLibrary()
{
    const std::wstring path = TypeLibraryPath();
    HRESULT hr = CreateEventTypeLibrary(path);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ITypeLib> library;
    hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) {
        return hr;
    }
    return ::RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(path.c_str()), nullptr);
}

std::string AppList(const std::vector<const AppProfile*>& apps)
{
    std::string list;
    for (const AppProfile* app : apps) {
        if (!list.empty()) {
            list += ',';
        }
        list += app->name;
    }
    return list;
}

}  // namespace

HRESULT RegisterServer()
{
    std::wstring exePath = ExeFolder() + L"RecordingOffice.exe";
    wchar_t module[MAX_PATH * 4] = {};
    if (const DWORD length = GetModuleFileNameW(nullptr, module, ARRAYSIZE(module));
        length && length < ARRAYSIZE(module)) {
        exePath = module;
    }
    HRESULT hr = S_OK;
    for (const AppProfile& profile : Profiles()) {
        if (hr = RegisterClass(profile, exePath); FAILED(hr)) {
            break;
        }
    }
    if (SUCCEEDED(hr)) {
        hr = RegisterTypeLibrary();
    }
    JournalLine("register")
        .Add("apps", "Word,Excel,PowerPoint")
        .Add("exe", EncodeValue(exePath))
        .AddHr("hr", hr)
        .Write();
    return hr;
}

HRESULT UnregisterServer(const std::vector<const AppProfile*>& apps)
{
    std::vector<const AppProfile*> chosen = apps;
    if (chosen.empty()) {
        for (const AppProfile& profile : Profiles()) {
            chosen.push_back(&profile);
        }
    }
    HRESULT hr = S_OK;
    for (const AppProfile* app : chosen) {
        if (const HRESULT appHr = UnregisterClass(*app); FAILED(appHr)) {
            hr = appHr;
        }
    }
    if (apps.empty()) {
        // The type library goes only with the whole server: a test that unregisters one application
        // still needs the others' events marshalled.
        const HRESULT libraryHr =
            UnRegisterTypeLib(kLibraryId, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, SYS_WIN32);
        if (FAILED(libraryHr) && libraryHr != TYPE_E_REGISTRYACCESS && libraryHr != TYPE_E_LIBNOTREGISTERED) {
            hr = libraryHr;
        }
        DeleteFileW(TypeLibraryPath().c_str());
    }
    JournalLine("unregister").Add("apps", AppList(chosen)).AddHr("hr", hr).Write();
    return hr;
}

}  // namespace Recording
