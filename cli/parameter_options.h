// The effect's settings from the command line: a preset file, the dialog's names for the
// effect, mask kind, growth direction and render mode, a few shortcuts, and `--set` for any
// carried field by name or key. Applied in that order over the defaults, so `--set` wins.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "params/effect_parameters.h"
#include "params/parameter_fields.h"

namespace fw::cli {

struct ParameterOptions {
    std::string preset;         // .fwv file
    std::string effect;         // "Floral 3"
    std::string maskKind;       // "U-like"
    std::string growDirection;  // "All directions"
    std::string renderMode;     // "Phong"
    std::optional<long long> seed;
    std::string center;  // "X,Y"
    bool alphaCut = false;
    std::vector<std::string> sets;  // NAME=VALUE
};

// A record holding the defaults and an empty run state.
EffectParameters DefaultParameters();

// Applies `options` to `p` in the order above. Returns false with a one-line message at the
// first option that cannot be used (unreadable preset, unknown name, bad value).
bool ApplyParameterOptions(const ParameterOptions& options, EffectParameters& p,
                           std::string& error);

// One `--set` value for `field`: integers and bytes in decimal (or 0x hex), colours as
// 0xRRGGBB (or the field's decimal value, 0x00BBGGRR, as preset files carry it), reals as
// decimal numbers. Refuses values the field cannot hold.
bool SetFieldFromText(EffectParameters& p, const ParameterField& field, const std::string& text,
                      std::string& error);

// The value as `--set` accepts it back exactly (reals with enough digits to round-trip,
// colours as 0xRRGGBB).
std::string FieldValueText(const EffectParameters& p, const ParameterField& field);

// The value for people: enumerations with their dialog names, colours also as decimal.
std::string FieldValueDescription(const EffectParameters& p, const ParameterField& field);

// What the field means, in the dialog's words.
const char* FieldMeaning(const ParameterField& field);

// Dialog names (case and spacing ignored) or the stored number; -1 when unknown.
int EffectIndexFromName(const std::string& name);
int MaskKindFromName(const std::string& name);
int GrowDirectionFromName(const std::string& name);
int RenderModeFromName(const std::string& name);

// Every carried field as "--set" arguments that rebuild `p` exactly (for child processes).
std::vector<std::string> ParametersAsSetArguments(const EffectParameters& p);

}  // namespace fw::cli
