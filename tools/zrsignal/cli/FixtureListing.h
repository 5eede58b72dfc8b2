// The fixtures command's work, in the show commands' module (it reads profiles with the show
// runtime): the fixture library's makers, models and modes, and the channels of one profile.
#pragma once

#include <string>

namespace zrsignal {

// Writes to stdout either the profile `pattern` names ("Maker/Model" or a .qxf file), mode by
// mode with its slots, channels, common names, defaults and 16-bit pairs, or every profile
// whose "Maker/Model" contains `pattern` with its modes. Returns 0, or 1 (said on stderr) when
// the library is missing, nothing matches or the profile cannot be read.
int listFixtures(const std::string& pattern);

} // namespace zrsignal
