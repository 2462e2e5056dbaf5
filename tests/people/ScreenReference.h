// The screen as it is now against its reference picture in the folder's data; VELKORA_UPDATE_SNAPSHOTS
// writes the reference instead (open it and look before keeping it).
#pragma once

#include <cstdlib>
#include <string>

#include "BuildPaths.h"
#include "platform/ui/Image.h"
#include "platform/ui/Snapshot.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

inline ::testing::AssertionResult screenLooksLike(const std::string& referenceName) {
    auto shot = ui::Snapshot::imageOfScreen();
    if (!shot) return ::testing::AssertionFailure() << "no picture of the screen";
    const std::string reference = std::string(VELKORA_TEST_DATA_DIR) + "/" + referenceName;
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS") && !shot->writePng(reference))
        return ::testing::AssertionFailure() << "cannot write " << reference;
    auto expected = ui::Image::fromFile(reference);
    if (!expected) return ::testing::AssertionFailure() << "no reference " << reference;
    if (!looksLike(*shot, *expected)) return ::testing::AssertionFailure() << "the screen differs from " << reference;
    return ::testing::AssertionSuccess();
}

} // namespace velkora::testing
