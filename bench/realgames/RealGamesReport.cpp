// Comparing a colour run with its monochrome run, and the table the realgames tool prints.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <unordered_map>

#include "ColourRun.h"
#include "RealGamesReport.h"

namespace dapplix::e2e {

namespace {

constexpr double kPictureFloor = 0.99;  // below this a frame counts as a different picture
constexpr double kShadeFloor = 0.98;
constexpr int kColouredWithin = 60;

// A frame's grey levels renumbered 0..count-1 in order of first appearance, so that a pair of
// frames is compared through a small table rather than 256 x 256.
struct Levels {
    std::vector<std::uint8_t> ids;
    int count = 0;
};

Levels LevelsOf(const std::vector<std::uint8_t>& grey) {
    std::array<int, 256> id;
    id.fill(-1);
    Levels levels;
    levels.ids.resize(grey.size());
    for (std::size_t i = 0; i < grey.size(); ++i) {
        int& level = id[grey[i]];
        if (level < 0) level = levels.count++;
        levels.ids[i] = static_cast<std::uint8_t>(level);
    }
    return levels;
}

Agreement Agree(const Levels& colourLevels, const Levels& monoLevels, const std::vector<std::uint8_t>& colour,
                const std::vector<std::uint8_t>& mono) {
    if (colour.size() != mono.size() || colour.empty()) throw std::invalid_argument("frames of different sizes");
    const int columns = monoLevels.count;
    std::vector<int> pairs(std::size_t(colourLevels.count) * columns, 0);
    int sameShade = 0;
    for (std::size_t i = 0; i < colour.size(); ++i) {
        ++pairs[colourLevels.ids[i] * columns + monoLevels.ids[i]];
        sameShade += (colour[i] >> 6) == (mono[i] >> 6);
    }
    // The best mapping each way sends a level to the level it meets most often.
    long colourToMono = 0, monoToColour = 0;
    for (int c = 0; c < colourLevels.count; ++c)
        colourToMono += *std::max_element(pairs.begin() + c * columns, pairs.begin() + (c + 1) * columns);
    for (int m = 0; m < columns; ++m) {
        int most = 0;
        for (int c = 0; c < colourLevels.count; ++c) most = std::max(most, pairs[c * columns + m]);
        monoToColour += most;
    }
    const double pixels = static_cast<double>(colour.size());
    return {static_cast<double>(std::min(colourToMono, monoToColour)) / pixels, sameShade / pixels};
}

bool Better(const Agreement& a, int lagA, const Agreement& b, int lagB) {
    if (a.picture != b.picture) return a.picture > b.picture;
    if (a.shades != b.shades) return a.shades > b.shades;
    return std::abs(lagA) < std::abs(lagB);
}

using TileKey = std::array<std::uint64_t, 2>;

TileKey KeyOf(const std::uint8_t* bytes) {
    TileKey key{};
    for (int i = 0; i < 8; ++i) {
        key[0] = key[0] << 8 | bytes[i];
        key[1] = key[1] << 8 | bytes[i + 8];
    }
    return key;
}

bool Blank(const TileKey& key) { return key[0] == 0 && key[1] == 0; }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

Agreement CompareFrames(const std::vector<std::uint8_t>& colour, const std::vector<std::uint8_t>& mono) {
    return Agree(LevelsOf(colour), LevelsOf(mono), colour, mono);
}

PictureComparison ComparePictures(const MeasuredRun& monoRun, const MeasuredRun& colourRun, int lagBehind) {
    PictureComparison result;
    const std::vector<Picture>&mono = monoRun.pictures, &colour = colourRun.pictures;
    const int frames = static_cast<int>(std::min(mono.size(), colour.size()));
    std::vector<Levels> monoLevels, colourLevels;
    for (int f = 0; f < frames; ++f) {
        monoLevels.push_back(LevelsOf(mono[f].grey));
        colourLevels.push_back(LevelsOf(colour[f].grey));
    }
    // Games repeat pictures a lot; each pair of distinct pictures is compared once.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Agreement> known;
    auto agreement = [&](int f, int g) {
        const auto key = std::make_pair(colour[f].hash, mono[g].hash);
        const auto it = known.find(key);
        if (it != known.end()) return it->second;
        return known[key] = Agree(colourLevels[f], monoLevels[g], colour[f].grey, mono[g].grey);
    };
    auto monoChanged = [&](int g) { return g == 0 || mono[g].hash != mono[g - 1].hash; };

    double shadeSum = 0;
    int compared = 0;
    for (int f = 0; f < frames; ++f) {
        FrameComparison frame;
        const int lo = std::max(0, f - lagBehind), hi = std::min(frames - 1, f + kLagAhead);
        for (int g = lo; g <= hi; ++g) {
            const Agreement a = agreement(f, g);
            if (frame.match < 0 || Better(a, f - g, frame.agreement, f - frame.match)) {
                frame.match = g;
                frame.agreement = a;
            }
        }
        const bool colourChanged = f > 0 && colour[f].hash != colour[f - 1].hash;
        if (colourChanged && frame.agreement.picture >= kPictureFloor) {
            bool onePicture = true;
            int changes = 0, changedAt = -1;
            for (int g = lo; g <= hi; ++g) {
                if (agreement(f, g).picture != frame.agreement.picture) continue;
                onePicture = onePicture && mono[g].hash == mono[frame.match].hash;
                if (monoChanged(g)) {
                    ++changes;
                    changedAt = g;
                }
            }
            if (onePicture && changes == 1) {
                frame.lagKnown = true;
                frame.match = changedAt;  // the same picture, so the same agreements
                const int lag = f - changedAt;
                if (result.startLagFrame < 0) {
                    result.startLag = lag;
                    result.startLagFrame = f;
                }
                if (f >= kStartUpFrames) {
                    result.maxLagLater = result.lagSamples == 0 ? lag : std::max(result.maxLagLater, lag);
                    ++result.lagSamples;
                }
            }
        }
        if (f >= kStartUpFrames) {
            frame.foreign = CountForeign(monoRun.record, colourRun.record.frames[f], lo, hi);
            result.foreignMax = std::max(result.foreignMax, frame.foreign);
            if (frame.foreign > 0) {
                ++result.foreignFrames;
                if (result.firstForeignFrame < 0) result.firstForeignFrame = f;
            }
            result.pictureMin = std::min(result.pictureMin, frame.agreement.picture);
            result.shadeMin = std::min(result.shadeMin, frame.agreement.shades);
            if (frame.agreement.picture < kPictureFloor) {
                ++result.pictureBelow;
                if (result.firstPictureBelow < 0) result.firstPictureBelow = f;
            }
            result.shadeBelow += frame.agreement.shades < kShadeFloor;
            shadeSum += frame.agreement.shades;
            ++compared;
        }
        result.frames.push_back(frame);
    }
    result.shadeMean = compared ? shadeSum / compared : 1;

    // A fade the colour run never follows can still match frame by frame: the colour frames
    // that keep the old shades agree with the mono frames before the change. So each change
    // of the shade registers is looked for in the colour run's palette RAM as well.
    const auto& monoFrames = monoRun.record.frames;
    const auto& colourFrames = colourRun.record.frames;
    const int recorded = static_cast<int>(std::min(monoFrames.size(), colourFrames.size()));
    for (int g = std::max(1, kStartUpFrames); g < recorded; ++g) {
        const FrameRecord &now = monoFrames[std::size_t(g)], &before = monoFrames[std::size_t(g - 1)];
        if (now.bgp == before.bgp && now.obp0 == before.obp0) continue;
        ++result.shadeChanges;
        for (int f = std::max(1, g - kLagAhead); f <= std::min(recorded - 1, g + lagBehind); ++f) {
            if (colourFrames[std::size_t(f)].palettes != colourFrames[std::size_t(f - 1)].palettes) {
                ++result.shadeChangesFollowed;
                break;
            }
        }
    }
    return result;
}

TileGrids GraphicsGrids(const std::vector<std::uint8_t>& rom, const RunRecord& mono) {
    std::vector<TileKey> shown;
    for (const FrameRecord& frame : mono.frames) {
        for (int tile = 0; tile < 384; ++tile) {
            const TileKey key = KeyOf(frame.vram.data() + tile * kTileBytes);
            if (!Blank(key)) shown.push_back(key);
        }
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    TileGrids grids{};
    for (std::size_t bank = 0; bank < kMaxBanks && (bank + 1) * kBankSize <= rom.size(); ++bank) {
        // Distinct tiles, so that a run of one byte (which holds its tile at every offset) counts once.
        std::array<std::vector<TileKey>, kTileBytes> found;
        for (int at = 0; at + kTileBytes <= kBankSize; ++at) {
            const TileKey key = KeyOf(rom.data() + bank * kBankSize + at);
            if (std::binary_search(shown.begin(), shown.end(), key)) found[at % kTileBytes].push_back(key);
        }
        std::size_t best = 0;
        for (int offset = 0; offset < kTileBytes; ++offset) {
            std::vector<TileKey>& keys = found[offset];
            std::sort(keys.begin(), keys.end());
            const std::size_t distinct = std::unique(keys.begin(), keys.end()) - keys.begin();
            if (distinct > best) {
                best = distinct;
                grids[bank] = offset;
            }
        }
    }
    return grids;
}

RomTiles::RomTiles(const std::vector<std::uint8_t>& rom, const TileGrids& grids) {
    for (std::size_t bank = 0; bank < kMaxBanks && (bank + 1) * kBankSize <= rom.size(); ++bank) {
        for (int tile = 0; tile * kTileBytes + grids[bank] + kTileBytes <= kBankSize; ++tile)
            sorted_.push_back(KeyOf(rom.data() + bank * kBankSize + tile * kTileBytes + grids[bank]));
    }
    std::sort(sorted_.begin(), sorted_.end());
    sorted_.erase(std::unique(sorted_.begin(), sorted_.end()), sorted_.end());
}

bool RomTiles::Contains(const std::uint8_t* bytes) const {
    return std::binary_search(sorted_.begin(), sorted_.end(), KeyOf(bytes));
}

namespace {

// One place a tile can show: a map entry or a sprite slot, and the tile it shows since when.
struct Showing {
    TileKey key{};
    int since = 0;
    bool active = false, coloured = false;
};

class ReachCounter {
public:
    explicit ReachCounter(Reach& reach) : reach_(reach) {}

    void Show(Showing& place, const TileKey& key, bool coloured, int frame) {
        if (!place.active || place.key != key) {
            Leave(place, frame);
            place = {key, frame, true, false};
            ++reach_.appearances;
        }
        if (coloured && !place.coloured) {
            place.coloured = true;
            const int delay = frame - place.since;
            reach_.delays.push_back(delay);
            ++reach_.settled;
            reach_.colouredWithin60 += delay <= kColouredWithin;
        }
    }

    // A tile that goes without colour for 60 frames counts against the share coloured in time;
    // one that leaves sooner says nothing either way.
    void Leave(Showing& place, int frame) {
        if (place.active && !place.coloured && frame - place.since >= kColouredWithin) ++reach_.settled;
        place.active = false;
    }

private:
    Reach& reach_;
};

// The map entry (0..2047 from 0x9800) that screen pixel (x, y) shows, window included.
int MapEntryAt(const FrameRecord& frame, int x, int y) {
    const bool window = (frame.lcdc & 0x20) && frame.wx <= 166 && frame.wy <= 143 && y >= frame.wy && x + 7 >= frame.wx;
    if (window) return ((frame.lcdc & 0x40) ? 0x400 : 0) + ((y - frame.wy) / 8) * 32 + (x + 7 - frame.wx) / 8;
    const int bx = (x + frame.scx) & 0xFF, by = (y + frame.scy) & 0xFF;
    return ((frame.lcdc & 0x08) ? 0x400 : 0) + (by / 8) * 32 + bx / 8;
}

// Where in VRAM (offset from 0x8000) the tile a map entry names starts, by LCDC bit 4.
int BackgroundTile(const FrameRecord& frame, std::uint8_t number) {
    return (frame.lcdc & 0x10) ? number * kTileBytes : 0x1000 + static_cast<std::int8_t>(number) * kTileBytes;
}

}  // namespace

Reach MeasureReach(const RunRecord& colour, const RomTiles& tiles) {
    Reach reach;
    ReachCounter counter(reach);
    std::vector<Showing> entries(0x800), sprites(40);
    const int frames = static_cast<int>(colour.frames.size());
    for (int f = 0; f < frames; ++f) {
        const FrameRecord& frame = colour.frames[f];
        const bool counted = f >= kStartUpFrames;
        int cells = 0, coloured = 0;
        std::vector<bool> shown(entries.size(), false), shownSprite(sprites.size(), false);
        // A monochrome game hides background and window with LCDC bit 0 (in colour it would
        // only lose priority), and everything with the LCD off.
        if ((frame.lcdc & 0x80) && (frame.lcdc & 0x01)) {
            for (int cy = 0; cy < 18; ++cy) {
                for (int cx = 0; cx < 20; ++cx) {
                    const int entry = MapEntryAt(frame, cx * 8 + 4, cy * 8 + 4);
                    const std::uint8_t* bytes = frame.vram.data() + BackgroundTile(frame, frame.vram[0x1800 + entry]);
                    const TileKey key = KeyOf(bytes);
                    if (Blank(key)) continue;
                    reach.shownCells += counted;
                    if (!tiles.Contains(bytes)) continue;
                    const std::uint8_t attribute = frame.attributes[entry];
                    ++cells;
                    coloured += (attribute & 7) != 0;
                    if (counted) reach.attributeOddBits += (attribute & 0xF8) != 0;
                    if (!shown[entry]) counter.Show(entries[entry], key, attribute & 7, f);
                    shown[entry] = true;
                }
            }
        }
        if ((frame.lcdc & 0x80) && (frame.lcdc & 0x02)) {
            const bool tall = frame.lcdc & 0x04;
            for (int slot = 0; slot < 40; ++slot) {
                const std::uint8_t* sprite = frame.oam.data() + slot * 4;
                if (sprite[0] == 0 || sprite[0] >= 160 || sprite[1] == 0 || sprite[1] >= 168) continue;
                const int number = tall ? (sprite[2] & 0xFE) : sprite[2];
                const std::uint8_t* top = frame.vram.data() + number * kTileBytes;
                TileKey key = KeyOf(top);
                bool shownTile = !Blank(key), inRom = shownTile && tiles.Contains(top);
                if (tall) {  // either half of a tall sprite will do; the key covers both
                    const TileKey bottom = KeyOf(top + kTileBytes);
                    shownTile = shownTile || !Blank(bottom);
                    inRom = inRom || (!Blank(bottom) && tiles.Contains(top + kTileBytes));
                    key[0] ^= bottom[1];
                    key[1] ^= bottom[0];
                }
                reach.shownCells += counted && shownTile;
                if (!inRom) continue;
                ++cells;
                coloured += (sprite[3] & 7) != 0;
                counter.Show(sprites[slot], key, sprite[3] & 7, f);
                shownSprite[slot] = true;
            }
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!shown[i]) counter.Leave(entries[i], f);
        }
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            if (!shownSprite[i]) counter.Leave(sprites[i], f);
        }
        if (counted) {
            reach.cells += cells;
            reach.colouredCells += coloured;
        }
        reach.perFrame.push_back({cells, coloured});
    }
    for (Showing& place : entries) counter.Leave(place, frames);
    for (Showing& place : sprites) counter.Leave(place, frames);
    return reach;
}

HookCosts SummariseHooks(const HookCalls& calls) {
    HookCosts costs;
    std::map<int, double> perFrame;
    auto widen = [](int& low, int& high, int value) {
        low = low < 0 ? value : std::min(low, value);
        high = std::max(high, value);
    };
    for (const DmaHookCall& call : calls.dma) {
        if (call.frame < kStartUpFrames) continue;
        perFrame[call.frame] += call.cycles;
        if (!call.lcdOn) continue;
        widen(costs.entryLineMin, costs.entryLineMax, call.entryLine);
        widen(costs.exitLineMin, costs.exitLineMax, call.exitLine);
        if (call.vblankKnown) costs.vblankLeft.push_back(call.vblankLeft);
    }
    for (const auto& [frame, cycles] : perFrame) costs.dmaPerFrame.push_back(cycles);
    for (const CopyHookCall& call : calls.copy) costs.copyPerCall.push_back(call.cycles);
    return costs;
}

std::uint64_t PictureHash(const std::vector<std::uint8_t>& grey) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const std::uint8_t level : grey) hash = (hash ^ level) * 1099511628211ull;
    return hash;
}

MeasuredRun MeasureRun(const std::vector<std::uint8_t>& rom, RunOptions options) {
    MeasuredRun run;
    options.atFrame = [&run](const Emulator& emulator, int) {
        Picture picture;
        picture.grey.resize(kScreenPixels);
        for (int y = 0; y < kScreenHeight; ++y) {
            for (int x = 0; x < kScreenWidth; ++x) {
                // Luma weights that add up to 256, so that a grey stays itself.
                const std::uint32_t pixel = emulator.Pixel(x, y);
                const unsigned r = pixel & 0xFF, g = (pixel >> 8) & 0xFF, b = (pixel >> 16) & 0xFF;
                picture.grey[y * kScreenWidth + x] = static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
            }
        }
        picture.hash = PictureHash(picture.grey);
        run.pictures.push_back(std::move(picture));
    };
    run.record = RecordRun(rom, options);
    return run;
}

std::shared_ptr<const MeasuredRun> RecordMonoRun(const std::vector<std::uint8_t>& rom, int frames) {
    RunOptions options;
    options.frames = frames;
    options.monochromeModel = true;
    return std::make_shared<const MeasuredRun>(MeasureRun(rom, options));
}

const char* ProjectName(GameProject project) { return project == GameProject::None ? "none" : "every tile"; }

GameResult RunGame(const std::string& path, GameProject project, const GameOptions& options,
                   std::shared_ptr<const MeasuredRun> mono) {
    GameResult result;
    result.project = project;
    result.options = options;
    // Every tile is given a palette on the grid that lines up with the game's graphics, as a
    // user would set it: that takes the monochrome run first.
    TileGrids grids{};
    if (project == GameProject::EveryTile) {
        const std::vector<std::uint8_t> rom = ReadBinaryFile(path);
        if (!mono) mono = RecordMonoRun(rom, options.frames);
        grids = GraphicsGrids(rom, mono->record);
    }
    result.game = ColourGame(path, options.sideFileDir, [project, &grids](Model& model) {
        if (project != GameProject::EveryTile) return;
        for (int bank = 0; bank <= model.BankCount; ++bank) {
            model.TileOffset[bank] = static_cast<std::int16_t>(grids[bank]);
            for (int tile = 0; tile < kTilesPerBank; ++tile) model.TilePal[bank][tile] = static_cast<std::int16_t>(1 + (bank + tile) % 7);
        }
    });
    if (!result.game.placed) return result;
    result.grids = grids;
    result.mono = mono ? std::move(mono) : RecordMonoRun(result.game.mono, options.frames);
    HookTimer timer(result.game.dmaHook, result.game.copyHook);
    RunOptions run;
    run.frames = options.frames;
    run.observer = &timer;
    result.colour = MeasureRun(result.game.colour, run);
    result.hookCalls = std::move(timer.calls);
    result.pictures = ComparePictures(*result.mono, result.colour, options.lagBehind);
    result.hooks = SummariseHooks(result.hookCalls);
    if (project == GameProject::EveryTile) {
        result.reachMeasured = true;
        result.reach = MeasureReach(result.colour.record, RomTiles(result.game.mono, grids));
    }
    return result;
}

// --- The table ------------------------------------------------------------------------------

namespace {

template <typename... Values>
std::string Format(const char* format, Values... values) {
    std::string text(std::snprintf(nullptr, 0, format, values...), '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

// min / median / max (or min / median), or a dash when there is nothing to summarise.
std::string Spread(std::vector<double> values, bool withMax = true) {
    if (values.empty()) return "—";
    std::sort(values.begin(), values.end());
    const std::string low = Format("%.0f / %.0f", values.front(), Median(values));
    return withMax ? low + Format(" / %.0f", values.back()) : low;
}

std::string Share(long part, long whole) { return whole ? Format("%.1f%%", 100.0 * part / whole) : std::string("—"); }

constexpr int kColumns = 16;

// "Start 90, 210; A 150 (6 frames each); Right held 500-619": the script by key.
std::string DescribeKeys() {
    std::map<std::string, std::vector<const KeyPress*>> byKey;
    std::vector<std::string> order;
    for (const KeyPress& press : KeyScript()) {
        if (byKey[press.name].empty()) order.push_back(press.name);
        byKey[press.name].push_back(&press);
    }
    std::string text;
    for (const std::string& name : order) {
        text += (text.empty() ? "" : "; ") + name;
        const char* separator = " ";
        for (const KeyPress* press : byKey[name]) {
            text += separator + (press->to - press->from > 10 ? Format("held %d-%d", press->from, press->to - 1)
                                                              : Format("%d", press->from));
            separator = ", ";
        }
    }
    return text;
}

}  // namespace

std::string TableHeader() {
    return "| game | project | foreign VRAM bytes: max (frames) | RST 38: colour / mono | dropped VRAM writes: colour / mono "
           "| picture: min (frames < 0.99) | shades: min / mean (frames < 0.98) | shade register changes: followed "
           "| lag: start-up @ frame / max later "
           "| DMA hook cycles a frame: min / median / max | copy hook cycles a call: min / median / max "
           "| vertical blank left: min / median | DMA hook lines: in / out | reach: cells at the tile grid / coloured "
           "| reach: delay median / p90 | reach: coloured within 60 frames |\n"
           "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
}

std::string TableRow(const GameResult& result) {
    std::string row = "| " + result.game.name + " | " + ProjectName(result.project) + " | ";
    if (!result.game.placed) {
        row += "not coloured: " + result.game.reason + " |";
        for (int column = 3; column < kColumns; ++column) row += " — |";
        return row + "\n";
    }
    const PictureComparison& p = result.pictures;
    const HookCosts& h = result.hooks;
    row += Format("%d (%d) | %ld / %ld | %ld / %ld | ", p.foreignMax, p.foreignFrames, result.colour.record.rst38, result.mono->record.rst38,
                  result.colour.record.droppedVramWrites, result.mono->record.droppedVramWrites);
    row += Format("%.4f (%d) | %.4f / %.4f (%d) | ", p.pictureMin, p.pictureBelow, p.shadeMin, p.shadeMean, p.shadeBelow);
    row += p.shadeChanges == 0 ? std::string("— | ") : Format("%d of %d | ", p.shadeChangesFollowed, p.shadeChanges);
    row += (p.startLagFrame < 0 ? std::string("—") : Format("%d @ %d", p.startLag, p.startLagFrame)) + " / " +
           (p.lagSamples == 0 ? std::string("—") : Format("%d", p.maxLagLater)) + " | ";
    row += Spread(h.dmaPerFrame) + " | " + Spread(h.copyPerCall) + " | " + Spread(h.vblankLeft, false) + " | ";
    row += h.entryLineMin < 0 ? std::string("—")
                              : Format("%d–%d / %d–%d", h.entryLineMin, h.entryLineMax, h.exitLineMin, h.exitLineMax);
    row += " | ";
    if (!result.reachMeasured) return row + "— | — | — |\n";
    const Reach& r = result.reach;
    row += Share(r.cells, r.shownCells) + " / " + Share(r.colouredCells, r.cells) + " | ";
    if (r.delays.empty()) {
        row += "— | ";
    } else {
        std::vector<int> delays = r.delays;
        std::sort(delays.begin(), delays.end());
        row += Format("%d / %d | ", delays[delays.size() / 2], delays[std::min(delays.size() - 1, delays.size() * 9 / 10)]);
    }
    return row + Share(r.colouredWithin60, r.settled) + " |\n";
}

std::string TableLegend(const GameOptions& options) {
    const int behind = options.lagBehind;
    return Format("Each game ran %d frames on the mGBA core, monochrome (DMG model) and coloured (the model byte 0x143 "
                  "asks for), with the same keys at the same frames (each press 6 frames): ",
                  options.frames) +
           DescribeKeys() + ".\n" +
           Format("- foreign VRAM bytes: bytes of VRAM bank 0 in a colour frame f whose value the monochrome run never had"
                  " at that address in frames f-%d .. f+2 (at a frame's end, or stored there within the frame); the most in one"
                  " frame, and the frames with any (from frame 60).\n",
                  behind) +
           "- RST 38: opcode 0xFF executed. Dropped VRAM writes: stores to 0x8000-0x9FFF while the LCD was on and the"
           " PPU in mode 3.\n" +
           Format("- picture: for each colour frame f the best of the monochrome frames f-%d .. f+2: the share of pixels"
                  " that agree under the best mapping of grey levels (both ways, the smaller); shades: the same pair"
                  " compared shade by shade (grey / 64), which counts fades and palette effects (from frame 60).\n",
                  behind) +
           Format("- shade register changes: the frames from frame 60 where the monochrome run's BGP or OBP0 differs"
                  " from the frame before, and of those the ones the colour run answers by rewriting palette RAM"
                  " in frames g-2 .. g+%d (a colour run that never fades can still agree picture by picture, with"
                  " the monochrome frames before the fade).\n",
                  behind) +
           "- lag: f - g for a colour frame f whose picture just changed and its best mono match g, where g is the"
           " only frame of the window at which mono changed to that picture (agreement >= 0.99); the first such lag"
           " and its frame, and the largest from frame 60.\n"
           "- DMA hook: machine cycles from the hook's first instruction to its return, the game's own DMA routine"
           " left out, summed per frame (from frame 60); copy hook: the same per call; interrupts taken meanwhile are"
           " left out of both. Vertical blank left: cycles from the DMA hook's return to the end of line 153 (1140 in"
           " all; negative: past it), for calls entered in vertical blank with the LCD on; lines: the LY the hook was"
           " entered and left on.\n"
           "- reach (every tile): of the visible background cells (20 x 18, each cell's centre, window included) and"
           " visible sprites with a tile that is not blank, the share whose tile exists byte for byte at some bank's"
           " tile grid (16 t + the bank's tile offset, which the project lines up with the tiles the monochrome run"
           " shows), and of those the share shown with a palette other than 0 (from frame 60); the"
           " frames from such a tile appearing at a map entry or sprite slot to its palette (for those coloured); the"
           " share of appearances coloured within 60 frames (of those coloured or shown for 60 frames).\n";
}

std::string Notes(const GameResult& result) {
    std::string notes;
    const std::string who = result.game.name + " (" + ProjectName(result.project) + "): ";
    if (!result.game.placed) return who + "not coloured: " + result.game.reason + "\n";
    if (result.project == GameProject::EveryTile) {
        notes += who + Format("tile dictionary %d images, %d left out; tile offsets", result.game.dictionaryEntries,
                              result.game.dictionaryLeftOut);
        for (std::size_t bank = 0; bank * kBankSize < result.game.mono.size() && bank < kMaxBanks; ++bank)
            notes += Format(" %d", result.grids[bank]);
        notes += "\n";
    }
    if (!result.mono->record.stopped.empty()) notes += who + "monochrome run stopped: " + result.mono->record.stopped + "\n";
    if (!result.colour.record.stopped.empty()) notes += who + "colour run stopped: " + result.colour.record.stopped + "\n";
    const PictureComparison& p = result.pictures;
    if (p.firstForeignFrame >= 0) notes += who + Format("first foreign VRAM byte at frame %d\n", p.firstForeignFrame);
    if (result.colour.record.rst38 > 0) notes += who + Format("first RST 38 at frame %d\n", result.colour.record.firstRst38Frame);
    if (result.colour.record.droppedVramWrites > 0) {
        notes += who + Format("%ld dropped VRAM writes, %ld of them while a hook ran:", result.colour.record.droppedVramWrites,
                              result.hookCalls.droppedVramWrites);
        for (const DroppedWrite& drop : result.colour.record.firstDrops)
            notes += Format(" frame %d line %d %04X (%s, before %04X);", drop.frame, drop.line, drop.address, drop.where,
                            drop.pc);
        notes += "\n";
    }
    if (p.firstPictureBelow >= 0)
        notes += who + Format("first picture below 0.99 at frame %d (%.4f)\n", p.firstPictureBelow,
                              p.frames[p.firstPictureBelow].agreement.picture);
    if (result.reachMeasured && result.reach.attributeOddBits > 0)
        notes += who + Format("%ld visible attributes with bits 3-7 set\n", result.reach.attributeOddBits);
    long outside = 0, overran = 0;
    int worstFrame = -1;
    double worst = 0;
    for (const DmaHookCall& call : result.hookCalls.dma) {
        outside += call.lcdOn && call.entryLine < 144;
        if (call.lcdOn && call.vblankKnown && call.vblankLeft < 0) {
            ++overran;
            if (worstFrame < 0 || call.vblankLeft < worst) {
                worst = call.vblankLeft;
                worstFrame = call.frame;
            }
        }
    }
    if (outside > 0) notes += who + Format("%ld DMA hook calls entered outside vertical blank\n", outside);
    if (overran > 0)
        notes += who + Format("%ld DMA hook calls returned after the vertical blank they entered in; the worst %.0f cycles"
                              " past it, in frame %d\n", overran, -worst, worstFrame);
    return notes;
}

void WriteFrameTsv(const GameResult& result, const std::string& path) {
    std::ofstream out(path);
    if (!out) throw std::runtime_error("cannot write " + path);
    out << "frame\tkeys\tforeign\tmatch\tlag_known\tpicture\tshades\tdropped_colour\tdropped_mono\trst38_colour\t"
           "rst38_mono\tdma_calls\tdma_cycles\tdma_in\tdma_out\tvblank_left\tcopy_calls\tcopy_cycles\tlcdc_colour\t"
           "lcdc_mono\treach_cells\treach_coloured\n";
    const int frames = static_cast<int>(result.pictures.frames.size());
    std::vector<std::vector<const DmaHookCall*>> dma(frames);
    for (const DmaHookCall& call : result.hookCalls.dma) {
        if (call.frame < frames) dma[call.frame].push_back(&call);
    }
    std::vector<std::pair<int, double>> copies(frames);
    for (const CopyHookCall& call : result.hookCalls.copy) {
        if (call.frame < frames) {
            ++copies[call.frame].first;
            copies[call.frame].second += call.cycles;
        }
    }
    for (int f = 0; f < frames; ++f) {
        const FrameComparison& c = result.pictures.frames[f];
        const FrameRecord& colour = result.colour.record.frames[f];
        const FrameRecord& mono = result.mono->record.frames[f];
        double dmaCycles = 0;
        for (const DmaHookCall* call : dma[f]) dmaCycles += call->cycles;
        out << f << '\t' << KeysAt(f) << '\t' << c.foreign << '\t' << c.match << '\t' << c.lagKnown << '\t'
            << c.agreement.picture << '\t' << c.agreement.shades << '\t' << colour.droppedVramWrites << '\t'
            << mono.droppedVramWrites << '\t' << colour.rst38 << '\t' << mono.rst38 << '\t' << dma[f].size() << '\t'
            << dmaCycles << '\t';
        if (dma[f].empty()) {
            out << "\t\t\t";
        } else {
            const DmaHookCall& first = *dma[f].front();
            out << first.entryLine << '\t' << first.exitLine << '\t' << first.vblankLeft << '\t';
        }
        out << copies[f].first << '\t' << copies[f].second << '\t' << int(colour.lcdc) << '\t' << int(mono.lcdc) << '\t';
        if (result.reachMeasured) out << result.reach.perFrame[f][0] << '\t' << result.reach.perFrame[f][1];
        else out << '\t';
        out << '\n';
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void WritePictures(const GameResult& result, int frame, const std::string& pathStem) {
    if (frame < 0 || frame >= static_cast<int>(result.pictures.frames.size()))
        throw std::out_of_range("no frame " + std::to_string(frame));
    auto write = [](const std::vector<std::uint8_t>& grey, const std::string& path) {
        std::ofstream out(path, std::ios::binary);
        out << "P5\n160 144\n255\n";
        out.write(reinterpret_cast<const char*>(grey.data()), static_cast<std::streamsize>(grey.size()));
        if (!out.flush()) throw std::runtime_error("cannot write " + path);
    };
    const int match = result.pictures.frames[frame].match;
    write(result.colour.pictures[frame].grey, pathStem + Format("-f%03d-colour.pgm", frame));
    write(result.mono->pictures[frame].grey, pathStem + Format("-f%03d-mono.pgm", frame));
    write(result.mono->pictures[match].grey, pathStem + Format("-f%03d-mono-match-f%03d.pgm", frame, match));
}

}  // namespace dapplix::e2e
