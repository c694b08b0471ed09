#include "office_fixture.h"

#include "office/launch_actions.h"

#include <cstdio>

namespace officetest {

namespace {

// The components run on an OLE single-threaded apartment, as in the program.
class OleEnvironment final : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
        InstallAllocationSpy();
    }
    void TearDown() override
    {
        RemoveAllocationSpy();
        OleUninitialize();
    }
};

[[maybe_unused]] testing::Environment* const kOleEnvironment = testing::AddGlobalTestEnvironment(new OleEnvironment);

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

constexpr IID kWordEvents = {0x000209FE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kExcelEvents = {0x00024413, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kPowerPointEvents = {0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};

std::vector<AppCase> MakeAppCases()
{
    AppCase word{
        .name = "Word",
        .description = &tessivar::kWord,
        .progId = "Word.Application",
        .eventInterface = kWordEvents,
        .visible = 23,
        .visibleArgument = "BOOL:-1",
        .takesAddFlag = true,
        .attach =
            {{"app", 6, "GET", {}, "collection", true},
             {"collection", 14, "METHOD", {kOmittedByRef, kOmittedByRef, kOmittedByRef, kOmittedByRef}, "added", true},
             {"collection", 1002, "GET", {}, "parent", false},
             {"parent", 5, "GET", {}, "selection", true}},
        .applicationType = tessivar::ComponentType::WordApp,
        .collectionType = tessivar::ComponentType::WordDocuments,
        .applicationId = tessivar::kWordAppId,
        .collectionId = tessivar::kWordDocumentsId,
        .launch = tessivar::LaunchWord,
        // Quit, DocumentOpen, DocumentBeforeClose, DocumentBeforePrint, DocumentBeforeSave, NewDocument.
        .forwardedEvents = {2, 4, 6, 7, 8, 9},
        // Startup, DocumentChange, the window events.
        .ignoredEvents = {1, 3, 10, 11, 12, 13, 14},
    };
    AppCase excel{
        .name = "Excel",
        .description = &tessivar::kExcel,
        .progId = "Excel.Application",
        .eventInterface = kExcelEvents,
        .visible = 558,
        .visibleArgument = "BOOL:-1",
        .takesAddFlag = false,
        .attach = {{"app", 572, "GET", {}, "collection", true},
                   {"collection", 181, "METHOD", {kOmitted}, "added", false},
                   {"app", 148, "GET", {}, "application", true},
                   {"application", 485, "GET", {}, "sheets", true},
                   {"sheets", 170, "GET", {"I4:1"}, "sheet", true}},
        .applicationType = tessivar::ComponentType::ExcelApp,
        .collectionType = tessivar::ComponentType::ExcelWorkbooks,
        .applicationId = tessivar::kExcelAppId,
        .collectionId = tessivar::kExcelWorkbooksId,
        .launch = tessivar::LaunchExcel,
        // SheetActivate, SheetDeactivate, WorkbookOpen .. WorkbookNewSheet.
        .forwardedEvents = {0x619, 0x61A, 0x61F, 0x620, 0x621, 0x622, 0x623, 0x624, 0x625},
        // Window events, SheetSelectionChange, the sheet clicks, SheetCalculate, SheetChange, NewWorkbook,
        // the add-in events.
        .ignoredEvents = {0x612, 0x614, 0x615, 0x616, 0x617, 0x618, 0x61B, 0x61C, 0x61D, 0x626, 0x627},
    };
    AppCase powerPoint{
        .name = "PowerPoint",
        .description = &tessivar::kPowerPoint,
        .progId = "PowerPoint.Application",
        .eventInterface = kPowerPointEvents,
        .visible = 2030,
        .visibleArgument = "I4:1",
        .takesAddFlag = true,
        .attach = {{"app", 2001, "GET", {}, "collection", true},
                   {"collection", 2003, "METHOD", {"I4:1"}, "added", true}},
        .applicationType = tessivar::ComponentType::PPTApp,
        .collectionType = tessivar::ComponentType::PPTPresentations,
        .applicationId = tessivar::kPptAppId,
        .collectionId = tessivar::kPptPresentationsId,
        .launch = tessivar::LaunchPowerPoint,
        // WindowSelectionChange .. PresentationPrint.
        .forwardedEvents = {2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2011, 2012, 2013, 2014, 2015},
        // Later additions to the interface: SlideSelectionChanged, ColorSchemeChanged, PresentationBeforeSave,
        // SlideShowNextClick, AfterNewPresentation, AfterPresentationOpen.
        .ignoredEvents = {2000, 2016, 2017, 2018, 2019, 2020, 2021},
    };
    return {word, excel, powerPoint};
}

}  // namespace

const std::vector<AppCase>& AppCases()
{
    static const std::vector<AppCase> cases = MakeAppCases();
    return cases;
}

std::string AppCaseName(const testing::TestParamInfo<AppCase>& info)
{
    return info.param.name;
}

World::World(const AppCase& app, std::string suffix, DWORD cookie) : m_suffix(std::move(suffix))
{
    for (const char* base : {"app", "collection", "added", "parent", "selection", "application", "sheets", "sheet"})
        m_objects[base] = std::make_unique<FakeObject>(Role(base));
    m_point = std::make_unique<FakeConnectionPoint>(Role("point"), Application(), app.eventInterface, cookie);
    Application().SetConnectionPoint(m_point.get());
    for (const AttachStep& step : app.attach)
        Object(step.target).ReplyObject(step.id, Object(step.result));
}

void OfficeFixture::SetUp()
{
    ResetFakeWorld();
}

void OfficeFixture::TearDown()
{
    tessivar::UnregisterComponentHost(m_host);
    DestroyComponents();
    EXPECT_EQ(HeldReferences(), (std::map<std::string, LONG>{})) << "references still held at the end";
    EXPECT_EQ(OverReleased(), std::vector<std::string>{});
    EXPECT_EQ(ForbiddenCalls(), std::vector<std::string>{});
    m_worlds.clear();
}

World& OfficeFixture::AddWorld()
{
    const size_t number = m_worlds.size() + 1;
    std::string suffix;
    if (number > 1)
        suffix.append("#").append(std::to_string(number));
    m_worlds.push_back(std::make_unique<World>(Case(), suffix, static_cast<DWORD>(0x1000 + number)));
    Script().objects.push_back(&m_worlds.back()->Application());
    return *m_worlds.back();
}

void OfficeFixture::MakeComponents()
{
    m_application = std::make_unique<tessivar::ApplicationComponent>(*Case().description, m_host, Case().applicationId,
                                                                     kFakeActivation);
    m_collection = std::make_unique<tessivar::CollectionComponent>(*Case().description);
    m_host.Place(Case().applicationId, *m_application);
    m_host.Place(Case().collectionId, *m_collection);
}

void OfficeFixture::DestroyComponents()
{
    m_application.reset();
    m_collection.reset();
}

void OfficeFixture::Launch()
{
    Start();
    PutVisible();
    Attach();
}

std::vector<std::string> OfficeFixture::ActivationLines(World& world, const std::vector<std::string>& contexts,
                                                        bool run) const
{
    std::vector<std::string> lines = {"CLSIDFromProgID " + Case().progId};
    for (const std::string& context : contexts)
        lines.push_back("CoCreateInstance clsid=" + Case().progId + " outer=null context=" + context + " iid=IUnknown");
    if (run)
        lines.push_back("OleRun " + world.Role("app"));
    return lines;
}

std::vector<std::string> OfficeFixture::ConnectLines(World& world) const
{
    return {world.Role("app") + ": FindConnectionPoint " + GuidText(Case().eventInterface),
            world.Role("point") + ": Advise cookie=" + Hex(world.Point().Cookie())};
}

std::vector<std::string> OfficeFixture::StartLines(World& world) const
{
    return Concat(ActivationLines(world), ConnectLines(world));
}

std::string OfficeFixture::VisibleLine(World& world) const
{
    return ExpectedInvoke(world.Role("app"), Case().visible, "PUT", {Case().visibleArgument}, false);
}

std::vector<std::string> OfficeFixture::AttachLines(World& world, size_t count) const
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < count; ++i) {
        const AttachStep& step = Case().attach.at(i);
        lines.push_back(ExpectedInvoke(world.Role(step.target), step.id, step.flags, step.arguments, true));
    }
    return lines;
}

std::vector<std::string> OfficeFixture::LaunchLines(World& world) const
{
    return Concat(Concat(StartLines(world), {VisibleLine(world)}), AttachLines(world));
}

std::string OfficeFixture::UnadviseLine(World& world) const
{
    return world.Role("point") + ": Unadvise cookie=" + Hex(world.Point().Cookie()) + " " + world.Role("app") +
           "-references=1";
}

std::map<std::string, LONG> OfficeFixture::HeldAfterStart(World& world, bool connected) const
{
    std::map<std::string, LONG> held = {{world.Role("app"), 1}};
    if (connected)
        held[world.Role("point")] = 1;
    return held;
}

std::map<std::string, LONG> OfficeFixture::HeldAfterAttach(World& world, size_t completedSteps, bool connected) const
{
    std::map<std::string, LONG> held = HeldAfterStart(world, connected);
    for (size_t i = 0; i < completedSteps; ++i) {
        if (Case().attach.at(i).kept)
            held[world.Role(Case().attach[i].result)] = 1;
    }
    return held;
}

void OfficeFixture::ExpectExceptionStringsFreed() const
{
    ASSERT_FALSE(ExceptionStrings().empty()) << "no exception was raised";
    for (BSTR text : ExceptionStrings())
        EXPECT_FALSE(IsAllocated(text)) << "exception string not freed: " << static_cast<const void*>(text);
}

}  // namespace officetest
