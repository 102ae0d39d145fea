#include "Scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Bits.h"
#include "Rom.h"
#include "SideFileLayout.h"

namespace dapplix {
namespace {

// Bank-0 positions 255..336 (bytes 0xFE..0x14F) are the entry jump and the cartridge
// header; no replacement may reach into them.
constexpr int kProtectedFirst = 255;
constexpr int kProtectedLast = 336;
// A three-byte pattern can start no later than here and stay inside the bank.
constexpr int kLastPatternPosition = kBankSize - 2;

// Progress bar values reached after each step of the scan.
constexpr int kProgressAfterDmaSearch = 71;
constexpr int kProgressAfterDmaRedirect = 85;

using namespace sidefile;
constexpr std::uint8_t kOpLdHA = 0x67;  // keeps the page the game passed in A
constexpr std::uint8_t kOpNop = 0x00;
constexpr std::uint8_t kOpJp = 0xC3;

bool IsFreeByte(std::uint8_t b) { return b == 0x00 || b == 0xFE || b == 0xFF; }

void PutAddress(std::uint8_t* at, int position) {
    const auto address = PositionAddress(position);
    at[0] = address[0];
    at[1] = address[1];
}

// Marks the block of length bytes at 1-based position as taken (0x01, not a free byte)
// until the fragments are written into it.
void MarkBlock(Bank& bank0, int position, int length) { std::fill_n(bank0.begin() + (position - 1), length, 0x01); }

template <std::size_t N>
void PlaceFragment(Bank& bank0, int position, const std::array<std::uint8_t, N>& code) {
    std::copy(code.begin(), code.end(), bank0.begin() + (position - 1));
}

// Below the cartridge header, the gaps between the restart and interrupt vectors are often
// runs of 0xFF, the padding of the game's tools. With 0xFF at 0x0038 too, running any of
// those bytes would be RST $38 into itself, a loop that fills memory with return addresses:
// a game that works never runs them. It could still read them as data, so a run counts only
// when it is long (a solid tile is 16 bytes of 0xFF), never in RST $38's own eight bytes, and
// not in the two bytes after a used byte, which may be its instruction's operand.
constexpr int kHeaderStart = int(kEntryPoint);  // the entry jump, then the header
constexpr int kRst38 = 0x38;
constexpr int kVectorLength = 8;
constexpr int kShortestRunBelowHeader = 32;
constexpr int kOperandMargin = 2;

// The 1-based position of length bytes at the top of the shortest such run that holds them,
// or 0.
int RoomBelowHeader(const Bank& bank0, int length) {
    if (bank0[kRst38] != 0xFF) return 0;
    const auto usable = [&bank0](int at) { return bank0[std::size_t(at)] == 0xFF && (at < kRst38 || at >= kRst38 + kVectorLength); };
    int best = 0, bestRoom = 0;
    for (int at = 0; at < kHeaderStart;) {
        if (!usable(at)) {
            ++at;
            continue;
        }
        int end = at;
        while (end < kHeaderStart && usable(end)) ++end;
        const int room = end - ((at > 0 && bank0[std::size_t(at) - 1] != 0xFF) ? at + kOperandMargin : at);
        if (end - at >= kShortestRunBelowHeader && room >= length && (best == 0 || room < bestRoom)) {
            best = end - length + 1;
            bestRoom = room;
        }
        at = end;
    }
    return best;
}

constexpr std::uint8_t kVbk = 0x4F;  // VBK, 0xFF4F

// An instruction that names VBK: LDH ($4F),A, LD ($FF4F),A or LD rr,$FF4F.
bool NamesVbk(const std::uint8_t* at) {
    return (at[0] == 0xE0 && at[1] == kVbk) ||
           ((at[0] == 0xEA || at[0] == 0x01 || at[0] == 0x11 || at[0] == 0x21) && at[1] == kVbk && at[2] == 0xFF);
}

// Length of a selection of VRAM bank 1 at `at` (LD A,1 with a store of A to VBK, in either
// order when through a register pair), or 0.
int SelectsVramBank1(const std::uint8_t* at) {
    constexpr std::uint8_t kLdA1[] = {0x3E, 0x01};
    const bool a1 = std::equal(std::begin(kLdA1), std::end(kLdA1), at);
    if (a1 && at[2] == 0xE0 && at[3] == kVbk) return 4;
    if (a1 && at[2] == 0xEA && at[3] == kVbk && at[4] == 0xFF) return 5;
    // LD rr,$FF4F and LD (rr),A through the same pair: BC, DE or HL.
    const auto pairStore = [](std::uint8_t load, std::uint8_t store) {
        return (load == 0x01 && store == 0x02) || (load == 0x11 && store == 0x12) || (load == 0x21 && store == 0x77);
    };
    if (at[1] == kVbk && at[2] == 0xFF && std::equal(std::begin(kLdA1), std::end(kLdA1), at + 3) && pairStore(at[0], at[5])) return 6;
    if (a1 && at[3] == kVbk && at[4] == 0xFF && pairStore(at[2], at[5])) return 6;
    return 0;
}

}  // namespace

int InstructionLength(std::uint8_t op) {
    switch (op) {
    case 0x01: case 0x11: case 0x21: case 0x31: case 0x08: case 0xC2: case 0xC3: case 0xC4: case 0xCA: case 0xCC:
    case 0xCD: case 0xD2: case 0xD4: case 0xDA: case 0xDC: case 0xEA: case 0xFA:
        return 3;
    case 0x10: case 0x18: case 0x20: case 0x28: case 0x30: case 0x38: case 0xE0: case 0xF0: case 0xE8: case 0xF8: case 0xCB:
        return 2;
    default:
        return (op & 0xC7) == 0x06 || (op & 0xC7) == 0xC6 ? 2 : 1;  // LD r,n and arithmetic with n
    }
}

long FindOwnVramBank1Use(const Model& model) {
    constexpr int kLookAhead = 48;  // bytes after the selection where its writes would start
    constexpr int kLongest = 6;     // the longest selection form
    // Straight on from a selection, up to the next jump or return: a call or a store before
    // VBK is named again writes with bank 1 in view (a selection undone at once is harmless).
    const auto writesAfter = [](const std::uint8_t* from) {
        for (const std::uint8_t* op = from; op < from + kLookAhead; op += InstructionLength(*op)) {
            if (NamesVbk(op)) return false;
            const std::uint8_t o = *op;
            const bool call = o == 0xCD || o == 0xC4 || o == 0xCC || o == 0xD4 || o == 0xDC;
            const bool store = o == 0x02 || o == 0x12 || o == 0x22 || o == 0x32 || o == 0x36 || o == 0xEA || (o >= 0x70 && o <= 0x77 && o != 0x76);
            if (call || store) return true;
            const bool leaves = o == 0xC3 || o == 0x18 || o == 0xC9 || o == 0xD9 || o == 0xE9 || (o & 0xE7) == 0x20 ||
                                (o & 0xE7) == 0xC2 || (o & 0xE7) == 0xC0 || (o & 0xC7) == 0xC7;  // JR cc, JP cc, RET cc, RST
            if (leaves) return false;
        }
        return false;
    };
    for (int bank = 0; bank <= model.BankCount && bank < kMaxBanks; ++bank) {
        const std::uint8_t* b = model.RomBank[std::size_t(bank)].data();
        // Every form names VBK's 0x4F one or three bytes in: only those places are looked at.
        const std::uint8_t* end = b + kBankSize - (kLongest + kLookAhead + 3);
        for (const std::uint8_t* hit = b + 3; hit < end; ++hit) {
            hit = static_cast<const std::uint8_t*>(std::memchr(hit, kVbk, std::size_t(end - hit)));
            if (hit == nullptr) break;
            for (const std::uint8_t* at : {hit - 1, hit - 3}) {
                const int selection = SelectsVramBank1(at);
                if (selection != 0 && writesAfter(at + selection)) return long(bank) * kBankSize + long(at - b);
            }
        }
    }
    return -1;
}

void ScanProgress::set(int value) {
    if (value == value_) return;
    value_ = value;
    if (report_) report_(value_);
}

std::array<std::uint8_t, 2> PositionAddress(int position) {
    const int address = position - 1;
    return {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>((address >> 8) & 0xFF)};
}

int TrailingFill(const Bank& bank0) {
    const std::uint8_t fill = bank0[kBankSize - 1];
    if (!IsFreeByte(fill)) return 0;
    int count = 0;
    while (count < kBankSize && bank0[kBankSize - 1 - count] == fill) ++count;
    return count;
}

int FindFreeSpace(Model& model, int length, ScanProgress& progress, int lowest) {
    progress.beginCall();
    Bank& bank0 = model.RomBank[0];
    if (length <= 0 || length > kBankSize - 1) return 0;
    const int first = kBankSize - length;
    lowest = std::max(lowest, 1);
    // Candidates go from the top down. A used byte at q rules out every block that holds
    // it, so the next candidate lies wholly below q; most of the bank is never looked at.
    // The entry and the header count as used whatever they hold: the colour ROM writes its
    // own entry jump and header bytes there, over anything placed in them.
    const auto isUsed = [&bank0](int at) { return (at >= kProtectedFirst && at <= kProtectedLast) || !IsFreeByte(bank0[at - 1]); };
    int position = first;
    int found = 0;
    while (position >= lowest && found == 0) {
        int used = 0;
        for (int at = position; at < position + length; ++at) {
            if (isUsed(at)) {
                used = at;
                break;
            }
        }
        if (used == 0) found = position;
        else position = used - length;
    }
    // Every position from the top down to the found one (or to 1) has been decided.
    progress.advance(found ? first - found : first);
    if (found) MarkBlock(bank0, found, length);
    return found;
}

namespace {

// The last 1-based position where a pattern (and what replaces it) of this length may start.
int LastStart(int length) { return std::min(kLastPatternPosition, kBankSize + 1 - length); }

// Calls visit(index) at every occurrence of pattern in bank 0 that starts at a 1-based
// position up to lastStart, outside the entry and the header; returns how many visits said
// true. It jumps from one occurrence of the pattern's first byte to the next, the positions
// in between cannot match; a visit may rewrite the bank, and what it writes may itself
// start a match further on.
template <typename Visit>
int VisitSites(const Bank& bank0, const std::vector<std::uint8_t>& pattern, int lastStart, Visit visit) {
    int visited = 0;
    for (int position = 1; position <= lastStart; ++position) {
        const void* hit = std::memchr(bank0.data() + (position - 1), pattern[0], std::size_t(lastStart - position + 1));
        if (hit == nullptr) break;
        position = static_cast<int>(static_cast<const std::uint8_t*>(hit) - bank0.data()) + 1;
        const bool outsideHeader = position < kProtectedFirst || position > kProtectedLast;
        if (outsideHeader && std::equal(pattern.begin(), pattern.end(), bank0.begin() + (position - 1)) && visit(position - 1))
            ++visited;
    }
    return visited;
}

}  // namespace

int ReplaceCode(Model& model, const std::vector<std::uint8_t>& pattern,
                const std::vector<std::uint8_t>& replacement, ScanProgress& progress, SiteFilter keep) {
    progress.beginCall();
    Bank& bank0 = model.RomBank[0];
    const int lastStart = LastStart(static_cast<int>(std::max(pattern.size(), replacement.size())));
    const int replaced = pattern.empty() ? 0 : VisitSites(bank0, pattern, lastStart, [&](int index) {
        if (keep != nullptr && !keep(bank0, index)) return false;
        std::copy(replacement.begin(), replacement.end(), bank0.begin() + index);
        return true;
    });
    progress.advance(kLastPatternPosition);
    return replaced;
}

// A copy sequence is worth its hook only in a tight loop: a jump back to it (or to a wait
// just before it) within the next few instructions. Games copy whole screens with the LCD
// off in such loops, which is where the hook colours what they store. Unrolled copies and
// loops with a long body mostly update a few map entries in the vertical blank with the
// LCD on; the hook makes each byte several times slower there, and the last ones would
// spill out of the blank and be lost, while with the LCD on it has nothing to do anyway.
// A loop that steps its destination once more after the sequence stores every other byte:
// one bit plane of each tile, the way a 1-bit font is spread over 2-bit tiles. No 16 bytes
// of the ROM hold the tiles it makes, so looking them up can only fail; gb303-style start-ups
// spent two frames of hook and look-ups there for nothing.
namespace {

bool StoresEveryOtherByte(const Bank& bank, int index) {
    if (index + 3 >= kBankSize) return false;
    // The destination's step: INC DE after LD (DE),A, INC BC after LD (BC),A, INC HL after
    // LD (HL+),A.
    const std::uint8_t store = bank[std::size_t(index + 1)];
    const int step = store == 0x12 ? 0x13 : store == 0x02 ? 0x03 : store == 0x22 ? 0x23 : -1;
    return bank[std::size_t(index + 3)] == step;
}

bool InTightLoop(const Bank& bank, int index) {
    constexpr int kLookAhead = 8;   // bytes after the sequence where the loop's jump may be
    constexpr int kLookBack = 12;   // how far before the sequence the jump may land
    for (int at = index + 3; at < index + 3 + kLookAhead && at + 2 < kBankSize; ++at) {
        const std::uint8_t op = bank[std::size_t(at)];
        const bool relative = op == 0x18 || op == 0x20 || op == 0x28 || op == 0x30 || op == 0x38;
        const bool absolute = op == 0xC3 || op == 0xC2 || op == 0xCA || op == 0xD2 || op == 0xDA;
        int target = -1;
        if (relative) target = at + 2 + static_cast<std::int8_t>(bank[std::size_t(at + 1)]);
        if (absolute) target = bank[std::size_t(at + 1)] | bank[std::size_t(at + 2)] << 8;
        if (target >= 0 && target <= index && target >= index - kLookBack) return true;
    }
    return false;
}

}  // namespace

bool CopyLoopWorthHooking(const Bank& bank, int index) {
    return !StoresEveryOtherByte(bank, index) && InTightLoop(bank, index);
}

namespace {

// The tight copy loops of this form that CopyLoopWorthHooking leaves as they are because
// they store every other byte, for the scan's report (the copy hook's form only: a pass
// over the bank for each form cost a third of the scan's time).
int CountEveryOtherByteLoops(const Bank& bank0, const std::vector<std::uint8_t>& pattern) {
    return VisitSites(bank0, pattern, LastStart(static_cast<int>(pattern.size())),
                      [&bank0](int index) { return StoresEveryOtherByte(bank0, index) && InTightLoop(bank0, index); });
}

}  // namespace

std::vector<Redirection> StoreRedirections(const Model& model) {
    const int block = model.DmaHookPos - kDmaHookInBlock;
    const auto redirect = [block](std::vector<std::uint8_t> original, std::size_t at, std::uint8_t opcode,
                                  int hookInBlock, bool tightLoop) {
        auto replaced = original;
        const auto hook = PositionAddress(block + hookInBlock);
        replaced[at] = opcode;
        replaced[at + 1] = hook[0];
        replaced[at + 2] = hook[1];
        return Redirection{std::move(original), std::move(replaced), tightLoop};
    };
    std::vector<Redirection> all{redirect({0x2A, 0x12, 0x13}, 0, 0xCD, kCopyHookInBlock, true)};
    if (model.StoreHooksPos == 0) return all;
    // The tight copy loops with other registers, and GBDK's set_vram_byte: a STAT wait (LD A,
    // ($FF41) or LDH A,($41), AND 2, JR NZ back), then LD A,(HL) / LD (BC),A / RET, whose last
    // three bytes become a jump (the hook returns for the routine).
    all.push_back(redirect({0x2A, 0x02, 0x03}, 0, 0xCD, kCopyHookBcInBlock, true));
    all.push_back(redirect({0x1A, 0x22, 0x13}, 0, 0xCD, kCopyHookHlInBlock, true));
    all.push_back(redirect({0xFA, 0x41, 0xFF, 0xE6, 0x02, 0x20, 0xF9, 0x7E, 0x02, 0xC9}, 7, kOpJp, kVramByteHookInBlock, false));
    all.push_back(redirect({0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA, 0x7E, 0x02, 0xC9}, 6, kOpJp, kVramByteHookInBlock, false));
    // A wait for a key (GBDK's waitpad): CALL of the keys' read / AND B / JR Z back to the CALL.
    if (model.PadRoutine != 0) {
        const auto lo = static_cast<std::uint8_t>(model.PadRoutine & 0xFF), hi = static_cast<std::uint8_t>(model.PadRoutine >> 8);
        Redirection r = redirect({0xCD, lo, hi, 0xA0, 0x28, 0xFA}, 0, 0xCD, kPadHookInBlock, false);
        r.idle = r.pad = true;
        all.push_back(std::move(r));
    }
    if (model.LcdOffWaitPos != 0) {
        // GBDK's memcpy loop, both copies already calls of the copy hook: the first calls
        // CopyHookPair, which copies the rest to RAM at the loop's own speed.
        const auto hook = PositionAddress(block + kCopyHookInBlock);
        Redirection r = redirect({0xCD, hook[0], hook[1], 0xCD, hook[0], hook[1], 0x0D, 0x20, 0xF7, 0x05, 0x20, 0xF4, 0xC9}, 0,
                                 0xCD, kCopyHookPairInBlock, false);
        r.layered = true;
        all.push_back(std::move(r));
    }
    if (model.IdleWaitByte == 0) return all;
    // The waits on the byte the scan chose: HALT / NOP / LD A,(nnnn) (the two bytes after the
    // call are never run), and LD A,(nnnn) in a loop back to it.
    const auto lo = static_cast<std::uint8_t>(model.IdleWaitByte & 0xFF), hi = static_cast<std::uint8_t>(model.IdleWaitByte >> 8);
    for (const auto& form : IdleWaitForms()) {
        std::vector<std::uint8_t> original = form.prefix;
        original.insert(original.end(), {lo, hi});
        original.insert(original.end(), form.suffix.begin(), form.suffix.end());
        Redirection r = redirect(original, 0, 0xCD, form.halts ? kIdleHaltInBlock : kIdleHookInBlock, false);
        if (form.halts) r.replaced[3] = r.replaced[4] = kOpNop;
        r.idle = true;
        all.push_back(std::move(r));
    }
    return all;
}

const std::vector<IdleWaitForm>& IdleWaitForms() {
    static const std::vector<IdleWaitForm> forms = [] {
        std::vector<IdleWaitForm> all{{{0x76, 0x00, 0xFA}, {}, true}};  // HALT / NOP / LD A,(nnnn)
        // LD A,(nnnn), then AND A, OR A, CP 0 or CP 1, and JR Z or JR NZ back to the load.
        for (const std::uint8_t jump : {0x20, 0x28}) {
            for (const std::uint8_t test : {0xA7, 0xB7}) all.push_back({{0xFA}, {test, jump, 0xFA}, false});
            for (const std::uint8_t value : {0x00, 0x01}) all.push_back({{0xFA}, {0xFE, value, jump, 0xF9}, false});
        }
        return all;
    }();
    return forms;
}

std::uint16_t FindIdleWait(const Bank& bank0) {
    for (int at = 0; at + 8 <= kLastPatternPosition; ++at) {
        for (const IdleWaitForm& form : IdleWaitForms()) {
            const std::size_t p = form.prefix.size();
            if (!std::equal(form.prefix.begin(), form.prefix.end(), bank0.begin() + at) ||
                !std::equal(form.suffix.begin(), form.suffix.end(), bank0.begin() + at + std::ptrdiff_t(p) + 2))
                continue;
            const int address = bank0[std::size_t(at) + p] | bank0[std::size_t(at) + p + 1] << 8;
            // A byte of RAM that an interrupt handler changes: WRAM or high RAM.
            if ((address >= 0xC000 && address < 0xE000) || (address >= 0xFF80 && address < 0xFFFF)) return std::uint16_t(address);
        }
    }
    return 0;
}

std::uint16_t FindPadWait(const Bank& bank0) {
    static const std::uint8_t loop[] = {0xA0, 0x28, 0xFA};  // AND B / JR Z back to the CALL
    for (int at = 0; at + 6 <= kLastPatternPosition; ++at) {
        if (bank0[std::size_t(at)] == 0xCD && std::equal(std::begin(loop), std::end(loop), bank0.begin() + at + 3))
            return std::uint16_t(bank0[std::size_t(at) + 1] | bank0[std::size_t(at) + 2] << 8);
    }
    return 0;
}

namespace {

// The block with the store hooks and their last piece, LcdOffWait, where they are placed.
int BlockLength(bool storeHooks, bool lcdOffWait) {
    return lcdOffWait ? kBank0CodeWithLcdOffWait : storeHooks ? kBank0CodeWithStoreHooks : kBank0CodeLength;
}

}  // namespace

int Bank0BlockLength(const Model& model) {
    return BlockLength(model.StoreHooksPos != 0, model.LcdOffWaitPos != 0);
}

void FindDmaCall(Model& model, ScanProgress& progress) {
    progress.beginCall();
    const Bank& bank0 = model.RomBank[0];
    model.DmaSourceHigh = 0;
    model.DmaCallLow = 0;
    // The walk stops at the first position by which both sequences have been seen, so
    // find where each is first seen, then take the last match of each up to that stop.
    const auto nextMatch = [&bank0](int from, std::uint8_t opcode, auto matches) {
        for (int position = from; position <= kLastPatternPosition; ++position) {
            const void* hit = std::memchr(bank0.data() + (position - 1), opcode, std::size_t(kLastPatternPosition - position + 1));
            if (hit == nullptr) return 0;
            position = static_cast<int>(static_cast<const std::uint8_t*>(hit) - bank0.data()) + 1;
            if (matches(bank0.data() + (position - 1))) return position;
        }
        return 0;
    };
    // LDH ($46),A starts the OAM DMA; CALL $FFxx calls a routine in high RAM.
    const auto isDmaStart = [](const std::uint8_t* at) { return at[1] == 0x46; };
    const auto isHighCall = [](const std::uint8_t* at) { return at[2] == 0xFF; };
    const int firstDmaStart = nextMatch(1, 0xE0, isDmaStart);
    const int firstHighCall = nextMatch(1, 0xCD, isHighCall);
    const int stop = (firstDmaStart && firstHighCall) ? std::max(firstDmaStart, firstHighCall) : kLastPatternPosition;

    for (int position = firstDmaStart; position != 0 && position <= stop; position = nextMatch(position + 1, 0xE0, isDmaStart)) {
        if (position >= 3 && bank0[position - 3] == 0x3E) model.DmaSourceHigh = bank0[position - 2];
    }
    for (int position = firstHighCall; position != 0 && position <= stop; position = nextMatch(position + 1, 0xCD, isHighCall))
        model.DmaCallLow = bank0[position];
    progress.advance((firstDmaStart && firstHighCall) ? stop - 1 : kLastPatternPosition);
}

ScanResult ScanRom(Model& model, const ScanProgressFn& report, bool overwriteRomCode) {
    ScanProgress progress(report);
    ScanResult result;
    Bank& bank0 = model.RomBank[0];
    model.ColourCodePlaced = false;
    result.trailingFill = TrailingFill(bank0);
    result.entry = FindEntryPoint(bank0.data());
    // A game that draws into VRAM bank 1 itself would garble its own colour ROM: placed
    // nowhere, whatever the room.
    result.ownVramBank1 = FindOwnVramBank1Use(model);
    if (result.ownVramBank1 >= 0) return result;

    // Room first: without it nothing of the ROM changes (unless the caller asked for it).
    // The fragments go side by side as one block (DmaHook, EntryHook, CopyHook, CopyTail),
    // from the top of the trailing fill down, the last byte of the bank kept as the
    // free-byte search always kept it; else into the 0xFF bytes below the header.
    const int safeLowest = kBankSize - result.trailingFill + kPlacementMargin + 1;  // 1-based
    int belowHeader = 0;
    if (kBankSize - kBank0CodeLength < safeLowest) {
        belowHeader = RoomBelowHeader(bank0, kBank0CodeLength);
        if (belowHeader == 0) {
            result.notEnoughRoom = true;
            if (!overwriteRomCode) return result;
            result.forced = true;
        }
    }

    // A Game Boy Color-only cartridge of 64 banks.
    bank0[kColorFlag] = 0xC0;
    bank0[kRomSizeCode] = 0x05;
    progress.set(kProgressStart);

    // The store hooks come along when the fill has room for them too, and their last piece,
    // the wait before the LCD goes off, when it has room for that as well.
    const bool withStoreHooks = !result.forced && kBankSize - kBank0CodeWithStoreHooks >= safeLowest;
    const bool withLcdOffWait = withStoreHooks && kBankSize - kBank0CodeWithLcdOffWait >= safeLowest;
    const int blockLength = BlockLength(withStoreHooks, withLcdOffWait);
    int block = belowHeader;
    if (block != 0) MarkBlock(bank0, block, blockLength);
    else block = FindFreeSpace(model, blockLength, progress, result.forced ? 1 : safeLowest);
    if (block == 0) block = kBankSize - kBank0CodeLength;  // forced and no free run at all: the end of the bank
    model.DmaHookPos = block + kDmaHookInBlock;
    model.EntryHookPos = block + kEntryHookInBlock;
    model.CopyHookPos = block + kCopyHookInBlock;
    model.CopyTailPos = block + kCopyTailInBlock;
    model.StoreHooksPos = withStoreHooks ? block + kStoreHooksInBlock : 0;
    model.LcdOffWaitPos = withLcdOffWait ? block + kLcdOffWaitInBlock : 0;
    for (int value : {14, 29, 43, 57}) progress.set(value);

    FindDmaCall(model, progress);
    progress.set(kProgressAfterDmaSearch);

    // The scan's findings, kept where the colour code bank has always kept them. Each scan
    // starts from the instruction the side file holds, so a ROM without an OAM page found
    // never leaves its replacement to the next ROM of the run.
    model.ExtraBankCode[kDmaPageInstruction] = model.ExtraBankCodeAsRead[kDmaPageInstruction];
    if (model.DmaSourceHigh != 0) {
        model.ExtraBankCode[kDmaPageOperand] = model.DmaSourceHigh;
    } else {
        model.ExtraBankCode[kDmaPageInstruction] = kOpLdHA;
        model.ExtraBankCode[kDmaPageOperand] = 0x00;
    }
    model.ExtraBankCode[kDmaRoutineLow] = model.DmaCallLow;

    // The DMA hook calls the game's routine itself, then goes on through CopyTail.
    model.DmaHookCode[kDmaCallLow] = model.DmaCallLow;
    if (model.DmaCallLow != 0) {
        // (CALL $FF00 would be the joypad register: no DMA call was found.)
        const auto dmaHook = PositionAddress(model.DmaHookPos);
        result.dmaCalls = ReplaceCode(model, {0xCD, model.DmaCallLow, 0xFF}, {0xCD, dmaHook[0], dmaHook[1]}, progress);
    }
    progress.set(kProgressAfterDmaRedirect);

    model.IdleWaitByte = withStoreHooks ? FindIdleWait(bank0) : 0;
    model.PadRoutine = withStoreHooks ? FindPadWait(bank0) : 0;
    const auto redirections = StoreRedirections(model);
    for (std::size_t i = 0; i < redirections.size(); ++i) {
        const Redirection& r = redirections[i];
        const int replaced = ReplaceCode(model, r.original, r.replaced, progress, r.tightLoop ? CopyLoopWorthHooking : nullptr);
        if (!r.layered) (r.pad ? result.padWaits : r.idle ? result.idleWaits : i == 0 ? result.copyLoops : result.otherStores) += replaced;
        if (i == 0) result.everyOtherByteLoops = CountEveryOtherByteLoops(bank0, r.original);
    }
    // A game that waits for the vertical blank by polling LY gets its frame's work there: its
    // first read of LY stays where it was (a poll that comes at the very end of line 144
    // finds it as the original does), the hook takes the CP and the loop, waits as the loop
    // did and returns what it left, so the byte after the call is never needed. With the
    // store hooks placed, the lines it polls through are the runtime's first (IdlePoll).
    const auto pollHook = PositionAddress(block + (withStoreHooks ? kIdlePollInBlock : kPollHookInBlock));
    result.blankWaits = ReplaceCode(model, {0xF0, 0x44, 0xFE, 0x90, 0x20, 0xFA},
                                    {0xF0, 0x44, 0xCD, pollHook[0], pollHook[1], kOpNop}, progress);
    // A wait for the blank that switches the LCD off once it comes (GBDK's display_off): the
    // frame's work in that blank would never be seen, and with the game's own handler after
    // it, it would bring the game back to its poll after the blank (LcdOffWait).
    if (withLcdOffWait) {
        const auto lcdOffWait = PositionAddress(model.LcdOffWaitPos);
        result.lcdOffWaits = ReplaceCode(model, {0xF0, 0x44, 0xFE, 0x91, 0x38, 0xFA, 0xF0, 0x40, 0xE6, 0x7F, 0xE0, 0x40},
                                         {0xCD, lcdOffWait[0], lcdOffWait[1], kOpNop, kOpNop, kOpNop, 0xF0, 0x40, 0xE6, 0x7F, 0xE0, 0x40},
                                         progress);
    }
    progress.set(kProgressEnd);

    // With the store hooks placed, map entries stored with the LCD off take their record in
    // bank 0: the copy hook's branch for them goes straight to MapEntryFast, a relative jump
    // whose offset is counted from the byte after it. The rest goes on to CopyTail.
    PutAddress(model.CopyHookCode.data() + kCopyTailOperand, model.CopyTailPos);
    const int mapEntriesGoTo = block + (model.StoreHooksPos != 0 ? kMapEntryFastInBlock : kCopyHookVramInBlock);
    model.CopyHookCode[kMapBranchOffset] = static_cast<std::uint8_t>(mapEntriesGoTo - (model.CopyHookPos + int(kMapBranchOffset) + 1));

    // The entry hook ends by jumping where the cartridge used to go; the cartridge now enters
    // through NOP / JP to the entry hook, whatever form its jump had.
    PutWordLowFirst(model.EntryHookCode.data() + kEntryJumpOperand, result.entry.target);

    PlaceFragment(bank0, model.EntryHookPos, model.EntryHookCode);
    PlaceFragment(bank0, model.CopyHookPos, model.CopyHookCode);
    PlaceFragment(bank0, model.CopyTailPos, model.CopyTailCode);
    PlaceFragment(bank0, model.DmaHookPos, model.DmaHookCode);
    if (model.StoreHooksPos != 0) {
        PutAddress(model.StoreHooksCode.data() + kStoredCallOperand, block + kCopyHookStoredInBlock);
        PutAddress(model.StoreHooksCode.data() + kVramByteOtherOperand, block + kStoreHooksInBlock);
        PutAddress(model.StoreHooksCode.data() + kCopyHookPairOperand, block + kCopyHookBelowRamInBlock);
        for (const std::size_t at : kIdleCallOperands) PutAddress(model.StoreHooksCode.data() + at, block + kIdleWorkInBlock);
        PutAddress(model.StoreHooksCode.data() + kIdleLoadCallOperand, block + kIdleLoadInBlock);
        PutWordLowFirst(model.StoreHooksCode.data() + kIdleLoadOperand, model.IdleWaitByte);
        PutWordLowFirst(model.StoreHooksCode.data() + kPadReadOperand, model.PadRoutine);
        // (without the room for LcdOffWait, the fragment ends where it would begin)
        const auto length = std::size_t(blockLength - kStoreHooksInBlock);
        std::copy_n(model.StoreHooksCode.begin(), length, bank0.begin() + (model.StoreHooksPos - 1));
    }

    bank0[kEntryPoint] = kOpNop;
    bank0[kEntryPoint + 1] = kOpJp;
    PutAddress(bank0.data() + kEntryTarget, model.EntryHookPos);
    model.ColourCodePlaced = true;
    result.placed = true;
    return result;
}

std::vector<std::string> DescribeScan(const Model& model, const ScanResult& scan) {
    std::vector<std::string> lines;
    const auto hex = [](int value, int digits) {
        static const char* kDigits = "0123456789ABCDEF";
        std::string text(std::size_t(digits), '0');
        for (int i = digits - 1; i >= 0; --i, value >>= 4) text[std::size_t(i)] = kDigits[value & 15];
        return "$" + text;
    };
    if (scan.ownVramBank1 >= 0) {
        const long bank = scan.ownVramBank1 / kBankSize;  // banks 1 and up show at 0x4000
        const int address = int(scan.ownVramBank1 % kBankSize) + (bank > 0 ? kBankSize : 0);
        lines.push_back("Color code: not placed. The game writes to VRAM bank 1 itself (it selects it at " + hex(address, 4) +
                        " of bank " + std::to_string(bank) + ").");
        return lines;
    }
    if (!scan.placed) {
        lines.push_back("Color code: not placed. Bank 0 ends in " + std::to_string(scan.trailingFill) +
                        " unused bytes; the color code needs " + std::to_string(kBank0CodeLength + kPlacementMargin + 1) +
                        " there, or " + std::to_string(kBank0CodeLength) + " unused $FF bytes below the header.");
        return lines;
    }
    const int low = model.DmaHookPos - 1, high = low + Bank0BlockLength(model) - 1;
    lines.push_back("Color code: " + hex(low, 4) + "-" + hex(high, 4) + " of bank 0" +
                    (scan.forced           ? ", over ROM code (forced)"
                     : low < kHeaderStart ? ", in $FF bytes below the header that the game cannot run"
                                          : ", in its unused end (" + std::to_string(scan.trailingFill) + " bytes)"));
    lines.push_back(std::string("Entry: ") + EntryFormName(scan.entry.form) + " at $0100 to " + hex(scan.entry.target, 4) +
                    ", reached after the color set-up");
    if (model.DmaCallLow != 0)
        lines.push_back("OAM DMA call: CALL " + hex(0xFF00 | model.DmaCallLow, 4) + ", " + std::to_string(scan.dmaCalls) +
                        " in bank 0: sprites, map attributes, fades and the tile sweep follow each frame");
    else {
        // A vertical-blank handler that is the DMA routine itself stays the game's: the
        // colour work after it would come before the game's own writes of the blank.
        const Bank& bank0 = model.RomBank[0];
        const bool vectorIsRoutine = model.DmaSourceHigh != 0 && bank0[kVblankVector] == kOpJp &&
                                     bank0[kVblankVector + 2] == 0xFF && bank0[kVblankVector + 1] >= 0x80;
        const std::string none = vectorIsRoutine ? "OAM DMA call: none in bank 0 (the vertical-blank interrupt jumps to the DMA routine at " +
                                                       hex(0xFF00 | bank0[kVblankVector + 1], 4) +
                                                       " itself, left as it is: the game's own writes need that blank)"
                                                 : std::string("OAM DMA call: none found in bank 0");
        lines.push_back(none + (scan.blankWaits != 0 ? ": sprites keep palette 0"
                                                     : ": sprites keep palette 0, map attributes and fades are not followed; "
                                                       "tiles copied with the LCD off still get their palettes"));
    }
    if (scan.blankWaits != 0)
        lines.push_back("Vertical-blank waits: " + std::to_string(scan.blankWaits) +
                        " (LDH A,(LY) / CP $90 / JR NZ): fades, map attributes and the tile sweep follow there too" +
                        (model.StoreHooksPos != 0 ? ", and in the lines they wait through" : ""));
    lines.push_back("Copy loops: " + std::to_string(scan.copyLoops) +
                    " (LD A,(HL+) / LD (DE),A / INC DE in a tight loop): tiles and map entries they store with the LCD off get their palettes at once");
    if (scan.everyOtherByteLoops > 0)
        lines.push_back("Copy loops that store every other byte: " + std::to_string(scan.everyOtherByteLoops) +
                        " (one bit plane of each tile, as a 1-bit font is spread over tiles), left as they are: "
                        "no tile of the ROM holds the tiles they make, so none of those can be given a palette");
    lines.push_back(model.StoreHooksPos == 0
                        ? std::string("Other stores: not hooked (no room for their code in bank 0)")
                        : "Other stores: " + std::to_string(scan.otherStores) +
                              " (copy loops through BC or HL, STAT-waited single stores): handled as the copy loops");
    if (model.StoreHooksPos != 0)
        lines.push_back(scan.idleWaits == 0
                            ? std::string("Waits: none found (HALT / NOP / LD A,(nnnn), or a loop on LD A,(nnnn))")
                            : "Waits: " + std::to_string(scan.idleWaits) + " on " + hex(model.IdleWaitByte, 4) +
                                  ": map attributes and the tile sweep use the time the game waits");
    if (scan.lcdOffWaits > 0)
        lines.push_back("Waits to switch the LCD off: " + std::to_string(scan.lcdOffWaits) +
                        " (LDH A,(LY) / CP $91 / JR C, then LCDC bit 7 cleared): that blank is left to the game");
    if (scan.padWaits > 0)
        lines.push_back("Waits for a key: " + std::to_string(scan.padWaits) + " through " + hex(model.PadRoutine, 4) +
                        ": map attributes and the tile sweep take a slice between two reads of the keys");
    return lines;
}

}  // namespace dapplix

