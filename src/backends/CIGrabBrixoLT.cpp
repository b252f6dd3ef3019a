// Tamra grab library: CIGrabBrixoLT, the BrixoLT family back end and its variant marker.
#include <tamra/CIGrabBrixoLT.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "backends/VariantMarker.h"
#include "core/GrabState.h"
#include "platform/FileSystem.h"

namespace {

std::mutex markerLock;
std::string markerOverride;  // guarded by markerLock; empty: the default path

// True when the marker can be opened for reading. It is only tested for, never read.
bool markerExists() {
    const std::string path = tamra::backends::variantMarkerPath();
    std::FILE* marker = std::fopen(path.c_str(), "r");
    if (marker == nullptr) return false;
    std::fclose(marker);
    return true;
}

}  // namespace

namespace tamra::backends {

std::string variantMarkerPath() {
    std::lock_guard<std::mutex> hold(markerLock);
    if (!markerOverride.empty()) return markerOverride;
    constexpr char kSep = tamra::platform::kSeparator;
    return std::string(1, kSep) + "windows" + kSep + "sicam.txt";
}

void setVariantMarkerPath(const std::string& path) {
    std::lock_guard<std::mutex> hold(markerLock);
    markerOverride = path;
}

}  // namespace tamra::backends

CIGrabBrixoLT::CIGrabBrixoLT() {
    grabState().line.rejectorDelay = 1500;
    grabState().line.solutionIdNumBits = 3;
    variant_ = markerExists() ? 1 : 0;
}

CIGrabBrixoLT::~CIGrabBrixoLT() {
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabBrixoLT::GetGrabType() {
    return variant_ != 0 ? IFW_IGRAB_BRIXOLT_ALT : IFW_IGRAB_BRIXOLT;
}
