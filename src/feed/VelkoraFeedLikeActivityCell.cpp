#include "feed/VelkoraFeedLikeActivityCell.h"

#include "feed/VelkoraLikeButton.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

std::shared_ptr<VelkoraFeedLikeActivityCell>
VelkoraFeedLikeActivityCell::initFromNib(std::weak_ptr<VelkoraFeedLikeActivityCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedLikeActivityCell>(kLayoutName, 3);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

void VelkoraFeedLikeActivityCell::styleKindParts() {
    VelkoraStyleSheetCustomizer::instance().customizeTableCellCustomActionButton(actionButton_.get(), kStyleScreen);
}

bool VelkoraFeedLikeActivityCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedLikeActivityCell::sentenceFor(const VelkoraLikeObject& like) {
    const std::string n = velkoraNameWithInitial(like.getPoster());
    return VelkoraFeedSentence::joined(n, n, velkoraFeedText("velkora_text_liked_an_activity"));
}

std::string VelkoraFeedLikeActivityCell::posterLineFor(const VelkoraFeedMessage* post) {
    if (!post) return " ";
    return velkoraNameWithInitial(post->getPoster()) + " " + post->message().value_or("");
}

VelkoraFeedCellText VelkoraFeedLikeActivityCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) {
        text.activity = sentenceFor(*like).text;
        text.poster = posterLineFor(like->feedMessage().get());
        text.hasPostBlock = hasPostBlock(like->feedMessage().get());
    }
    return text;
}

void VelkoraFeedLikeActivityCell::updateData(const VelkoraActivityPtr& item) {
    likeObject_ = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!likeObject_) return;
    fillLikeRow(likeObject_, sentenceFor(*likeObject_));
    const auto& post = likeObject_->feedMessage();
    setLikedActivityLabelText(post);
    applyText(textFor(item));
    showPhoto(posterUserPhotoImage_.get(), post ? post->getPoster() : nullptr);
    if (posterTimeLabel_) posterTimeLabel_->setText(post ? ageText(post->time()) : std::string());
    showPostBlock(post.get());
}

void VelkoraFeedLikeActivityCell::setLikedActivityLabelText(const VelkoraFeedMessagePtr& post) {
    if (posterActivityLabel_) posterActivityLabel_->setText(posterLineFor(post.get()));
}

void VelkoraFeedLikeActivityCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::PosterProfile) d->posterProfileTapped(*this);
    if (action == Action::Follow) d->activityActionTapped(*this);
}

void VelkoraFeedLikeActivityCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult&) {
    if (auto d = delegate_.lock()) d->profileTapped(*this);
}

} // namespace velkora
