// What a host sees of the kit's pictures and its comment label: a wall of the service's seeded photos and
// stickers loaded through the caches, the same wall again from the disk cache, and a comment whose links
// the label finds itself.
#include <memory>
#include <string>
#include <vector>

#include "DemoSteps.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/View.h"
#include "shell/VelkoraAttributedLabel.h"
#include "server/utils/VelkoraCachedImageFetcher.h"
#include "shell/VelkoraLazyImageView.h"

namespace {

using namespace velkora;

const char* const kSeededPictures[] = {"people/mira.png",
                                       "people/tomas.png",
                                       "people/lena.png",
                                       "topics/quiz.png",
                                       "feed/aurora.png",
                                       "stickers/smileys/icon.png",
                                       "stickers/smileys/1.png",
                                       "stickers/smileys/2.png",
                                       "stickers/smileys/3.png",
                                       "stickers/smileys/4.png",
                                       "stickers/spacecats/icon.png",
                                       "stickers/spacecats/1.png",
                                       "stickers/spacecats/2.png",
                                       "stickers/spacecats/3.png",
                                       "people/nobody.png"};

struct Arrivals : VelkoraLazyImageDelegate {
    int count = 0;
    Arrivals() {
        imageDidFinish = [this](VelkoraLazyImageView&) { ++count; };
    }
};

// One pass over the wall: every picture through the caches, until all that can arrive have.
std::shared_ptr<ui::View> wall(demo::Demo& demo, const std::string& base, const std::shared_ptr<Arrivals>& arrivals,
                               int& fromDisk) {
    auto view = ui::View::create({0, 0, 320, 260});
    view->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    int i = 0;
    fromDisk = 0;
    for (const char* path : kSeededPictures) {
        auto picture = VelkoraLazyImageView::create({10.0 + (i % 5) * 61, 10.0 + (i / 5) * 81, 56, 56});
        picture->setUsingCache(true);
        picture->setShowActivityIndicator(true);
        picture->setDelegate(arrivals);
        picture->setBackgroundColor(ui::Color::white(0.8));
        fromDisk += picture->isImageInCache(base + path) ? 1 : 0;
        picture->getImage(base + path);
        view->addSubview(picture);
        ++i;
    }
    // The last address names no picture: it keeps its placeholder, and its spinner stops when it fails.
    int expected = int(std::size(kSeededPictures)) - 1;
    auto settled = [&] {
        for (const auto& sub : view->subviews()) {
            auto picture = std::static_pointer_cast<VelkoraLazyImageView>(sub);
            if (picture->activityIndicator() && picture->activityIndicator()->isAnimating()) return false;
        }
        return arrivals->count >= expected;
    };
    demo.loop().runUntil(settled, 20);
    return view;
}

} // namespace

VELKORA_DEMO_STEP(pictureWall, 260, DemoStep::NeedsService) {
    foundation::UrlConnection::setCaFile(demo.caFile());
    const std::string base = "https://127.0.0.1:" + std::to_string(demo.servicePort()) + "/pictures/";
    int expected = int(std::size(kSeededPictures)) - 1;
    auto first = std::make_shared<Arrivals>();
    int fromDisk = 0;
    auto shown = wall(demo, base, first, fromDisk);
    demo.say("picture wall: " + std::to_string(first->count) + " of " + std::to_string(expected) +
             " seeded pictures arrived (" + std::to_string(fromDisk) + " were already on disk)");
    bool ok = demo.writePng(*shown, "picture_wall");
    VelkoraCachedImageFetcher::queue().waitUntilIdle();
    auto second = std::make_shared<Arrivals>();
    auto again = wall(demo, base, second, fromDisk);
    demo.say("picture wall again: " + std::to_string(fromDisk) + " of " + std::to_string(expected) +
             " came from the disk cache");
    ok = demo.writePng(*again, "picture_wall_from_disk") && ok;
    return ok && first->count == expected && second->count == expected && fromDisk == expected;
}

VELKORA_DEMO_STEP(commentLabel, 261, DemoStep::Nothing) {
    auto view = ui::View::create({0, 0, 320, 90});
    view->setBackgroundColor(ui::Color::whiteColor());
    auto label = VelkoraAttributedLabel::create({10, 10, 300, 70});
    label->setFont(ui::Font::systemFont(15));
    label->setNumberOfLines(0);
    label->setDataDetectorTypes(ui::DataDetectorTypes::All);
    label->setText(std::string("Lena: the photos from Valencia are at https://velkora.example/valencia \xE2\x98\xBA "
                               "call me on +34 600 123 456"));
    label->addLinkWithTextCheckingResult(ui::TextCheckingResult::replacement({0, 4}, "u-lena"));
    view->addSubview(label);
    demo.loop().runUntil([&] { return label->links().size() >= 3; }, 20);
    demo.say("comment label: " + std::to_string(label->links().size()) +
             " links (the name, an address, a phone number)");
    return demo.writePng(*view, "comment_label") && label->links().size() == 3;
}
