#include "PaletteFiles.h"

#include <sstream>

#include "Files.h"

namespace dapplix {

namespace {

constexpr int kSetColours = kPalettes * kColours;  // 32
constexpr std::size_t kMaxPaletteFileBytes = 1 << 20;

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

// Three whole numbers 0..255 at the start of a line; the rest (a GIMP colour name) is free.
bool ParseColour(const std::string& line, Rgb8& colour) {
    std::istringstream in(line);
    for (int& component : colour)
        if (!(in >> component) || component < 0 || component > 255) return false;
    return true;
}

}  // namespace

std::string EncodePaletteFile(const Model& model, int set, PaletteFileFormat format) {
    std::ostringstream out;
    const char* eol = format == PaletteFileFormat::Jasc ? "\r\n" : "\n";  // JASC files are DOS text
    if (format == PaletteFileFormat::Jasc) {
        out << "JASC-PAL" << eol << "0100" << eol << kSetColours << eol;
    } else {
        out << "GIMP Palette" << eol << "Name: Dapplix " << (set == kSpriteSet ? "sprite" : "background")
            << " palettes" << eol << "Columns: " << kColours << eol << "#" << eol;
    }
    for (int palette = 0; palette < kPalettes; ++palette) {
        for (int colour = 0; colour < kColours; ++colour) {
            const auto& rgb = model.Pals[set][palette][colour];
            out << ComponentTo8Bit(rgb[0]) << ' ' << ComponentTo8Bit(rgb[1]) << ' ' << ComponentTo8Bit(rgb[2]);
            if (format == PaletteFileFormat::Gimp) out << "\tPalette " << palette << " colour " << colour;
            out << eol;
        }
    }
    return out.str();
}

bool DecodePaletteFile(const std::string& text, std::vector<Rgb8>& colours, std::string& error) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    colours.clear();
    if (!lines.empty() && lines[0] == "JASC-PAL") {
        int count = 0;
        if (lines.size() < 3 || lines[1] != "0100" || !(std::istringstream(lines[2]) >> count) || count < 0 ||
            std::size_t(count) > lines.size() - 3) {
            error = "The palette file is damaged: its JASC-PAL header does not match its colours.";
            return false;
        }
        for (int i = 0; i < count; ++i) {
            Rgb8 colour{};
            if (!ParseColour(lines[std::size_t(3 + i)], colour)) {
                error = "The palette file is damaged: line " + std::to_string(4 + i) + " is not a colour.";
                return false;
            }
            colours.push_back(colour);
        }
        return true;
    }
    if (!lines.empty() && lines[0] == "GIMP Palette") {
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            const auto first = line.find_first_not_of(" \t");
            // Name and Columns lines, comments and blank lines carry no colour.
            if (first == std::string::npos || line[first] == '#' || line.rfind("Name:", 0) == 0 ||
                line.rfind("Columns:", 0) == 0)
                continue;
            Rgb8 colour{};
            if (!ParseColour(line, colour)) {
                error = "The palette file is damaged: line " + std::to_string(i + 1) + " is not a colour.";
                return false;
            }
            colours.push_back(colour);
        }
        return true;
    }
    error = "Not a palette file: it starts with neither JASC-PAL nor GIMP Palette.";
    return false;
}

int ApplyPaletteColours(Model& model, int set, const std::vector<Rgb8>& colours) {
    const int taken = std::min<int>(int(colours.size()), kSetColours);
    for (int k = 0; k < taken; ++k)
        for (int component = 0; component < kComponents; ++component)
            model.Pals[set][k / kColours][k % kColours][component] =
                std::int16_t(ComponentTo5Bit(colours[std::size_t(k)][std::size_t(component)]));
    return taken;
}

bool SavePaletteFile(const Model& model, int set, const std::string& path, std::string& error) {
    const std::string text =
        EncodePaletteFile(model, set, EndsWithNoCase(path, ".gpl") ? PaletteFileFormat::Gimp : PaletteFileFormat::Jasc);
    return WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), error);
}

bool LoadPaletteFile(Model& model, int set, const std::string& path, int& taken, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error, kMaxPaletteFileBytes)) return false;
    std::vector<Rgb8> colours;
    if (!DecodePaletteFile(std::string(bytes.begin(), bytes.end()), colours, error)) return false;
    taken = ApplyPaletteColours(model, set, colours);
    return true;
}

}  // namespace dapplix
