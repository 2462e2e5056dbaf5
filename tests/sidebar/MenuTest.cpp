// The sidebar menu built from the configured feature list: its rows, titles, taps, the promoted
// applications' row and the badges.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "shell/VelkoraPanelRowCell.h"
#include "shell/VelkoraPanelViewCell.h"

namespace velkora::testing {
namespace {

class MenuTest : public SidebarFixture {
protected:
    static void dealsArrive() {
        VelkoraAppDealsRepository::instance().cleaerRepository();
        VelkoraAppDealsRepository::instance().updateWithAppDeals({std::make_shared<VelkoraAppDeal>()});
    }
};

TEST_F(MenuTest, RowsFollowTheServersListAndSkipWhatTheyCannotShow) {
    serve({{"feed", "News"},
           {"inbox", "Mail"},
           {"login", "Login"},
           {"blog", "Rooms"},
           {"shop", "Store", true, "ShopIcon"},
           {"apps", "Apps"},
           {"radar", "Near"}});
    install();
    EXPECT_EQ(rowIds(), (std::vector<std::string>{"feed", "inbox", "blog", "shop", "radar"}));
    EXPECT_EQ(panel().feedCommandIdx(), 0);
    EXPECT_EQ(panel().inboxCommandIdx(), 1);
    EXPECT_EQ(panel().blogCommandIdx(), 2);
    EXPECT_EQ(panel().radarCommandIdx(), 4);
    EXPECT_EQ(panel().quizCommandIdx(), -1);
    EXPECT_TRUE(logged("Velkora - Unknown internal feature: login, Login"));
    EXPECT_TRUE(logged("Velkora - No apps yet, or feature disabled - no use in showing this side-bar item"));
    auto& rows = panel().commands();
    // With the override off the server's texts stand.
    EXPECT_EQ(rows[1]->title(), "Mail");
    EXPECT_TRUE(rows[1]->useBadge2());
    EXPECT_TRUE(rows[3]->isCustom());
    EXPECT_TRUE(rows[3]->icon());
    EXPECT_TRUE(rows[0]->icon());
    ASSERT_EQ(panel().commandsTable()->numberOfRowsInSection(0), 5);

    // The override looks the texts up instead; a custom row's key is made from its name.
    serve({{"feed", "News"}, {"inbox", "Mail"}, {"blog", "Rooms"}, {"shop", "Store", true, "ShopIcon"}},
          {{"overrideStrings", true}});
    EXPECT_EQ(rowIds(), (std::vector<std::string>{"feed", "inbox", "blog", "shop"}));
    EXPECT_EQ(panel().commands()[1]->title(), "Messages");
    EXPECT_EQ(panel().commands()[3]->title(), "Shop");
}

TEST_F(MenuTest, ATapCallsTheRowsOperationWithItsTitleOrACustomRowsName) {
    serve({{"shop", "Store", true, "ShopIcon"}, {"feed", "News"}});
    install();
    Recorder posted{"kVelkoraCustomButtonClicked"};
    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(0, 0));
    ASSERT_EQ(posted.count("kVelkoraCustomButtonClicked"), 1u);
    EXPECT_EQ(posted.seen[0].userInfo["customButtonId"].textOr(""), "shop");
    EXPECT_TRUE(logged("Velkora - customFeatureClicked (shop) ..."));
    // The feed's screen is not part of this build: the line, and the menu stays.
    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(1, 0));
    EXPECT_TRUE(logged("The screen 'feed' is not part of this build"));
    EXPECT_FALSE(gestures->hideEntireOriginalApp());
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(MenuTest, BadEntriesLeaveTheirPartEmptyAndTheRowShown) {
    serve({{"shop", std::nullopt, true, "NoSuchIcon"}, {"quiz", std::nullopt}});
    install();
    ASSERT_EQ(rowIds(), (std::vector<std::string>{"shop", "quiz"}));
    EXPECT_FALSE(panel().commands()[0]->icon());
    EXPECT_FALSE(panel().commands()[0]->title());
    EXPECT_FALSE(panel().commands()[1]->title());
    auto cell = std::dynamic_pointer_cast<VelkoraPanelViewCell>(
        panel().cellForRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(0, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel()->text(), "");
}

TEST_F(MenuTest, ThePromotedApplicationsRowTakesItsPlaceOnce) {
    struct Case {
        const char* what;
        std::vector<Row> list;
        std::vector<std::string> before, after;
        int feedBefore, feedAfter;
    };
    std::vector<Case> cases{
        {"after the others",
         {{"feed", "F"}, {"inbox", "I"}, {"apps", "A"}},
         {"feed", "inbox"},
         {"feed", "inbox", "apps"},
         0,
         0},
        {"ahead of the feed", {{"apps", "A"}, {"feed", "F"}}, {"feed"}, {"apps", "feed"}, 0, 1},
        {"behind an entry that made no row",
         {{"login", "L"}, {"apps", "A"}, {"feed", "F"}},
         {"feed"},
         {"apps", "feed"},
         0,
         1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        VelkoraAppDealsRepository::instance().cleaerRepository();
        serve(c.list);
        install();
        EXPECT_EQ(rowIds(), c.before);
        EXPECT_EQ(panel().feedCommandIdx(), c.feedBefore);
        dealsArrive();
        panel().refreshAppDealsView();
        EXPECT_EQ(rowIds(), c.after);
        EXPECT_EQ(panel().feedCommandIdx(), c.feedAfter);
        // Deals again: the row is replaced, never doubled.
        dealsArrive();
        panel().refreshAppDealsView();
        EXPECT_EQ(rowIds(), c.after);
        EXPECT_EQ(panel().feedCommandIdx(), c.feedAfter);
        uninstall();
    }
}

// The promoted-applications row's own cell, as the ads folder registers it.
class DealsRowCell : public ui::TableViewCell, public VelkoraPanelRowCell {
public:
    DealsRowCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, "") { setFrame({0, 0, 270, 118}); }
    void updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool isLast) override {
        shown = command;
        last = isLast;
    }
    std::shared_ptr<VelkoraPanelCommand> shown;
    bool last = false;
};

TEST_F(MenuTest, ThePromotedApplicationsRowIsDrawnByItsOwnCellWhenTheBuildHasOne) {
    serve({{"feed", "F"}, {"apps", "Apps"}});
    dealsArrive();
    // Without one, the plain row draws its title and icon.
    install();
    auto& table = *panel().commandsTable();
    auto plain =
        std::dynamic_pointer_cast<VelkoraPanelViewCell>(panel().cellForRowAtIndexPath(table, ui::IndexPath::of(1, 0)));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->titleLabel()->text(), "Apps");
    double plainHeight = panel().heightForRowAtIndexPath(table, ui::IndexPath::of(0, 0));
    EXPECT_DOUBLE_EQ(panel().heightForRowAtIndexPath(table, ui::IndexPath::of(1, 0)), plainHeight);
    EXPECT_FALSE(panel().willSelectRowAtIndexPath(table, ui::IndexPath::of(1, 0)));
    uninstall();

    int made = 0;
    VelkoraScreenRegistry::instance().registerObject<ui::TableViewCell>(
        VelkoraPanelRowCell::kAppDealsRowMaker, [&made](const foundation::Value&) {
            ++made;
            return std::static_pointer_cast<ui::TableViewCell>(std::make_shared<DealsRowCell>());
        });
    install();
    auto& rows = *panel().commandsTable();
    auto deals = std::dynamic_pointer_cast<DealsRowCell>(panel().cellForRowAtIndexPath(rows, ui::IndexPath::of(1, 0)));
    ASSERT_TRUE(deals);
    EXPECT_EQ(deals->reuseIdentifier(), "VelkoraPanelAppDealsCell");
    EXPECT_EQ(deals->shown, panel().commands()[1]);
    EXPECT_TRUE(deals->last);
    // Its height is the sample's; the other rows keep theirs and their own cells.
    EXPECT_DOUBLE_EQ(panel().heightForRowAtIndexPath(rows, ui::IndexPath::of(1, 0)), 118);
    EXPECT_DOUBLE_EQ(panel().heightForRowAtIndexPath(rows, ui::IndexPath::of(0, 0)), plainHeight);
    auto feed = panel().cellForRowAtIndexPath(rows, ui::IndexPath::of(0, 0));
    EXPECT_TRUE(std::dynamic_pointer_cast<VelkoraPanelViewCell>(feed));
    EXPECT_FALSE(panel().willSelectRowAtIndexPath(rows, ui::IndexPath::of(1, 0)));
    EXPECT_GE(made, 2); // the sample and the row's cell
    EXPECT_FALSE(logged("appDealsRow is not part of this build"));
}

TEST_F(MenuTest, TheBadgeStylesAndARecycledCell) {
    serve({{"inbox", "I"}, {"feed", "F"}});
    install();
    auto cell = VelkoraPanelViewCell::initFromNib();
    ASSERT_TRUE(cell);
    auto fileColour = cell->badgeLabel()->textColor();
    auto fileFont = *cell->badgeLabel()->font();
    struct Case {
        int32_t badge;
        bool style2;
        bool shown;
        const char* text;
    };
    for (auto c : {Case{1, true, true, "1"}, Case{1, false, true, "1"}, Case{0, true, false, ""},
                   Case{-3, false, false, ""}, Case{250, false, true, "250"}}) {
        auto row = std::make_shared<VelkoraPanelCommand>();
        row->setTitle(std::string("Row"));
        row->setBadgeNumber(c.badge);
        row->setUseBadge2(c.style2);
        cell->updateData(row, false);
        EXPECT_EQ(!cell->badgeLabel()->isHidden(), c.shown) << c.badge;
        EXPECT_EQ(!cell->badgeImage()->isHidden(), c.shown) << c.badge;
        if (!c.shown) continue;
        EXPECT_EQ(cell->badgeLabel()->text(), c.text);
        EXPECT_EQ(cell->badgeImage()->image(),
                  ui::Image::named(c.style2 ? "VelImg_DashboardBadge2.png" : "VelImg_DashboardBadge1.png"));
        if (c.style2) {
            EXPECT_EQ(cell->badgeLabel()->textColor(), ui::Color::black());
            EXPECT_TRUE(cell->badgeLabel()->font()->isBold());
        } else {
            // The same cell after the second style: the file's look again.
            EXPECT_EQ(cell->badgeLabel()->textColor(), fileColour);
            EXPECT_EQ(*cell->badgeLabel()->font(), fileFont);
        }
    }
}

TEST_F(MenuTest, BadgesComeFromTheRepositoriesAndARebuildZeroesThem) {
    serve({{"feed", "F"}, {"inbox", "I"}, {"radar", "R"}});
    install();
    Recorder posted{"VelkoraBadgeNumberChangedNotification"};
    auto& chats = VelkoraChatsRepository::instance();
    // A poll that brought nothing changes nothing.
    foundation::NotificationCenter::defaultCenter().post(
        "VelkoraNewMessagesNotification", &chats,
        foundation::Value(foundation::Dictionary{{"newUsers", foundation::Value(0)}}));
    EXPECT_EQ(posted.seen.size(), 0u);
    // The same name from another sender is not the repository's.
    foundation::NotificationCenter::defaultCenter().post("VelkoraMessagesViewedNotification", this);
    EXPECT_EQ(posted.seen.size(), 0u);
    foundation::NotificationCenter::defaultCenter().post("VelkoraMessagesViewedNotification", &chats);
    ASSERT_EQ(posted.seen.size(), 1u);
    EXPECT_EQ(posted.seen[0].userInfo["tabId"].int32Or(-1), 1);
    EXPECT_EQ(posted.seen[0].userInfo["tabName"].textOr(""), "inbox");
    // No blog row: its notifications change nothing.
    foundation::NotificationCenter::defaultCenter().post("VelkoraChatRoomsNewTopicsNotification",
                                                         &VelkoraChatRoomsTopicsRepository::instance());
    EXPECT_EQ(posted.seen.size(), 1u);

    for (auto& row : panel().commands())
        row->setBadgeNumber(4);
    EXPECT_EQ(sidebar->getTotalBadges(), 8); // the radar's is left out
    foundation::NotificationCenter::defaultCenter().post("VelkoraAppDataReceived");
    for (auto& row : panel().commands())
        EXPECT_EQ(row->badgeNumber(), 0);
    EXPECT_EQ(posted.seen.size(), 1u);
}

} // namespace
} // namespace velkora::testing
