// Serial ports through the grab object; the test plays the device on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
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
                EXPECT_EQ(std::make_tuple(applied.ByteSize, applied.Parity, applied.StopBits,
                                          applied.BaudRate),
                          std::make_tuple(size, parity, stop, std::uint32_t{2400}));
            }
        }
    }
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

}  // namespace
