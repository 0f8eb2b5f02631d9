#pragma once

#include <QFont>
#include <QString>

// The family every window draws its texts in. Here it is a name that
// fontconfig resolves to an installed face (Liberation Serif, from
// fonts-liberation), so the face actually used is asked of QFontInfo.
extern const QString textFontFamily;

// The largest size, in points, that the text font can be given.
constexpr int maxTextFontSize = 48;

// The text font at `pointSize`: textFontFamily, regular.
QFont textFontAt(int pointSize);

// The font that `font` is drawn in: the family it resolves to, its size
// (no larger than maxTextFontSize) and its style.
QFont fontInUse(const QFont& font);

// "Scelta del font" for a text drawn in `font`, through the dialog service:
// the dialog opens on fontInUse(font) and offers sizes up to maxTextFontSize.
// True, with `font` changed to the chosen family, size and style, when
// another font was chosen; false when the dialog was cancelled or closed with
// the font it opened on, which leaves `font` exactly as it was.
bool chooseTextFont(QFont& font);
