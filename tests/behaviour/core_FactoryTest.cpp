// The exported factory: type words, the caller's buffer, and deletion.
#include <cstdio>
#include <cstring>
#include <string>

#include "grab_support.h"

namespace grab_test {
namespace {

struct Made {
    IXGrab* grab;
    std::string bufferAfter;  // all sixteen bytes, NULs included
};

Made instantiate(const char* type) {
    char buffer[16] = {};
    std::snprintf(buffer, sizeof buffer, "%s", type);
    IXGrab* grab = TamraGrabInstantiate(buffer);
    return {grab, std::string(buffer, sizeof buffer)};
}

std::string clearedFirstEight(const char* type) {
    char buffer[16] = {};
    std::snprintf(buffer, sizeof buffer, "%s", type);
    std::memset(buffer, 0, 8);
    return std::string(buffer, sizeof buffer);
}

class FactoryWord : public testing::TestWithParam<const char*> {};

TEST_P(FactoryWord, YieldsAnEmulatorAndClearsTheBuffer) {
    Made made = instantiate(GetParam());
    ASSERT_NE(made.grab, nullptr);
    EXPECT_EQ(made.grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    EXPECT_EQ(made.bufferAfter, clearedFirstEight(GetParam()));
    EXPECT_STREQ(made.bufferAfter.c_str(), "");
    EXPECT_EQ(TamraGrabDelete(made.grab), 1);
}

INSTANTIATE_TEST_SUITE_P(TypeStrings, FactoryWord,
                         testing::Values("EMULATOR", "my-EMULATOR-x", "ZALBO-cam-12345", "emulator",
                                         "TRELL", "?", ""));

TEST(Factory, EveryCallMakesANewObjectAndDeletingNullReturnsZero) {
    Made first = instantiate("EMULATOR");
    Made second = instantiate("EMULATOR");
    EXPECT_NE(first.grab, second.grab);
    EXPECT_EQ(first.grab->IsGrabInitialized(), 0);
    TamraGrabDelete(first.grab);
    TamraGrabDelete(second.grab);
    EXPECT_EQ(TamraGrabDelete(nullptr), 0);
}

}  // namespace
}  // namespace grab_test
