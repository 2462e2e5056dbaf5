#include "data/VelkoraStickerPack.h"

#include <mutex>

namespace velkora {

using foundation::KeyedArchiver;
using foundation::KeyedUnarchiver;

void VelkoraSticker::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeInt32(stickerId_, "stickerId");
    coder.encodeString(url_, "stickerUrl");
}

std::shared_ptr<VelkoraSticker> VelkoraSticker::initWithCoder(const KeyedUnarchiver& coder) {
    auto s = std::make_shared<VelkoraSticker>();
    s->stickerId_ = coder.decodeInt32("stickerId");
    s->url_ = coder.decodeString("stickerUrl");
    return s;
}

void VelkoraStickerPack::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeInt32(packId_, "packId");
    coder.encodeString(title_, "packTitle");
    coder.encodeString(subtitle_, "packSubtitle");
    coder.encodeString(productId_, "packProductId");
    coder.encodeString(icon_, "packIcon");
    std::vector<std::shared_ptr<const foundation::Codable>> stickers(stickers_.begin(), stickers_.end());
    coder.encodeCodableArray(stickers, "packStickers");
}

std::shared_ptr<VelkoraStickerPack> VelkoraStickerPack::initWithCoder(const KeyedUnarchiver& coder) {
    auto p = std::make_shared<VelkoraStickerPack>();
    p->packId_ = coder.decodeInt32("packId");
    p->title_ = coder.decodeString("packTitle");
    p->subtitle_ = coder.decodeString("packSubtitle");
    p->productId_ = coder.decodeString("packProductId");
    p->icon_ = coder.decodeString("packIcon");
    for (auto& object : coder.decodeCodableArray("packStickers"))
        if (auto sticker = std::dynamic_pointer_cast<VelkoraSticker>(object)) p->stickers_.push_back(std::move(sticker));
    return p;
}

void VelkoraStickerPack::registerForArchiving() {
    static std::once_flag once;
    std::call_once(once, [] {
        foundation::registerCodableClass<VelkoraStickerPack>();
        foundation::registerCodableClass<VelkoraSticker>();
    });
}

}  // namespace velkora
