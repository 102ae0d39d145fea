#include "AnimatedGif.h"

#include <algorithm>
#include <unordered_map>

namespace dapplix {
namespace {

constexpr int kMinCodeSize = 8;  // 256 colour indices
constexpr int kMaxCode = 4095;   // codes are at most 12 bits

void Put16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Packs variable-width codes least significant bit first into sub-blocks of 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(int code, int width) {
        bits_ |= std::uint32_t(code) << count_;
        count_ += width;
        while (count_ >= 8) {
            Byte(static_cast<std::uint8_t>(bits_ & 0xFF));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void Finish() {
        if (count_ > 0) Byte(static_cast<std::uint8_t>(bits_ & 0xFF));
        if (!block_.empty()) Flush();
        out_.push_back(0);  // block terminator
    }

private:
    void Byte(std::uint8_t byte) {
        block_.push_back(byte);
        if (block_.size() == 255) Flush();
    }
    void Flush() {
        out_.push_back(static_cast<std::uint8_t>(block_.size()));
        out_.insert(out_.end(), block_.begin(), block_.end());
        block_.clear();
    }
    std::vector<std::uint8_t>& out_;
    std::vector<std::uint8_t> block_;
    std::uint32_t bits_ = 0;
    int count_ = 0;
};

// LZW as GIF uses it: a clear code first, codes widening from 9 bits up to 12, and a new
// clear code whenever the table is full.
void CompressIndices(const std::vector<std::uint8_t>& indices, std::vector<std::uint8_t>& out) {
    const int clear = 1 << kMinCodeSize, end = clear + 1;
    out.push_back(kMinCodeSize);
    CodeWriter writer(out);
    std::unordered_map<std::uint32_t, int> table;  // (prefix code << 8 | byte) -> code
    int next = end + 1, width = kMinCodeSize + 1;
    writer.Put(clear, width);
    int prefix = -1;
    for (std::uint8_t index : indices) {
        if (prefix < 0) {
            prefix = index;
            continue;
        }
        const std::uint32_t key = std::uint32_t(prefix) << 8 | index;
        const auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        writer.Put(prefix, width);
        if (next <= kMaxCode) {
            table.emplace(key, next);
            // The decoder widens its codes one code later than the table grows here.
            if (next == (1 << width) && width < 12) ++width;
            ++next;
        } else {
            writer.Put(clear, width);
            table.clear();
            next = end + 1;
            width = kMinCodeSize + 1;
        }
        prefix = index;
    }
    if (prefix >= 0) writer.Put(prefix, width);
    writer.Put(end, width);
    writer.Finish();
}

}  // namespace

std::vector<std::uint8_t> EncodeAnimatedGif(const std::vector<GifFrame>& frames, int width, int height,
                                            int scale) {
    scale = std::max(1, scale);
    const int outWidth = width * scale, outHeight = height * scale;
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, outWidth);
    Put16(out, outHeight);
    out.insert(out.end(), {0x00, 0x00, 0x00});  // no global colour table
    // Loop for ever.
    const char* loop = "\x21\xFF\x0BNETSCAPE2.0\x03\x01";
    out.insert(out.end(), loop, loop + 16);
    out.insert(out.end(), {0x00, 0x00, 0x00});

    for (const GifFrame& frame : frames) {
        std::vector<std::uint32_t> colours;
        std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
        std::vector<std::uint8_t> small(std::size_t(width) * height);
        for (std::size_t i = 0; i < small.size(); ++i) {
            const std::uint32_t rgb = frame.pixels[i] & 0xFFFFFF;
            auto found = indexOf.find(rgb);
            if (found == indexOf.end()) {
                if (colours.size() < 256) {
                    found = indexOf.emplace(rgb, static_cast<std::uint8_t>(colours.size())).first;
                    colours.push_back(rgb);
                } else {
                    auto distance = [rgb](std::uint32_t other) {
                        int sum = 0;
                        for (int shift = 0; shift < 24; shift += 8) {
                            const int d = int((rgb >> shift) & 0xFF) - int((other >> shift) & 0xFF);
                            sum += d * d;
                        }
                        return sum;
                    };
                    const auto nearest = std::min_element(colours.begin(), colours.end(), [&](auto a, auto b) {
                        return distance(a) < distance(b);
                    });
                    found = indexOf.emplace(rgb, static_cast<std::uint8_t>(nearest - colours.begin())).first;
                }
            }
            small[i] = found->second;
        }
        std::vector<std::uint8_t> indices(std::size_t(outWidth) * outHeight);
        for (int y = 0; y < outHeight; ++y)
            for (int x = 0; x < outWidth; ++x)
                indices[std::size_t(y) * outWidth + x] = small[std::size_t(y / scale) * width + x / scale];

        out.insert(out.end(), {0x21, 0xF9, 0x04, 0x00});  // graphic control: no transparency
        Put16(out, frame.delayCentiseconds);
        out.insert(out.end(), {0x00, 0x00});
        out.push_back(0x2C);  // image descriptor
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, outWidth);
        Put16(out, outHeight);
        out.push_back(0x80 | 0x07);  // a local table of 256 entries
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t rgb = i < int(colours.size()) ? colours[i] : 0;
            out.insert(out.end(), {static_cast<std::uint8_t>(rgb & 0xFF), static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                                   static_cast<std::uint8_t>((rgb >> 16) & 0xFF)});
        }
        CompressIndices(indices, out);
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace dapplix
