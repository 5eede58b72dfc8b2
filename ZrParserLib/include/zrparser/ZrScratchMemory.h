// Memory for short-lived work: deriving execution plans and machine code. Each thread reuses
// one buffer for it, so that compiling thousands of formulas leaves their long-lived parts side
// by side on the heap, in the order they are made, where a frame's walk over them finds them.
#pragma once

#include <memory_resource>

#include "zrparser/ZrExport.h"

namespace zr {

// Hands out this thread's scratch memory while it lives and takes it all back when it goes.
// Scopes may nest; memory is taken back when the outermost one ends.
class ZR_API ScratchScope {
public:
    ScratchScope();
    ScratchScope(const ScratchScope&) = delete;
    ScratchScope& operator=(const ScratchScope&) = delete;
    ~ScratchScope();

    std::pmr::memory_resource* memory() const;
};

} // namespace zr
