// Tamra grab library: the exported functions that tell what the camera emulator did.
#include <tamra/Observe.h>

#include <algorithm>
#include <cstring>

#include <tamra/CIGrabEmu.h>

#include "emulator/Acquisition.h"
#include "emulator/BitmapVerdict.h"
#include "emulator/FrameComposer.h"

namespace {

using tamra::emulator::ConformRule;
using tamra::emulator::File;
using tamra::emulator::Observation;
using tamra::emulator::refused;
using tamra::emulator::Verdict;

constexpr std::uint32_t kMaxBytesPerPixel = 4;

// Reaches the emulator's protected accessor without a friend.
struct ObservedEmulator : CIGrabEmu {
    using CIGrabEmu::observationOf;
};

Observation* observationOf(IXGrab* grab) {
    auto* emulator = dynamic_cast<CIGrabEmu*>(grab);
    return emulator ? &ObservedEmulator::observationOf(*emulator) : nullptr;
}

void writeReason(char* reason, std::uint32_t reasonChars, const char* text) {
    if (reason == nullptr || reasonChars == 0) return;
    const std::size_t length = std::min<std::size_t>(std::strlen(text), reasonChars - 1);
    std::memcpy(reason, text, length);
    reason[length] = '\0';
}

// With conforming off the folder scan compares the stored header and leaves out a file that
// does not match; the loader then compares the rounded width.
Verdict scanVerdict(const char* path, const ConformRule& rule) {
    if (rule.enabled) return Verdict{};
    File file;
    const Verdict opened = tamra::emulator::openBitmap(path, file);
    if (!opened.plays) return opened;
    BITMAPINFOHEADER header{};
    if (!tamra::emulator::readBitmapHeaders(file.get(), nullptr, header)) return Verdict{};
    Verdict verdict = tamra::emulator::conformVerdict(rule, header);
    if (!verdict.plays) {
        char detail[tamra::emulator::kReasonChars];
        std::memcpy(detail, verdict.reason, sizeof detail);
        verdict = refused("left out of the folder: %s", detail);
    }
    return verdict;
}

Verdict checkImageFile(const char* path, std::uint32_t width, std::uint32_t height,
                       std::uint32_t bytesPerPixel, bool conformEnable) {
    if (bytesPerPixel == 0 || bytesPerPixel > kMaxBytesPerPixel) {
        return refused("%u bytes per pixel is not a grab layout", bytesPerPixel);
    }
    const std::uint32_t bits = 8 * bytesPerPixel;
    const ConformRule rule{conformEnable, width, height, bits};
    const Verdict scanned = scanVerdict(path, rule);
    if (!scanned.plays) return scanned;
    tamra::emulator::FrameComposer composer;
    if (!composer.createSurface(width, height, bits, bytesPerPixel)) {
        return refused("a %u x %u frame at %u bytes per pixel cannot be composed", width, height,
                       bytesPerPixel);
    }
    composer.load(path, composer.targetFormat(), rule);
    return composer.verdict();
}

}  // namespace

tamra::emulator::Observation& CIGrabEmu::observationOf(CIGrabEmu& grab) {
    return grab.acquisition_->observation();
}

extern "C" {

int TamraGetCounters(IXGrab* grab, TamraCounters* counters) {
    const Observation* observation = observationOf(grab);
    if (observation == nullptr || counters == nullptr) return 0;
    *counters = observation->counters();
    return 1;
}

int TamraGetFrameRecord(IXGrab* grab, const unsigned char* frame, TamraFrameRecord* record) {
    const Observation* observation = observationOf(grab);
    if (observation == nullptr || record == nullptr) return 0;
    return observation->record(frame, *record) ? 1 : 0;
}

int TamraCheckImageFile(const char* path, std::uint32_t width, std::uint32_t height,
                        std::uint32_t bytesPerPixel, int conformEnable, char* reason,
                        std::uint32_t reasonChars) {
    try {
        const Verdict verdict =
            checkImageFile(path, width, height, bytesPerPixel, conformEnable != 0);
        writeReason(reason, reasonChars, verdict.plays ? "" : verdict.reason);
        return verdict.plays ? 1 : 0;
    } catch (...) {
        writeReason(reason, reasonChars, "out of memory");
        return 0;
    }
}
}
