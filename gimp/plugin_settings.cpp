#include "gimp/plugin_settings.h"

#include "cli/parameter_options.h"
#include "params/preset_file.h"

namespace fw::gimp {

std::vector<std::string> SplitParameterString(std::string_view text) {
    std::vector<std::string> items;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\n' &&
               text[i] != '\r')
            ++i;
        if (i > start) items.emplace_back(text.substr(start, i - start));
    }
    return items;
}

bool SettingsFromArguments(const std::string& presetPath, const std::string& parameterString,
                           EffectParameters& p, std::string& error) {
    cli::ParameterOptions options;
    options.preset = presetPath;
    options.sets = SplitParameterString(parameterString);
    EffectParameters built = cli::DefaultParameters();
    if (!cli::ApplyParameterOptions(options, built, error)) {
        // The tool's messages name its option; here the item came from the parameter string.
        constexpr std::string_view kOption = "--set ";
        if (error.compare(0, kOption.size(), kOption) == 0)
            error = "parameter " + error.substr(kOption.size());
        return false;
    }
    p = built;
    return true;
}

std::string LastValuesText(const EffectParameters& p) {
    return std::string(kPresetHeader, kPresetHeaderSize) + FormatPreset(p);
}

bool ReadLastValues(std::string_view bytes, EffectParameters& p) {
    if (!HasPresetHeader(bytes)) return false;
    ReadPresetText(p, bytes.substr(kPresetHeaderSize));
    p.NeedsRegeneration = 1;
    return true;
}

std::vector<uint8_t> HostSelection(const std::vector<float>& amounts) {
    std::vector<uint8_t> mask(amounts.size());
    for (size_t i = 0; i < amounts.size(); ++i) mask[i] = amounts[i] > 0.0f ? 1 : 0;
    return mask;
}

}  // namespace fw::gimp
