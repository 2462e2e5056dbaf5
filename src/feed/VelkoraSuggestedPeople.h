// People the service suggests to follow, as the feed's header shows them: a strip of photo tiles, each
// opening that person's profile, under a welcome line and one button that follows them all.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraUserInternal.h"
#include "feed/VelkoraFeedSentence.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class Label;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraSuggestedPersonViewDelegate {
public:
    virtual ~VelkoraSuggestedPersonViewDelegate() = default;
    virtual void suggestedUserTapped(const VelkoraUserPtr& user) = 0;
};

// One tile: the person's photo, rounded.
class VelkoraSuggestedPersonView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraSuggestedPersonView";
    static constexpr const char* kPlaceholder = "VelImg_UserThumbMediumNon.png";

    // Null when the interface file cannot be loaded (logged by the loader).
    static std::shared_ptr<VelkoraSuggestedPersonView> initFromNib();
    const char* className() const override { return "VelkoraSuggestedPersonView"; }

    void updateData(const VelkoraUserPtr& user);
    void profileTapped(ui::Control* sender);

    std::shared_ptr<VelkoraSuggestedPersonViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraSuggestedPersonViewDelegate> d) { delegate_ = std::move(d); }
    const VelkoraUserPtr& user() const { return user_; }
    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<VelkoraLazyImageView>& userView() const { return userView_; }
    // The person's short name under the photo: a face alone does not say who to follow.
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    std::weak_ptr<VelkoraSuggestedPersonViewDelegate> delegate_;
    VelkoraUserPtr user_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<VelkoraLazyImageView> userView_;
    std::shared_ptr<ui::Label> nameLabel_;
};

// The strip of tiles: centred when they fit, else scrolled to the middle of the row.
class VelkoraSuggestPeopleScrollView : public ui::ScrollView {
public:
    const char* className() const override { return "VelkoraSuggestPeopleScrollView"; }

    void clearAllPersons();
    void addPerson(const VelkoraUserPtr& user, std::weak_ptr<VelkoraSuggestedPersonViewDelegate> delegate);
    void doneAddingPersons();
    int numPersons() const { return numPersons_; }

private:
    int numPersons_ = 0;
    double tileWidth_ = 0;
};

// The feed's header of suggestions, made from the feed screen's interface file.
class VelkoraFeedSuggestionView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr uint32_t kScreenId = 6;

    const char* className() const override { return "VelkoraFeedSuggestionView"; }

    void myInit();
    void setNumToFollow(int count);
    void setUserToFollow(const VelkoraUserPtr& user);

    const std::shared_ptr<ui::Label>& welcomeLabel() const { return welcomeLabel_; }
    const std::shared_ptr<ui::Label>& checkoutLabel() const { return checkoutLabel_; }
    const std::shared_ptr<VelkoraSuggestPeopleScrollView>& peopleScrollView() const { return peopleScrollView_; }
    const std::shared_ptr<ui::Button>& followAllButton() const { return followAllButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    void setFollowAllTitle(const std::string& title);

    std::shared_ptr<ui::Label> welcomeLabel_, checkoutLabel_;
    std::shared_ptr<VelkoraSuggestPeopleScrollView> peopleScrollView_;
    std::shared_ptr<ui::Button> followAllButton_;
};

// The text of a key with its "%@" replaced by the argument (a text of the table is never a printf format).
std::string velkoraFeedTextWith(const std::string& key, const std::string& argument);

} // namespace velkora
