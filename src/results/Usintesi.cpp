#include "results/Usintesi.h"

#include "model/DialogService.h"
#include "results/Urisult.h"
#include "results/Ustampa.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>

QStringList answerTimeLines(const StoredRun& run)
{
    const AnswerTimes times = answerTimes(run);
    QStringList lines{QStringLiteral("tempo totale: ") + answerTimeText(times.knownTotal())};
    static const char* const levels[] = {"non importante", "importante", "molto importante"};
    for (int level = 1; level <= 3; ++level)
        lines << QStringLiteral("tempo medio delle risposte \"%1\": ").arg(QLatin1String(levels[level - 1]))
                     + answerTimeText(times.levelMean(level));
    return lines;
}

void TSintesiSurface::paintEvent(QPaintEvent*)
{
    if (!table)
        return;
    QPainter painter(this);
    painter.setFont(font());
    table->setCanvas(&painter);
    table->paint();
    table->setCanvas(nullptr);
}

TsintesiForm::TsintesiForm(Trisultati& resultsWindow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      results(resultsWindow)
{
    setUpResultsDialog(*this, "TsintesiForm", QStringLiteral(" risultati in sintesi"), {546, 543});

    GroupBox1 = new QGroupBox(QStringLiteral(" tabella riassuntiva "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(4, 4, 440, 445);
    paintSintesi = new TSintesiSurface(GroupBox1);
    paintSintesi->setObjectName(QStringLiteral("paintSintesi"));
    paintSintesi->setGeometry(2, 15, 436, 428);
    QFont arial(QStringLiteral("Arial"));
    arial.setBold(true);
    arial.setPixelSize(13);
    paintSintesi->setFont(arial);
    GroupBox2 = new QGroupBox(QStringLiteral(" tempi di risposta "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(4, 453, 538, 86);
    LabelTempi = new QLabel(GroupBox2);
    LabelTempi->setObjectName(QStringLiteral("LabelTempi"));
    LabelTempi->setGeometry(10, 18, 518, 64);
    LabelTempi->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelTempi->setText(answerTimeLines(results.storedRun()).join(QLatin1Char('\n')));
    stampaBut = new QPushButton(QStringLiteral("&stampa"), this);
    stampaBut->setObjectName(QStringLiteral("stampaBut"));
    stampaBut->setGeometry(456, 24, 77, 41);
    CancelBtn = new QPushButton(QStringLiteral("&Esci"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(456, 76, 77, 41);

    const int w = paintSintesi->width();
    screenGeometry.left = 15;
    screenGeometry.top = 10;
    screenGeometry.width = screenGeometry.height = w - 30;
    screenGeometry.titleColumnWidth = screenGeometry.titleRowHeight = 25;
    screenGeometry.labelColumnWidth = screenGeometry.labelRowHeight = 30;
    screenGeometry.cellWidth = screenGeometry.cellHeight = (w - 30 - 55) / 3;
    screenGeometry.lineColour = Qt::black;
    screenGeometry.backColour = palette().color(QPalette::Button);
    screenGeometry.forPrinter = false;
    screenTable = std::make_unique<TTabella>(nullptr, results.countAnswers(), screenGeometry);
    paintSintesi->table = screenTable.get();

    connect(stampaBut, &QPushButton::clicked, this, &TsintesiForm::stampaButClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TsintesiForm::~TsintesiForm()
{
    paintSintesi->table = nullptr;
}

TableGeometry TsintesiForm::printerGeometry(int pw)
{
    TableGeometry g;
    g.left = g.top = pw / 30;
    g.width = g.height = pw - 2 * (pw / 30);
    g.titleColumnWidth = g.titleRowHeight = pw / 18;
    g.labelColumnWidth = g.labelRowHeight = pw / 15;
    g.cellWidth = g.cellHeight = (g.width - pw / 18 - pw / 15) / 3;
    g.lineColour = Qt::black;
    g.backColour = Qt::white;
    g.forPrinter = true;
    return g;
}

void TsintesiForm::stampaButClick()
{
    printWithDialog([this](QPrinter& printer, QPainter& painter) {
        // The geometry is worked out from the page of the printer chosen, so
        // it is never used unset.
        TTabella table(&painter, results.countAnswers(), printerGeometry(printer.width()));
        table.paint();
        table.printInfoLines(results.infoLines() + answerTimeLines(results.storedRun()));
    });
}
