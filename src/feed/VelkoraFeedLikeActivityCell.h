// Kind 3 of the feed cells: a user liked a posted activity; the liker's line above the activity with its
// poster's own line.
#pragma once

#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedLikeActivityCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedLikeActivityCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedlikeactivitycell";

    static std::shared_ptr<VelkoraFeedLikeActivityCell>
    initFromNib(std::weak_ptr<VelkoraFeedLikeActivityCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedLikeActivityCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like);
    // The poster's plain line: the poster's name and the post's text.
    static std::string posterLineFor(const VelkoraFeedMessage* post);
    void setLikedActivityLabelText(const VelkoraFeedMessagePtr& post);

    const VelkoraLikeObjectPtr& likeObject() const { return likeObject_; }
    // The liked post (the activity action manager reads it).
    VelkoraFeedMessagePtr theFeedMessage() const { return likeObject_ ? likeObject_->feedMessage() : nullptr; }
    std::shared_ptr<VelkoraFeedLikeActivityCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedLikeActivityCellDelegate> d) { delegate_ = std::move(d); }

protected:
    void styleKindParts() override;
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraLikeObjectPtr likeObject_;
    std::weak_ptr<VelkoraFeedLikeActivityCellDelegate> delegate_;
};

} // namespace velkora
