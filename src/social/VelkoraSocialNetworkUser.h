// An invitable friend from a social network or the address book.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace velkora {

namespace ui {
class Image;
}

class VelkoraSocialNetworkUser {
public:
    virtual ~VelkoraSocialNetworkUser() = default;
    // The address of a picture for the size in pixels, or none.
    virtual std::optional<std::string> getPhoto(int width, int height) const = 0;
    virtual std::string fullName() const = 0;
};

} // namespace velkora
