// A subcommand of zrsignal: the options it registers on the command line, and what it does
// once they are parsed. main() only parses and hands over to the command chosen.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace zrsignal {

class Command {
public:
    explicit Command(CLI::App& app) : app_(app) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    CLI::App& app() const { return app_; }

    // Whether its positional argument is a formula, which may begin with '-' like an option.
    virtual bool takesExpression() const { return false; }

    // Runs the command after a successful parse and returns the exit status. Throws
    // zrhost::InputError (status 1) or zrhost::LibraryFailure (status 2).
    virtual int run() = 0;

private:
    CLI::App& app_;
};

} // namespace zrsignal
