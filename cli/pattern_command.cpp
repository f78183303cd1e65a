// frostweave pattern --size WxH -o OUT.svg|OUT.obj|OUT.json
#include "cli/commands.h"

namespace fw::cli {

int RunPattern(const PatternArgs&) {
    PrintError("pattern export is not available in this build yet");
    return kExitFailure;
}

}  // namespace fw::cli
