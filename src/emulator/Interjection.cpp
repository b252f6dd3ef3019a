// Image-source settings of the grab core and image interjection: single frames taken from a
// second, private emulator while this grab runs on.
#include <tamra/CIGrabEmu.h>

#include <algorithm>
#include <memory>
#include <new>

#include "core/GeometryRules.h"
#include "core/GrabState.h"

namespace {

using tamra::geometry::kKeep;

}  // namespace

void IXGrab::SetImgSrcConformEnable(int enable) {
    grabState().source.conformEnable = enable;
}

void IXGrab::SetImgInterjectState(int state) {
    grabState().source.interjectState = state;
}

unsigned char* IXGrab::GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE, int, int) {
    return nullptr;
}

char* IXGrab::GetImageFileName(int, int, int) {
    return nullptr;
}

// The private emulator finds its images by its own default image path, is created with this
// grab's window and is never started: each call composes one frame on the calling thread.
unsigned char* CIGrab::GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE, int, int) {
    std::unique_ptr<IXGrab>& source = grabState().core.interjectSource;
    try {
        if (!source) {
            auto emulator = std::make_unique<CIGrabEmu>(IGEMU_FILE_STORE_DISK);
            emulator->Initialize();
            const tamra::Geometry& geometry = grabState().geometry;
            emulator->Create(geometry.offsetX, geometry.offsetY, geometry.width, geometry.height,
                             kKeep, kKeep, kKeep);
            source = std::move(emulator);
        }
        return static_cast<CIGrabEmu*>(source.get())->GrabSimplified(0);
    } catch (const std::bad_alloc&) {
        return nullptr;  // no frame this time; the next call tries again
    }
}

char* CIGrab::GetImageFileName(int, int category, int index) {
    if (grabState().source.interjectState == 0 || !grabState().core.interjectSource) return nullptr;
    return grabState().core.interjectSource->GetImageFileName(0, std::max(category, 0),
                                                              std::max(index, 0));
}
