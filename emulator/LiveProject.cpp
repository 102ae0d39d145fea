#include "LiveProject.h"

#include <cstring>

#include "engine/RuntimeLayout.h"
#include "engine/SideFileLayout.h"
#include "engine/TileDictionary.h"
#include "engine/Writer.h"
#include "Screen.h"

namespace dapplix {
namespace {

constexpr std::uint16_t kRegisterBgp = 0xFF47;
constexpr std::uint16_t kRegisterObp0 = 0xFF48;
constexpr std::uint16_t kRegisterLcdc = 0xFF40;
constexpr std::uint8_t kLcdcTiles8000 = 0x10;
constexpr std::uint8_t kLcdcBackgroundOn = 0x01;
constexpr int kSpritePaletteRam = 32;       // palette RAM: background entries first
constexpr int kUserSpriteColours = 0x40;    // in the runtime's copy: sprites after background
constexpr std::uint16_t kMapsStart = 0x9800;
constexpr std::uint16_t kMapsEnd = 0xA000;
constexpr std::uint16_t kWramBankStart = 0xD000;
constexpr int kRecordEntries = 256;

void Write16(Emulator& emulator, std::uint16_t address, int segment, std::uint16_t word) {
    emulator.Write(address, segment, static_cast<std::uint8_t>(word & 0xFF));
    emulator.Write(static_cast<std::uint16_t>(address + 1), segment, static_cast<std::uint8_t>(word >> 8));
}

// A hash of a run of bytes, eight at a time: it runs every frame over the whole project.
void Mix(std::uint64_t& hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    for (; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
}

}  // namespace

std::uint16_t ColourWord(const Model& model, int set, int palette, int colour) {
    const auto& rgb = model.Pals[set][palette][colour];
    return static_cast<std::uint16_t>((rgb[2] & 0x1F) << 10 | (rgb[1] & 0x1F) << 5 | (rgb[0] & 0x1F));
}

int ShadeOf(std::uint8_t shadeRegister, int pixelValue) { return (shadeRegister >> (2 * pixelValue)) & 3; }

void PushColours(Emulator& emulator, const Model& model) {
    using namespace runtime;
    // With LCDC bit 0 clear the background shows white, as under a BGP of 0 (the runtime
    // does the same).
    const std::uint8_t bgp = (emulator.IoRegister(kRegisterLcdc) & kLcdcBackgroundOn) ? emulator.IoRegister(kRegisterBgp) : 0;
    const std::uint8_t obp0 = emulator.IoRegister(kRegisterObp0);
    for (int palette = 0; palette < kPalettes; ++palette) {
        for (int colour = 0; colour < kColours; ++colour) {
            const std::uint16_t background = ColourWord(model, kBackgroundSet, palette, colour);
            const std::uint16_t sprite = ColourWord(model, kSpriteSet, palette, colour);
            const auto at = static_cast<std::uint16_t>(kUserColours + 8 * palette + 2 * colour);
            Write16(emulator, at, kRuntimeWramBank, background);
            Write16(emulator, static_cast<std::uint16_t>(at + kUserSpriteColours), kRuntimeWramBank, sprite);
        }
        for (int value = 0; value < kColours; ++value) {
            emulator.SetPaletteRam(palette * 4 + value, ColourWord(model, kBackgroundSet, palette, ShadeOf(bgp, value)));
            emulator.SetPaletteRam(kSpritePaletteRam + palette * 4 + value,
                                   ColourWord(model, kSpriteSet, palette, ShadeOf(obp0, value)));
        }
    }
    // The runtime is not told to rewrite its palettes: palette RAM already holds what it
    // would write, and a rewrite of every palette takes the vertical blank in which it
    // colours the sprites, which would then flicker for a frame.
}

AssignmentPush PushAssignments(Emulator& emulator, Model& model) {
    using namespace runtime;
    AssignmentPush push;
    const TileDictionary dictionary = BuildTileDictionary(model);
    push.dictionaryEntries = dictionary.entries;
    push.dictionaryParts = dictionary.parts;

    // The dictionary goes into WRAM, and the runtime reads it there from now on, also when it
    // read the ROM's own (MBC1) or had none at start-up: each bank gets the probe code that
    // the slots below the reserved ones hold, from the runtime's own bank.
    const int firstSlotByte = kDictionaryReservedSlots * 2;
    for (int part = 0; part < dictionary.parts; ++part) {
        const int bank = kDictionaryFirstWramBank + part;
        for (int i = 0; i < firstSlotByte; ++i)
            emulator.Write(static_cast<std::uint16_t>(kProbeCode + i), bank,
                           emulator.Read(static_cast<std::uint16_t>(kProbeCode + i), kRuntimeWramBank));
        for (int i = firstSlotByte; i < kDictionaryPartBytes; ++i)
            emulator.Write(static_cast<std::uint16_t>(kWramBankStart + i), bank,
                           dictionary.image[std::size_t(part) * kDictionaryPartBytes + i]);
    }
    emulator.Write(kDictionaryInRom, kRuntimeWramBank, 0);
    emulator.Write(kBlankPalette, kRuntimeWramBank, 0xFF);  // the blank tile is looked up again

    // The settings the runtime took from the colour ROM at start-up, as the writer fills them.
    FillColourSettings(model, dictionary.parts);
    const int used = model.ExtraBankCode[sidefile::kSettingPalettesUsed] | 1;
    emulator.Write(kPalettesUsed, kRuntimeWramBank, static_cast<std::uint8_t>(used));
    int count = 0;  // the list the shades follow, as the start-up makes it
    for (int palette = 0; palette < kPalettes; ++palette)
        if (used >> palette & 1)
            emulator.Write(static_cast<std::uint16_t>(kUsedList + count++), kRuntimeWramBank, static_cast<std::uint8_t>(kUsedListIndex + 8 * palette));
    for (int rest = count; rest < kPalettes; ++rest)  // the list ends at its first byte under 0x80
        emulator.Write(static_cast<std::uint16_t>(kUsedList + rest), kRuntimeWramBank, 0);
    emulator.Write(kUsedCount, kRuntimeWramBank, static_cast<std::uint8_t>(count));
    emulator.Write(kDictionaryBanks, kRuntimeWramBank, static_cast<std::uint8_t>(dictionary.parts));
    // A palette no tile had until now was never written to palette RAM.
    PushColours(emulator, model);

    // Records of the tiles now in VRAM, by the number a map entry or sprite names them.
    const VideoState video = emulator.Video();
    std::array<std::uint8_t, kVramTiles> record{};
    for (int tile = 0; tile < kVramTiles; ++tile) {
        record[tile] = static_cast<std::uint8_t>(dictionary.parts ? LookUpTile(dictionary, video.vram + 16 * tile) : 0);
        push.colouredVramTiles += record[tile] != 0;
    }
    int spriteRecords = 0;
    std::array<std::uint8_t, kRecordEntries> unsignedRecords{}, signedRecords{};
    for (int n = 0; n < kRecordEntries; ++n) {
        unsignedRecords[n] = record[n];
        signedRecords[n] = n < 128 ? record[256 + n] : record[n];
        spriteRecords += record[n] != 0;
        emulator.Write(static_cast<std::uint16_t>(kRecordsUnsigned + n), 1, unsignedRecords[n]);
        emulator.Write(static_cast<std::uint16_t>(kRecordsSigned + n), 1, signedRecords[n]);
    }
    Write16(emulator, kSpriteRecordCount, kRuntimeWramBank, static_cast<std::uint16_t>(spriteRecords));

    // Sprites already in OAM: the runtime gives them their records after each OAM transfer,
    // which comes after the next frame is drawn.
    constexpr std::uint16_t kOam = 0xFE00;
    for (int sprite = 0; sprite < 40; ++sprite) {
        const auto attribute = static_cast<std::uint16_t>(kOam + 4 * sprite + 3);
        const std::uint8_t tile = video.oam[4 * sprite + 2];
        emulator.Write(attribute, 0, static_cast<std::uint8_t>((video.oam[4 * sprite + 3] & 0xF8) | unsignedRecords[tile]));
    }

    // Every map entry's attribute: the record of the tile it names under the addressing in use.
    const auto& names = (emulator.IoRegister(kRegisterLcdc) & kLcdcTiles8000) ? unsignedRecords : signedRecords;
    for (std::uint16_t at = kMapsStart; at < kMapsEnd; ++at) emulator.Write(at, 1, names[emulator.Read(at, 0)]);
    return push;
}

ProjectFingerprint FingerprintOf(const Model& model) {
    ProjectFingerprint print;
    print.colours = model.Pals;
    std::uint64_t hash = 0xCBF29CE484222325ull;
    Mix(hash, model.TileOffset.data(), sizeof(model.TileOffset));
    Mix(hash, model.TilePal.data(), sizeof(model.TilePal));
    Mix(hash, model.TileEdited.data(), sizeof(model.TileEdited));
    for (int bank = 0; bank < kMaxBanks; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile)
            if (model.TileEdited[bank][tile]) Mix(hash, model.EditedTile[bank][tile].data(), kTileBytes);
    print.tiles = hash;
    return print;
}

}  // namespace dapplix
