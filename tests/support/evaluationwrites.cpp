#include "tests/support/evaluationwrites.h"

#include "platform/querycollection.h"
#include "platform/sqlparams.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace {

// The two writers that build a statement for a table they are given, and how the inventory
// names what they build.
const QHash<QString, QString> kBuilders{
    {QStringLiteral("gradeentry/qevsalva.cpp"), QStringLiteral("TqevTabella")},
    {QStringLiteral("platform/querycollection.cpp"), QStringLiteral("TVxQueryCollection")}};

const QString kIdent = QStringLiteral("[A-Za-z_][A-Za-z0-9_$]*");

// The evaluation tables, in capitals.
const QStringList &evaluationTables()
{
    static const QStringList tables =
        QStringLiteral("TVOT_VOTI TVTP_PROPOSTI TTAS_TASSONOMIE TASS_ASSENZE TAIU_AIUTI TNOT_NOTE "
                       "TGDZ_GIUDIZI TSIT_SITUAZIONI TCRE_CREDITI TCRESCO TCREFRM TDEB_DEBITI "
                       "TREC_RECUPERI TGDT_GDZTEMPLATE TCNO_CLASSINOTEORE TCOMP_COMPETENZE")
            .split(QLatin1Char(' '));
    return tables;
}

// How the inventory keeps a statement whose table it cannot tell.
const QString kUnresolved = QStringLiteral("unresolved");

// The keywords of a write and its object: a table, a procedure, or a placeholder ("%1").
const QString kWriteKeyword =
    QStringLiteral("(UPDATE\\s+OR\\s+INSERT\\s+INTO|UPDATE|DELETE\\s+FROM|MERGE\\s+INTO|"
                   "EXECUTE\\s+PROCEDURE)\\s+(") +
    kIdent + QStringLiteral("|%\\d+)");
// A write anywhere in a text, and one a statement begins with.
const QRegularExpression kWriteIn(QStringLiteral("\\b") + kWriteKeyword,
                                  QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kWriteAtStart(QStringLiteral("^\\s*") + kWriteKeyword,
                                       QRegularExpression::CaseInsensitiveOption);

// "UPDATE", "DELETE", "MERGE" or "EXECUTE" for the keywords of a write.
QString kindOf(const QString &keyword)
{
    return keyword.section(QRegularExpression(QStringLiteral("\\s")), 0, 0).toUpper();
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Where the comment, string, raw string or character literal starting at i ends; i when none
// starts there.
qsizetype skipNonCode(const QString &t, qsizetype i)
{
    const qsizetype n = t.size();
    if (t.mid(i, 2) == QLatin1String("//")) {
        const qsizetype e = t.indexOf(QLatin1Char('\n'), i);
        return e < 0 ? n : e;
    }
    if (t.mid(i, 2) == QLatin1String("/*")) {
        const qsizetype e = t.indexOf(QLatin1String("*/"), i + 2);
        return e < 0 ? n : e + 2;
    }
    if (t.mid(i, 2) == QLatin1String("R\"") && (i == 0 || !isIdentChar(t.at(i - 1)))) {
        const qsizetype open = t.indexOf(QLatin1Char('('), i + 2);
        if (open < 0)
            return n;
        const QString close = QLatin1Char(')') + t.mid(i + 2, open - i - 2) + QLatin1Char('"');
        const qsizetype e = t.indexOf(close, open);
        return e < 0 ? n : e + close.size();
    }
    const QChar q = t.at(i);
    if (q != QLatin1Char('"') && q != QLatin1Char('\''))
        return i;
    for (qsizetype j = i + 1; j < n; ++j) {
        if (t.at(j) == QLatin1Char('\\'))
            ++j;
        else if (t.at(j) == q || t.at(j) == QLatin1Char('\n'))
            return j + 1;
    }
    return n;
}

// The text's code, each identifier handed to replace (which answers its replacement, or the
// identifier itself), comments and literals kept as they are.
QString mapIdentifiers(const QString &t,
                       const std::function<QString(const QString &, qsizetype &)> &replace)
{
    QString out;
    qsizetype i = 0;
    while (i < t.size()) {
        const qsizetype skipped = skipNonCode(t, i);
        if (skipped > i) {
            out += t.sliced(i, skipped - i);
            i = skipped;
            continue;
        }
        if (isIdentChar(t.at(i)) && !t.at(i).isDigit()) {
            qsizetype k = i;
            while (k < t.size() && isIdentChar(t.at(k)))
                ++k;
            const QString ident = t.sliced(i, k - i);
            out += replace(ident, k);
            i = k;
            continue;
        }
        out += t.at(i++);
    }
    return out;
}

struct Macro
{
    bool function = false;
    QStringList params;
    QString body;
};

// The #define lines of a text (lines already spliced).
QHash<QString, Macro> macrosOf(const QString &text)
{
    static const QRegularExpression define(QStringLiteral("^[ \\t]*#[ \\t]*define[ \\t]+(") +
                                               kIdent +
                                               QStringLiteral(")(\\(([^)]*)\\))?([^\\n]*)$"),
                                           QRegularExpression::MultilineOption);
    QHash<QString, Macro> macros;
    for (const QRegularExpressionMatch &m : define.globalMatch(text)) {
        Macro macro;
        macro.function = m.capturedStart(2) >= 0;
        for (const QString &p : m.captured(3).split(QLatin1Char(','), Qt::SkipEmptyParts))
            macro.params << p.trimmed();
        macro.body = m.captured(4).trimmed();
        macros.insert(m.captured(1), macro);
    }
    return macros;
}

// The arguments of a macro's call whose '(' is at open, and where the call ends.
QStringList argumentsOf(const QString &t, qsizetype open, qsizetype *end)
{
    QStringList args;
    QString current;
    int depth = 0;
    for (qsizetype i = open + 1; i < t.size();) {
        const qsizetype skipped = skipNonCode(t, i);
        if (skipped > i) {
            current += t.sliced(i, skipped - i);
            i = skipped;
            continue;
        }
        const QChar c = t.at(i++);
        if (depth == 0 && (c == QLatin1Char(',') || c == QLatin1Char(')'))) {
            args << current.trimmed();
            current.clear();
            if (c == QLatin1Char(')')) {
                *end = i;
                return args;
            }
            continue;
        }
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        current += c;
    }
    *end = t.size();
    return args;
}

// The text as the compiler's preprocessor leaves it, as far as statements go: lines spliced
// where a backslash ends them, directives taken out, macros expanded (also those the others
// use, a few levels deep).
QString preprocessed(const QString &text, const QString &sharedDefines)
{
    static const QRegularExpression splice(QStringLiteral("\\\\\\r?\\n"));
    QString t = QString(text).remove(splice);
    QHash<QString, Macro> macros = macrosOf(QString(sharedDefines).remove(splice));
    macros.insert(macrosOf(t));
    t.replace(QRegularExpression(QStringLiteral("^[ \\t]*#[ \\t]*(define|undef)\\b[^\\n]*$"),
                                 QRegularExpression::MultilineOption),
              QString());
    if (macros.isEmpty())
        return t;
    for (int pass = 0; pass < 8; ++pass) {
        bool changed = false;
        t = mapIdentifiers(t, [&](const QString &ident, qsizetype &end) -> QString {
            const auto m = macros.constFind(ident);
            if (m == macros.constEnd())
                return ident;
            if (!m->function) {
                changed = true;
                return QLatin1Char(' ') + m->body + QLatin1Char(' ');
            }
            qsizetype open = end;
            while (open < t.size() && t.at(open).isSpace())
                ++open;
            if (open >= t.size() || t.at(open) != QLatin1Char('('))
                return ident;
            const QStringList args = argumentsOf(t, open, &end);
            changed = true;
            return QLatin1Char(' ') +
                   mapIdentifiers(m->body,
                                  [&](const QString &name, qsizetype &) {
                                      const qsizetype p = m->params.indexOf(name);
                                      return p >= 0 ? args.value(p) : name;
                                  }) +
                   QLatin1Char(' ');
        });
        if (!changed)
            break;
    }
    return t;
}

// An escape as the character it stands for: the line breaks and tabs a statement may be
// written with are blanks to SQL.
QString unescaped(const QString &literal)
{
    QString out;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        if (literal.at(i) != QLatin1Char('\\') || i + 1 == literal.size()) {
            out += literal.at(i);
            continue;
        }
        const QChar c = literal.at(++i);
        out += QStringLiteral("ntrvf").contains(c) ? QChar(QLatin1Char(' ')) : c;
    }
    return out;
}

// The string literals of a preprocessed C++ text, those written one after another (with only
// blanks and comments between them) joined into one, as the compiler joins them. Comments and
// character literals are skipped; a raw string is taken whole, an escape as the character it
// stands for.
QStringList literalsOf(const QString &text)
{
    // A comment, a character literal, a raw string (its delimiter, its text), a string.
    static const QRegularExpression token(
        QStringLiteral(R"re(//[^\n]*|/\*.*?\*/|'(?:\\.|[^'\\])*'|\bR"([^(]*)\((.*?)\)\1"|)re"
                       R"re("((?:\\.|[^"\\])*)")re"),
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
        current += m.capturedStart(2) >= 0 ? m.captured(2) : unescaped(m.captured(3));
        open = true;
    }
    if (open)
        literals << current;
    return literals;
}

// A statement's text, or the beginning of one, as a pattern of the statements run from it: a
// placeholder ("%1", "%KEYS%") takes any text, the same text wherever it comes again; blanks
// take any blanks; from the start, in any case, to the end when whole.
QRegularExpression patternOf(const QString &text, bool whole = false)
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d+|%[A-Z_]+%"));
    QString pattern = QStringLiteral("^\\s*");
    QStringList groups;
    qsizetype from = 0;
    const auto literal = [&pattern](const QString &piece) {
        for (const QString &word : piece.split(QLatin1Char(' ')))
            pattern += QRegularExpression::escape(word) + QStringLiteral("\\s*");
    };
    for (const QRegularExpressionMatch &m : placeholder.globalMatch(text)) {
        literal(text.sliced(from, m.capturedStart() - from));
        const qsizetype group = groups.indexOf(m.captured(0));
        if (group >= 0) {
            pattern += QStringLiteral("\\%1").arg(group + 1);
        } else {
            groups << m.captured(0);
            pattern += QStringLiteral("(.*)");
        }
        from = m.capturedEnd();
    }
    literal(text.sliced(from));
    if (whole)
        pattern += QLatin1Char('$');
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::DotMatchesEverythingOption);
}

// What a statement run writes: its kind and table (the procedure's, for a call), if it is a
// write of an evaluation table or a call of a procedure that writes one.
std::optional<std::pair<QString, QString>> evaluationWriteRun(const QString &sql,
                                                              const WritingProcedures &procedures)
{
    const QRegularExpressionMatch m = kWriteAtStart.match(sql);
    if (!m.hasMatch())
        return std::nullopt;
    const QString kind = kindOf(m.captured(1));
    const QString object = m.captured(2).toUpper();
    if (kind == QLatin1String("EXECUTE"))
        return procedures.contains(object) ? std::optional(std::pair(kind, object)) : std::nullopt;
    return evaluationTables().contains(object) ? std::optional(std::pair(kind, object))
                                               : std::nullopt;
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

WritingProcedures writingProceduresOf(const QString &sql)
{
    static const QRegularExpression comment(QStringLiteral("--[^\\n]*|/\\*.*?\\*/"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression created(
        QStringLiteral("\\b(?:CREATE(?:\\s+OR\\s+ALTER)?|RECREATE|ALTER)\\s+(PROCEDURE|TRIGGER|"
                       "TABLE|VIEW|EXCEPTION|INDEX|GENERATOR|SEQUENCE|DOMAIN)\\s+(") +
            kIdent + QStringLiteral(")"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = QString(sql).remove(comment);
    // Each procedure's body runs to the next object the script creates.
    QList<QRegularExpressionMatch> objects;
    for (const QRegularExpressionMatch &m : created.globalMatch(text))
        objects << m;
    WritingProcedures writes;
    QHash<QString, QStringList> calls;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (objects[i].captured(1).toUpper() != QLatin1String("PROCEDURE"))
            continue;
        const QString name = objects[i].captured(2).toUpper();
        const qsizetype end = i + 1 < objects.size() ? objects[i + 1].capturedStart() : text.size();
        const QString body = text.sliced(objects[i].capturedEnd(), end - objects[i].capturedEnd());
        for (const QRegularExpressionMatch &w : kWriteIn.globalMatch(body)) {
            const QString kind = kindOf(w.captured(1));
            const QString object = w.captured(2).toUpper();
            if (kind == QLatin1String("EXECUTE"))
                calls[name] << object;
            else if (evaluationTables().contains(object))
                writes[name] << std::pair(kind, object);
        }
    }
    // A procedure that calls one that writes writes too.
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
            for (const QString &callee : it.value()) {
                for (const auto &w : writes.value(callee)) {
                    if (!writes.value(it.key()).contains(w)) {
                        writes[it.key()] << w;
                        grew = true;
                    }
                }
            }
        }
    }
    return writes;
}

QList<EvaluationStatement> evaluationStatementsOf(const QString &file, const QString &text,
                                                  const WritingProcedures &procedures,
                                                  const QString &sharedDefines)
{
    static const QRegularExpression selectProcedure(QStringLiteral("\\bFROM\\s+(") + kIdent +
                                                        QStringLiteral(")\\s*\\("),
                                                    QRegularExpression::CaseInsensitiveOption);
    // A table a store names: `{"TVOT_VOTI", ...`, `t{QStringLiteral("TNOT_NOTE"), ...`,
    // `tab.nome = QStringLiteral("TREC_RECUPERI")`.
    static const QRegularExpression storeTable(QStringLiteral(
        "(?:\\{\\s*|\\bnome\\s*=\\s*)(?:QStringLiteral\\(\\s*)?\"([A-Za-z_][A-Za-z0-9_]*)\""));
    QList<EvaluationStatement> found;
    const QString code = preprocessed(text, sharedDefines);
    const QStringList literals = literalsOf(code);
    const QString builder = kBuilders.value(file);
    const auto procedureCall = [&](const QString &name, const QString &statement) {
        for (const auto &[kind, table] : procedures.value(name.toUpper()))
            found.append({{file, QStringLiteral("EXECUTE"), table,
                           QStringLiteral("PROCEDURE ") + name.toUpper()},
                          statement});
    };
    for (const QString &literal : literals) {
        for (const QRegularExpressionMatch &m : kWriteIn.globalMatch(literal)) {
            const QString kind = kindOf(m.captured(1));
            const QString object = m.captured(2).toUpper();
            const QString statement = literal.sliced(m.capturedStart()).simplified();
            if (object.startsWith(QLatin1Char('%'))) {
                found.append({{file, kind, QString(), builder.isEmpty() ? kUnresolved : builder},
                              statement});
                continue;
            }
            if (kind == QLatin1String("EXECUTE"))
                procedureCall(object, statement);
            else if (evaluationTables().contains(object))
                found.append({{file, kind, object, QStringLiteral("statement")}, statement});
        }
        for (const QRegularExpressionMatch &m : selectProcedure.globalMatch(literal))
            procedureCall(m.captured(1), literal.simplified());
    }
    // The grade stores' one shape: the tables the file's TqevTabella name (the first value of an
    // initializer, or the name given to nome), written by the routines it calls.
    if (builder.isEmpty() && code.contains(QStringLiteral("TqevTabella"))) {
        const bool updates = code.contains(QStringLiteral("AggiornaRiga(")) ||
                             code.contains(QStringLiteral("SqlAggiorna("));
        const bool deletes = code.contains(QStringLiteral("CancellaCella(")) ||
                             code.contains(QStringLiteral("SqlCancella("));
        for (const QRegularExpressionMatch &named : storeTable.globalMatch(code)) {
            const QString table = named.captured(1).toUpper();
            if (!evaluationTables().contains(table))
                continue;
            const QString via = QStringLiteral("TqevTabella");
            if (updates)
                found.append({{file, QStringLiteral("UPDATE"), table, via}, named.captured(0)});
            if (deletes)
                found.append({{file, QStringLiteral("DELETE"), table, via}, named.captured(0)});
        }
    }
    // A record editor's collection derives its update and delete from its select.
    if (code.contains(QStringLiteral("setAutoBuildSQL(true)"))) {
        for (const QString &literal : literals) {
            if (!literal.trimmed().startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
                continue;
            const QString table = selectMainTable(literal);
            if (!evaluationTables().contains(table))
                continue;
            for (const char *kind : {"UPDATE", "DELETE"})
                found.append(
                    {{file, QString::fromLatin1(kind), table, QStringLiteral("TVxQueryCollection")},
                     literal.simplified()});
        }
    }
    return found;
}

namespace {

// The program's source files under root, by path from the root: tests, benchmarks and build
// folders left out.
std::map<QString, QString> programSources(const QString &root, bool tests = false)
{
    const QDir top(root);
    std::map<QString, QString> sources;
    QDirIterator files(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString file = top.relativeFilePath(path);
        const QString folder = file.section(QLatin1Char('/'), 0, 0);
        if ((folder == QLatin1String("tests")) != tests || folder == QLatin1String("bench") ||
            folder.startsWith(QLatin1String("build")) || folder.startsWith(QLatin1Char('.')))
            continue;
        sources[file] = QString::fromUtf8(readFileBytes(path));
    }
    return sources;
}

WritingProcedures schemaProcedures(const QString &root)
{
    QString schema;
    const QDir folder(root + QStringLiteral("/db/schema"));
    for (const QString &name : folder.entryList({QStringLiteral("*.sql")}, QDir::Files))
        schema += QString::fromUtf8(readFileBytes(folder.filePath(name))) + QLatin1Char('\n');
    return writingProceduresOf(schema);
}

// The #define lines of the headers, which any file may use.
QString headerDefines(const std::map<QString, QString> &sources)
{
    static const QRegularExpression define(
        QStringLiteral("^[ \\t]*#[ \\t]*define\\b(?:[^\\n]*\\\\\\r?\\n)*[^\\n]*$"),
        QRegularExpression::MultilineOption);
    QString defines;
    for (const auto &[file, text] : sources) {
        if (!file.endsWith(QLatin1String(".h")))
            continue;
        for (const QRegularExpressionMatch &m : define.globalMatch(text))
            defines += m.captured(0) + QLatin1Char('\n');
    }
    return defines;
}

} // namespace

QList<EvaluationStatement> evaluationStatements(const QString &root)
{
    const std::map<QString, QString> sources = programSources(root);
    const WritingProcedures procedures = schemaProcedures(root);
    const QString defines = headerDefines(sources);
    QList<EvaluationStatement> statements;
    for (const auto &[file, text] : sources)
        statements << evaluationStatementsOf(file, text, procedures, defines);
    return statements;
}

QList<EvaluationWrite> writesOf(const QList<EvaluationStatement> &statements)
{
    QList<EvaluationWrite> writes;
    for (const EvaluationStatement &s : statements) {
        if (!s.write.table.isEmpty() && !writes.contains(s.write))
            writes << s.write;
    }
    std::sort(writes.begin(), writes.end(), [](const EvaluationWrite &a, const EvaluationWrite &b) {
        return std::tie(a.file, a.table, a.kind, a.via) < std::tie(b.file, b.table, b.kind, b.via);
    });
    return writes;
}

QStringList writesNotInInventory(const QStringList &run,
                                 const QList<EvaluationStatement> &inventory,
                                 const WritingProcedures &procedures, const QStringList &allowed)
{
    struct Known
    {
        QRegularExpression pattern;
        const EvaluationWrite *shape; // a writer's, else nullptr: any table it names
    };
    std::vector<Known> known;
    QSet<QString> builtFor; // "kind table via" the writers build for the inventory's stores
    for (const EvaluationStatement &s : inventory) {
        const bool shape = s.write.table.isEmpty() && s.write.via != kUnresolved;
        if (s.write.via == QLatin1String("statement") || s.write.table.isEmpty() ||
            s.write.via.startsWith(QLatin1String("PROCEDURE ")))
            known.push_back({patternOf(s.text, shape), shape ? &s.write : nullptr});
        else
            builtFor << s.write.kind + QLatin1Char(' ') + s.write.table + QLatin1Char(' ') +
                            s.write.via;
    }
    for (const QString &text : allowed)
        known.push_back({patternOf(text.simplified(), true), nullptr});
    QStringList missing;
    for (const QString &sql : run) {
        const auto write = evaluationWriteRun(sql, procedures);
        if (!write)
            continue;
        const QString text = sql.simplified();
        const bool inInventory = std::any_of(known.cbegin(), known.cend(), [&](const Known &k) {
            return k.pattern.match(text).hasMatch() &&
                   (!k.shape || builtFor.contains(write->first + QLatin1Char(' ') + write->second +
                                                  QLatin1Char(' ') + k.shape->via));
        });
        if (!inInventory)
            missing << sql;
    }
    return missing;
}

namespace {

// The statements each test runs through the framework that write an evaluation table, with
// the first test that ran each; held against the inventory once the tests are over.
class WritesWatch : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo &) override
    {
        m_recorder = std::make_unique<TVxStatementRecorder>(TVxStatementRecorder::Every);
    }
    void OnTestEnd(const ::testing::TestInfo &info) override
    {
        for (const TVxStatementRecorder::Statement &s : m_recorder->statements()) {
            if (!m_run.contains(s.sql) && kWriteAtStart.match(s.sql).hasMatch())
                m_run.insert(s.sql,
                             QStringLiteral("%1.%2").arg(QString::fromUtf8(info.test_suite_name()),
                                                         QString::fromUtf8(info.name())));
        }
        m_recorder.reset();
    }
    QHash<QString, QString> m_run; // statement -> test

private:
    std::unique_ptr<TVxStatementRecorder> m_recorder;
};

class WritesHeldAgainstInventory : public ::testing::Environment
{
public:
    explicit WritesHeldAgainstInventory(const WritesWatch *watch) : m_watch(watch) {}
    void TearDown() override
    {
        const QString root = QStringLiteral(TAVRIN_SOURCE_DIR);
        const WritingProcedures procedures = schemaProcedures(root);
        QStringList run;
        for (auto it = m_watch->m_run.cbegin(); it != m_watch->m_run.cend(); ++it) {
            if (evaluationWriteRun(it.key(), procedures))
                run << it.key();
        }
        if (run.isEmpty())
            return;
        // The tests' own statements (a case's set-up written through the framework) are theirs.
        QStringList allowed;
        for (const auto &[file, text] : programSources(root, true)) {
            for (const QString &literal : literalsOf(preprocessed(text, {}))) {
                if (evaluationWriteRun(literal, procedures))
                    allowed << literal;
            }
        }
        for (const QString &sql :
             writesNotInInventory(run, evaluationStatements(root), procedures, allowed))
            ADD_FAILURE() << m_watch->m_run.value(sql).toStdString() << " ran a write the "
                          << "inventory of the program's writes does not hold (build it as the "
                          << "scan finds it, tests/support/evaluationwrites.h): "
                          << sql.toStdString();
    }

private:
    const WritesWatch *m_watch;
};

} // namespace

void watchEvaluationWrites()
{
    auto *watch = new WritesWatch;
    ::testing::UnitTest::GetInstance()->listeners().Append(watch);
    ::testing::AddGlobalTestEnvironment(new WritesHeldAgainstInventory(watch));
}
