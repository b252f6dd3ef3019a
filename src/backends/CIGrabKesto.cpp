// Tamra grab library: CIGrabKesto, the Kesto family back end.
#include <tamra/CIGrabKesto.h>

CIGrabKesto::CIGrabKesto() {
    rejectorDelay_ = 1500;
    solutionIdNumBits_ = 4;
}

CIGrabKesto::~CIGrabKesto() {
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabKesto::GetGrabType() {
    return IFW_IGRAB_KESTO;
}
