// Comparing a picture of the ui with its reference in tests/shell/data. VELKORA_UPDATE_SNAPSHOTS=1 writes
// the references instead (look at each one before keeping it).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BuildPaths.h"
#include "platform/ui/Image.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

inline void expectMatchesReference(const std::shared_ptr<ui::Image>& shot, const std::string& name) {
    ASSERT_TRUE(shot);
    const std::filesystem::path reference = std::filesystem::path(VELKORA_TEST_DATA_DIR) / (name + ".png");
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
        std::filesystem::create_directories(reference.parent_path());
        ASSERT_TRUE(shot->writePng(reference.string()));
    }
    auto expected = ui::Image::fromFile(reference.string());
    ASSERT_TRUE(expected) << "missing reference " << reference;
    EXPECT_TRUE(looksLike(*shot, *expected)) << name << " differs from its reference in "
                                             << shareOfPixelsDiffering(*shot, *expected, 48) << " of its pixels";
}

} // namespace velkora::testing
