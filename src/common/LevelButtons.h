#pragma once

#include "model/Uevidenz.h"

#include <QPixmap>
#include <QWidget>
#include <array>

class QAbstractButton;
class QPushButton;

// A button's picture, at its own size where the button leaves room for it
// and smaller (in its proportions) in a narrower button.
void setFittedGlyph(QAbstractButton* button, const QPixmap& glyph);

// The three level buttons of a window side by side, "non importante",
// "importante" and "molto importante" (nonImportanteBut, importanteBut,
// moltoImportanteBut): the outer two a third of the width each, the middle one
// the rest, all as high as the row. Each shows its level's picture, and its
// focus picture while it is the focused control of its window (also while a
// dialog of the window is in front).
class TLevelButtons : public QWidget
{
    Q_OBJECT
public:
    explicit TLevelButtons(QWidget* parent = nullptr);
    ~TLevelButtons() override;

    // Loads the six pictures ("immagini/nonBu1.bmp" ... "immagini/moltoBu2.bmp")
    // from `programFolder`. Empty when all are there; otherwise the first one
    // that is missing or unreadable, relative to the folder.
    QString loadPictures(const QString& programFolder);
    // The picture of a level (1 to 3) at rest or with the focus.
    const QPixmap& picture(ImportanceLevel level, bool focused) const;

    QPushButton* button(ImportanceLevel level) const;
    // The level of one of the three buttons; daDeterminare for any other object.
    ImportanceLevel levelOf(const QObject* object) const;

    // The focus moves round the three buttons, to the right or the left; from
    // elsewhere it goes to the right-hand or the left-hand one.
    void focusNext(bool right, Qt::FocusReason reason);
    void focusButton(QPushButton* button, Qt::FocusReason reason);
    // Each button shows the picture of its focus state.
    void refreshGlyphs();

    QPushButton* nonImportanteBut;
    QPushButton* importanteBut;
    QPushButton* moltoImportanteBut;

signals:
    void clicked(QPushButton* button);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QPushButton*, 3> all() const { return {nonImportanteBut, importanteBut, moltoImportanteBut}; }

    // Rest and focus picture of each level: nonBu1, nonBu2, impBu1, impBu2, moltoBu1, moltoBu2.
    std::array<QPixmap, 6> pictures;
};
