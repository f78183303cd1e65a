// The five phase operations of a filter run.
#pragma once

#include "host/globals.h"

namespace fw {

void DoParameters(PluginGlobals* g);
void DoPrepare(PluginGlobals* g);
void DoStart(PluginGlobals* g);
void DoContinue(PluginGlobals* g);
void DoFinish(PluginGlobals* g);

}  // namespace fw
