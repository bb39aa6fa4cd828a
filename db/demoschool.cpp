#include "db/demoschool.h"

#include <QSqlDatabase>

QString fillDemoSchool(QSqlDatabase &db, int scale)
{
    Q_UNUSED(db);
    Q_UNUSED(scale);
    return {};
}
