// frostweave gallery IN -o DIR: the picture once per effect (or per preset), and a page
// that shows them side by side with the parameters behind each.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/commands.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "cli/render_jobs.h"
#include "params/preset_file.h"

namespace fw::cli {

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string title;
    std::string file;  // name inside the folder
    EffectParameters parameters;
};

std::string Slug(const std::string& s) {
    std::string out;
    for (char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u))
            out += char(std::tolower(u));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out.empty() ? "picture" : out;
}

std::string Html(const std::string& s) {
    std::string out;
    for (char c : s) switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    return out;
}

std::string PageText(const std::string& input, const std::vector<Entry>& entries,
                     const std::vector<bool>& done) {
    const EffectParameters defaults = DefaultParameters();
    std::string h =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Frostweave gallery: " +
        Html(fs::path(input).filename().string()) +
        "</title>\n<style>body{font-family:sans-serif;background:#222;color:#ddd}"
        "figure{display:inline-block;vertical-align:top;margin:8px;max-width:420px}"
        "img{max-width:400px;border:1px solid #555}table{font-size:11px}"
        "td{padding:0 6px}.changed{color:#ffd27f}</style></head><body>\n<h1>" +
        Html(fs::path(input).filename().string()) + "</h1>\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        h += "<figure>";
        h += done[i] ? "<img src=\"" + Html(e.file) + "\" alt=\"" + Html(e.title) + "\">"
                     : "<p>(not rendered)</p>";
        h += "<figcaption><b>" + Html(e.title) +
             "</b>\n<details><summary>parameters</summary>"
             "<table>\n";
        for (const ParameterField& f : kParameterFields) {
            const bool changed = FieldValueText(e.parameters, f) != FieldValueText(defaults, f);
            h += std::string("<tr") + (changed ? " class=\"changed\"" : "") + "><td>" + f.name +
                 "</td><td>" + Html(FieldValueDescription(e.parameters, f)) + "</td></tr>\n";
        }
        h += "</table></details></figcaption></figure>\n";
    }
    h += "</body></html>\n";
    return h;
}

bool WritePage(const fs::path& path, const std::string& text, std::string& error) {
    OutputFile file;
    if (!file.Create(path.string(), error)) return false;
    FILE* f = std::fopen(file.TemporaryPath().c_str(), "wb");
    bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f) written = std::fclose(f) == 0 && written;
    if (!written) {
        error = "cannot write '" + path.string() +
                "': " + WriteFailureReason(file.TemporaryPath(), "write error");
        return false;
    }
    return file.Commit(error);
}

}  // namespace

int RunGallery(const GalleryArgs& args) {
    std::string error;
    EffectParameters base = DefaultParameters();
    // --set applies last, over each effect or preset; the rest is the base.
    ParameterOptions baseOptions = args.run.parameters;
    baseOptions.sets.clear();
    ParameterOptions setsOnly;
    setsOnly.sets = args.run.parameters.sets;
    if (!ApplyParameterOptions(baseOptions, base, error)) {
        PrintError(error);
        return kExitFailure;
    }
    std::error_code ec;
    if (const std::string problem = InputProblem(args.input); !problem.empty()) {
        PrintError("cannot read '" + args.input + "': " + problem);
        return kExitFailure;
    }
    std::string ext = args.format.empty() ? fs::path(args.input).extension().string()
                                          : (args.format[0] == '.' ? "" : ".") + args.format;
    if (!CanWrite(FormatFromExtension("x" + ext))) {
        PrintError("cannot write gallery pictures as '" + ext + "' (use --format png)");
        return kExitFailure;
    }

    std::vector<Entry> entries;
    if (args.presets.empty()) {
        for (int i = 0; i < kEffectCount; ++i) {
            Entry e{kEffectNames[i], "", base};
            SetEffectIndex(e.parameters, i);
            entries.push_back(e);
        }
    } else {
        std::vector<fs::path> files;
        for (const auto& item : fs::directory_iterator(args.presets, ec))
            if (item.is_regular_file() && item.path().extension() == kPresetExtension)
                files.push_back(item.path());
        if (ec || files.empty()) {
            PrintError("no preset files (*.fwv) in '" + args.presets + "'");
            return kExitFailure;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            Entry e{f.stem().string(), "", base};
            if (!LoadPresetFile(f.string(), e.parameters)) {
                PrintError("'" + f.string() + "' is not a preset file");
                return kExitFailure;
            }
            entries.push_back(e);
        }
    }
    std::vector<Job> jobs;
    std::set<std::string> names;
    for (Entry& e : entries) {
        if (!ApplyParameterOptions(setsOnly, e.parameters, error)) {
            PrintError(error);
            return kExitFailure;
        }
        std::string name = Slug(e.title);
        while (!names.insert(name).second) name += "-2";
        e.file = name + ext;
        jobs.push_back(Job{args.input, (fs::path(args.output) / e.file).string(), e.parameters});
    }
    fs::create_directories(args.output, ec);
    if (ec) {
        PrintError("cannot create folder '" + args.output + "': " + ec.message());
        return kExitFailure;
    }
    for (const Job& j : jobs)
        if (const std::string problem = OutputProblem(j.output); !problem.empty()) {
            PrintError("cannot write '" + j.output + "': " + problem);
            return kExitFailure;
        }
    // A picture left from an earlier gallery must not pass for one rendered now.
    for (const Job& j : jobs) fs::remove(j.output, ec);
    const int failures = RunJobs(jobs, args.run);
    if (failures < 0) return kExitFailure;
    std::vector<bool> done;
    for (const Job& j : jobs) done.push_back(fs::is_regular_file(j.output, ec));
    const fs::path page = fs::path(args.output) / "index.html";
    if (!WritePage(page, PageText(args.input, entries, done), error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (!args.run.quiet) std::printf("%s\n", page.string().c_str());
    return failures == 0 ? kExitOk : kExitFailure;
}

}  // namespace fw::cli
