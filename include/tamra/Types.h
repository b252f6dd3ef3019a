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
enum IFW_IMAGE_COLOR_TYPE : std::uint32_t {
    IFW_IMAGE_COLOR_MONO8 = 0,
    IFW_IMAGE_COLOR_MONO8_ALT = 1,
    IFW_IMAGE_COLOR_PLANES = 2,
    IFW_IMAGE_COLOR_COLOR32 = 3,
    IFW_IMAGE_COLOR_COLOR24 = 4
};

// Which emulator list a frame is served from.
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

struct IFW_GRAB_BUF_DESC {
    unsigned char* Buffer;
    std::uint32_t CameraIndex;
};

struct IFW_GPIO_ATTR {
    unsigned char Reserved[1948];
};

struct IFW_GPI_CONFIG {
    int Polarity;
    int Debounce;
    int Level;
    float Threshold;
    int Options;
};

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
typedef int (*IFW_GRAB_CALLBACK)(unsigned char* buffer, unsigned int count, std::int64_t tag,
                                 void* context);
// Extended buffer callback, used in asynchronous mode: one call per camera of a frame.
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
class TAMRA_API XiStorage {
public:
    virtual ~XiStorage();
    virtual int WriteFloat(const char* key, float value) = 0;
    virtual int WriteInt(const char* key, int value) = 0;
    virtual int ReadFloat(const char* key, float* value, float dflt) = 0;
    virtual int ReadInt(const char* key, int* value, int dflt) = 0;
};
