// A ring between one producer (an audio or MIDI callback) and one consumer (the frame loop):
// lock-free, its storage allocated once. The producer never waits: items that find the ring
// full are dropped, and counted.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zrshow {

template <class T>
class SpscRing {
public:
    // Room for at least `capacity` items (rounded up to a power of two).
    explicit SpscRing(std::size_t capacity) : mask_(roundUp(capacity) - 1), items_(new T[mask_ + 1]) {}
    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    std::size_t capacity() const { return mask_ + 1; }

    // Producer: appends item(i) for i in [0, count) as far as there is room, and counts the
    // rest as dropped. Returns how many were appended. Never blocks or allocates.
    template <class Item>
    std::size_t write(std::size_t count, Item item)
    {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        const std::size_t room = capacity() - (head - tail);
        const std::size_t written = count < room ? count : room;
        for (std::size_t i = 0; i < written; ++i)
            items_[(head + i) & mask_] = item(i);
        head_.store(head + written, std::memory_order_release);
        if (written < count)
            dropped_.fetch_add(count - written, std::memory_order_relaxed);
        return written;
    }

    // Consumer: hands every item there is, oldest first, to take(item) and frees its room.
    // Returns how many. Never blocks or allocates.
    template <class Take>
    std::size_t drain(Take take)
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        for (std::size_t i = tail; i != head; ++i)
            take(items_[i & mask_]);
        tail_.store(head, std::memory_order_release);
        return head - tail;
    }

    // Items the producer found no room for, since the ring was made. Any thread.
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    static std::size_t roundUp(std::size_t capacity)
    {
        std::size_t size = 1;
        while (size < capacity)
            size *= 2;
        return size;
    }

    // Counts of items written and read; they wrap around together, so head - tail is the fill.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    alignas(64) std::atomic<std::uint64_t> dropped_{0};
    const std::size_t mask_;
    std::unique_ptr<T[]> items_;
};

// The samples of an audio input.
using SampleRing = SpscRing<float>;

} // namespace zrshow
