#include "CodeFiles.h"

#include <algorithm>
#include <filesystem>

#include "Files.h"
#include "SideFileLayout.h"

namespace dapplix {
namespace {

// Refuses a side file shorter than count bytes. A shorter file would put bytes that are not
// code into the colour ROM, which then fails on the Game Boy while the write reports
// success: it is refused, naming the file.
bool CheckSideFileLength(const std::vector<std::uint8_t>& bytes, const char* name, std::size_t count,
                         std::string& fatalMessage) {
    if (bytes.size() < count) {
        fatalMessage = std::string("Required file ") + name + " is too short: it holds " + std::to_string(bytes.size()) +
                       " bytes, the color code needs " + std::to_string(count) + ".";
        return false;
    }
    return true;
}

// The first bytes of a side file, up to limit, at least count.
bool ReadSideFile(const std::string& path, const char* name, std::size_t count, std::size_t limit,
                  std::vector<std::uint8_t>& bytes, std::string& fatalMessage) {
    std::string error;
    if (!ReadFileStart(path, limit, bytes, error)) {
        fatalMessage = error;
        return false;
    }
    return CheckSideFileLength(bytes, name, count, fatalMessage);
}

template <std::size_t N>
void CopyBlock(std::array<std::uint8_t, N>& block, const std::vector<std::uint8_t>& bytes, std::size_t from) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), N, block.begin());
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

    std::vector<std::uint8_t> bank0, extra;
    // exbnkcod.dat: the 512-byte block the scan and the writer fill in, then the runtime and
    // its set-up, as long as the block's own length field says (0x12E-0x12F).
    if (!ReadSideFile(bank0Path, kBank0CodeFile, kBank0CodeFileLength, kBank0CodeFileLength, bank0, fatalMessage) ||
        !ReadSideFile(extraPath, kExtraBankCodeFile, kExtraBankCodeLength, sidefile::kColourCodeLimit, extra, fatalMessage))
        return false;
    const std::size_t colourCodeLength = extra[sidefile::kColourCodeLength] | extra[sidefile::kColourCodeLength + 1] << 8;
    if (!CheckSideFileLength(extra, kExtraBankCodeFile, std::max(colourCodeLength, std::size_t(kExtraBankCodeLength)),
                             fatalMessage))
        return false;

    std::size_t at = 1;
    CopyBlock(model.EntryHookCode, bank0, at);
    at += kEntryHookLength + 1;
    CopyBlock(model.DmaHookCode, bank0, at);
    at += kDmaHookLength + 1;
    CopyBlock(model.CopyHookCode, bank0, at);
    at += kCopyHookLength + 1;
    CopyBlock(model.CopyTailCode, bank0, at);
    at += kCopyTailLength + 1;
    CopyBlock(model.StoreHooksCode, bank0, at);

    CopyBlock(model.ExtraBankCode, extra, 0);
    model.ExtraBankCodeAsRead = model.ExtraBankCode;
    model.ExtraBankCodeRest.assign(extra.begin() + kExtraBankCodeLength, extra.end());
    return true;
}

}  // namespace dapplix
