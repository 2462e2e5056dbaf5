#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/TableView.h"

using namespace velkora::ui;
using velkora::foundation::Log;
using velkora::foundation::RunLoop;

namespace {

// Two sections with their own cell identifiers and titles; counts the cells it had to make.
class Source : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::vector<std::string>> rows{{}, {}};
    int made = 0;
    std::vector<IndexPath> displayed;
    std::vector<std::string> events;
    bool blockRowTwo = false;
    std::map<IndexPath, double> heights;

    Source() {
        for (int i = 0; i < 10; ++i)
            rows[0].push_back(std::string("a").append(std::to_string(i)));
        for (int i = 0; i < 10; ++i)
            rows[1].push_back(std::string("b").append(std::to_string(i)));
    }
    int numberOfSectionsInTableView(TableView&) override { return int(rows.size()); }
    int numberOfRowsInSection(TableView&, int s) override { return int(rows[size_t(s)].size()); }
    TableViewCellPtr cellForRowAtIndexPath(TableView& t, const IndexPath& ip) override {
        std::string id = ip.section == 0 ? "A" : "B";
        auto cell = t.dequeueReusableCellWithIdentifier(id);
        if (!cell) {
            cell = TableViewCell::create(TableViewCellStyle::Default, id);
            ++made;
        }
        EXPECT_EQ(cell->reuseIdentifier(), id);
        cell->textLabel()->setText(rows[size_t(ip.section)][size_t(ip.row)]);
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(TableView&, int s) override {
        return s == 0 ? std::optional<std::string>("First") : std::nullopt;
    }
    std::vector<std::string> sectionIndexTitlesForTableView(TableView&) override { return {"A", "B"}; }
    bool canEditRowAtIndexPath(TableView&, const IndexPath& ip) override { return ip.section == 1; }
    void commitEditingStyle(TableView& t, TableViewCellEditingStyle, const IndexPath& ip) override {
        events.push_back("commit " + rows[size_t(ip.section)][size_t(ip.row)]);
        rows[size_t(ip.section)].erase(rows[size_t(ip.section)].begin() + ip.row);
        EXPECT_TRUE(t.deleteRowsAtIndexPaths({ip}));
    }

    double heightForRowAtIndexPath(TableView&, const IndexPath& ip) override {
        auto it = heights.find(ip);
        return it == heights.end() ? -1 : it->second;
    }
    void willDisplayCell(TableView&, TableViewCell&, const IndexPath& ip) override { displayed.push_back(ip); }
    std::optional<IndexPath> willSelectRowAtIndexPath(TableView&, const IndexPath& ip) override {
        events.push_back("willSelect " + ip.description());
        if (blockRowTwo && ip.row == 2) return std::nullopt;
        return ip;
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& ip) override {
        events.push_back("didSelect " + ip.description());
    }
    void didDeselectRowAtIndexPath(TableView&, const IndexPath& ip) override {
        events.push_back("didDeselect " + ip.description());
    }
    void willBeginEditingRowAtIndexPath(TableView&, const IndexPath& ip) override {
        events.push_back("beginEdit " + ip.description());
    }
    void didEndEditingRowAtIndexPath(TableView&, const IndexPath& ip) override {
        events.push_back("endEdit " + ip.description());
    }
};

class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        source = std::make_shared<Source>();
        table = TableView::create({0, 0, 320, 200});
        table->setDataSource(source);
        table->setDelegate(source);
        table->layoutIfNeeded();
    }
    void TearDown() override {
        Application::instance().resetForTests();
        RunLoop::main().reset();
    }
    std::vector<std::string> visibleTexts() const {
        std::vector<std::string> out;
        for (auto& ip : table->indexPathsForVisibleRows())
            out.push_back(table->cellForRowAtIndexPath(ip)->textLabel()->text());
        return out;
    }

    std::shared_ptr<Source> source;
    std::shared_ptr<TableView> table;
};

TEST_F(TableViewTest, TwoSectionsReuseCellsByIdentifierWhileScrolling) {
    // 22 header, then 44-point rows: rows 0-4 of the first section reach into the 200-point window.
    EXPECT_EQ(table->contentSize().height, 22 + 20 * 44);
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"a0", "a1", "a2", "a3", "a4"}));
    EXPECT_EQ(source->made, 5);
    EXPECT_NE(table->headerViewForSection(0)->dumpTree().find("\"First\""), std::string::npos);
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}), Rect(0, 22 + 10 * 44, 320, 44));

    // Scroll a row at a time down to the end: cells leaving the top come back at the bottom.
    for (double y = 0; y <= table->maxContentOffset().y; y += 44)
        table->setContentOffset({0, y});
    table->setContentOffset(table->maxContentOffset());
    auto texts = visibleTexts();
    EXPECT_EQ(texts.back(), "b9");
    // Never many more cells than fit, per identifier: section B had to make its own.
    EXPECT_LE(source->made, 12);
    EXPECT_GE(table->reusableCellCount("A"), 5u);
    for (auto& cell : table->visibleCells())
        EXPECT_EQ(cell->reuseIdentifier(), "B");
    EXPECT_EQ(table->headerViewForSection(0), nullptr);

    // Back to the top: the A cells come out of the queue, none is made.
    int made = source->made;
    table->setContentOffset({0, 0});
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"a0", "a1", "a2", "a3", "a4"}));
    EXPECT_EQ(source->made, made);
    EXPECT_EQ(source->displayed.front(), (IndexPath{0, 0}));
}

TEST_F(TableViewTest, BatchInsertWhoseCountDoesNotMatchFailsWithAClearMessageAndReloadDoesNot) {
    Log::Capture capture;
    // The caller says one row came but the data source still has ten.
    table->beginUpdates();
    EXPECT_TRUE(table->insertRowsAtIndexPaths({{0, 1}}));
    EXPECT_FALSE(table->endUpdates());
    EXPECT_NE(table->lastUpdateError().find("invalid number of rows in section 0"), std::string::npos)
        << table->lastUpdateError();
    EXPECT_NE(table->lastUpdateError().find("after the update (10)"), std::string::npos);
    EXPECT_NE(table->lastUpdateError().find("before the update (10)"), std::string::npos);
    EXPECT_NE(table->lastUpdateError().find("(1 inserted, 0 deleted)"), std::string::npos);
    EXPECT_TRUE(capture.contains("Velkora (E) - Invalid update: invalid number of rows in section 0"));
    // The table shows the data source as it is.
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    EXPECT_EQ(visibleTexts().front(), "a0");

    // Other mismatches are caught the same way.
    EXPECT_FALSE(table->deleteRowsAtIndexPaths({{0, 12}}));
    EXPECT_NE(table->lastUpdateError().find("attempt to delete row 12 from section 0"), std::string::npos);
    EXPECT_FALSE(table->insertSections({2}));
    EXPECT_NE(table->lastUpdateError().find("section"), std::string::npos);

    // A reload never checks: any change of the data is fine.
    capture.clear();
    source->rows[0].resize(2);
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_FALSE(capture.contains("Invalid update"));
}

TEST_F(TableViewTest, MatchingUpdatesMoveVisibleCellsAndTheSelection) {
    table->selectRowAtIndexPath(IndexPath{0, 2}, false, TableViewScrollPosition::None);
    auto cellA2 = table->cellForRowAtIndexPath({0, 2});
    int made = source->made;
    source->rows[0].insert(source->rows[0].begin(), "new");
    source->rows[0].erase(source->rows[0].begin() + 4); // was a3, at old row 3
    table->beginUpdates();
    table->deleteRowsAtIndexPaths({{0, 3}});
    table->insertRowsAtIndexPaths({{0, 0}});
    EXPECT_TRUE(table->endUpdates()) << table->lastUpdateError();
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 3}), cellA2);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 3}));
    EXPECT_TRUE(cellA2->isSelected());
    EXPECT_EQ(visibleTexts(), (std::vector<std::string>{"new", "a0", "a1", "a2", "a4"}));
    // Only the new row needed a cell, and the deleted row's cell was reused for it.
    EXPECT_EQ(source->made, made);

    // Deleting a whole section.
    source->rows.erase(source->rows.begin());
    EXPECT_TRUE(table->deleteSections({0})) << table->lastUpdateError();
    EXPECT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(visibleTexts().front(), "b0");
}

TEST_F(TableViewTest, WillSelectCanBlockAndATapDeselectsThePreviousRow) {
    source->blockRowTwo = true;
    EXPECT_TRUE(table->tapRowAtIndexPath({0, 1}));
    EXPECT_FALSE(table->tapRowAtIndexPath({0, 2}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 1}));
    EXPECT_TRUE(table->tapRowAtIndexPath({0, 3}));
    EXPECT_EQ(source->events,
              (std::vector<std::string>{"willSelect {section 0, row 1}", "didSelect {section 0, row 1}",
                                        "willSelect {section 0, row 2}", "willSelect {section 0, row 3}",
                                        "didDeselect {section 0, row 1}", "didSelect {section 0, row 3}"}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 3})->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    table->deselectRowAtIndexPath({0, 3}, true);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    table->setAllowsSelection(false);
    EXPECT_FALSE(table->tapRowAtIndexPath({0, 1}));
}

TEST_F(TableViewTest, SwipeToDeleteCommitsThroughTheDataSource) {
    EXPECT_FALSE(table->swipeToDeleteRowAtIndexPath({0, 0})); // not editable
    table->scrollToRowAtIndexPath({1, 0}, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 22 + 10 * 44);
    ASSERT_TRUE(table->swipeToDeleteRowAtIndexPath({1, 0}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({1, 0})->showingDeleteConfirmation());
    EXPECT_EQ(table->rowShowingDeleteConfirmation(), (IndexPath{1, 0}));
    EXPECT_TRUE(table->tapDeleteConfirmation());
    EXPECT_EQ(source->events,
              (std::vector<std::string>{"beginEdit {section 1, row 0}", "commit b0", "endEdit {section 1, row 0}"}));
    EXPECT_EQ(table->numberOfRowsInSection(1), 9);
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0})->textLabel()->text(), "b1");
    EXPECT_TRUE(table->lastUpdateError().empty());
}

TEST_F(TableViewTest, HeightsPositionsScrollingAndTheSectionIndex) {
    source->heights[{0, 1}] = 100;
    table->reloadData();
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 2}), Rect(0, 22 + 44 + 100, 320, 44));
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 22 + 44 + 99}), (IndexPath{0, 1}));
    EXPECT_EQ(table->rectForHeaderInSection(0), Rect(0, 0, 320, 22));
    EXPECT_EQ(table->rectForHeaderInSection(1).height(), 0); // no title, no view
    EXPECT_EQ(table->sectionIndexTitles(), (std::vector<std::string>{"A", "B"}));

    table->scrollToRowAtIndexPath({0, 9}, TableViewScrollPosition::Middle, true);
    RunLoop::main().advance(1);
    Rect r = table->rectForRowAtIndexPath({0, 9});
    EXPECT_EQ(table->contentOffset().y, r.midY() - 100);
    // The last row at the bottom is clamped to the end of the content.
    table->scrollToRowAtIndexPath({1, 9}, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset(), table->maxContentOffset());
    table->tapSectionIndexAtIndex(0);
    EXPECT_EQ(table->contentOffset().y, 0);
    // A row that is not there is logged, not fatal.
    Log::Capture capture;
    table->scrollToRowAtIndexPath({5, 0}, TableViewScrollPosition::Top, false);
    EXPECT_TRUE(capture.contains("Velkora (E) - Can't scroll to row"));
}

// A long list of rows of differing heights, counting the heights it was asked.
class LongList : public TableViewDataSource, public TableViewDelegate {
public:
    int rows = 10000;
    std::map<int, double> changed; // rows whose height differs from the rule
    int asked = 0;
    static double rule(int row) { return 20 + (row * 37) % 90; }
    int numberOfRowsInSection(TableView&, int) override { return rows; }
    TableViewCellPtr cellForRowAtIndexPath(TableView& t, const IndexPath& ip) override {
        auto cell = t.dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = TableViewCell::create(TableViewCellStyle::Default, "row");
        cell->textLabel()->setText(std::to_string(ip.row));
        return cell;
    }
    double heightForRowAtIndexPath(TableView&, const IndexPath& ip) override {
        ++asked;
        auto it = changed.find(ip.row);
        return it == changed.end() ? rule(ip.row) : it->second;
    }
};

class EstimatedHeightsTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().useTestClock(1000); }
    void TearDown() override {
        Application::instance().resetForTests();
        RunLoop::main().reset();
    }
    // A table over `list`, every height known up front (estimate 0) or estimated.
    std::shared_ptr<TableView> open(const std::shared_ptr<LongList>& list, double estimate) {
        auto table = TableView::create({0, 0, 320, 200});
        table->setEstimatedRowHeight(estimate);
        table->setDataSource(list);
        table->setDelegate(list);
        table->layoutIfNeeded();
        return table;
    }
    // Where the rows in view show on screen, and which rows they are.
    static std::vector<std::pair<int, double>> screen(TableView& table) {
        std::vector<std::pair<int, double>> out;
        for (const auto& ip : table.indexPathsForVisibleRows())
            out.emplace_back(ip.row, table.cellForRowAtIndexPath(ip)->frame().minY() - table.contentOffset().y);
        return out;
    }
};

TEST_F(EstimatedHeightsTest, OpeningAsksOnlyTheRowsInViewAndShowsThemAsKnownHeightsWould) {
    auto exactList = std::make_shared<LongList>(), list = std::make_shared<LongList>();
    auto exact = open(exactList, 0), estimated = open(list, 50);
    EXPECT_GE(exactList->asked, 10000);
    EXPECT_LE(list->asked, 12);
    EXPECT_EQ(screen(*estimated), screen(*exact));
    EXPECT_EQ(estimated->contentSize().height, estimated->rectForRowAtIndexPath({0, 9999}).maxY());
}

// Every way of getting somewhere far away lands as it would with every height known, animated or not.
TEST_F(EstimatedHeightsTest, ScrollingToTheEndOrToARowLandsExactly) {
    struct Case {
        const char* name;
        std::function<void(TableView&)> go;
    };
    const std::vector<Case> cases = {
        {"end",
         [](TableView& t) {
             t.setContentOffset({0, t.maxContentOffset().y});
         }},
        {"last row at the bottom, animated",
         [](TableView& t) {
             t.scrollToRowAtIndexPath({0, 9999}, TableViewScrollPosition::Bottom, true);
         }},
        {"row in the middle",
         [](TableView& t) {
             t.scrollToRowAtIndexPath({0, 5000}, TableViewScrollPosition::Middle, false);
         }},
        {"row at the top, animated",
         [](TableView& t) {
             t.scrollToRowAtIndexPath({0, 7321}, TableViewScrollPosition::Top, true);
         }},
        {"row near the top",
         [](TableView& t) {
             t.scrollToRowAtIndexPath({0, 3}, TableViewScrollPosition::Bottom, false);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto exactList = std::make_shared<LongList>(), list = std::make_shared<LongList>();
        auto exact = open(exactList, 0), estimated = open(list, 50);
        c.go(*exact);
        c.go(*estimated);
        RunLoop::main().advance(1);
        EXPECT_EQ(screen(*estimated), screen(*exact));
        EXPECT_LT(list->asked, 200);
        // Scrolling from there to the first row lands too.
        exact->scrollToRowAtIndexPath({0, 0}, TableViewScrollPosition::Top, true);
        estimated->scrollToRowAtIndexPath({0, 0}, TableViewScrollPosition::Top, true);
        RunLoop::main().advance(1);
        EXPECT_EQ(screen(*estimated), screen(*exact));
    }
}

TEST_F(EstimatedHeightsTest, RowsComingIntoViewDoNotMoveWhatIsShown) {
    auto list = std::make_shared<LongList>();
    auto table = open(list, 50);
    table->setContentOffset({0, table->maxContentOffset().y});
    // Drag down through rows never seen (the content follows the finger): what was in view moves by the
    // drag and nothing else, however far each estimate was from the real height.
    for (int step = 0; step < 40; ++step) {
        auto before = screen(*table);
        table->beginDragging();
        table->dragBy({0, 30});
        table->endDragging({0, 0});
        auto after = screen(*table);
        for (const auto& [row, y] : before)
            for (const auto& [rowAfter, yAfter] : after) {
                if (row == rowAfter) {
                    EXPECT_EQ(yAfter, y + 30) << "row " << row;
                }
            }
    }
    EXPECT_LT(list->asked, 200);
}

TEST_F(EstimatedHeightsTest, AnUpdateAsksOnlyTheChangedRowsAndThoseInView) {
    auto list = std::make_shared<LongList>();
    auto table = open(list, 50);
    table->setContentOffset({0, table->maxContentOffset().y});
    auto exactList = std::make_shared<LongList>();
    auto exact = open(exactList, 0);
    exact->setContentOffset({0, exact->maxContentOffset().y});

    // A row added at the end and one near the top reloaded with another height.
    for (auto* l : {list.get(), exactList.get()}) {
        l->rows = 10001;
        l->changed[10000] = 33;
        l->changed[2] = 200;
        l->asked = 0;
    }
    for (auto& t : {table, exact}) {
        t->beginUpdates();
        t->insertRowsAtIndexPaths({{0, 10000}});
        t->reloadRowsAtIndexPaths({{0, 2}});
        EXPECT_TRUE(t->endUpdates());
        t->scrollToRowAtIndexPath({0, 10000}, TableViewScrollPosition::Bottom, false);
    }
    EXPECT_LE(list->asked, 30);
    EXPECT_EQ(screen(*table), screen(*exact));
    table->scrollToRowAtIndexPath({0, 2}, TableViewScrollPosition::Top, false);
    exact->scrollToRowAtIndexPath({0, 2}, TableViewScrollPosition::Top, false);
    EXPECT_EQ(screen(*table), screen(*exact));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 2}).height(), 200);
}

// Rows put in and taken out above, below and among the rows already measured: the rows kept keep their
// heights and places as a table with every height known would show them.
TEST_F(EstimatedHeightsTest, UpdatesAroundMeasuredRowsKeepTheirHeights) {
    struct Case {
        const char* name;
        std::vector<int> deleted, inserted; // rows before and after the update
    };
    const std::vector<Case> cases = {
        {"twenty on top", {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
        {"three taken from among the shown rows", {5001, 5003, 5010}, {}},
        {"taken above, put in among the shown", {0, 7, 4990}, {0, 5002}},
        {"one moved from far below to the top", {9000}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto list = std::make_shared<LongList>(), exactList = std::make_shared<LongList>();
        auto estimated = open(list, 50), exact = open(exactList, 0);
        for (auto& t : {estimated, exact})
            t->scrollToRowAtIndexPath({0, 5000}, TableViewScrollPosition::Top, false);
        // Where the rows shown now go.
        std::vector<int> measured;
        for (const auto& ip : estimated->indexPathsForVisibleRows()) {
            if (std::find(c.deleted.begin(), c.deleted.end(), ip.row) != c.deleted.end()) continue;
            int row = ip.row - int(std::count_if(c.deleted.begin(), c.deleted.end(), [&](int d) { return d < ip.row; }));
            for (int r : c.inserted)
                row += r <= row;
            measured.push_back(row);
        }
        // The heights follow the rows: a row keeps the height its old place gave it.
        for (auto* l : {list.get(), exactList.get()}) {
            std::vector<double> heights;
            for (int r = 0; r < l->rows; ++r)
                if (std::find(c.deleted.begin(), c.deleted.end(), r) == c.deleted.end())
                    heights.push_back(LongList::rule(r));
            for (int r : c.inserted)
                heights.insert(heights.begin() + r, 77);
            l->rows = static_cast<int>(heights.size());
            for (int r = 0; r < l->rows; ++r)
                if (heights[size_t(r)] != LongList::rule(r)) l->changed[r] = heights[size_t(r)];
            l->asked = 0;
        }
        for (auto& t : {estimated, exact}) {
            t->beginUpdates();
            std::vector<IndexPath> gone, put;
            for (int r : c.deleted)
                gone.push_back({0, r});
            for (int r : c.inserted)
                put.push_back({0, r});
            t->deleteRowsAtIndexPaths(gone);
            t->insertRowsAtIndexPaths(put);
            EXPECT_TRUE(t->endUpdates());
            t->scrollToRowAtIndexPath({0, 4995}, TableViewScrollPosition::Top, false);
        }
        EXPECT_EQ(screen(*estimated), screen(*exact));
        EXPECT_LE(list->asked, 40);
        // The rows measured before the update, wherever they went, are held at their own heights.
        for (int r : measured)
            EXPECT_EQ(estimated->rectForRowAtIndexPath({0, r}).height(), exact->rectForRowAtIndexPath({0, r}).height())
                << "row " << r;
        estimated->scrollToRowAtIndexPath({0, list->rows - 1}, TableViewScrollPosition::Bottom, false);
        exact->scrollToRowAtIndexPath({0, list->rows - 1}, TableViewScrollPosition::Bottom, false);
        EXPECT_EQ(screen(*estimated), screen(*exact));
    }
}

} // namespace
