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

}  // namespace

bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height,
              int stride, int scale, std::string& error) {
    const int outWidth = width * scale;
    const int outHeight = height * scale;
    // Filter byte 0 and RGB per row.
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
    // zlib stream of stored (uncompressed) deflate blocks.
    std::vector<std::uint8_t> zlib{0x78, 0x01};
    std::size_t at = 0;
    while (at < raw.size() || raw.empty()) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + n == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<std::uint8_t>(n & 0xFF));
        zlib.push_back(static_cast<std::uint8_t>(n >> 8));
        zlib.push_back(static_cast<std::uint8_t>(~n & 0xFF));
        zlib.push_back(static_cast<std::uint8_t>((~n >> 8) & 0xFF));
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        if (last) break;
    }
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
