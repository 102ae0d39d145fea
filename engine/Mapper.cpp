#include "Mapper.h"

#include "Rom.h"

namespace dapplix {

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
            warnings.emplace_back(kMsgMbc2CannotStart);
            break;
        case 3:
            warnings.emplace_back(kMsgMbc3PaletteZero);
            break;
        default:
            break;
    }
    return warnings;
}

}  // namespace dapplix
