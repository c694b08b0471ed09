// Journal writer of the recording automation server: one line per request, appended to journal.txt
// beside the exe. The line format is described in recording_office.cpp and README.md.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace Recording {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Folder of the running exe, with a trailing backslash.
const std::wstring& ExeFolder();

// Percent-encodes bytes outside '!'..'~' and the characters '%' and '=', so a value never splits a line
// into extra fields.
std::string EncodeValue(std::string_view text);
std::string EncodeValue(std::wstring_view text);

std::string HexHr(HRESULT hr);
std::string GuidString(REFGUID guid);
// Short readable name for the interfaces a server meets ("IDispatch"), or "?" for others.
std::string InterfaceName(REFIID iid);
// "VT_BOOL:-1", "VT_BYREF|VT_VARIANT:VT_ERROR:0x80020004", "VT_DISPATCH:Word.Document#1".
std::string FormatVariant(const VARIANT& value);

// Registers the object tag that FormatVariant shows for a VT_DISPATCH/VT_UNKNOWN pointer.
void RememberTag(const void* object, const std::string& tag);
void ForgetTag(const void* object);

class JournalLine {
public:
    explicit JournalLine(std::string_view verb);
    JournalLine& Add(std::string_view key, std::string_view value);  // value is written as given
    JournalLine& Add(std::string_view key, long long value);
    JournalLine& AddHr(std::string_view key, HRESULT hr);
    // Appends the line to the journal and flushes it (open, append, close).
    void Write();

private:
    std::string m_text;
};

}  // namespace Recording
