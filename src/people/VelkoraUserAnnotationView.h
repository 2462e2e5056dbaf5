// The radar's pins: the annotation that carries one user, and the view that draws every pin, the
// device's own included, in one of four looks (an anonymous user, the anonymous device user with its
// connect prompt, a registered user with photo, name and age, and the signed-in device user like any
// registered one).
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraUserInternal.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/MapAnnotation.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraUserAnnotationView;

class VelkoraUserAnnotation : public ui::MapAnnotation {
public:
    explicit VelkoraUserAnnotation(ui::MapCoordinate coordinate) : coordinate_(coordinate) {}
    static std::shared_ptr<VelkoraUserAnnotation> initWithCoordinate(ui::MapCoordinate coordinate) {
        return std::make_shared<VelkoraUserAnnotation>(coordinate);
    }
    ui::MapCoordinate coordinate() const override { return coordinate_; }
    std::string title() const override { return "Dummy"; }
    const VelkoraUserPtr& velkoraUser() const { return velkoraUser_; }
    void setVelkoraUser(VelkoraUserPtr user) { velkoraUser_ = std::move(user); }

private:
    ui::MapCoordinate coordinate_;
    VelkoraUserPtr velkoraUser_;
};

class VelkoraUserAnnotationViewDelegate {
public:
    virtual ~VelkoraUserAnnotationViewDelegate() = default;
    virtual void signinTapped(VelkoraUserAnnotationView& view) = 0;
};

class VelkoraUserAnnotationView : public ui::MapAnnotationView, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraMapAnnotationView";
    static constexpr uint32_t kScreenId = 17;

    enum class Look { None, AnonymousFriend, AnonymousMe, RegisteredFriend };

    static std::shared_ptr<VelkoraUserAnnotationView> initWithAnnotation(std::shared_ptr<ui::MapAnnotation> annotation,
                                                                         std::string reuseIdentifier);
    VelkoraUserAnnotationView(std::shared_ptr<ui::MapAnnotation> annotation, std::string reuseIdentifier);
    const char* className() const override { return "VelkoraUserAnnotationView"; }

    void setAnnotation(std::shared_ptr<ui::MapAnnotation> annotation) override;
    void setAnnotationForAnonymousFriend(const VelkoraUserPtr& user);
    void setAnnotationForAnonymousMe(const VelkoraUserPtr& user);
    void setAnnotationForRegisteredFriend(const VelkoraUserPtr& user);
    void setAnnotationForRegisteredMe(const VelkoraUserPtr& user);
    void userTapped(ui::Control* sender);
    void signinButtonTapped(ui::Control* sender);

    Look look() const { return look_; }
    std::shared_ptr<VelkoraUserAnnotationViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraUserAnnotationViewDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<ui::ImageView>& bgImageView() const { return bgImageView_; }
    const std::shared_ptr<ui::ImageView>& userPhotoFrameImage() const { return userPhotoFrameImage_; }
    const std::shared_ptr<ui::Label>& userDetailsLabel() const { return userDetailsLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhotoImageView() const { return userPhotoImageView_; }
    const std::shared_ptr<ui::View>& anonymousUserView() const { return anonymousUserView_; }
    const std::shared_ptr<ui::View>& tapSignView() const { return tapSignView_; }
    const std::shared_ptr<ui::View>& toplevelSubviewForAnonymousMe() const { return toplevelSubviewForAnonymousMe_; }
    const std::shared_ptr<ui::Button>& connectButton() const { return connectButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void loadBody();
    void show(std::initializer_list<ui::View*> visible);

    Look look_ = Look::None;
    std::weak_ptr<VelkoraUserAnnotationViewDelegate> delegate_;
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> bgImageView_;
    std::shared_ptr<ui::ImageView> userPhotoFrameImage_;
    std::shared_ptr<ui::Label> userDetailsLabel_;
    std::shared_ptr<VelkoraLazyImageView> userPhotoImageView_;
    std::shared_ptr<ui::View> anonymousUserView_;
    std::shared_ptr<ui::View> tapSignView_;
    std::shared_ptr<ui::View> toplevelSubviewForAnonymousMe_;
    std::shared_ptr<ui::Button> connectButton_;
};

} // namespace velkora
