#include "platform/inifile.h"

#include "platform/cp1252.h"
#include "platform/fileaccess.h"
#include "platform/maindir.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

enum class Encoding { Utf8, Utf8Bom, Cp1252 };

struct IniText
{
    QStringList lines;
    QString eol = QStringLiteral("\r\n");
    Encoding encoding = Encoding::Utf8;
    bool ascii = true;       // no byte above 0x7F (or no file): every encoding reads it alike
    bool unreadable = false; // exists but could not be opened: never write over it
    QString refusal;         // why, when it is no regular file
    bool lossy = false;      // written in Windows-1252 whatever it holds ("?" for the rest)
};

IniText load(const QString &path)
{
    IniText ini;
    QFile file;
    // Read as missing when it is no regular file: a setting read gives its default rather
    // than hang on a FIFO or fill the memory from a device; a write says why.
    try {
        if (!VxOpenRegularFile(file, path)) {
            // Missing, or a link to nothing: no setting there to keep.
            ini.unreadable = QFileInfo::exists(path);
            ini.refusal = QStringLiteral("Impossibile leggere il file %1: %2.")
                              .arg(QDir::toNativeSeparators(path), VxFileErrorText(file));
            return ini;
        }
    } catch (const EVxException &e) {
        ini.unreadable = true;
        ini.refusal = e.message();
        return ini;
    }
    QByteArray bytes = file.readAll();
    ini.ascii = std::all_of(bytes.cbegin(), bytes.cend(),
                            [](char b) { return static_cast<unsigned char>(b) < 0x80; });
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.encoding = Encoding::Utf8Bom;
        text = QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            ini.encoding = Encoding::Cp1252;
            text = decodeCp1252(bytes);
        }
    }
    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    if (firstBreak >= 0 && (firstBreak == 0 || text.at(firstBreak - 1) != QLatin1Char('\r')))
        ini.eol = QStringLiteral("\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ini.lines = text.split(QLatin1Char('\n'));
    // The split gives an empty last element for a file ending with a line break.
    if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
        ini.lines.removeLast();
    return ini;
}

IniText loadForWrite(const QString &path, TVxIniEncoding newFileEncoding)
{
    IniText ini = load(path);
    if (ini.unreadable)
        throw EVxException(ini.refusal);
    if (newFileEncoding == TVxIniEncoding::Cp1252 &&
        (ini.ascii || ini.encoding == Encoding::Cp1252)) {
        ini.encoding = Encoding::Cp1252;
        ini.lossy = true;
    }
    return ini;
}

quint64 writeGeneration = 0;

void save(const QString &path, const IniText &ini, TVxFileAccess access)
{
    ++writeGeneration;
    QString text = ini.lines.join(ini.eol);
    if (!ini.lines.isEmpty())
        text += ini.eol;
    QByteArray bytes;
    std::optional<QByteArray> cp1252;
    if (ini.lossy)
        cp1252 = encodeCp1252(text, '?');
    else if (ini.encoding == Encoding::Cp1252)
        cp1252 = encodeCp1252(text);
    if (cp1252) {
        bytes = *cp1252;
    } else {
        if (ini.encoding == Encoding::Utf8Bom)
            bytes = "\xEF\xBB\xBF";
        bytes += text.toUtf8();
    }
    try {
        VxMakeOwnFolder(QFileInfo(path).absolutePath());
    } catch (const EVxException &e) {
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1. %2")
                               .arg(QDir::toNativeSeparators(path), e.message()));
    }
    VxReplaceFile(path, bytes, TVxFileSync::Now, access);
}

std::optional<QString> sectionOf(const QString &line)
{
    // Windows reads the name up to the first "]" and ignores what follows ("[A] ; note").
    const QString t = line.trimmed();
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (t.startsWith(QLatin1Char('[')) && close > 0)
        return t.mid(1, close - 1).trimmed();
    return std::nullopt;
}

struct KeyLine
{
    QString key;
    QString value;
};

std::optional<KeyLine> keyOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    KeyLine k{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
    if (k.key.isEmpty())
        return std::nullopt;
    if (k.value.size() >= 2 &&
        (k.value.front() == QLatin1Char('"') || k.value.front() == QLatin1Char('\'')) &&
        k.value.back() == k.value.front())
        k.value = k.value.mid(1, k.value.size() - 2);
    return k;
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line range of the first section of that name: [header, end), end being the next header.
struct SectionRange
{
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList &lines, const QString &section)
{
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i]);
        if (!name)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (same(*name, section))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines.size();
    return range;
}

qsizetype findKey(const QStringList &lines, const SectionRange &range, const QString &ident)
{
    if (range.header < 0)
        return -1;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto k = keyOf(lines[i]);
        if (k && same(k->key, ident))
            return i;
    }
    return -1;
}

std::optional<QString> lookup(const QString &path, const QString &section, const QString &ident)
{
    const IniText ini = load(path);
    const SectionRange range = findSection(ini.lines, section);
    const qsizetype i = findKey(ini.lines, range, ident);
    if (i < 0)
        return std::nullopt;
    return keyOf(ini.lines[i])->value;
}

void checkName(const QString &what, const QString &text)
{
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        throw EVxException(QStringLiteral("Il valore \"%1\" contiene un ritorno a capo e non può "
                                          "essere scritto nel file di configurazione.")
                               .arg(what));
}

// A name holding the character that ends it (a key's "=", a section's "]") would be read back
// as a shorter name: it would write one thing and read another.
void checkName(const QString &name, QChar end)
{
    checkName(name, name);
    if (name.contains(end))
        throw EVxException(QStringLiteral("Il nome \"%1\" contiene il carattere \"%2\" e non può "
                                          "essere scritto nel file di configurazione.")
                               .arg(name, end));
}

} // namespace

quint64 iniWriteGeneration()
{
    return writeGeneration;
}

QString resolveConfigPath(const QString &fileName)
{
    QString name = fileName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!name.startsWith(QLatin1Char('/')))
        name = QStringLiteral("ETC/") + name;
    return resolvePath(name);
}

TVxINIFile::TVxINIFile(const QString &fileName, bool scriviSempre)
    : m_fileName(fileName), m_scriviSempre(scriviSempre)
{
}

QString TVxINIFile::resolvedPath() const
{
    return resolveConfigPath(m_fileName);
}

QString TVxINIFile::ReadString(const QString &section, const QString &ident,
                               const QString &defaultValue) const
{
    return lookup(resolvedPath(), section, ident).value_or(defaultValue);
}

int TVxINIFile::ReadInteger(const QString &section, const QString &ident, int defaultValue) const
{
    const auto text = lookup(resolvedPath(), section, ident);
    if (!text)
        return defaultValue;
    bool ok = false;
    int value = 0;
    if (text->startsWith(QLatin1Char('$')))
        value = text->mid(1).toInt(&ok, 16);
    else if (text->startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text->mid(2).toInt(&ok, 16);
    else
        value = text->toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool TVxINIFile::ReadBool(const QString &section, const QString &ident, bool defaultValue) const
{
    const auto text = lookup(resolvedPath(), section, ident);
    if (!text)
        return defaultValue;
    bool ok = false;
    const int number = text->toInt(&ok);
    if (ok)
        return number != 0;
    if (same(*text, QStringLiteral("true")))
        return true;
    if (same(*text, QStringLiteral("false")))
        return false;
    return defaultValue;
}

void TVxINIFile::WriteString(const QString &section, const QString &ident, const QString &value)
{
    WriteValues(section, {{ident, value}});
}

void TVxINIFile::WriteValues(const QString &section, const TVxIniValues &values)
{
    WriteSections({{section, values}});
}

void TVxINIFile::WriteSections(const QList<QPair<QString, TVxIniValues>> &sections)
{
    for (const auto &[section, values] : sections) {
        checkName(section, QLatin1Char(']'));
        for (const auto &[ident, value] : values) {
            checkName(ident, QLatin1Char('='));
            if (value)
                checkName(ident, *value);
        }
    }
    const QString path = resolvedPath();
    IniText ini = loadForWrite(path, m_newFileEncoding);
    bool changed = false;
    for (const auto &[section, values] : sections) {
        for (const auto &[ident, value] : values) {
            const SectionRange range = findSection(ini.lines, section);
            const qsizetype i = findKey(ini.lines, range, ident);
            if (!value) {
                if (i >= 0) {
                    ini.lines.removeAt(i);
                    changed = true;
                }
                continue;
            }
            const QString stored = value->trimmed();
            if (i >= 0) {
                const KeyLine current = *keyOf(ini.lines[i]);
                if (!m_scriviSempre && current.value == stored)
                    continue;
                // The key keeps its own spelling, so that other programs diffing the file see
                // one change.
                ini.lines[i] = current.key + QLatin1Char('=') + stored;
            } else if (range.header >= 0) {
                qsizetype insertAt = range.end;
                while (insertAt > range.header + 1 && ini.lines[insertAt - 1].trimmed().isEmpty())
                    --insertAt;
                ini.lines.insert(insertAt, ident + QLatin1Char('=') + stored);
            } else {
                if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
                    ini.lines << QString();
                ini.lines << QLatin1Char('[') + section + QLatin1Char(']');
                ini.lines << ident + QLatin1Char('=') + stored;
            }
            changed = true;
        }
    }
    if (changed)
        save(path, ini, m_access);
}

void TVxINIFile::WriteInteger(const QString &section, const QString &ident, int value)
{
    WriteString(section, ident, QString::number(value));
}

void TVxINIFile::WriteBool(const QString &section, const QString &ident, bool value)
{
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TVxINIFile::SectionExists(const QString &section) const
{
    return findSection(load(resolvedPath()).lines, section).header >= 0;
}

bool TVxINIFile::ValueExists(const QString &section, const QString &ident) const
{
    return lookup(resolvedPath(), section, ident).has_value();
}

QStringList TVxINIFile::ReadSection(const QString &section) const
{
    const IniText ini = load(resolvedPath());
    const SectionRange range = findSection(ini.lines, section);
    QStringList keys;
    if (range.header < 0)
        return keys;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (const auto k = keyOf(ini.lines[i]))
            keys << k->key;
    }
    return keys;
}

QStringList TVxINIFile::ReadSections() const
{
    QStringList sections;
    for (const QString &line : load(resolvedPath()).lines) {
        if (const auto name = sectionOf(line))
            sections << *name;
    }
    return sections;
}

void TVxINIFile::DeleteKey(const QString &section, const QString &ident)
{
    const QString path = resolvedPath();
    IniText ini = loadForWrite(path, m_newFileEncoding);
    const qsizetype i = findKey(ini.lines, findSection(ini.lines, section), ident);
    if (i < 0)
        return;
    ini.lines.removeAt(i);
    save(path, ini, m_access);
}

void TVxINIFile::EraseSection(const QString &section)
{
    const QString path = resolvedPath();
    IniText ini = loadForWrite(path, m_newFileEncoding);
    const SectionRange range = findSection(ini.lines, section);
    if (range.header < 0)
        return;
    ini.lines.remove(range.header, range.end - range.header);
    save(path, ini, m_access);
}
