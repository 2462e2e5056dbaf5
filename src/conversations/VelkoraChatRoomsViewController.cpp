#include "conversations/VelkoraChatRoomsViewController.h"

#include <algorithm>

#include "conversations/VelkoraChatRoomsTopicCells.h"
#include "conversations/VelkoraChatRoomsTopicViewController.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

namespace velkora {

namespace {

constexpr double kTwoDays = 172800;
constexpr double kSelectedGrey = 29 / 255.0;

void setPriority(const std::shared_ptr<ui::LayoutConstraint>& c, double p) {
    if (c) c->setPriority(p);
}

VelkoraChatRoomsTopicsRepository& repository() {
    return VelkoraChatRoomsTopicsRepository::instance();
}

} // namespace

// ---- cell

std::shared_ptr<VelkoraChatRoomsTableCell> VelkoraChatRoomsTableCell::initFromNib() {
    registerChatRoomsViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTableCell>(
        ui::InterfaceLoader::instance().loadFirstObject(velkoraChatRoomsInterface("VelkoraChatRoomsCell")));
    if (cell) cell->myInit();
    return cell;
}

void VelkoraChatRoomsTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topicImageView", topicImageView_);
    b.outlet("topicImageViewHeightConstraint", topicImageViewHeightConstraint_);
    b.outlet("topicTitleLabel", topicTitleLabel_);
    b.outlet("topicTitleLabelHeightConstraint", topicTitleLabelHeightConstraint_);
    b.outlet("topicByMessageLabel", topicByMessageLabel_);
    b.outlet("topicBadgesView", topicBadgesView_);
    b.outlet("topicLikesBadgeLabel", topicLikesBadgeLabel_);
    b.outlet("topicCommentsBadgeImageView", topicCommentsBadgeImageView_);
    b.outlet("topicCommentsBadgeLabel", topicCommentsBadgeLabel_);
    b.outlet("topicLineImageView", topicLineImageView_);
    b.outlet("topicLineTopSpaceToBadgeViewConstraint", topicLineTopSpaceToBadgeViewConstraint_);
    b.outlet("topicLineTopSpaceToImageViewConstraint", topicLineTopSpaceToImageViewConstraint_);
    b.outlet("topicLabelTrailingSpaceToSuperviewConstraint", topicLabelTrailingSpaceToSuperviewConstraint_);
    b.outlet("byMessageLabelTrailingSpaceToSuperviewConstraint", byMessageLabelTrailingSpaceToSuperviewConstraint_);
}

void VelkoraChatRoomsTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create(bounds()));
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color::rgba(kSelectedGrey, kSelectedGrey, kSelectedGrey, 1.0));
    setSelectedBackgroundView(selected);
    if (topicTitleLabel_) {
        topicTitleLabel_->setTextColor(VelkoraAppSettings::leadingColor());
        topicTitleLabel_->setHighlightedTextColor(VelkoraAppSettings::leadingColor());
        topicTitleLabel_->setNumberOfLines(0);
        topicTitleLabel_->setLineBreakMode(ui::LineBreakMode::WordWrap);
    }
    if (topicImageViewHeightConstraint_) originalImageHeight_ = topicImageViewHeightConstraint_->constant();
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellTitleLabel(topicTitleLabel_.get(), kScreenId);
    style.customizeTableCellTimeLabel(topicByMessageLabel_.get(), kScreenId);
    style.customizeTableCellBadgeLabel(topicLikesBadgeLabel_.get(), kScreenId);
    style.customizeTableCellBadgeLabel(topicCommentsBadgeLabel_.get(), kScreenId);
    style.customizeTableCellBadgeImageView(topicCommentsBadgeImageView_.get(), kScreenId);
    style.customizeTableCellSeparatorView(topicLineImageView_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
}

double VelkoraChatRoomsTableCell::updateData(const VelkoraChatRoomsTopicPtr& topic, bool isCommentsFlagOn) {
    topic_ = topic;
    if (!topic) return frame().height();
    if (topic->hasPhoto()) {
        setPriority(topicLabelTrailingSpaceToSuperviewConstraint_, 700);
        setPriority(byMessageLabelTrailingSpaceToSuperviewConstraint_, 700);
        setPriority(topicLineTopSpaceToBadgeViewConstraint_, 700);
        setPriority(topicLineTopSpaceToImageViewConstraint_, 800);
        if (topicImageViewHeightConstraint_ && originalImageHeight_ >= 0)
            topicImageViewHeightConstraint_->setConstant(originalImageHeight_);
        if (topicImageView_) {
            topicImageView_->setHidden(false);
            topicImageView_->setUsingCache(true);
            topicImageView_->setImage(nullptr);
            topicImageView_->getImage(*topic->photoUrl());
        }
    } else {
        setPriority(topicLabelTrailingSpaceToSuperviewConstraint_, 800);
        setPriority(byMessageLabelTrailingSpaceToSuperviewConstraint_, 800);
        setPriority(topicLineTopSpaceToBadgeViewConstraint_, 800);
        setPriority(topicLineTopSpaceToImageViewConstraint_, 700);
        if (topicImageViewHeightConstraint_) topicImageViewHeightConstraint_->setConstant(0);
        if (topicImageView_) {
            topicImageView_->cancelPreviousCalls();
            topicImageView_->setHidden(true);
        }
    }
    if (topicTitleLabel_) {
        const std::string title = topic->title().value_or("");
        topicTitleLabel_->setText(title);
        setNeedsLayout();
        layoutIfNeeded();
        const ui::Font font = topicTitleLabel_->font() ? *topicTitleLabel_->font() : ui::Font::boldSystemFont(15);
        ui::Size size =
            ui::measureText(title, font, topicTitleLabel_->frame().width(), 0, topicTitleLabel_->lineBreakMode());
        if (topicTitleLabelHeightConstraint_)
            topicTitleLabelHeightConstraint_->setConstant(std::min(size.height, 1000.0) + 5);
    }
    if (topicCommentsBadgeLabel_) topicCommentsBadgeLabel_->setText(std::to_string(topic->commentsNumber()));
    if (topicLikesBadgeLabel_) topicLikesBadgeLabel_->setText(std::to_string(topic->likesNumber()));
    updateNewComments(isCommentsFlagOn);
    if (topicByMessageLabel_) topicByMessageLabel_->setText(getLastCommentTimeString(topic->dateTime()));
    setNeedsLayout();
    layoutIfNeeded();
    return topicLineImageView_ ? topicLineImageView_->frame().maxY() : frame().height();
}

void VelkoraChatRoomsTableCell::updateNewComments(bool on) {
    newCommentsMark_ = on;
    if (topicCommentsBadgeImageView_)
        topicCommentsBadgeImageView_->setImage(
            ui::Image::named(on ? "VelImg_CommentIconNew.png" : "VelImg_CommentIcon.png"));
}

std::string VelkoraChatRoomsTableCell::getLastCommentTimeString(std::optional<foundation::Date> date) {
    if (!date) return {};
    const double age = VelkoraServerClientAgent::instance().getServerTimeDiff(*date);
    if (age < kTwoDays) return VelkoraTimeIntervalDisplay::getLongDisplayString(age);
    return VelkoraTimeIntervalDisplay::getJustDate(VelkoraServerClientAgent::instance().getDateWithServerDiff(*date));
}

// ---- screen

VelkoraChatRoomsViewController::VelkoraChatRoomsViewController()
    : VelkoraGeneralFeatureViewController(velkoraChatRoomsInterface("VelkoraChatRoomsList")) {}

std::shared_ptr<VelkoraChatRoomsViewController> VelkoraChatRoomsViewController::initFromNib(bool showProfileButton) {
    registerChatRoomsViewClasses();
    auto screen = std::shared_ptr<VelkoraChatRoomsViewController>(new VelkoraChatRoomsViewController());
    screen->setShouldShowProfileButton(showProfileButton);
    return screen;
}

VelkoraChatRoomsViewController::~VelkoraChatRoomsViewController() = default;

void VelkoraChatRoomsViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("topicsTable", topicsTable_);
    b.outlet("activityIndicator", activityIndicator_);
}

void VelkoraChatRoomsViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    // Opened without a title (by a host holding the screen itself), it is named as its sidebar row is.
    if (titleText().empty())
        setTitleText(foundation::Bundle::main().localizedString("velkora_text_chatrooms_tab_title"));
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto self = sharedAs<VelkoraChatRoomsViewController>();
    if (topicsTable_) {
        topicsTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        topicsTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        topicsTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    }
    if (titleLabel() && !titleText().empty()) titleLabel()->setText(titleText());
    activeTopics_ = repository().getActiveTopics();
    const void* repo = &repository();
    gotTopicsObserver_ =
        foundation::NotificationObserver(VelkoraChatRoomsTopicsRepository::kGotTopicsNotification, repo,
                                         [this](const foundation::Notification& n) { topicsReloaded(n); });
    newTopicsObserver_ =
        foundation::NotificationObserver(VelkoraChatRoomsTopicsRepository::kNewTopicsNotification, repo,
                                         [this](const foundation::Notification& n) { gotNewTopics(n); });
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [this](const foundation::Notification&) {
                                                                if (topicsTable_) topicsTable_->reloadData();
                                                            });
    if (!repository().didFinishLoading() && activityIndicator_) activityIndicator_->startAnimating();
}

void VelkoraChatRoomsViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    if (topicsTable_) topicsTable_->reloadData();
}

void VelkoraChatRoomsViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;blogs");
}

void VelkoraChatRoomsViewController::topicsReloaded(const foundation::Notification&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    activeTopics_ = repository().getActiveTopics();
    if (topicsTable_) topicsTable_->reloadData();
}

void VelkoraChatRoomsViewController::gotNewTopics(const foundation::Notification& n) {
    const int newTopics = n.userInfo["newTopics"].int32Or(0);
    const int deletedTopics = n.userInfo["deletedTopics"].int32Or(0);
    const size_t before = activeTopics_.size();
    activeTopics_ = repository().getActiveTopics();
    if (!topicsTable_) return;
    // Rows only go in on top when the new ones are all that changed; anything else is a reload.
    if (newTopics < 1 || deletedTopics > 0 || activeTopics_.size() != before + static_cast<size_t>(newTopics)) {
        topicsTable_->reloadData();
        return;
    }
    std::vector<ui::IndexPath> rows;
    for (int i = 0; i < newTopics; ++i)
        rows.push_back(ui::IndexPath::of(i, 0));
    topicsTable_->beginUpdates();
    topicsTable_->insertRowsAtIndexPaths(rows, ui::TableViewRowAnimation::Top);
    topicsTable_->endUpdates();
}

int VelkoraChatRoomsViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(activeTopics_.size());
}

std::shared_ptr<VelkoraChatRoomsTableCell> VelkoraChatRoomsViewController::preparedCell(ui::TableView& table) {
    auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTableCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraChatRoomsTableCell::kReuseIdentifier));
    if (!cell) cell = VelkoraChatRoomsTableCell::initFromNib();
    if (cell) {
        cell->setDelegate(std::weak_ptr<VelkoraChatRoomsTableCellDelegate>(sharedAs<VelkoraChatRoomsViewController>()));
        cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
    }
    return cell;
}

ui::TableViewCellPtr VelkoraChatRoomsViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                           const ui::IndexPath& indexPath) {
    auto cell = preparedCell(table);
    if (cell && indexPath.row < static_cast<int>(activeTopics_.size())) {
        const auto& topic = activeTopics_[indexPath.row];
        cell->updateData(topic, repository().isTopicCommentsFlagOn(topic->topicId()));
    }
    return cell;
}

double VelkoraChatRoomsViewController::heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row >= static_cast<int>(activeTopics_.size())) return 0;
    const auto& topic = activeTopics_[indexPath.row];
    if (auto it = topicToHeightMap_.find(topic->topicId()); it != topicToHeightMap_.end()) return it->second;
    if (!measuringCell_) measuringCell_ = VelkoraChatRoomsTableCell::initFromNib();
    if (!measuringCell_) return 0; // no cell can be made for the row either: it takes no room
    measuringCell_->setFrame(ui::Rect(0, 0, table.bounds().width(), measuringCell_->frame().height()));
    const double h = measuringCell_->updateData(topic, repository().isTopicCommentsFlagOn(topic->topicId()));
    measuringCell_->topicImageView()->cancelPreviousCalls();
    topicToHeightMap_[topic->topicId()] = h;
    return h;
}

void VelkoraChatRoomsViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraChatRoomsViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row >= static_cast<int>(activeTopics_.size())) return;
    if (auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTableCell>(table.cellForRowAtIndexPath(indexPath)))
        cell->updateNewComments(false);
    openTopicScreen(activeTopics_[indexPath.row]);
}

void VelkoraChatRoomsViewController::openTopicScreen(const VelkoraChatRoomsTopicPtr& topic) {
    if (!topic) return;
    auto screen = VelkoraChatRoomsTopicViewController::initWithTopic(topic);
    screen->setFeatureTabDelegate(featureTabDelegate());
    repository().markCommentsViewedForTopic(topic->topicId());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsViewController::openUserProfile(const VelkoraUserPtr& user) {
    if (!user) return;
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "profile", foundation::Dictionary{{VelkoraScreenArguments::kObject1, foundation::Value::object(user)}});
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (screen)
        if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

} // namespace velkora
