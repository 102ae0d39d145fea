// Which VRAM tile the screen shows where, on video memory laid out by hand, and the GIF
// capture's framing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>

#include "emulator/AnimatedGif.h"
#include "emulator/Screen.h"

namespace dapplix {
namespace {

constexpr std::uint8_t kLcdOn = 0x80, kWindowMap1 = 0x40, kWindowOn = 0x20, kTiles8000 = 0x10, kBgMap1 = 0x08,
                       kTall = 0x04, kSpritesOn = 0x02;

struct Video {
    std::array<std::uint8_t, 0x2000> vram{};
    std::array<std::uint8_t, 160> oam{};
    VideoState state{vram.data(), oam.data(), kLcdOn | kTiles8000, 0, 0, 0, 0};

    void MapEntry(int map, int column, int row, std::uint8_t number) { vram[0x1800 + map * 0x400 + row * 32 + column] = number; }
    void Sprite(int i, int y, int x, std::uint8_t tile, std::uint8_t attributes = 0) {
        const std::uint8_t entry[] = {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x), tile, attributes};
        std::copy_n(entry, 4, oam.begin() + 4 * i);
    }
    // Gives VRAM tile n pixel value 1 in its top-left pixel only.
    void Dot(int vramTile) { vram[vramTile * 16] = 0x80; }
};

TEST(TileAtPixel, BackgroundAndWindowFollowScrollMapsAndAddressing) {
    Video video;
    video.MapEntry(0, 0, 0, 5);
    video.MapEntry(0, 3, 2, 9);
    video.MapEntry(1, 3, 2, 200);
    video.MapEntry(0, 31, 31, 7);
    video.MapEntry(0, 9, 8, 3);
    video.MapEntry(1, 0, 0, 33);
    video.MapEntry(1, 1, 1, 34);
    video.state.wx = 7 + 80;  // the window's corner at (80, 64), when it is on
    video.state.wy = 64;
    constexpr std::uint8_t kWindow = kLcdOn | kTiles8000 | kWindowOn | kWindowMap1;
    struct Case {
        const char* what;
        std::uint8_t lcdc, scx, scy;
        int x, y, vramTile, mapAddress;
        ScreenLayer layer = ScreenLayer::Background;
    };
    const Case cases[] = {
        {"origin", kLcdOn | kTiles8000, 0, 0, 0, 0, 5, 0x9800},
        {"cell 3,2", kLcdOn | kTiles8000, 0, 0, 25, 17, 9, 0x9843},
        {"scrolled onto cell 3,2", kLcdOn | kTiles8000, 20, 10, 5, 7, 9, 0x9843},
        {"scroll wraps round the map", kLcdOn | kTiles8000, 252, 252, 0, 0, 7, 0x9BFF},
        {"second map", kLcdOn | kTiles8000 | kBgMap1, 0, 0, 25, 17, 200, 0x9C43},
        {"0x8800 addressing, n < 128 is at 0x9000", kLcdOn, 0, 0, 25, 17, 256 + 9, 0x9843},
        {"0x8800 addressing, n >= 128 is at 0x8800", kLcdOn | kBgMap1, 0, 0, 25, 17, 200, 0x9C43},
        {"the window's corner", kWindow, 0, 0, 80, 64, 33, 0x9C00, ScreenLayer::Window},
        {"the window's cell 1,1", kWindow, 0, 0, 89, 72, 34, 0x9C21, ScreenLayer::Window},
        {"left of the window", kWindow, 0, 0, 79, 64, 3, 0x9909},
        {"the window off", kLcdOn | kTiles8000 | kWindowMap1, 0, 0, 80, 64, 0, 0x990A},
    };
    for (const Case& c : cases) {
        std::tie(video.state.lcdc, video.state.scx, video.state.scy) = std::tie(c.lcdc, c.scx, c.scy);
        const ScreenTile tile = TileAtPixel(video.state, c.x, c.y);
        EXPECT_EQ(std::tuple(tile.layer, tile.vramTile, tile.mapAddress), std::tuple(c.layer, c.vramTile, c.mapAddress))
            << c.what;
    }
    video.state.lcdc = 0;
    EXPECT_EQ(TileAtPixel(video.state, 0, 0).layer, ScreenLayer::None) << "LCD off";
    video.state.lcdc = kLcdOn;
    EXPECT_EQ(TileAtPixel(video.state, 160, 0).layer, ScreenLayer::None) << "off the screen";
}

TEST(TileAtPixel, SpritesWinWhereTheirPixelIsNotTransparent) {
    Video video;
    video.state.lcdc = kLcdOn | kTiles8000 | kSpritesOn;
    video.Dot(40);
    video.Dot(41);
    video.Sprite(3, 16 + 50, 8 + 30, 40);          // dot at (30, 50)
    video.Sprite(1, 16 + 50, 8 + 23, 41, 0x20);    // flipped across: dot at (30, 50)
    const ScreenTile tile = TileAtPixel(video.state, 30, 50);
    EXPECT_EQ(std::tuple(tile.layer, tile.sprite, tile.vramTile), std::tuple(ScreenLayer::Sprite, 1, 41))
        << "the lower OAM entry comes first";
    EXPECT_EQ(TileAtPixel(video.state, 31, 50).layer, ScreenLayer::Background) << "transparent pixel";
    video.state.lcdc &= static_cast<std::uint8_t>(~kSpritesOn);
    EXPECT_EQ(TileAtPixel(video.state, 30, 50).layer, ScreenLayer::Background) << "sprites off";

    // 8 x 16 sprites: the lower half is the odd tile, flipped upside down the even one.
    video.state.lcdc = kLcdOn | kTiles8000 | kSpritesOn | kTall;
    video.Sprite(1, 0, 0, 0);
    video.Dot(60);
    video.Dot(61);
    const auto halves = [&] {
        return std::pair(TileAtPixel(video.state, 10, 90).vramTile, TileAtPixel(video.state, 10, 98).vramTile);
    };
    video.Sprite(0, 16 + 90, 8 + 10, 61);
    EXPECT_EQ(halves(), std::pair(60, 61));
    video.Sprite(0, 16 + 90, 8 + 10, 61, 0x40);
    // Each dot to its tile's bottom row, which shows at the top when flipped.
    for (const int vramTile : {60, 61}) std::swap(video.vram[vramTile * 16], video.vram[vramTile * 16 + 14]);
    EXPECT_EQ(halves(), std::pair(61, 60));
}

TEST(VisibleTiles, TheCellsInViewAndTheSpritesOnScreenAndTheTrackerNotesEachImageOnce) {
    Video video;
    video.state.lcdc = kLcdOn | kTiles8000 | kSpritesOn;
    for (int row = 0; row < 32; ++row)
        for (int column = 0; column < 32; ++column) video.MapEntry(0, column, row, static_cast<std::uint8_t>(100 + column));
    video.MapEntry(0, 5, 5, 7);
    video.Sprite(0, 16 + 10, 8 + 10, 250);
    video.Sprite(1, 0, 50, 251);  // Y 0: hidden above the screen
    auto shown = VisibleTiles(video.state);
    EXPECT_TRUE(shown[100] && shown[119] && shown[7] && shown[250]);
    EXPECT_FALSE(shown[120]) << "column 20 is past the screen without scroll";
    EXPECT_FALSE(shown[251]);
    video.state.scx = 4;  // a part of column 20 comes into view
    shown = VisibleTiles(video.state);
    EXPECT_TRUE(shown[120] && !shown[121]);
    video.state.scx = 8 * 31;  // wraps: columns 31, 0..18
    shown = VisibleTiles(video.state);
    EXPECT_TRUE(shown[131] && shown[100] && shown[118] && !shown[119]);
    video.state.lcdc = 0;
    EXPECT_TRUE(VisibleTiles(video.state).none());
    // The tracker notes new images once and looks again when VRAM changes.
    Video tracked;
    tracked.vram[5 * 16] = 0xAA;  // the map names tile 0 everywhere except one cell
    tracked.MapEntry(0, 1, 1, 5);
    TileCoverage coverage;
    CoverageTracker tracker;
    EXPECT_EQ(tracker.Note(tracked.state, coverage), 2);
    EXPECT_EQ(tracker.Note(tracked.state, coverage), 0);
    tracked.vram[5 * 16] = 0xBB;  // the game loads other graphics into the same tile
    EXPECT_EQ(tracker.Note(tracked.state, coverage), 1);
    EXPECT_EQ(coverage.Count(), 3u);
}

TEST(EncodeAnimatedGif, HeaderFramesAndTrailer) {
    GifFrame frame;
    frame.pixels.assign(4 * 2, 0x00FF00);
    frame.delayCentiseconds = 7;
    const auto gif = EncodeAnimatedGif({frame, frame, frame}, 4, 2, 3);
    ASSERT_GT(gif.size(), 13u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
    // The scaled size, the trailer.
    EXPECT_EQ(std::tuple(gif[6] | gif[7] << 8, gif[8] | gif[9] << 8, int(gif.back())), std::tuple(12, 6, 0x3B));
    int frames = 0;
    for (std::size_t i = 0; i + 4 < gif.size(); ++i)
        if (gif[i] == 0x21 && gif[i + 1] == 0xF9 && gif[i + 2] == 4 && gif[i + 4] == 7) ++frames;
    EXPECT_EQ(frames, 3);
}

}  // namespace
}  // namespace dapplix
