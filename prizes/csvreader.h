#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The two lists beside the settings file, as a spreadsheet saves them.
namespace Prizes {

struct CsvRow
{
    QStringList cells;
    // The line the row begins on, from 1.
    qsizetype line = 0;
    // False for a row that breaks RFC 4180 (a quote inside an unquoted cell, text
    // after a closing quote, a quote never closed): its cells are not to be trusted.
    bool readable = true;
};

// The rows of CSV text (RFC 4180): cells split at commas, a quoted cell may hold
// commas, line breaks and doubled quotes; lines end in CR LF, LF or CR. A broken
// row ends at the end of the line where it broke, and the next row begins on the
// line after it.
QList<CsvRow> readCsv(QStringView text);

} // namespace Prizes
