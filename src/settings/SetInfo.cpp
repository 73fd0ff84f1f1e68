#include "settings/SetInfo.h"

#include "settings/SettingsRW.h"

QStringList LoadCaptionPairs(const TSettingsRW &Settings, const QString &Section,
                             TCaptionPairTable Pairs)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(Pairs.size()));
    for (const TCaptionPair &pair : Pairs) {
        const QString fallback = QString::fromUtf8(pair.Default);
        texts << Settings
                     .ReadOrDefault(MakeSetItem(Section, QString::fromLatin1(pair.Ident), fallback))
                     .toString();
    }
    return texts;
}

void SaveCaptionPairs(TSettingsRW &Settings, const QString &Section, TCaptionPairTable Pairs)
{
    for (const TCaptionPair &pair : Pairs) {
        const QString ident = QString::fromLatin1(pair.Ident);
        const QVariant text =
            Settings.ReadOrDefault(MakeSetItem(Section, ident, QString::fromUtf8(pair.Default)));
        Settings.Write(MakeSetItem(Section, ident, text.toString()));
    }
}

bool TryStoredTextToBool(const QString &Text, bool &Value)
{
    const QString text = Text.trimmed();
    if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) {
        Value = true;
        return true;
    }
    if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) {
        Value = false;
        return true;
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (ok)
        Value = number != 0;
    return ok;
}

QString BoolToStoredText(bool Value)
{
    return Value ? QStringLiteral("-1") : QStringLiteral("0");
}
