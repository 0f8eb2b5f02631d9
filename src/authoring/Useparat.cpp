#include "authoring/Useparat.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>

TsepaForm::TsepaForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TsepaForm"));
    setWindowTitle(QStringLiteral(" separatore"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(228, 165);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    radioSeparatore = new QGroupBox(QStringLiteral(" scegli il separatore delle frasi "), this);
    radioSeparatore->setObjectName(QStringLiteral("radioSeparatore"));
    radioSeparatore->setGeometry(8, 8, 212, 100);
    puntoRadio = new QRadioButton(QStringLiteral(" .   punto"), radioSeparatore);
    puntoRadio->setObjectName(QStringLiteral("puntoRadio"));
    puntoRadio->setGeometry(16, 32, 180, 24);
    barraRadio = new QRadioButton(QStringLiteral(" \\   barra rovescia"), radioSeparatore);
    barraRadio->setObjectName(QStringLiteral("barraRadio"));
    barraRadio->setGeometry(16, 64, 180, 24);
    puntoRadio->setChecked(true);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(70, 122, 88, 32);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(OKBtn, puntoRadio);
    OKBtn->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QChar TsepaForm::separator() const
{
    return barraRadio->isChecked() ? QLatin1Char('\\') : QLatin1Char('.');
}

QChar askSeparator(QWidget* parent)
{
    TsepaForm form(parent);
    form.exec();
    return form.separator();
}
