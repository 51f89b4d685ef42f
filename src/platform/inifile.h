#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lystra {

// An INI file read and written with the rules of Windows' profile functions:
//  - "[name]" starts a section; "key=value" lines are its entries;
//  - section and key names compare without regard to case, and the first of
//    several equal sections or keys is the one that counts;
//  - names and values are read without surrounding blanks, and a value in
//    matching double or single quotes loses them;
//  - lines starting with ";" and lines without "=" are no entries.
// Writing keeps every other line of the file as it was. A value that would not
// read back as written (surrounding blanks, surrounding quotes) is written in
// double quotes, so every value that can be written reads back unchanged.
//
// The file is read as UTF-8 when it is valid UTF-8 (a byte order mark is
// skipped), otherwise in the host code page; it is written as UTF-8.
class IniFile {
public:
    IniFile() = default;
    // Reads the file now. A missing file reads as empty; a file that exists
    // but cannot be read also reads as empty and then refuses save().
    explicit IniFile(const QString& fileName);
    // Parses bytes as the text of a file; fileName() stays empty.
    static IniFile fromBytes(const QByteArray& bytes);

    QString fileName() const { return m_fileName; }
    // The text as save() writes it.
    QByteArray toBytes() const;

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;

    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    // A decimal integer (blanks around it allowed); else the fallback.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    // A non-zero integer or "true" in any case is true; zero or "false" false;
    // anything else the fallback.
    bool readBool(const QString& section, const QString& key, bool fallback) const;

    // Changes the first entry of the key in the first section of that name,
    // or adds it (and the section). Throws lystra::Exception for a section
    // name that is empty or holds "]", a key that is empty, holds "=", starts
    // with "[" or ";" or has surrounding blanks, and for any name or value
    // with a line break: those cannot be read back.
    void writeString(const QString& section, const QString& key, const QString& value);

    bool isModified() const { return m_modified; }
    // Writes the file when it was changed (atomically, creating its folder).
    // Throws lystra::Exception "Unable to write to <file>" when that fails.
    void save();

private:
    struct Line {
        QString text;  // the line as it stands in the file
        QString key;   // an entry's key, empty for other lines
        QString value; // an entry's value, unquoted
    };
    struct Section {
        QString name; // empty for the lines before the first section
        bool hasHeader = false;
        QString header;    // the header line as it stands in the file
        QList<Line> lines; // without the header line
    };

    void parse(const QString& text);
    qsizetype sectionIndex(const QString& name) const;
    static qsizetype entryIndex(const Section& section, const QString& key);
    const Section* findSection(const QString& name) const;
    static const Line* findEntry(const Section& section, const QString& key);

    QString m_fileName;
    QList<Section> m_sections;
    QString m_newline = QStringLiteral("\n");
    bool m_modified = false;
    bool m_unreadable = false;
};

} // namespace lystra
