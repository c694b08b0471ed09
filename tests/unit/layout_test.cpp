#include "launcher_window/layout.h"

#include <gtest/gtest.h>

namespace tessivar {
namespace {

struct CentreCase {
    int screenWidth;
    int screenHeight;
    ScreenPoint expected;
};

class CentreTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentreTest, CentresTheOuterFrameTruncatingTowardZero)
{
    const CentreCase& c = GetParam();
    EXPECT_EQ(CentredOrigin(c.screenWidth, c.screenHeight, 364, 251), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Screens, CentreTest,
                         ::testing::Values(CentreCase{1024, 768, {330, 258}}, CentreCase{1920, 1080, {778, 414}},
                                           CentreCase{313, 200, {-25, -25}},  // -51 / 2 is -25, not -26
                                           CentreCase{364, 251, {0, 0}}));

TEST(TabOrderTest, ShippedDesignCyclesOverTheThreeButtonsOnly)
{
    const auto order = TabOrder(kLauncherDesign);
    ASSERT_EQ(order, (std::vector<DesignId>{kButtonWordId, kButtonExcelId, kButtonPowerPointId}));
    EXPECT_EQ(NextInTabOrder(order, kButtonPowerPointId, false), kButtonWordId);
    EXPECT_EQ(NextInTabOrder(order, kButtonWordId, true), kButtonPowerPointId);
    EXPECT_EQ(NextInTabOrder(order, kButtonWordId, false), kButtonExcelId);
    EXPECT_EQ(NextInTabOrder(order, kButtonExcelId, true), kButtonWordId);
    EXPECT_EQ(NextInTabOrder(order, 0, false), kButtonWordId) << "no focus: Tab goes to the first";
    EXPECT_EQ(NextInTabOrder(order, 0, true), kButtonPowerPointId);
}

TEST(TabOrderTest, OrdersByNumberThenReverseDesignOrderAndSkipsWhatCannotTakeFocus)
{
    auto button = [](DesignId id, int tab, bool visible = true, bool disabled = false, bool tabStop = true) {
        return ControlDesign{
            id,  u8"b", ControlKind::PushButton, ComponentType::None, L"BUTTON", {}, L"", visible, disabled, tabStop,
            tab, {}};
    };
    const ControlDesign controls[] = {
        button(1, 1),
        button(2, 0),
        button(3, 0),
        button(4, 0, false),
        button(5, 0, true, true),
        button(6, 0, true, false, false),
        button(7, 2),
        {8, u8"c", ControlKind::ApplicationComponent, ComponentType::WordApp, {}, {}, {}, true, false, true, 0, {}},
    };
    WindowDesign design = kLauncherDesign;
    design.controls = controls;
    EXPECT_EQ(TabOrder(design), (std::vector<DesignId>{3, 2, 1, 7}));
}

struct KeyCase {
    const char* name;
    unsigned key;
    Modifiers modifiers;
    KeyAction expected;
};

class KeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTest, DecidesWhatTheWindowDoesBeforeDispatch)
{
    EXPECT_EQ(DecideKey(kLauncherDesign, GetParam().key, GetParam().modifiers), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTest,
                         ::testing::Values(KeyCase{"Tab", kKeyTab, {}, KeyAction::FocusNext},
                                           KeyCase{"ShiftTab", kKeyTab, {.shift = true}, KeyAction::FocusPrevious},
                                           KeyCase{"CtrlTab", kKeyTab, {.ctrl = true}, KeyAction::PassOn},
                                           KeyCase{"Escape", kKeyEscape, {}, KeyAction::Close},
                                           KeyCase{"AltEscape", kKeyEscape, {.alt = true}, KeyAction::PassOn},
                                           KeyCase{"Enter", kKeyEnter, {}, KeyAction::PassOn},
                                           KeyCase{"F1", kKeyF1, {}, KeyAction::Consume},
                                           KeyCase{"Space", 0x20, {}, KeyAction::PassOn},
                                           KeyCase{"AltF4", 0x73, {.alt = true}, KeyAction::PassOn}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivar
