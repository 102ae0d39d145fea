// The warning a user gets at load time for mappers the colour runtime cannot fully serve.
#include <gtest/gtest.h>

#include <memory>

#include "engine/Binary.h"
#include "engine/Mapper.h"
#include "engine/Rom.h"

namespace dapplix {
namespace {

struct MapperCase {
    const char* name;
    std::uint8_t type;
    std::uint8_t ramSize;
    const char* warning;  // nullptr: none
};

const MapperCase kCases[] = {
    {"Mbc1", 0x01, 0x00, nullptr},
    {"Mbc1With8KiBRam", 0x03, 0x02, nullptr},
    {"Mbc1With32KiBRam", 0x03, 0x03, kMsgMbc1RamBanks},
    {"Mbc1RamWithout32KiB", 0x02, 0x02, nullptr},
    {"Mbc2", 0x05, 0x00, nullptr},
    {"Mbc2WithBattery", 0x06, 0x00, kMsgMbc2Saves},
    {"Mbc3", 0x11, 0x00, kMsgMbc3PaletteZero},
    {"Mbc3WithClockAndRam", 0x10, 0x03, kMsgMbc3PaletteZero},
};

class MapperWarning : public ::testing::TestWithParam<MapperCase> {};

TEST_P(MapperWarning, LoadingTheRomReportsWhatColouringCannotDo) {
    const MapperCase& c = GetParam();
    std::vector<std::uint8_t> rom(4 * kBankSize, 0xFF);
    rom[kColorFlag] = 0x00;
    rom[kEntryOpcode] = 0xC3;
    rom[kCartridgeType] = c.type;
    rom[kRomSizeCode] = 0x01;  // 64 KiB: within MBC2's reach as well
    rom[kRamSizeCode] = c.ramSize;
    auto model = std::make_unique<Model>();
    const RomLoadResult result = LoadRomBytes(*model, rom);
    ASSERT_TRUE(result.ok);
    if (c.warning) {
        EXPECT_EQ(result.warnings, std::vector<std::string>{c.warning});
    } else {
        EXPECT_TRUE(result.warnings.empty());
    }
}

TEST(MapperWarning, RefusedRomsCarryNoWarning) {
    std::vector<std::uint8_t> rom(4 * kBankSize, 0xFF);
    rom[kColorFlag] = 0x00;
    rom[kEntryOpcode] = 0xC3;
    rom[kCartridgeType] = 0x05;
    rom[kRomSizeCode] = 0x03;  // too large for MBC2
    auto model = std::make_unique<Model>();
    const RomLoadResult result = LoadRomBytes(*model, rom);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.warnings.empty());
}

INSTANTIATE_TEST_SUITE_P(Cartridges, MapperWarning, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dapplix
