// Start-up: the Game Boy code that the colour ROM runs comes from two side files.
#pragma once

#include <string>
#include <vector>

#include "Binary.h"

namespace dapplix {

inline constexpr const char* kBank0CodeFile = "bnk0cod.dat";
inline constexpr const char* kExtraBankCodeFile = "exbnkcod.dat";
// bnk0cod.dat: five fragments, each after one byte that is not used.
inline constexpr std::size_t kBank0CodeFileLength = 1 + kEntryHookLength + 1 + kDmaHookLength + 1 + kCopyHookLength +
                                                    1 + kCopyTailLength + 1 + kStoreHooksLength;

// Folders searched for the side files, in order: the current directory, then the
// directory of the running executable (a program started from a desktop menu runs in
// another current directory).
std::vector<std::string> CodeFileSearchDirs();

// The first folder of dirs that holds name, joined with name; empty when none does.
std::string FindCodeFile(const std::string& name, const std::vector<std::string>& dirs);

// Reads both side files into the code blocks of model. bnk0cod.dat is looked for first;
// when a file is in none of dirs, fatalMessage is "Required file <name> missing!" and
// the result is false. A file that cannot be read, or is shorter than the bytes taken
// from it (106 and 512), is refused the same way, with fatalMessage naming it; the
// model is changed only when both files are sound.
bool LoadCodeFiles(Model& model, const std::vector<std::string>& dirs, std::string& fatalMessage);

}  // namespace dapplix
