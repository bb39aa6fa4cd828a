// "Caricamento per singolo" and "Caricamento per materia" end to end: the real command table
// and windows offscreen, every dialog scripted, the demo school's database checked after each
// step.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevfcarmat.h"
#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfqualiffield.h"
#include "gradeentry/qevfselcarclsdett.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "gradeentry/qevrselro.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QRadioButton>

#include <functional>

namespace {

constexpr int k5A = 390052;       // 5A of 2008/2009, final session
constexpr int k5B = 390152;       // 5B: proposed votes, no vote yet
constexpr int k3C = 390232;       // 3C, the qualification class
constexpr int kItaliano = 1320;   // 5A's ITALIANO: written (component 1) and oral (2)
constexpr int kAmmissione = 1202; // 3C's admission score, out of a hundred

const QString kEsclusione = QStringLiteral(
    "Impossibile attivare il caricamento per %1.\n\nÈ già stato attivato il caricamento per "
    "%2.\n\nChiudere la finestra di caricamento attuale per proseguire.");

// The cell of a value in a grid whose rows are pupils (class and subject windows).
QPoint cellaAlunno(const TqelStringGrid *g, const Cella &cella)
{
    for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
        auto ana = g->RecordAt<TRecAna>(0, r);
        for (int c = g->nColIntest(); ana && ana->iSitId == cella.iSitId && c < g->ColCount();
             ++c) {
            auto mat = g->RecordAt<TRecMat>(c, 0);
            auto cmp = g->RecordAt<TRecCmp>(c, 1);
            if (mat && mat->iClsSesMatId == cella.iClsSesMatId &&
                (!cmp || cmp->iCmpScaId == cella.iCmpScaId))
                return {c, r};
        }
    }
    return {-1, -1};
}

// The cell of a value in a pupil window's grid: subjects as rows.
QPoint cellaMateria(const TqelStringGrid *g, const Cella &cella)
{
    for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
        auto mat = g->RecordAt<TRecMat>(0, r);
        for (int c = g->nColIntest();
             mat && mat->iClsSesMatId == cella.iClsSesMatId && c < g->ColCount(); ++c) {
            auto cmp = g->RecordAt<TRecCmp>(c, 0);
            if (!cmp || cmp->iCmpScaId == cella.iCmpScaId)
                return {c, r};
        }
    }
    return {-1, -1};
}

QString nomeDi(int iAnaId)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT TRIM(sAnaCognome) || ' ' || TRIM(sAnaNome) FROM "
                                        "TAna_Anagrafiche WHERE iAnaId = ?"),
                         {iAnaId});
    return q.next() ? q.value(0).toString() : QString();
}

// The career field of a pupil (null: no row or no value).
QVariant carriera(const char *campo, int tipo, int iAnaId)
{
    return scalar(QStringLiteral("SELECT %1 FROM TAnaGme WHERE iScuTypId = ? AND iAnaId = ?")
                      .arg(QLatin1String(campo)),
                  {tipo, iAnaId});
}

bool errore(const QStringList &texts)
{
    return std::any_of(texts.begin(), texts.end(), [](const QString &t) {
        return t.startsWith(QStringLiteral("Impossibile"));
    });
}

class PupilAndSubject : public GradeWindows
{
protected:
    // "Caricamento per singolo", choosing the class session and the pupil in the dialog.
    TfmqevCarSng *apriSingolo(int clsSes, int iSitId)
    {
        DialogSeam::queueModalScript([=](QDialog *d) {
            auto *dialog = qobject_cast<TfmQevSelCarClsAlu *>(d);
            return dialog && dialog->SelezionaClsSes(clsSes) && dialog->SelezionaAlunno(iSitId)
                       ? int(mrOk)
                       : int(mrCancel);
        });
        dmqevActivations->xafCarSng->Execute();
        return fmqevCarSng();
    }

    // "Caricamento per materia", choosing the class session and the subject in the dialog.
    TfmqevCarMat *apriMateria(int clsSes, int iClsSesMatId)
    {
        DialogSeam::queueModalScript([=](QDialog *d) {
            auto *dialog = qobject_cast<TfmqevSelCarClsMat *>(d);
            return dialog && dialog->SelezionaClsSes(clsSes) &&
                           dialog->SelezionaMateria(iClsSesMatId)
                       ? int(mrOk)
                       : int(mrCancel);
        });
        dmqevActivations->xafCarMat->Execute();
        return fmqevCarMat();
    }

    // "Singolo alunno..." on the pupil's row of a window's votes page.
    static TfmqevCarSng *singolo(QevGradeWindow *window, int iSitId)
    {
        TfrqevCarBs *frame = window->FrameDi(tdVoti);
        for (int r = frame->grGrid->nRowIntest(); r < frame->grGrid->RowCount(); ++r) {
            if (frame->grGrid->RecordAt<TRecAna>(0, r)->iSitId == iSitId) {
                EXPECT_TRUE(frame->grGrid->MoveCursor(frame->grGrid->nColIntest(), r));
            }
        }
        frame->aSingolo->trigger();
        return fmqevCarSng();
    }

    static TqelStringGrid *voti(QevGradeWindow *window) { return window->FrameDi(tdVoti)->grGrid; }
};

} // namespace

TEST_F(PupilAndSubject, EachWindowKeepsTheOtherKindsOut)
{
    // Every pair: the window open refuses the command of each other kind, naming both.
    const struct
    {
        const char *parola;
        TVxAttForm *comando;
        std::function<QWidget *()> apri;
    } finestre[] = {
        {"classe", dmqevActivations->xafCarCls, [this] { return apri(k5A); }},
        {"singolo", dmqevActivations->xafCarSng, [this] { return apriSingolo(k5A, 956); }},
        {"materia", dmqevActivations->xafCarMat, [this] { return apriMateria(k5A, kItaliano); }},
    };
    for (const auto &aperta : finestre) {
        SCOPED_TRACE(aperta.parola);
        QWidget *window = aperta.apri();
        ASSERT_NE(window, nullptr);
        DialogSeam::clearShown();
        QStringList attesi;
        for (const auto &altra : finestre) {
            if (&altra == &aperta)
                continue;
            EXPECT_FALSE(altra.comando->Execute());
            attesi << kEsclusione.arg(QLatin1String(altra.parola), QLatin1String(aperta.parola));
        }
        EXPECT_EQ(DialogSeam::shownTexts(), attesi);
        ASSERT_TRUE(chiudi(window));
    }

    // The pupil dialog lists the register's pupils only; OK makes the pupil current, with his
    // own plan of studies.
    int listed = 0;
    bool hidden = false;
    DialogSeam::queueModalScript([&](QDialog *d) {
        auto *dialog = qobject_cast<TfmQevSelCarClsAlu *>(d);
        dialog->SelezionaClsSes(k5A);
        listed = dialog->frDettaglio()->Righe();
        hidden = !dialog->SelezionaAlunno(980) && !dialog->SelezionaAlunno(1029); // off the
        return dialog->SelezionaAlunno(956) ? int(mrOk) : int(mrCancel); // register, second
    });
    dmqevActivations->xafCarSng->Execute();
    TfmqevCarSng *pupil = fmqevCarSng();
    ASSERT_NE(pupil, nullptr);
    EXPECT_EQ(listed, 25);
    EXPECT_TRUE(hidden);
    EXPECT_EQ(dmqevDataSets->iSitId, 956);
    EXPECT_EQ(dmqevDataSets->iPstIdSel, 12);
    EXPECT_TRUE(pupil->windowTitle().endsWith(QStringLiteral("Alunno: ") + nomeDi(165)));
    // A pupil without religion has no religion row.
    TqelStringGrid *g = voti(pupil);
    for (int r = g->nRowIntest(); r < g->RowCount(); ++r)
        EXPECT_NE(g->RecordAt<TRecMat>(0, r)->sMatLDesc, QStringLiteral("RELIGIONE"));
    ASSERT_TRUE(chiudi(pupil));

    // The subject dialog opens the class session on the subject, named in the caption.
    TfmqevCarMat *subject = apriMateria(k5A, kItaliano);
    ASSERT_NE(subject, nullptr);
    EXPECT_TRUE(subject->windowTitle().endsWith(QStringLiteral("Materia: ITALIANO")));
    EXPECT_EQ(subject->PaginaAttiva(), QStringLiteral("Voti proposti"));
    g = voti(subject);
    ASSERT_EQ(g->ColCount(), 3); // the pupils, then written and oral
    for (int c = 1; c < g->ColCount(); ++c)
        EXPECT_EQ(g->RecordAt<TRecMat>(c, 0)->iClsSesMatId, kItaliano);
}

TEST_F(PupilAndSubject, OneValueIsStoredOnceWhicheverWindowSavesIt)
{
    // Pupil 957's two ITALIANO votes, entered beside the class and beside the subject window.
    const Cella x{957, kItaliano, 1};
    const Cella y{957, kItaliano, 2};
    const struct
    {
        const char *nome;
        std::function<QWidget *()> apri;
    } origini[] = {
        {"classe", [this] { return apri(k5A); }},
        {"materia", [this] { return apriMateria(k5A, kItaliano); }},
    };
    for (const auto &origine : origini) {
        SCOPED_TRACE(origine.nome);
        runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = 957 AND iClsMatCmpId IN "
                              "(SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId = ?)"),
               {kItaliano});
        QWidget *window = origine.apri();
        ASSERT_NE(window, nullptr);
        auto *parent = qobject_cast<QevGradeWindow *>(window);
        ASSERT_TRUE(parent->MostraPagina(QStringLiteral("Voti")));
        TqelStringGrid *g = voti(parent);
        // Saved in the pupil window: the window behind, read-only meanwhile, shows the
        // value with its key.
        DialogSeam::clearShown();
        TfmqevCarSng *pupil = singolo(parent, x.iSitId);
        ASSERT_NE(pupil, nullptr);
        EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
        EXPECT_EQ(pupil->PaginaAttiva(), QStringLiteral("Voti"));
        EXPECT_FALSE(g->Options().testFlag(TVxStringGrid::goEditing));
        EXPECT_FALSE(parent->FrameDi(tdVoti)->aSave->isEnabled());
        TqelStringGrid *pg = voti(pupil);
        digita(pg, cellaMateria(pg, y), QStringLiteral("8"));
        DialogSeam::queueAnswer(int(mrYes));
        pupil->FrameDi(tdVoti)->aSave->trigger();
        const QPoint gx = cellaAlunno(g, x);
        const QPoint gy = cellaAlunno(g, y);
        EXPECT_EQ(g->Cells(gy.x(), gy.y()), QStringLiteral("8"));
        EXPECT_EQ(g->RecordAt<TRecVal>(gy.x(), gy.y())->iPKId,
                  scalar(QStringLiteral("SELECT V.iVotId FROM TVot_Voti V JOIN TClsMatCmp K ON "
                                        "K.iClsMatCmpId = V.iClsMatCmpId WHERE V.iSitId = ? AND "
                                        "K.iClsSesMatId = ? AND K.iCmpScaId = ?"),
                         {y.iSitId, y.iClsSesMatId, y.iCmpScaId})
                      .toInt());
        ASSERT_TRUE(chiudi(pupil));
        EXPECT_TRUE(g->Options().testFlag(TVxStringGrid::goEditing));

        // Typed behind and not saved, a new value and a newer one: the pupil window opened
        // again shows them, and changes the newer one once more.
        digita(g, gx, QStringLiteral("6"));
        digita(g, gy, QStringLiteral("9"));
        pupil = singolo(parent, x.iSitId);
        ASSERT_NE(pupil, nullptr);
        pg = voti(pupil);
        EXPECT_EQ(pg->Cells(cellaMateria(pg, x).x(), cellaMateria(pg, x).y()), QStringLiteral("6"));
        EXPECT_EQ(pg->Cells(cellaMateria(pg, y).x(), cellaMateria(pg, y).y()), QStringLiteral("9"));
        digita(pg, cellaMateria(pg, y), QStringLiteral("5"));

        // Closing the window behind: a cancelled pupil window keeps both open...
        QList<QWidget *> chiesti;
        DialogSeam::clearShown();
        DialogSeam::queueModalScript([&chiesti](QDialog *d) {
            chiesti << d->parentWidget();
            return int(mrCancel);
        });
        EXPECT_FALSE(chiudi(window));
        EXPECT_EQ(chiesti, QList<QWidget *>{pupil});
        ASSERT_EQ(fmqevCarSng(), pupil);
        // ...else the pupil window saves first, the values the window behind shows among them:
        // that window is left with nothing to save, and asks nothing.
        DialogSeam::queueModalScript([&chiesti](QDialog *d) {
            chiesti << d->parentWidget();
            return int(mrOk);
        });
        chiesti.clear();
        DialogSeam::clearShown();
        ASSERT_TRUE(chiudi(window));
        EXPECT_EQ(chiesti, (QList<QWidget *>{pupil}));
        EXPECT_EQ(fmqevCarSng(), nullptr);
        EXPECT_FALSE(TdmqevActivations::CarClsAperto() || TdmqevActivations::CarMatAperto());
        // No value was inserted twice (the unique key would have refused it): one row each,
        // the newest value.
        EXPECT_FALSE(errore(DialogSeam::shownTexts()))
            << DialogSeam::shownTexts().join('|').toStdString();
        const QHash<Cella, QString> stored = memorizzati(tdVoti, k5A);
        EXPECT_EQ(stored.value(x), QStringLiteral("6"));
        EXPECT_EQ(stored.value(y), QStringLiteral("5"));
    }
}

TEST_F(PupilAndSubject, PupilWindowStepsThroughTheClass)
{
    TfmqevCarCls *cls = apri(k5A);
    ASSERT_NE(cls, nullptr);
    TfmqevCarSng *pupil = singolo(cls, 978);
    ASSERT_NE(pupil, nullptr);

    // Subjects as rows, the pupil's components as columns, the stored values; a component the
    // subject lacks is locked (STORIA has no written vote).
    const QHash<Cella, QString> stored = memorizzati(tdVoti, k5A);
    TqelStringGrid *pg = voti(pupil);
    int shown = 0;
    for (int r = pg->nRowIntest(); r < pg->RowCount(); ++r) {
        auto mat = pg->RecordAt<TRecMat>(0, r);
        for (int c = pg->nColIntest(); c < pg->ColCount(); ++c) {
            auto rec = pg->RecordAt<TRecVal>(c, r);
            const Cella cella{978, mat->iClsSesMatId, pg->RecordAt<TRecCmp>(c, 0)->iCmpScaId};
            if (mat->sMatLDesc == QStringLiteral("STORIA") && cella.iCmpScaId == 1) {
                EXPECT_TRUE(rec->bBloccato);
            }
            EXPECT_EQ(pg->Cells(c, r), stored.value(cella));
            shown += !pg->Cells(c, r).isEmpty();
        }
    }
    EXPECT_EQ(shown, std::count_if(stored.keyBegin(), stored.keyEnd(),
                                   [](const Cella &c) { return c.iSitId == 978; }));
    ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Assenze")));
    TqelStringGrid *ass = pupil->FrameDi(tdAssenze)->grGrid;
    EXPECT_EQ(ass->ColCount(), 2);
    EXPECT_EQ(ass->Cells(1, 0), QStringLiteral("Assenze"));

    // A typed value asks first; cancelled, the pupil stays.
    const QHash<Cella, QString> assenze = memorizzati(tdAssenze, k5A);
    const QString ore = assenze.value({978, kItaliano, 0}) == QStringLiteral("3")
                            ? QStringLiteral("4")
                            : QStringLiteral("3");
    const QPoint cell = cellaMateria(ass, {978, kItaliano, 0});
    digita(ass, cell, ore);
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrCancel));
    pupil->aNextSit->trigger();
    EXPECT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(dmqevDataSets->iSitId, 978);
    EXPECT_EQ(ass->Cells(cell.x(), cell.y()), ore);

    // Dropped, the next pupil comes, and the class window's cursors follow him on every page.
    const struct
    {
        QAction *azione;
        int iSitId;
        bool avanti;
        bool indietro;
    } passi[] = {
        {pupil->aNextSit, 979, true, true},  // the last pupil: "next" still enabled
        {pupil->aNextSit, 979, false, true}, // pressed there: disabled, same pupil
        {pupil->aPrevSit, 978, true, true},
    };
    DialogSeam::queueAnswer(int(mrNo)); // "Non salvare"
    for (const auto &p : passi) {
        p.azione->trigger();
        EXPECT_EQ(dmqevDataSets->iSitId, p.iSitId);
        EXPECT_EQ(pupil->aNextSit->isEnabled(), p.avanti);
        EXPECT_EQ(pupil->aPrevSit->isEnabled(), p.indietro);
        EXPECT_TRUE(pupil->windowTitle().endsWith(
            nomeDi(scalar(QStringLiteral("SELECT iAnaId FROM TSit_Situazioni WHERE iSitId = ?"),
                          {p.iSitId})
                       .toInt())));
        for (int kind : {tdVoti, tdAssenze}) {
            TqelStringGrid *g = cls->FrameDi(kind)->grGrid;
            EXPECT_EQ(g->RecordAt<TRecAna>(0, g->Row())->iSitId, p.iSitId);
        }
    }
    EXPECT_EQ(memorizzati(tdAssenze, k5A), assenze);

    // The screenshot, on the votes page with a vote that differs from its proposal.
    pupil->SetEvContrasto(true, false);
    ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Voti")));
    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        EXPECT_TRUE(pupil->grab().save(dir + QStringLiteral("/gradeentry_carsng.png")));
    }
}

TEST_F(PupilAndSubject, ProposedVotesBecomeVotesForOnePupilOrOneSubject)
{
    // Every proposal of 5B with the vote level it stands for.
    QHash<Cella, QString> livelli;
    QSqlQuery q = runSql(
        QStringLiteral("SELECT V.iSitId, K.iClsSesMatId, K.iCmpScaId, TRIM(L.sLivSDesc) FROM "
                       "TVtp_Proposti V JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN "
                       "TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId JOIN TPrpScaLiv PL ON "
                       "PL.iPrpScaLivId = V.iPrpScaLivId JOIN TScaLiv SL ON SL.iScaLivId = "
                       "PL.iScaLivId JOIN TLiv_Livelli L ON L.iLivId = SL.iLivId WHERE "
                       "S.iClsSesId = ?"),
        {k5B});
    while (q.next())
        livelli.insert({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()},
                       q.value(3).toString());
    ASSERT_FALSE(livelli.isEmpty());
    const Cella scelta = livelli.keys().first();

    const struct
    {
        const char *nome;
        std::function<QWidget *()> apri;
        std::function<bool(const Cella &)> inScope;
    } casi[] = {
        {"alunno", [&] { return apriSingolo(k5B, scelta.iSitId); },
         [&](const Cella &c) { return c.iSitId == scelta.iSitId; }},
        {"materia", [&] { return apriMateria(k5B, scelta.iClsSesMatId); },
         [&](const Cella &c) { return c.iClsSesMatId == scelta.iClsSesMatId; }},
    };
    const QString domanda =
        QStringLiteral("Attenzione!\n\nI voti già presenti saranno sostituiti.\n\nContinuare?");
    for (const auto &caso : casi) {
        SCOPED_TRACE(caso.nome);
        // No vote but one out of the scope, which stays, and one in it, which is replaced.
        runSql(QStringLiteral("DELETE FROM TVot_Voti V WHERE V.iClsMatCmpId IN (SELECT "
                              "K.iClsMatCmpId FROM TClsMatCmp K JOIN TClsSesMat S ON "
                              "S.iClsSesMatId = K.iClsSesMatId WHERE S.iClsSesId = ?)"),
               {k5B});
        Cella fuori{};
        for (const Cella &c : livelli.keys()) {
            if (!caso.inScope(c)) {
                fuori = c;
                break;
            }
        }
        for (const Cella &c : {fuori, scelta})
            runSql(QStringLiteral("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, "
                                  "iScaLivId) SELECT NEXT VALUE FOR GEN_VXID, iClsMatCmpId, ?, "
                                  "103 FROM TClsMatCmp WHERE iClsSesMatId = ? AND iCmpScaId = ?"),
                   {c.iSitId, c.iClsSesMatId, c.iCmpScaId});
        QWidget *window = caso.apri();
        ASSERT_NE(window, nullptr);
        auto *vot =
            static_cast<TfrqevCarVot *>(qobject_cast<QevGradeWindow *>(window)->FrameDi(tdVoti));
        ASSERT_TRUE(vot->aPass->isVisible() && vot->aPass->isEnabled());

        DialogSeam::clearShown();
        DialogSeam::queueAnswer(int(mrNo));
        vot->aPass->trigger();
        EXPECT_EQ(DialogSeam::shownTexts(), QStringList{domanda});
        EXPECT_EQ(memorizzati(tdVoti, k5B).value(scelta), QStringLiteral("3"));

        DialogSeam::queueAnswer(int(mrYes));
        vot->aPass->trigger();
        QHash<Cella, QString> attesi{{fuori, QStringLiteral("3")}};
        for (auto it = livelli.begin(); it != livelli.end(); ++it) {
            if (caso.inScope(it.key()))
                attesi.insert(it.key(), it.value());
        }
        EXPECT_EQ(memorizzati(tdVoti, k5B), attesi);
        // The votes page shows them, unmodified.
        EXPECT_FALSE(vot->grGrid->Modificato());
        ASSERT_TRUE(chiudi(window));
    }
}

TEST_F(PupilAndSubject, QualificationScoresGoToTheCareerAndBack)
{
    TfmqevCarMat *window = apriMateria(k3C, kAmmissione);
    ASSERT_NE(window, nullptr);
    auto *vot = window->frqevCarMatVot();
    TqelStringGrid *g = vot->grGrid;
    ASSERT_TRUE(vot->aImpQualif->isVisible() && vot->aExpQualif->isEnabled());
    QList<int> righe; // the rows of the pupils, by iAnaId
    QList<int> alunni;
    for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
        righe << r;
        alunni << g->RecordAt<TRecAna>(0, r)->iAnaId;
    }
    ASSERT_GE(alunni.size(), 5);
    const int a = alunni[0], b = alunni[1], c = alunni[2], d = alunni[3], e = alunni[4];
    runSql(QStringLiteral("UPDATE TAnaGme SET sAnaGmeVotoAmm = '75' WHERE iScuTypId = 4 AND "
                          "iAnaId = ?"),
           {a});
    runSql(QStringLiteral("UPDATE TAnaGme SET sAnaGmeVotoAmm = '77' WHERE iScuTypId = 4 AND "
                          "iAnaId = ?"),
           {b}); // no level of a scale by fives
    runSql(QStringLiteral("DELETE FROM TAnaGme WHERE iScuTypId = 4 AND iAnaId = ?"), {c});
    const QString primaDiB = g->Cells(1, righe[1]);
    auto campo = [](std::function<QRadioButton *(TfmqevQualifField *)> scelta, bool import,
                    bool *licenza = nullptr) {
        DialogSeam::queueModalScript([=](QDialog *dlg) {
            auto *dialog = qobject_cast<TfmqevQualifField *>(dlg);
            EXPECT_EQ(dialog->windowTitle(), import ? QStringLiteral("Campo da cui prelevare")
                                                    : QStringLiteral("Campo da riempire"));
            if (licenza)
                *licenza = dialog->rbLicenza->isEnabled();
            scelta(dialog)->setChecked(true);
            return int(mrOk);
        });
    };
    auto ammissione = [](TfmqevQualifField *f) { return f->rbQuaAmmissione; };
    auto finale = [](TfmqevQualifField *f) { return f->rbQuaFinale; };

    // Import: each score becomes the level of the column's scale; a score the scale lacks is
    // reported and leaves its cell; no career row empties the cell.
    bool licenza = true;
    campo(ammissione, true, &licenza);
    DialogSeam::clearShown();
    vot->aImpQualif->trigger();
    EXPECT_FALSE(licenza);
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
    EXPECT_TRUE(DialogSeam::shownTexts().last().contains(nomeDi(b) + QStringLiteral(": 77")));
    EXPECT_FALSE(DialogSeam::shownTexts().last().contains(nomeDi(a)));
    EXPECT_EQ(g->Cells(1, righe[0]), QStringLiteral("75"));
    EXPECT_EQ(g->RecordAt<TRecVal>(1, righe[0])->iValId, 215);
    EXPECT_EQ(g->Cells(1, righe[1]), primaDiB);
    EXPECT_EQ(g->Cells(1, righe[2]), QString());
    EXPECT_TRUE(g->Modificato());

    // Export: the question first; a refused row writes nothing at all.
    runSql(QStringLiteral("UPDATE TAnaGme SET sAnaGmeVoto = 'X' WHERE iScuTypId = 4 AND iAnaId "
                          "= ?"),
           {e});
    campo(finale, false);
    DialogSeam::queueAnswer(int(mrNo));
    vot->aExpQualif->trigger();
    EXPECT_TRUE(carriera("sAnaGmeVoto", 4, a).isNull());
    runSql(QStringLiteral("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'"));
    runSql(QStringLiteral("CREATE TRIGGER T_RIFIUTO FOR TAnaGme BEFORE UPDATE AS BEGIN IF "
                          "(NEW.iAnaId = %1) THEN EXCEPTION E_RIFIUTO; END")
               .arg(d));
    campo(finale, false);
    DialogSeam::queueAnswer(int(mrYes));
    DialogSeam::clearShown();
    vot->aExpQualif->trigger();
    ASSERT_EQ(DialogSeam::shownTexts().size(), 3);
    EXPECT_TRUE(DialogSeam::shownTexts().last().contains(QStringLiteral("rifiutato per prova")));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TAnaGme WHERE iScuTypId = 4 AND "
                                    "sAnaGmeVoto IS NOT NULL"))
                  .toInt(),
              1);
    EXPECT_FALSE(
        scalar(QStringLiteral("SELECT 1 FROM TAnaGme WHERE iScuTypId = 4 AND iAnaId = ?"), {c})
            .isValid());
    runSql(QStringLiteral("DROP TRIGGER T_RIFIUTO"));

    // Exported: every pupil who takes the subject gets the cell's text; one who does not
    // (his cell locked) keeps his career.
    g->RecordAt<TRecVal>(1, righe[4])->bBloccato = true;
    campo(finale, false);
    DialogSeam::queueAnswer(int(mrYes));
    DialogSeam::clearShown();
    vot->aExpQualif->trigger();
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
    for (int i = 0; i < alunni.size(); ++i) {
        const QString text = g->Cells(1, righe[i]).trimmed();
        const QVariant stored = carriera("sAnaGmeVoto", 4, alunni[i]);
        EXPECT_EQ(stored.toString(), i == 4 ? QStringLiteral("X") : text) << i;
    }
    g->RecordAt<TRecVal>(1, righe[4])->bBloccato = false;

    // Imported back: the grid's values again; the other career's score is no level.
    ASSERT_TRUE(vot->ScriviCella(1, righe[0], QStringLiteral("90")));
    campo(finale, true);
    DialogSeam::clearShown();
    vot->aImpQualif->trigger();
    ASSERT_EQ(DialogSeam::shownTexts().size(), 2);
    EXPECT_TRUE(DialogSeam::shownTexts().last().endsWith(nomeDi(e) + QStringLiteral(": X")));
    EXPECT_EQ(g->Cells(1, righe[0]), QStringLiteral("75"));

    // The licence is stored as the judgment a score names: one that names none is reported
    // and leaves the stored judgment.
    const QVariant giudizio = carriera("iGmeId", 3, a);
    ASSERT_FALSE(giudizio.isNull());
    campo([](TfmqevQualifField *f) { return f->rbLicenza; }, false);
    DialogSeam::queueAnswer(int(mrYes));
    DialogSeam::clearShown();
    vot->aExpQualif->trigger();
    ASSERT_EQ(DialogSeam::shownTexts().size(), 3);
    EXPECT_TRUE(DialogSeam::shownTexts().last().contains(nomeDi(a) + QStringLiteral(": 75")));
    EXPECT_EQ(carriera("iGmeId", 3, a), giudizio);

    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_carmat.png")));
    }

    // The imported values wait for the save: closing offers the votes page alone.
    QStringList offered;
    DialogSeam::queueModalScript([&offered](QDialog *dlg) {
        for (QCheckBox *box : dlg->findChildren<QCheckBox *>()) {
            if (box->isChecked() && box->isEnabled())
                offered << box->objectName();
        }
        return int(mrNo);
    });
    ASSERT_TRUE(chiudi(window));
    EXPECT_EQ(offered, QStringList{QStringLiteral("cbVot")});
}
