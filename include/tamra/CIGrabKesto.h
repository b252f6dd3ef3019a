// Tamra grab library: CIGrabKesto, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// Kesto family back end: rejector delay 1500, solution-ID bits 4.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabKesto : public CIGrab {
public:
    CIGrabKesto();
    ~CIGrabKesto() override;

    IFW_IGRABTYPE GetGrabType() override;
};
