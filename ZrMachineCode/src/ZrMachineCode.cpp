// Installs the x86-64 code generator unless the processor or the environment rules it out.
#include "zrmachinecode/ZrMachineCode.h"

#include <cstdlib>
#include <cstring>

#include "ZrX86CodeGenerator.h"

namespace zr {

bool useMachineCode()
{
#if defined(__x86_64__)
    if (const char* setting = std::getenv("ZR_JIT"); setting && std::strcmp(setting, "0") == 0)
        return false;
    static ZrX86CodeGenerator generator;
    installCodeGenerator(&generator);
    return true;
#else
    return false;
#endif
}

} // namespace zr
