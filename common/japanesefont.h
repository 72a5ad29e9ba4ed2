#pragma once

#include <QFont>

namespace JapaneseFont {

// "ＭＳ ゴシック" at `pointSize`; where the face is missing, Qt substitutes an
// installed fixed-pitch Japanese face.
QFont gothic(int pointSize);

} // namespace JapaneseFont
