#pragma once

#include <QLatin1String>

#include <cstdint>

// Values shared by the windows and the form support library.
namespace Const {

// Message-box styles and results, with the standard values the callers rely on.
constexpr std::int32_t MB_OK = 0;
constexpr std::int32_t MB_YESNO = 4;
constexpr std::int32_t MB_ICONQUESTION = 0x20;
constexpr std::int32_t MB_ICONEXCLAMATION = 0x30;
constexpr std::int32_t MB_DEFBUTTON2 = 0x100;
constexpr std::int16_t IDYES = 6;
constexpr std::int16_t IDNO = 7;

// Settings file.
constexpr QLatin1String IniFileName("Rindell.ini");
constexpr QLatin1String JournalFileName("Rindell.log");
constexpr QLatin1String SectionCondition("Condition");
constexpr QLatin1String KeyRange("Range");
constexpr QLatin1String SectionResult("Result");
constexpr int IniValueBufferSize = 2048;
constexpr int IniSectionBufferSize = 32767;

// What the operator is told when the journal takes no change.
inline constexpr char16_t JournalUnusable[] =
    u"抽選記録ファイルを開けません。抽選記録ファイルを確認して下さい。";

// The largest number of digits of a range bound.
constexpr std::int16_t RangeDigits = 3;

// Every font of the program: the fixed-pitch Japanese Gothic face, 12 pt unless
// a control has a size of its own.
constexpr const char* FontFamily = "ＭＳ ゴシック";
constexpr int WindowFontPoints = 12;

} // namespace Const
