// The chat rooms' paging against the in-process service: pages of the application's size, the followed
// topic's news in batches from the oldest with a change number that leaves nothing out, and image
// comments that are pictures, with their small copies served beside them.
#include <cstdio>
#include <cstdlib>
#include <set>

#include <jpeglib.h>

#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

std::string head(const std::string& command, const std::string& user) {
    return "command=" + command + "&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + user;
}

std::string followPoll(const std::string& user, int64_t topicId, int64_t topicCn) {
    return "command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=d&userId=" + user +
           "&wantMessages=0&changeNumber=0&wantTopics=0&wantTopic=1&topicChangeNumber=" + std::to_string(topicCn) +
           "&topicId=" + std::to_string(topicId) + "&logs=&protocolVersion=15";
}

// A grey JPEG of that size.
std::string jpegOf(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width), 128);
    while (info.next_scanline < info.image_height) {
        unsigned char* line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

std::string base64UrlOf(const std::string& bytes) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += {k[n >> 18], k[(n >> 12) & 63], k[(n >> 6) & 63], k[n & 63]};
    }
    if (i < bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= uint8_t(bytes[i + 1]) << 8;
        out += {k[n >> 18], k[(n >> 12) & 63]};
        out += i + 1 < bytes.size() ? std::string(1, k[(n >> 6) & 63]) + "=" : std::string("==");
    }
    return out;
}

TEST_F(ServiceTest, TopicPagesFollowTheApplicationsPageSize) {
    std::string a = newUser();
    const int64_t topicId = service().addTopic(app(), "Paged");
    for (int i = 0; i < 30; ++i)
        service().addTopicComment(app(), topicId, a, std::string("c").append(std::to_string(i)));
    auto page = [&] {
        return get(head("getTopic", a) + "&topicId=" + std::to_string(topicId) +
                   "&clean=0&protocolVersion=15")["topic"]["comments"]
            .size();
    };
    EXPECT_EQ(page(), 20u);
    service().setAppConfiguration(app(), R"({"maxMessagesPerUpdate":7})");
    EXPECT_EQ(page(), 7u);
    service().setAppConfiguration(app(), R"({"maxMessagesPerUpdate":0})");
    EXPECT_EQ(page(), 20u);
}

TEST_F(ServiceTest, TheFollowedTopicComesInOldestBatchesAndNothingIsSkipped) {
    std::string a = newUser(), b = newUser();
    const int64_t topicId = service().addTopic(app(), "Busy");
    Json opened = get(head("getTopic", b) + "&topicId=" + std::to_string(topicId) + "&clean=1&protocolVersion=15");
    int64_t cn = opened["topic"]["changeNumber"];
    std::vector<int64_t> added;
    for (int i = 0; i < 250; ++i)
        added.push_back(service().addTopicComment(app(), topicId, a, std::string("n").append(std::to_string(i))));
    std::vector<int64_t> seen;
    std::vector<size_t> batches;
    for (int round = 0; round < 5; ++round) {
        Json p = get(followPoll(b, topicId, cn));
        if (!p.contains("topic")) break;
        const Json& topic = p["topic"]["topic"];
        batches.push_back(topic["comments"].size());
        for (const auto& c : topic["comments"])
            seen.push_back(c["id"]);
        cn = topic["changeNumber"];
    }
    EXPECT_EQ(batches, (std::vector<size_t>{100, 100, 50}));
    EXPECT_EQ(seen, added);
}

TEST_F(ServiceTest, ImageCommentsTakeOnlyPicturesAndServeTheirSmallCopies) {
    std::string a = newUser();
    const int64_t topicId = service().addTopic(app(), "Pictures");
    const std::string jpeg = jpegOf(40, 30);
    auto send = [&](const std::string& image, const std::string& small) {
        return post("command=addImageComment&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + a + "&topicId=" +
                    std::to_string(topicId) + "&image=" + base64UrlOf(image) + "&smallImage=" + base64UrlOf(small));
    };
    EXPECT_EQ(send("not a picture at all", jpeg).value("error", ""), "BAD_REQUEST");
    EXPECT_EQ(send(jpeg, jpeg.substr(0, 40)).value("error", ""), "BAD_REQUEST");
    EXPECT_EQ(send(jpeg.substr(0, jpeg.size() - 20), jpeg).value("error", ""), "BAD_REQUEST");
    EXPECT_TRUE(service().topicCommentIds(app(), topicId).empty());

    Json ok = send(jpeg, jpeg);
    ASSERT_TRUE(ok.contains("url")) << ok;
    const std::string url = ok["url"];
    ASSERT_EQ(url.substr(url.size() - 4), ".jpg");
    const std::string path = url.substr(service().baseUrl().size());
    const std::string smallPath = path.substr(0, path.size() - 4) + "_small.jpg";
    auto full = client()->Get(path.c_str());
    auto small = client()->Get(smallPath.c_str());
    ASSERT_TRUE(full && small);
    EXPECT_EQ(full->status, 200);
    EXPECT_EQ(small->status, 200);
    EXPECT_EQ(small->body, jpeg);
    EXPECT_EQ(service().topicCommentIds(app(), topicId).size(), 1u);

    // The seeded pictures of image comments have small copies too.
    auto seededSmall = client()->Get("/pictures/rooms/sketch_small.png");
    ASSERT_TRUE(seededSmall);
    EXPECT_EQ(seededSmall->status, 200);
    EXPECT_FALSE(seededSmall->body.empty());
}

} // namespace
} // namespace velkora::service::testing
