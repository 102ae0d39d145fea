// Renders the demo ROM on the mGBA core, monochrome and coloured with a demo project, as PNG
// screenshots (the README shows them), and writes that project and the colour ROM.
// Usage: demoshots OUTDIR      -> OUTDIR/demo-mono.png, demo-colour.png, demo.gbp, demo.gbc
#include <cstdio>
#include <string>

#include "ColourRun.h"
#include "engine/Writer.h"
#include "project/ProjectFile.h"

using namespace dapplix;
using namespace dapplix::e2e;

namespace {

struct Rgb {
    int r, g, b;
};

void SetPalette(Model& model, int set, int palette, Rgb c0, Rgb c1, Rgb c2, Rgb c3) {
    const Rgb colours[] = {c0, c1, c2, c3};
    for (int c = 0; c < kColours; ++c) {
        model.Pals[set][palette][c] = {static_cast<std::int16_t>(colours[c].r), static_cast<std::int16_t>(colours[c].g),
                                       static_cast<std::int16_t>(colours[c].b)};
    }
}

// The scene's tiles by palette: 0 sky and clouds, 1 title, star and sun, 2 hills, 3 trees
// (their colour 1 is the hills' colour 1, which surrounds the crowns), 4 roof, 5 walls,
// 6 grass and flowers, 7 water and earth. Colour 0 of the palettes that border the sky is
// the sky's blue. The bee uses sprite palette 1.
void ApplyDemoProject(Model& model, const GameLayout& layout) {
    const Rgb sky{20, 26, 31}, meadow{14, 25, 10};
    SetPalette(model, kBackgroundSet, 0, sky, {31, 31, 31}, {23, 25, 30}, {8, 8, 10});
    SetPalette(model, kBackgroundSet, 1, sky, {31, 30, 10}, {31, 20, 4}, {18, 3, 6});
    SetPalette(model, kBackgroundSet, 2, sky, meadow, {6, 15, 6}, {2, 8, 3});
    SetPalette(model, kBackgroundSet, 3, sky, meadow, {4, 18, 6}, {12, 7, 3});
    SetPalette(model, kBackgroundSet, 4, sky, {28, 20, 18}, {26, 6, 5}, {14, 2, 2});
    SetPalette(model, kBackgroundSet, 5, {30, 28, 22}, {28, 24, 16}, {16, 10, 4}, {7, 4, 2});
    SetPalette(model, kBackgroundSet, 6, {31, 18, 24}, {16, 27, 8}, {8, 22, 6}, {3, 10, 3});
    SetPalette(model, kBackgroundSet, 7, {22, 28, 31}, {6, 14, 28}, {20, 13, 7}, {13, 8, 4});
    SetPalette(model, kSpriteSet, 1, {31, 31, 31}, {26, 30, 31}, {31, 27, 4}, {2, 2, 2});

    auto& a = model.TilePal[layout.bankA];
    for (int t = 1; t <= 10; ++t) a[t] = 1;  // bee, stars, letters
    model.TileOffset[layout.bankB] = static_cast<std::int16_t>(layout.gfxOffset);
    auto& b = model.TilePal[layout.bankB];
    const int byTile[] = {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 6, 3, 3, 3, 3, 4, 4, 5, 5, 6, 7, 7};
    for (int t = 0; t < static_cast<int>(std::size(byTile)); ++t) b[t] = static_cast<std::int16_t>(byTile[t]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demoshots OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        const auto run = RunColourAndMono("demo", 120, {{60, 90, kKeyRight}}, ApplyDemoProject);
        std::string error;
        bool ok = WritePng(out + "/demo-mono.png", run->mono->Frame(), kScreenWidth, kScreenHeight, 256, 2, error) &&
                  WritePng(out + "/demo-colour.png", run->colour->Frame(), kScreenWidth, kScreenHeight, 256, 2, error) &&
                  SaveGbp(*run->model, out + "/demo.gbp", error) &&
                  WriteColorRom(*run->model, out + "/demo.gbc", error);
        if (!ok) {
            std::fprintf(stderr, "demoshots: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demoshots: %s\n", e.what());
        return 1;
    }
    return 0;
}
