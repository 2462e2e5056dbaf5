#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"

namespace velkora {

// One sticker: its id and the address of its picture (what a sticker message or comment carries).
class VelkoraSticker {
    VELKORA_MODEL_PROPERTY(int32_t, stickerId, StickerId)
    VELKORA_MODEL_PROPERTY(OptionalText, url, Url)
};

using VelkoraStickerPtr = std::shared_ptr<VelkoraSticker>;

}  // namespace velkora
