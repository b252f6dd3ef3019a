// Tamra grab library: CIGrabVortan, the Vortan family back end.
#include <tamra/CIGrabVortan.h>

#include "core/GrabState.h"

CIGrabVortan::CIGrabVortan() {
    grabState().line.rejectorDelay = 1500;
    grabState().line.exposure = 512.0;
}

CIGrabVortan::~CIGrabVortan() {
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabVortan::GetGrabType() {
    return IFW_IGRAB_VORTAN;
}
