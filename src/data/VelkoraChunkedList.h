// A long list kept in chunks that copies of it share: a copy costs one pointer per chunk, not one per
// item, and a change copies only the chunk it touches (when another copy still holds it). A list of
// 100,000 items handed from the repository to a screen and to its queue is one list three times, and a
// poll that puts twenty items at its top touches the top chunk and the chunk counts, nothing more.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

namespace velkora {

// What a read-only iterator over items of type T declares.
template <class T, class Category = std::forward_iterator_tag> struct VelkoraIteratorTypes {
    using iterator_category = Category;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;
};

template <class T> class VelkoraChunkedList {
    static constexpr size_t kChunk = 512;
    using Chunk = std::vector<T>;

    // A chunk with its count of lists. A list changes a chunk in place only when the count, read with
    // acquire, says it alone holds it: whatever another thread did with the chunk before letting it go
    // is then done (a shared pointer's count offers no such read).
    class Shared {
    public:
        Shared() = default;
        explicit Shared(Chunk items) : held_(new Held{std::move(items)}) {}
        Shared(const Shared& other) : held_(other.held_) {
            if (held_) held_->lists.fetch_add(1, std::memory_order_relaxed);
        }
        Shared(Shared&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
        Shared& operator=(Shared other) noexcept {
            std::swap(held_, other.held_);
            return *this;
        }
        ~Shared() {
            if (held_ && held_->lists.fetch_sub(1, std::memory_order_acq_rel) == 1) delete held_;
        }
        const Chunk& operator*() const { return held_->items; }
        const Chunk* operator->() const { return &held_->items; }
        // The chunk to change, copied first when another list holds it.
        Chunk& own() {
            if (held_->lists.load(std::memory_order_acquire) != 1) *this = Shared(Chunk(held_->items));
            return held_->items;
        }

    private:
        struct Held {
            Chunk items;
            std::atomic<size_t> lists{1};
        };
        Held* held_ = nullptr;
    };

public:
    using value_type = T;
    using size_type = size_t;

    class const_iterator : public VelkoraIteratorTypes<T, std::random_access_iterator_tag> {
    public:
        using typename VelkoraIteratorTypes<T, std::random_access_iterator_tag>::difference_type;
        using typename VelkoraIteratorTypes<T, std::random_access_iterator_tag>::pointer;
        using typename VelkoraIteratorTypes<T, std::random_access_iterator_tag>::reference;

        const_iterator() = default;
        const_iterator(const VelkoraChunkedList* list, size_t at) : list_(list), at_(at) {}
        reference operator*() const { return list_->itemAt(at_, hint_); }
        pointer operator->() const { return &**this; }
        reference operator[](difference_type n) const { return *(*this + n); }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {
            auto was = *this;
            ++at_;
            return was;
        }
        const_iterator& operator--() {
            --at_;
            return *this;
        }
        const_iterator operator--(int) {
            auto was = *this;
            --at_;
            return was;
        }
        const_iterator& operator+=(difference_type n) {
            at_ = static_cast<size_t>(static_cast<difference_type>(at_) + n);
            return *this;
        }
        const_iterator& operator-=(difference_type n) { return *this += -n; }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return static_cast<difference_type>(a.at_) - static_cast<difference_type>(b.at_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.at_ == b.at_; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.at_ <=> b.at_; }

    private:
        const VelkoraChunkedList* list_ = nullptr;
        size_t at_ = 0;
        // The chunk the last item read was in: a walk down the list finds the next one there.
        mutable size_t hint_ = 0;
    };

    VelkoraChunkedList() = default;
    // The items of a vector, in its order.
    explicit VelkoraChunkedList(std::vector<T> items) {
        for (auto& item : items)
            push_back(std::move(item));
    }

    size_t size() const { return ends_.empty() ? 0 : ends_.back(); }
    bool empty() const { return size() == 0; }
    const T& operator[](size_t at) const {
        size_t hint = 0;
        return itemAt(at, hint);
    }
    const T& at(size_t at) const {
        if (at >= size()) throw std::out_of_range("VelkoraChunkedList::at");
        return (*this)[at];
    }
    const T& front() const { return chunks_.front()->front(); }
    const T& back() const { return chunks_.back()->back(); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    void clear() {
        chunks_.clear();
        ends_.clear();
    }
    void push_back(T item) {
        if (chunks_.empty() || chunks_.back()->size() >= kChunk) {
            Chunk chunk;
            chunk.reserve(kChunk);
            chunks_.emplace_back(std::move(chunk));
            ends_.push_back(size());
        }
        own(chunks_.size() - 1).push_back(std::move(item));
        ++ends_.back();
    }
    // The item at `at`, to be changed in this list alone.
    T& mutableAt(size_t at) {
        const size_t c = chunkOf(at);
        return own(c)[at - startOf(c)];
    }
    void insert(size_t at, T item) {
        if (at >= size()) return push_back(std::move(item));
        const size_t c = chunkOf(at);
        Chunk& chunk = own(c);
        chunk.insert(chunk.begin() + static_cast<std::ptrdiff_t>(at - startOf(c)), std::move(item));
        for (size_t i = c; i < ends_.size(); ++i)
            ++ends_[i];
        // A chunk grown to twice its size is halved, so no insertion moves more than a chunk's items.
        if (chunk.size() >= 2 * kChunk) {
            Shared second(Chunk(std::make_move_iterator(chunk.begin() + kChunk), std::make_move_iterator(chunk.end())));
            chunk.erase(chunk.begin() + kChunk, chunk.end());
            chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c + 1), std::move(second));
            ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(c), startOf(c) + kChunk);
        }
    }
    void erase(size_t at) {
        const size_t c = chunkOf(at);
        Chunk& chunk = own(c);
        chunk.erase(chunk.begin() + static_cast<std::ptrdiff_t>(at - startOf(c)));
        for (size_t i = c; i < ends_.size(); ++i)
            --ends_[i];
        if (chunk.empty()) {
            chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
            ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(c));
        }
    }

private:
    size_t startOf(size_t c) const { return c == 0 ? 0 : ends_[c - 1]; }
    size_t chunkOf(size_t at) const {
        return static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), at) - ends_.begin());
    }
    const T& itemAt(size_t at, size_t& hint) const {
        if (hint >= chunks_.size() || at < startOf(hint) || at >= ends_[hint]) hint = chunkOf(at);
        return (*chunks_[hint])[at - startOf(hint)];
    }
    Chunk& own(size_t c) { return chunks_[c].own(); }

    std::vector<Shared> chunks_;
    // ends_[c]: the items in chunks 0 to c.
    std::vector<size_t> ends_;
};

} // namespace velkora
