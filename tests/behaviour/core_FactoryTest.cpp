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
                         testing::Values("EMULATOR", "my-EMULATOR-x", "1394", "MIRANT",
                                         "ZALBO-cam-12345", "KESTO", "BRIXOLT", "ZEPH", "VORTAN",
                                         "ZEPH EMULATOR", "emulator", "BRIXO", "TRELL", "?"));

TEST(Factory, EmptyStringLeavesTheBufferAlone) {
    char buffer[16] = {'\0', 'K', 'E', 'E', 'P', ' ', 'M', 'E', '!', 0};
    char copy[16];
    std::memcpy(copy, buffer, sizeof buffer);
    IXGrab* grab = TamraGrabInstantiate(buffer);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->GetGrabType(), IFW_IGRAB_EMULATOR);
    EXPECT_EQ(std::memcmp(buffer, copy, sizeof buffer), 0);
    EXPECT_EQ(TamraGrabDelete(grab), 1);
}

TEST(Factory, EveryCallMakesANewObjectAndDeletingNullReturnsZero) {
    Made first = instantiate("EMULATOR");
    Made second = instantiate("EMULATOR");
    EXPECT_NE(first.grab, second.grab);
    EXPECT_EQ(first.grab->IsGrabInitialized(), 0);
    TamraGrabDelete(first.grab);
    TamraGrabDelete(second.grab);
    EXPECT_EQ(TamraGrabDelete(nullptr), 0);
}

// A grab that reports what Terminate returned and whether its destructor ran.
class CountingGrab : public CoreGrab {
public:
    explicit CountingGrab(int* destroyed) : destroyed_(destroyed) {}
    ~CountingGrab() override { ++*destroyed_; }
    int Terminate() override {
        ++terminations;
        CoreGrab::Terminate();
        return terminateResult;
    }
    int terminations = 0;
    int terminateResult = 1;

private:
    int* destroyed_;
};

TEST(Factory, DeleteTerminatesThroughTheVirtualTableThenDeletes) {
    int destroyed = 0;
    auto* grab = new CountingGrab(&destroyed);
    grab->terminateResult = 7;
    grab->Initialize();
    grab->Create(kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep);
    EXPECT_EQ(TamraGrabDelete(grab), 7);
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace grab_test
