// The tamra-grab line checks: GPIO records through a key=value file, and the serial echo.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tamra/Tamra.h>

#include "os/ScopedEnvironment.h"
#include "platform/Serial.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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

TEST(LineToolsOptions, ParseIntoTheOptions) {
    CLI::App app;
    LineOptions options;
    tamra::tools::addLineOptions(app, options);
    EXPECT_FALSE(options.any());
    const char* argv[] = {"tamra-grab", "--gpio-save",      "a.txt",
                          "--serial",   "/dev/ttyS9",       "--serial-baud",
                          "57600",      "--serial-timeout", "250"};
    app.parse(9, argv);
    EXPECT_EQ(options.gpioSaveFile, "a.txt");
    EXPECT_EQ(options.serialDevice, "/dev/ttyS9");
    EXPECT_EQ(options.serialBaud, 57600u);
    EXPECT_EQ(options.serialTimeoutMs, 250u);
    EXPECT_TRUE(options.any());

    const char* zero[] = {"tamra-grab", "--serial-timeout", "0"};
    EXPECT_THROW(app.parse(3, zero), CLI::ValidationError);
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
    EXPECT_EQ(readIn.Debounce, 35);
    EXPECT_FLOAT_EQ(readIn.Threshold, 2.75f);
    EXPECT_EQ(readOut.Duration, 4000);
    EXPECT_EQ(readOut.initVal, 1);
}

TEST(LineToolsGpio, AHandWrittenFileChangesOnlyItsKeys) {
    TempFolder folder;
    const std::string path = folder.file("edit.txt");
    writeFile(path, "# line 3 rejector\n\n  GPO5.Duration = 40 \nGPO5.Offset=-7\nBogus.Key=1\n");
    CIGrab grab;
    LineOptions load;
    load.gpioLoadFile = path;
    const CheckRun loaded = run(grab, load);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_NE(loaded.out.find("loaded 2 settings"), std::string::npos) << loaded.out;
    EXPECT_NE(loaded.err.find("unknown key Bogus.Key"), std::string::npos) << loaded.err;
    IFW_GPO_CONFIG out{};
    grab.GetGPOConfig(5, &out);
    EXPECT_EQ(out.Duration, 40);
    EXPECT_EQ(out.Offset, -7);
    grab.GetGPOConfig(4, &out);
    EXPECT_EQ(out.Duration, 1000);
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

// Everything in the folder but the named file: what a save left behind.
std::vector<std::string> othersIn(const TempFolder& folder, const std::string& keep) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(fs::path(folder.file(keep)).parent_path()))
        if (entry.path().filename() != keep) others.push_back(entry.path().filename().string());
    return others;
}

// A save that fails part-way leaves the profile it would have replaced whole, says so, and
// leaves no partial file behind. The file-size limit cuts the write after a few hundred bytes;
// it applies to a child process only.
TEST(LineToolsGpio, ASaveCutShortLeavesThePreviousProfileWhole) {
#if defined(_WIN32)
    GTEST_SKIP() << "cuts the write with a POSIX file-size limit; the rename path is checked "
                    "by ASaveThatCannotReplaceItsTargetChangesNothing";
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
    EXPECT_TRUE(othersIn(folder, "gpio.txt").empty());
#endif
}

TEST(LineToolsGpio, ASaveThatCannotReplaceItsTargetChangesNothing) {
    TempFolder folder;
    const std::string target = folder.file("profile");
    fs::create_directories(fs::path(target) / "inside");
    CIGrab grab;
    LineOptions save;
    save.gpioSaveFile = target;
    const CheckRun result = run(grab, save);
    EXPECT_EQ(result.result, 1);
    EXPECT_NE(result.err.find("cannot replace '" + target + "'"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_directory(fs::path(target) / "inside"));
    EXPECT_TRUE(othersIn(folder, "profile").empty());

    // A save that succeeds replaces the file whole and leaves nothing else.
    const std::string profile = folder.file("gpio.txt");
    writeFile(profile, "old=1\n");
    save.gpioSaveFile = profile;
    ASSERT_EQ(run(grab, save).result, 0);
    EXPECT_EQ(contentsOf(profile).rfind("GPI0.Debounce=200\n", 0), 0u);
    EXPECT_EQ(othersIn(folder, "gpio.txt"), std::vector<std::string>{"profile"});
}

TEST(LineToolsSerial, SendsALineAndReportsTheReply) {
#if defined(_WIN32)
    GTEST_SKIP()
        << "plays the device on a pseudo-terminal, which Windows does not have; the "
           "Windows counterpart is Win32LineTools.SendsALineToAnEchoingPortAndReportsTheEcho "
           "(tests/windows/Win32CounterpartsTest.cpp)";
#endif
    std::string path;
    void* device = tamra::platform::openPseudoTerminal(&path);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 5000;
    timeouts.ReadIntervalTimeout = 50;
    tamra::platform::setSerialTimeouts(device, &timeouts);
    std::string heard;
    std::thread responder([&] {
        char line[64] = {};
        std::uint32_t count = 0;
        tamra::platform::readSerial(device, line, sizeof(line), &count);
        heard.assign(line, count);
        std::uint32_t written = 0;
        tamra::platform::writeSerial(device, "OK\r\n", 4, &written);
    });

    CIGrab grab;
    LineOptions options;
    options.serialDevice = path;
    options.serialLine = "PING";
    options.serialTimeoutMs = 3000;
    const CheckRun result = run(grab, options);
    responder.join();
    tamra::platform::closeSerialPort(device);

    EXPECT_EQ(result.result, 0) << result.err;
    EXPECT_EQ(heard, "PING\r\n");
    EXPECT_NE(result.out.find("sent 6 bytes, received 4 bytes"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"OK\\r\\n\""), std::string::npos) << result.out;
}

TEST(LineToolsSerial, AMissingOrNonSerialDeviceIsReported) {
    CIGrab grab;
    LineOptions options;
    options.serialDevice = "/dev/tamra-no-such-port";
    CheckRun result = run(grab, options);
    EXPECT_EQ(result.result, 1);
    EXPECT_NE(result.err.find("cannot open '/dev/tamra-no-such-port'"), std::string::npos)
        << result.err;

    TempFolder folder;
    options.serialDevice = folder.file("plain-file");
    writeFile(options.serialDevice, "not a port\n");
    result = run(grab, options);
    EXPECT_EQ(result.result, 1);
    EXPECT_NE(result.err.find("cannot configure"), std::string::npos) << result.err;
}

}  // namespace
