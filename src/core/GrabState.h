// Tamra grab library: the state a grab object holds behind its public header, one job per part.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <tamra/IXGrab.h>

#include "core/CallbackTable.h"
#include "core/FrameLayout.h"

namespace tamra {

class IoScheduler;
namespace platform {
class Thread;
class AutoResetEvent;
}  // namespace platform

// Set by the core and by each back end's override; read by the library's threads, hence atomic.
struct LifecycleFlags {
    std::atomic<int> initialized{0};
    std::atomic<int> created{0};
    std::atomic<int> running{0};
    std::atomic<int> ioRunning{0};
    std::atomic<int> appRunning{0};
    std::atomic<std::uint32_t> acqThreadId{0};
};

// The geometry the client asked for and the byte counts its getters report. Stored width and
// height are one tile's, after any transposition.
struct Geometry {
    std::uint32_t offsetX = 0;
    std::uint32_t offsetY = 0;
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    std::uint32_t bitsPerPixel = 8;
    std::uint32_t bytesPerPixel = 1;
    std::uint32_t aoiWidth = 640;
    std::uint32_t aoiHeight = 480;
    std::uint32_t timeOut = 5000;
    std::uint32_t bufferCount = 5;
    std::uint32_t ringBufferSize = 0;
    std::uint32_t widthByteCount = 0;
    std::uint32_t heightByteCount = 0;
    std::uint32_t imageSizeInBytes = 0;
    std::uint32_t imageSizeInPixels = 0;
    std::uint32_t offsetXByteCount = 0;
    std::uint32_t offsetYByteCount = 0;
    std::uint32_t aoiWidthByteCount = 0;
    std::uint32_t aoiHeightByteCount = 0;
    int widthSet = 0;
    int heightSet = 0;
    IFW_IMAGE_COLOR_TYPE imageColor = IFW_IMAGE_COLOR_MONO8;
    std::uint32_t slotBytesPerPixel = 1;
};

// The ring of image buffers: owned here, or supplied by the back end's memory hook and then
// only forgotten on release.
struct Ring {
    std::unique_ptr<unsigned char[]> owned;
    unsigned char* buffer = nullptr;
    int hookSupplied = 0;
    std::unique_ptr<unsigned char*[]> slots;
};

// The last-error buffer (any thread may fail, so it is written under its lock) and the rate.
struct Diagnostics {
    char lastError[1024] = {};
    std::mutex lastErrorLock;
    double frameRate = 0.0;
    double lastFrameTimeStamp = 0.0;
};

struct CameraState {
    int explicitNumCameras = 0;
    int activeCamera = 0;
    int clientActiveCamera = 0;
    std::uint32_t hardwareRevision = 0x100;
    char productName[260] = {};
    int clientConnected = 0;
    int asyncMode = 0;
    int cameraDetected[8] = {};  // no operation of this build sets them
};

// What the emulator reads of the core's image-source settings.
struct SourceSettings {
    IFW_EMULATOR_IMAGETYPE imageCategory = IFW_EMU_IMAGE_NORMAL;
    int conformEnable = 1;
    int interjectState = 0;
    std::atomic<unsigned int> frameDelay{1};
};

inline constexpr std::uint32_t kGpioCount = 32;

// Every object starts from the same 32 input and 32 output records; hardware back ends adjust a
// few afterwards.
inline std::array<IFW_GPI_CONFIG, kGpioCount> defaultGpiTable() {
    std::array<IFW_GPI_CONFIG, kGpioCount> table;
    table.fill(IFW_GPI_CONFIG{1, 200, 0, 3.0f, 0});
    return table;
}

inline std::array<IFW_GPO_CONFIG, kGpioCount> defaultGpoTable() {
    std::array<IFW_GPO_CONFIG, kGpioCount> table;
    table.fill(IFW_GPO_CONFIG{1, 0, 1000, 0, 0});
    return table;
}

// Trigger, strobe, rejector, decision outputs, GPIO records and sensor settings.
struct LineSettings {
    std::atomic<std::uint16_t> outputImage{0x00FF};  // bit n is output port n
    std::atomic<std::uint32_t> triggerMethod{IXGrab::TRIG_NONE};
    unsigned int externalTriggerDelay = 1;
    int externalTriggerDelayEnable = 0;
    int strobeEnable = 0;
    unsigned int strobeOffset = 1;
    unsigned int strobeDuration = 200;
    unsigned int rejectorDelay = 100;
    unsigned int recycleDelay = 100;
    int rejectorPresent = 0;
    int recyclerPresent = 0;
    int rejectorTestState = 0;
    int manualTriggerRequest = 0;
    int maxTrigFreq = 0;
    int solutionIdNumBits = 0;
    int solutionChangeState = 0;
    int solutionLoaded[2] = {0, 0};
    unsigned int partsBetweenSensors = 0;
    int reDeliveryGuard = 0;
    std::array<IFW_GPI_CONFIG, kGpioCount> gpiConfig = defaultGpiTable();
    std::array<IFW_GPO_CONFIG, kGpioCount> gpoConfig = defaultGpoTable();
    IFW_GPIO_ATTR gpioAttr = {};
    unsigned int brightness = 50;
    unsigned int contrast = 50;
    double exposure = 100.0;
    unsigned int lutFloor = 0;
    unsigned int lutCeiling = 255;
};

struct TransformState {
    IFW_IMG_TRANSFORM_TYPE transformType = IFW_IMG_TRANSFORM_NONE;
    std::uint32_t rotation = 0;
    IFW_IMG_REGION_TYPE region = IFW_IMG_REGION_FULL;
    std::vector<unsigned char> buffer;
    std::uint32_t horzTiles = 1;
    std::uint32_t vertTiles = 1;
    unsigned char* mosaicImage = nullptr;
};

// CIGrab's threads and helpers; IXGrab leaves them empty.
struct CoreServices {
    // Housekeeping: ToggleLed(1) once a second while created; the wake event lets Destroy end
    // the one-second wait at once.
    std::atomic<int> housekeepingRun{1};
    std::unique_ptr<platform::AutoResetEvent> housekeepingWake;
    std::unique_ptr<platform::Thread> housekeepingThread;
    std::unique_ptr<IoScheduler> ioScheduler;
    // Image interjection: a private emulator composing single frames on the caller's thread.
    std::unique_ptr<IXGrab> interjectSource;

    CoreServices();
    ~CoreServices();
};

// Everything a grab object holds. Owned by IXGrab; back ends reach it through IXGrab::state().
struct GrabState {
    // Head of every message: "IXGrab" or "CIGrab", the class whose implementation runs.
    const char* className = "IXGrab";
    LifecycleFlags life;
    Geometry geometry;
    FrameLayout layout;
    Ring ring;
    CallbackTable callbacks;
    Diagnostics diagnostics;
    CameraState camera;
    SourceSettings source;
    LineSettings line;
    TransformState transform;
    CoreServices core;
};

}  // namespace tamra
