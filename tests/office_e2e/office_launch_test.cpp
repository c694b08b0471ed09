// The real launcher, driven by real mouse and keyboard input, against the recording stand-ins for
// Word, Excel and PowerPoint: what each click asks of the application, what a second click and
// closing the launcher release, and how the launcher survives each way an application can fail.
#include "journal.h"
#include "launcher_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessivar::e2e {
namespace {

using RecordingJournal::Entry;
using RecordingJournal::Journal;

// One request the application must receive, in order. Empty fields are not compared.
struct Request {
    std::string verb;
    std::string objectKind;  // "Word.Application" for obj=Word.Application#N
    std::map<std::string, std::string> fields;
};

std::string KindOf(const std::string& tag)
{
    return tag.substr(0, tag.find('#'));
}

// The requests of the launch protocol: creation, the event connection and every Invoke. COM's own
// traffic (interface queries, marshalling) is left out.
bool IsProtocol(const Entry& e)
{
    return e.verb == "create" || e.verb == "find-cp" || e.verb == "advise" || e.verb == "unadvise" ||
           e.verb == "invoke" || e.verb == "get-ids-of-names";
}

std::string Describe(const Journal& journal)
{
    std::string text;
    for (const Entry& e : journal)
        text += "  " + e.line + "\n";
    return text;
}

const std::string kMissing = "VT_ERROR:0x80020004";
const std::string kByRefMissing = "VT_BYREF|VT_VARIANT:VT_ERROR:0x80020004";

struct AppCase {
    const char* name;
    LauncherButton button;
    std::vector<Request> requests;
};

const AppCase kApps[] = {
    {"Word",
     LauncherButton::Word,
     {
         {"create", "", {{"app", "Word"}, {"hr", "0x00000000"}}},
         {"find-cp", "Word.Application", {{"iid", "{000209FE-0000-0000-C000-000000000046}"}, {"hr", "0x00000000"}}},
         {"advise", "", {{"hr", "0x00000000"}}},
         {"invoke",
          "Word.Application",
          {{"dispid", "23"}, {"flags", "4"}, {"args", "1"}, {"named", "1"}, {"named0", "-3"}, {"arg0", "VT_BOOL:-1"}}},
         {"invoke", "Word.Application", {{"dispid", "6"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke",
          "Word.Documents",
          {{"dispid", "14"},
           {"flags", "1"},
           {"args", "4"},
           {"named", "0"},
           {"arg0", kByRefMissing},
           {"arg1", kByRefMissing},
           {"arg2", kByRefMissing},
           {"arg3", kByRefMissing}}},
         {"invoke", "Word.Documents", {{"dispid", "1002"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke", "Word.Application", {{"dispid", "5"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
     }},
    {"Excel",
     LauncherButton::Excel,
     {
         {"create", "", {{"app", "Excel"}, {"hr", "0x00000000"}}},
         {"find-cp", "Excel.Application", {{"iid", "{00024413-0000-0000-C000-000000000046}"}, {"hr", "0x00000000"}}},
         {"advise", "", {{"hr", "0x00000000"}}},
         {"invoke",
          "Excel.Application",
          {{"dispid", "558"}, {"flags", "4"}, {"args", "1"}, {"named", "1"}, {"named0", "-3"}, {"arg0", "VT_BOOL:-1"}}},
         {"invoke", "Excel.Application", {{"dispid", "572"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke",
          "Excel.Workbooks",
          {{"dispid", "181"}, {"flags", "1"}, {"args", "1"}, {"named", "0"}, {"arg0", kMissing}}},
         {"invoke", "Excel.Application", {{"dispid", "148"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke", "Excel.Application", {{"dispid", "485"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke",
          "Excel.Sheets",
          {{"dispid", "170"}, {"flags", "2"}, {"args", "1"}, {"named", "0"}, {"arg0", "VT_I4:1"}}},
     }},
    {"PowerPoint",
     LauncherButton::PowerPoint,
     {
         {"create", "", {{"app", "PowerPoint"}, {"hr", "0x00000000"}}},
         {"find-cp",
          "PowerPoint.Application",
          {{"iid", "{914934C2-5A91-11CF-8700-00AA0060263B}"}, {"hr", "0x00000000"}}},
         {"advise", "", {{"hr", "0x00000000"}}},
         {"invoke",
          "PowerPoint.Application",
          {{"dispid", "2030"}, {"flags", "4"}, {"args", "1"}, {"named", "1"}, {"named0", "-3"}, {"arg0", "VT_I4:1"}}},
         {"invoke", "PowerPoint.Application", {{"dispid", "2001"}, {"flags", "2"}, {"args", "0"}, {"named", "0"}}},
         {"invoke",
          "PowerPoint.Presentations",
          {{"dispid", "2003"}, {"flags", "1"}, {"args", "1"}, {"named", "0"}, {"arg0", "VT_I4:1"}}},
     }},
};

const AppCase& AppFor(LauncherButton button)
{
    return *std::find_if(std::begin(kApps), std::end(kApps), [&](const AppCase& a) { return a.button == button; });
}

// Compares the protocol requests of one launch with the expected list, field by field.
void ExpectRequests(const Journal& actual, const std::vector<Request>& expected)
{
    ASSERT_EQ(actual.size(), expected.size()) << "requests received:\n" << Describe(actual);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Entry& e = actual[i];
        const Request& r = expected[i];
        EXPECT_EQ(e.verb, r.verb) << "request " << i << ": " << e.line;
        if (!r.objectKind.empty()) {
            EXPECT_EQ(KindOf(e.Get("obj")), r.objectKind) << "request " << i << ": " << e.line;
        }
        for (const auto& [key, value] : r.fields)
            EXPECT_EQ(RecordingJournal::DecodeValue(e.Get(key)), value)
                << "request " << i << " " << key << ": " << e.line;
    }
}

// A launcher with the stand-ins registered, an empty journal and no faults.
class OfficeLaunch : public RunningLauncher {
protected:
    void SetUp() override
    {
        RecordingJournal::ClearFaults();
        ASSERT_EQ(RecordingJournal::RunServerCommand(L"/RegServer"), 0u);
        WaitForServersToEnd(RecordingJournal::ReadJournal());
        RecordingJournal::ClearJournal();
        RunningLauncher::SetUp();
    }

    void TearDown() override
    {
        RecordingJournal::ClearFaults();
        RecordingJournal::RunServerCommand(L"/RegServer");
    }

    static void WaitForServersToEnd(const Journal& journal)
    {
        for (DWORD pid : RecordingJournal::ServerPids(journal))
            RecordingJournal::WaitForProcessExit(pid, 15000);
    }

    // A real click in the middle of the button.
    void ClickButton(LauncherButton button)
    {
        if (GetForegroundWindow() != m_window)
            ActivateLauncher();
        HWND hwnd = Button(button);
        ASSERT_NE(hwnd, nullptr);
        RECT r = WindowRect(hwnd);
        const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ASSERT_EQ(WindowFromPoint(centre), hwnd)
            << "the button is covered by " << DescribeWindow(WindowFromPoint(centre));
        // Let the pointer arrive first: a press sent together with the move can reach the window
        // before Wine has moved the pointer there.
        MoveMouse(centre);
        WaitUntil(
            [&] {
                POINT at{};
                return GetCursorPos(&at) && at.x == centre.x && at.y == centre.y;
            },
            kReactionTimeout);
        Sleep(100);
        Click(centre);
    }

    // Waits until the journal has as many protocol requests for the app's Add as `adds`, then for
    // the requests that follow the Add to settle.
    Journal WaitForLaunches(const std::string& app, std::size_t launches, std::size_t requestsPerLaunch)
    {
        Journal protocol;
        WaitUntil(
            [&] {
                protocol = ProtocolOf(RecordingJournal::ReadJournal(), app);
                return protocol.size() >= launches * requestsPerLaunch;
            },
            20s);
        // Anything extra (a request the launcher should not make) would arrive right behind.
        Sleep(300);
        return ProtocolOf(RecordingJournal::ReadJournal(), app);
    }

    static Journal ProtocolOf(const Journal& journal, const std::string& app)
    {
        Journal result;
        for (const Entry& e : journal) {
            if (!IsProtocol(e))
                continue;
            const std::string obj = e.Get("obj");
            if (e.Get("app") == app || obj.rfind(app + ".", 0) == 0)
                result.push_back(e);
        }
        return result;
    }

    // Brings the launcher back to the front as a user would: the application it started came up
    // in front of it. A click on its title bar.
    void ActivateLauncher()
    {
        const auto caption = FindHitArea(m_window, HTCAPTION);
        ASSERT_TRUE(caption.has_value());
        Click(*caption);
        ASSERT_TRUE(LauncherInForeground());
    }

    // Closes the launcher with Esc and checks it ended normally.
    void CloseLauncher()
    {
        ActivateLauncher();
        TapKey(VK_ESCAPE);
        const auto code = m_process->WaitForExit();
        ASSERT_TRUE(code.has_value()) << "the launcher did not end after Esc";
        EXPECT_EQ(*code, 0u);
    }

    // After the launcher has gone: every object the servers made was finally released, every
    // advise was undone, and nothing asked an application to quit or a document to close.
    void ExpectEverythingReleased()
    {
        Journal journal;
        auto settled = [&] {
            journal = RecordingJournal::ReadJournal();
            std::set<std::string> alive;
            for (const Entry& e : journal) {
                if (e.verb == "new")
                    alive.insert(e.Get("obj"));
                else if (e.verb == "final-release")
                    alive.erase(e.Get("obj"));
            }
            return alive.empty();
        };
        EXPECT_TRUE(WaitUntil(settled, 15s)) << "objects still alive after the launcher ended:\n" << Describe(journal);

        std::multiset<std::string> advised;
        for (const Entry& e : journal) {
            if (e.verb == "advise" && e.Get("hr") == "0x00000000")
                advised.insert(e.Get("obj") + "/" + e.Get("cookie"));
            if (e.verb == "unadvise" && e.Get("hr") == "0x00000000") {
                auto it = advised.find(e.Get("obj") + "/" + e.Get("cookie"));
                if (it != advised.end())
                    advised.erase(it);
            }
        }
        EXPECT_TRUE(advised.empty()) << "sinks never unadvised:\n" << Describe(journal);

        for (const Entry& e : journal) {
            const std::string member = e.Get("member");
            EXPECT_FALSE(e.verb == "invoke" && (member == "Quit" || member == "Close")) << e.line;
            EXPECT_NE(e.verb, "get-ids-of-names") << e.line;
        }
    }

    void ExpectNoWindowOfItsOwn()
    {
        EXPECT_TRUE(OtherVisibleWindows(m_process->Id(), m_window).empty())
            << "the launcher showed a window of its own";
        EXPECT_TRUE(m_process->Running());
    }
};

class EachApplication : public OfficeLaunch, public ::testing::WithParamInterface<AppCase> {};

TEST_P(EachApplication, ClickSendsExactlyTheLaunchRequestsAndCloseReleasesEverything)
{
    const AppCase& app = GetParam();
    ClickButton(app.button);
    const Journal protocol = WaitForLaunches(app.name, 1, app.requests.size());
    ExpectRequests(protocol, app.requests);
    ExpectNoWindowOfItsOwn();

    CloseLauncher();
    ExpectEverythingReleased();
}

TEST_P(EachApplication, SecondClickLetsGoOfTheFirstApplicationWithoutQuittingIt)
{
    const AppCase& app = GetParam();
    ClickButton(app.button);
    WaitForLaunches(app.name, 1, app.requests.size());
    ClickButton(app.button);
    const Journal protocol = WaitForLaunches(app.name, 2, app.requests.size() + 1);

    // The second launch begins by unadvising the first sink, then repeats the whole sequence on a
    // new application object.
    ASSERT_EQ(protocol.size(), 2 * app.requests.size() + 1) << Describe(protocol);
    const Entry& unadvise = protocol[app.requests.size()];
    EXPECT_EQ(unadvise.verb, "unadvise") << unadvise.line;
    EXPECT_EQ(unadvise.Get("cookie"), protocol[2].Get("cookie"));
    ExpectRequests(Journal(protocol.begin() + static_cast<long>(app.requests.size()) + 1, protocol.end()),
                   app.requests);
    const std::string first = protocol[1].Get("obj");
    const std::string second = protocol[app.requests.size() + 2].Get("obj");
    EXPECT_NE(first, second) << "the second click must ask for a new application object";

    // The first application object is released once its collection's references are replaced.
    const Journal journal = RecordingJournal::ReadJournal();
    EXPECT_TRUE(RecordingJournal::FindFirst(journal, "final-release", {{"obj", first}}).has_value())
        << "the first application is still held:\n"
        << Describe(journal);

    CloseLauncher();
    ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(Apps, EachApplication, ::testing::ValuesIn(kApps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OfficeLaunch, SpaceOnTheFocusedWordButtonLaunchesWord)
{
    ASSERT_TRUE(FocusArrivesAt(LauncherButton::Word));
    TapKey(VK_SPACE);
    const AppCase& word = AppFor(LauncherButton::Word);
    ExpectRequests(WaitForLaunches("Word", 1, word.requests.size()), word.requests);
    CloseLauncher();
    ExpectEverythingReleased();
}

struct FaultCase {
    const char* name;
    const char* app;
    LauncherButton button;
    const char* faults;  // faults.txt; empty for "not registered"
    const wchar_t* unregister;
};

class Faults : public OfficeLaunch, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, LauncherStaysSilentAndUsableAndLeaksNothing)
{
    const FaultCase& fault = GetParam();
    if (fault.unregister != nullptr) {
        ASSERT_EQ(RecordingJournal::RunServerCommand(std::wstring(L"/UnregServer ") + fault.unregister), 0u);
    }
    RecordingJournal::WriteFaults(fault.faults);

    ClickButton(fault.button);
    // Another application still launches in full from the same launcher afterwards.
    const AppCase& other =
        AppFor(fault.button == LauncherButton::Excel ? LauncherButton::PowerPoint : LauncherButton::Excel);
    ClickButton(other.button);
    ExpectRequests(WaitForLaunches(other.name, 1, other.requests.size()), other.requests);
    ExpectNoWindowOfItsOwn();

    const Journal protocol = ProtocolOf(RecordingJournal::ReadJournal(), fault.app);
    const std::string name = fault.name;
    if (name == "NotRegistered") {
        EXPECT_TRUE(protocol.empty()) << Describe(protocol);
    } else if (name == "CreateInvalidArg") {
        // Exactly one retry (without remote activation), which then launches in full.
        auto creates = RecordingJournal::Find(protocol, "create");
        ASSERT_EQ(creates.size(), 2u) << Describe(protocol);
        EXPECT_EQ(creates[0].Get("hr"), "0x80070057");
        EXPECT_EQ(creates[1].Get("hr"), "0x00000000");
        Journal afterRetry(protocol.begin() + 1, protocol.end());
        ExpectRequests(afterRetry, AppFor(fault.button).requests);
    } else {
        // The launch went as far as the failure allows and still tried to add an item when the
        // failure was only in the event connection or in Visible.
        const bool addExpected = name == "NoConnectionPointContainer" || name == "NoConnectionPoint" ||
                                 name == "AdviseRefused" || name == "VisibleFails" || name == "AddException" ||
                                 name == "AddNoObject";
        const auto& add = AppFor(fault.button).requests;
        const auto addRequest = std::find_if(add.begin(), add.end(), [](const Request& r) {
            return r.fields.count("flags") && r.fields.at("flags") == "1";
        });
        const bool added = std::any_of(protocol.begin(), protocol.end(), [&](const Entry& e) {
            return e.verb == "invoke" && e.Get("dispid") == addRequest->fields.at("dispid");
        });
        EXPECT_EQ(added, addExpected) << Describe(protocol);
        const bool addFailed = name == "AddException" || name == "AddNoObject";
        const bool bookkeeping = std::any_of(protocol.begin(), protocol.end(), [](const Entry& e) {
            const std::string id = e.Get("dispid");
            return e.verb == "invoke" && (id == "1002" || id == "148");
        });
        EXPECT_FALSE(addFailed && bookkeeping) << "calls went on after Add failed:\n" << Describe(protocol);
    }

    CloseLauncher();
    ExpectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Faults,
    ::testing::Values(
        FaultCase{"NotRegistered", "Word", LauncherButton::Word, "", L"Word"},
        FaultCase{"CreateInvalidArg", "Word", LauncherButton::Word, "Word create-invalidarg\n", nullptr},
        FaultCase{"NoConnectionPointContainer", "Excel", LauncherButton::Excel, "Excel no-cpc\n", nullptr},
        FaultCase{"NoConnectionPoint", "PowerPoint", LauncherButton::PowerPoint, "PowerPoint no-cp\n", nullptr},
        FaultCase{"AdviseRefused", "Word", LauncherButton::Word, "Word advise-refused\n", nullptr},
        FaultCase{"VisibleFails", "Excel", LauncherButton::Excel, "Excel visible-fails\n", nullptr},
        FaultCase{"CollectionFails", "PowerPoint", LauncherButton::PowerPoint, "PowerPoint collection-fails\n",
                  nullptr},
        FaultCase{"AddException", "Word", LauncherButton::Word, "Word add-exception\n", nullptr},
        FaultCase{"AddNoObject", "Excel", LauncherButton::Excel, "Excel add-no-object\n", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar::e2e
