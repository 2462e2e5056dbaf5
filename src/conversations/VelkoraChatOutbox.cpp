#include "conversations/VelkoraChatOutbox.h"

#include <algorithm>
#include <cmath>

#include "data/VelkoraChat.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/Uuid.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraReachability.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::shared_ptr<VelkoraChatOutbox>& holder() {
    static std::shared_ptr<VelkoraChatOutbox> box;
    return box;
}

const char* stateName(VelkoraChatOutbox::State s) {
    switch (s) {
    case VelkoraChatOutbox::State::Lost:
        return "lost";
    case VelkoraChatOutbox::State::Refused:
        return "refused";
    default:
        return "sending";
    }
}

VelkoraChatOutbox::State stateOf(const std::string& s) {
    if (s == "refused") return VelkoraChatOutbox::State::Refused;
    // Whatever was on its way when the kit stopped may or may not have arrived: it is checked first.
    return VelkoraChatOutbox::State::Lost;
}

// The repository's user of that id, with the ids a message needs even before the user's data came.
VelkoraUserPtr knownUser(const std::string& userId, const std::string& appId) {
    auto user = VelkoraUsersRepository::instance().userWithId(userId);
    if (!user->userId()) user->setUserId(userId);
    if (!user->appId() && !appId.empty()) user->setAppId(appId);
    return user;
}

double serverNow() {
    return foundation::RunLoop::main().now() + VelkoraServerApi::getServerTimeDiff(foundation::RunLoop::main().now());
}

} // namespace

bool velkoraSendMayRetry(const foundation::ErrorPtr& error) {
    if (!error) return true;
    if (error->domain == foundation::kUrlConnectionErrorDomain) return true;
    if (error->domain == kUrlFetcherWrongResponseCodeDomain) return error->code >= 500 || error->code < 400;
    // A reply that could not be read: the service may have done it.
    return error->domain == "Internal error";
}

std::shared_ptr<VelkoraChatOutbox> VelkoraChatOutbox::shared() {
    auto& box = holder();
    if (!box) box = std::shared_ptr<VelkoraChatOutbox>(new VelkoraChatOutbox());
    return box;
}

void VelkoraChatOutbox::resetForTests() {
    if (auto& box = holder()) VelkoraServerApi::clearUserDelegate(box.get());
    holder().reset();
}

std::string VelkoraChatOutbox::folder() const {
    return foundation::Paths::documents() + "/" + kPicturesFolder;
}

void VelkoraChatOutbox::start() {
    if (started_) return;
    started_ = true;
    load();
    auto again = [this](const foundation::Notification&) { networkIsBack(); };
    pollObserver_ =
        foundation::NotificationObserver(VelkoraServerClientAgent::kUpdatePollAnsweredNotification, nullptr, again);
    networkObserver_ = foundation::NotificationObserver(kVelkoraNetworkIsBackNotification, nullptr, again);
}

bool VelkoraChatOutbox::writtenBySignedInUser(const Entry& e) const {
    const auto& me = VelkoraServerClientAgent::instance().userId();
    return me && *me == e.writer;
}

VelkoraUserPtr VelkoraChatOutbox::userOf(const Entry& e) const {
    return knownUser(e.toUserId, e.toAppId);
}

VelkoraChatOutbox::EntryPtr VelkoraChatOutbox::add(const VelkoraUserPtr& other, EntryPtr e) {
    start();
    e->localId = foundation::uuidV4();
    e->writer = VelkoraServerClientAgent::instance().userId().value_or("");
    e->toUserId = other->userId().value_or("");
    e->firstTry = serverNow();
    auto m = std::make_shared<VelkoraMessageInternal>();
    m->setMessage(e->text);
    m->setContentType(e->contentType);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    m->setSender(me && me->userId() == e->writer ? me : knownUser(e->writer, VelkoraAppSettings::appId().value_or("")));
    m->setOtherUser(other);
    m->setTime(e->firstTry);
    e->message = m;
    entries_.push_back(e);
    save();
    pump(e->toUserId);
    return e;
}

VelkoraChatOutbox::EntryPtr VelkoraChatOutbox::sendText(const VelkoraUserPtr& other, const std::string& contentType,
                                                        const std::string& text) {
    if (!other || !other->userId()) return nullptr;
    auto e = std::make_shared<Entry>();
    e->contentType = contentType;
    e->text = text;
    e->toAppId = VelkoraAppSettings::appId().value_or("");
    return add(other, e);
}

VelkoraChatOutbox::EntryPtr VelkoraChatOutbox::sendPhoto(const VelkoraUserPtr& other,
                                                         const std::shared_ptr<ui::Image>& picture) {
    if (!other || !other->userId() || !picture) return nullptr;
    auto e = std::make_shared<Entry>();
    e->contentType = "image";
    e->toAppId = other->appId().value_or(VelkoraAppSettings::appId().value_or(""));
    e->picture = VelkoraUtils::fixImageOrientation(picture);
    e->smallPicture = VelkoraUtils::scaleImage(picture, static_cast<float>(kSmallPictureSide));
    if (!e->picture) return nullptr;
    return add(other, e);
}

std::vector<VelkoraChatOutbox::EntryPtr> VelkoraChatOutbox::entriesFor(const std::string& toUserId) const {
    std::vector<EntryPtr> out;
    for (const auto& e : entries_)
        if (e->toUserId == toUserId && writtenBySignedInUser(*e)) out.push_back(e);
    return out;
}

VelkoraChatOutbox::EntryPtr VelkoraChatOutbox::entryForMessage(const VelkoraMessageInternal* message) const {
    for (const auto& e : entries_)
        if (e->message.get() == message) return e;
    return nullptr;
}

// One at a time per conversation, in the order written: a lost message holds back those after it until
// the network returns, so they never arrive out of order; a refused one does not hold anything back.
void VelkoraChatOutbox::pump(const std::string& toUserId) {
    if (checking_.count(toUserId)) return;
    for (const auto& e : entries_) {
        if (e->toUserId != toUserId || !writtenBySignedInUser(*e)) continue;
        if (e->inFlight || e->state == State::Lost) return;
        if (e->state == State::Sending) {
            send(e);
            return;
        }
    }
}

void VelkoraChatOutbox::send(const EntryPtr& e) {
    e->inFlight = true;
    e->state = State::Sending;
    auto self = shared_from_this();
    std::weak_ptr<Entry> weak = e;
    auto answer = [this, weak](const Value& v) {
        if (auto entry = weak.lock()) sent(entry, v.textOr(""));
    };
    auto error = [this, weak](const foundation::ErrorPtr& err) {
        if (auto entry = weak.lock()) failed(entry, err);
    };
    if (e->contentType == "image") {
        VelkoraServerApi::uploadImageMessage(VelkoraCallback::make(self, answer, error), e->picture, e->smallPicture,
                                             e->toAppId, e->toUserId);
    } else {
        VelkoraServerApi::sendMessage(e->text, e->toAppId, e->toUserId, e->contentType,
                                      VelkoraCallback::make(self, answer, error));
    }
}

void VelkoraChatOutbox::sent(const EntryPtr& e, const std::string& url) {
    e->inFlight = false;
    if (e->contentType == "image") {
        if (url.empty()) {
            // Answered without an address: the service may hold it, which the check after the next poll
            // finds out before sending it again.
            Log::line("Velkora (E) - Failed uploading image");
            failed(e, foundation::makeError("Internal error", 0));
            return;
        }
        e->text = url;
        if (e->message) e->message->setMessage(url);
    }
    confirm(e, nullptr);
}

void VelkoraChatOutbox::confirm(const EntryPtr& e, const VelkoraMessagePtr& stored) {
    Log::line("Velkora - Message sent");
    std::erase(entries_, e);
    // The photo's files go with it.
    foundation::removeFile(folder() + "/" + e->localId + ".jpg");
    foundation::removeFile(folder() + "/" + e->localId + "_small.jpg");
    if (e->message) {
        if (stored) {
            e->message->setMessageId(stored->messageId());
            e->message->setTime(stored->time() ? *stored->time() : serverNow());
            if (stored->message()) e->message->setMessage(*stored->message());
        } else {
            e->message->setTime(serverNow());
        }
        VelkoraChatsRepository::instance().addSentMessage(e->message);
    }
    save();
    changed(e, "sent");
    pump(e->toUserId);
}

void VelkoraChatOutbox::failed(const EntryPtr& e, const foundation::ErrorPtr& error) {
    e->inFlight = false;
    if (e->contentType == "image") Log::line("Velkora (E) - Failed uploading image");
    e->state = velkoraSendMayRetry(error) ? State::Lost : State::Refused;
    save();
    changed(e, "notSent");
    pump(e->toUserId);
}

void VelkoraChatOutbox::retry(const std::string& localId) {
    for (const auto& e : entries_)
        if (e->localId == localId && !e->inFlight && e->state != State::Sending) {
            // A lost message is checked against the service first: it may have arrived after all.
            if (e->state == State::Lost) {
                checkLost(e->toUserId);
                return;
            }
            e->state = State::Sending;
            save();
            changed(e, "sending");
            pump(e->toUserId);
            return;
        }
}

void VelkoraChatOutbox::networkIsBack() {
    std::set<std::string> users;
    for (const auto& e : entries_)
        if (e->state == State::Lost && !e->inFlight && writtenBySignedInUser(*e)) users.insert(e->toUserId);
    for (const auto& u : users)
        checkLost(u);
}

void VelkoraChatOutbox::checkLost(const std::string& toUserId) {
    if (checking_.count(toUserId)) return;
    EntryPtr first;
    for (const auto& e : entries_)
        if (e->toUserId == toUserId && writtenBySignedInUser(*e)) {
            first = e;
            break;
        }
    if (!first) return;
    auto user = userOf(*first);
    if (!user) return;
    checking_.insert(toUserId);
    auto self = shared_from_this();
    VelkoraServerApi::getChat(user, VelkoraCallback::make(
                                        self,
                                        [this, toUserId](const Value& v) {
                                            checking_.erase(toUserId);
                                            checked(toUserId, v.asObject<VelkoraChat>());
                                        },
                                        [this, toUserId](const foundation::ErrorPtr&) {
                                            // Still no network: the next poll tries again.
                                            checking_.erase(toUserId);
                                        }));
}

void VelkoraChatOutbox::checked(const std::string& toUserId, const std::shared_ptr<VelkoraChat>& chat) {
    const auto& me = VelkoraServerClientAgent::instance().userId();
    std::vector<EntryPtr> lost;
    for (const auto& e : entries_)
        if (e->toUserId == toUserId && e->state == State::Lost && writtenBySignedInUser(*e)) lost.push_back(e);
    for (const auto& e : lost) {
        VelkoraMessagePtr stored;
        if (chat) {
            // Oldest first, so two equal texts confirm two entries in their order.
            const auto& messages = chat->messages();
            for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
                const auto& m = *it;
                if (!m || !m->sender() || m->sender()->userId() != me || claimed_.count(m->messageId())) continue;
                if (m->contentType().value_or("") != e->contentType) continue;
                if (e->contentType != "image" && m->message().value_or("") != e->text) continue;
                // The service stamps whole seconds, and the kit knows its clock only to the second.
                if (m->time().value_or(0) < std::floor(e->firstTry) - kClockSlack) continue;
                stored = m;
                break;
            }
        }
        if (stored) {
            claimed_.insert(stored->messageId());
            confirm(e, stored);
        } else {
            e->state = State::Sending;
            changed(e, "sending");
        }
    }
    save();
    pump(toUserId);
}

void VelkoraChatOutbox::changed(const EntryPtr& e, const char* state) {
    foundation::NotificationCenter::defaultCenter().post(
        kChangedNotification, this,
        Value(foundation::Dictionary{{"localId", Value(e->localId)}, {"state", Value(state)}}));
}

void VelkoraChatOutbox::save() const {
    foundation::Array list;
    foundation::createDirectories(folder());
    for (const auto& e : entries_) {
        foundation::Dictionary d{{"localId", Value(e->localId)},         {"writer", Value(e->writer)},
                                 {"toUserId", Value(e->toUserId)},       {"toAppId", Value(e->toAppId)},
                                 {"contentType", Value(e->contentType)}, {"text", Value(e->text)},
                                 {"firstTry", Value(e->firstTry)},       {"state", Value(stateName(e->state))}};
        if (e->picture) {
            const std::string path = folder() + "/" + e->localId + ".jpg";
            if (!foundation::fileExists(path)) e->picture->writeJpeg(path, 1.0);
            const std::string small = folder() + "/" + e->localId + "_small.jpg";
            if (e->smallPicture && !foundation::fileExists(small)) e->smallPicture->writeJpeg(small, 1.0);
        }
        list.push_back(Value(std::move(d)));
    }
    auto text = foundation::JsonSerialization::dataWithJSONObject(Value(std::move(list)));
    if (!text || !foundation::writeFileAtomically(foundation::Paths::documents() + "/" + kFileName, *text))
        Log::line("Velkora (E) - Could not save the unsent messages");
}

void VelkoraChatOutbox::load() {
    auto text = foundation::readFile(foundation::Paths::documents() + "/" + kFileName);
    if (!text) return;
    auto value = foundation::JsonSerialization::JSONObjectWithData(*text);
    const auto* list = value ? value->asArray() : nullptr;
    if (!list) {
        Log::line("Velkora (E) - The unsent messages could not be read");
        return;
    }
    for (const auto& v : *list) {
        auto e = std::make_shared<Entry>();
        e->localId = v["localId"].textOr("");
        e->writer = v["writer"].textOr("");
        e->toUserId = v["toUserId"].textOr("");
        e->toAppId = v["toAppId"].textOr("");
        e->contentType = v["contentType"].textOr("text/plain");
        e->text = v["text"].textOr("");
        e->firstTry = v["firstTry"].doubleOr(0);
        e->state = stateOf(v["state"].textOr(""));
        if (e->localId.empty() || e->toUserId.empty()) continue;
        if (e->contentType == "image") {
            e->picture = ui::Image::fromFile(folder() + "/" + e->localId + ".jpg");
            e->smallPicture = ui::Image::fromFile(folder() + "/" + e->localId + "_small.jpg");
            if (!e->picture) continue;
        }
        auto m = std::make_shared<VelkoraMessageInternal>();
        m->setMessage(e->text);
        m->setContentType(e->contentType);
        m->setSender(knownUser(e->writer, VelkoraAppSettings::appId().value_or("")));
        m->setOtherUser(userOf(*e));
        m->setTime(e->firstTry);
        e->message = m;
        entries_.push_back(e);
    }
}

} // namespace velkora
