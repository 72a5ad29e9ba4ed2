// Arbitrary bytes as a settings file: through start-up reading (range, results,
// section parser, Shift-JIS decoding), the selection of a draw, a draw's write and
// the clearing. Aborts when a guarantee breaks; a crash or sanitizer report is a find.
#include "series/selection.h"
#include "series/series.h"
#include "series/storedseries.h"
#include "settings/atomicfile.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString file = QDir::temp().filePath(
        QStringLiteral("rindell-fuzz-%1.ini").arg(QCoreApplication::applicationPid()));
    {
        QFile out(file);
        require(out.open(QIODevice::WriteOnly | QIODevice::Truncate), "temporary file");
        out.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const QString condition = QStringLiteral("Condition");
    const QString rangeKey = QStringLiteral("Range");
    const QString result = QStringLiteral("Result");

    // Start-up reading, as the main window does it.
    const QString range = Common::ReadIniString(condition, rangeKey, QString(), file);
    const auto bounds = Series::parseRange(range);
    const Series::StoredSeries stored = Series::readSeries(Common::ReadIniSection(result, file));
    require(!stored.results.isEmpty(), "results keep their placeholder");
    // The whole read sees at least every number the Windows reading rules show.
    const auto whole = Common::readWholeIniSection(result, file);
    const bool usable = Common::IniSnapshot(file).isUsable();
    require(whole.has_value() == usable, "the whole read agrees on usability");
    const Series::RecordedSeries recorded =
        Series::readRecorded(whole.value_or(QList<std::pair<QString, QString>>()));
    for (const std::int16_t number : stored.stored)
        require(!usable || recorded.numbers.contains(number), "no stored number is hidden");
    if (bounds && Series::isRangeValid(bounds->first, bounds->second)) {
        QList<bool> flags(bounds->second + 1, false);
        Series::flagNumbers(recorded.numbers, flags);
        RandomSource random = RandomSource::seededForTesting(std::uint32_t(size));
        for (int i = 0; i < 3; ++i) {
            const auto drawn = Series::drawUndrawn(flags, bounds->first, bounds->second, random);
            if (!drawn)
                break;
            require(!flags[*drawn], "a draw is a number not drawn yet");
            flags[*drawn] = true;
        }
    }

    if (!usable) {
        // A file that cannot be used is never written over.
        const auto before = AtomicFile::read(file);
        require(!Common::WriteIniString(result, QStringLiteral("1"), QStringLiteral("7"), file),
                "no write to an unusable file");
        require(!Common::DeleteIniSection(result, file), "no clearing of an unusable file");
        require(AtomicFile::read(file) == before, "an unusable file stays as it was");
        return 0;
    }

    // A draw's write and the clearing: each lands, and touches nothing else.
    require(Common::WriteIniString(result, QStringLiteral("1000"), QStringLiteral("7"), file),
            "write to a regular file");
    require(Common::ReadIniString(result, QStringLiteral("1000"), QString(), file) ==
                QStringLiteral("7"),
            "the written value reads back");
    require(Common::ReadIniString(condition, rangeKey, QString(), file) == range,
            "the range survives a draw's write");
    require(Common::DeleteIniSection(result, file), "clearing");
    require(!Common::ReadIniSection(result, file), "no results after clearing");
    require(Common::ReadIniString(condition, rangeKey, QString(), file) == range,
            "the range survives the clearing");
    return 0;
}
