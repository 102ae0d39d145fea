// What the program may read and replace, and how a write survives being stopped.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "TestRoms.h"
#include "engine/Files.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;
namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

mode_t TypeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

// What is not a regular file is refused, with the reason, before anything is read (a FIFO with
// no writer would make a plain open wait for ever: the alarm fails the test instead) or written;
// so are targets a write would destroy.
TEST(Files, RefuseWhatIsNotARegularFileAndWhatAWriteWouldDestroy) {
    ScratchDir dir;
    WriteFile(dir / "rom.gb", {1, 2, 3});
    WriteFile(dir / "readonly.gbc", {4, 5});
    fs::permissions(dir / "readonly.gbc", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(::mkfifo((dir / "pipe.gbc").c_str(), 0644), 0);
    ASSERT_EQ(::mknod((dir / "sock.gbc").c_str(), S_IFSOCK | 0644, 0), 0);  // a socket's file, with no one listening
    fs::create_directory(dir / "folder.gbc");
    ::alarm(20);
    for (const auto& [name, kind] : {std::pair{"pipe.gbc", "a FIFO"}, {"sock.gbc", "a socket"},
                                     {"/dev/zero", "a character device"}, {"folder.gbc", "a folder"}}) {
        const std::string path = (dir / name).string();
        const std::string reason = "Couldn't open " + path + ": it is " + kind + ", not a regular file.";
        auto model = MakeModel();
        std::string error, why;
        EXPECT_EQ(LoadRom(*model, path).errors, std::vector<std::string>{reason});
        EXPECT_EQ(CheckGbpHeader(path), std::vector<std::string>{reason});
        EXPECT_EQ(std::pair(LoadGbp(*model, path, error), FileExist(path, &why)), std::pair(false, false)) << path;
        EXPECT_EQ(std::pair(error, why), std::pair(reason, reason));
    }
    // A FIFO with a side file's name is passed over for the real file in the next folder.
    ScratchDir real;
    ASSERT_EQ(::mkfifo((dir / kBank0CodeFile).c_str(), 0644), 0);
    WriteSideFiles(real.path());
    Model model;
    std::string fatal;
    EXPECT_TRUE(LoadCodeFiles(model, {dir.path().string(), real.path().string()}, fatal)) << fatal;
    ::alarm(0);

    fs::create_symlink("nowhere.gbc", dir / "dangling.gbc");
    fs::create_symlink("pipe.gbc", dir / "topipe.gbc");
    fs::create_hard_link(dir / "rom.gb", dir / "hard.gbc");
    fs::create_symlink("rom.gb", dir / "torom.gbc");
    const std::string input = (dir / "rom.gb").string();
    const std::string lost = "it is the same file as the input " + input + ", which would be lost.";
    const std::pair<const char*, std::string> cases[] = {  // a name and why a write there is refused ("" if it is not)
        {"pipe.gbc", "it is a FIFO, not a regular file."},
        {"sock.gbc", "it is a socket, not a regular file."},
        {"topipe.gbc", "it is a FIFO, not a regular file."},
        {"folder.gbc", "it is a folder."},
        {"dangling.gbc", "it is a symbolic link to nowhere.gbc, which does not exist."},
        {"readonly.gbc", "the file is read-only."},
        {"rom.gb", lost},
        {"hard.gbc", lost},
        {"torom.gbc", lost},
        {"new.gbc", ""},
    };
    std::string error;
    EXPECT_FALSE(CheckOutputTarget("/dev/null", {}, error));
    EXPECT_EQ(error, "Couldn't write /dev/null: it is a character device, not a regular file.");
    const auto before = Names(dir.path());
    for (const auto& [name, reason] : cases) {
        const std::string path = (dir / name).string(), expected = reason.empty() ? "" : "Couldn't write " + path + ": " + reason;
        const mode_t type = TypeOf(path);
        error.clear();
        EXPECT_EQ(CheckOutputTarget(path, {input, ""}, error), reason.empty()) << name;
        EXPECT_EQ(error, expected) << name;
        if (reason == lost) continue;  // the writer itself knows no inputs
        const std::vector<std::uint8_t> bytes(100, 0x42);
        for (const bool unnamed : {true, false}) {
            error.clear();
            EXPECT_EQ(WriteFileAtomically(path, bytes.data(), bytes.size(), error, unnamed), reason.empty()) << name;
            EXPECT_EQ(error, expected) << name;
            EXPECT_EQ(TypeOf(path), reason.empty() ? S_IFREG : type) << name;
            fs::remove(dir / "new.gbc");
        }
    }
    EXPECT_EQ(Names(dir.path()), before);
    EXPECT_EQ(std::pair(ReadFile(dir / "readonly.gbc"), ReadFile(dir / "rom.gb")), std::pair(Bytes{4, 5}, Bytes{1, 2, 3}));
}

// A link is written through and stays a link; the longest names are written and replaced,
// both ways the temporary file can be made.
TEST(WriteFileAtomically, WritesThroughLinksAndTakesTheLongestNames) {
    ScratchDir dir;
    fs::create_directory(dir / "real");
    WriteFile(dir / "real" / "target.gbc", {9});
    fs::create_symlink("real/target.gbc", dir / "link.gbc");
    for (const bool unnamed : {true, false}) {
        const std::vector<std::uint8_t> bytes(3000, unnamed ? 0x11 : 0x22);
        std::string error;
        ASSERT_TRUE(WriteFileAtomically((dir / "link.gbc").string(), bytes.data(), bytes.size(), error, unnamed)) << error;
        EXPECT_TRUE(fs::is_symlink(dir / "link.gbc"));
        EXPECT_EQ(ReadFile(dir / "real" / "target.gbc"), bytes);
        EXPECT_EQ(Names(dir / "real"), std::set<std::string>{"target.gbc"});
        for (const std::size_t length : {248u, 255u}) {
            const std::string name(length, unnamed ? 'u' : 'n');
            for (int round = 0; round < 2; ++round) {  // a new file, then replacing it
                ASSERT_TRUE(WriteFileAtomically((dir / name).string(), bytes.data(), bytes.size() - round, error, unnamed))
                    << length << ": " << error;
                EXPECT_EQ(fs::file_size(dir / name), bytes.size() - round);
            }
        }
    }
    EXPECT_EQ(Names(dir.path()).size(), 6u);  // real, link.gbc and the four long names: no temporary left
}

// A write stopped by SIGINT or SIGTERM, or cut short by a file-size limit (an error, not the
// end of the process), leaves the old file whole and no temporary file behind. Each write
// runs in a child process, which the signal ends as it would end the program.
TEST(WriteFileAtomically, InterruptedWritesLeaveNoTemporaryFile) {
    // signal 0: a file-size limit instead
    for (const auto& [signal, unnamed] : {std::pair{SIGTERM, true}, {SIGTERM, false}, {SIGINT, false}, {0, true}, {0, false}}) {
        ScratchDir dir;
        WriteFile(dir / "old.gbc", {7, 7, 7});
        const std::string target = (dir / "old.gbc").string();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // 64 MiB, flushed to disk: the signal, 2 ms in, comes mid-write.
            const std::size_t size = signal ? std::size_t(64) << 20 : std::size_t(1) << 20;
            auto* data = static_cast<std::uint8_t*>(
                ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
            std::string error;
            if (signal) {
                std::signal(signal, SIG_DFL);  // as in a program started from a terminal
                sigevent event{};
                event.sigev_notify = SIGEV_SIGNAL;
                event.sigev_signo = signal;
                timer_t timer;
                const itimerspec when{.it_interval = {}, .it_value = {0, 2'000'000}};
                if (::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0 || ::timer_settime(timer, 0, &when, nullptr) != 0)
                    ::_exit(3);
            } else {
                const rlimit limit{256 * 1024, RLIM_INFINITY};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            const bool written = WriteFileAtomically(target, data, size, error, unnamed);
            ::_exit(written ? 1 : error.find("File too large") != std::string::npos ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(signal ? WIFSIGNALED(status) && WTERMSIG(status) == signal : WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << signal << " " << status;
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"old.gbc"}) << signal << " " << unnamed;
        EXPECT_EQ(ReadFile(dir / "old.gbc"), (std::vector<std::uint8_t>{7, 7, 7}));
    }

    // The program's own handlers are back after a write.
    struct sigaction before {}, after {};
    const auto previous = std::signal(SIGTERM, SIG_IGN);
    sigaction(SIGINT, nullptr, &before);
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(WriteFileAtomically((dir / "x").string(), std::vector<std::uint8_t>(10), error));
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_EQ(std::signal(SIGTERM, previous), SIG_IGN);
    EXPECT_EQ(std::signal(SIGXFSZ, SIG_DFL), SIG_DFL);
}

}  // namespace
}  // namespace dapplix
