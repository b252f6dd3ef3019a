// Placeholder definitions so the library links while the hardware classes are being built.
#include <tamra/Tamra.h>

struct CIGrabTrellPrivate {};
CIGrabTrell::CIGrabTrell() {}
CIGrabTrell::~CIGrabTrell() = default;
IFW_IGRABTYPE CIGrabTrell::GetGrabType() { return static_cast<IFW_IGRABTYPE>(0); }
std::uint32_t CIGrabTrell::AcqThread() { return 0; }
void CIGrabTrell::ChangeSolutionInterrupt() {}
struct CIGrabKestoPrivate {};
CIGrabKesto::CIGrabKesto() {}
CIGrabKesto::~CIGrabKesto() = default;
IFW_IGRABTYPE CIGrabKesto::GetGrabType() { return static_cast<IFW_IGRABTYPE>(1); }
struct CIGrabVortanPrivate {};
CIGrabVortan::CIGrabVortan() {}
CIGrabVortan::~CIGrabVortan() = default;
IFW_IGRABTYPE CIGrabVortan::GetGrabType() { return static_cast<IFW_IGRABTYPE>(2); }
struct CIGrab1394Private {};
CIGrab1394::CIGrab1394() {}
CIGrab1394::~CIGrab1394() = default;
IFW_IGRABTYPE CIGrab1394::GetGrabType() { return static_cast<IFW_IGRABTYPE>(4); }
std::uint32_t CIGrab1394::AcqThread() { return 0; }
struct CIGrabBrixoPrivate {};
CIGrabBrixo::CIGrabBrixo() {}
CIGrabBrixo::~CIGrabBrixo() = default;
IFW_IGRABTYPE CIGrabBrixo::GetGrabType() { return static_cast<IFW_IGRABTYPE>(5); }
struct CIGrabBrixoLTPrivate {};
CIGrabBrixoLT::CIGrabBrixoLT() {}
CIGrabBrixoLT::~CIGrabBrixoLT() = default;
IFW_IGRABTYPE CIGrabBrixoLT::GetGrabType() { return static_cast<IFW_IGRABTYPE>(6); }
struct CIGrabGevPrivate {};
CIGrabGev::CIGrabGev(std::uint32_t) {}
CIGrabGev::~CIGrabGev() = default;
IFW_IGRABTYPE CIGrabGev::GetGrabType() { return static_cast<IFW_IGRABTYPE>(8); }
std::uint32_t CIGrabGev::AcqAsyncThread() { return 0; }
std::uint32_t CIGrabGev::AcqSyncThread() { return 0; }
struct CIGrabZephPrivate {};
CIGrabZeph::CIGrabZeph() {}
CIGrabZeph::~CIGrabZeph() = default;
IFW_IGRABTYPE CIGrabZeph::GetGrabType() { return static_cast<IFW_IGRABTYPE>(9); }
std::uint32_t CIGrabZeph::AcqThread() { return 0; }
