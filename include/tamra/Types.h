// Tamra grab library: records, enumerations and callback types shared with clients.
#pragma once

#include <cstdint>

#include <tamra/Export.h>
#include <tamra/PlatformTypes.h>

// Back-end family reported by GetGrabType.
enum IFW_IGRABTYPE : int {
    IFW_IGRAB_TRELL = 0,
    IFW_IGRAB_KESTO = 1,
    IFW_IGRAB_VORTAN = 2,
    IFW_IGRAB_EMULATOR = 3,
    IFW_IGRAB_1394 = 4,
    IFW_IGRAB_BRIXO = 5,
    IFW_IGRAB_BRIXOLT = 6,
    IFW_IGRAB_BRIXOLT_ALT = 7,
    IFW_IGRAB_GEV = 8,
    IFW_IGRAB_ZEPH = 9,
    IFW_IGRAB_CORE = 13
};

// Colour layout of the delivered image.
/// Pixel layout of the delivered image, set with IXGrab::SetImageColor(): MONO8 1 byte (grey),
/// COLOR24 3 bytes (blue, green, red), COLOR32 4 bytes (blue, green, red, unused), PLANES one 8-bit
/// image per camera (3 cameras unless a count is set). Values 1 and above 4 act as MONO8.
enum IFW_IMAGE_COLOR_TYPE : std::uint32_t {
    IFW_IMAGE_COLOR_MONO8 = 0,
    IFW_IMAGE_COLOR_MONO8_ALT = 1,
    IFW_IMAGE_COLOR_PLANES = 2,
    IFW_IMAGE_COLOR_COLOR32 = 3,
    IFW_IMAGE_COLOR_COLOR24 = 4
};

// Which emulator list a frame is served from.
/// The emulator list a frame is served from: NORMAL and PATTERN the main list (folder, `pass/`,
/// `fail/`), CALIB the `calib/` list. Acquisition always serves the main list.
enum IFW_EMULATOR_IMAGETYPE : std::uint32_t {
    IFW_EMU_IMAGE_NORMAL = 0,
    IFW_EMU_IMAGE_PATTERN = 1,
    IFW_EMU_IMAGE_CALIB = 2
};

// Mirror or flip applied by ApplyImageTransform.
enum IFW_IMG_TRANSFORM_TYPE : std::uint32_t {
    IFW_IMG_TRANSFORM_NONE = 0,
    IFW_IMG_TRANSFORM_MIRROR = 1,
    IFW_IMG_TRANSFORM_FLIP = 2
};

// Reduced default region applied by the emulator's Initialize.
enum IFW_IMG_REGION_TYPE : std::uint32_t {
    IFW_IMG_REGION_FULL = 0,
    IFW_IMG_REGION_HALF_HEIGHT = 1,
    IFW_IMG_REGION_QUARTER = 2,
    IFW_IMG_REGION_QUARTER_HEIGHT = 3,
    IFW_IMG_REGION_1024X768 = 4
};

// Purpose of a serial port asked about in GetCommPortNum.
enum IFW_COMPORT_KIND : std::uint32_t {
    IFW_COMPORT_NONE = 0,
    IFW_COMPORT_CAMERA = 1,
    IFW_COMPORT_PLC = 100,
    IFW_COMPORT_AUX = 101
};

// Verdict output kind taken by SetDecisionOutput; stored nowhere in this build.
enum IFW_DECISION_OUTPUT_TYPE : std::uint32_t {
    IFW_DECISION_OUTPUT_PASS = 0,
    IFW_DECISION_OUTPUT_FAIL = 1,
    IFW_DECISION_OUTPUT_RECYCLE = 2
};

// Acquisition events (accepted, never raised in this build).
enum IFW_ACQ_EVENT_TYPE : std::uint32_t {
    IFW_ACQ_EVENT_NONE = 0,
    IFW_ACQ_EVENT_FRAME = 1,
    IFW_ACQ_EVENT_OVERRUN = 2
};

// File-store selection of the camera emulator; stored, never read.
enum IGEMU_FILE_STORE : std::uint32_t { IGEMU_FILE_STORE_DISK = 0 };

struct IFW_CAM_ATTR {
    std::uint32_t Width, Height, BytesPerPixel, BitsPerPixel, Format;
};

/// What the extended buffer callback receives: the frame (the whole ring slot, the same for every
/// camera of one frame) and the camera this call is about. Valid during the call only.
struct IFW_GRAB_BUF_DESC {
    unsigned char* Buffer;
    std::uint32_t CameraIndex;
};

struct IFW_GPIO_ATTR {
    unsigned char Reserved[1948];
};

/// One general-purpose input: polarity (1), debounce (200), live level (0 in this build; never
/// saved), threshold (3.0) and options (0); defaults in brackets.
struct IFW_GPI_CONFIG {
    int Polarity;
    int Debounce;
    int Level;
    float Threshold;
    int Options;
};

/// One general-purpose output: polarity (1), offset (0), duration (1000), driver (0) and initial
/// value (0); defaults in brackets.
struct IFW_GPO_CONFIG {
    int Polarity;
    int Offset;
    int Duration;
    int Driver;
    int initVal;
};

static_assert(sizeof(IFW_CAM_ATTR) == 20, "IFW_CAM_ATTR holds five 32-bit fields");
static_assert(sizeof(IFW_GPIO_ATTR) == 1948, "IFW_GPIO_ATTR is 1948 bytes");
static_assert(sizeof(IFW_GPI_CONFIG) == 20 && sizeof(IFW_GPO_CONFIG) == 20,
              "GPIO records hold five 32-bit fields");

// Buffer, trash, change-solution and error callbacks. Called on a library thread; the buffer
// stays valid until the callback returns.
/// Buffer and trash callbacks (IXGrab::RegisterBufferCallback(), IXGrab::RegisterTrashCallback()).
/// Called on a library thread, never the client's. buffer: the frame (or, for the trash callback,
/// the spare slot); it stays valid until the callback returns. count: for a frame, how many times
/// its ring slot has been filled since Create(); for the trash callback, the overruns since
/// Create(). tag: 0 for the emulator. context: the pointer given at registration. The return
/// value is ignored.
typedef int (*IFW_GRAB_CALLBACK)(unsigned char* buffer, unsigned int count, std::int64_t tag,
                                 void* context);
// Extended buffer callback, used in asynchronous mode: one call per camera of a frame.
/// Extended buffer callback of asynchronous mode: one call per camera of each frame, on the
/// delivery thread; count and tag as for IFW_GRAB_CALLBACK; the return value is ignored.
typedef int (*IFW_GRAB_CALLBACK_EX)(IFW_GRAB_BUF_DESC* desc, unsigned int count, std::int64_t tag,
                                    void* context);
// Called by the delivery thread on its way out.
typedef int (*IFW_ACQ_THREAD_EXIT_CALLBACK)(void* context);
// Debug text sink; receives the registered context first.
typedef int (*IFW_DBG_CATCHER)(void* context, char* text);
typedef int (*IFW_ACQ_EVENT_CALLBACK)(void* context, IFW_ACQ_EVENT_TYPE event, std::uint32_t value);
// Input-change notification (accepted, never called in this build).
typedef int (*IFW_INPUT_ACTIVE_CALLBACK)(void* context, unsigned int input);

// Client key/value store for the GPIO settings. Statuses: 0 means success.
/// A key/value store the client implements for IXGrab::SaveStorage() and IXGrab::LoadStorage().
/// Each operation returns 0 for success; a read that returns 0 must have written the value. The
/// library neither keeps nor deletes the object.
class TAMRA_API XiStorage {
public:
    virtual ~XiStorage();
    virtual int WriteFloat(const char* key, float value) = 0;
    virtual int WriteInt(const char* key, int value) = 0;
    virtual int ReadFloat(const char* key, float* value, float dflt) = 0;
    virtual int ReadInt(const char* key, int* value, int dflt) = 0;
};
