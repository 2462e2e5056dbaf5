// Every reader of the service's replies meets arbitrary JSON: none may crash, leak or keep a value of the
// wrong type, and what they build must answer its own queries.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>

#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraReplyParsers.h"
#include "server/utils/VelkoraKXJSON.h"

using namespace velkora;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void exerciseUser(const VelkoraUserPtr& u) {
    if (!u) return;
    check(u->userId().has_value());
    check(u->isEqual(VelkoraUsersRepository::instance().userWithId(*u->userId())));
    (void)u->getSizedPhotoUrl(100, 100);
    (void)u->getSizedPhotoUrl(0, 1e30f);
    (void)u->isAnonymous();
    (void)u->hasPhoto(1);
    (void)u->description();
    (void)u->copy();
}

void exerciseTopic(const VelkoraChatRoomsTopicPtr& t) {
    if (!t) return;
    check(t->contentType().has_value());
    for (const auto& c : t->getLatestTopicEvents()) {
        check(c->contentType() == "text/plain" || c->contentType() == "image" || c->contentType() == "sticker");
        t->addComment(c);
    }
    (void)t->getComments(true);
    (void)t->hasPhoto();
}

void feed(const foundation::Value& v) {
    std::map<int32_t, VelkoraLikeObjectPtr> cache;
    VelkoraLikeParseContext context;
    context.appId = "APP";
    context.likeObjectWithId = [&cache](int32_t id) {
        auto& slot = cache[id];
        if (!slot) slot = std::make_shared<VelkoraLikeObject>();
        return slot;
    };

    exerciseUser(parseUser(v));
    for (const auto& u : parseUsers(v)) exerciseUser(u);
    for (const auto& m : parseMessages(v)) {
        check(m->sender() != nullptr);
        (void)m->getPlainText();
    }
    auto one = parseOneFeedMessage(v);
    check(one != nullptr && one->contentType().has_value());
    (void)one->activityId();
    for (const auto& f : parseFeedMessages(v)) check(f->sender() != nullptr);
    if (auto chat = parseChat(v)) check(chat->user() != nullptr);
    exerciseTopic(parseTopic(v));
    (void)parseChatRoomsComments(v, 7);
    (void)parseStickers(v);
    (void)parseStickerPacks(v, true);
    (void)parseStickerPacks(v, false);
    (void)parseStickerPack(v);
    for (bool keep : {false, true}) {
        if (auto like = parseLikeObject(v, keep, context)) {
            (void)like->likeObjectToKey();
            (void)like->getObjectTypeStr();
            (void)like->getPoster();
            check(like->type() != VelkoraLikeObject::VIDEO || like->calculatedImageUrl().has_value());
        }
    }
    (void)parseLikes(v, context);
    (void)parseQuiz(v);
    (void)parseQuestions(v);
    (void)parseAnswers(v);
    for (const char* key : {"topScores", "userArea", "leaders"}) {
        for (const auto& row : parseScorePositionArray(v, key)) check(row->user() != nullptr);
    }
    (void)parseAppDeal(v);
    if (auto deal = parseExchangeAppDeal(v)) check(deal->name() && deal->url() && deal->impressionUrl());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool muted = [] {
        foundation::Log::setSink([](foundation::LogLevel, const std::string&) {});
        return true;
    }();
    (void)muted;
    VelkoraKXJSON reader;
    auto value = reader.fragmentWithString(std::string_view(reinterpret_cast<const char*>(data), size), nullptr);
    if (!value) return 0;
    feed(*value);
    // Replies hold their objects one level down ("users", "topic", "quiz"...): read each member too.
    if (const auto* d = value->asDictionary()) {
        for (const auto& [key, member] : *d) feed(member);
    } else if (const auto* a = value->asArray()) {
        for (const auto& element : *a) feed(element);
    }
    VelkoraUsersRepository::instance().reset();
    return 0;
}
