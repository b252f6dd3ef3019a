// Tamra grab library: CIGrabKesto, the Kesto family back end.
#include <tamra/CIGrabKesto.h>

#include "core/GrabState.h"

CIGrabKesto::CIGrabKesto() {
    grabState().line.rejectorDelay = 1500;
    grabState().line.solutionIdNumBits = 4;
}

CIGrabKesto::~CIGrabKesto() {
    CIGrab::Terminate();
}

IFW_IGRABTYPE CIGrabKesto::GetGrabType() {
    return IFW_IGRAB_KESTO;
}
