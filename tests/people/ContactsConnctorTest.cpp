// The address-book reader on a background thread: the people with an e-mail, their texts byte for byte
// after trimming, their pictures, and the empty answers of refusal, a missing module and the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ConnectorFixture.h"
#include "social/VelkoraContactsConnctor.h"
#include "platform/ui/Image.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class ContactsConnctorTest : public ConnectorTest {
protected:
    // Reads on a thread of its own while the main loop runs, as the invite screen does.
    std::vector<std::shared_ptr<VelkoraContactUser>> readInBackground() {
        std::vector<std::shared_ptr<VelkoraContactUser>> out;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            out = VelkoraContactsConnctor::retrieveFriendsContactUsers();
            done = true;
        });
        EXPECT_TRUE(waitFor([&] { return done.load(); }));
        reader.join();
        return out;
    }
    static std::string jpeg() {
        auto image = ui::Image::create(4, 4);
        auto bytes = image->jpegData(0.8);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(ContactsConnctorTest, PeopleWithAnEmailComeBackInBookOrderWithTheirTextsWhole) {
    const std::string nbsp = "\xC2\xA0";
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    services::Device::instance().update([&](services::DeviceProfile& p) {
        p.contacts = {
            {"Ann", "Lee", {" ann@x.org\t", "second@x.org"}, ""},
            {"Blank", "Mail", {"  \t "}, ""},
            {"Phone", "Only", {}, ""},
            {"", "", {"nameless@x.org"}, ""},
            {"Дмитрий", "Иванов", {"dima@x.ru"}, ""},
            {"山田", "太郎", {"taro@x.jp"}, ""},
            {nbsp + family + nbsp,
             "\xE3\x80\x80"
             "Émile",
             {"fam@x.org"},
             jpeg()},
            {"Broken", "Photo", {"broken@x.org"}, "not a picture"},
        };
    });
    services::Device::instance().setPromptPolicy(services::Prompt::Contacts, services::PromptPolicy::Grant);
    auto contacts = readInBackground();
    ASSERT_EQ(contacts.size(), 6u);
    struct Expect {
        const char *email, *first, *last, *full;
    };
    const std::string familyName = family;
    const Expect expected[] = {
        {"ann@x.org", "Ann", "Lee", "Ann Lee"},
        {"nameless@x.org", "", "", "nameless@x.org"},
        {"dima@x.ru", "Дмитрий", "Иванов", "Дмитрий Иванов"},
        {"taro@x.jp", "山田", "太郎", "山田 太郎"},
        {"fam@x.org", familyName.c_str(), "Émile", nullptr},
        {"broken@x.org", "Broken", "Photo", "Broken Photo"},
    };
    for (size_t i = 0; i < contacts.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(contacts[i]->email(), expected[i].email);
        EXPECT_EQ(contacts[i]->firstName(), expected[i].first);
        EXPECT_EQ(contacts[i]->lastName(), expected[i].last);
        if (expected[i].full) {
            EXPECT_EQ(contacts[i]->fullName(), expected[i].full);
        }
    }
    ASSERT_TRUE(contacts[4]->photoImage());
    EXPECT_EQ(contacts[4]->photoImage()->pixelWidth(), 4);
    EXPECT_FALSE(contacts[5]->photoImage()) << "undecodable bytes give no picture";
}

TEST_F(ContactsConnctorTest, RefusalNoModuleAndTheMainThreadGiveNothing) {
    services::Device::instance().update([](services::DeviceProfile& p) { p.contacts = {{"A", "B", {"a@x.org"}, ""}}; });
    services::Device::instance().setPromptPolicy(services::Prompt::Contacts, services::PromptPolicy::Refuse);
    EXPECT_TRUE(readInBackground().empty());

    services::Device::instance().resetForTests();
    services::Device::instance().update([](services::DeviceProfile& p) { p.contacts = {{"A", "B", {"a@x.org"}, ""}}; });
    services::Device::instance().setPromptPolicy(services::Prompt::Contacts, services::PromptPolicy::Grant);
    EXPECT_TRUE(VelkoraContactsConnctor::retrieveFriendsContactUsers().empty());
    EXPECT_TRUE(logged("Velkora (E) - retrieveFriendsContactUsers: called on the main thread"));
    EXPECT_EQ(readInBackground().size(), 1u);

    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate("/nonexistent/%@/lib%@.so");
    EXPECT_TRUE(readInBackground().empty());
}

TEST_F(ContactsConnctorTest, TrimmingCutsOnlyWholeBlankCharacters) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"\t a \t", "a"},
        {"\xE2\x80\x83x\xE3\x80\x80", "x"}, // em space, ideographic space
        {"\xC2\xA0\xC2\xA0", ""},
        {"a\xC2", "a\xC2"},                 // a cut character is kept, never split further
        {"\xE2\x80\x8Bz", "\xE2\x80\x8Bz"}, // zero-width space is no separator
    };
    for (const auto& c : cases)
        EXPECT_EQ(VelkoraContactsConnctor::trimmed(c.in), c.out);
}

} // namespace
