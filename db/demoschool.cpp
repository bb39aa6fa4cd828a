#include "db/demoschool.h"

#include "db/database.h"
#include "db/demowriter.h"
#include "db/seedtable.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlDatabase>

#include <exception>

namespace {

// Runs one area of the seed in a transaction of its own, rolled back on any failure.
template <typename Work> void inTransaction(QSqlDatabase &db, const char *what, Work work)
{
    TVxTransaction transaction(db);
    if (!transaction.StartTransaction())
        throw SeedError(QLatin1String(what) + QStringLiteral(": ") + transaction.lastError());
    work();
    transaction.Commit(); // throws EVxException with the driver's text
}

} // namespace

QString demoScaleError(int scale)
{
    // Class keys hold the section in three digits (iAnsId * 1000 + section * 10 + year).
    if (scale < 1 || scale > 30)
        return QStringLiteral("La scala della scuola dimostrativa va da 1 a 30.");
    return {};
}

QString fillDemoSchool(QSqlDatabase &db, int scale)
{
    if (const QString error = demoScaleError(scale); !error.isEmpty())
        return error;
    try {
        const demo::School school(scale);
        demo::WrittenKeys keys;
        inTransaction(db, "lookups", [&] { demo::writeLookups(db); });
        inTransaction(db, "school", [&] { demo::writeSchool(db, school, keys); });
        inTransaction(db, "evaluation", [&] { demo::writeEvaluation(db, school, keys); });
        inTransaction(db, "outcomes", [&] { demo::writeOutcomes(db, school, keys); });
    } catch (const std::exception &e) {
        // SeedError carries the refused row; anything else is a fault of the generator.
        return QString::fromStdString(e.what());
    }
    return {};
}

QString buildDemoDatabase(const QString &path, int scale, bool forcedWrites,
                          const QString &connectionName)
{
    QString error = createEmptyDatabase(path);
    if (error.isEmpty())
        error = setForcedWrites(path, false);
    if (error.isEmpty()) {
        {
            QSqlDatabase db;
            if (openLocalDatabase(db, connectionName, path, &error)) {
                error = applySchema(db);
                if (error.isEmpty())
                    error = fillDemoSchool(db, scale);
                if (error.isEmpty())
                    error = updateIndexStatistics(db);
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(connectionName);
    }
    if (error.isEmpty() && forcedWrites)
        error = setForcedWrites(path, true);
    return error;
}
