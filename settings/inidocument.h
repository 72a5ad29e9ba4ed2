#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// An INI document held as the file's bytes. Lookups behave like the Windows
// private-profile functions: section and key names match without regard to case
// and surrounding blanks, the first match wins. Edits splice the bytes, so every
// byte that an edit does not target stays as it was.
class IniDocument
{
  public:
    explicit IniDocument(QByteArray content = {});

    const QByteArray& bytes() const { return m_bytes; }

    // The value of the first matching key, trimmed, one pair of surrounding quotes removed.
    std::optional<QByteArray> value(QStringView section, QStringView key) const;
    // The non-blank lines of the first matching section in file order (comments
    // included), or nothing when the section is missing.
    std::optional<QList<QByteArray>> sectionLines(QStringView section) const;

    // Every entry of every matching section, whole: key and value (the text after the
    // first "=") as the file holds them, no buffer or NUL cutting them short.
    QList<std::pair<QByteArray, QByteArray>> allEntries(QStringView section) const;

    // Replaces the key's line where it stands, or adds it after the section's last
    // entry, or appends a new section; new lines end in CRLF, and so does a
    // rewritten last line. False, with nothing changed, when the text cannot be
    // converted for the file.
    bool setValue(QStringView section, QStringView key, QStringView value);
    // Removes every matching section with all its lines, in one pass; false when
    // there was none.
    bool removeSection(QStringView section);

  private:
    enum class Kind { Blank, Comment, Header, Entry };
    struct Line
    {
        qsizetype begin; // first byte of the text
        qsizetype end;   // one past the text, where the line break starts
        qsizetype next;  // one past the line break
        Kind kind;
        QString name;   // section name of a header, key of an entry
        QByteArray key; // an entry's key as the file spells it
    };

    void parse();
    QByteArrayView text(const Line& line) const;
    qsizetype findSection(QStringView section, qsizetype from = 0) const;
    qsizetype sectionEnd(qsizetype header) const;
    void splice(qsizetype at, qsizetype length, const QByteArray& with);

    QByteArray m_bytes;
    QList<Line> m_lines;
};
