#pragma once

// The About box: the product picture, the program's name and version, and the maker's web
// address as a link that opens in the system's browser.

#include <QDialog>

#include <memory>

namespace Ui {
class TFormAbout;
}

class TFormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *parent = nullptr);
    ~TFormAbout() override;

    // The address Label2 shows and opens.
    QString LinkAddress() const;
    static QPixmap ProductPicture(QSize size);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Label2Click();
    void Label2MouseEnter();
    void Label2MouseLeave();

    std::unique_ptr<Ui::TFormAbout> ui;
};
