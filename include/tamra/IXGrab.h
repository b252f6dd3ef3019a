// Tamra grab library: IXGrab, the root grab interface with a default for every operation.
#pragma once

#include <cstdint>
#include <memory>

#include <tamra/Export.h>
#include <tamra/Types.h>

class CIGrab;
namespace tamra {
struct CreatePlan;
struct GrabState;
enum class GrabOperation;
}  // namespace tamra

// Root class of every grab object. Operations return 1 for success and 0 for failure (or a null
// pointer) and write a fixed message "<class>::<operation>: <reason>" into the object's
// 1,024-character last-error buffer; no exception crosses the interface.
//
// Threads: lifecycle calls come from one client thread at a time and never from inside a
// callback (Stop, Destroy and Terminate wait for the library's threads without a time limit).
// Callbacks may be registered, replaced and unregistered at any time, also while frames flow:
// each registration is one {function, context} record, and a library thread always calls a
// function with the context registered together with it.
//
// Copying: grab objects own threads, kernel objects and buffers, so they cannot be copied or
// assigned; nothing is ever shared between two objects and nothing is released twice.
class TAMRA_API IXGrab {
public:
    enum TriggerMethod : std::uint32_t {
        TRIG_NONE = 0,
        TRIG_FREE_RUN = 2,
        TRIG_EXTERNAL = 3,
        TRIG_SOFTWARE = 4
    };

    IXGrab();
    IXGrab(const IXGrab&) = delete;
    IXGrab& operator=(const IXGrab&) = delete;

    // ---- Slots 0 to 18, in this order.
    virtual ~IXGrab();
    virtual IFW_IGRABTYPE GetGrabType();
    virtual int Initialize();
    virtual int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                       std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                       std::uint32_t timeOut);
    virtual int Destroy();
    virtual int Terminate();
    virtual int Stop();
    virtual int Start();
    virtual void RegisterTrashCallback(IFW_GRAB_CALLBACK callback, void* context);
    virtual void RegisterBufferCallback(IFW_GRAB_CALLBACK callback, void* context);
    virtual void RegisterBufferCallbackEx(IFW_GRAB_CALLBACK_EX callback, void* context);
    virtual void RegisterErrorCallback(IFW_GRAB_CALLBACK callback, void* context);  // = void
    virtual void RegisterChangeSolutionCallback(IFW_GRAB_CALLBACK callback, void* context);
    virtual void RegisterAcqThreadExitCallback(IFW_ACQ_THREAD_EXIT_CALLBACK callback,
                                               void* context);
    virtual void UnRegisterTrashCallback();
    virtual void UnRegisterBufferCallback();
    virtual void UnRegisterErrorCallback();  // = void
    virtual void UnRegisterChangeSolutionCallback();
    virtual void UnRegisterAcqThreadExitCallback();

    // ---- [core] State, diagnostics and callbacks.
    virtual int IsGrabInitialized();
    virtual int IsGrabRunning();
    // Returns the last-error buffer itself; the text stays until the next failure.
    virtual char* GetLastErrorMsg();
    virtual void SetDbgCatcher(IFW_DBG_CATCHER catcher, void* context);
    virtual double GetFrameRate();
    virtual void RegisterAcquireEventCallback(IFW_ACQ_EVENT_CALLBACK callback,
                                              void* context);  // = void
    virtual void UnRegisterAcquireEventCallback();             // = void
    void AcqThreadExitting();
    void DbgPrint(char* text);
    void UpdateFrameRate(double timeStamp);

    // ---- [core] Geometry, colour layout and ring buffers.
    virtual int SetWidth(std::uint32_t width);
    virtual int SetHeight(std::uint32_t height);
    virtual int SetBytesPP(std::uint32_t bytesPerPixel);
    virtual int SetBufferCount(std::uint32_t bufferCount);
    virtual void AjustValue(std::uint32_t& value, std::uint32_t current, std::uint32_t dflt,
                            std::uint32_t min, std::uint32_t max);
    virtual std::uint32_t BitToBytePerPixel(std::uint32_t bits);
    virtual int SetImageColor(IFW_IMAGE_COLOR_TYPE type);
    virtual IFW_IMAGE_COLOR_TYPE GetImageColor();
    virtual std::uint32_t GetWidth();
    virtual std::uint32_t GetHeight();
    virtual std::uint32_t GetBytesPP();
    virtual std::uint32_t GetBufferCount();
    virtual unsigned char* GetFramePtr(int camera);

    // ---- [core] Cameras.
    virtual int GetNumCameras();
    virtual void SetNumCameras(int count);
    virtual int GetExpicitSetNumCameras();
    virtual int GetActiveCamera();
    virtual int SetClientActiveCamera(int camera);
    virtual int GetCamAttr(IFW_CAM_ATTR* attr);
    virtual std::uint32_t GetHardwareRevision();
    virtual void SetProductName(wchar_t* name);
    virtual void SetClientConnect(int value);
    virtual void SetASyncMode(int value);

    // ---- [core] Emulator-facing settings of the core.
    virtual void SetImgSrcConformEnable(int enable);
    virtual void SetImgInterjectState(int state);
    virtual unsigned char* GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE category, int camera,
                                                 int index);
    virtual char* GetImageFileName(int camera, int category, int index);
    virtual char* GetImagePath();  // = nullptr
    virtual int EmulateFromNewImagePath(char* path, std::uint32_t width,
                                        std::uint32_t height);  // = 0
    virtual void GotTeachImage();                               // = void
    virtual int SetFrameDelay(unsigned int milliseconds);
    virtual unsigned int GetFrameDelay();

    // ---- [core] Timed outputs.
    virtual int SetOutputPort(unsigned int port, int value);
    virtual int GeneratePulseOutPort(unsigned int port, int value, double delay, double duration);

    // ---- [lineio] Trigger, strobe, rejector and decision outputs.
    // Setters store first (a delay or duration of 0 becomes 1) and then report the state, so a
    // value set before Initialize stays in force; refusals read "<class>::<op>: Grab not
    // initialized". Check-only outputs report the state and drive nothing in this build.
    // SetTriggerMethod and SetStrobeEnable stop a running grab and start it again. Any client
    // thread; no lock is taken. ReTrigger calls the buffer callback on the caller's thread.
    virtual int SetTriggerMethod(TriggerMethod method);
    virtual int SetCamTriggerMethod(TriggerMethod method, int camera);
    virtual TriggerMethod GetTriggerMethod();
    virtual int SetTriggerParams();
    virtual int GenerateSoftTrigger(int camera);
    virtual int EmulationTrigger();
    virtual void GenerateManualTrigger(int value);
    virtual void SetMaxTrigFreq(int frequency);
    virtual int SetExternalTriggerDelay(unsigned int delay);
    virtual unsigned int GetExternalTriggerDelay();
    virtual int SetExternalTriggerDelayEnable(int enable);
    virtual int GetExternalTriggerDelayEnable();
    virtual void SetStrobeEnable(int enable);
    virtual int GetStrobeEnable();
    virtual int SetStrobeOffset(unsigned int offset);
    virtual unsigned int GetStrobeOffset();
    virtual int SetStrobeDuration(unsigned int duration);
    virtual unsigned int GetStrobeDuration();
    virtual int SetRejectorDelay(unsigned int delay);
    virtual int SetRecycleDelay(unsigned int delay);
    virtual int RejectorControl(int state);
    virtual int RejectorTestControl(int state);
    virtual int SetRejectorPulseControl();
    virtual int SetDummyDecisionFIFO(unsigned int first, unsigned int second);
    virtual int SetDecisionOutput(std::uint32_t value, IFW_DECISION_OUTPUT_TYPE kind);
    virtual int SetGPO0();
    virtual int SetGPO1(unsigned int value);
    virtual int SetReady(int value);
    virtual int SetPass(std::uint32_t value);
    virtual int SetFail(std::uint32_t value);
    virtual int SetRecycle(std::uint32_t value);
    virtual int ToggleLed(std::uint32_t value);
    virtual int GetGPInputValue(int input);
    virtual int SetHwSolutionIDNumBits(int bits);
    virtual int SetSolutionChangeState(int state);
    virtual int SetSolutionLoaded(int first, int second);
    virtual void ReTrigger(int index);
    virtual void ReTrigger(unsigned char* frame, int index);
    virtual int SetPulse(int port, int value);          // = 1
    virtual int GetTrigScaler(int input);               // = 1
    virtual void SetTrigScaler(int input, int scaler);  // = void
    virtual void SetAcqReady(int ready);                // = void
    virtual void SetOutputQueueMode(int mode);          // = void
    virtual void EnqueueResult();                       // = void
    virtual void* CreateInputActiveCallback(unsigned int input, IFW_INPUT_ACTIVE_CALLBACK callback,
                                            void* context);  // = nullptr
    virtual void DeleteInputActiveCallback(void* handle);    // = void
    virtual int GetInputChangeNames(char* names);            // = 0
    virtual int AddDataInChangeCamTrigger(std::uint32_t data, int camera,
                                          std::uint32_t mask);  // = 0
    virtual void DelDataInChangeCamTrigger(std::uint32_t data, int camera,
                                           std::uint32_t mask);  // = void

    // ---- [lineio] GPIO configuration and persistence.
    // 32 input and 32 output records; an index of 32 or more, or a null record, is ignored.
    // CIGrab saves and loads them under keys such as "GPI3.Debounce" (IXGrab's keep nothing);
    // loading re-applies every record through SetGPIConfig and SetGPOConfig. The storage stays
    // the caller's and is not kept after the call.
    virtual int GetGpioAttr(IFW_GPIO_ATTR* attr);
    virtual void GetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config);
    virtual void SetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config);
    virtual void GetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config);
    virtual void SetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config);
    virtual int SaveStorage(XiStorage* storage);
    virtual int LoadStorage(XiStorage* storage);

    // ---- [lineio] Sensor settings, lookup table and registers.
    // Stored and reported back only. The field operations reach the device through the
    // virtual ReadReg and WriteReg, so a back end overriding those two gets field access.
    virtual int SetBrightness(unsigned int value);
    virtual unsigned int GetBrightness();
    virtual int SetCamBrightness(unsigned int value, int camera);
    virtual unsigned int GetCamBrightness(int camera);
    virtual int SetContrast(unsigned int value);
    virtual unsigned int GetContrast();
    virtual int SetExposure(double value, int camera);
    virtual double GetExposure();
    virtual double GetCamExposure(int camera);
    virtual unsigned int GetLUTFloor();
    virtual unsigned int GetLUTCeiling();
    virtual int WriteLUTBuf(std::uint32_t first, std::uint32_t size, unsigned char* table);
    virtual void WriteReg(std::uint32_t reg, std::uint32_t value);  // = void
    virtual std::uint32_t ReadReg(std::uint32_t reg);               // = 0
    virtual void WriteRegField(std::uint32_t reg, std::uint32_t shift, std::uint32_t width,
                               std::uint32_t value);
    virtual std::uint32_t ReadRegField(std::uint32_t reg, std::uint32_t shift, std::uint32_t width);
    virtual int SetWhiteBalance(int red, int green, int blue);  // = 1
    virtual double GetTemperature();                            // = 0.0

    // ---- [lineio] Serial ports.
    // Pass-through to the platform's serial port: the handle is the caller's from OpenComPort
    // to CloseComPort (INVALID_HANDLE_VALUE for none); failures show in the results and the
    // platform's last-error code (errno), never in the last-error buffer. Reads and writes block
    // under the port's time-outs; WriteComPort returns only once the bytes are on the line.
    virtual void* OpenComPort(const wchar_t* name);
    virtual void CloseComPort(void* handle);
    virtual int GetCommState(void* handle, DCB* dcb);
    virtual int SetCommState(void* handle, DCB* dcb);
    virtual int SetCommTimeouts(void* handle, COMMTIMEOUTS* timeouts);
    virtual int ClearCommError(void* handle, std::uint32_t* errors, COMSTAT* status);
    virtual int ReadComPort(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read);
    virtual int WriteComPort(void* handle, const void* buffer, std::uint32_t count,
                             std::uint32_t* written);
    virtual void PurgeComPort(void* handle);
    virtual int GetCommPortNum(int port, IFW_COMPORT_KIND kind);
    virtual int SetActiveCommPort(int port);

    // ---- [imaging] Transforms, tiling and mosaic.
    virtual void SetImgTransform(IFW_IMG_TRANSFORM_TYPE type);
    virtual int SetRotateTransform(std::uint32_t angle);
    virtual void SetImgRegion(IFW_IMG_REGION_TYPE region);
    virtual unsigned char* ApplyImageTransform(unsigned char* frame, int camera);
    virtual int SetTiling(std::uint32_t horizontal, std::uint32_t vertical);
    virtual std::uint32_t GetHorzTiles();
    virtual std::uint32_t GetVertTiles();
    virtual unsigned char* GetMosaicImage(int camera);

    // ---- [core] Operations with a constant result in this build.
    virtual int CalFindFlatZone(int camera);                                    // = 0
    virtual int CalSaveAllValues();                                             // = 0
    virtual int CalSelectCalPoint(int point);                                   // = 0
    virtual int CalStart(int camera);                                           // = 0
    virtual int GetBaseEquation(int camera, double* slope, double* intercept);  // = 0
    virtual char* GetCameraDesc(int camera);                                    // = nullptr
    virtual unsigned int GetFrameCount(int index);                              // = 0
    virtual int GetNumAsyncCameras();                                           // = 0
    virtual std::uint32_t GetSerialNumber(int camera);                          // = 0
    virtual int IsPLCTypeSupported(int type);                                   // = 0
    virtual int PlcAddFileChangeCallback(void* callback, void* context);        // = 0
    virtual int PlcDelFileChangeCallback(void* callback);                       // = 0
    virtual int PlcGetIPAddress(char* address);                                 // = 0
    virtual int PlcGetInputs(unsigned char* values, int count);                 // = 0
    virtual int PlcGetInputsFloat(float* values, int count);                    // = 0
    virtual int PlcGetInputsSigned16(std::int16_t* values, int count);          // = 0
    virtual int PlcGetInputsSigned32(std::int32_t* values, int count);          // = 0
    virtual int PlcGetMACAddress(unsigned char* address);                       // = 0
    virtual int PlcSetIPAddress(const char* address);                           // = 0
    virtual int PlcSetOutputs(const unsigned char* values, int count);          // = 0
    virtual int PlcSetOutputsFloat(const float* values, int count);             // = 0
    virtual int PlcSetOutputsSigned16(const std::int16_t* values, int count);   // = 0
    virtual int PlcSetOutputsSigned32(const std::int32_t* values, int count);   // = 0
    virtual int ReadProductID();                                                // = 0
    virtual int RunTest(int test);                                              // = 0
    virtual int RunTestEx(int test, void* data);                                // = 0
    virtual int SkipFrameLikely();                                              // = 0
    virtual int WriteFPGAFile(const char* path);                                // = 0
    virtual int WriteProductID(int id);                                         // = 0
    virtual double GetFrameTimestamp(int index);                                // = 0.0
    virtual void SetFPLocations(int* locations, int count);                     // = void
    virtual void SetMACAddress(unsigned char* address);                         // = void
    virtual void WriteCalib(void* data);                                        // = void

protected:
    // Writes "<class>::<operation>: <reason>" into the last-error buffer and returns 0.
    int fail(const char* operation, const char* reason);
    // Writes "<class> Init: <reason>" (the allocation failures of Create) and returns 0.
    int failInit(const char* reason);
    // Returns 1 when initialised, else writes "<class>::<operation>: Grab not initialized" and
    // returns 0.
    int requireInitialized(const char* operation);
    // Copies text into the last-error buffer, bounded and terminated; safe from any thread.
    void setLastError(const char* text);
    // Returns 1 when the lifecycle state admits the operation (inCallback: on one of
    // acquisition's own threads), else writes its refusal "<class>::<name>: <reason>" and
    // returns 0.
    int admitted(tamra::GrabOperation operation, const char* name, bool inCallback = false);

    // Shared bodies of operations that IXGrab and CIGrab both offer with their own messages.
    // createGeometry is Create without the initialised check and the housekeeping thread; core
    // is this object when CIGrab's work-size table, non-paged memory hook and extra byte counts
    // apply, and null for IXGrab's own sizing.
    int createGeometry(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                       std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                       std::uint32_t timeOut, CIGrab* core);
    void resolveGeometry(tamra::CreatePlan& plan);
    void sizeRing(tamra::CreatePlan& plan, bool coreTable);
    int allocateRing(const tamra::CreatePlan& plan, CIGrab* core);
    void storeGeometry(const tamra::CreatePlan& plan, bool allByteCounts);
    // Frees the image array and an owned ring; forgets a hook-supplied one without freeing it.
    void releaseRing();
    void recreateIfCreated(bool storedBits, bool storedCount, bool storedTimeOut);
    // Calls Create through the virtual table with the stored geometry; 0xFFFFFFFE keeps a value.
    void recreateBuffers(bool storedBits, bool storedCount, bool storedTimeOut);
    int applyImageColor(IFW_IMAGE_COLOR_TYPE type, bool allByteCounts);
    void relayImageColor(IFW_IMAGE_COLOR_TYPE type, bool allByteCounts);
    void relaySlots();
    void unregisterCallbacks();
    bool isTransposing() const;

    // The grab's state (src/core/GrabState.h), one part per job: lifecycle flags, geometry,
    // frame layout and ring, callbacks, diagnostics, cameras, line settings and transforms.
    // A back end sets the lifecycle flags its overrides own through the three setters below.
    tamra::GrabState& grabState() { return *state_; }
    const tamra::GrabState& grabState() const { return *state_; }
    void setInitializedFlag(int value);
    void setCreatedFlag(int value);
    void setRunningFlag(int value);
    // Slot i of the ring, null when there is no ring or i is past its slots.
    unsigned char* ringSlot(std::uint32_t index) const;

    // Shared body of IXGrab's and CIGrab's ApplyImageTransform; coreRules selects CIGrab's tile
    // re-ordering and rotation by any angle, and its call counter.
    unsigned char* transformFrame(unsigned char* frame, bool coreRules);

private:
    std::unique_ptr<tamra::GrabState> state_;
};
