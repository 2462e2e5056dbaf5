#include <gtest/gtest.h>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/KeyedArchive.h"

using namespace velkora;

namespace {

VelkoraStickerPtr sticker(int32_t id, const char* url) {
    auto s = std::make_shared<VelkoraSticker>();
    s->setStickerId(id);
    if (url) s->setUrl(std::string(url));
    return s;
}

VelkoraStickerPackPtr roundTrip(const VelkoraStickerPack& pack) {
    VelkoraStickerPack::registerForArchiving();
    std::string text = foundation::KeyedArchiver::archivedText(pack);
    foundation::ErrorPtr error;
    auto decoded = foundation::KeyedUnarchiver::unarchiveText(text, &error);
    EXPECT_EQ(error, nullptr) << text;
    return std::dynamic_pointer_cast<VelkoraStickerPack>(decoded);
}

}  // namespace

TEST(StickerArchive, PackKeepsEveryFieldAndTheStickerOrder) {
    VelkoraStickerPack pack;
    pack.setPackId(12);
    pack.setTitle(std::string("Cats"));
    pack.setSubtitle(std::string("Twelve cats"));
    pack.setProductId(std::string("com.example.cats"));
    pack.setIcon(std::string("http://i/12.png"));
    pack.setStickers({sticker(3, "http://s/3"), sticker(1, "http://s/1"), sticker(2, nullptr)});
    auto back = roundTrip(pack);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->packId(), 12);
    EXPECT_EQ(back->title(), "Cats");
    EXPECT_EQ(back->subtitle(), "Twelve cats");
    EXPECT_EQ(back->productId(), "com.example.cats");
    EXPECT_EQ(back->icon(), "http://i/12.png");
    ASSERT_EQ(back->stickers().size(), 3u);
    EXPECT_EQ(back->stickers()[0]->stickerId(), 3);
    EXPECT_EQ(back->stickers()[0]->url(), "http://s/3");
    EXPECT_EQ(back->stickers()[1]->stickerId(), 1);
    EXPECT_EQ(back->stickers()[2]->url(), std::nullopt);
}

TEST(StickerArchive, RecentPackAndTheStoredKeys) {
    VelkoraStickerPack recent;
    recent.setPackId(VelkoraStickerPack::kRecentStickersPackId);
    recent.setIcon(std::string("VelImg_RecentIcons.png"));
    std::string text = foundation::KeyedArchiver::archivedText(recent);
    for (const char* key : {"\"packId\"", "\"packIcon\"", "\"packStickers\"", "VelkoraStickerPack"}) {
        EXPECT_NE(text.find(key), std::string::npos) << key << " in " << text;
    }
    auto back = roundTrip(recent);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->packId(), -1);
    EXPECT_EQ(back->icon(), "VelImg_RecentIcons.png");
    EXPECT_EQ(back->title(), std::nullopt);
    EXPECT_EQ(back->productId(), std::nullopt);
    EXPECT_TRUE(back->isFree());
    EXPECT_TRUE(back->stickers().empty());

    std::string stickerText = foundation::KeyedArchiver::archivedText(*sticker(4, "http://s/4"));
    EXPECT_NE(stickerText.find("\"stickerId\""), std::string::npos);
    EXPECT_NE(stickerText.find("\"stickerUrl\""), std::string::npos);
    // The id is stored by the integer coder, the texts as objects.
    EXPECT_NE(text.find("\"packId\":{\"int32\":-1}"), std::string::npos) << text;
}

TEST(StickerArchive, MissingKeysReadAsZeroOrUnset) {
    VelkoraStickerPack::registerForArchiving();
    auto decoded = foundation::KeyedUnarchiver::unarchiveText(
        R"({"archive":"velkora.keyed-archive","version":1,"root":{"class":"VelkoraStickerPack","keys":{)"
        R"("packTitle":{"object":{"string":"T"}},"packId":{"object":{"string":"7"}},"unknown":{"int32":3},)"
        R"("packStickers":{"object":{"array":[{"coded":{"class":"VelkoraStickerPack","keys":{}}},)"
        R"({"coded":{"class":"VelkoraSticker","keys":{"stickerId":{"int32":5}}}}]}}}}})");
    auto pack = std::dynamic_pointer_cast<VelkoraStickerPack>(decoded);
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->packId(), 0);  // stored with another coder type: not an id
    EXPECT_EQ(pack->title(), "T");
    EXPECT_EQ(pack->icon(), std::nullopt);
    ASSERT_EQ(pack->stickers().size(), 1u);  // a pack inside the sticker list is not a sticker
    EXPECT_EQ(pack->stickers()[0]->stickerId(), 5);
    EXPECT_EQ(pack->stickers()[0]->url(), std::nullopt);
}
