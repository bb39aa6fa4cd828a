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
    ds.clearFieldDefs();
    ds.addFieldDef(QStringLiteral("ALU_ID"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("MAT_ID"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("Materia"), FieldType::String, 100);
    ds.addFieldDef(QStringLiteral("SIT_ID"), FieldType::Integer);
    ds.createDataSet();
}

void addVote(TClientDataSet &ds, int pupil, int subject, const QString &name, int order)
{
    ds.append();
    ds.fieldByName(QStringLiteral("ALU_ID"))->setValue(pupil);
    ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(subject);
    ds.fieldByName(QStringLiteral("Materia"))->setValue(name);
    ds.fieldByName(QStringLiteral("SIT_ID"))->setValue(order);
    ds.post();
}

// Classes and teachers as the collection packets carry them.
void defineClasses(TClientDataSet &ds)
{
    ds.clearFieldDefs();
    ds.addFieldDef(QStringLiteral("iDocId"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("iClsId"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("iAnsId"), FieldType::Integer);
    ds.addFieldDef(QStringLiteral("sClsDesc"), FieldType::String, 20);
    ds.addFieldDef(QStringLiteral("ISCALIVVALORE"), FieldType::Float);
    ds.addFieldDef(QStringLiteral("dInsert"), FieldType::Date);
    ds.createDataSet();
    const struct
    {
        int doc, cls, ans;
        const char *desc;
        double value;
    } rows[] = {{4, 1, 38, "1A", 6}, {4, 2, 38, "2A", 8}, {4, 5, 37, "5A", 7.5},
                {9, 5, 38, "5A", 9}, {9, 7, 38, "7B", 5}, {9, 3, 38, "3C", 10}};
    for (const auto &r : rows) {
        ds.append();
        ds.fieldByName(QStringLiteral("iDocId"))->setValue(r.doc);
        ds.fieldByName(QStringLiteral("iClsId"))->setValue(r.cls);
        ds.fieldByName(QStringLiteral("iAnsId"))->setValue(r.ans);
        ds.fieldByName(QStringLiteral("sClsDesc"))->setValue(QString::fromLatin1(r.desc));
        ds.fieldByName(QStringLiteral("ISCALIVVALORE"))->setValue(r.value);
        ds.post();
    }
}

QList<int> column(TClientDataSet &ds, const QString &name)
{
    QList<int> values;
    ds.first();
    while (!ds.eof()) {
        values << ds.fieldByName(name)->asInteger();
        ds.next();
    }
    return values;
}

int countWithFilter(TClientDataSet &ds, const QString &filter)
{
    ds.setFilter(filter);
    ds.setFiltered(true);
    const int n = ds.recordCount();
    ds.setFiltered(false);
    return n;
}

} // namespace

TEST(ClientDataSet, DefinedColumnsTakeTypedValuesAndRefuseMisuse)
{
    TClientDataSet ds;
    defineVotes(ds);
    EXPECT_TRUE(ds.isEmpty());
    ds.first();
    EXPECT_TRUE(ds.eof());

    addVote(ds, 1000001, 7, QStringLiteral("Italiano"), 1);
    // Names match whatever their case; an absent column is no field.
    EXPECT_EQ(ds.fieldByName(QStringLiteral("alu_id"))->asInteger(), 1000001);
    EXPECT_EQ(ds.findField(QStringLiteral("materia"))->asString(), QStringLiteral("Italiano"));
    EXPECT_EQ(ds.findField(QStringLiteral("Assenze")), nullptr);
    EXPECT_THROW(ds.fieldByName(QStringLiteral("Assenze")), EVxException);

    // Writing needs edit or insert state.
    EXPECT_THROW(ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(3), EVxException);
    ds.edit();
    EXPECT_THROW(ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(QStringLiteral("abc")),
                 EVxException);
    ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(QStringLiteral(" 12 "));
    ds.fieldByName(QStringLiteral("Materia"))->setValue(QString(150, QLatin1Char('x')));
    ds.fieldByName(QStringLiteral("SIT_ID"))->setValue(QString());
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("MAT_ID"))->value(), QVariant(qlonglong(12)));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString().size(), 100);
    EXPECT_TRUE(ds.fieldByName(QStringLiteral("SIT_ID"))->isNull());
    EXPECT_EQ(ds.fieldByName(QStringLiteral("SIT_ID"))->asInteger(), 0);

    // Cancel leaves the record as it was.
    ds.edit();
    ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(99);
    ds.cancel();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("MAT_ID"))->asInteger(), 12);

    EXPECT_THROW(ds.addFieldDef(QStringLiteral("X"), FieldType::Integer), EVxException);
    ds.close();
    EXPECT_THROW(ds.addFieldDef(QStringLiteral("alu_id"), FieldType::Integer), EVxException);
}

TEST(ClientDataSet, NavigationInsertAndDeleteKeepTheCursorWhereCallersExpect)
{
    TClientDataSet ds;
    defineVotes(ds);
    for (int i = 1; i <= 4; ++i)
        addVote(ds, i, 10 * i, QStringLiteral("M%1").arg(i), i);
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 3, 4}));

    // Insert goes before the current record; append at the end.
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID"), 3));
    ds.insert();
    ds.fieldByName(QStringLiteral("ALU_ID"))->setValue(25);
    ds.post();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("ALU_ID"))->asInteger(), 25);
    EXPECT_EQ(ds.recNo(), 3);
    // Moving while inserting posts the record first.
    ds.append();
    ds.fieldByName(QStringLiteral("ALU_ID"))->setValue(5);
    ds.first();
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 25, 3, 4, 5}));

    // Deleting from the current record to the end in a not-eof loop.
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID"), 3));
    while (!ds.eof())
        ds.deleteRecord();
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 2, 25}));
    ds.last();
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.fieldByName(QStringLiteral("ALU_ID"))->asInteger(), 25);
    ds.prior();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("ALU_ID"))->asInteger(), 2);

    // Edit on an empty dataset starts a new record.
    ds.emptyDataSet();
    ds.edit();
    ds.fieldByName(QStringLiteral("ALU_ID"))->setValue(8);
    ds.post();
    EXPECT_EQ(ds.recordCount(), 1);
    ds.deleteRecord();
    EXPECT_THROW(ds.deleteRecord(), EVxException);
}

TEST(ClientDataSet, LocateIsExactAndFollowsEditsDeletesAndTheFilter)
{
    TClientDataSet ds;
    defineVotes(ds);
    addVote(ds, 1, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 1, 8, QStringLiteral("Storia"), 2);
    addVote(ds, 2, 7, QStringLiteral("Italiano"), 1);
    addVote(ds, 2, 7, QStringLiteral("Doppione"), 5);

    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    // The first match in the current order.
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString(), QStringLiteral("Italiano"));
    ASSERT_TRUE(ds.locate(QStringLiteral("alu_id ; mat_id"), {QStringLiteral("1"), 8.0}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString(), QStringLiteral("Storia"));

    // Not found leaves the current record alone; texts match exactly and case-sensitively.
    EXPECT_FALSE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {3, 7}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString(), QStringLiteral("Storia"));
    EXPECT_FALSE(ds.locate(QStringLiteral("Materia"), QStringLiteral("storia")));
    EXPECT_FALSE(ds.locate(QStringLiteral("Materia"), QStringLiteral("Storia ")));
    EXPECT_FALSE(ds.locate(QStringLiteral("ALU_ID"), QStringLiteral("uno")));
    EXPECT_THROW(ds.locate(QStringLiteral("ALU_ID;NOPE"), {1, 2}), EVxException);
    EXPECT_THROW(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), QVariantList{1}), EVxException);

    // A changed key is found under its new value only.
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 8}));
    ds.edit();
    ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(9);
    ds.post();
    EXPECT_FALSE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 8}));
    EXPECT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {1, 9}));

    // A deleted record is gone; the duplicate is found next.
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    ds.deleteRecord();
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString(), QStringLiteral("Doppione"));

    // Records outside the filter are not found; a null is found by null.
    ds.setFilter(QStringLiteral("ALU_ID = 1"));
    ds.setFiltered(true);
    EXPECT_FALSE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {2, 7}));
    ds.setFiltered(false);
    addVote(ds, 3, 4, QString(), 0);
    ds.edit();
    ds.fieldByName(QStringLiteral("MAT_ID"))->clear();
    ds.post();
    ds.first();
    EXPECT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {3, QVariant()}));
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
    EXPECT_EQ(ds.filter(), QStringLiteral("iClsId = 5"));
    EXPECT_EQ(ds.recordCount(), 2);
    ds.setFiltered(false);

    // A null never satisfies a comparison; records posted outside the filter leave the view.
    ds.setFilter(QStringLiteral("iClsId <> 5"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.recordCount(), 4);
    ds.append();
    ds.fieldByName(QStringLiteral("iDocId"))->setValue(1);
    ds.post();
    EXPECT_EQ(ds.recordCount(), 4);
    ds.first();
    ds.edit();
    ds.fieldByName(QStringLiteral("iClsId"))->setValue(5);
    ds.post();
    EXPECT_EQ(ds.recordCount(), 3);
    EXPECT_EQ(column(ds, QStringLiteral("iClsId")), (QList<int>{2, 7, 3}));
}

TEST(ClientDataSet, FilterSetBeforeTheTableExistsIsCheckedWhenItOpens)
{
    TClientDataSet ds;
    ds.setFilter(QStringLiteral("iClsId = 5"));
    ds.setFiltered(true);
    defineClasses(ds);
    EXPECT_EQ(ds.recordCount(), 2);

    // A text left over while filtering is off does not matter until it is switched on.
    ds.close();
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("iNope = 1"));
    defineVotes(ds);
    EXPECT_THROW(ds.setFiltered(true), EVxException);
    EXPECT_FALSE(ds.filtered());
    EXPECT_EQ(ds.recordCount(), 0);

    TClientDataSet other;
    other.setFilter(QStringLiteral("iNope = 1"));
    other.setFiltered(true);
    other.addFieldDef(QStringLiteral("iClsId"), FieldType::Integer);
    EXPECT_THROW(other.createDataSet(), EVxException);
    EXPECT_FALSE(other.active());
}

TEST(ClientDataSet, IndexesOrderTheRecordsAndFollowPosts)
{
    TClientDataSet ds;
    defineVotes(ds);
    addVote(ds, 2, 7, QStringLiteral("a"), 3);
    addVote(ds, 1, 8, QStringLiteral("b"), 2);
    addVote(ds, 2, 9, QStringLiteral("c"), 1);
    addVote(ds, 1, 6, QStringLiteral("d"), 1);
    ds.addIndex(QStringLiteral("ORDINE_IDX"), QStringLiteral("ALU_ID;SIT_ID"));
    EXPECT_THROW(ds.addIndex(QStringLiteral("ordine_idx"), QStringLiteral("ALU_ID")), EVxException);
    EXPECT_THROW(ds.addIndex(QStringLiteral("X"), QStringLiteral("ALU_ID;NOPE")), EVxException);

    ds.setIndexName(QStringLiteral("ORDINE_IDX"));
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{6, 8, 9, 7}));
    // A new record and a changed key take their place in the index.
    addVote(ds, 1, 5, QStringLiteral("e"), 0);
    EXPECT_EQ(ds.recNo(), 1);
    ASSERT_TRUE(ds.locate(QStringLiteral("MAT_ID"), 7));
    ds.edit();
    ds.fieldByName(QStringLiteral("ALU_ID"))->setValue(0);
    ds.post();
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_EQ(column(ds, QStringLiteral("MAT_ID")), (QList<int>{7, 5, 6, 8, 9}));
    // Copying in index order, as the re-sorting of a packet does.
    TClientDataSet copy;
    for (const FieldDef &def : ds.fieldDefs())
        copy.addFieldDef(def.name, def.type, def.size);
    copy.createDataSet();
    for (ds.first(); !ds.eof(); ds.next()) {
        copy.append();
        for (int i = 0; i < ds.fieldCount(); ++i)
            copy.field(i)->setValue(ds.field(i)->value());
        copy.post();
    }
    EXPECT_EQ(column(copy, QStringLiteral("MAT_ID")), (QList<int>{7, 5, 6, 8, 9}));

    // Dropping the index gives back the order of posting.
    ds.deleteIndex(QStringLiteral("ORDINE_IDX"));
    EXPECT_EQ(ds.indexName(), QString());
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
    EXPECT_EQ(ds.changeCount(), 3);
    EXPECT_EQ(ds.updateStatus(), TClientDataSet::UpdateStatus::Inserted);
    ds.mergeChangeLog();
    EXPECT_EQ(ds.changeCount(), 0);

    // An edit that changes nothing is no change.
    ds.first();
    ds.edit();
    ds.post();
    EXPECT_EQ(ds.changeCount(), 0);

    ds.edit();
    ds.fieldByName(QStringLiteral("Materia"))->setValue(QStringLiteral("Storia"));
    ds.post();
    EXPECT_EQ(ds.updateStatus(), TClientDataSet::UpdateStatus::Modified);
    ds.next();
    ds.edit();
    ds.fieldByName(QStringLiteral("MAT_ID"))->setValue(8);
    ds.deleteRecord(); // deleting while editing drops the edit, logs the original
    ASSERT_EQ(ds.deletedRecords().size(), 1u);
    EXPECT_EQ(ds.deletedRecords()[0].at(1), QVariant(qlonglong(7)));
    addVote(ds, 4, 7, QStringLiteral("x"), 1);
    addVote(ds, 5, 7, QStringLiteral("y"), 1);
    ds.deleteRecord(); // a record inserted since the merge leaves no trace
    EXPECT_EQ(ds.changeCount(), 3);

    ds.edit();
    ds.fieldByName(QStringLiteral("SIT_ID"))->setValue(9);
    ds.mergeChangeLog(); // posts the pending edit first
    EXPECT_EQ(ds.changeCount(), 0);
    EXPECT_TRUE(ds.deletedRecords().empty());
    EXPECT_EQ(column(ds, QStringLiteral("ALU_ID")), (QList<int>{1, 3, 4}));
    EXPECT_EQ(column(ds, QStringLiteral("SIT_ID")), (QList<int>{1, 1, 9}));
    ASSERT_TRUE(ds.locate(QStringLiteral("ALU_ID"), 1));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("Materia"))->asString(), QStringLiteral("Storia"));
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
    ds.fillFromQuery(q);
    ASSERT_EQ(ds.fieldCount(), 10);
    const QList<FieldDef> defs = ds.fieldDefs();
    EXPECT_EQ(defs[0].name, QStringLiteral("IPRVID"));
    EXPECT_EQ(defs[9].name, QStringLiteral("IPRVID_1"));
    const QList<FieldType> types = {FieldType::Integer,  FieldType::String, FieldType::String,
                                    FieldType::Memo,     FieldType::Blob,   FieldType::Date,
                                    FieldType::DateTime, FieldType::Float,  FieldType::Float,
                                    FieldType::Integer};
    for (int i = 0; i < types.size(); ++i)
        EXPECT_EQ(defs[i].type, types[i]) << i;
    EXPECT_GE(defs[1].size, 40);
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.changeCount(), 0);

    ds.first();
    EXPECT_EQ(ds.fieldByName(QStringLiteral("sPrvDesc"))->asString(), QStringLiteral("Più è"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("cPrvFlag"))->asString(), QStringLiteral("S"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("bPrvNota"))->asString(),
              QStringLiteral("Nota è lunga"));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("bPrvDati"))->asBytes(), QByteArray("\x00\xff\x01", 3));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("dPrvData"))->asDate(), QDate(2008, 6, 10));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("tPrvOra"))->asDateTime().time(), QTime(9, 30));
    EXPECT_DOUBLE_EQ(ds.fieldByName(QStringLiteral("nPrvImp"))->asFloat(), 12.5);
    ds.next();
    for (int i = 1; i < 9; ++i)
        EXPECT_TRUE(ds.field(i)->isNull()) << i;
    EXPECT_TRUE(ds.locate(QStringLiteral("cPrvFlag"), QStringLiteral("S")));

    // The system tables: CHAR names come back without their padding.
    ASSERT_TRUE(q.exec(
        QStringLiteral("SELECT r.RDB$RELATION_NAME, r.RDB$SYSTEM_FLAG FROM RDB$RELATIONS r")));
    ds.fillFromQuery(q);
    EXPECT_GT(ds.recordCount(), 10);
    ASSERT_TRUE(ds.locate(QStringLiteral("rdb$relation_name"), QStringLiteral("TPRV_PROVA")));
    EXPECT_EQ(ds.fieldByName(QStringLiteral("RDB$SYSTEM_FLAG"))->asInteger(), 0);
    ds.setFilter(QStringLiteral("RDB$SYSTEM_FLAG = 0"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.recordCount(), 1);

    QSqlQuery idle(db);
    EXPECT_THROW(ds.fillFromQuery(idle), EVxException);
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
    ASSERT_EQ(ds.recordCount(), pupils * subjects);

    QElapsedTimer timer;
    timer.start();
    int found = 0;
    for (int p = pupils - 1; p >= 0; --p)
        for (int s = 0; s < subjects; ++s)
            if (ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {1000000 + p, s})) {
                ++found;
                ds.edit();
                ds.fieldByName(QStringLiteral("Materia"))->setValue(QStringLiteral("v"));
                ds.post();
            }
    EXPECT_EQ(found, pupils * subjects);
    EXPECT_LT(timer.elapsed(), 5000);

    // Posting into an indexed dataset stays fast too.
    ds.setIndexFieldNames(QStringLiteral("ALU_ID;SIT_ID"));
    timer.restart();
    for (int i = 0; i < 2000; ++i)
        addVote(ds, 1000000 + i % pupils, 500 + i, QString(), 500 + i);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(ds.locate(QStringLiteral("ALU_ID;MAT_ID"), {1000005, 505}));
}

TEST(FieldValue, ConversionsIntoTheColumnTypes)
{
    bool ok = false;
    EXPECT_EQ(normalizeFieldValue(FieldType::Date, QStringLiteral("10/06/2008"), &ok),
              QVariant(QDate(2008, 6, 10)));
    EXPECT_EQ(normalizeFieldValue(FieldType::Date, QStringLiteral("2008-06-10"), &ok),
              QVariant(QDate(2008, 6, 10)));
    EXPECT_EQ(normalizeFieldValue(FieldType::DateTime, QDate(2008, 6, 10), &ok),
              QVariant(QDate(2008, 6, 10).startOfDay()));
    normalizeFieldValue(FieldType::Date, QStringLiteral("31/02/2008"), &ok);
    EXPECT_FALSE(ok);
    // Blank text is null for every type but the texts.
    for (FieldType t : {FieldType::Integer, FieldType::Float, FieldType::Date, FieldType::DateTime,
                        FieldType::Boolean}) {
        EXPECT_TRUE(normalizeFieldValue(t, QStringLiteral("  "), &ok).isNull());
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(normalizeFieldValue(FieldType::String, QString(), &ok), QVariant(QString()));
    EXPECT_FALSE(normalizeFieldValue(FieldType::String, QString(), &ok).isNull());
    // A fraction does not silently become an integer.
    normalizeFieldValue(FieldType::Integer, 7.5, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(normalizeFieldValue(FieldType::Integer, 8.0, &ok), QVariant(qlonglong(8)));
    EXPECT_EQ(normalizeFieldValue(FieldType::Boolean, QStringLiteral("True"), &ok), QVariant(true));
    EXPECT_EQ(normalizeFieldValue(FieldType::Boolean, 0, &ok), QVariant(false));
    EXPECT_EQ(normalizeFieldValue(FieldType::Memo, QByteArray("è"), &ok),
              QVariant(QStringLiteral("è")));
    // Equal values hash alike, whatever they were converted from.
    const QVariant a = normalizeFieldValue(FieldType::Float, 3, &ok);
    const QVariant b = normalizeFieldValue(FieldType::Float, QStringLiteral("3.0"), &ok);
    EXPECT_EQ(compareFieldValues(a, b), 0);
    EXPECT_EQ(hashFieldValue(a), hashFieldValue(b));
    EXPECT_LT(compareFieldValues(QVariant(), a), 0);
}
