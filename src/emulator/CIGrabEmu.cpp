// Tamra grab library: CIGrabEmu's object, lifecycle, triggers and serial-port answers.
#include <tamra/CIGrabEmu.h>

#include <algorithm>
#include <cstring>

#include <tamra/CiOS.h>

#include "emulator/Acquisition.h"
#include "emulator/FrameComposer.h"
#include "emulator/ImageStore.h"
#include "platform/FileSystem.h"

namespace {

constexpr unsigned int kMinFrameDelayMs = 33;
constexpr std::size_t kPathChars = 260;
constexpr std::uint32_t kKeep = 0xFFFFFFFEu;
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

// Terminate stops and releases everything; the file lists go last.
CIGrabEmu::~CIGrabEmu() {
    CIGrabEmu::Terminate();
    ClearFileList();
}

IFW_IGRABTYPE CIGrabEmu::GetGrabType() {
    return IFW_IGRAB_EMULATOR;
}

int CIGrabEmu::Initialize() {
    const int result = CIGrab::Initialize();
    if (!result) return result;
    frameDelay_ = kMinFrameDelayMs;
    if (imagePath_[0] == '\0') CiOS::AppDataPath(imagePath_, productName_, kDefaultImageRoot);
    if (!heightSet_) applyImageRegion(region_, width_, height_);
    scanWithFallback(imagePath_, imageRoot_,
                     [this](const char* path) { return CountImageFiles(path); });
    initialized_ = 1;
    return 1;
}

// Stops first, so that the scan never changes the lists under a running producer; the core's
// Create would stop through Destroy anyway.
int CIGrabEmu::Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                      std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                      std::uint32_t timeOut) {
    if (acquisition_->refusedOnOwnThread(*this, "Create")) return 0;
    Stop();
    if (imagePath_[0] != '\0') CountImageFiles(imagePath_);
    // The negation is taken in unsigned arithmetic, so that the most negative value is defined.
    const bool asksForBits = static_cast<std::int32_t>(bitsPerPixel) <= kLargestBitsRequest;
    const std::uint32_t coreBits = asksForBits ? 0u - bitsPerPixel : kKeep;
    if (!CIGrab::Create(offsetX, offsetY, width, height, coreBits, bufferCount, timeOut)) return 0;
    SetFrameSlotCount(1);
    if (!acquisition_->allocateSlotState(bufferCount_) || !AllocateFrameSlots()) {
        Destroy();
        return 0;
    }
    if (CreateDIBSections()) LoadImageFiles();
    created_ = 1;
    return 1;
}

int CIGrabEmu::Destroy() {
    if (acquisition_->refusedOnOwnThread(*this, "Destroy")) return 0;
    CIGrab::Destroy();
    DestroyDIBSections();
    acquisition_->releaseSlotState();
    ReleaseFrameSlots();
    return 1;
}

int CIGrabEmu::Terminate() {
    if (acquisition_->refusedOnOwnThread(*this, "Terminate")) return 0;
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

int CIGrabEmu::Start() {
    if (acquisition_->refusedOnOwnThread(*this, "Start")) return 0;
    if (!CIGrab::Start()) return 0;
    if (!acquisition_->createSemaphores(bufferCount_)) {
        Stop();
        return 0;
    }
    running_ = 1;
    acquisition_->clearLocks();
    if (!acquisition_->startThreads(*this)) {
        Stop();
        return 0;
    }
    return 1;
}

int CIGrabEmu::EmulateFromNewImagePath(char* path, std::uint32_t width, std::uint32_t height) {
    if (acquisition_->refusedOnOwnThread(*this, "EmulateFromNewImagePath")) return 0;
    copyPath(imageRoot_, path);
    CiOS::AppDataPath(imagePath_, productName_, imageRoot_);
    if (width == 0 || height == 0) return 0;
    Destroy();
    scanWithFallback(imagePath_, imageRoot_,
                     [this](const char* folder) { return CountImageFiles(folder); });
    Create(0, 0, width, height, kKeep, kKeep, kKeep);
    return 1;
}

int CIGrabEmu::EmulationTrigger() {
    if (!initialized_) return fail("EmulationTrigger", "Grab not initialized");
    if (isTriggered(triggerMethod_)) acquisition_->releaseTrigger();
    return 1;
}

// The camera is ignored, and so is the initialised state.
int CIGrabEmu::GenerateSoftTrigger(int /*camera*/) {
    if (isTriggered(triggerMethod_)) acquisition_->releaseTrigger();
    return 1;
}

// The frame delay is a pause between frames; a running emulator never pauses less than 33 ms.
int CIGrabEmu::SetFrameDelay(unsigned int milliseconds) {
    if (!CIGrab::SetFrameDelay(milliseconds)) return 0;
    if (frameDelay_ < kMinFrameDelayMs) frameDelay_ = kMinFrameDelayMs;
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

std::uint32_t CIGrabEmu::EmuGrabThread(void* emulator) {
    auto* grab = static_cast<CIGrabEmu*>(emulator);
    return grab->acquisition_->produce(*grab);
}

std::uint32_t CIGrabEmu::EmuDeliverThread(void* emulator) {
    auto* grab = static_cast<CIGrabEmu*>(emulator);
    return grab->acquisition_->deliver(*grab);
}

std::uint32_t CIGrabEmu::EmuTrashThread(void* emulator) {
    auto* grab = static_cast<CIGrabEmu*>(emulator);
    return grab->acquisition_->reportOverruns(*grab);
}
