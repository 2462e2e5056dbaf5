#include <gtest/gtest.h>

#include "ModelsTestSupport.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

TEST(StickerParsers, StoreAndDataPacks) {
    const char* reply = R"([
        {"id": 7, "title": "Cats", "subtitle": null, "productId": "com.x.cats", "icon": "http://i/7",
         "stickers": [{"id": 70, "url": "http://s/70"}, {"id": 71, "url": null}, "x"]},
        {"id": 8, "title": 5, "icon": null}
    ])";
    auto store = parseStickerPacks(json(reply), true);
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store[0]->packId(), 7);
    EXPECT_EQ(store[0]->title(), "Cats");
    EXPECT_EQ(store[0]->subtitle(), std::nullopt);
    EXPECT_EQ(store[0]->productId(), "com.x.cats");
    EXPECT_FALSE(store[0]->isFree());
    EXPECT_EQ(store[0]->icon(), "http://i/7");
    ASSERT_EQ(store[0]->stickers().size(), 2u);
    EXPECT_EQ(store[0]->stickers()[0]->stickerId(), 70);
    EXPECT_EQ(store[0]->stickers()[0]->url(), "http://s/70");
    EXPECT_EQ(store[0]->stickers()[1]->url(), std::nullopt);
    EXPECT_EQ(store[1]->title(), std::nullopt);
    EXPECT_EQ(store[1]->icon(), std::nullopt);
    EXPECT_TRUE(store[1]->isFree());
    EXPECT_TRUE(store[1]->stickers().empty());

    auto data = parseStickerPacks(json(reply), false);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0]->title(), std::nullopt);
    EXPECT_EQ(data[0]->productId(), std::nullopt);
    EXPECT_EQ(data[0]->icon(), "http://i/7");
    EXPECT_EQ(data[0]->stickers().size(), 2u);

    EXPECT_TRUE(parseStickerPacks(json("null"), true).empty());
    EXPECT_TRUE(parseStickerPacks(json("[]"), true).empty());
    EXPECT_TRUE(parseStickers(json("null")).empty());
}

TEST(StickerParsers, OnePack) {
    auto pack = parseStickerPack(json(R"({"id": 9, "title": "T", "icon": "http://i", "stickers": [{"id": 1}]})"));
    EXPECT_EQ(pack->packId(), 9);
    EXPECT_EQ(pack->title(), std::nullopt);
    EXPECT_EQ(pack->icon(), "http://i");
    ASSERT_EQ(pack->stickers().size(), 1u);
    EXPECT_EQ(pack->stickers()[0]->url(), std::nullopt);
    auto missing = parseStickerPack(json("null"));
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->packId(), 0);
    EXPECT_TRUE(missing->stickers().empty());
}
