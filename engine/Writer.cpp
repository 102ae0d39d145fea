#include "Writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Bits.h"
#include "Files.h"
#include "Mapper.h"
#include "Rom.h"
#include "Scan.h"
#include "SideFileLayout.h"
#include "TileDictionary.h"

namespace dapplix {
namespace {

constexpr std::size_t kPaletteAreaStride = 16;  // bytes per palette number in the palette area
constexpr std::size_t kColourStride = 4;        // background word, then sprite word
constexpr std::size_t kHeaderChecksumFirst = 0x134;
constexpr std::size_t kHeaderChecksumLast = 0x14C;

// Sum of a run of bytes. The colour ROM is 1 MiB, so this is most of the writer's time:
// on x86 one SAD instruction adds sixteen bytes at once.
std::uint64_t ByteSum(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t total = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = zero;
    for (; size - i >= 16; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        lanes = _mm_add_epi64(lanes, _mm_sad_epu8(chunk, zero));
    }
    total = static_cast<std::uint64_t>(_mm_cvtsi128_si64(lanes)) +
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lanes, lanes)));
#endif
    for (; i < size; ++i) total += bytes[i];
    return total;
}

// Redrawn tiles of a source bank go over its ROM bytes; an absent tile has no place.
void ApplyEditedTiles(const Model& model, int bank, std::uint8_t* out) {
    const auto& edited = model.TileEdited[bank];
    for (auto next = std::find(edited.begin(), edited.end(), true); next != edited.end();
         next = std::find(next + 1, edited.end(), true)) {
        const int tile = static_cast<int>(next - edited.begin());
        if (TileAbsent(model, bank, tile)) continue;
        const auto& image = model.EditedTile[bank][tile];
        std::copy(image.begin(), image.end(), out + TileByteOffset(model, bank, tile));
    }
}

}  // namespace

void FillPaletteArea(Model& model) {
    for (int palette = 0; palette < kPalettes; ++palette) {
        for (int colour = 0; colour < kColours; ++colour) {
            std::uint8_t* at = model.ExtraBankCode.data() + palette * kPaletteAreaStride + colour * kColourStride;
            for (int set : {kBackgroundSet, kSpriteSet}) {
                const auto& c = model.Pals[set][palette][colour];
                PutWordLowFirst(at + (set == kBackgroundSet ? 0 : 2), ColorWord(c[0], c[1], c[2]));
            }
        }
    }
}

void FillColourSettings(Model& model, int dictionaryParts) {
    int used = 1;  // palette 0 is always on screen somewhere
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank)
        for (int tile = 0; tile < kTilesPerBank; ++tile) used |= 1 << (model.TilePal[bank][tile] & 7);
    model.ExtraBankCode[sidefile::kSettingPalettesUsed] = static_cast<std::uint8_t>(used);
    model.ExtraBankCode[sidefile::kSettingDictionaryParts] = static_cast<std::uint8_t>(dictionaryParts);
    model.ExtraBankCode[sidefile::kSettingFlags] = model.StoreHooksPos != 0 ? sidefile::kFlagStoreHooks : 0;
    // Sprites on OBP1 keep their own shades through a twin: a sprite palette no tile uses,
    // which the colour ROM fills with the palette's colours under OBP1. Palettes in use take
    // the free ones in order; the rest share their palette with OBP0.
    int free = ~used & 0xFF;
    for (int palette = 0; palette < kPalettes; ++palette) {
        int twin = palette;
        if ((used >> palette & 1) && free != 0) {
            twin = std::countr_zero(static_cast<unsigned>(free));
            free &= free - 1;
        }
        model.ExtraBankCode[sidefile::kSettingTwins + std::size_t(palette)] = static_cast<std::uint8_t>(twin);
    }
}

namespace {

// Which runs of 16 bytes may be images the dictionary holds: a bit per 20-bit mix of the
// first four bytes, set for every recorded image. Most runs of a bank are code, data or
// tiles without a palette, and one memory read rules them out.
class ImageFilter {
public:
    explicit ImageFilter(const TileDictionary& dictionary) : bits_(kSize / 64) {
        for (const TileImage& image : dictionary.recorded) {
            const std::uint32_t key = Key(image.data());
            bits_[key >> 6] |= std::uint64_t(1) << (key & 63);
        }
    }
    bool MayHold(const std::uint8_t* bytes) const {
        const std::uint32_t key = Key(bytes);
        return (bits_[key >> 6] >> (key & 63)) & 1;
    }

private:
    static constexpr int kBits = 20;
    static constexpr std::uint32_t kSize = std::uint32_t(1) << kBits;
    static std::uint32_t Key(const std::uint8_t* bytes) {
        std::uint32_t word;
        std::memcpy(&word, bytes, sizeof word);
        return (word * 0x9E3779B1u) >> (32 - kBits);
    }
    std::vector<std::uint64_t> bits_;
};

}  // namespace

// The table of a bank the game may copy tiles from (output bank b + 32, which MBC1 shows
// at 0x4000 in place of bank b while its upper bank bits are 1): at every byte that starts
// 16 bytes within the bank, kTableKnown | the palette the runtime's look-up of those bytes
// would find (0: none), so that a copy loop reading a tile from there, at whatever offset,
// can skip the look-up; 0 in the last 15 bytes, where the runtime looks the tile up. The
// mark at the table's last byte tells a table from bank 33, which takes its place while
// the game has bank 1 in view. Writes into a zeroed 16 KiB table and returns the sum of
// the bytes written.
static std::uint64_t WritePaletteTable(const Model& model, const TileDictionary& dictionary, const ImageFilter& filter,
                                       int bank, const std::uint8_t* source, std::uint8_t* table) {
    std::uint64_t sum = table[kBankSize - 1] = kPaletteTableMark;
    if (bank > model.BankCount || dictionary.parts == 0) return sum;
    int palette = 0;
    for (int at = 0; at + kTileBytes <= kBankSize; ++at) {
        const std::uint8_t* bytes = source + at;
        // A run of one byte value (padding, a blank tile) answers as the run before it.
        if (!filter.MayHold(bytes)) palette = 0;
        else if (at == 0 || std::memcmp(bytes, bytes - 1, kTileBytes) != 0) palette = LookUpTile(dictionary, bytes);
        table[at] = static_cast<std::uint8_t>(kTableKnown | palette);
        sum += table[at];
    }
    return sum;
}

std::uint8_t HeaderChecksum(const std::uint8_t* rom) {
    std::uint8_t sum = 0;
    for (std::size_t i = kHeaderChecksumFirst; i <= kHeaderChecksumLast; ++i)
        sum = static_cast<std::uint8_t>(sum - rom[i] - 1);
    return sum;
}

std::uint16_t GlobalChecksum(const std::uint8_t* rom, std::size_t size) {
    std::uint64_t total = ByteSum(rom, size);
    if (size > kGlobalChecksum + 1) total -= rom[kGlobalChecksum] + rom[kGlobalChecksum + 1];
    return static_cast<std::uint16_t>(total);
}

// Without a tile that has a palette the copy and store hooks have nothing to do: the copy
// loops get their own instructions back, so that screens load as fast as in the monochrome game.
static void UnhookCopyLoops(const Model& model, std::uint8_t* bank0) {
    const int blockFirst = model.DmaHookPos - 1, blockLast = blockFirst + Bank0BlockLength(model) - 1;
    const auto redirections = StoreRedirections(model);
    for (auto it = redirections.rbegin(); it != redirections.rend(); ++it) {
        const Redirection& r = *it;
        const int length = static_cast<int>(r.replaced.size());
        for (int at = 0; at + length <= kBankSize; ++at) {
            if (at + length > blockFirst && at <= blockLast) continue;
            if (std::equal(r.replaced.begin(), r.replaced.end(), bank0 + at)) std::copy(r.original.begin(), r.original.end(), bank0 + at);
        }
    }
}

std::vector<std::uint8_t> BuildColorRom(Model& model) {
    std::vector<std::uint8_t> rom(kColorRomSize, 0);
    const TileDictionary dictionary = BuildTileDictionary(model);
    auto bankStart = [&rom](int bank) { return rom.data() + std::size_t(bank) * kBankSize; };
    // The global checksum is gathered while the image is built: most of it is zero banks,
    // which add nothing.
    std::uint64_t sum = 0;

    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        std::uint8_t* out = bankStart(bank);
        std::copy(model.RomBank[bank].begin(), model.RomBank[bank].end(), out);
        ApplyEditedTiles(model, bank, out);
        if (bank == 0) {
            // The scan changed the colour flag and the size code, and an MBC2 cartridge is
            // declared as MBC1 here, so the boot ROM would refuse the old header checksum.
            // The global sum is kept right too, for the tools that check it; its own two
            // bytes do not count.
            if (dictionary.parts == 0 && model.ColourCodePlaced) UnhookCopyLoops(model, out);
            DeclareColourRomMapper(out);
            out[kHeaderChecksum] = HeaderChecksum(out);
            out[kGlobalChecksum] = 0;
            out[kGlobalChecksum + 1] = 0;
        }
        sum += ByteSum(out, kBankSize);
    }
    // Banks BankCount+1..31 stay zero. Bank 32 holds the tile dictionary, bank 33 starts with
    // the colour code (the rest of it zero: the set-up clears VRAM from there).
    std::copy(dictionary.image.begin(), dictionary.image.end(), bankStart(kDictionaryBank));
    sum += ByteSum(dictionary.image.data(), dictionary.image.size());
    FillPaletteArea(model);
    FillColourSettings(model, dictionary.parts);
    std::uint8_t* colourBank = bankStart(kColorCodeBank);
    std::copy(model.ExtraBankCode.begin(), model.ExtraBankCode.end(), colourBank);
    const std::size_t rest = std::min(model.ExtraBankCodeRest.size(), sidefile::kColourCodeLimit - model.ExtraBankCode.size());
    std::copy_n(model.ExtraBankCodeRest.begin(), rest, colourBank + model.ExtraBankCode.size());
    sum += ByteSum(colourBank, model.ExtraBankCode.size() + rest);
    const ImageFilter filter(dictionary);
    for (int bank = kFirstShownBank; bank < kMaxBanks; ++bank)
        sum += WritePaletteTable(model, dictionary, filter, bank, bankStart(bank), bankStart(bank + kPaletteTableBankBase));

    rom[kGlobalChecksum] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    rom[kGlobalChecksum + 1] = static_cast<std::uint8_t>(sum & 0xFF);
    return rom;
}

bool WriteColorRom(Model& model, const std::string& path, std::string& error) {
    if (!model.ColourCodePlaced) {
        error = kMsgCodeNotPlaced;
        return false;
    }
    const auto rom = BuildColorRom(model);
    return WriteFileAtomically(path, rom, error);
}

}  // namespace dapplix
