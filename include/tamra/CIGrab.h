// Tamra grab library: CIGrab, the grab core every back end derives from.
#pragma once

#include <tamra/IXGrab.h>

// The grab core. Its Initialize, Create and Start do the common work; a back end's override
// calls them first and then sets the initialised, created or running flag itself.
// Threads: the I/O scheduler (started by Initialize, ended by Terminate) and the housekeeping
// thread (started by Create, ended by Destroy).
/// The grab core every back end derives from; it implements the operations of IXGrab (see there
/// for their behaviour) and adds the geometry setters and getters below. Setters that change the
/// geometry of a created grab make it again (Create()) and restart a running one; they resolve
/// TAMRA_KEEP_VALUE and the default value like Create() and apply the same limits.
class TAMRA_API CIGrab : public IXGrab {
public:
    CIGrab();
    ~CIGrab() override;

    // ---- Slots 0 to 18.
    IFW_IGRABTYPE GetGrabType() override;
    int Initialize() override;
    int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
               std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
               std::uint32_t timeOut) override;
    int Destroy() override;
    int Terminate() override;
    int Stop() override;
    int Start() override;

    // ---- [core] Overrides whose behaviour differs from IXGrab's.
    int SetWidth(std::uint32_t width) override;
    int SetHeight(std::uint32_t height) override;
    int SetImageColor(IFW_IMAGE_COLOR_TYPE type) override;
    int GeneratePulseOutPort(unsigned int port, int value, double delay, double duration) override;
    unsigned char* GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE category, int camera,
                                         int index) override;
    char* GetImageFileName(int camera, int category, int index) override;
    int SaveStorage(XiStorage* storage) override;
    int LoadStorage(XiStorage* storage) override;
    unsigned char* ApplyImageTransform(unsigned char* frame, int camera) override;

    // ---- The 45 operations CIGrab appends, in this order.
    virtual char* GetErrorLog();  // = nullptr
    char* GetLastErrorMsg() override;
    virtual void* AllocateNonPagedMem(std::uint32_t size);  // = nullptr
    virtual int Display(HWND window, unsigned char* image);
    virtual int SetLUTFloor(unsigned int value);
    virtual int SetLUTCeiling(unsigned int value);
    virtual int LinearizeLUT();
    virtual int InvLinearizeLUT();
    virtual int GetOutputPortVal(unsigned int port);
    virtual int SetActiveCamera(int camera, int extra);
    virtual unsigned int GetPartsBetweenSensors();
    virtual int SetPartsBetweenSensors(unsigned int count);
    virtual int ScheduleIOEvent(unsigned int port, int value, double delay, double duration);
    virtual void ReadCalib(void* data);  // = void
    virtual int SetOffsetX(std::uint32_t x);
    virtual int SetOffsetY(std::uint32_t y);
    virtual int iSetWidth(std::uint32_t width);
    virtual int iSetHeight(std::uint32_t height);
    virtual int SetBitsPP(std::uint32_t bits);
    virtual int SetAoiWidth(std::uint32_t width);
    virtual int SetAoiHeight(std::uint32_t height);
    virtual int SetTimeOut(std::uint32_t timeOut);
    virtual int SetWindowGen(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                             std::uint32_t height);
    /// 1 between a successful Create() (or EmulateFromNewImagePath()) and Destroy().
    virtual int IsGrabCreated();
    virtual int IsIORunning();
    virtual int IsAppRunning();
    virtual int IsCameraDetected(int camera);
    virtual std::uint32_t GetOffsetX();
    virtual std::uint32_t GetOffsetY();
    virtual std::uint32_t GetBitPP();
    virtual std::uint32_t GetAoiWidth();
    virtual std::uint32_t GetAoiHeight();
    virtual std::uint32_t GetTimeOut();
    virtual std::uint32_t GetOffsetXByteCount();
    virtual std::uint32_t GetOffsetYByteCount();
    virtual std::uint32_t GetWidthByteCount();
    virtual std::uint32_t GetHeightByteCount();
    virtual std::uint32_t GetAoiWidthByteCount();
    virtual std::uint32_t GetAoiHeightByteCount();
    virtual std::uint32_t GetRingBufferSize();
    virtual std::uint32_t GetImageSizeInBytes();
    virtual std::uint32_t GetImageSizeInPixels();
    virtual std::uint32_t GetRecycleDelay();
    virtual std::uint32_t GetRejectorDelay();
    virtual std::uint32_t GetAcqThreadID();

    // ---- Non-virtual members.
    // Body of the I/O scheduler thread; returns 0 when the I/O quit flag ends it.
    std::uint32_t ScheduleIo();
    // 1 when either tile count exceeds 1.
    int IsTiling();
    // Re-orders a frame of stacked tiles into a mosaic; returns the destination.
    unsigned char* VertToHorzPlanes(unsigned char* source, unsigned char* destination);
};
