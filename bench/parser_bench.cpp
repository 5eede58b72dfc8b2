// Nanoseconds per evaluation of compiled expressions, ours beside muParser on the same texts.
#include <benchmark/benchmark.h>

#include <muParser.h>

#include <string>

#include "zrparser/ZrParser.h"

namespace {

// A 40-operator expression over three variables.
std::string longExpression()
{
    const char* terms[] = {"x*y", "z/3", "x-y", "(y+z)*2", "x/2"};
    std::string e = "x";
    for (int i = 0; i < 20; ++i)
        e += std::string(i % 2 ? "-" : "+") + terms[i % 5];
    return e;
}

struct Expression {
    const char* name;
    std::string ours;
    std::string peer; // the same computation in the peer's syntax
};

const Expression expressions[] = {
    {"x+y", "x+y", "x+y"},
    {"(x+y)*2-z/3", "(x+y)*2-z/3", "(x+y)*2-z/3"},
    // Our generator keeps its phase; the peer computes the sine of a host-advanced phase.
    {"__sin(0.1)*50+50", "__sin(0.1)*50+50", "sin(t)*50+50"},
    {"40 operators", longExpression(), longExpression()},
};

// Our parser with the variables x, y and z bound to `values`.
struct OurParser {
    double values[3] = {1.5, 2.5, 3.5};
    ZrParser parser;
    OurParser()
    {
        parser.defineVar(L"x", &values[0]);
        parser.defineVar(L"y", &values[1]);
        parser.defineVar(L"z", &values[2]);
    }
};

std::wstring wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

void ours(benchmark::State& state)
{
    const Expression& e = expressions[state.range(0)];
    OurParser ours;
    ours.parser.compile(wide(e.ours).c_str());
    for (auto _ : state) {
        ours.values[0] += 1e-9;
        benchmark::DoNotOptimize(ours.parser.evaluate());
    }
    state.SetLabel(e.name);
}

void peer(benchmark::State& state)
{
    const Expression& e = expressions[state.range(0)];
    mu::Parser parser;
    double x = 1.5, y = 2.5, z = 3.5, t = 0;
    parser.DefineVar("x", &x);
    parser.DefineVar("y", &y);
    parser.DefineVar("z", &z);
    parser.DefineVar("t", &t);
    parser.SetExpr(e.peer);
    for (auto _ : state) {
        x += 1e-9;
        t += 0.1;
        benchmark::DoNotOptimize(parser.Eval());
    }
    state.SetLabel(e.name);
}

void oursCompile(benchmark::State& state)
{
    const Expression& e = expressions[state.range(0)];
    OurParser ours;
    const std::wstring text = wide(e.ours);
    for (auto _ : state)
        ours.parser.compile(text.c_str());
    state.SetLabel(e.name);
}

} // namespace

BENCHMARK(ours)->DenseRange(0, 3);
BENCHMARK(peer)->DenseRange(0, 3);
BENCHMARK(oursCompile)->DenseRange(0, 3);

BENCHMARK_MAIN();
