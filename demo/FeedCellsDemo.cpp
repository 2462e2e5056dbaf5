// What a host sees of the feed's controls: its own screen with a picture, the like and comment controls
// (the picture is liked), and every seeded kind of feed row as the feed shows it.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DemoSteps.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "host/HostInternals.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "server/VelkoraMessagesDelegate.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "shell/VelkoraLazyImageView.h"
#include "velkora/VelkoraCommentButton.h"
#include "velkora/VelkoraHost.h"
#include "velkora/VelkoraLikeButton.h"

namespace {

using namespace velkora;

bool settled(foundation::RunLoop& loop) {
    return loop.runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 10);
}

// The feed's rows as the kit reads them from the update poll: the application's items and likes.
std::vector<VelkoraActivityPtr> seededRows(demo::Demo& demo) {
    auto& loop = demo.loop();
    std::vector<VelkoraActivityPtr> rows;
    auto feed = std::make_shared<VelkoraMessagesDelegate>();
    feed->gotMessages = [&](const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
        for (const auto& m : messages.value_or(std::vector<VelkoraMessagePtr>()))
            if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(m)) rows.push_back(post);
    };
    feed->gotLikes = [&](const std::vector<VelkoraLikeObjectPtr>& likes) {
        rows.insert(rows.end(), likes.begin(), likes.end());
    };
    VelkoraServerApi::setFeedDelegate(feed);
    // Read from the start, as a feed that was reset does. A poll already on its way answers from its own
    // cursors, so the reading starts again until every kind of row has come.
    auto kinds = [&] {
        std::map<std::string, bool> seen;
        for (const auto& row : rows) {
            if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(row))
                seen["post" + std::to_string(post->messageType())] = true;
            if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(row))
                seen["like" + std::to_string(like->type())] = true;
        }
        return seen.size();
    };
    for (int attempt = 0; attempt < 6 && kinds() < 10; ++attempt) {
        VelkoraServerClientAgent::instance().setLastFeedChangeNumber(0);
        VelkoraServerClientAgent::instance().setLastLikesChangeNumber(0);
        VelkoraServerApi::updateNow();
        loop.runUntil([&] { return kinds() >= 10; }, 5);
    }
    VelkoraServerApi::setFeedDelegate({});
    return rows;
}

std::shared_ptr<VelkoraFeedCell> cellFor(const VelkoraActivityPtr& item, std::string& name) {
    if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(item)) {
        const int type = post->messageType();
        if (type >= 1 && type <= 3) {
            name = "feed-cell-kind1-type" + std::to_string(type);
            return VelkoraFeedTableCell::initFromNib({});
        }
        name = "feed-cell-kind2-activity";
        return VelkoraFeedActivityCell::initFromNib({});
    }
    auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!like) return nullptr;
    switch (like->type()) {
    case VelkoraLikeObject::POST:
        name = "feed-cell-kind3-liked-activity";
        return VelkoraFeedLikeActivityCell::initFromNib({});
    case VelkoraLikeObject::TOPIC:
        name = "feed-cell-kind5-topic";
        return VelkoraFeedLikeTopicCell::initFromNib({});
    case VelkoraLikeObject::COMMENT:
        if (like->chatRoomsComment() && like->chatRoomsComment()->contentType() == "image") {
            name = "feed-cell-kind7-image-comment";
            return VelkoraFeedLikeTopicImageCell::initFromNib({});
        }
        name = "feed-cell-kind6-comment";
        return VelkoraFeedLikeTopicCommentCell::initFromNib({});
    default:
        name = "feed-cell-kind4-" + like->getObjectTypeStr().value_or("NONE");
        return VelkoraFeedLikeImageCell::initFromNib({});
    }
}

} // namespace

// After the host's own start: the controls wait for the kit to be ready.
VELKORA_DEMO_STEP(feedCells, 910, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerVelkoraFeedClasses();
    auto& loop = demo.loop();
    bool shown = true;

    // The host's own screen: a picture of the service's with the kit's like and comment controls under it,
    // placed through the public headers.
    const std::string picture =
        "https://127.0.0.1:" + std::to_string(demo.servicePort()) + "/pictures/feed/harbour.png";
    auto window = VelkoraWindow::create();
    window->setRootScreen(VelkoraHostScreen::create("Pictures"));
    auto& hostWindow = *window->impl()->window;
    auto heading = ui::Label::create({20, 40, 280, 30});
    heading->setText("Harbour at dawn");
    heading->setFont(ui::Font::boldSystemFont(20));
    hostWindow.addSubview(heading);
    auto photo = VelkoraLazyImageView::create({20, 80, 280, 200});
    photo->getImage(picture);
    hostWindow.addSubview(photo);
    auto like = host::VelkoraLikeButton::create({20, 290, 64, 28});
    like->addTo(window);
    like->updateLikeObject(picture, host::VelkoraLikeButton::IMAGE, std::string("Harbour at dawn"));
    auto comment = host::VelkoraCommentButton::create({100, 290, 64, 28});
    comment->addTo(window);
    comment->updateImageCommentObject(picture, std::string("Harbour at dawn"));
    window->makeKeyAndVisible();
    loop.runUntil([&] { return like->isReady() && comment->isReady(); }, 10);
    demo.say("the host's picture has " + std::to_string(like->count()) + " like(s) and " +
             std::to_string(comment->count()) + " comment(s)");
    if (!like->isLiked()) like->clickLike();
    shown &= loop.runUntil([&] { return !like->isPending(); }, 10) && like->isLiked();
    demo.say("the user liked it: " + std::to_string(like->count()) + " like(s) now");
    shown &= demo.writePng(hostWindow, "feed-host-buttons");

    // Every seeded kind of row, at its measured height.
    std::map<std::string, bool> written;
    for (const auto& item : seededRows(demo)) {
        std::string name;
        auto cell = cellFor(item, name);
        if (!cell || written.count(name)) continue;
        cell->reset();
        const float height = cell->getHeight(item);
        cell->updateData(item);
        settled(loop);
        // A liked picture of the host's is shown once it has come.
        if (name == "feed-cell-kind4-IMAGE" && cell->theImageView())
            loop.runUntil([&] { return cell->theImageView()->imageLoaded(); }, 5);
        cell->setFrame({0, 0, cell->frame().width(), height});
        cell->setNeedsLayout();
        cell->layoutIfNeeded();
        written[name] = demo.writePng(*cell, name);
    }
    demo.say("feed rows shown: " + std::to_string(written.size()));
    shown &= written.size() >= 9;
    return shown;
}
