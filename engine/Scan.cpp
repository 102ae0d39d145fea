#include "Scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Rom.h"

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

// ExtraBankCode places the scan fills in (see the colour code bank's layout).
constexpr std::size_t kDmaPageInstruction = 0x103;  // LD A,nn with nn = the OAM buffer page
constexpr std::size_t kDmaPageOperand = 0x104;
constexpr std::size_t kDmaRoutineLow = 0x11B;      // low byte of the game's CALL $FFxx
constexpr std::uint8_t kOpLdHA = 0x67;              // keeps the page the game passed in A
constexpr std::size_t kCopyTailAddressInHook = 26;  // two bytes in CopyHookCode
constexpr std::size_t kOldEntryInHook = 16;         // two bytes in EntryHookCode

bool IsFreeByte(std::uint8_t b) { return b == 0x00 || b == 0xFE || b == 0xFF; }

struct Placed {
    int position;
    int length;
};

bool Overlaps(int position, int length, const Placed& other) {
    return position < other.position + other.length && other.position < position + length;
}

// Where a fragment goes when no free run holds it: as near the end of bank 0 as possible
// (its last byte is kept, as in the search), below every fragment already placed that it
// would otherwise overlap.
int FallbackPosition(int length, const std::vector<Placed>& placed) {
    int position = kBankSize - length;
    bool moved = true;
    while (moved) {
        moved = false;
        for (const Placed& other : placed) {
            if (Overlaps(position, length, other)) {
                position = other.position - length;
                moved = true;
            }
        }
    }
    return position;
}

template <std::size_t N>
void PlaceFragment(Bank& bank0, int position, const std::array<std::uint8_t, N>& code) {
    std::copy(code.begin(), code.end(), bank0.begin() + (position - 1));
}

}  // namespace

void ScanProgress::set(int value) {
    if (value == value_) return;
    value_ = value;
    if (report_) report_(value_);
}

std::array<std::uint8_t, 2> PositionAddress(int position) {
    const int address = position - 1;
    return {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>((address >> 8) & 0xFF)};
}

int FindFreeSpace(Model& model, int length, ScanProgress& progress) {
    progress.beginCall();
    Bank& bank0 = model.RomBank[0];
    if (length <= 0 || length > kBankSize - 1) return 0;
    const int first = kBankSize - length;
    // Candidates go from the top down. A used byte at q rules out every block that holds
    // it, so the next candidate lies wholly below q; most of the bank is never looked at.
    int position = first;
    int found = 0;
    while (position >= 1 && found == 0) {
        int used = 0;
        for (int at = position; at < position + length; ++at) {
            if (!IsFreeByte(bank0[at - 1])) {
                used = at;
                break;
            }
        }
        if (used == 0) found = position;
        else position = used - length;
    }
    // Every position from the top down to the found one (or to 1) has been decided.
    progress.advance(found ? first - found : first);
    if (found) std::fill_n(bank0.begin() + (found - 1), length, 0x01);
    return found;
}

void ReplaceCode(Model& model, const std::vector<std::uint8_t>& pattern,
                 const std::vector<std::uint8_t>& replacement, ScanProgress& progress) {
    progress.beginCall();
    Bank& bank0 = model.RomBank[0];
    const int patternLength = static_cast<int>(pattern.size());
    const int replacementLength = static_cast<int>(replacement.size());
    const int lastStart = std::min(kLastPatternPosition, kBankSize + 1 - std::max(patternLength, replacementLength));
    if (patternLength > 0) {
        // Jump from one occurrence of the first byte to the next; the positions in
        // between cannot match. A replacement may itself start a match further on.
        int position = 1;
        while (position <= lastStart) {
            const void* hit = std::memchr(bank0.data() + (position - 1), pattern[0], std::size_t(lastStart - position + 1));
            if (hit == nullptr) break;
            position = static_cast<int>(static_cast<const std::uint8_t*>(hit) - bank0.data()) + 1;
            const bool outsideHeader = position < kProtectedFirst || position > kProtectedLast;
            if (outsideHeader && std::equal(pattern.begin(), pattern.end(), bank0.begin() + (position - 1)))
                std::copy(replacement.begin(), replacement.end(), bank0.begin() + (position - 1));
            ++position;
        }
    }
    progress.advance(kLastPatternPosition);
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

ScanResult ScanRom(Model& model, const ScanProgressFn& report) {
    ScanProgress progress(report);
    ScanResult result;
    Bank& bank0 = model.RomBank[0];

    // A Game Boy Color-only cartridge of 64 banks.
    bank0[kColorFlag] = 0xC0;
    bank0[kRomSizeCode] = 0x05;
    progress.set(kProgressStart);

    struct Fragment {
        int length;
        std::int32_t& position;
        int progressAfter;
    };
    Fragment fragments[] = {
        {kCopyTailLength, model.CopyTailPos, 14},
        {kCopyHookLength, model.CopyHookPos, 29},
        {kEntryHookLength, model.EntryHookPos, 43},
        {kDmaHookLength, model.DmaHookPos, 57},
    };
    std::vector<Placed> placed;
    for (Fragment& fragment : fragments) {
        int position = FindFreeSpace(model, fragment.length, progress);
        progress.set(fragment.progressAfter);
        if (position == 0) {
            position = FallbackPosition(fragment.length, placed);
            result.notEnoughRoom = true;
        }
        fragment.position = position;
        placed.push_back({position, fragment.length});
    }

    FindDmaCall(model, progress);
    progress.set(kProgressAfterDmaSearch);

    // Each scan starts from the instruction the side file holds, so a ROM without an OAM
    // page found never leaves its replacement to the next ROM of the run.
    model.ExtraBankCode[kDmaPageInstruction] = model.ExtraBankCodeAsRead[kDmaPageInstruction];
    if (model.DmaSourceHigh != 0) {
        model.ExtraBankCode[kDmaPageOperand] = model.DmaSourceHigh;
    } else {
        model.ExtraBankCode[kDmaPageInstruction] = kOpLdHA;
        model.ExtraBankCode[kDmaPageOperand] = 0x00;
    }
    model.ExtraBankCode[kDmaRoutineLow] = model.DmaCallLow;

    const auto dmaHook = PositionAddress(model.DmaHookPos);
    ReplaceCode(model, {0xCD, model.DmaCallLow, 0xFF}, {0xCD, dmaHook[0], dmaHook[1]}, progress);
    progress.set(kProgressAfterDmaRedirect);

    const auto copyHook = PositionAddress(model.CopyHookPos);
    ReplaceCode(model, {0x2A, 0x12, 0x13}, {0xCD, copyHook[0], copyHook[1]}, progress);
    progress.set(kProgressEnd);

    const auto copyTail = PositionAddress(model.CopyTailPos);
    model.CopyHookCode[kCopyTailAddressInHook] = copyTail[0];
    model.CopyHookCode[kCopyTailAddressInHook + 1] = copyTail[1];

    PlaceFragment(bank0, model.EntryHookPos, model.EntryHookCode);
    PlaceFragment(bank0, model.CopyHookPos, model.CopyHookCode);
    PlaceFragment(bank0, model.CopyTailPos, model.CopyTailCode);
    PlaceFragment(bank0, model.DmaHookPos, model.DmaHookCode);

    // The entry hook ends by jumping where the cartridge used to enter.
    const int oldEntryAt = model.EntryHookPos - 1 + static_cast<int>(kOldEntryInHook);
    bank0[oldEntryAt] = bank0[kEntryTarget];
    bank0[oldEntryAt + 1] = bank0[kEntryTarget + 1];
    const auto entryHook = PositionAddress(model.EntryHookPos);
    bank0[kEntryTarget] = entryHook[0];
    bank0[kEntryTarget + 1] = entryHook[1];
    return result;
}

}  // namespace dapplix

