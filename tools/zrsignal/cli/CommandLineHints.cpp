// Where the command line's user defines a variable and looks a function up.
#include "cli/CommandLineHints.h"

namespace zrsignal {

const zrhost::HintWording& commandLineHints()
{
    static const zrhost::HintWording wording{
        "define {name} with --var {name}=VALUE or as a column of --input FILE.csv",
        "define level with --var level=VALUE, as a column of --input FILE.csv, or with --audio FILE (the loudness of "
        "the sound)",
        "zrsignal list WORD finds functions by name or by words of the description",
    };
    return wording;
}

} // namespace zrsignal
