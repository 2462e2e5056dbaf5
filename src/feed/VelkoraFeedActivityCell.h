// Kind 2 of the feed cells: an activity a user posted, with its action button and description block.
#pragma once

#include "data/VelkoraFeedMessage.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedActivityCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedActivityCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedactivitycell";

    static std::shared_ptr<VelkoraFeedActivityCell>
    initFromNib(std::weak_ptr<VelkoraFeedActivityCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedActivityCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    static VelkoraFeedSentence sentenceFor(const VelkoraFeedMessage& post);

    const VelkoraFeedMessagePtr& theFeedMessage() const { return theFeedMessage_; }
    // The like the cell's button is bound to (the activity action manager reads it).
    VelkoraLikeObjectPtr likeObject() const;
    std::shared_ptr<VelkoraFeedActivityCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedActivityCellDelegate> d) { delegate_ = std::move(d); }

protected:
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraFeedMessagePtr theFeedMessage_;
    std::weak_ptr<VelkoraFeedActivityCellDelegate> delegate_;
};

} // namespace velkora
