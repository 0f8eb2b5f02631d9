#include "results/Ustampa.h"

#include "common/SpinButton.h"
#include "model/DialogService.h"
#include "model/Token.h"
#include "results/Urisult.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

namespace {

constexpr int designMargin = 60;
constexpr int designGap = 30;
constexpr int designDpi = 600;

void printStyle(QPainter& painter, ImportanceLevel level)
{
    if (level == daDeterminare)
        return;   // the style of the sentence before stays
    QFont font = painter.font();
    font.setBold(level == moltoImportante);
    font.setUnderline(level == importante);
    painter.setFont(font);
}

void setRegular(QPainter& painter)
{
    printStyle(painter, nonImportante);
}

} // namespace

void printWithDialog(const std::function<void(QPrinter&, QPainter&)>& draw)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!dialogs().setupPrinter(printer, QStringLiteral("Stampa")))
        return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        showMessage(QString::fromUtf8("Non è stato possibile avviare la stampa."));
        return;
    }
    draw(printer, painter);
    if (!painter.end()) {
        showMessage(QString::fromUtf8("La stampa non è stata completata."));
        return;
    }
    showMessage(QStringLiteral("Stampa effettuata"));
}

void setUpResultsDialog(QDialog& dialog, const char* name, const QString& caption, QSize size)
{
    dialog.setObjectName(QLatin1String(name));
    dialog.setWindowTitle(caption);
    dialog.setModal(true);
    dialog.setFixedSize(size);
    QFont bold = dialog.font();
    bold.setBold(true);
    dialog.setFont(bold);
}

TStampaDlg::TStampaDlg(Trisultati& resultsWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      results(resultsWindow)
{
    setUpResultsDialog(*this, "TStampaDlg", QStringLiteral(" Stampa il testo"), {374, 128});

    RadioStampa = new QGroupBox(QStringLiteral(" Quale testo vuoi stampare? "), this);
    RadioStampa->setObjectName(QStringLiteral("RadioStampa"));
    RadioStampa->setGeometry(8, 6, 200, 80);
    testoAssegnatoRadio = new QRadioButton(QStringLiteral(" testo assegnato"), RadioStampa);
    testoAssegnatoRadio->setObjectName(QStringLiteral("testoAssegnatoRadio"));
    testoAssegnatoRadio->setGeometry(10, 24, 180, 22);
    testoAssegnatoRadio->setChecked(true);
    esercizioSvoltoRadio = new QRadioButton(QStringLiteral(" esercizio svolto"), RadioStampa);
    esercizioSvoltoRadio->setObjectName(QStringLiteral("esercizioSvoltoRadio"));
    esercizioSvoltoRadio->setGeometry(10, 50, 180, 22);

    Label1 = new QLabel(QStringLiteral("Dimensione font"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(220, 10, 140, 18);
    EditFont = new QLineEdit(this);
    EditFont->setObjectName(QStringLiteral("EditFont"));
    EditFont->setReadOnly(true);
    EditFont->setMaxLength(2);
    EditFont->setGeometry(220, 30, 40, 25);
    EditFont->setText(QString::number(results.printFont.pointSize()));
    SpinFont = new SpinButton(this);
    SpinFont->setObjectName(QStringLiteral("SpinFont"));
    SpinFont->setGeometry(262, 30, 18, 25);

    stampaBut = new QPushButton(QStringLiteral("&stampa"), this);
    stampaBut->setObjectName(QStringLiteral("stampaBut"));
    stampaBut->setGeometry(190, 92, 82, 30);
    CancelBtn = new QPushButton(QStringLiteral("&Esci"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(282, 92, 82, 30);

    connect(SpinFont, &SpinButton::upClicked, this, &TStampaDlg::SpinFontUpClick);
    connect(SpinFont, &SpinButton::downClicked, this, &TStampaDlg::SpinFontDownClick);
    connect(stampaBut, &QPushButton::clicked, this, &TStampaDlg::stampaButClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TStampaDlg::SpinFontUpClick()
{
    const int size = results.printFont.pointSize();
    if (size >= 24)
        return;
    results.printFont.setPointSize(size + 1);
    EditFont->setText(QString::number(size + 1));
}

void TStampaDlg::SpinFontDownClick()
{
    const int size = results.printFont.pointSize();
    if (size <= 8)
        return;
    results.printFont.setPointSize(size - 1);
    EditFont->setText(QString::number(size - 1));
}

QStringList TStampaDlg::breakInfoLines(const QStringList& lines, int pageWidth,
                                       const QFontMetrics& metrics) const
{
    QStringList out;
    TTokenizer words(QLatin1Char(' '), QString());
    for (const QString& line : lines) {
        words.setText(line);
        QString current;
        while (words.hasMoreTokens()) {
            const QString word = words.nextToken();
            const QString candidate =
                current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(candidate) + 2 * leftMargin < pageWidth) {
                current = candidate;
            } else {
                if (!current.isEmpty())
                    out << current;
                current = word;
            }
        }
        if (!current.isEmpty())
            out << current;
    }
    return out;
}

QStringList TStampaDlg::assignedInfoLines(const QStringList& brokenLines)
{
    QStringList kept;
    bool keep = false;
    for (const QString& line : brokenLines) {
        if (line.contains(QLatin1String("NOME ESERCIZIO=")))
            keep = true;
        else if (line.contains(QLatin1String("DATA=")))
            keep = false;
        if (keep)
            kept << line;
    }
    return kept;
}

int TStampaDlg::blockLineHeight(QPainter& painter) const
{
    painter.setFont(results.printFont);
    painter.setPen(Qt::black);
    return painter.fontMetrics().height() + lineGap;
}

void TStampaDlg::printLine(QPrinter& printer, QPainter& painter, const QString& text, int h)
{
    if (printer.height() < printPosition + h) {
        printer.newPage();
        printPosition = topMargin;
    }
    painter.drawText(leftMargin, printPosition + painter.fontMetrics().ascent(), text);
    printPosition += h;
}

void TStampaDlg::stampaButClick()
{
    printWithDialog([this](QPrinter& printer, QPainter& painter) { printDocument(printer, painter); });
}

void TStampaDlg::printDocument(QPrinter& printer, QPainter& painter)
{
    // The measures are those of a 600-dpi page, whatever the printer's resolution.
    const double scale = double(printer.resolution()) / designDpi;
    leftMargin = int(std::lround(designMargin * scale));
    topMargin = leftMargin;
    lineGap = int(std::lround(designGap * scale));
    printPosition = topMargin;

    const bool done = esercizioSvoltoRadio->isChecked();
    Tevidenziatore* doneText = results.doneTextModel();
    Tevidenziatore* source = done ? doneText : results.assignedTextModel();
    const int shown = results.selectedStep();
    if (done)
        results.replayTo(*doneText, results.stepCount());
    Tparametri params;
    params.mode = copyOf;
    params.source = source->lines;
    Tevidenziatore copy(params);
    if (done)
        results.replayTo(*doneText, shown);   // the window goes on showing its step

    const int pageWidth = printer.width();
    copy.leftMargin = leftMargin;
    painter.setFont(results.printFont);
    painter.setPen(Qt::black);
    copy.layoutStyled(pageWidth, painter);

    // Information
    int h = blockLineHeight(painter);
    QStringList info = breakInfoLines(results.infoLines(), pageWidth, painter.fontMetrics());
    if (!done)
        info = assignedInfoLines(info);
    printStyle(painter, moltoImportante);
    printLine(printer, painter, QStringLiteral("[INFORMAZIONI]"), h);
    setRegular(painter);
    for (const QString& line : std::as_const(info))
        printLine(printer, painter, line, h);

    // Legend
    h = blockLineHeight(painter);
    printPosition += h;
    printStyle(painter, moltoImportante);
    printLine(printer, painter, QStringLiteral("[LEGENDA]"), h);
    setRegular(painter);
    printLine(printer, painter, QStringLiteral("testo normale --> non importante"), h);
    printStyle(painter, importante);
    printLine(printer, painter, QStringLiteral("testo sottolineato --> importante"), h);
    printStyle(painter, moltoImportante);
    printLine(printer, painter, QStringLiteral("testo grassetto --> molto importante"), h);
    setRegular(painter);

    // Exercise
    h = blockLineHeight(painter);
    printPosition += h;
    printStyle(painter, moltoImportante);
    printLine(printer, painter, QStringLiteral("[ESERCIZIO]"), h);
    setRegular(painter);
    for (const QString& line : std::as_const(copy.lines)) {
        if (line.contains(QLatin1Char('~')))
            printStyle(painter, Tevidenziatore::parseTag(line));
        else
            printLine(printer, painter, line, h);
    }
    setRegular(painter);
}
