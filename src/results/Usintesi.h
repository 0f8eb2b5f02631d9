#pragma once

#include "common/Utabella.h"

#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
struct StoredRun;
class Trisultati;

// The surface the summary table is painted on.
class TSintesiSurface : public QWidget
{
    Q_OBJECT
public:
    explicit TSintesiSurface(QWidget* parent = nullptr) : QWidget(parent) {}
    TTabella* table = nullptr;   // not owned

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The lines that sum up the times of a run's answers: the total, and the
// mean time of the answers given each level ("-" where there is none).
QStringList answerTimeLines(const StoredRun& run);

// The summary of the run loaded in the results window: the table of expected
// against given levels and the times of the answers, on screen and printed
// with the run's information.
class TsintesiForm : public QDialog
{
    Q_OBJECT
public:
    TsintesiForm(Trisultati& results, QWidget* parent = nullptr);
    ~TsintesiForm() override;

    // The geometry of the printed table for a page `pageWidth` units wide.
    static TableGeometry printerGeometry(int pageWidth);

    QGroupBox* GroupBox1;
    TSintesiSurface* paintSintesi;
    QGroupBox* GroupBox2;
    QLabel* LabelTempi;
    QPushButton* stampaBut;
    QPushButton* CancelBtn;

    void stampaButClick();

private:
    Trisultati& results;
    TableGeometry screenGeometry;
    std::unique_ptr<TTabella> screenTable;
};
