// The items of bars: bar button items, tab-bar items and the navigation item of a controller.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class Image;
class View;

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

enum class BarButtonSystemItem {
    Done = 0, Cancel, Edit, Save, Add, FlexibleSpace, FixedSpace, Compose, Reply, Action, Organize,
    Bookmarks, Search, Refresh, Stop, Camera, Trash, Play, Pause, Rewind, FastForward, Undo, Redo, PageCurl,
};

class BarButtonItem : public std::enable_shared_from_this<BarButtonItem> {
public:
    using Action = std::function<void(BarButtonItem* sender)>;

    BarButtonItem() = default;
    static std::shared_ptr<BarButtonItem> create() { return std::make_shared<BarButtonItem>(); }
    static std::shared_ptr<BarButtonItem> withTitle(std::string title, BarButtonItemStyle style = BarButtonItemStyle::Plain);
    static std::shared_ptr<BarButtonItem> withImage(std::shared_ptr<Image> image, BarButtonItemStyle style = BarButtonItemStyle::Plain);
    static std::shared_ptr<BarButtonItem> withSystemItem(BarButtonSystemItem item);
    static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);

    const std::string& title() const { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> i) { image_ = std::move(i); }
    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle s) { style_ = s; }
    std::optional<BarButtonSystemItem> systemItem() const { return systemItem_; }
    const std::shared_ptr<View>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<View> v) { customView_ = std::move(v); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    double width() const { return width_; }
    void setWidth(double w) { width_ = w; }
    std::optional<Color> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<Color> c) { tintColor_ = c; }

    // The action runs while the target lives (no target: always).
    void setTarget(std::weak_ptr<void> target, Action action, std::string name = {});
    void setAction(Action action, std::string name = {}) { setTarget({}, std::move(action), std::move(name)); }
    const std::string& actionName() const { return actionName_; }
    bool hasAction() const { return static_cast<bool>(action_); }
    // A tap on the item: runs the action when the item is enabled. Answers whether it ran.
    bool tap();

private:
    std::string title_;
    std::shared_ptr<Image> image_;
    BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
    std::optional<BarButtonSystemItem> systemItem_;
    std::shared_ptr<View> customView_;
    bool enabled_ = true;
    int tag_ = 0;
    double width_ = 0;
    std::optional<Color> tintColor_;
    std::weak_ptr<void> target_;
    bool hasTarget_ = false;
    Action action_;
    std::string actionName_;
};

using BarButtonItemPtr = std::shared_ptr<BarButtonItem>;

enum class TabBarSystemItem { More = 0, Favorites, Featured, TopRated, Recents, Contacts, History, Bookmarks, Search, Downloads, MostRecent, MostViewed };

class TabBarItem {
public:
    TabBarItem() = default;
    TabBarItem(std::string title, std::shared_ptr<Image> image, int tag)
        : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}
    static std::shared_ptr<TabBarItem> create(std::string title = {}, std::shared_ptr<Image> image = nullptr, int tag = 0) {
        return std::make_shared<TabBarItem>(std::move(title), std::move(image), tag);
    }

    const std::string& title() const { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> i) { image_ = std::move(i); }
    const std::shared_ptr<Image>& selectedImage() const { return selectedImage_; }
    void setSelectedImage(std::shared_ptr<Image> i) { selectedImage_ = std::move(i); }
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    // Empty: no badge.
    const std::string& badgeValue() const { return badgeValue_; }
    void setBadgeValue(std::string b) { badgeValue_ = std::move(b); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }

private:
    std::string title_;
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> selectedImage_;
    int tag_ = 0;
    std::string badgeValue_;
    bool enabled_ = true;
};

using TabBarItemPtr = std::shared_ptr<TabBarItem>;

class NavigationItem {
public:
    const std::string& title() const { return title_; }
    void setTitle(std::string t) { title_ = std::move(t); }
    const std::shared_ptr<View>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<View> v) { titleView_ = std::move(v); }
    const std::string& prompt() const { return prompt_; }
    void setPrompt(std::string p) { prompt_ = std::move(p); }

    BarButtonItemPtr leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    void setLeftBarButtonItem(BarButtonItemPtr item, bool animated = false);
    const std::vector<BarButtonItemPtr>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated = false);
    BarButtonItemPtr rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setRightBarButtonItem(BarButtonItemPtr item, bool animated = false);
    const std::vector<BarButtonItemPtr>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<BarButtonItemPtr> items, bool animated = false);
    const BarButtonItemPtr& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(BarButtonItemPtr item) { back_ = std::move(item); }
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool h, bool /*animated*/ = false) { hidesBackButton_ = h; }

private:
    std::string title_;
    std::shared_ptr<View> titleView_;
    std::string prompt_;
    std::vector<BarButtonItemPtr> left_;
    std::vector<BarButtonItemPtr> right_;
    BarButtonItemPtr back_;
    bool hidesBackButton_ = false;
};

}  // namespace velkora::ui
