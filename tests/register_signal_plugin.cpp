// Like a host that carries the signal plug-in inside it, every test program of the plug-in
// library registers the plug-in's class at start-up, so that parsers load it by ProgID.
#include "zrsignal/CSignalPlugin.h"

namespace {

const bool signalPluginRegistered = registerSignalPlugin();

} // namespace
