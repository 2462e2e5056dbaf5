// The attributed label: links found off the main loop with UTF-16 ranges, taps reported by kind, and its
// drawing (link and active attributes, backgrounds, strike-out, truncation, vertical alignment).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <velkora_service/Service.h>

#include "WidgetSnapshot.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/utils/RequestText.h"
#include "shell/VelkoraAttributedLabel.h"

namespace velkora::testing {
namespace {

using ui::TextRange;

struct Reports : VelkoraAttributedLabelDelegate {
    std::vector<std::string> seen;
    // Which methods answer: "url", "phone", "generic".
    explicit Reports(std::initializer_list<std::string> answers = {"url", "phone", "generic"}) {
        for (const auto& a : answers) {
            if (a == "url")
                attributedLabelDidSelectLinkWithURL = [this](VelkoraAttributedLabel&, const std::string& u) {
                    seen.push_back("url:" + u);
                };
            if (a == "phone")
                attributedLabelDidSelectLinkWithPhoneNumber = [this](VelkoraAttributedLabel&, const std::string& p) {
                    seen.push_back("phone:" + p);
                };
            if (a == "generic")
                attributedLabelDidSelectLinkWithTextCheckingResult = [this](VelkoraAttributedLabel&,
                                                                            const ui::TextCheckingResult& r) {
                    seen.push_back("generic:" + std::to_string(r.range.location));
                };
        }
    }
};

class AttributedLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop().useTestClock(1000);
        window = ui::Window::create({0, 0, 320, 200});
        window->setBackgroundColor(ui::Color::whiteColor());
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::TouchDriver>(window);
        label = VelkoraAttributedLabel::create({10, 10, 300, 60});
        label->setFont(ui::Font::systemFont(14));
        label->setNumberOfLines(0);
        window->addSubview(label);
    }
    void TearDown() override {
        ui::TouchRouter::instance().reset();
        window->setHidden(true);
        foundation::DispatchQueue::global().waitUntilIdle();
        loop().reset();
    }
    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    // Whatever the detector posted by now has landed.
    static void settleDetection() {
        foundation::DispatchQueue::global().waitUntilIdle();
        bool done = false;
        loop().post([&] { done = true; });
        loop().runUntil([&] { return done; }, 20);
    }
    // A point of the window over the character at `index`.
    ui::Point pointOver(size_t index) const {
        for (double y = 0; y < label->bounds().height(); y += 1)
            for (double x = 0; x < label->bounds().width(); x += 1)
                if (label->characterIndexAtPoint({x, y}) == index)
                    return label->convertPointToView({x + 0.5, y}, nullptr);
        ADD_FAILURE() << "no point over index " << index;
        return {};
    }
    ui::Point pointOutsideText() const { return label->convertPointToView({295, 55}, nullptr); }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::TouchDriver> driver;
    std::shared_ptr<VelkoraAttributedLabel> label;
};

// A comment as the service serves it, with an emoji, a combining accent, an address and a phone number.
std::string servedComment() {
    service::Service svc;
    EXPECT_TRUE(svc.start());
    std::string user = svc.createUser(service::Service::kDemoAppId);
    int64_t topic = svc.addTopic(service::Service::kDemoAppId, "Links");
    svc.addTopicComment(service::Service::kDemoAppId, topic, user,
                        "Cafe\xCC\x81 \xF0\x9F\x98\x80 see https://velkora.example/menu or call +1 555 123 4567");
    std::string text = tagRequestText(
        svc.endpoint() + "?command=getTopic&clientType=1&build=2.5.7&appId=" + service::Service::kDemoAppId +
        "&userId=" + user + "&topicId=" + std::to_string(topic) + "&clean=1");
    auto reply = nlohmann::json::parse(
        svc.answer("GET", "/VelkoraServer2/api" + text.substr(svc.endpoint().size())).body, nullptr, false);
    return reply["topic"]["comments"][0].value("text", std::string());
}

TEST_F(AttributedLabelTest, DetectedLinksLandLaterWithUtf16RangesAndTapsReportByKind) {
    std::string comment = servedComment();
    ASSERT_FALSE(comment.empty());
    label->setDataDetectorTypes(ui::DataDetectorTypes::All);
    label->setText(comment);
    EXPECT_TRUE(label->links().empty()) << "found off the main loop, never inside setText";
    settleDetection();
    ASSERT_EQ(label->links().size(), 2u);
    // "Cafe" + accent (5 units), blank, emoji (2 units), " see " ...
    const auto& url = label->links()[0];
    EXPECT_EQ(url.resultType, ui::TextCheckingType::Link);
    EXPECT_EQ(url.range, (TextRange{13, 28}));
    EXPECT_EQ(ui::utf16::substring(comment, url.range), "https://velkora.example/menu");
    const auto& phone = label->links()[1];
    EXPECT_EQ(phone.resultType, ui::TextCheckingType::PhoneNumber);
    EXPECT_EQ(ui::utf16::substring(comment, phone.range), "+1 555 123 4567");
    // Drawn with the link attributes.
    EXPECT_EQ(label->attributedText()->colorAt(url.range.location), ui::Color::rgba(0, 0, 1));

    auto reports = std::make_shared<Reports>();
    label->setDelegate(reports);
    driver->tap(pointOver(url.range.location + 3));
    driver->tap(pointOver(phone.range.location + 2));
    EXPECT_EQ(reports->seen, (std::vector<std::string>{"url:https://velkora.example/menu", "phone:+1 555 123 4567"}));

    // With only the generic method, every kind comes through it.
    auto generic = std::make_shared<Reports>(std::initializer_list<std::string>{"generic"});
    label->setDelegate(generic);
    driver->tap(pointOver(url.range.location + 3));
    EXPECT_EQ(generic->seen, (std::vector<std::string>{"generic:13"}));
}

TEST_F(AttributedLabelTest, TapsFollowTheirRules) {
    label->setText(std::string("Mira and Tomas liked your post about sailing"));
    label->addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement({0, 4}, "u-mira"));
    label->addLinkToURL("https://a.example", {9, 5});
    label->addLinkToURL("https://b.example", {11, 10}); // overlaps the one before
    label->addLinkToURL("https://empty.example", {30, 0});
    auto reports = std::make_shared<Reports>();
    label->setDelegate(reports);

    struct Case {
        const char* name;
        size_t down;
        std::optional<ui::Point> releaseElsewhere;
        std::vector<std::string> seen;
    };
    const Case cases[] = {
        {"a replacement reaches only the generic method", 1, std::nullopt, {"generic:0"}},
        {"of overlapping links the first wins", 12, std::nullopt, {"url:https://a.example"}},
        {"the second link past the overlap", 17, std::nullopt, {"url:https://b.example"}},
        {"released elsewhere reports nothing", 10, pointOutsideText(), {}},
    };
    for (const auto& c : cases) {
        reports->seen.clear();
        ui::Point at = pointOver(c.down);
        driver->down(at);
        EXPECT_TRUE(label->activeLink()) << c.name;
        if (c.releaseElsewhere) driver->move(*c.releaseElsewhere);
        driver->up(c.releaseElsewhere.value_or(at));
        EXPECT_EQ(reports->seen, c.seen) << c.name;
        EXPECT_FALSE(label->activeLink()) << c.name;
        EXPECT_FALSE(label->inactiveAttributedText()) << c.name;
    }
    EXPECT_FALSE(label->linkAtCharacterIndex(30)) << "an empty link holds nothing";
    EXPECT_EQ(label->characterIndexAtPoint({-5, 5}), ui::kTextNotFound);
    EXPECT_EQ(label->characterIndexAtPoint({295, 55}), ui::kTextNotFound);

    // Empty active attributes change no drawing while touched, and the tap still reports.
    label->setActiveLinkAttributes({});
    reports->seen.clear();
    auto before = label->attributedText();
    ui::Point at = pointOver(10);
    driver->down(at);
    EXPECT_EQ(label->attributedText(), before);
    driver->up(at);
    EXPECT_EQ(reports->seen, (std::vector<std::string>{"url:https://a.example"}));
}

TEST_F(AttributedLabelTest, AReplacedTextGetsNoLinksFromTheSearchOfTheOldOne) {
    label->setDataDetectorTypes(ui::DataDetectorTypes::Link);
    label->setText(std::string("old https://old.example/page"));
    label->setText(std::string("new text, and https://new.example later"));
    settleDetection();
    ASSERT_EQ(label->links().size(), 1u);
    EXPECT_EQ(label->links()[0].url, "https://new.example");
    EXPECT_EQ(label->links()[0].range, (TextRange{14, 19}));
}

TEST_F(AttributedLabelTest, ALabelWithoutTextActsPlain) {
    auto plain = ui::Label::create({0, 0, 120, 40});
    auto bare = VelkoraAttributedLabel::create({0, 0, 120, 40});
    EXPECT_EQ(bare->sizeThatFits({120, 0}), plain->sizeThatFits({120, 0}));
    EXPECT_EQ(bare->textRectForBounds(bare->bounds(), 1), plain->textRectForBounds(plain->bounds(), 1));
    EXPECT_EQ(bare->characterIndexAtPoint({10, 10}), ui::kTextNotFound);
    EXPECT_FALSE(bare->linkAtPoint({10, 10}));
    auto shot = ui::Snapshot::imageOfView(*bare);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->colorAt(60, 20).a, 0) << "nothing drawn";
}

TEST_F(AttributedLabelTest, SizeThatFitsHonoursTheNumberOfLinesAndAlignmentPlacesShortText) {
    label->setText(std::string("A long comment that wraps over several lines of this narrow label, again and again."));
    double oneLine = 0;
    struct Case {
        int lines;
        int expectedLines; // 0: more than two
    };
    for (const Case& c : {Case{1, 1}, Case{2, 2}, Case{0, 0}}) {
        label->setNumberOfLines(c.lines);
        ui::Size size = label->sizeThatFits({100, 0});
        if (c.lines == 1) {
            oneLine = size.height;
            EXPECT_GT(size.width, 100) << "one line asks for its whole width";
        } else {
            EXPECT_LE(size.width, 100);
        }
        if (c.expectedLines) {
            EXPECT_NEAR(size.height, oneLine * c.expectedLines, c.expectedLines) << c.lines;
        } else {
            EXPECT_GT(size.height, oneLine * 3) << c.lines;
        }
    }

    label->setNumberOfLines(1);
    label->setText(std::string("Short"));
    ui::Rect bounds{0, 0, 200, 100};
    double h = label->sizeThatFits({200, 0}).height;
    struct Place {
        int alignment;
        double y;
    };
    for (const Place& p : {Place{0, std::floor((100 - h) / 2)}, Place{1, 0}, Place{2, 100 - h}}) {
        label->setVerticalAlignment(p.alignment);
        EXPECT_DOUBLE_EQ(label->textRectForBounds(bounds, 1).y(), p.y) << p.alignment;
    }
}

// ---- Pictures

std::shared_ptr<ui::View> board(double height) {
    auto view = ui::View::create({0, 0, 320, height});
    view->setBackgroundColor(ui::Color::whiteColor());
    return view;
}

std::shared_ptr<VelkoraAttributedLabel> addLabel(ui::View& parent, ui::Rect frame, const std::string& text,
                                                 int lines = 1) {
    auto l = VelkoraAttributedLabel::create(frame);
    l->setFont(ui::Font::systemFont(15));
    l->setNumberOfLines(lines);
    l->setText(text);
    parent.addSubview(l);
    return l;
}

TEST(AttributedLabelPictures, LinksAndTheActiveLink) {
    auto view = board(70);
    auto l =
        addLabel(*view, {10, 10, 300, 50}, "Mira commented on your photo: see velkora.example or call 555 0101", 2);
    l->addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement({0, 4}, "u-mira"));
    l->addLinkToURL("https://velkora.example", {34, 15});
    l->addLinkToPhoneNumber("555 0101", {58, 8});
    l->setActiveLink(l->links()[1]);
    expectMatchesReference(ui::Snapshot::imageOfView(*view, 2), "label_links");
}

TEST(AttributedLabelPictures, BackgroundsAndStrikeOut) {
    auto view = board(50);
    auto l = addLabel(*view, {10, 10, 300, 30}, "Tags: sailing   old price 12.99");
    ui::AttributedString text = *l->attributedText();
    text.addAttributes({{kVelkoraBackgroundFillColor, ui::Color::rgba(0.85, 0.93, 1)},
                        {kVelkoraBackgroundStrokeColor, ui::Color::rgba(0.2, 0.4, 0.8)},
                        {kVelkoraBackgroundLineWidth, 1.0},
                        {kVelkoraBackgroundCornerRadius, 4.0}},
                       {6, 7});
    text.addAttributes({{kVelkoraStrikeOutAttribute, true}, {ui::attr::ForegroundColor, ui::Color::rgba(0.8, 0, 0)}},
                       {16, 15});
    l->setText(text);
    expectMatchesReference(ui::Snapshot::imageOfView(*view, 2), "label_background_strike");
}

TEST(AttributedLabelPictures, TailTruncationWithTheEllipsisAndACustomToken) {
    auto view = board(70);
    const std::string text = "This comment is far too long to fit on one line of the label";
    auto ellipsis = addLabel(*view, {10, 5, 200, 25}, text);
    ellipsis->setLineBreakMode(ui::LineBreakMode::TruncateTail);
    ellipsis->setText(text);
    auto token = VelkoraAttributedLabel::create({10, 38, 200, 25});
    token->setFont(ui::Font::systemFont(15));
    token->setLineBreakMode(ui::LineBreakMode::TruncateTail);
    token->setTruncationTokenString(std::string(" [more]"));
    token->setText(text);
    view->addSubview(token);
    expectMatchesReference(ui::Snapshot::imageOfView(*view, 2), "label_truncation");
}

TEST(AttributedLabelPictures, VerticalAlignments) {
    auto view = board(90);
    for (int alignment = 0; alignment < 3; ++alignment) {
        auto l = VelkoraAttributedLabel::create({10.0 + alignment * 102, 5, 96, 80});
        l->setBackgroundColor(ui::Color::rgba(0.93, 0.93, 0.93));
        l->setFont(ui::Font::systemFont(15));
        l->setVerticalAlignment(alignment);
        l->setTextAlignment(ui::TextAlignment::Center);
        l->setText("Align " + std::to_string(alignment));
        view->addSubview(l);
    }
    expectMatchesReference(ui::Snapshot::imageOfView(*view, 2), "label_vertical_alignment");
}

} // namespace
} // namespace velkora::testing
