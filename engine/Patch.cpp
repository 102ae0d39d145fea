#include "Patch.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace dapplix {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kIpsMaxRecord = 0xFFFF;
constexpr std::size_t kIpsEofOffset = 0x454F46;  // "EOF": a record may not start here
constexpr std::size_t kRunWorthIt = 8;            // shorter runs cost less as plain bytes

// Length of the run of equal bytes starting at i, up to end.
std::size_t RunLength(const Bytes& bytes, std::size_t i, std::size_t end) {
    std::size_t n = 1;
    while (i + n < end && bytes[i + n] == bytes[i]) ++n;
    return n;
}

void PutBig(Bytes& out, std::size_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k) out.push_back(std::uint8_t(value >> (8 * k)));
}

// BPS numbers: seven bits a byte, the last byte marked by bit 7, each step minus one so
// that every number has one spelling.
void PutBpsNumber(Bytes& out, std::uint64_t value) {
    for (;;) {
        const std::uint8_t low = value & 0x7F;
        value >>= 7;
        if (value == 0) {
            out.push_back(0x80 | low);
            return;
        }
        out.push_back(low);
        --value;
    }
}

void PutLittle32(Bytes& out, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out.push_back(std::uint8_t(value >> (8 * k)));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most uInt bytes a call.
    while (size > 0) {
        const uInt part = uInt(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, bytes, part);
        bytes += part;
        size -= part;
    }
    return std::uint32_t(crc);
}

Bytes MakeIpsPatch(const Bytes& source, const Bytes& target) {
    Bytes out{'P', 'A', 'T', 'C', 'H'};
    auto same = [&](std::size_t i) { return i < source.size() && source[i] == target[i]; };
    std::size_t i = 0;
    while (i < target.size()) {
        if (same(i)) {
            ++i;
            continue;
        }
        // A record may not start at the offset that spells "EOF"; it starts a byte early.
        const std::size_t start = i == kIpsEofOffset ? i - 1 : i;
        // The stretch to write: up to six equal bytes inside it cost less written than the
        // five-byte head of a new record.
        std::size_t end = start;
        while (end < target.size() && end - start < kIpsMaxRecord) {
            std::size_t equal = 0;
            while (end + equal < target.size() && same(end + equal) && equal < 6) ++equal;
            if (equal >= 6 || (equal > 0 && end + equal >= target.size())) break;
            end += std::max<std::size_t>(equal, 1);
        }
        end = std::min(end, start + kIpsMaxRecord);
        const std::size_t run = RunLength(target, start, end);
        if (run >= kRunWorthIt) {  // one byte repeated: a run record
            PutBig(out, start, 3);
            PutBig(out, 0, 2);
            PutBig(out, run, 2);
            out.push_back(target[start]);
            i = start + run;
            continue;
        }
        std::size_t stop = start + 1;  // plain bytes up to the next run worth its own record
        while (stop < end && RunLength(target, stop, end) < kRunWorthIt) ++stop;
        PutBig(out, start, 3);
        PutBig(out, stop - start, 2);
        out.insert(out.end(), target.begin() + std::ptrdiff_t(start), target.begin() + std::ptrdiff_t(stop));
        i = stop;
    }
    out.insert(out.end(), {'E', 'O', 'F'});
    // A target shorter than the source is cut to its length (the common IPS extension).
    if (target.size() < source.size()) PutBig(out, target.size(), 3);
    return out;
}

Bytes MakeBpsPatch(const Bytes& source, const Bytes& target) {
    enum Action { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };
    Bytes out{'B', 'P', 'S', '1'};
    PutBpsNumber(out, source.size());
    PutBpsNumber(out, target.size());
    PutBpsNumber(out, 0);  // no metadata
    auto action = [&out](Action kind, std::size_t length) { PutBpsNumber(out, ((length - 1) << 2) | kind); };
    std::size_t targetCopyFrom = 0;  // the decoder's target-copy position
    std::size_t i = 0;
    while (i < target.size()) {
        std::size_t same = 0;
        while (i + same < target.size() && i + same < source.size() && source[i + same] == target[i + same]) ++same;
        if (same > 0) {
            action(SourceRead, same);
            i += same;
            continue;
        }
        const std::size_t run = RunLength(target, i, target.size());
        if (run >= kRunWorthIt) {
            // One byte written, the rest copied from the byte before it: the decoder's copy
            // runs a byte at a time, so it repeats that byte.
            action(TargetRead, 1);
            out.push_back(target[i]);
            action(TargetCopy, run - 1);
            const std::size_t from = i;  // the byte just written
            const std::int64_t delta = std::int64_t(from) - std::int64_t(targetCopyFrom);
            PutBpsNumber(out, (std::uint64_t(delta < 0 ? -delta : delta) << 1) | (delta < 0 ? 1 : 0));
            targetCopyFrom = from + run - 1;
            i += run;
            continue;
        }
        std::size_t end = i + 1;
        while (end < target.size() && !(end < source.size() && source[end] == target[end]) &&
               RunLength(target, end, target.size()) < kRunWorthIt)
            ++end;
        action(TargetRead, end - i);
        out.insert(out.end(), target.begin() + std::ptrdiff_t(i), target.begin() + std::ptrdiff_t(end));
        i = end;
    }
    PutLittle32(out, Crc32(source.data(), source.size()));
    PutLittle32(out, Crc32(target.data(), target.size()));
    PutLittle32(out, Crc32(out.data(), out.size()));
    return out;
}

bool ParsePatchFormat(const std::string& name, PatchFormat& format) {
    std::string lower;
    for (char c : name) lower += char(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "ips") format = PatchFormat::Ips;
    else if (lower == "bps") format = PatchFormat::Bps;
    else return false;
    return true;
}

}  // namespace dapplix
