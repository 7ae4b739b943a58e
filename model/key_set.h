#pragma once
// A set of 64-bit key hashes in one array, probed linearly: about 16 bytes a key instead
// of a node allocation each, for sets that grow to hundreds of thousands of addresses.

#include <cstddef>
#include <cstdint>
#include <vector>

class CKeySet {
public:
    bool Contains(std::uint64_t key) const {
        if (m_slots.empty())
            return false;
        key = Stored(key);
        for (std::size_t slot = key & Mask();; slot = (slot + 1) & Mask()) {
            if (m_slots[slot] == key)
                return true;
            if (m_slots[slot] == kEmpty)
                return false;
        }
    }

    void Insert(std::uint64_t key) {
        // At most half full, so that a probe ends soon.
        if ((m_size + 1) * 2 > m_slots.size())
            Grow();
        if (Place(m_slots, Stored(key)))
            ++m_size;
    }

    std::size_t Size() const { return m_size; }
    void Clear() {
        std::vector<std::uint64_t>().swap(m_slots);
        m_size = 0;
    }

private:
    static constexpr std::uint64_t kEmpty = 0;
    // 0 marks an empty slot; the one key that hashes to it is kept as 1.
    static std::uint64_t Stored(std::uint64_t key) { return key == kEmpty ? 1 : key; }
    std::size_t Mask() const { return m_slots.size() - 1; }

    // False when the key was there already.
    static bool Place(std::vector<std::uint64_t>& table, std::uint64_t key) {
        const std::size_t mask = table.size() - 1;
        for (std::size_t slot = key & mask;; slot = (slot + 1) & mask) {
            if (table[slot] == key)
                return false;
            if (table[slot] == kEmpty) {
                table[slot] = key;
                return true;
            }
        }
    }

    void Grow() {
        std::vector<std::uint64_t> larger(m_slots.empty() ? 64 : m_slots.size() * 2, kEmpty);
        for (const std::uint64_t key : m_slots) {
            if (key != kEmpty)
                Place(larger, key);
        }
        m_slots.swap(larger);
    }

    std::vector<std::uint64_t> m_slots; // a power of two in size
    std::size_t m_size = 0;
};
