// One formula for many instances that differ only in a few constants: the pixels of a strip, the
// fixtures of a group, each with its own index and place. The text is compiled once; each
// instance keeps only its own state.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"

class ZrParser;

class ZR_API ZrFormulaInstances {
public:
    // Instances of `text` as child parsers of `host` (linked to its definitions) would compile it,
    // with the constants `constantNames` defined in each. `host` must outlive this object.
    ZrFormulaInstances(ZrParser& host, std::wstring text, std::vector<std::wstring> constantNames);
    ZrFormulaInstances(const ZrFormulaInstances&) = delete;
    ZrFormulaInstances& operator=(const ZrFormulaInstances&) = delete;
    ~ZrFormulaInstances();

    // Adds an instance whose constants have `values` (one per name) and returns its number. It
    // gets what a child parser compiled for it alone gets: the same values, the same per-use
    // instances made in the same order, the same errors. Throws ZrParserException as that
    // compile throws; then nothing is added.
    std::size_t add(std::span<const double> values);
    std::size_t size() const { return size_; }
    // Gives spare room back once every instance is added.
    void shrinkToFit();

    // Evaluates instance `instance` once: the value and the calls of its child parser's evaluate.
    // Allocates nothing. Different instances may be evaluated on different threads at once
    // unless usesProcessState().
    double evaluate(std::size_t instance);
    // Evaluates instances first to first + count - 1 in order, into results[0..count - 1]: in
    // one loop of machine code where the host's parsers run machine code. An instance that
    // throws gives NaN; returns how many threw. Allocates nothing.
    std::size_t evaluate(std::size_t first, std::size_t count, double* results);

    // True when the formula calls functions that share state with the whole process (the random
    // sequence, the global memory): its instances must then be added and evaluated in one fixed
    // order with every other such formula, on one thread at a time.
    bool usesProcessState() const { return usesProcessState_; }
    // True when the instances share one compiled program; false when each has a child parser
    // of its own, for formulas whose functions compile argument texts of their own (conditionals,
    // loops).
    bool isShared() const { return shared_ != nullptr; }
    // The text as given.
    const std::wstring& text() const { return text_; }

private:
    struct Shared;

    std::unique_ptr<class ZrParser> compileChild(std::span<const double> values) const;
    void share(std::unique_ptr<ZrParser> first);
    void addShared(std::span<const double> values);

    ZrParser& host_;
    std::wstring text_;
    std::vector<std::wstring> constantNames_;
    std::size_t size_ = 0;
    bool usesProcessState_ = false;
    std::unique_ptr<Shared> shared_;
    std::vector<std::unique_ptr<ZrParser>> separate_;
};
