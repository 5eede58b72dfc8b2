// Fuzz target: text compiled with the syntax characters switched (decimal point ",",
// argument separator ";").
#include "FuzzHost.h"

namespace {

struct CommaHost : fuzz::Host {
    CommaHost() { parser.setSyntax(ZrSyntax{L',', L';'}); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CommaHost host;
    host.compileAndRun(host.parser, fuzz::toText(data, size));
    return 0;
}
