// Tamra grab library: CIGrabEmu, the camera emulator that plays back folders of bitmap files.
#pragma once

#include <tamra/CIGrab.h>

namespace tamra {
namespace emulator {
class ImageStore;
class FrameComposer;
class Acquisition;
class Observation;
}  // namespace emulator
}  // namespace tamra

// Serves frames composed from bitmap files: per camera k the folder <image path> (camera 0) or
// <image path>/Cam<k>, with its loose files and its pass/, fail/ and calib/ sub-folders.
// Threads while running: a producer, a delivery thread that calls the buffer callbacks (first in,
// first out) and an overrun reporter that calls the trash callback. Deleting the object stops
// and releases everything. A callback may call Stop; Create, Destroy, Terminate, Start,
// SetImageColor and EmulateFromNewImagePath would wait for or free what the callback is using,
// so from a callback they stop acquisition, return 0 and leave
// "CIGrab::<operation>: Called from an acquisition callback".
class TAMRA_API CIGrabEmu : public CIGrab {
public:
    explicit CIGrabEmu(IGEMU_FILE_STORE kind = IGEMU_FILE_STORE_DISK);
    ~CIGrabEmu() override;

    IFW_IGRABTYPE GetGrabType() override;
    int Initialize() override;
    int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
               std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
               std::uint32_t timeOut) override;
    int Destroy() override;
    int Terminate() override;
    int Stop() override;
    int Start() override;
    int SetImageColor(IFW_IMAGE_COLOR_TYPE type) override;
    int SetFrameDelay(unsigned int milliseconds) override;
    int SetActiveCommPort(int port) override;
    int EmulationTrigger() override;
    int GetCommPortNum(int port, IFW_COMPORT_KIND kind) override;
    int GenerateSoftTrigger(int camera) override;
    std::uint32_t GetWidth() override;
    std::uint32_t GetHeight() override;
    char* GetImagePath() override;
    char* GetImageFileName(int camera, int category, int index) override;
    int EmulateFromNewImagePath(char* path, std::uint32_t width, std::uint32_t height) override;
    int GetNumCameras() override;
    void GotTeachImage() override;

    // Frees every file list and zeroes the counts and cursors.
    void ClearFileList();
    // The emulator keeps no counts by category: always 0.
    int GetImageTypeCount(IFW_EMULATOR_IMAGETYPE category);
    // No images are held in advance: always null.
    unsigned char* GetLoadedImagePtr(IFW_EMULATOR_IMAGETYPE category, int camera, int index);
    // Composes the next frame into frame slot 0 and returns slot 0.
    unsigned char* Grab(int index);
    unsigned char* GrabSimplified(int index);

protected:
    // The counters and frame records that <tamra/Observe.h> reads.
    static tamra::emulator::Observation& observationOf(CIGrabEmu& grab);

private:
    friend class tamra::emulator::ImageStore;
    friend class tamra::emulator::FrameComposer;
    friend class tamra::emulator::Acquisition;

    unsigned int CountImageFiles(const char* path);
    unsigned int CountImageFilesSimplified(const char* path);
    int ImageConform(const char* path);
    int ImageConform(BITMAPINFOHEADER* header);
    int CreateDIBSections();
    int DestroyDIBSections();
    int LoadBitmapFromFile(const char* path, BITMAPINFO* target);
    int LoadImageFiles();
    // Frame slots: allocated (zero-filled) by Create for the current geometry, freed by Destroy.
    bool AllocateFrameSlots();
    void ReleaseFrameSlots();
    void SetFrameSlotCount(std::uint32_t count);
    int LockBuffer(unsigned int slot);
    int UnLockBuffer(unsigned int slot);
    int IsBufferLocked(unsigned int slot);
    static int ReadBitmapInfoHeader(const char* path, BITMAPINFOHEADER* header);

    static std::uint32_t EmuGrabThread(void* emulator);
    static std::uint32_t EmuDeliverThread(void* emulator);
    static std::uint32_t EmuTrashThread(void* emulator);

    IGEMU_FILE_STORE fileStoreKind_;
    char currentFileName_[260] = {};
    char imagePath_[260] = {};
    char imageRoot_[260] = {};
    std::unique_ptr<tamra::emulator::ImageStore> store_;
    std::unique_ptr<tamra::emulator::FrameComposer> composer_;
    std::unique_ptr<tamra::emulator::Acquisition> acquisition_;
};
