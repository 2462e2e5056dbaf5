#include "platform/ui/TableRowGeometry.h"

#include <algorithm>

namespace velkora::ui {

void TableRowGeometry::reset(int rows, double base) {
    rows_ = std::max(0, rows);
    base_ = base;
    rowsHeld_.clear();
    heights_.clear();
    measured_.clear();
    changedFrom(0);
}

void TableRowGeometry::resize(int rows) {
    rows_ = std::max(0, rows);
    const size_t kept = indexOf(rows_);
    if (kept == rowsHeld_.size()) return;
    rowsHeld_.resize(kept);
    heights_.resize(kept);
    measured_.resize(kept);
    changedFrom(kept);
}

void TableRowGeometry::setBase(double base) {
    if (base == base_) return;
    base_ = base;
    changedFrom(0);
}

size_t TableRowGeometry::indexOf(int row) const {
    // Every row held (all heights asked up front): the row is its own index.
    if (rowsHeld_.size() == static_cast<size_t>(rows_) && row >= 0 && row <= rows_) return static_cast<size_t>(row);
    if (rowsHeld_.empty() || rowsHeld_.back() < row) return rowsHeld_.size();
    return static_cast<size_t>(std::lower_bound(rowsHeld_.begin(), rowsHeld_.end(), row) - rowsHeld_.begin());
}

double TableRowGeometry::height(int row) const {
    const size_t i = indexOf(row);
    return holds(i, row) ? heights_[i] : base_;
}

double TableRowGeometry::offsetBefore(size_t index) const {
    if (sums_.size() != rowsHeld_.size() + 1) sums_.resize(rowsHeld_.size() + 1);
    for (; sumsGood_ < index; ++sumsGood_)
        sums_[sumsGood_ + 1] = sums_[sumsGood_] + (heights_[sumsGood_] - base_);
    return sums_[index];
}

void TableRowGeometry::changedFrom(size_t index) {
    sums_.resize(rowsHeld_.size() + 1);
    sums_[0] = 0;
    sumsGood_ = std::min(sumsGood_, index);
}

double TableRowGeometry::top(int row) const {
    row = std::clamp(row, 0, rows_);
    return row * base_ + offsetBefore(indexOf(row));
}

int TableRowGeometry::rowAt(double y) const {
    if (rows_ == 0) return -1;
    // Tops grow with the row: the last row whose top is not below `y`.
    int lo = 0, hi = rows_ - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (top(mid) <= y)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

bool TableRowGeometry::measured(int row) const {
    const size_t i = indexOf(row);
    return holds(i, row) && measured_[i] != 0;
}

bool TableRowGeometry::set(int row, double height, bool measured) {
    if (row < 0 || row >= rows_) return false;
    const size_t i = indexOf(row);
    if (holds(i, row)) {
        measured_[i] = measured ? 1 : 0;
        if (heights_[i] == height) return false;
        heights_[i] = height;
        changedFrom(i);
        return true;
    }
    rowsHeld_.insert(rowsHeld_.begin() + static_cast<std::ptrdiff_t>(i), row);
    heights_.insert(heights_.begin() + static_cast<std::ptrdiff_t>(i), height);
    measured_.insert(measured_.begin() + static_cast<std::ptrdiff_t>(i), measured ? 1 : 0);
    changedFrom(i);
    return height != base_;
}

void TableRowGeometry::unmark(int row) {
    const size_t i = indexOf(row);
    if (holds(i, row)) measured_[i] = 0;
}

void TableRowGeometry::forgetMeasured() {
    std::fill(measured_.begin(), measured_.end(), 0);
}

} // namespace velkora::ui
