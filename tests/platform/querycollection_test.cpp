#include "platform/querycollection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QSignalSpy>

namespace {

int count(QSqlDatabase &db, const QString &sql)
{
    return scalar(db, sql).toInt();
}

struct HookCall
{
    bool before;
    QString table;
    int kind;
};

// A row of the view is a link row and the detail row it points to, each under a key of its
// own: a new row writes the detail, then the link carrying the detail's key.
class LinkedRows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        runSql(db, "CREATE TABLE TPrvStato (iStatoId INTEGER NOT NULL PRIMARY KEY)");
        runSql(db, "CREATE TABLE TPrvDett (iDettId INTEGER NOT NULL PRIMARY KEY, "
                   "sDesc VARCHAR(60))");
        runSql(db, "CREATE TABLE TPrvLink (iLinkId INTEGER NOT NULL PRIMARY KEY, "
                   "iDettId INTEGER NOT NULL REFERENCES TPrvDett (iDettId), "
                   "iStatoId INTEGER NOT NULL REFERENCES TPrvStato (iStatoId))");
        runSql(db, "INSERT INTO TPrvStato VALUES (1)");
        runSql(db, "INSERT INTO TPrvStato VALUES (2)");
        xqc.setConnection(db);
        xqc.setSQL("SELECT L.iLinkId, L.iDettId, L.iStatoId, D.sDesc FROM TPrvLink L "
                   "INNER JOIN TPrvDett D ON (D.iDettId = L.iDettId)");
        xqc.InsertSQL() << "INSERT INTO TPrvDett (iDettId, sDesc) VALUES (:VXGENID, :sDesc)"
                        << "INSERT INTO TPrvLink (iLinkId, iDettId, iStatoId) "
                           "VALUES (:VXGENID, :iDettId, :iStatoId)";
        xqc.UpdateSQL() << "UPDATE TPrvDett SET sDesc = :sDesc WHERE iDettId = :iDettId"
                        << "UPDATE TPrvLink SET iStatoId = :iStatoId WHERE iLinkId = :VXCURRID";
        xqc.DeleteSQL() << "DELETE FROM TPrvLink WHERE iLinkId = :VXCURRID"
                        << "DELETE FROM TPrvDett WHERE iDettId = :iDettId";
        xqc.VxBeforeExec = [this](TVxQueryDesc &d) {
            calls.push_back({true, d.TableName, d.Kind});
            if (d.Kind == skInsert && d.TableName == "TPRVLINK")
                d.Fields.setValue("iDettId", lastDetail);
        };
        xqc.VxAfterExec = [this](TVxQueryDesc &d) {
            calls.push_back({false, d.TableName, d.Kind});
            if (d.Kind == skInsert && d.TableName == "TPRVDETT")
                lastDetail = d.Fields.value("VXGENID").toInt();
        };
        xqc.Open();
    }

    void append(int stato, const QString &desc)
    {
        xqc.Append();
        xqc.SetFieldValue("iStatoId", stato);
        xqc.SetFieldValue("SDESC", desc);
    }

    TestDatabase database;
    QSqlDatabase db;
    TVxQueryCollection xqc;
    int lastDetail = 0;
    std::vector<HookCall> calls;
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

TEST_F(LinkedRows, NewRowWritesTheDetailThenTheLinkCarryingTheDetailKey)
{
    QSignalSpy inserted(&xqc, &QAbstractItemModel::rowsInserted);
    append(2, QString::fromUtf8("Non recuperato: verifica a settembre"));
    xqc.Post();

    const int linkKey = xqc.FieldValue("iLinkId").toInt();
    EXPECT_EQ(scalar(db, "SELECT iDettId FROM TPrvLink WHERE iLinkId = ?", {linkKey}).toInt(),
              lastDetail);
    EXPECT_NE(linkKey, lastDetail); // each table got a key of its own
    // The hooks saw each statement before and after it ran, with its table and kind.
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_TRUE(calls[0].before && calls[0].table == "TPRVDETT" && calls[0].kind == skInsert);
    EXPECT_TRUE(!calls[1].before && calls[1].table == "TPRVDETT");
    EXPECT_TRUE(calls[2].before && calls[2].table == "TPRVLINK" && calls[2].kind == skInsert);
    // The view shows the new row with the keys the database holds.
    EXPECT_EQ(xqc.RecordCount(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(xqc.FieldValue("iDettId").toInt(), lastDetail);

    TVxQueryCollection again;
    again.setConnection(db);
    again.setSQL(xqc.SQL());
    again.Open();
    ASSERT_TRUE(again.Locate("ILINKID", linkKey));
    EXPECT_EQ(again.FieldValue("sDesc").toString(),
              QString::fromUtf8("Non recuperato: verifica a settembre"));
}

TEST_F(LinkedRows, UpdateAndDeleteTouchBothTablesInListOrder)
{
    append(1, "Recuperato");
    xqc.Post();
    const int linkKey = xqc.FieldValue("iLinkId").toInt();
    calls.clear();
    xqc.Edit();
    xqc.SetFieldValue("sDesc", "Recuperato a settembre");
    xqc.SetFieldValue("iStatoId", 2);
    xqc.Post();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, skUpdate);
    EXPECT_EQ(scalar(db, "SELECT iStatoId FROM TPrvLink WHERE iLinkId = ?", {linkKey}).toInt(), 2);
    EXPECT_EQ(scalar(db, "SELECT sDesc FROM TPrvDett WHERE iDettId = ?", {lastDetail}).toString(),
              "Recuperato a settembre");

    // The link goes first: the detail it points at could not be deleted before it.
    calls.clear();
    xqc.Delete();
    EXPECT_EQ(calls[0].table, "TPRVLINK");
    EXPECT_EQ(calls[0].kind, skDelete);
    EXPECT_EQ(xqc.RecordCount(), 0);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPrvDett"), 0);
}

// The second statement fails (no such state): nothing of the row may stay, whether the
// collection ran its own transaction or the caller's, which then commits its other work.
TEST_F(LinkedRows, AFailingSecondStatementTakesBackTheFirstInEveryTransaction)
{
    for (const bool callers : {false, true}) {
        SCOPED_TRACE(callers ? "caller's transaction" : "own transaction");
        TVxTransaction tr(db);
        if (callers) {
            ASSERT_TRUE(tr.StartTransaction());
        }
        const int rows = xqc.RecordCount();
        append(99, "x");
        try {
            xqc.Post();
            ADD_FAILURE() << "the insert should fail";
        } catch (const EVxException &e) {
            EXPECT_EQ(e.message(), QStringLiteral("La voce collegata non esiste più "
                                                  "nell'archivio: aggiornare l'elenco e "
                                                  "sceglierla di nuovo."));
            EXPECT_TRUE(e.detail().contains("TPRVLINK")) << e.detail().toStdString();
        }
        EXPECT_EQ(xqc.state(), TVxQueryCollection::dsInsert);
        EXPECT_EQ(xqc.RecordCount(), rows);
        // Corrected, the same row goes in once.
        xqc.SetFieldValue("iStatoId", 1);
        xqc.Post();
        if (callers)
            tr.Commit();
        EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPrvDett"), rows + 1);
        EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPrvLink"), rows + 1);
    }
}

TEST_F(LinkedRows, TheCallersRollbackTakesTheRowsWithIt)
{
    {
        TVxTransaction tr(db);
        ASSERT_TRUE(tr.StartTransaction());
        append(1, "a");
        xqc.Post();
        append(2, "b");
        xqc.Post();
        // Destroyed without commit.
    }
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TPrvDett"), 0);
    xqc.Refresh();
    EXPECT_EQ(xqc.RecordCount(), 0);
}

TEST(QueryCollection, AutoBuiltStatementsOnOneTable)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
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
    // Another workstation deletes a row being edited here: the save says so.
    const int other = key;
    runSql(db, "INSERT INTO TEnc_Encomio (iEncId, sEncLDesc) VALUES (?, 'altrove')", {other + 1});
    xqc.Refresh();
    ASSERT_TRUE(xqc.Locate("iEncId", other + 1));
    xqc.Edit();
    runSql(db, "DELETE FROM TEnc_Encomio WHERE iEncId = ?", {other + 1});
    xqc.SetFieldValue("sEncSDesc", "X");
    EXPECT_THROW(xqc.Post(), EVxException);
    EXPECT_EQ(xqc.state(), TVxQueryCollection::dsEdit);
    xqc.Cancel();
    ASSERT_TRUE(xqc.Locate("iEncId", key));
    EXPECT_EQ(count(db, QString("SELECT COUNT(*) FROM TEnc_Encomio WHERE iEncId = %1 AND "
                                "sEncSDesc = 'LOD'")
                            .arg(key)),
              1);
    xqc.Delete();
    EXPECT_EQ(count(db, QString("SELECT COUNT(*) FROM TEnc_Encomio WHERE iEncId = %1").arg(key)),
              0);
    xqc.Refresh();
    EXPECT_EQ(xqc.RecordCount(), before);
}

TEST(QueryCollection, ReadOnlyWithBoundSelectParametersAndModel)
{
    TestDatabase database;
    QSqlDatabase db = database.connect();
    runSql(db, "CREATE TABLE TGdt_Prova (iGdtId INTEGER NOT NULL PRIMARY KEY, iAnsId INTEGER, "
               "sGdtTitolo VARCHAR(40), bGdtGiudizio BLOB SUB_TYPE TEXT)");
    runSql(db,
           QString::fromUtf8("INSERT INTO TGdt_Prova VALUES (1, 38, 'Buono', 'Si è impegnato')"));
    runSql(db, "INSERT INTO TGdt_Prova VALUES (2, 39, 'Ottimo', NULL)");
    runSql(db, "INSERT INTO TGdt_Prova VALUES (3, 38, 'Scarso', 'Poco')");
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
    runSql(db,
           "CREATE TABLE TBnd_Prova (iBndId INTEGER NOT NULL PRIMARY KEY, sBndDesc VARCHAR(40), "
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
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TBnd_Prova WHERE iLocked = 0 AND iBndMedMin = 6"), 1);
    EXPECT_FALSE(xqc.CanModify());
    EXPECT_THROW(xqc.Edit(), EVxException);
    EXPECT_THROW(xqc.Delete(), EVxException);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TBnd_Prova"), 1);

    // A statement naming a value nobody supplies is refused before anything is written.
    xqc.InsertSQL() << "INSERT INTO TBND_PROVA (iBndId, sBndDesc) VALUES (:VXGENID, :sNessuno)";
    xqc.Append();
    EXPECT_THROW(xqc.Post(), EVxException);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM TBnd_Prova"), 1);
}
