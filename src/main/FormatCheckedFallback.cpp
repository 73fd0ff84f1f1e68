// Stand-in used only until the shared formatter is linked in; the shared one replaces it.
#include "settings/Delphi.h"

__attribute__((weak)) QString FormatChecked(const QString &format,
                                            const QVariantList &args) noexcept
{
    if (format.count(QLatin1Char('%')) != 1 || !format.contains(QStringLiteral("%s")) ||
        args.size() != 1)
        return format;
    return QString(format).replace(QStringLiteral("%s"), args[0].toString());
}
