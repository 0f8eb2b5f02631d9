#include "authoring/Uloaddel.h"

#include "common/AppContext.h"
#include "model/Longname.h"
#include "model/ReadingOrder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

void sortLongNames(QStringList& names)
{
    sortForReading(names);
}

TcaricaElimina::TcaricaElimina(const AppContext& context, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TcaricaElimina"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(424, 113);

    Label1 = new QLabel(QStringLiteral("esercizi"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 8, 400, 20);

    ComboEsercizi = new QComboBox(this);
    ComboEsercizi->setObjectName(QStringLiteral("ComboEsercizi"));
    ComboEsercizi->setGeometry(12, 30, 400, 28);
    ComboEsercizi->setEditable(false);
    ComboEsercizi->setMaxVisibleItems(16);

    okBut = new QPushButton(QStringLiteral("&OK"), this);
    okBut->setObjectName(QStringLiteral("okBut"));
    okBut->setGeometry(212, 72, 96, 30);
    okBut->setDefault(true);
    annullaBut = new QPushButton(QStringLiteral("&Annulla"), this);
    annullaBut->setObjectName(QStringLiteral("annullaBut"));
    annullaBut->setGeometry(316, 72, 96, 30);
    annullaBut->setAutoDefault(false);
    connect(okBut, &QPushButton::clicked, this, &QDialog::accept);
    connect(annullaBut, &QPushButton::clicked, this, &QDialog::reject);

    QStringList names;
    listLongNames(names, context.dataRoot + QStringLiteral("esercizi/"), QStringLiteral("*.s??"));
    sortLongNames(names);
    ComboEsercizi->addItems(names);
    ComboEsercizi->setCurrentIndex(names.isEmpty() ? -1 : 0);

    setTabOrder(ComboEsercizi, okBut);
    setTabOrder(okBut, annullaBut);
    ComboEsercizi->setFocus();
}

int TcaricaElimina::count() const
{
    return ComboEsercizi->count();
}

QString TcaricaElimina::chosenName() const
{
    return ComboEsercizi->currentText();
}
