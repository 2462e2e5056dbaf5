#include "feed/VelkoraFeedLikeImageCell.h"

#include "feed/VelkoraLikeButton.h"
#include "platform/ui/Image.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraImageFetcher.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

std::shared_ptr<VelkoraFeedLikeImageCell>
VelkoraFeedLikeImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeImageCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedLikeImageCell>(kLayoutName, 4);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

void VelkoraFeedLikeImageCell::styleKindParts() {
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatroomHeaderCommentsButton(commentButton_.get(), kStyleScreen);
    style.customizeTableCellShareButton(shareButton_.get(), kStyleScreen);
}

bool VelkoraFeedLikeImageCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedLikeImageCell::sentenceFor(const VelkoraLikeObject& like) {
    const std::string n = velkoraNameWithInitial(like.getPoster());
    return VelkoraFeedSentence::joined(n, n, velkoraFeedText("velkora_text_liked"), like.description().value_or(""));
}

VelkoraFeedCellText VelkoraFeedLikeImageCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) {
        text.activity = sentenceFor(*like).text;
        text.hasPicture = hasPicture(*like);
    }
    return text;
}

bool VelkoraFeedLikeImageCell::hasPicture(const VelkoraLikeObject& like) {
    return like.type() == VelkoraLikeObject::IMAGE || like.type() == VelkoraLikeObject::VIDEO;
}

void VelkoraFeedLikeImageCell::updateData(const VelkoraActivityPtr& item) {
    likeObject_ = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!likeObject_) return;
    const auto& like = *likeObject_;
    fillLikeRow(likeObject_, sentenceFor(like));
    if (commentButton_) {
        commentButton_->setDelegate(std::weak_ptr<VelkoraCommentButtonDelegate>(sharedAs<VelkoraFeedLikeImageCell>()));
        commentButton_->updateCommentObjectWithLikeObject(likeObject_);
    }
    applyText(textFor(item));
    // Another host object (a recipe, a level) has no picture here: the row gives up the slot rather than
    // show a stand-in that would read as a picture of someone.
    const bool picture = hasPicture(like);
    setShown(theImageView_.get(), picture);
    if (theImageHeightConstraint_) theImageHeightConstraint_->setConstant(picture ? geometry_.pictureHeight : 0.0);
    if (theImageView_) {
        // The placeholder goes in past the resized-images cache, so the next picture is not taken for it.
        theImageView_->setUsingResizedImagesCache(false);
        theImageView_->setImage(ui::Image::named(kEmptyPicture));
        theImageView_->setUsingResizedImagesCache(true);
        theImageView_->setResizeTarget(theImageView_->frame().size);
        if (like.type() == VelkoraLikeObject::IMAGE && like.data())
            theImageView_->getImage(*like.data());
        else if (like.type() == VelkoraLikeObject::VIDEO && like.calculatedImageUrl())
            theImageView_->getImage(*like.calculatedImageUrl());
    }
    setShown(playButton_.get(), like.type() == VelkoraLikeObject::VIDEO);
    bool share = true;
    if (auto fetcher = VelkoraAgentInternal::instance().imageFetcher())
        share = fetcher->shouldEnableImageShare(like.data().value_or(""));
    setShown(shareButton_.get(), share);
}

void VelkoraFeedLikeImageCell::commentButtonClicked(int32_t topicId, const std::string& objectId) {
    if (auto d = delegate_.lock()) d->commentTapped(*this, topicId, objectId);
}

void VelkoraFeedLikeImageCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::Share) d->shareTapped(*this);
    if (action == Action::Play) d->playTapped(*this);
}

void VelkoraFeedLikeImageCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult&) {
    if (auto d = delegate_.lock()) d->profileTapped(*this);
}

} // namespace velkora
