// Addresses of the camera's feature registers, shared by the description file and the backend.
#pragma once

#include <cstdint>

#include "gev/Device.h"

namespace tamra::gev::feature {

constexpr std::uint32_t Width = kFeatureBase + 0x00;
constexpr std::uint32_t Height = kFeatureBase + 0x04;
constexpr std::uint32_t PixelFormat = kFeatureBase + 0x08;
constexpr std::uint32_t PayloadSize = kFeatureBase + 0x0C;
constexpr std::uint32_t AcquisitionMode = kFeatureBase + 0x10;
constexpr std::uint32_t AcquisitionStart = kFeatureBase + 0x14;
constexpr std::uint32_t AcquisitionStop = kFeatureBase + 0x18;
constexpr std::uint32_t TriggerMode = kFeatureBase + 0x1C;
constexpr std::uint32_t TriggerSource = kFeatureBase + 0x20;
constexpr std::uint32_t TriggerSoftware = kFeatureBase + 0x24;
constexpr std::uint32_t AcquisitionFrameRate = kFeatureBase + 0x28;  // IEEE float
constexpr std::uint32_t CameraCount = kFeatureBase + 0x2C;
constexpr std::uint32_t OverrunCount = kFeatureBase + 0x30;
constexpr std::uint32_t FrameDelay = kFeatureBase + 0x34;
constexpr std::uint32_t TriggerSelector = kFeatureBase + 0x38;
constexpr std::uint32_t FramesDelivered = kFeatureBase + 0x3C;
constexpr std::uint32_t ImageSet = kFeatureBase + 0x40;
constexpr std::uint32_t ImageFolder = kFeatureBase + 0x100;
constexpr std::uint32_t ImageFolderSize = 256;

constexpr std::uint32_t kTriggerSourceSoftware = 0;
constexpr std::uint32_t kTriggerSourceLine0 = 1;

// Which part of the tree is played: all of it, or only its pass/, fail/ or calib/ folder.
constexpr std::uint32_t kImageSetAll = 0;
constexpr std::uint32_t kImageSetPass = 1;
constexpr std::uint32_t kImageSetFail = 2;
constexpr std::uint32_t kImageSetCalibration = 3;

}  // namespace tamra::gev::feature
