#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraProperty.h"
#include "data/VelkoraSticker.h"

namespace velkora {

// One sticker pack. Id -1 is the built-in pack of recently used stickers, whose icon is an image name of
// the resource bundle rather than an address. A paid pack has a store product id.
class VelkoraStickerPack final : public foundation::Codable {
public:
    static constexpr const char* kClassName = "VelkoraStickerPack";
    std::string archiveClassName() const override { return kClassName; }
    void encodeWithCoder(foundation::KeyedArchiver& coder) const override;
    static std::shared_ptr<VelkoraStickerPack> initWithCoder(const foundation::KeyedUnarchiver& coder);
    // Makes packs and stickers decodable from archives that embed them.
    static void registerForArchiving();

    VELKORA_MODEL_PROPERTY(int32_t, packId, PackId)
    VELKORA_MODEL_PROPERTY(OptionalText, title, Title)
    VELKORA_MODEL_PROPERTY(OptionalText, subtitle, Subtitle)
    VELKORA_MODEL_PROPERTY(OptionalText, productId, ProductId)
    VELKORA_MODEL_PROPERTY(OptionalText, icon, Icon)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraStickerPtr>, stickers, Stickers)

public:
    std::vector<VelkoraStickerPtr>& mutableStickers() { return stickers_; }
    bool isFree() const { return !productId_ || productId_->empty(); }

    static constexpr int32_t kRecentStickersPackId = -1;
};

using VelkoraStickerPackPtr = std::shared_ptr<VelkoraStickerPack>;

}  // namespace velkora
