// frostweave pattern --size WxH -o OUT.svg|OUT.obj|OUT.json: the frost a final render of a
// picture of that size would draw, as geometry, without rendering.
//
// Scene units are pixels: a point (x, y) lands on pixel (left + floor(width / 2) + x,
// top + floor(height / 2) + y) of the picture, where left, top, width and height are the
// filter rectangle (the whole picture, or the selection's bounding box).
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/host_pixels.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "render/pattern_inspection.h"

namespace fw::cli {

namespace fs = std::filesystem;

namespace {

enum class GeometryFormat { Unknown, Svg, Obj, Json };

GeometryFormat GeometryFormatOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".svg") return GeometryFormat::Svg;
    if (ext == ".obj") return GeometryFormat::Obj;
    if (ext == ".json") return GeometryFormat::Json;
    return GeometryFormat::Unknown;
}

// Nine significant digits give back the same float; JSON has no infinities.
std::string Num(float v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    // As "%.9g" prints it, without printf's cost on hundreds of thousands of triangles.
    const auto end = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::general, 9);
    return std::string(buf, end.ptr);
}

bool ParseSize(const std::string& text, int& w, int& h) {
    char x = 0;
    char rest = 0;
    return std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) == 3 &&
           (x == 'x' || x == 'X') && w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide;
}

void WriteJson(FILE* f, const PatternInspection& in, int width, int height) {
    std::fprintf(f,
                 "{\"picture\": {\"width\": %d, \"height\": %d, \"filter\": [%d, %d, %d, %d]},\n",
                 width, height, in.filterLeft, in.filterTop, in.filterWidth, in.filterHeight);
    std::fputs(" \"path\": {\"points\": [", f);
    for (size_t i = 0; i < in.path.points.size(); ++i) {
        const PathPoint& p = in.path.points[i];
        std::fprintf(f, "%s[%s, %s, %s, %s]", i ? ",\n   " : "\n   ", Num(p.x).c_str(),
                     Num(p.y).c_str(), Num(p.nx).c_str(), Num(p.ny).c_str());
    }
    std::fputs("],\n  \"segments\": [", f);
    for (size_t i = 0; i < in.path.segments.size(); ++i) {
        const PathSegment& s = in.path.segments[i];
        std::fprintf(f, "%s[%u, %u, %s, %s, %s]", i ? ",\n   " : "\n   ", unsigned(s.first),
                     unsigned(s.second), Num(s.nx).c_str(), Num(s.ny).c_str(),
                     Num(s.length).c_str());
    }
    std::fputs("]},\n \"points\": [", f);
    for (size_t i = 0; i < in.points.size(); ++i) {
        const __Point3ds& p = in.points[i];
        std::fprintf(f, "%s[%s, %s, %s, %s, %s, %s]", i ? ",\n  " : "\n  ", Num(p.x).c_str(),
                     Num(p.y).c_str(), Num(p.z).c_str(), Num(p.nx).c_str(), Num(p.ny).c_str(),
                     Num(p.nz).c_str());
    }
    std::fputs("],\n \"triangles\": [", f);
    for (size_t i = 0; i < in.triangles.size(); ++i) {
        const __Triangle3ds& t = in.triangles[i];
        std::fprintf(f, "%s[%u, %u, %u]", i ? ",\n  " : "\n  ", unsigned(t.index[0]),
                     unsigned(t.index[1]), unsigned(t.index[2]));
    }
    std::fputs("]}\n", f);
}

void WriteSvg(FILE* f, const PatternInspection& in, int width, int height) {
    const double ox = in.filterLeft + std::floor(in.filterWidth / 2.0);
    const double oy = in.filterTop + std::floor(in.filterHeight / 2.0);
    std::fprintf(f,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                 "viewBox=\"0 0 %d %d\">\n"
                 "<g fill=\"#dcecff\" fill-opacity=\"0.6\" stroke=\"#5a7fa8\" "
                 "stroke-width=\"0.25\" stroke-linejoin=\"round\">\n",
                 width, height, width, height);
    for (const __Triangle3ds& t : in.triangles) {
        std::string points;
        bool ok = true;
        for (uint32_t k : t.index) {
            if (k >= in.points.size() || !std::isfinite(in.points[k].x) ||
                !std::isfinite(in.points[k].y)) {
                ok = false;
                break;
            }
            if (!points.empty()) points += ' ';
            points += Num(float(ox + in.points[k].x));
            points += ',';
            points += Num(float(oy + in.points[k].y));
        }
        if (ok) std::fprintf(f, "<polygon points=\"%s\"/>\n", points.c_str());
    }
    std::fputs("</g>\n</svg>\n", f);
}

// OBJ is y-up: y and z are negated (a half turn about x, so faces keep their winding).
void WriteObj(FILE* f, const PatternInspection& in) {
    std::fprintf(f, "# frostweave pattern: %zu triangles, scene units are pixels\no frost\n",
                 in.triangles.size());
    for (const __Point3ds& p : in.points)
        std::fprintf(f, "v %s %s %s\n", Num(p.x).c_str(), Num(-p.y).c_str(), Num(-p.z).c_str());
    for (const __Point3ds& p : in.points)
        std::fprintf(f, "vn %s %s %s\n", Num(p.nx).c_str(), Num(-p.ny).c_str(), Num(-p.nz).c_str());
    for (const __Triangle3ds& t : in.triangles) {
        if (t.index[0] >= in.points.size() || t.index[1] >= in.points.size() ||
            t.index[2] >= in.points.size())
            continue;
        std::fprintf(f, "f %u//%u %u//%u %u//%u\n", t.index[0] + 1, t.index[0] + 1, t.index[1] + 1,
                     t.index[1] + 1, t.index[2] + 1, t.index[2] + 1);
    }
}

}  // namespace

int RunPattern(const PatternArgs& args) {
    std::string error;
    EffectParameters p = DefaultParameters();
    if (!ApplyParameterOptions(args.run.parameters, p, error)) {
        PrintError(error);
        return kExitFailure;
    }
    const GeometryFormat format = GeometryFormatOf(args.output);
    if (format == GeometryFormat::Unknown) {
        PrintError("cannot write '" + args.output + "': use .svg, .obj or .json");
        return kExitFailure;
    }
    if (const std::string problem = OutputProblem(args.output); !problem.empty()) {
        PrintError("cannot write '" + args.output + "': " + problem);
        return kExitFailure;
    }
    int width = 0, height = 0;
    if (!args.size.empty() && !ParseSize(args.size, width, height)) {
        PrintError("--size " + args.size + ": expected WIDTHxHEIGHT, each 1 to " +
                   std::to_string(kMaxPictureSide));
        return kExitFailure;
    }
    std::vector<uint8_t> selection;
    if (!args.run.selection.empty()) {
        Picture mask;
        if (!ReadPicture(args.run.selection, mask, error,
                         uint64_t(args.run.maxMegapixels) * 1'000'000)) {
            PrintError(error);
            return kExitFailure;
        }
        if (width == 0) {
            width = mask.width;
            height = mask.height;
        }
        if (!SelectionFromPicture(mask, width, height, selection, error)) {
            PrintError("'" + args.run.selection + "': " + error);
            return kExitFailure;
        }
        if (SelectionBounds(selection, width, height).Width() == 0) {
            PrintError("'" + args.run.selection + "' selects nothing (every pixel is zero)");
            return kExitFailure;
        }
    }
    if (width == 0) {
        PrintError("--size WxH is needed (or --selection MASK)");
        return kExitFailure;
    }

    PatternInspection inspection;
    if (!InspectPattern(p, width, height, selection.empty() ? nullptr : selection.data(),
                        inspection)) {
        PrintError((inspection.outOfMemory ? "out of memory for the pattern of a picture of "
                                           : "no pattern for a picture of ") +
                   std::to_string(width) + " x " + std::to_string(height));
        return kExitFailure;
    }

    OutputFile file;
    if (!file.Create(args.output, error)) {
        PrintError(error);
        return kExitFailure;
    }
    FILE* f = std::fopen(file.TemporaryPath().c_str(), "wb");
    if (!f) {
        PrintError("cannot write '" + args.output + "': " + std::strerror(errno));
        return kExitFailure;
    }
    switch (format) {
        case GeometryFormat::Json:
            WriteJson(f, inspection, width, height);
            break;
        case GeometryFormat::Svg:
            WriteSvg(f, inspection, width, height);
            break;
        default:
            WriteObj(f, inspection);
            break;
    }
    const bool written = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !written) {
        PrintError("cannot write '" + args.output +
                   "': " + WriteFailureReason(file.TemporaryPath(), "write error"));
        return kExitFailure;
    }
    if (!file.Commit(error)) {
        PrintError(error);
        return kExitFailure;
    }
    if (!args.run.quiet)
        std::printf("%s: %zu triangles\n", args.output.c_str(), inspection.triangles.size());
    return kExitOk;
}

}  // namespace fw::cli
