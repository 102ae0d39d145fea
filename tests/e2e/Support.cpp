#include "Support.h"

#include <array>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/CodeFiles.h"
#include "engine/Files.h"
#include "engine/Rom.h"
#include "engine/Scan.h"
#include "project/Palette.h"

namespace dapplix::e2e {

Symbols Symbols::Load(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open symbol file " + path);
    Symbols symbols;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string def, name, value;
        if (!(fields >> def >> name >> value) || def != "DEF") continue;
        symbols.values_[name] = static_cast<std::uint32_t>(std::stoul(value, nullptr, 0));
    }
    return symbols;
}

std::uint32_t Symbols::operator[](const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) throw std::out_of_range("symbol " + name + " is not defined");
    return it->second;
}

std::vector<std::uint8_t> ReadBinaryFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error, std::size_t(4) << 20)) throw std::runtime_error(error);
    return bytes;
}

std::unique_ptr<Model> PrepareModel(const std::vector<std::uint8_t>& rom, const std::string& sideFileDir) {
    auto model = std::make_unique<Model>();
    std::string fatal;
    if (!LoadCodeFiles(*model, {sideFileDir}, fatal)) throw std::runtime_error(fatal);
    SetDefaultPals(*model);
    const RomLoadResult loaded = LoadRomBytes(*model, rom);
    if (!loaded.ok) {
        std::string all;
        for (const auto& e : loaded.errors) all += e + "; ";
        throw std::runtime_error("ROM refused: " + all);
    }
    ScanRom(*model);
    return model;
}

void SetDistinctPalettes(Model& model) {
    for (int set = 0; set < kPaletteSets; ++set) {
        for (int p = 0; p < kPalettes; ++p) {
            for (int c = 0; c < kColours; ++c) {
                // Brightness falls with c; palette and set move the hue, so no two entries match.
                const int level = 30 - c * 9;                // 30, 21, 12, 3
                const int hue = set * 8 + p;                 // 0..15
                auto& rgb = model.Pals[set][p][c];
                rgb[0] = static_cast<std::int16_t>(level - (hue & 3));
                rgb[1] = static_cast<std::int16_t>(level - ((hue >> 2) & 3));
                rgb[2] = static_cast<std::int16_t>(level - ((hue & 1) ? 2 : 0) - (hue >> 3));
            }
        }
    }
}

std::uint16_t ModelColourWord(const Model& model, int set, int palette, int colour) {
    const auto& rgb = model.Pals[set][palette][colour];
    return static_cast<std::uint16_t>((rgb[2] & 0x1F) << 10 | (rgb[1] & 0x1F) << 5 | (rgb[0] & 0x1F));
}

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBigEndian(out, Crc32(body.data(), body.size()));
}

// Deflate (RFC 1951) in one block with the fixed Huffman codes and greedy LZ77 matches:
// enough for screenshots, which are mostly runs and repeated rows.
class Deflater {
public:
    std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& data) {
        PutBits(1, 1);  // last block
        PutBits(1, 2);  // fixed Huffman codes
        std::vector<int> head(1 << 15, -1), previous(data.size(), -1);
        auto hash = [&](std::size_t i) {
            return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & 0x7FFF;
        };
        std::size_t i = 0;
        while (i < data.size()) {
            int bestLength = 0, bestDistance = 0;
            if (i + 2 < data.size()) {
                const int h = hash(i);
                int candidate = head[h];
                for (int tries = 0; candidate >= 0 && tries < 64; ++tries, candidate = previous[candidate]) {
                    const std::size_t distance = i - static_cast<std::size_t>(candidate);
                    if (distance > 32768) break;
                    int length = 0;
                    while (length < 258 && i + length < data.size() && data[candidate + length] == data[i + length]) ++length;
                    if (length > bestLength) {
                        bestLength = length;
                        bestDistance = static_cast<int>(distance);
                    }
                }
            }
            const std::size_t step = bestLength >= 3 ? static_cast<std::size_t>(bestLength) : 1;
            if (bestLength >= 3) {
                PutMatch(bestLength, bestDistance);
            } else {
                PutLiteral(data[i]);
            }
            for (std::size_t k = 0; k < step; ++k, ++i) {
                if (i + 2 < data.size()) {
                    const int h = hash(i);
                    previous[i] = head[h];
                    head[h] = static_cast<int>(i);
                }
            }
        }
        PutCode(256);  // end of block
        if (bitCount_) out_.push_back(static_cast<std::uint8_t>(bitBuffer_));
        return out_;
    }

private:
    void PutBits(unsigned value, int count) {
        for (int k = 0; k < count; ++k) {
            bitBuffer_ |= ((value >> k) & 1u) << bitCount_;
            if (++bitCount_ == 8) {
                out_.push_back(static_cast<std::uint8_t>(bitBuffer_));
                bitBuffer_ = 0;
                bitCount_ = 0;
            }
        }
    }
    // Huffman codes go most significant bit first.
    void PutHuffman(unsigned code, int length) {
        for (int k = length - 1; k >= 0; --k) PutBits((code >> k) & 1u, 1);
    }
    void PutCode(int symbol) {
        if (symbol < 144) PutHuffman(0x30 + symbol, 8);
        else if (symbol < 256) PutHuffman(0x190 + (symbol - 144), 9);
        else if (symbol < 280) PutHuffman(symbol - 256, 7);
        else PutHuffman(0xC0 + (symbol - 280), 8);
    }
    void PutLiteral(std::uint8_t byte) { PutCode(byte); }
    void PutMatch(int length, int distance) {
        static const int lengthBase[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                         35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int lengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                          3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const int distanceBase[] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                                           193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097,
                                           6145, 8193, 12289, 16385, 24577};
        static const int distanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        int l = 28;
        while (lengthBase[l] > length) --l;
        PutCode(257 + l);
        PutBits(static_cast<unsigned>(length - lengthBase[l]), lengthExtra[l]);
        int d = 29;
        while (distanceBase[d] > distance) --d;
        PutHuffman(static_cast<unsigned>(d), 5);
        PutBits(static_cast<unsigned>(distance - distanceBase[d]), distanceExtra[d]);
    }

    std::vector<std::uint8_t> out_;
    unsigned bitBuffer_ = 0;
    int bitCount_ = 0;
};

}  // namespace

bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height,
              int stride, int scale, std::string& error) {
    const int outWidth = width * scale;
    const int outHeight = height * scale;
    // Filter byte 0 (none) and RGB per row.
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < outHeight; ++y) {
        raw.push_back(0);
        for (int x = 0; x < outWidth; ++x) {
            const std::uint32_t p = pixels[std::size_t(y / scale) * std::size_t(stride) + std::size_t(x / scale)];
            raw.push_back(static_cast<std::uint8_t>(p & 0xFF));
            raw.push_back(static_cast<std::uint8_t>((p >> 8) & 0xFF));
            raw.push_back(static_cast<std::uint8_t>((p >> 16) & 0xFF));
        }
    }
    std::vector<std::uint8_t> zlib{0x78, 0x01};
    const std::vector<std::uint8_t> deflated = Deflater().Compress(raw);
    zlib.insert(zlib.end(), deflated.begin(), deflated.end());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(zlib, (b << 16) | a);

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBigEndian(header, static_cast<std::uint32_t>(outWidth));
    PutBigEndian(header, static_cast<std::uint32_t>(outHeight));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return WriteFileAtomically(path, png, error);
}

}  // namespace dapplix::e2e
