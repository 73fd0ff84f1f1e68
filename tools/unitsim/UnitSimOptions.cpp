#include "unitsim/UnitSimOptions.h"

namespace unitsim {

QString versionText(const UnitSimOptions &options)
{
    if (!options.firmwareText.isEmpty())
        return options.firmwareText;
    return QStringLiteral("REV 07.%1.%2")
        .arg(options.deviceType, 3, 10, QLatin1Char('0'))
        .arg(options.firmwareBuild, 3, 10, QLatin1Char('0'));
}

int typepanByte(const UnitSimOptions &options)
{
    if (options.typepanByte >= 0 && options.typepanByte <= 255)
        return options.typepanByte;
    return options.memory.startsWith(QLatin1Char('M')) ? 0x02 : 0x3A;
}

} // namespace unitsim
