// Tamra grab library: camera count and selection, camera attributes and identity settings.
#include <tamra/CIGrab.h>

#include "core/GrabState.h"
#include "core/Reasons.h"
#include "platform/Text.h"

namespace {

// Format code of IFW_CAM_ATTR for a colour layout.
std::uint32_t formatCode(IFW_IMAGE_COLOR_TYPE colour) {
    switch (colour) {
        case IFW_IMAGE_COLOR_PLANES:
            return 8;
        case IFW_IMAGE_COLOR_COLOR32:
            return 4;
        case IFW_IMAGE_COLOR_COLOR24:
            return 5;
        default:
            return 0;
    }
}

}  // namespace

// Planes are presented as eight cameras; the explicit count does not enter here.
int IXGrab::GetNumCameras() {
    return grabState().geometry.imageColor == IFW_IMAGE_COLOR_PLANES ? 8 : 1;
}

void IXGrab::SetNumCameras(int count) {
    grabState().camera.explicitNumCameras = count;
}

int IXGrab::GetExpicitSetNumCameras() {
    return grabState().camera.explicitNumCameras;
}

int IXGrab::GetActiveCamera() {
    return grabState().camera.activeCamera;
}

// Works in every state and writes no message; a negative camera passes both tests.
int IXGrab::SetClientActiveCamera(int camera) {
    if (camera >= GetNumCameras()) return 0;
    if (camera >= 1 && grabState().geometry.imageColor == IFW_IMAGE_COLOR_PLANES) return 0;
    grabState().camera.clientActiveCamera = camera;
    return 1;
}

int IXGrab::GetCamAttr(IFW_CAM_ATTR* attr) {
    if (requireInitialized("GetCamAttr") == 0) return 0;
    if (attr == nullptr) return fail("GetCamAttr", tamra::reason::kInvalidArgument);
    attr->Format = formatCode(grabState().geometry.imageColor);
    attr->Width = GetWidth();
    attr->Height = GetHeight();
    attr->BytesPerPixel = grabState().geometry.bytesPerPixel;
    attr->BitsPerPixel = grabState().geometry.bitsPerPixel;
    return 1;
}

std::uint32_t IXGrab::GetHardwareRevision() {
    return grabState().camera.hardwareRevision;
}

// Converted to the narrow code page; a name too long for the buffer is cut to fit.
void IXGrab::SetProductName(wchar_t* name) {
    tamra::platform::toNarrow(name != nullptr ? name : L"", grabState().camera.productName,
                              sizeof grabState().camera.productName);
}

void IXGrab::SetClientConnect(int value) {
    grabState().camera.clientConnected = value;
}

void IXGrab::SetASyncMode(int value) {
    grabState().camera.asyncMode = value;
}

int CIGrab::SetActiveCamera(int camera, int) {
    if (requireInitialized("SetActiveCamera") == 0) return 0;
    return camera < GetNumCameras() ? 1 : 0;
}

int CIGrab::IsCameraDetected(int camera) {
    if (requireInitialized("IsCameraDetected") == 0) return 0;
    if (camera < 0 || camera > 7) return 0;
    return grabState().camera.cameraDetected[camera];
}
