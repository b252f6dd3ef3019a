// Tamra grab library: CIGrabEmu, the camera emulator that plays back folders of bitmap files.
#pragma once

#include <tamra/CIGrab.h>

namespace tamra {
struct FrameLayout;
namespace emulator {
class ImageStore;
class FrameComposer;
class Acquisition;
struct FrameSource;
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
/// The camera emulator: plays folders of bitmap files as a live camera.
///
/// **Folders read.** Camera 0 reads the image folder (GetImagePath()) itself, camera k (1 to 7) its
/// sub-folder `Cam<k>`, for the GetNumCameras() cameras counted when the folder is scanned (by
/// Initialize(), Create() and EmulateFromNewImagePath()). In each camera folder the `*.bmp` files
/// (any case) of the folder, then of `pass/`, then of `fail/` form the camera's main list, in that
/// order; `calib/` forms a calibration list that acquisition does not play. No other folder is
/// read, and files with other extensions are ignored. Names are not checked: a damaged file with
/// the `.bmp` extension is listed and plays as the stand-in pattern.
///
/// **Order.** Within a folder files are taken in ascending order of their names compared without
/// case, character by character: `img10.bmp` comes before `img2.bmp`, so number files with leading
/// zeros. Each camera plays its list from the first file to the last and then again; each frame
/// takes the next file of every camera.
///
/// **Frame size.** Until the client sets a width (SetWidth() or a Create() argument other than
/// TAMRA_KEEP_VALUE), the first main-list file found (camera 0, its folder, then `pass/`, `fail/`)
/// sets the width, rounded up to a multiple of 4, and the height. Every file is then scaled to the
/// frame size (nearest sample) and converted to its pixel layout; colour files become grey in an
/// 8-bit frame.
///
/// **Bitmaps that play:** the 14-byte file header and the 40-byte information header, 8 bits per
/// pixel (with a palette of up to 256 entries, or without one read as grey levels), 16 bits
/// (5-5-5, or bit fields), 24 or 32 bits, uncompressed (bit fields at 16 and 32 bits), rows
/// bottom-up or top-down. **Replaced by the stand-in pattern:** longer headers (version 4 and 5,
/// 108 and 124 bytes), 1- and 4-bit pixels, run-length or embedded JPEG/PNG compression, more than
/// 256 palette entries, pixel data shorter than the header says, files that cannot be opened,
/// and, with conforming off (SetImgSrcConformEnable()), files not of the frame's geometry (those
/// are left out of the lists instead). No message is written for any of them.
///
/// **Stand-in pattern.** A plane without a playable file gets moving diagonal bands: byte b of the
/// pixel at row r, column c is ((B + b) x (r + c + n x 10 / B)) modulo 256, where B is the bytes
/// per pixel and n counts the frames composed since the last scan. With 1 byte per pixel the first
/// byte of frame n is 10 n modulo 256.
///
/// **Threads** while running: a producer, a delivery thread that calls the buffer callbacks (first
/// in, first out) and an overrun reporter that calls the trash callback.
///
/// **Callbacks and deletion.** Callbacks may be registered, replaced and unregistered while
/// frames flow: each call receives the function and the context of one registration, never one's
/// function with another's context. Deleting the object (delete or TamraGrabDelete) from inside
/// one of its own callbacks is safe: acquisition stops, the object is gone when the delete
/// returns, and the library's thread that ran the callback ends on its own without touching the
/// object again (the acquisition-thread exit callback registered at that moment is still called).
/// Nothing may use the object after that delete, not even the callback that made it.
class TAMRA_API CIGrabEmu : public CIGrab {
public:
    explicit CIGrabEmu(IGEMU_FILE_STORE kind = IGEMU_FILE_STORE_DISK);
    // new CIGrabEmu(0): the file-store kind given as a number.
    explicit CIGrabEmu(int kind);
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
    /// Composes the next frame into the emulator's own frame slot and returns it (also Grab()); the
    /// files advance as in acquisition. Only while the grab is not running.
    unsigned char* GrabSimplified(int index);

protected:
    // The counters and frame records that <tamra/Observe.h> reads.
    static tamra::emulator::Observation& observationOf(CIGrabEmu& grab);

private:
    // On one of acquisition's own threads: stops acquisition (as Stop from a callback does),
    // writes "CIGrab::<operation>: Called from an acquisition callback" and returns true.
    bool refusedInCallback(tamra::GrabOperation operation, const char* name);
    tamra::FrameLayout currentFrameLayout();
    tamra::emulator::FrameSource frameSource();

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

    IGEMU_FILE_STORE fileStoreKind_;
    char currentFileName_[260] = {};
    char imagePath_[260] = {};
    char imageRoot_[260] = {};
    // Set while SetImageColor re-creates the ring: the folder has not changed, so Create keeps
    // the file lists.
    bool keepFileLists_ = false;
    std::unique_ptr<tamra::emulator::ImageStore> store_;
    std::unique_ptr<tamra::emulator::FrameComposer> composer_;
    std::unique_ptr<tamra::emulator::Acquisition> acquisition_;
};
