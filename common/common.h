#pragma once

#include <QColor>
#include <QMessageBox>
#include <QPalette>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;
class QWidget;

// The form support library shared by all windows. The settings-file procedures
// of this namespace are declared in settings/settings.h.
namespace Common {

// Beep, then a modal warning box with an OK button.
void ShowWarning(const QString& message, const QString& title);
// Hears of every warning ShowWarning shows, before the box opens: how the
// running program's journal notes each failure and refusal the operator is told
// of. One at a time; an empty one ends the observing.
using WarningObserver = std::function<void(const QString& message, const QString& title)>;
void observeWarnings(WarningObserver observer);
// Beep, then a modal Yes/No question, which only its two buttons answer (no
// close box, Esc does nothing); the button pressed.
QMessageBox::StandardButton askYesNo(const QString& message, const QString& title,
                                     QMessageBox::StandardButton defaultButton);
// The same, as the Windows message box answers: 6 for Yes, 7 for No. An
// `extraStyle` of 256 (MB_DEFBUTTON2) makes No the default button.
std::int16_t AskQuestion(const QString& message, const QString& title, std::int32_t extraStyle);
// Every box with no dialog open stands over `window` (the operator's window)
// while it is shown, whichever window is active: never over the audience's.
void setBoxOwner(QWidget* window);

QString CollapseAmpersands(const QString& text);
QString RemoveSpaces(const QString& text);
// The shared hook for a dialog's close request; it never refuses the close.
void HandleFormClose(QWidget* form, bool& cancel, std::int16_t closeReason);

// Enter or Return on a dialog: presses the focused push button, as on Windows,
// and nothing else (no default button); false for any other key.
bool pressFocusedButton(QWidget* dialog, QKeyEvent* event);
// Takes the style's icons off a dialog's standard buttons: plain, as on Windows.
void plainDialogButtons(QWidget* dialog);

// Sets one colour of a widget's palette, keeping the others.
void setPaletteColor(QWidget* widget, QPalette::ColorRole role, const QColor& color);

// Applies the byte input limits and background colours of every control of `form`.
void SetupControls(QWidget* form, std::optional<QColor> backColor = std::nullopt);
// Limits a text or editable combo box to `limit` Shift-JIS bytes; 0 means no limit.
void SetTextLimit(QWidget* control, std::int16_t limit);
// Selects from `start`, `length` characters or, when negative, to the end.
void SelectText(QWidget* control, std::int16_t start, std::int16_t length);
// The leading number of `text`, read leniently: blanks are skipped, reading stops
// at the first character that cannot continue the number, no number gives 0.
double leadingNumber(const QString& text);

bool CheckNumberInput(const QString& value, std::int16_t maxDigits, const QString& itemName,
                      const QString& title);
bool IsAllDigits(const QString& text);

} // namespace Common
