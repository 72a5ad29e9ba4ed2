#pragma once

#include <QFont>

namespace JapaneseFont {

// "ＭＳ ゴシック" at `pointSize`; where the face is missing, Qt substitutes an
// installed fixed-pitch Japanese face.
QFont gothic(int pointSize);

// The same, for texts that are all the program's own (the main window's captions
// and digits), never a name an operator typed: where the face is one of the
// Japanese faces looked for, it has every character of them, and Qt merges no
// fallback face in. A merging font loads its face again for each script of its
// text (kanji, katakana), at every size.
QFont gothicForOwnTexts(int pointSize);

} // namespace JapaneseFont
