#include "pages/ExecCommandEvents.h"

#include <QCoreApplication>

namespace {

QString ValueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return QString::number(value.toLongLong());
}

} // namespace

MainReplyRecord MainReplyRecord::FromValues(int code, const std::array<QVariant, 2> &values,
                                            uint32_t tick)
{
    MainReplyRecord r;
    r.Tick = tick;
    r.Code = code;
    r.Status = values[1].toInt();
    const QString text = ValueText(values[0]);
    r.Text1 = text.mid(0, TextPartLength);
    r.Text2 = text.mid(TextPartLength, TextPartLength);
    r.Text3 = text.mid(2 * TextPartLength, TextPartLength);
    return r;
}

bool TCommandDoneEvent::IsCurrent() const
{
    return Service && Service->LastAnswerTick() == Tick;
}

void PostExecCommand(QObject *target, int code, QObject *requester)
{
    if (target != nullptr)
        QCoreApplication::postEvent(target, new TExecCommandEvent(code, requester));
}
