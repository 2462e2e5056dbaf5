#include "feed/VelkoraFeedClasses.h"

#include "feed/VelkoraCommentButton.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "feed/VelkoraLikeButton.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraAttributedLabel.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

void registerVelkoraFeedClasses() {
    registerVelkoraWidgetClasses();
    VelkoraAttributedLabel::registerClass();
    VelkoraLazyImageView::registerClass();
    VelkoraLikeButton::registerClass();
    VelkoraCommentButton::registerClass();
    auto& loader = ui::InterfaceLoader::instance();
    // The list's own table: a host may open the feed before any other screen has registered it.
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (loader.hasClass("VelkoraFeedTableCell")) return;
    loader.registerClass<VelkoraFeedTableCell>("VelkoraFeedTableCell");
    loader.registerClass<VelkoraFeedActivityCell>("VelkoraFeedActivityCell");
    loader.registerClass<VelkoraFeedLikeActivityCell>("VelkoraFeedLikeActivityCell");
    loader.registerClass<VelkoraFeedLikeImageCell>("VelkoraFeedLikeImageCell");
    loader.registerClass<VelkoraFeedLikeTopicCell>("VelkoraFeedLikeTopicCell");
    loader.registerClass<VelkoraFeedLikeTopicCommentCell>("VelkoraFeedLikeTopicCommentCell");
    loader.registerClass<VelkoraFeedLikeTopicImageCell>("VelkoraFeedLikeTopicImageCell");
    // A cell's layout names the identifier the table dequeues it by.
    loader.registerProperty("reuseIdentifier", [](ui::View& view, const foundation::Value& value) {
        using Result = ui::InterfaceLoader::PropertyResult;
        auto* cell = dynamic_cast<ui::TableViewCell*>(&view);
        if (!cell) return Result::NotApplicable;
        const auto* id = value.asString();
        if (!id) return Result::BadValue;
        cell->setReuseIdentifier(*id);
        return Result::Applied;
    });
}

} // namespace velkora
