#include "common/LevelButtons.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPushButton>
#include <algorithm>
#include <iterator>

namespace {

const char* const pictureNames[6] = {"nonBu1.bmp", "nonBu2.bmp",   "impBu1.bmp",
                                     "impBu2.bmp", "moltoBu1.bmp", "moltoBu2.bmp"};

} // namespace

void setFittedGlyph(QAbstractButton* button, const QPixmap& glyph)
{
    button->setIcon(glyph);
    const QSize size = glyph.size();
    const QSize room = button->size() - QSize(10, 10);
    button->setIconSize(size.width() <= room.width() && size.height() <= room.height()
                            ? size
                            : size.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio));
}

TLevelButtons::TLevelButtons(QWidget* parent) : QWidget(parent)
{
    const char* const names[] = {"nonImportanteBut", "importanteBut", "moltoImportanteBut"};
    const char* const spoken[] = {"non importante", "importante", "molto importante"};
    QPushButton** const members[] = {&nonImportanteBut, &importanteBut, &moltoImportanteBut};
    for (int i = 0; i < 3; ++i) {
        auto button = new QPushButton(this);
        button->setObjectName(QLatin1String(names[i]));
        button->setAccessibleName(QLatin1String(spoken[i]));
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, button]() { emit clicked(button); });
        *members[i] = button;
    }
    setTabOrder(nonImportanteBut, importanteBut);
    setTabOrder(importanteBut, moltoImportanteBut);
    // The window's own focus decides the pictures, so a focus change anywhere
    // (a dialog of the window opening or closing) is looked at.
    connect(qApp, &QApplication::focusChanged, this, &TLevelButtons::refreshGlyphs);
}

TLevelButtons::~TLevelButtons()
{
    // The buttons go after this object's own part: no focus change may reach it then.
    disconnect(qApp, nullptr, this, nullptr);
    for (QPushButton* b : all())
        b->removeEventFilter(this);
}

QString TLevelButtons::loadPictures(const QString& programFolder)
{
    for (size_t k = 0; k < pictures.size(); ++k) {
        const QString relative = QStringLiteral("immagini/") + QLatin1String(pictureNames[k]);
        const QString path = QDir(programFolder).filePath(relative);
        if (!QFileInfo(path).isFile() || !pictures[k].load(path))
            return relative;
    }
    refreshGlyphs();
    return QString();
}

const QPixmap& TLevelButtons::picture(ImportanceLevel level, bool focused) const
{
    const int base = std::clamp(int(level), 1, 3) - 1;
    return pictures[size_t(base * 2 + (focused ? 1 : 0))];
}

QPushButton* TLevelButtons::button(ImportanceLevel level) const
{
    switch (level) {
    case importante:
        return importanteBut;
    case moltoImportante:
        return moltoImportanteBut;
    default:
        return nonImportanteBut;
    }
}

ImportanceLevel TLevelButtons::levelOf(const QObject* object) const
{
    if (object == nonImportanteBut)
        return nonImportante;
    if (object == importanteBut)
        return importante;
    if (object == moltoImportanteBut)
        return moltoImportante;
    return daDeterminare;
}

void TLevelButtons::focusNext(bool right, Qt::FocusReason reason)
{
    const auto buttons = all();
    const auto at = std::find(buttons.begin(), buttons.end(), window()->focusWidget());
    if (at == buttons.end())
        focusButton(right ? moltoImportanteBut : nonImportanteBut, reason);
    else
        focusButton(buttons[size_t((std::distance(buttons.begin(), at) + (right ? 1 : 2)) % 3)], reason);
}

void TLevelButtons::focusButton(QPushButton* target, Qt::FocusReason reason)
{
    target->setFocus(reason);
    refreshGlyphs();
}

void TLevelButtons::refreshGlyphs()
{
    if (pictures[0].isNull())
        return;
    const QWidget* focused = window()->focusWidget();
    for (QPushButton* b : all())
        setFittedGlyph(b, picture(levelOf(b), b == focused));
}

void TLevelButtons::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int third = width() / 3;
    nonImportanteBut->setGeometry(0, 0, third, height());
    importanteBut->setGeometry(third, 0, width() - 2 * third, height());
    moltoImportanteBut->setGeometry(width() - third, 0, third, height());
    refreshGlyphs();
}

bool TLevelButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        refreshGlyphs();
    return QWidget::eventFilter(watched, event);
}
