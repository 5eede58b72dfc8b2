// The error of an input that cannot be used: a file, or a value as the user gave it. Its text
// says what is wrong with what was given; the front end adds where it was given.
#pragma once

#include <stdexcept>
#include <string>

#include "zrparser/ZrExport.h"

namespace zrhost {

class ZR_API InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zrhost
