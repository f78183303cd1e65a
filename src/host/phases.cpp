#include "host/phases.h"

namespace fw {

void DoParameters(PluginGlobals* g) {
    if (!EnsureParameters(g)) return;
    Parameters(g)->ShowDialog = 1;
}

void DoPrepare(PluginGlobals* g) {
    Filter(g).bufferSpace = 0;
    EnsureParameters(g);
}

void DoStart(PluginGlobals* g) {
    EnsureParameters(g);
}

void DoContinue(PluginGlobals* g) {
    sdk::FilterRecord& fr = Filter(g);
    fr.inRect = fr.outRect = fr.maskRect = sdk::Rect{0, 0, 0, 0};
}

void DoFinish(PluginGlobals*) {}

}  // namespace fw
