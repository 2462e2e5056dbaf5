// Reading the device's address book for people to invite by e-mail.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "social/VelkoraSocialNetworkUser.h"

namespace velkora {

namespace ui {
class Image;
}

class VelkoraContactUser : public VelkoraSocialNetworkUser {
public:
    std::optional<std::string> getPhoto(int, int) const override { return photo_; }
    // The e-mail address when both names are empty, else the names joined by a blank.
    std::string fullName() const override;

    const std::optional<std::string>& photo() const { return photo_; }
    void setPhoto(std::optional<std::string> v) { photo_ = std::move(v); }
    const std::string& firstName() const { return firstName_; }
    void setFirstName(std::string v) { firstName_ = std::move(v); }
    const std::string& lastName() const { return lastName_; }
    void setLastName(std::string v) { lastName_ = std::move(v); }
    const std::string& email() const { return email_; }
    void setEmail(std::string v) { email_ = std::move(v); }
    const std::shared_ptr<ui::Image>& photoImage() const { return photoImage_; }
    void setPhotoImage(std::shared_ptr<ui::Image> v) { photoImage_ = std::move(v); }

private:
    std::optional<std::string> photo_;
    std::string firstName_, lastName_, email_;
    std::shared_ptr<ui::Image> photoImage_;
};

class VelkoraContactsConnctor {
public:
    // The people with a usable e-mail address, in the book's order. Waits for the person's answer to the
    // contacts prompt, so it runs off the main thread; there it logs and answers nothing, as it does
    // without access or without the AddressBook module.
    static std::vector<std::shared_ptr<VelkoraContactUser>> retrieveFriendsContactUsers();
    // The text without the Unicode space separators and tabs at its ends, cut only between characters.
    static std::string trimmed(std::string_view text);
};

} // namespace velkora
