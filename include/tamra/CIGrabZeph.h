// Tamra grab library: CIGrabZeph, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// Zeph family back end.
// Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabZeph : public CIGrab {
public:
    CIGrabZeph();
    ~CIGrabZeph() override;

    IFW_IGRABTYPE GetGrabType() override;
    // Thread entry kept for the interface; returns 0 and does nothing.
    std::uint32_t AcqThread();

private:
    // Device handle and transfer block; neither is opened in this build, both released if set.
    std::unique_ptr<struct CIGrabZephPrivate> private_;
};
