// The host session walk: a seeded user writes to ours, the poll delivers the message, we answer it with
// the kit's own command and the chat list shows the conversation.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DemoSteps.h"
#include "platform/foundation/RunLoop.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora::foundation;

namespace {

using velkora::demo::Demo;

// The seeded user who writes to the demo's user: another client of the service, speaking its protocol
// with a bare fetcher.
struct SeededWriter : velkora::VelkoraUrlFetcherDelegate {
    explicit SeededWriter(const Demo& d) : demo(d) {}
    const Demo& demo;
    bool done = false, failed = false;
    void urlGotError(velkora::VelkoraUrlFetcher&, const ErrorPtr& e) override {
        demo.say("the seeded user could not write: " + e->description());
        done = failed = true;
    }
    void urlDidFinishWithString(velkora::VelkoraUrlFetcher&, const std::optional<std::string>&) override {
        demo.say("the seeded user Mira wrote to our user");
        done = true;
    }
};

// Our user writes back through the kit's own command, then the chat list shows the conversation.
bool answerAndListChats(Demo& demo) {
    using namespace velkora;
    RunLoop& loop = demo.loop();
    auto host = std::make_shared<int>(0); // the caller the answers go to
    bool sent = false, listed = false, failed = false;
    auto fail = [&](const ErrorPtr& e) {
        demo.say("the service refused: " + (e ? e->domain : std::string("?")));
        failed = true;
    };
    VelkoraServerApi::sendMessage(std::string("Thanks, Mira! Glad to be here?"), demo.appId(), std::string("u-mira"),
                                  "text/plain",
                                  VelkoraCallback::make(
                                      host,
                                      [&](const Value&) {
                                          demo.say("we wrote back to u-mira with sendMessage");
                                          sent = true;
                                      },
                                      fail));
    loop.runUntil([&] { return sent || failed; }, 10);
    VelkoraServerApi::getChats(VelkoraCallback::make(
        host,
        [&](const Value& answer) {
            if (const auto* chats = answer.asArray())
                for (const Value& c : *chats) {
                    auto chat = c.asObject<VelkoraChat>();
                    if (!chat || !chat->user()) continue;
                    const auto& latest = chat->messages();
                    demo.say("chat with " + chat->user()->firstName().value_or(chat->user()->userId().value_or("?")) +
                             ": " + std::to_string(chat->numMessages()) + " messages, the latest \"" +
                             (latest.empty() ? std::string() : latest.front()->message().value_or("")) + "\"");
                }
            listed = true;
        },
        fail));
    loop.runUntil([&] { return listed || failed; }, 10);
    return sent && listed;
}

} // namespace

VELKORA_DEMO_STEP(hostSession, 100, DemoStep::NeedsService) {
    using namespace velkora;
    if (!demo.ensureSession()) return false;
    RunLoop& loop = demo.loop();
    auto& agent = VelkoraServerClientAgent::instance();
    std::string me = agent.userId().value_or("");

    bool delivered = false;
    auto inbox = std::make_shared<VelkoraMessagesDelegate>();
    inbox->gotMessages = [&](const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
        if (!messages) {
            demo.say("poll: no new messages");
            return;
        }
        for (const auto& m : *messages) {
            std::string from =
                m->sender() ? m->sender()->firstName().value_or(m->sender()->userId().value_or("?")) : "?";
            demo.say("poll delivered message #" + std::to_string(m->messageId()) + " from " + from + ": \"" +
                     m->message().value_or("") + "\"");
            delivered = true;
        }
    };
    VelkoraServerApi::setMessagesDelegate(inbox); // polls at once
    loop.runUntil([&] { return agent.workingProtocolsWrappers().empty(); }, 10);

    auto writer = std::make_shared<SeededWriter>(demo);
    auto fetcher = VelkoraUrlFetcher::create(writer);
    fetcher->getUrl(tagRequestText(
        VelkoraServerEndpoint::url() + "?command=sendMessage&clientType=1&build=2.5.7&appId=" + demo.appId() +
        "&userId=" + me + "&senderAppId=" + demo.appId() +
        "&senderUserId=u-mira&message=" + escapeRequestValue("Welcome to Velkora!") + "&contentType=text/plain"));
    loop.runUntil([&] { return writer->done; }, 10);
    if (writer->failed) return false;
    VelkoraServerApi::updateNow();
    loop.runUntil([&] { return delivered; }, 20);
    demo.say(std::string("next poll in ") + std::to_string(agent.lastUpdateTimeout()) + " s");
    bool answered = answerAndListChats(demo);
    // The delegate lives on this stack: the poll must not reach it after the step.
    VelkoraServerApi::setMessagesDelegate({});
    if (delivered && answered)
        demo.say("session: user created, poll ran, message delivered, answered and seen in the chats");
    return delivered && answered;
}
