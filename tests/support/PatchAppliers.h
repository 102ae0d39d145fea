// IPS and BPS appliers written from the published formats, as a standard patcher applies
// them, so that the tests check Dapplix's patches against the formats and not against
// Dapplix's own writer.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace dapplix::testing {

// IPS: "PATCH", records (3-byte offset, 2-byte size, bytes; size 0: 2-byte count and one
// byte repeated), "EOF", then optionally a 3-byte length to cut the result to.
inline std::vector<std::uint8_t> ApplyIps(std::vector<std::uint8_t> rom, const std::vector<std::uint8_t>& patch) {
    std::size_t at = 5;
    auto big = [&](int n) {
        if (at + std::size_t(n) > patch.size()) throw std::runtime_error("IPS patch ends early");
        std::size_t v = 0;
        for (int k = 0; k < n; ++k) v = v << 8 | patch[at++];
        return v;
    };
    if (patch.size() < 8 || std::string(patch.begin(), patch.begin() + 5) != "PATCH") throw std::runtime_error("not IPS");
    for (;;) {
        if (at + 3 <= patch.size() && patch[at] == 'E' && patch[at + 1] == 'O' && patch[at + 2] == 'F') {
            at += 3;
            if (at + 3 <= patch.size()) rom.resize(big(3));
            return rom;
        }
        const std::size_t offset = big(3), size = big(2);
        const std::size_t count = size ? size : big(2);
        if (rom.size() < offset + count) rom.resize(offset + count);
        for (std::size_t k = 0; k < count; ++k) {
            if (size && at >= patch.size()) throw std::runtime_error("IPS record ends early");
            rom[offset + k] = size ? patch[at++] : patch[at];
        }
        if (!size) ++at;
    }
}

// BPS: "BPS1", source size, target size, metadata; actions SourceRead, TargetRead,
// SourceCopy, TargetCopy; then CRC-32 of source, target and of the patch before its own.
inline std::vector<std::uint8_t> ApplyBps(const std::vector<std::uint8_t>& source, const std::vector<std::uint8_t>& patch) {
    std::size_t at = 4;
    auto number = [&] {
        std::uint64_t data = 0, shift = 1;
        for (;;) {
            if (at >= patch.size()) throw std::runtime_error("BPS number ends early");
            const std::uint8_t x = patch[at++];
            data += (x & 0x7F) * shift;
            if (x & 0x80) return data;
            shift <<= 7;
            data += shift;
        }
    };
    auto crc = [](const std::vector<std::uint8_t>& bytes, std::size_t size) {
        return std::uint32_t(crc32(crc32(0L, Z_NULL, 0), bytes.data(), uInt(size)));
    };
    auto little32 = [&](std::size_t from) {
        return std::uint32_t(patch[from]) | std::uint32_t(patch[from + 1]) << 8 | std::uint32_t(patch[from + 2]) << 16 |
               std::uint32_t(patch[from + 3]) << 24;
    };
    if (patch.size() < 16 || std::string(patch.begin(), patch.begin() + 4) != "BPS1") throw std::runtime_error("not BPS");
    if (number() != source.size()) throw std::runtime_error("BPS source size differs");
    std::vector<std::uint8_t> target(number());
    at += number();  // metadata
    const std::size_t end = patch.size() - 12;
    std::size_t out = 0, sourceRelative = 0, targetRelative = 0;
    while (at < end) {
        const std::uint64_t word = number();
        const std::size_t length = (word >> 2) + 1;
        if (out + length > target.size()) throw std::runtime_error("BPS action runs past the target");
        auto relative = [&](std::size_t& position) {
            const std::uint64_t d = number();
            position += (d & 1) ? -std::int64_t(d >> 1) : std::int64_t(d >> 1);
        };
        switch (word & 3) {
        case 0: for (std::size_t k = 0; k < length; ++k, ++out) target[out] = source.at(out); break;
        case 1: for (std::size_t k = 0; k < length; ++k, ++out) target[out] = patch.at(at++); break;
        case 2: relative(sourceRelative); for (std::size_t k = 0; k < length; ++k) target[out++] = source.at(sourceRelative++); break;
        default: relative(targetRelative); for (std::size_t k = 0; k < length; ++k) target[out++] = target.at(targetRelative++);
        }
    }
    if (out != target.size() || little32(end) != crc(source, source.size()) || little32(end + 4) != crc(target, target.size()) ||
        little32(end + 8) != crc(patch, patch.size() - 4))
        throw std::runtime_error("BPS checks fail");
    return target;
}

}  // namespace dapplix::testing
