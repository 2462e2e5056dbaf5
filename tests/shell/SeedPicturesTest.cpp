// The service's own pictures: the seed's addresses name its picture route and each serves a PNG of its own.
#include <gtest/gtest.h>

#include <string_view>

#include <velkora_service/Service.h>

#include "platform/ui/Image.h"
#include "server/utils/RequestText.h"

namespace velkora::testing {
namespace {

TEST(SeedPictures, SeededAddressesReachThePictureRouteAndEachPictureDiffers) {
    service::Service svc;
    ASSERT_TRUE(svc.start());
    std::string text =
        tagRequestText(svc.endpoint() + "?command=getOtherUserData&clientType=1&build=2.5.7&appId=velkora-demo"
                                        "&userId=u-tomas&otherAppId=velkora-demo&otherUserId=u-mira");
    auto reply = svc.answer("GET", "/VelkoraServer2/api" + text.substr(svc.endpoint().size()));
    EXPECT_NE(reply.body.find(svc.baseUrl() + "/pictures/people/mira.png"), std::string::npos) << reply.body;
    EXPECT_EQ(reply.body.find("{service}"), std::string::npos);

    std::vector<std::string> seen;
    for (const char* path : {"people/mira.png", "people/tomas.png", "people/fan01.png", "stickers/smileys/1.png",
                             "stickers/spacecats/icon.png", "topics/quiz.png", "feed/aurora.png"}) {
        auto picture = svc.answer("GET", std::string("/pictures/") + path);
        ASSERT_EQ(picture.status, 200) << path;
        EXPECT_EQ(picture.contentType, "image/png");
        auto image = ui::Image::fromData(picture.body);
        ASSERT_TRUE(image) << path;
        // A person's photo is a portrait large enough for a profile's header; the others are small.
        const double side = std::string_view(path).starts_with("people/") ? 160 : 64;
        EXPECT_EQ(image->size().width, side) << path;
        EXPECT_EQ(image->size().height, side) << path;
        for (const auto& other : seen)
            EXPECT_NE(other, picture.body) << path;
        seen.push_back(picture.body);
        EXPECT_EQ(svc.requestsFor(std::string("/pictures/") + path).size(), 1u);
    }
    EXPECT_EQ(svc.answer("GET", "/pictures/people/nobody.png").status, 404);
    EXPECT_EQ(svc.answer("GET", "/VelkoraServer2/images/99.jpg").status, 404);
    EXPECT_EQ(svc.requestsFor("/VelkoraServer2/images/99.jpg").size(), 1u);
}

} // namespace
} // namespace velkora::testing
