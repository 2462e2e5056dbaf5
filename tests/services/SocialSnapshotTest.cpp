// What the composers and the picker look like: the mail form, the tweet sheet, the feed dialog and the
// album, each against its reference picture.
#include "shell/WidgetSnapshot.h"
#include "SocialFixture.h"
#include "platform/services/SocialRequest.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/Snapshot.h"

namespace velkora::testing {

namespace {

using SocialSnapshotTest = SocialTest;

void expectScreenMatches(ui::ViewController& controller, const std::string& name) {
    expectMatchesReference(ui::Snapshot::imageOfView(*controller.view(), 1.0), name);
}

} // namespace

TEST_F(SocialSnapshotTest, MailForm) {
    auto mail = ui::MailComposeViewController::create();
    mail->setSubject("Join me on Velkora Demo");
    mail->setToRecipients({"ana@example.org", "cy@example.org"});
    mail->setMessageBody("I'm playing Velkora Demo: chat, quizzes and friends.<br>Come and join me!", true);
    mail->addAttachmentData("bytes", "image/png", "invite.png");
    expectScreenMatches(*mail, "mail_form");
}

TEST_F(SocialSnapshotTest, TweetSheet) {
    auto sheet = ui::ComposeViewController::composeViewControllerForServiceType(services::kServiceTypeTwitter);
    ASSERT_TRUE(sheet->setInitialText("@mira_okafor I'm playing Velkora Demo, come and join me"));
    ASSERT_TRUE(sheet->addURL("https://demo.velkora.example/join"));
    expectScreenMatches(*sheet, "tweet_sheet");
}

TEST_F(SocialSnapshotTest, FeedDialog) {
    services::facebook::WebDialogs::presentFeedDialogModallyWithSession(
        nullptr,
        {{"to", "100009000000014"},
         {"name", "Join me on Velkora Demo"},
         {"link", "https://demo.velkora.example/join"},
         {"description", "Chat, play quizzes and follow friends inside Velkora Demo."},
         {"picture", "https://demo.velkora.example/images/invite.png"}},
        nullptr);
    auto dialog = services::facebook::FeedDialogViewController::current();
    ASSERT_NE(dialog, nullptr);
    expectScreenMatches(*dialog, "feed_dialog");
    dialog->close();
}

TEST_F(SocialSnapshotTest, Album) {
    const char* colours[] = {"#1E6FD9", "#34C759", "#FF9500", "#AF52DE", "#FF3B30", "#5AC8FA"};
    std::vector<services::AlbumPhoto> album;
    for (size_t i = 0; i < 6; ++i) {
        // Wide pictures with a band, so the square crop shows.
        auto ctx = ui::GraphicsContext::bitmap({120, 80});
        ctx->setFillColor(ui::Color::fromHex(colours[i]));
        ctx->fillRect({0, 0, 120, 80});
        ctx->setFillColor(ui::Color::whiteColor());
        ctx->fillRect({0, 50, 120, 10});
        auto png = ctx->makeImage()->pngData();
        album.push_back({"photo-" + std::to_string(i) + ".png", std::string(png.begin(), png.end())});
    }
    services::Device::instance().update([&](services::DeviceProfile& p) { p.album = album; });
    auto picker = ui::ImagePickerController::create();
    picker->setSourceType(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum);
    expectScreenMatches(*picker, "album");
}

} // namespace velkora::testing
