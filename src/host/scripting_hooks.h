// The scripting descriptor and the dialog as the phase operations see them.
#pragma once

#include "host/globals.h"

namespace fw {

// Reads the host's descriptor into the parameters and sets ShowDialog from the play option.
void ReadScriptParams(PluginGlobals* g);
// Records every parameter in a new descriptor for the host.
void WriteScriptParams(PluginGlobals* g);
// Runs the main dialog; on cancel it restores the parameters and sets the result to -128.
// Builds without the dialog go on as if the user had pressed OK unchanged.
void RunMainDialog(PluginGlobals* g);

}  // namespace fw
