// tavrin-makedb: creates the suite's database with the demo school.
//   tavrin-makedb [--scale N] [--force] [--no-forced-writes] [database-file]
// Without a file, the demo database of the user's main folder, only when it is missing, with
// the demo's working context when none is set. --no-forced-writes leaves the finished file
// without synchronous writes (databases for tests, which nobody needs to survive a crash).

#include "db/demomodel.h"
#include "db/demoschool.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

struct Options
{
    int scale = 1;
    bool force = false;
    bool forcedWrites = true;
    QString path;
};

// Every argument is checked before any file is touched; empty when they all hold.
QString parse(const QStringList &args, Options &options)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--scale")) {
            bool ok = false;
            options.scale = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
            if (!ok)
                return QStringLiteral("--scale vuole un numero intero");
            if (const QString error = demoScaleError(options.scale); !error.isEmpty())
                return error;
        } else if (arg == QLatin1String("--force")) {
            options.force = true;
        } else if (arg == QLatin1String("--no-forced-writes")) {
            options.forcedWrites = false;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return QStringLiteral("opzione sconosciuta: %1").arg(arg);
        } else if (!options.path.isEmpty()) {
            return QStringLiteral("un solo file di database alla volta");
        } else {
            options.path = QFileInfo(arg).absoluteFilePath();
        }
    }
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (const QString error = parse(app.arguments().mid(1), options); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const bool demoOfMainFolder = options.path.isEmpty();
    if (demoOfMainFolder) {
        options.path = defaultDatabasePath();
        if (QFileInfo::exists(options.path))
            return 0;
    }
    const QString path = options.path;
    if (QFileInfo::exists(path) && !options.force) {
        std::fprintf(stderr, "%s esiste già (--force per sostituirlo)\n", qPrintable(path));
        return 1;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());

    // Built under a name of its own beside the target, which stays as it is until the new
    // database is complete and then is replaced in one step.
    const QString building =
        path + QStringLiteral(".building-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(building);
    const QString error =
        buildDemoDatabase(building, options.scale, options.forcedWrites, QStringLiteral("makedb"));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        QFile::remove(building);
        return 1;
    }
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) !=
        0) {
        std::fprintf(stderr, "impossibile sostituire %s\n", qPrintable(path));
        QFile::remove(building);
        return 1;
    }
    // The demo opens on its working session, as an office would leave it; a context the
    // user already chose is kept.
    if (demoOfMainFolder && TVxWorkingContext::institute() == 0) {
        TVxWorkingContext::setInstitute(demo::kInstitute);
        TVxWorkingContext::setSchoolYear(demo::kWorkingYear);
        TVxWorkingContext::setSession(demo::yearSession(demo::kWorkingYear, demo::Final));
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}
