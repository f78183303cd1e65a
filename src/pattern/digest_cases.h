// A fixed set of generations whose triangle digests pin the generator's output: the same
// digests must come out of every build (Linux, Windows x86_64, Windows i686). Used by the
// golden test and by the pattern_digest tool that runs the Windows builds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

struct DigestResult {
    std::string name;
    int32_t triangles;
    uint64_t digest;
};

std::vector<DigestResult> ComputeGoldenDigests();

// "name triangles digest" lines, one per case.
std::string FormatDigests(const std::vector<DigestResult>& results);

// The triangle budget a generation stops at unless told otherwise: the patterns that reach it
// are the same on every build only if the budget is.
std::string FormatGrowthBudget();

}  // namespace fw
