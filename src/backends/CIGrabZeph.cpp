// Tamra grab library: CIGrabZeph, the Zeph family back end.
#include <tamra/CIGrabZeph.h>

#include <memory>

#include "platform/Sync.h"

struct CIGrabZephPrivate {
    std::unique_ptr<tamra::platform::Waitable> deviceHandle;
    std::unique_ptr<unsigned char[]> transferBlock;
};

CIGrabZeph::CIGrabZeph() : private_(std::make_unique<CIGrabZephPrivate>()) {}

CIGrabZeph::~CIGrabZeph() {
    CIGrab::Destroy();
    CIGrab::Terminate();
    private_->deviceHandle.reset();
    private_->transferBlock.reset();
}

IFW_IGRABTYPE CIGrabZeph::GetGrabType() {
    return IFW_IGRAB_ZEPH;
}

std::uint32_t CIGrabZeph::AcqThread() {
    return 0;
}
