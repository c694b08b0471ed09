// What each Office application is expected to receive, as a table, and a fixture that builds a fake
// application world for it, the two components under test, and checks at the end that every
// reference handed out was released exactly once.
#pragma once

#include "fake_office.h"

#include "office/applications.h"
#include "office/components.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace officetest {

// One automation call of an attach: made on `target`, its object result is the fake `result`.
struct AttachStep {
    std::string target;
    DISPID id;
    std::string flags;
    std::vector<std::string> arguments;
    std::string result;
    bool kept;  // still held by the collection component when the attach has finished
};

struct AppCase {
    std::string name;
    const tessivar::ApplicationDescription* description;
    std::string progId;
    IID eventInterface;
    DISPID visible;
    std::string visibleArgument;
    bool takesAddFlag;
    std::vector<AttachStep> attach;
    tessivar::ComponentType applicationType;
    tessivar::ComponentType collectionType;
    tessivar::DesignId applicationId;
    tessivar::DesignId collectionId;
    void (*launch)();
    std::vector<DISPID> forwardedEvents;
    std::vector<DISPID> ignoredEvents;
};

const std::vector<AppCase>& AppCases();
// Parameters print as their names instead of raw bytes.
inline void PrintTo(const AppCase& app, std::ostream* out)
{
    *out << app.name;
}
std::string AppCaseName(const testing::TestParamInfo<AppCase>& info);

inline const std::string kOmitted = "ERROR:0x80020004";
inline const std::string kOmittedByRef = "BYREF(" + kOmitted + ")";

// The fakes one started application brings: the application, its connection point, and every
// object the launch reaches from it. Roles carry the world's suffix ("app", "app#2").
class World {
public:
    World(const AppCase& app, std::string suffix, DWORD cookie);

    std::string Role(const std::string& base) const { return base + m_suffix; }
    FakeObject& Object(const std::string& base) { return *m_objects.at(base); }
    FakeObject& Application() { return Object("app"); }
    FakeConnectionPoint& Point() { return *m_point; }

private:
    std::string m_suffix;
    std::map<std::string, std::unique_ptr<FakeObject>> m_objects;
    std::unique_ptr<FakeConnectionPoint> m_point;
};

class OfficeFixture : public testing::Test {
protected:
    void Use(const AppCase& app) { m_case = &app; }
    const AppCase& Case() const { return *m_case; }

    void SetUp() override;
    void TearDown() override;

    // A new world, queued to be handed out by the next successful creation.
    World& AddWorld();
    void MakeComponents();
    void DestroyComponents();

    bool Start() { return m_application->StartApplication(); }
    void PutVisible() { m_application->PutVisible(true); }
    bool Attach() { return m_collection->AttachApplication(*m_application, true); }
    // The three steps of a launch action, each run whatever the earlier ones returned.
    void Launch();

    // Expected journal lines.
    std::vector<std::string> ActivationLines(World& world, const std::vector<std::string>& contexts = {"0x17"},
                                             bool run = true) const;
    std::vector<std::string> ConnectLines(World& world) const;
    std::vector<std::string> StartLines(World& world) const;
    std::string VisibleLine(World& world) const;
    // The attach's calls up to and including step `count - 1`.
    std::vector<std::string> AttachLines(World& world, size_t count) const;
    std::vector<std::string> AttachLines(World& world) const { return AttachLines(world, Case().attach.size()); }
    std::vector<std::string> LaunchLines(World& world) const;
    std::string UnadviseLine(World& world) const;

    // References expected on the world's fakes when the attach's first `completedSteps` calls have
    // succeeded (and the application holds the world's application).
    std::map<std::string, LONG> HeldAfterAttach(World& world, size_t completedSteps, bool connected = true) const;
    std::map<std::string, LONG> HeldAfterAttach(World& world) const
    {
        return HeldAfterAttach(world, Case().attach.size());
    }
    std::map<std::string, LONG> HeldAfterStart(World& world, bool connected = true) const;

    // Every exception string the fakes handed out has been freed.
    void ExpectExceptionStringsFreed() const;

    const AppCase* m_case = nullptr;
    FakeComponentHost m_host;
    std::vector<std::unique_ptr<World>> m_worlds;
    std::unique_ptr<tessivar::ApplicationComponent> m_application;
    std::unique_ptr<tessivar::CollectionComponent> m_collection;
};

// The fixture for tests that run once per application.
class PerApplication : public OfficeFixture, public testing::WithParamInterface<AppCase> {
protected:
    void SetUp() override
    {
        Use(GetParam());
        OfficeFixture::SetUp();
    }
};

template <typename T>
std::vector<T> Concat(std::vector<T> first, const std::vector<T>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace officetest
