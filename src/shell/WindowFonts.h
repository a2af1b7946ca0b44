#pragma once

#include <QFont>
#include <QString>

class QWidget;

// Which face draws the windows' fonts, and how high their text is.
//
// Wine's "MS Sans Serif" is a bitmap face: it is right only at its one size,
// 8 points drawn 13 pixels high on a screen of 96 pixels per inch and device
// pixel ratio 1. At any other point size, font resolution or device ratio a
// font stored as "MS Sans Serif" is drawn with the outline Tahoma (Cyrillic,
// bold, the same family feel), which grows with the scaling.
namespace WindowFonts {

inline const QString BitmapFamily = QStringLiteral("MS Sans Serif");
inline const QString OutlineFamily = QStringLiteral("Tahoma");

// True when the bitmap face is exact on every screen: 8 points come to 11
// pixels and no screen has a device pixel ratio other than 1.
bool bitmapFaceExact();

// The face a stored font is drawn with: `stored` itself, or the same font on
// the outline face when it names "MS Sans Serif" where the bitmap is not exact.
QFont faceFor(const QFont& stored);

// Puts every font that `widget` and its children store explicitly on the
// face it is drawn with (see faceFor). Fonts that are merely inherited follow
// their parent.
void mapStoredFonts(QWidget* widget);

// The text height of a font as the windows' scaling rule reads it: the
// height of "0", that is the face's cell height (ascent plus descent from the
// face's own screen metrics) at the font's pixel size. A bitmap face gives
// the height of its strike.
int textHeight(const QFont& font);

} // namespace WindowFonts
