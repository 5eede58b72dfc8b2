// A subcommand of zrsignal: the options it registers on the command line, and what it does
// once they are parsed. main() only parses and hands over to the command chosen. Options are
// registered for the command a command line names, not for every command: starting zrsignal
// costs only what it uses.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace zrsignal {

class Command {
public:
    // Adds the subcommand `name` to `parent`, without its options yet.
    Command(CLI::App& parent, const std::string& name, const std::string& description);
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    CLI::App& app() const { return app_; }

    // Registers its options and arguments; the targets are members of the command.
    virtual void addOptions() = 0;

    // Whether its positional argument is a formula, which may begin with '-' like an option.
    virtual bool takesExpression() const { return false; }

    // Runs the command after a successful parse and returns the exit status. Throws
    // zrhost::InputError (status 1) or zrhost::LibraryFailure (status 2).
    virtual int run() = 0;

private:
    CLI::App& app_;
};

} // namespace zrsignal
