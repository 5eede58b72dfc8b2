// The columns of the speed table: each compiles an expression over the host values x, y and
// z, evaluates it once for the value check, and times it with the common method.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Measure.h"

namespace bench {

struct OurEngine;

struct Expression {
    const char* text;         // in our syntax, which ExprTk shares
    const char* muParserText; // muParser has no if(), only its ternary operator
    // The same computation written in C++, and one repetition of its timed loop.
    double (*native)(double x, double y, double z);
    double (*nativeTimeEvaluations)(const std::vector<Triple>& inputs, std::size_t count);
    // Our engine performs the native operations in the same order, so its results must be
    // identical bit for bit; otherwise (x^2 is pow, x*x is a product) they need only be close.
    bool sameArithmetic;
};

class Column {
public:
    virtual ~Column() = default;
    virtual std::string name() const = 0;
    // Throws std::runtime_error naming the engine's complaint.
    virtual void compile(const Expression& e) = 0;
    // One evaluation at the current host values.
    virtual double evaluate() = 0;
    // One repetition of the timed loop: nanoseconds per evaluation over `count` evaluations.
    virtual double timeEvaluations(const std::vector<Triple>& inputs, std::size_t count) = 0;

    HostValues host;
};

std::unique_ptr<Column> makeMuParserColumn();
// Null when the benchmark was built without ExprTk.
std::unique_ptr<Column> makeExprtkColumn();
std::unique_ptr<Column> makeOurColumn(const OurEngine& engine);

} // namespace bench
