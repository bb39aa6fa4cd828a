#include "exchange/qelfldname.h"
#include "exchange/qelfriced.h"
#include "exchange/qelfsendd.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwait.h"
#include "platform/clientdataset.h"
#include "platform/dbgridframes.h"
#include "platform/engineerrors.h"
#include "platform/inifile.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "tests/support/classtables.h"
#include "tests/support/otheroffice.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>

#include <optional>

namespace {

// The grid's rows of the bookkeeping rows given.
QList<int> rowsOf(QelWebTeacherGrid &teachers, const QList<int> &aaiIds)
{
    QList<int> rows;
    for (int row = 0; row < teachers.RowCount(); ++row)
        if (aaiIds.contains(teachers.Value(row, "iAaiId").toInt()))
            rows << row;
    return rows;
}

class TeacherFolders : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        QDir().mkpath(base);
        for (TVxParString *folder : {&dmqelParGen->xpsDirFloppy, &dmqelParGen->xpsDirRete,
                                     &dmqelParGen->xpsDirUSB, &dmqelParGen->xpsDirWeb})
            folder->SetValore(base);
        dmqelParGen->xpiVot.SetValore(1);
        // Monti (9) joins the network folder's Caruso (10) and Marchetti (11).
        runSql("UPDATE TAai_AnaAppInvio SET iModId = 2 WHERE iAaiId = 9");
    }

    // The send window on the mode, the teachers (bookkeeping rows) selected, OK pressed; what
    // it shows recorded anew.
    void send(int mode, const QList<int> &aaiIds)
    {
        DialogSeam::clearShown();
        asked.clear();
        if (!sender)
            sender = std::make_unique<TfmqelSendD>();
        const int index = sender->cbMod()->findData(mode);
        sender->cbMod()->setCurrentIndex(index);
        emit sender->cbMod()->activated(index);
        sender->SetSelectedRows(rowsOf(sender->Teachers(), aaiIds));
        sender->buOk()->click();
    }
    // The folder dialog's next answer: its button, after typing the name (null: the proposed
    // one) and setting the box.
    void answer(const char *button, const QString &name = {}, bool always = false)
    {
        DialogSeam::queueModalScript([=, this](QDialog *d) {
            auto *dialog = qobject_cast<TfmqelFldName *>(d);
            if (!dialog)
                return ADD_FAILURE() << "not the folder dialog", int(mrCancel);
            asked << dialog->laMsg()->text();
            if (!name.isNull())
                dialog->eFolderName()->setText(name);
            dialog->cbSovrascrivisempre()->setChecked(always);
            dialog->findChild<QPushButton *>(button)->click();
            return int(mrNone);
        });
    }
    // The messages shown, the folder dialogs aside.
    static QStringList messages()
    {
        QStringList texts = DialogSeam::shownTexts();
        texts.removeAll("Cartella");
        return texts;
    }
    // The folders the teachers were sent to ("" never), "+" after one collected.
    static QStringList marks(const QList<int> &aaiIds)
    {
        QStringList marks;
        for (int id : aaiIds)
            marks << scalar("SELECT COALESCE(sAaiDirInviato, '') || IIF(iAaiRicevuto = 1, '+', "
                            "'') FROM TAai_AnaAppInvio WHERE iAaiId = ?",
                            {id})
                         .toString()
                         .trimmed();
        return marks;
    }
    static int infoId(const QString &folder)
    {
        return TVxINIFile(folder + "Info.ini").ReadInteger("Docente", "ID", 0);
    }
    QStringList files(const QString &name) const
    {
        return QDir(base + name).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    // The collection window shown, the teachers selected, the last one current.
    std::unique_ptr<TfmqelRiceD> collector(const QList<int> &aaiIds)
    {
        auto window = std::make_unique<TfmqelRiceD>();
        window->FormShow();
        const QList<int> rows = rowsOf(window->Teachers(), aaiIds);
        if (!rows.isEmpty())
            window->frSelect()->SetCurrentSourceRow(rows.last());
        window->SetSelectedRows(rows);
        return window;
    }
    // Every vote as "component|situation|level".
    static QStringList votes()
    {
        QStringList rows;
        for (QSqlQuery q = runSql("SELECT iClsMatCmpId || '|' || iSitId || '|' || iScaLivId "
                                  "FROM TVot_Voti");
             q.next();)
            rows << q.value(0).toString();
        return rows;
    }
    // How many of the votes listed are gone, and how many new ones came.
    static std::pair<qsizetype, qsizetype> changedSince(QStringList gone)
    {
        QStringList come = votes();
        gone.removeIf([&come](const QString &row) { return come.removeOne(row); });
        return {gone.size(), come.size()};
    }

    ScriptedDialogs dialogs;
    QString base = db.mainDir.path() + "invio/";
    std::unique_ptr<TfmqelSendD> sender;
    QStringList asked;
};

} // namespace

TEST_F(TeacherFolders, NetworkSendAsksForExistingFoldersAndMarksOnlyWhatWasWritten)
{
    runSql("UPDATE TAna_Anagrafiche SET sAnaNome = 'Beatrìce/Jr' WHERE iAnaId = 1000011");
    writeFileBytes(base + "Caruso Greta/vecchio.txt", "x");
    writeFileBytes(base + "Marchetti Beatrice_Jr/vecchio.txt", "x");
    answer("buSovrascrivi");           // Marchetti: emptied
    answer("buOK");                    // Caruso, the same name: asked again
    answer("buOK", "../Caruso Nuova"); // a new name, made safe
    send(2, {9, 10, 11});
    EXPECT_EQ(asked.value(0), QStringLiteral("Impossibile creare la cartella Marchetti "
                                             "Beatrice_Jr: esiste già. Specificare un altro nome "
                                             "o sovrascriverla."));
    EXPECT_EQ(asked.size(), 3);
    EXPECT_EQ(messages(), QStringList{"Procedura completata."});
    EXPECT_EQ(files("Caruso Greta"), QStringList{"vecchio.txt"});
    EXPECT_FALSE(files("Marchetti Beatrice_Jr").contains("vecchio.txt"));
    for (const auto &[id, folder] : {std::pair{9, "Monti Gabriele/"},
                                     {10, "_._Caruso Nuova/"},
                                     {11, "Marchetti Beatrice_Jr/"}}) {
        EXPECT_EQ(marks({id}), QStringList{base + folder});
        EXPECT_EQ(infoId(base + folder), 1000000 + id);
    }

    // "sempre": no more questions, existing folders written into with their own Info.ini;
    // Monti, now named as Marchetti, and Marchetti still get a folder each.
    runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = 'Marchetti', sAnaNome = 'Beatrice_Jr' "
           "WHERE iAnaId = 1000009");
    sender.reset(); // "Invio" reads its teachers when it opens
    writeFileBytes(base + "Caruso Greta/Info.ini", "[Docente]\r\nID=1000002\r\n");
    answer("buSovrascrivi", {}, true); // Monti, sent first
    answer("buOK", "Marchetti 2");     // Marchetti: the folder was filled in this run
    send(2, {9, 10, 11});
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(infoId(base + "Marchetti Beatrice_Jr/"), 1000009);
    EXPECT_EQ(infoId(base + "Marchetti 2/"), 1000011);
    EXPECT_EQ(infoId(base + "Caruso Greta/"), 1000010);
    EXPECT_TRUE(files("Caruso Greta").contains("vecchio.txt"));
}

TEST_F(TeacherFolders, UsbSendCopiesTheSetUpAndSkipsOnlyWhatItMust)
{
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 3 WHERE iAaiId IN (8, 9, 10, 11)");
    runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = CASE iAnaId WHEN 1000008 THEN '' "
           "WHEN 1000009 THEN '..' ELSE 'a/b' END, sAnaNome = '' "
           "WHERE iAnaId IN (1000008, 1000009, 1000011)");
    writeFileBytes(db.mainDir.path() + "ETC/qed/SETUP.exe", "installa");
    writeFileBytes(base + "Caruso Greta/vecchio.txt", "x");
    const QStringList mainFolder = QDir(db.mainDir.path()).entryList();
    answer("buCancel"); // Caruso
    send(3, {8, 9, 10, 11});
    EXPECT_EQ(messages(), QStringList{"Procedura completata."});
    EXPECT_EQ(QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"_.", "a_b", "Caruso Greta"}));
    EXPECT_EQ(QDir(db.mainDir.path()).entryList(), mainFolder);
    EXPECT_EQ(files("Caruso Greta"), QStringList{"vecchio.txt"});
    EXPECT_EQ(readFileBytes(base + "a_b/Setup.exe"), "installa");
    EXPECT_EQ(marks({8, 9, 10, 11}),
              (QStringList{"", base + "_./", "\\\\server\\scambio\\D010", base + "a_b/"}));

    // Without the set-up, said once, and the send goes on.
    QFile::remove(db.mainDir.path() + "ETC/qed/SETUP.exe");
    answer("buSovrascrivi", {}, true);
    send(3, {9, 11});
    ASSERT_EQ(messages().size(), 2) << messages().join('|').toStdString();
    EXPECT_TRUE(messages()[0].startsWith("Il programma di installazione per i docenti"));

    // A copy that fails, or a failure in the second teacher's export, ends the send with its
    // closing message: the first teacher stays marked, the failed one is not.
    const QString ended = "Procedura interrotta: i dati del docente %1 non sono stati inviati. "
                          "I docenti inviati prima restano segnati come inviati.";
    writeFileBytes(db.mainDir.path() + "ETC/qed/SETUP.exe", "installa");
    ASSERT_TRUE(QFile::remove(base + "a_b/Setup.exe") && QDir().mkpath(base + "a_b/Setup.exe"));
    runSql("UPDATE TAai_AnaAppInvio SET iAaiInviato = NULL, sAaiDirInviato = NULL");
    send(3, {9, 11});
    ASSERT_EQ(messages().size(), 2);
    EXPECT_TRUE(messages()[0].startsWith("Impossibile copiare il programma di installazione"));
    EXPECT_EQ(messages()[1], ended.arg("a/b"));
    EXPECT_EQ(infoId(base + "a_b/"), 1000011);
    EXPECT_EQ(marks({9, 11}), (QStringList{base + "_./", ""}));

    QDir(base + "a_b/Setup.exe").removeRecursively();
    runSql("UPDATE TAai_AnaAppInvio SET iAaiInviato = NULL, sAaiDirInviato = NULL");
    sender->Engine().onPacketWritten = [this](const QString &) {
        if (sender->Engine().iAnaId == 1000011)
            throw EVxException("guasto di prova");
    };
    send(3, {9, 11});
    EXPECT_EQ(messages(), (QStringList{"guasto di prova", ended.arg("a/b")}));
    EXPECT_EQ(marks({9, 11}), (QStringList{base + "_./", ""}));
}

TEST_F(TeacherFolders, WebFolderSendZipsEachFolderListsEveryTeacherAndStopsOnAnnulla)
{
    sender = std::make_unique<TfmqelSendD>();
    int packets = 0;
    sender->Engine().onPacketWritten = [&](const QString &) {
        EXPECT_FALSE(sender->buOk()->isEnabled() || sender->buCancel()->isEnabled());
        if (packets++ == 0)
            QMetaObject::invokeMethod(sender->Engine().Wait()->buAnnulla(), "click",
                                      Qt::QueuedConnection);
    };
    send(4, {12, 13});
    EXPECT_EQ(messages(), QStringList{"Procedura annullata dall'utente."});
    EXPECT_EQ(marks({12, 13}), (QStringList{base + "Villa Riccardo/", ""}));
    EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"1000012.ZIP", "Docenti.xml"}));
    EXPECT_EQ(runChecker("unzip", {"-tq", base + "1000012.ZIP"}), 0);
    EXPECT_EQ(runChecker("xmllint", {"--noout", base + "Docenti.xml"}), 0);
    const QByteArray teachers = readFileBytes(base + "Docenti.xml");
    EXPECT_TRUE(teachers.contains("<ID>1000012</ID>") && teachers.contains("<ID>1000013</ID>"));

    // The second archive cannot be written: its failure is told, then the send closes as
    // after "Annulla", the list of the web folder written, the first teacher sent and marked.
    sender->Engine().onPacketWritten = {};
    runSql("UPDATE TAai_AnaAppInvio SET iAaiInviato = NULL, sAaiDirInviato = NULL");
    QDir(base).removeRecursively();
    QDir().mkpath(base + "1000013.ZIP");
    send(4, {12, 13});
    ASSERT_EQ(messages().size(), 2) << messages().join('|').toStdString();
    EXPECT_EQ(messages()[1], "Procedura interrotta: i dati del docente Conti Giovanni non sono "
                             "stati inviati. I docenti inviati prima restano segnati come "
                             "inviati.");
    EXPECT_EQ(marks({12, 13}), (QStringList{base + "Villa Riccardo/", ""}));
    EXPECT_TRUE(QFile::exists(base + "1000012.ZIP"));
    EXPECT_EQ(runChecker("xmllint", {"--noout", base + "Docenti.xml"}), 0);
}

TEST_F(TeacherFolders, EachModeWantsItsFolderAndTheFloppyADisketteForEachTeacher)
{
    // The window opens on the diskette, which nobody has yet: where teachers get a mode.
    sender = std::make_unique<TfmqelSendD>();
    EXPECT_FALSE(sender->laNessunDocente()->isHidden());
    EXPECT_EQ(sender->laNessunDocente()->text(),
              "Nessun docente ha la modalità \"Floppy\" nella sessione di lavoro: la modalità di "
              "invio si assegna ai docenti in \"Docenti - Configurazione invio\".");
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 1 WHERE iAaiId IN (10, 11)");
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 3 WHERE iAaiId = 8");
    sender.reset();
    const QString unset = "Attenzione\n\nSi è scelto di inviare i dati %1 senza impostare il "
                          "percorso di invio.\n\nImpostarlo da \"Utilità e parametri - "
                          "Parametri Invio docenti\" per proseguire.\n\n";
    // A folder that is set but not there (a key not inserted, a share not mounted, a Windows
    // path) is named as missing, with what to do, and never created.
    const QString missing = "La cartella di invio %1 non esiste.\n\nInserire il supporto che la "
                            "contiene (chiave USB, disco) o collegare la cartella di rete, poi "
                            "ripetere l'invio; oppure scegliere un'altra cartella da \"Utilità e "
                            "parametri - Parametri Invio docenti\".";
    const QString share = db.mainDir.path() + "rete", key = db.mainDir.path() + "chiave",
                  web = db.mainDir.path() + "web";
    using Case = std::tuple<int, TVxParString *, QString, int, QString>;
    for (const auto &[mode, folder, value, id, message] :
         {Case{1, &dmqelParGen->xpsDirFloppy, " ", 10, unset.arg("al Floppy da 3,5 pollici")},
          Case{2, &dmqelParGen->xpsDirRete, share + "/", 9, missing.arg(share)},
          Case{3, &dmqelParGen->xpsDirUSB, "", 8, unset.arg("alla chiave USB")},
          Case{3, &dmqelParGen->xpsDirUSB, key, 8, missing.arg(key)},
          Case{4, &dmqelParGen->xpsDirWeb, web, 12, missing.arg(web)}}) {
        folder->SetValore(value);
        send(mode, {id});
        EXPECT_EQ(messages(), QStringList{message});
        EXPECT_TRUE(sender->laNessunDocente()->isHidden());
        for (const QString &path : {share, key, web})
            EXPECT_FALSE(QFileInfo::exists(path));
        folder->SetValore(base);
    }

    const QString prompt = "Invio dati per il docente: %1\n\nInserire un dischetto vuoto nel "
                           "drive %2 \n\nPremere OK per proseguire o ANNULLA per annullare.";
    send(1, {10, 11});
    EXPECT_EQ(messages(),
              (QStringList{"Si è scelto di inviare i dati al Floppy da 3,5 pollici.\n\nLa "
                           "procedura chiederà un dischetto nuovo e formattato per ogni docente "
                           "selezionato.\n\nAssicurarsi di disporre di un numero sufficiente di "
                           "floppy vuoti e premere OK per proseguire o ANNULLA per interrompere."
                           "\n\nSono stati selezionati 2 docenti, sono necessari 2 dischetti.",
                           prompt.arg("Marchetti Beatrice", base), prompt.arg("Caruso Greta", base),
                           "Procedura completata."}));
    EXPECT_EQ(marks({10}), QStringList{base + "Caruso Greta/"});

    // No diskette in the drive: asked again until the office gives up on the teacher.
    const QString drive = db.mainDir.path() + "floppy/";
    dmqelParGen->xpsDirFloppy.SetValore(drive);
    for (int button : {mrOk, mrOk, mrCancel, mrCancel})
        DialogSeam::queueAnswer(button);
    send(1, {10, 11});
    EXPECT_EQ(messages().mid(1),
              (QStringList{prompt.arg("Marchetti Beatrice", drive),
                           prompt.arg("Marchetti Beatrice", drive),
                           prompt.arg("Caruso Greta", drive), "Procedura completata."}));
    EXPECT_EQ(marks({10}), QStringList{base + "Caruso Greta/"});
    EXPECT_FALSE(QDir(drive).exists());
}

TEST_F(TeacherFolders, ReturnedArchivesAreUnpackedOnlyIntoTheirTeachersFolders)
{
    send(4, {12, 13});
    ASSERT_TRUE(QFile::rename(base + "1000012.ZIP", base + "OUT_1000012.ZIP"));
    // Conti's archive escapes its folder; Marchetti's holds a link; Caruso has no folder and
    // Monti one of an office on Windows; the archive of teacher 8 is Villa's folder.
    writeZipEntries(base + "OUT_1000013.ZIP",
                    {{"buono.txt", "x"}, {"../x", "x"}, {(base + "assoluto").toUtf8(), "x"}});
    writeZipEntries(base + "OUT_1000008.ZIP",
                    {{"Info.ini", "[Docente]\r\nID=1000012\r\n"}, {"rubato.txt", "x"}});
    QDir().mkpath(base + "Altro");
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 4, sAaiDirInviato = CASE iAaiId WHEN 9 THEN "
           "'\\\\server\\scambio\\D009' WHEN 11 THEN ? WHEN 8 THEN ? ELSE NULL END WHERE iAaiId "
           "IN (8, 9, 10, 11)",
           {base + "Marchetti Beatrice/", base + "Altro/"});
    const QString link = "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w')\n"
                         "i=zipfile.ZipInfo('collegamento')\ni.external_attr=0o120777<<16\n"
                         "z.writestr(i,'/etc/passwd')\n"
                         "z.writestr('Info.ini','[Docente]\\r\\nID=1000011\\r\\n')\nz.close()\n";
    ASSERT_EQ(QProcess::execute("python3", {"-c", link, base + "OUT_1000011.ZIP"}), 0);
    for (const char *id : {"1000009", "1000010"})
        writeZipEntries(base + "OUT_" + id + ".ZIP", {{"vuoto.txt", "x"}});
    DialogSeam::clearShown();
    collector({});
    ASSERT_EQ(messages().size(), 1) << messages().join("|").toStdString();
    // Each archive left packed is a line, once: the one that does not extract, another
    // teacher's, and those whose recorded folder is none or lies on another computer.
    const QString left = messages()[0];
    for (const char *line :
         {"OUT_1000013.ZIP (Conti Giovanni): non è un archivio leggibile (", "OUT_1000008.ZIP (",
          "): il suo Info.ini è del docente 1000012, non di questo: non è stato "
          "estratto.",
          "OUT_1000010.ZIP (Caruso Greta): nessuna cartella registrata all'invio.",
          "OUT_1000009.ZIP (Monti Gabriele): la cartella registrata all'invio "
          "(\\\\server\\scambio\\D009) non c'è su questo computer."})
        EXPECT_TRUE(left.contains(line)) << left.toStdString();
    EXPECT_EQ(QDir(base).entryList({"OUT_*"}), (QStringList{"OUT_1000008.ZIP", "OUT_1000009.ZIP",
                                                            "OUT_1000010.ZIP", "OUT_1000013.ZIP"}));
    EXPECT_EQ(files("Altro"), QStringList());
    EXPECT_EQ(infoId(base + "Villa Riccardo/"), 1000012);
    EXPECT_FALSE(QDir(base + "Conti Giovanni").exists() && !files("Conti Giovanni").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(base + "assoluto") ||
                 QFileInfo::exists(db.mainDir.path() + "x"));
    const QFileInfo linked(base + "Marchetti Beatrice/collegamento");
    EXPECT_TRUE(linked.isFile() && !linked.isSymLink());
    EXPECT_FALSE(QFileInfo::exists("vuoto.txt") || QFileInfo::exists(base + "vuoto.txt"));

    // An archive whose Info.ini names no teacher is no teacher's either.
    writeZipEntries(base + "OUT_1000008.ZIP",
                    {{"Info.ini", "[Docente]\r\nNome=Villa\r\n"}, {"rubato.txt", "x"}});
    DialogSeam::clearShown();
    collector({});
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains("OUT_1000008.ZIP (") &&
                messages()[0].contains("): il suo Info.ini non dice di quale docente è: non è "
                                       "stato estratto."))
        << messages()[0].toStdString();
    EXPECT_EQ(files("Altro"), QStringList());
    EXPECT_TRUE(QFileInfo::exists(base + "OUT_1000008.ZIP"));
}

TEST_F(TeacherFolders, CollectionBringsBackTheTickedClassesOfTheRightTeacherOnly)
{
    send(2, {10, 11});
    const QString marchetti = base + "Marchetti Beatrice/", caruso = base + "Caruso Greta/";
    // The teacher raises her first vote in two classes.
    TClientDataSet packet;
    packet.LoadFromFile(marchetti + "ClsVot.xml");
    QList<int> classes;
    for (packet.First(); !packet.Eof() && classes.size() < 2; packet.Next()) {
        const int cls = packet.FieldByName("iClsId")->AsInteger();
        if (classes.contains(cls))
            continue;
        classes << cls;
        raiseVote(packet);
    }
    packet.SaveToFile(marchetti + "ClsVot.xml", dfXML);
    ASSERT_EQ(classes.size(), 2);
    const QStringList before = votes();

    // Another teacher's folder picked for Marchetti is refused.
    auto window = collector({11});
    EXPECT_EQ(window->eDir()->text(), marchetti);
    DialogSeam::queueAnswer(caruso);
    window->SpeedButton1()->click();
    DialogSeam::clearShown();
    window->buOk()->click();
    EXPECT_EQ(messages(),
              QStringList{"Alcuni dati non sono stati raccolti.\n\nIl docente Marchetti Beatrice "
                          "non è stato raccolto.\nIl docente selezionato non è lo stesso del "
                          "percorso specificato.\n\nLa cartella " +
                          caruso + " è del docente Caruso Greta."});
    EXPECT_EQ(marks({11}), QStringList{marchetti});

    // Her own folder, the second class unticked: only the first comes back. Her row is the
    // one the keyboard stands on, none selected: the teacher whose folder shows is collected.
    window = collector({11});
    window->SelectNone();
    for (int i = 0; i < window->clCls()->count(); ++i)
        if (window->clCls()->item(i)->data(Qt::UserRole).toInt() == classes[1])
            window->clCls()->item(i)->setCheckState(Qt::Unchecked);
    window->buOk()->click();
    using Changes = std::pair<qsizetype, qsizetype>;
    EXPECT_EQ(changedSince(before), Changes(1, 1));
    EXPECT_EQ(marks({11}), QStringList{marchetti + "+"});

    // Two teachers: every class of each folder; a folder without classes is not received.
    QFile::remove(caruso + "ClsSes.xml");
    window = collector({10, 11});
    window->buOk()->click();
    EXPECT_EQ(changedSince(before), Changes(2, 2));
    EXPECT_EQ(marks({10, 11}), (QStringList{caruso, marchetti + "+"}));

    // One of them refused: named, with its cause, in the one message closing the work, which
    // also says what the other's classes changed.
    QFile::remove(caruso + "Info.ini");
    DialogSeam::clearShown();
    window = collector({10, 11});
    window->buOk()->click();
    const QStringList shown = messages();
    ASSERT_EQ(shown.size(), 1) << shown.join('\n').toStdString();
    EXPECT_TRUE(shown[0].startsWith("Alcuni dati non sono stati raccolti.\n\nIl docente Caruso "
                                    "Greta non è stato raccolto.\nNella cartella " +
                                    caruso + " manca il file Info.ini"))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains("\nMarchetti Beatrice, classe ")) << shown[0].toStdString();
}

// A run that a failure of no row's own stops (another office's lock the user will not wait for)
// keeps the teachers collected before it: each step is stored as it ends, not with the run.
TEST_F(TeacherFolders, ARunStoppedAfterItsThirdTeacherKeepsTheFirstThree)
{
    runSql("UPDATE TAai_AnaAppInvio SET iModId = 2 WHERE iAaiId IN (2, 3, 4)");
    const QList<int> four{2, 3, 4, 11};
    send(2, four);
    // Each teacher raises his first vote, "component|situation|level" once collected.
    QStringList raised;
    for (const QString &folder : marks(four)) {
        TClientDataSet packet;
        packet.LoadFromFile(folder + "ClsVot.xml");
        packet.First();
        ASSERT_FALSE(packet.Eof()) << folder.toStdString();
        const int level = packet.FieldByName("iValId")->AsInteger() + 1;
        setField(packet, "iValId", level);
        packet.SaveToFile(folder + "ClsVot.xml", dfXML);
        raised << QStringLiteral("%1|%2|%3")
                      .arg(scalar("SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId = ? AND "
                                  "iCmpScaId = ?",
                                  {packet.FieldByName("iClsSesMatId")->Value(),
                                   packet.FieldByName("iCmpScaId")->Value()})
                               .toInt())
                      .arg(packet.FieldByName("iSitId")->AsInteger())
                      .arg(level);
    }
    // The run goes from the last teacher by name (Rossi) to the first (Caruso, aai 2), whose
    // vote another office holds.
    OtherOffice other(db.database);
    setLockWaitTimeout(300);
    other.hold("UPDATE TVot_Voti SET iScaLivId = iScaLivId WHERE iClsMatCmpId = ? AND iSitId = ?",
               {raised[0].section('|', 0, 0).toInt(), raised[0].section('|', 1, 1).toInt()});
    other.finish();
    DialogSeam::queueAnswer(int(mrNo));
    DialogSeam::clearShown();
    collector(four)->buOk()->click();
    other.rollback();
    setLockWaitTimeout(10000);
    EXPECT_TRUE(
        messages().join('\n').contains(QString(lockWaitRefused().message()).replace('\r', '\n')))
        << messages().join('\n').toStdString();
    const QStringList now = votes(), folders = marks(four);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(now.contains(raised[i]), i != 0) << raised[i].toStdString();
        EXPECT_EQ(folders[i].endsWith('+'), i != 0) << folders[i].toStdString();
    }
}

// Every kind sent and collected back: each statement of the send and of the collection
// prepared once for the whole run (the marks and the list too), and none of the send's or the
// collection's reads a table of the school's people or values whole (each would grow with the
// school, once per teacher).
TEST_F(TeacherFolders, ASendAndItsCollectionReadThroughIndexesEachStatementPreparedOnce)
{
    for (TVxParInteger *flag :
         {&dmqelParGen->xpiVtp, &dmqelParGen->xpiTas, &dmqelParGen->xpiAss, &dmqelParGen->xpiAiu,
          &dmqelParGen->xpiNot, &dmqelParGen->xpiDeb, &dmqelParGen->xpiComp})
        flag->SetValore(1);
    QStringList texts, twice;
    for (const bool sending : {true, false}) {
        // "Invio" opened, another mode chosen and the send run; then the collection.
        TVxStatementRecorder recorder;
        if (sending) {
            sender = std::make_unique<TfmqelSendD>();
            send(2, {10, 11});
        } else {
            collector({10, 11})->buOk()->click();
        }
        // The collection's window reads its list again after each teacher, outside the
        // collection.
        for (const TVxStatementRecorder::Statement &st : recorder.statements()) {
            texts << st.sql;
            if (recorder.prepared(st.sql) > 1 && !twice.contains(st.sql) &&
                (sending || st.sql != SendBookkeeping::folderTeachersSql()))
                twice << st.sql;
        }
    }
    EXPECT_EQ(twice, QStringList());
    EXPECT_EQ(marks({10, 11}),
              (QStringList{base + "Caruso Greta/+", base + "Marchetti Beatrice/+"}));
    EXPECT_EQ(tablesReadWhole(qqoVxGlobConn(), texts, tablesThatGrowWithTheSchool()),
              QStringList());
}

namespace {

TEST_F(TeacherFolders, AFolderComesBackWholeOrIsRefusedWithNothingChanged)
{
    send(2, {11});
    const QString folder = base + "Marchetti Beatrice/";
    QMap<QString, QByteArray> sent;
    for (const QString &name : files("Marchetti Beatrice"))
        sent.insert(name, readFileBytes(folder + name));
    const auto edit = [&](const QString &file,
                          const std::function<void(TClientDataSet &)> &change) {
        TClientDataSet packet;
        packet.LoadFromFile(folder + file);
        packet.First();
        change(packet);
        packet.SaveToFile(folder + file, dfXML);
    };
    // A subject of her first class that she does not teach.
    TClientDataSet votes;
    votes.LoadFromFile(folder + "ClsVot.xml");
    votes.First();
    const int notHers =
        scalar(
            "SELECT FIRST 1 m.iClsSesMatId FROM TClsSesMat m JOIN TClsSes s ON s.iClsSesId = "
            "m.iClsSesId JOIN TMatRma r ON r.iMatRmaId = m.iMatRmaId WHERE s.iClsSesId = (SELECT "
            "iClsSesId FROM TClsSesMat WHERE iClsSesMatId = ?) AND NOT EXISTS (SELECT 1 FROM "
            "TClsMatAna a WHERE a.iClsId = s.iClsId AND a.iMatId = r.iMatId AND a.iAnaId = "
            "1000011)",
            {votes.FieldByName("iClsSesMatId")->Value()})
            .toInt();
    ASSERT_NE(notHers, 0);
    // A class of the working session she does not teach in.
    const int notHersClass = scalar("SELECT FIRST 1 S.iClsId FROM TClsSes S WHERE S.iAnsSesDwgId = "
                                    "? AND NOT EXISTS (SELECT 1 FROM TClsMatAna A WHERE A.iClsId = "
                                    "S.iClsId AND A.iAnaId = 1000011)",
                                    {392})
                                 .toInt();
    // The checks a class folder shares (another school's, a packet that does not read) are the
    // class collection's cases; here, the teacher's own and what the window tells.
    struct Case
    {
        const char *what;
        std::function<void()> damage;
        QString refused;           // what the refusal says; none when the folder is collected
        QStringList notTaken = {}; // the beginnings of the lines of the rows not collected
        int changed = 0;           // the rows the run stores, as the message counts them
    } cases[] = {
        {"as sent", [] {}, {}, {}},
        {"every vote in a subject she does not teach",
         [&] {
             edit("ClsVot.xml", [&](TClientDataSet &p) {
                 for (p.First(); !p.Eof(); p.Next())
                     setField(p, "iClsSesMatId", notHers);
             });
         },
         "righe non appartengono ai dati del docente Marchetti Beatrice"},
        {"a flag that is no number",
         [&] {
             writeFileBytes(folder + "Info.ini", sent.value("Info.ini").replace("Vot=1", "Vot=x"));
         },
         "la chiave Vot vale \"x\""},
        // The last folder of the run with a row refused in one class: the votes of her other
        // class are stored as each step ends, as the message counts them.
        {"a vote given twice with another vote, another class's vote raised",
         [&] {
             edit("ClsVot.xml", [](TClientDataSet &p) {
                 const QVariant first = p.FieldByName("iClsId")->Value();
                 raiseVote(p);
                 while (p.FieldByName("iClsId")->Value() == first)
                     p.Next();
                 repeatCurrentRow(p);
                 raiseVote(p);
             });
         },
         {},
         {"Marchetti Beatrice:", "  ClsVot.xml: ", "I dati \"voti\"",
          "Il docente Marchetti Beatrice non è segnato come ricevuto."},
         1},
        {"a folder without its Info.ini", [&] { QFile::remove(folder + "Info.ini"); },
         "Nella cartella " + folder + " manca il file Info.ini"},
        {"a class she does not teach",
         [&] {
             edit("ClsSes.xml", [&](TClientDataSet &p) { setField(p, "iClsId", notHersClass); });
         },
         QStringLiteral("la classe %1 non è tra quelle del docente Marchetti Beatrice")
             .arg(notHersClass)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (auto file = sent.cbegin(); file != sent.cend(); ++file)
            writeFileBytes(folder + file.key(), file.value());
        runSql("UPDATE TAai_AnaAppInvio SET iAaiRicevuto = NULL WHERE iAaiId = 11");
        c.damage();
        const QStringList before = classTablesSnapshot();
        auto window = collector({11});
        DialogSeam::clearShown();
        window->buOk()->click();
        // One message, after the work: all collected, or what was not and why.
        const QStringList shown = messages();
        ASSERT_EQ(shown.size(), 1) << shown.join('\n').toStdString();
        EXPECT_TRUE(shown[0].contains(c.refused)) << shown[0].toStdString();
        const QStringList lines =
            shown.last().split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts);
        QStringList expected = c.notTaken;
        if (!expected.isEmpty())
            expected.prepend("Righe non raccolte: 1.");
        expected.prepend(c.refused.isEmpty() && c.notTaken.isEmpty()
                             ? "Operazione completata."
                             : "Alcuni dati non sono stati raccolti.");
        for (int i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(lines.value(i).startsWith(expected[i])) << lines.join('\n').toStdString();
        EXPECT_EQ(classTablesChanges(before).second.size(), c.changed);
        EXPECT_EQ(shown[0].count(", cambiate 1,"), c.changed);
        EXPECT_EQ(marks({11}),
                  QStringList{folder + (c.refused.isEmpty() && c.notTaken.isEmpty() ? "+" : "")});
    }
}

} // namespace
