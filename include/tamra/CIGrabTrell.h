// Tamra grab library: CIGrabTrell, a hardware back-end class.
#pragma once

#include <tamra/CIGrab.h>

// Trell family back end: rejector and recycle delay 1500, solution-ID bits 5, output records 0-2
// preset. Acquisition behaviour is CIGrab's; the class reports its family and its defaults.
class TAMRA_API CIGrabTrell : public CIGrab {
public:
    CIGrabTrell();
    ~CIGrabTrell() override;

    IFW_IGRABTYPE GetGrabType() override;
    // Thread entry kept for the interface; returns 0 and does nothing.
    std::uint32_t AcqThread();
    // No effect in this build.
    void ChangeSolutionInterrupt();

private:
    // Interrupt event, status block and the family's own copy of the trigger method.
    std::unique_ptr<struct CIGrabTrellPrivate> private_;
};
