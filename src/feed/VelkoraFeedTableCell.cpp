#include "feed/VelkoraFeedTableCell.h"

#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

namespace {
constexpr double kLowPriority = 750;
constexpr double kHighPriority = 800;
} // namespace

std::shared_ptr<VelkoraFeedTableCell>
VelkoraFeedTableCell::initFromNib(std::weak_ptr<VelkoraFeedTableCellDelegate> delegate) {
    auto cell = loadCell<VelkoraFeedTableCell>(kLayoutName, 1);
    if (cell) cell->delegate_ = std::move(delegate);
    return cell;
}

void VelkoraFeedTableCell::styleKindParts() {
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellFollowButton(actionButton_.get(), kStyleScreen);
    style.customizeTableCellUnfollowButton(unfollowinButton_.get(), kStyleScreen);
    for (auto* button : {actionButton_.get(), unfollowinButton_.get()}) {
        if (!button || !button->titleLabel()) continue;
        button->titleLabel()->setTextAlignment(ui::TextAlignment::Center);
        button->titleLabel()->setNumberOfLines(2);
        button->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    }
    if (activityLabel_) activityLabel_->setDataDetectorTypes(ui::DataDetectorTypes::All);
}

std::string VelkoraFeedTableCell::linkIdOf(const VelkoraUserPtr& user) {
    if (!user) return "-";
    return user->appId().value_or("") + "-" + user->userId().value_or("");
}

VelkoraFeedSentence VelkoraFeedTableCell::sentenceFor(const VelkoraFeedMessage& message) {
    const std::string n = velkoraNameWithInitial(message.sender());
    const size_t lenN = ui::utf16::length(n);
    switch (message.messageType()) {
    case 2:
        return VelkoraFeedSentence::joined(n, linkIdOf(message.sender()), velkoraFeedText("velkora_text_joined"),
                                           VelkoraAppSettings::appName().value_or(""));
    case 1: {
        const std::string key = velkoraFeedText("velkora_text_started_following");
        const std::string o = velkoraNameWithInitial(message.otherUser());
        auto s = VelkoraFeedSentence::joined(n, linkIdOf(message.sender()), key, o);
        s.link(lenN + ui::utf16::length(key) + 2, ui::utf16::length(o), linkIdOf(message.otherUser()));
        return s;
    }
    default: {
        const std::string key = velkoraFeedText("velkora_text_commented_on");
        const std::string title = message.topicTitle().value_or("");
        auto s = VelkoraFeedSentence::joined(n, linkIdOf(message.sender()), key, title);
        s.link(lenN + ui::utf16::length(key) + 2, ui::utf16::length(title), title);
        return s;
    }
    }
}

VelkoraFeedCellText VelkoraFeedTableCell::textFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedCellText text = VelkoraFeedCell::textFor(item);
    if (auto message = std::dynamic_pointer_cast<VelkoraFeedMessage>(item)) text.activity = sentenceFor(*message).text;
    return text;
}

void VelkoraFeedTableCell::updateData(const VelkoraActivityPtr& item) {
    theMessage_ = std::dynamic_pointer_cast<VelkoraFeedMessage>(item);
    if (!theMessage_) return;
    showPhoto(userPhotoImage_.get(), theMessage_->sender());
    setActivityLabelText();
    if (timeLabel_) timeLabel_->setText(ageText(theMessage_->time()));
}

void VelkoraFeedTableCell::updatePostTapped() {
    if (theMessage_) setActivityLabelText();
}

void VelkoraFeedTableCell::setActivityLabelText() {
    const auto& message = *theMessage_;
    senderId_ = linkIdOf(message.sender());
    otherUserId_ = message.messageType() == 1 ? linkIdOf(message.otherUser()) : std::string();
    if (activityLabel_) setSentence(*activityLabel_, sentenceFor(message));
    // A joined item offers to follow the one who joined; the others the user they name.
    setupFollowButton(message.messageType() == 2 ? message.sender() : message.otherUser(), message.messageType());
}

void VelkoraFeedTableCell::setupFollowButton(const VelkoraUserPtr& user, int32_t messageType) {
    auto setPriority = [](const std::shared_ptr<ui::LayoutConstraint>& c, double p) {
        if (c) c->setPriority(p);
    };
    setPriority(nameLabelTrailingSpaceToSuperviewConstraint_, kLowPriority);
    setPriority(nameLabelTrailingSpaceToButtonsConstraint_, kLowPriority);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const bool isMe = user && me && user->userId() == me->userId();
    if (isMe || messageType == 3 || !user) {
        setShown(actionView_.get(), false);
        setPriority(nameLabelTrailingSpaceToSuperviewConstraint_, kHighPriority);
        return;
    }
    setShown(actionView_.get(), true);
    setPriority(nameLabelTrailingSpaceToButtonsConstraint_, kHighPriority);
    const std::string shortName = VelkoraUserDetailsDisplayer::nameShort(user.get());
    auto title = [&](ui::Button& b, const char* key) {
        const std::string text = velkoraFormatOnce(velkoraFeedText(key), shortName);
        b.setTitle(text, ui::ControlStateNormal);
        b.setTitle(text, ui::ControlStateHighlighted);
    };
    if (user->isFavorite()) {
        setShown(actionButton_.get(), false);
        if (unfollowinButton_) {
            unfollowinButton_->setHidden(false);
            unfollowinButton_->setEnabled(true);
            title(*unfollowinButton_, "velkora_text_following_person_button");
        }
    } else {
        if (actionButton_) {
            title(*actionButton_, "velkora_text_follow_person_button");
            actionButton_->setHidden(false);
            actionButton_->setEnabled(true);
        }
        setShown(unfollowinButton_.get(), false);
    }
}

void VelkoraFeedTableCell::performAction(Action action) {
    auto d = delegate_.lock();
    switch (action) {
    case Action::Follow:
        // Disabled until the cell is composed again, so a second tap cannot send a second follow.
        if (actionButton_) actionButton_->setEnabled(false);
        if (d) d->actionTapped(*this);
        break;
    case Action::Unfollow:
        if (unfollowinButton_) unfollowinButton_->setEnabled(false);
        if (d) d->unfollowTapped(*this);
        break;
    case Action::Profile:
        if (d) d->profileTapped(*this);
        break;
    default:
        break;
    }
}

void VelkoraFeedTableCell::linkTapped(VelkoraAttributedLabel&, const ui::TextCheckingResult& link) {
    auto d = delegate_.lock();
    if (!d) return;
    if (link.replacementString == senderId_)
        d->profileTapped(*this);
    else if (!otherUserId_.empty() && link.replacementString == otherUserId_)
        d->otherProfileTapped(*this);
    else if (theMessage_ && theMessage_->topicTitle() && link.replacementString == *theMessage_->topicTitle())
        d->topicTapped(*this);
}

} // namespace velkora
