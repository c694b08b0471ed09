#include "launcher_window/design.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessivar {
namespace {

void Word() {}
void Excel() {}
void PowerPoint() {}

const NamedHandler kHandlers[] = {{"LaunchWord", Word}, {"LaunchExcel", Excel}, {"LaunchPowerPoint", PowerPoint}};

TEST(DesignTest, ShippedDesignBindsEachButtonToItsOwnLaunch)
{
    const auto loaded = LoadDesign(kLauncherDesign, kHandlers);
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->bindings.size(), 3u);
    auto handlerOf = [&](DesignId id) -> Handler {
        for (const auto& b : loaded->bindings)
            if (b.controlId == id && b.event == kClickEvent)
                return b.handler;
        return nullptr;
    };
    EXPECT_EQ(handlerOf(kButtonWordId), &Word);
    EXPECT_EQ(handlerOf(kButtonExcelId), &Excel);
    EXPECT_EQ(handlerOf(kButtonPowerPointId), &PowerPoint);
}

TEST(DesignTest, EveryComponentIsInvisibleAndOutsideTheTabOrder)
{
    int components = 0;
    for (const ControlDesign& c : kLauncherDesign.controls) {
        if (c.kind == ControlKind::PushButton)
            continue;
        ++components;
        EXPECT_FALSE(c.visible) << std::string(c.name.begin(), c.name.end());
        EXPECT_FALSE(c.tabStop);
        EXPECT_TRUE(c.windowClass.empty());
        EXPECT_NE(FindControl(kLauncherDesign, c.id), nullptr);
    }
    EXPECT_EQ(components, 6);
}

struct BrokenCase {
    const char* name;
    void (*breakIt)(std::vector<ControlDesign>&);
};

class BrokenDesignTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenDesignTest, CannotBeLoaded)
{
    std::vector<ControlDesign> controls(kLauncherDesign.controls.begin(), kLauncherDesign.controls.end());
    GetParam().breakIt(controls);
    WindowDesign design = kLauncherDesign;
    design.controls = controls;
    EXPECT_FALSE(LoadDesign(design, kHandlers).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenDesignTest,
    ::testing::Values(BrokenCase{"UnknownHandler", [](auto& c) { c.back().clickHandler = "LaunchOutlook"; }},
                      BrokenCase{"RepeatedId", [](auto& c) { c[1].id = c[0].id; }},
                      BrokenCase{"ZeroId", [](auto& c) { c[2].id = 0; }},
                      BrokenCase{"ComponentWithWindowClass", [](auto& c) { c[0].windowClass = L"BUTTON"; }},
                      BrokenCase{"ButtonWithoutWindowClass", [](auto& c) { c.back().windowClass = {}; }},
                      BrokenCase{"ComponentWithoutType", [](auto& c) { c[0].componentType = ComponentType::None; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar
