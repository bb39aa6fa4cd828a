#include "platform/transaction.h"
#include "tests/support/testdb.h"

#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

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
                keys[t].insert(VxNewKey(db, QStringLiteral("TVot_Voti")));
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
