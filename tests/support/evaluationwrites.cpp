#include "tests/support/evaluationwrites.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

namespace {

// The two writers that build a statement for a table they are given.
const QStringList kBuilders{QStringLiteral("gradeentry/qevsalva.cpp"),
                            QStringLiteral("platform/querycollection.cpp")};

// The string literals of a C++ text, those written one after another (with only blanks and
// comments between them) joined into one, as the compiler joins them. Comments and character
// literals are skipped; a raw string is taken whole.
QStringList literalsOf(const QString &text)
{
    QStringList literals;
    QString current;
    bool open = false; // current may still be continued by the next literal
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto close = [&] {
        if (open)
            literals << current;
        current.clear();
        open = false;
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('/')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            close();
            for (++i; i < n && text[i] != QLatin1Char('\''); ++i) {
                if (text[i] == QLatin1Char('\\'))
                    ++i;
            }
            ++i;
            continue;
        }
        const bool identifier =
            i > 0 && (text[i - 1].isLetterOrNumber() || text[i - 1] == QLatin1Char('_'));
        if (c == QLatin1Char('R') && !identifier && i + 2 < n && text[i + 1] == QLatin1Char('"')) {
            const qsizetype paren = text.indexOf(QLatin1Char('('), i + 2);
            const QString delimiter =
                QLatin1Char(')') + text.mid(i + 2, paren - i - 2) + QLatin1Char('"');
            const qsizetype end = text.indexOf(delimiter, paren + 1);
            current += text.mid(paren + 1, (end < 0 ? n : end) - paren - 1);
            open = true;
            i = end < 0 ? n : end + delimiter.size();
            continue;
        }
        if (c == QLatin1Char('"')) {
            for (++i; i < n && text[i] != QLatin1Char('"'); ++i) {
                if (text[i] == QLatin1Char('\\') && i + 1 < n)
                    current += text[++i];
                else
                    current += text[i];
            }
            ++i;
            open = true;
            continue;
        }
        if (!c.isSpace())
            close();
        ++i;
    }
    close();
    return literals;
}

const QRegularExpression &writeStatement()
{
    static const QRegularExpression re(
        QStringLiteral("\\b(UPDATE(?:\\s+OR\\s+INSERT\\s+INTO)?|DELETE\\s+FROM)\\s+"
                       "([A-Za-z_][A-Za-z0-9_$]*|%\\d+)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &fromTable()
{
    static const QRegularExpression re(QStringLiteral("\\bFROM\\s+([A-Za-z_][A-Za-z0-9_$]*)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

// A table a store names: `{"TVOT_VOTI", ...`, `t{QStringLiteral("TNOT_NOTE"), ...`,
// `tab.nome = QStringLiteral("TREC_RECUPERI")`.
const QRegularExpression &storeTable()
{
    static const QRegularExpression re(QStringLiteral(
        "(?:\\{\\s*|\\bnome\\s*=\\s*)(?:QStringLiteral\\(\\s*)?\"([A-Za-z_][A-Za-z0-9_]*)\""));
    return re;
}

void add(QList<EvaluationWrite> &writes, const EvaluationWrite &w)
{
    if (!writes.contains(w))
        writes << w;
}

} // namespace

QString EvaluationWrite::text() const
{
    return QStringLiteral("%1: %2 %3 (%4)").arg(file, kind, table, via);
}

QString EvaluationWrite::name() const
{
    QString n = QFileInfo(file).completeBaseName() + QLatin1Char('_') + table + QLatin1Char('_') +
                kind + QLatin1Char('_') + via;
    n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    return n;
}

const QStringList &evaluationTables()
{
    static const QStringList tables{
        QStringLiteral("TVOT_VOTI"),       QStringLiteral("TVTP_PROPOSTI"),
        QStringLiteral("TTAS_TASSONOMIE"), QStringLiteral("TASS_ASSENZE"),
        QStringLiteral("TAIU_AIUTI"),      QStringLiteral("TNOT_NOTE"),
        QStringLiteral("TGDZ_GIUDIZI"),    QStringLiteral("TSIT_SITUAZIONI"),
        QStringLiteral("TCRE_CREDITI"),    QStringLiteral("TCRESCO"),
        QStringLiteral("TCREFRM"),         QStringLiteral("TDEB_DEBITI"),
        QStringLiteral("TREC_RECUPERI"),   QStringLiteral("TGDT_GDZTEMPLATE"),
    };
    return tables;
}

QList<EvaluationWrite> evaluationWritesOf(const QString &file, const QString &text,
                                          QStringList *unresolved)
{
    QList<EvaluationWrite> writes;
    const QStringList literals = literalsOf(text);
    const bool builder = kBuilders.contains(file);
    for (const QString &literal : literals) {
        auto it = writeStatement().globalMatch(literal);
        while (it.hasNext()) {
            const auto m = it.next();
            const QString kind = m.captured(1).startsWith(QLatin1Char('D'), Qt::CaseInsensitive)
                                     ? QStringLiteral("DELETE")
                                     : QStringLiteral("UPDATE");
            const QString table = m.captured(2).toUpper();
            if (table.startsWith(QLatin1Char('%'))) {
                if (!builder && unresolved)
                    *unresolved << QStringLiteral("%1: %2").arg(file, m.captured(0));
                continue;
            }
            if (evaluationTables().contains(table))
                add(writes, {file, kind, table, QStringLiteral("statement")});
        }
    }
    // The grade stores' one shape: the tables the file's TqevTabella name (the first value of an
    // initializer, or the name given to nome), written by the routines it calls.
    if (!builder && text.contains(QStringLiteral("TqevTabella"))) {
        const bool updates = text.contains(QStringLiteral("AggiornaRiga(")) ||
                             text.contains(QStringLiteral("SqlAggiorna("));
        const bool deletes = text.contains(QStringLiteral("CancellaCella(")) ||
                             text.contains(QStringLiteral("SqlCancella("));
        auto named = storeTable().globalMatch(text);
        while (named.hasNext()) {
            const QString table = named.next().captured(1).toUpper();
            if (!evaluationTables().contains(table))
                continue;
            if (updates)
                add(writes, {file, QStringLiteral("UPDATE"), table, QStringLiteral("TqevTabella")});
            if (deletes)
                add(writes, {file, QStringLiteral("DELETE"), table, QStringLiteral("TqevTabella")});
        }
    }
    // A record editor's collection derives its update and delete from its select.
    if (text.contains(QStringLiteral("setAutoBuildSQL(true)"))) {
        for (const QString &literal : literals) {
            if (!literal.trimmed().startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
                continue;
            const QString table = fromTable().match(literal).captured(1).toUpper();
            if (!evaluationTables().contains(table))
                continue;
            for (const char *kind : {"UPDATE", "DELETE"})
                add(writes,
                    {file, QString::fromLatin1(kind), table, QStringLiteral("TVxQueryCollection")});
        }
    }
    return writes;
}

QList<EvaluationWrite> evaluationWrites(const QString &root, QStringList *unresolved)
{
    const QDir top(root);
    QList<EvaluationWrite> writes;
    QDirIterator files(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString file = top.relativeFilePath(path);
        const QString folder = file.section(QLatin1Char('/'), 0, 0);
        if (folder == QLatin1String("tests") || folder == QLatin1String("bench") ||
            folder.startsWith(QLatin1String("build")) || folder.startsWith(QLatin1Char('.')))
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (const EvaluationWrite &w :
             evaluationWritesOf(file, QString::fromUtf8(f.readAll()), unresolved))
            add(writes, w);
    }
    std::sort(writes.begin(), writes.end(), [](const EvaluationWrite &a, const EvaluationWrite &b) {
        return std::tie(a.file, a.table, a.kind, a.via) < std::tie(b.file, b.table, b.kind, b.via);
    });
    return writes;
}
