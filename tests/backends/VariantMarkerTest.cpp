// The BrixoLT variant marker, pointed at a temporary file so the machine is never touched.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <tamra/Tamra.h>

#include "backends/VariantMarker.h"

namespace {

namespace fs = std::filesystem;

// Absent, the marker selects one type; present, the other; looked at only at construction.
TEST(VariantMarker, TheMarkerSelectsTheTypeAtConstructionOnly) {
    const fs::path marker =
        fs::temp_directory_path() /
        ("tamra-marker-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt");
    tamra::backends::setVariantMarkerPath(marker.string());
    CIGrabBrixoLT without;
    std::ofstream(marker) << "variant\n";
    CIGrabBrixoLT with;
    fs::remove(marker);
    tamra::backends::setVariantMarkerPath("");
    EXPECT_EQ(with.GetGrabType(), IFW_IGRAB_BRIXOLT_ALT);
    EXPECT_EQ(without.GetGrabType(), IFW_IGRAB_BRIXOLT);
}

}  // namespace
