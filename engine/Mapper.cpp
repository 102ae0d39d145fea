#include "Mapper.h"

#include "Rom.h"

namespace dapplix {
namespace {

constexpr std::uint8_t kMbc2Battery = 0x06;
constexpr std::uint8_t kMbc1Ram = 0x02;
constexpr std::uint8_t kMbc1RamBattery = 0x03;
constexpr std::uint8_t kRam8KiB = 0x02;

}  // namespace

std::vector<std::string> MapperWarnings(const std::vector<std::uint8_t>& file) {
    std::vector<std::string> warnings;
    if (file.size() < kHeaderEnd) return warnings;
    const std::uint8_t type = file[kCartridgeType];
    switch (MapperClass(type)) {
        case 1:
            // Types 2 and 3 carry RAM; four 8 KiB banks need MBC1's RAM-banking mode.
            if (type != 0x01 && file[kRamSizeCode] == 0x03) warnings.emplace_back(kMsgMbc1RamBanks);
            break;
        case 2:
            // Runs as MBC1 (DeclareColourRomMapper); the save format is the difference every
            // battery-backed game meets.
            if (type == kMbc2Battery) warnings.emplace_back(kMsgMbc2Saves);
            break;
        default:
            break;
    }
    return warnings;
}

void DeclareColourRomMapper(std::uint8_t* bank0) {
    const std::uint8_t type = bank0[kCartridgeType];
    if (MapperClass(type) != 2) return;
    bank0[kCartridgeType] = type == kMbc2Battery ? kMbc1RamBattery : kMbc1Ram;
    bank0[kRamSizeCode] = kRam8KiB;
}

}  // namespace dapplix
