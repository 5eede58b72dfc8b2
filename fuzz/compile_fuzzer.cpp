// Fuzz target: any text compiled and run for a few frames in a host-configured parser.
#include "FuzzHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::Host host;
    host.compileAndRun(host.parser, fuzz::toText(data, size));
    return 0;
}
