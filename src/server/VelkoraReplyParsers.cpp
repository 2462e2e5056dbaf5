#include "server/VelkoraReplyParsers.h"

#include <algorithm>
#include <limits>
#include <string>

#include "data/VelkoraUsersRepository.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

// A key that is there and not JSON null.
bool present(const Value& d, std::string_view key) {
    const Value* v = d.get(key);
    return v && !v->isNull();
}

// Numbers and flags read leniently, as the service sometimes sends numbers as numeric texts; anything
// that is not a number, a flag or a numeric text reads as 0 / NO.
int32_t intValue(const Value& d, std::string_view key) { return d[key].int32Or(0); }
int64_t longValue(const Value& d, std::string_view key) { return d[key].int64Or(0); }
double doubleValue(const Value& d, std::string_view key) { return d[key].doubleOr(0); }
bool boolValue(const Value& d, std::string_view key) { return d[key].boolOr(false); }
float floatValue(const Value& d, std::string_view key) {
    double v = doubleValue(d, key);
    if (v != v) return 0;
    return static_cast<float>(std::clamp(v, -double(std::numeric_limits<float>::max()),
                                         double(std::numeric_limits<float>::max())));
}

// A text key: only a JSON string is taken.
OptionalText textValue(const Value& d, std::string_view key) {
    if (const std::string* s = d[key].asString()) return *s;
    return std::nullopt;
}

// A text key where JSON null stands for `forNull`.
OptionalText nullOrText(const Value& d, std::string_view key, std::string_view forNull) {
    const Value* v = d.get(key);
    if (v && v->isNull()) return std::string(forNull);
    return textValue(d, key);
}

// A text key where JSON null stands for the empty text; absent (or of another type) stays unset.
OptionalText textOrEmptyForNull(const Value& d, std::string_view key) {
    return nullOrText(d, key, "");
}

// A date key: only a non-empty text of the service's date form.
OptionalDate dateValue(const Value& d, std::string_view key) {
    const std::string* s = d[key].asString();
    if (!s || s->empty()) return std::nullopt;
    return VelkoraUtils::getInputDateFormatter().dateFromString(*s);
}

bool isOneOf(const OptionalText& text, std::initializer_list<std::string_view> choices) {
    return text && std::find(choices.begin(), choices.end(), *text) != choices.end();
}

// Calls `f` for each element of the array under `list` that is an object.
template <typename F>
void forEachObject(const Value& list, F&& f) {
    const foundation::Array* a = list.asArray();
    if (!a) return;
    for (const Value& e : *a) {
        if (e.isDictionary()) f(e);
    }
}

std::string trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

// ---- users

VelkoraUserPtr parseUser(const Value& d) {
    const std::string* uid = d["userId"].asString();
    if (!uid) {
        Log::line("Velkora - parse user failed. uId is nil. %@", d);
        return nullptr;
    }
    VelkoraUserPtr u = VelkoraUsersRepository::instance().userWithId(*uid);
    // A reference entry names a user some other part of the reply (or an earlier one) describes.
    if (boolValue(d, "isIdentifier") && u->userId()) return u;

    u->setAppId(textValue(d, "appId"));
    u->setUserId(*uid);
    u->setFirstName(textValue(d, "firstName"));
    u->setLastName(textValue(d, "lastName"));
    u->setUserPhotoUrl(textValue(d, "photoUrl"));
    u->setEmail(textValue(d, "email"));
    u->setCity(textValue(d, "city"));
    u->setState(textValue(d, "state"));
    u->setCountry(textValue(d, "country"));
    u->setZipcode(textValue(d, "zipcode"));
    u->setNumFollowers(intValue(d, "followers"));
    u->setNumFollowing(intValue(d, "following"));
    u->setNumFeeds(intValue(d, "feeds"));
    u->setCustomString1(textValue(d, "customString1"));
    u->setCustomString2(textValue(d, "customString2"));
    u->setCustomString3(textValue(d, "customString3"));
    u->setFacebookId(longValue(d, "facebookId"));
    u->setTwitterId(longValue(d, "twitterId"));
    if (auto v = d["customFloat1"].toDouble()) u->setCustomFloat1(*v);
    if (auto v = d["customFloat2"].toDouble()) u->setCustomFloat2(*v);
    if (auto v = d["customFloat3"].toDouble()) u->setCustomFloat3(*v);
    if (d["age"].toInt64()) u->setAge(intValue(d, "age"));
    u->setGender(textValue(d, "gender"));
    u->setData(textValue(d, "data"));
    if (const Value& l = d["location"]; l.isDictionary()) {
        auto location = std::make_shared<VelkoraLocation>();
        location->setLongitude(doubleValue(l, "longitude"));
        location->setLatitude(doubleValue(l, "latitude"));
        if (auto distance = l["distance"].toDouble()) location->setDistance(*distance);
        u->setLocation(location);
    }
    u->setIsBlockedByCurrentUser(boolValue(d, "isBlocked"));
    u->setIsReportedByCurrentUser(boolValue(d, "isReported"));
    // The key's presence is what tells that the current user follows this user; replies that do not
    // speak of following leave the flag alone.
    if (present(d, "isFavorite")) u->setIsFavorite(true);
    u->setScore(std::max(intValue(d, "score"), u->score()));
    u->setCoins(std::max(intValue(d, "coins"), u->coins()));
    std::vector<int32_t> packIds;
    if (const foundation::Array* ids = d["stickerPackIds"].asArray()) {
        for (const Value& id : *ids) {
            if (id.toInt64()) packIds.push_back(id.int32Or(0));
        }
    }
    u->setStickerPackIds(std::move(packIds));
    return u;
}

std::vector<VelkoraUserPtr> parseUsers(const Value& array) {
    std::vector<VelkoraUserPtr> users;
    if (const foundation::Array* a = array.asArray()) {
        for (const Value& e : *a) {
            if (auto u = parseUser(e)) users.push_back(std::move(u));
        }
    }
    return users;
}

// ---- messages, feed items, chats

std::vector<VelkoraMessagePtr> parseMessages(const Value& array) {
    std::vector<VelkoraMessagePtr> messages;
    forEachObject(array, [&](const Value& e) {
        auto m = std::make_shared<VelkoraMessageInternal>();
        m->setSender(parseUser(e["sender"]));
        // Every screen of a conversation shows who wrote a message; one without a writer cannot be shown.
        if (!m->sender()) {
            Log::line("Velkora - parse message failed. sender is nil. %@", e);
            return;
        }
        if (present(e, "otherUser")) m->setOtherUser(parseUser(e["otherUser"]));
        m->setMessage(textValue(e, "message"));
        m->setContentType(nullOrText(e, "contentType", "text/plain"));
        if (!isOneOf(m->contentType(), {"text/plain", "image", "text/html", "text/link", "sticker"})) return;
        m->setMessageId(intValue(e, "changeNumber"));
        m->setWasRead(boolValue(e, "wasRead"));
        m->setIsSystem(boolValue(e, "isSystem"));
        m->setMessageName(textValue(e, "messageName"));
        m->setExtraData(textValue(e, "extraData"));
        m->setTime(dateValue(e, "time"));
        m->setMessageType(intValue(e, "messageType"));
        messages.push_back(std::move(m));
    });
    return messages;
}

VelkoraFeedMessagePtr parseOneFeedMessage(const Value& e) {
    auto f = std::make_shared<VelkoraFeedMessage>();
    f->setSender(parseUser(e["sender"]));
    f->setMessageId(intValue(e, "id"));
    if (e["resenders"].isArray()) f->setResenders(parseUsers(e["resenders"]));
    if (present(e, "replyToUser")) f->setReplyToUser(parseUser(e["replyToUser"]));
    f->setExternalLink(textValue(e, "url"));
    f->setMessage(textValue(e, "message"));
    OptionalText contentType = nullOrText(e, "contentType", "text/plain");
    if (!isOneOf(contentType, {"text/plain", "image"})) {
        Log::line("Velkora - Unknown contentType. Using default! %@", e);
        contentType = "text/plain";
    }
    f->setContentType(contentType);
    f->setReplyTo(intValue(e, "replyTo"));
    f->setResendId(intValue(e, "id"));
    f->setResends(intValue(e, "resends"));
    f->setOriginalId(intValue(e, "originalId"));
    f->setTime(dateValue(e, "time"));
    f->setResendTime(dateValue(e, "resendTime"));
    f->setMessageType(intValue(e, "messageType"));
    f->setDescImageUrl(textValue(e, "descImageUrl"));
    f->setDescText(textValue(e, "descText"));
    f->setDescSubText(textValue(e, "descSubText"));
    f->setActionVerb(textValue(e, "actionVerb"));
    f->setActionId(textValue(e, "actionId"));
    f->setNumLikes(intValue(e, "numLikes"));
    if (present(e, "otherUser")) f->setOtherUser(parseUser(e["otherUser"]));
    f->setTopicId(intValue(e, "topicId"));
    f->setTopicTitle(textValue(e, "topicTitle"));
    return f;
}

std::vector<VelkoraFeedMessagePtr> parseFeedMessages(const Value& array) {
    std::vector<VelkoraFeedMessagePtr> items;
    forEachObject(array, [&](const Value& e) {
        auto f = parseOneFeedMessage(e);
        // The feed shows every item under its poster; an item without one cannot be shown.
        if (!f->sender()) {
            Log::line("Velkora - parse feed message failed. sender is nil. %@", e);
            return;
        }
        items.push_back(std::move(f));
    });
    return items;
}

VelkoraChatPtr parseChat(const Value& e) {
    auto c = std::make_shared<VelkoraChat>();
    c->setMessages(parseMessages(e["messages"]));
    c->setSystemChat(boolValue(e, "isSystem"));
    c->setNumMessages(intValue(e, "numMessages"));
    c->setUser(parseUser(e["user"]));
    if (!c->user()) {
        Log::line("Velkora - empty user in chat...ignoring chat");
        return nullptr;
    }
    return c;
}

// ---- chat-room topics and comments

VelkoraChatRoomsTopicPtr parseTopic(const Value& d) {
    if (!d.isDictionary() || d.size() == 0) return nullptr;
    auto t = std::make_shared<VelkoraChatRoomsTopic>();
    t->setTopicId(intValue(d, "id"));
    t->setChangeNumber(intValue(d, "changeNumber"));
    t->setIsRemoved(boolValue(d, "removed"));
    t->setIsObject(boolValue(d, "isObject"));
    t->setCommentsNumber(intValue(d, "nComments"));
    t->setLikesNumber(intValue(d, "nLikes"));
    t->setTitle(textOrEmptyForNull(d, "title"));
    t->setText(textOrEmptyForNull(d, "text"));
    OptionalText contentType = textValue(d, "contentType");
    t->setContentType(isOneOf(contentType, {"text/html", "image", "link", "video"}) ? contentType
                                                                                    : OptionalText("text/html"));
    t->setPhotoUrl(textOrEmptyForNull(d, "photoUrl"));
    if (present(d, "user")) t->setUser(parseUser(d["user"]));
    t->setDateTime(dateValue(d, "time"));
    t->addTopicEvents(parseChatRoomsComments(d["comments"], t->topicId()));
    return t;
}

std::vector<VelkoraChatRoomsCommentPtr> parseChatRoomsComments(const Value& array, int32_t topicId) {
    std::vector<VelkoraChatRoomsCommentPtr> comments;
    forEachObject(array, [&](const Value& e) {
        auto c = std::make_shared<VelkoraChatRoomsComment>();
        c->setCommentId(intValue(e, "id"));
        c->setTopicId(topicId);
        c->setLikesNumber(intValue(e, "nLikes"));
        c->setText(textOrEmptyForNull(e, "text"));
        OptionalText contentType = nullOrText(e, "contentType", "text/plain");
        if (!isOneOf(contentType, {"text/plain", "image", "sticker"})) return;
        c->setContentType(contentType);
        c->setUser(parseUser(e["user"]));
        c->setDateTime(dateValue(e, "time"));
        comments.push_back(std::move(c));
    });
    return comments;
}

// ---- stickers

std::vector<VelkoraStickerPtr> parseStickers(const Value& array) {
    std::vector<VelkoraStickerPtr> stickers;
    forEachObject(array, [&](const Value& e) {
        auto s = std::make_shared<VelkoraSticker>();
        s->setStickerId(intValue(e, "id"));
        s->setUrl(textValue(e, "url"));
        stickers.push_back(std::move(s));
    });
    return stickers;
}

std::vector<VelkoraStickerPackPtr> parseStickerPacks(const Value& array, bool withTexts) {
    std::vector<VelkoraStickerPackPtr> packs;
    forEachObject(array, [&](const Value& p) {
        auto pack = std::make_shared<VelkoraStickerPack>();
        pack->setPackId(intValue(p, "id"));
        if (withTexts) {
            pack->setTitle(textValue(p, "title"));
            pack->setSubtitle(textValue(p, "subtitle"));
            pack->setProductId(textValue(p, "productId"));
        }
        pack->setIcon(textValue(p, "icon"));
        pack->setStickers(parseStickers(p["stickers"]));
        packs.push_back(std::move(pack));
    });
    return packs;
}

VelkoraStickerPackPtr parseStickerPack(const Value& p) {
    auto pack = std::make_shared<VelkoraStickerPack>();
    pack->setPackId(intValue(p, "id"));
    pack->setIcon(textValue(p, "icon"));
    pack->setStickers(parseStickers(p["stickers"]));
    return pack;
}

// ---- like objects

VelkoraLikeObjectPtr parseLikeObject(const Value& d, bool keepInRepository, const VelkoraLikeParseContext& context) {
    if (!d.isDictionary()) return nullptr;
    const int32_t objectId = intValue(d, "objectId");
    VelkoraLikeObjectPtr like;
    if (keepInRepository && context.likeObjectWithId) like = context.likeObjectWithId(objectId);
    if (!like) like = std::make_shared<VelkoraLikeObject>();
    like->setAppId(context.appId);
    like->setUsers(parseUsers(d["users"]));
    if (d["feedMessage"].isDictionary()) like->setFeedMessage(parseOneFeedMessage(d["feedMessage"]));
    if (d["topic"].isDictionary()) {
        auto topic = parseTopic(d["topic"]);
        like->setChatRoomsTopic(topic);
        if (topic) {
            auto events = topic->getLatestTopicEvents();
            if (!events.empty()) like->setChatRoomsComment(events.front());
        }
    }
    like->setData(textValue(d, "object"));
    like->setDescription(textValue(d, "desc"));
    if (const std::string* type = d["type"].asString()) like->setObjectTypeStr(*type);
    if (auto time = dateValue(d, "time")) like->setTime(time);
    like->setChangeNumber(intValue(d, "changeNumber"));
    like->setObjectId(objectId);
    like->setNumLikes(intValue(d, "numLikes"));
    like->setIsLike(boolValue(d, "isLike"));
    like->calculateVideoPreviewImage();
    if (like->type() == VelkoraLikeObject::VIDEO && !like->calculatedImageUrl()) return nullptr;
    return like;
}

std::vector<VelkoraLikeObjectPtr> parseLikes(const Value& array, const VelkoraLikeParseContext& context) {
    std::vector<VelkoraLikeObjectPtr> likes;
    likes.reserve(10);
    forEachObject(array, [&](const Value& e) {
        if (auto like = parseLikeObject(e, true, context)) likes.push_back(std::move(like));
    });
    return likes;
}

// ---- quizzes and leaderboards

VelkoraQuizPtr parseQuiz(const Value& d) {
    if (!d.isDictionary() || d.size() == 0) return nullptr;
    auto q = std::make_shared<VelkoraQuiz>();
    q->setQuizId(intValue(d, "id"));
    q->setIsLocked(boolValue(d, "locked"));
    if (q->isLocked()) q->setCoinsToUnlock(intValue(d, "coins"));
    q->setName(textOrEmptyForNull(d, "name"));
    q->setDescription(textOrEmptyForNull(d, "description"));
    q->setQuestions(parseQuestions(d["questions"]));
    q->setReserves(parseQuestions(d["reserves"]));
    return q;
}

std::vector<VelkoraQuizQuestionPtr> parseQuestions(const Value& array) {
    std::vector<VelkoraQuizQuestionPtr> questions;
    forEachObject(array, [&](const Value& e) {
        auto q = std::make_shared<VelkoraQuizQuestion>();
        q->setQuestionId(intValue(e, "id"));
        q->setQuestion(textOrEmptyForNull(e, "question"));
        q->setLevel(intValue(e, "level"));
        q->setScore(intValue(e, "score"));
        q->setTimeLimit(intValue(e, "timeLimit"));
        q->setTimeBonus(intValue(e, "timeBonus"));
        q->setAnswers(parseAnswers(e["answers"]));
        questions.push_back(std::move(q));
    });
    return questions;
}

std::vector<VelkoraQuizAnswerPtr> parseAnswers(const Value& array) {
    std::vector<VelkoraQuizAnswerPtr> answers;
    forEachObject(array, [&](const Value& e) {
        auto a = std::make_shared<VelkoraQuizAnswer>();
        a->setAnswerId(intValue(e, "id"));
        a->setAnswer(textOrEmptyForNull(e, "answer"));
        a->setIsCorrect(boolValue(e, "correct"));
        a->setHits(intValue(e, "hits"));
        answers.push_back(std::move(a));
    });
    return answers;
}

std::vector<VelkoraScorePositionPtr> parseScorePositionArray(const Value& reply, std::string_view key) {
    std::vector<VelkoraScorePositionPtr> rows;
    rows.reserve(10);
    forEachObject(reply[key], [&](const Value& e) {
        auto row = std::make_shared<VelkoraScorePosition>();
        row->setPosition(longValue(e, "position"));
        row->setScore(longValue(e, "score"));
        row->setUser(parseUser(e["user"]));
        // A row is shown, and tapped, as its user; a row without one has nothing to show.
        if (!row->user()) return;
        rows.push_back(std::move(row));
    });
    return rows;
}

// ---- promoted applications

VelkoraAppDealPtr parseAppDeal(const Value& d) {
    if (!d.isDictionary()) return nullptr;
    auto deal = std::make_shared<VelkoraAppDeal>();
    deal->setAppDealId(intValue(d, "id"));
    deal->setName(textValue(d, "name"));
    deal->setIcon(textValue(d, "icon"));
    deal->setCategory(textValue(d, "category"));
    deal->setDeveloper(textValue(d, "developer"));
    deal->setUrl(textValue(d, "url"));
    deal->setPrice(textValue(d, "price"));
    deal->setIsFree(boolValue(d, "isFree"));
    deal->setRating(floatValue(d, "rating"));
    deal->setImpressionUrl(std::string());
    deal->setDescription(std::string());
    return deal;
}

VelkoraAppDealPtr parseExchangeAppDeal(const Value& d) {
    if (!d.isDictionary()) return nullptr;
    auto deal = std::make_shared<VelkoraAppDeal>();
    deal->setAppDealId(0);
    deal->setName(textValue(d, "title"));
    deal->setIcon(textValue(d, "imageUrl"));
    deal->setCategory(textOrEmptyForNull(d, "category"));
    deal->setDeveloper(textOrEmptyForNull(d, "developer"));
    deal->setDescription(textValue(d, "description"));
    deal->setUrl(textValue(d, "clickUrl"));
    deal->setImpressionUrl(textValue(d, "trackingUrl"));
    deal->setPrice(textOrEmptyForNull(d, "price"));
    deal->setIsFree(true);
    if (const Value* installs = d.get("installs")) {
        if (installs->isNull()) {
            deal->setDownloads(std::string());
        } else if (const std::string* s = installs->asString()) {
            if (size_t dash = s->find('-'); dash != std::string::npos) {
                deal->setDownloads(trimmed(std::string_view(*s).substr(0, dash)) + "+");
            }
        }
    }
    deal->setRating(floatValue(d, "rating"));
    // A card needs all five to be shown, opened and counted; the exchange marks an unusable deal with
    // nulls, and a deal missing one of them is as unusable.
    if (!deal->name() || !deal->icon() || !deal->description() || !deal->url() || !deal->impressionUrl()) {
        return nullptr;
    }
    return deal;
}

}  // namespace velkora
