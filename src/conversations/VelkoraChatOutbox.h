// The messages the user wrote in one-to-one chats that the service has not confirmed yet. Each
// conversation's sends go out one at a time, in the order written; a send lost to the network goes again
// once the network is back (after making sure the service did not store it already), one the service
// refused waits for the user to tap its row. The box lives in the documents folder (photos as JPEG beside
// it), so nothing written is lost by leaving the chat or by a restart.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/VelkoraMessageInternal.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

namespace velkora {

namespace ui {
class Image;
}
class VelkoraChat;

class VelkoraChatOutbox : public std::enable_shared_from_this<VelkoraChatOutbox> {
public:
    // Posted (object: the outbox) whenever an entry changes state or leaves the box; user info "localId"
    // and "state" ("sending", "notSent", "sent").
    static constexpr const char* kChangedNotification = "VelkoraChatOutboxChangedNotification";
    static constexpr const char* kFileName = "VelkoraChatOutbox.json";
    static constexpr const char* kPicturesFolder = "VelkoraChatOutbox";
    static constexpr double kSmallPictureSide = 200.0;
    // How much earlier than the first try the service's copy of a lost message may be stamped.
    static constexpr double kClockSlack = 10.0;

    enum class State {
        Sending, // out, or waiting for its turn
        Lost,    // the network failed it: again when the network is back
        Refused, // the service refused it: again when the user taps it
    };

    struct Entry {
        std::string localId;
        std::string writer;   // the signed-in user who wrote it
        std::string toUserId; // the other user
        std::string toAppId;  // the application a photo goes to
        std::string contentType;
        std::string text;    // the text or the sticker's address; a photo's once stored
        double firstTry = 0; // server clock, when it was written
        State state = State::Sending;
        bool inFlight = false;
        std::shared_ptr<ui::Image> picture, smallPicture;
        // The row the chat shows for it.
        VelkoraMessagePtr message;
    };
    using EntryPtr = std::shared_ptr<Entry>;

    static std::shared_ptr<VelkoraChatOutbox> shared();
    static VelkoraChatOutbox& instance() { return *shared(); }
    // Forgets the box in memory (the file stays); for tests, which then read it again as a restart does.
    static void resetForTests();

    // Reads the box and listens for the network; idempotent.
    void start();

    // A text or sticker to the other user, sent to the host application's id.
    EntryPtr sendText(const VelkoraUserPtr& other, const std::string& contentType, const std::string& text);
    // A photo: sent whole (its orientation fixed) with a small copy, to the other user's application.
    EntryPtr sendPhoto(const VelkoraUserPtr& other, const std::shared_ptr<ui::Image>& picture);
    // The user tapped a row that could not be sent: it goes again now.
    void retry(const std::string& localId);
    // The signed-in user's unsent messages to that user, in the order written.
    std::vector<EntryPtr> entriesFor(const std::string& toUserId) const;
    EntryPtr entryForMessage(const VelkoraMessageInternal* message) const;
    size_t size() const { return entries_.size(); }

    // The network is back: lost messages are checked against the service and sent again.
    void networkIsBack();

private:
    VelkoraChatOutbox() = default;
    EntryPtr add(const VelkoraUserPtr& other, EntryPtr entry);
    void pump(const std::string& toUserId);
    void send(const EntryPtr& entry);
    void sent(const EntryPtr& entry, const std::string& url);
    void failed(const EntryPtr& entry, const foundation::ErrorPtr& error);
    // Confirms lost entries the service already holds, then sends the rest again.
    void checkLost(const std::string& toUserId);
    void checked(const std::string& toUserId, const std::shared_ptr<VelkoraChat>& chat);
    void confirm(const EntryPtr& entry, const VelkoraMessagePtr& stored);
    void changed(const EntryPtr& entry, const char* state);
    bool writtenBySignedInUser(const Entry& entry) const;
    VelkoraUserPtr userOf(const Entry& entry) const;
    void save() const;
    void load();
    std::string folder() const;

    std::vector<EntryPtr> entries_;
    std::set<std::string> checking_;
    // Ids of stored copies that already confirmed an entry: one copy confirms one entry.
    std::set<int32_t> claimed_;
    bool started_ = false;
    foundation::NotificationObserver pollObserver_, networkObserver_;
};

// Whether a failed send may go again by itself once the network is back: no connection, a server fault
// (HTTP 5xx) or a reply that could not be read. Refusals (an error reply, HTTP 4xx) may not.
bool velkoraSendMayRetry(const foundation::ErrorPtr& error);

} // namespace velkora
