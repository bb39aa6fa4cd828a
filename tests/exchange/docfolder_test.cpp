#include "exchange/qeldocfolder.h"
#include "exchange/qelfdocreceive.h"
#include "exchange/qelfdocsend.h"
#include "exchange/qelrdocreceivecls.h"
#include "exchange/qelrdocreceivesingle.h"
#include "exchange/qelsendbookkeeping.h"
#include "platform/checklist.h"
#include "platform/clientdataset.h"
#include "platform/dbgridframes.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"
#include "tests/support/classtables.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

namespace {

const QString kDone = QStringLiteral("Procedura completata.");
const QString kWrongTeacher =
    QStringLiteral("Il docente selezionato non è lo stesso del percorso specificato");

// The demo's two network-folder teachers, sending into a base folder of the test's own.
class DocFolder : public RunningProgram
{
protected:
    struct Teacher
    {
        int iAaiId, iAnaId;
        QString code, name;
    };

    void SetUp() override
    {
        RunningProgram::SetUp();
        base = db.mainDir.path() + QStringLiteral("rete/");
        QDir().mkpath(base);
        dmqelParGen->xpsDirRete.SetValore(base);
        const QList<TVxParInteger *> show = {&dmqelParGen->xpiVot, &dmqelParGen->xpiVtp,
                                             &dmqelParGen->xpiTas, &dmqelParGen->xpiAss,
                                             &dmqelParGen->xpiAiu, &dmqelParGen->xpiNot,
                                             &dmqelParGen->xpiDeb, &dmqelParGen->xpiComp};
        for (TVxParInteger *p : show)
            p->SetValore(p == &dmqelParGen->xpiComp ? 0 : 1);
        w = TVxWorkingContext::session();
        QSqlQuery q = runSql("SELECT A.iAaiId, C.iAnaId, C.sAnaCagCode, T.sAnaCognome || ' ' || "
                             "T.sAnaNome FROM TAai_AnaAppInvio A JOIN TAnaCag C ON C.iAnaCagId = "
                             "A.iAnaCagId JOIN TAna_Anagrafiche T ON T.iAnaId = C.iAnaId WHERE "
                             "A.iModId = 2 AND A.iAnsSesDwgId = ? ORDER BY T.sAnaCognomeNomeIdx",
                             {w});
        while (q.next())
            teachers.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(),
                             q.value(3).toString()});
        ASSERT_EQ(teachers.size(), 2);
    }

    QString folderOf(const Teacher &t) const
    {
        return QelTeacherFolderWriter::FolderOf(base, {t.iAnaId, t.iAaiId, t.name, t.code});
    }

    // The send window on a mode, the teachers selected, each answer to the next dialog.
    QStringList send(int mode, const QList<int> &which, const QVariantList &answers)
    {
        TfmqelDocSend window;
        window.SetSendMode(mode);
        TfrVxDBROGrid *grid = window.frDocenti();
        if (which.isEmpty())
            grid->SelectAllRows();
        for (int visible = 0; visible < grid->VisibleRowCount(); ++visible)
            for (int i : which)
                if (window.Teachers().Value(grid->SourceRowAt(visible), "iAnaId") ==
                    teachers[i].iAnaId)
                    grid->grGrid()->selectionModel()->select(
                        grid->grGrid()->model()->index(visible, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        return press(window.buOk(), answers);
    }

    static QStringList press(QPushButton *ok, const QVariantList &answers)
    {
        DialogSeam::clearShown();
        for (const QVariant &a : answers)
            DialogSeam::queueAnswer(a);
        ok->click();
        return DialogSeam::shownTexts();
    }

    // "Singolo" on the teacher's row with the folder typed in; untick unticks classes by row.
    QStringList collectSingle(const Teacher &t, const QString &folder,
                              const QVariantList &answers = {mrYes}, bool noClass = false)
    {
        TfmqelDocReceive window;
        window.FormShow();
        TfrqelDocReceiveSingle *frame = window.frqelDocReceiveSingle_fm();
        for (int row = 0; row < frame->Teachers().RowCount(); ++row)
            if (frame->Teachers().Value(row, "iAnaId") == t.iAnaId)
                frame->SetCurrentSourceRow(row);
        frame->dePath()->setText(folder);
        if (noClass)
            CheckAll(frame->clbClsList(), false);
        return press(window.buOk(), answers);
    }

    static QStringList columnsOf(const QString &path)
    {
        TClientDataSet ds;
        ds.LoadFromFile(path);
        QStringList names;
        for (const TFieldDef &d : ds.FieldDefs())
            names << d.Name.toLower();
        return names;
    }

    static int recordsOf(const QString &path)
    {
        TClientDataSet ds;
        ds.LoadFromFile(path);
        return ds.RecordCount();
    }

    QVariant mark(const char *column, const Teacher &t)
    {
        return scalar(QStringLiteral("SELECT %1 FROM TAai_AnaAppInvio WHERE iAaiId = ?")
                          .arg(QLatin1String(column)),
                      {t.iAaiId});
    }

    ScriptedDialogs dialogs;
    QString base;
    int w = 0;
    QList<Teacher> teachers;
};

TEST_F(DocFolder, WritesTheSevenPacketsAndTheInfoFileLast)
{
    runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = 'Dell''Acqua', sAnaNome = 'Nicolò' "
           "WHERE iAnaId = ?",
           {teachers[0].iAnaId});
    teachers[0].name = QStringLiteral("Dell'Acqua Nicolò");
    dmqelParGen->xpiAskPasswd.SetValore(1);
    const QVariant relMat =
        scalar("SELECT iMatId FROM TMat_Materie WHERE sMatCodVexto = 'RELIGIONE'");
    const QVariant relCls = scalar("SELECT FIRST 1 iClsId FROM TClsMatAna A WHERE A.iAnaId = ? AND "
                                   "EXISTS (SELECT 1 FROM TClsSes C WHERE C.iClsId = A.iClsId AND "
                                   "C.iAnsSesDwgId = ?)",
                                   {teachers[0].iAnaId, w});
    runSql("INSERT INTO TClsMatAna (iClsMatAnaId, iClsId, iMatId, iAnaId) VALUES (990001, ?, ?, ?)",
           {relCls, relMat, teachers[0].iAnaId});
    runSql("UPDATE TSit_Situazioni S SET lSitRelig = 0 WHERE S.iSitId = (SELECT MIN(X.iSitId) FROM "
           "TSit_Situazioni X JOIN TClsPst P ON P.iClsPstId = X.iClsPstId WHERE P.iClsId = ? AND "
           "X.iSitPosReg > 0)",
           {relCls});
    dmqelParGen->xpiTas.SetValore(0);
    EXPECT_EQ(send(2, {0}, {mrYes}).last(), kDone);

    const QString folder = base + QStringLiteral("Dell_Acqua Nicolo_") + teachers[0].code + "/";
    ASSERT_EQ(folderOf(teachers[0]), folder);
    const QByteArray expected =
        "[Info]\r\nId=" + QByteArray::number(teachers[0].iAnaId) +
        "\r\nCodice=" + teachers[0].code.toLatin1() +
        "\r\nNome=Dell'Acqua Nicol\xf2\r\nSessione=" + GetSessioneDesc(w).toLatin1() +
        "\r\nAnno=2008/2009\r\n[Show]\r\nVot=1\r\nVtp=1\r\n"
        "Tas=0\r\nAss=1\r\nAiu=1\r\nNot=1\r\nDeb=1\r\nComp=0\r\n";
    EXPECT_EQ(readFileBytes(folder + "qedInfo.ini"), expected);

    const QList<QPair<QString, QString>> packets = {
        {"clsmat.cds", "iclsid,sclsdesc,imatid,smatldesc"},
        {"livelli.cds", "iscalivid,icmpscaid,icmpscatass,slivsdesc,slivldesc,iscalivvalore,"
                        "iscalivsufficiente,iscalivinmedia"},
        {"livvtp.cds", "iscalivid,icmpscaid,icmpscatass,slivsdesc,slivldesc,iscalivvalore,"
                       "iscalivsufficiente,iscalivinmedia"},
        {"debiti.cds", "iclsid,isitid,ianaid,isitposreg,sanacognome,sananome,sansannodesc,"
                       "idebid,imatid,smatldesc,idesdedid,ddebver,bdebnota"},
        {"esideb.cds", "idesdedid,sdedsdesc,sdedldesc"},
        {"istituto.cds", "ssednomldesc,ssednomsdesc,ssedindindirizzo,scapvalue,scomdesc,"
                         "sprodesc,sprosigla,ssedteltelefono,ssedfaxno,ssedemlemail,ssedmeccod,"
                         "ssednomcodicefisc"}};
    for (const auto &[file, columns] : packets)
        EXPECT_EQ(columnsOf(folder + file).join(','), columns) << file.toStdString();
    for (const QString &file : QelTeacherFolderWriter::PacketNames())
        EXPECT_FALSE(readFileBytes(folder + file).trimmed().startsWith('<')) << file.toStdString();

    EXPECT_EQ(recordsOf(folder + "istituto.cds"), 1);
    TClientDataSet voti;
    voti.LoadFromFile(folder + "voti.cds");
    const QStringList names = columnsOf(folder + "voti.cds");
    EXPECT_EQ(names.mid(0, 9).join(','), "iclsid,imatid,iclssesmatid,ipstid,isitid,ianaid,"
                                         "isitposreg,sanacognome,sananome");
    EXPECT_EQ(names.mid(9, 5).join(','),
              "iclsmatcmpid_vot1,scmpsdesc_vot1,scmpldesc_vot1,icmpscaid_vot1,iscalivid_vot1");
    EXPECT_EQ(names.mid(names.size() - 4).join(','), "iassore,saiuval,dnotdata,bnotnota");
    EXPECT_EQ(voti.FieldByName("sAiuVal")->Size(), 4);
    EXPECT_EQ(voti.FieldByName("sCmpLDesc_vot1")->Size(), 100);
    // Religion reaches only the pupils who take it.
    const QString religion = QStringLiteral(
        "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = S.iClsPstId "
        "WHERE P.iClsId = ? AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 %1");
    voti.setFilter(QStringLiteral("iMatId = %1").arg(relMat.toInt()));
    voti.setFiltered(true);
    EXPECT_EQ(voti.RecordCount(), scalar(religion.arg("AND S.lSitRelig = 1"), {relCls}).toInt());
    EXPECT_LT(voti.RecordCount(), scalar(religion.arg(""), {relCls}).toInt());
    EXPECT_GT(voti.RecordCount(), 0);
    EXPECT_EQ(mark("iAaiInviato", teachers[0]).toInt(), 1);
    EXPECT_EQ(mark("sAaiDirInviato", teachers[0]).toString(), folder);
    EXPECT_TRUE(mark("iAaiRicevuto", teachers[0]).isNull());
}

TEST_F(DocFolder, SendCasesStopWhereTheyShould)
{
    // K(tas) 0: no taxonomy slots.
    runSql("UPDATE TCmpSca SET iCmpScaTass = 0");
    // The second teacher has no assignment, and a name that would climb out of the folder.
    runSql("DELETE FROM TClsMatAna WHERE iAnaId = ?", {teachers[1].iAnaId});
    runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = '../..', sAnaNome = 'a/b' WHERE iAnaId = ?",
           {teachers[1].iAnaId});
    teachers[1].name = "../.. a/b";
    QDir(base).removeRecursively();
    const QString noFolder = QStringLiteral("Si è scelto di inviare i dati a %1 senza impostare il "
                                            "percorso di invio.\n\nImpostarlo da \"Utilità e "
                                            "parametri - Parametri Invio docenti\" per "
                                            "proseguire.");
    for (int mode : {4, 5}) {
        const QStringList shown = send(mode, {}, {});
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].startsWith(noFolder.section("%1", 0, 0))) << shown[0].toStdString();
    }
    // The network folder is set but missing: named so, and not created.
    const QStringList missing = send(2, {0, 1}, {mrYes});
    ASSERT_EQ(missing.size(), 1);
    EXPECT_TRUE(missing[0].startsWith("La cartella di invio " + ShortDir(base) + " non esiste."))
        << missing[0].toStdString();
    EXPECT_FALSE(QDir(base).exists());

    QDir().mkpath(base);
    {
        // Each statement of the send prepared once for its two teachers, their marks' too (the
        // list is read as the window opens, and again after the send).
        TVxStatementRecorder recorder;
        EXPECT_EQ(send(2, {0, 1}, {mrYes}).last(), kDone);
        for (const TVxStatementRecorder::Statement &st : recorder.statements())
            if (st.sql != SendBookkeeping::teachersOfModeSql())
                EXPECT_EQ(recorder.prepared(st.sql), 1) << st.sql.toStdString();
    }
    const QString second = folderOf(teachers[1]);
    EXPECT_TRUE(second.startsWith(base) && QDir(second).exists()) << second.toStdString();
    EXPECT_EQ(QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    EXPECT_EQ(columnsOf(folderOf(teachers[0]) + "voti.cds").filter("_tas").size(), 0);
    for (const char *file : {"clsmat.cds", "voti.cds"})
        EXPECT_EQ(recordsOf(second + file), 0) << file;
    EXPECT_GT(recordsOf(second + "livelli.cds"), 0);

    // Both folders exist now: Yes to All asks once; Abort stops before anything is written.
    const QString exists = QStringLiteral("La cartella %1 esiste già. Sovrascriverla?");
    QStringList shown = send(2, {0, 1}, {mrYes, mrYesToAll});
    EXPECT_EQ(shown.filter("esiste già").size(), 1);
    EXPECT_EQ(shown.last(), kDone);
    runSql("UPDATE TAai_AnaAppInvio SET iAaiInviato = NULL WHERE iAaiId = ?", {teachers[0].iAaiId});
    shown = send(2, {0, 1}, {mrYes, mrAbort});
    EXPECT_EQ(shown.filter("esiste già").size(), 1);
    EXPECT_EQ(shown.last(), QStringLiteral("Procedura interrotta dall'utente."));
    EXPECT_TRUE(mark("iAaiInviato", teachers[0]).isNull());

    // A floppy for each teacher: Cancel at the prompt stops the loop.
    dmqelParGen->xpsDirFloppy.SetValore(base + "floppy");
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 1 WHERE iAaiId = ?", {teachers[1].iAaiId});
    shown = send(1, {}, {mrOk, mrCancel});
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0].endsWith("È stato selezionato 1 docente, è necessario 1 dischetto."));
    EXPECT_TRUE(
        shown[1].startsWith("Invio dati per il docente: ../.. a/b\n\nInserire un dischetto"));
    EXPECT_EQ(shown[2], QStringLiteral("Procedura interrotta dall'utente."));
    EXPECT_FALSE(QDir(base + "floppy").exists());
}

TEST_F(DocFolder, AnInterruptedSendLeavesAFolderTheCollectionRefuses)
{
    const QString folder = folderOf(teachers[0]);
    QDir().mkpath(folder + "livvtp.cds/blocked");
    writeFileBytes(folder + "qedInfo.ini",
                   "[Info]\r\nCodice=" + teachers[0].code.toLatin1() + "\r\n[Show]\r\nVot=1\r\n");
    const QStringList shown = send(2, {0}, {mrYes});
    EXPECT_NE(shown.last(), kDone);
    EXPECT_TRUE(QFile::exists(folder + "livelli.cds"));
    EXPECT_FALSE(QFile::exists(folder + "qedInfo.ini"));
    EXPECT_TRUE(collectSingle(teachers[0], folder)
                    .last()
                    .startsWith("Nella cartella " + folder + " manca il file qedInfo.ini"));

    // A name whose line would be forged, or that the file cannot hold, ends the send before the
    // folder is touched.
    for (const QString name : {"X\nCodice=Z", "Łukasz"}) {
        runSql("UPDATE TAna_Anagrafiche SET sAnaNome = ? WHERE iAnaId = ?",
               {name, teachers[1].iAnaId});
        const QString shown = send(2, {1}, {mrYes}).last();
        EXPECT_TRUE(shown.contains("non può essere scritto in qedInfo.ini") &&
                    shown.contains(teachers[1].code))
            << shown.toStdString();
        EXPECT_EQ(QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
    }
}

TEST_F(DocFolder, DebtsComeBackOnlyWhereTheTeacherHasThem)
{
    // Two open debts of the year before, of pupils with a class now: the first verified by the
    // teacher, the second by the other one.
    const int year = TVxWorkingContext::schoolYear();
    QSqlQuery q = runSql(
        "SELECT FIRST 2 D.iDebId, D.iSitId, D.iMatId FROM TDeb_Debiti D JOIN TSit_Situazioni S ON "
        "S.iSitId = D.iSitId JOIN VAns_AnniScolast A ON A.dAnsVextoInizio = D.dStart WHERE "
        "A.iAnsId = ? AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 AND EXISTS (SELECT 1 FROM "
        "TSit_Situazioni C JOIN TClsPst P ON P.iClsPstId = C.iClsPstId JOIN TAns_AnniScolast W ON "
        "W.dAnsVextoInizio = P.dStart WHERE C.iAnaId = S.iAnaId AND W.iAnsId = ?) ORDER BY "
        "D.iDebId",
        {year - 1, year});
    QList<QVariantList> debts;
    for (int i = 0; q.next(); ++i) {
        debts.append({q.value(0), q.value(1), q.value(2)});
        runSql("UPDATE TDeb_Debiti SET iDesDedId = NULL, iAnaId_Ver = ? WHERE iDebId = ?",
               {teachers[i].iAnaId, q.value(0)});
    }
    ASSERT_EQ(debts.size(), 2);
    ASSERT_EQ(send(2, {0}, {mrYes}).last(), kDone);
    const QString folder = folderOf(teachers[0]);
    TClientDataSet packet;
    packet.LoadFromFile(folder + "debiti.cds");
    ASSERT_EQ(packet.RecordCount(), 1);
    EXPECT_EQ(packet.FieldByName("iDebId")->Value(), debts[0][0]);
    EXPECT_FALSE(packet.FieldByName("iClsId")->IsNull());

    const QVariant outcome = scalar("SELECT MIN(iDesDedId) FROM TDesDed");
    const auto collect = [&](const QVariantList &debt) {
        packet.First();
        packet.Edit();
        packet.FieldByName("iSitId")->setValue(debt[1]);
        packet.FieldByName("iMatId")->setValue(debt[2]);
        packet.FieldByName("iDesDedId")->setValue(outcome);
        packet.FieldByName("dDebVer")->setValue(QDate(2009, 9, 1));
        packet.FieldByName("bDebNota")->setValue("Verificato");
        packet.Post();
        packet.SaveToFile(folder + "debiti.cds", dfBinary);
        return collectSingle(teachers[0], folder).last();
    };
    const char *stored = "SELECT iDesDedId, dDebVer, bDebNota FROM TDeb_Debiti WHERE iDebId = ?";
    EXPECT_EQ(collect(debts[0]), kDone + "\n\nassenze: righe aggiunte 0, cambiate 0, cancellate "
                                         "6\nverifiche dei debiti: righe aggiunte 0, cambiate 1, "
                                         "cancellate 0");
    q = runSql(stored, {debts[0][0]});
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0), outcome);
    EXPECT_EQ(q.value(1).toDate(), QDate(2009, 9, 1));
    EXPECT_EQ(q.value(2).toString(), "Verificato");

    EXPECT_TRUE(collect(debts[1]).contains("alle classi e materie del docente"));
    EXPECT_TRUE(scalar(stored, {debts[1][0]}).isNull());
}

// The folder written, then the packet edited as the teacher's program would.
class DocFolderRoundTrip : public DocFolder
{
protected:
    void SetUp() override
    {
        DocFolder::SetUp();
        ASSERT_EQ(send(2, {0}, {mrYes}).last(), kDone);
        folder = folderOf(teachers[0]);
        voti.LoadFromFile(folder + "voti.cds");
    }

    void edit(int row, const QString &field, const QVariant &value)
    {
        ASSERT_GE(row, 0) << field.toStdString();
        voti.setRecNo(row);
        setField(voti, field, value);
    }

    QVariant stored(const char *sql, int row, const char *key)
    {
        voti.setRecNo(row);
        return scalar(QLatin1String(sql),
                      {voti.FieldByName("iSitId")->Value(), voti.FieldByName(key)->Value()});
    }

    void save() { voti.SaveToFile(folder + "voti.cds", dfBinary); }
    int hours(int row) { return stored(kHours, row, "iClsSesMatId").toInt(); }

    static constexpr const char *kHours =
        "SELECT iAssOre FROM TAss_Assenze WHERE iSitId = ? AND iClsSesMatId = ?";

    QString folder;
    TClientDataSet voti;
};

TEST_F(DocFolderRoundTrip, TheDatabaseHoldsExactlyTheEdits)
{
    // The demo's final session holds proposals and no votes yet: a vote is set, a proposal
    // cleared.
    const int set = 0, cleared = 1;
    ASSERT_TRUE(voti.Value(set, voti.FieldByName("iScaLivId_vot1")->Index()).isNull());
    ASSERT_FALSE(voti.Value(cleared, voti.FieldByName("iScaLivId_vtp1")->Index()).isNull());
    const int level = scalar("SELECT MIN(L.iScaLivId) FROM TScaLiv L JOIN TCmpSca S ON S.iScaId "
                             "= L.iScaId WHERE S.iCmpScaId = ?",
                             {voti.Value(set, voti.FieldByName("iCmpScaId_vot1")->Index())})
                          .toInt();
    edit(set, "iScaLivId_vot1", level);
    edit(cleared, "iScaLivId_vtp1", QVariant());
    edit(0, "iAssOre", 0);
    edit(1, "bNotNota", "Nota cambiata");
    edit(1, "dNotData", QDate(2009, 6, 3));
    save();
    runSql("UPDATE OR INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre) VALUES "
           "(990001, ?, ?, 5) MATCHING (iClsSesMatId, iSitId)",
           {voti.Value(0, voti.FieldByName("iClsSesMatId")->Index()),
            voti.Value(0, voti.FieldByName("iSitId")->Index())});

    // The message counts the rows each kind changed.
    EXPECT_EQ(collectSingle(teachers[0], folder).last(),
              kDone + "\n\nvoti: righe aggiunte 1, cambiate 0, cancellate 0\nvoti proposti: righe "
                      "aggiunte 0, cambiate 0, cancellate 1\nassenze: righe aggiunte 0, cambiate "
                      "0, cancellate 7\nnote: righe aggiunte 1, cambiate 0, cancellate 0");
    EXPECT_EQ(stored("SELECT iScaLivId FROM TVot_Voti WHERE iSitId = ? AND iClsMatCmpId = ?", set,
                     "iClsMatCmpId_vot1"),
              level);
    EXPECT_FALSE(stored("SELECT 1 FROM TVtp_Proposti WHERE iSitId = ? AND iClsMatCmpId = ?",
                        cleared, "iClsMatCmpId_vtp1")
                     .isValid());
    EXPECT_FALSE(stored(kHours, 0, "iClsSesMatId").isValid());
    EXPECT_EQ(stored("SELECT bNotNota FROM TNot_Note WHERE iSitId = ? AND iClsSesMatId = ?", 1,
                     "iClsSesMatId")
                  .toString(),
              "Nota cambiata");
    EXPECT_EQ(mark("iAaiRicevuto", teachers[0]).toInt(), 1);

    // Sent again, the folder is the edited one, every zero absence gone.
    for (int row = 0; row < voti.RecordCount(); ++row)
        if (voti.Value(row, voti.FieldByName("iAssOre")->Index()) == 0)
            edit(row, "iAssOre", QVariant());
    QDir(folder).removeRecursively();
    ASSERT_EQ(send(2, {0}, {mrYes}).last(), kDone);
    TClientDataSet again;
    again.LoadFromFile(folder + "voti.cds");
    ASSERT_EQ(again.RecordCount(), voti.RecordCount());
    for (int row = 0; row < voti.RecordCount(); ++row)
        for (int col = 0; col < voti.FieldCount(); ++col)
            ASSERT_EQ(again.Value(row, col), voti.Value(row, col))
                << row << " " << voti.Fields(col)->FieldName().toStdString();
}

// The cases of the table below, every kFolderSlices-th of them a test on a database of its own
// (the first slice also with the refusals before any case): side by side, none holds the run back.
constexpr int kFolderSlices = 4;
class DocFolderReturns : public DocFolderRoundTrip, public testing::WithParamInterface<int>
{
};
INSTANTIATE_TEST_SUITE_P(Slices, DocFolderReturns, testing::Range(0, kFolderSlices));

TEST_P(DocFolderReturns, AFolderComesBackWholeOrIsRefusedWithNothingChanged)
{
    if (GetParam() == 0) {
        // Another teacher's row, and no class ticked.
        EXPECT_EQ(collectSingle(teachers[1], folder).last(),
                  kWrongTeacher + ".\n\nLa cartella " + folder + " è del docente con codice \"" +
                      teachers[0].code + "\".");
        EXPECT_EQ(collectSingle(teachers[0], folder, {mrYes}, true).last(),
                  "Nessuna classe selezionata");

        // A transaction that cannot start is an error, never a value skipped.
        TVxTransaction busy(qqoVxGlobConn());
        ASSERT_TRUE(busy.StartTransaction());
        QelTeacherFolderCollector collector(w, TVxWorkingContext::schoolYear());
        EXPECT_THROW(
            collector.ImportTeacherFolder(folder, teachers[0].iAnaId, QString(), {{"Vot", true}}),
            EVxException);
    }

    runSql("CREATE EXCEPTION E_TEST_ASS 'assenza rifiutata'");
    runSql("CREATE TRIGGER T_TEST_ASS FOR TAss_Assenze BEFORE INSERT OR UPDATE AS BEGIN IF "
           "(NEW.iAssOre = 77) THEN EXCEPTION E_TEST_ASS; END");
    const int foreign = scalar("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                               "P.iClsPstId = S.iClsPstId WHERE NOT EXISTS (SELECT 1 FROM "
                               "TClsMatAna A WHERE A.iClsId = P.iClsId AND A.iAnaId = ?)",
                               {teachers[0].iAnaId})
                            .toInt();
    // A subject of the first row's class that another teacher teaches.
    const int othersSubject =
        scalar("SELECT FIRST 1 M.iClsSesMatId FROM TClsSesMat M JOIN TClsSes CS ON CS.iClsSesId "
               "= M.iClsSesId JOIN TMatRma R ON R.iMatRmaId = M.iMatRmaId WHERE M.iClsSesId = "
               "(SELECT iClsSesId FROM TClsSesMat WHERE iClsSesMatId = ?) AND NOT EXISTS (SELECT "
               "1 FROM TClsMatAna A WHERE A.iClsId = CS.iClsId AND A.iMatId = R.iMatId AND "
               "A.iAnaId = ?)",
               {voti.Value(0, voti.FieldByName("iClsSesMatId")->Index()), teachers[0].iAnaId})
            .toInt();
    QMap<QString, QByteArray> sent;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        sent.insert(name, readFileBytes(folder + name));
    // Collected once, the absences of 0 hours the folder carries are gone: from there on the
    // folder as sent changes nothing.
    ASSERT_TRUE(collectSingle(teachers[0], folder).last().startsWith(kDone));
    // A level of a scale that is not the first vote component's, as a judgment on a numeric one.
    const int otherScale = scalar("SELECT MIN(L.iScaLivId) FROM TScaLiv L WHERE L.iScaId <> "
                                  "(SELECT S.iScaId FROM TCmpSca S WHERE S.iCmpScaId = ?)",
                                  {voti.Value(0, voti.FieldByName("iCmpScaId_vot1")->Index())})
                               .toInt();
    const auto info = [&](const QByteArray &from, const QByteArray &to) {
        writeFileBytes(folder + "qedInfo.ini",
                       QByteArray(sent.value("qedInfo.ini")).replace(from, to));
    };
    const auto valueAt = [&](int row, const char *field) {
        return voti.Value(row, voti.FieldByName(field)->Index()).toString();
    };
    struct Case
    {
        const char *what;
        std::function<void()> damage;
        QString shown;      // what the last message holds
        QString notShown{}; // ... and what it does not
    } cases[] = {
        {"as sent", [] {}, kDone + "\n\nNessun dato è cambiato."},
        // Values the grid would refuse: listed, their kind kept, the teacher not received.
        {"a level of another scale",
         [&] {
             edit(0, "iScaLivId_vot1", otherScale);
             save();
         },
         QStringLiteral("il livello %1 non è della scala del componente").arg(otherScale)},
        // A proposal the scale no longer shows: kept where stored (the second pupil's), refused
        // where another is (the first's).
        {"a level taken off its scale",
         [&] {
             const int vtp = voti.FieldByName("iScaLivId_vtp1")->Index();
             const QVariant hidden = voti.Value(1, vtp);
             ASSERT_NE(voti.Value(0, vtp), hidden);
             runSql("UPDATE TPrpScaLiv SET lPrpScaLivVisible = 0 WHERE iPrpScaLivId = ?", {hidden});
             edit(0, "iScaLivId_vtp1", hidden);
             save();
         },
         QStringLiteral("(situazione %1), INFORMATICA, voti proposti, componente P (iClsMatCmpId "
                        "%2): il livello %3 è stato tolto dalla scala del componente \"Pratico\"")
             .arg(valueAt(0, "iSitId"), valueAt(0, "iClsMatCmpId_vtp1"),
                  valueAt(1, "iScaLivId_vtp1")),
         QStringLiteral("(situazione %1)").arg(valueAt(1, "iSitId"))},
        {"hours below 0 and beyond four digits",
         [&] {
             edit(0, "iAssOre", -7);
             edit(1, "iAssOre", 99999);
             save();
         },
         "le ore di assenza \"99999\" non sono valide: le assenze sono ore intere, scritte in "
         "cifre, da 0 a 9999."},
        {"a value of another class's pupil",
         [&] {
             edit(0, "iAssOre", 33);
             edit(1, "iSitId", foreign);
             save();
         },
         "5 dati non appartengono alle classi e materie del docente"},
        {"a value in another teacher's subject of the pupil's class",
         [&] {
             edit(0, "iClsSesMatId", othersSubject);
             edit(0, "iAssOre", 44);
             save();
         },
         "un dato non appartiene alle classi e materie del docente"},
        {"another school's",
         [&] {
             TClientDataSet school;
             school.LoadFromFile(folder + "istituto.cds");
             school.First();
             setField(school, "sSedMecCod", "XX0");
             school.SaveToFile(folder + "istituto.cds", dfBinary);
         },
         "è di un'altra scuola"},
        {"another year's", [&] { info("Anno=", "Anno=1999/2000"); }, "è dell'anno"},
        {"a flag that is no boolean", [&] { info("Vot=1", "Vot=2"); }, "la chiave Vot vale \"2\""},
        {"a value the database refuses",
         [&] {
             edit(0, "iAssOre", 33);
             edit(1, "iAssOre", 77);
             save();
         },
         "assenza rifiutata"},
        {"voti.cds missing", [&] { QFile::remove(folder + "voti.cds"); }, "voti.cds"},
        {"qedInfo.ini missing", [&] { QFile::remove(folder + "qedInfo.ini"); },
         "manca il file qedInfo.ini"},
    };
    for (size_t i = size_t(GetParam()); i < std::size(cases); i += kFolderSlices) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.what);
        for (auto file = sent.cbegin(); file != sent.cend(); ++file)
            writeFileBytes(folder + file.key(), file.value());
        voti.LoadFromFile(folder + "voti.cds");
        runSql("UPDATE TAai_AnaAppInvio SET iAaiRicevuto = NULL WHERE iAaiId = ?",
               {teachers[0].iAaiId});
        c.damage();
        const QStringList before = classTablesSnapshot();
        const QString shown = collectSingle(teachers[0], folder).last();
        EXPECT_TRUE(shown.contains(c.shown)) << shown.toStdString();
        EXPECT_TRUE(c.notShown.isEmpty() || !shown.contains(c.notShown)) << shown.toStdString();
        EXPECT_EQ(classTablesSnapshot(), before);
        EXPECT_EQ(mark("iAaiRicevuto", teachers[0]).toInt(), c.shown.startsWith(kDone) ? 1 : 0);
    }
}

TEST_F(DocFolderRoundTrip, ClassCollectionTakesEveryNetworkTeacherOfTheClasses)
{
    // The second teacher's recorded folder is not there: he is passed over.
    runSql("UPDATE TAai_AnaAppInvio SET sAaiDirInviato = ? WHERE iAaiId = ?",
           {base + "nessuna", teachers[1].iAaiId});
    const QVariant received = mark("dAaiRicevuto", teachers[0]);
    edit(0, "iAssOre", 41);
    save();
    const auto collect = [&](const QVariantList &answers) {
        TfmqelDocReceive window;
        window.FormShow();
        window.pcTipologia()->setCurrentWidget(window.tsClasse());
        window.frqelDocReceiveClasse_fm()->SelectAllRows();
        const QStringList shown = press(window.buOk(), answers);
        return QPair(shown, window.frqelDocReceiveClasse_fm()->meLog()->toPlainText());
    };
    auto [shown, log] = collect({mrYes});
    EXPECT_TRUE(shown.first().startsWith("Selezionate ")) << shown.first().toStdString();
    EXPECT_TRUE(
        log.startsWith(teachers[0].code + " " + teachers[0].name + " dalla directory " + folder))
        << log.toStdString();
    EXPECT_TRUE(log.contains("\n  classe: ")) << log.toStdString();
    EXPECT_TRUE(log.endsWith("\nassenze: righe aggiunte 0, cambiate 1, cancellate 6"))
        << log.toStdString();
    EXPECT_EQ(hours(0), 41);
    EXPECT_EQ(mark("dAaiRicevuto", teachers[0]), received);
    EXPECT_EQ(log.count(" dalla directory "), 1) << log.toStdString();

    // The second teacher's folder there too: both are collected, neither marked.
    ASSERT_EQ(send(2, {1}, {mrYes}).last(), kDone);
    const QString second = folderOf(teachers[1]);
    TClientDataSet theirs;
    theirs.LoadFromFile(second + "voti.cds");
    ASSERT_GT(theirs.RecordCount(), 0);
    theirs.First();
    setField(theirs, "iAssOre", 42);
    theirs.SaveToFile(second + "voti.cds", dfBinary);
    const QVariant theirsReceived = mark("dAaiRicevuto", teachers[1]);
    std::tie(shown, log) = collect({mrYes});
    EXPECT_TRUE(
        log.contains(teachers[1].code + " " + teachers[1].name + " dalla directory " + second))
        << log.toStdString();
    EXPECT_EQ(log.count(" dalla directory "), 2) << log.toStdString();
    EXPECT_EQ(scalar(kHours, {theirs.FieldByName("iSitId")->Value(),
                              theirs.FieldByName("iClsSesMatId")->Value()}),
              42);
    EXPECT_EQ(mark("dAaiRicevuto", teachers[0]), received);
    EXPECT_EQ(mark("dAaiRicevuto", teachers[1]), theirsReceived);

    // A qedInfo.ini without [Show], or none at all: that folder refused in the log, the other
    // teacher collected.
    for (const bool removed : {false, true}) {
        writeFileBytes(folder + "qedInfo.ini", "[Info]\r\nCodice=x\r\n");
        if (removed)
            ASSERT_TRUE(QFile::remove(folder + "qedInfo.ini"));
        std::tie(shown, log) = collect({mrYes});
        EXPECT_TRUE(log.startsWith("  ***ERRORE*** Il file " +
                                   QDir::toNativeSeparators(folder + "qedInfo.ini") +
                                   " non è valido: nella sezione [Show] la chiave Vot vale \"\"") &&
                    log.count(" dalla directory ") == 2)
            << removed << log.toStdString();
        // The log ends naming the teacher refused.
        EXPECT_TRUE(log.endsWith("\nDocenti non raccolti: " + teachers[0].name + "."))
            << log.toStdString();
    }
}

TEST(DocFolderFrame, BuildClsFilterOfTheTickedClasses)
{
    TfrqelDocReceiveSingle frame;
    for (int id : {5, 6, 7})
        AddCheckItem(frame.clbClsList(), QString::number(id), id);
    const QList<QPair<QList<Qt::CheckState>, QString>> cases = {
        {{Qt::Checked, Qt::Unchecked, Qt::Checked}, "(iClsId = 5) OR (iClsId = 7)"},
        {{Qt::Checked, Qt::Checked, Qt::Checked}, ""},
        {{Qt::Unchecked, Qt::Unchecked, Qt::Unchecked}, "1 = 0"}};
    for (const auto &[states, expected] : cases) {
        for (int i = 0; i < 3; ++i)
            frame.clbClsList()->item(i)->setCheckState(states[i]);
        EXPECT_EQ(frame.BuildClsFilter(), expected);
    }
}

} // namespace
