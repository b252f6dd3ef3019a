// Tamra grab library: CIGrab1394, the 1394 family back end.
#include <tamra/CIGrab1394.h>

#include <memory>

#include "platform/Sync.h"

struct CIGrab1394Private {
    std::unique_ptr<tamra::platform::Waitable> deviceHandle;
    std::unique_ptr<unsigned char[]> transferBlock;
};

CIGrab1394::CIGrab1394() : private_(std::make_unique<CIGrab1394Private>()) {}

CIGrab1394::~CIGrab1394() {
    CIGrab::Destroy();
    CIGrab::Terminate();
    private_->deviceHandle.reset();
    private_->transferBlock.reset();
}

IFW_IGRABTYPE CIGrab1394::GetGrabType() {
    return IFW_IGRAB_1394;
}

std::uint32_t CIGrab1394::AcqThread() {
    return 0;
}
