#include "host/scripting_hooks.h"

namespace fw {

// Descriptor reading and writing arrive with the scripting support; until then the
// parameters stay as the record holds them and the dialog choice stays as set.
void ReadScriptParams(PluginGlobals*) {}
void WriteScriptParams(PluginGlobals*) {}

// No dialog in this build: the run goes on with the parameters as they are.
void RunMainDialog(PluginGlobals*) {}

}  // namespace fw
