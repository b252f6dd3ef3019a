// Tamra grab library: CIGrabGev, the GigE Vision family back end.
#include <tamra/CIGrabGev.h>

// The argument names a device in other builds; here every object is the same.
CIGrabGev::CIGrabGev(std::uint32_t) {}

CIGrabGev::~CIGrabGev() {
    CIGrab::Destroy();
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabGev::GetGrabType() {
    return IFW_IGRAB_GEV;
}

std::uint32_t CIGrabGev::AcqAsyncThread() {
    return 0;
}

std::uint32_t CIGrabGev::AcqSyncThread() {
    return 0;
}
