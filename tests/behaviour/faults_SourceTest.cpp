// Source faults during acquisition: the file a camera plays is deleted, cut short, replaced by a
// folder or made unreadable while the grab runs. Each such frame is the stand-in pattern, the
// run goes on, the frame's record says why, and the file's picture comes back with the file.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <tamra/Observe.h>
#include <tamra/Tamra.h>

#include "grab_support.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using grab_test::FrameLog;
using grab_test::levelOf;
using grab_test::TempFolder;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;
const std::string kPicture = "the file's picture";
const std::string kStandIn = "the stand-in pattern";
const std::string kNoFrame = "no frame";

// What one frame showed, and what its record says.
struct Seen {
    std::string what;
    std::string reason;  // the record's reason for the stand-in; empty when the file played
    std::string source;  // the file the record names
};

// A running, software-triggered emulator playing a folder of one uniform grey file.
class SourcePlayer {
public:
    explicit SourcePlayer(const fs::path& folder) : file_(folder / "frame_00.bmp") {
        restoreFile();
        EXPECT_EQ(grab_.Initialize(), 1);
        log_.attach(grab_);
        // The record is valid only inside the callback that received the frame.
        log_.setAction([this](const grab_test::Delivery& delivery) {
            TamraFrameRecord record{};
            const int found = TamraGetFrameRecord(&grab_, delivery.buffer, &record);
            std::lock_guard<std::mutex> lock(mutex_);
            records_.push_back(found == 1 ? record : TamraFrameRecord{});
            recorded_.notify_all();
        });
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

    // Triggers one frame and tells what it shows and why.
    Seen nextFrame() {
        const std::size_t expected = log_.frameCount() + 1;
        grab_.GenerateSoftTrigger(0);
        if (!log_.waitForFrames(expected)) return {kNoFrame, "", ""};
        TamraFrameRecord record{};
        {
            std::unique_lock<std::mutex> lock(mutex_);
            recorded_.wait(lock, [&] { return records_.size() >= expected; });
            record = records_.back();
        }
        Seen seen{kPicture, record.planes[0].reason, record.planes[0].sourceFile};
        const std::vector<grab_test::Delivery> frames = log_.frames();
        for (const std::uint8_t value : frames.back().pixels)
            if (value != levelOf(0)) seen.what = kStandIn;
        EXPECT_EQ(record.planeCount, 1u);
        EXPECT_EQ(record.planes[0].substituted, seen.what == kStandIn ? 1 : 0) << seen.reason;
        return seen;
    }
    const fs::path& file() const { return file_; }
    void restoreFile() {
        std::error_code ignored;
        fs::remove_all(file_, ignored);
        grab_test::writeNumberedFiles(file_.parent_path(), 1, kWidth, kHeight);
    }
    // A frame of the file's own picture, from the file.
    void expectPicture() {
        const Seen seen = nextFrame();
        EXPECT_EQ(seen.what, kPicture);
        EXPECT_EQ(seen.reason, "");
        EXPECT_EQ(seen.source, file_.string());
    }
    // The stand-in, with a reason that says what went wrong.
    void expectStandIn(const std::string& reason) {
        const Seen seen = nextFrame();
        EXPECT_EQ(seen.what, kStandIn);
        EXPECT_NE(seen.reason.find(reason), std::string::npos)
            << "the reason '" << seen.reason << "' does not say '" << reason << "'";
    }

private:
    fs::path file_;
    FrameLog log_{kWidth * kHeight};
    CIGrabEmu grab_;
    std::mutex mutex_;
    std::condition_variable recorded_;
    std::vector<TamraFrameRecord> records_;
};

TEST(SourceFaults, ADeletedFileGivesTheStandInUntilItReturns) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    player.expectPicture();
    fs::remove(player.file());
    player.expectStandIn("file not found");
    player.expectStandIn("file not found");
    player.restoreFile();
    player.expectPicture();
}

TEST(SourceFaults, AFileCutShortGivesTheStandInUntilItIsWhole) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    player.expectPicture();
    const std::uintmax_t size = fs::file_size(player.file());
    // Cut inside the pixel rows, inside the headers, and to nothing.
    const std::pair<std::uintmax_t, std::string> cuts[] = {
        {size - 1, "pixel data ends 1 bytes early"},
        {size / 2, "pixel data ends"},
        {30, "the file ends inside the 40-byte information header"},
        {0, "the file ends inside the 14-byte file header"}};
    for (const auto& [cut, reason] : cuts) {
        SCOPED_TRACE("file cut to " + std::to_string(cut) + " of " + std::to_string(size));
        fs::resize_file(player.file(), cut);
        player.expectStandIn(reason);
    }
    player.restoreFile();
    player.expectPicture();
}

TEST(SourceFaults, AFolderInPlaceOfTheFileGivesTheStandIn) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    player.expectPicture();
    fs::remove(player.file());
    fs::create_directories(player.file() / "inside");
    player.expectStandIn("not a regular file");
    player.restoreFile();
    player.expectPicture();
}

#if !defined(_WIN32)
constexpr int kCannotRunAsOther = 77;

// The scenario a process without the file's read permission plays.
void unreadableFileScenario() {
    TempFolder folder;
    SourcePlayer player(folder.path());
    player.expectPicture();
    fs::permissions(player.file(), fs::perms::none);
    player.expectStandIn("cannot be opened for reading");
    fs::permissions(player.file(), fs::perms::owner_read | fs::perms::owner_write);
    player.expectPicture();
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
