// What the people list screens (find, invite, user lists, the bio editor) and the radar share: texts with a
// number or a name filled in, pushing a screen made by feature name or by hand with the container handed
// on, the classes their interface files name, the look of their rows, their tables let go, and the
// notifications they hear while they live.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Keyboard.h"

namespace velkora {

namespace ui {
class GestureRecognizer;
class ImageView;
class Label;
class TableView;
class TableViewCell;
class TextField;
class View;
class ViewController;
} // namespace ui
class VelkoraGeneralFeatureViewController;
class VelkoraLazyImageView;
class VelkoraUserSignUpHelper;

namespace friends {

// The text of a key with its first "%d" (or "%@") replaced by the number.
std::string textWithNumber(const std::string& key, long long number);
// The text of a key with its first "%@" (or "%d") replaced by the text.
std::string textWithText(const std::string& key, const std::string& text);

// Pushes `screen` animated on `from`'s navigation stack with `from`'s container; false without a stack.
bool push(VelkoraGeneralFeatureViewController& from, const std::shared_ptr<ui::ViewController>& screen);
// The same with a screen made by feature name (logged when nobody registered it).
bool pushFeature(VelkoraGeneralFeatureViewController& from, const std::string& feature,
                 const foundation::Value& arguments = {});

// The grey of a selected row, as a view of the cell's frame, also handed back for the style hook.
std::shared_ptr<ui::View> giveSelectedBackground(ui::TableViewCell& cell);

// Lays the cell's background, content and selected background at x = 0 across the width the screen is
// laid out for.
void layoutCellAcrossScreen(ui::TableViewCell& cell, bool openedAsFeature);

// The search field out of the content view's layout, its icon as its left view, hidden until people come.
void prepareSearchField(ui::View* content, ui::TextField* field, const std::shared_ptr<ui::ImageView>& icon);
// Shows the search field as the table's header.
void showSearchField(ui::TableView& table, const std::shared_ptr<ui::TextField>& field);

// While the keyboard shows, a tap on `root` ends editing: the recogniser is added once and only the one
// added here is removed again, whatever else the view holds.
void addEndEditingTap(const std::shared_ptr<ui::View>& root, std::weak_ptr<ui::GestureRecognizer>& tap);
void removeEndEditingTap(ui::View* root, std::weak_ptr<ui::GestureRecognizer>& tap);

// The screen's keyboardWillShow and keyboardWillHide, called for as long as the screen lives.
template <class Screen>
void observeKeyboard(const std::weak_ptr<Screen>& screen, foundation::NotificationObserver& shown,
                     foundation::NotificationObserver& hidden) {
    shown = foundation::NotificationObserver(ui::kKeyboardWillShowNotification, nullptr,
                                             [screen](const foundation::Notification& n) {
                                                 if (auto s = screen.lock()) s->keyboardWillShow(n);
                                             });
    hidden = foundation::NotificationObserver(ui::kKeyboardWillHideNotification, nullptr,
                                              [screen](const foundation::Notification& n) {
                                                  if (auto s = screen.lock()) s->keyboardWillHide(n);
                                              });
}

// The screen's followingDidChanged, called on "VelkoraChangedFollowingNotification" while the screen lives.
template <class Screen> foundation::NotificationObserver observeFollowing(const std::weak_ptr<Screen>& screen) {
    return foundation::NotificationObserver("VelkoraChangedFollowingNotification", nullptr,
                                            [screen](const foundation::Notification& n) {
                                                if (auto s = screen.lock()) s->followingDidChanged(n);
                                            });
}

// A list's table lets go of its screen as data source and delegate: the table may outlive the screen.
void detachTable(ui::TableView* table);

// A friend's row: a background of its own, the name in the leading colour, the photo with round corners,
// from the picture cache.
void styleFriendRow(ui::TableViewCell& cell, ui::Label* name, VelkoraLazyImageView* photo);

// Connects Facebook (method 2) or Twitter (method 3) as the find and invite screens do: the network's
// connector identifies the person, then the sign-up helper (made on the first connect and kept) attaches
// the identity: connect type 0, justUid unless the user is anonymous, the implicit switch on. The owner
// holds it; once it is gone, late answers reach nobody.
class NetworkConnect : public std::enable_shared_from_this<NetworkConnect> {
public:
    using Connected = std::function<void(int32_t method)>;
    static std::shared_ptr<NetworkConnect> create(Connected connected);
    ~NetworkConnect();
    // `view` shows the Twitter connector's popups.
    void connect(int32_t method, ui::View* view);
    const std::shared_ptr<VelkoraUserSignUpHelper>& userSignUpHelper() const { return userSignUpHelper_; }

private:
    explicit NetworkConnect(Connected connected) : connected_(std::move(connected)) {}
    void gotDetails(const foundation::Value& details, int32_t method);

    Connected connected_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
};

// The classes the friends and radar interface files name, registered once with the loader.
void registerFriendsViewClasses();

} // namespace friends
} // namespace velkora
