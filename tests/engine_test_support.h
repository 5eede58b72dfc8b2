// Shared helpers of the engine tests: checking exception chains entry by entry, test-only
// functions, and running one expression several ways.
#pragma once

#include <cmath>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zrparser/ZrParser.h"
#include "zrsignal/CSignalPlugin.h"

// One expected entry of an exception chain. A null field is not checked.
struct ExpectedEntry {
    const wchar_t* id;
    const wchar_t* pos = nullptr;
    const wchar_t* text = nullptr;
    const wchar_t* itemName = nullptr;
    const wchar_t* param1 = nullptr;
};

inline std::string narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w)
        s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

// Runs `action`, which must throw a chain holding exactly `expected`, in that order.
inline void expectChain(const std::function<void()>& action, const std::vector<ExpectedEntry>& expected)
{
    try {
        action();
        ADD_FAILURE() << "no exception";
    } catch (const ZrParserException& e) {
        ASSERT_EQ(e.getNbExceptions(), expected.size()) << "first: " << narrow(e.getEntry(0).data.id);
        for (unsigned i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("entry " + std::to_string(i));
            const auto& entry = e.getEntry(i);
            const ExpectedEntry& want = expected[i];
            EXPECT_EQ(entry.data.id, want.id);
            EXPECT_EQ(e.getDescription(i), entry.description);
            auto param = [&](const wchar_t* name) {
                const wchar_t* v = entry.data.findParam(name);
                return v ? std::wstring(v) : std::wstring(L"<absent>");
            };
            if (want.pos) {
                EXPECT_EQ(param(L"pos"), want.pos);
            }
            if (want.text) {
                EXPECT_EQ(entry.description, want.text);
            }
            if (want.itemName) {
                EXPECT_EQ(param(L"itemName"), want.itemName);
            }
            if (want.param1) {
                EXPECT_EQ(param(L"param1"), want.param1);
            }
        }
    }
}

inline void expectCompileError(ZrParser& parser, const wchar_t* expr, const ExpectedEntry& expected)
{
    SCOPED_TRACE(narrow(expr));
    expectChain([&] { parser.compile(expr); }, {expected});
}

inline bool sameValue(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

// The host's time base of loops and sequences: "__timeInc()" gives the value the test sets.
class TimeIncrementFct final : public ZrFunctionI {
public:
    explicit TimeIncrementFct(const double* value) : value_(value) {}
    const wchar_t* getSymbol() const override { return L"__timeInc"; }
    const wchar_t* getHelpString() const override { return L"__timeInc()"; }
    const wchar_t* getDescription() const override { return L"time increment of this frame"; }
    bool isConstant() const override { return false; }
    int getNbArgs() const override { return 0; }
    bool isShareable() const override { return true; }
    ZrFunctionI* spawn() const override { return new TimeIncrementFct(value_); }
    double evaluate(unsigned, const double*) override { return *value_; }

private:
    const double* value_;
};

// A stateless, non-constant function with a fixed argument count that records its calls.
class RecordingFct final : public ZrFunctionI {
public:
    explicit RecordingFct(std::vector<double>* log, const wchar_t* symbol = L"rec", int nbArgs = 1,
                          bool constant = false)
        : log_(log), symbol_(symbol), nbArgs_(nbArgs), constant_(constant)
    {
    }
    const wchar_t* getSymbol() const override { return symbol_; }
    const wchar_t* getHelpString() const override { return L"rec(x)"; }
    const wchar_t* getDescription() const override { return L"records its argument"; }
    bool isConstant() const override { return constant_; }
    int getNbArgs() const override { return nbArgs_; }
    bool isShareable() const override { return true; }
    ZrFunctionI* spawn() const override { return new RecordingFct(log_, symbol_, nbArgs_, constant_); }
    double evaluate(unsigned n, const double* args) override
    {
        const double v = n > 0 ? args[0] : static_cast<double>(log_->size());
        log_->push_back(v);
        return v;
    }

private:
    std::vector<double>* log_;
    const wchar_t* symbol_;
    int nbArgs_;
    bool constant_;
};

// Replaces every numeric literal by a variable holding its value, so that nothing folds.
inline std::wstring unfold(const std::wstring& expr, ZrParser& parser, std::vector<double>& storage)
{
    static const std::wregex literal(LR"((^|[^A-Za-z_0-9.])([0-9]+(\.[0-9]+)?))");
    std::wstring out;
    std::wsmatch m;
    std::wstring rest = expr;
    storage.reserve(64);
    while (std::regex_search(rest, m, literal)) {
        const std::wstring name = L"k" + std::to_wstring(storage.size());
        storage.push_back(std::stod(narrow(m[2].str())));
        parser.defineVar(name.c_str(), &storage.back());
        out += m.prefix().str() + m[1].str() + name;
        rest = m.suffix().str();
    }
    return out + rest;
}

// Demands one answer from the folded program, the unfolded one, a child parser and a batch.
inline void expectValueEveryWay(const wchar_t* expr, double expected)
{
    SCOPED_TRACE(narrow(expr));
    ZrParser folded;
    folded.compile(expr);
    EXPECT_PRED2(sameValue, folded.evaluate(), expected) << "folded";

    ZrParser unfolded;
    std::vector<double> storage;
    const std::wstring text = unfold(expr, unfolded, storage);
    unfolded.compile(text.c_str());
    EXPECT_PRED2(sameValue, unfolded.evaluate(), expected) << "unfolded: " << narrow(text);
    if (!storage.empty()) {
        EXPECT_FALSE(unfolded.isConstant());
    }

    ZrParser child(unfolded.getCompiler(), unfolded.getRegistrar(), true);
    child.compile(text.c_str());
    EXPECT_PRED2(sameValue, child.evaluate(), expected) << "child parser";

    double batch[3];
    unfolded.evaluateBatch(3, batch);
    for (double v : batch)
        EXPECT_PRED2(sameValue, v, expected) << "batch";
}
