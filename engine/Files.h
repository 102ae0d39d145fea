// File helpers shared by every reader and writer of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dapplix {

// True when path names something that can be opened for reading and is not a directory.
bool FileExist(const std::string& path);

// Reads a whole regular file. Refuses (false, error set) a file that cannot be opened,
// is not a regular file, or is longer than maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes);

// All-or-nothing write: the bytes go to a temporary file beside path, which replaces
// path only once it is complete and flushed. On failure the old file (if any) is left
// as it was, the temporary file is removed and error says why.
bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error);

inline bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                std::string& error) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

}  // namespace dapplix
