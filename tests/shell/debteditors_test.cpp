#include "platform/vxexception.h"
#include "shell/qeldatasets.h"
#include "tests/support/testdb.h"

namespace {

// The two debt editors share one shape: a link table keyed on its own id pointing at a
// detail table keyed on another id.
struct DebtEditor
{
    const char *label;
    TVxQueryCollection TdmqelDataSets::*collection;
    const char *linkTable, *linkKey, *lookupKey, *detailTable, *detailKey, *longDesc, *shortDesc;
};

const DebtEditor kEditors[] = {
    {"outcomes", &TdmqelDataSets::xqcDesDed, "TDesDed", "iDesDedId", "iDesId", "TDed_DebEsDett",
     "iDedId", "sDedLDesc", "sDedSDesc"},
    {"types", &TdmqelDataSets::xqcDtpDtd, "TDtpDtd", "iDtpDtdId", "iDtpId", "TDtd_DebTpDett",
     "iDtdId", "sDtdLDesc", "sDtdSDesc"},
};

QString fill(const char *pattern, const DebtEditor &e)
{
    return QString::fromLatin1(pattern)
        .replace(QStringLiteral("$LINKTABLE"), QLatin1String(e.linkTable))
        .replace(QStringLiteral("$LINKKEY"), QLatin1String(e.linkKey))
        .replace(QStringLiteral("$LOOKUP"), QLatin1String(e.lookupKey))
        .replace(QStringLiteral("$DETAILTABLE"), QLatin1String(e.detailTable))
        .replace(QStringLiteral("$DETAILKEY"), QLatin1String(e.detailKey))
        .replace(QStringLiteral("$LDESC"), QLatin1String(e.longDesc))
        .replace(QStringLiteral("$SDESC"), QLatin1String(e.shortDesc));
}

QString detailText(const DebtEditor &e, int key)
{
    return scalar(fill("SELECT $LDESC FROM $DETAILTABLE WHERE $DETAILKEY = ?", e), {key})
        .toString()
        .trimmed();
}

int count(const char *pattern, const DebtEditor &e, const QVariantList &values = {})
{
    return scalar(fill(pattern, e), values).toInt();
}

// Beside the demo school's rows: detail rows 70001 and 70002; link 70001 points at detail 70002 and
// link 70002 at detail 70001, so a statement keyed on the wrong id hits the other row. A deleted
// detail and a deleted link are never listed.
void seed(const DebtEditor &e)
{
    const QString lookupTable = QLatin1String(e.lookupKey) == QLatin1String("iDesId")
                                    ? QStringLiteral("TDes_DebEsito")
                                    : QStringLiteral("TDtp_DebTipo");
    for (int id : {1, 2})
        runSql(QStringLiteral("UPDATE OR INSERT INTO %1 (%2) VALUES (?) MATCHING (%2)")
                   .arg(lookupTable, QLatin1String(e.lookupKey)),
               {id});
    const char *detail = "INSERT INTO $DETAILTABLE ($DETAILKEY, $LDESC, $SDESC, iLocked, dDelete) "
                         "VALUES (?, ?, ?, 0, ?)";
    runSql(fill(detail, e), {70001, QStringLiteral("Primo"), QStringLiteral("P"), QVariant()});
    runSql(fill(detail, e), {70002, QStringLiteral("Secondo"), QStringLiteral("S"), QVariant()});
    runSql(fill(detail, e),
           {70003, QStringLiteral("Cancellato"), QStringLiteral("C"), QDate(2008, 1, 1)});
    const char *link = "INSERT INTO $LINKTABLE ($LINKKEY, $DETAILKEY, $LOOKUP, iLocked, dDelete) "
                       "VALUES (?, ?, 1, 0, ?)";
    runSql(fill(link, e), {70001, 70002, QVariant()});
    runSql(fill(link, e), {70002, 70001, QVariant()});
    runSql(fill(link, e), {70003, 70003, QVariant()});
    runSql(fill(link, e), {70004, 70001, QDate(2008, 1, 1)});
}

} // namespace

TEST(DebtEditors, ListOnlyLiveRowsWriteTheDetailUnderItsOwnKeyAndRefuseAGoneRow)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    TdmqelDataSets module;
    for (const DebtEditor &e : kEditors) {
        SCOPED_TRACE(e.label);
        seed(e);
        TVxQueryCollection &c = module.*e.collection;
        c.Open();
        const int listed = c.RecordCount();
        ASSERT_TRUE(c.Locate(QString::fromLatin1(e.linkKey), 70002));
        EXPECT_FALSE(c.Locate(QString::fromLatin1(e.linkKey), 70003)); // deleted detail
        EXPECT_FALSE(c.Locate(QString::fromLatin1(e.linkKey), 70004)); // deleted link

        // Edit the row of link 70001: its detail is 70002.
        ASSERT_TRUE(c.Locate(QString::fromLatin1(e.linkKey), 70001));
        c.Edit();
        c.SetFieldValue(QString::fromLatin1(e.longDesc), QStringLiteral("Corretto"));
        c.SetFieldValue(QString::fromLatin1(e.lookupKey), 2);
        c.Post();
        EXPECT_EQ(detailText(e, 70002), QStringLiteral("Corretto"));
        EXPECT_EQ(detailText(e, 70001), QStringLiteral("Primo"));
        EXPECT_EQ(count("SELECT $LOOKUP FROM $LINKTABLE WHERE $LINKKEY = 70001", e), 2);
        EXPECT_EQ(count("SELECT $LOOKUP FROM $LINKTABLE WHERE $LINKKEY = 70002", e), 1);

        // Delete it: link 70001 and detail 70002 go, detail 70001 stays for link 70002.
        ASSERT_TRUE(c.Locate(QString::fromLatin1(e.linkKey), 70001));
        c.Delete();
        EXPECT_EQ(count("SELECT COUNT(*) FROM $LINKTABLE WHERE $LINKKEY = 70001", e), 0);
        EXPECT_EQ(count("SELECT COUNT(*) FROM $DETAILTABLE WHERE $DETAILKEY = 70002", e), 0);
        EXPECT_EQ(detailText(e, 70001), QStringLiteral("Primo"));

        // Another office deletes link 70002 while its row is being edited here: the save is
        // refused in words, the detail 70001 already written by it is taken back, and the edit
        // stays open with what was typed.
        ASSERT_TRUE(c.Locate(QString::fromLatin1(e.linkKey), 70002));
        c.Edit();
        c.SetFieldValue(QString::fromLatin1(e.longDesc), QStringLiteral("Perso"));
        runSql(fill("DELETE FROM $LINKTABLE WHERE $LINKKEY = 70002", e));
        try {
            c.Post();
            ADD_FAILURE() << "a save of a deleted row was reported as done";
        } catch (const EVxException &refusal) {
            EXPECT_TRUE(refusal.message().contains(
                QStringLiteral("La riga non è più nell'archivio: forse è stata cancellata da "
                               "un'altra postazione")))
                << refusal.message().toStdString();
        }
        EXPECT_EQ(c.state(), TVxQueryCollection::dsEdit);
        EXPECT_EQ(c.FieldValue(QString::fromLatin1(e.longDesc)).toString(),
                  QStringLiteral("Perso"));
        EXPECT_EQ(detailText(e, 70001), QStringLiteral("Primo"));
        c.Cancel();
        c.Close();
        c.Open();
        EXPECT_EQ(c.RecordCount(), listed - 2);
        c.Close();
    }
}

TEST(DebtEditors, NewRowWritesTheDetailThenTheLinkPointingAtIt)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    TdmqelDataSets module;
    for (const DebtEditor &e : kEditors) {
        SCOPED_TRACE(e.label);
        seed(e);
        TVxQueryCollection &c = module.*e.collection;
        c.Open();
        const int links = count("SELECT COUNT(*) FROM $LINKTABLE", e);
        const int details = count("SELECT COUNT(*) FROM $DETAILTABLE", e);
        c.Append();
        c.SetFieldValue(QString::fromLatin1(e.longDesc), QStringLiteral("Nuovo"));
        c.SetFieldValue(QString::fromLatin1(e.shortDesc), QStringLiteral("N"));
        c.SetFieldValue(QString::fromLatin1(e.lookupKey), 1);
        c.Post();
        EXPECT_EQ(count("SELECT COUNT(*) FROM $LINKTABLE", e), links + 1);
        EXPECT_EQ(count("SELECT COUNT(*) FROM $DETAILTABLE", e), details + 1);
        QSqlQuery q = runSql(fill("SELECT L.$DETAILKEY, L.iLocked, D.iLocked, L.$LINKKEY FROM "
                                  "$LINKTABLE L JOIN $DETAILTABLE D ON D.$DETAILKEY = "
                                  "L.$DETAILKEY WHERE D.$LDESC = 'Nuovo'",
                                  e));
        ASSERT_TRUE(q.next());
        EXPECT_GT(q.value(0).toInt(), 0);
        EXPECT_EQ(q.value(1).toInt(), 0);
        EXPECT_EQ(q.value(2).toInt(), 0);
        EXPECT_NE(q.value(3).toInt(), q.value(0).toInt());
        c.Close();
    }
}

TEST(CreditBands, OnlyNewBandsCanBeWritten)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    TdmqelDataSets module;
    EXPECT_TRUE(module.xqcBnd_Bande.CanInsert());
    EXPECT_FALSE(module.xqcBnd_Bande.CanModify());
    EXPECT_FALSE(module.xqcBnd_Bande.CanDelete());
}
