// Patches that turn the original monochrome ROM into its colour ROM, the way colour hacks
// are shared: IPS (records of bytes at 24-bit offsets) and BPS (a stream of copy actions
// with CRC-32 checks of the source, the target and the patch itself).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dapplix {

enum class PatchFormat { Ips, Bps };

// The patch that makes target out of source. IPS cannot address past 16 MiB; both ROMs
// here are at most 1 MiB.
std::vector<std::uint8_t> MakeIpsPatch(const std::vector<std::uint8_t>& source, const std::vector<std::uint8_t>& target);
std::vector<std::uint8_t> MakeBpsPatch(const std::vector<std::uint8_t>& source, const std::vector<std::uint8_t>& target);

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);

// "ips" or "bps" (any case); false for anything else.
bool ParsePatchFormat(const std::string& name, PatchFormat& format);

}  // namespace dapplix
