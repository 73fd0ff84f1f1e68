#include "main/fAbout.h"

#include "main/Main.h"

#include "ui_fAbout.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

namespace {

// The maker's web page, shown and opened by the link label.
const char *const kMakerAddress = "http://www.orva.ru";

} // namespace

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::TFormAbout>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    ui->Image1->setPixmap(ProductPicture(QSize(269, 129)));
    ui->Image1->setAccessibleName(QStringLiteral("W9-CAN"));

    const QString version = TMainForm::ProgramFileVersion();
    ui->Label1->setText(QStringLiteral("W9-CAN config\n"
                                       "Версия %1\n"
                                       "Настройка блоков W9CAN по кабелю и GSM\n"
                                       "Сайт производителя:")
                            .arg(version));
    ui->Label1->setAccessibleName(ui->Label1->text());

    QFont linkFont = ui->Label2->font();
    linkFont.setPixelSize(13);
    ui->Label2->setFont(linkFont);
    ui->Label2->setText(QString::fromLatin1(kMakerAddress));
    ui->Label2->setAccessibleName(ui->Label2->text());
    ui->Label2->setToolTip(QStringLiteral("Открыть сайт производителя"));
    ui->Label2->installEventFilter(this);
    ui->btnOK->setAccessibleName(ui->btnOK->text());

    setFixedSize(269, 225);
}

TFormAbout::~TFormAbout() = default;

QString TFormAbout::LinkAddress() const
{
    return ui->Label2->text();
}

bool TFormAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->Label2)
        return false;
    switch (event->type()) {
    case QEvent::Enter:
        Label2MouseEnter();
        break;
    case QEvent::Leave:
        Label2MouseLeave();
        break;
    case QEvent::MouseButtonRelease:
        Label2Click();
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            Label2Click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void TFormAbout::Label2Click()
{
    // A browser that cannot be started changes nothing here.
    QDesktopServices::openUrl(QUrl(ui->Label2->text()));
}

void TFormAbout::Label2MouseEnter()
{
    QFont font = ui->Label2->font();
    font.setUnderline(true);
    ui->Label2->setFont(font);
}

void TFormAbout::Label2MouseLeave()
{
    QFont font = ui->Label2->font();
    font.setUnderline(false);
    ui->Label2->setFont(font);
}

QPixmap TFormAbout::ProductPicture(QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(225, 235, 245));
    sky.setColorAt(1, QColor(180, 200, 220));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // The unit: a dark case with its status lights, an antenna and the cable connector.
    const QRectF unit(w * 0.28, h * 0.30, w * 0.44, h * 0.46);
    p.setPen(QPen(QColor(30, 35, 45), 2));
    p.drawLine(QPointF(unit.right() - 12, unit.top()), QPointF(unit.right() - 12, h * 0.08));
    p.setBrush(QColor(30, 35, 45));
    p.drawEllipse(QPointF(unit.right() - 12, h * 0.08), 3, 3);
    QLinearGradient body(unit.topLeft(), unit.bottomLeft());
    body.setColorAt(0, QColor(80, 90, 105));
    body.setColorAt(1, QColor(40, 45, 55));
    p.setBrush(body);
    p.drawRoundedRect(unit, 8, 8);
    p.setBrush(QColor(20, 20, 25));
    p.drawRect(QRectF(unit.left() - 10, unit.center().y() - 9, 10, 18));

    const QColor lights[] = {QColor(60, 200, 80), QColor(240, 180, 40), QColor(220, 60, 50)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(lights[i]);
        p.drawEllipse(QPointF(unit.left() + 16 + i * 14, unit.bottom() - 12), 4, 4);
    }
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(int(h * 0.14));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(unit.adjusted(0, 4, 0, -h * 0.14), Qt::AlignCenter, QStringLiteral("W9-CAN"));
    return picture;
}
