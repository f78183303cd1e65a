#include "cli/filter_runner.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cli/parameter_options.h"

namespace fw::cli {
namespace {

// Every field away from its default, with an empty pattern so the runs stay quick.
EffectParameters Distinct() {
    EffectParameters p = DefaultParameters();
    uint32_t colour = 0x123456;
    int i = 0;
    for (const ParameterField& f : kParameterFields) {
        ++i;
        switch (f.kind) {
            case FieldKind::Real:
                SetFieldReal(p, f, GetFieldReal(p, f) + 0.375 * i);
                break;
            case FieldKind::Colour:
                SetFieldInteger(p, f, colour += 0x010203);
                break;
            default:
                break;
        }
    }
    p.AutoUpdate = 0;
    p.RenderMode = kFlat;
    p.MaskKind = kMaskWindow;
    p.GrowDirect = 8;
    p.RandomSeed = 77;
    p.MaxIterations = 2;
    p.MaxTriangles = 2;
    p.MaxTriangles1 = 12;
    p.UseBackLight = 0;
    p.AlphaCut = 1;
    p.UseGlass = 0;
    SetEffectIndex(p, 1);  // Geometric 2
    p.Completance = 0;
    p.CompletanceDist = 0;
    return p;
}

hostemu::Image Flat(int w, int h) {
    hostemu::Image image(w, h, 3, 8);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = uint16_t(i * 7 % 256);
    return image;
}

TEST(FilterRunner, EveryFieldReachesTheModuleWhateverTheHost) {
    std::string error;
    auto module = FilterModule::Load(FW_CLI_MODULE, error);
    ASSERT_TRUE(module) << error;
    const EffectParameters want = Distinct();
    for (HostSettings host :
         {HostSettings{}, HostSettings{5000, true, false}, HostSettings{-1, false, true}}) {
        RunRequest request;
        request.parameters = want;
        request.host = host;
        EffectParameters used = DefaultParameters();
        request.used = &used;
        hostemu::Image image = Flat(24, 16);
        ASSERT_TRUE(RunFilter(*module, image, request, error)) << error;
        EXPECT_EQ(image.width, 24);
        for (const ParameterField& f : kParameterFields) {
            const size_t n = f.kind == FieldKind::Byte ? 1 : 4;
            EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&used) + f.offset,
                                  reinterpret_cast<const char*>(&want) + f.offset, n),
                      0)
                << f.name << ": " << FieldValueText(used, f) << " instead of "
                << FieldValueText(want, f);
        }
        EXPECT_EQ(used.ShowDialog, 0);
    }
}

TEST(FilterRunner, ProgressRisesBandByBandToTheEnd) {
    std::string error;
    auto module = FilterModule::Load(FW_CLI_MODULE, error);
    ASSERT_TRUE(module) << error;
    for (bool hostDriven : {false, true}) {
        RunRequest request;
        request.parameters = Distinct();
        request.host.maxSpace = 1;  // one row a band
        request.host.hostDrivenBands = hostDriven;
        std::vector<double> seen;
        request.progress = [&](double f) { seen.push_back(f); };
        hostemu::Image image = Flat(8, 10);
        ASSERT_TRUE(RunFilter(*module, image, request, error)) << error;
        ASSERT_GE(seen.size(), 10u) << hostDriven;
        for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
        EXPECT_EQ(seen.front(), 0.0);
        EXPECT_EQ(seen.back(), 1.0);
        // Some report falls inside the last band, rows 9 to 10.
        EXPECT_GE(seen[seen.size() - 2], 0.9);
    }
}

TEST(FilterRunner, MissingOrBrokenModulesAreReported) {
    std::string error;
    EXPECT_FALSE(FilterModule::Load("/nonexistent/libfrostweave.so", error));
    EXPECT_NE(error.find("--plugin"), std::string::npos) << error;
    EXPECT_FALSE(FilterModule::Load(__FILE__, error));
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}

}  // namespace
}  // namespace fw::cli
