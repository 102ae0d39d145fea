// One test ROM run twice on the mGBA core: as built (monochrome) and coloured through the
// engine with a project, both brought to the same frame of the game.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Emulator.h"
#include "Support.h"
#include "engine/Binary.h"

namespace dapplix::e2e {

// Where the build put the test ROMs and the side files (set by CMake).
std::string RomsDir();
std::string SideFileDir();

// What the test game's settings say about one of its builds (read from its symbol file).
struct GameLayout {
    std::string name;
    int bankA = 0;         // block A: tiles 0-10 at offset 0, copied to 0x8000 (and 0x9000)
    int bankB = 0;         // block B: tiles 128- at offset gfxOffset, copied to 0x8800
    int gfxOffset = 0;
    int tilesA = 0;        // number of tiles in each block
    int tilesB = 0;
    bool mbc1 = false;     // palette tables reachable
    bool allSprites = false;
    std::uint16_t frameCounter = 0;
    std::uint16_t registerLog = 0;
    std::uint16_t bankError = 0;    // set by the game's timer handler on a foreign WRAM bank
    std::uint16_t timerTicks = 0;   // timer interrupts during start-up
    int registerLogSize = 0;
    int starX = 0, starY = 0;
};

GameLayout LoadGameLayout(const std::string& name);

// The project every end-to-end run uses: 64 distinct colours (a screen colour names its
// palette entry); block A tiles get palettes 1-7 in turn, block B tiles 0-7 in turn, so
// both palette 0 and tiles of the offset block are covered.
void ApplyTestProject(Model& model, const GameLayout& layout);

// The palette a tile shows: its project palette where the ROM's mapper lets the runtime read
// the tables, else 0.
int ExpectedPalette(const Model& model, const GameLayout& layout, int mapNumber);

// Keys held while the game's frame counter is in [from, to).
struct KeyHold {
    int from;
    int to;
    std::uint32_t keys;
};

struct ColourRun {
    GameLayout layout;
    std::unique_ptr<Model> model;  // after the scan and the project
    std::vector<std::uint8_t> monoRom;
    std::vector<std::uint8_t> colourRom;
    std::unique_ptr<Emulator> mono;
    std::unique_ptr<Emulator> colour;
    int monoFrames = 0;    // frames the core ran to reach the game frame
    int colourFrames = 0;
};

// Colours the ROM with the test project and runs both images until the game's frame counter
// reaches gameFrame, holding keys by the game's own frame counter so that both runs see the
// same input at the same point of the game.
std::unique_ptr<ColourRun> RunColourAndMono(const std::string& name, int gameFrame,
                                            const std::vector<KeyHold>& keys,
                                            const std::function<void(Model&, const GameLayout&)>& project =
                                                ApplyTestProject);

// Runs one emulator until the game's frame counter reaches gameFrame (at most limit frames);
// returns the frames run, or -1.
int RunToGameFrame(Emulator& emulator, const GameLayout& layout, int gameFrame, const std::vector<KeyHold>& keys,
                   int limit = 2000);

}  // namespace dapplix::e2e
