// An outside client: compiles against the installed headers only and links the shared library.
#include <tamra/Tamra.h>

#include <cstdio>

int main() {
    char type[16] = "EMULATOR";
    IXGrab* grab = TamraGrabInstantiate(type);
    if (grab == nullptr || type[0] != '\0') return 1;
    if (grab->GetGrabType() != IFW_IGRAB_EMULATOR) return 2;
    if (grab->Initialize() != 1 || grab->IsGrabInitialized() != 1) return 3;
    CIGrab core;  // the class itself, not only the factory, links from outside
    if (core.IsGrabCreated() != 0) return 4;
    char path[260];
    if (CiOS::AppDataPath(path, "Consumer", nullptr) != path) return 5;
    if (TamraGrabDelete(grab) != 1) return 6;
    std::puts("consumer ok");
    return 0;
}
