// Tamra grab library: CIGrabVortan, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// Vortan family back end: rejector delay 1500, exposure 512.0.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabVortan : public CIGrab {
public:
    CIGrabVortan();
    ~CIGrabVortan() override;

    IFW_IGRABTYPE GetGrabType() override;
};
