// tavrin-makedb: creates the suite's database with the demo school.
//   tavrin-makedb [--scale N] [--force] [--no-forced-writes] [database-file]
// Without a file, the demo database of the user's main folder, only when it is missing, with
// the demo's working context when none is set. --no-forced-writes leaves the finished file
// without synchronous writes (databases for tests, which nobody needs to survive a crash).
// Exit status: 0 done (or nothing to do), 1 the database could not be made, 2 wrong arguments.

#include "db/demomodel.h"
#include "db/demoschool.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/vxexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

const char kUsage[] =
    "Uso: tavrin-makedb [--scale N] [--force] [--no-forced-writes] [FILE]\n"
    "Crea un database della suite con la scuola dimostrativa.\n"
    "\n"
    "  FILE                il database da creare, in una cartella che esiste già; senza FILE,\n"
    "                      il database dimostrativo della cartella principale, se manca\n"
    "  --scale N           una scuola N volte più grande (N da 1 a 30)\n"
    "  --force             sostituisce FILE se esiste, solo quando il nuovo è completo\n"
    "  --no-forced-writes  lascia il file senza scritture sincrone (database per i test)\n"
    "  --help              mostra questo aiuto\n";

struct Options
{
    int scale = 1;
    bool force = false;
    bool forcedWrites = true;
    bool help = false;
    QString path;
};

// Every argument is checked before any file is touched; empty when they all hold. Whatever
// starts with "-" is an option, never a file name: a mistyped option must not become a
// database file.
QString parse(const QStringList &args, Options &options)
{
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        const bool hasValue = arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='));
        if (hasValue) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
        }
        if (arg == QLatin1String("--scale")) {
            if (!hasValue) {
                if (i + 1 >= args.size())
                    return QStringLiteral("--scale vuole un numero: la scala della scuola");
                value = args[++i];
            }
            bool ok = false;
            options.scale = value.toInt(&ok);
            if (!ok)
                return QStringLiteral("--scale vuole un numero intero, non \"%1\"").arg(value);
            if (const QString error = demoScaleError(options.scale); !error.isEmpty())
                return error;
        } else if (hasValue) {
            return QStringLiteral("l'opzione %1 non vuole un valore").arg(arg);
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--force")) {
            options.force = true;
        } else if (arg == QLatin1String("--no-forced-writes")) {
            options.forcedWrites = false;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            return QStringLiteral("opzione sconosciuta: %1").arg(arg);
        } else if (!options.path.isEmpty()) {
            return QStringLiteral("un solo file di database alla volta");
        } else {
            options.path = QFileInfo(arg).absoluteFilePath();
        }
    }
    // The folder of a file named here is the caller's to make: a mistyped folder must not be
    // created with a database in it.
    if (!options.help && !options.path.isEmpty() &&
        !QFileInfo(QFileInfo(options.path).absolutePath()).isDir())
        return QStringLiteral("la cartella %1 non esiste")
            .arg(QDir::toNativeSeparators(QFileInfo(options.path).absolutePath()));
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (const QString error = parse(app.arguments().mid(1), options); !error.isEmpty()) {
        std::fprintf(stderr, "tavrin-makedb: %s\nPer l'aiuto: tavrin-makedb --help\n",
                     qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::printf("%s", kUsage);
        return 0;
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
    if (demoOfMainFolder) {
        try {
            VxMakeOwnFolder(QFileInfo(path).absolutePath());
        } catch (const EVxException &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
            return 1;
        }
    }

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
    try {
        VxPutInPlace(building, path);
    } catch (const EVxException &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
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
