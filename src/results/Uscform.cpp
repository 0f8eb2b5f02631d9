#include "results/Uscform.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "results/Urisult.h"
#include "results/Ustampa.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    return l;
}

} // namespace

TscegliRisultatiForm::TscegliRisultatiForm(const AppContext& context, QWidget* parent)
    : QDialog(parent)
{
    setUpResultsDialog(*this, "TscegliRisultatiForm", QString(), {367, 183});

    Label1 = label(this, "Label1", QStringLiteral("elenco utenti"), {10, 8, 160, 16});
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(10, 26, 160, 25);
    Label2 = label(this, "Label2", QStringLiteral("esercizi svolti"), {185, 8, 170, 16});
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(185, 26, 172, 110);
    Label3 = label(this, "Label3", QStringLiteral("esercizio selezionato"), {10, 62, 160, 16});
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit1->setGeometry(10, 80, 160, 25);
    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(100, 146, 80, 28);
    OKBtn->setDefault(true);
    cancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setGeometry(190, 146, 80, 28);

    // Pupils once each, whatever their letter case, in order of first appearance.
    const QList<RunIdentifier> ids = ResultsArchive::in(context.dataRoot).runs();
    QHash<QString, int> byName;
    QSet<QString> seen;
    for (const RunIdentifier& id : ids) {
        const QString pupil = id.pupil();
        // The list shows at most 255 characters of a run's name.
        const QString runName = trimSpaces(id.runName().left(255));
        const QString folded = pupil.toCaseFolded();
        auto found = byName.constFind(folded);
        int index;
        if (found == byName.constEnd()) {
            index = int(pupils.size());
            byName.insert(folded, index);
            pupils.append(Pupil{pupil, {}, {}});
        } else {
            index = *found;
        }
        Pupil& p = pupils[index];
        // A run stored twice under one identifier is one run.
        if (!seen.contains(id.text())) {
            seen.insert(id.text());
            p.runNames << runName;
            p.identifiers << id;
        }
    }
    for (const Pupil& p : std::as_const(pupils))
        ComboBox1->addItem(p.name);
    if (!pupils.isEmpty()) {
        ComboBox1->setCurrentIndex(0);
        ListBox1->addItems(pupils.first().runNames);
    }

    connect(ComboBox1, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TscegliRisultatiForm::ComboBox1Change);
    connect(ListBox1, &QListWidget::itemClicked, this, &TscegliRisultatiForm::ListBox1Click);
    connect(ListBox1, &QListWidget::currentRowChanged, this, &TscegliRisultatiForm::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TscegliRisultatiForm::OKBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &TscegliRisultatiForm::OKBtnClick);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TscegliRisultatiForm::ComboBox1Change(int index)
{
    ListBox1->clear();
    Edit1->clear();
    chosenId = RunIdentifier();
    if (index >= 0 && index < pupils.size())
        ListBox1->addItems(pupils.at(index).runNames);
}

void TscegliRisultatiForm::ListBox1Click()
{
    const int pupil = ComboBox1->currentIndex();
    const int row = ListBox1->currentRow();
    if (pupil < 0 || pupil >= pupils.size() || row < 0 || row >= pupils.at(pupil).runNames.size())
        return;
    Edit1->setText(pupils.at(pupil).runNames.at(row));
    chosenId = pupils.at(pupil).identifiers.at(row);
}

void TscegliRisultatiForm::OKBtnClick()
{
    if (Edit1->text().isEmpty()) {
        showMessage(QStringLiteral("Seleziona un esercizio"));
        return;
    }
    accept();
}

QString TscegliRisultatiForm::chosenPupil() const
{
    return chosenId.pupil();
}

QString TscegliRisultatiForm::chosenRunName() const
{
    return Edit1->text();
}

RunIdentifier TscegliRisultatiForm::chosenIdentifier() const
{
    return chosenId;
}
