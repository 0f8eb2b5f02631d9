#pragma once

#include "model/Uevidenz.h"

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QGroupBox;
class QLabel;
class TmemoControllato;
class QPushButton;
class QRadioButton;

// The sentence dialog: the text and the level of a sentence that replaces
// the current one or is inserted beside it. OK is taken only for a text that
// is not blank and holds no reserved character and no character that cannot
// be stored. A pasted text has such characters replaced by their nearest
// equivalents, and is told so.
class TeditFrase : public QDialog
{
    Q_OBJECT
public:
    explicit TeditFrase(QWidget* parent = nullptr);

    // Selects the choice of levels 1, 2 and 3; any other level leaves the
    // selection as it is.
    void setLevel(ImportanceLevel level);
    // The text area takes exactly these lines, all selected, the caret at the start.
    void setText(const QStringList& lines);
    int choiceIndex() const;
    ImportanceLevel chosenLevel() const;
    QStringList textLines() const;

    void Image1Click() { selectChoice(0); }
    void Image2Click() { selectChoice(1); }
    void Image3Click() { selectChoice(2); }
    void OKBtnClick();

    QLabel* Label1;
    TmemoControllato* memoFrase;
    QGroupBox* radioImportanze;
    QWidget* Panel1;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* Image3;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRadioButton* radioAt(int index) const;
    void selectChoice(int index);
    QButtonGroup* choices;
};

// The picture of a level as the sentence dialog shows it: a rounded box with
// the level's words, in the level's colours.
QPixmap levelPicture(ImportanceLevel level, const QFont& font);
