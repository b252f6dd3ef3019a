// Tamra grab library: CIGrabEmu's object, lifecycle, triggers and serial-port answers.
#include <tamra/CIGrabEmu.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include <tamra/CiOS.h>

#include "core/GeometryRules.h"
#include "core/GrabState.h"
#include "core/LifecycleRules.h"
#include "core/Reasons.h"
#include "emulator/Acquisition.h"
#include "emulator/FrameComposer.h"
#include "emulator/ImageStore.h"
#include "platform/FileSystem.h"

namespace {

constexpr unsigned int kMinFrameDelayMs = 33;
constexpr std::size_t kPathChars = 260;
using tamra::geometry::kKeep;
using Op = tamra::GrabOperation;
// "./images" with the native separator: the image root relative to the current directory.
constexpr char kDefaultImageRoot[] = {
    '.', tamra::platform::kSeparator, 'i', 'm', 'a', 'g', 'e', 's', 0};
// A bits argument of -8 or less asks for its magnitude; anything else keeps the current value.
constexpr std::int32_t kLargestBitsRequest = -8;

// Copies a path into a 260-character member, cut at 259 characters and always terminated.
void copyPath(char* destination, const char* source) {
    const std::size_t length = source ? std::min(std::strlen(source), kPathChars - 1) : 0;
    if (length > 0) std::memmove(destination, source, length);
    destination[length] = '\0';
}

bool isTriggered(std::uint32_t method) {
    return method == IXGrab::TRIG_EXTERNAL || method == IXGrab::TRIG_SOFTWARE;
}

// A reduced default region; the divisions are shifts.
void applyImageRegion(IFW_IMG_REGION_TYPE region, std::uint32_t& width, std::uint32_t& height) {
    switch (region) {
        case IFW_IMG_REGION_HALF_HEIGHT:
            height >>= 1;
            break;
        case IFW_IMG_REGION_QUARTER:
            width >>= 1;
            height >>= 1;
            break;
        case IFW_IMG_REGION_QUARTER_HEIGHT:
            height >>= 2;
            break;
        case IFW_IMG_REGION_1024X768:
            if (width >= 1024 && height >= 768) {
                width = 1024;
                height = 768;
            }
            break;
        default:
            break;
    }
}

// An image path without any main image falls back to the image root; that scan stands.
template <typename Scan>
void scanWithFallback(char* imagePath, const char* imageRoot, Scan&& scan) {
    if (scan(imagePath) != 0) return;
    copyPath(imagePath, imageRoot);
    scan(imagePath);
}

}  // namespace

CIGrabEmu::CIGrabEmu(IGEMU_FILE_STORE kind)
    : fileStoreKind_(kind),
      store_(std::make_unique<tamra::emulator::ImageStore>()),
      composer_(std::make_unique<tamra::emulator::FrameComposer>()),
      acquisition_(std::make_unique<tamra::emulator::Acquisition>()) {
    copyPath(imageRoot_, kDefaultImageRoot);
    composer_->observe(&acquisition_->observation());
}

CIGrabEmu::CIGrabEmu(int kind) : CIGrabEmu(static_cast<IGEMU_FILE_STORE>(kind)) {}

// Terminate stops and releases everything; the file lists go last. Inside one of its own
// callbacks Terminate only stops, and the engine is handed to the thread running the callback,
// which deletes it when it ends.
CIGrabEmu::~CIGrabEmu() {
    CIGrabEmu::Terminate();
    if (acquisition_->isOwnThread()) {
        acquisition_->orphan();
        acquisition_.release();  // deleted by its last thread
    }
    ClearFileList();
}

IFW_IGRABTYPE CIGrabEmu::GetGrabType() {
    return IFW_IGRAB_EMULATOR;
}

int CIGrabEmu::Initialize() try {
    const int result = CIGrab::Initialize();
    if (!result) return result;
    grabState().source.frameDelay = kMinFrameDelayMs;
    if (imagePath_[0] == '\0')
        CiOS::AppDataPath(imagePath_, grabState().camera.productName, kDefaultImageRoot);
    if (!grabState().geometry.heightSet)
        applyImageRegion(grabState().transform.region, grabState().geometry.width,
                         grabState().geometry.height);
    scanWithFallback(imagePath_, imageRoot_,
                     [this](const char* path) { return CountImageFiles(path); });
    grabState().life.initialized = 1;
    return 1;
} catch (const std::exception&) {
    return fail("Initialize", tamra::reason::kOutOfResources);
}

// Stops first, so that the scan never changes the lists under a running producer; the core's
// Create would stop through Destroy anyway.
int CIGrabEmu::Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                      std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                      std::uint32_t timeOut) try {
    if (refusedInCallback(Op::Create, "Create")) return 0;
    Stop();
    if (imagePath_[0] != '\0' && !keepFileLists_) CountImageFiles(imagePath_);
    // The negation is taken in unsigned arithmetic, so that the most negative value is defined.
    const bool asksForBits = static_cast<std::int32_t>(bitsPerPixel) <= kLargestBitsRequest;
    const std::uint32_t coreBits = asksForBits ? 0u - bitsPerPixel : kKeep;
    if (!CIGrab::Create(offsetX, offsetY, width, height, coreBits, bufferCount, timeOut)) return 0;
    SetFrameSlotCount(1);
    if (!acquisition_->allocateSlotState(grabState().geometry.bufferCount) ||
        !AllocateFrameSlots()) {
        Destroy();
        return 0;
    }
    if (CreateDIBSections()) LoadImageFiles();
    grabState().life.created = 1;
    return 1;
} catch (const std::exception&) {
    Destroy();
    return fail("Create", tamra::reason::kOutOfResources);
}

int CIGrabEmu::Destroy() {
    if (refusedInCallback(Op::Destroy, "Destroy")) return 0;
    CIGrab::Destroy();
    DestroyDIBSections();
    acquisition_->releaseSlotState();
    ReleaseFrameSlots();
    return 1;
}

int CIGrabEmu::Terminate() {
    if (refusedInCallback(Op::Terminate, "Terminate")) return 0;
    CIGrab::Terminate();
    SetFrameSlotCount(0);
    return 1;
}

// On a client thread: clears the running flag, wakes and joins the three threads and closes
// the semaphores. Inside a callback it only asks the threads to end (see Acquisition::stop).
int CIGrabEmu::Stop() {
    CIGrab::Stop();
    acquisition_->stop();
    return 1;
}

int CIGrabEmu::Start() try {
    if (refusedInCallback(Op::Start, "Start")) return 0;
    if (!CIGrab::Start()) return 0;
    // The layout frames are composed with while running, and a frame slot that holds it: the
    // producer allocates nothing. A slot that cannot grow makes every frame keep the slot's
    // previous pixels, as a failed composition does.
    tamra::FrameLayout& layout = composer_->layout();
    layout = currentFrameLayout();
    composer_->fitSlots(layout);
    if (!acquisition_->createSemaphores(grabState().geometry.bufferCount)) {
        Stop();
        return 0;
    }
    grabState().life.running = 1;
    acquisition_->clearLocks();
    const auto compose = [](void* owner) -> const unsigned char* {
        auto* grab = static_cast<CIGrabEmu*>(owner);
        return grab->composer_->composeFrame(grab->frameSource(), grab->composer_->layout());
    };
    if (!acquisition_->startThreads(grabState(), layout, compose, this)) {
        Stop();
        return 0;
    }
    return 1;
} catch (const std::exception&) {
    Stop();
    return fail("Start", tamra::reason::kOutOfResources);
}

int CIGrabEmu::EmulateFromNewImagePath(char* path, std::uint32_t width, std::uint32_t height) try {
    if (refusedInCallback(Op::EmulateFromNewImagePath, "EmulateFromNewImagePath")) return 0;
    copyPath(imageRoot_, path);
    CiOS::AppDataPath(imagePath_, grabState().camera.productName, imageRoot_);
    if (width == 0 || height == 0) return 0;
    Destroy();
    scanWithFallback(imagePath_, imageRoot_,
                     [this](const char* folder) { return CountImageFiles(folder); });
    Create(0, 0, width, height, kKeep, kKeep, kKeep);
    return 1;
} catch (const std::exception&) {
    return fail("EmulateFromNewImagePath", tamra::reason::kOutOfResources);
}

int CIGrabEmu::EmulationTrigger() {
    if (!grabState().life.initialized) {
        return fail("EmulationTrigger", tamra::reason::kNotInitialized);
    }
    if (isTriggered(grabState().line.triggerMethod)) acquisition_->releaseTrigger();
    return 1;
}

// The camera is ignored, and so is the initialised state.
int CIGrabEmu::GenerateSoftTrigger(int /*camera*/) {
    if (isTriggered(grabState().line.triggerMethod)) acquisition_->releaseTrigger();
    return 1;
}

// The frame delay is a pause between frames; a running emulator never pauses less than 33 ms.
int CIGrabEmu::SetFrameDelay(unsigned int milliseconds) {
    if (!CIGrab::SetFrameDelay(milliseconds)) return 0;
    if (grabState().source.frameDelay < kMinFrameDelayMs)
        grabState().source.frameDelay = kMinFrameDelayMs;
    return 1;
}

// Only port 0 exists.
int CIGrabEmu::SetActiveCommPort(int port) {
    if (!requireInitialized("SetActiveCommPort")) return 0;
    return port == 0 ? 1 : 0;
}

int CIGrabEmu::GetCommPortNum(int /*port*/, IFW_COMPORT_KIND kind) {
    if (kind == IFW_COMPORT_CAMERA) return 1;
    if (kind == IFW_COMPORT_PLC || kind == IFW_COMPORT_AUX) return 0;
    return 1;
}

void CIGrabEmu::GotTeachImage() {}

int CIGrabEmu::LockBuffer(unsigned int slot) {
    return acquisition_->lockSlot(slot);
}

int CIGrabEmu::UnLockBuffer(unsigned int slot) {
    return acquisition_->unlockSlot(slot);
}

int CIGrabEmu::IsBufferLocked(unsigned int slot) {
    return acquisition_->isSlotLocked(slot);
}

bool CIGrabEmu::refusedInCallback(tamra::GrabOperation operation, const char* name) {
    if (!acquisition_->isOwnThread()) return false;
    Stop();
    admitted(operation, name, true);
    return true;
}
