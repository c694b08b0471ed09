// Failures of the application and of single automation calls: each ends its own operation, the launch
// goes on with the next step, and nothing obtained is leaked or released twice.
#include "office_fixture.h"

#include <olectl.h>

#include <tuple>

namespace officetest {
namespace {

using Held = std::map<std::string, LONG>;
using Lines = std::vector<std::string>;

struct StartFault {
    std::string name;
    HRESULT progIdResult = S_OK;
    std::vector<HRESULT> createResults = {};
    HRESULT runResult = S_OK;
    bool answersDispatch = true;
    // What is expected: the class contexts of the creations made, whether OleRun is called, the result.
    std::vector<std::string> contexts = {};
    bool run = false;
    bool starts = false;
};

void PrintTo(const StartFault& fault, std::ostream* out)
{
    *out << fault.name;
}

const std::vector<StartFault> kStartFaults = {
    {.name = "NotRegistered", .progIdResult = REGDB_E_CLASSNOTREG},
    {.name = "RemoteServerRejected",
     .createResults = {E_INVALIDARG},
     .contexts = {"0x17", "0x7"},
     .run = true,
     .starts = true},
    {.name = "RetryAlsoRejected", .createResults = {E_INVALIDARG, E_INVALIDARG}, .contexts = {"0x17", "0x7"}},
    {.name = "RetryFails", .createResults = {E_INVALIDARG, CO_E_SERVER_EXEC_FAILURE}, .contexts = {"0x17", "0x7"}},
    {.name = "ServerFails", .createResults = {CO_E_SERVER_EXEC_FAILURE}, .contexts = {"0x17"}},
    {.name = "AccessDenied", .createResults = {E_ACCESSDENIED}, .contexts = {"0x17"}},
    {.name = "ClassNotRegistered", .createResults = {REGDB_E_CLASSNOTREG}, .contexts = {"0x17"}},
    {.name = "RunFails", .runResult = E_FAIL, .contexts = {"0x17"}, .run = true},
    {.name = "NoDispatch", .answersDispatch = false, .contexts = {"0x17"}, .run = true},
};

class StartFaults : public OfficeFixture, public testing::WithParamInterface<std::tuple<AppCase, StartFault>> {
protected:
    void SetUp() override
    {
        Use(std::get<0>(GetParam()));
        OfficeFixture::SetUp();
    }
};

TEST_P(StartFaults, LaunchGoesAsFarAsTheApplicationAllows)
{
    const StartFault& fault = std::get<1>(GetParam());
    World& world = AddWorld();
    Script().progIdResult = fault.progIdResult;
    Script().createResults.assign(fault.createResults.begin(), fault.createResults.end());
    Script().runResult = fault.runResult;
    world.Application().SetAnswersDispatch(fault.answersDispatch);
    MakeComponents();

    EXPECT_EQ(Start(), fault.starts);
    Lines expected = ActivationLines(world, fault.contexts, fault.run);
    if (fault.starts)
        expected = Concat(expected, ConnectLines(world));
    EXPECT_EQ(TheJournal().Texts(), expected);
    EXPECT_EQ(HeldReferences(), fault.starts ? HeldAfterStart(world) : Held{});

    // Without an application, Visible sends nothing and the attach calls nothing.
    TheJournal().Clear();
    PutVisible();
    EXPECT_EQ(Attach(), fault.starts);
    EXPECT_EQ(TheJournal().Texts(), fault.starts ? Concat({VisibleLine(world)}, AttachLines(world)) : Lines{});
    EXPECT_EQ(HeldReferences(), fault.starts ? HeldAfterAttach(world) : Held{});
}

std::string StartFaultName(const testing::TestParamInfo<StartFaults::ParamType>& info)
{
    return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Office, StartFaults,
                         testing::Combine(testing::ValuesIn(AppCases()), testing::ValuesIn(kStartFaults)),
                         StartFaultName);

using Faults = PerApplication;

TEST_P(Faults, FailedRestartReleasesWhatBothComponentsHeld)
{
    World& first = AddWorld();
    MakeComponents();
    Launch();
    TheJournal().Clear();

    Script().progIdResult = REGDB_E_CLASSNOTREG;
    EXPECT_FALSE(Start());
    PutVisible();
    EXPECT_FALSE(Attach());
    EXPECT_EQ(TheJournal().Texts(), (Lines{UnadviseLine(first), "CLSIDFromProgID " + Case().progId}));
    EXPECT_EQ(HeldReferences(), Held{});
}

enum class ConnectFault { NoContainer, NoConnectionPoint, AdviseRefused };

void PrintTo(ConnectFault fault, std::ostream* out)
{
    *out << static_cast<int>(fault);
}

class ConnectFaults : public OfficeFixture, public testing::WithParamInterface<std::tuple<AppCase, ConnectFault>> {
protected:
    void SetUp() override
    {
        Use(std::get<0>(GetParam()));
        OfficeFixture::SetUp();
    }
};

TEST_P(ConnectFaults, ApplicationStillStartsShowsAndAdds)
{
    World& world = AddWorld();
    Lines connect;
    switch (std::get<1>(GetParam())) {
        case ConnectFault::NoContainer:
            world.Application().SetContainer(false);
            break;
        case ConnectFault::NoConnectionPoint:
            world.Application().SetConnectionPoint(nullptr);
            connect = {ConnectLines(world)[0]};
            break;
        case ConnectFault::AdviseRefused:
            world.Point().RefuseAdvise(CONNECT_E_ADVISELIMIT);
            connect = {ConnectLines(world)[0], world.Role("point") + ": Advise refused"};
            break;
    }
    MakeComponents();

    EXPECT_TRUE(Start());
    PutVisible();
    EXPECT_TRUE(Attach());
    EXPECT_EQ(TheJournal().Texts(),
              Concat(Concat(Concat(ActivationLines(world), connect), {VisibleLine(world)}), AttachLines(world)));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world, Case().attach.size(), false));

    // Nothing was advised, so nothing is unadvised.
    TheJournal().Clear();
    DestroyComponents();
    EXPECT_EQ(TheJournal().Texts(), Lines{});
}

std::string ConnectFaultName(const testing::TestParamInfo<ConnectFaults::ParamType>& info)
{
    const char* names[] = {"NoContainer", "NoConnectionPoint", "AdviseRefused"};
    return std::get<0>(info.param).name + "_" + names[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Office, ConnectFaults,
                         testing::Combine(testing::ValuesIn(AppCases()),
                                          testing::Values(ConnectFault::NoContainer, ConnectFault::NoConnectionPoint,
                                                          ConnectFault::AdviseRefused)),
                         ConnectFaultName);

TEST_P(Faults, FailedVisiblePutDoesNotStopTheAttach)
{
    for (bool exception : {false, true}) {
        SCOPED_TRACE(exception ? "exception" : "failure");
        ResetFakeWorld();
        World& world = AddWorld();
        if (exception)
            world.Application().ReplyException(Case().visible);
        else
            world.Application().ReplyFailure(Case().visible, DISP_E_MEMBERNOTFOUND);
        MakeComponents();

        EXPECT_TRUE(Start());
        PutVisible();
        EXPECT_TRUE(Attach());
        EXPECT_EQ(TheJournal().Texts(), LaunchLines(world));
        EXPECT_EQ(HeldReferences(), HeldAfterAttach(world));
        if (exception)
            ExpectExceptionStringsFreed();
        DestroyComponents();
        EXPECT_EQ(HeldReferences(), Held{});
    }
}

INSTANTIATE_TEST_SUITE_P(Office, Faults, testing::ValuesIn(AppCases()), AppCaseName);

// One call of an attach goes wrong in one way; every call of every application's attach is tried.
enum class CallFault { Fails, RaisesException, ReturnsNothing, ReturnsNullObject };

struct AttachFault {
    const AppCase* app;
    size_t step;
    CallFault fault;
};

void PrintTo(const AttachFault& fault, std::ostream* out)
{
    *out << fault.app->name << " call " << fault.step + 1 << " fault " << static_cast<int>(fault.fault);
}

std::vector<AttachFault> AllAttachFaults()
{
    std::vector<AttachFault> faults;
    for (const AppCase& app : AppCases()) {
        for (size_t step = 0; step < app.attach.size(); ++step) {
            for (CallFault fault : {CallFault::Fails, CallFault::RaisesException, CallFault::ReturnsNothing,
                                    CallFault::ReturnsNullObject})
                faults.push_back({&app, step, fault});
        }
    }
    return faults;
}

class AttachFaults : public OfficeFixture, public testing::WithParamInterface<AttachFault> {
protected:
    void SetUp() override
    {
        Use(*GetParam().app);
        OfficeFixture::SetUp();
    }
};

TEST_P(AttachFaults, AttachStopsAtTheFailedCallAndKeepsWhatItHadUntilTheNextAttach)
{
    const AttachFault& fault = GetParam();
    const AttachStep& step = Case().attach[fault.step];
    World& world = AddWorld();
    FakeObject& target = world.Object(step.target);
    switch (fault.fault) {
        case CallFault::Fails:
            target.ReplyFailure(step.id, E_FAIL);
            break;
        case CallFault::RaisesException:
            target.ReplyException(step.id);
            break;
        case CallFault::ReturnsNothing:
            target.ReplyEmpty(step.id);
            break;
        case CallFault::ReturnsNullObject:
            target.ReplyNullObject(step.id);
            break;
    }
    MakeComponents();
    Start();
    PutVisible();
    TheJournal().Clear();

    EXPECT_FALSE(Attach());
    EXPECT_EQ(TheJournal().Texts(), AttachLines(world, fault.step + 1));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world, fault.step));
    if (fault.fault == CallFault::RaisesException)
        ExpectExceptionStringsFreed();

    // The next attach first lets go of all of it; a reference kept twice would count 2 here.
    target.ReplyObject(step.id, world.Object(step.result));
    TheJournal().Clear();
    EXPECT_TRUE(Attach());
    EXPECT_EQ(TheJournal().Texts(), AttachLines(world));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world));
}

std::string AttachFaultName(const testing::TestParamInfo<AttachFault>& info)
{
    const char* names[] = {"Fails", "RaisesException", "ReturnsNothing", "ReturnsNullObject"};
    const AttachStep& step = info.param.app->attach[info.param.step];
    return info.param.app->name + "_" + std::to_string(step.id) + "_" + names[static_cast<int>(info.param.fault)];
}

INSTANTIATE_TEST_SUITE_P(Office, AttachFaults, testing::ValuesIn(AllAttachFaults()), AttachFaultName);

}  // namespace
}  // namespace officetest
