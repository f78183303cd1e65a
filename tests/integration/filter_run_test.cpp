// Whole filter runs through the emulated host: modes, bands, planes, cancel.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <memory>
#include <string>

#include "hostemu/emulated_host.h"
#include "params/effect_parameters.h"

namespace {

using namespace fw;
using hostemu::EmulatedHost;
using hostemu::HostOptions;
using hostemu::Image;

std::unique_ptr<hostemu::Module> LoadModule() {
    std::string error;
    auto m = hostemu::Module::Load(FW_MODULE_PATH, error);
    EXPECT_TRUE(m) << error;
    return m;
}

Image Picture(int w, int h, int planes, int depth) {
    Image img(w, h, planes, depth);
    const int full = img.FullScale();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int p = 0; p < planes; ++p)
                img.At(x, y, p) = uint16_t((x * 37 + y * 11 + p * 53) % (full + 1));
    return img;
}

EffectParameters& Params(EmulatedHost& host) {
    return *reinterpret_cast<EffectParameters*>(*host.ParametersHandle());
}

// An empty pattern: the background comes back as it went in.
void MakePatternEmpty(EffectParameters& p) {
    SetEffectIndex(p, 0);
    p.Completance = 0;
    p.CompletanceDist = 0;
}

class FilterRun : public ::testing::Test {
  protected:
    void SetUp() override { module_ = LoadModule(); }
    std::unique_ptr<EmulatedHost> Host(const Image& img, HostOptions options = {}) {
        auto host = std::make_unique<EmulatedHost>(module_->Entry(), options);
        host->SetImage(img);
        return host;
    }
    // Runs once to create the parameters, lets `edit` change them, runs again.
    int16_t RunWith(EmulatedHost& host, void (*edit)(EffectParameters&)) {
        EXPECT_EQ(host.Call(1), 0);
        edit(Params(host));
        return host.RunFilter(true);
    }
    std::unique_ptr<hostemu::Module> module_;
};

TEST_F(FilterRun, OtherModesAreRefusedWithAMessageAndLeftUnchanged) {
    for (int16_t mode : {sdk::kModeGrayScale, sdk::kModeCMYKColor}) {
        Image img = Picture(40, 30, mode == sdk::kModeCMYKColor ? 4 : 1, 8);
        img.mode = mode;
        auto host = Host(img);
        testing::internal::CaptureStderr();
        EXPECT_EQ(host->RunFilter(), 0);
        const std::string said = testing::internal::GetCapturedStderr();
        size_t count = 0;
        for (size_t at = said.find("Sory: dont support this image mode"); at != std::string::npos;
             at = said.find("Sory: dont support this image mode", at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << said;
        EXPECT_EQ(host->GetImage().samples, img.samples);
        for (int rows : host->RowWrites()) EXPECT_EQ(rows, 1);
    }
}

TEST_F(FilterRun, EmptyPatternGivesTheImageBackForEveryDepthAndPlaneCount) {
    for (int depth : {8, 16})
        for (int planes = 3; planes <= 5; ++planes) {
            const Image img = Picture(50, 20, planes, depth);
            auto host = Host(img);
            ASSERT_EQ(RunWith(*host, MakePatternEmpty), 0);
            EXPECT_EQ(host->GetImage().samples, img.samples) << depth << "-bit, " << planes;
        }
}

TEST_F(FilterRun, AlphaCutLeavesBlackOrTransparencyAndKeepsTheExtraChannel) {
    for (int depth : {8, 16})
        for (int planes = 3; planes <= 5; ++planes) {
            const Image img = Picture(30, 10, planes, depth);
            auto host = Host(img);
            ASSERT_EQ(RunWith(*host,
                              [](EffectParameters& p) {
                                  MakePatternEmpty(p);
                                  p.AlphaCut = 1;
                              }),
                      0);
            const Image& out = host->GetImage();
            for (int y = 0; y < img.height; ++y)
                for (int x = 0; x < img.width; ++x) {
                    for (int c = 0; c < std::min(planes, 4); ++c)
                        ASSERT_EQ(out.At(x, y, c), 0) << depth << "/" << planes;
                    if (planes == 5) {
                        ASSERT_EQ(out.At(x, y, 4), img.At(x, y, 4));
                    }
                }
        }
}

TEST_F(FilterRun, TinyMaxSpaceWalksOneRowPerBandInBothSequences) {
    const Image img = Picture(64, 23, 4, 8);
    for (bool advance : {true, false}) {
        HostOptions options;
        options.maxSpace = 10;  // below one row's cost
        options.advanceState = advance;
        auto host = Host(img, options);
        ASSERT_EQ(RunWith(*host, MakePatternEmpty), 0);
        EXPECT_EQ(Params(*host).RowsPerBand, 1);
        EXPECT_EQ(host->Record().maxSpace, 64 + 2 * 4 * 64);
        ASSERT_EQ(host->RowWrites().size(), 23u);
        for (int rows : host->RowWrites()) EXPECT_EQ(rows, 1);
        EXPECT_EQ(host->GetImage().samples, img.samples);
        EXPECT_EQ(advance ? host->AdvanceStateCalls() : host->ContinueCalls(), 23);
    }
}

TEST_F(FilterRun, BandsThatDoNotDivideTheHeightCoverEachRowOnce) {
    const Image img = Picture(20, 23, 3, 16);
    for (bool advance : {true, false}) {
        HostOptions options;
        options.maxSpace = 7 * (20 + 2 * 3 * 20);  // seven rows a band
        options.advanceState = advance;
        auto host = Host(img, options);
        ASSERT_EQ(RunWith(*host, MakePatternEmpty), 0);
        EXPECT_EQ(Params(*host).RowsPerBand, 7);
        ASSERT_EQ(host->RowWrites().size(), 23u);
        for (int rows : host->RowWrites()) EXPECT_EQ(rows, 1);
    }
}

TEST_F(FilterRun, SelectionFiltersItsBoundingBoxOnly) {
    const Image img = Picture(40, 30, 3, 8);
    auto host = Host(img);
    std::vector<uint8_t> mask(40 * 30, 0);
    for (int y = 5; y < 12; ++y)
        for (int x = 8; x < 20; ++x) mask[size_t(y) * 40 + x] = 255;
    host->SetSelection(mask);
    ASSERT_EQ(RunWith(*host,
                      [](EffectParameters& p) {
                          MakePatternEmpty(p);
                          p.AlphaCut = 1;
                      }),
              0);
    const Image& out = host->GetImage();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = y >= 5 && y < 12 && x >= 8 && x < 20;
            ASSERT_EQ(out.At(x, y, 0) == 0, inside || img.At(x, y, 0) == 0) << x << "," << y;
        }
}

TEST_F(FilterRun, CancelAndHostErrorsStopTheWalkAndLoseNothing) {
    const Image img = Picture(30, 40, 3, 8);
    for (bool advance : {true, false}) {
        HostOptions options;
        options.maxSpace = 5 * (30 + 6 * 30);
        options.advanceState = advance;
        options.abortAfterCalls = 3;
        auto host = Host(img, options);
        host->Options().abortAfterCalls = -1;
        ASSERT_EQ(host->Call(1), 0);
        host->Options().abortAfterCalls = 3;
        EXPECT_EQ(host->RunFilter(true), -128) << advance;
        EXPECT_EQ(host->GetImage().samples, img.samples);
    }
    HostOptions options;
    options.maxSpace = 5 * (30 + 6 * 30);
    options.advanceErrorAt = 2;
    options.advanceStateError = -108;
    auto host = Host(img, options);
    EXPECT_EQ(host->RunFilter(), -108);
    EXPECT_EQ(host->AdvanceStateCalls(), 2);
    EXPECT_EQ(host->GetImage().samples, img.samples);
}

TEST_F(FilterRun, ThirtyTwoBitRectanglesWhenTheHostSaysSo) {
    const Image img = Picture(30, 20, 3, 8);
    HostOptions options;
    options.bigDocument = true;
    options.maxSpace = 4 * (30 + 6 * 30);
    auto host = Host(img, options);
    ASSERT_EQ(host->Call(1), 0);
    Params(*host).AlphaCut = 1;
    MakePatternEmpty(Params(*host));
    host->RunFilterRecordOnly();
    host->Record().bigDocumentData->PluginUsing32BitCoordinates = 1;
    host->Record().filterRect = sdk::Rect{0, 0, 0, 0};  // only the 32-bit record is right
    ASSERT_EQ(host->Call(2), 0);
    ASSERT_EQ(host->Call(3), 0);
    EXPECT_EQ(host->AdvanceStateCalls(), 5);     // 20 rows, four a band
    EXPECT_EQ(host->GetImage().At(3, 5, 1), 0);  // written back by a later advanceState
}

// A host offering all it has (maxSpace 2 GB) and a 32000 x 32000 16-bit filter rectangle:
// bands of 9587 rows, whose four buffers need 2.45 GB each. A 32-bit build refuses before
// asking for a band; a 64-bit one under an address-space limit cannot get the band. Either way
// the result is -108 and the document is as it was, without the host's undo.
TEST_F(FilterRun, AnOversizedRectangleIsRefusedWithTheDocumentUntouched) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    // Less than the 13.5 GB a band's host and module buffers need together.
    const bool limited = limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= (rlim_t(8) << 30);
    if (sizeof(void*) == 8 && !limited)
        GTEST_SKIP() << "a 64-bit build with the memory would render it: run under ulimit -v";
    const Image img = Picture(16, 16, 3, 16);
    HostOptions options;
    options.maxSpace = INT32_MAX;
    options.undo = false;
    auto host = Host(img, options);
    host->RunFilterRecordOnly();
    host->Record().imageSize = sdk::Point{32000, 32000};
    host->Record().filterRect = sdk::Rect{0, 0, 32000, 32000};
    ASSERT_EQ(host->Call(1), 0);
    ASSERT_EQ(host->Call(2), 0);
    EXPECT_EQ(host->Call(3), sdk::kMemFullErr);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(host->AdvanceStateCalls(), 0);
    }
    EXPECT_EQ(host->GetImage().samples, img.samples);
}

}  // namespace
