// The requests each launch step sends, and the references each step leaves held.
#include "office_fixture.h"

#include <set>

namespace officetest {
namespace {

using Held = std::map<std::string, LONG>;

using LaunchSequence = PerApplication;

TEST_P(LaunchSequence, EachStepSendsExactlyItsRequests)
{
    World& world = AddWorld();
    MakeComponents();

    EXPECT_TRUE(Start());
    EXPECT_EQ(TheJournal().Texts(), StartLines(world));

    TheJournal().Clear();
    PutVisible();
    EXPECT_EQ(TheJournal().Texts(), std::vector<std::string>{VisibleLine(world)});

    TheJournal().Clear();
    EXPECT_TRUE(Attach());
    EXPECT_EQ(TheJournal().Texts(), AttachLines(world));

    // Omitted arguments passed by reference each point at a VARIANT of their own.
    for (const JournalEntry& entry : TheJournal().Entries()) {
        const std::set<const VARIANT*> distinct(entry.byRefTargets.begin(), entry.byRefTargets.end());
        EXPECT_EQ(distinct.size(), entry.byRefTargets.size()) << entry.text;
        EXPECT_FALSE(distinct.contains(nullptr)) << entry.text;
    }
}

TEST_P(LaunchSequence, HoldsOnlyWhatEachStepKeepsAndReleasesItAllWithoutClosing)
{
    World& world = AddWorld();
    MakeComponents();

    Start();
    EXPECT_EQ(HeldReferences(), HeldAfterStart(world));
    PutVisible();
    EXPECT_EQ(HeldReferences(), HeldAfterStart(world));
    Attach();
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world));

    // Closing the window only disconnects and lets go: no quit, no close request.
    TheJournal().Clear();
    DestroyComponents();
    EXPECT_EQ(TheJournal().Texts(), std::vector<std::string>{UnadviseLine(world)});
    EXPECT_EQ(HeldReferences(), Held{});
}

TEST_P(LaunchSequence, SecondStartLetsGoOfTheFirstApplicationWithoutClosingIt)
{
    World& first = AddWorld();
    World& second = AddWorld();
    MakeComponents();
    Launch();
    TheJournal().Clear();

    EXPECT_TRUE(Start());
    EXPECT_EQ(TheJournal().Texts(), Concat({UnadviseLine(first)}, StartLines(second)));
    // The collection component goes on holding the first application's items until its next attach.
    Held expected = HeldAfterStart(second);
    for (const auto& [role, count] : HeldAfterAttach(first)) {
        if (!HeldAfterStart(first).contains(role))
            expected[role] = count;
    }
    EXPECT_EQ(HeldReferences(), expected);

    TheJournal().Clear();
    PutVisible();
    EXPECT_TRUE(Attach());
    EXPECT_EQ(TheJournal().Texts(), Concat({VisibleLine(second)}, AttachLines(second)));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(second));
}

TEST_P(LaunchSequence, AttachWithoutAddHoldsOnlyTheCollectionUnlessItAlwaysAdds)
{
    World& world = AddWorld();
    MakeComponents();
    Start();
    TheJournal().Clear();

    EXPECT_TRUE(m_collection->AttachApplication(*m_application, false));
    const size_t calls = Case().takesAddFlag ? 1 : Case().attach.size();
    EXPECT_EQ(TheJournal().Texts(), AttachLines(world, calls));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world, calls));
}

INSTANTIATE_TEST_SUITE_P(Office, LaunchSequence, testing::ValuesIn(AppCases()), AppCaseName);

}  // namespace
}  // namespace officetest
