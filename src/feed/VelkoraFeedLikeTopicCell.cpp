#include "feed/VelkoraFeedLikeTopicCell.h"

#include "feed/VelkoraLikeButton.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

namespace {

bool hasTitle(const VelkoraChatRoomsTopicPtr& topic) {
    return topic && topic->title() && !topic->title()->empty();
}

// The topic block shows for a titled topic, its photo for a topic that has one.
void showTopicBlock(VelkoraFeedCell& cell, const VelkoraChatRoomsTopicPtr& topic) {
    if (cell.descriptionView()) cell.descriptionView()->setHidden(!hasTitle(topic));
    const bool photo = topic && topic->hasPhoto();
    if (cell.descImageView()) {
        cell.descImageView()->setHidden(!photo);
        VelkoraFeedCell::showPicture(cell.descImageView().get(), photo ? topic->photoUrl() : std::nullopt);
    }
}

} // namespace

// ---- kind 5

std::shared_ptr<VelkoraFeedLikeTopicCell>
VelkoraFeedLikeTopicCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedLikeTopicCell>(kLayoutName, 5);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

bool VelkoraFeedLikeTopicCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedLikeTopicCell::sentenceFor(const VelkoraLikeObject& like) {
    const std::string n = velkoraNameWithInitial(like.getPoster());
    return VelkoraFeedSentence::joined(n, n, velkoraFeedText("velkora_text_liked_a_blog_post"));
}

VelkoraFeedCellText VelkoraFeedLikeTopicCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) {
        text.activity = sentenceFor(*like).text;
        const auto& topic = like->chatRoomsTopic();
        // A missing or empty title is measured too (as six digits), though the block is hidden then.
        text.description = topic ? topic->title().value_or("") : std::string();
        text.hasTopicPhoto = topic && topic->hasPhoto();
    }
    return text;
}

void VelkoraFeedLikeTopicCell::updateData(const VelkoraActivityPtr& item) {
    theLikeObject_ = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!theLikeObject_) return;
    fillLikeRow(theLikeObject_, sentenceFor(*theLikeObject_));
    showTopicBlock(*this, theLikeObject_->chatRoomsTopic());
    const auto& topic = theLikeObject_->chatRoomsTopic();
    if (topic && topic->title())
        setDescriptionViewContents(theLikeObject_);
    else
        setShown(descriptionLabel_.get(), false);
    applyText(textFor(item));
}

void VelkoraFeedLikeTopicCell::setDescriptionViewContents(const VelkoraLikeObjectPtr& like) {
    const auto& topic = like ? like->chatRoomsTopic() : nullptr;
    if (!descriptionLabel_) return;
    descriptionLabel_->setHidden(false);
    descriptionLabel_->setText(topic ? topic->title().value_or("") : std::string());
}

void VelkoraFeedLikeTopicCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::Topic) d->topicTapped(*this);
}

void VelkoraFeedLikeTopicCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult&) {
    if (auto d = delegate_.lock()) d->profileTapped(*this);
}

// ---- kind 6

std::shared_ptr<VelkoraFeedLikeTopicCommentCell>
VelkoraFeedLikeTopicCommentCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedLikeTopicCommentCell>(kLayoutName, 6);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

bool VelkoraFeedLikeTopicCommentCell::isOpenedAsFeature() const {
    return openedAsFeature(delegate_);
}

VelkoraFeedSentence VelkoraFeedLikeTopicCommentCell::sentenceFor(const VelkoraLikeObject& like) {
    return sentenceFor(like, velkoraFeedText("velkora_text_liked_a_blog_post_comment"));
}

VelkoraFeedSentence VelkoraFeedLikeTopicCommentCell::sentenceFor(const VelkoraLikeObject& like,
                                                                 const std::string& format) {
    const auto liker = like.getPoster();
    const auto& comment = like.chatRoomsComment();
    const auto author = comment ? comment->user() : nullptr;
    const std::string n = velkoraNameWithInitial(liker);
    const std::string a = VelkoraUserDetailsDisplayer::nameShort(author.get());
    size_t p = std::string::npos;
    const std::string k = velkoraFormatOnce(format, a, &p);
    VelkoraFeedSentence s = VelkoraFeedSentence::joined(n, velkoraUserIdOf(liker), k);
    // A format without a place for the author's name names nobody else: there is nothing to link.
    if (p != std::string::npos) s.link(ui::utf16::length(n) + p + 1, ui::utf16::length(a), velkoraUserIdOf(author));
    return s;
}

VelkoraFeedCellText VelkoraFeedLikeTopicCommentCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) {
        text.activity = sentenceFor(*like).text;
        const auto& topic = like->chatRoomsTopic();
        text.hasTopicPhoto = topic && topic->hasPhoto();
    }
    return text;
}

void VelkoraFeedLikeTopicCommentCell::updateData(const VelkoraActivityPtr& item) {
    theLikeObject_ = std::dynamic_pointer_cast<VelkoraLikeObject>(item);
    if (!theLikeObject_) return;
    fillLikeRow(theLikeObject_, sentenceFor(*theLikeObject_));
    showTopicBlock(*this, theLikeObject_->chatRoomsTopic());
    setDescriptionViewContents(theLikeObject_);
    applyText(textFor(item));
}

void VelkoraFeedLikeTopicCommentCell::setDescriptionViewContents(const VelkoraLikeObjectPtr& like) {
    const auto& topic = like ? like->chatRoomsTopic() : nullptr;
    const auto& comment = like ? like->chatRoomsComment() : nullptr;
    if (descriptionLabel_) descriptionLabel_->setText(topic ? topic->title().value_or("") : std::string());
    if (commentLabel_) commentLabel_->setText(comment ? comment->text().value_or("") : std::string());
}

void VelkoraFeedLikeTopicCommentCell::performAction(Action action) {
    auto d = delegate_.lock();
    if (!d) return;
    if (action == Action::Profile) d->profileTapped(*this);
    if (action == Action::Topic) d->topicTapped(*this);
}

void VelkoraFeedLikeTopicCommentCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult& link) {
    auto d = delegate_.lock();
    if (!d || !theLikeObject_) return;
    const auto& comment = theLikeObject_->chatRoomsComment();
    // The liker first: a liker who wrote the comment opens their own profile either way.
    if (link.replacementString == velkoraUserIdOf(theLikeObject_->getPoster()))
        d->profileTapped(*this);
    else if (comment && link.replacementString == velkoraUserIdOf(comment->user()))
        d->otherProfileTapped(*this);
}

} // namespace velkora
