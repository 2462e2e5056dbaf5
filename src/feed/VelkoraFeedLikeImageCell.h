// Kind 4 of the feed cells: a user liked a host object (a picture, a video or another object), with its
// picture, the like, comment and share buttons, and play for a video.
#pragma once

#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraCommentButton.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedLikeImageCell : public VelkoraFeedCell, public VelkoraCommentButtonDelegate {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedLikeImageCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedimagecell";
    static constexpr const char* kEmptyPicture = "VelImg_EmptyThumb.png";

    static std::shared_ptr<VelkoraFeedLikeImageCell>
    initFromNib(std::weak_ptr<VelkoraFeedLikeImageCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedLikeImageCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like);
    // Only a picture or a video has something to show in the picture slot.
    static bool hasPicture(const VelkoraLikeObject& like);
    void commentButtonClicked(int32_t topicId, const std::string& objectId) override;

    const VelkoraLikeObjectPtr& likeObject() const { return likeObject_; }
    std::shared_ptr<VelkoraFeedLikeImageCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedLikeImageCellDelegate> d) { delegate_ = std::move(d); }

protected:
    void styleKindParts() override;
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraLikeObjectPtr likeObject_;
    std::weak_ptr<VelkoraFeedLikeImageCellDelegate> delegate_;
};

} // namespace velkora
