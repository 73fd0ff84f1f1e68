#pragma once

#include <QByteArray>
#include <QString>

namespace unitsim {

// A pseudo-terminal pair: the simulator keeps the master side; the unit's side (the slave)
// is what the program opens, directly or through a published symbolic link. The slave is
// not held open here, so that the master sees a hang-up while no program has it open.
class PtyLink
{
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink &) = delete;
    PtyLink &operator=(const PtyLink &) = delete;

    bool open(const QString &linkPath, QString *error);
    void close();

    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    // The path to give the program: the link when one was published, else the slave.
    QString portPath() const { return m_linkPath.isEmpty() ? m_slavePath : m_linkPath; }

    // True while some process has the unit's side open (the master reports no hang-up).
    bool peerOpen() const;
    // Puts the unit's side back into raw mode, so that no byte is translated or echoed.
    void makeRaw() const;

    // Reads what is there without blocking; false when nothing more can be read now.
    bool readAvailable(QByteArray *into) const;
    // Writes as much as the terminal takes; returns the number of bytes written, -1 on error.
    qint64 write(const QByteArray &data) const;
    // Drops whatever the program has not read yet.
    void flushOutput() const;

private:
    bool publishLink(const QString &linkPath, QString *error);

    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
};

} // namespace unitsim
