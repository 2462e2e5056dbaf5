// A reply lost on its way back, after the service acted on the request: the kit's re-sends (one at once,
// in the mode that alerts) never leave a second copy on the service, and the caller hears once.
#include "ServerClientFixture.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraBase64.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

class ResendTest : public ServerClientTest {
protected:
    std::string me() const { return agent().userId().value_or(""); }
    std::string bea() {
        service::UserFields fields;
        fields.firstName = "Bea";
        return svc.createUser(kApp, fields);
    }
    // A picture whose JPEG is photo-sized: noise does not compress.
    static std::shared_ptr<ui::Image> photo(int side) {
        auto image = ui::Image::create(side, side);
        uint32_t state = 2463534242u;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                state ^= state << 13, state ^= state >> 17, state ^= state << 5;
                image->setPixelAt(x, y, 0xFF000000u | (state & 0xFFFFFF));
            }
        return image;
    }
    // Pumps the network until the command was answered or gave up, moving the test clock over each
    // one-second wait before a re-send.
    void runUntilSettled(const std::function<bool()>& heard) {
        for (int step = 0; step < 10 && !heard(); ++step) {
            size_t resends = capture_->count("Retrying");
            waitFor([&] { return heard() || capture_->count("Retrying") > resends; });
            if (!heard()) loop().advance(1.0);
        }
        settle();
    }
};

TEST_F(ResendTest, ACommandWhoseReplyIsLostIsKeptOnceAndHeardOnce) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string a = me(), b = bea();
    struct Case {
        const char* command;
        std::function<void(std::shared_ptr<Caller>)> send;
        const char* table;
        const char* column;
        std::string owner;
    } cases[] = {
        {"sendImageMessage",
         [&](std::shared_ptr<Caller> c) {
             VelkoraServerApi::uploadImageMessage(Caller::of(c), photo(300), photo(40), std::string(kApp), b);
         },
         "messages", "sender_user_id", a},
        {"sendMessage",
         [&](std::shared_ptr<Caller> c) {
             VelkoraServerApi::sendMessage(std::string("only once"), std::string(kApp), b, std::string("text/plain"),
                                           Caller::of(c));
         },
         "messages", "sender_user_id", a},
        {"setScore", [&](std::shared_ptr<Caller>) { VelkoraServerApi::setScore(std::string("7"), 300); }, "scores",
         "user_id", a},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        int64_t before = svc.rowCount(c.table, c.column, c.owner);
        size_t scoreIdBefore = agent().lastSetScoreId();
        svc.addFault({c.command, Fault::Kind::RunThenDrop, ""});
        auto caller = std::make_shared<Caller>();
        c.send(caller);
        bool isScore = std::string(c.command) == "setScore";
        runUntilSettled([&] {
            return caller->answers.size() + caller->errors.size() > 0 ||
                   (isScore && size_t(agent().lastSetScoreId()) != scoreIdBefore);
        });
        loop().advance(10); // any re-send still due would go out now
        settle();

        EXPECT_EQ(svc.rowCount(c.table, c.column, c.owner), before + 1);
        EXPECT_GE(count(c.command), 2u);
        if (isScore) {
            EXPECT_NE(size_t(agent().lastSetScoreId()), scoreIdBefore) << "the id of the one score kept";
            EXPECT_EQ(svc.rowCount("scores", "id", std::to_string(agent().lastSetScoreId())), 1);
            continue;
        }
        EXPECT_EQ(caller->answers.size() + caller->errors.size(), 1u);
        EXPECT_EQ(caller->answers.size(), 1u);
        svc.clearRequests();
    }
}

TEST_F(ResendTest, TheSamePictureSentTwiceOnPurposeIsTwoMessages) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string a = me(), b = bea();
    auto picture = photo(60), thumbnail = photo(20);
    const int64_t before = svc.rowCount("messages", "sender_user_id", a);
    std::vector<std::shared_ptr<Caller>> callers;
    for (int send = 0; send < 2; ++send) {
        callers.push_back(std::make_shared<Caller>());
        VelkoraServerApi::uploadImageMessage(Caller::of(callers.back()), picture, thumbnail, std::string(kApp), b);
        ASSERT_TRUE(waitFor([&] { return callers.back()->answers.size() + callers.back()->errors.size() > 0; }));
    }
    EXPECT_EQ(callers[0]->answers.size() + callers[1]->answers.size(), 2u);
    EXPECT_EQ(svc.rowCount("messages", "sender_user_id", a), before + 2);
    ASSERT_EQ(callers[1]->answers.size(), 1u);
    EXPECT_NE(callers[0]->answers.at(0).textOr(""), callers[1]->answers.at(0).textOr(""));
}

struct DataCollector : VelkoraUrlFetcherDelegate {
    std::optional<std::vector<uint8_t>> data;
    bool failed = false;
    void urlGotError(VelkoraUrlFetcher&, const foundation::ErrorPtr&) override { failed = true; }
    void urlDidFinishWithData(VelkoraUrlFetcher&, const std::vector<uint8_t>& d) override { data = d; }
};

// A photo-sized picture travels as a form far past 8 KB: the image message and the profile photo both
// reach the service and are served back as the kit sent them.
TEST_F(ResendTest, PhotoSizedPicturesReachTheServiceAndAreServedBack) {
    startNewUser();
    VelkoraServerApi::pause();
    const std::string b = bea();
    auto picture = photo(300);
    struct Case {
        const char* command;
        std::function<void(VelkoraCallback)> send;
    } cases[] = {
        {"sendImageMessage",
         [&](VelkoraCallback c) { VelkoraServerApi::uploadImageMessage(c, picture, photo(40), std::string(kApp), b); }},
        {"savePhoto", [&](VelkoraCallback c) { VelkoraServerApi::uploadUserImage(c, picture); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        auto caller = std::make_shared<Caller>();
        c.send(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_EQ(caller->answers.size(), 1u) << caller->errors[0]->domain;
        const std::string* url = caller->answers[0].asString();
        ASSERT_TRUE(url);

        service::RecordedRequest sent = svc.requestsFor(c.command).at(0);
        EXPECT_GT(sent.body.size(), 200u * 1024);
        sent.query = sent.body;
        auto jpeg = dataWithBase64EncodedString(param(sent, "image"));
        ASSERT_TRUE(jpeg);

        auto collector = std::make_shared<DataCollector>();
        auto fetcher = VelkoraUrlFetcher::create(collector);
        fetcher->getDataUrl(*url);
        ASSERT_TRUE(waitFor([&] { return collector->data || collector->failed; }));
        ASSERT_TRUE(collector->data);
        EXPECT_TRUE(*collector->data == *jpeg) << collector->data->size() << " bytes served of " << jpeg->size();
    }
}

} // namespace
