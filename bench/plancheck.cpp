// The plans of the statements the benchmarks ran, as the demo school's database follows them at
// scale 1 and at scale 10: every text printed with its plan at both, and the check failing
// (status 1) where a plan reads whole a table that grows with the school (VxTablesReadWhole): a
// read that costs the whole school's rows for one class, teacher or pupil, at either size.
// bench/plancheck.sh records the texts (TAVRIN_BENCH_STATEMENTS) and runs this on them.
//   plancheck STATEMENTS SCALE1.fdb SCALE10.fdb
// STATEMENTS holds one statement a line, ";" at its end; each text is checked once.
#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QStringList>

#include <cstdio>

namespace {

// The tables that grow with the school: its people and pupils, their situations, the values
// entered for them, and the subjects and components of each class session. Read whole, any of
// them makes a statement cost the school's size wherever it serves one class or one pupil.
const QStringList kGrowing = {
    "TANA_ANAGRAFICHE", "TANACAG",    "TANAPER_PERSONALE", "TSIT_SITUAZIONI", "TCLSSESMAT",
    "TCLSMATCMP",       "TCLSMATANA", "TVOT_VOTI",         "TVTP_PROPOSTI",   "TTAS_TASSONOMIE",
    "TASS_ASSENZE",     "TAIU_AIUTI", "TNOT_NOTE",         "TDEB_DEBITI",     "TGDZ_GIUDIZI",
    "TCRE_CREDITI",     "TCREFRM",    "TCRESCO",           "TREC_RECUPERI",   "TCOMP_COMPETENZE"};

struct School
{
    const char *name;
    QSqlDatabase db;
};

QSqlDatabase open(const QString &file, const QString &connection)
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = file;
    QSqlDatabase db;
    QString error;
    if (!openDatabase(db, connection, settings, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(error));
        std::exit(2);
    }
    return db;
}

qint64 rows(const QSqlDatabase &db, const QString &table)
{
    qint64 count = 0;
    VxEachRow(
        db, QStringLiteral("SELECT COUNT(*) FROM ") + table, {},
        [&count](const QSqlQuery &q, const QSqlRecord &) { count = q.value(0).toLongLong(); });
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: plancheck STATEMENTS SCALE1.fdb SCALE10.fdb\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(file.errorString()));
        return 2;
    }
    QStringList texts;
    for (const QByteArray &line : file.readAll().split('\n')) {
        QString text = QString::fromUtf8(line).trimmed();
        if (text.endsWith(QLatin1Char(';')))
            text.chop(1);
        if (!text.isEmpty() && !texts.contains(text))
            texts << text;
    }
    School schools[] = {{"scale 1", open(QString::fromLocal8Bit(argv[2]), QStringLiteral("s1"))},
                        {"scale 10", open(QString::fromLocal8Bit(argv[3]), QStringLiteral("s10"))}};

    std::printf("The tables that grow with the school, rows at scale 1 and 10:\n");
    for (const QString &table : kGrowing)
        std::printf("  %-20s %9lld %9lld\n", qPrintable(table), rows(schools[0].db, table),
                    rows(schools[1].db, table));

    QStringList faults;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString &text = texts.at(i);
        std::printf("\n%lld. %s\n", qlonglong(i + 1), qPrintable(text));
        for (School &school : schools) {
            try {
                const TVxStatementPlan plan = VxStatementPlan(school.db, text);
                std::printf("  %-9s %s\n", school.name, qPrintable(plan.plan));
                const QStringList whole = VxTablesReadWhole(school.db, plan, kGrowing);
                if (!whole.isEmpty()) {
                    const QString fault =
                        QStringLiteral("%1. at %2 reads whole %3")
                            .arg(i + 1)
                            .arg(QLatin1String(school.name), whole.join(QStringLiteral(", ")));
                    std::printf("  FAULT: %s\n", qPrintable(fault));
                    faults << fault;
                }
            } catch (const EVxException &e) {
                const QString fault =
                    QStringLiteral("%1. at %2 not prepared: %3 %4")
                        .arg(i + 1)
                        .arg(QLatin1String(school.name), e.message(), e.detail().simplified());
                std::printf("  FAULT: %s\n", qPrintable(fault));
                faults << fault;
            }
        }
    }

    std::printf("\n%lld statement texts, each planned at scale 1 and 10: %s\n",
                qlonglong(texts.size()),
                faults.isEmpty() ? "no table that grows with the school read whole"
                                 : "tables that grow with the school read whole:");
    for (const QString &fault : faults)
        std::printf("  %s\n", qPrintable(fault));
    for (School &school : schools) {
        const QString name = school.db.connectionName();
        school.db.close();
        school.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    return faults.isEmpty() && !texts.isEmpty() ? 0 : 1;
}
