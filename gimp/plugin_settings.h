// What the GIMP plug-in takes from its callers, without GIMP: the settings from a preset
// file and a parameter string (the tool's `--set` items, separated by spaces), the
// last-values text GIMP keeps between runs (a preset file's bytes), and the selection as the
// host's mask. Kept apart from libgimp so it is tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/effect_parameters.h"

namespace fw::gimp {

// The procedure's name, also the key of its last values.
inline constexpr char kProcedureName[] = "plug-in-frostweave";

// `Field=Value` items separated by spaces, tabs or line ends.
std::vector<std::string> SplitParameterString(std::string_view text);

// The defaults, then the preset (when `presetPath` is not empty), then the items. False
// with a one-line message, `p` untouched, at the first thing that cannot be used.
bool SettingsFromArguments(const std::string& presetPath, const std::string& parameterString,
                           EffectParameters& p, std::string& error);

// The settings as GIMP's last values: a whole preset file, header included.
std::string LastValuesText(const EffectParameters& p);
// Reads last values over `p` (normally the defaults). False, `p` untouched, when the bytes
// are no preset.
bool ReadLastValues(std::string_view bytes, EffectParameters& p);

// The host's selection mask (1 = selected) from GIMP's selection values (0..1) of the
// layer's pixels: any selected amount counts, as the tool's `--selection` counts any
// non-zero value; GIMP blends soft edges when it merges the result.
std::vector<uint8_t> HostSelection(const std::vector<float>& amounts);

}  // namespace fw::gimp
