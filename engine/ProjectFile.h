// The project file (*.gbp): palette numbers, redrawn tiles, tile offsets and colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Binary.h"

namespace dapplix {

inline constexpr const char* kMsgNotGbp = "Not a valid Gbp file!";
inline constexpr const char* kMsgGbpVersion = "Unsupported Gbp version!";
inline constexpr const char* kMsgCouldNotLoadGbp = "Couldn't Load Gbp File!";

constexpr int kGbpVersion = 3;
constexpr std::size_t kGbpHeaderSize = 12;
constexpr std::size_t kGbpPaletteBlockSize = 128;

// Magic and version of the file at path. Each failure adds its message; a file that
// cannot be opened, or is not a regular file, gets one message naming it and the
// reason. Empty = accepted.
std::vector<std::string> CheckGbpHeader(const std::string& path);
std::vector<std::string> CheckGbpHeaderBytes(const std::vector<std::uint8_t>& file);

// The project of model as the bytes of a .gbp file. Fails only when a bank cannot be
// stored (see the implementation); error then says which.
bool EncodeGbp(const Model& model, std::vector<std::uint8_t>& out, std::string& error);

// Applies a .gbp image to model (tile attributes of banks 0..BankCount cleared first).
// The whole file is checked before anything is changed: a damaged or inconsistent file
// is refused with error set and the model untouched. The header is expected to have
// passed CheckGbpHeaderBytes.
bool DecodeGbp(Model& model, const std::vector<std::uint8_t>& file, std::string& error);

// File versions of the two above. SaveGbp writes all or nothing (WriteFileAtomically).
bool LoadGbp(Model& model, const std::string& path, std::string& error);
bool SaveGbp(const Model& model, const std::string& path, std::string& error);

}  // namespace dapplix
