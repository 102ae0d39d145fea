// Which VRAM tile shows where on the Game Boy screen, worked out from the maps, the sprite
// table and the scroll registers as a frame ended. Pure functions over a VideoState, so
// they are tested on memory laid out by hand.
#pragma once

#include <algorithm>
#include <bitset>
#include <cstdint>

#include "Emulator.h"
#include "engine/TileSearch.h"

namespace dapplix {

constexpr int kVramTiles = 384;  // 0x8000-0x97FF

enum class ScreenLayer { None, Background, Window, Sprite };

struct ScreenTile {
    ScreenLayer layer = ScreenLayer::None;
    int vramTile = 0;       // 0..383: the tile at 0x8000 + 16 n
    int mapAddress = 0;     // the map entry (background, window)
    int sprite = 0;         // the OAM entry (sprite)
    const std::uint8_t* Bytes(const VideoState& video) const { return video.vram + vramTile * 16; }
};

// The tile drawn at a screen pixel: a sprite whose pixel there is not transparent (the
// lowest OAM entry first, as the colour hardware orders them), else the window where it
// covers the pixel, else the background. None while the LCD is off.
ScreenTile TileAtPixel(const VideoState& video, int x, int y);

// Every VRAM tile that the screen shows somewhere: the background cells in view, the
// window's, and the tiles of sprites on screen.
std::bitset<kVramTiles> VisibleTiles(const VideoState& video);

// Notes in a coverage the tiles that frames show. A VRAM tile whose bytes are the ones it
// noted last time is not looked up again, so a still screen costs little.
class CoverageTracker {
public:
    // The number of images the coverage had not seen before.
    int Note(const VideoState& video, TileCoverage& coverage);
    void Forget() { known_.reset(); }

private:
    std::array<TileImage, kVramTiles> noted_{};
    std::bitset<kVramTiles> known_;
};

}  // namespace dapplix
