// check: whether a formula compiles, and its value when it folds to a constant.
#include "cli/CheckCommand.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/FormulaCommand.h"
#include "zrhost/NumberText.h"

namespace zrsignal {

CheckCommand::CheckCommand(CLI::App& parent)
    : Command(parent, "check", "Compile EXPR only: print 'constant VALUE' or 'ok'")
{
}

void CheckCommand::addOptions()
{
    addDefinitionOptions(app(), options_);
    app().add_option("EXPR", expression_, "The formula")->required();
}

int CheckCommand::run()
{
    auto session = compileFormulas(options_, std::nullopt, {expression_});
    ZrParser& parser = session->parser(0);
    if (parser.isConstant())
        std::cout << "constant " << zrhost::formatNumber(parser.evaluate()) << '\n';
    else
        std::cout << "ok\n";
    return 0;
}

} // namespace zrsignal
