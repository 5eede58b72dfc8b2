// A lock-free ring between one thread that writes and one that reads (a device's callback and
// the frame loop): neither waits, neither allocates after construction.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <vector>

namespace zrshow {

template <class T>
class SpscRing {
public:
    // Room for at least `capacity` items, allocated once.
    explicit SpscRing(std::size_t capacity) : items_(std::bit_ceil(capacity + 1)), mask_(items_.size() - 1) {}

    // Writer: false when the ring is full (the item is dropped).
    bool push(const T& item)
    {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t next = (head + 1) & mask_;
        if (next == tail_.load(std::memory_order_acquire))
            return false;
        items_[head] = item;
        head_.store(next, std::memory_order_release);
        return true;
    }

    // Reader: the oldest item, or false when none waits.
    bool pop(T& item)
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return false;
        item = items_[tail];
        tail_.store((tail + 1) & mask_, std::memory_order_release);
        return true;
    }

private:
    std::vector<T> items_;
    std::size_t mask_;
    alignas(64) std::atomic<std::size_t> head_{0}; // next to write
    alignas(64) std::atomic<std::size_t> tail_{0}; // next to read
};

} // namespace zrshow
