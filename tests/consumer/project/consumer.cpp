// A host outside the source tree: links the installed library, loads the installed signal
// plug-in module and evaluates one formula frame by frame.
#include <cstdio>
#include <string>
#include <vector>

#include "zrcomponent/ZrComponentModule.h"
#include "zrparser/ZrParser.h"
#include "zrsignal/CSignalPlugin.h"

int main()
{
    std::vector<std::wstring> classIds;
    std::string error;
    if (zr::failed(zr::registerModuleForProcess(ZR_SIGNAL_MODULE, classIds, &error))) {
        std::fprintf(stderr, "cannot load %s: %s\n", ZR_SIGNAL_MODULE, error.c_str());
        return 1;
    }
    std::printf("module: %s\n", ZR_SIGNAL_MODULE);
    try {
        ZrParser parser;
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.compile(L"counter(0, 3, 1) * 10");
        std::printf("counter(0, 3, 1) * 10:");
        for (int frame = 0; frame < 5; ++frame)
            std::printf(" %g", parser.evaluate());
        std::printf("\n");
    } catch (const ZrParserException& e) {
        std::fprintf(stderr, "%ls\n", e.getDescription().c_str());
        return 1;
    }
    return 0;
}
