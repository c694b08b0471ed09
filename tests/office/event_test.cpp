// The event sink as an application sees it: its interfaces, which events reach the window, and that
// events arriving after the component let go of the sink reach nothing.
#include "office_fixture.h"

#include <set>

namespace officetest {
namespace {

using Microsoft::WRL::ComPtr;

using EventSink = PerApplication;

// Asks for `iid` and hands back what came, owned; checks that a refusal leaves the out pointer empty.
HRESULT Query(IUnknown* object, const IID& iid, ComPtr<IUnknown>& result)
{
    void* raw = reinterpret_cast<void*>(1);
    const HRESULT hr = object->QueryInterface(iid, &raw);
    // Taken over as is: mingw's ComPtr::Attach would add a reference of its own.
    *result.ReleaseAndGetAddressOf() = SUCCEEDED(hr) ? static_cast<IUnknown*>(raw) : nullptr;
    if (FAILED(hr)) {
        EXPECT_EQ(raw, nullptr) << "refused " << GuidText(iid) << " but left the out pointer set";
    }
    return hr;
}

TEST_P(EventSink, AnswersItsEventInterfaceAndNothingElse)
{
    World& world = AddWorld();
    MakeComponents();
    ASSERT_TRUE(Start());
    const ComPtr<IDispatch> sink = world.Point().Sink();
    ASSERT_NE(sink, nullptr);

    ComPtr<IUnknown> identity;
    ASSERT_EQ(Query(sink.Get(), IID_IUnknown, identity), S_OK);
    for (const IID& iid : {IID_IDispatch, Case().eventInterface}) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(Query(sink.Get(), iid, answer), S_OK) << GuidText(iid);
        ComPtr<IUnknown> answerIdentity;
        ASSERT_EQ(Query(answer.Get(), IID_IUnknown, answerIdentity), S_OK);
        EXPECT_EQ(answerIdentity, identity) << GuidText(iid);
    }

    std::vector<IID> refused = {IID_IConnectionPoint, IID_IConnectionPointContainer,
                                IID_IRunnableObject,  IID_IProvideClassInfo,
                                IID_IClassFactory,    IID_IMarshal};
    for (const AppCase& other : AppCases()) {
        if (other.name != Case().name)
            refused.push_back(other.eventInterface);
    }
    for (const IID& iid : refused) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(Query(sink.Get(), iid, answer), E_NOINTERFACE) << GuidText(iid);
    }

    UINT count = 7;
    EXPECT_EQ(sink->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ComPtr<ITypeInfo> typeInfo;
    EXPECT_EQ(sink->GetTypeInfo(0, 0, &typeInfo), E_NOTIMPL);
    EXPECT_EQ(typeInfo, nullptr);
    wchar_t name[] = L"DocumentOpen";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(sink->GetIDsOfNames(IID_NULL, names, 1, 0, &id), E_NOTIMPL);
}

TEST_P(EventSink, PassesItsApplicationsEventsToTheWindowWhileItExists)
{
    World& world = AddWorld();
    MakeComponents();
    ASSERT_TRUE(Start());
    FakeConnectionPoint& point = world.Point();

    for (DISPID event : Case().forwardedEvents)
        EXPECT_HRESULT_SUCCEEDED(point.Fire(event)) << event;
    ASSERT_EQ(m_host.Raised().size(), Case().forwardedEvents.size());
    std::set<int> numbers;
    for (const FakeComponentHost::RaisedEvent& raised : m_host.Raised()) {
        EXPECT_EQ(raised.component, Case().applicationId);
        numbers.insert(raised.event);
    }
    EXPECT_EQ(numbers.size(), Case().forwardedEvents.size()) << "different events must stay apart";

    for (DISPID event : Case().ignoredEvents)
        EXPECT_HRESULT_SUCCEEDED(point.Fire(event)) << event;
    EXPECT_EQ(m_host.Raised().size(), Case().forwardedEvents.size()) << "an event that is not passed on arrived";

    m_host.SetWindowExists(false);
    for (DISPID event : Case().forwardedEvents)
        point.Fire(event);
    EXPECT_EQ(m_host.Raised().size(), Case().forwardedEvents.size()) << "an event arrived with no window";

    m_host.SetWindowExists(true);
    point.Fire(Case().forwardedEvents.front());
    EXPECT_EQ(m_host.Raised().size(), Case().forwardedEvents.size() + 1);
}

TEST_P(EventSink, LateEventsAfterDisconnectOrDestructionReachNothing)
{
    World& first = AddWorld();
    World& second = AddWorld();
    // Like an application that goes on calling a sink it was told to forget.
    first.Point().KeepSinkAfterUnadvise(true);
    second.Point().KeepSinkAfterUnadvise(true);
    MakeComponents();
    const DISPID event = Case().forwardedEvents.front();

    ASSERT_TRUE(Start());
    first.Point().Fire(event);
    ASSERT_EQ(m_host.Raised().size(), 1u) << "the connection does not deliver at all";

    ASSERT_TRUE(Start());
    EXPECT_FALSE(first.Point().Advised());
    EXPECT_EQ(first.Point().SinkReferences(), 1u) << "only the late caller may still hold the old sink";
    for (DISPID late : Case().forwardedEvents)
        first.Point().Fire(late);
    EXPECT_EQ(m_host.Raised().size(), 1u) << "an event of the released application arrived";
    second.Point().Fire(event);
    EXPECT_EQ(m_host.Raised().size(), 2u);

    DestroyComponents();
    EXPECT_FALSE(second.Point().Advised());
    EXPECT_EQ(second.Point().SinkReferences(), 1u);
    for (DISPID late : Case().forwardedEvents) {
        first.Point().Fire(late);
        second.Point().Fire(late);
    }
    EXPECT_EQ(m_host.Raised().size(), 2u) << "an event arrived after the component was destroyed";
}

INSTANTIATE_TEST_SUITE_P(Office, EventSink, testing::ValuesIn(AppCases()), AppCaseName);

}  // namespace
}  // namespace officetest
