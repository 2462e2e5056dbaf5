// A private message as the host sees it (read-only).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "velkora/Export.h"
#include "velkora/VelkoraUser.h"

namespace velkora {

class VELKORA_EXPORT VelkoraMessage {
public:
    std::shared_ptr<VelkoraUser> sender() const;
    std::shared_ptr<VelkoraUser> otherUser() const;
    std::optional<std::string> message() const;
    std::optional<std::string> contentType() const;
    // Seconds since 1970; none when the message carries no time.
    std::optional<double> time() const;

    struct Impl;
    explicit VelkoraMessage(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace velkora
