#include "results/Urisult.h"

#include "access/Gestoret.h"
#include "common/Hint.h"
#include "common/MarkedTextView.h"
#include "common/TextFont.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Token.h"
#include "results/EsportaCsv.h"
#include "results/Uandamento.h"
#include "results/Uscform.h"
#include "results/Usintesi.h"
#include "results/Ustampa.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>

namespace {

Trisultati* theResultsWindow = nullptr;

const QString finalItem = QStringLiteral("finale");
const QString resetMark = QStringLiteral("-1");

bool isStep(const QString& first)
{
    return first != resetMark;
}

// The size of the texts, on screen and in print.
constexpr int textSize = 14;

void setHint(QWidget* control, const QString& hint)
{
    control->setToolTip(wrapHint(hint).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QSize size)
{
    auto b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->resize(size);
    return b;
}

QWidget* panel(QWidget* parent, const char* name)
{
    auto w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* title(QWidget* parent, const char* name, const QString& caption)
{
    auto label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Raised);
    return label;
}

} // namespace

// ---------------------------------------------------------------------------
// A stored run

QString answerTimeText(qint64 ms)
{
    if (ms < 0)
        return QStringLiteral("-");
    const qint64 tenths = (ms + 50) / 100;
    const QString seconds = QStringLiteral("%1,%2 s").arg(tenths / 10 % 60).arg(tenths % 10);
    if (tenths < 600)
        return seconds;
    const qint64 minutes = tenths / 600;
    const QString padded = tenths / 10 % 60 < 10 ? QStringLiteral("0") + seconds : seconds;
    return QStringLiteral("%1 min ").arg(minutes) + padded;
}

void replayHistory(Tevidenziatore& text, const StoredRun& run, int item)
{
    const QVector<ImportanceLevel> levels = replayEntries(historyEntries(run), text.countSentences(), item);
    for (int n = 0; n < levels.size(); ++n)
        text.setImportance(n, levels.at(n));
}

namespace {

template <typename Visit>
void visitFinalAnswers(const Tevidenziatore& assigned, const QStringList& doneLines,
                       const StoredRun& run, Visit visit)
{
    Tparametri params;
    params.mode = copyOf;
    params.source = doneLines;
    Tevidenziatore final(params);
    replayHistory(final, run, -2);
    for (int i = 0; i < final.sentenceCount; ++i)
        visit(int(assigned.importanceOf(i)), int(final.importanceOf(i)));
}

} // namespace

AnswerCounts countFinalAnswers(const Tevidenziatore& assigned, const QStringList& doneLines,
                               const StoredRun& run)
{
    AnswerCounts counts;
    visitFinalAnswers(assigned, doneLines, run, [&counts](int e, int g) { counts.add(e, g); });
    return counts;
}

double meanError(const StoredRun& run)
{
    QVector<ImportanceLevel> expected;
    bool lastTagEndsText = false;
    for (const QString& line : run.textLines) {
        lastTagEndsText = line.contains(QLatin1Char('~'));
        if (lastTagEndsText)
            expected << Tevidenziatore::parseTag(line);
    }
    return finalMeanError(expected, lastTagEndsText, historyEntries(run));
}

// ---------------------------------------------------------------------------
// Legend

TLegenda::TLegenda(QWidget* parent) : QWidget(parent) {}

void TLegenda::paintEvent(QPaintEvent*)
{
    static const QString labels[3] = {QStringLiteral("non importante"),
                                      QStringLiteral("importante"),
                                      QStringLiteral("molto importante")};
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = (width() - 160) / 3;
    const QFontMetrics metrics = painter.fontMetrics();
    const int ty = (height() - 8 - metrics.height()) / 2 + 4;
    for (int j = 1; j <= 3; ++j) {
        const ImportanceColour& colours = importanceColour(j);
        const int left = 40 * j + (j - 1) * w;
        painter.setPen(colours.fill);
        painter.setBrush(colours.fill);
        painter.drawRoundedRect(QRect(left, 4, w, height() - 8), 7, 7);
        painter.setPen(colours.text);
        const QString& label = labels[j - 1];
        painter.drawText(left + (w - metrics.horizontalAdvance(label)) / 2, ty + metrics.ascent(),
                         label);
    }
}

// ---------------------------------------------------------------------------
// The window

Trisultati::Trisultati(const AppContext& appContext, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      context(appContext)
{
    theResultsWindow = this;
    setObjectName(QStringLiteral("Trisultati"));
    setWindowTitle(QStringLiteral("  risultati"));
    setModal(true);
    setMinimumSize(640, 480);
    printFont = textFontAt(textSize);
    // Esc closes the window as a dialog's key does; the handler only keeps
    // the keys that a list or a menu took from reaching it.
    keyHandler = std::make_unique<TgestoreAlternativoTastiera>(qApp, nullptr, this);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Aprieserciziosvolto1 = File1->addAction(QStringLiteral("&Apri esercizio svolto..."));
    Aprieserciziosvolto1->setObjectName(QStringLiteral("Aprieserciziosvolto1"));
    Eliminaesercizio1 = File1->addAction(QStringLiteral("&Elimina esercizio..."));
    Eliminaesercizio1->setObjectName(QStringLiteral("Eliminaesercizio1"));
    Esportacsv1 = File1->addAction(QStringLiteral("Esporta in CSV..."));
    Esportacsv1->setObjectName(QStringLiteral("Esportacsv1"));
    andamento1 = File1->addAction(QStringLiteral("Andamento..."));
    andamento1->setObjectName(QStringLiteral("andamento1"));
    File1->addSeparator();
    Esci1 = File1->addAction(QStringLiteral("&Esci"));
    Esci1->setObjectName(QStringLiteral("Esci1"));

    panelLeft = panel(this, "panelLeft");
    Panel1 = title(panelLeft, "Panel1", QStringLiteral("  testo assegnato"));
    PaintCanvas1 = new TMarkedTextView(textSize, panelLeft);
    PaintCanvas1->setObjectName(QStringLiteral("PaintCanvas1"));
    panelCenter = panel(this, "panelCenter");
    ScrollBarCenter = new QScrollBar(Qt::Vertical, panelCenter);
    ScrollBarCenter->setObjectName(QStringLiteral("ScrollBarCenter"));
    ScrollBarCenter->setRange(0, 0);
    ScrollBarCenter->setPageStep(10);
    panelRight = panel(this, "panelRight");
    Panel2 = title(panelRight, "Panel2", QStringLiteral("  esercizio svolto"));
    PaintCanvas2 = new TMarkedTextView(textSize, panelRight);
    PaintCanvas2->setObjectName(QStringLiteral("PaintCanvas2"));
    // One scroll bar serves both texts; only the pupil's shows the step's sentence.
    PaintCanvas1->setScrollBar(ScrollBarCenter);
    PaintCanvas2->setScrollBar(ScrollBarCenter);
    PaintCanvas1->setMarkCurrent(false);

    panelBottom = panel(this, "panelBottom");
    PaintLegenda = new TLegenda(panelBottom);
    PaintLegenda->setObjectName(QStringLiteral("PaintLegenda"));
    GroupBox1 = new QGroupBox(QStringLiteral(" informazioni generali "), panelBottom);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Memo2 = new QPlainTextEdit(GroupBox1);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setReadOnly(true);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GroupBox2 = new QGroupBox(QStringLiteral(" navigazione "), panelBottom);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Label2 = new QLabel(QStringLiteral("passo"), GroupBox2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(10, 18, 60, 16);
    ComboPassi = new QComboBox(GroupBox2);
    ComboPassi->setObjectName(QStringLiteral("ComboPassi"));
    ComboPassi->setGeometry(10, 34, 90, 25);
    Buttonpiu = button(GroupBox2, "Buttonpiu", QStringLiteral("+"), {45, 25});
    Buttonpiu->move(108, 34);
    Buttonmeno = button(GroupBox2, "Buttonmeno", QStringLiteral("-"), {45, 25});
    Buttonmeno->move(158, 34);
    Buttonpiu->setEnabled(false);
    Buttonmeno->setEnabled(false);
    Label1 = new QLabel(QStringLiteral("feedback"), GroupBox2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(10, 64, 80, 16);
    LabelTempo = new QLabel(GroupBox2);
    LabelTempo->setObjectName(QStringLiteral("LabelTempo"));
    LabelTempo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Memo1 = new QPlainTextEdit(GroupBox2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    stampaBut = button(panelBottom, "stampaBut", QStringLiteral("&stampa"), {95, 33});
    sintesiBut = button(panelBottom, "sintesiBut", QStringLiteral("&in breve"), {95, 33});
    CancelBtn = button(panelBottom, "CancelBtn", QStringLiteral("&Esci"), {95, 33});

    setHint(ComboPassi, QStringLiteral("Consente di ripercorrere la \"storia\" dell'esecuzione "
                                       "dell'esercizio."));
    setHint(Buttonpiu, QStringLiteral("Va al passo successivo"));
    setHint(Buttonmeno, QStringLiteral("Va al passo precedente"));
    setHint(stampaBut, QStringLiteral("Consente di effettuare la stampa dell'esercizio corretto e "
                                      "dell'esercizio svolto."));
    setHint(sintesiBut, QStringLiteral("Visualizza la tabella riassuntiva sullo svolgimento "
                                       "dell'esercizio."));

    connect(Aprieserciziosvolto1, &QAction::triggered, this, &Trisultati::Aprieserciziosvolto1Click);
    connect(Eliminaesercizio1, &QAction::triggered, this, &Trisultati::Eliminaesercizio1Click);
    connect(Esportacsv1, &QAction::triggered, this, &Trisultati::Esportacsv1Click);
    connect(andamento1, &QAction::triggered, this, &Trisultati::andamento1Click);
    connect(Esci1, &QAction::triggered, this, &QDialog::reject);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(sintesiBut, &QPushButton::clicked, this, &Trisultati::sintesiButClick);
    connect(stampaBut, &QPushButton::clicked, this, &Trisultati::stampaButClick);
    connect(Buttonpiu, &QPushButton::clicked, this, &Trisultati::ButtonpiuClick);
    connect(Buttonmeno, &QPushButton::clicked, this, &Trisultati::ButtonmenoClick);
    connect(ComboPassi, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &Trisultati::ComboPassiChange);
    connect(ScrollBarCenter, &QScrollBar::valueChanged, this, &Trisultati::ScrollBarCenterScroll);
    PaintCanvas2->installEventFilter(this);

    resize(640, 480);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Trisultati::~Trisultati()
{
    if (theResultsWindow == this)
        theResultsWindow = nullptr;
}

Trisultati* Trisultati::instance()
{
    return theResultsWindow;
}

void Trisultati::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, width(), menuHeight);
    const int bottomHeight = 174;
    const int centreWidth = 21;
    const int textTop = menuHeight;
    const int textsHeight = std::max(0, height() - menuHeight - bottomHeight);
    const int leftWidth = (width() - centreWidth) / 2;
    panelLeft->setGeometry(0, textTop, leftWidth, textsHeight);
    panelCenter->setGeometry(leftWidth, textTop, centreWidth, textsHeight);
    panelRight->setGeometry(leftWidth + centreWidth, textTop, width() - leftWidth - centreWidth,
                            textsHeight);
    const int titleHeight = 22;
    for (auto [holder, caption, surface] :
         {std::tuple{panelLeft, Panel1, PaintCanvas1}, std::tuple{panelRight, Panel2, PaintCanvas2}}) {
        caption->setGeometry(0, 0, holder->width(), titleHeight);
        surface->setGeometry(0, titleHeight, holder->width(),
                             std::max(0, holder->height() - titleHeight));
    }
    ScrollBarCenter->setGeometry(0, titleHeight, centreWidth,
                                 std::max(0, panelCenter->height() - titleHeight));

    panelBottom->setGeometry(0, height() - bottomHeight, width(), bottomHeight);
    PaintLegenda->setGeometry(0, 0, width(), 39);
    const int groupTop = 42;
    const int groupHeight = bottomHeight - groupTop - 4;
    const int buttonLeft = panelBottom->width() - 95 - 8;
    stampaBut->move(buttonLeft, groupTop + 4);
    sintesiBut->move(buttonLeft, groupTop + 45);
    CancelBtn->move(buttonLeft, groupTop + 86);
    GroupBox1->setGeometry(4, groupTop, int(width() * 0.4), groupHeight);
    Memo2->setGeometry(8, 20, GroupBox1->width() - 16, groupHeight - 28);
    const int secondLeft = GroupBox1->geometry().right() + 6;
    GroupBox2->setGeometry(secondLeft, groupTop, std::max(220, buttonLeft - 8 - secondLeft),
                           groupHeight);
    LabelTempo->setGeometry(90, 64, GroupBox2->width() - 100, 16);
    Memo1->setGeometry(10, 82, GroupBox2->width() - 20, groupHeight - 90);
}

bool Trisultati::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PaintCanvas2 && event->type() == QEvent::Resize)
        canvasResized();
    return QDialog::eventFilter(watched, event);
}

void Trisultati::canvasResized()
{
    if (runLoaded())
        refreshViews();
}

// ---------------------------------------------------------------------------
// Runs

bool Trisultati::loadRun(const QString& runIdentifier)
{
    const RunIdentifier id = RunIdentifier::fromStored(runIdentifier);
    const QStringList lines = ResultsArchive::in(context.dataRoot).readRun(id);
    if (lines.isEmpty()) {
        showMessage(QStringLiteral("L'esercizio ") + id.runName()
                    + QStringLiteral(" svolto da ") + id.pupil()
                    + QString::fromUtf8(" non è più nell'archivio."));
        return false;
    }
    PaintCanvas1->setText(nullptr);
    PaintCanvas2->setText(nullptr);
    assignedText.reset();
    doneText.reset();
    Memo1->clear();
    Memo2->clear();
    LabelTempo->clear();
    run = splitRunSections(lines);
    identifier = runIdentifier;
    Memo2->setPlainText(run.infoLines.join(QLatin1Char('\n')));
    Memo2->moveCursor(QTextCursor::Start);

    steps = run.stepCount();
    {
        const QSignalBlocker blocker(ComboPassi);
        ComboPassi->clear();
        QStringList items;
        items.reserve(steps + 1);
        for (int i = 1; i <= steps; ++i)
            items << QString::number(i);
        items << finalItem;
        ComboPassi->addItems(items);
        ComboPassi->setCurrentIndex(steps);
    }
    Tparametri params;
    params.mode = fromResults;
    params.source = run.textLines;
    assignedText = std::make_unique<Tevidenziatore>(params);
    doneText = std::make_unique<Tevidenziatore>(params);
    PaintCanvas1->setText(assignedText.get());
    PaintCanvas2->setText(doneText.get());
    selectStep(steps);
    return true;
}

void Trisultati::replayTo(Tevidenziatore& text, int item) const
{
    replayHistory(text, run, item);
}

int Trisultati::selectedStep() const
{
    return ComboPassi->currentIndex();
}

void Trisultati::selectStep(int item)
{
    if (!runLoaded() || item < 0 || item > steps)
        return;
    replayTo(*doneText, item);
    if (item < steps) {
        const int entry = run.entryOfStep(item);
        Memo1->setPlainText(run.historyThird.value(entry));
        LabelTempo->setText(QStringLiteral("tempo di risposta: ")
                            + answerTimeText(answerTimeMs(run.historyTime.value(entry))));
    } else {
        Memo1->clear();
        LabelTempo->setText(QStringLiteral("tempo totale: ")
                            + answerTimeText(answerTimes(run).knownTotal()));
    }
    Buttonpiu->setEnabled(item < steps);
    Buttonmeno->setEnabled(item > 0);
    refreshViews();
}

void Trisultati::layoutTexts()
{
    // Both texts at the width of the pupil's, so that their lines correspond
    // and one scroll bar serves both. The layout does not depend on the
    // levels: the texts keep it until the width changes.
    const int width = PaintCanvas2->layoutWidth();
    PaintCanvas1->layout(width);
    textHeight = PaintCanvas2->layout(width);
}

void Trisultati::refreshViews()
{
    if (!runLoaded())
        return;
    const int s = selectedStep();
    const bool final = s >= steps || s < 0;
    const int r = final ? steps - 1 : s;
    doneText->currentSentence = -1;
    doneText->currentImportance = nonImportante;
    int seen = 0;
    for (int i = 0; i < run.historyFirst.size() && r >= 0; ++i) {
        if (!isStep(run.historyFirst.at(i)) || seen++ != r)
            continue;
        bool ok = false;
        const int sentence = run.historyFirst.at(i).toInt(&ok);
        if (ok && sentence >= 0 && sentence < doneText->sentenceCount) {
            doneText->currentSentence = sentence;
            const ImportanceLevel level = levelOfAnswerCode(run.historySecond.value(i));
            doneText->currentImportance = level == daDeterminare ? nonImportante : level;
        }
        break;
    }
    showingStep = !final;

    layoutTexts();
    int position = ScrollBarCenter->value();
    if (!final && doneText->currentSentence >= 0)
        position = PaintCanvas2->positionShowing(doneText->currentSentence, position);
    else if (final)
        position = 0;
    PaintCanvas1->setScrollRange(textHeight);
    {
        const QSignalBlocker blocker(ScrollBarCenter);
        ScrollBarCenter->setValue(position);
    }
    drawViews();
}

void Trisultati::drawViews()
{
    if (!runLoaded())
        return;
    PaintCanvas2->setMarkCurrent(showingStep);
    PaintCanvas1->redraw();
    PaintCanvas2->redraw();
}

void Trisultati::ScrollBarCenterScroll(int)
{
    drawViews();
}

void Trisultati::ComboPassiChange(int item)
{
    selectStep(item);
}

void Trisultati::ButtonpiuClick()
{
    if (ComboPassi->currentIndex() < ComboPassi->count() - 1)
        ComboPassi->setCurrentIndex(ComboPassi->currentIndex() + 1);
}

void Trisultati::ButtonmenoClick()
{
    if (ComboPassi->currentIndex() > 0)
        ComboPassi->setCurrentIndex(ComboPassi->currentIndex() - 1);
}

AnswerCounts Trisultati::countAnswers() const
{
    if (!runLoaded())
        return AnswerCounts();
    return countFinalAnswers(*assignedText, doneText->lines, run);
}

// ---------------------------------------------------------------------------
// Commands

void Trisultati::Aprieserciziosvolto1Click()
{
    TscegliRisultatiForm chooser(context, this);
    chooser.setWindowTitle(QStringLiteral("  scegli un esercizio"));
    if (!chooser.hasPupils()) {
        showMessage(QStringLiteral("Non ci sono esercizi svolti"));
        return;
    }
    if (chooser.exec() == QDialog::Accepted)
        loadRun(chooser.chosenIdentifier().text());
}

void Trisultati::Eliminaesercizio1Click()
{
    TscegliRisultatiForm chooser(context, this);
    chooser.setWindowTitle(QStringLiteral("  elimina un esercizio"));
    if (!chooser.hasPupils()) {
        showMessage(QStringLiteral("Non ci sono esercizi da eliminare"));
        return;
    }
    if (chooser.exec() != QDialog::Accepted)
        return;
    const RunIdentifier id = chooser.chosenIdentifier();
    const QString runName = chooser.chosenRunName();
    const QString pupil = chooser.chosenPupil();
    if (askQuestion(QStringLiteral("Attenzione!"),
                    QStringLiteral("Eliminare l'esercizio ") + runName
                        + QStringLiteral(" svolto da ") + pupil + QStringLiteral(" ?"),
                    OkButton | CancelButton, DialogIcon::Warning)
        != OkButton)
        return;
    // The archive may have changed since the list was read (another copy of
    // the program on a shared folder): a run that is gone is said to be gone.
    const ResultsArchive archive = ResultsArchive::in(context.dataRoot);
    if (!archive.holds(id)) {
        showMessage(QStringLiteral("L'esercizio ") + runName + QStringLiteral(" svolto da ") + pupil
                    + QString::fromUtf8(" non è più nell'archivio: non c'è niente da eliminare."));
        return;
    }
    archive.removeRun(id);
}

void Trisultati::Esportacsv1Click()
{
    exportResultsInteractively(context, this);
}

void Trisultati::andamento1Click()
{
    TandamentoForm form(context, runLoaded() ? RunIdentifier::fromStored(identifier).pupil() : QString(),
                        this);
    if (form.progress().pupils.isEmpty()) {
        showMessage(QStringLiteral("Non ci sono esercizi svolti"));
        return;
    }
    if (form.exec() == QDialog::Accepted && !form.chosenIdentifier().isEmpty())
        loadRun(form.chosenIdentifier());
}

void Trisultati::sintesiButClick()
{
    if (!runLoaded()) {
        showMessage(QStringLiteral("Non hai caricato alcun esercizio"));
        return;
    }
    TsintesiForm form(*this, this);
    form.exec();
}

void Trisultati::stampaButClick()
{
    if (!runLoaded()) {
        showMessage(QStringLiteral("Non hai caricato alcun esercizio"));
        return;
    }
    TStampaDlg dialog(*this, this);
    dialog.exec();
}
