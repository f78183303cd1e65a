// frostweave preset show FILE | preset write -o FILE
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/output_file.h"
#include "params/preset_file.h"

namespace fw::cli {

bool WritePresetFile(const std::string& path, const EffectParameters& parameters,
                     std::string& error) {
    OutputFile file;
    if (!file.Create(path, error)) return false;
    if (!SavePresetFile(file.TemporaryPath(), parameters)) {
        error = "cannot write preset '" + path +
                "': " + WriteFailureReason(file.TemporaryPath(), "write error");
        return false;
    }
    return file.Commit(error);
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
    if (const std::string problem = OutputProblem(output); !problem.empty()) {
        PrintError("cannot write preset '" + output + "': " + problem);
        return kExitFailure;
    }
    if (!ApplyParameterOptions(parameters, p, error) || !WritePresetFile(output, p, error)) {
        PrintError(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace fw::cli
