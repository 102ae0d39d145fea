// Renders the demo ROM on the mGBA core, monochrome and coloured with a demo project, as PNG
// screenshots (the README shows them), and writes that project and the colour ROM.
// Usage: demoshots OUTDIR      -> OUTDIR/demo-mono.png, demo-colour.png, demo.gbp, demo.gbc
#include <png.h>

#include <cstdio>

#include "ColourRun.h"
#include "engine/Writer.h"
#include "engine/ProjectFile.h"

using namespace dapplix;
using namespace dapplix::e2e;

namespace {

// Red, green, blue of colours 0-3 of background palettes 0-7, then of sprite palette 1 (the
// bee). By palette the scene's tiles are: 0 sky and clouds, 1 title, star and sun, 2 hills,
// 3 trees (their colour 1 is the hills' meadow green, which surrounds the crowns), 4 roof,
// 5 walls, 6 grass and flowers, 7 water and earth; colour 0 of the palettes that border the
// sky is the sky's blue.
constexpr std::int16_t kDemoColours[9][4][3] = {
    {{20, 26, 31}, {31, 31, 31}, {23, 25, 30}, {8, 8, 10}},  {{20, 26, 31}, {31, 30, 10}, {31, 20, 4}, {18, 3, 6}},
    {{20, 26, 31}, {14, 25, 10}, {6, 15, 6}, {2, 8, 3}},     {{20, 26, 31}, {14, 25, 10}, {4, 18, 6}, {12, 7, 3}},
    {{20, 26, 31}, {28, 20, 18}, {26, 6, 5}, {14, 2, 2}},    {{30, 28, 22}, {28, 24, 16}, {16, 10, 4}, {7, 4, 2}},
    {{31, 18, 24}, {16, 27, 8}, {8, 22, 6}, {3, 10, 3}},     {{22, 28, 31}, {6, 14, 28}, {20, 13, 7}, {13, 8, 4}},
    {{31, 31, 31}, {26, 30, 31}, {31, 27, 4}, {2, 2, 2}},
};
constexpr std::int16_t kBlockBPalettes[] = {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 6, 3, 3, 3, 3, 4, 4, 5, 5, 6, 7, 7};

void ApplyDemoProject(Model& model, const TestRom& rom) {
    for (int p = 0; p < 9; ++p) {
        for (int c = 0; c < kColours; ++c) {
            auto& rgb = model.Pals[p < 8 ? kBackgroundSet : kSpriteSet][p < 8 ? p : 1][c];
            std::copy(std::begin(kDemoColours[p][c]), std::end(kDemoColours[p][c]), rgb.begin());
        }
    }
    for (int t = 1; t <= 10; ++t) model.TilePal[rom.At("BANK_A")][t] = 1;  // bee, stars, letters
    model.TileOffset[rom.At("BANK_B")] = static_cast<std::int16_t>(rom.At("GFX_OFFSET"));
    std::copy(std::begin(kBlockBPalettes), std::end(kBlockBPalettes), model.TilePal[rom.At("BANK_B")].begin());
}

// An 8-bit RGB PNG of the screen, each pixel scaled up to a square of scale x scale.
bool WritePng(const std::string& path, const Emulator& emulator, int scale) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kScreenWidth * scale;
    image.height = kScreenHeight * scale;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb;
    for (unsigned y = 0; y < image.height; ++y) {
        for (unsigned x = 0; x < image.width; ++x) {
            const std::uint32_t p = emulator.Pixel(int(x) / scale, int(y) / scale);
            rgb.insert(rgb.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
        }
    }
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demoshots OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        const auto run = StartColourAndMono(LoadTestRom("demo"), ApplyDemoProject);
        for (Emulator* e : {run->mono.get(), run->colour.get()}) RunToGameFrame(*e, run->rom, 240, {{60, 90, kKeyRight}});  // the refresh has passed the sun by then
        std::string error = "cannot write the screenshots";
        if (WritePng(out + "/demo-mono.png", *run->mono, 2) && WritePng(out + "/demo-colour.png", *run->colour, 2) &&
            SaveGbp(*run->model, out + "/demo.gbp", error) && WriteColorRom(*run->model, out + "/demo.gbc", error)) {
            return 0;
        }
        std::fprintf(stderr, "demoshots: %s\n", error.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demoshots: %s\n", e.what());
    }
    return 1;
}
