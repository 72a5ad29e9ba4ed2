#include "common/common.h"

namespace Common {

QString CollapseAmpersands(const QString& text)
{
    QString collapsed = text;
    return collapsed.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QString RemoveSpaces(const QString& text)
{
    QString removed = text;
    removed.remove(u' ');
    removed.remove(QChar(0x3000)); // ideographic space
    return removed;
}

} // namespace Common
