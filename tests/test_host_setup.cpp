// Like a host that carries the signal plug-in and the machine-code back end inside it, every
// test program of the libraries registers the plug-in's class, so that parsers load it by
// ProgID, and installs the code generator, at start-up.
#include "zrmachinecode/ZrMachineCode.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

const bool signalPluginRegistered = registerSignalPlugin();
const bool machineCodeInstalled = zr::useMachineCode();

} // namespace
