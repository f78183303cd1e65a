// Reference pictures: the whole filter, loaded as a host loads it, on the bundled sample
// picture (resource 115, doubled by pixel replication) with the default parameters, each
// effect kind and each draw mode; compared with the pictures checked in under references/.
//
// A reference is never overwritten by the test. When a picture differs, the rendered one is
// written beside the test program (reference_<name>.png) to be looked at; a person decides
// whether it becomes the new reference (copy it into references/).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/filter_runner.h"
#include "cli/host_pixels.h"
#include "cli/image_io.h"
#include "params/effect_parameters.h"

// The emulated host, like a real one, keeps the plug-in's parameter handles (and with them
// the pattern cache) between runs and never frees them; that is not a leak of the renderer.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

namespace fw {
namespace {

// 24-bit uncompressed BMP, rows bottom-up: all the sample resource needs.
bool ReadBmp(const std::string& path, hostemu::Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&](size_t o) { return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | b[o + 3] << 24; };
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || (b[28] | b[29] << 8) != 24) return false;
    int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22));
    size_t offset = u32(10), stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    if (w <= 0 || h <= 0 || offset + stride * h > b.size()) return false;
    image = hostemu::Image(2 * w, 2 * h, 3, 8);
    for (int y = 0; y < 2 * h; ++y) {
        const uint8_t* row = &b[offset + stride * (h - 1 - y / 2)];
        for (int x = 0; x < 2 * w; ++x) {
            for (int c = 0; c < 3; ++c) image.At(x, y, c) = row[3 * (x / 2) + 2 - c];
        }
    }
    return true;
}

struct Difference {
    double mean = 0;
    double beyondShare = 0;  // share of components off by more than kComponentTolerance
    int worst = 0;
};

// Rounding of a light or a normal may move an edge sample or a highlight by a step on
// another compiler or libm; anything larger is a real change.
constexpr int kComponentTolerance = 3;
constexpr double kBeyondShareLimit = 0.005;
constexpr double kMeanLimit = 0.5;

Difference Compare(const cli::Picture& a, const cli::Picture& b) {
    Difference d;
    size_t beyond = 0;
    double sum = 0;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        int diff = std::abs(static_cast<int>(a.samples[i]) - static_cast<int>(b.samples[i]));
        sum += diff;
        beyond += diff > kComponentTolerance;
        d.worst = std::max(d.worst, diff);
    }
    d.mean = sum / a.samples.size();
    d.beyondShare = static_cast<double>(beyond) / a.samples.size();
    return d;
}

class ReferencePictures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        module_ = cli::FilterModule::Load(PRISMCORE_TEST_MODULE, error).release();
        ASSERT_NE(module_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete module_;
        module_ = nullptr;
    }

    static hostemu::Image Render(const EffectParameters& p, int depth = 8) {
        hostemu::Image sample;
        EXPECT_TRUE(ReadBmp(PRISMCORE_SAMPLE_PICTURE, sample));
        if (depth == 16) {
            for (uint16_t& v : sample.samples) v = static_cast<uint16_t>((v * 32768 + 127) / 255);
            sample.depth = 16;
        }
        cli::RunRequest request;
        request.parameters = p;
        std::string error;
        EXPECT_TRUE(cli::RunFilter(*module_, sample, request, error)) << error;
        return sample;
    }

    static void Check(const std::string& name, const hostemu::Image& image) {
        cli::Picture actual = cli::FromHostImage(image);
        std::string reference = std::string(PRISMCORE_REFERENCES) + "/" + name + ".png";
        std::string written = "reference_" + name + ".png";
        cli::Picture expected;
        std::string error;
        bool have = cli::ReadPicture(reference, expected, error);
        if (!have || expected.width != actual.width || expected.height != actual.height ||
            expected.channels != actual.channels || expected.depth != actual.depth) {
            cli::WritePicture(written, actual, error);
            FAIL() << "no matching reference " << reference << "; rendered picture: " << written;
        }
        Difference d = Compare(actual, expected);
        if (d.beyondShare > kBeyondShareLimit || d.mean > kMeanLimit) {
            cli::WritePicture(written, actual, error);
            ADD_FAILURE() << name << ": mean difference " << d.mean << ", " << d.beyondShare * 100
                          << "% of components off by more than " << kComponentTolerance
                          << ", worst " << d.worst << "; rendered picture: " << written;
        }
    }

    static cli::FilterModule* module_;
};

cli::FilterModule* ReferencePictures::module_ = nullptr;

EffectParameters Defaults() {
    EffectParameters p{};
    SetDefaults(p);
    return p;
}

TEST_F(ReferencePictures, DefaultParameters) {
    Check("default", Render(Defaults()));
}

TEST_F(ReferencePictures, EachEffectKind) {
    for (int i = 0; i < kEffectCount; ++i) {
        EffectParameters p = Defaults();
        SetEffectIndex(p, i);
        Check("effect" + std::to_string(i + 1), Render(p));
    }
}

TEST_F(ReferencePictures, EachDrawMode) {
    const char* names[] = {"rough", "line", "wire", "flat"};
    for (uint8_t mode = kRough; mode <= kFlat; ++mode) {
        EffectParameters p = Defaults();
        p.RenderMode = mode;
        Check(std::string("mode-") + names[mode - kRough], Render(p));
    }
}

TEST_F(ReferencePictures, SixteenBitsMatchTheEightBitReference) {
    hostemu::Image deep = Render(Defaults(), 16);
    // Back to 8 bits for the comparison; the quantisation is inside the tolerance.
    hostemu::Image narrow(deep.width, deep.height, deep.planes, 8);
    for (size_t i = 0; i < deep.samples.size(); ++i) {
        narrow.samples[i] = static_cast<uint16_t>((deep.samples[i] * 255 + 16384) / 32768);
    }
    Check("default", narrow);
}

}  // namespace
}  // namespace fw
