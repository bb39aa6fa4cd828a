#include "platform/clientdataset.h"
#include "platform/vxexception.h"

#include "tests/support/testdb.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

// The votes packet layout of the portal packages: pupil, subject, description, order.
void defineVotes(TClientDataSet &ds)
{
    ds.ClearFieldDefs();
    ds.AddFieldDef(QStringLiteral("ALU_ID"), ftInteger);
    ds.AddFieldDef(QStringLiteral("MAT_ID"), ftInteger);
    ds.AddFieldDef(QStringLiteral("Materia"), ftString, 100);
    ds.AddFieldDef(QStringLiteral("SIT_ID"), ftInteger);
    ds.CreateDataSet();
}

void addVote(TClientDataSet &ds, int pupil, int subject, const QString &name, int order)
{
    ds.Append();
    ds.FieldByName(QStringLiteral("ALU_ID"))->setValue(pupil);
    ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(subject);
    ds.FieldByName(QStringLiteral("Materia"))->setValue(name);
    ds.FieldByName(QStringLiteral("SIT_ID"))->setValue(order);
    ds.Post();
}

// Classes and teachers as the collection packets carry them.
void defineClasses(TClientDataSet &ds)
{
    ds.ClearFieldDefs();
    ds.AddFieldDef(QStringLiteral("iDocId"), ftInteger);
    ds.AddFieldDef(QStringLiteral("iClsId"), ftInteger);
    ds.AddFieldDef(QStringLiteral("iAnsId"), ftInteger);
    ds.AddFieldDef(QStringLiteral("sClsDesc"), ftString, 20);
    ds.AddFieldDef(QStringLiteral("ISCALIVVALORE"), ftFloat);
    ds.AddFieldDef(QStringLiteral("dInsert"), ftDate);
    ds.CreateDataSet();
    const struct
    {
        int doc, cls, ans;
        const char *desc;
        double value;
    } rows[] = {{4, 1, 38, "1A", 6}, {4, 2, 38, "2A", 8}, {4, 5, 37, "5A", 7.5},
                {9, 5, 38, "5A", 9}, {9, 7, 38, "7B", 5}, {9, 3, 38, "3C", 10}};
    for (const auto &r : rows) {
        ds.Append();
        ds.FieldByName(QStringLiteral("iDocId"))->setValue(r.doc);
        ds.FieldByName(QStringLiteral("iClsId"))->setValue(r.cls);
        ds.FieldByName(QStringLiteral("iAnsId"))->setValue(r.ans);
        ds.FieldByName(QStringLiteral("sClsDesc"))->setValue(QString::fromLatin1(r.desc));
        ds.FieldByName(QStringLiteral("ISCALIVVALORE"))->setValue(r.value);
        ds.Post();
    }
}

QList<int> column(TClientDataSet &ds, const QString &name)
{
    QList<int> values;
    ds.First();
    while (!ds.Eof()) {
        values << ds.FieldByName(name)->AsInteger();
        ds.Next();
    }
    return values;
}

int countWithFilter(TClientDataSet &ds, const QString &filter)
{
    ds.setFilter(filter);
    ds.setFiltered(true);
    const int n = ds.RecordCount();
    ds.setFiltered(false);
    return n;
}

} // namespace

TEST(ClientDataSet, DefinedColumnsTakeTypedValuesAndRefuseMisuse)
{
    TClientDataSet ds;
    defineVotes(ds);
    EXPECT_TRUE(ds.IsEmpty());
    ds.First();
    EXPECT_TRUE(ds.Eof());

    addVote(ds, 1000001, 7, QStringLiteral("Italiano"), 1);
    // Names match whatever their case; an absent column is no field.
    EXPECT_EQ(ds.FieldByName(QStringLiteral("alu_id"))->AsInteger(), 1000001);
    EXPECT_EQ(ds.FindField(QStringLiteral("materia"))->AsString(), QStringLiteral("Italiano"));
    EXPECT_EQ(ds.FindField(QStringLiteral("Assenze")), nullptr);
    EXPECT_THROW(ds.FieldByName(QStringLiteral("Assenze")), EVxException);

    // Writing needs edit or insert state.
    EXPECT_THROW(ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(3), EVxException);
    ds.Edit();
    EXPECT_THROW(ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(QStringLiteral("abc")),
                 EVxException);
    ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(QStringLiteral(" 12 "));
    ds.FieldByName(QStringLiteral("Materia"))->setValue(QString(150, QLatin1Char('x')));
    ds.FieldByName(QStringLiteral("SIT_ID"))->setValue(QString());
    ds.Post();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("MAT_ID"))->Value(), QVariant(qlonglong(12)));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString().size(), 100);
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("SIT_ID"))->IsNull());
    EXPECT_EQ(ds.FieldByName(QStringLiteral("SIT_ID"))->AsInteger(), 0);

    // Cancel leaves the record as it was.
    ds.Edit();
    ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(99);
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("MAT_ID"))->AsInteger(), 12);

    EXPECT_THROW(ds.AddFieldDef(QStringLiteral("X"), ftInteger), EVxException);
    ds.Close();
    EXPECT_THROW(ds.AddFieldDef(QStringLiteral("alu_id"), ftInteger), EVxException);
}

TEST(ClientDataSet, NavigationInsertAndDeleteKeepTheCursorWhereCallersExpect)
{
    TClientDataSet ds;
    defineVotes(ds);
    for (int i = 1; i <= 4; ++i)
        addVote(ds, i, 10 * i, QStringLiteral("M%1").arg(i), i);
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 3, 4}));

    // Insert goes before the current record; append at the end.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID"), 3));
    ds.Insert();
    ds.FieldByName(QStringLiteral("ALU_ID"))->setValue(25);
    ds.Post();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ALU_ID"))->AsInteger(), 25);
    EXPECT_EQ(ds.RecNo(), 2);
    // Moving while inserting posts the record first.
    ds.Append();
    ds.FieldByName(QStringLiteral("ALU_ID"))->setValue(5);
    ds.First();
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 25, 3, 4, 5}));

    // Deleting from the current record to the end in a not-eof loop.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID"), 3));
    while (!ds.Eof())
        ds.Delete();
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 25}));
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ALU_ID"))->AsInteger(), 25);
    ds.Prior();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ALU_ID"))->AsInteger(), 2);

    // Edit on an empty dataset starts a new record.
    ds.EmptyDataSet();
    ds.Edit();
    ds.FieldByName(QStringLiteral("ALU_ID"))->setValue(8);
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 1);
    ds.Delete();
    EXPECT_THROW(ds.Delete(), EVxException);
}

TEST(ClientDataSet, LocateIsExactAndFollowsEditsDeletesAndTheFilter)
{
    TClientDataSet ds;
    defineVotes(ds);
    addVote(ds, 1, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 1, 8, QStringLiteral("Storia"), 2);
    addVote(ds, 2, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 2, 7, QStringLiteral("Doppione"), 5);

    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    // The first match in the current order.
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString(), QStringLiteral("Italiano"));
    ASSERT_TRUE(ds.Locate(QStringLiteral("alu_id ; mat_id"), {QStringLiteral("1"), 8.0}));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString(), QStringLiteral("Storia"));

    // Not found leaves the current record alone; texts match exactly and case-sensitively.
    EXPECT_FALSE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {3, 7}));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString(), QStringLiteral("Storia"));
    EXPECT_FALSE(ds.Locate(QStringLiteral("Materia"), QStringLiteral("storia")));
    EXPECT_FALSE(ds.Locate(QStringLiteral("Materia"), QStringLiteral("Storia ")));
    EXPECT_FALSE(ds.Locate(QStringLiteral("ALU_ID"), QStringLiteral("uno")));
    EXPECT_THROW(ds.Locate(QStringLiteral("ALU_ID;NOPE"), {1, 2}), EVxException);
    EXPECT_THROW(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), QVariantList{1}), EVxException);

    // A changed key is found under its new value only.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 8}));
    ds.Edit();
    ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(9);
    ds.Post();
    EXPECT_FALSE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 8}));
    EXPECT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 9}));

    // A deleted record is gone; the duplicate is found next.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    ds.Delete();
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString(), QStringLiteral("Doppione"));

    // Records outside the filter are not found; a null is found by null.
    ds.setFilter(QStringLiteral("ALU_ID = 1"));
    ds.setFiltered(true);
    EXPECT_FALSE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    ds.setFiltered(false);
    addVote(ds, 3, 4, QString(), 0);
    ds.Edit();
    ds.FieldByName(QStringLiteral("MAT_ID"))->Clear();
    ds.Post();
    ds.First();
    EXPECT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {3, QVariant()}));
}

TEST(ClientDataSet, FilterTextsOfTheClassAndTeacherChoices)
{
    TClientDataSet ds;
    defineClasses(ds);
    // The class filter of the collection windows.
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("(iClsId = 5) OR (iClsId = 7)")), 3);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("1 = 0")), 0);
    EXPECT_EQ(countWithFilter(ds, QString()), 6);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("(iClsId = 3)")), 1);
    // Teacher plus class filter, and the debts filter with the school year.
    EXPECT_EQ(
        countWithFilter(ds, QStringLiteral("(iDocId = 4) AND ((iClsId = 1) OR (iClsId = 5))")), 2);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("(iClsId = 5) AND (iAnsId = 38)")), 1);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("iClsId = 5")), 2);
    // The credits filter and the votes-above-eight check.
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("0=1 or iClsId=3 or iClsId=7")), 2);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("ISCALIVVALORE < 8")), 3);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("iscalivvalore >= 7.5 and not (iDocId <> 9)")), 2);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("sClsDesc = '5A'")), 2);
    EXPECT_EQ(countWithFilter(ds, QStringLiteral("iDocId = 9 AND iClsId = 5")), 1);

    // Unknown syntax and unknown fields raise instead of letting every record through.
    for (const char *bad : {"(iClsId = 5) OR ", "iClsId IN (1, 2)", "iClsId LIKE 5", "iClsId = ",
                            "(iClsId = 5", "iClsId == 5", "iClsId = 5 OR OR iClsId = 7",
                            "sClsDesc = '5A", "iClsId = 5;", "iClsId IS NULL"}) {
        EXPECT_THROW(ds.setFilter(QString::fromLatin1(bad)), EVxException) << bad;
    }
    ds.setFilter(QStringLiteral("iAluId = 5"));
    EXPECT_THROW(ds.setFiltered(true), EVxException);
    ds.setFilter(QStringLiteral("dInsert = 5"));
    EXPECT_THROW(ds.setFiltered(true), EVxException);
    // A refused text leaves the previous filter in force.
    ds.setFilter(QStringLiteral("iClsId = 5"));
    ds.setFiltered(true);
    EXPECT_THROW(ds.setFilter(QStringLiteral("iClsId = ")), EVxException);
    EXPECT_THROW(ds.setFilter(QStringLiteral("iAluId = 5")), EVxException);
    EXPECT_EQ(ds.Filter(), QStringLiteral("iClsId = 5"));
    EXPECT_EQ(ds.RecordCount(), 2);
    ds.setFiltered(false);

    // A null never satisfies a comparison; records posted outside the filter leave the view.
    ds.setFilter(QStringLiteral("iClsId <> 5"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.Append();
    ds.FieldByName(QStringLiteral("iDocId"))->setValue(1);
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.First();
    ds.Edit();
    ds.FieldByName(QStringLiteral("iClsId"))->setValue(5);
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(column(ds, QStringLiteral("iClsId")), (QList<int>{2, 7, 3}));
    // A record inserted under the filter goes before the current one.
    ASSERT_TRUE(ds.Locate(QStringLiteral("iClsId"), 3));
    ds.Insert();
    ds.FieldByName(QStringLiteral("iClsId"))->setValue(4);
    ds.Post();
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(column(ds, QStringLiteral("iClsId")), (QList<int>{2, 7, 4, 3}));
    ds.setFiltered(false);
    EXPECT_EQ(column(ds, QStringLiteral("iClsId")), (QList<int>{5, 2, 5, 5, 7, 4, 3, 0}));
}

TEST(ClientDataSet, FilterSetBeforeTheTableExistsIsCheckedWhenItOpens)
{
    TClientDataSet ds;
    ds.setFilter(QStringLiteral("iClsId = 5"));
    ds.setFiltered(true);
    defineClasses(ds);
    EXPECT_EQ(ds.RecordCount(), 2);

    // A text left over while filtering is off does not matter until it is switched on.
    ds.Close();
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("iNope = 1"));
    defineVotes(ds);
    EXPECT_THROW(ds.setFiltered(true), EVxException);
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 0);

    TClientDataSet other;
    other.setFilter(QStringLiteral("iNope = 1"));
    other.setFiltered(true);
    other.AddFieldDef(QStringLiteral("iClsId"), ftInteger);
    EXPECT_THROW(other.CreateDataSet(), EVxException);
    EXPECT_FALSE(other.Active());
}

TEST(ClientDataSet, IndexesOrderTheRecordsAndFollowPosts)
{
    TClientDataSet ds;
    defineVotes(ds);
    addVote(ds, 2, 7, QStringLiteral("a"), 3);
    addVote(ds, 1, 8, QStringLiteral("b"), 2);
    addVote(ds, 2, 9, QStringLiteral("c"), 1);
    addVote(ds, 1, 6, QStringLiteral("d"), 1);
    ds.AddIndex(QStringLiteral("ORDINE_IDX"), QStringLiteral("ALU_ID;SIT_ID"));
    EXPECT_THROW(ds.AddIndex(QStringLiteral("ordine_idx"), QStringLiteral("ALU_ID")), EVxException);
    EXPECT_THROW(ds.AddIndex(QStringLiteral("X"), QStringLiteral("ALU_ID;NOPE")), EVxException);

    ds.setIndexName(QStringLiteral("ORDINE_IDX"));
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{6, 8, 9, 7}));
    // A new record and a changed key take their place in the index.
    addVote(ds, 1, 5, QStringLiteral("e"), 0);
    EXPECT_EQ(ds.RecNo(), 0);
    ASSERT_TRUE(ds.Locate(QStringLiteral("MAT_ID"), 7));
    ds.Edit();
    ds.FieldByName(QStringLiteral("ALU_ID"))->setValue(0);
    ds.Post();
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{7, 5, 6, 8, 9}));
    // Copying in index order, as the re-sorting of a packet does.
    TClientDataSet copy;
    for (const TFieldDef &def : ds.FieldDefs())
        copy.AddFieldDef(def.Name, def.DataType, def.Size);
    copy.CreateDataSet();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        copy.Append();
        for (int i = 0; i < ds.FieldCount(); ++i)
            copy.Fields(i)->setValue(ds.Fields(i)->Value());
        copy.Post();
    }
    EXPECT_EQ(column(copy, QStringLiteral("MAT_ID")), (QList<int>{7, 5, 6, 8, 9}));

    // Dropping the index gives back the order of posting.
    ds.DeleteIndex(QStringLiteral("ORDINE_IDX"));
    EXPECT_EQ(ds.IndexName(), QString());
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{7, 8, 9, 6, 5}));
    EXPECT_THROW(ds.setIndexName(QStringLiteral("ORDINE_IDX")), EVxException);
    ds.setIndexFieldNames(QStringLiteral("Materia"));
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{7, 8, 9, 6, 5}));
    ds.setIndexFieldNames(QStringLiteral("SIT_ID;MAT_ID"));
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{5, 6, 9, 8, 7}));
}

TEST(ClientDataSet, ChangeLogCountsChangesUntilMerged)
{
    TClientDataSet ds;
    defineVotes(ds);
    addVote(ds, 1, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 2, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 3, 7, QStringLiteral("Italiano"), 1);
    EXPECT_EQ(ds.ChangeCount(), 3);
    EXPECT_EQ(ds.UpdateStatus(), TClientDataSet::usInserted);
    ds.MergeChangeLog();
    EXPECT_EQ(ds.ChangeCount(), 0);

    // An edit that changes nothing is no change.
    ds.First();
    ds.Edit();
    ds.Post();
    EXPECT_EQ(ds.ChangeCount(), 0);

    ds.Edit();
    ds.FieldByName(QStringLiteral("Materia"))->setValue(QStringLiteral("Storia"));
    ds.Post();
    EXPECT_EQ(ds.UpdateStatus(), TClientDataSet::usModified);
    ds.Next();
    ds.Edit();
    ds.FieldByName(QStringLiteral("MAT_ID"))->setValue(8);
    ds.Delete(); // deleting while editing drops the edit, logs the original
    ASSERT_EQ(ds.DeletedRecords().size(), 1u);
    EXPECT_EQ(ds.DeletedRecords()[0].at(1), QVariant(qlonglong(7)));
    addVote(ds, 4, 7, QStringLiteral("x"), 1);
    addVote(ds, 5, 7, QStringLiteral("y"), 1);
    ds.Delete(); // a record inserted since the merge leaves no trace
    EXPECT_EQ(ds.ChangeCount(), 3);

    ds.Edit();
    ds.FieldByName(QStringLiteral("SIT_ID"))->setValue(9);
    ds.MergeChangeLog(); // posts the pending edit first
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_TRUE(ds.DeletedRecords().empty());
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 3, 4}));
    EXPECT_EQ(column(ds, QStringLiteral("SIT_ID")), (QList<int>{1, 1, 9}));
    ASSERT_TRUE(ds.Locate(QStringLiteral("ALU_ID"), 1));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Materia"))->AsString(), QStringLiteral("Storia"));
}

TEST(ClientDataSet, FillFromQueryTakesTheColumnsAndRowsOfTheDatabase)
{
    TestDatabase tdb;
    QSqlDatabase db = tdb.connect();
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral(
        "CREATE TABLE TPRV_PROVA (iPrvId INTEGER, sPrvDesc VARCHAR(40), cPrvFlag CHAR(3), "
        "bPrvNota BLOB SUB_TYPE 1, bPrvDati BLOB SUB_TYPE 0, dPrvData DATE, "
        "tPrvOra TIMESTAMP, fPrvVal DOUBLE PRECISION, nPrvImp NUMERIC(9,2))")))
        << q.lastError().text().toStdString();
    ASSERT_TRUE(
        q.prepare(QStringLiteral("INSERT INTO TPRV_PROVA VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")));
    q.addBindValue(1);
    q.addBindValue(QStringLiteral("Più è"));
    q.addBindValue(QStringLiteral("S"));
    q.addBindValue(QStringLiteral("Nota è lunga").toUtf8());
    q.addBindValue(QByteArray("\x00\xff\x01", 3));
    q.addBindValue(QDate(2008, 6, 10));
    q.addBindValue(QDateTime(QDate(2008, 6, 10), QTime(9, 30)));
    q.addBindValue(7.25);
    q.addBindValue(12.5);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO TPRV_PROVA (iPrvId) VALUES (2)")));

    ASSERT_TRUE(q.exec(QStringLiteral("SELECT p.*, p.iPrvId FROM TPRV_PROVA p ORDER BY p.iPrvId")));
    TClientDataSet ds;
    ds.FillFromQuery(q);
    ASSERT_EQ(ds.FieldCount(), 10);
    const QList<TFieldDef> defs = ds.FieldDefs();
    EXPECT_EQ(defs[0].Name, QStringLiteral("IPRVID"));
    EXPECT_EQ(defs[9].Name, QStringLiteral("IPRVID_1"));
    const QList<TFieldType> types = {ftInteger, ftString,   ftString, ftMemo,  ftBlob,
                                     ftDate,    ftDateTime, ftFloat,  ftFloat, ftInteger};
    for (int i = 0; i < types.size(); ++i)
        EXPECT_EQ(defs[i].DataType, types[i]) << i;
    EXPECT_GE(defs[1].Size, 40);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.ChangeCount(), 0);

    ds.First();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("sPrvDesc"))->AsString(), QStringLiteral("Più è"));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("cPrvFlag"))->AsString(), QStringLiteral("S"));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("bPrvNota"))->AsString(),
              QStringLiteral("Nota è lunga"));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("bPrvDati"))->AsBytes(), QByteArray("\x00\xff\x01", 3));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("dPrvData"))->AsDate(), QDate(2008, 6, 10));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("tPrvOra"))->AsDateTime().time(), QTime(9, 30));
    EXPECT_DOUBLE_EQ(ds.FieldByName(QStringLiteral("nPrvImp"))->AsFloat(), 12.5);
    ds.Next();
    for (int i = 1; i < 9; ++i)
        EXPECT_TRUE(ds.Fields(i)->IsNull()) << i;
    EXPECT_TRUE(ds.Locate(QStringLiteral("cPrvFlag"), QStringLiteral("S")));

    // The system tables: CHAR names come back without their padding.
    // The suite's own tables are left out: only the one made here is a user table.
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT r.RDB$RELATION_NAME, r.RDB$SYSTEM_FLAG FROM "
                                      "RDB$RELATIONS r WHERE r.RDB$SYSTEM_FLAG = 1 OR "
                                      "r.RDB$RELATION_NAME = 'TPRV_PROVA'")));
    ds.FillFromQuery(q);
    EXPECT_GT(ds.RecordCount(), 10);
    ASSERT_TRUE(ds.Locate(QStringLiteral("rdb$relation_name"), QStringLiteral("TPRV_PROVA")));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("RDB$SYSTEM_FLAG"))->AsInteger(), 0);
    ds.setFilter(QStringLiteral("RDB$SYSTEM_FLAG = 0"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1);

    QSqlQuery idle(db);
    EXPECT_THROW(ds.FillFromQuery(idle), EVxException);
}

TEST(ClientDataSet, WholeSchoolOfVotesLocatesByKeyQuickly)
{
    TClientDataSet ds;
    defineVotes(ds);
    const int pupils = 1000;
    const int subjects = 100;
    for (int p = 0; p < pupils; ++p)
        for (int s = 0; s < subjects; ++s)
            addVote(ds, 1000000 + p, s, QString(), s);
    ASSERT_EQ(ds.RecordCount(), pupils * subjects);

    QElapsedTimer timer;
    timer.start();
    int found = 0;
    for (int p = pupils - 1; p >= 0; --p)
        for (int s = 0; s < subjects; ++s)
            if (ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {1000000 + p, s})) {
                ++found;
                ds.Edit();
                ds.FieldByName(QStringLiteral("Materia"))->setValue(QStringLiteral("v"));
                ds.Post();
            }
    EXPECT_EQ(found, pupils * subjects);
    EXPECT_LT(timer.elapsed(), 5000);

    // Editing and appending under an index or a filter stays fast too.
    ds.setIndexFieldNames(QStringLiteral("ALU_ID;SIT_ID"));
    ds.setFilter(QStringLiteral("SIT_ID >= 0"));
    ds.setFiltered(true);
    timer.restart();
    for (ds.First(); !ds.Eof(); ds.Next()) {
        ds.Edit();
        ds.FieldByName(QStringLiteral("Materia"))->setValue(QStringLiteral("w"));
        ds.Post();
    }
    ds.setIndexFieldNames(QString());
    for (int i = 0; i < 20000; ++i)
        addVote(ds, 2000000 + i, 1, QString(), i % 2 ? -1 : 1);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(ds.RecordCount(), pupils * subjects + 10000);
    ds.setFiltered(false);

    ds.setIndexFieldNames(QStringLiteral("ALU_ID;SIT_ID"));
    timer.restart();
    for (int i = 0; i < 2000; ++i)
        addVote(ds, 1000000 + i % pupils, 500 + i, QString(), 500 + i);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(ds.Locate(QStringLiteral("ALU_ID;MAT_ID"), {1000005, 505}));
}

TEST(FieldValue, ConversionsIntoTheColumnTypes)
{
    bool ok = false;
    EXPECT_EQ(normalizeFieldValue(ftDate, QStringLiteral("10/06/2008"), &ok),
              QVariant(QDate(2008, 6, 10)));
    EXPECT_EQ(normalizeFieldValue(ftDate, QStringLiteral("2008-06-10"), &ok),
              QVariant(QDate(2008, 6, 10)));
    EXPECT_EQ(normalizeFieldValue(ftDateTime, QDate(2008, 6, 10), &ok),
              QVariant(QDate(2008, 6, 10).startOfDay()));
    normalizeFieldValue(ftDate, QStringLiteral("31/02/2008"), &ok);
    EXPECT_FALSE(ok);
    // Blank text is null for every type but the texts.
    for (TFieldType t : {ftInteger, ftFloat, ftDate, ftDateTime, ftBoolean}) {
        EXPECT_TRUE(normalizeFieldValue(t, QStringLiteral("  "), &ok).isNull());
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(normalizeFieldValue(ftString, QString(), &ok), QVariant(QString()));
    EXPECT_FALSE(normalizeFieldValue(ftString, QString(), &ok).isNull());
    // A fraction does not silently become an integer.
    normalizeFieldValue(ftInteger, 7.5, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(normalizeFieldValue(ftInteger, 8.0, &ok), QVariant(qlonglong(8)));
    EXPECT_EQ(normalizeFieldValue(ftBoolean, QStringLiteral("True"), &ok), QVariant(true));
    EXPECT_EQ(normalizeFieldValue(ftBoolean, 0, &ok), QVariant(false));
    EXPECT_EQ(normalizeFieldValue(ftMemo, QByteArray("è"), &ok), QVariant(QStringLiteral("è")));
    // Equal values hash alike, whatever they were converted from.
    const QVariant a = normalizeFieldValue(ftFloat, 3, &ok);
    const QVariant b = normalizeFieldValue(ftFloat, QStringLiteral("3.0"), &ok);
    EXPECT_EQ(compareFieldValues(a, b), 0);
    EXPECT_EQ(hashFieldValue(a), hashFieldValue(b));
    EXPECT_LT(compareFieldValues(QVariant(), a), 0);
}
