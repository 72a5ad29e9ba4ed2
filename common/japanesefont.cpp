#include "common/japanesefont.h"

#include "common/const.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace JapaneseFont {

namespace {

struct Face
{
    QString family;
    bool listed = false; // one of the Japanese faces looked for, not Qt's substitute
};

// Looked up once: trying the face and its substitutes again for every size and
// script costs a tenth of the start-up.
const Face& face()
{
    static const Face found = [] {
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
                return Face{candidate, true};
        for (const QString& candidate : candidates)
            if (QFontDatabase::hasFamily(candidate))
                return Face{candidate, true};
        QFont font(designed);
        font.setStyleHint(QFont::Monospace);
        return Face{QFontInfo(font).family(), false};
    }();
    return found;
}

} // namespace

QFont gothic(int pointSize)
{
    QFont font(face().family, pointSize, QFont::Normal);
    font.setStyleHint(QFont::Monospace);
    return font;
}

QFont gothicForOwnTexts(int pointSize)
{
    QFont font = gothic(pointSize);
    if (face().listed)
        font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

} // namespace JapaneseFont
