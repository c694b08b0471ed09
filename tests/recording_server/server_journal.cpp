#include "server_journal.h"

#include <ocidl.h>
#include <oleidl.h>

#include <cstdio>
#include <map>

namespace Recording {
namespace {

std::map<const void*, std::string>& Tags()
{
    static std::map<const void*, std::string> tags;
    return tags;
}

std::string Utf8(std::wstring_view text)
{
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string Format(const char* format, auto... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string TypeName(VARTYPE vt)
{
    static const std::map<VARTYPE, const char*> kNames = {
        {VT_EMPTY, "VT_EMPTY"},     {VT_NULL, "VT_NULL"},
        {VT_I2, "VT_I2"},           {VT_I4, "VT_I4"},
        {VT_R4, "VT_R4"},           {VT_R8, "VT_R8"},
        {VT_CY, "VT_CY"},           {VT_DATE, "VT_DATE"},
        {VT_BSTR, "VT_BSTR"},       {VT_DISPATCH, "VT_DISPATCH"},
        {VT_ERROR, "VT_ERROR"},     {VT_BOOL, "VT_BOOL"},
        {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"},
        {VT_DECIMAL, "VT_DECIMAL"}, {VT_I1, "VT_I1"},
        {VT_UI1, "VT_UI1"},         {VT_UI2, "VT_UI2"},
        {VT_UI4, "VT_UI4"},         {VT_I8, "VT_I8"},
        {VT_UI8, "VT_UI8"},         {VT_INT, "VT_INT"},
        {VT_UINT, "VT_UINT"},
    };
    std::string name;
    if (vt & VT_BYREF) {
        name += "VT_BYREF|";
    }
    if (vt & VT_ARRAY) {
        name += "VT_ARRAY|";
    }
    const VARTYPE base = vt & VT_TYPEMASK;
    const auto found = kNames.find(base);
    name += found != kNames.end() ? std::string(found->second) : Format("VT_0x%04X", base);
    return name;
}

std::string ObjectValue(const void* object)
{
    if (!object) {
        return "null";
    }
    const auto found = Tags().find(object);
    return found != Tags().end() ? found->second : "foreign";
}

// Value of a non-array VARIANT payload of base type `base` stored at `data`.
std::string ScalarValue(VARTYPE base, const void* data)
{
    switch (base) {
        case VT_EMPTY:
        case VT_NULL:
            return "-";
        case VT_I1:
            return std::to_string(*static_cast<const signed char*>(data));
        case VT_UI1:
            return std::to_string(*static_cast<const unsigned char*>(data));
        case VT_I2:
            return std::to_string(*static_cast<const SHORT*>(data));
        case VT_UI2:
            return std::to_string(*static_cast<const USHORT*>(data));
        case VT_I4:
        case VT_INT:
            return std::to_string(*static_cast<const LONG*>(data));
        case VT_UI4:
        case VT_UINT:
            return std::to_string(*static_cast<const ULONG*>(data));
        case VT_I8:
            return std::to_string(*static_cast<const LONGLONG*>(data));
        case VT_UI8:
            return std::to_string(*static_cast<const ULONGLONG*>(data));
        case VT_BOOL:
            return std::to_string(*static_cast<const VARIANT_BOOL*>(data));
        case VT_ERROR:
            return HexHr(*static_cast<const SCODE*>(data));
        case VT_R4:
            return Format("%g", *static_cast<const float*>(data));
        case VT_R8:
        case VT_DATE:
            return Format("%g", *static_cast<const double*>(data));
        case VT_BSTR: {
            const BSTR text = *static_cast<const BSTR*>(data);
            return text ? EncodeValue(std::wstring_view(text, SysStringLen(text))) : "(null)";
        }
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return ObjectValue(*static_cast<void* const*>(data));
        default:
            return "?";
    }
}

}  // namespace

const std::wstring& ExeFolder()
{
    static const std::wstring folder = [] {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            path.resize(path.size() * 2);
        }
        return path.substr(0, path.find_last_of(L"\\/") + 1);
    }();
    return folder;
}

std::string EncodeValue(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte > '~' || c == '%' || c == '=') {
            out += Format("%%%02X", byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string EncodeValue(std::wstring_view text)
{
    return EncodeValue(Utf8(text));
}

std::string HexHr(HRESULT hr)
{
    return Format("0x%08lX", static_cast<unsigned long>(hr));
}

std::string GuidString(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Utf8(text);
}

std::string InterfaceName(REFIID iid)
{
    struct Known {
        const IID* iid;
        const char* name;
    };
    static const Known kKnown[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IDispatch, "IDispatch"},
        {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
        {&IID_IConnectionPoint, "IConnectionPoint"},
        {&IID_IRunnableObject, "IRunnableObject"},
        {&IID_IMarshal, "IMarshal"},
        {&IID_IStdMarshalInfo, "IStdMarshalInfo"},
        {&IID_IExternalConnection, "IExternalConnection"},
        {&IID_IProvideClassInfo, "IProvideClassInfo"},
        {&IID_IClassFactory, "IClassFactory"},
        {&IID_IOleObject, "IOleObject"},
        {&IID_ISupportErrorInfo, "ISupportErrorInfo"},
    };
    for (const Known& known : kKnown) {
        if (IsEqualIID(iid, *known.iid)) {
            return known.name;
        }
    }
    return "?";
}

std::string FormatVariant(const VARIANT& value)
{
    const VARTYPE vt = V_VT(&value);
    std::string text = TypeName(vt) + ":";
    if (vt & VT_ARRAY) {
        const SAFEARRAY* array =
            (vt & VT_BYREF) ? (V_ARRAYREF(&value) ? *V_ARRAYREF(&value) : nullptr) : V_ARRAY(&value);
        return text + (array ? "dims=" + std::to_string(array->cDims) : "(null)");
    }
    if (vt == (VT_BYREF | VT_VARIANT)) {
        return text + (V_VARIANTREF(&value) ? FormatVariant(*V_VARIANTREF(&value)) : "(null)");
    }
    if (vt & VT_BYREF) {
        return text + (V_BYREF(&value) ? ScalarValue(vt & VT_TYPEMASK, V_BYREF(&value)) : "(null)");
    }
    // Every by-value payload starts at the same offset of the VARIANT.
    return text + ScalarValue(vt, &V_I4(&value));
}

void RememberTag(const void* object, const std::string& tag)
{
    Tags()[object] = tag;
}

void ForgetTag(const void* object)
{
    Tags().erase(object);
}

JournalLine::JournalLine(std::string_view verb) : m_text(verb) {}

JournalLine& JournalLine::Add(std::string_view key, std::string_view value)
{
    m_text.append(" ").append(key).append("=").append(value.empty() ? std::string_view("-") : value);
    return *this;
}

JournalLine& JournalLine::Add(std::string_view key, long long value)
{
    return Add(key, std::to_string(value));
}

JournalLine& JournalLine::AddHr(std::string_view key, HRESULT hr)
{
    return Add(key, HexHr(hr));
}

void JournalLine::Write()
{
    const std::wstring path = ExeFolder() + L"journal.txt";
    const std::string line = m_text + "\r\n";
    // The tests read and truncate the journal while the server runs: share everything.
    const UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace Recording
