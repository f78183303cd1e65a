// frostweave preset show FILE | preset write -o FILE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/commands.h"
#include "params/preset_file.h"

namespace fw::cli {

namespace fs = std::filesystem;

bool WritePresetFile(const std::string& path, const EffectParameters& parameters,
                     std::string& error) {
    std::error_code ec;
    const fs::path target(path);
    fs::path temp = target;
    std::string name = ".";  // built in steps: GCC 12 warns falsely on "." + string
    name += target.filename().string();
    name += ".partial";
    temp.replace_filename(name);
    if (SavePresetFile(temp.string(), parameters)) {
        fs::rename(temp, target, ec);
        if (!ec) return true;
    }
    fs::remove(temp, ec);
    error = "cannot write preset '" + path + "'";
    return false;
}

int RunPresetShow(const std::string& file) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        PrintError("cannot open preset '" + file + "': " + std::strerror(errno));
        return kExitFailure;
    }
    std::fclose(f);
    EffectParameters p = DefaultParameters();
    if (!LoadPresetFile(file, p)) {
        PrintError("'" + file + "' is not a preset file (no \"Max Frostweave1\" header)");
        return kExitFailure;
    }
    const EffectParameters defaults = DefaultParameters();
    std::printf("%-17s %-4s  %-24s %s\n", "Field", "Key", "Value", "Meaning");
    for (const ParameterField& field : kParameterFields) {
        const char key[5] = {char(field.key >> 24), char(field.key >> 16), char(field.key >> 8),
                             char(field.key), 0};
        std::string value = FieldValueDescription(p, field);
        // A mark where the file differs from the defaults helps reading shared presets.
        if (FieldValueText(p, field) != FieldValueText(defaults, field)) value += " *";
        std::printf("%-17s %-4s  %-24s %s\n", field.name, key, value.c_str(), FieldMeaning(field));
    }
    std::printf("(* differs from the default)\n");
    return kExitOk;
}

int RunPresetWrite(const ParameterOptions& parameters, const std::string& output) {
    std::string error;
    EffectParameters p = DefaultParameters();
    if (!ApplyParameterOptions(parameters, p, error) || !WritePresetFile(output, p, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace fw::cli
