// frostweave-gimp: the GIMP 2.10 plug-in program. It registers plug-in-frostweave and, when
// GIMP calls it, hands the active layer to the filter module beside this program through
// the emulated host, exactly as the command-line tool does, and writes the result back as
// one undo step.
#include <gegl.h>
#include <libgimp/gimp.h>

#include <exception>
#include <string>

#include "cli/filter_runner.h"
#include "cli/parameter_options.h"
#include "gimp/frost_dialog.h"
#include "gimp/layer_pixels.h"
#include "gimp/plugin_settings.h"

namespace fw::gimp {

namespace {

enum Argument { kRunMode, kImage, kDrawable, kPreset, kParameters, kArgumentCount };

// The settings GIMP kept from the last run, or the defaults.
EffectParameters LastValues() {
    EffectParameters p = cli::DefaultParameters();
    const gint size = gimp_get_data_size(kProcedureName);
    if (size > 0) {
        std::string bytes(size_t(size), '\0');
        if (gimp_get_data(kProcedureName, bytes.data())) ReadLastValues(bytes, p);
    }
    return p;
}

void KeepLastValues(const EffectParameters& p) {
    const std::string text = LastValuesText(p);
    gimp_set_data(kProcedureName, text.data(), guint32(text.size()));
}

bool FilterLayer(gint32 image, gint32 drawable, const EffectParameters& p, std::string& error) {
    LayerPicture layer;
    if (!ReadLayer(image, drawable, layer, error)) return false;
    auto module = cli::FilterModule::Load(cli::DefaultModulePath(nullptr), error);
    if (!module) return false;

    cli::RunRequest request;
    request.parameters = p;
    request.selection = std::move(layer.selection);
    request.progress = [](double f) { gimp_progress_update(f); };
    gimp_progress_init("Frostweave");
    hostemu::Image host = cli::ToHostImage(std::move(layer.picture));
    if (!cli::RunFilter(*module, host, std::move(request), error)) return false;
    gimp_progress_update(1.0);
    WriteLayer(drawable, cli::FromHostImage(std::move(host)), layer.box);
    return true;
}

// Everything a run does, with its failure said in words for GIMP's error message.
GimpPDBStatusType Run(gint nparams, const GimpParam* param, std::string& error) {
    if (nparams < kDrawable + 1) {
        error = "plug-in-frostweave needs a run mode, an image and a drawable";
        return GIMP_PDB_CALLING_ERROR;
    }
    const auto mode = GimpRunMode(param[kRunMode].data.d_int32);
    const gint32 image = param[kImage].data.d_image;
    const gint32 drawable = param[kDrawable].data.d_drawable;

    EffectParameters p = cli::DefaultParameters();
    switch (mode) {
        case GIMP_RUN_NONINTERACTIVE: {
            if (nparams != kArgumentCount) {
                error =
                    "plug-in-frostweave takes five arguments: run mode, image, drawable, "
                    "preset file, parameter string";
                return GIMP_PDB_CALLING_ERROR;
            }
            const char* preset = param[kPreset].data.d_string;
            const char* items = param[kParameters].data.d_string;
            if (!SettingsFromArguments(preset ? preset : "", items ? items : "", p, error))
                return GIMP_PDB_CALLING_ERROR;
            break;
        }
        case GIMP_RUN_WITH_LAST_VALS:
            p = LastValues();
            break;
        case GIMP_RUN_INTERACTIVE:
            p = LastValues();
            if (!ShowFrostDialog(image, drawable, p)) return GIMP_PDB_CANCEL;
            break;
    }
    if (!FilterLayer(image, drawable, p, error)) return GIMP_PDB_EXECUTION_ERROR;
    KeepLastValues(p);
    if (mode != GIMP_RUN_NONINTERACTIVE) gimp_displays_flush();
    return GIMP_PDB_SUCCESS;
}

void Query() {
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"),
         const_cast<gchar*>("Input drawable (an RGB or RGBA layer)")},
        {GIMP_PDB_STRING, const_cast<gchar*>("preset"),
         const_cast<gchar*>("A preset file (.fwv), or empty for the defaults")},
        {GIMP_PDB_STRING, const_cast<gchar*>("parameters"),
         const_cast<gchar*>("Field=Value items separated by spaces, as the frostweave tool's "
                            "--set takes them (may be empty)")},
    };
    gimp_install_procedure(
        kProcedureName, "Grow a frost ornament and render it into the layer",
        "Grows a frost ornament along a path (the selection's border or a built-in shape) "
        "and renders it as a 3D scene with material, lights and glass into the active layer, "
        "within the selection. The same filter module and host as the frostweave tool, so "
        "the pixels are the same.",
        "Frostweave", "Frostweave", "2026", "_Frostweave...", "RGB*", GIMP_PLUGIN,
        G_N_ELEMENTS(arguments), 0, arguments, nullptr);
    gimp_plugin_menu_register(kProcedureName, "<Image>/Filters/Decor");
}

void RunProcedure(const gchar*, gint nparams, const GimpParam* param, gint* nreturn,
                  GimpParam** returned) {
    static GimpParam values[2];
    std::string error;
    GimpPDBStatusType status;
    gegl_init(nullptr, nullptr);
    try {
        status = Run(nparams, param, error);
    } catch (const std::exception&) {  // bad_alloc: the layer does not fit this process
        error = "out of memory (the layer needs more than this process can have)";
        status = GIMP_PDB_EXECUTION_ERROR;
    }
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = status;
    *nreturn = 1;
    *returned = values;
    if (!error.empty()) {
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = g_strdup(("Frostweave: " + error).c_str());
        *nreturn = 2;
    }
}

}  // namespace

}  // namespace fw::gimp

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, fw::gimp::Query, fw::gimp::RunProcedure};

MAIN()
