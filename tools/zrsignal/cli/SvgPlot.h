// Line charts of per-frame values as stand-alone SVG documents.
#pragma once

#include <string>
#include <vector>

namespace zrsignal {

struct PlotSeries {
    std::string label;
    std::vector<double> values; // one per frame
};

// A chart of every series over time (frame / fps seconds) with axes, ticks, `title` on top and,
// for more than one series, a legend. NaN and infinite values leave gaps in the curves.
std::string renderSvgPlot(const std::vector<PlotSeries>& series, double fps, const std::string& title);

} // namespace zrsignal
