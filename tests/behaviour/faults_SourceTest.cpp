// Source faults during acquisition: the file a camera plays is deleted, cut short, replaced by a
// folder or made unreadable while the grab runs. Each such frame is the stand-in pattern, the
// run goes on, and the file's picture comes back with the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <tamra/Tamra.h>

#include "behaviour/acquisition_support.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using acquisition_test::FrameLog;
using acquisition_test::levelOf;
using acquisition_test::TempFolder;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;
const std::string kPicture = "the file's picture";
const std::string kStandIn = "the stand-in pattern";
const std::string kNoFrame = "no frame";

// A running, software-triggered emulator playing a folder of one uniform grey file.
class SourcePlayer {
public:
    explicit SourcePlayer(const fs::path& folder) : file_(folder / "frame_00.bmp") {
        restoreFile();
        EXPECT_EQ(grab_.Initialize(), 1);
        log_.attach(grab_);
        std::string path = folder.string();
        EXPECT_EQ(grab_.EmulateFromNewImagePath(path.data(), kWidth, kHeight), 1);
        EXPECT_EQ(grab_.SetTriggerMethod(IXGrab::TRIG_SOFTWARE), 1);
        EXPECT_EQ(grab_.Start(), 1) << grab_.GetLastErrorMsg();
    }
    ~SourcePlayer() {
        log_.openGate();
        grab_.Stop();
        grab_.Terminate();
    }

    // Triggers one frame and tells what it shows.
    std::string nextFrame() {
        const std::size_t expected = log_.frameCount() + 1;
        grab_.GenerateSoftTrigger(0);
        if (!log_.waitForFrames(expected)) return kNoFrame;
        const std::vector<std::uint8_t>& pixels = log_.frames().back().pixels;
        for (const std::uint8_t value : pixels)
            if (value != levelOf(0)) return kStandIn;
        return kPicture;
    }
    const fs::path& file() const { return file_; }
    void restoreFile() {
        std::error_code ignored;
        fs::remove_all(file_, ignored);
        acquisition_test::writeNumberedFiles(file_.parent_path(), 1, kWidth, kHeight);
    }

private:
    fs::path file_;
    FrameLog log_{kWidth * kHeight};
    CIGrabEmu grab_;
};

TEST(SourceFaults, ADeletedFileGivesTheStandInUntilItReturns) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    EXPECT_EQ(player.nextFrame(), kPicture);
    fs::remove(player.file());
    EXPECT_EQ(player.nextFrame(), kStandIn);
    EXPECT_EQ(player.nextFrame(), kStandIn);
    player.restoreFile();
    EXPECT_EQ(player.nextFrame(), kPicture);
}

TEST(SourceFaults, AFileCutShortGivesTheStandInUntilItIsWhole) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    EXPECT_EQ(player.nextFrame(), kPicture);
    const std::uintmax_t size = fs::file_size(player.file());
    // Cut inside the headers, inside the pixel rows, and to nothing.
    for (const std::uintmax_t cut : {std::uintmax_t{30}, size / 2, size - 1, std::uintmax_t{0}}) {
        fs::resize_file(player.file(), cut);
        EXPECT_EQ(player.nextFrame(), kStandIn) << "file cut to " << cut << " of " << size;
    }
    player.restoreFile();
    EXPECT_EQ(player.nextFrame(), kPicture);
}

TEST(SourceFaults, AFolderInPlaceOfTheFileGivesTheStandIn) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    EXPECT_EQ(player.nextFrame(), kPicture);
    fs::remove(player.file());
    fs::create_directories(player.file() / "inside");
    EXPECT_EQ(player.nextFrame(), kStandIn);
    player.restoreFile();
    EXPECT_EQ(player.nextFrame(), kPicture);
}

#if !defined(_WIN32)
constexpr int kCannotRunAsOther = 77;

// The scenario a process without the file's read permission plays.
void unreadableFileScenario() {
    TempFolder folder;
    SourcePlayer player(folder.path());
    EXPECT_EQ(player.nextFrame(), kPicture);
    fs::permissions(player.file(), fs::perms::none);
    EXPECT_EQ(player.nextFrame(), kStandIn);
    fs::permissions(player.file(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(player.nextFrame(), kPicture);
}
#endif

// Permissions bind only a user without the right to pass them: as root the scenario runs in a
// child process that has dropped to the unprivileged user "nobody" (65534) first.
TEST(SourceFaults, AnUnreadableFileGivesTheStandInUntilItIsReadableAgain) {
#if defined(_WIN32)
    GTEST_SKIP() << "POSIX file permissions";
#else
    if (::geteuid() != 0) {
        unreadableFileScenario();
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(kCannotRunAsOther);
        unreadableFileScenario();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == kCannotRunAsOther)
        GTEST_SKIP() << "running as root and cannot drop to user nobody, so read permissions "
                        "bind nothing";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's failures above";
#endif
}

}  // namespace
