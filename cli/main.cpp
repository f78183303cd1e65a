// frostweave: applies the Frostweave filter module to picture files through an emulated
// image-editor host, renders galleries, exports the generated pattern and handles presets.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <new>
#include <string>

#include "cli/commands.h"
#include "cli/output_file.h"
#include "cli/picture.h"

namespace {

using namespace fw::cli;

void AddParameterOptions(CLI::App* app, ParameterOptions& p) {
    const char* group = "Effect parameters (applied in this order over the defaults)";
    app->add_option("--preset", p.preset, "Preset file (.fwv) to start from")
        ->group(group)
        ->type_name("FILE");
    app->add_option("--effect", p.effect, "Effect by its dialog name, e.g. \"Floral 3\"")
        ->group(group)
        ->type_name("NAME");
    app->add_option("--mask-kind", p.maskKind,
                    "Path shape: Bottom, Top, \"Top and bottom\", Perimeter, U-like, Window, "
                    "\"By selection\"")
        ->group(group)
        ->type_name("NAME");
    app->add_option("--grow-direction", p.growDirection,
                    "\"Direction 1\" .. \"Direction 7\" or \"All directions\"")
        ->group(group)
        ->type_name("NAME");
    app->add_option("--render-mode", p.renderMode, "Rough, Line, Wire, Flat or Phong")
        ->group(group)
        ->type_name("NAME");
    app->add_option("--seed", p.seed, "Random seed (RandomSeed)")->group(group)->type_name("N");
    app->add_option("--center", p.center,
                    "Effect centre X,Y in thousandths of half the area (CenterX, CenterY)")
        ->group(group)
        ->type_name("X,Y");
    app->add_flag("--alpha-cut", p.alphaCut, "Keep the pattern alone (AlphaCut=1)")->group(group);
    app->add_option("--set", p.sets,
                    "Any field by name or four-letter key; colours 0xRRGGBB or decimal; "
                    "repeatable")
        ->group(group)
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
}

void AddPictureLimit(CLI::App* app, RunArgs& run) {
    app->add_option("--max-megapixels", run.maxMegapixels,
                    "Refuse pictures whose header claims more pixels (default: " +
                        std::to_string(DefaultMaxMegapixels()) + ")")
        ->check(CLI::Range(1, int(kMaxPicturePixels / 1'000'000)))
        ->type_name("N");
}

void AddRunOptions(CLI::App* app, RunArgs& run, bool withJobs) {
    AddParameterOptions(app, run.parameters);
    app->add_option("--selection", run.selection,
                    "Mask picture of the same size: non-zero pixels are selected; the filter "
                    "works on their bounding box")
        ->type_name("MASK.png");
    app->add_option("--plugin", run.plugin,
                    "Filter module to load (default: the one beside this program)")
        ->type_name("PATH");
    if (withJobs)
        app->add_option("--jobs,-j", run.jobs, "Pictures filtered at once, in separate processes")
            ->check(CLI::Range(1, 64))
            ->type_name("N");
    app->add_flag("--quiet,-q", run.quiet, "No progress bar and no list of written files");
    app->add_flag("--small-png", run.smallPng,
                  "Compress PNG files as much as possible (much slower to write)");
    AddPictureLimit(app, run);
    const char* group = "Host behaviour (for testing)";
    app->add_option("--max-space", run.host.maxSpace,
                    "Memory the host offers in bytes; small values force bands")
        ->group(group)
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                return !value.empty() && value[0] == '-' ? "must be 0 or more bytes" : "";
            },
            "", "not negative"))
        ->type_name("BYTES");
    app->add_flag("--host-driven-bands", run.host.hostDrivenBands,
                  "Offer no advanceState: the host fetches band after band")
        ->group(group);
    app->add_flag("--no-handle-procs", run.host.noHandleProcs, "Offer no handle procedures")
        ->group(group);
}

}  // namespace

int main(int argc, char** argv) {
    InstallStopHandlers();
    FollowParent();

    CLI::App app{
        "Applies the Frostweave frost filter to pictures by driving the filter module the way "
        "an image editor does.",
        "frostweave"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Help for every subcommand");

    ApplyArgs apply;
    apply.run.argv0 = argv[0];
    CLI::App* applyCmd =
        app.add_subcommand("apply", "Filter pictures (PNG, JPEG, TIFF) and write the results");
    applyCmd->add_option("inputs", apply.inputs, "Pictures to filter")->required()->type_name("IN");
    applyCmd
        ->add_option("-o,--output", apply.output,
                     "Output picture, or a folder when there are several inputs")
        ->required()
        ->type_name("OUT");
    applyCmd
        ->add_option("--format", apply.format,
                     "Format of pictures written into a folder: png, jpg or tif "
                     "(default: the input's)")
        ->type_name("EXT");
    applyCmd
        ->add_option("--save-preset", apply.savePreset,
                     "Also save the parameters in force as a preset file")
        ->type_name("FILE.fwv");
    AddRunOptions(applyCmd, apply.run, true);

    GalleryArgs gallery;
    gallery.run.argv0 = argv[0];
    CLI::App* galleryCmd = app.add_subcommand(
        "gallery",
        "Render a picture with each of the ten effects (or each preset of a folder) "
        "and write an index.html");
    galleryCmd->add_option("input", gallery.input, "Picture to render")
        ->required()
        ->type_name("IN");
    galleryCmd->add_option("-o,--output", gallery.output, "Folder for the pictures and the page")
        ->required()
        ->type_name("DIR");
    galleryCmd->add_option("--presets", gallery.presets, "Render every .fwv preset of this folder")
        ->type_name("DIR");
    galleryCmd->add_option("--format", gallery.format, "png, jpg or tif (default: the input's)")
        ->type_name("EXT");
    AddRunOptions(galleryCmd, gallery.run, true);

    PatternArgs pattern;
    pattern.run.argv0 = argv[0];
    CLI::App* patternCmd = app.add_subcommand(
        "pattern", "Export the generated frost geometry without rendering (SVG, OBJ, JSON)");
    patternCmd->add_option("--size", pattern.size, "Picture size (not needed with --selection)")
        ->type_name("WxH");
    patternCmd->add_option("-o,--output", pattern.output, "OUT.svg, OUT.obj or OUT.json")
        ->required()
        ->type_name("OUT");
    AddParameterOptions(patternCmd, pattern.run.parameters);
    patternCmd
        ->add_option("--selection", pattern.run.selection,
                     "Mask picture: sets the size and the filter rectangle")
        ->type_name("MASK.png");
    patternCmd->add_flag("--quiet,-q", pattern.run.quiet, "Print nothing on success");
    AddPictureLimit(patternCmd, pattern.run);

    CLI::App* presetCmd = app.add_subcommand("preset", "Show or write preset files (.fwv)");
    presetCmd->require_subcommand(1);
    std::string showFile;
    CLI::App* showCmd =
        presetCmd->add_subcommand("show", "Every field of a preset with its value and meaning");
    showCmd->add_option("file", showFile, "Preset file")->required()->type_name("FILE");
    ParameterOptions writeParams;
    std::string writeFile;
    CLI::App* writeCmd = presetCmd->add_subcommand(
        "write", "Write a preset from the defaults and the parameter options");
    writeCmd->add_option("-o,--output", writeFile, "Preset file to write")
        ->required()
        ->type_name("FILE.fwv");
    AddParameterOptions(writeCmd, writeParams);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    // The commands say which picture ran out of memory themselves; this is the last word for
    // what they do not expect (a selection mask of a size no process holds, say).
    try {
        if (applyCmd->parsed()) return RunApply(apply);
        if (galleryCmd->parsed()) return RunGallery(gallery);
        if (patternCmd->parsed()) return RunPattern(pattern);
        if (showCmd->parsed()) return RunPresetShow(showFile);
        if (writeCmd->parsed()) return RunPresetWrite(writeParams, writeFile);
    } catch (const std::bad_alloc&) {
        PrintError("out of memory");
    }
    return kExitFailure;
}
