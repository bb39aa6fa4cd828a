#include "tests/support/evaluationwrites.h"

#include "platform/querycollection.h"

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
// literals are skipped; a raw string is taken whole, an escape as the character it escapes.
QStringList literalsOf(const QString &text)
{
    // A comment, a character literal, a raw string (its delimiter, its text), a string.
    static const QRegularExpression token(
        QStringLiteral(R"re(//[^\n]*|/\*.*?\*/|'(?:\\.|[^'\\])*'|\bR"([^(]*)\((.*?)\)\1"|)re"
                       R"re("((?:\\.|[^"\\])*)")re"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression escape(QStringLiteral("\\\\(.)"),
                                           QRegularExpression::DotMatchesEverythingOption);
    QStringList literals;
    QString current;
    bool open = false; // current may still be continued by the next literal
    qsizetype end = 0;
    for (const QRegularExpressionMatch &m : token.globalMatch(text)) {
        const QChar first = text.at(m.capturedStart());
        const bool between = !text.sliced(end, m.capturedStart() - end).trimmed().isEmpty();
        end = m.capturedEnd();
        if (open && (between || first == QLatin1Char('\''))) {
            literals << current;
            current.clear();
            open = false;
        }
        if (first == QLatin1Char('/') || first == QLatin1Char('\''))
            continue;
        current += m.capturedStart(2) >= 0 ? m.captured(2)
                                           : m.captured(3).replace(escape, QStringLiteral("\\1"));
        open = true;
    }
    if (open)
        literals << current;
    return literals;
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
    QString n = QStringList{QFileInfo(file).completeBaseName(), table, kind, via}.join('_');
    n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
    return n;
}

const QStringList &evaluationTables()
{
    static const QStringList tables =
        QStringLiteral("TVOT_VOTI TVTP_PROPOSTI TTAS_TASSONOMIE TASS_ASSENZE TAIU_AIUTI TNOT_NOTE "
                       "TGDZ_GIUDIZI TSIT_SITUAZIONI TCRE_CREDITI TCRESCO TCREFRM TDEB_DEBITI "
                       "TREC_RECUPERI TGDT_GDZTEMPLATE")
            .split(QLatin1Char(' '));
    return tables;
}

QList<EvaluationWrite> evaluationWritesOf(const QString &file, const QString &text,
                                          QStringList *unresolved)
{
    static const QRegularExpression writeStatement(
        QStringLiteral("\\b(UPDATE(?:\\s+OR\\s+INSERT\\s+INTO)?|DELETE\\s+FROM)\\s+"
                       "([A-Za-z_][A-Za-z0-9_$]*|%\\d+)"),
        QRegularExpression::CaseInsensitiveOption);
    // A table a store names: `{"TVOT_VOTI", ...`, `t{QStringLiteral("TNOT_NOTE"), ...`,
    // `tab.nome = QStringLiteral("TREC_RECUPERI")`.
    static const QRegularExpression storeTable(QStringLiteral(
        "(?:\\{\\s*|\\bnome\\s*=\\s*)(?:QStringLiteral\\(\\s*)?\"([A-Za-z_][A-Za-z0-9_]*)\""));
    QList<EvaluationWrite> writes;
    const QStringList literals = literalsOf(text);
    const bool builder = kBuilders.contains(file);
    for (const QString &literal : literals) {
        for (const QRegularExpressionMatch &m : writeStatement.globalMatch(literal)) {
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
        for (const QRegularExpressionMatch &named : storeTable.globalMatch(text)) {
            const QString table = named.captured(1).toUpper();
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
            const QString table = selectMainTable(literal);
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
        writes << evaluationWritesOf(file, QString::fromUtf8(f.readAll()), unresolved);
    }
    std::sort(writes.begin(), writes.end(), [](const EvaluationWrite &a, const EvaluationWrite &b) {
        return std::tie(a.file, a.table, a.kind, a.via) < std::tie(b.file, b.table, b.kind, b.via);
    });
    return writes;
}
