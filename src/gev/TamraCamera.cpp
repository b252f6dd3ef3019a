#include "gev/TamraCamera.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "gev/Features.h"
#include "gev/Wire.h"

namespace tamra::gev {

namespace {

IFW_IMAGE_COLOR_TYPE colourOf(std::uint32_t pixelFormat) {
    if (pixelFormat == pixel::BGR8) return IFW_IMAGE_COLOR_COLOR24;
    if (pixelFormat == pixel::BGRa8) return IFW_IMAGE_COLOR_COLOR32;
    return IFW_IMAGE_COLOR_MONO8;
}

bool inFolder(std::uint32_t address) {
    return address >= feature::ImageFolder &&
           address < feature::ImageFolder + feature::ImageFolderSize;
}

bool knownFormat(std::uint32_t f) {
    return f == pixel::Mono8 || f == pixel::BGR8 || f == pixel::BGRa8;
}

std::uint32_t floatBits(float f) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float bitsFloat(std::uint32_t bits) {
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void deleteGrab(IXGrab* grab) {
    TamraGrabDelete(grab);
}

}  // namespace

TamraCamera::TamraCamera(Streamer& streamer, std::function<std::uint64_t()> ticks)
    : streamer_(streamer), ticks_(std::move(ticks)), grab_(nullptr, deleteGrab) {}

TamraCamera::~TamraCamera() {
    close();
}

bool TamraCamera::open(const CameraSettings& settings, std::string& error) {
    char type[16] = "EMULATOR";
    grab_.reset(TamraGrabInstantiate(type));
    if (!grab_ || !grab_->Initialize()) {
        error = grab_ ? grab_->GetLastErrorMsg() : "cannot make an emulator";
        return false;
    }
    grab_->RegisterBufferCallback(onFrame, this);
    grab_->RegisterTrashCallback(onTrash, this);
    std::error_code ignored;
    if (!std::filesystem::is_directory(settings.folder, ignored)) {
        error = "not a folder: " + settings.folder;
        return false;
    }
    settings_ = settings;
    return apply(error);
}

void TamraCamera::close() {
    if (!grab_) return;
    stop();
    grab_.reset();
}

// Everything that shapes the ring goes in before the one Create of EmulateFromNewImagePath.
bool TamraCamera::apply(std::string& error) {
    grab_->SetImageColor(colourOf(settings_.pixelFormat));
    grab_->SetNumCameras(static_cast<int>(settings_.cameraCount));
    grab_->SetFrameDelay(settings_.frameDelayMs);
    std::string path = playedFolder();
    path.push_back('\0');
    if (!grab_->EmulateFromNewImagePath(path.data(), settings_.width, settings_.height)) {
        error = grab_->GetLastErrorMsg();
        return false;
    }
    settings_.width = grab_->GetWidth();
    settings_.height = grab_->GetHeight();
    const FrameLayout frame = layout();
    payload_.store(frame.size());
    streamer_.configure(frame);
    dirty_ = false;
    return true;
}

std::string TamraCamera::playedFolder() const {
    static const char* const kSets[] = {"", "pass", "fail", "calib"};
    if (settings_.imageSet == feature::kImageSetAll) return settings_.folder;
    return (std::filesystem::path(settings_.folder) / kSets[settings_.imageSet]).string();
}

FrameLayout TamraCamera::layout() const {
    FrameLayout frame;
    frame.pixelFormat = settings_.pixelFormat;
    frame.width = settings_.width;
    frame.height = settings_.height;
    return frame;
}

IXGrab::TriggerMethod TamraCamera::triggerMethod() const {
    if (triggerMode_ == 0) return IXGrab::TRIG_FREE_RUN;
    return triggerSource_ == feature::kTriggerSourceLine0 ? IXGrab::TRIG_EXTERNAL
                                                          : IXGrab::TRIG_SOFTWARE;
}

Status TamraCamera::start() {
    if (running_) return Status::Success;
    std::string error;
    if (dirty_ && !apply(error)) return Status::Error;
    grab_->SetTriggerMethod(triggerMethod());
    if (!grab_->Start()) return Status::Error;
    running_ = true;
    return Status::Success;
}

void TamraCamera::stop() {
    if (!running_) return;
    grab_->Stop();
    running_ = false;
}

void TamraCamera::controlReleased() {
    stop();
}

bool TamraCamera::isSlowWrite(std::uint32_t address) const {
    return address == feature::AcquisitionStart || address == feature::AcquisitionStop ||
           address == feature::ImageSet || inFolder(address);
}

Status TamraCamera::readFeature(std::uint32_t address, std::uint32_t& value) {
    switch (address) {
        case feature::Width:
            value = settings_.width;
            break;
        case feature::Height:
            value = settings_.height;
            break;
        case feature::PixelFormat:
            value = settings_.pixelFormat;
            break;
        case feature::PayloadSize:
            value = static_cast<std::uint32_t>(layout().size());
            break;
        case feature::AcquisitionMode:
            value = 0;
            break;
        case feature::TriggerSelector:
            value = 0;
            break;
        case feature::TriggerMode:
            value = triggerMode_;
            break;
        case feature::TriggerSource:
            value = triggerSource_;
            break;
        case feature::AcquisitionFrameRate:
            value = floatBits(1000.0f / static_cast<float>(std::max(1u, grab_->GetFrameDelay())));
            break;
        case feature::ImageSet:
            value = settings_.imageSet;
            break;
        case feature::CameraCount:
            value = settings_.cameraCount;
            break;
        case feature::FrameDelay:
            value = grab_->GetFrameDelay();
            break;
        case feature::OverrunCount:
            value = static_cast<std::uint32_t>(overruns_.load());
            break;
        case feature::FramesDelivered:
            value = static_cast<std::uint32_t>(delivered_.load());
            break;
        case feature::AcquisitionStart:
        case feature::AcquisitionStop:
        case feature::TriggerSoftware:
            value = 0;
            break;
        default: {
            if (!inFolder(address)) return Status::InvalidAddress;
            std::uint8_t word[4];
            const Status status = readFeatureBlock(address, word, 4);
            value = readBe32(word);
            return status;
        }
    }
    return Status::Success;
}

Status TamraCamera::setGeometry(std::uint32_t address, std::uint32_t value) {
    // The ring is laid out for one geometry: it changes only while stopped.
    if (running_) return Status::Busy;
    switch (address) {
        case feature::Width:
        case feature::Height:
            if (value < 8 || value > 8192) return Status::InvalidParameter;
            (address == feature::Width ? settings_.width : settings_.height) = value;
            break;
        case feature::PixelFormat:
            if (!knownFormat(value)) return Status::InvalidParameter;
            settings_.pixelFormat = value;
            break;
        default:
            if (value < 1 || value > 8) return Status::InvalidParameter;
            settings_.cameraCount = value;
            break;
    }
    dirty_ = true;
    return Status::Success;
}

// A set the tree does not have is refused and the set played before stays.
Status TamraCamera::setImageSet(std::uint32_t value) {
    if (running_) return Status::Busy;
    if (value > feature::kImageSetCalibration) return Status::InvalidParameter;
    const std::uint32_t previous = settings_.imageSet;
    settings_.imageSet = value;
    std::error_code ignored;
    std::string error;
    if (!std::filesystem::is_directory(playedFolder(), ignored) || !apply(error)) {
        settings_.imageSet = previous;
        apply(error);
        return Status::InvalidParameter;
    }
    return Status::Success;
}

Status TamraCamera::writeFeature(std::uint32_t address, std::uint32_t value) {
    switch (address) {
        case feature::Width:
        case feature::Height:
        case feature::PixelFormat:
        case feature::CameraCount:
            return setGeometry(address, value);
        case feature::AcquisitionMode:
        case feature::TriggerSelector:
            return value == 0 ? Status::Success : Status::InvalidParameter;
        case feature::ImageSet:
            return setImageSet(value);
        case feature::AcquisitionStart:
            return start();
        case feature::AcquisitionStop:
            stop();
            return Status::Success;
        case feature::TriggerMode:
        case feature::TriggerSource:
            if (value > 1) return Status::InvalidParameter;
            (address == feature::TriggerMode ? triggerMode_ : triggerSource_) = value;
            if (running_ && !grab_->SetTriggerMethod(triggerMethod())) return Status::Error;
            return Status::Success;
        case feature::TriggerSoftware:
            if (!running_ || triggerMethod() != IXGrab::TRIG_SOFTWARE) return Status::Busy;
            return grab_->GenerateSoftTrigger(0) ? Status::Success : Status::Error;
        case feature::AcquisitionFrameRate: {
            const float rate = bitsFloat(value);
            if (!(rate >= 0.1f && rate <= 30.5f)) return Status::InvalidParameter;
            return writeFeature(feature::FrameDelay,
                                static_cast<std::uint32_t>(1000.0f / rate + 0.5f));
        }
        case feature::FrameDelay:
            if (value < 33 || value > 10000) return Status::InvalidParameter;
            settings_.frameDelayMs = value;
            return grab_->SetFrameDelay(value) ? Status::Success : Status::Error;
        case feature::PayloadSize:
        case feature::OverrunCount:
        case feature::FramesDelivered:
            return Status::WriteProtect;
        default: {
            if (address != feature::ImageFolder) return Status::InvalidAddress;
            std::uint8_t word[4];
            writeBe32(word, value);
            return writeFeatureBlock(address, word, 4);
        }
    }
}

Status TamraCamera::readFeatureBlock(std::uint32_t address, std::uint8_t* data,
                                     std::uint32_t size) {
    if (address >= feature::ImageFolder &&
        size <= feature::ImageFolderSize - (address - feature::ImageFolder)) {
        char field[feature::ImageFolderSize] = {};
        std::strncpy(field, settings_.folder.c_str(), sizeof field - 1);
        std::memcpy(data, field + (address - feature::ImageFolder), size);
        return Status::Success;
    }
    if (address + size > feature::ImageFolder) return Status::InvalidAddress;
    for (std::uint32_t i = 0; i < size; i += 4) {
        std::uint32_t value = 0;
        const Status status = readFeature(address + i, value);
        if (status != Status::Success) return status;
        writeBe32(data + i, value);
    }
    return Status::Success;
}

Status TamraCamera::writeFeatureBlock(std::uint32_t address, const std::uint8_t* data,
                                      std::uint32_t size) {
    if (address != feature::ImageFolder || size > feature::ImageFolderSize) {
        if (size == 4 && address < feature::ImageFolder)
            return writeFeature(address, readBe32(data));
        return Status::InvalidAddress;
    }
    if (running_) return Status::Busy;
    const std::string folder(reinterpret_cast<const char*>(data),
                             strnlen(reinterpret_cast<const char*>(data), size));
    const std::string previous = settings_.folder;
    settings_.folder = folder;
    // The emulator plays a missing folder as blank frames; a client naming a folder means one.
    std::error_code ignored;
    std::string error;
    if (!std::filesystem::is_directory(playedFolder(), ignored) || !apply(error)) {
        settings_.folder = previous;
        apply(error);
        return Status::InvalidParameter;
    }
    return Status::Success;
}

int TamraCamera::onFrame(unsigned char* buffer, unsigned int, std::int64_t, void* self) {
    auto* camera = static_cast<TamraCamera*>(self);
    camera->delivered_.fetch_add(1);
    camera->streamer_.sendFrame(buffer, camera->payload_.load(), camera->ticks_());
    return 0;
}

int TamraCamera::onTrash(unsigned char*, unsigned int, std::int64_t, void* self) {
    static_cast<TamraCamera*>(self)->overruns_.fetch_add(1);
    return 0;
}

}  // namespace tamra::gev
