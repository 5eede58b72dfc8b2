// A generated pixel show at LED-wall scale, loaded and run the way `zrsignal run` does.
#pragma once

#include <cstddef>

#include "OurEngines.h"
#include "zrshow/show/FixtureFormulas.h"

namespace bench {

struct PixelShowResult {
    std::size_t channels;
    double loadNs;           // parse, patch, host parser and every channel's formula compiled
    double bytesPerChannel;  // heap growth over the load / channels
    double frameMeanNs;      // every channel evaluated into its universe's slots
    double frameP99Ns;
};

// The pixel show of `universes` universes of 170 RGB pixels (510 channels each), on the
// simulated clock, its formulas compiled and run as `options` says.
PixelShowResult runPixelShow(const OurEngine& engine, unsigned universes, const zrshow::FormulaEngineOptions& options);

} // namespace bench
