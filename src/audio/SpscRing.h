#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <utility>

// A fixed ring from one thread to another: neither side waits, locks or allocates. Holds up to
// N - 1 items.
template <typename T, std::size_t N> class SpscRing {
public:
    // False when full.
    bool push(T&& item)
    {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        const std::size_t next = (tail + 1) % N;
        if (next == m_head.load(std::memory_order_acquire))
            return false;
        m_items[tail] = std::move(item);
        m_tail.store(next, std::memory_order_release);
        return true;
    }

    std::optional<T> pop()
    {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire))
            return std::nullopt;
        std::optional<T> item(std::move(m_items[head]));
        m_items[head] = T{};
        m_head.store((head + 1) % N, std::memory_order_release);
        return item;
    }

private:
    std::array<T, N> m_items{};
    std::atomic<std::size_t> m_head{0};
    std::atomic<std::size_t> m_tail{0};
};
