// One reusable scratch buffer per thread, with the heap behind it for what does not fit.
#include "zrparser/ZrScratchMemory.h"

#include <cstddef>

namespace zr {

namespace {

constexpr std::size_t SCRATCH_BYTES = 256 * 1024;

struct ThreadScratch {
    alignas(std::max_align_t) std::byte buffer[SCRATCH_BYTES];
    std::pmr::monotonic_buffer_resource resource{buffer, sizeof buffer, std::pmr::new_delete_resource()};
    int depth = 0;
};

ThreadScratch& threadScratch()
{
    thread_local ThreadScratch scratch;
    return scratch;
}

} // namespace

ScratchScope::ScratchScope()
{
    ++threadScratch().depth;
}

ScratchScope::~ScratchScope()
{
    ThreadScratch& scratch = threadScratch();
    if (--scratch.depth == 0)
        scratch.resource.release();
}

std::pmr::memory_resource* ScratchScope::memory() const
{
    return &threadScratch().resource;
}

} // namespace zr
