// The tamra-grab line checks: GPIO records through a key=value file, and the serial echo.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <tamra/Tamra.h>

#include "os/ScopedEnvironment.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

// The program links the same source; compiling it here lets the checks run without the program.
#include "../../tools/tamra-grab/LineTools.cpp"

namespace {

namespace fs = std::filesystem;
using tamra::tools::KeyValueFileStore;
using tamra::tools::LineOptions;
using tamra::tools::runLineChecks;

// A private folder (and current directory) for one test, removed afterwards.
class TempFolder {
public:
    std::string file(const std::string& name) const { return (env_.work() / name).string(); }

private:
    tamra::testing::ScopedEnvironment env_;
};

std::string contentsOf(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

struct CheckRun {
    int result;
    std::string out, err;
};

CheckRun run(IXGrab& grab, const LineOptions& options) {
    std::ostringstream out, err;
    const int result = runLineChecks(grab, options, out, err);
    return {result, out.str(), err.str()};
}

TEST(LineToolsGpio, SavedRecordsLoadIntoAnotherGrab) {
    TempFolder folder;
    CIGrab source;
    IFW_GPI_CONFIG in{0, 35, 0, 2.75f, 1};
    IFW_GPO_CONFIG out{0, 9, 4000, 2, 1};
    source.SetGPIConfig(4, &in);
    source.SetGPOConfig(31, &out);
    LineOptions save;
    save.gpioSaveFile = folder.file("gpio.txt");
    const CheckRun saved = run(source, save);
    ASSERT_EQ(saved.result, 0) << saved.err;
    EXPECT_NE(saved.out.find("saved 288 settings"), std::string::npos) << saved.out;
    const std::string text = contentsOf(save.gpioSaveFile);
    EXPECT_EQ(text.rfind("GPI0.Debounce=200\nGPI0.Polarity=1\nGPI0.Threshold=3\n", 0), 0u);
    EXPECT_NE(text.find("GPI4.Threshold=2.75\n"), std::string::npos);

    CIGrab target;
    LineOptions load;
    load.gpioLoadFile = save.gpioSaveFile;
    const CheckRun loaded = run(target, load);
    ASSERT_EQ(loaded.result, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("loaded 288 settings"), std::string::npos) << loaded.out;
    IFW_GPI_CONFIG readIn{};
    IFW_GPO_CONFIG readOut{};
    target.GetGPIConfig(4, &readIn);
    target.GetGPOConfig(31, &readOut);
    EXPECT_EQ(std::memcmp(&readIn, &in, sizeof in), 0);  // every field stored exactly
    EXPECT_EQ(std::memcmp(&readOut, &out, sizeof out), 0);
}

TEST(LineToolsGpio, BadFilesAndPathsGiveAClearMessageAndAFailure) {
    TempFolder folder;
    const struct {
        const char* file;
        const char* content;  // nullptr: no such file
        bool save;
        std::string message;
    } cases[] = {
        {"absent.txt", nullptr, false, "cannot read '" + folder.file("absent.txt") + "'"},
        {"no-such-folder/gpio.txt", nullptr, true, "cannot write"},
        {"malformed.txt", "GPI0.Debounce=5\njust some words\n", false, ":2: expected key=value"},
        {"number.txt", "GPI0.Debounce=fast\n", false, "GPI0.Debounce: 'fast'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.content != nullptr) writeFile(folder.file(c.file), c.content);
        CIGrab grab;
        LineOptions options;
        (c.save ? options.gpioSaveFile : options.gpioLoadFile) = folder.file(c.file);
        const CheckRun result = run(grab, options);
        EXPECT_EQ(result.result, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

// A save cut short (by a child's file-size limit) leaves the previous profile whole.
TEST(LineToolsGpio, ASaveCutShortLeavesThePreviousProfileWhole) {
#if defined(_WIN32)
    GTEST_SKIP() << "cuts the write with a POSIX file-size limit";
#else
    TempFolder folder;
    const std::string profile = folder.file("gpio.txt");
    const std::string previous = "GPI0.Debounce=5\n";
    writeFile(profile, previous);
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{300, 300};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CIGrab grab;
        LineOptions save;
        save.gpioSaveFile = profile;
        const CheckRun saved = run(grab, save);
        const std::string message = saved.err;
        if (::write(report[1], message.data(), message.size()) < 0) ::_exit(3);
        ::_exit(saved.result);
    }
    ::close(report[1]);
    std::string message;
    char chunk[256];
    for (ssize_t n; (n = ::read(report[0], chunk, sizeof chunk)) > 0;) message.append(chunk, n);
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the failure is reported";
    EXPECT_NE(message.find("cannot write '" + profile + "'"), std::string::npos) << message;
    EXPECT_NE(message.find(std::strerror(EFBIG)), std::string::npos) << message;
    EXPECT_EQ(contentsOf(profile), previous);
    const fs::directory_iterator entries(fs::path(profile).parent_path());
    EXPECT_EQ(std::distance(entries, fs::directory_iterator()), 1) << "a partial file was left";
#endif
}

}  // namespace
