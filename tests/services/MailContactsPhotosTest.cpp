// The mail sheet and its outbox, the address book behind its prompt, and the photo picker.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SocialFixture.h"
#include "platform/services/AddressBook.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/MailComposeViewController.h"

namespace velkora::testing {

namespace {

using services::Prompt;

// A picture of one colour, as PNG bytes.
std::string pngOf(const ui::Color& colour, int w = 60, int h = 40) {
    auto ctx = ui::GraphicsContext::bitmap({double(w), double(h)});
    ctx->setFillColor(colour);
    ctx->fillRect({0, 0, double(w), double(h)});
    auto bytes = ctx->makeImage()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

struct MailRecorder : ui::MailComposeViewControllerDelegate {
    std::vector<int> results;
    void mailComposeControllerDidFinish(ui::MailComposeViewController&, int result,
                                        const foundation::ErrorPtr&) override {
        results.push_back(result);
    }
};

struct PickerRecorder : ui::ImagePickerControllerDelegate {
    std::vector<std::shared_ptr<ui::Image>> picked;
    int cancelled = 0;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController&,
                                                            const foundation::Value& info) override {
        picked.push_back(info[ui::kImagePickerControllerOriginalImage].asObject<ui::Image>());
    }
    void imagePickerControllerDidCancel(ui::ImagePickerController&) override { ++cancelled; }
};

bool samePixels(const ui::Image& a, const ui::Image& b) {
    if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return false;
    for (int y = 0; y < a.pixelHeight(); ++y)
        for (int x = 0; x < a.pixelWidth(); ++x)
            if (a.pixelAt(x, y) != b.pixelAt(x, y)) return false;
    return true;
}

using MailContactsPhotosTest = SocialTest;

} // namespace

TEST_F(MailContactsPhotosTest, MailNeedsAnAccountAndTheOutboxKeepsOnlyWhatWasSent) {
    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount.reset(); });
    EXPECT_FALSE(ui::MailComposeViewController::canSendMail());
    EXPECT_EQ(ui::MailComposeViewController::create(), nullptr);
    services::Device::instance().update(
        [](services::DeviceProfile& p) { p.mailAccount = "dana@mail.velkora.example"; });

    struct Case {
        const char* what;
        std::function<void(ui::MailComposeViewController&)> act;
        int result;
        size_t sent, drafts;
    } cases[] = {
        {"cancel", [](ui::MailComposeViewController& m) { m.tapCancel(); }, ui::MailComposeResultCancelled, 0, 0},
        {"save", [](ui::MailComposeViewController& m) { m.saveDraft(); }, ui::MailComposeResultSaved, 0, 1},
        {"send", [](ui::MailComposeViewController& m) { m.tapAction(); }, ui::MailComposeResultSent, 1, 1},
    };
    for (const Case& c : cases) {
        auto mail = ui::MailComposeViewController::create();
        ASSERT_NE(mail, nullptr);
        auto recorder = std::make_shared<MailRecorder>();
        mail->setMailComposeDelegate(recorder);
        mail->setSubject("Join me on Velkora Demo");
        mail->setToRecipients({"friend@example.org"});
        mail->setMessageBody("<p>Come <b>play</b> &amp; chat</p>", true);
        mail->addAttachmentData(pngOf(ui::Color::black()), "image/png", "photo.png");
        EXPECT_EQ(mail->shownBody(), "Come play & chat\n");
        c.act(*mail);
        c.act(*mail); // a second tap after the sheet finished changes nothing
        EXPECT_EQ(recorder->results, std::vector<int>{c.result}) << c.what;
        EXPECT_EQ(services::MailOutbox::instance().sent().size(), c.sent) << c.what;
        EXPECT_EQ(services::MailOutbox::instance().drafts().size(), c.drafts) << c.what;
    }
    auto sent = services::MailOutbox::instance().sent().at(0);
    EXPECT_EQ(sent.from, "dana@mail.velkora.example");
    EXPECT_EQ(sent.toRecipients, std::vector<std::string>{"friend@example.org"});
    EXPECT_TRUE(sent.isHTML);
    ASSERT_EQ(sent.attachments.size(), 1u);
    EXPECT_EQ(sent.attachments[0].fileName, "photo.png");

    // Without a recipient there is nothing to send; an account gone while the sheet was up fails (3).
    auto empty = ui::MailComposeViewController::create();
    empty->view();
    EXPECT_FALSE(empty->actionButton()->isEnabled());
    auto late = ui::MailComposeViewController::create();
    auto recorder = std::make_shared<MailRecorder>();
    late->setMailComposeDelegate(recorder);
    late->setToRecipients({"friend@example.org"});
    services::Device::instance().update([](services::DeviceProfile& p) { p.mailAccount.reset(); });
    late->tapAction();
    EXPECT_EQ(recorder->results, std::vector<int>{ui::MailComposeResultFailed});
    EXPECT_EQ(services::MailOutbox::instance().sent().size(), 1u);
}

TEST_F(MailContactsPhotosTest, ABackgroundReaderWaitsForThePromptThenReadsTheContacts) {
    std::string photo = pngOf(ui::Color::fromHex("#D9453B"));
    services::Device::instance().update([&](services::DeviceProfile& p) {
        p.contacts = {{"Ana", "Lima", {"ana@example.org", "ana.work@example.org"}, ""},
                      {"", "", {"   "}, ""},
                      {"Bo", "", {}, ""},
                      {" Cy ", "Moss", {"cy@example.org"}, photo}};
    });
    struct Read {
        bool granted = false;
        std::vector<std::string> lines;
    };
    // Reads as the kit's contacts reader does: waits on its own thread for the answer, then reads.
    auto readContacts = [] {
        Read read;
        auto book = services::AddressBook::createWithOptions();
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<bool> granted;
        book->requestAccessWithCompletion([&](bool g, const foundation::ErrorPtr&) {
            std::lock_guard lock(mutex);
            granted = g;
            answered.notify_all();
        });
        std::unique_lock lock(mutex);
        answered.wait(lock, [&] { return granted.has_value(); });
        read.granted = *granted;
        auto people = book->copyArrayOfAllPeople();
        EXPECT_EQ(book->personCount(), static_cast<long>(people.size()));
        for (const auto& person : people) {
            auto emails =
                person->copyValue(services::kABPersonEmailProperty).asObject<services::AddressBookMultiValue>();
            std::string line = person->copyValue(services::kABPersonFirstNameProperty).toText().value_or("-") + "|" +
                               std::to_string(emails ? emails->count() : -1) + "|" +
                               (emails ? emails->copyValueAtIndex(0) : "") + "|" +
                               (person->hasImageData() ? std::to_string(person->copyImageData().size()) : "0");
            read.lines.push_back(line);
        }
        return read;
    };

    std::optional<Read> first;
    std::thread reader([&] { first = readContacts(); });
    ASSERT_TRUE(waitFor([] { return services::Device::instance().promptAlert(Prompt::Contacts) != nullptr; }));
    EXPECT_FALSE(first.has_value());
    services::Device::instance().answerPrompt(Prompt::Contacts, true);
    reader.join();
    ASSERT_TRUE(first->granted);
    EXPECT_EQ(first->lines, (std::vector<std::string>{"Ana|2|ana@example.org|0", "-|1|   |0", "Bo|0||0",
                                                      " Cy |1|cy@example.org|" + std::to_string(photo.size())}));

    // A refusal is remembered: the next reader hears it at once, without a prompt, and reads nothing.
    services::Device::instance().resetForTests();
    services::Device::instance().update([](services::DeviceProfile& p) { p.contacts = {{"Ana", "", {"a@b.c"}, ""}}; });
    std::thread refused([&] { first = readContacts(); });
    ASSERT_TRUE(waitFor([] { return services::Device::instance().promptAlert(Prompt::Contacts) != nullptr; }));
    services::Device::instance().answerPrompt(Prompt::Contacts, false);
    refused.join();
    EXPECT_FALSE(first->granted);
    EXPECT_TRUE(first->lines.empty());
    Read again = readContacts();
    EXPECT_FALSE(again.granted);
    EXPECT_FALSE(services::Device::instance().isPromptWaiting(Prompt::Contacts));
    EXPECT_EQ(services::AddressBook::authorizationStatus(), 2);
}

TEST_F(MailContactsPhotosTest, ThePickerHandsOverTheAlbumsPictureOrTheShotAndSavingAsks) {
    std::vector<std::string> album = {pngOf(ui::Color::fromHex("#1E6FD9")),
                                      pngOf(ui::Color::fromHex("#34C759"), 30, 50)};
    services::Device::instance().update([&](services::DeviceProfile& p) {
        p.album = {{"blue.png", album[0]}, {"green.png", album[1]}};
    });
    auto recorder = std::make_shared<PickerRecorder>();

    auto picker = ui::ImagePickerController::create();
    picker->setDelegate(recorder);
    picker->setSourceType(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum);
    EXPECT_FALSE(picker->pickPhotoAtIndex(2));
    EXPECT_FALSE(picker->shoot());
    ASSERT_TRUE(picker->pickPhotoAtIndex(1));
    ASSERT_EQ(recorder->picked.size(), 1u);
    EXPECT_TRUE(samePixels(*recorder->picked[0], *ui::Image::fromData(std::string_view(album[1]))));
    EXPECT_FALSE(picker->pickPhotoAtIndex(0)) << "a finished picker picks nothing more";

    auto camera = ui::ImagePickerController::create();
    camera->setDelegate(recorder);
    camera->setSourceType(ui::ImagePickerControllerSourceTypeCamera);
    std::string shot = pngOf(ui::Color::fromHex("#FF9500"), 64, 48);
    services::Device::instance().setNextCameraShot(shot);
    ASSERT_TRUE(camera->shoot());
    ASSERT_EQ(recorder->picked.size(), 2u);
    EXPECT_EQ(recorder->picked[1]->pixelWidth(), 64);

    // Saving the shot asks the photos prompt; once allowed the album holds it.
    std::vector<foundation::ErrorPtr> saved;
    ui::imageWriteToSavedPhotosAlbum(recorder->picked[1], [&](const foundation::ErrorPtr& e) { saved.push_back(e); });
    ASSERT_TRUE(waitFor([] { return services::Device::instance().promptAlert(Prompt::Photos) != nullptr; }));
    services::Device::instance().answerPrompt(Prompt::Photos, true);
    ASSERT_TRUE(waitFor([&] { return !saved.empty(); }));
    EXPECT_EQ(saved[0], nullptr);
    auto after = services::Device::instance().album();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_TRUE(samePixels(*ui::Image::fromData(std::string_view(after[2].data)), *recorder->picked[1]));

    auto cancelled = ui::ImagePickerController::create();
    cancelled->setDelegate(recorder);
    cancelled->cancel();
    cancelled->cancel();
    EXPECT_EQ(recorder->cancelled, 1);
    EXPECT_EQ(recorder->picked.size(), 2u);

    services::Device::instance().update([](services::DeviceProfile& p) { p.cameraAvailable = false; });
    EXPECT_FALSE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceTypeCamera));
    auto noCamera = ui::ImagePickerController::create();
    noCamera->setSourceType(ui::ImagePickerControllerSourceTypeCamera);
    EXPECT_EQ(noCamera->sourceType(), ui::ImagePickerControllerSourceTypePhotoLibrary);
}

} // namespace velkora::testing
