// The exported factory: type words, the caller's buffer, and deletion.
#include <cstdio>
#include <cstring>
#include <string>

#include "grab_support.h"

namespace grab_test {
namespace {

IXGrab* instantiate(const char* type, std::string* bufferAfter = nullptr) {
    char buffer[16] = {};
    std::snprintf(buffer, sizeof buffer, "%s", type);
    IXGrab* grab = TamraGrabInstantiate(buffer);
    if (bufferAfter != nullptr) *bufferAfter = std::string(buffer, sizeof buffer);
    return grab;
}

class FactoryWord : public testing::TestWithParam<const char*> {};

// Every word yields an emulator, and the first eight bytes of the buffer are cleared.
TEST_P(FactoryWord, YieldsAnEmulatorAndClearsTheBuffer) {
    std::string after;
    IXGrab* grab = instantiate(GetParam(), &after);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    char expected[16] = {};
    std::snprintf(expected, sizeof expected, "%s", GetParam());
    std::memset(expected, 0, 8);
    EXPECT_EQ(after, std::string(expected, sizeof expected));
    EXPECT_EQ(TamraGrabDelete(grab), 1);
}

INSTANTIATE_TEST_SUITE_P(TypeStrings, FactoryWord,
                         testing::Values("EMULATOR", "my-EMULATOR-x", "ZALBO-cam-12345", "emulator",
                                         "TRELL", "?"));

TEST(Factory, EmptyStringLeavesTheBufferAlone) {
    char buffer[16] = {'\0', 'K', 'E', 'E', 'P'};
    IXGrab* grab = TamraGrabInstantiate(buffer);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    EXPECT_EQ(std::string(buffer, 5), std::string("\0KEEP", 5));
    EXPECT_EQ(TamraGrabDelete(grab), 1);
}

TEST(Factory, EveryCallMakesANewObjectAndDeletingNullReturnsZero) {
    IXGrab* first = instantiate("EMULATOR");
    IXGrab* second = instantiate("EMULATOR");
    EXPECT_NE(first, second);
    EXPECT_EQ(first->IsGrabInitialized(), 0);
    TamraGrabDelete(first);
    TamraGrabDelete(second);
    EXPECT_EQ(TamraGrabDelete(nullptr), 0);
}

}  // namespace
}  // namespace grab_test
