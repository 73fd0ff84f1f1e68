#include "unitsim/PtyLink.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace unitsim {

PtyLink::~PtyLink()
{
    close();
}

bool PtyLink::open(const QString &linkPath, QString *error)
{
    close();
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CREAD | CLOCAL;
    cfsetispeed(&raw, B19200);
    cfsetospeed(&raw, B19200);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Only the master is kept: the program's open of the slave then ends the master's hang-up.
    ::close(slave);
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
    if (!linkPath.isEmpty() && !publishLink(linkPath, error)) {
        close();
        return false;
    }
    return true;
}

bool PtyLink::publishLink(const QString &linkPath, QString *error)
{
    const QFileInfo info(linkPath);
    QDir().mkpath(info.absolutePath());
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error)
                *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        ::unlink(path.constData());
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), path.constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot make the link %1: %2")
                         .arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_linkPath = info.absoluteFilePath();
    return true;
}

void PtyLink::close()
{
    if (!m_linkPath.isEmpty()) {
        // Remove the link only while it still points to this terminal.
        const QByteArray path = QFile::encodeName(m_linkPath);
        char target[512] = {};
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, int(n)) == m_slavePath)
            ::unlink(path.constData());
        m_linkPath.clear();
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_slavePath.clear();
}

bool PtyLink::peerOpen() const
{
    if (m_master < 0)
        return false;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & POLLHUP) == 0;
}

void PtyLink::makeRaw() const
{
    if (m_master < 0)
        return;
    termios t{};
    if (::tcgetattr(m_master, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_cflag |= CREAD | CLOCAL;
    ::tcsetattr(m_master, TCSANOW, &t);
}

bool PtyLink::readAvailable(QByteArray *into) const
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0) {
        into->append(buffer, int(n));
        return true;
    }
    return false;
}

qint64 PtyLink::write(const QByteArray &data) const
{
    const ssize_t n = ::write(m_master, data.constData(), size_t(data.size()));
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return n;
}

void PtyLink::flushOutput() const
{
    if (m_master >= 0)
        ::tcflush(m_master, TCIOFLUSH);
}

} // namespace unitsim
