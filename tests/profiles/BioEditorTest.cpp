// The bio editor: what it refuses, what Done saves, what cancel asks, and one closed notification per close.
#include "ProfilesFixture.h"
#include "people/VelkoraEditAboutViewController.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class BioEditorTest : public ProfilesTest {
protected:
    void SetUp() override {
        ProfilesTest::SetUp();
        closedObserver_ = foundation::NotificationObserver("VelkoraUserAboutPopupClosedNotification", nullptr,
                                                           [this](const foundation::Notification&) { ++closed_; });
    }
    std::shared_ptr<VelkoraEditAboutViewController> openEditor() {
        auto editor = std::dynamic_pointer_cast<VelkoraEditAboutViewController>(
            VelkoraScreenRegistry::instance().makeScreen("editAbout"));
        EXPECT_TRUE(editor);
        if (!editor) return nullptr;
        show(editor);
        EXPECT_TRUE(editor->aboutTextView()) << "the interface file did not load";
        return editor->aboutTextView() ? editor : nullptr;
    }
    void localUser(const std::optional<std::string>& bio) {
        auto me = std::make_shared<VelkoraUserInternal>();
        me->setUserId(std::string("me"));
        me->setFirstName(std::string("Vera"));
        if (bio) me->setCustomString1(*bio);
        VelkoraAgentInternal::instance().setVelkoraUser(me);
    }
    int closed_ = 0;
    foundation::NotificationObserver closedObserver_;
};

TEST_F(BioEditorTest, RefusesTextPast140UnitsOrOnAFourthLine) {
    localUser(std::nullopt);
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    auto& text = *editor->aboutTextView();
    ASSERT_TRUE(text.becomeFirstResponder());
    EXPECT_EQ(text.text(), "") << "the placeholder goes when editing begins";
    const std::string emoji = "\xF0\x9F\x98\x80";
    // Words as people type them, cut to a length.
    auto words = [](size_t n) {
        std::string out;
        while (out.size() < n)
            out += "the quick brown fox jumps over a lazy dog ";
        return out.substr(0, n);
    };
    // A word that takes most of a line: three of them fill the three lines a bio may have.
    const std::string longWord(24, 'w');
    const struct {
        const char* what;
        std::string before, typed;
        bool accepted;
        const char* left;
    } cases[] = {
        {"the 140th character", words(139), "b", true, "0"},
        {"the 141st character", words(140), "b", false, "0"},
        {"a paste past 140", words(130), std::string(11, 'c'), false, "10"},
        {"an emoji counts as two", words(139), emoji, false, "1"},
        {"an emoji that fits", words(138), emoji, true, "0"},
        {"a line break onto the third line", "one\ntwo", "\nthree", true, "127"},
        {"a fourth line after line breaks", "one\ntwo\nthree", "\nfour", false, "127"},
        {"a fourth wrapped line", longWord + " " + longWord + " " + longWord, " " + longWord, false, "66"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        text.replaceRange({0, ui::utf16::length(text.text())}, c.before);
        EXPECT_EQ(text.text(), c.before);
        EXPECT_EQ(text.insertText(c.typed), c.accepted);
        EXPECT_EQ(text.text(), c.accepted ? c.before + c.typed : c.before);
        EXPECT_EQ(editor->numCharsLabel()->text(), c.left);
        // What was let in shows on fewer than four lines, in the width it is drawn in.
        const ui::EdgeInsets in = text.textContainerInset();
        const ui::Size shown = ui::measureText(text.text(), text.font(), text.frame().width() - in.left - in.right, 0,
                                               ui::LineBreakMode::WordWrap);
        EXPECT_LT(static_cast<int>(shown.height / text.font().lineHeight()), 4);
    }
    EXPECT_EQ(closed_, 0);
}

TEST_F(BioEditorTest, DoneWithoutTypingSavesNothingAndClosesOnce) {
    startSignedIn();
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->aboutTextView()->text(), "Tell people something about yourself");
    EXPECT_NE(editor->aboutTextView()->textColor(), editor->origTextViewColor());
    svc.clearRequests();
    editor->doneTapped(nullptr);
    editor->doneTapped(nullptr);
    settleScreen();
    EXPECT_EQ(count("setUserData"), 0u);
    EXPECT_EQ(closed_, 1);
    EXPECT_FALSE(VelkoraAgentInternal::instance().velkoraUser()->customString1().has_value());
}

TEST_F(BioEditorTest, DoneSavesTheTextExactlyWithOneNotification) {
    startSignedIn();
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    auto& text = *editor->aboutTextView();
    ASSERT_TRUE(text.becomeFirstResponder());
    const std::string bio = "&=?%#+\nsecond line \xF0\x9F\x98\x80";
    ASSERT_TRUE(text.insertText(bio));
    editor->doneTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return count("setUserData") >= 2; }));
    settleScreen();
    EXPECT_EQ(svc.userColumn(kApp, me_, "custom_string1"), bio);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->customString1(), bio);
    EXPECT_EQ(closed_, 1);
}

TEST_F(BioEditorTest, CancelOverARealTextAsksAndYesClosesOnce) {
    localUser(std::string("   "));
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->aboutTextView()->text(), "   ") << "a bio of blanks is shown as it is";
    EXPECT_EQ(editor->aboutTextView()->textColor(), editor->origTextViewColor());
    editor->cancelTapped(nullptr);
    auto question = editor->cancelQuestion();
    ASSERT_TRUE(question) << "asked even when nothing changed";
    EXPECT_EQ(question->titleLabel()->text(), "Discard Changes?");
    EXPECT_EQ(closed_, 0);
    editor->popupOkTapped();
    editor->popupOkTapped();
    EXPECT_EQ(closed_, 1);
}

TEST_F(BioEditorTest, CancelOverThePlaceholderOrAnEmptiedTextClosesAtOnce) {
    localUser(std::nullopt);
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    editor->cancelTapped(nullptr);
    EXPECT_FALSE(editor->cancelQuestion());
    EXPECT_EQ(closed_, 1);

    localUser(std::string("Old bio"));
    auto second = openEditor();
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->aboutTextView()->becomeFirstResponder());
    second->aboutTextView()->replaceRange({0, 7}, "");
    second->cancelTapped(nullptr);
    EXPECT_FALSE(second->cancelQuestion());
    EXPECT_EQ(closed_, 2);
    second->doneTapped(nullptr);
    EXPECT_EQ(closed_, 2) << "a closed editor closes no more";
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->customString1(), std::string("Old bio"));
}

// Leaving the field and coming back keeps what was typed, whether the saved bio is missing, empty or
// blank; only the placeholder, or blanks, go when editing begins.
TEST_F(BioEditorTest, ComingBackToTheFieldKeepsWhatWasTyped) {
    for (const std::optional<std::string>& saved :
         {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("  ")}) {
        SCOPED_TRACE(saved ? "\"" + *saved + "\"" : "no bio");
        localUser(saved);
        auto editor = openEditor();
        ASSERT_TRUE(editor);
        auto& text = *editor->aboutTextView();
        ASSERT_TRUE(text.becomeFirstResponder());
        EXPECT_EQ(text.text(), "");
        ASSERT_TRUE(text.insertText("Tiles and tides"));
        ASSERT_TRUE(text.resignFirstResponder());
        ASSERT_TRUE(text.becomeFirstResponder());
        EXPECT_EQ(text.text(), "Tiles and tides");
        EXPECT_EQ(text.textColor(), editor->origTextViewColor());
        EXPECT_EQ(editor->numCharsLabel()->text(), "125");
        editor->doneTapped(nullptr);
        EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->customString1(), std::string("Tiles and tides"));
    }
}

// The placeholder reads at the bio's own size, inset from the box's border as the bio is.
TEST_F(BioEditorTest, ThePlaceholderSitsWhereTheBioWill) {
    localUser(std::nullopt);
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    auto& text = *editor->aboutTextView();
    ASSERT_NE(text.textColor(), editor->origTextViewColor()) << "the placeholder shows";
    const ui::EdgeInsets in = text.textContainerInset();
    EXPECT_GE(in.left, 5);
    EXPECT_EQ(in.left, in.right);
    EXPECT_GE(in.top, 5);
    EXPECT_GE(text.font().pointSize(), 12);
    window_->layoutIfNeeded();
    expectLooksLike("bio_editor_placeholder");
}

TEST_F(BioEditorTest, PictureOfTheEditorWithABio) {
    localUser(std::string("Designer by day, quiz hunter by night. Coffee, tiles and the Atlantic."));
    auto editor = openEditor();
    ASSERT_TRUE(editor);
    window_->layoutIfNeeded();
    expectLooksLike("bio_editor");
}

} // namespace
