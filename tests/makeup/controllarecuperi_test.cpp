#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfctrrecuperi.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "tests/support/testdb.h"

#include <QPushButton>
#include <QTreeWidget>

namespace {

// A copy of an existing make-up record of the year, under a new key, optionally in another
// phase of the same year and without a type.
int duplicateOf(int iRecId, bool withoutType = false, int otherPhase = 0)
{
    const int key =
        scalar(QStringLiteral("SELECT L_iCntId FROM PYSetGetId('TREC_RECUPERI', 1)")).toInt();
    runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iEreId, iMatId, iSitId, "
                          "iAnsFreDwgId, dRecAttr, dRecVer) SELECT ?, %1, iEreId, iMatId, iSitId, "
                          "%2, dRecAttr, dRecVer FROM TRec_Recuperi WHERE iRecId = ?")
               .arg(withoutType ? QStringLiteral("NULL") : QStringLiteral("iTreId"),
                    otherPhase ? QString::number(otherPhase) : QStringLiteral("iAnsFreDwgId")),
           {key, iRecId});
    return key;
}

// A make-up record of the year, with a type, in the year's first phase.
int recordOfYear(int iAnsId, int skip = 0)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT Rec.iRecId FROM TRec_Recuperi Rec JOIN TAnsFreDwg "
                                        "Afd ON Afd.iAnsFreDwgId = Rec.iAnsFreDwgId WHERE "
                                        "Afd.iAnsId = ? AND Afd.iFreId = 1 AND Rec.iTreId IS NOT "
                                        "NULL ORDER BY Rec.iRecId"),
                         {iAnsId});
    for (int i = 0; i <= skip; ++i) {
        if (!q.next())
            return 0;
    }
    return q.value(0).toInt();
}

int recordsOfCell(int iRecId)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM TRec_Recuperi R JOIN TRec_Recuperi S ON "
                                 "S.iAnsFreDwgId = R.iAnsFreDwgId AND S.iSitId = R.iSitId AND "
                                 "S.iMatId = R.iMatId WHERE R.iRecId = ?"),
                  {iRecId})
        .toInt();
}

// Leaves one record per cell: the demo school has one record entered twice.
void removeDuplicates()
{
    runSql(QStringLiteral("DELETE FROM TRec_Recuperi R WHERE EXISTS (SELECT 1 FROM TRec_Recuperi "
                          "S WHERE S.iAnsFreDwgId = R.iAnsFreDwgId AND S.iSitId = R.iSitId AND "
                          "S.iMatId = R.iMatId AND S.iRecId < R.iRecId)"));
}

class Duplicates : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 39);
        dmQelControllaRecuperi = &module;
        if (!keepDemoDuplicates)
            removeDuplicates();
    }
    bool keepDemoDuplicates = false;
    void TearDown() override { dmQelControllaRecuperi = nullptr; }

    ProgramDatabase db;
    TdmQelControllaRecuperi module;
};

} // namespace

class DemoDuplicates : public Duplicates
{
protected:
    DemoDuplicates() { keepDemoDuplicates = true; }
};

TEST_F(DemoDuplicates, DemoSchoolHasOnePairInItsLastYearOnly)
{
    ASSERT_TRUE(module.HasRecuperiDoppi());
    ASSERT_TRUE(module.CaricaRecuperiDoppi());
    ASSERT_EQ(module.cdsErrori().size(), 2);
    const RecuperoDoppio &a = module.cdsErrori().at(0);
    const RecuperoDoppio &b = module.cdsErrori().at(1);
    EXPECT_LT(a.iRecId, b.iRecId);
    EXPECT_EQ(a.Alunno, b.Alunno);
    EXPECT_EQ(a.iMatId, b.iMatId);
    EXPECT_EQ(a.FaseRec, b.FaseRec);

    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 38);
    EXPECT_FALSE(module.HasRecuperiDoppi());
    EXPECT_FALSE(module.CaricaRecuperiDoppi());
    EXPECT_TRUE(module.cdsErrori().isEmpty());
}

TEST_F(Duplicates, RecordsDifferingOnlyInPhaseAreNone)
{
    EXPECT_FALSE(module.HasRecuperiDoppi());
    EXPECT_FALSE(module.CaricaRecuperiDoppi());
    EXPECT_TRUE(module.cdsErrori().isEmpty());

    const int original = recordOfYear(39);
    ASSERT_GT(original, 0);
    const int secondPhase = scalar(QStringLiteral("SELECT iAnsFreDwgId FROM TAnsFreDwg WHERE "
                                                  "iAnsId = 39 AND iFreId = 2"))
                                .toInt();
    // Unless the demo already has that cell in the second phase, this makes no duplicate.
    runSql(QStringLiteral("DELETE FROM TRec_Recuperi WHERE iAnsFreDwgId = ?"), {secondPhase});
    duplicateOf(original, false, secondPhase);
    EXPECT_FALSE(module.HasRecuperiDoppi());
}

TEST_F(Duplicates, YearThatIsNotSetOrNotANumberHasNone)
{
    duplicateOf(recordOfYear(39));
    ASSERT_TRUE(module.HasRecuperiDoppi());
    for (const QVariant &year : {QVariant(), QVariant(QStringLiteral("abc")), QVariant(0)}) {
        xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), year);
        EXPECT_FALSE(module.HasRecuperiDoppi());
    }
    // Another year's duplicates are not this year's.
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 38);
    EXPECT_FALSE(module.HasRecuperiDoppi());
}

TEST_F(Duplicates, GroupOfThreeIsListedWholeAndCanBeDeletedWhole)
{
    const int original = recordOfYear(39);
    const int second = duplicateOf(original);
    const int third = duplicateOf(original, true);
    ASSERT_TRUE(module.HasRecuperiDoppi());
    ASSERT_TRUE(module.CaricaRecuperiDoppi());
    ASSERT_EQ(module.cdsErrori().size(), 3);
    QList<int> ids;
    for (const RecuperoDoppio &r : module.cdsErrori()) {
        ids << r.iRecId;
        EXPECT_FALSE(r.Alunno.isEmpty());
        EXPECT_FALSE(r.Classe.isEmpty());
        EXPECT_FALSE(r.Materia.isEmpty());
        EXPECT_FALSE(r.FaseRec.isEmpty());
        EXPECT_EQ(r.TipoRec.isEmpty(), r.iRecId == third);
    }
    EXPECT_EQ(ids, (QList<int>{original, second, third}));

    EXPECT_TRUE(module.CancellaRecuperi({QString::number(original), QStringLiteral("abc"),
                                         QStringLiteral("-4"), QString::number(second),
                                         QString::number(third)}));
    EXPECT_FALSE(module.HasRecuperiDoppi());
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TRec_Recuperi WHERE iRecId IN (?, ?, ?)"),
                     {original, second, third})
                  .toInt(),
              0);
}

TEST_F(Duplicates, DeletionThatFailsPartWayDeletesNothing)
{
    const int original = recordOfYear(39);
    const int copy = duplicateOf(original);
    // The database refuses to delete the copy, after the original went first.
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NODELETE 'cancellazione rifiutata'"));
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NODELETE FOR TRec_Recuperi BEFORE DELETE AS "
                          "BEGIN IF (OLD.iRecId = %1) THEN EXCEPTION E_TEST_NODELETE; END")
               .arg(copy));
    EXPECT_FALSE(module.CancellaRecuperi({QString::number(original), QString::number(copy)}));
    EXPECT_EQ(recordsOfCell(original), 2);
    EXPECT_TRUE(module.HasRecuperiDoppi());

    // Through the dialog: one message, the office's words and then the database's reason.
    ScriptedDialogs dialogs;
    TqelFCtrRecuperi dialog(nullptr, &module);
    dialog.lvLeft()->selectAll();
    dialog.moveSelected(true);
    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        return int(mrNone);
    });
    VxExecModal(&dialog);
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.last().startsWith(
        QStringLiteral("Errori durante la cancellazione. Rilanciare la procedura.\n\n")));
    EXPECT_TRUE(shown.last().contains(QStringLiteral("cancellazione rifiutata")))
        << shown.last().toStdString();
    EXPECT_EQ(recordsOfCell(original), 2);
}

TEST_F(Duplicates, CorrectionDialogDeletesWhatWasMovedRight)
{
    const int original = recordOfYear(39);
    const int copy = duplicateOf(original, true);
    const int other = recordOfYear(39, 5);
    const int otherCopy = duplicateOf(other);
    ScriptedDialogs dialogs;

    TqelFCtrRecuperi dialog(nullptr, &module);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Controllo recuperi doppi"));
    QTreeWidget *left = dialog.lvLeft();
    ASSERT_EQ(left->topLevelItemCount(), 4);
    EXPECT_EQ(left->headerItem()->text(3), QStringLiteral("Recupero"));
    EXPECT_EQ(dialog.lvRight()->topLevelItemCount(), 0);
    // Each column shows its texts whole (a class's long name), in both lists alike.
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < left->topLevelItemCount(); ++i)
            EXPECT_GE(left->columnWidth(c),
                      left->fontMetrics().horizontalAdvance(left->topLevelItem(i)->text(c)))
                << left->topLevelItem(i)->text(c).toStdString();
        EXPECT_EQ(dialog.lvRight()->columnWidth(c), left->columnWidth(c));
    }

    // The office keeps the original of each pair: the copies go right.
    for (int i = 0; i < left->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = left->topLevelItem(i);
        const int id = item->data(3, Qt::UserRole + 1).toInt();
        item->setSelected(id == copy || id == otherCopy || id == original);
    }
    dialog.moveSelected(true);
    // ... then changes its mind about one and moves it back.
    QTreeWidget *right = dialog.lvRight();
    for (int i = 0; i < right->topLevelItemCount(); ++i)
        right->topLevelItem(i)->setSelected(
            right->topLevelItem(i)->data(3, Qt::UserRole + 1).toInt() == original);
    dialog.moveSelected(false);
    ASSERT_EQ(right->topLevelItemCount(), 2);

    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        return int(mrNone);
    });
    EXPECT_EQ(VxExecModal(&dialog), int(mrOk));
    EXPECT_EQ(DialogSeam::shownTexts().last(),
              QStringLiteral("Cancellazione di 2 elementi avvenuta con successo"));
    EXPECT_FALSE(module.HasRecuperiDoppi());
    EXPECT_EQ(recordsOfCell(original), 1);
    EXPECT_EQ(recordsOfCell(other), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT iRecId FROM TRec_Recuperi WHERE iRecId = ?"), {other})
                  .toInt(),
              other);
}

TEST_F(Duplicates, EmptyRightListDeletesNothingAndSaysSo)
{
    duplicateOf(recordOfYear(39));
    ScriptedDialogs dialogs;
    TqelFCtrRecuperi dialog(nullptr, &module);
    DialogSeam::queueAnswer(int(mrOk));
    EXPECT_EQ(VxExecModal(&dialog), int(mrOk));
    EXPECT_EQ(DialogSeam::shownTexts().last(),
              QStringLiteral("Cancellazione di 0 elementi avvenuta con successo"));
    EXPECT_TRUE(module.HasRecuperiDoppi());
}
