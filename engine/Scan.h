// Preparing bank 0 of a loaded ROM for the colour code: colour header bytes, four code
// fragments in free space, redirected DMA calls and copy loops, and the entry jump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Binary.h"
#include "Rom.h"

namespace dapplix {

inline constexpr const char* kMsgNotEnoughRoom =
    "Not enough room for color code: must overwrite ROM code\r\n"
    "ROM may not function correctly when colorized!";
// Said instead when the colour code is not placed: nothing of the ROM is overwritten unless
// the user asks for it.
inline constexpr const char* kMsgNoSafeRoom =
    "Not enough room for color code: bank 0 has too few unused bytes, at its end and below "
    "the header. The color code would have to overwrite ROM code, and the colorized ROM "
    "would most likely crash.";
// Said instead when the game itself writes to VRAM bank 1, which a monochrome Game Boy ignores.
inline constexpr const char* kMsgOwnVramBank1 =
    "This ROM writes to VRAM bank 1 itself, which a monochrome Game Boy ignores. In a color ROM "
    "those writes would overwrite the color attributes and garble the screen, so it cannot be "
    "colorized.";
inline constexpr const char* kMsgForceQuestion =
    "Overwrite ROM code at the end of bank 0 with the color code anyway? The colorized ROM "
    "may not work.";

// The colour code goes into the unused bytes at the end of bank 0: one value (0x00, 0xFE or
// 0xFF) repeated up to the last byte. The fragments keep this many bytes away from the last
// byte the game uses, in case its data ends in bytes of the fill value. Without room there,
// runs of 0xFF below the header that the game cannot run may take the code (see Scan.cpp).
constexpr int kPlacementMargin = 16;

constexpr int kProgressStart = 1;
constexpr int kProgressEnd = 100;
constexpr int kPositionsPerProgressStep = 1147;

// Receives the progress bar's value (1..100) each time it changes.
using ScanProgressFn = std::function<void(int)>;

// Progress of one scan: the bar value and the per-call position counter.
class ScanProgress {
public:
    explicit ScanProgress(ScanProgressFn report = {}) : report_(std::move(report)) {}
    int value() const { return value_; }
    void set(int value);
    void beginCall() { counter_ = 0; }
    // Counts tested positions: every kPositionsPerProgressStep of them within one call
    // moves the bar on by one, until it reaches the end.
    void advance(int positions) {
        counter_ += positions;
        while (counter_ >= kPositionsPerProgressStep && value_ < kProgressEnd) {
            counter_ -= kPositionsPerProgressStep;
            set(value_ + 1);
        }
    }

private:
    ScanProgressFn report_;
    int value_ = 0;
    int counter_ = 0;
};

// Highest 1-based position P <= 16384 - length whose run is free and starts at lowest or
// above, or 0. A found run is filled with 0x01 so that later searches and replacements pass
// over it.
int FindFreeSpace(Model& model, int length, ScanProgress& progress, int lowest = 1);

// Bytes at the end of bank 0 that repeat its last byte, when that is 0x00, 0xFE or 0xFF.
int TrailingFill(const Bank& bank0);

// Replaces every occurrence of pattern in bank 0 that starts outside 0xFE..0x14F (and that
// keep, when given, accepts at its 0-based index); returns how many it replaced.
using SiteFilter = bool (*)(const Bank& bank, int index);
int ReplaceCode(Model& model, const std::vector<std::uint8_t>& pattern,
                const std::vector<std::uint8_t>& replacement, ScanProgress& progress,
                SiteFilter keep = nullptr);

// A copy sequence (LD A,(HL+) / LD (DE),A / INC DE at index, or its BC and HL forms) in a
// tight loop, a jump back to it or to just before it within the next few bytes, that stores
// every byte (not every other one: its destination is not stepped again right after).
bool CopyLoopWorthHooking(const Bank& bank, int index);

// Sets DmaSourceHigh (nn of LD A,nn before LDH ($46),A) and DmaCallLow (xx of CALL $FFxx).
void FindDmaCall(Model& model, ScanProgress& progress);

struct ScanResult {
    bool placed = false;         // bank 0 is ready for the colour code
    bool notEnoughRoom = false;  // no safe room; unless forced, bank 0 was left as it was
    bool forced = false;         // placed over ROM code because the caller asked for it
    long ownVramBank1 = -1;      // ROM offset where the game selects VRAM bank 1 to write it: not placed
    int trailingFill = 0;        // unused bytes at the end of bank 0
    int copyLoops = 0;           // copy sequences redirected to CopyHook
    int everyOtherByteLoops = 0; // tight copy loops (CopyHook's form) left as they are: every other byte
    int dmaCalls = 0;            // calls of the game's DMA routine redirected to DmaHook
    int blankWaits = 0;          // vertical-blank wait loops redirected to PollHook (IdlePoll with StoreHooks)
    int otherStores = 0;         // other store sequences redirected to StoreHooks
    int idleWaits = 0;           // waits (for an interrupt or a byte) redirected to IdleHalt or IdleHook
    int padWaits = 0;            // waits for a key redirected to PadHook
    int lcdOffWaits = 0;         // waits for the blank to switch the LCD off, redirected to LcdOffWait
    EntryPoint entry;            // how the cartridge started before the scan
};

// A copy or store sequence that the scan sends to a hook: as the game has it and as
// redirected (CALL or JP to the hook in its place).
struct Redirection {
    std::vector<std::uint8_t> original, replaced;
    bool tightLoop;     // only where a jump close after it leads back to it
    bool idle = false;  // a wait, not a store
    bool pad = false;   // a wait for a key
    bool layered = false;  // over the copy hook's own redirection (undone first), not counted apart
};
// The copy hook's and, when placed, the store hooks' and the waits', for the block the last
// scan placed, in the order they are made (undone in the reverse order).
std::vector<Redirection> StoreRedirections(const Model& model);
// The waits the runtime takes the time of: the bytes before and after the two-byte address
// of the LD A,(nnnn) they read; halts: HALT / NOP first.
struct IdleWaitForm {
    std::vector<std::uint8_t> prefix, suffix;
    bool halts;
};
const std::vector<IdleWaitForm>& IdleWaitForms();
// The byte the first wait in bank 0 reads (0: none); all waits on it are hooked.
std::uint16_t FindIdleWait(const Bank& bank0);
// The keys' read that the first wait for a key in bank 0 calls (CALL nnnn / AND B / JR Z back
// to it; 0: none); all waits for a key through it are hooked.
std::uint16_t FindPadWait(const Bank& bank0);
// How long the block of bank-0 fragments the last scan placed is.
int Bank0BlockLength(const Model& model);

// Where the game selects VRAM bank 1 itself and goes on to write (a call or a store before it
// names VBK again): code for a Game Boy Color that a monochrome one ignores, which in a colour
// ROM would write over the colour attributes. The ROM offset of the selection, or -1.
long FindOwnVramBank1Use(const Model& model);
// Bytes of the Game Boy CPU instruction that starts with op (0xCB's second byte included).
int InstructionLength(std::uint8_t op);

// The whole preparation of bank 0, reporting progress through report. Without room at the
// end of bank 0 it changes nothing and says so, unless overwriteRomCode asks for the
// fragments to go wherever the free-byte search or the fallback places put them.
ScanResult ScanRom(Model& model, const ScanProgressFn& report = {}, bool overwriteRomCode = false);

// One line a finding, for the user: where the code goes (or why it cannot), the entry form,
// the DMA call and the copy loops found, and what the colour ROM can colour as a result.
std::vector<std::string> DescribeScan(const Model& model, const ScanResult& scan);

// The Game Boy address of a 1-based bank-0 position, as the two bytes code holds
// (low byte first).
std::array<std::uint8_t, 2> PositionAddress(int position);

}  // namespace dapplix
