#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace dapplix {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Closes a descriptor on every way out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

bool FileExist(const std::string& path) {
    if (path.empty()) return false;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        error = SystemError("Couldn't open", path);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = SystemError("Couldn't read", path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "Couldn't read " + path + ": it is not a regular file.";
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        error = "Couldn't read " + path + ": the file is too large (" + std::to_string(info.st_size) +
                " bytes).";
        return false;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t got = ::read(fd.get(), data.data() + done, data.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = SystemError("Couldn't read", path);
            return false;
        }
        if (got == 0) {
            data.resize(done);  // the file shrank while we read it
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes = std::move(data);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error) {
    if (path.empty()) {
        error = "No file name was given.";
        return false;
    }
    const std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        error = "Couldn't write " + path + ": it is a directory.";
        return false;
    }
    // The temporary file sits beside the target so that the final rename stays on one
    // file system and is atomic.
    std::string pattern = (target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path()) /
                          ("." + target.filename().string() + ".XXXXXX");
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) {
        error = SystemError("Couldn't write", path);
        return false;
    }
    const std::string temporary = pattern;
    auto fail = [&](const std::string& message) {
        error = message;
        ::close(fd.release());
        ::unlink(temporary.c_str());
        return false;
    };

    // mkstemp makes the file private; give it the permissions a newly created file
    // would get, or keep those of the file it replaces.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    ::fchmod(fd.get(), mode);

    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd.get(), data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return fail(SystemError("Couldn't write", path));
        done += static_cast<std::size_t>(put);
    }
    if (::fsync(fd.get()) != 0) return fail(SystemError("Couldn't write", path));
    if (::close(fd.release()) != 0) {
        error = SystemError("Couldn't write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("Couldn't write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace dapplix
