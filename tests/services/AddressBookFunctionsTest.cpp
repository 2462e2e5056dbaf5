// The address book's functions as the contacts reader calls them from its own thread: bound to the
// device's contacts where the AddressBook framework is present, answering nothing where it is not.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "BuildPaths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/ui/AlertView.h"
#include "server/utils/VelkoraAddressBookFunctions.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

using namespace velkora;
using services::Device;
using services::Prompt;

namespace {

struct ReadContact {
    std::string first, last;
    std::vector<std::string> emails;
    std::optional<std::string> image;
};

// What the contacts reader does: make a book, ask for access and wait for the answer on its own thread,
// then read every person through the functions.
std::vector<ReadContact> readContacts(bool* granted) {
    foundation::ErrorPtr error;
    ABAddressBookRef book = VelkoraDFL_ABAddressBookCreateWithOptions(nullptr, &error);
    std::promise<bool> answer;
    VelkoraDFL_ABAddressBookRequestAccessWithCompletion(
        book, [&](bool g, const foundation::ErrorPtr&) { answer.set_value(g); });
    *granted = answer.get_future().get();
    std::vector<ReadContact> out;
    if (!*granted) return out;
    auto people = VelkoraDFL_ABAddressBookCopyArrayOfAllPeople(book);
    EXPECT_EQ(VelkoraDFL_ABAddressBookGetPersonCount(book), static_cast<long>(people.size()));
    for (const auto& person : people) {
        ReadContact c;
        c.first = VelkoraDFL_ABRecordCopyValue(person, services::kABPersonFirstNameProperty).toText().value_or("");
        c.last = VelkoraDFL_ABRecordCopyValue(person, services::kABPersonLastNameProperty).toText().value_or("");
        foundation::Value emails = VelkoraDFL_ABRecordCopyValue(person, services::kABPersonEmailProperty);
        for (long i = 0; i < VelkoraDFL_ABMultiValueGetCount(emails); ++i)
            c.emails.push_back(VelkoraDFL_ABMultiValueCopyValueAtIndex(emails, i).toText().value_or("?"));
        EXPECT_TRUE(VelkoraDFL_ABMultiValueCopyValueAtIndex(emails, c.emails.size()).isNull());
        if (VelkoraDFL_ABPersonHasImageData(person)) c.image = VelkoraDFL_ABPersonCopyImageData(person);
        out.push_back(std::move(c));
    }
    return out;
}

class AddressBookFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Device::instance().resetForTests();
        Device::instance().update([](services::DeviceProfile& p) {
            p.contacts = {{"Mia", "Sorensen", {"mia@velkora.example", "mia.s@work.example"}, "PNGDATA"},
                          {"", "", {}, ""},
                          {"Omar", "Haddad", {"omar@velkora.example"}, ""}};
        });
        foundation::RunLoop::main().useTestClock();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
    }
    void TearDown() override {
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        Device::instance().resetForTests();
        foundation::RunLoop::main().reset();
    }
    // Runs the reader on its own thread while the main run loop shows the prompt and `answer` taps it.
    std::vector<ReadContact> readBehindThePrompt(const std::function<void()>& answer, bool* granted) {
        auto reader = std::async(std::launch::async, [granted] { return readContacts(granted); });
        if (answer) {
            EXPECT_TRUE(foundation::RunLoop::main().runUntil(
                [] { return Device::instance().promptAlert(Prompt::Contacts) != nullptr; }, 10));
            answer();
        }
        while (reader.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            foundation::RunLoop::main().runOnce(0.01);
        return reader.get();
    }
};

TEST_F(AddressBookFunctionsTest, AReaderBehindAWaitingPromptGetsEveryKindOfContact) {
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
    bool granted = false;
    auto contacts =
        readBehindThePrompt([] { Device::instance().promptAlert(Prompt::Contacts)->tapButtonAtIndex(1); }, &granted);
    EXPECT_TRUE(granted);
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0].first, "Mia");
    EXPECT_EQ(contacts[0].emails, (std::vector<std::string>{"mia@velkora.example", "mia.s@work.example"}));
    EXPECT_EQ(contacts[0].image, "PNGDATA");
    EXPECT_EQ(contacts[1].first, "");
    EXPECT_TRUE(contacts[1].emails.empty());
    EXPECT_EQ(contacts[1].image, std::nullopt);
    EXPECT_EQ(contacts[2].emails, std::vector<std::string>{"omar@velkora.example"});

    // A refusal is remembered: the next reader is answered at once, without a prompt, and reads nothing.
    Device::instance().resetForTests();
    Device::instance().update([](services::DeviceProfile& p) { p.contacts = {{"Ann", "Lee", {"a@x.org"}, ""}}; });
    readBehindThePrompt([] { Device::instance().answerPrompt(Prompt::Contacts, false); }, &granted);
    EXPECT_FALSE(granted);
    EXPECT_TRUE(readBehindThePrompt(nullptr, &granted).empty());
    EXPECT_FALSE(granted);
    EXPECT_FALSE(Device::instance().isPromptWaiting(Prompt::Contacts));
}

TEST_F(AddressBookFunctionsTest, WithoutTheFrameworkThereIsNoBookAndNoPrompt) {
    auto empty = std::filesystem::temp_directory_path() / ("velkora-no-ab-" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(empty.string() + "/%@/lib%@.so");
    foundation::ErrorPtr error;
    EXPECT_EQ(VelkoraDFL_ABAddressBookCreateWithOptions(nullptr, &error), nullptr);
    bool granted = true;
    EXPECT_TRUE(readBehindThePrompt(nullptr, &granted).empty());
    EXPECT_FALSE(granted);
    EXPECT_FALSE(Device::instance().isPromptWaiting(Prompt::Contacts));
    // A book made while the framework was there reads nothing once it is gone.
    auto person = std::make_shared<services::AddressBookPerson>("Ann", "Lee", std::vector<std::string>{"a@x.org"}, "P");
    EXPECT_TRUE(VelkoraDFL_ABRecordCopyValue(person, services::kABPersonFirstNameProperty).isNull());
    EXPECT_FALSE(VelkoraDFL_ABPersonHasImageData(person));
    EXPECT_EQ(VelkoraDFL_ABPersonCopyImageData(person), std::nullopt);
    std::filesystem::remove_all(empty);
}

} // namespace
