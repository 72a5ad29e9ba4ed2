#pragma once

#include <QFont>

namespace JapaneseFont {

// "ＭＳ ゴシック" at `pointSize`; where the face is missing, Qt substitutes an
// installed fixed-pitch Japanese face.
QFont gothic(int pointSize);

// The same, for texts that are the program's own (captions, digits), never an
// operator's: where the face is one of the Japanese faces looked for, it has every
// character of them, and Qt merges no fallback face in. A merging font loads its
// face again for each script of its text (kanji, katakana), at every size.
QFont gothicForOwnTexts(int pointSize);

} // namespace JapaneseFont
