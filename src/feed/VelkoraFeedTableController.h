// The table of a feed: rows of posts and likes from its owner (the feed screen, another user's profile),
// one of seven cell kinds per item, cached row heights, and everything a tap in a cell does: profiles,
// topics, pictures, follows, the host's actions, videos and shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/VelkoraChunkedList.h"
#include "feed/VelkoraFeedActivityOrder.h"
#include "feed/VelkoraFeedCellDelegates.h"
#include "feed/VelkoraFeedListMerge.h"
#include "feed/VelkoraFeedRowHeights.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/TableView.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"

namespace velkora {

namespace foundation {
class DispatchQueue;
}
namespace ui {
class Button;
class View;
class ViewController;
class WebView;
} // namespace ui
class VelkoraFeedCell;
class VelkoraGeneralFeatureViewController;
class VelkoraUserSignUpHelper;

// The rows an owner lists, newest first, seen where the owner keeps them (a vector or a chunked list):
// nothing is copied to read them.
class VelkoraFeedRows {
public:
    class const_iterator : public VelkoraIteratorTypes<VelkoraActivityPtr> {
    public:
        const_iterator(const VelkoraFeedRows* rows, size_t at) : rows_(rows), at_(at) {}
        reference operator*() const { return (*rows_)[at_]; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }

    private:
        const VelkoraFeedRows* rows_;
        size_t at_;
    };

    VelkoraFeedRows(const std::vector<VelkoraActivityPtr>& rows) : vector_(&rows) {}
    VelkoraFeedRows(const VelkoraChunkedList<VelkoraActivityPtr>& rows) : chunked_(&rows) {}
    size_t size() const { return vector_ ? vector_->size() : chunked_->size(); }
    bool empty() const { return size() == 0; }
    const VelkoraActivityPtr& operator[](size_t row) const { return vector_ ? (*vector_)[row] : (*chunked_)[row]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    const std::vector<VelkoraActivityPtr>* vector_ = nullptr;
    const VelkoraChunkedList<VelkoraActivityPtr>* chunked_ = nullptr;
};

// What the owner of a feed table supplies (main thread).
class VelkoraFeedTableControllerDelegate {
public:
    virtual ~VelkoraFeedTableControllerDelegate() = default;
    virtual void showSharePopup() = 0;
    virtual void hideSharePopup() = 0;
    // The rows of the table. An owner that keeps them in a vector answers `getMessagesAndLikes`; one that
    // keeps a long list in chunks answers `feedRows` itself.
    virtual VelkoraFeedRows feedRows() const { return getMessagesAndLikes(); }
    virtual const std::vector<VelkoraActivityPtr>& getMessagesAndLikes() const {
        static const std::vector<VelkoraActivityPtr> none;
        return none;
    }
    virtual void stopAnimation() = 0;
    virtual std::shared_ptr<foundation::DispatchQueue> serialQueue() = 0;
};

class VelkoraFeedTableController : public ui::TableViewDataSource,
                                   public ui::TableViewDelegate,
                                   public VelkoraFeedTableCellDelegate,
                                   public VelkoraFeedActivityCellDelegate,
                                   public VelkoraFeedLikeActivityCellDelegate,
                                   public VelkoraFeedLikeImageCellDelegate,
                                   public VelkoraFeedLikeTopicCellDelegate,
                                   public VelkoraFeedLikeTopicCommentCellDelegate,
                                   public VelkoraFeedLikeTopicImageCellDelegate,
                                   public ui::MailComposeViewControllerDelegate,
                                   public VelkoraSigninToFollowPopupHelperDelegate,
                                   public std::enable_shared_from_this<VelkoraFeedTableController> {
public:
    static constexpr const char* kActionTappedNotification = "kVelkoraNotificationActivityActionTapped";
    static constexpr const char* kChangedFollowingNotification = "VelkoraChangedFollowingNotification";

    // Makes the measuring cells and queues the height warm-up on the delegate's queue; the warm-up wires
    // the table (data source and delegate) and reloads it when it ends or is stopped.
    static std::shared_ptr<VelkoraFeedTableController>
    initWithTable(const std::shared_ptr<ui::TableView>& table,
                  const std::shared_ptr<VelkoraGeneralFeatureViewController>& parent,
                  const std::shared_ptr<VelkoraFeedTableControllerDelegate>& delegate);
    ~VelkoraFeedTableController() override;

    // Ends the warm-up (only that) and closes a playing video.
    void stop();
    // The kind (1 to 7) of an item's cell.
    static int feedCellTypeForActivity(const VelkoraActivityModel& item);

    // ---- Heights (main thread): the cache key of an item as it is now, and what measuring it needs.
    std::string heightKeyFor(const VelkoraActivityModel& item) const;
    VelkoraFeedRowText rowTextFor(const VelkoraActivityPtr& item) const;
    // The table counts rows not yet shown at an estimate: their heights are asked only as they show, so
    // an owner hands its items over without row texts.
    bool estimatesHeights() const;
    // The height key of an item in an earlier state (its change number then), at the width of now.
    VelkoraFeedListSnapshot::HeightKeyFor heightKeyOfState() const;
    const std::shared_ptr<VelkoraFeedRowHeights>& heights() const { return heights_; }
    // The owner replaced its list: heights of items no longer listed go, and a wired table reloads.
    void listHandedOver();
    // The owner changed its list by these rows (already applied to its list): their heights follow them,
    // and a wired table deletes, inserts and reloads just those rows.
    void listChanged(const VelkoraFeedListChange& change);
    // Measures the rows of the owner's list not measured yet on the owner's queue, then reloads the table:
    // for an owner that builds its list on the main thread.
    void measureListOnQueue();
    float getModelHeightForActivity(const VelkoraActivityPtr& item);
    bool isWired() const { return wired_; }
    // How many cells the table made (for the scrolling figure).
    size_t cellsMade() const { return cellsMade_; }

    // ---- Table
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;

    // ---- Cells
    void profileTapped(VelkoraFeedTableCell& cell) override;
    void otherProfileTapped(VelkoraFeedTableCell& cell) override;
    void topicTapped(VelkoraFeedTableCell& cell) override;
    void actionTapped(VelkoraFeedTableCell& cell) override;
    void unfollowTapped(VelkoraFeedTableCell& cell) override;
    void profileTapped(VelkoraFeedActivityCell& cell) override;
    void activityActionTapped(VelkoraFeedActivityCell& cell) override;
    void profileTapped(VelkoraFeedLikeActivityCell& cell) override;
    void posterProfileTapped(VelkoraFeedLikeActivityCell& cell) override;
    void activityActionTapped(VelkoraFeedLikeActivityCell& cell) override;
    void profileTapped(VelkoraFeedLikeImageCell& cell) override;
    void shareTapped(VelkoraFeedLikeImageCell& cell) override;
    void playTapped(VelkoraFeedLikeImageCell& cell) override;
    void commentTapped(VelkoraFeedLikeImageCell& cell, int32_t topicId, const std::string& objectId) override;
    void profileTapped(VelkoraFeedLikeTopicCell& cell) override;
    void topicTapped(VelkoraFeedLikeTopicCell& cell) override;
    void profileTapped(VelkoraFeedLikeTopicCommentCell& cell) override;
    void otherProfileTapped(VelkoraFeedLikeTopicCommentCell& cell) override;
    void topicTapped(VelkoraFeedLikeTopicCommentCell& cell) override;
    void profileTapped(VelkoraFeedLikeTopicImageCell& cell) override;
    void posterProfileTapped(VelkoraFeedLikeTopicImageCell& cell) override;
    void topicTapped(VelkoraFeedLikeTopicImageCell& cell) override;
    void topicImageTapped(VelkoraFeedLikeTopicImageCell& cell) override;
    bool isOpenedAsFeature() override;

    // ---- Share popup buttons (forwarded by the owner)
    void closeTapped(ui::Control* sender);
    void fbShareTapped(ui::Control* sender);
    void twitterShareTapped(ui::Control* sender);
    void emailShareTapped(ui::Control* sender);
    void mailComposeControllerDidFinish(ui::MailComposeViewController& controller, int result,
                                        const foundation::ErrorPtr& error) override;
    // The host's link for the shared object, else its own address.
    std::string linkForObjectToShare() const;

    // ---- Sign-in first
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;

    void followingDidChanged(const foundation::Notification& notification);

    const VelkoraLikeObjectPtr& objectToShare() const { return objectToShare_; }
    const VelkoraUserPtr& userToFollow() const { return userToFollow_; }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }
    // The video player over the table, while one plays.
    std::shared_ptr<ui::View> playerView() const { return playerView_; }
    std::shared_ptr<ui::WebView> playerWebView() const { return playerWebView_; }
    void closePlayer();
    const std::map<int, std::shared_ptr<VelkoraFeedCell>>& feedCellsPerType() const { return feedCellsPerType_; }

    // Runs on the owner's queue as the first warm-up starts (tests hold the queue there).
    static void setWarmUpHookForTests(std::function<void()> hook);

private:
    VelkoraFeedTableController() = default;
    void makePrototypes();
    void calculateHeightsForAllElements();
    void wireTable();
    VelkoraActivityPtr itemAt(int row) const;
    std::shared_ptr<VelkoraFeedCell> newCell(int kind);
    double rowWidth() const;
    // The row width as the height keys tell widths apart.
    int widthKey() const;
    void openProfile(const VelkoraUserPtr& user);
    void openTopicWithId(int32_t topicId, const std::string& objectId);
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);
    void handleActivityAction(ui::TableViewCell& cell, const VelkoraFeedMessagePtr& post);
    void shareConnected(int32_t method);
    ui::ViewController* presenterForMail() const;

    std::weak_ptr<ui::TableView> feedTable_;
    std::weak_ptr<VelkoraGeneralFeatureViewController> parentViewController_;
    std::weak_ptr<VelkoraFeedTableControllerDelegate> delegate_;
    std::map<int, std::shared_ptr<VelkoraFeedCell>> feedCellsPerType_;
    std::shared_ptr<VelkoraFeedRowHeights> heights_;
    // The height of each row of the owner's list as last handed over, for the width they were taken at;
    // negative until asked. Laying out thousands of rows reads these, not the keyed cache.
    std::vector<float> rowHeights_;
    int rowHeightsWidth_ = -1;
    bool cellRequested_ = false;
    bool wired_ = false;
    size_t cellsMade_ = 0;

    VelkoraUserPtr userToFollow_;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    VelkoraLikeObjectPtr objectToShare_;
    std::optional<ui::Rect> origViewFrame_;
    std::weak_ptr<ui::ViewController> mailPresenter_;
    std::shared_ptr<ui::View> playerView_;
    std::shared_ptr<ui::WebView> playerWebView_;
    foundation::NotificationObserver followingObserver_;
};

} // namespace velkora
