// What the sidebar asks of a one-to-one chat screen on top of its stack: whom the chat is with, so a
// message from that very person brings no banner.
#pragma once

#include <memory>

namespace velkora {

class VelkoraUserInternal;

class VelkoraChatPartnerScreen {
public:
    virtual ~VelkoraChatPartnerScreen() = default;
    virtual std::shared_ptr<VelkoraUserInternal> chatUser() const = 0;
};

} // namespace velkora
