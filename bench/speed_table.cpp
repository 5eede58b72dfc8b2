// The speed table in markdown: nanoseconds per evaluation beside hand-written C++, muParser
// and (when built with it) ExprTk; a show of many formulas; compile times.
// Usage: speed_table [table] [show] [pixels] [compile]   (no argument: all)
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "Columns.h"
#include "Ours.h"
#include "PixelShow.h"

namespace bench {

namespace {

// Hand-written C++ of an expression, inlined into the common timed loop. The inputs come from
// memory at run time, so nothing folds beyond what the compiler does to any such code.
template <double (*F)(double, double, double)>
double nativeTimeEvaluations(const std::vector<Triple>& inputs, std::size_t count)
{
    HostValues host;
    return timeEvaluations(inputs, host, count, [&host] { return F(host.x, host.y, host.z); });
}

template <double (*F)(double, double, double)>
constexpr Expression entry(const char* text, bool sameArithmetic = true, const char* muParserText = nullptr)
{
    return {text, muParserText, F, nativeTimeEvaluations<F>, sameArithmetic};
}

const char* const longExpression = "((x+y)*(y-z)+(z*x-y/3))/((x*x+y*y+z*z)+1)-(x-y)*(y-z)*(z-x)"
                                   "+(x*y+y*z+z*x)/(x+y+z+4)-0.5*x+0.25*y-0.125*z";

const Expression expressions[] = {
    entry<[](double x, double y, double) { return x + y; }>("x+y"),
    entry<[](double x, double y, double z) { return (x + y) * 2 - z / 3; }>("(x+y)*2-z/3"),
    entry<[](double x, double y, double) { return x * x + y * y; }>("x^2+y^2", false),
    entry<[](double x, double y, double) { return (y + x / y) * (x - y / x); }>("(y+x/y)*(x-y/x)"),
    entry<[](double x, double y, double) { return (5.5 + x) + (2 * x - 2.0 / 3 * y) * (x / 3 + y / 4) + (y + 7.7); }>(
        "(5.5+x)+(2*x-2/3*y)*(x/3+y/4)+(y+7.7)"),
    entry<[](double x, double y, double) { return std::sin(x) * std::cos(y) + 1; }>("sin(x)*cos(y)+1"),
    entry<[](double x, double y, double) { return std::sin(2 * x) + std::cos(3.141592653589793 / y); }>(
        "sin(2*x)+cos(3.141592653589793/y)"),
    entry<[](double x, double y, double z) { return std::min(x, y) + std::max(y, z); }>("min(x,y)+max(y,z)"),
    // Parenthesised: g++ 12 takes a bare ">" here for the end of the template arguments.
    entry<[](double x, double y, double) { return (x > 0.5) ? x : y; }>("if(x>0.5, x, y)", true, "x>0.5 ? x : y"),
    entry<[](double x, double y, double z) {
        return ((x + y) * (y - z) + (z * x - y / 3)) / ((x * x + y * y + z * z) + 1) - (x - y) * (y - z) * (z - x) +
               (x * y + y * z + z * x) / (x + y + z + 4) - 0.5 * x + 0.25 * y - 0.125 * z;
    }>(longExpression),
};

std::string format(const char* pattern, ...)
{
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string nanoseconds(double ns)
{
    return format(ns < 10 ? "%.2f" : "%.1f", ns);
}

std::string ratio(double r)
{
    return format(r < 10 ? "%.1fx" : "%.0fx", r);
}

std::string label(const Expression& e)
{
    return e.text == longExpression ? "36 operations (below)" : format("`%s`", e.text);
}

// Whether `value` passes for `expected`: identical bits when the computation is the same,
// otherwise within 1e-12 relative.
bool agrees(double value, double expected, bool identical)
{
    if (identical)
        return std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(expected);
    return std::abs(value - expected) <= 1e-12 * std::max(std::abs(value), std::abs(expected));
}

// Compiles `e` in `column` and compares its results with the C++ ones on a few inputs: a fast
// wrong answer is no result. Returns whether the column compiled it; adds what went wrong to
// `problems`.
bool compileAndCheck(Column& column, const Expression& e, const std::vector<Triple>& inputs, bool bitForBit,
                     std::vector<std::string>& problems)
{
    try {
        column.compile(e);
    } catch (const std::exception& error) {
        problems.push_back(column.name() + " cannot compile `" + e.text + "`: " + error.what());
        return false;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const Triple& t = inputs[i];
        column.host = {t.x, t.y, t.z};
        const double value = column.evaluate(), expected = e.native(t.x, t.y, t.z);
        if (!agrees(value, expected, bitForBit)) {
            problems.push_back(format("%s: `%s` at x=%.17g y=%.17g z=%.17g gives %.17g, C++ %.17g",
                                      column.name().c_str(), e.text, t.x, t.y, t.z, value, expected));
            break;
        }
    }
    return true;
}

void printTable(const std::vector<Triple>& inputs)
{
    std::vector<std::unique_ptr<Column>> columns;
    if (auto exprtk = makeExprtkColumn())
        columns.push_back(std::move(exprtk));
    columns.push_back(makeMuParserColumn());
    const std::size_t firstOurs = columns.size();
    for (const OurEngine& engine : ourEngines)
        columns.push_back(makeOurColumn(engine));

    std::vector<std::string> problems;
    std::vector<double> logRatioSums(columns.size(), 0.0);
    std::vector<int> ratioCounts(columns.size(), 0);
    std::string heading = "| expression | native |", rule = "|---|---:|";
    for (const auto& column : columns) {
        heading += " " + column->name() + " |";
        rule += "---:|";
    }
    std::printf("### Nanoseconds per evaluation, and the ratio to hand-written C++\n\n%s\n%s\n", heading.c_str(),
                rule.c_str());
    for (const Expression& e : expressions) {
        std::fprintf(stderr, "timing %s\n", e.text);
        // The loops of one row take turns, so that its ratios are measured under the same load.
        std::vector<TimedLoop> loops{[&](std::size_t count) { return e.nativeTimeEvaluations(inputs, count); }};
        std::vector<bool> compiled(columns.size(), false);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            compiled[c] = compileAndCheck(*columns[c], e, inputs, c >= firstOurs && e.sameArithmetic, problems);
            if (compiled[c])
                loops.push_back([&, c](std::size_t count) { return columns[c]->timeEvaluations(inputs, count); });
        }
        const std::vector<double> ns = medianNsPerEvaluation(loops);
        const double native = ns[0];
        std::string row = "| " + label(e) + " | " + nanoseconds(native) + " |";
        std::size_t next = 1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!compiled[c]) {
                row += " — |";
                continue;
            }
            const double r = ns[next++] / native;
            logRatioSums[c] += std::log(r);
            ++ratioCounts[c];
            row += " " + nanoseconds(native * r) + " (" + ratio(r) + ") |";
        }
        std::printf("%s\n", row.c_str());
    }
    std::string geomean = "| **geomean** | 1.0x |";
    for (std::size_t c = 0; c < columns.size(); ++c)
        geomean += " **" + ratio(std::exp(logRatioSums[c] / std::max(1, ratioCounts[c]))) + "** |";
    std::printf("%s\n\nThe 36-operation expression: `%s`.\n\n", geomean.c_str(), longExpression);
    if (problems.empty())
        std::printf("Value check before timing (8 inputs each): every engine agrees with the C++ results (ours bit "
                    "for bit where it computes the same operations in the same order, the others within 1e-12).\n\n");
    for (const std::string& problem : problems)
        std::printf("- **value check failed** %s\n", problem.c_str());
    if (!problems.empty())
        std::printf("\n");
}

void printShow()
{
    std::printf("### Show: the ten-formula mix evaluated once per frame, each formula in a child parser of one "
                "host, or each text of the mix one formula with an instance per use\n\n"
                "| engine | way | formulas | ns per formula per frame | frame (median) | frame (p99) "
                "| bytes per formula | compile per formula (median) | child parser (median) |\n"
                "|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const OurEngine& engine : ourEngines) {
        for (const bool asInstances : {false, true}) {
            if (asInstances && &engine != &ourEngines[std::size(ourEngines) - 1])
                continue; // instances run their own plan, whatever the tier
            const char* way = asInstances ? "instances" : "child parsers";
            // Unreported: the process's first heap growth would otherwise fall on the first show.
            runShow(engine, 1000, asInstances);
            for (std::size_t formulas : {1000, 10000, 100000}) {
                std::fprintf(stderr, "show of %zu formulas, %s, %s\n", formulas, engine.name, way);
                const ShowResult r = runShow(engine, formulas, asInstances);
                std::printf("| %s | %s | %zu | %.1f | %.3f ms | %.3f ms | %.0f | %.2f µs | %.2f µs |\n", engine.name, way,
                            formulas, r.nsPerFormula, r.frameMedianNs / 1e6, r.frameP99Ns / 1e6, r.bytesPerFormula,
                            r.compileNs / 1e3, r.childParserNs / 1e3);
            }
        }
    }
    std::printf("\n");
}

void printPixelShow()
{
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    std::printf("### Pixel show: 100 universes of 170 RGB pixels\n\n"
                "| engine | way | threads | channels | load and compile | bytes per channel | frame (mean) "
                "| frame (p99) |\n|---|---|---:|---:|---:|---:|---:|---:|\n");
    struct Way {
        const OurEngine& engine;
        const char* formulas;
        zrshow::FormulaEngineOptions options;
    };
    const OurEngine& machineCode = ourEngines[std::size(ourEngines) - 1];
    const Way ways[] = {
        {machineCode, "a child parser per channel", {true, 1}},
        {machineCode, "one per group channel", {false, 1}},
        {machineCode, "one per group channel", {false, cores}},
    };
    for (const Way& way : ways) {
        std::fprintf(stderr, "pixel show, %s, %s, %u threads\n", way.engine.name, way.formulas, way.options.threads);
        const PixelShowResult r = runPixelShow(way.engine, 100, way.options);
        std::printf("| %s | %s | %u | %zu | %.2f s | %.0f | %.3f ms | %.3f ms |\n", way.engine.name, way.formulas,
                    way.options.threads, r.channels, r.loadNs / 1e9, r.bytesPerChannel, r.frameMeanNs / 1e6,
                    r.frameP99Ns / 1e6);
    }
    std::printf("\n");
}

void printCompileTimes()
{
    const wchar_t* const signalFormula = L"if(level > 50, 100, __triangle(0.2)*100)";
    std::string heading = "| formula |", rule = "|---|";
    std::string signalRow = format("| `%ls` (%zu characters, show host) |", signalFormula, std::wcslen(signalFormula));
    std::string longRow = "| the 36-operation expression |";
    for (const OurEngine& engine : ourEngines) {
        heading += format(" %s |", engine.name);
        rule += "---:|";
        signalRow += format(" %.2f µs |", showCompileNs(engine, signalFormula) / 1e3);
        longRow += format(" %.2f µs |", tableCompileNs(engine, longExpression) / 1e3);
    }
    std::printf("### Compile time (median)\n\n%s\n%s\n%s\n%s\n\n", heading.c_str(), rule.c_str(), signalRow.c_str(),
                longRow.c_str());
}

} // namespace

#ifndef ZR_BENCH_WITH_EXPRTK
std::unique_ptr<Column> makeExprtkColumn()
{
    return nullptr;
}
#endif

} // namespace bench

int main(int argc, char** argv)
{
    auto wanted = [&](const char* section) {
        if (argc == 1)
            return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], section) == 0)
                return true;
        return false;
    };
    std::printf("Built with %s, flags `%s`; one thread unless a table says otherwise.\n\n", ZR_BENCH_COMPILER, ZR_BENCH_FLAGS);
    try {
        if (wanted("table"))
            bench::printTable(bench::makeInputs());
        if (wanted("show"))
            bench::printShow();
        if (wanted("pixels"))
            bench::printPixelShow();
        if (wanted("compile"))
            bench::printCompileTimes();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "speed_table: %s\n", error.what());
        return 1;
    }
    return 0;
}
