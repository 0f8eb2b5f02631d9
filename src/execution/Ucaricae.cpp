#include "execution/Ucaricae.h"

#include "common/AppContext.h"
#include "execution/RadioGroup.h"
#include "model/DialogService.h"
#include "model/Longname.h"
#include "model/ReadingOrder.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

TcaricaE::TcaricaE(const AppContext& context, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("caricaE"));
    setWindowTitle(QStringLiteral("  scegli un esercizio"));
    setModal(true);
    setFixedSize(454, 216);

    QFont bold = font();
    bold.setBold(true);

    Label1 = new QLabel(QStringLiteral("esercizi"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(12, 10);
    ComboEsercizi = new QComboBox(this);
    ComboEsercizi->setObjectName(QStringLiteral("ComboEsercizi"));
    ComboEsercizi->setGeometry(12, 28, 430, 26);

    RadioVisualizzazione = new TRadioGroup(
        "RadioVisualizzazione", QStringLiteral(" tipo di visualizzazione "),
        {QStringLiteral("  tutto il testo assieme"), QStringLiteral("  una frase per volta")}, this);
    RadioVisualizzazione->setFont(bold);
    RadioVisualizzazione->setGeometry(12, 64, 210, 100);
    RadioVisualizzazione->setItemIndex(wholeText);

    Radiofeedback = new TRadioGroup("Radiofeedback", QStringLiteral(" feedback "), {}, this);
    Radiofeedback->setGeometry(232, 64, 210, 100);

    okBut = new QPushButton(QStringLiteral("&OK"), this);
    okBut->setObjectName(QStringLiteral("okBut"));
    okBut->setDefault(true);
    okBut->setGeometry(134, 176, 88, 28);
    annullaBut = new QPushButton(QStringLiteral("&Annulla"), this);
    annullaBut->setObjectName(QStringLiteral("annullaBut"));
    annullaBut->setGeometry(232, 176, 88, 28);
    connect(okBut, &QPushButton::clicked, this, &TcaricaE::okButClick);
    connect(annullaBut, &QPushButton::clicked, this, &QDialog::reject);
    connect(RadioVisualizzazione, &TRadioGroup::clicked, this, &TcaricaE::rebuildFeedbackItems);

    QStringList names;
    listLongNames(names, context.dataRoot + QStringLiteral("esercizi"), QStringLiteral("*.s??"));
    sortForReading(names);
    ComboEsercizi->addItems(names);
    ComboEsercizi->setCurrentIndex(names.isEmpty() ? -1 : 0);

    rebuildFeedbackItems();
    okBut->setFocus();
}

QString TcaricaE::exerciseName() const
{
    return ComboEsercizi->currentIndex() < 0 ? QString() : ComboEsercizi->currentText();
}

DisplayMode TcaricaE::displayMode() const
{
    return RadioVisualizzazione->itemIndex() == sentenceBySentence ? sentenceBySentence : wholeText;
}

FeedbackMode TcaricaE::feedbackMode() const
{
    switch (Radiofeedback->itemIndex()) {
    case midAndEnd:
        return midAndEnd;
    case everySentence:
        return everySentence;
    default:
        return noFeedback;
    }
}

void TcaricaE::rebuildFeedbackItems()
{
    QStringList items{QStringLiteral("  nessuno"), QStringLiteral("  a metà e alla fine")};
    if (displayMode() == sentenceBySentence)
        items << QStringLiteral("  dopo ogni frase");
    Radiofeedback->setItems(items);
    Radiofeedback->setItemIndex(noFeedback);
}

void TcaricaE::okButClick()
{
    if (ComboEsercizi->count() == 0) {
        showMessage(QStringLiteral("Non esistono esercizi da eseguire"));
        reject();
        return;
    }
    accept();
}
