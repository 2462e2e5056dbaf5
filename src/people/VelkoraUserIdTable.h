// Positions in a caller's list of user-carrying items, found by the user's id. Open addressing over the
// positions in 4-byte slots: a slot holds the position and, in the bits the position does not need, part of
// the id's hash, so a probe seldom reads an item; no id is copied: the ids are read from the items through
// the caller's `idOf(position)` (null for none). An item whose id changed while held is not found by its
// old id any more; nothing points into it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkora {

class VelkoraUserIdTable {
public:
    size_t size() const { return size_; }
    void clear() {
        slots_.clear();
        size_ = 0;
    }

    // Room for `count` ids without growing.
    template <class IdOf> void reserve(size_t count, const IdOf& idOf) {
        size_t want = 16;
        while (want * kLoadNumerator < count * kLoadDenominator)
            want *= 2;
        if (want > slots_.size()) rehash(want, idOf);
    }

    template <class IdOf> std::optional<uint32_t> find(std::string_view id, const IdOf& idOf) const {
        if (slots_.empty()) return std::nullopt;
        const size_t hash = std::hash<std::string_view>()(id);
        for (size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            const uint32_t slot = slots_[at];
            if (!slot) return std::nullopt;
            if (tagOf(slot) == tagOf(hash) && matches(idOf(positionOf(slot)), id)) return positionOf(slot);
        }
    }

    // The position held under `id`, or `position` newly held under it (second: whether it was new).
    template <class IdOf> std::pair<uint32_t, bool> insert(std::string_view id, uint32_t position, const IdOf& idOf) {
        if ((size_ + 1) * kLoadDenominator > slots_.size() * kLoadNumerator)
            rehash(std::max<size_t>(16, slots_.size() * 2), idOf);
        const size_t hash = std::hash<std::string_view>()(id);
        for (size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            const uint32_t slot = slots_[at];
            if (!slot) {
                slots_[at] = slotOf(position, hash);
                ++size_;
                return {position, true};
            }
            if (tagOf(slot) == tagOf(hash) && matches(idOf(positionOf(slot)), id)) return {positionOf(slot), false};
        }
    }

private:
    // At most seven tenths full: linear probing stays short.
    static constexpr size_t kLoadNumerator = 7, kLoadDenominator = 10;
    static bool matches(const std::string* held, std::string_view id) { return held && *held == id; }

    // A slot is 0 when empty, else (position + 1) in its low bits, enough for every position the table
    // can hold (fewer than its slots), and the hash's top bits above them.
    uint32_t positionBits() const { return static_cast<uint32_t>(std::bit_width(slots_.size())); }
    uint32_t slotOf(uint32_t position, size_t hash) const {
        const uint32_t bits = positionBits();
        const uint32_t tag = bits >= 32 ? 0 : static_cast<uint32_t>(hash >> (64 - (32 - bits))) << bits;
        return tag | (position + 1);
    }
    uint32_t positionOf(uint32_t slot) const {
        const uint32_t bits = positionBits();
        return (bits >= 32 ? slot : slot & ((1u << bits) - 1)) - 1;
    }
    uint32_t tagOf(uint32_t slot) const {
        const uint32_t bits = positionBits();
        return bits >= 32 ? 0 : slot >> bits;
    }
    uint32_t tagOf(size_t hash) const {
        const uint32_t bits = positionBits();
        return bits >= 32 ? 0 : static_cast<uint32_t>(hash >> (64 - (32 - bits)));
    }

    template <class IdOf> void rehash(size_t count, const IdOf& idOf) {
        std::vector<uint32_t> old(count);
        old.swap(slots_);
        const uint32_t oldBits = static_cast<uint32_t>(std::bit_width(old.size()));
        for (const uint32_t slot : old) {
            if (!slot) continue;
            const uint32_t position = (oldBits >= 32 ? slot : slot & ((1u << oldBits) - 1)) - 1;
            const std::string* id = idOf(position);
            const size_t hash = id ? std::hash<std::string_view>()(*id) : 0;
            size_t at = hash & (slots_.size() - 1);
            while (slots_[at])
                at = (at + 1) & (slots_.size() - 1);
            slots_[at] = slotOf(position, hash);
        }
    }

    std::vector<uint32_t> slots_;
    size_t size_ = 0;
};

} // namespace velkora
