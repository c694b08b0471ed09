#include "shell/events.h"

#include <gtest/gtest.h>

namespace tessivar {
namespace {

int g_clicks = 0;
void CountClick()
{
    ++g_clicks;
}

class EventRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_clicks = 0;
        router.Bind(0x52010001, 0x16010002, 0, CountClick);
    }
    SuppressionCount suppression;
    EventRouter router{suppression};
};

TEST_F(EventRouterTest, RunsOnlyTheHandlerBoundToThatEvent)
{
    EXPECT_TRUE(router.Deliver(0x52010001, 0x16010002, 0));
    EXPECT_FALSE(router.Deliver(0x52010001, 0x16010002, 1));
    EXPECT_FALSE(router.Deliver(0x52010001, 0x16010003, 0));
    EXPECT_FALSE(router.Deliver(0x52010002, 0x16010002, 0));
    EXPECT_EQ(g_clicks, 1);
}

TEST_F(EventRouterTest, SuppressionDropsEventsUntilEveryRaiseIsLowered)
{
    {
        ScopedSuppression outer(suppression);
        {
            ScopedSuppression inner(suppression);
            EXPECT_FALSE(router.Deliver(0x52010001, 0x16010002, 0));
        }
        EXPECT_FALSE(router.Deliver(0x52010001, 0x16010002, 0)) << "the outer raise still holds";
    }
    EXPECT_TRUE(router.Deliver(0x52010001, 0x16010002, 0));
    EXPECT_EQ(g_clicks, 1);
}

TEST_F(EventRouterTest, UnbindingAWindowDropsItsEvents)
{
    router.UnbindWindow(0x52010001);
    EXPECT_FALSE(router.Deliver(0x52010001, 0x16010002, 0));
    EXPECT_EQ(g_clicks, 0);
}

TEST(SuppressionCountTest, LoweringBelowZeroDoesNotWrapAround)
{
    SuppressionCount count;
    count.Lower();
    EXPECT_FALSE(count.Suppressed());
    count.Raise();
    EXPECT_TRUE(count.Suppressed());
}

}  // namespace
}  // namespace tessivar
