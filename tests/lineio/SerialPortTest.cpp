// Serial ports driven through the grab object, against a pseudo-terminal pair: the test holds the
// controlling side and plays the device; the grab opens the other side like any serial port.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <tamra/Tamra.h>

#include "platform/Serial.h"
#include "support/ProcessInfo.h"

namespace {

namespace platform = tamra::platform;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Bounds that hold on a loaded two-core machine: a time-out may end late, never much early.
constexpr auto kEarlySlack = milliseconds(30);
constexpr auto kLateBound = milliseconds(4000);

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

class SerialPort : public testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "plays the device on a pseudo-terminal, which Windows does not have; the "
                        "Windows counterparts are the Win32LoopbackPort tests "
                        "(tests/windows/Win32PlatformTest.cpp) on a COM port that echoes";
#endif
        device_ = platform::openPseudoTerminal(&path_);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE) << std::strerror(errno);
        port_ = grab_.OpenComPort(widen(path_).c_str());
        ASSERT_NE(port_, INVALID_HANDLE_VALUE) << path_ << ": " << std::strerror(errno);
        COMMTIMEOUTS deviceTimeouts{};
        deviceTimeouts.ReadTotalTimeoutConstant = 3000;
        deviceTimeouts.WriteTotalTimeoutConstant = 3000;
        ASSERT_TRUE(platform::setSerialTimeouts(device_, &deviceTimeouts));
    }
    void TearDown() override {
        if (port_ != INVALID_HANDLE_VALUE) grab_.CloseComPort(port_);
        if (device_ != INVALID_HANDLE_VALUE) platform::closeSerialPort(device_);
    }

    void setPortTimeouts(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = interval;
        timeouts.ReadTotalTimeoutMultiplier = multiplier;
        timeouts.ReadTotalTimeoutConstant = constant;
        timeouts.WriteTotalTimeoutConstant = 3000;
        ASSERT_EQ(grab_.SetCommTimeouts(port_, &timeouts), 1);
    }
    void deviceSends(const std::string& bytes) {
        std::uint32_t written = 0;
        ASSERT_TRUE(platform::writeSerial(device_, bytes.data(),
                                          static_cast<std::uint32_t>(bytes.size()), &written));
        ASSERT_EQ(written, bytes.size());
    }
    std::string deviceReceives(std::uint32_t count) {
        std::string bytes(count, '\0');
        std::uint32_t read = 0;
        EXPECT_TRUE(platform::readSerial(device_, bytes.data(), count, &read));
        bytes.resize(read);
        return bytes;
    }
    // Waits until the port reports the given input queue; the terminal layer hands bytes on
    // asynchronously, so a count written a moment ago may not show at once.
    std::uint32_t queuedInputAfterSettling(std::uint32_t expected) {
        COMSTAT status{};
        const auto start = Clock::now();
        do {
            std::uint32_t errors = 99;
            EXPECT_EQ(grab_.ClearCommError(port_, &errors, &status), 1);
            EXPECT_EQ(errors, 0u);
            if (status.cbInQue == expected) break;
            std::this_thread::sleep_for(milliseconds(5));
        } while (Clock::now() - start < kLateBound);
        return status.cbInQue;
    }

    CIGrab grab_;
    std::string path_;
    void* device_ = INVALID_HANDLE_VALUE;
    void* port_ = INVALID_HANDLE_VALUE;
};

TEST_F(SerialPort, ConfigurationRoundTripsThroughTheDcb) {
    DCB dcb{};
    ASSERT_EQ(grab_.GetCommState(port_, &dcb), 1);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.ByteSize, 8);  // raw mode after opening
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.fOutX, 0u);
    dcb.BaudRate = 19200;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    ASSERT_EQ(grab_.SetCommState(port_, &dcb), 1);

    // A pseudo-terminal keeps the rate, stop bits and flow control; byte size and parity are
    // checked on the mapping itself below.
    DCB read{};
    ASSERT_EQ(grab_.GetCommState(port_, &read), 1);
    EXPECT_EQ(read.BaudRate, 19200u);
    EXPECT_EQ(read.StopBits, TWOSTOPBITS);
    EXPECT_EQ(read.fOutX, 1u);
    EXPECT_EQ(read.fInX, 1u);
    EXPECT_EQ(read.XonChar, 0x11);
    EXPECT_EQ(read.XoffChar, 0x13);
}

TEST(SerialStateMapping, EveryFrameFormatReadsBackAsSet) {
    for (std::uint8_t size = 5; size <= 8; ++size) {
        for (std::uint8_t parity : {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY}) {
            for (std::uint8_t stop : {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS}) {
                SCOPED_TRACE(testing::Message()
                             << int(size) << "/" << int(parity) << "/" << int(stop));
                DCB dcb{};
                dcb.BaudRate = 2400;
                dcb.ByteSize = size;
                dcb.Parity = parity;
                dcb.StopBits = stop;
                DCB applied{};
                // 1.5 stop bits exist only with 5 data bits, and 2 stop bits only without.
                const bool valid = size == 5 ? stop != TWOSTOPBITS : stop != ONE5STOPBITS;
                EXPECT_EQ(platform::roundTripSerialState(dcb, &applied), valid);
                if (!valid) continue;
                EXPECT_EQ(applied.ByteSize, size);
                EXPECT_EQ(applied.Parity, parity);
                EXPECT_EQ(applied.StopBits, stop);
                EXPECT_EQ(applied.BaudRate, 2400u);
            }
        }
    }
}

TEST(SerialStateMapping, FlowControlAndParityChecking) {
#if defined(_WIN32)
    GTEST_SKIP() << "checks the termios mapping of the DCB; on Windows the DCB is the system's own "
                    "record (Win32LoopbackPort.TheLineSettingsAreTheDcbOfTheSystem)";
#endif
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.fRtsControl = 2;  // handshake
    dcb.fParity = 1;
    dcb.XonChar = 'Q';
    DCB applied{};
    ASSERT_TRUE(platform::roundTripSerialState(dcb, &applied));
    EXPECT_EQ(applied.fOutxCtsFlow, 1u);
    EXPECT_EQ(applied.fRtsControl, 2u);
    EXPECT_EQ(applied.fParity, 1u);
    EXPECT_EQ(applied.XonChar, 'Q');
    EXPECT_EQ(applied.XoffChar, 0x13);
    dcb.fRtsControl = 1;
    dcb.fOutxCtsFlow = 0;
    ASSERT_TRUE(platform::roundTripSerialState(dcb, &applied));
    EXPECT_EQ(applied.fOutxCtsFlow, 0u);
    EXPECT_EQ(applied.fRtsControl, 1u);
}

TEST_F(SerialPort, SettingsTheLineCannotCarryAreRefused) {
    DCB dcb{};
    ASSERT_EQ(grab_.GetCommState(port_, &dcb), 1);
    const DCB good = dcb;
    struct Case {
        const char* what;
        void (*spoil)(DCB&);
    } cases[] = {
        {"baud rate", [](DCB& d) { d.BaudRate = 12345; }},
        {"byte size", [](DCB& d) { d.ByteSize = 9; }},
        {"parity", [](DCB& d) { d.Parity = 7; }},
        {"stop bits", [](DCB& d) { d.StopBits = 3; }},
        {"1.5 stop bits with 8 data bits", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DCB bad = good;
        c.spoil(bad);
        errno = 0;
        EXPECT_EQ(grab_.SetCommState(port_, &bad), 0);
        EXPECT_EQ(errno, EINVAL);
    }
    DCB after{};
    ASSERT_EQ(grab_.GetCommState(port_, &after), 1);
    EXPECT_EQ(after.ByteSize, good.ByteSize);
    EXPECT_EQ(after.BaudRate, good.BaudRate);
}

TEST_F(SerialPort, BytesTravelUnchangedBothWays) {
    setPortTimeouts(0, 0, 3000);
    // Control characters a cooked terminal would translate, echo or act upon.
    const std::string out("ab\r\n\x03\x11\x13\x7F\0\xFF", 10);
    std::uint32_t written = 0;
    EXPECT_EQ(grab_.WriteComPort(port_, out.data(), 10, &written), 1);
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(deviceReceives(10), out);

    const std::string in("\r\x04z\n\x1A", 5);
    deviceSends(in);
    std::string got(5, '\0');
    std::uint32_t read = 0;
    EXPECT_EQ(grab_.ReadComPort(port_, got.data(), 5, &read), 1);
    EXPECT_EQ(read, 5u);
    EXPECT_EQ(got, in);
    EXPECT_EQ(queuedInputAfterSettling(0), 0u);  // nothing echoed back or left over
}

TEST_F(SerialPort, ATotalTimeOutReturnsWhatHasArrived) {
    setPortTimeouts(0, 10, 300);  // 10 ms per byte asked for, plus 300
    deviceSends("abc");
    char buffer[20] = {};
    std::uint32_t read = 0;
    const auto start = Clock::now();
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 20, &read), 1);
    const long long elapsed = msSince(start);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::string(buffer, read), "abc");
    EXPECT_GE(elapsed, (milliseconds(500) - kEarlySlack).count());
    EXPECT_LT(elapsed, kLateBound.count());

    // A full buffer ends the read at once, leaving the rest queued.
    setPortTimeouts(0, 0, 20000);
    deviceSends("0123456789");
    const auto full = Clock::now();
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 4, &read), 1);
    EXPECT_LT(msSince(full), kLateBound.count());
    EXPECT_EQ(std::string(buffer, read), "0123");
    EXPECT_EQ(queuedInputAfterSettling(6), 6u);
}

TEST_F(SerialPort, AnIntervalTimeOutEndsTheReadSoonAfterTheLastByte) {
    // The gap between the two sends must stay inside the interval however late the device
    // thread runs on a loaded machine, so the interval is far longer than the pause.
    setPortTimeouts(1000, 0, 20000);
    std::thread device([this] {
        deviceSends("12");
        std::this_thread::sleep_for(milliseconds(40));
        deviceSends("34");
    });
    char buffer[64] = {};
    std::uint32_t read = 0;
    const auto start = Clock::now();
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 64, &read), 1);
    const long long elapsed = msSince(start);
    device.join();
    EXPECT_EQ(std::string(buffer, read), "1234");
    EXPECT_LT(elapsed, 10000);  // far below the 20 s total
}

TEST_F(SerialPort, WaitingForTheFirstByteEndsWhenItArrives) {
    setPortTimeouts(0xFFFFFFFFu, 0xFFFFFFFFu, 20000);
    // The byte is sent once the reader is asleep in its read.
    const long readerId = tamra::testing::currentThreadId();
    std::thread device([this, readerId] {
        tamra::testing::waitUntilThreadBlocks(readerId);
        deviceSends("Q");
    });
    char buffer[8] = {};
    std::uint32_t read = 0;
    const auto start = Clock::now();
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 8, &read), 1);
    const long long elapsed = msSince(start);
    device.join();
    EXPECT_EQ(std::string(buffer, read), "Q");
    EXPECT_LT(elapsed, 10000);

    // Nothing comes: the constant bounds the wait.
    setPortTimeouts(0xFFFFFFFFu, 0xFFFFFFFFu, 200);
    const auto quiet = Clock::now();
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 8, &read), 1);
    EXPECT_EQ(read, 0u);
    EXPECT_GE(msSince(quiet), (milliseconds(200) - kEarlySlack).count());
}

TEST_F(SerialPort, StatusCountsQueuedBytesAndPurgeDiscardsThem) {
    deviceSends("1234567");
    EXPECT_EQ(queuedInputAfterSettling(7), 7u);
    grab_.PurgeComPort(port_);
    EXPECT_EQ(queuedInputAfterSettling(0), 0u);

    // An interval of all ones returns at once with what is queued: nothing, then two bytes.
    setPortTimeouts(0xFFFFFFFFu, 0, 0);
    char buffer[8];
    std::uint32_t read = 9;
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 8, &read), 1);
    EXPECT_EQ(read, 0u);
    deviceSends("xy");
    ASSERT_EQ(queuedInputAfterSettling(2), 2u);
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, 8, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "xy");

    COMSTAT status{};
    EXPECT_EQ(grab_.ClearCommError(port_, nullptr, &status), 1);
    EXPECT_EQ(status.cbOutQue, 0u);
}

TEST_F(SerialPort, ASecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses) {
    errno = 0;
    void* second = grab_.OpenComPort(widen(path_).c_str());
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, EBUSY);

    grab_.CloseComPort(port_);
    port_ = grab_.OpenComPort(widen(path_).c_str());
    EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

TEST_F(SerialPort, AWriteThatTimesOutWithBytesLeftOverAnswersZero) {
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = 200;
    ASSERT_EQ(grab_.SetCommTimeouts(port_, &timeouts), 1);
    // Far more than a terminal queues while the device reads nothing.
    const std::vector<unsigned char> block(1 << 20, 0x55);
    std::uint32_t written = 0;
    const auto start = Clock::now();
    EXPECT_EQ(
        grab_.WriteComPort(port_, block.data(), static_cast<std::uint32_t>(block.size()), &written),
        0);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, block.size());
    EXPECT_LT(msSince(start), kLateBound.count());
}

TEST(SerialPortErrors, MissingDevicesAndClosedHandlesFailWithTheSystemReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "opens a pseudo-terminal and checks errno, neither of which Windows has; the "
                    "Windows counterpart is Win32ClosedPort.OperationsFailWithTheInvalidHandleCode "
                    "(tests/windows/Win32CounterpartsTest.cpp)";
#endif
    CIGrab grab;
    errno = 0;
    EXPECT_EQ(grab.OpenComPort(L"/dev/tamra-no-such-port"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(grab.OpenComPort(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_NE(errno, 0);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");  // port failures never touch the grab's message

    std::string path;
    void* device = platform::openPseudoTerminal(&path);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    void* port = grab.OpenComPort(widen(path).c_str());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    grab.CloseComPort(port);

    DCB dcb{};
    COMSTAT status{};
    char buffer[4];
    std::uint32_t count = 0;
    EXPECT_EQ(grab.GetCommState(port, &dcb), 0);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(grab.ClearCommError(port, nullptr, &status), 0);
    EXPECT_EQ(grab.ReadComPort(port, buffer, 4, &count), 0);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(grab.WriteComPort(port, buffer, 4, &count), 0);
    EXPECT_EQ(errno, EBADF);  // the write's reason, not the flush's
    platform::closeSerialPort(device);
}

// The device vanishes while a read waits for it (the controlling side of the terminal closes):
// the read ends at once with an error rather than waiting out its time-out, keeps what had
// arrived, and the port still closes cleanly.
TEST_F(SerialPort, ADeviceVanishingMidReadEndsTheReadWithAnError) {
    setPortTimeouts(0, 0, 60000);
    deviceSends("ab");
    ASSERT_EQ(queuedInputAfterSettling(2), 2u);
    std::promise<long> readerId;
    char buffer[64] = {};
    std::uint32_t read = 99;
    int result = -1;
    int error = 0;
    std::thread reader([&] {
        readerId.set_value(tamra::testing::currentThreadId());
        result = grab_.ReadComPort(port_, buffer, sizeof buffer, &read);
        error = errno;
    });
    const long id = readerId.get_future().get();
    // The two bytes are taken, then the read waits for the rest.
    if (!tamra::testing::waitUntilThreadBlocks(id)) ADD_FAILURE() << "cannot see the reader block";
    const auto start = Clock::now();
    platform::closeSerialPort(device_);
    device_ = INVALID_HANDLE_VALUE;
    reader.join();
    EXPECT_LT(msSince(start), kLateBound.count());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EIO) << std::strerror(error);
    EXPECT_EQ(std::string(buffer, read), "ab");
    // Later calls fail at once, and the port still closes.
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, sizeof buffer, &read), 0);
    std::uint32_t written = 0;
    EXPECT_EQ(grab_.WriteComPort(port_, "x", 1, &written), 0);
    grab_.CloseComPort(port_);
    port_ = INVALID_HANDLE_VALUE;
}

}  // namespace
