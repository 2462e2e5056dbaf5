// What a host's users do with their social accounts on the demo device: identify themselves on Twitter
// and tweet through the sheet, log in to Facebook and share through its feed dialog, mail an invitation,
// read the address book and pick a photo. The screens go to the output folder, with the mail outbox, the
// tweets and posts the stand-ins kept, and the addresses the application opened.
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "BuildPaths.h"
#include "DemoSteps.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Accounts.h"
#include "platform/services/AddressBook.h"
#include "platform/services/Device.h"
#include "platform/services/MailOutbox.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Request.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/Application.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/MailComposeViewController.h"

namespace {

using namespace velkora;

bool wait(demo::Demo& demo, const std::function<bool()>& done) {
    return demo.loop().runUntil(done, 20);
}

// The demo device, unless the host was given one in VELKORA_DEVICE.
bool loadDevice(demo::Demo& demo) {
    if (std::getenv("VELKORA_DEVICE")) return true;
    std::string path = std::string(VELKORA_SERVICE_SEED_DIR) + "/../../demo/device.json";
    if (auto error = services::Device::instance().loadProfile(path)) {
        demo.say("the demo device could not be read: " + error->description());
        return false;
    }
    return true;
}

bool twitter(demo::Demo& demo) {
    auto store = services::AccountStore::create();
    auto type = store->accountTypeWithAccountTypeIdentifier(services::kAccountTypeIdentifierTwitter);
    std::mutex mutex;
    std::optional<bool> granted;
    store->requestAccessToAccountsWithType(type, [&](bool g, const foundation::ErrorPtr&) {
        std::lock_guard lock(mutex);
        granted = g;
    });
    wait(demo, [&] {
        std::lock_guard lock(mutex);
        return granted.has_value();
    });
    auto accounts = store->accountsWithAccountType(type);
    if (accounts.empty()) {
        demo.say("Twitter: no account to use on this device");
        return false;
    }
    auto request = services::SocialRequest::requestForServiceType(
        services::kServiceTypeTwitter, services::RequestMethodGET,
        services::OutsideEndpoints::url(services::OutsideEndpoints::Service::TwitterApi, "1.1/users/show.json"),
        {{"screen_name", accounts[0]->username()}});
    request->setAccount(accounts[0]);
    std::optional<std::pair<long, std::string>> reply;
    request->performRequestWithHandler(
        [&](const std::string& data, const foundation::UrlResponse& response, const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            reply = {response.statusCode, data};
        });
    wait(demo, [&] {
        std::lock_guard lock(mutex);
        return reply.has_value();
    });
    // The profile the network answered, in words: the account's name and place.
    std::string who = "unanswered";
    if (reply && reply->first != 200) {
        who = "not found (the network answered " + std::to_string(reply->first) + ")";
    } else if (reply) {
        auto profile = foundation::JsonSerialization::JSONObjectWithData(reply->second);
        auto field = [&](const char* key) {
            const foundation::Value* v = profile ? profile->get(key) : nullptr;
            return v && v->asString() ? *v->asString() : std::string();
        };
        who = field("name").empty() ? "an account without a name" : field("name");
        if (!field("location").empty()) who += " in " + field("location");
    }
    demo.say("Twitter: @" + accounts[0]->username() + " is " + who);

    auto sheet = ui::ComposeViewController::composeViewControllerForServiceType(services::kServiceTypeTwitter);
    if (!sheet) return false;
    sheet->setInitialText("@mira_okafor I'm playing Velkora Demo, come and join me");
    sheet->addURL("https://demo.velkora.example/join");
    demo.writePng(*sheet->view(), "tweet_sheet");
    std::optional<int> result;
    sheet->setCompletionHandler([&](int r) { result = r; });
    sheet->tapAction();
    wait(demo, [&] { return result.has_value(); });
    demo.say(std::string("Twitter: the tweet sheet finished with ") + (result == 1 ? "done (posted)" : "no post"));
    return result == 1;
}

bool facebook(demo::Demo& demo) {
    services::facebook::Session::setDefaultAppID("100000000000001");
    ui::Application::instance().setOpenURLHandler([](const std::string& url, const std::string&) {
        return services::facebook::Session::activeSession()->handleOpenURL(url);
    });
    std::optional<int> state;
    services::facebook::Session::openActiveSessionWithReadPermissions(
        {"user_location", "user_birthday", "user_photos"}, true,
        [&](services::facebook::Session&, int s, const foundation::ErrorPtr&) { state = s; });
    wait(demo, [&] { return state.has_value(); });
    demo.say(state == services::facebook::SessionStateOpen ? "Facebook: the user allowed the application in"
                                                           : "Facebook: the sign-in did not open a session");
    if (state != services::facebook::SessionStateOpen) return false;
    std::optional<foundation::Value> me;
    services::facebook::Request::requestForMe()->startWithCompletionHandler(
        [&](const foundation::Value& result, const foundation::ErrorPtr&) { me = result; });
    wait(demo, [&] { return me.has_value(); });
    demo.say("Facebook: signed in as " + (*me)["name"].toText().value_or("?") + " (id " +
             (*me)["id"].toText().value_or("?") + ")");

    std::optional<std::string> posted;
    services::facebook::WebDialogs::presentFeedDialogModallyWithSession(
        nullptr,
        {{"to", "100009000000014"},
         {"name", "Join me on Velkora Demo"},
         {"link", "https://demo.velkora.example/join"},
         {"description", "Chat, play quizzes and follow friends inside Velkora Demo."}},
        [&](int result, const std::string& url, const foundation::ErrorPtr&) {
            posted = std::to_string(result) + " " + url;
        });
    auto dialog = services::facebook::FeedDialogViewController::current();
    if (!dialog) return false;
    demo.writePng(*dialog->view(), "feed_dialog");
    dialog->tapAction();
    wait(demo, [&] { return posted.has_value(); });
    const bool onTheWall = posted && posted->find("post_id=") != std::string::npos;
    demo.say(onTheWall ? "Facebook: the invitation is on the friend's wall" : "Facebook: nothing was posted");
    return posted && posted->find("post_id=") != std::string::npos;
}

bool mailContactsAndPhotos(demo::Demo& demo) {
    // The contacts reader waits on a thread of its own while the prompt is answered.
    std::vector<std::string> emails;
    std::thread reader([&] {
        auto book = services::AddressBook::createWithOptions();
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
        book->requestAccessWithCompletion([&](bool, const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            done = true;
            cv.notify_all();
        });
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return done; });
        for (const auto& person : book->copyArrayOfAllPeople())
            if (auto list = person->emails(); list && list->count() > 0) emails.push_back(list->copyValueAtIndex(0));
    });
    reader.join();
    demo.say("Address book: " + std::to_string(emails.size()) + " contacts with an e-mail address");

    auto mail = ui::MailComposeViewController::create();
    if (!mail) {
        demo.say("Mail: the device has no mail account");
        return false;
    }
    mail->setSubject("Join me on Velkora Demo");
    mail->setToRecipients(emails.empty() ? std::vector<std::string>{"friend@example.org"} : emails);
    mail->setMessageBody("I'm playing Velkora Demo: chat, quizzes and friends. Come and join me!", false);
    demo.writePng(*mail->view(), "mail_form");
    mail->tapAction();

    auto picker = ui::ImagePickerController::create();
    picker->setSourceType(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum);
    demo.writePng(*picker->view(), "album");
    return true;
}

// The outbox, the tweets and posts the stand-ins keep, and the addresses the application opened.
void writeRecords(demo::Demo& demo) {
    std::ofstream out(std::filesystem::path(demo.outputDir()) / "social.txt");
    for (const auto& m : services::MailOutbox::instance().sent()) {
        std::string to;
        for (const auto& r : m.toRecipients)
            to += (to.empty() ? "" : ", ") + r;
        out << "mail from " << m.from << " to " << to << ": " << m.subject << "\n";
    }
    for (const auto& url : ui::Application::instance().openedURLs())
        out << "opened " << url << "\n";
    demo.say("social records written to social.txt");
}

} // namespace

VELKORA_DEMO_STEP(socialAccounts, 600, DemoStep::NeedsService) {
    if (!loadDevice(demo)) return false;
    foundation::UrlConnection::setCaFile(demo.caFile());
    std::string base = "https://127.0.0.1:" + std::to_string(demo.servicePort());
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::TwitterApi, base + "/twitter");
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph, base + "/graph");
    bool ok = twitter(demo);
    ok = facebook(demo) && ok;
    ok = mailContactsAndPhotos(demo) && ok;
    writeRecords(demo);
    return ok;
}
