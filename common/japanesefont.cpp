#include "common/japanesefont.h"

#include "common/const.h"

#include <QFontInfo>
#include <QStringList>

namespace JapaneseFont {

QFont gothic(int pointSize)
{
    // Looked up once: trying the face and its substitutes again for every size and
    // script costs a tenth of the start-up.
    static const QString family = [] {
        const QString designed = QString::fromUtf8(Const::FontFamily);
        QFont::insertSubstitutions(designed, {
                                                 QStringLiteral("MS Gothic"),
                                                 QStringLiteral("IPAGothic"),
                                                 QStringLiteral("IPAexGothic"),
                                                 QStringLiteral("Noto Sans Mono CJK JP"),
                                                 QStringLiteral("VL Gothic"),
                                                 QStringLiteral("TakaoGothic"),
                                             });
        QFont font(designed);
        font.setStyleHint(QFont::Monospace);
        return QFontInfo(font).family();
    }();
    QFont font(family, pointSize, QFont::Normal);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace JapaneseFont
