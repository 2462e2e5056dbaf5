#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"
#include "platform/foundation/KeyedArchive.h"

namespace velkora {

// One sticker: its id and the address of its picture (what a sticker message or comment carries).
class VelkoraSticker final : public foundation::Codable {
public:
    static constexpr const char* kClassName = "VelkoraSticker";
    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& coder) const override;
    static std::shared_ptr<VelkoraSticker> initWithCoder(const foundation::KeyedUnarchiver& coder);

    VELKORA_MODEL_PROPERTY(int32_t, stickerId, StickerId)
    VELKORA_MODEL_PROPERTY(OptionalText, url, Url)
};

using VelkoraStickerPtr = std::shared_ptr<VelkoraSticker>;

}  // namespace velkora
