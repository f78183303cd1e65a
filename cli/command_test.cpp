// Runs the built frostweave program on small generated pictures, the way a user does, and
// checks the files it writes (or does not write) and what it says.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/image_io.h"
#include "prismcore/prismcore.h"

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;
};

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("fw_cli_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Arguments are single-quoted for the shell; none of ours contains a quote.
    Result Run(const std::vector<std::string>& args, const std::string& env = "") const {
        std::string cmd = env + " '" + FW_CLI_PROGRAM + "'";
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " >'" + Path("stdout.txt") + "' 2>'" + Path("stderr.txt") + "'";
        Result r;
        const int status = std::system(cmd.c_str());
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(Path("stdout.txt"));
        r.err = Slurp(Path("stderr.txt"));
        fs::remove(Path("stdout.txt"));
        fs::remove(Path("stderr.txt"));
        return r;
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Everything in the folder: a failed run must add nothing.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Write(const std::string& name, const Picture& p) const {
        std::string error;
        ASSERT_TRUE(WritePicture(Path(name), p, error)) << error;
    }
    Picture Read(const std::string& name) const {
        Picture p;
        std::string error;
        EXPECT_TRUE(ReadPicture(Path(name), p, error)) << error;
        return p;
    }
    fs::path dir_;
};

// A small picture with smooth areas and noise, so no value is special.
Picture Scene(int w, int h, int channels, int depth, unsigned seed) {
    Picture p(w, h, channels, depth);
    std::mt19937 rng(seed);
    const int full = p.MaxValue();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const int smooth = full * (x + y * (c + 1)) / (w + h * (c + 1));
                p.At(x, y, c) = uint16_t(std::clamp(smooth + int(rng() % 9) - 4, 0, full));
            }
    p.At(0, 0, 0) = 0;
    p.At(1, 0, 0) = uint16_t(full);
    return p;
}

// A second format to write beside PNG: TIFF, or JPEG in builds without libtiff.
std::string SecondFormat() {
    return CanWrite(ImageFormat::Tiff) ? "tif" : "jpg";
}

const std::vector<std::string> kEmptyPattern = {"--effect",      "Geometric 1", "--set",
                                                "Completance=0", "--set",       "CompletanceDist=0",
                                                "--quiet",       "--plugin",    FW_CLI_MODULE};

std::vector<std::string> Args(std::vector<std::string> head,
                              const std::vector<std::string>& tail = kEmptyPattern) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

int MaxDifference(const Picture& a, const Picture& b) {
    int worst = 0;
    for (size_t i = 0; i < a.samples.size(); ++i)
        worst = std::max(worst, std::abs(int(a.samples[i]) - int(b.samples[i])));
    return worst;
}

TEST_F(CommandTest, EmptyPatternKeepsPicturesAndTheirLayout) {
    struct Case {
        const char* name;
        int channels, depth;
    } cases[] = {{"rgb8.png", 3, 8},   {"rgba8.png", 4, 8},   {"grey8.png", 1, 8},
                 {"greya8.png", 2, 8}, {"rgb16.png", 3, 16},  {"rgba16.png", 4, 16},
                 {"rgb8.tif", 3, 8},   {"rgba16.tif", 4, 16}, {"grey16.tif", 1, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (FormatFromExtension(c.name) == ImageFormat::Tiff && !CanWrite(ImageFormat::Tiff))
            continue;
        const Picture in = Scene(37, 23, c.channels, c.depth, unsigned(c.channels * c.depth));
        Write(c.name, in);
        const std::string out1 = std::string("out1_") + c.name;
        const std::string out2 = std::string("out2_") + c.name;
        Result r = Run(Args({"apply", Path(c.name), "-o", Path(out1)}));
        ASSERT_EQ(r.code, 0) << r.err;
        const Picture once = Read(out1);
        EXPECT_EQ(once.width, in.width);
        EXPECT_EQ(once.height, in.height);
        EXPECT_EQ(once.depth, in.depth);
        EXPECT_EQ(once.HasAlpha(), in.HasAlpha());
        ASSERT_EQ(once.channels, in.HasAlpha() ? 4 : 3);  // grey comes back as colour
        // Compare against the input seen as colour.
        Picture expected(in.width, in.height, once.channels, in.depth);
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                for (int ch = 0; ch < once.channels; ++ch) {
                    const int src = in.channels <= 2 ? (ch == 3 ? 1 : 0) : ch;
                    expected.At(x, y, ch) = in.At(x, y, src);
                }
        EXPECT_LE(MaxDifference(once, expected), in.depth == 16 ? 2 : 0);

        r = Run(Args({"apply", Path(out1), "-o", Path(out2)}));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Read(out2).samples, once.samples) << "a second pass changed the picture";
    }
}

TEST_F(CommandTest, FailuresSayWhyExitNonZeroAndWriteNothing) {
    Write("in.png", Scene(16, 12, 3, 8, 1));
    Write("mask_small.png", Picture(8, 8, 1, 8));
    Write("mask_empty.png", Picture(16, 12, 1, 8));
    std::ofstream(Path("text.png")) << "this is not a picture";
    std::ofstream(Path("bad.fwv")) << "not a preset\n";
    {
        Write("cut.png", Scene(64, 64, 3, 8, 2));
        fs::resize_file(Path("cut.png"), fs::file_size(Path("cut.png")) / 2);
    }
    Write("big.png", Picture(1001, 1000, 1, 8));
    {
        // A header claiming 20000 x 20000 RGBA 16 bits, with almost nothing behind it.
        Write("small.png", Picture(1, 1, 4, 16));
        std::string bytes = Slurp(Path("small.png"));
        bytes.replace(16, 8, std::string("\0\0\x4E\x20\0\0\x4E\x20", 8));
        std::ofstream(Path("lying.png"), std::ios::binary) << bytes;
    }
    const auto before = Files();
    const std::string in = Path("in.png"), out = Path("out.png");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {Args({"apply", Path("missing.png"), "-o", out}), "cannot read"},
        {Args({"apply", Path("text.png"), "-o", out}), "unsupported format"},
        {Args({"apply", Path("cut.png"), "-o", out}), "the file is truncated"},
        {Args({"apply", Path("lying.png"), "-o", out}),
         "holds too little data for the 20000 x 20000"},
        {Args({"apply", Path("big.png"), "-o", out, "--max-megapixels", "1"}),
         "more than the limit of 1 megapixels"},
        {Args({"apply", dir_.string(), "-o", out}), "it is a folder, not a picture"},
        {Args({"apply", in, "-o", out, "--selection", dir_.string()}), "it is a folder"},
        {Args({"apply", in, "-o", Path("no/dir/out.png")}),
         "folder '" + Path("no/dir") + "' does not exist"},
        {Args({"apply", in, "-o", out, "--max-space", "-1"}), "must be 0 or more bytes"},
        {Args({"apply", in, "-o", Path("out.bmp")}), "unsupported output format"},
        {Args({"apply", in, "-o", out, "--set", "MaxIterations=abc"}), "MaxIterations=abc"},
        {Args({"apply", in, "-o", out, "--set", "Nonsense=1"}), "unknown field"},
        {{"apply", in, "-o", out, "--effect", "Floral 9"}, "unknown effect"},
        {Args({"apply", in, "-o", out, "--preset", Path("bad.fwv")}), "not a preset"},
        {Args({"apply", in, "-o", out, "--preset", Path("none.fwv")}), "cannot open preset"},
        {Args({"apply", in, "-o", out, "--selection", Path("mask_small.png")}), "8 x 8"},
        {Args({"apply", in, "-o", out, "--selection", Path("mask_empty.png")}), "selects nothing"},
        {{"apply", in, "-o", out, "--plugin", Path("nomodule.so")}, "no filter module"},
        {{"apply", in, "-o", out, "--plugin", Path("text.png")}, "cannot load"},
        {Args({"apply", in, "-o", out, "--save-preset", Path("no/dir/p.fwv")}), "does not exist"},
        {{"preset", "show", Path("bad.fwv")}, "not a preset"},
        {{"pattern", "--size", "12x", "-o", Path("p.json")}, "--size 12x"},
        {{"pattern", "--size", "12x9", "-o", Path("p.txt")}, "use .svg, .obj or .json"},
        {{"pattern", "-o", Path("p.json")}, "--size WxH is needed"},
        {{"pattern", "--size", "12x9", "-o", Path("no/p.json")}, "does not exist"},
        {{"preset", "write", "-o", dir_.string()}, "it is a folder"},
        {{"pattern", "-o", Path("p.svg"), "--selection", Path("mask_empty.png")},
         "selects nothing"},
        {{"preset", "write", "-o", Path("p.fwv"), "--set", "Width=wide"}, "Width=wide"},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        SCOPED_TRACE(c.args[1] + " " + c.args[2] + " " + c.args.back() + ": " + r.err);
        EXPECT_NE(r.code, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos);
        // One line of ours; the argument parser adds its pointer to --help.
        const size_t lines = size_t(std::count(r.err.begin(), r.err.end(), '\n'));
        EXPECT_EQ(lines, r.err.find("Run with --help") == std::string::npos ? 1u : 2u);
        size_t digits = 0, longest = 0;
        for (char ch : r.err)
            longest = std::max(longest, digits = std::isdigit(ch) ? digits + 1 : 0);
        EXPECT_LT(longest, 12u) << "numbers a user can read";
        EXPECT_EQ(Files(), before);
    }
}

TEST_F(CommandTest, BandsAndHostVariantsGiveTheSamePicture) {
    Write("in.png", Scene(96, 64, 4, 8, 3));
    auto check = [&](const std::vector<std::string>& params,
                     const std::vector<std::vector<std::string>>& variants) {
        std::vector<std::string> base = {"--quiet", "--plugin", FW_CLI_MODULE};
        base.insert(base.end(), params.begin(), params.end());
        ASSERT_EQ(Run(Args({"apply", Path("in.png"), "-o", Path("one.png")}, base)).code, 0);
        const Picture one = Read("one.png");
        for (const auto& v : variants) {
            std::vector<std::string> args = Args({"apply", Path("in.png"), "-o", Path("v.png")}, v);
            args.insert(args.end(), base.begin(), base.end());
            const Result r = Run(args);
            ASSERT_EQ(r.code, 0) << r.err;
            const Picture banded = Read("v.png");
            size_t differing = 0;
            for (size_t i = 0; i < one.samples.size(); ++i)
                differing += banded.samples[i] != one.samples[i];
            EXPECT_EQ(differing, 0u) << v[0] << (v.size() > 1 ? " " + v[1] : "");
        }
    };
    // The host's variants that keep one band, with the default effect.
    check({}, {{"--host-driven-bands"}, {"--no-handle-procs"}});
    // Glass refracts the picture behind the frost and a band holds only its own rows, so
    // the band sizes are compared without glass.
    check({"--set", "UseGlass=0"}, {
                                       {"--max-space", "2000"},  // three rows a band
                                       {"--max-space", "1"},     // one row a band
                                       {"--host-driven-bands", "--max-space", "3000"},
                                   });
}

TEST_F(CommandTest, SeveralInputsGoToAFolderAlsoInParallel) {
    for (int i = 0; i < 3; ++i) Write("in" + std::to_string(i) + ".png", Scene(20, 10, 3, 8, i));
    const std::vector<std::string> inputs = {Path("in0.png"), Path("in1.png"), Path("in2.png")};
    auto args = [&](const std::string& dir, std::vector<std::string> extra) {
        std::vector<std::string> a = {"apply"};
        a.insert(a.end(), inputs.begin(), inputs.end());
        a.insert(a.end(), {"-o", Path(dir), "--format", SecondFormat(), "--plugin", FW_CLI_MODULE,
                           "--seed", "7", "--preset", Path("p.fwv")});
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    };
    ASSERT_EQ(Run({"preset", "write", "-o", Path("p.fwv"), "--effect", "Floral 2"}).code, 0);
    const Result serial = Run(args("serial", {}));
    ASSERT_EQ(serial.code, 0) << serial.err;
    EXPECT_NE(serial.out.find(Path("serial/in1." + SecondFormat())), std::string::npos)
        << serial.out;
    const Result parallel = Run(args("parallel", {"--jobs", "2"}));
    ASSERT_EQ(parallel.code, 0) << parallel.err;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "in" + std::to_string(i) + "." + SecondFormat();
        EXPECT_EQ(Read("parallel/" + name).samples, Read("serial/" + name).samples) << name;
    }
}

TEST_F(CommandTest, PresetsRoundTripThroughTheCommandLine) {
    Write("in.png", Scene(16, 16, 3, 8, 4));
    Result r = Run(Args({"apply", Path("in.png"), "-o", Path("out.png"), "--save-preset",
                         Path("used.fwv"), "--set", "Diffuse=0x102030", "--set", "MxT1=33"}));
    ASSERT_EQ(r.code, 0) << r.err;
    r = Run({"preset", "show", Path("used.fwv")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("#102030 (3153936)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("MaxTriangles1     MxT1  33 *"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Geometric 1"), std::string::npos);
    EXPECT_NE(r.out.find("How Frostweaves covers the given path"), std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 48);  // heading, 46, note
}

TEST_F(CommandTest, GalleryShowsEveryEffectWithItsParameters) {
    Write("in.png", Scene(24, 16, 3, 8, 5));
    const Result r = Run({"gallery", Path("in.png"), "-o", Path("g"), "--quiet", "--plugin",
                          FW_CLI_MODULE, "--set", "Completance=50"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string page = Slurp(Path("g/index.html"));
    for (const char* name : {"Geometric 1", "Floral 3", "Single 4"})
        EXPECT_NE(page.find(name), std::string::npos) << name;
    EXPECT_NE(page.find("src=\"floral-3.png\""), std::string::npos);
    EXPECT_NE(page.find("<td>Completance</td><td>50</td>"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("g")), fs::directory_iterator()), 11);

    // One picture per preset of a folder, named after it, with its values on the page.
    fs::create_directories(Path("presets"));
    ASSERT_EQ(
        Run({"preset", "write", "-o", Path("presets/Thin Ice.fwv"), "--set", "Width=4.5"}).code, 0);
    ASSERT_EQ(
        Run({"preset", "write", "-o", Path("presets/dense.fwv"), "--effect", "Single 1"}).code, 0);
    const Result p = Run({"gallery", Path("in.png"), "-o", Path("gp"), "--quiet", "--plugin",
                          FW_CLI_MODULE, "--presets", Path("presets"), "--format", SecondFormat()});
    ASSERT_EQ(p.code, 0) << p.err;
    const std::string presetPage = Slurp(Path("gp/index.html"));
    EXPECT_NE(presetPage.find("src=\"thin-ice." + SecondFormat() + "\""), std::string::npos);
    EXPECT_NE(presetPage.find("<td>Width</td><td>4.5</td>"), std::string::npos);
    EXPECT_NE(presetPage.find("<td>EffectKind</td><td>3 (Single 1)</td>"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(Path("gp/dense." + SecondFormat())));
}

struct RendererInput {
    std::vector<__Point3ds> points;
    std::vector<__Triangle3ds> triangles;
};

// The calls recorded by the preloaded capture library.
std::vector<RendererInput> ReadCapture(const std::string& path) {
    std::vector<RendererInput> calls;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return calls;
    int32_t head[6];
    while (std::fread(head, sizeof head, 1, f) == 1) {
        RendererInput in;
        in.points.resize(size_t(std::max(0, head[4])));
        in.triangles.resize(size_t(std::max(0, head[5])));
        if (std::fread(in.points.data(), sizeof(__Point3ds), in.points.size(), f) !=
                in.points.size() ||
            std::fread(in.triangles.data(), sizeof(__Triangle3ds), in.triangles.size(), f) !=
                in.triangles.size())
            break;
        calls.push_back(std::move(in));
    }
    std::fclose(f);
    return calls;
}

// The numbers of one JSON array, read back as floats (9 digits give the float exactly).
std::vector<float> NumbersBetween(const std::string& text, size_t from, size_t to) {
    std::vector<float> out;
    const char* p = text.c_str() + from;
    const char* end = text.c_str() + to;
    while (p < end) {
        if (*p == '-' || (*p >= '0' && *p <= '9')) {
            char* next = nullptr;
            out.push_back(std::strtof(p, &next));
            p = next;
        } else {
            ++p;
        }
    }
    return out;
}

TEST_F(CommandTest, PatternJsonIsWhatTheRendererReceives) {
    Write("in.png", Scene(120, 80, 3, 8, 6));
    Picture mask(120, 80, 1, 8);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            if ((x - 70) * (x - 70) / 1600.0 + (y - 35) * (y - 35) / 625.0 < 1)
                mask.At(x, y, 0) = 255;
    Write("mask.png", mask);
    const std::string env = "LD_PRELOAD='" + std::string(FW_CLI_RASTER_CAPTURE) +
                            "' FW_RASTER_CAPTURE='" + Path("capture.bin") +
                            "' ASAN_OPTIONS=verify_asan_link_order=0";
    const std::vector<std::vector<std::string>> cases = {
        {"--effect", "Floral 2", "--seed", "5"},
        {"--effect", "Single 3", "--center", "200,-300"},
        {"--effect", "Geometric 3", "--mask-kind", "By selection", "--selection", Path("mask.png")},
    };
    for (const auto& params : cases) {
        SCOPED_TRACE(params[1]);
        fs::remove(Path("capture.bin"));
        std::vector<std::string> apply = {"apply",   Path("in.png"), "-o",         Path("out.png"),
                                          "--quiet", "--plugin",     FW_CLI_MODULE};
        apply.insert(apply.end(), params.begin(), params.end());
        Result r = Run(apply, env);
        ASSERT_EQ(r.code, 0) << r.err;
        const std::vector<RendererInput> calls = ReadCapture(Path("capture.bin"));
        ASSERT_EQ(calls.size(), 1u) << "one band, one renderer call";
        const RendererInput& got = calls[0];
        ASSERT_GT(got.triangles.size(), 0u);
        if (params.back() == Path("mask.png")) {
            // Outside the selection's bounding box (x 31..109, y 11..59) nothing changes.
            const Picture before = Read("in.png"), after = Read("out.png");
            size_t changedOutside = 0, changedInside = 0;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 120; ++x)
                    for (int c = 0; c < 3; ++c) {
                        const bool inside = x >= 31 && x < 110 && y >= 11 && y < 60;
                        (inside ? changedInside : changedOutside) +=
                            before.At(x, y, c) != after.At(x, y, c);
                    }
            EXPECT_EQ(changedOutside, 0u);
            EXPECT_GT(changedInside, 0u);
        }

        std::vector<std::string> pattern = {"pattern", "-o", Path("p.json"), "--quiet"};
        if (params.back() != Path("mask.png")) pattern.insert(pattern.end(), {"--size", "120x80"});
        pattern.insert(pattern.end(), params.begin(), params.end());
        r = Run(pattern);
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string json = Slurp(Path("p.json"));
        const size_t tri = json.find("\"triangles\": [");
        const size_t pts = json.rfind("\"points\": [", tri);
        ASSERT_NE(tri, std::string::npos);
        ASSERT_NE(pts, std::string::npos);
        const std::vector<float> points = NumbersBetween(json, pts + 11, tri);
        const std::vector<float> triangles = NumbersBetween(json, tri + 14, json.size());
        ASSERT_EQ(points.size(), got.points.size() * 6);
        ASSERT_EQ(triangles.size(), got.triangles.size() * 3);
        size_t differing = 0;
        for (size_t i = 0; i < got.points.size(); ++i) {
            const __Point3ds& p = got.points[i];
            const float want[6] = {p.x, p.y, p.z, p.nx, p.ny, p.nz};
            for (int k = 0; k < 6; ++k)
                differing += std::memcmp(&want[k], &points[i * 6 + k], 4) != 0;
        }
        for (size_t i = 0; i < got.triangles.size(); ++i)
            for (int k = 0; k < 3; ++k)
                differing += float(got.triangles[i].index[k]) != triangles[i * 3 + k];
        EXPECT_EQ(differing, 0u);

        // The same triangles as polygons and as a mesh.
        pattern[2] = Path("p.svg");
        ASSERT_EQ(Run(pattern).code, 0);
        pattern[2] = Path("p.obj");
        ASSERT_EQ(Run(pattern).code, 0);
        const std::string svg = Slurp(Path("p.svg")), obj = Slurp(Path("p.obj"));
        size_t polygons = 0, faces = 0, normals = 0;
        for (size_t at = 0; (at = svg.find("<polygon ", at)) != std::string::npos; ++at) ++polygons;
        for (size_t at = 0; (at = obj.find("\nf ", at)) != std::string::npos; ++at) ++faces;
        for (size_t at = 0; (at = obj.find("\nvn ", at)) != std::string::npos; ++at) ++normals;
        EXPECT_EQ(polygons, got.triangles.size());
        EXPECT_EQ(faces, got.triangles.size());
        EXPECT_EQ(normals, got.points.size());
    }
}

}  // namespace
}  // namespace fw::cli
