// Kind 5 of the feed cells: a user liked a chat-room topic, shown by its title beside its photo.
#pragma once

#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedCell.h"
#include "feed/VelkoraFeedCellDelegates.h"

namespace velkora {

class VelkoraFeedLikeTopicCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedLikeTopicCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedliketopiccell";

    static std::shared_ptr<VelkoraFeedLikeTopicCell>
    initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedLikeTopicCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like);
    void setDescriptionViewContents(const VelkoraLikeObjectPtr& like);

    const VelkoraLikeObjectPtr& theLikeObject() const { return theLikeObject_; }
    std::shared_ptr<VelkoraFeedLikeTopicCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedLikeTopicCellDelegate> d) { delegate_ = std::move(d); }

protected:
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraLikeObjectPtr theLikeObject_;
    std::weak_ptr<VelkoraFeedLikeTopicCellDelegate> delegate_;
};

// Kind 6: a user liked a comment of a topic: the topic's title and photo with the comment under the title.
class VelkoraFeedLikeTopicCommentCell : public VelkoraFeedCell {
public:
    static constexpr const char* kLayoutName = "VelkoraFeedLikeTopicCommentCell";
    static constexpr const char* kReuseIdentifier = "Velkorafeedliketopiccommentcell";

    static std::shared_ptr<VelkoraFeedLikeTopicCommentCell>
    initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate> delegate);
    const char* className() const override { return "VelkoraFeedLikeTopicCommentCell"; }

    void updateData(const VelkoraActivityPtr& item) override;
    VelkoraFeedCellText textFor(const VelkoraActivityPtr& item) const override;
    // With a format lacking "%@" only the liker is linked, and the text is the name and the format.
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like);
    static VelkoraFeedSentence sentenceFor(const VelkoraLikeObject& like, const std::string& format);
    void setDescriptionViewContents(const VelkoraLikeObjectPtr& like);

    const VelkoraLikeObjectPtr& theLikeObject() const { return theLikeObject_; }
    std::shared_ptr<VelkoraFeedLikeTopicCommentCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate> d) { delegate_ = std::move(d); }

protected:
    bool isOpenedAsFeature() const override;
    void performAction(Action action) override;
    void linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) override;

private:
    VelkoraLikeObjectPtr theLikeObject_;
    std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate> delegate_;
};

} // namespace velkora
