// Tamra grab library: the two exported C functions that create and delete grab objects.
#include <tamra/Tamra.h>

#include <cstring>
#include <new>

namespace {

// Type words, tested as case-sensitive substrings in this order within each family.
constexpr const char* kHardwareWords[] = {"KESTO", "BRIXOLT", "ZEPH", "VORTAN"};
constexpr const char* kEmulatorWords[] = {"EMULATOR", "1394", "MIRANT"};

enum class Family { None, Hardware, Emulator, Other };

template <std::size_t N>
bool containsAny(const char* type, const char* const (&words)[N]) {
    for (const char* word : words) {
        if (std::strstr(type, word) != nullptr) return true;
    }
    return false;
}

Family familyOf(const char* type) {
    if (type == nullptr || type[0] == '\0') return Family::None;
    if (containsAny(type, kHardwareWords)) return Family::Hardware;
    if (containsAny(type, kEmulatorWords)) return Family::Emulator;
    return Family::Other;
}

// The caller's buffer reads as empty afterwards; it holds at least eight bytes.
void clearTypeBuffer(char* type) {
    std::memset(type, 0, 8);
}

// Every family ends in the camera emulator in this build. Null when it cannot be allocated.
IXGrab* newEmulator() noexcept {
    try {
        return new (std::nothrow) CIGrabEmu(IGEMU_FILE_STORE_DISK);
    } catch (...) {
        return nullptr;  // a member allocation of the constructor failed
    }
}

}  // namespace

// Hardware words yield an emulator here. An emulator word gets a second attempt below when the
// first allocation fails. Other strings would go to an external back-end step (the GigE family
// for "ZALBO"), which has no back end in this build and so also ends with an emulator.
extern "C" TAMRA_API IXGrab* TamraGrabInstantiate(char* type) {
    const Family family = familyOf(type);
    if (family != Family::None) clearTypeBuffer(type);
    if (family == Family::Emulator) {
        if (IXGrab* grab = newEmulator()) return grab;
    }
    return newEmulator();
}

extern "C" TAMRA_API int TamraGrabDelete(IXGrab* grab) {
    if (grab == nullptr) return 0;
    int result = 0;
    try {
        result = grab->Terminate();
    } catch (...) {
        result = 0;  // nothing may cross the C interface; the object is deleted all the same
    }
    delete grab;
    return result;
}
