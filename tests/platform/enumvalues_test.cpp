#include "platform/enumvalues.h"
#include "platform/querycollection.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QListWidget>
#include <QSqlQuery>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class EnumValues : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE TSes_Prova (iAnsSesDwgId INTEGER, iAnsId INTEGER, "
                           "sSesDesc CHAR(20), iOrd INTEGER)"));
        ASSERT_TRUE(q.exec("INSERT INTO TSes_Prova VALUES (11, 38, 'Primo periodo', 1)"));
        ASSERT_TRUE(q.exec("INSERT INTO TSes_Prova VALUES (13, 38, 'Differita', 3)"));
        ASSERT_TRUE(q.exec("INSERT INTO TSes_Prova VALUES (12, 38, 'Finale', 2)"));
        ASSERT_TRUE(q.exec("INSERT INTO TSes_Prova VALUES (21, 39, 'Finale', 2)"));
        ASSERT_TRUE(q.exec("INSERT INTO TSes_Prova VALUES (NULL, 40, 'Senza chiave', 1)"));
    }
    TestDatabase database;
    QSqlDatabase db;
    const QString sql =
        "SELECT iAnsSesDwgId, sSesDesc, iOrd FROM TSes_Prova WHERE iAnsId = :iAnsId "
        "ORDER BY iOrd";
    TVxFieldValues year(int id)
    {
        TVxFieldValues v;
        v.setValue("IANSID", id);
        return v;
    }
};

} // namespace

TEST_F(EnumValues, ItemsAreReplacedWithTextAndIdInQueryOrder)
{
    QComboBox combo;
    combo.addItem("vecchio", 99);
    LoadEnumValues(db, &combo, sql, year(38));
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0), "Primo periodo"); // CHAR padding gone
    EXPECT_EQ(enumItemId(&combo, 1), 12);
    EXPECT_EQ(enumItemId(&combo, 2), 13);
    EXPECT_EQ(enumItemId(&combo, -1), 0);

    QListWidget list;
    LoadEnumValues(db, &list, sql, year(39));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.item(0)->data(Qt::UserRole).toInt(), 21);

    TVxEnumItems items;
    LoadEnumValues(db, items, sql, year(40));
    EXPECT_EQ(items, (TVxEnumItems{{"Senza chiave", 0}}));
    LoadEnumValues(db, items, sql, year(41));
    EXPECT_TRUE(items.isEmpty());

    // The third column is an item's detail only when asked for, padding gone, NULL empty.
    EXPECT_EQ(LoadEnumItemsWithDetail(
                  db, "SELECT iOrd, sSesDesc, sSesDesc FROM TSes_Prova WHERE iAnsId = 38 ORDER BY "
                      "iOrd"),
              (TVxEnumItems{{"Primo periodo", 1, "Primo periodo"},
                            {"Finale", 2, "Finale"},
                            {"Differita", 3, "Differita"}}));
    EXPECT_EQ(LoadEnumItemsWithDetail(db, "SELECT iOrd, sSesDesc, CAST(NULL AS CHAR(5)) FROM "
                                          "TSes_Prova WHERE iAnsId = 39"),
              (TVxEnumItems{{"Finale", 2, ""}}));
}

TEST_F(EnumValues, RefusedStatementKeepsTheItems)
{
    QComboBox combo;
    combo.addItem("vecchio", 99);
    EXPECT_THROW(LoadEnumValues(db, &combo, "SELECT nulla FROM TSes_Prova"), EVxException);
    EXPECT_EQ(combo.count(), 1);
    // A parameter without a value is refused rather than bound as NULL.
    EXPECT_THROW(LoadEnumValues(db, &combo, sql), EVxException);
}

TEST(BuildTree, OneLevelPerPairSharingNodes)
{
    QTreeWidget tree;
    BuildTree(&tree, {{1, "Liceo", 10, "1A", 100, "Rossi"},
                      {1, "Liceo", 10, "1A", 101, "Verdi"},
                      {1, "Liceo", 11, "2A", 102, "Bianchi"},
                      {2, "Tecnico", QVariant(), QVariant(), QVariant(), QVariant()}});
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    QTreeWidgetItem *liceo = tree.topLevelItem(0);
    EXPECT_EQ(liceo->text(0), "Liceo");
    ASSERT_EQ(liceo->childCount(), 2);
    EXPECT_EQ(liceo->child(0)->childCount(), 2);
    EXPECT_EQ(liceo->child(0)->child(1)->data(0, Qt::UserRole).toInt(), 101);
    EXPECT_EQ(tree.topLevelItem(1)->childCount(), 0);
}

TEST_F(EnumValues, TreeFromAQueryCollection)
{
    TVxQueryCollection xqc;
    xqc.setConnection(db);
    xqc.setSQL("SELECT s.iAnsId, CAST(s.iAnsId AS VARCHAR(4)) sAnno, s.iAnsSesDwgId, s.sSesDesc "
               "FROM TSes_Prova s WHERE s.iAnsSesDwgId IS NOT NULL ORDER BY s.iAnsId, s.iOrd");
    xqc.Open();
    QTreeWidget tree;
    BuildTree(&tree, xqc);
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), "38");
    ASSERT_EQ(tree.topLevelItem(0)->childCount(), 3);
    EXPECT_EQ(tree.topLevelItem(0)->child(1)->text(0), "Finale");
}
