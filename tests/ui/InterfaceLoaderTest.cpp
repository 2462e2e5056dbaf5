#include "platform/ui/InterfaceLoader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "BuildPaths.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/layout/LayoutConstraint.h"

namespace velkora::ui {
namespace {

const std::string kInterfaces = (std::filesystem::path(VELKORA_TEST_DATA_DIR) / "interfaces").string();

// A popup that loads its body from a file, as the kit's dialogs do.
class TestPopup : public View, public InterfaceOwner {
public:
    void registerInterfaceBindings(InterfaceBindings& b) override {
        b.outlet("toplevelView", toplevelView);
        b.outlet("titleLabel", titleLabel);
        b.outlet("okButton", okButton);
        b.outlet("titleTopSpaceConstraint", titleTopSpaceConstraint);
        b.action("okTapped:", this, &TestPopup::okTapped);
    }
    void okTapped(Control* sender) {
        ++taps;
        lastSender = sender;
    }
    ViewPtr toplevelView;
    std::shared_ptr<Label> titleLabel;
    std::shared_ptr<Button> okButton;
    std::shared_ptr<LayoutConstraint> titleTopSpaceConstraint;
    int taps = 0;
    Control* lastSender = nullptr;
};

// A cell class whose objects carry outlets of their own.
class TestCell : public View, public InterfaceOwner {
public:
    void registerInterfaceBindings(InterfaceBindings& b) override {
        b.outlet("nameLabel", nameLabel);
        b.outlet("lineView", lineView);
        b.outlet("lineTopConstraint", lineTopConstraint);
    }
    void awakeFromInterface() override { awoken = nameLabel != nullptr; }
    std::shared_ptr<Label> nameLabel;
    std::weak_ptr<View> lineView;
    std::shared_ptr<LayoutConstraint> lineTopConstraint;
    bool awoken = false;
};

class TestScreenController : public ViewController, public InterfaceOwner {
public:
    using ViewController::ViewController;
    void registerInterfaceBindings(InterfaceBindings& b) override { b.outlet("titleLabel", titleLabel); }
    std::shared_ptr<Label> titleLabel;
};

// A slot whose constraints place a bar inside it, as an answer button's share bar is placed.
class TestSlot : public View, public InterfaceOwner {
public:
    void registerInterfaceBindings(InterfaceBindings& b) override {
        b.outlet("toplevelView", toplevelView);
        b.outlet("slotView", slotView);
        b.outlet("barView", barView);
        b.outlet("barTrailingConstraint", barTrailingConstraint);
    }
    ViewPtr toplevelView, slotView, barView;
    std::shared_ptr<LayoutConstraint> barTrailingConstraint;
};

class InterfaceLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        loader().reset();
        loader().setInterfacesPath(kInterfaces);
        loader().registerClass<TestCell>("TestCell");
    }
    void TearDown() override {
        Device::current().setUserInterfaceIdiom(UserInterfaceIdiom::Phone);
        loader().reset();
    }
    static InterfaceLoader& loader() { return InterfaceLoader::instance(); }
};

TEST_F(InterfaceLoaderTest, BuildsTheTreeBindsOutletsActionsAndNamedConstraints) {
    auto popup = std::make_shared<TestPopup>();
    auto objects = loader().loadNibNamed("TestPopup", popup.get());
    ASSERT_EQ(objects.size(), 1u);
    ASSERT_TRUE(popup->toplevelView && popup->titleLabel && popup->okButton && popup->titleTopSpaceConstraint);
    EXPECT_EQ(popup->toplevelView, objects[0]);
    EXPECT_EQ(popup->titleLabel->superview(), objects[0].get());
    EXPECT_EQ(popup->titleLabel->text(), "Phone title");
    ASSERT_TRUE(popup->titleLabel->font());
    EXPECT_TRUE(popup->titleLabel->font()->isBold());
    EXPECT_EQ(popup->titleLabel->font()->pointSize(), 15);
    EXPECT_EQ(popup->toplevelView->backgroundColor(), Color::fromHex("#202020"));
    EXPECT_EQ(popup->okButton->titleForState(ControlStateHighlighted), "OK!");
    EXPECT_EQ(popup->titleTopSpaceConstraint->identifier(), "titleTop");
    EXPECT_EQ(popup->titleTopSpaceConstraint->constant(), 12);
    EXPECT_FALSE(popup->titleLabel->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(popup->toplevelView->translatesAutoresizingMaskIntoConstraints());

    // The file's constraints lay the body out, and the named one moves it.
    auto body = popup->toplevelView;
    body->layoutIfNeeded();
    EXPECT_EQ(popup->titleLabel->frame(), Rect(10, 12, 260, 21));
    EXPECT_EQ(popup->okButton->frame(), Rect(0, 41, 140, 40));
    popup->titleTopSpaceConstraint->setConstant(30);
    body->layoutIfNeeded();
    EXPECT_EQ(popup->okButton->frame().y(), 59);

    popup->okButton->tap();
    EXPECT_EQ(popup->taps, 1);
    EXPECT_EQ(popup->lastSender, popup->okButton.get());
    // The owner is watched: once it is gone its actions no longer run.
    auto button = popup->okButton;
    popup.reset();
    button->tap();
}

TEST_F(InterfaceLoaderTest, TabletLoadsTheVariantAndFallsBackWhenThereIsNone) {
    struct Case {
        std::optional<UserInterfaceIdiom> idiom;
        std::string name, file, title;
    } cases[] = {
        {UserInterfaceIdiom::Phone, "TestPopup", "TestPopup.json", "Phone title"},
        {UserInterfaceIdiom::Pad, "TestPopup", "iPad_TestPopup.json", "Tablet title"},
        {UserInterfaceIdiom::Pad, "iPad_TestPopup", "iPad_TestPopup.json", "Tablet title"},
        {std::nullopt, "TestPopup", "TestPopup.json", "Phone title"}, // cannot answer: a phone
        {UserInterfaceIdiom::Pad, "TestCell", "TestCell.json", ""},
        {UserInterfaceIdiom::Pad, "iPad_TestCell", "TestCell.json", ""},
    };
    for (const auto& c : cases) {
        Device::current().setUserInterfaceIdiom(c.idiom);
        std::string path = loader().pathForInterface(c.name);
        EXPECT_EQ(path, kInterfaces + "/" + c.file) << c.name;
        if (c.title.empty()) continue;
        auto popup = std::make_shared<TestPopup>();
        ASSERT_EQ(loader().loadNibNamed(c.name, popup.get()).size(), 1u) << c.name;
        EXPECT_EQ(popup->titleLabel->text(), c.title);
    }
    EXPECT_EQ(loader().pathForInterface("Missing"), "");
    EXPECT_EQ(loader().pathForInterface("../interfaces/TestCell"), "");
}

TEST_F(InterfaceLoaderTest, CellFileGivesItsFirstObjectWithItsOwnOutlets) {
    auto cell = std::dynamic_pointer_cast<TestCell>(loader().loadFirstObject("TestCell"));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(cell->awoken);
    ASSERT_TRUE(cell->nameLabel && cell->lineTopConstraint);
    auto line = cell->lineView.lock();
    ASSERT_TRUE(line);
    cell->layoutIfNeeded();
    EXPECT_EQ(line->frame(), Rect(0, 36, 320, 1));
    EXPECT_EQ(line->frame().maxY(), 37);
    cell->lineTopConstraint->setConstant(20);
    cell->layoutIfNeeded();
    EXPECT_EQ(line->frame().maxY(), 49);
}

TEST_F(InterfaceLoaderTest, ControllerViewComesFromItsViewOutlet) {
    auto controller = std::make_shared<TestScreenController>("TestScreen");
    auto view = controller->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->frame(), Rect(0, 0, 320, 480));
    ASSERT_TRUE(controller->titleLabel);
    EXPECT_EQ(controller->titleLabel->superview(), view.get());
}

// Each faulty file is refused as a whole: a line naming the file and the culprit, no objects, and
// nothing bound to the owner.
TEST_F(InterfaceLoaderTest, FaultyFilesFailLoudlyAndBindNothing) {
    const std::string good = R"({"class": "Label", "id": "t", "outlet": "titleLabel"})";
    struct Case {
        std::string objects, expected;
    } cases[] = {
        {good + R"(, {"class": "Spinner"})", "Velkora (E) - interface file Broken.json: unknown class Spinner"},
        {good + R"(, {"class": "Label", "outlet": "subtitleLabel"})",
         "Velkora (E) - interface file Broken.json: unknown outlet subtitleLabel"},
        {good + R"(, {"class": "Button", "actions": [{"selector": "cancelTapped:"}]})",
         "Velkora (E) - interface file Broken.json: unknown action cancelTapped:"},
        {good + R"(, {"class": "View", "outlet": "okButton"})",
         "Velkora (E) - interface file Broken.json: cannot hold its object in outlet okButton"},
        {good + R"(, {"class": "View", "constraints": [{"first": "nobody", "firstAttribute": "top"}]})",
         "Velkora (E) - interface file Broken.json: unknown object id nobody"},
        {good + R"(, {"class": "View", "properties": {"text": "x"}})",
         "Velkora (E) - interface file Broken.json: unknown property View.text"},
        {good + R"(, {"class": "Label", "properties": {"numberOfLines": "two"}})",
         "Velkora (E) - interface file Broken.json: has a bad value for property numberOfLines"},
        {good + R"(, {"class": "Button", "properties": {"font": {"size": -2}}})",
         "Velkora (E) - interface file Broken.json: has a bad value for property font"},
        {good + R"(, {"class": "View", "constraints": [{"firstAttribute": "middle"}]})",
         "Velkora (E) - interface file Broken.json: has a constraint with a bad firstAttribute: middle"},
        {good + R"(, {"class": "View", "action": []})",
         "Velkora (E) - interface file Broken.json: has an unknown key action"},
        {good + R"(, {"class": "View", "actions": [{"selector": "okTapped:"}]})",
         "has an action on a view that is not a control: okTapped:"},
        {good + R"(, {"class": "Label", "id": "t"})", "uses an id twice: t"},
        {good + R"(, {"class": "View", "frame": [0, 0, 10]})", "has a bad frame for View"},
    };
    for (const auto& c : cases) {
        foundation::Log::Capture log;
        auto popup = std::make_shared<TestPopup>();
        auto objects = loader().loadFromText(R"({"objects": [)" + c.objects + "]}", "Broken.json", popup.get());
        EXPECT_TRUE(objects.empty()) << c.objects;
        EXPECT_TRUE(log.contains(c.expected))
            << c.expected << "\n got: " << (log.lines().empty() ? "" : log.lines()[0]);
        EXPECT_FALSE(popup->titleLabel) << c.objects;
    }
    foundation::Log::Capture log;
    EXPECT_TRUE(loader().loadFromText("{\"objects\": [", "Cut.json", nullptr).empty());
    EXPECT_TRUE(log.contains("Velkora (E) - interface file Cut.json is not a JSON object"));
    EXPECT_TRUE(loader().loadNibNamed("NoSuchFile", nullptr).empty());
    EXPECT_TRUE(log.contains("Velkora (E) - interface file NoSuchFile not found"));
    // Without an owner, an owner's outlet is unknown too.
    EXPECT_TRUE(loader().loadFromText(R"({"objects": [)" + good + "]}", "NoOwner.json", nullptr).empty());
    EXPECT_TRUE(log.contains("Velkora (E) - interface file NoOwner.json: unknown outlet titleLabel"));
}

// A class that loads its body from a file when it is made from one; this one names itself in its body.
class SelfLoading : public View, public InterfaceOwner {
public:
    void registerInterfaceBindings(InterfaceBindings&) override {}
    void awakeFromInterface() override {
        body =
            InterfaceLoader::instance().loadFromText(R"({"objects": [{"class": "SelfLoading"}]})", "Loop.json", this);
    }
    std::vector<ViewPtr> body;
};

TEST_F(InterfaceLoaderTest, FilesLoadedWhileLoadingEndEvenWhenTheyLoop) {
    loader().registerClass<SelfLoading>("SelfLoading");
    foundation::Log::Capture log;
    auto objects = loader().loadFromText(R"({"objects": [{"class": "SelfLoading"}]})", "Loop.json", nullptr);
    ASSERT_EQ(objects.size(), 1u);
    int levels = 0;
    for (auto v = std::dynamic_pointer_cast<SelfLoading>(objects[0]); v && !v->body.empty();
         v = std::dynamic_pointer_cast<SelfLoading>(v->body[0]))
        ++levels;
    EXPECT_EQ(levels, 15);
    EXPECT_TRUE(log.contains("Velkora (E) - interface file Loop.json loads interface files 16 levels deep"));
}

TEST_F(InterfaceLoaderTest, DeepNestingIsRefused) {
    std::string text = R"({"objects": [)";
    for (int i = 0; i < 100; ++i)
        text += R"({"subviews": [)";
    for (int i = 0; i < 100; ++i)
        text += "]}";
    text += "]}";
    foundation::Log::Capture log;
    EXPECT_TRUE(loader().loadFromText(text, "Deep.json", nullptr).empty());
    EXPECT_TRUE(log.contains("Deep.json nests views too deeply"));
}

// A file loaded again and again (a cell per row) gives new objects each time, and a file that changed
// on disk is read anew, a broken one refused on every load.
TEST_F(InterfaceLoaderTest, FileLoadedAgainGivesNewObjectsAndFollowsChangesOnDisk) {
    auto first = std::dynamic_pointer_cast<TestCell>(loader().loadFirstObject("TestCell"));
    auto second = std::dynamic_pointer_cast<TestCell>(loader().loadFirstObject("TestCell"));
    ASSERT_TRUE(first && second && first->nameLabel && second->nameLabel);
    EXPECT_NE(first, second);
    EXPECT_NE(first->nameLabel, second->nameLabel);
    first->nameLabel->setText("changed");
    EXPECT_NE(second->nameLabel->text(), "changed");

    auto folder = std::filesystem::temp_directory_path() /
                  ("velkora-interfaces-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(folder);
    loader().setInterfacesPath(folder.string());
    auto write = [&](const std::string& text) {
        ASSERT_TRUE(foundation::writeFileAtomically((folder / "Changing.json").string(), text));
    };
    auto titleOf = [&] {
        auto popup = std::make_shared<TestPopup>();
        loader().loadNibNamed("Changing", popup.get());
        return popup->titleLabel ? popup->titleLabel->text() : std::string("(none)");
    };
    const std::string file =
        R"({"objects": [{"class": "Label", "outlet": "titleLabel", "properties": {"text": "%"}}]})";
    auto withTitle = [&](const std::string& title) {
        std::string text = file;
        return text.replace(text.find('%'), 1, title);
    };
    write(withTitle("One"));
    EXPECT_EQ(titleOf(), "One");
    write(withTitle("Second"));
    EXPECT_EQ(titleOf(), "Second");
    write("{\"objects\": [");
    for (int i = 0; i < 2; ++i) {
        foundation::Log::Capture log;
        EXPECT_EQ(titleOf(), "(none)");
        EXPECT_TRUE(log.contains("Changing.json is not a JSON object"));
    }
    std::filesystem::remove_all(folder);
}

// The view holding constraints about its subviews keeps following its own frame: only the subviews are
// placed by them. Were it placed too, nothing would fix its size, and a bar's new width could as well widen it.
TEST_F(InterfaceLoaderTest, AViewHoldingConstraintsOnItsSubviewsKeepsItsFrame) {
    auto owner = std::make_shared<TestSlot>();
    ASSERT_EQ(loader().loadNibNamed("TestSlot", owner.get()).size(), 1u);
    ASSERT_TRUE(owner->slotView && owner->barView && owner->barTrailingConstraint);
    EXPECT_TRUE(owner->slotView->translatesAutoresizingMaskIntoConstraints());
    EXPECT_FALSE(owner->barView->translatesAutoresizingMaskIntoConstraints());
    owner->toplevelView->layoutIfNeeded();
    for (double trailing : {20.0, 277.6, 60.0, 300.0}) {
        SCOPED_TRACE(trailing);
        owner->barTrailingConstraint->setConstant(trailing);
        owner->toplevelView->layoutIfNeeded();
        EXPECT_EQ(owner->slotView->frame(), Rect(0, 10, 320, 44));
        EXPECT_NEAR(owner->barView->frame().width(), 300 - trailing, 1e-6);
    }
    // The root grows: the slot follows its mask and the bar its constraints.
    owner->toplevelView->setFrame({0, 0, 400, 200});
    owner->toplevelView->layoutIfNeeded();
    EXPECT_EQ(owner->slotView->frame().width(), 400);
    EXPECT_NEAR(owner->barView->frame().width(), 80, 1e-6);
}

} // namespace
} // namespace velkora::ui
