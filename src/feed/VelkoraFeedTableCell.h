// Kind 1 of the feed cells: a user started following another, joined the application, or commented on a
// chat-room topic, with the follow and unfollow buttons.
#pragma once

#include "data/VelkoraFeedMessage.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedTableCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedSimpleCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedsimplecell";

    static std::shared_ptr<VelkoraFeedTableCell> initFromNib(std::weak_ptr<VelkoraFeedTableCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedTableCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    void updatePostTapped() override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    void setupFollowButton(const VelkoraUserPtr& user, int32_t messageType);
    // The sentence of a post, and the link ids it uses.
    static VelkoraFeedSentence sentenceFor(const VelkoraFeedMessage& message);
    static std::string linkIdOf(const VelkoraUserPtr& user);

    const VelkoraFeedMessagePtr& theMessage() const { return theMessage_; }
    const std::string& senderId() const { return senderId_; }
    const std::string& otherUserId() const { return otherUserId_; }
    std::shared_ptr<VelkoraFeedTableCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedTableCellDelegate> d) { delegate_ = std::move(d); }

protected:
    void styleKindParts() override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    void setActivityLabelText();

    VelkoraFeedMessagePtr theMessage_;
    std::string senderId_;
    std::string otherUserId_;
    std::weak_ptr<VelkoraFeedTableCellDelegate> delegate_;
};

} // namespace velkora
