// Client-side helpers for tests that drive RecordingOffice.exe, the recording stand-in for the Office
// automation servers: locate its folder, read and parse journal.txt, write faults.txt, run /RegServer
// and /UnregServer, wait for a server process to end, pump messages. Line format: README.md.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RecordingJournal {

// One journal line: a verb and its key=value fields, in order.
struct Entry {
    std::string verb;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string line;

    bool Has(std::string_view key) const;
    // The value as written (still %XX-encoded), or "" when the key is absent.
    std::string Get(std::string_view key) const;
    // True for `verb` with every listed key present and equal to the value.
    bool Matches(std::string_view wantedVerb,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> wanted) const;
};

using Journal = std::vector<Entry>;

// Folder of RecordingOffice.exe with a trailing backslash: the RECORDING_SERVER_DIR environment
// variable when set, otherwise the build folder compiled into this library.
std::wstring ServerFolder();
std::wstring ServerExe();
std::wstring JournalPath();
std::wstring FaultsPath();

Entry ParseLine(std::string_view line);
std::string DecodeValue(std::string_view value);  // undoes the %XX encoding of values

Journal ReadJournal();
// Empties the journal; harmless while a server runs (it opens the file per line).
void ClearJournal();

// Replaces faults.txt ("Word no-cpc" lines) and re-arms the once-only faults (create-invalidarg).
void WriteFaults(std::string_view content);
void ClearFaults();

// Entries matching `verb` and the fields, in journal order.
Journal Find(const Journal& journal, std::string_view verb,
             std::initializer_list<std::pair<std::string_view, std::string_view>> wanted = {});
std::optional<Entry> FindFirst(const Journal& journal, std::string_view verb,
                               std::initializer_list<std::pair<std::string_view, std::string_view>> wanted = {});

// Process ids of the servers COM started (start lines with -Embedding), oldest first.
std::vector<DWORD> ServerPids(const Journal& journal);

// Runs RecordingOffice.exe with `arguments` (e.g. L"/UnregServer Word") and returns its exit code,
// or std::nullopt when it could not be started or did not end within `timeoutMs`.
std::optional<DWORD> RunServerCommand(const std::wstring& arguments, DWORD timeoutMs = 60000);

// Waits for process `pid` to end; true when it has (or no longer exists).
bool WaitForProcessExit(DWORD pid, DWORD timeoutMs);

// Dispatches this thread's messages (COM calls into an apartment arrive that way) until `done`
// returns true or `timeoutMs` has passed; returns the last result of `done`.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

}  // namespace RecordingJournal
