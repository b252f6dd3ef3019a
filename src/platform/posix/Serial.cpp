// Tamra platform layer: serial ports on POSIX terminals, with the original platform's semantics.
//
// A handle is the file descriptor itself (never 0 to 2, so never null). Descriptors are opened
// non-blocking and every wait is a poll() bounded by the port's time-outs, which live in a table
// keyed by descriptor because termios has no room for them.
#include "platform/Serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/Text.h"

namespace tamra::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr std::uint32_t kRtsControlEnable = 1;
constexpr std::uint32_t kRtsControlHandshake = 2;
constexpr std::uint32_t kDtrControlEnable = 1;
constexpr char kDefaultXon = 0x11;
constexpr char kDefaultXoff = 0x13;

// ---- Handles and the per-port time-out table.

void* toHandle(int fd) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
}

int toFd(void* handle) {
    const auto value = reinterpret_cast<std::intptr_t>(handle);
    return value < 0 || value > INT_MAX ? -1 : static_cast<int>(value);
}

// Time-outs of every open port. Guarded by its own lock: ports are used from any thread.
class TimeoutTable {
public:
    void reset(int fd) {
        std::lock_guard<std::mutex> hold(lock_);
        table_[fd] = COMMTIMEOUTS{};
    }
    void set(int fd, const COMMTIMEOUTS& timeouts) {
        std::lock_guard<std::mutex> hold(lock_);
        table_[fd] = timeouts;
    }
    // A descriptor opened elsewhere has the platform's default: no time-outs at all.
    COMMTIMEOUTS get(int fd) {
        std::lock_guard<std::mutex> hold(lock_);
        auto found = table_.find(fd);
        return found == table_.end() ? COMMTIMEOUTS{} : found->second;
    }
    void erase(int fd) {
        std::lock_guard<std::mutex> hold(lock_);
        table_.erase(fd);
    }

private:
    std::mutex lock_;
    std::unordered_map<int, COMMTIMEOUTS> table_;
};

TimeoutTable& timeoutTable() {
    static TimeoutTable table;
    return table;
}

// Closes fd keeping the errno of the failure that made us give it up.
void abandon(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// Keeps ports off descriptors 0 to 2, so a handle is never null and never a standard stream.
int awayFromStandardStreams(int fd) {
    if (fd > 2) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    abandon(fd);
    return moved;
}

bool makeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    // One byte minimum: a non-blocking read with nothing queued then fails with EAGAIN rather
    // than returning 0, which would look like the end of the line.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// ---- DCB <-> termios.

struct BaudEntry {
    speed_t speed;
    std::uint32_t rate;
};

constexpr BaudEntry kBaudRates[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},
#ifdef B460800
    {B460800, 460800},   {B500000, 500000},   {B576000, 576000},   {B921600, 921600},
    {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000}, {B2000000, 2000000},
    {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
#endif
};

std::optional<speed_t> speedOf(std::uint32_t rate) {
    for (const BaudEntry& entry : kBaudRates)
        if (entry.rate == rate) return entry.speed;
    return std::nullopt;
}

std::uint32_t rateOf(speed_t speed) {
    for (const BaudEntry& entry : kBaudRates)
        if (entry.speed == speed) return entry.rate;
    return 0;
}

std::uint8_t byteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

std::uint8_t parityOf(tcflag_t cflag) {
    if ((cflag & PARENB) == 0) return NOPARITY;
#ifdef CMSPAR
    if ((cflag & CMSPAR) != 0) return (cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
#endif
    return (cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
}

std::uint8_t stopBitsOf(tcflag_t cflag) {
    if ((cflag & CSTOPB) == 0) return ONESTOPBIT;
    // A UART sends 1.5 stop bits when asked for two with 5-bit bytes.
    return byteSizeOf(cflag) == 5 ? ONE5STOPBITS : TWOSTOPBITS;
}

void fillDcb(const termios& tio, DCB& dcb) {
    std::memset(&dcb, 0, sizeof(dcb));
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = rateOf(::cfgetospeed(&tio));
    dcb.fBinary = 1;
    dcb.fParity = (tio.c_iflag & INPCK) != 0 ? 1 : 0;
    const bool hardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = hardwareFlow ? 1 : 0;
    dcb.fRtsControl = hardwareFlow ? kRtsControlHandshake : kRtsControlEnable;
    dcb.fDtrControl = kDtrControlEnable;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = (tio.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (tio.c_iflag & IXOFF) != 0 ? 1 : 0;
    dcb.ByteSize = byteSizeOf(tio.c_cflag);
    dcb.Parity = parityOf(tio.c_cflag);
    dcb.StopBits = stopBitsOf(tio.c_cflag);
    dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
}

// Frame settings: byte size, parity and stop bits. False (errno EINVAL) for a combination the
// original platform refuses as well (5 data bits with 2 stop bits, 6 to 8 with 1.5).
bool applyFrame(const DCB& dcb, termios& tio) {
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
    tio.c_cflag &= ~CMSPAR;
#endif
    tio.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case NOPARITY:
            break;
        case ODDPARITY:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            tio.c_cflag |= PARENB;
            break;
#ifdef CMSPAR
        case MARKPARITY:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
#endif
        default:
            return false;
    }
    const bool fiveBits = dcb.ByteSize == 5;
    if (dcb.StopBits == TWOSTOPBITS && !fiveBits)
        tio.c_cflag |= CSTOPB;
    else if (dcb.StopBits == ONE5STOPBITS && fiveBits)
        tio.c_cflag |= CSTOPB;
    else if (dcb.StopBits != ONESTOPBIT)
        return false;
    return true;
}

void applyFlowControl(const DCB& dcb, termios& tio) {
    tio.c_cflag &= ~CRTSCTS;
    if (dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == kRtsControlHandshake) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | INPCK);
    if (dcb.fOutX != 0) tio.c_iflag |= IXON;
    if (dcb.fInX != 0) tio.c_iflag |= IXOFF;
    if (dcb.fParity != 0) tio.c_iflag |= INPCK;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar != 0 ? dcb.XonChar : kDefaultXon);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar != 0 ? dcb.XoffChar : kDefaultXoff);
}

// Everything a DCB sets; false (errno EINVAL) when the line cannot carry it.
bool applyDcb(const DCB& dcb, termios& tio) {
    const std::optional<speed_t> speed = speedOf(dcb.BaudRate);
    if (!speed || !applyFrame(dcb, tio)) {
        errno = EINVAL;
        return false;
    }
    applyFlowControl(dcb, tio);
    return ::cfsetispeed(&tio, *speed) == 0 && ::cfsetospeed(&tio, *speed) == 0;
}

// ---- Time-outs.

// When a read or write must give up: a deadline from the start of the call, and for reads a
// gap allowed after the latest byte once the first has arrived.
struct TransferPlan {
    bool immediate = false;
    std::optional<Clock::time_point> total;
    std::optional<std::chrono::milliseconds> interval;
};

std::optional<Clock::time_point> totalDeadline(Clock::time_point start, std::uint32_t multiplier,
                                               std::uint32_t constant, std::uint32_t count) {
    const std::uint64_t ms = std::uint64_t{multiplier} * count + constant;
    if (ms == 0) return std::nullopt;
    return start + std::chrono::milliseconds(ms);
}

TransferPlan planRead(const COMMTIMEOUTS& t, std::uint32_t count, Clock::time_point start) {
    TransferPlan plan;
    if (t.ReadIntervalTimeout == kMaxDword) {
        const std::uint32_t constant = t.ReadTotalTimeoutConstant;
        if (t.ReadTotalTimeoutMultiplier == 0 && constant == 0) {
            plan.immediate = true;
            return plan;
        }
        // Return as soon as anything has arrived; wait at most the total for the first byte.
        plan.interval = std::chrono::milliseconds(0);
        if (t.ReadTotalTimeoutMultiplier == kMaxDword && constant != 0 && constant != kMaxDword) {
            plan.total = start + std::chrono::milliseconds(constant);
            return plan;
        }
    } else if (t.ReadIntervalTimeout != 0) {
        plan.interval = std::chrono::milliseconds(t.ReadIntervalTimeout);
    }
    plan.total =
        totalDeadline(start, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count);
    return plan;
}

// Milliseconds poll() may wait: -1 without a limit, 0 once the time is up.
int waitBudget(const TransferPlan& plan, bool anyByte, Clock::time_point lastByte) {
    std::optional<Clock::time_point> deadline = plan.total;
    if (anyByte && plan.interval) {
        const Clock::time_point gapEnd = lastByte + *plan.interval;
        deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
    }
    if (!deadline) return -1;
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    // Round up so a wait never ends just before its deadline and spins once more.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}

// Waits for the descriptor to become ready. 1 ready, 0 timed out, -1 failed (errno set).
int waitReady(int fd, short events, int budget) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, budget);
        if (result >= 0 || errno != EINTR) return result > 0 ? 1 : result;
    }
}

bool isRetry(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

// ---- Opening and closing.

void* openSerialPort(const wchar_t* name) {
    if (name == nullptr) {
        errno = EINVAL;
        return TAMRA_INVALID_HANDLE;
    }
    const std::string path = toNarrow(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) fd = awayFromStandardStreams(fd);
    if (fd < 0) return TAMRA_INVALID_HANDLE;
    // TIOCEXCL does not stop a privileged process; the advisory lock stops every open of ours.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) errno = EBUSY;
        abandon(fd);
        return TAMRA_INVALID_HANDLE;
    }
    if (::isatty(fd) != 0 && (::ioctl(fd, TIOCEXCL) != 0 || !makeRaw(fd))) {
        abandon(fd);
        return TAMRA_INVALID_HANDLE;
    }
    timeoutTable().reset(fd);
    return toHandle(fd);
}

bool closeSerialPort(void* handle) {
    const int fd = toFd(handle);
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    // Exclusive mode belongs to the terminal, not to this descriptor: give it back.
    if (::isatty(fd) != 0) ::ioctl(fd, TIOCNXCL);
    timeoutTable().erase(fd);
    return ::close(fd) == 0;
}

void* openPseudoTerminal(std::string* devicePath) {
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd >= 0) fd = awayFromStandardStreams(fd);
    if (fd < 0) return TAMRA_INVALID_HANDLE;
    char name[128] = {};
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof(name)) != 0 ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0 ||
        ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        abandon(fd);
        return TAMRA_INVALID_HANDLE;
    }
    if (devicePath != nullptr) *devicePath = name;
    timeoutTable().reset(fd);
    return toHandle(fd);
}

// ---- Configuration.

bool getSerialState(void* handle, DCB* dcb) {
    termios tio{};
    if (dcb == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (::tcgetattr(toFd(handle), &tio) != 0) return false;
    fillDcb(tio, *dcb);
    return true;
}

bool setSerialState(void* handle, DCB* dcb) {
    const int fd = toFd(handle);
    termios tio{};
    if (dcb == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (::tcgetattr(fd, &tio) != 0 || !applyDcb(*dcb, tio)) return false;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool roundTripSerialState(const DCB& requested, DCB* applied) {
    termios tio{};
    tio.c_cflag = CS8 | CREAD | CLOCAL;
    if (!applyDcb(requested, tio)) return false;
    fillDcb(tio, *applied);
    return true;
}

bool setSerialTimeouts(void* handle, COMMTIMEOUTS* timeouts) {
    const int fd = toFd(handle);
    if (timeouts == nullptr) {
        errno = EINVAL;
        return false;
    }
    // Only an open descriptor gets an entry, so the table cannot fill with stale numbers.
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
        errno = EBADF;
        return false;
    }
    timeoutTable().set(fd, *timeouts);
    return true;
}

bool clearSerialError(void* handle, std::uint32_t* errors, COMSTAT* status) {
    const int fd = toFd(handle);
    int queuedIn = 0;
    int queuedOut = 0;
    if (::ioctl(fd, FIONREAD, &queuedIn) != 0 || ::ioctl(fd, TIOCOUTQ, &queuedOut) != 0)
        return false;
    if (errors != nullptr) *errors = 0;
    if (status != nullptr) {
        std::memset(status, 0, sizeof(*status));
        status->cbInQue = static_cast<std::uint32_t>(std::max(queuedIn, 0));
        status->cbOutQue = static_cast<std::uint32_t>(std::max(queuedOut, 0));
    }
    return true;
}

// ---- Transfers.

bool readSerial(void* handle, void* buffer, std::uint32_t count, std::uint32_t* read) {
    const int fd = toFd(handle);
    auto* bytes = static_cast<unsigned char*>(buffer);
    const Clock::time_point start = Clock::now();
    const TransferPlan plan = planRead(timeoutTable().get(fd), count, start);
    Clock::time_point lastByte = start;
    std::uint32_t got = 0;
    bool ok = true;
    while (got < count) {
        const ssize_t n = ::read(fd, bytes + got, count - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            lastByte = Clock::now();
            continue;
        }
        if (n == 0) {
            // A non-blocking terminal answers "no data" with EAGAIN, so end of file means the
            // device went away (hang-up): a failure, with what arrived before it kept.
            errno = EIO;
            ok = false;
            break;
        }
        if (!isRetry(errno)) {
            ok = false;
            break;
        }
        if (errno == EINTR) continue;
        const int budget = plan.immediate ? 0 : waitBudget(plan, got > 0, lastByte);
        if (budget == 0) break;
        const int ready = waitReady(fd, POLLIN, budget);
        if (ready < 0) ok = false;
        if (ready <= 0) break;
    }
    if (read != nullptr) *read = got;
    return ok;
}

bool writeSerial(void* handle, const void* buffer, std::uint32_t count, std::uint32_t* written) {
    const int fd = toFd(handle);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const COMMTIMEOUTS timeouts = timeoutTable().get(fd);
    TransferPlan plan;
    plan.total = totalDeadline(Clock::now(), timeouts.WriteTotalTimeoutMultiplier,
                               timeouts.WriteTotalTimeoutConstant, count);
    std::uint32_t sent = 0;
    bool ok = true;
    while (sent < count) {
        const ssize_t n = ::write(fd, bytes + sent, count - sent);
        if (n > 0) {
            sent += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && !isRetry(errno)) {
            ok = false;
            break;
        }
        if (n < 0 && errno == EINTR) continue;
        const int budget = waitBudget(plan, false, Clock::time_point{});
        if (budget == 0) break;
        const int ready = waitReady(fd, POLLOUT, budget);
        if (ready < 0) ok = false;
        if (ready <= 0) break;
    }
    if (written != nullptr) *written = sent;
    return ok;
}

bool flushSerial(void* handle) {
    return ::tcdrain(toFd(handle)) == 0;
}

bool purgeSerial(void* handle) {
    return ::tcflush(toFd(handle), TCIOFLUSH) == 0;
}

int lastErrorCode() {
    return errno;
}

void setLastErrorCode(int code) {
    errno = code;
}

}  // namespace tamra::platform
