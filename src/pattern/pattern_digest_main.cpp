// pattern_digest: prints the golden generations' triangle counts and digests, so the output
// of a Windows build (run under Wine or on Windows) can be compared with the native one.
#include <cstdio>

#include "pattern/digest_cases.h"

int main() {
    std::fputs(fw::FormatGrowthBudget().c_str(), stdout);
    std::fputs(fw::FormatDigests(fw::ComputeGoldenDigests()).c_str(), stdout);
    return 0;
}
