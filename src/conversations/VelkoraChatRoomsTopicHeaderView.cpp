#include "conversations/VelkoraChatRoomsTopicHeaderView.h"

#include <algorithm>
#include <cctype>

#include "conversations/VelkoraChatRoomsTopicCells.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/WebView.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {

constexpr double kPriorityLow = 700;
constexpr double kPriorityHigh = 800;

double constantOf(const std::shared_ptr<ui::LayoutConstraint>& c) {
    return c ? c->constant() : 0;
}
void setConstant(const std::shared_ptr<ui::LayoutConstraint>& c, double v) {
    if (c) c->setConstant(v);
}
void setPriority(const std::shared_ptr<ui::LayoutConstraint>& c, double p) {
    if (c) c->setPriority(p);
}

bool containsIgnoringCase(const std::string& text, const std::string& part) {
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return it != text.end();
}

// The address goes into a page as text: nothing in it may become markup.
std::string escapedForHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

VelkoraChatRoomsTopicHeaderView::~VelkoraChatRoomsTopicHeaderView() {
    if (webView_ && webView_->isLoading()) webView_->stopLoading();
    if (topicTitleLikeButton_) topicTitleLikeButton_->setDelegate({});
}

std::shared_ptr<VelkoraChatRoomsTopicHeaderView> VelkoraChatRoomsTopicHeaderView::initFromNib() {
    registerChatRoomsViewClasses();
    auto header = std::make_shared<VelkoraChatRoomsTopicHeaderView>();
    ui::InterfaceLoader::instance().loadNibNamed(velkoraChatRoomsInterface("VelkoraChatRoomsTopicHeaderView"),
                                                 header.get());
    if (header->toplevelSubview_) {
        header->addSubview(header->toplevelSubview_);
        header->setFrame(header->toplevelSubview_->frame());
    }
    if (header->topicTitleLabel_) {
        VelkoraAppSettings::setLeadingColor(*header->topicTitleLabel_);
        header->topicTitleLabel_->setNumberOfLines(0);
        header->topicTitleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
    }
    if (header->topicTitleLikeButton_)
        header->topicTitleLikeButton_->setDelegate(std::weak_ptr<VelkoraLikeButtonDelegate>(header));
    if (header->topicTitleCommentsButton_ && header->topicTitleCommentsButton_->titleLabel())
        header->topicTitleCommentsButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    if (header->shareButton_) header->shareButton_->setHidden(true);
    if (header->webView_) {
        header->webView_->setDataDetectorTypes(~0u);
        header->webView_->setScalesPageToFit(false);
        header->webView_->setHidden(true);
    }
    if (header->refreshCommentsView_) header->refreshCommentsView_->setHidden(true);
    if (header->dataView_) header->dataView_->setHidden(true);
    header->isRefreshViewHidden_ = false;
    setConstant(header->webViewHeightConstraint_, 0);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatroomHeaderTitle(header->topicTitleLabel_.get(), kScreenId);
    style.customizeChatroomHeaderTitleSeparatorView(header->topicTitleLineImageView_.get(), kScreenId);
    style.customizeChatroomHeaderScrollButton(header->scrollButton_.get(), kScreenId);
    style.customizeChatroomHeaderCommentsButton(header->topicTitleCommentsButton_.get(), kScreenId);
    return header;
}

void VelkoraChatRoomsTopicHeaderView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("topicTitleLabel", topicTitleLabel_);
    b.outlet("titleLabelWidthConstraint", titleLabelWidthConstraint_);
    b.outlet("titleLableHeightConstraint", titleLableHeightConstraint_);
    b.outlet("titleLabelLeadingSpaceConstraint", titleLabelLeadingSpaceConstraint_);
    b.outlet("titleLabelTrailingSpaceConstraint", titleLabelTrailingSpaceConstraint_);
    b.outlet("topicTitleButtonsView", topicTitleButtonsView_);
    b.outlet("topicTitleLikeButton", topicTitleLikeButton_);
    b.outlet("topicTitleCommentsButton", topicTitleCommentsButton_);
    b.outlet("topicTitleLineImageView", topicTitleLineImageView_);
    b.outlet("webView", webView_);
    b.outlet("webViewHeightConstraint", webViewHeightConstraint_);
    b.outlet("dataView", dataView_);
    b.outlet("dataImageView", dataImageView_);
    b.outlet("dataPlayButton", dataPlayButton_);
    b.outlet("refreshCommentsViewTopSpaceToWebViewConstraint", refreshCommentsViewTopSpaceToWebViewConstraint_);
    b.outlet("refreshCommentsViewTopSpaceToDataViewConstraint", refreshCommentsViewTopSpaceToDataViewConstraint_);
    b.outlet("refreshCommentsView", refreshCommentsView_);
    b.outlet("refreshCommentsLabel", refreshCommentsLabel_);
    b.outlet("refreshImageView", refreshImageView_);
    b.outlet("loadEarlierCommentsLabel", loadEarlierCommentsLabel_);
    b.outlet("topicFooterLineImageView", topicFooterLineImageView_);
    b.outlet("topicFooterLineViewTopSpaceConstraint", topicFooterLineViewTopSpaceConstraint_);
    b.outlet("shareButton", shareButton_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("scrollButton", scrollButton_);
    b.action("shareClicked:", this, &VelkoraChatRoomsTopicHeaderView::shareClicked);
    b.action("commentsClicked:", this, &VelkoraChatRoomsTopicHeaderView::commentsClicked);
    b.action("scrollToLastCommentClicked:", this, &VelkoraChatRoomsTopicHeaderView::scrollToLastCommentClicked);
    b.action("playClicked:", this, &VelkoraChatRoomsTopicHeaderView::playClicked);
    b.action("refreshCommentsClicked:", this, &VelkoraChatRoomsTopicHeaderView::refreshCommentsClicked);
}

bool VelkoraChatRoomsTopicHeaderView::updateWithTopic(const VelkoraChatRoomsTopicPtr& topic) {
    if (!topic) return false;
    const std::string title = topic->title().value_or("");
    const std::string text = topic->text().value_or("");
    const std::string kind = topic->contentType().value_or("text/html");
    if (topicTitleLabel_) {
        topicTitleLabel_->setText(title);
        auto d = delegate_.lock();
        const double width =
            velkoraChatRoomsWidth(d ? d->isOpenedAsFeature() : true) -
            (constantOf(titleLabelLeadingSpaceConstraint_) + constantOf(titleLabelTrailingSpaceConstraint_));
        const ui::Font font = topicTitleLabel_->font() ? *topicTitleLabel_->font() : ui::Font::boldSystemFont(17);
        ui::Size size = ui::measureText(title, font, std::max(0.0, width), 0, topicTitleLabel_->lineBreakMode());
        size.height = std::min(size.height, 1000.0);
        setConstant(titleLableHeightConstraint_, size.height + 5);
        setConstant(titleLabelWidthConstraint_, std::min(size.width + 5, width));
    }
    if (topicTitleCommentsButton_) {
        const std::string count = std::to_string(topic->commentsNumber());
        topicTitleCommentsButton_->setTitle(count, ui::ControlStateNormal);
        topicTitleCommentsButton_->setTitle(count, ui::ControlStateHighlighted);
    }
    setPriority(refreshCommentsViewTopSpaceToWebViewConstraint_, kPriorityLow);
    setPriority(refreshCommentsViewTopSpaceToDataViewConstraint_, kPriorityLow);

    int32_t likeType = VelkoraLikeObject::OTHER;
    std::string likeData;
    auto showWeb = [&] {
        if (webView_) webView_->setHidden(false);
        if (dataView_) dataView_->setHidden(true);
        setPriority(refreshCommentsViewTopSpaceToWebViewConstraint_, kPriorityHigh);
    };
    if (kind == "text/html") {
        showWeb();
        if (webView_) webView_->loadHTMLString(text);
    } else if (kind == "link") {
        showWeb();
        if (webView_) webView_->loadRequest(foundation::UrlRequest::get(text));
        likeData = text;
    } else if (kind == "image") {
        if (webView_) webView_->setHidden(true);
        if (dataView_) dataView_->setHidden(false);
        if (dataPlayButton_) dataPlayButton_->setHidden(true);
        setPriority(refreshCommentsViewTopSpaceToDataViewConstraint_, kPriorityHigh);
        if (dataImageView_) dataImageView_->getImage(text);
        likeType = VelkoraLikeObject::IMAGE;
        likeData = text;
    } else if (kind == "video") {
        showWeb();
        if (webView_) webView_->loadHTMLString(getVideoEmbeddedHtml(text));
        likeType = VelkoraLikeObject::VIDEO;
        likeData = text;
    }
    if (topicTitleLikeButton_) {
        if (topic->isObject())
            topicTitleLikeButton_->updateLikeObject(likeData, likeType, topic->title());
        else
            topicTitleLikeButton_->updateLikeObjectFromChatRoomsWithTopic(topic);
    }
    resetViewFrame();
    layoutIfNeeded();
    return false;
}

std::string VelkoraChatRoomsTopicHeaderView::videoIdOf(const std::string& address) {
    if (!containsIgnoringCase(address, "youtube")) return {};
    const auto v = address.find("v=");
    if (v == std::string::npos) return {};
    const auto end = address.find('&', v + 2);
    std::string id = address.substr(v + 2, end == std::string::npos ? std::string::npos : end - v - 2);
    // The id becomes part of a page and an address: anything but its own alphabet is no id.
    const bool safe = !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
    return safe ? id : std::string();
}

std::string VelkoraChatRoomsTopicHeaderView::getVideoEmbeddedHtml(const std::string& address) {
    const std::string id = videoIdOf(address);
    if (!id.empty()) {
        const std::string embed =
            services::OutsideEndpoints::url(services::OutsideEndpoints::Service::VideoService, "/embed/" + id);
        return "<html><head><meta name = \"viewport\" content = \"initial-scale = 1.0, user-scalable = no\"/></head>"
               "<body style=\"margin-top:0px;margin-left:0px\"><iframe id=\"ytplayer\" type=\"text/html\" "
               "width=\"320\" height=\"240\" src=\"" +
               escapedForHtml(embed) + "\" frameborder=\"0\"></iframe></body></html>";
    }
    return "<html>        <head>            <meta name = \"viewport\" content = \"initial-scale = 1.0, "
           "user-scalable = no\"/>        </head>        <body style=\"margin-top:0px;margin-left:0px\">            "
           "Movie '" +
           escapedForHtml(address) + "' is unavailable        </body>    </html>";
}

std::string VelkoraChatRoomsTopicHeaderView::getVideoImageUrl(const std::string& address) {
    const std::string id = videoIdOf(address);
    if (id.empty()) return address;
    return services::OutsideEndpoints::url(services::OutsideEndpoints::Service::VideoService,
                                           "/vi/" + id + "/hqdefault.jpg");
}

void VelkoraChatRoomsTopicHeaderView::didFinishLoadingWithRefreshComments(bool newComments, bool earlierComments,
                                                                          const std::string& label) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (webView_ && !webView_->isHidden()) setConstant(webViewHeightConstraint_, webView_->documentHeight());
    const bool show = newComments || earlierComments;
    if (isRefreshViewHidden_ == show && refreshCommentsView_) {
        refreshCommentsView_->setHidden(!show);
        isRefreshViewHidden_ = refreshCommentsView_->isHidden();
        if (show) {
            setConstant(topicFooterLineViewTopSpaceConstraint_, 0);
            isRefresh_ = newComments;
            if (newComments) {
                if (loadEarlierCommentsLabel_) loadEarlierCommentsLabel_->setHidden(true);
                if (refreshCommentsLabel_) {
                    refreshCommentsLabel_->setHidden(false);
                    refreshCommentsLabel_->setText(label);
                    VelkoraAppSettings::setLeadingColor(*refreshCommentsLabel_);
                }
                if (refreshImageView_) refreshImageView_->setHidden(false);
            } else {
                if (loadEarlierCommentsLabel_) {
                    loadEarlierCommentsLabel_->setHidden(false);
                    loadEarlierCommentsLabel_->setText(label);
                    VelkoraAppSettings::setLeadingColor(*loadEarlierCommentsLabel_);
                }
                if (refreshCommentsLabel_) refreshCommentsLabel_->setHidden(true);
                if (refreshImageView_) refreshImageView_->setHidden(true);
            }
        } else {
            setConstant(topicFooterLineViewTopSpaceConstraint_, -refreshCommentsView_->frame().height());
        }
    }
    setNeedsLayout();
    resetViewFrame();
}

void VelkoraChatRoomsTopicHeaderView::resetViewFrame() {
    if (!toplevelSubview_) return;
    toplevelSubview_->layoutIfNeeded();
    ui::Rect f = toplevelSubview_->frame();
    if (topicFooterLineImageView_) f.size.height = topicFooterLineImageView_->frame().maxY();
    toplevelSubview_->setFrame(f);
    toplevelSubview_->layoutIfNeeded();
    setFrame(ui::Rect(frame().origin.x, frame().origin.y, f.width(), f.height()));
}

void VelkoraChatRoomsTopicHeaderView::likeObject(const VelkoraLikeObjectPtr& likeObject, const OptionalText&, bool) {
    if (!topicTitleLikeButton_ || !likeObject) return;
    // Rebinding would report again: the button is deaf to us for the call.
    auto keep = topicTitleLikeButton_->delegate();
    topicTitleLikeButton_->setDelegate({});
    topicTitleLikeButton_->updateLikeObject(likeObject);
    topicTitleLikeButton_->setDelegate(std::weak_ptr<VelkoraLikeButtonDelegate>(keep));
}

void VelkoraChatRoomsTopicHeaderView::shareClicked(ui::Control* sender) {
    if (auto d = delegate_.lock()) d->shareClicked(sender);
}
void VelkoraChatRoomsTopicHeaderView::commentsClicked(ui::Control* sender) {
    if (auto d = delegate_.lock()) d->commentsClicked(sender);
}
void VelkoraChatRoomsTopicHeaderView::scrollToLastCommentClicked(ui::Control* sender) {
    if (auto d = delegate_.lock()) d->scrollToLastCommentClicked(sender);
}
void VelkoraChatRoomsTopicHeaderView::playClicked(ui::Control* sender) {
    if (auto d = delegate_.lock()) d->playVideoClicked(sender);
}
void VelkoraChatRoomsTopicHeaderView::refreshCommentsClicked(ui::Control*) {
    auto d = delegate_.lock();
    if (!d) return;
    if (isRefresh_)
        d->newCommentsClicked();
    else
        d->loadEarlierCommentsClicked();
}

} // namespace velkora
