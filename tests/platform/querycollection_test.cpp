#include "platform/querycollection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

bool tableExists(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    q.prepare("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = :t");
    q.bindValue(":t", table.toUpper());
    return q.exec() && q.next();
}

void run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
}

int scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    EXPECT_TRUE(q.next());
    return q.value(0).toInt();
}

// The debt-outcome lookup tables, as the schema declares them; made here only when the test
// database predates them.
void ensureDebtOutcomeTables(QSqlDatabase &db)
{
    if (!tableExists(db, "TDes_DebEsito"))
        run(db, "CREATE TABLE TDes_DebEsito (iDesId INTEGER NOT NULL PRIMARY KEY, "
                "sDesLDescVexto VARCHAR(100), sDesSDescVexto VARCHAR(30), "
                "iDesSufficiente SMALLINT, dDelete DATE)");
    if (!tableExists(db, "TDed_DebEsDett"))
        run(db, "CREATE TABLE TDed_DebEsDett (iDedId INTEGER NOT NULL PRIMARY KEY, "
                "sDedLDesc VARCHAR(100), sDedSDesc VARCHAR(30), iLocked SMALLINT, dDelete DATE)");
    if (!tableExists(db, "TDesDed"))
        run(db, "CREATE TABLE TDesDed (iDesDedId INTEGER NOT NULL PRIMARY KEY, "
                "iDesId INTEGER NOT NULL REFERENCES TDes_DebEsito (iDesId), "
                "iDedId INTEGER NOT NULL REFERENCES TDed_DebEsDett (iDedId), "
                "iLocked SMALLINT, dDelete DATE)");
    if (!tableExists(db, "TEnc_Encomio"))
        run(db, "CREATE TABLE TEnc_Encomio (iEncId INTEGER NOT NULL PRIMARY KEY, "
                "sEncLDesc VARCHAR(100), sEncSDesc VARCHAR(30), dDelete DATE, iLocked SMALLINT)");
    run(db, "UPDATE OR INSERT INTO TDes_DebEsito (iDesId, sDesLDescVexto) VALUES (1, 'Recuperato') "
            "MATCHING (iDesId)");
    run(db, "UPDATE OR INSERT INTO TDes_DebEsito (iDesId, sDesLDescVexto) VALUES (2, "
            "'Non recuperato') MATCHING (iDesId)");
}

struct HookCall
{
    bool before;
    QString table;
    int kind;
};

// The debt-outcome editor's collection: a detail row and the link row that points at it.
class DebtOutcomes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        ensureDebtOutcomeTables(db);
        detailsBefore = scalar(db, "SELECT COUNT(*) FROM TDed_DebEsDett");
        linksBefore = scalar(db, "SELECT COUNT(*) FROM TDesDed");
        xqc.setConnection(db);
        xqc.setSQL("SELECT DesDed.iDesDedId, DesDed.iDedId, DesDed.iDesId, TDed.sDedLDesc, "
                   "TDed.sDedSDesc, DesDed.iLocked FROM TDesDed DesDed "
                   "INNER JOIN TDed_DebEsDett TDed ON (TDed.iDedId = DesDed.iDedId AND "
                   "TDed.dDelete IS NULL) WHERE DesDed.dDelete IS NULL");
        xqc.InsertSQL() << "INSERT INTO TDed_DebEsDett (iDedId, sDedLDesc, sDedSDesc, iLocked) "
                           "VALUES (:VXGENID, :sDedLDesc, :sDedSDesc, :iLocked)"
                        << "INSERT INTO TDesDed (iDesDedId, iDedId, iDesId, iLocked) "
                           "VALUES (:VXGENID, :iDedId, :iDesId, :iLocked)";
        xqc.UpdateSQL() << "UPDATE TDed_DebEsDett SET sDedLDesc = :sDedLDesc, "
                           "sDedSDesc = :sDedSDesc WHERE iDedId = :iDedId"
                        << "UPDATE TDesDed SET iDesId = :iDesId WHERE iDesDedId = :VXCURRID";
        xqc.DeleteSQL() << "DELETE FROM TDesDed WHERE iDesDedId = :VXCURRID"
                        << "DELETE FROM TDed_DebEsDett WHERE iDedId = :iDedId";
        xqc.VxBeforeExec = [this](TVxQueryDesc &d) {
            calls.push_back({true, d.TableName, d.Kind});
            if (d.Kind == skInsert && d.TableName == "TDED_DEBESDETT")
                d.Fields.setValue("iLocked", 0);
            if (d.Kind == skInsert && d.TableName == "TDESDED") {
                d.Fields.setValue("iDedId", lastDedId);
                d.Fields.setValue("iLocked", 0);
            }
        };
        xqc.VxAfterExec = [this](TVxQueryDesc &d) {
            calls.push_back({false, d.TableName, d.Kind});
            if (d.Kind == skInsert && d.TableName == "TDED_DEBESDETT")
                lastDedId = d.Fields.value("VXGENID").toInt();
        };
    }

    TestDatabase database;
    QSqlDatabase db;
    TVxQueryCollection xqc;
    int lastDedId = 0;
    std::vector<HookCall> calls;
    int detailsBefore = 0;
    int linksBefore = 0;
};

} // namespace

TEST(SqlParams, NamedParametersOutsideQuotesAndComments)
{
    const TVxNamedStatement st = toPositional(
        "SELECT ':no', \"A:b\" FROM T -- :nor\n WHERE a = :A AND b = :b_1 /* :x */ OR c = :a");
    EXPECT_EQ(st.names, (QStringList{"A", "b_1", "a"}));
    EXPECT_EQ(st.sql, QString("SELECT ':no', \"A:b\" FROM T -- :nor\n WHERE a = ? AND b = ? "
                              "/* :x */ OR c = ?"));
    EXPECT_EQ(toPositional("SELECT 'it''s :x' FROM T").names, QStringList());
}

TEST(SqlParams, StatementTablesAndDerivedStatements)
{
    EXPECT_EQ(statementTable("insert into TDed_DebEsDett (a) values (1)"), "TDED_DEBESDETT");
    EXPECT_EQ(statementTable("  UPDATE TDesDed SET a = 1"), "TDESDED");
    EXPECT_EQ(statementTable("DELETE FROM TDesDed WHERE 1 = 1"), "TDESDED");
    EXPECT_EQ(selectMainTable("SELECT a FROM TDesDed DesDed INNER JOIN X ON (1 = 1)"), "TDESDED");

    const TVxAutoStatements st = buildAutoStatements(
        "SELECT Enc.iEncId, Enc.sEncLDesc, Enc.sEncSDesc, Enc.dDelete, Enc.iLocked "
        "FROM TEnc_Encomio Enc ORDER BY Enc.sEncLDesc");
    EXPECT_EQ(st.insert,
              "INSERT INTO TEnc_Encomio (iEncId, sEncLDesc, sEncSDesc, dDelete, iLocked) "
              "VALUES (:VXGENID, :sEncLDesc, :sEncSDesc, :dDelete, :iLocked)");
    EXPECT_EQ(st.update, "UPDATE TEnc_Encomio SET sEncLDesc = :sEncLDesc, sEncSDesc = :sEncSDesc, "
                         "dDelete = :dDelete, iLocked = :iLocked WHERE iEncId = :VXCURRID");
    EXPECT_EQ(st.del, "DELETE FROM TEnc_Encomio WHERE iEncId = :VXCURRID");

    // A computed column is shown but not written; a subselect's FROM is not the select's.
    const TVxAutoStatements computed = buildAutoStatements(
        "SELECT Frm.iFrmId, Frm.sFrmLDesc, (SELECT MAX(x) FROM Y) AS m, Frm.iFrmPeso || '-' "
        "FROM TFrm_Formativi Frm WHERE Frm.dDelete IS NULL");
    EXPECT_EQ(computed.insert, "INSERT INTO TFrm_Formativi (iFrmId, sFrmLDesc) VALUES (:VXGENID, "
                               ":sFrmLDesc)");
    EXPECT_THROW(buildAutoStatements("SELECT a.x FROM A a INNER JOIN B b ON (b.x = a.x)"),
                 EVxException);
    EXPECT_THROW(buildAutoStatements("SELECT a.x, b.y FROM A a, B b"), EVxException);
    EXPECT_THROW(buildAutoStatements("SELECT 1 + 1, x FROM A"), EVxException);
}

TEST_F(DebtOutcomes, NewRowInsertsDetailThenLinkCarryingTheDetailKey)
{
    xqc.Open();
    const int rowsBefore = xqc.RecordCount();
    QSignalSpy inserted(&xqc, &QAbstractItemModel::rowsInserted);
    xqc.Append();
    xqc.SetFieldValue("iDesId", 2);
    xqc.SetFieldValue("sDedLDesc", QString::fromUtf8("Non recuperato: verifica a settembre"));
    xqc.SetFieldValue("SDEDSDESC", "NR");
    xqc.Post();

    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDed_DebEsDett"), detailsBefore + 1);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDesDed"), linksBefore + 1);
    const int linkKey = xqc.FieldValue("iDesDedId").toInt();
    QSqlQuery link(db);
    ASSERT_TRUE(link.prepare("SELECT iDedId, iDesId, iLocked FROM TDesDed WHERE iDesDedId = :k"));
    link.bindValue(":k", linkKey);
    ASSERT_TRUE(link.exec() && link.next());
    EXPECT_EQ(link.value(0).toInt(), lastDedId);
    EXPECT_EQ(link.value(1).toInt(), 2);
    EXPECT_EQ(link.value(2).toInt(), 0);
    EXPECT_NE(linkKey, lastDedId); // each table got a key of its own

    // The hooks saw each statement before and after it ran, with its table and kind.
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_TRUE(calls[0].before && calls[0].table == "TDED_DEBESDETT" && calls[0].kind == 1);
    EXPECT_TRUE(!calls[1].before && calls[1].table == "TDED_DEBESDETT");
    EXPECT_TRUE(calls[2].before && calls[2].table == "TDESDED" && calls[2].kind == 1);

    // The view shows the new row with the keys the database holds.
    EXPECT_EQ(xqc.RecordCount(), rowsBefore + 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(xqc.FieldValue("iDedId").toInt(), lastDedId);
    EXPECT_EQ(xqc.data(xqc.index(xqc.RecNo(), xqc.FieldIndex("sDedSDesc"))).toString(), "NR");

    // A fresh read of the select finds the same row.
    TVxQueryCollection again;
    again.setConnection(db);
    again.setSQL(xqc.SQL());
    again.Open();
    ASSERT_TRUE(again.Locate("IDESDEDID", linkKey));
    EXPECT_EQ(again.FieldValue("sDedLDesc").toString(),
              QString::fromUtf8("Non recuperato: verifica a settembre"));
}

TEST_F(DebtOutcomes, UpdateAndDeleteTouchBothTablesInOrder)
{
    xqc.Open();
    xqc.Append();
    xqc.SetFieldValue("iDesId", 1);
    xqc.SetFieldValue("sDedLDesc", "Recuperato");
    xqc.Post();
    const int linkKey = xqc.FieldValue("iDesDedId").toInt();
    calls.clear();

    xqc.Edit();
    xqc.SetFieldValue("sDedLDesc", "Recuperato a settembre");
    xqc.SetFieldValue("iDesId", 2);
    xqc.Post();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, 2);
    EXPECT_EQ(scalar(db, QString("SELECT iDesId FROM TDesDed WHERE iDesDedId = %1").arg(linkKey)),
              2);
    QSqlQuery detail(db);
    ASSERT_TRUE(detail.exec(
        QString("SELECT sDedLDesc FROM TDed_DebEsDett WHERE iDedId = %1").arg(lastDedId)));
    ASSERT_TRUE(detail.next());
    EXPECT_EQ(detail.value(0).toString(), "Recuperato a settembre");

    // The link goes first: the detail it points at could not be deleted before it.
    calls.clear();
    const int rows = xqc.RecordCount();
    ASSERT_TRUE(xqc.Locate("iDesDedId", linkKey));
    xqc.Delete();
    EXPECT_EQ(calls[0].table, "TDESDED");
    EXPECT_EQ(calls[0].kind, 3);
    EXPECT_EQ(xqc.RecordCount(), rows - 1);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDed_DebEsDett"), detailsBefore);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDesDed"), linksBefore);
}

TEST_F(DebtOutcomes, FailingSecondStatementKeepsNothingAndTheEditStaysOpen)
{
    xqc.Open();
    const int rows = xqc.RecordCount();
    xqc.Append();
    xqc.SetFieldValue("iDesId", 99); // no such outcome: the link row is refused
    xqc.SetFieldValue("sDedLDesc", "x");
    try {
        xqc.Post();
        ADD_FAILURE() << "the insert should fail";
    } catch (const EVxException &e) {
        EXPECT_TRUE(e.message().contains("TDESDED")) << e.message().toStdString();
    }
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDed_DebEsDett"), detailsBefore);
    EXPECT_EQ(xqc.RecordCount(), rows);
    EXPECT_EQ(xqc.state(), TVxQueryCollection::dsInsert);
    // Corrected, the same row goes in.
    xqc.SetFieldValue("iDesId", 1);
    xqc.Post();
    EXPECT_EQ(xqc.RecordCount(), rows + 1);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDesDed"), linksBefore + 1);
}

TEST_F(DebtOutcomes, DeletedRowsAreNotListedAndCallerTransactionDecides)
{
    run(db, "INSERT INTO TDed_DebEsDett (iDedId, sDedLDesc, dDelete) VALUES (901, 'vecchio', "
            "CURRENT_DATE)");
    run(db, "INSERT INTO TDesDed (iDesDedId, iDedId, iDesId) VALUES (902, 901, 1)");
    xqc.Open();
    EXPECT_FALSE(xqc.Locate("iDesDedId", 902));
    const int rows = xqc.RecordCount();
    {
        TVxTransaction tr(db);
        ASSERT_TRUE(tr.StartTransaction());
        xqc.Append();
        xqc.SetFieldValue("iDesId", 1);
        xqc.Post();
        // Destroyed without commit: the caller's transaction takes the row with it.
    }
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TDesDed"), linksBefore + 1);
    xqc.Refresh();
    EXPECT_EQ(xqc.RecordCount(), rows);
}

TEST(QueryCollection, AutoBuiltStatementsOnOneTable)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    ensureDebtOutcomeTables(db);
    TVxQueryCollection xqc;
    xqc.setConnection(db);
    xqc.setSQL("SELECT Enc.iEncId, Enc.sEncLDesc, Enc.sEncSDesc, Enc.dDelete, Enc.iLocked "
               "FROM TEnc_Encomio Enc ORDER BY Enc.sEncLDesc");
    xqc.setAutoBuildSQL(true);
    std::vector<QString> tables;
    xqc.VxBeforeExec = [&tables](TVxQueryDesc &d) { tables.push_back(d.TableName); };
    xqc.Open();
    const int before = xqc.RecordCount();
    xqc.Append();
    xqc.SetFieldValue("sEncLDesc", QString::fromUtf8("Lodevole"));
    xqc.SetFieldValue("sEncSDesc", "L");
    xqc.Post();
    const int key = xqc.FieldValue("iEncId").toInt();
    EXPECT_GE(key, 1000000); // from the key procedure
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0], "TENC_ENCOMIO");

    xqc.Edit();
    xqc.SetFieldValue("sEncSDesc", "LOD");
    xqc.Post();
    EXPECT_EQ(scalar(db, QString("SELECT COUNT(*) FROM TEnc_Encomio WHERE iEncId = %1 AND "
                                 "sEncSDesc = 'LOD'")
                             .arg(key)),
              1);
    xqc.Delete();
    EXPECT_EQ(scalar(db, QString("SELECT COUNT(*) FROM TEnc_Encomio WHERE iEncId = %1").arg(key)),
              0);
    EXPECT_EQ(xqc.RecordCount(), before);
}

TEST(QueryCollection, ReadOnlyWithBoundSelectParametersAndModel)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    run(db, "CREATE TABLE TGdt_Prova (iGdtId INTEGER NOT NULL PRIMARY KEY, iAnsId INTEGER, "
            "sGdtTitolo VARCHAR(40), bGdtGiudizio BLOB SUB_TYPE TEXT)");
    run(db, QString::fromUtf8("INSERT INTO TGdt_Prova VALUES (1, 38, 'Buono', 'Si è impegnato')"));
    run(db, "INSERT INTO TGdt_Prova VALUES (2, 39, 'Ottimo', NULL)");
    run(db, "INSERT INTO TGdt_Prova VALUES (3, 38, 'Scarso', 'Poco')");
    TVxQueryCollection xqc;
    xqc.setConnection(db);
    xqc.setSQL("Select gdt.igdtId, gdt.sGdttitolo, gdt.bGdtGiudizio From TGdt_Prova Gdt "
               "Where gdt.iAnsId = :IANSID Order By gdt.igdtId");
    xqc.setParamValue("iAnsId", 38);
    xqc.Open();
    ASSERT_EQ(xqc.RecordCount(), 2);
    EXPECT_EQ(xqc.FieldIndex("SGDTTITOLO"), 1);
    EXPECT_EQ(xqc.FieldIndex("nessuno"), -1);
    EXPECT_EQ(xqc.Value(0, "bgdtgiudizio").toString(), QString::fromUtf8("Si è impegnato"));
    int seen = 0;
    for (xqc.First(); !xqc.Eof(); xqc.Next())
        ++seen;
    EXPECT_EQ(seen, 2);
    EXPECT_FALSE(xqc.CanInsert() || xqc.CanModify() || xqc.CanDelete());
    EXPECT_THROW(xqc.Append(), EVxException);
    xqc.First();
    EXPECT_THROW(xqc.Edit(), EVxException);
    EXPECT_THROW(xqc.Delete(), EVxException);

    EXPECT_EQ(xqc.rowCount(), 2);
    EXPECT_EQ(xqc.columnCount(), 3);
    xqc.setDisplayLabel("sGdtTitolo", "Titolo");
    EXPECT_EQ(xqc.headerData(1, Qt::Horizontal).toString(), "Titolo");
    EXPECT_EQ(xqc.headerData(0, Qt::Horizontal).toString().toUpper(), "IGDTID");
    EXPECT_EQ(xqc.data(xqc.index(1, 1)).toString(), "Scarso");
    EXPECT_FALSE(xqc.flags(xqc.index(1, 1)) & Qt::ItemIsEditable);

    // A select the database refuses says so, with the driver's words.
    TVxQueryCollection wrong;
    wrong.setConnection(db);
    wrong.setSQL("SELECT nessuna FROM TGdt_Prova");
    EXPECT_THROW(wrong.Open(), EVxException);
    EXPECT_FALSE(wrong.Active());
}

TEST(QueryCollection, InsertOnlyCollectionRefusesEditAndDelete)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    run(db, "CREATE TABLE TBnd_Prova (iBndId INTEGER NOT NULL PRIMARY KEY, sBndDesc VARCHAR(40), "
            "iBndMedMin INTEGER, iBndMedMax INTEGER, iLocked SMALLINT)");
    TVxQueryCollection xqc;
    xqc.setConnection(db);
    xqc.setSQL("SELECT Bnd.iBndId, Bnd.sBndDesc, Bnd.iBndMedMin || '-' || Bnd.iBndMedMax AS "
               "BndMedia FROM TBnd_Prova Bnd");
    xqc.InsertSQL() << "INSERT INTO TBND_PROVA (iBndId, sBndDesc, iBndMedMin, iBndMedMax, iLocked) "
                       "VALUES (:VXGENID, :sBndDesc, :iBndMedMin, :iBndMedMax, :iLocked)";
    xqc.VxBeforeExec = [](TVxQueryDesc &d) {
        if (d.Kind == skInsert) {
            d.Fields.setValue("iLocked", 0);
            d.Fields.setValue("iBndMedMin", 6);
            d.Fields.setValue("iBndMedMax", 7);
        }
    };
    xqc.Open();
    xqc.Append();
    xqc.SetFieldValue("sBndDesc", "Terzo anno");
    xqc.Post();
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TBnd_Prova WHERE iLocked = 0 AND iBndMedMin = 6"),
              1);
    EXPECT_FALSE(xqc.CanModify());
    EXPECT_THROW(xqc.Edit(), EVxException);
    EXPECT_THROW(xqc.Delete(), EVxException);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TBnd_Prova"), 1);

    // A statement naming a value nobody supplies is refused before anything is written.
    xqc.InsertSQL() << "INSERT INTO TBND_PROVA (iBndId, sBndDesc) VALUES (:VXGENID, :sNessuno)";
    xqc.Append();
    EXPECT_THROW(xqc.Post(), EVxException);
    EXPECT_EQ(scalar(db, "SELECT COUNT(*) FROM TBnd_Prova"), 1);
}
