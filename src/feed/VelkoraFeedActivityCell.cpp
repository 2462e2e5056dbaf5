#include "feed/VelkoraFeedActivityCell.h"

#include "feed/VelkoraLikeButton.h"

namespace velkora {

std::shared_ptr<VelkoraFeedActivityCell>
VelkoraFeedActivityCell::initFromNib(std::weak_ptr<VelkoraFeedActivityCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedActivityCell>(kLayoutName, 2);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

bool VelkoraFeedActivityCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedActivityCell::sentenceFor(const VelkoraFeedMessage& post) {
    const std::string n = velkoraNameWithInitial(post.getPoster());
    return VelkoraFeedSentence::joined(n, n, post.message().value_or(""));
}

VelkoraFeedCellText VelkoraFeedActivityCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto post = std::dynamic_pointer_cast<VelkoraFeedMessage>(item)) {
        text.activity = sentenceFor(*post).text;
        text.hasPostBlock = hasPostBlock(post.get());
    }
    return text;
}

VelkoraLikeObjectPtr VelkoraFeedActivityCell::likeObject() const {
    return likeButton_ ? likeButton_->likeObject() : nullptr;
}

void VelkoraFeedActivityCell::updateData(const VelkoraActivityPtr& item) {
    theFeedMessage_ = std::dynamic_pointer_cast<VelkoraFeedMessage>(item);
    if (!theFeedMessage_) return;
    if (likeButton_) likeButton_->updateLikeObjectFromFeed(theFeedMessage_);
    if (activityLabel_) setSentence(*activityLabel_, sentenceFor(*theFeedMessage_));
    applyText(textFor(item));
    showPhoto(userPhotoImage_.get(), theFeedMessage_->getPoster());
    if (timeLabel_) timeLabel_->setText(ageText(theFeedMessage_->time()));
    showPostBlock(theFeedMessage_.get());
}

void VelkoraFeedActivityCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::Follow) d->activityActionTapped(*this);
}

void VelkoraFeedActivityCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult&) {
    if (auto d = delegate_.lock()) d->profileTapped(*this);
}

} // namespace velkora
