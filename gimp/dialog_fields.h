// The dialog's fields as data: which widget shows each field of the parameter record, with
// the Windows dialog's labels and ranges, grouped like its pages. Kept apart from GTK so the
// tables are checked natively.
#pragma once

#include <optional>

#include "params/effect_parameters.h"

namespace fw::gimp {

struct DialogField {
    enum class Kind { Choice, Number, Toggle, Colour };
    Kind kind;
    const char* field;  // the record's field name
    const char* label;
    double min = 0, max = 0, step = 1;
    int digits = 0;
    bool unbounded = false;  // the entry takes any 32-bit value, the slider shows the range
    bool regrows = true;     // a change grows the pattern again (geometry); false: redraw only
    const char* const* choices = nullptr;
    int choiceCount = 0;
    int comboFirst = 1;  // the stored value of the first choice
};

struct DialogGroup {
    const char* title;
    const DialogField* fields;
    int count;
    bool expanded;
};

// The dialog's own buttons beside GTK's _OK, _Cancel and _Help.
inline constexpr char kResetLabel[] = "_Reset";
inline constexpr char kSavePresetLabel[] = "_Save preset...";

// Effect, mask kind, growth direction, render mode, random seed: always shown.
extern const DialogGroup kMainGroup;
// Every other field the dialog edits, in expandable groups.
extern const DialogGroup kFieldGroups[6];

// The effect-dependent control behind a field, if its use depends on the effect.
std::optional<EffectControl> EffectControlOf(const char* fieldName);

}  // namespace fw::gimp
