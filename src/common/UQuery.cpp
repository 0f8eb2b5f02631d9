#include "common/UQuery.h"

#include "common/EnterKey.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormQuery::TFormQuery(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormQuery"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(339, 192);
    move(436, 246);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 24, 291, 24);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(24, 56, 291, 28);
    Label1->setBuddy(Edit1);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setGeometry(56, 124, 100, 32);
    ButtonAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    ButtonAnnulla->setObjectName(QStringLiteral("ButtonAnnulla"));
    ButtonAnnulla->setGeometry(184, 124, 100, 32);
    // Enter in the edit presses no button: a name is confirmed only with OK.
    for (QPushButton* button : {ButtonOK, ButtonAnnulla}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonAnnulla, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Edit1, ButtonOK);
    setTabOrder(ButtonOK, ButtonAnnulla);
    Edit1->setFocus();
}

void TFormQuery::keyPressEvent(QKeyEvent* event)
{
    // Enter presses a focused button; in the edit it presses nothing.
    if (enterPressesFocusedButton(this, event))
        return;
    // Esc does not close the dialog either: only the buttons and the close box do.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
