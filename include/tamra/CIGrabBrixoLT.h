// Tamra grab library: CIGrabBrixoLT, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// BrixoLT family back end: type 7 when the variant marker existed at construction.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabBrixoLT : public CIGrab {
public:
    CIGrabBrixoLT();
    ~CIGrabBrixoLT() override;

    IFW_IGRABTYPE GetGrabType() override;

private:
    // 1 when the variant marker file existed at construction; never looked at again.
    int variant_ = 0;
};
