#include "journal.h"

#include "recording_server_dir.h"  // generated: RECORDING_SERVER_DEFAULT_DIR

#include <algorithm>
#include <memory>

namespace RecordingJournal {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string ReadAll(const std::wstring& path)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char buffer[8192];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void WriteAll(const std::wstring& path, std::string_view bytes)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

}  // namespace

bool Entry::Has(std::string_view key) const
{
    for (const auto& [name, value] : fields) {
        if (name == key) {
            return true;
        }
    }
    return false;
}

std::string Entry::Get(std::string_view key) const
{
    for (const auto& [name, value] : fields) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

bool Entry::Matches(std::string_view wantedVerb,
                    std::initializer_list<std::pair<std::string_view, std::string_view>> wanted) const
{
    if (verb != wantedVerb) {
        return false;
    }
    for (const auto& [key, value] : wanted) {
        if (!Has(key) || Get(key) != value) {
            return false;
        }
    }
    return true;
}

std::wstring ServerFolder()
{
    std::wstring folder;
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(L"RECORDING_SERVER_DIR", buffer, ARRAYSIZE(buffer));
    folder = (length > 0 && length < ARRAYSIZE(buffer)) ? std::wstring(buffer, length)
                                                        : std::wstring(RECORDING_SERVER_DEFAULT_DIR);
    for (wchar_t& c : folder) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (!folder.empty() && folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder;
}

std::wstring ServerExe()
{
    return ServerFolder() + L"RecordingOffice.exe";
}

std::wstring JournalPath()
{
    return ServerFolder() + L"journal.txt";
}

std::wstring FaultsPath()
{
    return ServerFolder() + L"faults.txt";
}

Entry ParseLine(std::string_view line)
{
    Entry entry;
    entry.line = std::string(line);
    size_t position = 0;
    bool first = true;
    while (position < line.size()) {
        const size_t end = std::min(line.find(' ', position), line.size());
        const std::string_view token = line.substr(position, end - position);
        position = end + 1;
        if (token.empty()) {
            continue;
        }
        if (first) {
            entry.verb = std::string(token);
            first = false;
            continue;
        }
        const size_t equals = token.find('=');
        if (equals == std::string_view::npos) {
            entry.fields.emplace_back(std::string(token), std::string());
        } else {
            entry.fields.emplace_back(std::string(token.substr(0, equals)), std::string(token.substr(equals + 1)));
        }
    }
    return entry;
}

std::string DecodeValue(std::string_view value)
{
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && digit(value[i + 1]) >= 0 && digit(value[i + 2]) >= 0) {
            out += static_cast<char>(digit(value[i + 1]) * 16 + digit(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

Journal ReadJournal()
{
    const std::string text = ReadAll(JournalPath());
    Journal journal;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break;  // a line still being written
        }
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            journal.push_back(ParseLine(line));
        }
        start = end + 1;
    }
    return journal;
}

void ClearJournal()
{
    WriteAll(JournalPath(), {});
}

void WriteFaults(std::string_view content)
{
    DeleteFileW((ServerFolder() + L"faults.fired").c_str());
    WriteAll(FaultsPath(), content);
}

void ClearFaults()
{
    DeleteFileW((ServerFolder() + L"faults.fired").c_str());
    DeleteFileW(FaultsPath().c_str());
}

Journal Find(const Journal& journal, std::string_view verb,
             std::initializer_list<std::pair<std::string_view, std::string_view>> wanted)
{
    Journal found;
    for (const Entry& entry : journal) {
        if (entry.Matches(verb, wanted)) {
            found.push_back(entry);
        }
    }
    return found;
}

std::optional<Entry> FindFirst(const Journal& journal, std::string_view verb,
                               std::initializer_list<std::pair<std::string_view, std::string_view>> wanted)
{
    for (const Entry& entry : journal) {
        if (entry.Matches(verb, wanted)) {
            return entry;
        }
    }
    return std::nullopt;
}

std::vector<DWORD> ServerPids(const Journal& journal)
{
    std::vector<DWORD> pids;
    for (const Entry& entry : journal) {
        if (entry.verb == "start" && DecodeValue(entry.Get("cmdline")).find("Embedding") != std::string::npos) {
            pids.push_back(static_cast<DWORD>(std::stoul(entry.Get("pid"))));
        }
    }
    return pids;
}

std::optional<DWORD> RunServerCommand(const std::wstring& arguments, DWORD timeoutMs)
{
    std::wstring commandLine = L"\"" + ServerExe() + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return std::nullopt;
    }
    const UniqueHandle processHandle(process.hProcess);
    const UniqueHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return exitCode;
}

bool WaitForProcessExit(DWORD pid, DWORD timeoutMs)
{
    const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) {
        return true;  // already gone
    }
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace RecordingJournal
