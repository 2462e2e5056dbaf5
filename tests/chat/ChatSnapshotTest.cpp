// What a person sees of the chat and the picture viewer, against reference pictures: both sides over two
// days, a sticker, a photo, the load-earlier header, a row on its way and one the service refused.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "ChatFixture.h"
#include "data/VelkoraAppData.h"

namespace velkora::testing {
namespace {

using service::Fault;

class ChatSnapshotTest : public OfflineChatTest {
protected:
    void SetUp() override {
        OfflineChatTest::SetUp();
        kEvening = berlin(2024, 5, 2, 18, 30, 5);
        // One evening, on the service's clock and the kit's: every time shown is the same in every run.
        using namespace std::chrono;
        const double wall = duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
        svc.setClockOffset(kEvening - wall);
        loop().useTestClock(kEvening);
    }
    void TearDown() override {
        OfflineChatTest::TearDown();
        svc.setClockOffset(0);
    }
    // Made once the zone is set, so every machine shows the same times.
    double kEvening = 0;

    // The chat of two days with a sticker, a photo, a refused row and one on its way, then the photo in the
    // viewer, each against its reference; the device (phone or tablet) is the caller's.
    void expectChatAndViewer(const std::string& suffix, ui::Size chatScreen, ui::Size viewerScreen,
                             ui::Size viewerPicture) {
        ui::Screen::main().setBounds({0, 0, chatScreen.width, chatScreen.height});
        ASSERT_NO_FATAL_FAILURE(startChatting());
        // A page of four, so the header to load earlier messages shows.
        auto data = std::make_shared<VelkoraAppData>();
        data->setMaxMessagesPerUpdate(4);
        VelkoraAgentInternal::instance().setAppData(data);
        const std::string olga = makeUser("Olga", "Berg");
        svc.sendMessageAt(kDemo, olga, userId_, "Are you coming to the quiz night tomorrow?", kEvening - 86400 - 3000);
        svc.sendMessageAt(kDemo, userId_, olga, "Yes! I'll bring the snacks.", kEvening - 86400 - 2900);
        svc.sendMessageAt(kDemo, olga, userId_, svc.baseUrl() + "/pictures/stickers/doodles/2.png", kEvening - 1200,
                          "sticker");
        auto screen = openChat(olga);
        ASSERT_TRUE(screen);
        screen->imageSelected(picture(800, 400, "#F59E0B"));
        ASSERT_TRUE(waitFor([&] {
            return screen->dataSource()->sendState(screen->dataSource()->allMessages().back().get()) ==
                   VelkoraChatSendState::Sent;
        }));
        svc.addFault(Fault{"sendMessage", Fault::Kind::ErrorCode, "BAD_REQUEST", 500, 0, 1});
        type(*screen, "Did the photo come through?");
        ASSERT_TRUE(waitFor([&] {
            return screen->dataSource()->sendState(screen->dataSource()->allMessages().back().get()) ==
                   VelkoraChatSendState::NotSent;
        }));
        ASSERT_TRUE(quiet());
        networkGoes(false);
        type(*screen, "Sending this from the train");
        loop().advance(0.5);
        window_->layoutIfNeeded();
        EXPECT_TRUE(screen->tableHeaderView());
        EXPECT_EQ(screen->messagesTable()->numberOfSections(), 2);
        {
            auto photo = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(
                screen->messagesTable()->cellForRowAtIndexPath(ui::IndexPath::of(1, 1)));
            ASSERT_TRUE(photo);
            EXPECT_FALSE(photo->myAIV()->isAnimating()) << "the photo is in";
            // The screen's own indicator turns for the send still on its way.
            EXPECT_TRUE(screen->activityIndicatorView()->isAnimating());
        }
        expectLooksLike("chat" + suffix);

        networkGoes(true);
        ASSERT_TRUE(settle());
        ui::Screen::main().setBounds({0, 0, viewerScreen.width, viewerScreen.height});
        const std::string url = screen->dataSource()->allMessages()[3]->message().value_or("");
        auto viewer = VelkoraFullScreenImageViewController::initFromNibWithImageUrl(url);
        show(viewer);
        ASSERT_TRUE(waitFor([&] { return viewer->origImageWidth() > 0; }) && quiet());
        EXPECT_EQ(viewer->imageSize(), viewerPicture);
        expectLooksLike("viewer" + suffix);
    }
};

TEST_F(ChatSnapshotTest, TheChatAndThePictureViewer) {
    expectChatAndViewer("", {320, 900}, {320, 568}, {320, 160});
}

// The tablet's interface files: rows measured for the tablet's width, the viewer's larger content area
// (768 wide) fitting the 800 x 400 photo by its width.
TEST_F(ChatSnapshotTest, TheChatAndThePictureViewerOnATablet) {
    becomeTablet();
    expectChatAndViewer("_tablet", {768, 1024}, {768, 1024}, {768, 384});
}

} // namespace
} // namespace velkora::testing
