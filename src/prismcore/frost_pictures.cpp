// Renders the synthetic frost scene in every draw mode into PPM files, for a person to look
// at: frost_pictures OUTPUT_FOLDER [width height triangles [scale]].
#include <cstdlib>
#include <string>

#include "prismcore/synthetic_frost.h"

int main(int argc, char** argv) {
    using namespace fw::prismcore::testing;
    std::string folder = argc > 1 ? argv[1] : ".";
    int width = argc > 3 ? std::atoi(argv[2]) : 640;
    int height = argc > 3 ? std::atoi(argv[3]) : 480;
    int count = argc > 4 ? std::atoi(argv[4]) : 6000;
    float scale = argc > 5 ? static_cast<float>(std::atof(argv[5])) : 1.0f;
    Scene scene = MakeFrost(width, height, count, 7, scale);
    std::vector<uint8_t> source = SourcePicture<uint8_t>(width, height, 255);
    const struct {
        uint8_t mode, quality;
        const char* name;
    } kinds[] = {{0, 0, "rough"}, {1, 0, "line"},          {2, 0, "wire"},
                 {3, 1, "flat"},  {6, 0, "phong-preview"}, {6, 1, "phong"}};
    for (const auto& kind : kinds) {
        Records records = DefaultRecords();
        std::vector<uint8_t> picture = source;
        Render(picture.data(), source.data(), width, height, scene, records, kind.mode,
               kind.quality);
        WritePpm(folder + "/" + kind.name + ".ppm", picture.data(), width, height);
    }
    Records records = DefaultRecords();
    records.glass.useGlass = 0;
    std::vector<uint8_t> picture = source;
    Render(picture.data(), source.data(), width, height, scene, records, 6, 1);
    WritePpm(folder + "/phong-noglass.ppm", picture.data(), width, height);
    return 0;
}
