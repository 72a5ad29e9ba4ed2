#include "common/systemcolors.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace SystemColors {

QColor color(Index index)
{
#ifdef Q_OS_WIN
    const COLORREF value = GetSysColor(index);
    return QColor(GetRValue(value), GetGValue(value), GetBValue(value));
#else
    switch (index) {
    case ActiveCaption:
        return QColor(10, 36, 106);
    case CaptionText:
        return QColor(255, 255, 255);
    case InactiveCaptionText:
        return QColor(212, 208, 200);
    case InfoText:
        return QColor(0, 0, 0);
    }
    return QColor(Qt::black);
#endif
}

} // namespace SystemColors
