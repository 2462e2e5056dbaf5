// Files that users already have on disk: an archive and a user-defaults file written by an earlier build,
// and an interface file as people write them. They must read exactly as they did, and read the same
// again after being written anew.
#include <gtest/gtest.h>

#include "BuildPaths.h"
#include "foundation/StoredData.h"
#include "foundation/TempDir.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora::testing {
namespace {

using namespace foundation;

const std::string kStored = std::string(VELKORA_TEST_DATA_DIR) + "/stored";

void expectAwkwardRecord(const StoredRecord& r) {
    StoredRecord want = awkwardRecord();
    EXPECT_EQ(r.i32, want.i32);
    EXPECT_EQ(r.i64, want.i64);
    EXPECT_EQ(r.flag, want.flag);
    EXPECT_EQ(r.f, want.f);
    EXPECT_EQ(r.d, want.d);
    EXPECT_TRUE(sameExactly(r.data, want.data));
    EXPECT_EQ(r.text, want.text);
    EXPECT_EQ(r.liked, want.liked);
    ASSERT_TRUE(r.leaf);
    EXPECT_EQ(r.leaf->name, "solo");
    ASSERT_EQ(r.leaves.size(), 2u);
    EXPECT_EQ(r.leaves[0]->name, "first");
    EXPECT_EQ(r.leaves[1]->name, "second");
    ASSERT_EQ(r.byNumber.size(), 3u);
    EXPECT_EQ(r.byNumber.at(-5)->name, "n-5");
    EXPECT_EQ(r.byNumber.at(4294967296LL)->name, "n4294967296");
}

class StoredFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerCodableClass<StoredLeaf>();
        registerCodableClass<StoredRecord>();
    }
};

TEST_F(StoredFilesTest, AnEarlierArchiveReadsTheSameAndAgainAfterBeingRewritten) {
    TempDir dir;
    ErrorPtr error;
    auto first = std::dynamic_pointer_cast<StoredRecord>(
        KeyedUnarchiver::unarchiveObjectWithFile(kStored + "/archive.json", &error));
    ASSERT_TRUE(first) << (error ? error->description() : "");
    expectAwkwardRecord(*first);

    ASSERT_TRUE(KeyedArchiver::archiveRootObject(*first, dir / "again.json"));
    auto second = std::dynamic_pointer_cast<StoredRecord>(KeyedUnarchiver::unarchiveObjectWithFile(dir / "again.json"));
    ASSERT_TRUE(second);
    expectAwkwardRecord(*second);
}

TEST_F(StoredFilesTest, EarlierUserDefaultsReadTheSameAndAgainAfterBeingRewritten) {
    TempDir dir;
    auto stored = readFile(kStored + "/userdefaults.json");
    ASSERT_TRUE(stored);
    ASSERT_TRUE(writeFileAtomically(dir / "defaults.json", *stored));
    auto expectStored = [](UserDefaults& d) {
        EXPECT_EQ(d.stringForKey("velkoraUserId"), "u-123");
        EXPECT_TRUE(sameExactly(d.objectForKey("count"), Value(42)));
        EXPECT_TRUE(sameExactly(d.objectForKey("ratio"), Value(Number("0.25"))));
        EXPECT_TRUE(sameExactly(d.objectForKey("on"), Value(true)));
        EXPECT_TRUE(sameExactly(d.objectForKey("awkward"), awkwardData()));
        EXPECT_TRUE(sameExactly(d.objectForKey("list"), Array{"x", 1, Dictionary{{"y", false}}}));
    };
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setFilePath(dir / "defaults.json");
    expectStored(defaults);

    ASSERT_TRUE(defaults.synchronize());
    defaults.setFilePath(dir / "defaults.json"); // forgets what it held: reads the rewritten file
    expectStored(defaults);
}

TEST_F(StoredFilesTest, AnInterfaceFileBuildsTheSameTree) {
    auto text = readFile(kStored + "/StoredInterface.json");
    ASSERT_TRUE(text);
    auto top = ui::InterfaceLoader::instance().loadFromText(*text, "StoredInterface", nullptr);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]->frame().size.height, 184);
    ASSERT_EQ(top[0]->subviews().size(), 1u);
    auto label = std::dynamic_pointer_cast<ui::Label>(top[0]->subviews()[0]);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Caf\xC3\xA9 \xF0\x9F\x98\x80 \"quoted\"\nline 2 / \\ end");
    EXPECT_EQ(label->frame(), ui::Rect(10.5, 20, 300, 44.25));
    EXPECT_EQ(label->alpha(), 0.5);
    EXPECT_EQ(label->tag(), -7);
    EXPECT_TRUE(label->isHidden());
}

} // namespace
} // namespace velkora::testing
