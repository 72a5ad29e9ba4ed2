#include "common/japanesefont.h"

#include "common/const.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace JapaneseFont {

QFont gothic(int pointSize)
{
    // Looked up once: trying the face and its substitutes again for every size and
    // script costs a tenth of the start-up.
    static const QString family = [] {
        const QString designed = QString::fromUtf8(Const::FontFamily);
        // Faces whose zero has no slash first: "000" on the reels must not read
        // as "ØØØ" from the back of a hall (IPAGothic, VL Gothic and TakaoGothic
        // slash it).
        const QStringList substitutes = {
            QStringLiteral("MS Gothic"),
            QStringLiteral("MotoyaLCedar"),
            QStringLiteral("IPAGothic"),
            QStringLiteral("IPAexGothic"),
            QStringLiteral("VL Gothic"),
            QStringLiteral("TakaoGothic"),
            QStringLiteral("Noto Sans Mono CJK JP"),
        };
        QFont::insertSubstitutions(designed, substitutes);
        // The first that is installed, found in the font list without loading a
        // face (matching a font would load one at a size no control uses), and
        // by its listed name before any alias: resolving an alias asks fontconfig
        // again for every missing name, a fifth of the start-up.
        QStringList candidates{designed};
        candidates += substitutes;
        const QStringList installed = QFontDatabase::families();
        for (const QString& candidate : candidates)
            if (installed.contains(candidate, Qt::CaseInsensitive))
                return candidate;
        for (const QString& candidate : candidates)
            if (QFontDatabase::hasFamily(candidate))
                return candidate;
        QFont font(designed);
        font.setStyleHint(QFont::Monospace);
        return QFontInfo(font).family();
    }();
    QFont font(family, pointSize, QFont::Normal);
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace JapaneseFont
