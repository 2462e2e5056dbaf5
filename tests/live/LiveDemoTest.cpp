// velkora-demo --window under a virtual X display: a person's clicks and typing, sent with xdotool, open
// the sidebar, open a chat and send a message with the Return key. The service then holds the message
// once, and the window shows what the headless drawing of the same state shows.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "live/LiveProcesses.h"
#include "platform/foundation/FileIO.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "support/SnapshotCompare.h"
#include "velkora_service/Service.h"

namespace {

using namespace velkora::testing;
using velkora::ui::Image;

// A view the demo listed: its place on screen in points, its class and its text.
struct Listed {
    double x = 0, y = 0, w = 0, h = 0;
    std::string cls, text;
};

std::vector<Listed> readList(const std::string& path) {
    std::vector<Listed> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream s(line);
        Listed l;
        s >> l.x >> l.y >> l.w >> l.h >> l.cls;
        std::getline(s, l.text);
        if (!l.text.empty() && l.text[0] == ' ') l.text.erase(0, 1);
        out.push_back(l);
    }
    return out;
}

uint32_t be32(const std::string& d, size_t at) {
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 | uint32_t(uint8_t(d[at + 2])) << 8 |
           uint32_t(uint8_t(d[at + 3]));
}

// A window dump of xwd (ZPixmap, 24 or 32 bits per pixel, true colour) as a picture.
std::shared_ptr<Image> readXwd(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 100) return nullptr;
    uint32_t headerSize = be32(d, 0), format = be32(d, 8), width = be32(d, 16), height = be32(d, 20);
    uint32_t byteOrder = be32(d, 28), bpp = be32(d, 44), bytesPerLine = be32(d, 48), ncolors = be32(d, 76);
    if (format != 2 || bpp != 32) return nullptr;
    size_t pixels = headerSize + ncolors * 12;
    if (d.size() < pixels + size_t(bytesPerLine) * height) return nullptr;
    auto image = Image::create(int(width), int(height));
    auto ctx = velkora::ui::GraphicsContext::forImage(image);
    for (uint32_t y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(ctx->bitmapData() + size_t(y) * size_t(ctx->bytesPerRow()));
        for (uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(d.data() + pixels + size_t(y) * bytesPerLine + x * 4);
            uint32_t v = byteOrder == 0 ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16
                                        : uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16;
            row[x] = 0xff000000u | (v & 0xffffff);
        }
    }
    return image;
}

class LiveDemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb_ = inPath("Xvfb");
        if (xvfb_.empty()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh installs it)";
        xdotool_ = inPath("xdotool");
        xwd_ = inPath("xwd");
        ASSERT_FALSE(xdotool_.empty()) << "xdotool is not installed";
        ASSERT_FALSE(xwd_.empty()) << "xwd is not installed";
        demo_ = demoPath();
        ASSERT_EQ(::access(demo_.c_str(), X_OK), 0) << "no velkora-demo at " << demo_;
        scratch_ = velkora::foundation::createTemporaryDirectory("velkora-live-");
        ASSERT_FALSE(scratch_.empty());

        display_ = startXvfb(x_, xvfb_);
        ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        demoProcess_.stop();
        x_.stop();
        if (!scratch_.empty()) velkora::foundation::removeTree(scratch_);
    }
    static std::string demoPath() {
        if (const char* p = std::getenv("VELKORA_DEMO")) return p;
        char self[4096] = {};
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string here(self, n > 0 ? size_t(n) : 0);
        // build/<tree>/tests/live/test_live -> build/<tree>/demo/velkora-demo
        return here.substr(0, here.rfind("/tests/")) + "/demo/velkora-demo";
    }
    std::vector<std::string> env() const { return {"DISPLAY=" + display_}; }
    int xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), xdotool_);
        return runTool(args, env());
    }
    // The demo writes the screen and the list of what is on it.
    std::vector<Listed> look() {
        demoProcess_.signal(SIGUSR1);
        auto said = demoProcess_.lineMatching(
            [](const std::string& l) { return l.find("snapshot ") != std::string::npos; }, 20);
        EXPECT_TRUE(said) << demoProcess_.log();
        return readList(snapshot() + ".txt");
    }
    std::string snapshot() const { return scratch_ + "/screen.png"; }
    // Waits (watching the demo's output) until what is on screen holds a view that the predicate likes.
    std::optional<Listed> waitFor(const std::function<bool(const Listed&)>& wanted, double seconds) {
        auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            for (auto& l : look())
                if (wanted(l)) return l;
            demoProcess_.lineMatching([](const std::string&) { return false; }, 0.2);
        }
        return std::nullopt;
    }
    // Clicks until the screen shows what the click leads to: a panel still sliding in takes no touches.
    std::optional<Listed> clickUntil(const Listed& target, const std::function<bool(const Listed&)>& wanted) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            click(target);
            if (auto found = waitFor(wanted, 3)) return found;
        }
        return std::nullopt;
    }
    // What the screen shows, for a failure's message.
    std::string onScreen() {
        std::string texts;
        for (auto& l : look())
            if (!l.text.empty()) texts += l.cls + " \"" + l.text + "\"\n";
        return texts;
    }
    void click(const Listed& l) {
        ASSERT_EQ(xdotool({"mousemove", "--window", windowId_, std::to_string(int(l.x + l.w / 2)),
                           std::to_string(int(l.y + l.h / 2)), "click", "1"}),
                  0);
    }

    std::string xvfb_, xdotool_, xwd_, demo_, scratch_, display_, windowId_;
    Child x_, demoProcess_;
};

} // namespace

TEST_F(LiveDemoTest, AMessageTypedInTheWindowReachesTheServiceOnceAndTheWindowShowsTheHeadlessPicture) {
    velkora::service::ServiceOptions options;
    options.welcomeNewUsers = true; // as the program gives it: the new user has chats to open
    velkora::service::Service service(options);
    ASSERT_TRUE(service.start());

    ASSERT_TRUE(demoProcess_.start({demo_, "--window", "--port", std::to_string(service.port()), "--ca",
                                    service.caFile(), "--scale", "1", "--snapshot", snapshot()},
                                   {"DISPLAY=" + display_, "SDL_VIDEODRIVER=x11"}, true));
    auto ready =
        demoProcess_.lineMatching([](const std::string& l) { return l.find("live window ") != std::string::npos; }, 60);
    ASSERT_TRUE(ready) << demoProcess_.log();
    std::istringstream words(ready->substr(ready->find("live window ") + 12));
    words >> windowId_;
    ASSERT_NE(windowId_, "0");
    ASSERT_EQ(xdotool({"windowfocus", windowId_}), 0);

    // The kit's button on the host's screen opens the sidebar; its Messages row, the inbox.
    auto button = waitFor([](const Listed& l) { return l.cls == "VelkoraActivationView"; }, 20);
    ASSERT_TRUE(button);
    click(*button);
    auto messages = waitFor([](const Listed& l) { return l.text == "Messages"; }, 20);
    ASSERT_TRUE(messages) << demoProcess_.log();
    auto chat = clickUntil(
        *messages, [](const Listed& l) { return l.text.find("Mira") != std::string::npos && l.cls == "Label"; });
    ASSERT_TRUE(chat) << demoProcess_.log() << onScreen();
    // The chat's input bar: its Send button, and the field beside it.
    auto send = clickUntil(*chat, [](const Listed& l) { return l.cls == "Button" && l.text == "Send"; });
    ASSERT_TRUE(send) << demoProcess_.log();
    std::optional<Listed> field;
    for (auto& l : look())
        if (l.cls == "TextField" && std::abs(l.y - send->y) < 20) field = l;
    ASSERT_TRUE(field) << demoProcess_.log();
    click(*field);

    const std::string typed = "See you at eight, coffee first";
    ASSERT_EQ(xdotool({"type", "--delay", "20", typed}), 0);
    ASSERT_EQ(xdotool({"key", "Return"}), 0);

    auto mine = [&] {
        int n = 0;
        for (auto& m : service.messagesTo(velkora::service::Service::kDemoAppId, "u-mira"))
            if (m.text == typed) ++n;
        return n;
    };
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (mine() == 0 && Clock::now() < deadline)
        demoProcess_.lineMatching([](const std::string&) { return false; }, 0.2);
    ASSERT_EQ(mine(), 1) << demoProcess_.log() << onScreen();
    // The sent row settles (confirmed by the service) before the pictures are taken.
    ASSERT_TRUE(waitFor([&](const Listed& l) { return l.text == typed; }, 20));
    EXPECT_EQ(mine(), 1);

    // The window, as the display shows it, beside the headless drawing of the same state just before and
    // just after (the state may move on between the two, e.g. a poll's reply).
    look();
    auto before = Image::fromFile(snapshot());
    std::string dump = scratch_ + "/window.xwd";
    ASSERT_EQ(runTool({xwd_, "-silent", "-id", windowId_, "-out", dump}, env()), 0);
    look();
    auto after = Image::fromFile(snapshot());
    auto shown = readXwd(dump);
    ASSERT_TRUE(before && after && shown);
    shown->writePng(scratch_ + "/window.png");
    if (const char* keep = std::getenv("VELKORA_LIVE_SHOT")) shown->writePng(keep);
    EXPECT_TRUE(velkora::testing::looksLike(*shown, *before) || velkora::testing::looksLike(*shown, *after))
        << "differing share " << velkora::testing::shareOfPixelsDiffering(*shown, *after, 48);

    // Closing the window ends the demo.
    demoProcess_.signal(SIGTERM);
}
