// The launch actions find their components on the launcher window, and the window's factory makes
// the components its design asks for.
#include "office_fixture.h"

#include "office/launch_actions.h"

namespace officetest {
namespace {

using Held = std::map<std::string, LONG>;
using Lines = std::vector<std::string>;

using LaunchAction = PerApplication;

TEST_P(LaunchAction, DrivesTheComponentsOnTheLauncherWindow)
{
    World& world = AddWorld();
    MakeComponents();
    tessivar::RegisterComponentHost(m_host);

    // The other applications' actions do not touch these components.
    for (const AppCase& other : AppCases()) {
        if (other.name != Case().name)
            other.launch();
    }
    EXPECT_EQ(TheJournal().Texts(), Lines{});

    Case().launch();
    EXPECT_EQ(TheJournal().Texts(), LaunchLines(world));
    EXPECT_EQ(HeldReferences(), HeldAfterAttach(world));
}

TEST_P(LaunchAction, DoesNothingWithoutItsComponentsOnTheLauncherWindow)
{
    AddWorld();
    MakeComponents();

    SCOPED_TRACE("no window registered");
    Case().launch();
    EXPECT_EQ(TheJournal().Texts(), Lines{});

    {
        SCOPED_TRACE("the components are on another window");
        FakeComponentHost other(tessivar::kLauncherWindowId + 1);
        other.Place(Case().applicationId, *m_application);
        other.Place(Case().collectionId, *m_collection);
        tessivar::RegisterComponentHost(other);
        Case().launch();
        tessivar::UnregisterComponentHost(other);
        EXPECT_EQ(TheJournal().Texts(), Lines{});
    }
    for (bool withApplication : {false, true}) {
        SCOPED_TRACE(withApplication ? "only the application component" : "only the collection component");
        FakeComponentHost partial;
        if (withApplication)
            partial.Place(Case().applicationId, *m_application);
        else
            partial.Place(Case().collectionId, *m_collection);
        tessivar::RegisterComponentHost(partial);
        Case().launch();
        tessivar::UnregisterComponentHost(partial);
        EXPECT_EQ(TheJournal().Texts(), Lines{});
    }
    EXPECT_EQ(HeldReferences(), Held{});
}

using ComponentFactory = PerApplication;

TEST_P(ComponentFactory, MakesTheComponentsOfEachApplicationType)
{
    World& world = AddWorld();
    MakeComponents();
    Start();
    TheJournal().Clear();

    tessivar::ControlDesign design{};
    design.id = Case().applicationId;
    design.kind = tessivar::ControlKind::ApplicationComponent;
    design.componentType = Case().applicationType;
    const auto made = tessivar::CreateOfficeComponent(design, m_host);
    const auto* application = dynamic_cast<const tessivar::ApplicationComponent*>(made.get());
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(application->Description().progId, std::wstring(Case().progId.begin(), Case().progId.end()));
    EXPECT_EQ(application->Application(), nullptr);
    EXPECT_FALSE(application->Connected());

    // The collection made for the type drives this application's collection.
    design.id = Case().collectionId;
    design.kind = tessivar::ControlKind::CollectionComponent;
    design.componentType = Case().collectionType;
    const auto madeCollection = tessivar::CreateOfficeComponent(design, m_host);
    auto* collection = dynamic_cast<tessivar::CollectionComponent*>(madeCollection.get());
    ASSERT_NE(collection, nullptr);
    EXPECT_TRUE(collection->AttachApplication(*m_application, true));
    EXPECT_EQ(TheJournal().Texts(), AttachLines(world));

    design.componentType = tessivar::ComponentType::None;
    EXPECT_EQ(tessivar::CreateOfficeComponent(design, m_host), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Office, LaunchAction, testing::ValuesIn(AppCases()), AppCaseName);
INSTANTIATE_TEST_SUITE_P(Office, ComponentFactory, testing::ValuesIn(AppCases()), AppCaseName);

}  // namespace
}  // namespace officetest
