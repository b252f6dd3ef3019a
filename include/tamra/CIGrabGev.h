// Tamra grab library: CIGrabGev, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// GigE Vision family back end; the constructor's argument is ignored.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabGev : public CIGrab {
public:
    explicit CIGrabGev(std::uint32_t unused);
    ~CIGrabGev() override;

    IFW_IGRABTYPE GetGrabType() override;
    // Thread entry kept for the interface; returns 0 and does nothing.
    std::uint32_t AcqAsyncThread();
    // Thread entry kept for the interface; returns 0 and does nothing.
    std::uint32_t AcqSyncThread();
};
