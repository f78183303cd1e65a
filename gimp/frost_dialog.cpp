#include "gimp/frost_dialog.h"

#include <gegl.h>
#include <libgimp/gimpui.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/filter_runner.h"
#include "cli/host_pixels.h"
#include "cli/parameter_options.h"
#include "gimp/dialog_fields.h"
#include "gimp/layer_pixels.h"
#include "gimp/plugin_settings.h"
#include "params/parameter_fields.h"
#include "params/preset_file.h"
#include "render/scene_assembly.h"

namespace fw::gimp {

namespace fs = std::filesystem;

namespace {

enum Response { kResponseReset = 1, kResponseSave = 2 };
constexpr int kThumbnailSize = 64;

// A widget that shows one field, and how to put the record's value into it.
struct FieldWidget {
    const ParameterField* field = nullptr;
    GtkAdjustment* adjustment = nullptr;  // spin fields
    GtkWidget* toggle = nullptr;          // on/off fields
    GtkWidget* colour = nullptr;          // colour fields
    GtkWidget* combo = nullptr;           // enumerations (and the effect)
    GtkWidget* sensitive = nullptr;       // what the effect switches on and off
    int comboFirst = 1;                   // the value of the first row
    bool regrows = true;                  // a change grows the pattern again
};

struct PresetEntry {
    std::string name, path;
};

struct Dialog {
    gint32 image = -1, drawable = -1;
    EffectParameters live{};  // the settings shown, with the preview's pattern cache
    uint8_t* texture = nullptr;
    cli::PixelRect box;              // where the filter works, in layer pixels
    double previewZoom = 0;          // layer pixels per preview pixel of the last render
    std::vector<uint8_t> selection;  // 255 = selected over the box; empty: none
    bool refreshing = false;         // widgets being set from the record: no writes back
    GtkWidget* window = nullptr;
    GtkWidget* preview = nullptr;
    GtkListStore* presets = nullptr;
    std::vector<PresetEntry> presetFiles;
    size_t nextThumbnail = 0;
    guint thumbnailSource = 0;
    std::vector<FieldWidget> widgets;
};

// The carried fields of `from` over the defaults, without anything the record caches.
EffectParameters CarriedOnly(const EffectParameters& from) {
    EffectParameters p = cli::DefaultParameters();
    ReadLastValues(LastValuesText(from), p);
    return p;
}

void ReplaceLive(Dialog& d, const EffectParameters& settings) {
    FreePatternCache(d.live);
    d.live = CarriedOnly(settings);
}

// --- the preview -----------------------------------------------------------------------

// The selection over the scaled filter area (sw x sh rendered pixels), as a host samples
// the mask for a zoomed preview.
std::vector<uint8_t> ScaledSelection(const Dialog& d, int sw, int sh) {
    std::vector<uint8_t> scaled(size_t(sw) * sh);
    const int bw = d.box.Width(), bh = d.box.Height();
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            const int sx = std::min(bw - 1, int(int64_t(x) * bw / sw));
            const int sy = std::min(bh - 1, int(int64_t(y) * bh / sh));
            scaled[size_t(y) * sw + x] = d.selection[size_t(sy) * bw + sx];
        }
    return scaled;
}

// GimpPreview says "invalidated" once changes have settled, so renders are coalesced. The
// zoom preview shows the filter area (the selection's bounds) scaled to its size: the frost is
// drawn over that picture at the preview quality, as the Windows dialog draws its zoomed view.
void RenderPreview(GimpPreview* preview, Dialog* d) {
    const gint64 start = g_get_monotonic_time();
    gint w = 0, h = 0, bpp = 0;
    guchar* source = gimp_zoom_preview_get_source(GIMP_ZOOM_PREVIEW(preview), &w, &h, &bpp);
    if (!source || w <= 0 || h <= 0 || (bpp != 3 && bpp != 4)) {
        g_free(source);
        return;
    }
    gint xoff = 0, yoff = 0;
    gimp_preview_get_position(preview, &xoff, &yoff);
    const double factor = gimp_zoom_preview_get_factor(GIMP_ZOOM_PREVIEW(preview));
    // As in the Windows dialog, never more than one layer pixel per preview pixel: the zoom
    // stops at 1:1, where the preview shows what the filter writes.
    const double actualSize = std::max(1.0, double(d->box.Width()) / w);
    GimpZoomModel* model = gimp_zoom_preview_get_model(GIMP_ZOOM_PREVIEW(preview));
    gimp_zoom_model_set_range(model, 1.0, actualSize);
    if (factor > actualSize * 1.0001) {
        g_free(source);
        gimp_zoom_model_zoom(model, GIMP_ZOOM_TO, actualSize);  // renders again
        return;
    }
    const double zoom = double(d->box.Width()) / (w * factor);  // layer pixels per shown pixel
    if (zoom != d->previewZoom) {
        d->previewZoom = zoom;
        d->live.NeedsRegeneration = 1;  // the pattern is grown for the scaled area
    }

    std::vector<uint8_t> in(size_t(w) * h * 4), out(in.size());
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        in[i * 4] = bpp == 4 ? source[i * 4 + 3] : 255;
        std::copy_n(&source[i * bpp], 3, &in[i * 4 + 1]);
    }
    SceneRequest r = WholeAreaRequest(d->live, d->box.Width(), d->box.Height(), zoom);
    const int width = std::min(w, r.width - xoff), height = std::min(h, r.height - yoff);
    std::vector<uint8_t> mask;
    if (width > 0 && height > 0) {
        r.left = xoff;
        r.top = yoff;
        r.width = width;
        r.height = height;
        r.quality = 0;
        r.bumpSource = d->texture;
        r.selectionPresent = !d->selection.empty();
        if (r.selectionPresent) {
            const int sw = int(d->box.Width() / zoom + 0.5), sh = int(d->box.Height() / zoom + 0.5);
            mask = ScaledSelection(*d, sw, sh);
            r.selection = SelectionMask{mask.data(), sw, sh, sw, 0, 0};
        }
        r.input = in.data();
        r.output = out.data();
        r.rowBytes = w * 4;
        if (RenderScene(r)) {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const size_t i = size_t(y) * w + x;
                    std::copy_n(&out[i * 4 + 1], 3, &source[i * bpp]);
                    if (bpp == 4) source[i * 4 + 3] = out[i * 4];
                }
        }
    }
    gimp_preview_draw_buffer(preview, source, w * bpp);
    g_free(source);
    if (std::getenv("FROSTWEAVE_DEBUG"))
        std::fprintf(stderr, "frostweave-gimp: preview %dx%d at 1:%.2f rendered in %.0f ms\n", w, h,
                     zoom, double(g_get_monotonic_time() - start) / 1000.0);
}

void Changed(Dialog& d, bool regrows) {
    if (d.refreshing) return;
    if (regrows) d.live.NeedsRegeneration = 1;
    gimp_preview_invalidate(GIMP_PREVIEW(d.preview));
}

// --- widgets and the record --------------------------------------------------------------

GimpRGB RgbOf(ColourRef c) {
    GimpRGB rgb;
    gimp_rgba_set_uchar(&rgb, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 255);
    return rgb;
}

ColourRef ColourOf(const GimpRGB& rgb) {
    guchar r = 0, g = 0, b = 0;
    gimp_rgb_get_uchar(&rgb, &r, &g, &b);
    return ColourRef(r) | ColourRef(g) << 8 | ColourRef(b) << 16;
}

void ApplyEffectEnabling(Dialog& d) {
    const int effect = EffectIndexOf(d.live);
    for (FieldWidget& w : d.widgets) {
        const auto control = EffectControlOf(w.field->name);
        if (!control) continue;
        const bool used = EffectUsesControl(effect, *control);
        if (w.adjustment)
            gimp_scale_entry_set_sensitive(GTK_OBJECT(w.adjustment), used);
        else if (w.sensitive)
            gtk_widget_set_sensitive(w.sensitive, used);
    }
}

void ShowRecord(Dialog& d) {
    d.refreshing = true;
    for (FieldWidget& w : d.widgets) {
        const ParameterField& f = *w.field;
        if (w.adjustment)
            gtk_adjustment_set_value(w.adjustment, GetFieldReal(d.live, f));
        else if (w.toggle)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.toggle),
                                         GetFieldInteger(d.live, f) != 0);
        else if (w.colour) {
            const GimpRGB rgb = RgbOf(ColourRef(GetFieldInteger(d.live, f)));
            gimp_color_button_set_color(GIMP_COLOR_BUTTON(w.colour), &rgb);
        } else if (w.combo) {
            const int value = std::string(f.name) == "EffectKind" ? EffectIndexOf(d.live)
                                                                  : int(GetFieldInteger(d.live, f));
            gtk_combo_box_set_active(GTK_COMBO_BOX(w.combo), value - w.comboFirst);
        }
    }
    ApplyEffectEnabling(d);
    d.refreshing = false;
}

struct WidgetRef {
    Dialog* dialog;
    size_t index;
};

FieldWidget& Widget(WidgetRef* ref) {
    return ref->dialog->widgets[ref->index];
}

void OnAdjustment(GtkAdjustment* adjustment, WidgetRef* ref) {
    FieldWidget& w = Widget(ref);
    Dialog& d = *ref->dialog;
    if (d.refreshing) return;
    const double v = gtk_adjustment_get_value(adjustment);
    if (w.field->kind == FieldKind::Real)
        SetFieldReal(d.live, *w.field, v);
    else
        SetFieldInteger(d.live, *w.field, int64_t(v < 0 ? v - 0.5 : v + 0.5));
    Changed(d, w.regrows);
}

void OnToggle(GtkToggleButton* button, WidgetRef* ref) {
    FieldWidget& w = Widget(ref);
    if (ref->dialog->refreshing) return;
    SetFieldInteger(ref->dialog->live, *w.field, gtk_toggle_button_get_active(button) ? 1 : 0);
    Changed(*ref->dialog, w.regrows);
}

void OnColour(GimpColorButton* button, WidgetRef* ref) {
    FieldWidget& w = Widget(ref);
    if (ref->dialog->refreshing) return;
    GimpRGB rgb;
    gimp_color_button_get_color(button, &rgb);
    SetFieldInteger(ref->dialog->live, *w.field, ColourOf(rgb));
    Changed(*ref->dialog, w.regrows);
}

void OnCombo(GtkComboBox* combo, WidgetRef* ref) {
    FieldWidget& w = Widget(ref);
    Dialog& d = *ref->dialog;
    if (d.refreshing) return;
    const int row = gtk_combo_box_get_active(combo);
    if (row < 0) return;
    if (std::string(w.field->name) == "EffectKind") {
        SetEffectIndex(d.live, row);
        ApplyEffectEnabling(d);
    } else {
        SetFieldInteger(d.live, *w.field, row + w.comboFirst);
    }
    Changed(d, w.regrows);
}

// Connects the widget's signal with a reference that lives as long as the dialog.
template <typename Handler>
void Connect(Dialog& d, gpointer instance, const char* signal, Handler handler) {
    auto* ref = new WidgetRef{&d, d.widgets.size() - 1};
    g_signal_connect_data(
        instance, signal, G_CALLBACK(handler), ref,
        [](gpointer data, GClosure*) { delete static_cast<WidgetRef*>(data); }, GConnectFlags(0));
}

void AddCombo(Dialog& d, GtkWidget* table, int row, const DialogField& spec) {
    GtkWidget* combo = gtk_combo_box_new_text();
    for (int i = 0; i < spec.choiceCount; ++i)
        gtk_combo_box_append_text(GTK_COMBO_BOX(combo), spec.choices[i]);
    gimp_table_attach_aligned(GTK_TABLE(table), 0, row, spec.label, 0.0, 0.5, combo, 2, FALSE);
    FieldWidget w;
    w.field = FindField(spec.field);
    w.combo = combo;
    w.sensitive = combo;
    w.comboFirst = spec.comboFirst;
    w.regrows = spec.regrows;
    d.widgets.push_back(w);
    Connect(d, combo, "changed", OnCombo);
}

void AddField(Dialog& d, GtkWidget* table, int row, const DialogField& spec) {
    FieldWidget w;
    w.field = FindField(spec.field);
    w.regrows = spec.regrows;
    GtkWidget* widget = nullptr;
    switch (spec.kind) {
        case DialogField::Kind::Choice:
            AddCombo(d, table, row, spec);
            return;
        case DialogField::Kind::Toggle:
            widget = w.toggle = gtk_check_button_new_with_mnemonic(spec.label);
            gtk_table_attach(GTK_TABLE(table), widget, 0, 3, row, row + 1, GTK_FILL, GTK_FILL, 0,
                             0);
            gtk_widget_show(widget);
            w.sensitive = widget;
            d.widgets.push_back(w);
            Connect(d, widget, "toggled", OnToggle);
            return;
        case DialogField::Kind::Colour: {
            const GimpRGB rgb = RgbOf(0);
            widget = w.colour =
                gimp_color_button_new(spec.label, 48, 18, &rgb, GIMP_COLOR_AREA_FLAT);
            gimp_table_attach_aligned(GTK_TABLE(table), 0, row, spec.label, 0.0, 0.5, widget, 1,
                                      TRUE);
            w.sensitive = widget;
            d.widgets.push_back(w);
            Connect(d, widget, "color-changed", OnColour);
            return;
        }
        case DialogField::Kind::Number: {
            // The dialog's ranges on the slider; the entry also takes what presets carry.
            GtkObject* adj = gimp_scale_entry_new(
                GTK_TABLE(table), 0, row, spec.label, 160, 6, spec.min, spec.min, spec.max,
                spec.step, spec.step * 10, spec.digits, !spec.unbounded,
                spec.unbounded ? -2147483648.0 : spec.min, spec.unbounded ? 2147483647.0 : spec.max,
                cli::FieldMeaning(*w.field), nullptr);
            w.adjustment = GTK_ADJUSTMENT(adj);
            d.widgets.push_back(w);
            Connect(d, adj, "value-changed", OnAdjustment);
            return;
        }
    }
}

GtkWidget* GroupTable(Dialog& d, const DialogGroup& group) {
    GtkWidget* table = gtk_table_new(group.count, 3, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 6);
    gtk_table_set_row_spacings(GTK_TABLE(table), 2);
    for (int i = 0; i < group.count; ++i) AddField(d, table, i, group.fields[i]);
    gtk_widget_show(table);
    return table;
}

// --- presets --------------------------------------------------------------------------------

std::string UserPresetFolder() {
    return (fs::path(gimp_directory()) / "frostweave" / "presets").string();
}

std::vector<PresetEntry> FindPresets() {
    std::vector<PresetEntry> found;
    const fs::path shipped = fs::path(cli::DefaultModulePath(nullptr)).parent_path() / "presets";
    for (const fs::path& folder : {shipped, fs::path(UserPresetFolder())}) {
        std::error_code ec;
        std::vector<PresetEntry> here;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().extension() == kPresetExtension)
                here.push_back({entry.path().stem().string(), entry.path().string()});
        std::sort(here.begin(), here.end(),
                  [](const PresetEntry& a, const PresetEntry& b) { return a.name < b.name; });
        found.insert(found.end(), here.begin(), here.end());
    }
    return found;
}

// A preset drawn over the layer's thumbnail at the preview quality.
GdkPixbuf* PresetThumbnail(Dialog& d, const std::string& path) {
    EffectParameters p = cli::DefaultParameters();
    if (!LoadPresetFile(path, p)) return nullptr;
    gint w = kThumbnailSize, h = kThumbnailSize, bpp = 0;
    guchar* data = gimp_drawable_get_thumbnail_data(d.drawable, &w, &h, &bpp);
    if (!data || w <= 0 || h <= 0 || (bpp != 3 && bpp != 4)) {
        g_free(data);
        return nullptr;
    }
    std::vector<uint8_t> in(size_t(w) * h * 4), out(in.size());
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        in[i * 4] = bpp == 4 ? data[i * 4 + 3] : 255;
        std::copy_n(&data[i * bpp], 3, &in[i * 4 + 1]);
    }
    g_free(data);
    const int layerW = gimp_drawable_width(d.drawable), layerH = gimp_drawable_height(d.drawable);
    SceneRequest r = WholeAreaRequest(p, layerW, layerH, double(layerW) / w);
    r.width = w;
    r.height = h;
    r.quality = 0;
    r.bumpSource = d.texture;
    r.input = in.data();
    r.output = out.data();
    r.rowBytes = w * 4;
    const bool drawn = RenderScene(r);
    FreePatternCache(p);
    if (!drawn) return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::copy_n(&out[(size_t(y) * w + x) * 4 + 1], 3, pixels + y * stride + x * 3);
    return pixbuf;
}

// One thumbnail per idle moment, so the dialog opens at once.
gboolean NextThumbnail(gpointer data) {
    Dialog& d = *static_cast<Dialog*>(data);
    if (d.nextThumbnail >= d.presetFiles.size()) {
        d.thumbnailSource = 0;
        return FALSE;
    }
    const size_t i = d.nextThumbnail++;
    GdkPixbuf* pixbuf = PresetThumbnail(d, d.presetFiles[i].path);
    GtkTreeIter iter;
    if (pixbuf &&
        gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(d.presets), &iter, nullptr, gint(i))) {
        gtk_list_store_set(d.presets, &iter, 0, pixbuf, -1);
    }
    if (pixbuf) g_object_unref(pixbuf);
    return TRUE;
}

void FillPresetList(Dialog& d) {
    gtk_list_store_clear(d.presets);
    d.presetFiles = FindPresets();
    for (const PresetEntry& p : d.presetFiles) {
        GtkTreeIter iter;
        gtk_list_store_append(d.presets, &iter);
        gtk_list_store_set(d.presets, &iter, 1, p.name.c_str(), -1);
    }
    d.nextThumbnail = 0;
    if (!d.thumbnailSource) d.thumbnailSource = g_idle_add(NextThumbnail, &d);
}

void OnPresetActivated(GtkIconView* view, GtkTreePath* path, Dialog* d) {
    (void)view;
    const gint* indices = gtk_tree_path_get_indices(path);
    if (!indices || size_t(indices[0]) >= d->presetFiles.size()) return;
    EffectParameters p = cli::DefaultParameters();
    if (!LoadPresetFile(d->presetFiles[size_t(indices[0])].path, p)) {
        g_message("Frostweave: '%s' is not a preset file",
                  d->presetFiles[size_t(indices[0])].path.c_str());
        return;
    }
    ReplaceLive(*d, p);
    ShowRecord(*d);
    Changed(*d, true);
}

void OnPresetSelected(GtkIconView* view, Dialog* d) {
    GList* selected = gtk_icon_view_get_selected_items(view);
    if (selected) OnPresetActivated(view, static_cast<GtkTreePath*>(selected->data), d);
    g_list_free_full(selected, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
}

GtkWidget* PresetPicker(Dialog& d) {
    d.presets = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
    GtkWidget* view = gtk_icon_view_new_with_model(GTK_TREE_MODEL(d.presets));
    gtk_icon_view_set_pixbuf_column(GTK_ICON_VIEW(view), 0);
    gtk_icon_view_set_text_column(GTK_ICON_VIEW(view), 1);
    gtk_icon_view_set_item_width(GTK_ICON_VIEW(view), kThumbnailSize + 24);
    gtk_icon_view_set_columns(GTK_ICON_VIEW(view), -1);
    gtk_icon_view_set_selection_mode(GTK_ICON_VIEW(view), GTK_SELECTION_SINGLE);
    g_signal_connect(view, "selection-changed", G_CALLBACK(OnPresetSelected), &d);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scrolled, -1, kThumbnailSize + 56);
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    gtk_widget_show_all(scrolled);
    FillPresetList(d);
    return scrolled;
}

void SavePreset(Dialog& d) {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        "Save Frostweave Preset", GTK_WINDOW(d.window), GTK_FILE_CHOOSER_ACTION_SAVE,
        GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_SAVE, GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    const std::string folder = UserPresetFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "my-frost.fwv");
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        const fs::path path(chosen ? chosen : "");
        g_free(chosen);
        const std::string file =
            (path.parent_path() / PresetFileName(path.filename().string())).string();
        if (!SavePresetFile(file, CarriedOnly(d.live)))
            g_message("Frostweave: cannot write the preset '%s'", file.c_str());
        else
            FillPresetList(d);
    }
    gtk_widget_destroy(chooser);
}

// --- the dialog -------------------------------------------------------------------------------

GtkWidget* Expander(const char* title, GtkWidget* child, bool expanded) {
    GtkWidget* expander = gtk_expander_new_with_mnemonic(title);
    gtk_expander_set_expanded(GTK_EXPANDER(expander), expanded);
    gtk_container_add(GTK_CONTAINER(expander), child);
    gtk_widget_show(expander);
    return expander;
}

bool ReadFilterArea(Dialog& d) {
    gint x = 0, y = 0, w = 0, h = 0;
    if (!gimp_drawable_mask_intersect(d.drawable, &x, &y, &w, &h) || w <= 0 || h <= 0) return false;
    d.box = cli::PixelRect{x, y, x + w, y + h};
    d.selection = SelectionOver(d.image, d.drawable, d.box);
    for (uint8_t& v : d.selection) v = v ? 255 : 0;  // as the host hands the mask over
    return true;
}

void Build(Dialog& d) {
    d.window = gimp_dialog_new("Frostweave", "frostweave-gimp", nullptr, GtkDialogFlags(0),
                               gimp_standard_help_func, kProcedureName, "_Reset", kResponseReset,
                               "_Save preset...", kResponseSave, GTK_STOCK_CANCEL,
                               GTK_RESPONSE_CANCEL, GTK_STOCK_OK, GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(d.window), GTK_RESPONSE_OK,
                                            GTK_RESPONSE_CANCEL, -1);
    gimp_window_set_transient(GTK_WINDOW(d.window));

    GtkWidget* columns = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(columns), 12);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(d.window))), columns, TRUE,
                       TRUE, 0);

    d.preview = gimp_zoom_preview_new_from_drawable_id(d.drawable);
    gtk_widget_set_size_request(d.preview, 320, 320);
    gtk_box_pack_start(GTK_BOX(columns), d.preview, TRUE, TRUE, 0);
    g_signal_connect(d.preview, "invalidated", G_CALLBACK(RenderPreview), &d);

    GtkWidget* right = gtk_vbox_new(FALSE, 6);
    gtk_box_pack_start(GTK_BOX(columns), right, FALSE, FALSE, 0);
    GtkWidget* presetLabel = gtk_label_new("Presets");
    gtk_misc_set_alignment(GTK_MISC(presetLabel), 0.0, 0.5);
    gtk_box_pack_start(GTK_BOX(right), presetLabel, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(right), PresetPicker(d), FALSE, FALSE, 0);

    gtk_box_pack_start(GTK_BOX(right), GroupTable(d, kMainGroup), FALSE, FALSE, 0);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_widget_set_size_request(scrolled, 460, 260);
    GtkWidget* groups = gtk_vbox_new(FALSE, 4);
    for (const DialogGroup& g : kFieldGroups)
        gtk_box_pack_start(GTK_BOX(groups), Expander(g.title, GroupTable(d, g), g.expanded), FALSE,
                           FALSE, 0);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scrolled), groups);
    gtk_box_pack_start(GTK_BOX(right), scrolled, TRUE, TRUE, 0);
    gtk_widget_show_all(columns);
}

}  // namespace

bool ShowFrostDialog(gint32 image, gint32 drawable, EffectParameters& p) {
    gimp_ui_init("frostweave-gimp", FALSE);
    Dialog d;
    d.image = image;
    d.drawable = drawable;
    if (!gimp_drawable_is_rgb(drawable) || !ReadFilterArea(d)) return true;  // the run says why
    d.live = CarriedOnly(p);
    d.texture = LoadTexture();
    Build(d);
    ShowRecord(d);
    gtk_widget_show(d.window);

    bool accepted = false;
    for (;;) {
        const gint response = gimp_dialog_run(GIMP_DIALOG(d.window));
        if (response == kResponseReset) {
            ReplaceLive(d, cli::DefaultParameters());
            ShowRecord(d);
            Changed(d, true);
        } else if (response == kResponseSave) {
            SavePreset(d);
        } else {
            accepted = response == GTK_RESPONSE_OK;
            break;
        }
    }
    if (d.thumbnailSource) g_source_remove(d.thumbnailSource);
    if (accepted) p = CarriedOnly(d.live);
    gtk_widget_destroy(d.window);
    g_object_unref(d.presets);
    FreePatternCache(d.live);
    std::free(d.texture);
    return accepted;
}

}  // namespace fw::gimp
