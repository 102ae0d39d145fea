#include "Files.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace dapplix {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// What a path names, in the words of a message, for anything but a regular file.
std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    return "something else";
}

std::string NotRegular(const std::string& what, const std::string& path, mode_t mode) {
    return what + " " + path + ": it is " + KindOf(mode) + ", not a regular file.";
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

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// --- the temporary file being written, for the signal handler -----------------------------
//
// One write at a time: the path of its named temporary file (if it has one yet) sits in a
// fixed buffer that the handler reads without allocating. The handler removes that file and
// then lets the signal end the process as it would have without the handler.

volatile std::sig_atomic_t gTemporaryRegistered = 0;
char gTemporaryPath[PATH_MAX];

extern "C" void RemoveTemporaryAndStop(int signalNumber) {
    if (gTemporaryRegistered) ::unlink(gTemporaryPath);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);  // delivered as soon as the handler returns
}

void RegisterTemporary(const std::string& path) {
    if (path.size() >= sizeof gTemporaryPath) return;  // cannot be named to the handler
    std::memcpy(gTemporaryPath, path.c_str(), path.size() + 1);
    gTemporaryRegistered = 1;
}

void ForgetTemporary() { gTemporaryRegistered = 0; }

// Keeps SIGINT and SIGTERM away while a temporary file is created and named to the
// handler, and while it is renamed and forgotten, so the handler never sees half a step.
class BlockInterrupts {
public:
    BlockInterrupts() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~BlockInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockInterrupts(const BlockInterrupts&) = delete;
    BlockInterrupts& operator=(const BlockInterrupts&) = delete;

private:
    sigset_t previous_;
};

// For the length of one write: SIGINT and SIGTERM remove the temporary file before they
// end the process (only where they would end it: a handler of the program's own, or an
// ignored signal, is left alone), and SIGXFSZ is ignored so that passing a file-size
// limit makes write() fail with EFBIG instead of killing the process. Everything is put
// back as it was afterwards.
class WriteSignals {
public:
    WriteSignals() {
        for (std::size_t i = 0; i < 2; ++i) {
            sigaction(kStopping[i], nullptr, &previous_[i]);
            const bool byDefault = !(previous_[i].sa_flags & SA_SIGINFO) && previous_[i].sa_handler == SIG_DFL;
            if (!byDefault) continue;
            struct sigaction cleanUp {};
            cleanUp.sa_handler = RemoveTemporaryAndStop;
            sigemptyset(&cleanUp.sa_mask);
            installed_[i] = sigaction(kStopping[i], &cleanUp, nullptr) == 0;
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, &previousFileSize_);
    }
    ~WriteSignals() {
        ForgetTemporary();
        for (std::size_t i = 0; i < 2; ++i)
            if (installed_[i]) sigaction(kStopping[i], &previous_[i], nullptr);
        sigaction(SIGXFSZ, &previousFileSize_, nullptr);
    }
    WriteSignals(const WriteSignals&) = delete;
    WriteSignals& operator=(const WriteSignals&) = delete;

private:
    static constexpr int kStopping[2] = {SIGINT, SIGTERM};
    struct sigaction previous_[2] {};
    bool installed_[2] = {false, false};
    struct sigaction previousFileSize_ {};
};

// A short hidden name in folder that nothing else uses. Short, so that a target name of
// up to 255 bytes still has a temporary name beside it.
std::string TemporaryName(const std::string& folder) {
    static std::mt19937 random{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = folder + "/.dapplix-";
    for (int i = 0; i < 6; ++i) name.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    return name;
}

// Puts the finished temporary file in the target's place; on failure it is removed.
bool ReplaceTarget(const std::string& temporary, const std::string& target, const std::string& shownPath,
                   std::string& error) {
    BlockInterrupts blocked;
    const bool renamed = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!renamed) {
        error = SystemError("Couldn't write", shownPath);
        ::unlink(temporary.c_str());
    }
    ForgetTemporary();
    return renamed;
}

// The named way: a short hidden temporary file, written, flushed and renamed.
bool WriteThroughNamedFile(const std::string& folder, const std::string& target, const std::string& shownPath,
                           const std::uint8_t* data, std::size_t size, mode_t mode, std::string& error) {
    std::string temporary = folder + "/.dapplix-XXXXXX";
    int fd = -1;
    {
        BlockInterrupts blocked;
        fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd >= 0) RegisterTemporary(temporary);
    }
    if (fd < 0) {
        error = SystemError("Couldn't write", shownPath);
        return false;
    }
    const auto fail = [&] {
        error = SystemError("Couldn't write", shownPath);
        ::close(fd);
        ::unlink(temporary.c_str());
        ForgetTemporary();
        return false;
    };
    // mkstemp makes the file private; give it the permissions the target has or would get.
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, data, size) || ::fsync(fd) != 0) return fail();
    if (::close(fd) != 0) {
        error = SystemError("Couldn't write", shownPath);
        ::unlink(temporary.c_str());
        ForgetTemporary();
        return false;
    }
    return ReplaceTarget(temporary, target, shownPath, error);
}

enum class Outcome { Written, Failed, Unavailable };

// The unnamed way (Linux O_TMPFILE): the file has no name while it is written, so a
// process that dies mid-write leaves nothing behind. Once complete it is linked under a
// short temporary name and renamed over the target. Unavailable: the system or the file
// system offers no unnamed files (or cannot link one); nothing was left behind.
Outcome WriteThroughUnnamedFile(const std::string& folder, const std::string& target, const std::string& shownPath,
                                const std::uint8_t* data, std::size_t size, mode_t mode, std::string& error) {
#ifdef O_TMPFILE
    FileDescriptor fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd.get() < 0) return Outcome::Unavailable;
    if (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), data, size) || ::fsync(fd.get()) != 0) {
        error = SystemError("Couldn't write", shownPath);
        return Outcome::Failed;  // closing the descriptor frees the file
    }
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd.get());
    std::string temporary;
    {
        BlockInterrupts blocked;
        for (int attempt = 0; attempt < 16 && temporary.empty(); ++attempt) {
            const std::string name = TemporaryName(folder);
            // Linking from the descriptor itself needs a privilege; through /proc it does not.
            if (::linkat(fd.get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
                ::linkat(AT_FDCWD, byDescriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temporary = name;
            else if (errno != EEXIST)
                break;
        }
        if (!temporary.empty()) RegisterTemporary(temporary);
    }
    if (temporary.empty()) return Outcome::Unavailable;
    if (::close(fd.release()) != 0) {
        error = SystemError("Couldn't write", shownPath);
        ::unlink(temporary.c_str());
        ForgetTemporary();
        return Outcome::Failed;
    }
    return ReplaceTarget(temporary, target, shownPath, error) ? Outcome::Written : Outcome::Failed;
#else
    (void)folder, (void)target, (void)shownPath, (void)data, (void)size, (void)mode, (void)error;
    return Outcome::Unavailable;
#endif
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string& error, bool* notRegular) {
    if (notRegular) *notRegular = false;
    // The type is asked first, so that a FIFO or device is never opened at all; the open
    // does not wait either, in case the path was swapped for one in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = SystemError("Couldn't open", path);
        return -1;
    }
    const auto refuse = [&](mode_t mode) {
        error = NotRegular("Couldn't open", path, mode);
        if (notRegular) *notRegular = true;
        return -1;
    };
    if (!S_ISREG(info.st_mode)) return refuse(info.st_mode);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        error = SystemError("Couldn't open", path);
        return -1;
    }
    if (::fstat(fd.get(), &info) != 0) {
        error = SystemError("Couldn't open", path);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) return refuse(info.st_mode);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = SystemError("Couldn't open", path);
        return -1;
    }
    return fd.release();
}

bool FileExist(const std::string& path, std::string* notRegular) {
    std::string error;
    bool special = false;
    if (notRegular) notRegular->clear();
    const int fd = OpenRegularFile(path, error, &special);
    if (fd < 0) {
        if (special && notRegular) *notRegular = error;
        return false;
    }
    ::close(fd);
    return true;
}

namespace {

// Reads up to limit bytes from fd; over is set when the file holds more than limit.
bool ReadUpTo(int fd, std::size_t limit, std::vector<std::uint8_t>& data, bool& over) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    over = static_cast<std::uint64_t>(info.st_size) > limit;
    data.resize(over ? limit : static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t got = ::read(fd, data.data() + done, data.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;  // the file shrank while it was read
        done += static_cast<std::size_t>(got);
    }
    data.resize(done);
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes) {
    FileDescriptor fd(OpenRegularFile(path, error));
    if (fd.get() < 0) return false;
    std::vector<std::uint8_t> data;
    bool over = false;
    if (!ReadUpTo(fd.get(), maxBytes, data, over)) {
        error = SystemError("Couldn't read", path);
        return false;
    }
    if (over) {
        struct stat info {};
        ::fstat(fd.get(), &info);
        error = "Couldn't read " + path + ": the file is too large (" + std::to_string(info.st_size) + " bytes).";
        return false;
    }
    bytes = std::move(data);
    return true;
}

bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    FileDescriptor fd(OpenRegularFile(path, error));
    if (fd.get() < 0) return false;
    bool over = false;
    if (!ReadUpTo(fd.get(), count, bytes, over)) {
        error = SystemError("Couldn't read", path);
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool CheckOutputTarget(const std::string& path, const std::vector<std::string>& inputs, std::string& error) {
    if (path.empty()) {
        error = "No file name was given.";
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;  // a new file; a missing folder is the write's to report
        error = SystemError("Couldn't write", path);
        return false;
    }
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) {
        // Writing would either replace the link by a file or make a file somewhere the
        // user never named: neither is what was asked for.
        std::error_code ec;
        const auto to = std::filesystem::read_symlink(path, ec).string();
        error = "Couldn't write " + path + ": it is a symbolic link to " + to + ", which " +
                (errno == ENOENT ? std::string("does not exist.") : std::string("cannot be reached: ") + std::strerror(errno));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "Couldn't write " + path + ": it is a folder.";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = NotRegular("Couldn't write", path, info.st_mode);
        return false;
    }
    // A file nobody may write to was made read-only on purpose; a file the user may not
    // write to is not the user's to replace (cp refuses the same).
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        error = "Couldn't write " + path + ": the file is read-only.";
        return false;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        error = SystemError("Couldn't write", path);
        return false;
    }
    for (const std::string& input : inputs) {
        if (SameFile(path, input)) {
            error = "Couldn't write " + path + ": it is the same file as the input " + input + ", which would be lost.";
            return false;
        }
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error, bool allowUnnamed) {
    if (!CheckOutputTarget(path, {}, error)) return false;
    // A symbolic link is written through: the file it names is replaced, the link stays.
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved) {
            error = SystemError("Couldn't write", path);
            return false;
        }
        target = resolved;
        std::free(resolved);
    }
    // The temporary file sits in the target's folder so that the final rename stays on
    // one file system and is atomic.
    const std::filesystem::path parent = std::filesystem::path(target).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    const mode_t mode = ::stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : (0666 & ~CurrentUmask());

    WriteSignals signals;
    if (allowUnnamed) {
        const Outcome outcome = WriteThroughUnnamedFile(folder, target, path, data, size, mode, error);
        if (outcome != Outcome::Unavailable) return outcome == Outcome::Written;
    }
    return WriteThroughNamedFile(folder, target, path, data, size, mode, error);
}

bool FlushOutput(std::FILE* stream, std::string& error) {
    errno = 0;
    const bool flushed = std::fflush(stream) == 0;
    if (flushed && !std::ferror(stream)) return true;
    error = std::strerror(errno != 0 ? errno : EIO);
    return false;
}

}  // namespace dapplix
