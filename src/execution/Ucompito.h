#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class TReadAlong;

// The task of an exercise, read aloud with PlayButton when the opener shows it.
class TFormCompito : public QDialog
{
    Q_OBJECT

public:
    explicit TFormCompito(QWidget* parent = nullptr);

    // Fills MemoCompito; `speech` shows PlayButton.
    void setTask(const QString& task, bool speech);

    QWidget* suggPanel;
    QPlainTextEdit* MemoCompito;
    QWidget* PanelBottom;
    QPushButton* OkButton;
    QPushButton* PlayButton;

    // Reads the caption, then the task text (stops what is being said
    // first), marking each word of the task as it is heard.
    void PlayButtonClick();
    TReadAlong* readingAlong() const { return readAlong; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void wordHeard(int item, int start, int length);
    void clearWordMark();

    TReadAlong* readAlong;
};
