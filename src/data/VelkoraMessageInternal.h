#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/VelkoraProperty.h"
#include "data/VelkoraUserInternal.h"

namespace velkora {

// One private message of the inbox (and the base of a feed item).
class VelkoraMessageInternal {
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, sender, Sender)
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, otherUser, OtherUser)
    VELKORA_MODEL_PROPERTY(OptionalText, message, Message)
    VELKORA_MODEL_PROPERTY(OptionalText, contentType, ContentType)
    VELKORA_MODEL_PROPERTY(OptionalDate, time, Time)
    VELKORA_MODEL_PROPERTY(int32_t, messageId, MessageId)
    VELKORA_MODEL_PROPERTY(bool, wasRead, WasRead)
    VELKORA_MODEL_PROPERTY(OptionalText, externalLink, ExternalLink)
    VELKORA_MODEL_PROPERTY(bool, isSystem, IsSystem)
    VELKORA_MODEL_PROPERTY(OptionalText, extraData, ExtraData)
    VELKORA_MODEL_PROPERTY(int32_t, messageType, MessageType)
    VELKORA_MODEL_PROPERTY(OptionalText, messageName, MessageName)

public:
    virtual ~VelkoraMessageInternal() = default;

    // A plain-text system message shows its extra data; everything else its text.
    const OptionalText& getPlainText() const {
        return isSystem_ && contentType_ == "text/plain" ? extraData_ : message_;
    }
};

using VelkoraMessagePtr = std::shared_ptr<VelkoraMessageInternal>;

}  // namespace velkora
