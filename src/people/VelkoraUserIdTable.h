// Positions in a caller's list of user-carrying items, found by the user's id. Open addressing over the
// positions: a slot is a position and part of the id's hash, so a probe seldom reads an item, and no id is
// copied: the ids are read from the items through the caller's `idOf(position)` (null for none). An item
// whose id changed while held is not found by its old id any more; nothing points into it.
#pragma once

#include <algorithm>
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
            const Slot& slot = slots_[at];
            if (!slot.position) return std::nullopt;
            if (slot.tag == tagOf(hash) && matches(idOf(slot.position - 1), id)) return slot.position - 1;
        }
    }

    // The position held under `id`, or `position` newly held under it (second: whether it was new).
    template <class IdOf> std::pair<uint32_t, bool> insert(std::string_view id, uint32_t position, const IdOf& idOf) {
        if ((size_ + 1) * kLoadDenominator > slots_.size() * kLoadNumerator)
            rehash(std::max<size_t>(16, slots_.size() * 2), idOf);
        const size_t hash = std::hash<std::string_view>()(id);
        for (size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[at];
            if (!slot.position) {
                slot = {position + 1, tagOf(hash)};
                ++size_;
                return {position, true};
            }
            if (slot.tag == tagOf(hash) && matches(idOf(slot.position - 1), id)) return {slot.position - 1, false};
        }
    }

private:
    // At most seven tenths full: linear probing stays short.
    static constexpr size_t kLoadNumerator = 7, kLoadDenominator = 10;
    struct Slot {
        uint32_t position = 0; // the item's position + 1; 0 is an empty slot
        uint32_t tag = 0;
    };
    static uint32_t tagOf(size_t hash) { return static_cast<uint32_t>(hash >> 32) ^ static_cast<uint32_t>(hash); }
    static bool matches(const std::string* held, std::string_view id) { return held && *held == id; }

    template <class IdOf> void rehash(size_t count, const IdOf& idOf) {
        std::vector<Slot> old(count);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (!slot.position) continue;
            const std::string* id = idOf(slot.position - 1);
            const size_t hash = id ? std::hash<std::string_view>()(*id) : 0;
            size_t at = hash & (slots_.size() - 1);
            while (slots_[at].position)
                at = (at + 1) & (slots_.size() - 1);
            slots_[at] = {slot.position, tagOf(hash)};
        }
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;
};

} // namespace velkora
