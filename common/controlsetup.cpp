#include "common/common.h"
#include "settings/shiftjis.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// QLineEdit's maxLength when none was designed.
constexpr int NoMaxLength = 32767;
// Frames, check boxes and option buttons keep this designed colour.
const QColor LightGrey(192, 192, 192);

// Refuses an edit whose Shift-JIS text would exceed the byte limit, as the
// edit control's own limit does.
class ByteLimitValidator : public QValidator
{
  public:
    ByteLimitValidator(int limit, QObject* parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString& input, int& /*pos*/) const override
    {
        return ShiftJis::byteLength(input) <= m_limit ? Acceptable : Invalid;
    }

  private:
    int m_limit;
};

void applyByteLimit(QLineEdit* edit, std::int16_t limit)
{
    if (dynamic_cast<const ByteLimitValidator*>(edit->validator()))
        delete edit->validator();
    // 0 (and a negative limit, widened to a huge unsigned one) means no limit.
    if (limit > 0)
        edit->setValidator(new ByteLimitValidator(limit, edit));
}

// The controls of a window: its children, and the children of plain containers,
// but not the inner parts of compound widgets (a combo box's edit, a list's viewport).
void collectControls(QWidget* parent, QList<QWidget*>& controls)
{
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        controls.append(widget);
        const QByteArray className = widget->metaObject()->className();
        if (qobject_cast<QGroupBox*>(widget) || className == "QWidget" || className == "QFrame")
            collectControls(widget, controls);
    }
}

std::optional<std::int16_t> comboLimitFromTag(const QComboBox* combo)
{
    const QString tag = combo->property("Tag").toString();
    const QString upper = tag.toUpper();
    const QString atStart = QStringLiteral("MAXLENGTH=");
    const QString anywhere = QStringLiteral(";MAXLENGTH=");
    qsizetype numberAt = -1;
    if (upper.startsWith(atStart))
        numberAt = atStart.size();
    else if (const qsizetype found = upper.indexOf(anywhere); found >= 0)
        numberAt = found + anywhere.size();
    if (numberAt < 0)
        return std::nullopt;
    const double number = std::nearbyint(Common::leadingNumber(tag.mid(numberAt)));
    return static_cast<std::int16_t>(std::clamp(number,
                                                double(std::numeric_limits<std::int16_t>::min()),
                                                double(std::numeric_limits<std::int16_t>::max())));
}

void setBackground(QWidget* widget, const QColor& color)
{
    Common::setPaletteColor(widget, widget->backgroundRole(), color);
}

} // namespace

namespace Common {

void SetupControls(QWidget* form, std::optional<QColor> backColor)
{
    if (backColor)
        setBackground(form, *backColor);
    const QColor formColor = form->palette().color(form->backgroundRole());

    QList<QWidget*> controls;
    collectControls(form, controls);
    for (QWidget* control : controls) {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            const int designed = edit->maxLength();
            SetTextLimit(edit, static_cast<std::int16_t>(designed == NoMaxLength ? 0 : designed));
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            if (const std::optional<std::int16_t> limit = comboLimitFromTag(combo))
                SetTextLimit(combo, *limit);
        } else if (qobject_cast<QGroupBox*>(control) || qobject_cast<QCheckBox*>(control) ||
                   qobject_cast<QRadioButton*>(control) ||
                   control->metaObject()->className() == QByteArray("QFrame")) {
            if (control->palette().color(control->backgroundRole()) != LightGrey)
                setBackground(control, formColor);
        } else if (!qobject_cast<QListWidget*>(control) && !qobject_cast<QLabel*>(control)) {
            setBackground(control, formColor);
        }
    }
}

void SetTextLimit(QWidget* control, std::int16_t limit)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        // The character limit gives way to the byte limit.
        if (edit->maxLength() != NoMaxLength)
            edit->setMaxLength(NoMaxLength);
        applyByteLimit(edit, limit);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->lineEdit())
            applyByteLimit(combo->lineEdit(), limit);
    }
}

void SelectText(QWidget* control, std::int16_t start, std::int16_t length)
{
    QLineEdit* edit = qobject_cast<QLineEdit*>(control);
    if (auto* combo = qobject_cast<QComboBox*>(control))
        edit = combo->lineEdit(); // none for a drop-down list
    if (!edit)
        return;
    edit->setSelection(start, length >= 0 ? length : int(edit->text().size()) - start);
}

void setPaletteColor(QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

bool pressFocusedButton(QWidget* dialog, QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (auto* button = qobject_cast<QPushButton*>(dialog->focusWidget()))
        button->click();
    return true;
}

void plainDialogButtons(QWidget* dialog)
{
    for (const QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
        for (QAbstractButton* button : box->buttons())
            button->setIcon(QIcon());
}

void HandleFormClose(QWidget* /*form*/, bool& /*cancel*/, std::int16_t /*closeReason*/) {}

} // namespace Common
