// The default wording of the events a front end does not word itself.
#include "zrshow/ShowEvents.h"

namespace zrshow {

std::string structureChangeMessage(const std::string& path, const std::string& changes, const std::string& restart)
{
    return path + ": the show's structure changed (" + changes + "): " + restart +
           " to use it; until then the show runs on as it was, and only the formulas of fixtures laid out as "
           "before change";
}

void ShowEvents::structureChanged(const std::string& path, const std::string& changes)
{
    message(structureChangeMessage(path, changes, "restart the show"));
}

} // namespace zrshow
