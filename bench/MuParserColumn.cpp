// muParser, as Debian ships it: its own bytecode with built-in sin, cos, min and max.
#include <muParser.h>

#include <stdexcept>

#include "Columns.h"

namespace bench {

namespace {

class MuParserColumn final : public Column {
public:
    MuParserColumn()
    {
        parser_.DefineVar("x", &host.x);
        parser_.DefineVar("y", &host.y);
        parser_.DefineVar("z", &host.z);
    }

    std::string name() const override { return "muParser"; }
    void compile(const Expression& e) override
    {
        try {
            parser_.SetExpr(e.muParserText ? e.muParserText : e.text);
            parser_.Eval(); // parses the text: it would otherwise happen in the first timed call
        } catch (const mu::Parser::exception_type& error) {
            throw std::runtime_error(error.GetMsg());
        }
    }
    double evaluate() override { return parser_.Eval(); }
    double timeEvaluations(const std::vector<Triple>& inputs, std::size_t count) override
    {
        return bench::timeEvaluations(inputs, host, count, [this] { return parser_.Eval(); });
    }

private:
    mu::Parser parser_;
};

} // namespace

std::unique_ptr<Column> makeMuParserColumn()
{
    return std::make_unique<MuParserColumn>();
}

} // namespace bench
