#include "exchange/qelfpagelleweb.h"
#include "exchange/qelfrepos.h"
#include "exchange/qelportalselection.h"
#include "platform/datapacket.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/temppath.h"
#include "platform/zip.h"
#include "shell/qelactivations.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

const int k5A = 390052; // final session; pupil 160 suspended
const int k1C = 390212; // its suspended pupils have proposals and a note on their first debt
const int k3C = 390232; // votes and notes by their teachers
const QString kDone = QStringLiteral("Operazione conclusa correttamente.");

// A package read back from the database, its archive checked and listed by unzip.
struct Package
{
    QStringList names;
    QMap<QString, TDataPacket> packets;

    QStringList columns(const QString &packet) const
    {
        QStringList names;
        for (const TFieldDef &def : packets.value(packet).defs)
            names << def.Name;
        return names;
    }
    // The values of a column in record order.
    QVariantList values(const QString &packet, const QString &column) const
    {
        const int at = int(columns(packet).indexOf(column));
        QVariantList values;
        for (const QList<QVariant> &row : packets.value(packet).rows)
            values << row.value(at);
        return values;
    }
};

QByteArray stored(int iClsSesId)
{
    return scalar(QStringLiteral("SELECT bClsSesRepos FROM TClsSes WHERE iClsSesId = ?"),
                  {iClsSesId})
        .toByteArray();
}

Package readPackage(int iClsSesId)
{
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("package.zip"));
    writeFileBytes(archive, stored(iClsSesId));
    QString out;
    EXPECT_EQ(runChecker(QStringLiteral("unzip"), {QStringLiteral("-t"), archive}, &out), 0)
        << out.toStdString();
    EXPECT_EQ(runChecker(QStringLiteral("zipinfo"), {QStringLiteral("-1"), archive}, &out), 0);
    Package package;
    package.names = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    package.names.sort();
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(dir.filePath(QStringLiteral("x")));
    for (const QString &file : zip.Extract())
        package.packets.insert(QFileInfo(file).fileName(),
                               readDataPacket(readFileBytes(file), file));
    return package;
}

class PortalPackages : public RunningProgram
{
protected:
    void build(PortalPackageBuilder::Form form, const QelPortalOptions &options, int session,
               const QList<int> &classSessions)
    {
        PortalPackageBuilder builder(form, options, session);
        for (int iClsSesId : classSessions)
            builder.Build(iClsSesId);
        builder.Finish();
    }

    // Opens the command's wizard and hands it to the script.
    void runWizard(const std::function<void(TfmqelPagelleWeb *)> &script)
    {
        DialogSeam::queueModalScript([script](QDialog *d) {
            script(qobject_cast<TfmqelPagelleWeb *>(d));
            return int(mrNone);
        });
        EXPECT_TRUE(dmqelActivations->Item(QStringLiteral("xafRepos"))->Execute());
    }

    // The repository window, opened by its class name, run once with these boxes.
    static void runRepository(bool votes, bool notes, bool taxonomies, bool allVotes = false)
    {
        std::unique_ptr<QWidget> window(FormRegistry::create(QStringLiteral("TfmqelRepos")));
        auto *repository = qobject_cast<TfmqelRepos *>(window.get());
        ASSERT_NE(repository, nullptr);
        repository->cbVoti()->setChecked(votes);
        repository->cbNote()->setChecked(notes);
        repository->cbTassonomie()->setChecked(taxonomies);
        repository->findChild<QRadioButton *>(QStringLiteral("rbTuttiVoti"))->setChecked(allVotes);
        saveScreenshot(repository, QStringLiteral("exchange-crea-repository.png"));
        repository->buOk()->click();
    }

    static QStringList messages()
    {
        QStringList texts;
        for (const DialogSeam::Shown &shown : DialogSeam::shown()) {
            if (shown.kind == QStringLiteral("message"))
                texts << shown.text;
        }
        return texts;
    }

    // Ticks the class sessions on the wizard's second page.
    static void tick(TfmqelPagelleWeb *w, const QList<int> &classSessions)
    {
        for (int i = 0; i < w->clbClassi()->count(); ++i) {
            QListWidgetItem *item = w->clbClassi()->item(i);
            if (classSessions.contains(item->data(Qt::UserRole).toInt()))
                item->setCheckState(Qt::Checked);
        }
    }

    static void markAll() { runSql(QStringLiteral("UPDATE TClsSes SET bClsSesRepos = 'old'")); }

    static void expectNoScratch()
    {
        EXPECT_EQ(QDir(GetTempPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList());
    }
};

} // namespace

// The wizard's road to a package: the captions, the preselected context, Next only with a class
// session ticked, the two votes boxes excluding each other; then the package of 5A as the portal
// reads it.
TEST_F(PortalPackages, WizardBuildsTheTickedClassSession)
{
    ScriptedDialogs dialogs;
    QStringList captions;
    runWizard([&](TfmqelPagelleWeb *w) {
        captions << w->windowTitle();
        saveScreenshot(w, QStringLiteral("exchange-pagelle-web-sessione.png"));
        EXPECT_EQ(w->selection()->edAnnoScol()->text(), QStringLiteral("2008/2009"));
        EXPECT_EQ(w->selection()->iDwgId(), 2);
        EXPECT_EQ(w->selection()->iAnsSesDwgId(), 392);
        EXPECT_EQ(w->selection()->cbSessione()->itemText(w->selection()->cbSessione()->count() - 1),
                  QStringLiteral("Tutte"));
        w->buNext()->click();
        captions << w->windowTitle();
        EXPECT_FALSE(w->buNext()->isEnabled());
        tick(w, {k5A});
        EXPECT_TRUE(w->buNext()->isEnabled());
        w->buNext()->click();
        captions << w->windowTitle();
        w->cbVotiProposti()->click();
        EXPECT_FALSE(w->cbVoti()->isChecked());
        w->cbVoti()->click();
        EXPECT_FALSE(w->cbVotiProposti()->isChecked());
        w->cbAssenze()->setChecked(true);
        saveScreenshot(w, QStringLiteral("exchange-pagelle-web.png"));
        w->buFinish()->click();
    });
    EXPECT_EQ(captions, QStringList({QStringLiteral("Pagelle Web - Operazione"),
                                     QStringLiteral("Pagelle Web - Classi"),
                                     QStringLiteral("Pagelle Web - Opzioni di esportazione")}));
    EXPECT_TRUE(DialogSeam::shownTexts().contains(kDone));
    expectNoScratch();

    const Package p = readPackage(k5A);
    EXPECT_EQ(p.names, QStringList({QStringLiteral("EsitoFinale.cds"),
                                    QStringLiteral("Tassonomie.cds"), QStringLiteral("Voti.cds")}));
    EXPECT_EQ(p.columns(QStringLiteral("Voti.cds")),
              QStringList({"ALU_ID", "MAT_ID", "Materia", "SIT_ID", "Scritto", "Orale", "Pratico",
                           "Unico", "RELIGIONE", "Assenze"}));
    // Every pupil's subjects with their plan order and absences, rows by pupil then order.
    QMap<QPair<int, int>, QPair<QVariant, QVariant>> expected;
    QSqlQuery q = runSql(QStringLiteral(
        "SELECT sit.iAnaId, mr.iMatId, mrp.iMatRmaPstOrdine, ass.iAssOre FROM TSit_Situazioni sit "
        "JOIN TClsPst cp ON cp.iClsPstId = sit.iClsPstId JOIN TMatRmaPst mrp ON mrp.iPstId = "
        "cp.iPstId JOIN TMatRma mr ON mr.iMatRmaId = mrp.iMatRmaId JOIN TClsSesMat csm ON "
        "csm.iMatRmaId = mr.iMatRmaId AND csm.iClsSesId = 390052 LEFT JOIN TAss_Assenze ass ON "
        "ass.iSitId = sit.iSitId AND ass.iClsSesMatId = csm.iClsSesMatId WHERE cp.iClsId = 39005"));
    while (q.next())
        expected[{q.value(0).toInt(), q.value(1).toInt()}] = {q.value(2), q.value(3)};
    const QVariantList pupils = p.values(QStringLiteral("Voti.cds"), QStringLiteral("ALU_ID"));
    const QVariantList subjects = p.values(QStringLiteral("Voti.cds"), QStringLiteral("MAT_ID"));
    const QVariantList order = p.values(QStringLiteral("Voti.cds"), QStringLiteral("SIT_ID"));
    const QVariantList absences = p.values(QStringLiteral("Voti.cds"), QStringLiteral("Assenze"));
    ASSERT_GT(pupils.size(), 200);
    int merged = 0;
    for (qsizetype i = 0; i < pupils.size(); ++i) {
        const auto key = qMakePair(pupils[i].toInt(), subjects[i].toInt());
        EXPECT_EQ(order[i].toInt(), expected.value(key).first.toInt()) << i;
        EXPECT_EQ(absences[i].toInt(), expected.value(key).second.toInt()) << i;
        merged += absences[i].isValid();
        if (i > 0) {
            EXPECT_LT(qMakePair(pupils[i - 1].toInt(), order[i - 1].toInt()),
                      qMakePair(pupils[i].toInt(), order[i].toInt()));
        }
    }
    EXPECT_GT(merged, 100);
    EXPECT_FALSE(pupils.contains(160)); // suspended: "Nessun voto"
    // A pupil stands once per subject of the class session in the final outcomes.
    EXPECT_EQ(p.values(QStringLiteral("EsitoFinale.cds"), QStringLiteral("ALU_ID")).count(147),
              scalar(QStringLiteral("SELECT COUNT(*) FROM TClsSesMat WHERE iClsSesId = ?"), {k5A})
                  .toInt());
}

// The suspended pupil's votes: none, all, or the passing levels only.
TEST_F(PortalPackages, SuspendedChoiceGovernsThePupilsVotes)
{
    const struct
    {
        QelSuspendedVotes choice;
        int minimumSufficient; // -1: no votes at all
    } cases[] = {{QelSuspendedVotes::NoVotes, -1},
                 {QelSuspendedVotes::AllVotes, 0},
                 {QelSuspendedVotes::PassingOnly, 1}};
    for (const auto &c : cases) {
        QelPortalOptions options;
        options.suspended = c.choice;
        build(PortalPackageBuilder::PortalPackages, options, 392, {k5A});
        const Package p = readPackage(k5A);
        const QStringList columns = p.columns(QStringLiteral("Voti.cds"));
        int cells = 0;
        for (const QList<QVariant> &row : p.packets.value(QStringLiteral("Voti.cds")).rows) {
            if (row.value(0).toInt() != 160)
                continue;
            for (qsizetype i = columns.indexOf(QStringLiteral("Scritto")); i < row.size(); ++i)
                cells += row.value(i).isValid();
        }
        const int votes =
            c.minimumSufficient < 0
                ? 0
                : scalar(
                      QStringLiteral(
                          "SELECT COUNT(*) FROM TVot_Voti v JOIN TSit_Situazioni s ON s.iSitId = "
                          "v.iSitId JOIN TScaLiv sl ON sl.iScaLivId = v.iScaLivId JOIN "
                          "TClsMatCmp c ON c.iClsMatCmpId = v.iClsMatCmpId JOIN TClsSesMat csm "
                          "ON csm.iClsSesMatId = c.iClsSesMatId WHERE s.iAnaId = 160 AND "
                          "csm.iClsSesId = ? AND sl.iScaLivSufficiente >= ?"),
                      {k5A, c.minimumSufficient})
                      .toInt();
        EXPECT_EQ(cells, votes) << c.minimumSufficient;
    }
}

// With the proposed votes the absences merge into them, and the notes keep to their pairs: a
// note whose proposals were deleted is left out.
TEST_F(PortalPackages, ProposedVotesTakeTheAbsencesAndBoundTheNotes)
{
    QSqlQuery note = runSql(QStringLiteral(
        "SELECT FIRST 1 n.iSitId, n.iClsSesMatId, s.iAnaId FROM TNot_Note n JOIN TClsSesMat csm ON "
        "csm.iClsSesMatId = n.iClsSesMatId JOIN TSit_Situazioni s ON s.iSitId = n.iSitId WHERE "
        "csm.iClsSesId = 390212 ORDER BY n.iNotId"));
    ASSERT_TRUE(note.next());
    runSql(QStringLiteral("DELETE FROM TVtp_Proposti WHERE iSitId = ? AND iClsMatCmpId IN (SELECT "
                          "iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId = ?)"),
           {note.value(0), note.value(1)});
    QelPortalOptions options;
    options.votes = false;
    options.proposed = options.absences = options.notes = true;
    options.taxonomies = false;
    build(PortalPackageBuilder::PortalPackages, options, 392, {k1C});
    const Package p = readPackage(k1C);
    EXPECT_EQ(p.names, QStringList({QStringLiteral("EsitoFinale.cds"), QStringLiteral("Note.cds"),
                                    QStringLiteral("VotiProp.cds")}));
    EXPECT_EQ(p.columns(QStringLiteral("VotiProp.cds")).last(), QStringLiteral("Assenze"));
    const QVariantList absences =
        p.values(QStringLiteral("VotiProp.cds"), QStringLiteral("Assenze"));
    EXPECT_LT(absences.count(QVariant()), absences.size()); // some merged
    EXPECT_EQ(p.columns(QStringLiteral("Note.cds")),
              QStringList({"ALU_ID", "MAT_ID", "Materia", "Nota", "SIT_ID"}));
    EXPECT_EQ(p.packets.value(QStringLiteral("Note.cds")).rows.size(), 4u);
    EXPECT_FALSE(
        p.values(QStringLiteral("Note.cds"), QStringLiteral("ALU_ID")).contains(note.value(2)));
}

// "Tutte" has no session kind, so no final outcomes; a class session without subjects or pupils
// gets the ticked packets empty, and no outcomes packet.
TEST_F(PortalPackages, PacketsFollowTheSessionKindAndAnEmptyClassSession)
{
    runSql(QStringLiteral(
        "INSERT INTO TCls_Classi (iClsId, iDwgId, iDwgSedId, iAcsId, iIndId, iSezId, iSpzId, "
        "iClsOrdine, sClsDesc, sClsSDesc, dStart) SELECT 39099, iDwgId, iDwgSedId, iAcsId, iIndId, "
        "iSezId, iSpzId, 9999, 'VUOTA', 'VU', dStart FROM TCls_Classi WHERE iClsId = 39005"));
    runSql(QStringLiteral("INSERT INTO TClsSes (iClsSesId, iAnsSesDwgId, iClsId) VALUES (390992, "
                          "392, 39099)"));
    const struct
    {
        int session;
        int classSession;
        QStringList names;
    } cases[] = {
        {0, k5A, {"EsiCreGiu.cds", "Tassonomie.cds", "Voti.cds"}},
        {392, 390992, {"EsitoFinale.cds", "Tassonomie.cds", "Voti.cds"}},
    };
    for (const auto &c : cases) {
        QelPortalOptions options;
        options.finalOutcome = true;
        build(PortalPackageBuilder::PortalPackages, options, c.session, {c.classSession});
        const Package p = readPackage(c.classSession);
        EXPECT_EQ(p.names, c.names);
        for (const TDataPacket &packet : p.packets)
            EXPECT_EQ(packet.rows.empty(), c.classSession != k5A);
    }
}

// Clearing: the ticked class sessions lose their package once the office confirms; after
// Cancel nothing has changed and nothing is said to be done.
TEST_F(PortalPackages, ClearingTouchesOnlyTheTickedClassSessions)
{
    for (const bool confirm : {false, true}) {
        markAll();
        ScriptedDialogs dialogs;
        runWizard([confirm](TfmqelPagelleWeb *w) {
            w->selection()->rbCancella()->setChecked(true);
            w->buNext()->click();
            EXPECT_FALSE(w->buNext()->isEnabled());
            tick(w, {k5A, k1C});
            DialogSeam::queueAnswer(confirm ? int(mrOk) : int(mrCancel));
            w->buFinish()->click();
        });
        QStringList expected{QelPortalSelection::clearQuestion()};
        if (confirm)
            expected << kDone;
        EXPECT_EQ(messages(), expected);
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TClsSes WHERE bClsSesRepos IS NULL"))
                      .toInt(),
                  confirm ? 2 : 0);
        EXPECT_EQ(stored(k5A).isEmpty(), confirm);
        EXPECT_EQ(stored(k3C), "old");
    }
}

// Two components of one description, whatever the letter case, stop the run at the class
// session that has both, with the dataset's error: it keeps its package, and so does the one
// after it; the one built before has its new package.
TEST_F(PortalPackages, DuplicateComponentNamesStopAtTheirClassSession)
{
    markAll();
    runSql(QStringLiteral("INSERT INTO TCmp_Componenti (iCmpId, sCmpLDesc, sCmpSDesc, iCmpPeso) "
                          "VALUES (50, 'scritto', 's', 1)"));
    runSql(QStringLiteral("INSERT INTO TCmpSca (iCmpScaId, iCmpId, iScaId, iCmpScaTass, "
                          "iCmpScaInMedia, iCmpScaOrdine) VALUES (50, 50, 1, 0, 1, 12)"));
    runSql(QStringLiteral("INSERT INTO TClsMatCmp (iClsMatCmpId, iClsSesMatId, iCmpScaId) SELECT "
                          "FIRST 1 999999, iClsSesMatId, 50 FROM TClsSesMat WHERE iClsSesId = ?"),
           {k3C});
    ScriptedDialogs dialogs;
    runWizard([](TfmqelPagelleWeb *w) {
        w->buNext()->click();
        tick(w, {k1C, k3C, k5A});
        w->buNext()->click();
        w->buFinish()->click();
    });
    EXPECT_EQ(messages(), QStringList{QStringLiteral("La colonna \"scritto\" è già definita.")});
    EXPECT_TRUE(readPackage(k1C).names.contains(QStringLiteral("Voti.cds")));
    EXPECT_EQ(stored(k3C), "old");
    EXPECT_EQ(stored(k5A), "old");
    expectNoScratch();
}

// The repository builds every class session of the session, its packets in lower case, the
// notes with their date and author (the suspended pupils' only with all their votes), and its
// outcomes even with no box ticked.
TEST_F(PortalPackages, RepositoryBuildsEveryClassSessionOfTheSession)
{
    const struct
    {
        bool votesAndNotes;
        bool allVotes;
        QStringList names;
        int notes;
    } cases[] = {
        {false, false, {"esicregiu.cds", "esitofinale.cds"}, 0},
        {true, false, {"esicregiu.cds", "esitofinale.cds", "note.cds", "voti.cds"}, 0},
        {true, true, {"esicregiu.cds", "esitofinale.cds", "note.cds", "voti.cds"}, 3},
    };
    for (const auto &c : cases) {
        markAll();
        ScriptedDialogs dialogs;
        runRepository(c.votesAndNotes, c.votesAndNotes, false, c.allVotes);
        EXPECT_EQ(messages(), QStringList());
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TClsSes WHERE iAnsSesDwgId = 392 "
                                        "AND OCTET_LENGTH(bClsSesRepos) = 3"))
                      .toInt(),
                  0);
        const Package p = readPackage(k3C);
        EXPECT_EQ(p.names, c.names);
        if (c.votesAndNotes) {
            EXPECT_EQ(p.columns(QStringLiteral("note.cds")),
                      QStringList({"ALU_ID", "MAT_ID", "Materia", "Data", "Docente", "Nota"}));
            const QVariantList authors =
                p.values(QStringLiteral("note.cds"), QStringLiteral("Docente"));
            EXPECT_EQ(authors.size(), c.notes);
            EXPECT_FALSE(authors.value(0, QStringLiteral("-")).toString().isEmpty());
        }
        expectNoScratch();
    }
}

// "Note" without "Voti" merges against a votes packet never written: the run stops at its first
// class session with the file error and changes nothing, also right after a failed run that
// wrote its votes packet before failing on the taxonomies.
TEST_F(PortalPackages, RepositoryNotesWithoutVotesChangeNothing)
{
    runSql(QStringLiteral("UPDATE TCmp_Componenti SET sCmpLDesc = 'IMPEGNO' WHERE iCmpId = 6"));
    ScriptedDialogs dialogs;
    runRepository(true, false, true);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().contains(QStringLiteral("IMPEGNO")));
    markAll();
    DialogSeam::clearShown();
    runRepository(false, true, false);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().first().contains(QStringLiteral("voti.cds")));
    EXPECT_TRUE(messages().first().contains(QStringLiteral("non esiste")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TClsSes WHERE bClsSesRepos IS NULL OR "
                                    "OCTET_LENGTH(bClsSesRepos) <> 3"))
                  .toInt(),
              0);
    expectNoScratch();
}

// Clearing from the repository reads none of its options, asks, and clears every class session
// of the selection: with "Tutte" every one of the working year.
TEST_F(PortalPackages, RepositoryClearsTheWholeSelection)
{
    markAll();
    std::unique_ptr<QWidget> window(FormRegistry::create(QStringLiteral("TfmqelRepos")));
    auto *repository = qobject_cast<TfmqelRepos *>(window.get());
    QelPortalSelection *selection = repository->selection();
    selection->rbCancella()->setChecked(true);
    EXPECT_FALSE(repository->cbVoti()->isEnabled() || selection->rgSospesi()->isEnabled());
    selection->rbGenera()->setChecked(true);
    EXPECT_TRUE(repository->cbTassonomie()->isEnabled() && selection->rgSospesi()->isEnabled());
    selection->rbCancella()->setChecked(true);
    selection->cbSessione()->setCurrentIndex(selection->cbSessione()->count() - 1);
    ScriptedDialogs dialogs;
    DialogSeam::queueAnswer(int(mrOk));
    repository->buOk()->click();
    EXPECT_EQ(messages(), QStringList{QelPortalSelection::clearQuestion()});
    const char count[] = "SELECT COUNT(*) FROM TClsSes c JOIN TAnsSesDwg a ON a.iAnsSesDwgId = "
                         "c.iAnsSesDwgId WHERE a.iAnsId = 39 AND c.bClsSesRepos IS NULL";
    EXPECT_EQ(scalar(QString::fromLatin1(count)).toInt(),
              scalar(QStringLiteral("SELECT COUNT(*) FROM TClsSes c JOIN TAnsSesDwg a ON "
                                    "a.iAnsSesDwgId = c.iAnsSesDwgId WHERE a.iAnsId = 39"))
                  .toInt());
    EXPECT_EQ(stored(380052), "old");
}
