#pragma once
// The last 100 speed samples of a site, oldest first.

#include <array>

class CSpeedHistory {
public:
    static constexpr int kSize = 100;

    void Add(int value) {
        m_slots[m_next] = value;
        m_next = (m_next + 1) % kSize;
    }
    // Entry 0 is the oldest of the last kSize values, entry kSize - 1 the newest.
    int Get(int k) const { return m_slots[(k + m_next) % kSize]; }
    void Clear() {
        m_slots.fill(0);
        m_next = 0;
    }

private:
    std::array<int, kSize> m_slots{};
    int m_next = 0;
};
