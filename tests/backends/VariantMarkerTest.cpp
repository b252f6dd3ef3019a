// The BrixoLT variant marker, pointed at a temporary file so the machine is never touched.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <tamra/Tamra.h>

#include "backends/VariantMarker.h"

namespace {

namespace fs = std::filesystem;
using tamra::backends::setVariantMarkerPath;

class VariantMarker : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tamra-marker-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(folder_);
        marker_ = (folder_ / "sicam.txt").string();
        setVariantMarkerPath(marker_);
    }
    void TearDown() override {
        setVariantMarkerPath("");
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void createMarker() { std::ofstream(marker_) << "variant\n"; }

    fs::path folder_;
    std::string marker_;
};

// Absent, the marker selects type six; present, type seven; looked at only at construction.
TEST_F(VariantMarker, TheMarkerSelectsTheTypeAtConstructionOnly) {
    auto without = std::make_unique<CIGrabBrixoLT>();
    createMarker();
    auto with = std::make_unique<CIGrabBrixoLT>();
    EXPECT_EQ(without->GetGrabType(), IFW_IGRAB_BRIXOLT);
    EXPECT_EQ(with->GetGrabType(), IFW_IGRAB_BRIXOLT_ALT);
    fs::remove(marker_);
    EXPECT_EQ(with->GetGrabType(), IFW_IGRAB_BRIXOLT_ALT);
    EXPECT_EQ(without->GetGrabType(), IFW_IGRAB_BRIXOLT);
}

}  // namespace
