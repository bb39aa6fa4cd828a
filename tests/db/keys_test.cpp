#include "tests/support/testdb.h"

#include <QSet>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

namespace {

int newKey(QSqlDatabase &db, const char *table)
{
    QSqlQuery query(db);
    EXPECT_TRUE(query.prepare(QStringLiteral("SELECT L_iCntId FROM PYSetGetId(:t, 0)")));
    query.bindValue(QStringLiteral(":t"), QString::fromLatin1(table));
    EXPECT_TRUE(query.exec());
    EXPECT_TRUE(query.next());
    return query.value(0).toInt();
}

} // namespace

TEST(Keys, TwoConnectionsInsertingAtOnceGetDistinctKeys)
{
    TestDatabase database;
    QSet<int> keys[2];
    QList<QThread *> threads;
    for (int t = 0; t < 2; ++t) {
        threads << QThread::create([&database, &keys, t] {
            // Each thread has its own connection, as two offices would.
            QSqlDatabase db = database.connect(QStringLiteral("keys%1").arg(t));
            for (int i = 0; i < 300; ++i) {
                db.transaction();
                keys[t].insert(newKey(db, "TVOT_VOTI"));
                db.commit();
            }
            db.close();
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(keys[0].size(), 300);
    EXPECT_EQ(keys[1].size(), 300);
    EXPECT_FALSE(keys[0].intersects(keys[1]));
}
