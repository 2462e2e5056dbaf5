// The chat rooms: the topics the topics repository holds, one row each with its picture, title, age,
// counts and the mark of unseen comments; topics the poll brings arrive on top; a tap opens the topic.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraChatRoomsTopic.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraChatRoomsTableCellDelegate {
public:
    virtual ~VelkoraChatRoomsTableCellDelegate() = default;
    virtual void openUserProfile(const VelkoraUserPtr& user) = 0;
};

class VelkoraChatRoomsTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkorachatroomscell";
    static constexpr uint32_t kScreenId = 21;

    VelkoraChatRoomsTableCell() = default;
    const char* className() const override { return "VelkoraChatRoomsTableCell"; }
    static std::shared_ptr<VelkoraChatRoomsTableCell> initFromNib();

    void myInit();
    // Fills the row and answers its height: the bottom of the separator.
    double updateData(const VelkoraChatRoomsTopicPtr& topic, bool isCommentsFlagOn);
    void updateNewComments(bool on);
    static std::string getLastCommentTimeString(std::optional<foundation::Date> date);

    void setDelegate(std::weak_ptr<VelkoraChatRoomsTableCellDelegate> d) { delegate_ = std::move(d); }
    const VelkoraChatRoomsTopicPtr& topic() const { return topic_; }
    const std::shared_ptr<VelkoraLazyImageView>& topicImageView() const { return topicImageView_; }
    const std::shared_ptr<ui::Label>& topicTitleLabel() const { return topicTitleLabel_; }
    const std::shared_ptr<ui::Label>& topicByMessageLabel() const { return topicByMessageLabel_; }
    const std::shared_ptr<ui::Label>& topicLikesBadgeLabel() const { return topicLikesBadgeLabel_; }
    const std::shared_ptr<ui::Label>& topicCommentsBadgeLabel() const { return topicCommentsBadgeLabel_; }
    const std::shared_ptr<ui::ImageView>& topicCommentsBadgeImageView() const { return topicCommentsBadgeImageView_; }
    bool newCommentsMark() const { return newCommentsMark_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::weak_ptr<VelkoraChatRoomsTableCellDelegate> delegate_;
    VelkoraChatRoomsTopicPtr topic_;
    bool newCommentsMark_ = false;
    std::shared_ptr<VelkoraLazyImageView> topicImageView_;
    std::shared_ptr<ui::LayoutConstraint> topicImageViewHeightConstraint_;
    std::shared_ptr<ui::Label> topicTitleLabel_;
    std::shared_ptr<ui::LayoutConstraint> topicTitleLabelHeightConstraint_;
    std::shared_ptr<ui::Label> topicByMessageLabel_;
    std::shared_ptr<ui::View> topicBadgesView_;
    std::shared_ptr<ui::Label> topicLikesBadgeLabel_;
    std::shared_ptr<ui::ImageView> topicCommentsBadgeImageView_;
    std::shared_ptr<ui::Label> topicCommentsBadgeLabel_;
    std::shared_ptr<ui::ImageView> topicLineImageView_;
    std::shared_ptr<ui::LayoutConstraint> topicLineTopSpaceToBadgeViewConstraint_,
        topicLineTopSpaceToImageViewConstraint_, topicLabelTrailingSpaceToSuperviewConstraint_,
        byMessageLabelTrailingSpaceToSuperviewConstraint_;
    double originalImageHeight_ = -1;
};

class VelkoraChatRoomsViewController : public VelkoraGeneralFeatureViewController,
                                       public ui::TableViewDataSource,
                                       public ui::TableViewDelegate,
                                       public VelkoraChatRoomsTableCellDelegate {
public:
    static constexpr uint32_t kScreenId = 21;

    static std::shared_ptr<VelkoraChatRoomsViewController> initFromNib(bool showProfileButton);
    ~VelkoraChatRoomsViewController() override;
    const char* className() const override { return "VelkoraChatRoomsViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void topicsReloaded(const foundation::Notification& n);
    void gotNewTopics(const foundation::Notification& n);
    void openTopicScreen(const VelkoraChatRoomsTopicPtr& topic);
    void openUserProfile(const VelkoraUserPtr& user) override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const std::vector<VelkoraChatRoomsTopicPtr>& activeTopics() const { return activeTopics_; }
    const std::shared_ptr<ui::TableView>& topicsTable() const { return topicsTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraChatRoomsViewController();
    std::shared_ptr<VelkoraChatRoomsTableCell> preparedCell(ui::TableView& table);

    std::vector<VelkoraChatRoomsTopicPtr> activeTopics_;
    // Kept per topic object (by its id, which stays with the object for the screen's life).
    std::map<int32_t, double> topicToHeightMap_;
    std::shared_ptr<ui::TableView> topicsTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraChatRoomsTableCell> measuringCell_;
    foundation::NotificationObserver gotTopicsObserver_, newTopicsObserver_, orientationObserver_;
};

} // namespace velkora
