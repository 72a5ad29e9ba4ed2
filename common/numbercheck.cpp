#include "common/common.h"

#include <algorithm>

namespace Common {

bool CheckNumberInput(const QString& value, std::int16_t maxDigits, const QString& itemName,
                      const QString& title)
{
    if (value.isEmpty())
        return true;
    if (!IsAllDigits(value)) {
        ShowWarning(itemName + QStringLiteral("には、0～9の数字を入力して下さい。"), title);
        return false;
    }
    if (value.size() > maxDigits) {
        ShowWarning(itemName + QStringLiteral("には、") + QString::number(maxDigits) +
                        QStringLiteral("桁以内で入力して下さい。"),
                    title);
        return false;
    }
    return true;
}

bool IsAllDigits(const QString& text)
{
    // Every non-empty string of ASCII digits reads as a number, so the
    // numeric-text test reduces to the character test.
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

double leadingNumber(const QString& text)
{
    QString number;
    bool digits = false;
    bool point = false;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if ((c == u'+' || c == u'-') && number.isEmpty()) {
            number += c;
        } else if (c >= u'0' && c <= u'9') {
            number += c;
            digits = true;
        } else if (c == u'.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    return digits ? number.toDouble() : 0.0;
}

} // namespace Common
