// SVG line charts: nice tick steps, per-pixel min/max thinning of long series, gaps at NaN.
#include "cli/SvgPlot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace zrsignal {

namespace {

constexpr double WIDTH = 900.0;
constexpr double PLOT_LEFT = 80.0;
constexpr double PLOT_RIGHT = WIDTH - 30.0;
constexpr double PLOT_TOP = 60.0;
constexpr double PLOT_BOTTOM = 390.0;
constexpr double LEGEND_ROW = 22.0;
// Red, green and blue first, so that colour channels plotted in that order look like themselves.
constexpr const char* COLOURS[] = {"#d62728", "#2ca02c", "#1f77b4", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2"};
constexpr double TITLE_FONT_SIZE = 15.0;

// Fixed-point text with `decimals` digits, independent of the C locale.
std::string fixed(double value, int decimals)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1); // no "-0" labels

    return out;
}

std::string coordinate(double value)
{
    return fixed(value, 2);
}

std::string xmlEscape(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped.push_back(c);
        }
    }
    return escaped;
}

// Tick positions at a step of 1, 2 or 5 × 10^k giving about `target` intervals over the range.
struct Ticks {
    double step;
    int decimals; // enough to print every tick exactly
    double first;
    double last;
};

Ticks niceTicks(double low, double high, int target)
{
    const double raw = (high - low) / target;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction <= 1.0 ? 1.0 : fraction <= 2.0 ? 2.0 : fraction <= 5.0 ? 5.0 : 10.0;
    const double step = nice * magnitude;
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    return {step, decimals, std::ceil(low / step - 1e-9) * step, std::floor(high / step + 1e-9) * step};
}

// Every tick value from first to last, computed from its index so steps do not add up errors.
std::vector<double> tickValues(const Ticks& ticks)
{
    std::vector<double> values;
    const auto count = static_cast<long>(std::llround((ticks.last - ticks.first) / ticks.step));
    for (long k = 0; k <= count; ++k)
        values.push_back(ticks.first + static_cast<double>(k) * ticks.step);
    return values;
}

// The value range of every finite value, widened to whole tick steps and never empty.
Ticks valueTicks(const std::vector<PlotSeries>& series)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const PlotSeries& s : series) {
        for (double v : s.values) {
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    if (low > high) {
        low = 0.0;
        high = 1.0;
    } else if (low == high) {
        const double pad = low == 0.0 ? 1.0 : std::abs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    Ticks ticks = niceTicks(low, high, 6);
    ticks.first = std::floor(low / ticks.step + 1e-9) * ticks.step;
    ticks.last = std::ceil(high / ticks.step - 1e-9) * ticks.step;
    return ticks;
}

// Maps data to picture coordinates.
struct Frame {
    double timeEnd;
    double low;
    double high;

    double x(double seconds) const { return PLOT_LEFT + seconds / timeEnd * (PLOT_RIGHT - PLOT_LEFT); }
    double y(double value) const { return PLOT_BOTTOM - (value - low) / (high - low) * (PLOT_BOTTOM - PLOT_TOP); }
};

// Polyline point lists of one series; a gap (NaN or infinity) starts a new list. Series longer
// than two points per pixel keep each pixel column's minimum and maximum.
std::vector<std::string> curvePaths(const std::vector<double>& values, double fps, const Frame& frame)
{
    std::vector<std::string> paths;
    std::string current;
    auto point = [&](double seconds, double value) {
        if (!current.empty())
            current.push_back(' ');
        current += coordinate(frame.x(seconds)) + "," + coordinate(frame.y(value));
    };
    auto gap = [&] {
        if (!current.empty())
            paths.push_back(std::move(current));
        current.clear();
    };

    const std::size_t columns = static_cast<std::size_t>(PLOT_RIGHT - PLOT_LEFT);
    if (values.size() <= 2 * columns) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (std::isfinite(values[i]))
                point(static_cast<double>(i) / fps, values[i]);
            else
                gap();
        }
    } else {
        const double perColumn = static_cast<double>(values.size()) / static_cast<double>(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            const auto begin = static_cast<std::size_t>(static_cast<double>(c) * perColumn);
            const auto end = std::min(values.size(), static_cast<std::size_t>(static_cast<double>(c + 1) * perColumn));
            std::size_t lowAt = end;
            std::size_t highAt = end;
            for (std::size_t i = begin; i < end; ++i) {
                if (!std::isfinite(values[i]))
                    continue;
                if (lowAt == end || values[i] < values[lowAt])
                    lowAt = i;
                if (highAt == end || values[i] > values[highAt])
                    highAt = i;
            }
            if (lowAt == end) {
                gap();
                continue;
            }
            const std::size_t firstAt = std::min(lowAt, highAt);
            const std::size_t secondAt = std::max(lowAt, highAt);
            point(static_cast<double>(firstAt) / fps, values[firstAt]);
            if (secondAt != firstAt)
                point(static_cast<double>(secondAt) / fps, values[secondAt]);
        }
    }
    gap();
    return paths;
}

} // namespace

std::string renderSvgPlot(const std::vector<PlotSeries>& series, double fps, const std::string& title)
{
    std::size_t frames = 0;
    for (const PlotSeries& s : series)
        frames = std::max(frames, s.values.size());
    const double timeEnd = std::max(1.0, static_cast<double>(frames) - 1.0) / fps;
    const Ticks yTicks = valueTicks(series);
    const Ticks xTicks = niceTicks(0.0, timeEnd, 8);
    const Frame frame{timeEnd, yTicks.first, yTicks.last};
    const bool withLegend = series.size() > 1;
    const double height = PLOT_BOTTOM + 55.0 + (withLegend ? LEGEND_ROW * static_cast<double>(series.size()) : 0.0);

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fixed(WIDTH, 0) + "\" height=\"" + fixed(height, 0) +
           "\" viewBox=\"0 0 " + fixed(WIDTH, 0) + " " + fixed(height, 0) +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    // A title wider than the picture (estimated from its length) is squeezed to fit.
    const auto titleChars = static_cast<double>(std::count_if(title.begin(), title.end(),
                                                              [](char c) { return (c & 0xC0) != 0x80; }));
    const double titleRoom = WIDTH - 40.0;
    const std::string titleFit = titleChars * TITLE_FONT_SIZE * 0.55 > titleRoom
                                     ? " textLength=\"" + coordinate(titleRoom) + "\" lengthAdjust=\"spacingAndGlyphs\""
                                     : "";
    svg += "<text x=\"" + coordinate(WIDTH / 2) + "\" y=\"30\" text-anchor=\"middle\" font-size=\"" +
           fixed(TITLE_FONT_SIZE, 0) + "\"" + titleFit + ">" + xmlEscape(title) + "</text>\n";

    // Grid lines and tick labels.
    svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
    for (double v : tickValues(yTicks)) {
        const std::string y = coordinate(frame.y(v));
        svg += "<line x1=\"" + coordinate(PLOT_LEFT) + "\" y1=\"" + y + "\" x2=\"" + coordinate(PLOT_RIGHT) +
               "\" y2=\"" + y + "\"/>\n";
    }
    for (double t : tickValues(xTicks)) {
        const std::string x = coordinate(frame.x(t));
        svg += "<line x1=\"" + x + "\" y1=\"" + coordinate(PLOT_TOP) + "\" x2=\"" + x + "\" y2=\"" +
               coordinate(PLOT_BOTTOM) + "\"/>\n";
    }
    svg += "</g>\n<g fill=\"#333333\">\n";
    for (double v : tickValues(yTicks)) {
        svg += "<text x=\"" + coordinate(PLOT_LEFT - 8) + "\" y=\"" + coordinate(frame.y(v) + 4) +
               "\" text-anchor=\"end\">" + fixed(v, yTicks.decimals) + "</text>\n";
    }
    for (double t : tickValues(xTicks)) {
        svg += "<text x=\"" + coordinate(frame.x(t)) + "\" y=\"" + coordinate(PLOT_BOTTOM + 18) +
               "\" text-anchor=\"middle\">" + fixed(t, xTicks.decimals) + "</text>\n";
    }
    svg += "<text x=\"" + coordinate((PLOT_LEFT + PLOT_RIGHT) / 2) + "\" y=\"" + coordinate(PLOT_BOTTOM + 40) +
           "\" text-anchor=\"middle\">time (s) at " + fixed(fps, fps == std::floor(fps) ? 0 : 3) + " fps</text>\n";
    svg += "</g>\n";

    // Axes.
    svg += "<g stroke=\"#333333\" stroke-width=\"1\">\n";
    svg += "<line x1=\"" + coordinate(PLOT_LEFT) + "\" y1=\"" + coordinate(PLOT_TOP) + "\" x2=\"" +
           coordinate(PLOT_LEFT) + "\" y2=\"" + coordinate(PLOT_BOTTOM) + "\"/>\n";
    svg += "<line x1=\"" + coordinate(PLOT_LEFT) + "\" y1=\"" + coordinate(PLOT_BOTTOM) + "\" x2=\"" +
           coordinate(PLOT_RIGHT) + "\" y2=\"" + coordinate(PLOT_BOTTOM) + "\"/>\n";
    svg += "</g>\n";

    for (std::size_t i = 0; i < series.size(); ++i) {
        const char* colour = COLOURS[i % std::size(COLOURS)];
        svg += "<g fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\">\n";
        for (const std::string& points : curvePaths(series[i].values, fps, frame))
            svg += "<polyline points=\"" + points + "\"/>\n";
        svg += "</g>\n";
        if (withLegend) {
            const double y = PLOT_BOTTOM + 62.0 + LEGEND_ROW * static_cast<double>(i);
            svg += "<line x1=\"" + coordinate(PLOT_LEFT) + "\" y1=\"" + coordinate(y - 4) + "\" x2=\"" +
                   coordinate(PLOT_LEFT + 24) + "\" y2=\"" + coordinate(y - 4) + "\" stroke=\"" + colour +
                   "\" stroke-width=\"3\"/>\n";
            svg += "<text x=\"" + coordinate(PLOT_LEFT + 32) + "\" y=\"" + coordinate(y) + "\">" +
                   xmlEscape(series[i].label) + "</text>\n";
        }
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace zrsignal
