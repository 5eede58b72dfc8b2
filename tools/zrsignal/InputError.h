// The error of an input file or an option value that cannot be used; the program exits with 1.
#pragma once

#include <stdexcept>
#include <string>

namespace zrsignal {

class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zrsignal
