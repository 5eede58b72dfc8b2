// Our engine in the speed table, and the compile timings.
#include "Ours.h"

#include <cmath>
#include <stdexcept>

#include "Columns.h"

namespace bench {

namespace {

std::wstring wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? char(c) : '?';
    return out;
}

// The default set has no radian sine and cosine; a host defines them as pure functions, so
// calls with constant arguments fold and one instance serves every call.
class SinFct final : public ZrFunctionBase<SinFct> {
public:
    static constexpr ZrFunctionInfo info{L"sin", nullptr, L"sin(x)", L"Sine of x radians.", 1, true, true};
    double evaluate(unsigned, const double* args) override { return std::sin(args[0]); }
};

class CosFct final : public ZrFunctionBase<CosFct> {
public:
    static constexpr ZrFunctionInfo info{L"cos", nullptr, L"cos(x)", L"Cosine of x radians.", 1, true, true};
    double evaluate(unsigned, const double* args) override { return std::cos(args[0]); }
};

// A parser over the table's host values, set up by `engine`.
void defineTableItems(ZrParser& parser, HostValues& host, const OurEngine& engine)
{
    parser.defineVar(L"x", &host.x);
    parser.defineVar(L"y", &host.y);
    parser.defineVar(L"z", &host.z);
    parser.defineFunc(new SinFct());
    parser.defineFunc(new CosFct());
    engine.setup(parser);
}

void compileOrThrow(ZrParser& parser, const std::wstring& text)
{
    try {
        parser.compile(text.c_str());
    } catch (const ZrParserException& e) {
        throw std::runtime_error(narrow(e.getNbExceptions() ? e.getDescription(0) : text));
    }
}

class OurColumn final : public Column {
public:
    explicit OurColumn(const OurEngine& engine) : engine_(engine) { defineTableItems(parser_, host, engine); }

    std::string name() const override { return engine_.name; }
    void compile(const Expression& e) override { compileOrThrow(parser_, wide(e.text)); }
    double evaluate() override { return parser_.evaluate(); }
    double timeEvaluations(const std::vector<Triple>& inputs, std::size_t count) override
    {
        return bench::timeEvaluations(inputs, host, count, [this] { return parser_.evaluate(); });
    }

private:
    const OurEngine& engine_;
    ZrParser parser_;
};

} // namespace

std::unique_ptr<Column> makeOurColumn(const OurEngine& engine)
{
    return std::make_unique<OurColumn>(engine);
}

double medianCompileNs(ZrParser& parser, const std::wstring& text)
{
    constexpr int warmUp = 50, timed = 2001;
    std::vector<double> times;
    for (int i = 0; i < warmUp + timed; ++i) {
        const Clock::time_point start = Clock::now();
        compileOrThrow(parser, text);
        if (i >= warmUp)
            times.push_back(nanosecondsSince(start));
    }
    return median(times);
}

double tableCompileNs(const OurEngine& engine, const std::string& text)
{
    HostValues host;
    ZrParser parser;
    defineTableItems(parser, host, engine);
    return medianCompileNs(parser, wide(text));
}

} // namespace bench
