// ExprTk, built only when the build is told where exprtk.hpp lies (ZR_EXPRTK_INCLUDE_DIR).
// Its string, file and vector extras are left out: they only lengthen the build.
#define exprtk_disable_string_capabilities
#define exprtk_disable_rtl_io_file
#define exprtk_disable_rtl_vecops
#include <exprtk.hpp>

#include <stdexcept>

#include "Columns.h"

namespace bench {

namespace {

class ExprtkColumn final : public Column {
public:
    ExprtkColumn()
    {
        symbols_.add_variable("x", host.x);
        symbols_.add_variable("y", host.y);
        symbols_.add_variable("z", host.z);
        expression_.register_symbol_table(symbols_);
    }

    std::string name() const override { return "ExprTk"; }
    void compile(const Expression& e) override
    {
        if (!parser_.compile(e.text, expression_))
            throw std::runtime_error(parser_.error());
    }
    double evaluate() override { return expression_.value(); }
    double timeEvaluations(const std::vector<Triple>& inputs, std::size_t count) override
    {
        return bench::timeEvaluations(inputs, host, count, [this] { return expression_.value(); });
    }

private:
    exprtk::symbol_table<double> symbols_;
    exprtk::expression<double> expression_;
    exprtk::parser<double> parser_;
};

} // namespace

std::unique_ptr<Column> makeExprtkColumn()
{
    return std::make_unique<ExprtkColumn>();
}

} // namespace bench
