// Fuzz target: a macro defined from the input and then used. The input holds up to three
// lines: the prototype, the body, and an expression using it.
#include "FuzzHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::Host host;
    const std::wstring text = fuzz::toText(data, size);
    const std::size_t first = text.find(L'\n');
    const std::size_t second = first == std::wstring::npos ? first : text.find(L'\n', first + 1);
    const std::wstring prototype = text.substr(0, first);
    const std::wstring body = first == std::wstring::npos ? L"" : text.substr(first + 1, second - first - 1);
    const std::wstring use = second == std::wstring::npos ? prototype : text.substr(second + 1);

    // A child parser per input keeps the macro's definition to this input.
    ZrParser child(host.parser.getCompiler(), host.parser.getRegistrar(), true);
    try {
        child.defineMacro(prototype.c_str(), body.c_str(), L"fuzzed");
    } catch (const ZrParserException&) {
        return 0;
    }
    host.compileAndRun(child, use);
    return 0;
}
