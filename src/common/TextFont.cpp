#include "common/TextFont.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"

#include <QFontInfo>
#include <algorithm>

const QString textFontFamily = QStringLiteral("Times New Roman");

QFont textFontAt(int pointSize)
{
    QFont font(textFontFamily);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

QFont fontInUse(const QFont& font)
{
    const QFontInfo info(font);
    QFont used(info.family());
    used.setStyleName(info.styleName());
    used.setPointSize(std::clamp(info.pointSize(), 1, maxTextFontSize));
    used.setWeight(QFont::Weight(info.weight()));
    used.setItalic(info.italic());
    used.setUnderline(font.underline());
    used.setStrikeOut(font.strikeOut());
    return used;
}

namespace {

bool sameLook(const QFont& a, const QFont& b)
{
    return QFontInfo(a).family() == QFontInfo(b).family() && a.pointSize() == b.pointSize()
           && a.weight() == b.weight() && a.italic() == b.italic()
           && a.underline() == b.underline() && a.strikeOut() == b.strikeOut();
}

} // namespace

bool chooseTextFont(QFont& font)
{
    const QFont preset = fontInUse(font);
    QFont chosen = preset;
    if (!dialogs().chooseFont(chosen, QStringLiteral("Scelta del font"), maxTextFontSize))
        return false;
    if (sameLook(chosen, preset))
        return false;
    // Whatever a dialog lets through, the text stays within the sizes offered.
    if (chosen.pixelSize() > 0)
        chosen.setPixelSize(std::min(chosen.pixelSize(), maxTextFontSize * 4 / 3));
    else if (chosen.pointSizeF() > maxTextFontSize)
        chosen.setPointSize(maxTextFontSize);
    copyFont(chosen, font);
    return true;
}
