#include "common/japanesefont.h"

#include "common/const.h"

#include <QStringList>

namespace JapaneseFont {

QFont gothic(int pointSize)
{
    const QString family = QString::fromUtf8(Const::FontFamily);
    static const bool substitutesRegistered = [&family] {
        const QStringList substitutes = {
            QStringLiteral("MS Gothic"),   QStringLiteral("IPAGothic"),
            QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
            QStringLiteral("VL Gothic"),   QStringLiteral("TakaoGothic"),
        };
        QFont::insertSubstitutions(family, substitutes);
        return true;
    }();
    Q_UNUSED(substitutesRegistered);

    QFont font(family, pointSize, QFont::Normal);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace JapaneseFont
