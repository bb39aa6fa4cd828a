// tavrin-makedb: creates the suite's database with the demo school.
//   tavrin-makedb [--scale N] [--force] [database-file]
// Without a file, the demo database of the user's main folder, only when it is missing, with
// the demo's working context when none is set.

#include "db/database.h"
#include "platform/connection.h"
#include "db/demomodel.h"
#include "db/demoschool.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int scale = 1;
    bool force = false;
    QString path;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            scale = qMax(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--force")) {
            force = true;
        } else {
            path = QFileInfo(args[i]).absoluteFilePath();
        }
    }
    const bool demoOfMainFolder = path.isEmpty();
    if (demoOfMainFolder) {
        path = defaultDatabasePath();
        if (QFileInfo::exists(path))
            return 0;
    }
    if (QFileInfo::exists(path)) {
        if (!force) {
            std::fprintf(stderr, "%s esiste già (--force per sostituirlo)\n", qPrintable(path));
            return 1;
        }
        QFile::remove(path);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());

    // Built under a temporary name so a failure never leaves a half-made database behind.
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    QString error = createEmptyDatabase(building);
    if (error.isEmpty()) {
        QSqlDatabase db;
        if (openLocalDatabase(db, QStringLiteral("makedb"), building, &error)) {
            error = applySchema(db);
            if (error.isEmpty())
                error = fillDemoSchool(db, scale);
            db.close();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("makedb"));
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        QFile::remove(building);
        return 1;
    }
    if (!QFile::rename(building, path)) {
        std::fprintf(stderr, "impossibile rinominare %s\n", qPrintable(building));
        return 1;
    }
    // The demo opens on its working session, as an office would leave it; a context the
    // user already chose is kept.
    if (demoOfMainFolder && !xgvmGlobalVar.GetValues(QStringLiteral("VXUP_DwgId")).isValid()) {
        xgvmGlobalVar.SetValues(QStringLiteral("VXUP_DwgId"), demo::kInstitute);
        xgvmGlobalVar.SetValues(QStringLiteral("VXUP_AnsId"), demo::kWorkingYear);
        xgvmGlobalVar.SetValues(QStringLiteral("QELP_AnsSesDwgId"),
                                demo::yearSession(demo::kWorkingYear, demo::Final));
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}
