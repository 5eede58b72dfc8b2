// Whole-file reading shared by the CSV input and the show file.
#include "zrhost/FileText.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "zrhost/InputError.h"

namespace zrhost {

std::string readWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw InputError(path + ": cannot open: " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace zrhost
