// velkora-demo: a host application in miniature. It starts velkora-service as a child process when it is
// given one, shows the platform foundation at work on the main run loop, and exits by itself.
//
//   velkora-demo [--service PATH]
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ServiceProcess.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Uuid.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraAppSettings.h"
#include "velkora/Version.h"

using namespace velkora::foundation;

namespace {

void say(const std::string& text) {
    std::printf("velkora-demo: %s\n", text.c_str());
    std::fflush(stdout);
}

// Timers, a notification filtered by its sender, a background job whose result hops back to the main
// loop, an atomic write and the strings table; answers whether everything arrived.
bool showFoundation() {
    RunLoop& loop = RunLoop::main();
    int sender = 0;
    int ticks = 0, heard = 0;
    bool hopped = false, oneShot = false;

    NotificationObserver observer("VelkoraDemoTick", &sender, [&](const Notification& n) {
        ++heard;
        say("notification " + n.name + " #" + n.userInfo["tick"].textOr("?"));
    });
    int stranger = 0;
    NotificationCenter::defaultCenter().post("VelkoraDemoTick", &stranger); // another sender: not heard

    auto repeating = loop.schedule(0.2, true, [&](Timer& t) {
        ++ticks;
        say("repeating timer tick " + std::to_string(ticks));
        NotificationCenter::defaultCenter().post("VelkoraDemoTick", &sender, Value(Dictionary{{"tick", ticks}}));
        if (ticks == 3) t.invalidate();
    });
    loop.schedule(0.5, false, [&](Timer&) {
        oneShot = true;
        say("one-shot timer fired after 0.5 s");
    });

    auto queue = DispatchQueue::create("velkora.demo.digest");
    auto mainThread = ::gettid();
    queue->async([&loop, &hopped, mainThread] {
        std::string md5 = md5Hex("password", true);
        std::string sha1 = sha1Hex("abc");
        bool offMain = ::gettid() != mainThread;
        loop.post([&hopped, md5, sha1, offMain, mainThread] {
            hopped = true;
            say(std::string("digests computed ") + (offMain ? "on a background queue" : "on the main thread") +
                ", delivered on the main loop" + (::gettid() == mainThread ? "" : " (wrong thread!)") +
                ": MD5(password)=" + md5 + " SHA-1(abc)=" + sha1);
        });
    });

    std::string file = Paths::documents() + "/demo.txt";
    ErrorPtr error;
    if (writeFileAtomically(file, "written by velkora-demo " + uuidV4(), &error)) {
        say("atomic write: " + readFile(file).value_or("(unreadable)"));
    } else {
        say("atomic write failed: " + error->description());
    }
    say("strings table: velkora_text_ok = \"" + Bundle::main().localizedString("velkora_text_ok") + "\"");

    bool done = loop.runUntil([&] { return ticks == 3 && oneShot && hopped; }, 10.0);
    queue->waitUntilIdle();
    return done && heard == 3;
}

// The seeded user who writes to the demo's user: another client of the service, speaking its protocol
// with a bare fetcher (the kit's own message sending comes with the conversations).
struct SeededWriter : velkora::VelkoraUrlFetcherDelegate {
    bool done = false, failed = false;
    void urlGotError(velkora::VelkoraUrlFetcher&, const ErrorPtr& e) override {
        say("the seeded user could not write: " + e->description());
        done = failed = true;
    }
    void urlDidFinishWithString(velkora::VelkoraUrlFetcher&, const std::optional<std::string>& text) override {
        say("the seeded user u-mira wrote to us (service answered " + text.value_or("?") + ")");
        done = true;
    }
};

// Our user writes back through the kit's own command, then the chat list shows the conversation.
bool answerAndListChats(const std::string& appId) {
    using namespace velkora;
    RunLoop& loop = RunLoop::main();
    auto host = std::make_shared<int>(0);  // the caller the answers go to
    bool sent = false, listed = false, failed = false;
    auto fail = [&](const ErrorPtr& e) {
        say("the service refused: " + (e ? e->domain : std::string("?")));
        failed = true;
    };
    VelkoraServerApi::sendMessage(std::string("Thanks, Mira! Glad to be here?"), appId, std::string("u-mira"),
                                  "text/plain", VelkoraCallback::make(host, [&](const Value&) {
                                      say("we wrote back to u-mira with sendMessage");
                                      sent = true;
                                  }, fail));
    loop.runUntil([&] { return sent || failed; }, 10);
    VelkoraServerApi::getChats(VelkoraCallback::make(host, [&](const Value& answer) {
        if (const auto* chats = answer.asArray())
            for (const Value& c : *chats) {
                auto chat = c.asObject<VelkoraChat>();
                if (!chat || !chat->user()) continue;
                const auto& latest = chat->messages();
                say("chat with " + chat->user()->firstName().value_or(chat->user()->userId().value_or("?")) + ": " +
                    std::to_string(chat->numMessages()) + " messages, the latest \"" +
                    (latest.empty() ? std::string() : latest.front()->message().value_or("")) + "\"");
            }
        listed = true;
    }, fail));
    loop.runUntil([&] { return listed || failed; }, 10);
    return sent && listed;
}

// A host session against the service: the user is created, the poll runs, and a message from a seeded
// user arrives in a poll and is printed as it is delivered.
bool showSession(int port, const std::string& caFile) {
    using namespace velkora;
    RunLoop& loop = RunLoop::main();
    const std::string appId = "velkora-demo";
    UrlConnection::setCaFile(caFile);
    VelkoraServerEndpoint::setServer("127.0.0.1:" + std::to_string(port));
    Log::Capture log(true);  // the kit's own lines still reach standard error

    VelkoraAgentInternal::instance().initUserInfo(appId);
    VelkoraAgentInternal::instance().initAppData(appId);
    VelkoraAppSettings::instance().setAppId(appId);
    VelkoraServerApi::startSession(appId, nullptr);
    auto& agent = VelkoraServerClientAgent::instance();
    if (!loop.runUntil([&] { return agent.isSessionInitialized(); }, 20)) {
        say("the session did not get a user id");
        return false;
    }
    std::string me = agent.userId().value_or("");
    say("session started; the service made our user " + me);

    bool delivered = false;
    auto inbox = std::make_shared<VelkoraMessagesDelegate>();
    inbox->gotMessages = [&](const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
        if (!messages) {
            say("poll: no new messages");
            return;
        }
        for (const auto& m : *messages) {
            std::string from = m->sender() ? m->sender()->firstName().value_or(m->sender()->userId().value_or("?")) : "?";
            say("poll delivered message #" + std::to_string(m->messageId()) + " from " + from + ": \"" +
                m->message().value_or("") + "\"");
            delivered = true;
        }
    };
    VelkoraServerApi::setMessagesDelegate(inbox);  // polls at once
    loop.runUntil([&] { return agent.workingProtocolsWrappers().empty(); }, 10);

    auto writer = std::make_shared<SeededWriter>();
    auto fetcher = VelkoraUrlFetcher::create(writer);
    fetcher->getUrl(tagRequestText(VelkoraServerEndpoint::url() + "?command=sendMessage&clientType=1&build=2.5.7&appId=" +
                                   appId + "&userId=" + me + "&senderAppId=" + appId +
                                   "&senderUserId=u-mira&message=" + escapeRequestValue("Welcome to Velkora!") +
                                   "&contentType=text/plain"));
    loop.runUntil([&] { return writer->done; }, 10);
    if (writer->failed) return false;
    VelkoraServerApi::updateNow();
    loop.runUntil([&] { return delivered; }, 20);
    say(std::string("next poll in ") + std::to_string(agent.lastUpdateTimeout()) + " s");
    bool answered = answerAndListChats(appId);
    VelkoraServerApi::setMessagesDelegate({});
    VelkoraServerApi::pause();
    VelkoraServerClientAgent::resetForTests();  // lets go of the connections before the service stops
    UrlConnection::closeIdleConnections();
    return delivered && answered;
}

} // namespace

int main(int argc, char** argv) {
    // A reader that stops early (velkora-demo | head) must not cut the run short before it cleans up.
    std::signal(SIGPIPE, SIG_IGN);
    std::string servicePath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--service" && i + 1 < argc) {
            servicePath = argv[++i];
        } else {
            std::fprintf(stderr, "usage: velkora-demo [--service PATH]\n");
            return 2;
        }
    }

    // Everything the run writes goes to a scratch folder, removed on the way out.
    std::string scratch = createTemporaryDirectory("velkora-demo-");
    if (scratch.empty()) {
        say("cannot make a scratch folder");
        return 1;
    }
    struct Cleanup {
        std::string path;
        ~Cleanup() { removeTree(path); }
    } cleanup{scratch};
    Paths::setAppName("velkora-demo");
    Paths::setRoot(scratch + "/host");
    say("Velkora " + velkora::versionString());

    velkora::demo::ServiceProcess service;
    bool serviceFailed = false;
    if (servicePath.empty()) {
        say("no --service given: showing the foundation alone");
    } else if (::access(servicePath.c_str(), X_OK) != 0) {
        say("velkora-service is absent (" + servicePath + "): showing the foundation alone");
    } else {
        std::string error;
        if (service.start(servicePath, scratch + "/service", 30.0, &error)) {
            say("velkora-service (pid " + std::to_string(service.pid()) + ") listens on https://127.0.0.1:" +
                std::to_string(service.port()) + "/VelkoraServer2/api, certificate " + service.caFile());
        } else {
            serviceFailed = true;
            say("velkora-service did not start: " + error);
        }
    }

    bool shown = showFoundation();
    say(shown ? "foundation: all shown" : "foundation: something did not arrive in time");

    bool session = true;
    if (service.pid() > 0) {
        session = showSession(service.port(), service.caFile());
        say(session ? "session: user created, poll ran, message delivered, answered and seen in the chats"
                        : "session: something did not arrive in time");
    }

    if (service.pid() > 0) say("velkora-service " + service.stop());
    say("done");
    return shown && session && !serviceFailed ? 0 : 1;
}
