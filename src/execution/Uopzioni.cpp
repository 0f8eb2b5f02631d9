#include "execution/Uopzioni.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdlib>

QString formatThreshold(double value)
{
    return QStringLiteral("%1").arg(value, 2, 'f', 1);
}

bool parseThreshold(const QString& text, double& value)
{
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok)
        value = parsed;
    return ok;
}

namespace {

QPushButton* defaultButton(QWidget* parent, const char* name, int x, int y)
{
    auto button = new QPushButton(QStringLiteral("<-->"), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, y, 40, 24);
    button->setToolTip(QStringLiteral("Ripristina il valore predefinito"));
    return button;
}

QLabel* note(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setGeometry(x, y, 340, 40);
    return label;
}

} // namespace

TopzioniForm::TopzioniForm(const RunOptions& current, const RunOptions& defaultValues, QWidget* parent)
    : QDialog(parent), defaults(defaultValues)
{
    setObjectName(QStringLiteral("opzioniForm"));
    setWindowTitle(QStringLiteral("  opzioni generali"));
    setFixedSize(540, 256);

    auto group = new QGroupBox(QStringLiteral(" parametri di esecuzione "), this);
    group->setObjectName(QStringLiteral("esecuzioneGroup"));
    group->setGeometry(12, 8, 516, 192);

    tempoBut = defaultButton(group, "tempoBut", 12, 30);
    editTempoMax = new QLineEdit(group);
    editTempoMax->setObjectName(QStringLiteral("editTempoMax"));
    editTempoMax->setGeometry(60, 30, 56, 24);
    spinTempoMax = new SpinButton(group);
    spinTempoMax->setObjectName(QStringLiteral("spinTempoMax"));
    spinTempoMax->setGeometry(118, 28, 20, 28);
    note(group, "Memo1",
         QStringLiteral("tempo massimo di permanenza, in secondi,  di ogni frase nella "
                        "presentazione frase per frase. '0' significa tempo illimitato."),
         160, 24);

    sogliaBut = defaultButton(group, "sogliaBut", 12, 82);
    editSogliaFeedback = new QLineEdit(group);
    editSogliaFeedback->setObjectName(QStringLiteral("editSogliaFeedback"));
    editSogliaFeedback->setGeometry(60, 82, 56, 24);
    spinSogliaFeedback = new SpinButton(group);
    spinSogliaFeedback->setObjectName(QStringLiteral("spinSogliaFeedback"));
    spinSogliaFeedback->setGeometry(118, 80, 20, 28);
    note(group, "Memo2",
         QStringLiteral("valore dell'errore medio per frase oltre il quale viene visualizzato "
                        "il feedback a metà e alla fine del testo."),
         160, 76);

    azzeraBut = defaultButton(group, "azzeraBut", 12, 130);
    checkAzzeramento = new QCheckBox(QStringLiteral(" azzera risposte ad ogni feedback"), group);
    checkAzzeramento->setObjectName(QStringLiteral("checkAzzeramento"));
    checkAzzeramento->setGeometry(60, 130, 300, 24);

    CheckSintesi = new QCheckBox(QStringLiteral("Utilizza Sintesi Vocale"), group);
    CheckSintesi->setObjectName(QStringLiteral("CheckSintesi"));
    CheckSintesi->setGeometry(60, 158, 300, 24);

    // Both values are read-only but take the keyboard focus: Up and Down do
    // what the spin arrows do, Page Up and Page Down ten arrow steps at once.
    // While an edit has the focus its value stays highlighted.
    editTempoMax->setAccessibleName(QStringLiteral("tempo massimo per frase, in secondi"));
    editSogliaFeedback->setAccessibleName(QStringLiteral("soglia dell'errore medio per frase"));
    for (QLineEdit* edit : {editTempoMax, editSogliaFeedback}) {
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignRight);
        edit->setFocusPolicy(Qt::StrongFocus);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, edit, [edit]() {
            if (edit->hasFocus())
                edit->selectAll();
        });
    }

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(340, 214, 88, 30);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(440, 214, 88, 30);

    editTempoMax->setText(QString::number(current.maxSentenceTime));
    editSogliaFeedback->setText(formatThreshold(current.feedbackThreshold));
    checkAzzeramento->setChecked(current.resetAnswersOnFeedback);
    CheckSintesi->setChecked(current.useSpeech);

    connect(tempoBut, &QPushButton::clicked, this,
            [this]() { editTempoMax->setText(QString::number(defaults.maxSentenceTime)); });
    connect(sogliaBut, &QPushButton::clicked, this, [this]() {
        editSogliaFeedback->setText(formatThreshold(defaults.feedbackThreshold));
    });
    connect(azzeraBut, &QPushButton::clicked, this,
            [this]() { checkAzzeramento->setChecked(defaults.resetAnswersOnFeedback); });
    connect(spinTempoMax, &SpinButton::downClicked, this, &TopzioniForm::spinTempoMaxDown);
    connect(spinTempoMax, &SpinButton::upClicked, this, &TopzioniForm::spinTempoMaxUp);
    connect(spinSogliaFeedback, &SpinButton::downClicked, this, &TopzioniForm::spinSogliaFeedbackDown);
    connect(spinSogliaFeedback, &SpinButton::upClicked, this, &TopzioniForm::spinSogliaFeedbackUp);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    OKBtn->setFocus();
}

bool TopzioniForm::eventFilter(QObject* watched, QEvent* event)
{
    const bool time = watched == editTempoMax;
    if ((!time && watched != editSogliaFeedback) || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto key = static_cast<QKeyEvent*>(event)->key();
    int steps = 0;
    switch (key) {
    case Qt::Key_Up: steps = 1; break;
    case Qt::Key_Down: steps = -1; break;
    case Qt::Key_PageUp: steps = pageSteps; break;
    case Qt::Key_PageDown: steps = -pageSteps; break;
    default: return QDialog::eventFilter(watched, event);
    }
    for (int i = 0; i < std::abs(steps); ++i) {
        if (time)
            steps > 0 ? spinTempoMaxUp() : spinTempoMaxDown();
        else
            steps > 0 ? spinSogliaFeedbackUp() : spinSogliaFeedbackDown();
    }
    return true;
}

void TopzioniForm::spinTempoMaxDown()
{
    int value = editTempoMax->text().toInt();
    if (value > 0) {
        --value;
        editTempoMax->setText(QString::number(value));
        if (value == 0)
            CheckSintesi->setChecked(true);
    }
}

void TopzioniForm::spinTempoMaxUp()
{
    int value = editTempoMax->text().toInt();
    if (value < 120) {
        ++value;
        editTempoMax->setText(QString::number(value));
        CheckSintesi->setChecked(false);
    }
}

void TopzioniForm::spinSogliaFeedbackDown()
{
    double value = 0;
    if (!parseThreshold(editSogliaFeedback->text(), value))
        return;
    if (value > 0.19)
        editSogliaFeedback->setText(formatThreshold(value - 0.1));
}

void TopzioniForm::spinSogliaFeedbackUp()
{
    double value = 0;
    if (!parseThreshold(editSogliaFeedback->text(), value))
        return;
    if (value < 2)
        editSogliaFeedback->setText(formatThreshold(value + 0.1));
}

RunOptions TopzioniForm::chosenOptions() const
{
    RunOptions options;
    options.maxSentenceTime = editTempoMax->text().toInt();
    double threshold = 0.4;
    if (!parseThreshold(editSogliaFeedback->text(), threshold))
        threshold = 0.4;
    options.feedbackThreshold = threshold;
    options.resetAnswersOnFeedback = checkAzzeramento->isChecked();
    options.useSpeech = CheckSintesi->isChecked();
    return options;
}
