// Source faults during acquisition: the file a camera plays is deleted, cut short or replaced by
// a folder while the grab runs. Each such frame is the stand-in pattern, the
// run goes on, the frame's record says why and the counters count it, and the file's picture
// comes back with the file.
#include <algorithm>
#include <iterator>
#include <utility>

#include "grab_support.h"

namespace grab_test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;
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

    const fs::path& file() const { return file_; }
    void restoreFile() {
        std::error_code ignored;
        fs::remove_all(file_, ignored);
        grab_test::writeNumberedFiles(file_.parent_path(), 1, kWidth, kHeight);
    }
    TamraCounters counters() {
        TamraCounters counters{};
        EXPECT_EQ(TamraGetCounters(&grab_, &counters), 1);
        return counters;
    }
    // Triggers one frame: the file's own picture when reason is empty, else the stand-in with
    // a reason that says what went wrong.
    void expectFrame(const std::string& reason) {
        const std::size_t expected = log_.frameCount() + 1;
        grab_.GenerateSoftTrigger(0);
        ASSERT_TRUE(log_.waitForFrames(expected)) << "no frame";
        const grab_test::Delivery frame = log_.frames().back();
        const TamraFrameRecord& record = frame.record;
        const std::vector<std::uint8_t>& pixels = frame.pixels;
        const bool picture = std::all_of(pixels.begin(), pixels.end(),
                                         [](std::uint8_t value) { return value == levelOf(0); });
        EXPECT_EQ(picture, reason.empty());
        ASSERT_EQ(record.planeCount, 1u);
        EXPECT_EQ(record.planes[0].substituted, picture ? 0 : 1);
        EXPECT_EQ(record.planes[0].sourceFile, file_.string());
        const std::string said = record.planes[0].reason;
        if (reason.empty())
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find(reason), std::string::npos) << "'" << said << "' lacks " << reason;
    }

private:
    fs::path file_;
    FrameLog log_{kWidth * kHeight};
    CIGrabEmu grab_;
};

TEST(SourceFaults, EachFaultGivesTheStandInWithItsReasonUntilTheFileIsBack) {
    TempFolder folder;
    SourcePlayer player(folder.path());
    player.expectFrame("");
    const fs::path& file = player.file();
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
        player.expectFrame(fault.reason);
        player.expectFrame(fault.reason);
        player.restoreFile();
        player.expectFrame("");
    }
    EXPECT_EQ(player.counters().framesSubstituted, 2 * std::size(faults));
}

}  // namespace
}  // namespace grab_test
