#include "main/ErrorLog.h"

#include "settings/Delphi.h"
#include "settings/funcs.h"

#include <QDateTime>
#include <QFile>

#include <utility>

namespace {

const char *const kFileName = "error.log";

} // namespace

TErrorLog::TErrorLog() : FilePath(DefaultPath()) {}

TErrorLog::TErrorLog(QString path) : FilePath(std::move(path)) {}

QString TErrorLog::DefaultPath()
{
    return ProgramFilePath(QLatin1String(kFileName));
}

bool TErrorLog::WriteErrorLog(const QString &where, const QString &what,
                              const QString &detail) noexcept
{
    try {
        const QString line =
            QStringLiteral("[%1] [%2] [%3] [%4]\r\n")
                .arg(DateTimeToStr(QDateTime::currentDateTime()), where, what, detail);
        const QByteArray bytes = EncodeCp1251(line);
        QFile file(FilePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        // The bytes reach the disk at the flush: a full disk shows there, not at the write.
        return file.write(bytes) == bytes.size() && file.flush();
    } catch (...) {
        return false;
    }
}
