// The one-to-one chat against velkora-service's demo application: a session for a new user of it, other
// users made in the service, the chat screen in a host window on the test clock, in the zone
// Europe/Berlin and the locale en_US.
#pragma once

#include <cstdlib>
#include <ctime>

#include "conversations/StickerFixture.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "conversations/VelkoraChatOutbox.h"
#include "conversations/VelkoraFullScreenImageViewController.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/utils/VelkoraReachability.h"

namespace velkora::testing {

// Seconds since 1970 of a wall time in the process's zone (Europe/Berlin in these tests).
inline double berlin(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<double>(std::mktime(&t));
}

class ChatTest : public StickerTest {
protected:
    void SetUp() override {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        foundation::DateFormatter::setCurrentTimeZoneIdentifier("Europe/Berlin");
        foundation::DateFormatter::setCurrentLocaleIdentifier("en_US");
        StickerTest::SetUp();
        ui::Keyboard::instance().reset();
        VelkoraChatOutbox::resetForTests();
    }
    void TearDown() override {
        screen_.reset();
        VelkoraChatOutbox::resetForTests();
        ui::Keyboard::instance().reset();
        StickerTest::TearDown();
        foundation::DateFormatter::setCurrentTimeZoneIdentifier("");
        foundation::DateFormatter::setCurrentLocaleIdentifier("");
    }

    // A session for a new user of the demo application, with the user's data held.
    void startChatting() {
        ASSERT_NO_FATAL_FAILURE(startWithUserData());
        // The inbox's list first: from then on the poll carries private messages.
        ASSERT_TRUE(waitFor([] { return VelkoraChatsRepository::instance().didFinishLoading(); }) && settle());
    }
    std::string makeUser(const std::string& first, const std::string& last = "Tester") {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        return svc.createUser(kDemo, f);
    }
    // The chat with that user as the sidebar opens it (by id), shown and loaded.
    std::shared_ptr<VelkoraChatOneViewController> openChat(const std::string& userId) {
        auto screen =
            std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
                "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(userId)}})));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        show(screen);
        screen_ = screen;
        if (!screen->velkoraContentView()) {
            ADD_FAILURE() << "the chat's interface did not load";
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
            return nullptr;
        }
        EXPECT_TRUE(waitFor([&] { return screen->loaded(); }));
        settleScreen();
        return screen;
    }
    // The rows in table order as "side:text" ("me:" or "other:").
    std::vector<std::string> rows(const VelkoraChatOneViewController& screen) const {
        std::vector<std::string> out;
        if (!screen.dataSource()) return out;
        for (const auto& m : screen.dataSource()->allMessages())
            out.push_back(std::string(VelkoraChatOneTableCell::isMine(*m) ? "me:" : "other:") +
                          m->message().value_or(""));
        return out;
    }
    // Types into the bar and taps send.
    void type(VelkoraChatOneViewController& screen, const std::string& text) {
        screen.sendMessageText()->setText(text);
        screen.sendMessageButtonTapped(nullptr);
    }
    // The service's conversation between the two users, oldest first, as "sender:text".
    std::vector<std::string> stored(const std::string& a, const std::string& b) const {
        std::vector<std::string> out;
        for (const auto& r : svc.selectRows(
                 "SELECT sender_user_id, message FROM messages WHERE app_id = ? AND ((sender_user_id = ? AND "
                 "recipient_user_id = ? AND deleted_by_sender = 0) OR (sender_user_id = ? AND recipient_user_id = ? "
                 "AND deleted_by_recipient = 0)) ORDER BY change_number",
                 {kDemo, a, b, b, a}))
            out.push_back(r[0] + ":" + r[1]);
        return out;
    }
    static std::shared_ptr<ui::Image> picture(double width, double height, const char* colour = "#3B82F6") {
        auto context = ui::GraphicsContext::bitmap({width, height}, 1.0, true);
        context->setFillColor(ui::Color::fromHex(colour));
        context->fillRect({0, 0, width, height});
        context->setFillColor(ui::Color::fromHex("#FFFFFF"));
        context->fillRect({width / 4, height / 4, width / 2, height / 2});
        return context->makeImage();
    }
    // Until nothing is in flight and the chat's pictures are in.
    bool quiet() { return settle() && picturesLoaded(); }
    void pollNow() {
        const size_t polls = count("update");
        VelkoraServerApi::updateNow();
        ASSERT_TRUE(waitForRequests("update", polls + 1));
    }

    std::shared_ptr<VelkoraChatOneViewController> screen_;
};

// The same, with the network's reachability in the test's hands.
class OfflineChatTest : public ChatTest {
protected:
    void SetUp() override {
        ChatTest::SetUp();
        provider_ = std::make_shared<foundation::TestReachabilityProvider>();
        foundation::NetworkReachability::setProvider(provider_);
        VelkoraReachabilityManager::resetForTests();
    }
    void TearDown() override {
        ChatTest::TearDown();
        VelkoraReachabilityManager::resetForTests();
        foundation::NetworkReachability::setProvider(nullptr);
    }
    void networkGoes(bool reachable) {
        provider_->setReachable(reachable);
        loop().advance(0);
    }
    std::shared_ptr<foundation::TestReachabilityProvider> provider_;
};

} // namespace velkora::testing
