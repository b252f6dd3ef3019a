// Tamra grab library: CIGrabBrixo, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// Brixo family back end.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabBrixo : public CIGrab {
public:
    CIGrabBrixo();
    ~CIGrabBrixo() override;

    IFW_IGRABTYPE GetGrabType() override;
};
