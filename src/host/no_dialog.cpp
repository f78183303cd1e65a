// Builds without the dialog (the Linux module, and the Windows module until the dialog
// exists): where the user would be asked, the run goes on as if OK had been pressed with
// nothing changed.
#include "host/scripting_hooks.h"
#include "platform/platform.h"

namespace fw {

void RunMainDialog(PluginGlobals*) {
    platform::DebugOutput("frostweave: no dialog in this build; running with the current settings");
}

}  // namespace fw
