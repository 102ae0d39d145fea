// File helpers shared by every reader and writer of the program, the window program and
// dapplix-cli alike: what may be read, what may be replaced, and how a write is made
// all or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace dapplix {

// Opens path for reading without ever waiting: a FIFO, socket or device is refused
// (with the reason, "it is a FIFO, not a regular file") before anything could block on
// it. Returns the open descriptor, which the caller closes, or -1 with error set to
// "Couldn't open <path>: <reason>". notRegular, when given, tells apart "something is
// there but it is not a file" from "cannot be opened" (missing, no permission).
int OpenRegularFile(const std::string& path, std::string& error, bool* notRegular = nullptr);

// True when path names a regular file that can be opened for reading. When it is false
// because something other than a regular file is there (a FIFO, socket, device or
// folder), notRegular (if given) receives the reason; otherwise it is left empty.
bool FileExist(const std::string& path, std::string* notRegular = nullptr);

// Reads a whole regular file. Refuses (false, error set) a file that cannot be opened,
// is not a regular file, or is longer than maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes);

// Reads at most count bytes from the start of a regular file (fewer when it is shorter).
bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>& bytes,
                   std::string& error);

// True when a and b are one file (same device and inode, symbolic links followed),
// whatever names lead to them. Paths that do not exist are no file.
bool SameFile(const std::string& a, const std::string& b);

// Whether path may be written with WriteFileAtomically, checked before any work starts.
// Refused, with error saying why: an existing folder, FIFO, socket or device (it would be
// replaced by a plain file), a symbolic link to nothing, a file the user may not write to
// or that nobody may write to, and a file that is one of inputs (writing it would lose
// the input it is made from). A symbolic link to a regular file is allowed: the file it
// names is written and the link stays.
bool CheckOutputTarget(const std::string& path, const std::vector<std::string>& inputs, std::string& error);

// All-or-nothing write after CheckOutputTarget(path, {}): the bytes go to a temporary
// file in the target's folder (unnamed where the system offers it, else a short hidden
// name), which replaces the target only once it is complete and flushed. On failure, and
// on SIGINT or SIGTERM while it runs, the temporary file is removed and the old file
// (if any) is left as it was; SIGXFSZ is ignored while it runs, so a file-size limit is
// an error (EFBIG) rather than the end of the process. allowUnnamed = false always takes
// the named temporary file, as on a system without unnamed files.
bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error, bool allowUnnamed = true);

inline bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                std::string& error) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

// Flushes stream and says whether everything written to it arrived; error names the
// reason (standard output sent to a full disk or /dev/full). Printing is the result of
// a command-line run, so text that never arrived is a failure.
bool FlushOutput(std::FILE* stream, std::string& error);

}  // namespace dapplix
