#include "feed/VelkoraFeedLikeTopicImageCell.h"

#include "feed/VelkoraLikeButton.h"

namespace velkora {

std::shared_ptr<VelkoraFeedLikeTopicImageCell>
VelkoraFeedLikeTopicImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedLikeTopicImageCell>(kLayoutName, 7);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

bool VelkoraFeedLikeTopicImageCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedLikeTopicImageCell::sentenceFor(const VelkoraLikeObject& like) {
    const std::string n = velkoraNameWithInitial(like.getPoster());
    return VelkoraFeedSentence::joined(n, n, velkoraFeedText("velkora_text_liked_a_topic_image"));
}

VelkoraFeedSentence VelkoraFeedLikeTopicImageCell::posterSentenceFor(const VelkoraChatRoomsTopicPtr& topic,
                                                                     const VelkoraChatRoomsCommentPtr& comment) {
    const auto author = comment ? comment->user() : nullptr;
    const std::string p = velkoraNameWithInitial(author);
    const std::string key = velkoraFeedText("velkora_text_posted_an_image");
    const std::string title = topic ? topic->title().value_or("") : std::string();
    VelkoraFeedSentence s = VelkoraFeedSentence::joined(p, velkoraUserIdOf(author), key, title);
    s.link(ui::utf16::length(p) + ui::utf16::length(key) + 2, ui::utf16::length(title), title);
    return s;
}

VelkoraFeedCellText VelkoraFeedLikeTopicImageCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) {
        text.activity = sentenceFor(*like).text;
        text.poster = posterSentenceFor(like->chatRoomsTopic(), like->chatRoomsComment()).text;
    }
    return text;
}

void VelkoraFeedLikeTopicImageCell::updateData(const VelkoraActivityPtr& item) {
    likeObject_ = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!likeObject_) return;
    fillLikeRow(likeObject_, sentenceFor(*likeObject_));
    const auto& comment = likeObject_->chatRoomsComment();
    setLikedActivityLabelText(likeObject_->chatRoomsTopic(), comment);
    applyText(textFor(item));
    showPhoto(posterUserPhotoImage_.get(), comment ? comment->user() : nullptr);
    // The comment's own age: the comment is shared with the topics' repository and is left as it is.
    const OptionalDate commentTime = comment ? comment->dateTime() : std::nullopt;
    if (posterTimeLabel_) {
        posterTimeLabel_->setHidden(!commentTime);
        posterTimeLabel_->setText(ageText(commentTime));
    }
    showPicture(topicImageView_.get(),
                comment && comment->text() ? std::optional(velkoraSmallImageUrl(*comment->text())) : std::nullopt);
}

void VelkoraFeedLikeTopicImageCell::setLikedActivityLabelText(const VelkoraChatRoomsTopicPtr& topic,
                                                              const VelkoraChatRoomsCommentPtr& comment) {
    if (auto label = std::dynamic_pointer_cast<VelkoraAttributedLabel>(posterActivityLabel_))
        setSentence(*label, posterSentenceFor(topic, comment));
}

void VelkoraFeedLikeTopicImageCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::PosterProfile) d->posterProfileTapped(*this);
    if (action == Action::TopicImage) d->topicImageTapped(*this);
    if (action == Action::Topic) d->topicTapped(*this);
}

void VelkoraFeedLikeTopicImageCell::linkTapped(VelkoraAttributedLabel& label, const ui::TextCheckingResult& link) {
    auto d = delegate_.lock();
    if (!d) return;
    if (&label == activityLabel_.get()) {
        d->profileTapped(*this);
        return;
    }
    const auto& comment = likeObject_ ? likeObject_->chatRoomsComment() : nullptr;
    if (comment && link.replacementString == velkoraUserIdOf(comment->user()))
        d->posterProfileTapped(*this);
    else
        d->topicTapped(*this);
}

} // namespace velkora
