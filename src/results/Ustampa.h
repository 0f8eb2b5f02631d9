#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPrinter;
class QPushButton;
class QRadioButton;
class SpinButton;
class Trisultati;

// A print job: the print dialog, then `draw` on the chosen printer, then
// "Stampa effettuata". A cancelled dialog prints nothing; a printer that cannot
// start or finish is reported.
void printWithDialog(const std::function<void(QPrinter&, QPainter&)>& draw);

// The frame of the archive's small dialogs: name, caption, fixed client size,
// modal, bold font.
void setUpResultsDialog(QDialog& dialog, const char* name, const QString& caption, QSize size);

// Prints the assigned text or the exercise as done, of the run loaded in the
// results window, as plain text: information, legend and the sentences with
// their levels shown by the type style.
class TStampaDlg : public QDialog
{
    Q_OBJECT
public:
    TStampaDlg(Trisultati& results, QWidget* parent = nullptr);

    // The information lines broken at spaces for `pageWidth` (each input line
    // starts a new line; a word wider than the page keeps a line of its own).
    QStringList breakInfoLines(const QStringList& lines, int pageWidth,
                               const QFontMetrics& metrics) const;
    // The lines printed for the assigned text: from the exercise name up to
    // the line before the date.
    static QStringList assignedInfoLines(const QStringList& brokenLines);

    QGroupBox* RadioStampa;
    QRadioButton* testoAssegnatoRadio;
    QRadioButton* esercizioSvoltoRadio;
    QLabel* Label1;
    QLineEdit* EditFont;
    SpinButton* SpinFont;
    QPushButton* stampaBut;
    QPushButton* CancelBtn;

    void SpinFontUpClick();
    void SpinFontDownClick();
    void stampaButClick();

private:
    void printDocument(QPrinter& printer, QPainter& painter);
    int blockLineHeight(QPainter& painter) const;
    void printLine(QPrinter& printer, QPainter& painter, const QString& text, int h);

    Trisultati& results;
    // Printer measures, in the units of a 600-dpi printer, scaled to the
    // printer in use when printing.
    int leftMargin = 60;
    int printPosition = 60;
    int lineGap = 30;
    int topMargin = 60;
};
