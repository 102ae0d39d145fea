#include "Screen.h"

#include <cstring>

namespace dapplix {
namespace {

constexpr std::uint8_t kLcdOn = 0x80;
constexpr std::uint8_t kWindowMap9C00 = 0x40;
constexpr std::uint8_t kWindowOn = 0x20;
constexpr std::uint8_t kTiles8000 = 0x10;
constexpr std::uint8_t kBackgroundMap9C00 = 0x08;
constexpr std::uint8_t kTallSprites = 0x04;
constexpr std::uint8_t kSpritesOn = 0x02;
constexpr int kMap9800 = 0x1800;  // offsets within VRAM
constexpr int kMap9C00 = 0x1C00;
constexpr int kSprites = 40;
constexpr int kWindowXOrigin = 7;  // WX 7 puts the window's left edge at screen x 0

// The VRAM tile a map entry names under the addressing mode LCDC bit 4 chooses.
int TileOfMapNumber(std::uint8_t lcdc, std::uint8_t number) {
    if (lcdc & kTiles8000) return number;
    return number < 128 ? 256 + number : number;  // 0x9000 + 16n, or 0x8800 + 16(n - 128)
}

int PixelValue(const VideoState& video, int vramTile, int row, int column) {
    const std::uint8_t low = video.vram[vramTile * 16 + row * 2], high = video.vram[vramTile * 16 + row * 2 + 1];
    const int bit = 7 - column;
    return ((low >> bit) & 1) | (((high >> bit) & 1) << 1);
}

bool WindowCovers(const VideoState& video, int x, int y) {
    return (video.lcdc & kWindowOn) && y >= video.wy && x + kWindowXOrigin >= video.wx && video.wx <= 166 &&
           video.wy <= 143;
}

struct SpriteTile {
    bool on = false;
    int vramTile = 0, row = 0, column = 0;
};

// Sprite i's tile and the pixel of it at (x, y), when it covers that pixel.
SpriteTile SpriteAt(const VideoState& video, int i, int x, int y) {
    const int height = (video.lcdc & kTallSprites) ? 16 : 8;
    const std::uint8_t* entry = video.oam + 4 * i;
    const int top = entry[0] - 16, left = entry[1] - 8;
    if (y < top || y >= top + height || x < left || x >= left + 8) return {};
    int row = y - top, column = x - left;
    if (entry[3] & 0x40) row = height - 1 - row;
    if (entry[3] & 0x20) column = 7 - column;
    int tile = entry[2];
    if (height == 16) tile = (tile & 0xFE) + row / 8;
    return {true, tile, row % 8, column};
}

}  // namespace

ScreenTile TileAtPixel(const VideoState& video, int x, int y) {
    ScreenTile found;
    if (!(video.lcdc & kLcdOn) || x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return found;
    if (video.lcdc & kSpritesOn) {
        for (int i = 0; i < kSprites; ++i) {
            const SpriteTile sprite = SpriteAt(video, i, x, y);
            if (sprite.on && PixelValue(video, sprite.vramTile, sprite.row, sprite.column) != 0) {
                found.layer = ScreenLayer::Sprite;
                found.vramTile = sprite.vramTile;
                found.sprite = i;
                return found;
            }
        }
    }
    int map, mapX, mapY;
    if (WindowCovers(video, x, y)) {
        found.layer = ScreenLayer::Window;
        map = (video.lcdc & kWindowMap9C00) ? kMap9C00 : kMap9800;
        mapX = x + kWindowXOrigin - video.wx;
        mapY = y - video.wy;
    } else {
        found.layer = ScreenLayer::Background;
        map = (video.lcdc & kBackgroundMap9C00) ? kMap9C00 : kMap9800;
        mapX = (x + video.scx) & 0xFF;
        mapY = (y + video.scy) & 0xFF;
    }
    const int entry = map + (mapY / 8) * 32 + mapX / 8;
    found.mapAddress = 0x8000 + entry;
    found.vramTile = TileOfMapNumber(video.lcdc, video.vram[entry]);
    return found;
}

std::bitset<kVramTiles> VisibleTiles(const VideoState& video) {
    std::bitset<kVramTiles> shown;
    if (!(video.lcdc & kLcdOn)) return shown;
    // 20 x 18 cells cover the screen, one more each way where the scroll cuts a cell; the
    // window's from its corner on.
    const int background = (video.lcdc & kBackgroundMap9C00) ? kMap9C00 : kMap9800;
    const bool window = (video.lcdc & kWindowOn) && video.wy <= 143 && video.wx <= 166;
    const int windowLeft = window ? std::max(0, video.wx - kWindowXOrigin) : kScreenWidth;
    const int windowTop = window ? video.wy : kScreenHeight;
    const int rows = kScreenHeight / 8 + ((video.scy & 7) ? 1 : 0);
    const int columns = kScreenWidth / 8 + ((video.scx & 7) ? 1 : 0);
    for (int row = 0; row < rows; ++row) {
        const int mapRow = ((video.scy / 8) + row) & 31;
        for (int column = 0; column < columns; ++column) {
            // Cells wholly under the window are not seen.
            if (row * 8 - (video.scy & 7) >= windowTop && column * 8 - (video.scx & 7) >= windowLeft) continue;
            const int mapColumn = ((video.scx / 8) + column) & 31;
            shown.set(TileOfMapNumber(video.lcdc, video.vram[background + mapRow * 32 + mapColumn]));
        }
    }
    if (window) {
        const int map = (video.lcdc & kWindowMap9C00) ? kMap9C00 : kMap9800;
        const int rows = (kScreenHeight - windowTop + 7) / 8, columns = (kScreenWidth - windowLeft + 7) / 8;
        for (int row = 0; row < rows && row < 32; ++row)
            for (int column = 0; column < columns && column < 32; ++column)
                shown.set(TileOfMapNumber(video.lcdc, video.vram[map + row * 32 + column]));
    }
    if (video.lcdc & kSpritesOn) {
        const bool tall = video.lcdc & kTallSprites;
        for (int i = 0; i < kSprites; ++i) {
            const std::uint8_t* entry = video.oam + 4 * i;
            const int top = entry[0] - 16, left = entry[1] - 8, height = tall ? 16 : 8;
            if (top + height <= 0 || top >= kScreenHeight || left + 8 <= 0 || left >= kScreenWidth) continue;
            if (tall) {
                shown.set(entry[2] & 0xFE);
                shown.set(entry[2] | 0x01);
            } else {
                shown.set(entry[2]);
            }
        }
    }
    return shown;
}

int CoverageTracker::Note(const VideoState& video, TileCoverage& coverage) {
    const std::bitset<kVramTiles> shown = VisibleTiles(video);
    int added = 0;
    for (int tile = 0; tile < kVramTiles; ++tile) {
        if (!shown[tile]) continue;
        const std::uint8_t* bytes = video.vram + 16 * tile;
        if (known_[tile] && std::memcmp(noted_[tile].data(), bytes, kTileBytes) == 0) continue;
        std::memcpy(noted_[tile].data(), bytes, kTileBytes);
        known_.set(tile);
        added += coverage.Add(bytes) ? 1 : 0;
    }
    return added;
}

}  // namespace dapplix
