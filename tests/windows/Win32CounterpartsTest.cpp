// Windows counterparts of tests that play a serial device on a pseudo-terminal under POSIX: here
// the device is the loopback COM port of the Wine prefix, which sends every byte back.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <tamra/Tamra.h>

#include "Win32Support.h"

// The program links the same source; compiling it here lets the checks run without the program.
#include "../../tools/tamra-grab/LineTools.cpp"

namespace {

using tamra::tools::LineOptions;
using win32_test::environmentVariable;

// The loopback port's device name, or empty (the test then skips).
std::wstring loopbackDevice() {
    const std::wstring port = environmentVariable(L"TAMRA_LOOPBACK_PORT");
    return port.empty() ? port : L"\\\\.\\" + port;
}

constexpr const char* kNoLoopback =
    "no loopback port: TAMRA_LOOPBACK_PORT names a COM port that echoes (scripts/test-windows "
    "maps one onto a pseudo-terminal)";

TEST(Win32LineTools, SendsALineToAnEchoingPortAndReportsTheEcho) {
    const std::wstring device = loopbackDevice();
    if (device.empty()) GTEST_SKIP() << kNoLoopback;
    CIGrab grab;
    LineOptions options;
    options.serialDevice = win32_test::narrow(device);
    options.serialLine = "PING";
    options.serialTimeoutMs = 3000;
    std::ostringstream out, err;
    EXPECT_EQ(tamra::tools::runLineChecks(grab, options, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("sent 6 bytes, received 6 bytes"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"PING\\r\\n\""), std::string::npos) << out.str();
}

TEST(Win32ClosedPort, OperationsFailWithTheInvalidHandleCode) {
    const std::wstring device = loopbackDevice();
    if (device.empty()) GTEST_SKIP() << kNoLoopback;
    CIGrab grab;
    void* port = grab.OpenComPort(device.c_str());
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    grab.CloseComPort(port);

    const DWORD invalidHandle = ERROR_INVALID_HANDLE;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMSTAT status{};
    char buffer[4] = {};
    std::uint32_t count = 0;
    SetLastError(0);
    EXPECT_EQ(grab.GetCommState(port, &dcb), 0);
    EXPECT_EQ(GetLastError(), invalidHandle);
    SetLastError(0);
    EXPECT_EQ(grab.ClearCommError(port, nullptr, &status), 0);
    EXPECT_EQ(GetLastError(), invalidHandle);
    SetLastError(0);
    EXPECT_EQ(grab.ReadComPort(port, buffer, 4, &count), 0);
    EXPECT_EQ(GetLastError(), invalidHandle);
    SetLastError(0);
    EXPECT_EQ(grab.WriteComPort(port, buffer, 4, &count), 0);
    EXPECT_EQ(GetLastError(), invalidHandle);
    EXPECT_STREQ(grab.GetLastErrorMsg(), "");  // port failures never touch the grab's message
}

}  // namespace
