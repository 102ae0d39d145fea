#include "ColourRun.h"

#include <stdexcept>

#include "engine/Rom.h"
#include "engine/Writer.h"

namespace dapplix::e2e {

std::string RomsDir() { return DAPPLIX_ROMS_DIR; }
std::string SideFileDir() { return DAPPLIX_SIDEFILE_DIR; }

GameLayout LoadGameLayout(const std::string& name) {
    const Symbols symbols = Symbols::Load(RomsDir() + "/" + name + ".noi");
    GameLayout layout;
    layout.name = name;
    layout.bankA = static_cast<int>(symbols["BANK_A"]);
    layout.bankB = static_cast<int>(symbols["BANK_B"]);
    layout.gfxOffset = static_cast<int>(symbols["GFX_OFFSET"]);
    layout.tilesA = static_cast<int>((symbols["TilesAEnd"] - symbols["TilesA"]) / kTileBytes);
    layout.tilesB = static_cast<int>((symbols["TilesBEnd"] - symbols["TilesB"]) / kTileBytes);
    layout.allSprites = symbols["ALL_SPRITES"] != 0;
    layout.frameCounter = static_cast<std::uint16_t>(symbols["wFrame"]);
    layout.registerLog = static_cast<std::uint16_t>(symbols["wRegisterLog"]);
    layout.registerLogSize = static_cast<int>(symbols["REGISTER_LOG_SIZE"]);
    layout.bankError = static_cast<std::uint16_t>(symbols["wBankError"]);
    layout.timerTicks = static_cast<std::uint16_t>(symbols["wTimerTicks"]);
    layout.starX = static_cast<int>(symbols["STAR_X"]);
    layout.starY = static_cast<int>(symbols["STAR_Y"]);
    const std::vector<std::uint8_t> rom = ReadBinaryFile(RomsDir() + "/" + name + ".gb");
    layout.mbc1 = MapperClass(rom.at(kCartridgeType)) != 3;  // MBC2 runs as MBC1 in colour
    return layout;
}

void ApplyTestProject(Model& model, const GameLayout& layout) {
    SetDistinctPalettes(model);
    model.TileOffset[layout.bankB] = static_cast<std::int16_t>(layout.gfxOffset);
    for (int t = 0; t < layout.tilesA; ++t) model.TilePal[layout.bankA][t] = static_cast<std::int16_t>(t % 7 + 1);
    for (int t = 0; t < layout.tilesB; ++t) model.TilePal[layout.bankB][t] = static_cast<std::int16_t>(t % 8);
}

int ExpectedPalette(const Model& model, const GameLayout& layout, int mapNumber) {
    if (!layout.mbc1) return 0;
    // Map numbers 0-127 name block A (at 0x8000, or its copy at 0x9000); 128- block B.
    if (mapNumber < 128) return model.TilePal[layout.bankA][mapNumber];
    return model.TilePal[layout.bankB][mapNumber - 128];
}

int RunToGameFrame(Emulator& emulator, const GameLayout& layout, int gameFrame, const std::vector<KeyHold>& keys,
                   int limit) {
    // WRAM holds whatever it held at power-on until the game clears its counter; a value at or
    // past gameFrame only counts once a value before it has been seen.
    bool started = false;
    for (int frames = 0; frames < limit; ++frames) {
        const int now = emulator.Read16(layout.frameCounter);
        if (now < gameFrame) started = true;
        if (started && now >= gameFrame) return now == gameFrame ? frames : -1;
        std::uint32_t held = 0;
        for (const KeyHold& k : keys) {
            if (now >= k.from && now < k.to) held |= k.keys;
        }
        emulator.RunFrame(held);
    }
    return -1;
}

std::unique_ptr<ColourRun> RunColourAndMono(const std::string& name, int gameFrame, const std::vector<KeyHold>& keys,
                                            const std::function<void(Model&, const GameLayout&)>& project) {
    auto run = std::make_unique<ColourRun>();
    run->layout = LoadGameLayout(name);
    run->monoRom = ReadBinaryFile(RomsDir() + "/" + name + ".gb");
    run->model = PrepareModel(run->monoRom, SideFileDir());
    project(*run->model, run->layout);
    run->colourRom = BuildColorRom(*run->model);

    run->mono = std::make_unique<Emulator>(run->monoRom);
    run->colour = std::make_unique<Emulator>(run->colourRom);
    run->monoFrames = RunToGameFrame(*run->mono, run->layout, gameFrame, keys);
    run->colourFrames = RunToGameFrame(*run->colour, run->layout, gameFrame, keys);
    if (run->monoFrames < 0 || run->colourFrames < 0) {
        throw std::runtime_error(name + ": the game did not reach frame " + std::to_string(gameFrame));
    }
    return run;
}

}  // namespace dapplix::e2e
