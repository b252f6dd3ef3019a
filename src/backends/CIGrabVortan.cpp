// Tamra grab library: CIGrabVortan, the Vortan family back end.
#include <tamra/CIGrabVortan.h>

CIGrabVortan::CIGrabVortan() {
    rejectorDelay_ = 1500;
    exposure_ = 512.0;
}

CIGrabVortan::~CIGrabVortan() {
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabVortan::GetGrabType() {
    return IFW_IGRAB_VORTAN;
}
