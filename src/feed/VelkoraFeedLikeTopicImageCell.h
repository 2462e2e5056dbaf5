// Kind 7 of the feed cells: a user liked an image comment: the liker's line, the line of the user who posted
// the image in the topic, and the image.
#pragma once

#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedLikeTopicImageCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedLikeTopicImageCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedliketopicimagecell";

    static std::shared_ptr<VelkoraFeedLikeTopicImageCell>
    initFromNib(std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedLikeTopicImageCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like);
    // The image's poster, the "posted an image" text and the topic's title, both names linked.
    static VelkoraFeedSentence posterSentenceFor(const VelkoraChatRoomsTopicPtr& topic,
                                                 const VelkoraChatRoomsCommentPtr& comment);
    void setLikedActivityLabelText(const VelkoraChatRoomsTopicPtr& topic, const VelkoraChatRoomsCommentPtr& comment);

    const VelkoraLikeObjectPtr& likeObject() const { return likeObject_; }
    std::shared_ptr<VelkoraFeedLikeTopicImageCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate> d) { delegate_ = std::move(d); }

protected:
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraLikeObjectPtr likeObject_;
    std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate> delegate_;
};

} // namespace velkora
