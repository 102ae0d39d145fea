#include "CodeFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Files.h"
#include "SideFileLayout.h"

namespace dapplix {
namespace {

// The first count bytes of a file; bytes past its end read as 0x00.
std::vector<std::uint8_t> ReadPrefix(const std::string& path, std::size_t count) {
    std::vector<std::uint8_t> bytes(count, 0);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    return bytes;
}

template <std::size_t N>
void CopyBlock(std::array<std::uint8_t, N>& block, const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), N, block.begin());
}

// Up to limit bytes of a file, as many as it has.
std::vector<std::uint8_t> ReadWholeFilePrefix(const std::string& path, std::size_t limit) {
    std::vector<std::uint8_t> bytes(limit, 0);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

}  // namespace

std::vector<std::string> CodeFileSearchDirs() {
    std::vector<std::string> dirs{"."};
    std::error_code ec;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && executable.has_parent_path()) dirs.push_back(executable.parent_path().string());
    return dirs;
}

std::string FindCodeFile(const std::string& name, const std::vector<std::string>& dirs) {
    for (const auto& dir : dirs) {
        const std::string candidate = (std::filesystem::path(dir) / name).string();
        if (FileExist(candidate)) return candidate;
    }
    return {};
}

bool LoadCodeFiles(Model& model, const std::vector<std::string>& dirs, std::string& fatalMessage) {
    // bnk0cod.dat: four fragments, each after one byte that is not used.
    constexpr std::size_t kBank0CodeUsed = 1 + kEntryHookLength + 1 + kDmaHookLength + 1 + kCopyHookLength +
                                           1 + kCopyTailLength;
    const std::string bank0Path = FindCodeFile(kBank0CodeFile, dirs);
    if (bank0Path.empty()) {
        fatalMessage = std::string("Required file ") + kBank0CodeFile + " missing!";
        return false;
    }
    const std::string extraPath = FindCodeFile(kExtraBankCodeFile, dirs);
    if (extraPath.empty()) {
        fatalMessage = std::string("Required file ") + kExtraBankCodeFile + " missing!";
        return false;
    }

    const auto bank0 = ReadPrefix(bank0Path, kBank0CodeUsed);
    std::size_t at = 1;
    CopyBlock(model.EntryHookCode, bank0, at);
    at += kEntryHookLength + 1;
    CopyBlock(model.DmaHookCode, bank0, at);
    at += kDmaHookLength + 1;
    CopyBlock(model.CopyHookCode, bank0, at);
    at += kCopyHookLength + 1;
    CopyBlock(model.CopyTailCode, bank0, at);

    // The first 512 bytes are the block the scan and the writer fill in; the runtime and
    // its set-up follow, up to the end of the file (at most kColourCodeLimit bytes in all).
    const std::vector<std::uint8_t> extra = ReadWholeFilePrefix(extraPath, sidefile::kColourCodeLimit);
    std::vector<std::uint8_t> head(extra.begin(), extra.begin() + std::min<std::size_t>(extra.size(), kExtraBankCodeLength));
    head.resize(kExtraBankCodeLength, 0);
    CopyBlock(model.ExtraBankCode, head, 0);
    model.ExtraBankCodeAsRead = model.ExtraBankCode;
    model.ExtraBankCodeRest.assign(extra.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(extra.size(), kExtraBankCodeLength)),
                                   extra.end());
    return true;
}

}  // namespace dapplix
