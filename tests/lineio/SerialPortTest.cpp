// Serial ports through the grab object; the test plays the device on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
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

    // Reads up to `size` bytes through the grab: what arrived and how many milliseconds it took.
    std::pair<std::string, long long> timedRead(std::uint32_t size) {
        std::string bytes(size, '\0');
        std::uint32_t read = 0;
        const auto start = Clock::now();
        EXPECT_EQ(grab_.ReadComPort(port_, bytes.data(), size, &read), 1);
        const long long elapsed = msSince(start);
        bytes.resize(read);
        return {bytes, elapsed};
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
    EXPECT_EQ(timedRead(5).first, in);
    EXPECT_EQ(queuedInputAfterSettling(0), 0u);  // nothing echoed back or left over
}

TEST_F(SerialPort, ATotalTimeOutReturnsWhatHasArrived) {
    setPortTimeouts(0, 10, 300);  // 10 ms per byte asked for, plus 300
    deviceSends("abc");
    const auto [bytes, elapsed] = timedRead(20);
    EXPECT_EQ(bytes, "abc");
    EXPECT_GE(elapsed, (milliseconds(500) - kEarlySlack).count());
    EXPECT_LT(elapsed, kLateBound.count());

    // A full buffer ends the read at once, leaving the rest queued.
    setPortTimeouts(0, 0, 20000);
    deviceSends("0123456789");
    const auto [full, fullElapsed] = timedRead(4);
    EXPECT_EQ(full, "0123");
    EXPECT_LT(fullElapsed, kLateBound.count());
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
    const auto [bytes, elapsed] = timedRead(64);
    device.join();
    EXPECT_EQ(bytes, "1234");
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
    const auto [bytes, elapsed] = timedRead(8);
    device.join();
    EXPECT_EQ(bytes, "Q");
    EXPECT_LT(elapsed, 10000);

    // Nothing comes: the constant bounds the wait.
    setPortTimeouts(0xFFFFFFFFu, 0xFFFFFFFFu, 200);
    const auto [none, quiet] = timedRead(8);
    EXPECT_EQ(none, "");
    EXPECT_GE(quiet, (milliseconds(200) - kEarlySlack).count());
}

// The device vanishes while a read waits for it: the read ends at once with an error rather than
// waiting out its time-out, keeps what had arrived, and the port still closes cleanly.
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
    // The two bytes are taken, then the read waits for the rest.
    if (!tamra::testing::waitUntilThreadBlocks(readerId.get_future().get()))
        ADD_FAILURE() << "cannot see the reader block";
    const auto start = Clock::now();
    platform::closeSerialPort(device_);
    device_ = INVALID_HANDLE_VALUE;
    reader.join();
    EXPECT_LT(msSince(start), kLateBound.count());
    EXPECT_EQ(std::make_tuple(result, error, std::string(buffer, read)),
              std::make_tuple(0, EIO, std::string("ab")));
    // Later calls fail at once, and the port still closes.
    std::uint32_t written = 0;
    EXPECT_EQ(grab_.ReadComPort(port_, buffer, sizeof buffer, &read), 0);
    EXPECT_EQ(grab_.WriteComPort(port_, "x", 1, &written), 0);
    grab_.CloseComPort(port_);
    port_ = INVALID_HANDLE_VALUE;
}

}  // namespace
