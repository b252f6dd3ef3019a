// Image-source settings of the grab core and image interjection: single frames taken from a
// second, private emulator while this grab runs on.
#include <tamra/CIGrabEmu.h>

#include <algorithm>
#include <new>

namespace {

constexpr std::uint32_t kKeep = 0xFFFFFFFEu;

}  // namespace

void IXGrab::SetImgSrcConformEnable(int enable) {
    conformEnable_ = enable;
}

void IXGrab::SetImgInterjectState(int state) {
    interjectState_ = state;
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
    try {
        if (!interjectSource_) {
            auto source = std::make_unique<CIGrabEmu>(IGEMU_FILE_STORE_DISK);
            source->Initialize();
            source->Create(offsetX_, offsetY_, width_, height_, kKeep, kKeep, kKeep);
            interjectCopy_.assign(
                static_cast<std::size_t>(std::max(GetNumCameras(), 0)) * imageSizeInBytes_, 0);
            interjectSource_ = std::move(source);
        }
        return static_cast<CIGrabEmu*>(interjectSource_.get())->GrabSimplified(0);
    } catch (const std::bad_alloc&) {
        // No copy buffer: no interjection frame, and the next call tries again.
        return nullptr;
    }
}

char* CIGrab::GetImageFileName(int, int category, int index) {
    if (interjectState_ == 0 || !interjectSource_) return nullptr;
    return interjectSource_->GetImageFileName(0, std::max(category, 0), std::max(index, 0));
}
