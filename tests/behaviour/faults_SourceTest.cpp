// A played file deleted, cut short, replaced by a folder or made unreadable while the grab runs:
// the stand-in pattern, a record that says why, a counter, and the picture back with the file.
#include <algorithm>
#include <iterator>
#include <utility>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "grab_support.h"

namespace grab_test {
namespace {

namespace fs = std::filesystem;

// A software-triggered emulator playing a folder of one uniform grey file.
class SourceFaults : public EmulatorTest {
protected:
    fs::path file() const { return folder_.path() / "frame_00.bmp"; }
    void restoreFile() {
        std::error_code ignored;
        fs::remove_all(file(), ignored);
        writeNumberedFiles(folder_.path(), 1, kWidth, kHeight);
    }
    // Triggers one frame: the file's own picture when reason is empty, else the stand-in with
    // a reason that says what went wrong.
    void expectFrame(const std::string& reason) {
        ASSERT_TRUE(triggerAndWait(log_.frameCount() + 1)) << "no frame";
        const Delivery frame = log_.frames().back();
        const TamraPlaneRecord& plane = frame.record.planes[0];
        const bool picture = std::all_of(frame.pixels.begin(), frame.pixels.end(),
                                         [](std::uint8_t value) { return value == levelOf(0); });
        EXPECT_EQ(picture, reason.empty());
        ASSERT_EQ(frame.record.planeCount, 1u);
        EXPECT_EQ(std::make_pair(plane.substituted, std::string(plane.sourceFile)),
                  std::make_pair(picture ? 0 : 1, file().string()));
        const std::string said = plane.reason;
        if (reason.empty())
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find(reason), std::string::npos) << "'" << said << "' lacks " << reason;
    }
};

TEST_F(SourceFaults, EachFaultGivesTheStandInWithItsReasonUntilTheFileIsBack) {
    restoreFile();
    playFolder();
    startTriggered();
    expectFrame("");
    const fs::path file = this->file();
    const std::uintmax_t size = fs::file_size(file);
    const auto cutTo = [&](std::uintmax_t bytes) {
        return [&, bytes] { fs::resize_file(file, bytes); };
    };
    const struct {
        const char* fault;
        std::function<void()> apply;
        std::string reason;
    } faults[] = {
        {"deleted", [&] { fs::remove(file); }, "file not found"},
        {"cut in the pixel rows", cutTo(size - 1), "pixel data ends 1 bytes early"},
        {"cut in the headers", cutTo(30), "the file ends inside the 40-byte information header"},
        {"cut to nothing", cutTo(0), "the file ends inside the 14-byte file header"},
        {"a folder in its place",
         [&] {
             fs::remove(file);
             fs::create_directories(file / "inside");
         },
         "not a regular file"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.fault);
        fault.apply();
        expectFrame(fault.reason);
        expectFrame(fault.reason);
        restoreFile();
        expectFrame("");
    }
    TamraCounters counters{};
    ASSERT_EQ(TamraGetCounters(grab_.get(), &counters), 1);
    EXPECT_EQ(counters.framesSubstituted, 2 * std::size(faults));
}

#if !defined(_WIN32)
// Permissions bind only a user without the right to pass them: as root the scenario runs in a
// child process that has dropped to the unprivileged user "nobody" first.
class UnreadableSource : public SourceFaults {
public:
    void TestBody() override {
        SetUp();
        restoreFile();
        playFolder();
        startTriggered();
        fs::permissions(file(), fs::perms::none);
        expectFrame("cannot be opened for reading");
        fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
        expectFrame("");
        TearDown();
    }
};

TEST(SourceFaultsAsUser, AnUnreadableFileGivesTheStandInUntilItIsReadableAgain) {
    if (::geteuid() != 0) return UnreadableSource().TestBody();
    constexpr int kCannotDropRoot = 77;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(kCannotDropRoot);
        UnreadableSource().TestBody();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == kCannotDropRoot) GTEST_SKIP() << "cannot drop to user nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's failures above";
}
#endif

}  // namespace
}  // namespace grab_test
