// Preparing bank 0 of a loaded ROM for the colour code: colour header bytes, four code
// fragments in free space, redirected DMA calls and copy loops, and the entry jump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "Binary.h"

namespace dapplix {

inline constexpr const char* kMsgNotEnoughRoom =
    "Not enough room for color code: must overwrite ROM code\r\n"
    "ROM may not function correctly when colorized!";

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

// Highest 1-based position P <= 16384 - length whose run is free, or 0. A found run is
// filled with 0x01 so that later searches and replacements pass over it.
int FindFreeSpace(Model& model, int length, ScanProgress& progress);

// Replaces every occurrence of pattern in bank 0 that starts outside 0xFE..0x14F.
void ReplaceCode(Model& model, const std::vector<std::uint8_t>& pattern,
                 const std::vector<std::uint8_t>& replacement, ScanProgress& progress);

// Sets DmaSourceHigh (nn of LD A,nn before LDH ($46),A) and DmaCallLow (xx of CALL $FFxx).
void FindDmaCall(Model& model, ScanProgress& progress);

struct ScanResult {
    bool notEnoughRoom = false;  // some fragment went to a fallback place over ROM code
};

// The whole preparation of bank 0, reporting progress through report.
ScanResult ScanRom(Model& model, const ScanProgressFn& report = {});

// The Game Boy address of a 1-based bank-0 position, as the two bytes code holds
// (low byte first).
std::array<std::uint8_t, 2> PositionAddress(int position);

}  // namespace dapplix
