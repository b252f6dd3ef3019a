// Tamra grab library: IXGrab, the root grab interface with a default for every operation.
#pragma once

#include <cstdint>
#include <memory>

#include <tamra/Export.h>
#include <tamra/Types.h>

namespace tamra {
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
/// The grab object interface a client holds. In this build every object made by
/// TamraGrabInstantiate() is the camera emulator CIGrabEmu; its behaviour is what these comments
/// describe where the emulator differs from the defaults.
///
/// Results: 1 for success, 0 for failure (or a null pointer); a failure writes a fixed message such
/// as `CIGrab::Start: Grab not created` into the buffer GetLastErrorMsg() returns. Operations that
/// only store a value return 1 without checking it unless said otherwise.
///
/// Threads: the client calls the operations. The library's producer thread makes frames, its
/// delivery thread calls the buffer callbacks, and a third thread calls the trash callback; the
/// callbacks may run at the same time. Start(), Create(), Destroy(), Terminate(), SetImageColor()
/// and EmulateFromNewImagePath() wait for or free what a callback is using: called from a
/// callback, the emulator stops acquisition and refuses them with
/// "CIGrab::<operation>: Called from an acquisition callback". Stop() may be called there.
class TAMRA_API IXGrab {
public:
    /// How frames are paced. TRIG_NONE (after construction) and TRIG_FREE_RUN make frames one after
    /// the other with the frame delay (SetFrameDelay()) between them; TRIG_SOFTWARE and
    /// TRIG_EXTERNAL make one frame per trigger (GenerateSoftTrigger(), EmulationTrigger()).
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
    /// The back-end type: IFW_IGRAB_EMULATOR (3) for the emulator.
    virtual IFW_IGRABTYPE GetGrabType();
    /// Makes the object ready. The emulator sets the frame delay to 33 ms, takes as its image
    /// folder
    /// `<data folder>/<product name>/images` (the data folder is `$XDG_DATA_HOME`, else
    /// `~/.local/share`; on Windows `%LOCALAPPDATA%`) and scans it; when that holds no main-list
    /// file it scans `./images` instead. Finding no image is not a failure: every frame is then the
    /// stand-in pattern (see CIGrabEmu).
    /// Returns 0 with "CIGrab::Initialize: Grab already initialized" on a second call.
    virtual int Initialize();
    /// Sets the geometry and allocates the ring of image buffers; the grab is then created, not
    /// running. A created grab is destroyed and made again.
    ///
    /// Every argument accepts 0xFFFFFFFE (TAMRA_KEEP_VALUE, `<tamra/Sentinels.h>`) to keep the
    /// current value and 0xFFFFFFFF for the default (640, 480, 8 bits, 5 buffers, 5000 ms). Values
    /// adjusted without a message:
    /// - width and height are raised to 32 at least;
    /// - the emulator rescans its folder first, and while the client has not called SetWidth() the
    ///   first file sets the width (rounded up to a multiple of 4) and the height, which a
    ///   TAMRA_KEEP_VALUE argument then keeps;
    /// - bits per pixel: the emulator keeps its current bits (set by SetImageColor()) unless the
    ///   argument is -8 or less, when its negation is used (-24 gives 24); otherwise 8 to 32;
    /// - buffer count: at least 1; lowered to 3 when above 3 and the width is from 649 to 2047 or
    ///   above 4000. A ring of n buffers holds n - 1 frames (the last is the trash callback's
    ///   spare), so Start() needs at least 2.
    /// - time-out: stored and reported only.
    ///
    /// With tiles (SetTiling()) or a rotation by 90 or 270 degrees (SetRotateTransform()) width and
    /// height describe the displayed frame: they are divided by the tile counts and swapped.
    /// Returns 0 with "CIGrab::Create: Crop boundaries exceed max image size" when the width is
    /// below offsetX + 8 or the height below offsetY + 8, or "CIGrab::Create: Grab not
    /// initialized".
    virtual int Create(std::uint32_t offsetX, std::uint32_t offsetY, std::uint32_t width,
                       std::uint32_t height, std::uint32_t bitsPerPixel, std::uint32_t bufferCount,
                       std::uint32_t timeOut);
    /// Stops a running grab and frees the ring; the grab is initialised again, not created.
    /// Returns 1.
    virtual int Destroy();
    /// Destroys the grab and ends the library's threads; the object is no longer initialised
    /// (Initialize() may follow). The emulator's file lists stay. TamraGrabDelete() calls it.
    /// Returns 1, in any state.
    virtual int Terminate();
    /// Stops acquisition and waits, without a time limit, for the producer, delivery and trash
    /// threads to end. Frames still waiting in the ring are discarded and never delivered, so a
    /// client that wants every triggered frame waits for it before calling Stop(). A producer
    /// waiting for a trigger wakes and ends. Returns 1. From a callback it stops acquisition too.
    virtual int Stop();
    /// Starts acquisition (a running grab is stopped first): the delivery, trash and producer
    /// threads start and frames follow the trigger method. Returns 0 with "CIGrab::Start: Grab not
    /// created" before Create(), and 0 without a message with a ring of 1 buffer. Refused from a
    /// callback.
    virtual int Start();
    /// Registers the overrun callback, called on the library's trash thread when a frame is dropped
    /// because the next ring slot is still held by the buffer callback. Its buffer is the spare
    /// ring slot (its pixels mean nothing), count is the number of overruns since Create() (it
    /// counts every overrun even when overruns come faster than the callback returns and so cause
    /// fewer calls), tag is 0; the return value is ignored. Register before Start().
    virtual void RegisterTrashCallback(IFW_GRAB_CALLBACK callback, void* context);
    /// Registers the frame callback, called on the library's delivery thread once per frame, in the
    /// order the frames were made. Its arguments:
    /// - buffer: the ring slot holding the frame: one image per camera (and tile), camera 0 first,
    /// each
    ///   GetWidth() x GetHeight() x GetBytesPP() bytes, rows top first. It stays valid, and the
    ///   slot is not reused, until the callback returns: a callback slower than the camera causes
    ///   overruns, not waiting.
    /// - count: how many times this ring slot has been filled since Create(), not a frame number.
    /// - tag: 0 for the emulator.
    /// - context: the pointer given here.
    /// The return value is ignored. Register before Start(). The callback may call
    /// ApplyImageTransform(); the operations that wait for the library's threads are refused.
    virtual void RegisterBufferCallback(IFW_GRAB_CALLBACK callback, void* context);
    /// Registers the extended frame callback, used instead of the plain one in asynchronous mode
    /// (SetASyncMode()): one call per camera with IFW_GRAB_BUF_DESC naming the frame and the
    /// camera. It is called only when a plain buffer callback is registered as well.
    virtual void RegisterBufferCallbackEx(IFW_GRAB_CALLBACK_EX callback, void* context);
    virtual void RegisterErrorCallback(IFW_GRAB_CALLBACK callback, void* context);  // = void
    virtual void RegisterChangeSolutionCallback(IFW_GRAB_CALLBACK callback, void* context);
    /// Registers a callback the delivery thread calls once as it ends (at Stop()).
    virtual void RegisterAcqThreadExitCallback(IFW_ACQ_THREAD_EXIT_CALLBACK callback,
                                               void* context);
    virtual void UnRegisterTrashCallback();
    virtual void UnRegisterBufferCallback();
    virtual void UnRegisterErrorCallback();  // = void
    virtual void UnRegisterChangeSolutionCallback();
    virtual void UnRegisterAcqThreadExitCallback();

    // ---- [core] State, diagnostics and callbacks.
    virtual int IsGrabInitialized();
    /// 1 between Start() and Stop().
    virtual int IsGrabRunning();
    // Returns the last-error buffer itself; the text stays until the next failure.
    virtual char* GetLastErrorMsg();
    virtual void SetDbgCatcher(IFW_DBG_CATCHER catcher, void* context);
    /// The rate computed by UpdateFrameRate() from time stamps the caller feeds; the emulator
    /// feeds none, so 0.0 unless the client does.
    virtual double GetFrameRate();
    virtual void RegisterAcquireEventCallback(IFW_ACQ_EVENT_CALLBACK callback,
                                              void* context);  // = void
    virtual void UnRegisterAcquireEventCallback();             // = void
    void AcqThreadExitting();
    void DbgPrint(char* text);
    void UpdateFrameRate(double timeStamp);

    // ---- [core] Geometry, colour layout and ring buffers.
    /// Sets the image width (at least 32) and marks it as the client's, so that the emulator's
    /// first file no longer sets it; a created grab is made again with it. IXGrab's own version
    /// only clears the mark and returns 0. SetHeight() is the same for the height.
    virtual int SetWidth(std::uint32_t width);
    virtual int SetHeight(std::uint32_t height);
    virtual int SetBytesPP(std::uint32_t bytesPerPixel);
    /// Sets the number of ring buffers (at least 1; lowered to 3 when above 3 and the width is
    /// above 640); a created grab is made again with it. Returns 1.
    virtual int SetBufferCount(std::uint32_t bufferCount);
    virtual void AjustValue(std::uint32_t& value, std::uint32_t current, std::uint32_t dflt,
                            std::uint32_t min, std::uint32_t max);
    /// Bytes for a pixel of the given bits: (bits + 7) / 8.
    virtual std::uint32_t BitToBytePerPixel(std::uint32_t bits);
    /// Sets the pixel layout: IFW_IMAGE_COLOR_MONO8 (1 byte), IFW_IMAGE_COLOR_COLOR24 (3 bytes:
    /// blue, green, red), IFW_IMAGE_COLOR_COLOR32 (4 bytes) or IFW_IMAGE_COLOR_PLANES (three 8-bit
    /// images, one per camera, when no camera count is set); other values act as MONO8. A running
    /// grab is stopped and started again. Returns 1 when the layout changed, 0 without a message
    /// when it was already set, 0 with "CIGrab::SetImageColor: Grab not initialized" before
    /// Initialize(). Refused from a callback.
    virtual int SetImageColor(IFW_IMAGE_COLOR_TYPE type);
    virtual IFW_IMAGE_COLOR_TYPE GetImageColor();
    /// Width of the displayed frame: the horizontal tiles times one tile's width; with a rotation
    /// by 90 or 270 degrees the axes are swapped (and the width rounded down to a multiple of 8).
    /// GetHeight() is the same for the height. One camera's image in a delivered frame is one tile
    /// of the stored size; see ApplyImageTransform() for the displayed one.
    virtual std::uint32_t GetWidth();
    virtual std::uint32_t GetHeight();
    virtual std::uint32_t GetBytesPP();
    virtual std::uint32_t GetBufferCount();
    /// Start of the ring buffer whatever the camera; null before Create().
    virtual unsigned char* GetFramePtr(int camera);

    // ---- [core] Cameras.
    /// Images per frame. The emulator gives the count set by SetNumCameras() when not 0, otherwise
    /// 3 for IFW_IMAGE_COLOR_PLANES and 1 for the other layouts.
    virtual int GetNumCameras();
    /// Sets the camera count (stored unchecked; the emulator plays at most 8). The emulator reads
    /// camera k's files from the `Cam<k>` sub-folder (camera 0: the image folder itself) for the
    /// cameras counted at the next scan, so set it before Create() or EmulateFromNewImagePath().
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
    /// Conforming (1, the default): every playable bitmap is scaled to the frame size. Off (0):
    /// only files of exactly the frame's width, height and bits (32 counting as 24) are listed; the
    /// others are left out of the lists.
    virtual void SetImgSrcConformEnable(int enable);
    virtual void SetImgInterjectState(int state);
    virtual unsigned char* GetNextInterjectImage(IFW_EMULATOR_IMAGETYPE category, int camera,
                                                 int index);
    /// The emulator: the path of the file most recently loaded for the client's active camera, by
    /// the producer. During a callback that can already be a later frame's file. Empty before the
    /// first frame; the arguments are ignored.
    virtual char* GetImageFileName(int camera, int category, int index);
    /// The emulator's image folder (the folder scanned last); owned by the object.
    virtual char* GetImagePath();  // = nullptr
    /// Plays another folder: the emulator stores the path (an absolute one as it is, a relative one
    /// under the data folder), destroys the grab, scans the folder and calls
    /// `Create(0, 0, width, height, keep, keep, keep)`. Pass TAMRA_KEEP_VALUE (0xFFFFFFFE,
    /// `<tamra/Sentinels.h>`) for width and height to take the first file's size. Returns 1
    /// whatever Create() returned (check GetLastErrorMsg() or IsGrabCreated()); 0 without a message
    /// when width or height is 0. The grab is left created, not running: call Start() again.
    /// Refused from a callback. Which files are read, in which order, is described at CIGrabEmu.
    virtual int EmulateFromNewImagePath(char* path, std::uint32_t width,
                                        std::uint32_t height);  // = 0
    virtual void GotTeachImage();                               // = void
    /// Free run: the pause between the end of one frame and the start of the next, not a period.
    /// The emulator raises it to 33 ms at least (0 means 1 before that). Returns 0 with
    /// "CIGrab::SetFrameDelay: Grab not initialized" before Initialize(), the value still stored.
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
    /// Sets the trigger method; a running grab whose method changes is stopped and started again.
    /// Returns 0 with "CIGrab::SetTriggerMethod: Grab not initialized" before Initialize(), the
    /// method still stored.
    virtual int SetTriggerMethod(TriggerMethod method);
    virtual int SetCamTriggerMethod(TriggerMethod method, int camera);
    virtual TriggerMethod GetTriggerMethod();
    virtual int SetTriggerParams();
    /// Asks for one frame under TRIG_SOFTWARE or TRIG_EXTERNAL; does nothing under the other
    /// methods. Only one trigger can be pending: a trigger given while another still waits for the
    /// producer merges with it and makes no frame of its own, so give the next trigger after the
    /// frame arrived. The camera is ignored. Returns 1.
    virtual int GenerateSoftTrigger(int camera);
    /// The same as GenerateSoftTrigger(), as an external trigger would; returns 0 with
    /// "CIGrab::EmulationTrigger: Grab not initialized" before Initialize().
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
    /// Clears the record; returns 1.
    virtual int GetGpioAttr(IFW_GPIO_ATTR* attr);
    /// Copies input record index (0 to 31); Level is the live input level, 0 in this build.
    virtual void GetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config);
    virtual void SetGPIConfig(std::uint32_t index, IFW_GPI_CONFIG* config);
    virtual void GetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config);
    virtual void SetGPOConfig(std::uint32_t index, IFW_GPO_CONFIG* config);
    /// Writes the 32 input and 32 output records to the client's store under keys such as
    /// `GPI3.Debounce` and `GPO5.Duration` (Level is not saved). The first write with a non-zero
    /// status ends the saving. Returns 1. IXGrab's own version writes nothing.
    virtual int SaveStorage(XiStorage* storage);
    /// Reads every record's keys from the store (a key that reads with a non-zero status keeps its
    /// field) and applies each record through SetGPIConfig() and SetGPOConfig(). Returns 1.
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
    /// Stores a mirror (left to right) or flip (top to bottom). Delivered frames are not changed:
    /// the client calls ApplyImageTransform() on a frame it received.
    virtual void SetImgTransform(IFW_IMG_TRANSFORM_TYPE type);
    /// Stores a clockwise rotation in degrees, applied by ApplyImageTransform(). A rotation by 90
    /// or 270 degrees (46 to 134 modulo 180) swaps GetWidth() and GetHeight() and the axes of
    /// Create() at once. Returns 1.
    virtual int SetRotateTransform(std::uint32_t angle);
    virtual void SetImgRegion(IFW_IMG_REGION_TYPE region);
    /// Returns the frame as it is to be shown: tiles laid out as a mosaic, then the mirror or flip,
    /// then the rotation (about the frame's centre), for every camera's image. The result is the
    /// frame itself when nothing applies, otherwise one of two halves of the object's work buffer,
    /// used in turn: it stays valid until the next call but one on this object. May be called from
    /// the buffer callback; change the transform settings only while the grab is stopped. The
    /// camera argument is ignored.
    virtual unsigned char* ApplyImageTransform(unsigned char* frame, int camera);
    /// Frames made of horizontal x vertical tiles per camera (0 counts as 1). Takes effect at the
    /// next Create(), size query and ApplyImageTransform(). Each tile is one plane of the frame,
    /// and plane k plays camera k's files, so cameras times tiles may not exceed 8. Returns 1.
    virtual int SetTiling(std::uint32_t horizontal, std::uint32_t vertical);
    virtual std::uint32_t GetHorzTiles();
    virtual std::uint32_t GetVertTiles();
    virtual unsigned char* GetMosaicImage(int camera);

    // ---- [core] Operations with a constant result in this build.
    /// @name Operations with a constant result in this build
    /// Each returns the value given in its trailing comment and changes nothing.
    /// @{
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
    /// @}

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

private:
    std::unique_ptr<tamra::GrabState> state_;
};
