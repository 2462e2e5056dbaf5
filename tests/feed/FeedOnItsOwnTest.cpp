// The feed screen made directly by a host, before any other screen of the kit has been opened in the
// process: its interface file must load whole, its list table included.
#include <gtest/gtest.h>

#include "feed/VelkoraFeedTableController.h"
#include "feed/VelkoraFeedViewController.h"

using namespace velkora;

TEST(FeedOnItsOwn, OpenedFirstLoadsItsTableAndWiresIt) {
    auto screen = VelkoraFeedViewController::initFromNib(false);
    ASSERT_TRUE(screen);
    screen->view();
    EXPECT_TRUE(screen->feedTable()) << "the list's table was not made from the interface file";
    EXPECT_TRUE(screen->tableController());
}
