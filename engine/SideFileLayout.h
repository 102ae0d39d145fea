// Places in the side files' code that the scan and the writer fill in. The assembly in
// gbcode/sidefiles checks each place against its own labels, and the layout test checks
// the built side files against these numbers, so the three cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dapplix::sidefile {

// The four fragments of bnk0cod.dat go into bank 0 side by side, in this order from low to
// high addresses, as one block of code that may run from one fragment into the next.
constexpr int kDmaHookInBlock = 0;
constexpr int kEntryHookInBlock = 14;
constexpr int kCopyHookInBlock = 32;
constexpr int kCopyTailInBlock = 64;
constexpr int kBank0CodeLength = 102;
// A second way into the CopyTail fragment: the replacement for a vertical-blank wait loop.
constexpr int kPollHookInBlock = 88;
// The fifth fragment, StoreHooks, goes right above CopyTail when the room allows: the block
// is then this long (kBank0CodeWithLcdOffWait with its last pieces, LcdOffWait and
// CopyHookPair, when the room allows that too). Its three ways in replace other store
// instructions (see bank0.s), and CopyHook's branch for a map entry goes to its MapEntryFast.
constexpr int kStoreHooksInBlock = 102;
constexpr int kBank0CodeWithStoreHooks = 366;
constexpr int kBank0CodeWithLcdOffWait = 508;
constexpr int kMapEntryFastInBlock = 127;
constexpr int kVramByteHookInBlock = 314;
constexpr int kCopyHookBcInBlock = 107;
constexpr int kCopyHookHlInBlock = 115;
// The waits: LY polled for the blank, HALT / NOP / LD A,(nnnn), and LD A,(nnnn) in a loop
// that waits for it to change.
constexpr int kIdlePollInBlock = 172;  // in place of PollHook when StoreHooks is placed
constexpr int kIdleHaltInBlock = 198;
constexpr int kIdleHookInBlock = 209;
constexpr int kIdleLoadInBlock = 216;
constexpr int kIdleWorkInBlock = 220;
// A wait for a key: CALL nnnn / AND B / JR Z back to the CALL, whose CALL goes to PadHook.
constexpr int kPadHookInBlock = 302;
// A wait for the blank before the LCD is switched off: LDH A,(LY) / CP $91 / JR C,-6 followed
// by LDH A,(LCDC) / AND $7F / LDH (LCDC),A, whose wait becomes a CALL of LcdOffWait.
constexpr int kLcdOffWaitInBlock = 366;
// With it, the first copy of GBDK's memcpy pair loop, LD A,(HL+) / LD (DE),A / INC DE twice,
// DEC C / JR NZ / DEC B / JR NZ / RET, calls CopyHookPair (the second, the copy hook).
constexpr int kCopyHookPairInBlock = 480;
// CopyHook's checks for a byte already stored at DE, which StoreHooks calls, and those past
// the look at RAM (A = D, below 0xA0), where CopyHookPair goes for a copy into VRAM.
constexpr int kCopyHookStoredInBlock = 34;
constexpr int kCopyHookBelowRamInBlock = 40;


// EntryHookCode: JP to the game's own entry, operand at 16-17.
constexpr std::size_t kEntryJumpOperand = 16;
// DmaHookCode: CALL $FFxx of the game's DMA routine, xx at 1.
constexpr std::size_t kDmaCallLow = 1;
// CopyHookCode: JP to CopyTail, operand at 26-27; JR NC of a map entry, offset at 11 (to MapEntryFast
// where the store hooks are placed).
constexpr std::size_t kCopyTailOperand = 26;
constexpr std::size_t kMapBranchOffset = 11;
constexpr int kCopyHookVramInBlock = 55;  // where the branch goes without them: on to CopyTail
// StoreHooksCode: CALL of CopyHook's checks, operand at 21-22.
constexpr std::size_t kStoredCallOperand = 21;
// StoreHooksCode: LD A,(nnnn) of the byte the hooked waits read, operand at 115-116; the waits'
// CALLs of IdleWork, operands at 79-80, 100-101, 111-112 and 205-206, and IdleWork's of that
// load, at 133-134; PadHook's JP to the game's read of the keys, at 210-211.
constexpr std::size_t kIdleLoadOperand = 115;
constexpr std::size_t kIdleCallOperands[] = {79, 100, 111, 205};
constexpr std::size_t kIdleLoadCallOperand = 133;
constexpr std::size_t kPadReadOperand = 210;
// StoreHooksCode: JP from VramByteHook to VramByteOther at its head, operand at 262-263, and
// CopyHookPair's JP C to the copy hook's checks past RAM, at 385-386 (the block is placed
// anywhere: an address inside it is always one the program writes).
constexpr std::size_t kVramByteOtherOperand = 262;
constexpr std::size_t kCopyHookPairOperand = 385;

// ExtraBankCode (bank 33 from 0x4000): what the scan found, kept as a record.
constexpr std::size_t kDmaPageInstruction = 0x103;  // LD A,nn with nn = the OAM buffer page
constexpr std::size_t kDmaPageOperand = 0x104;
constexpr std::size_t kDmaRoutineLow = 0x11B;       // CALL $FFxx at 0x11A
// Settings the writer fills in for the runtime.
constexpr std::size_t kSettings = 0x120;
constexpr std::size_t kSettingPalettesUsed = kSettings + 0;  // bit p: some tile has palette p
constexpr std::size_t kSettingDictionaryParts = kSettings + 1;  // 0, 1, 2 or 4 parts of 4 KiB
constexpr std::size_t kSettingFlags = kSettings + 2;
constexpr std::uint8_t kFlagStoreHooks = 0x02;  // StoreHooks is placed: the runtime may read the game's stack
constexpr std::size_t kSettingTwins = kSettings + 4;  // 8 bytes: palette p's twin for sprites on OBP1
// How many bytes of exbnkcod.dat the colour code takes (two bytes, low first): a shorter file
// has lost code and is refused.
constexpr std::size_t kColourCodeLength = 0x12E;

// The colour code in bank 33 ends before this offset; the writer leaves the rest of the bank
// zero, and the set-up clears VRAM bank 1 from there.
constexpr std::size_t kColourCodeLimit = 0x1800;

}  // namespace dapplix::sidefile
