#include "prizes/csvreader.h"

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Past the line end at `at`; CR LF is one line end.
qsizetype pastLineEnd(QStringView text, qsizetype at)
{
    if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
        return at + 2;
    return at + 1;
}

} // namespace

namespace Prizes {

QList<CsvRow> readCsv(QStringView text)
{
    QList<CsvRow> rows;
    qsizetype at = 0;
    qsizetype line = 1;
    while (at < text.size()) {
        CsvRow row;
        row.line = line;
        // Cell by cell until the row's line end or the end of the text.
        while (true) {
            QString cell;
            if (at < text.size() && text[at] == u'"') {
                ++at;
                bool closed = false;
                while (at < text.size()) {
                    if (text[at] == u'"') {
                        if (at + 1 < text.size() && text[at + 1] == u'"') {
                            cell += u'"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        closed = true;
                        break;
                    }
                    if (isLineEnd(text[at])) {
                        const qsizetype next = pastLineEnd(text, at);
                        cell += text.mid(at, next - at);
                        at = next;
                        ++line;
                        continue;
                    }
                    cell += text[at++];
                }
                if (!closed || (at < text.size() && text[at] != u',' && !isLineEnd(text[at])))
                    row.readable = false;
            } else {
                const qsizetype begin = at;
                while (at < text.size() && text[at] != u',' && !isLineEnd(text[at])) {
                    if (text[at] == u'"')
                        row.readable = false;
                    ++at;
                }
                cell = text.mid(begin, at - begin).toString();
            }
            if (!row.readable) {
                // The rest of the line belongs to the broken row.
                while (at < text.size() && !isLineEnd(text[at]))
                    ++at;
            }
            row.cells.append(cell);
            if (row.readable && at < text.size() && text[at] == u',') {
                ++at;
                continue;
            }
            break;
        }
        if (at < text.size()) {
            at = pastLineEnd(text, at);
            ++line;
        }
        rows.append(row);
    }
    return rows;
}

} // namespace Prizes
