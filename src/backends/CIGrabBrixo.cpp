// Tamra grab library: CIGrabBrixo, the Brixo family back end.
#include <tamra/CIGrabBrixo.h>

CIGrabBrixo::CIGrabBrixo() = default;

// Releases nothing of its own; a client terminates the object before deleting it.
CIGrabBrixo::~CIGrabBrixo() = default;

IFW_IGRABTYPE CIGrabBrixo::GetGrabType() {
    return IFW_IGRAB_BRIXO;
}
