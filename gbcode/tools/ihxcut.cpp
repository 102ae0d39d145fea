// Cuts raw side files out of the linker's Intel hex output.
//
//   ihxcut IN.ihx -o OUT SIZE FILL OFFSET:ADDRESS:LENGTH... [-o OUT SIZE FILL ...]...
//
// Each OFFSET:ADDRESS:LENGTH maps the linked bytes at ADDRESS.. to file offset OFFSET.. of
// the OUT before it; bytes the hex file does not define take FILL. The side files' code is
// linked at the addresses it runs at (bank 0, bank 33, WRAM) in one link, because the
// fragments call into the runtime, so one image feeds several files and one file can gather
// bytes from several address ranges. The tool refuses anything that would make a wrong side
// file quietly: a bad hex record, a byte defined twice, a linked byte that no mapping takes,
// two mappings giving the same output byte, or a mapping past SIZE.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Mapping {
    std::uint32_t offset = 0;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
};

struct Output {
    std::string path;
    std::uint32_t size = 0;
    std::uint8_t fill = 0;
    std::vector<Mapping> mappings;
};

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "ihxcut: " << message << '\n';
    std::exit(1);
}

std::uint32_t ParseNumber(const std::string& text) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, 0);
    } catch (...) {
        Fail("not a number: " + text);
    }
    if (used != text.size()) Fail("not a number: " + text);
    return static_cast<std::uint32_t>(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Address -> byte for every data record; extended linear address records (type 04) give
// the upper 16 bits, as sdldgb writes them for banked areas.
std::map<std::uint32_t, std::uint8_t> ReadIntelHex(const std::string& path) {
    std::ifstream in(path);
    if (!in) Fail("cannot open " + path);
    std::map<std::uint32_t, std::uint8_t> bytes;
    std::uint32_t upper = 0;
    std::string line;
    int lineNumber = 0;
    bool sawEnd = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        const std::string where = path + ":" + std::to_string(lineNumber);
        if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0) Fail(where + ": not an Intel hex record");
        std::vector<std::uint8_t> record;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            const int hi = HexDigit(line[i]);
            const int lo = HexDigit(line[i + 1]);
            if (hi < 0 || lo < 0) Fail(where + ": not a hex digit");
            record.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
        std::uint8_t sum = 0;
        for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0) Fail(where + ": checksum mismatch");
        const std::size_t count = record[0];
        if (record.size() != count + 5) Fail(where + ": length does not match its count");
        const std::uint32_t address = (record[1] << 8) | record[2];
        const std::uint8_t type = record[3];
        if (type == 0x00) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t at = upper + address + static_cast<std::uint32_t>(i);
                if (!bytes.emplace(at, record[4 + i]).second) {
                    char text[64];
                    std::snprintf(text, sizeof text, ": address 0x%X defined twice", at);
                    Fail(where + text);
                }
            }
        } else if (type == 0x01) {
            sawEnd = true;
            break;
        } else if (type == 0x04) {
            if (count != 2) Fail(where + ": bad extended address record");
            upper = static_cast<std::uint32_t>((record[4] << 8) | record[5]) << 16;
        } else {
            Fail(where + ": unexpected record type");
        }
    }
    if (!sawEnd) Fail(path + ": no end-of-file record");
    return bytes;
}

Mapping ParseMapping(const std::string& text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) Fail("mapping must be OFFSET:ADDRESS:LENGTH, got " + text);
    Mapping m;
    m.offset = ParseNumber(text.substr(0, first));
    m.address = ParseNumber(text.substr(first + 1, second - first - 1));
    m.length = ParseNumber(text.substr(second + 1));
    return m;
}

}  // namespace

void WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) Fail("cannot write " + temporary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) Fail("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) Fail("cannot rename " + temporary + " to " + path);
}

int main(int argc, char** argv) {
    if (argc < 7 || std::string(argv[2]) != "-o") {
        std::cerr << "usage: ihxcut IN.ihx -o OUT SIZE FILL OFFSET:ADDRESS:LENGTH... [-o ...]\n";
        return 2;
    }
    std::vector<Output> outputs;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "-o") {
            if (i + 3 >= argc) Fail("-o needs OUT SIZE FILL");
            Output o;
            o.path = argv[i + 1];
            o.size = ParseNumber(argv[i + 2]);
            const std::uint32_t fill = ParseNumber(argv[i + 3]);
            if (fill > 0xFF) Fail("FILL must be a byte");
            o.fill = static_cast<std::uint8_t>(fill);
            outputs.push_back(o);
            i += 3;
        } else {
            outputs.back().mappings.push_back(ParseMapping(argv[i]));
        }
    }

    const auto linked = ReadIntelHex(argv[1]);
    std::map<std::uint32_t, bool> taken;
    std::vector<std::vector<std::uint8_t>> files;
    for (const Output& o : outputs) {
        std::vector<std::uint8_t> out(o.size, o.fill);
        std::vector<bool> written(o.size, false);
        for (const Mapping& m : o.mappings) {
            if (m.offset + m.length > o.size) Fail(o.path + ": mapping runs past the end of the file");
            for (std::uint32_t i = 0; i < m.length; ++i) {
                const auto it = linked.find(m.address + i);
                if (it == linked.end()) continue;
                if (written[m.offset + i]) {
                    char text[96];
                    std::snprintf(text, sizeof text, ": file offset 0x%X receives two linked bytes", m.offset + i);
                    Fail(o.path + text);
                }
                out[m.offset + i] = it->second;
                written[m.offset + i] = true;
                taken[it->first] = true;
            }
        }
        files.push_back(std::move(out));
    }
    for (const auto& [address, value] : linked) {
        (void)value;
        if (!taken.count(address)) {
            char text[96];
            std::snprintf(text, sizeof text, "linked byte at 0x%X lies outside every mapping", address);
            Fail(text);
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) WriteAtomically(outputs[i].path, files[i]);
    return 0;
}
