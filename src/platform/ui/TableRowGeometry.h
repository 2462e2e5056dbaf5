// The heights and positions of one section's rows, held as "every row at one height, but these": a long
// list whose rows are mostly not yet shown costs what is known of it, not one entry per row. Positions
// come from sums over the rows that differ, kept from the first that changed on, so a row measured low
// in the list or rows inserted above the known ones never walk every row.
#pragma once

#include <cstddef>
#include <vector>

namespace velkora::ui {

class TableRowGeometry {
public:
    // `rows` rows, each `base` high, none known.
    void reset(int rows, double base);
    int rows() const { return rows_; }
    double base() const { return base_; }
    // The rows past `rows` go; new ones come at the base height.
    void resize(int rows);
    // Rows not held otherwise count at this height from now on.
    void setBase(double base);

    double height(int row) const;
    // Relative to the first row.
    double top(int row) const;
    double total() const { return top(rows_); }
    // The last row whose top is at or above `y` (the first row above the top); -1 without rows.
    int rowAt(double y) const;

    // Whether the row's height was asked and is held as asked (rather than kept as an estimate).
    bool measured(int row) const;
    // Holds the row's height, measured or as an estimate; answers whether its height changed.
    bool set(int row, double height, bool measured);
    // The row counts as not asked again (its height stays as the estimate).
    void unmark(int row);
    // Every held height becomes an estimate.
    void forgetMeasured();
    // Takes the rows held by `from` to the rows `newRowOf(oldRow)` names (ascending; -1: the row
    // went), for a section whose rows were deleted, inserted and reloaded.
    template <class NewRowOf> void carry(const TableRowGeometry& from, NewRowOf newRowOf) {
        for (std::size_t i = 0; i < from.rowsHeld_.size(); ++i) {
            const int to = newRowOf(from.rowsHeld_[i]);
            if (to >= 0 && to < rows_) set(to, from.heights_[i], from.measured_[i] != 0);
        }
    }

private:
    // Where the row is held, else where it would go.
    std::size_t indexOf(int row) const;
    bool holds(std::size_t index, int row) const { return index < rowsHeld_.size() && rowsHeld_[index] == row; }
    // The sum of the held rows' differences from the base before `index`.
    double offsetBefore(std::size_t index) const;
    void changedFrom(std::size_t index);

    int rows_ = 0;
    double base_ = 0;
    std::vector<int> rowsHeld_; // ascending
    std::vector<double> heights_;
    std::vector<unsigned char> measured_;
    // sums_[i]: the held rows' differences from the base before entry i, good up to sumsGood_.
    mutable std::vector<double> sums_{0.0};
    mutable std::size_t sumsGood_ = 0;
};

} // namespace velkora::ui
