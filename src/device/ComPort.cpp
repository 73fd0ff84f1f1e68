#include "device/ComPort.h"

#include "settings/funcs.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <chrono>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ReadChunkSize = 2048;

QByteArray DevicePath(const QString &portName)
{
    const QString path =
        portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    return QFile::encodeName(path);
}

bool SpeedCode(uint32_t baudRate, speed_t &code)
{
    struct Speed
    {
        uint32_t rate;
        speed_t code;
    };
    static constexpr Speed speeds[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Speed &speed : speeds) {
        if (speed.rate == baudRate) {
            code = speed.code;
            return true;
        }
    }
    return false;
}

// The four settings of TNewInDcb on top of what the driver has; raw mode so that no byte is
// translated, swallowed or echoed. False (EINVAL) for a value the line cannot take.
bool ApplyDcb(termios &tio, const TNewInDcb &dcb)
{
    speed_t speed = 0;
    if (!SpeedCode(dcb.BaudRate, speed))
        return false;

    // Data bits 5 to 8; parity none, odd, even, mark, space; stop bits one, one and a half (the
    // nearest the line offers is two), two.
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    static constexpr tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                            PARENB | CMSPAR};
    static constexpr tcflag_t stops[] = {0, CSTOPB, CSTOPB};
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity >= std::size(parities) ||
        dcb.StopBits >= std::size(stops))
        return false;
    const tcflag_t size = sizes[dcb.ByteSize - 5];
    const tcflag_t parity = parities[dcb.Parity];
    const tcflag_t stop = stops[dcb.StopBits];

    tio.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                             IXOFF | IXANY | IUCLC);
    tio.c_oflag &= ~tcflag_t(OPOST);
    tio.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= size | parity | stop | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

// A pseudo-terminal has no modem lines: ENOTTY (EINVAL on some drivers) means there is nothing
// to switch, not a failure.
bool NoControlLines(int errorNumber)
{
    return errorNumber == ENOTTY || errorNumber == EINVAL;
}

void Pause(uint32_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TNewInDcb MakeNewInDcb(const QString &portName, uint32_t baudRate, uint8_t parity, uint8_t byteSize,
                       uint8_t stopBits)
{
    TNewInDcb dcb;
    dcb.PortName = portName;
    dcb.BaudRate = baudRate;
    dcb.Parity = parity;
    dcb.ByteSize = byteSize;
    dcb.StopBits = stopBits;
    return dcb;
}

// ---------------------------------------------------------------------------------------------
// TReceiveDataThread

TReceiveDataThread::TReceiveDataThread(int portHandle, QObject *notifyWnd)
    : PortHandle(portHandle), NotifyWnd(notifyWnd)
{
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

TReceiveDataThread::~TReceiveDataThread()
{
    Terminate();
    ::close(wakeFd);
}

void TReceiveDataThread::Start()
{
    thread = std::thread(&TReceiveDataThread::Execute, this);
}

void TReceiveDataThread::Terminate()
{
    terminated = true;
    Wake();
    if (thread.joinable())
        thread.join();
}

QString TReceiveDataThread::GetData()
{
    QByteArray taken;
    {
        const std::lock_guard lock(ReadLock);
        taken.swap(Buffer);
    }
    return DecodeCp1251(taken);
}

void TReceiveDataThread::StartRead()
{
    {
        const std::lock_guard lock(ReadLock);
        Buffer.clear();
    }
    paused = false;
    Wake();
}

void TReceiveDataThread::StopRead()
{
    paused = true;
    Wake();
}

void TReceiveDataThread::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
}

void TReceiveDataThread::Execute()
{
    while (!terminated) {
        const bool reading = !paused && !lost;
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {PortHandle, POLLIN, 0}};
        if (::poll(fds, reading ? 2 : 1, -1) < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            ReportLost(errno); // cannot wait any more: nothing further will be read
            return;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
        }
        if (terminated)
            break;
        if (!reading || paused) // paused while waiting: leave the bytes in the driver
            continue;
        const short events = fds[1].revents;
        if (events & POLLIN)
            ReadChunk(); // pending bytes first; a hang-up shows as end of data afterwards
        else if (events & (POLLHUP | POLLERR | POLLNVAL))
            ReportLost(events & POLLHUP ? 0 : EIO);
    }
}

bool TReceiveDataThread::ReadChunk()
{
    char chunk[ReadChunkSize] = {};
    const ssize_t count = ::read(PortHandle, chunk, sizeof chunk);
    if (count > 0) {
        {
            const std::lock_guard lock(ReadLock);
            Buffer.append(chunk, count);
        }
        if (NotifyWnd)
            QCoreApplication::postEvent(NotifyWnd, new QEvent(WM_RECEIVEDATA));
        return true;
    }
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    ReportLost(count == 0 ? 0 : errno);
    return false;
}

void TReceiveDataThread::ReportLost(int errorNumber)
{
    if (lost.exchange(true))
        return;
    if (NotifyWnd)
        QCoreApplication::postEvent(NotifyWnd, new TPortLostEvent(errorNumber));
}

// ---------------------------------------------------------------------------------------------
// TnComPort

TnComPort::TnComPort(const TNewInDcb &settings, bool openNow) : settings(settings)
{
    if (openNow)
        Open();
}

TnComPort::~TnComPort()
{
    StopListen();
    Close();
}

bool TnComPort::Open()
{
    if (active)
        return true;
    lost = false;
    lastErrno = 0;

    if (!OpenHandle())
        return false;
    active = true;
    Progress(PortEventOpened);

    if (!ApplySettings())
        return false;
    Progress(PortEventSettingsSet);

    // The queue sizes (InQueueSize, OutQueueSize) have no counterpart on this system: the
    // kernel sizes its tty buffers itself.
    Progress(PortEventQueuesSet);

    if (!Purge())
        return false;
    Progress(PortEventPurged);

    if (!StartThread())
        return false;
    Progress(PortEventThreadStarted);

    if (!ClearLines())
        return false;
    Progress(PortEventRtsCleared);

    Pause(LinesLowMs);

    if (!RaiseRts())
        return false;
    Progress(PortEventRtsRaised);
    return true;
}

bool TnComPort::OpenHandle()
{
    const QByteArray path = DevicePath(settings.PortName);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastErrno = errno;
        ReportCreateError(ComErrorCreate);
        return false;
    }
    // Exclusive use; a file that is no terminal is left to fail at reading the settings.
    if (::ioctl(fd, TIOCEXCL) < 0 && errno != ENOTTY) {
        lastErrno = errno;
        ::close(fd);
        ReportCreateError(ComErrorCreate);
        return false;
    }
    handle = fd;
    return true;
}

bool TnComPort::ApplySettings()
{
    termios tio{};
    if (::tcgetattr(handle, &tio) < 0)
        return Fail(ComErrorGetSettings, errno);
    if (!ApplyDcb(tio, settings))
        return Fail(ComErrorSetSettings, EINVAL);
    if (::tcsetattr(handle, TCSANOW, &tio) < 0)
        return Fail(ComErrorSetSettings, errno);
    return true;
}

bool TnComPort::Purge()
{
    if (::tcflush(handle, TCIOFLUSH) < 0)
        return Fail(ComErrorPurge, errno);
    return true;
}

bool TnComPort::StartThread()
{
    try {
        thread = std::make_unique<TReceiveDataThread>(handle, NotifyWnd);
        thread->Start();
    } catch (const std::system_error &error) {
        thread.reset();
        return Fail(ComErrorThread, error.code().value());
    } catch (...) {
        thread.reset();
        return Fail(ComErrorThread, 0);
    }
    StartListen();
    return true;
}

bool TnComPort::ClearLines()
{
    const int dtr = TIOCM_DTR;
    ::ioctl(handle, TIOCMBIC, &dtr); // as the unit expects: DTR low, its answer not looked at
    const int rts = TIOCM_RTS;
    const int result = ::ioctl(handle, TIOCMBIC, &rts);
    const int errorNumber = errno;
    Pause(RtsSettleMs);
    if (result < 0 && !NoControlLines(errorNumber))
        return Fail(ComErrorClearRts, errorNumber);
    return true;
}

bool TnComPort::RaiseRts()
{
    const int rts = TIOCM_RTS;
    const int result = ::ioctl(handle, TIOCMBIS, &rts);
    const int errorNumber = errno;
    Pause(RtsSettleMs);
    if (result < 0 && !NoControlLines(errorNumber))
        return Fail(ComErrorSetRts, errorNumber);
    return true;
}

bool TnComPort::Fail(int errorCode, int errorNumber)
{
    Close();
    lastErrno = errorNumber;
    ReportCreateError(errorCode);
    return false;
}

void TnComPort::Progress(int code)
{
    if (const auto handler = OnPortEvent)
        handler(this, code);
}

void TnComPort::ReportCreateError(int code)
{
    if (const auto handler = OnComCreateError)
        handler(this, code);
}

void TnComPort::Close()
{
    StopListen();
    thread.reset(); // joined before the descriptor it waits on is closed
    CloseHandle();
    active = false;
}

void TnComPort::CloseHandle()
{
    if (handle >= 0) {
        // Exclusive use stays with the terminal, not with this descriptor: give it back, or
        // the port could not be opened again while the terminal lives on (pseudo-terminals).
        ::ioctl(handle, TIOCNXCL);
        ::close(handle);
        handle = -1;
    }
}

bool TnComPort::Send(const QString &cmd)
{
    if (lost)
        return false; // the device is gone: nothing more is written to it
    if (const auto handler = OnBeforeWrite)
        handler(this, cmd);
    const QString text = cmd == QLatin1String("+++") ? cmd : cmd + QLatin1Char('\r');
    try {
        const QByteArray bytes = EncodeCp1251(text);
        if (WriteBuf(bytes.constData(), uint32_t(bytes.size())) == uint32_t(bytes.size()))
            return true;
    } catch (const std::exception &) {
        lastErrno = EIO;
    }
    if (const auto handler = OnWriteError)
        handler(this, uint32_t(lastErrno), text);
    return false;
}

uint32_t TnComPort::WriteBuf(const char *bytes, uint32_t count)
{
    if (handle < 0) {
        lastErrno = EBADF;
        return 0;
    }
    uint32_t written = 0;
    while (written < count) {
        const ssize_t result = ::write(handle, bytes + written, count - written);
        if (result > 0) {
            written += uint32_t(result);
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 && errno == EAGAIN) {
            pollfd out{handle, POLLOUT, 0};
            const int ready = ::poll(&out, 1, WriteStallTimeoutMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready > 0 && (out.revents & POLLOUT))
                continue;
            lastErrno = ready == 0 ? ETIMEDOUT : ready < 0 ? errno : EIO;
            break;
        }
        lastErrno = result < 0 ? errno : EIO;
        break;
    }
    return written;
}

QString TnComPort::ReadData()
{
    if (!active)
        return QStringLiteral("err");
    return thread ? thread->GetData() : QString();
}

void TnComPort::StartListen()
{
    if (!listening && thread && !lost) {
        thread->StartRead();
        listening = true;
    }
}

void TnComPort::StopListen()
{
    if (listening) {
        if (thread)
            thread->StopRead();
        listening = false;
    }
}

void TnComPort::SetListen(bool listen)
{
    if (listen)
        StartListen();
    else
        StopListen();
}

QString TnComPort::LastErrorText() const
{
    return lastErrno ? QString::fromStdString(std::generic_category().message(lastErrno))
                     : QString();
}

void TnComPort::HandlePortLost(int errorNumber)
{
    if (!active || lost || !thread || !thread->Lost())
        return; // a notice from an earlier opening of this port
    lost = true;
    listening = false;
    lastErrno = errorNumber ? errorNumber : EIO;
    ReportCreateError(ComErrorPortLost);
}
