// "Caricamento per classe" end to end: the real command table and windows offscreen, every
// dialog scripted, the demo school's database checked after each step.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/formregistry.h"
#include "platform/transaction.h"
#include "shell/qelactivations.h"
#include "shell/qelplaceholder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

constexpr int k5A = 390052; // 5A of 2008/2009, final session: votes, taxonomies, absences, aids
constexpr int k5B = 390152; // 5B: proposed votes only, the largest class
constexpr int k4A = 390042;
constexpr int k3A = 390032; // 21 pupils

const char *const kCaptions[] = {"Voti", "Voti proposti", "Tassonomie", "Assenze", "Aiuti"};

// A grade window of another kind, open: the launcher must refuse its own beside it.
class StandIn : public QWidget, public QevGradeWindow
{
    Q_OBJECT
    Q_INTERFACES(QevGradeWindow)
public:
    using QWidget::QWidget;
    void CaricaFrames() override { ++caricamenti; }
    bool ChiediSalvataggio() override { return true; }
    TfrqevCarBs *FrameAttivo() const override { return nullptr; }
    TfrqevCarBs *FrameDi(int) const override { return nullptr; }
    void SetRigaSng(int, int) override {}
    QString PaginaAttiva() const override { return {}; }
    bool MostraPagina(const QString &caption) override
    {
        pagine << caption;
        return true;
    }
    static inline int caricamenti = 0;
    static inline QStringList pagine;
};

// The class window on the demo school.
class ClassWindow : public GradeWindows
{
protected:
    void SetUp() override
    {
        GradeWindows::SetUp();
        // The last pupil of 5A has no vote and no taxonomy yet: the office enters them.
        for (const char *table : {"TVot_Voti", "TTas_Tassonomie"})
            runSql(QStringLiteral("DELETE FROM %1 WHERE iSitId = (SELECT FIRST 1 S.iSitId FROM "
                                  "TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = "
                                  "S.iClsPstId WHERE P.iClsId = 39005 AND S.iSitOrdine = 1 AND "
                                  "S.iSitPosReg > 0 ORDER BY S.iSitPosReg DESC)")
                       .arg(QLatin1String(table)));
    }

    TqelStringGrid *griglia(int kind) const { return fmqevCarCls()->FrameDi(kind)->grGrid; }

    Cella cellaDi(int kind, int c, int r) const
    {
        TqelStringGrid *g = griglia(kind);
        auto cmp = kind <= 2 ? g->RecordAt<TRecCmp>(c, 1) : nullptr;
        return {g->RecordAt<TRecAna>(0, r)->iSitId, g->RecordAt<TRecMat>(c, 0)->iClsSesMatId,
                cmp ? cmp->iCmpScaId : 0};
    }

    // The first data cell, scanning rows from the given one, that is open and stored (or
    // empty), on a column whose scale has the text.
    QPoint trova(int kind, bool stored, const QString &text = {}, int fromRow = 0) const
    {
        TqelStringGrid *g = griglia(kind);
        auto *frame = static_cast<TfrqevCarVot *>(fmqevCarCls()->FrameDi(kind));
        for (int r = std::max(fromRow, g->nRowIntest()); r < g->RowCount(); ++r) {
            for (int c = g->nColIntest(); c < g->ColCount(); ++c) {
                auto rec = g->RecordAt<TRecVal>(c, r);
                if (!rec || rec->bBloccato || (rec->iPKId != 0) != stored)
                    continue;
                auto cmp = g->RecordAt<TRecCmp>(c, 1);
                if (kind <= 2 && !text.isEmpty() &&
                    !(cmp && frame->Store().Livello(cmp->iCmpScaId, text)))
                    continue;
                return {c, r};
            }
        }
        return {-1, -1};
    }
};

} // namespace

TEST_F(ClassWindow, LauncherChecksTheContextAndTheOtherWindows)
{
    // The commands stand on "Gestione" in their order, with their images.
    TVxApgPage *gestione = dmqelActivations->page(QStringLiteral("xpgVal"));
    QStringList entries;
    for (TVxAttItem *item : dmqelActivations->Entries(gestione))
        entries << item->Caption;
    EXPECT_EQ(entries.mid(0, 3), (QStringList{"Caricamento per classe", "Caricamento per singolo",
                                              "Caricamento per materia"}));
    EXPECT_EQ(dmqevActivations->xafCarMat->ImageIndex, 2);
    EXPECT_EQ(dmqevActivations->xafCarDeb->ParentPage(), nullptr);
    EXPECT_EQ(dmqevActivations->Ruolo, QStringLiteral("Segreteria"));

    const QString anno = QStringLiteral("Non è stato selezionato l'anno scolastico di lavoro.\n\n"
                                        "Selezionarlo in \"Utilità e parametri - Parametri "
                                        "applicazione\".\nVoce: \"Anno scolastico di lavoro\".");
    const QString sessione = QStringLiteral("Non è stata selezionata la sessione scolastica di "
                                            "lavoro.\n\nSelezionarla in \"Utilità e parametri - "
                                            "Parametri applicazione\".\nVoce: \"Sessione di "
                                            "lavoro\".");
    const struct
    {
        QVariant year;
        QVariant session;
        QString message;
    } cases[] = {
        {QVariant(), 392, anno},
        {QStringLiteral("  "), 392, anno},
        {0, 392, anno}, // stricter than blank-only: a year key 0 is no year
        {QVariant(), 0, anno},
        {39, 0, sessione},
        {39, QVariant(), sessione},
    };
    for (const auto &c : cases) {
        xgvmGlobalVar.SetValues({{TVxWorkingContext::schoolYearKey(), c.year},
                                 {TVxWorkingContext::sessionKey(), c.session}});
        DialogSeam::clearShown();
        for (TVxAttForm *command : {dmqevActivations->xafCarCls, dmqevActivations->xafCarSng,
                                    dmqevActivations->xafCarMat}) {
            EXPECT_FALSE(command->Execute());
        }
        EXPECT_EQ(DialogSeam::shownTexts(), QStringList(3, c.message))
            << c.year.toString().toStdString();
    }
    xgvmGlobalVar.SetValues(
        {{TVxWorkingContext::schoolYearKey(), 39}, {TVxWorkingContext::sessionKey(), 392}});

    // A cancelled dialog opens nothing, says nothing and changes nothing.
    dmqevDataSets->iClsSesMatId = 77;
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrCancel));
    EXPECT_FALSE(dmqevActivations->xafCarCls->Execute());
    EXPECT_EQ(fmqevCarCls(), nullptr);
    EXPECT_EQ(dmqevDataSets->iClsSesId, 0);
    EXPECT_EQ(dmqevDataSets->iClsSesMatId, 77);
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown().first().detail, QStringLiteral("TfmQevSelCarCls"));

    // An institute without sessions lists no class: OK is refused and the dialog stays open.
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 99);
    bool refused = false;
    DialogSeam::queueModalScript([&refused](QDialog *d) {
        auto *dialog = qobject_cast<TfmQevSelCarCls *>(d);
        bool ended = false;
        QObject::connect(dialog, &QDialog::finished, [&ended] { ended = true; });
        dialog->done(mrOk);
        refused = dialog->ClassiCount() == 0 && !dialog->buOk()->isEnabled() && !ended;
        return int(mrNone);
    });
    EXPECT_FALSE(dmqevActivations->xafCarCls->Execute());
    EXPECT_TRUE(refused);
    EXPECT_EQ(dmqevDataSets->iClsSesId, 0);
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 2);

    // Opening a grade window while another kind is open names both.
    const QString format = QStringLiteral("Impossibile attivare il caricamento per %1.\n\nÈ già "
                                          "stato attivato il caricamento per %2.\n\nChiudere la "
                                          "finestra di caricamento attuale per proseguire.");
    ASSERT_NE(apri(k5A), nullptr);
    DialogSeam::clearShown();
    EXPECT_FALSE(dmqevActivations->xafCarSng->Execute());
    EXPECT_FALSE(dmqevActivations->xafCarMat->Execute());
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{format.arg("singolo", "classe"), format.arg("materia", "classe")}));
    fmqevCarCls()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(TdmqevActivations::CarClsAperto());
    // Any grade window of another kind excludes.
    for (const char *name : {QevForms::CarSng, QevForms::CarMat}) {
        FormRegistry::registerClass(QString::fromLatin1(name),
                                    [](QWidget *p) -> QWidget * { return new StandIn(p); });
        std::unique_ptr<QWidget> open(FormRegistry::create(QString::fromLatin1(name)));
        DialogSeam::clearShown();
        EXPECT_FALSE(dmqevActivations->xafCarCls->Execute());
        EXPECT_EQ(DialogSeam::shownTexts(),
                  QStringList{format.arg(QStringLiteral("classe"),
                                         name == QevForms::CarSng ? QStringLiteral("singolo")
                                                                  : QStringLiteral("materia"))});
        FormRegistry::unregisterClass(QString::fromLatin1(name));
        registerShellForms();
    }
}

TEST_F(ClassWindow, SinglePupilFromTheGridOpensThePupilWindowOnTheSamePage)
{
    const QString pupilWindow = QString::fromLatin1(QevForms::CarSng);
    FormRegistry::registerClass(pupilWindow,
                                [](QWidget *p) -> QWidget * { return new StandIn(p); });
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Assenze")));
    TqelStringGrid *g = griglia(tdAssenze);
    ASSERT_TRUE(g->MoveCursor(2, 5));
    auto ana = g->RecordAt<TRecAna>(0, 5);
    DialogSeam::clearShown();
    StandIn::caricamenti = 0;
    StandIn::pagine.clear();
    window->FrameDi(tdAssenze)->aSingolo->trigger();
    // No exclusion and no selection dialog: the pupil is the row's, the page the same.
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    EXPECT_TRUE(TdmqevActivations::CarSngAperto());
    EXPECT_FALSE(dmqevActivations->CarSngDaGriglia());
    EXPECT_EQ(StandIn::caricamenti, 1);
    EXPECT_EQ(StandIn::pagine, QStringList{QStringLiteral("Assenze")});
    EXPECT_EQ(dmqevDataSets->iSitId, ana->iSitId);
    EXPECT_EQ(dmqevDataSets->iPstIdSel, ana->iPstId);
    EXPECT_EQ(window->RigaSng, 5);
    EXPECT_EQ(window->TipoDatiSng, int(tdAssenze));
    // From the main page the pupil window stays refused while the class window is open.
    EXPECT_FALSE(dmqevActivations->xafCarSng->Execute());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    for (QWidget *w : FormRegistry::instances(pupilWindow))
        delete w;
    FormRegistry::unregisterClass(pupilWindow);
    registerShellForms();
}

TEST_F(ClassWindow, EveryVotePageShowsWhatIsStoredAndLocksSubjectsNotTaken)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("5A LICEO SCIENTIFICO")));
    QStringList tabs;
    for (int i = 0; i < window->pcMain()->count(); ++i) {
        if (window->pcMain()->isTabVisible(i))
            tabs << window->pcMain()->tabText(i);
    }
    EXPECT_EQ(tabs, (QStringList{"Voti", "Voti proposti", "Tassonomie", "Assenze", "Aiuti", "Note",
                                 "Debiti", "Esito finale", "Crediti", "Giudizio"}));

    for (int kind = 0; kind <= 4; ++kind) {
        SCOPED_TRACE(kCaptions[kind]);
        const QHash<Cella, QString> stored = memorizzati(kind, k5A);
        TqelStringGrid *g = griglia(kind);
        EXPECT_FALSE(g->Modificato());
        int shown = 0;
        int locked = 0;
        for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
            auto ana = g->RecordAt<TRecAna>(0, r);
            for (int c = g->nColIntest(); c < g->ColCount(); ++c) {
                auto rec = g->RecordAt<TRecVal>(c, r);
                ASSERT_TRUE(rec);
                const bool religione =
                    g->RecordAt<TRecMat>(c, 0)->sMatLDesc == QStringLiteral("RELIGIONE");
                // Plan 12 is the plan without religion.
                EXPECT_EQ(rec->bBloccato, religione && ana->iPstId == 12);
                locked += rec->bBloccato;
                const QString text = stored.value(cellaDi(kind, c, r));
                EXPECT_EQ(g->Cells(c, r), rec->bBloccato ? QString() : text);
                shown += !g->Cells(c, r).isEmpty();
            }
        }
        if (kind != 2) { // religion has no taxonomy
            EXPECT_GT(locked, 0);
        }
        // Every stored value of a listed pupil is shown, none twice.
        int listed = 0;
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            for (int r = g->nRowIntest(); r < g->RowCount(); ++r)
                listed += g->RecordAt<TRecAna>(0, r)->iSitId == it.key().iSitId;
        }
        EXPECT_EQ(shown, listed);
    }
}

TEST_F(ClassWindow, OpeningRunsTheSameStatementsWhateverTheClassSize)
{
    // Each kind is read once for the whole class: a read by pupil would run one more
    // statement per pupil, each a round trip or two to a school's server.
    auto apertura = [this](int clsSes) {
        TVxStatementRecorder recorder;
        TfmqevCarCls *window = apri(clsSes);
        QStringList texts;
        for (const TVxStatementRecorder::Statement &s : recorder.statements())
            texts << s.sql;
        texts.sort();
        EXPECT_TRUE(window && chiudi(window));
        return texts;
    };
    const QStringList grande = apertura(k5A);
    EXPECT_EQ(apertura(k3A), grande);
    EXPECT_LE(grande.size(), 30);
}

TEST_F(ClassWindow, TypedValuesOfEveryPageAreSavedOnClosing)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    // Per page: a new value into an empty cell and a changed value into a stored one.
    const struct
    {
        int kind;
        QString nuovo;
        QString cambiato;
    } cases[] = {
        {0, "7", "NC"}, {1, "6.5", "8"}, {2, "BUONO", "OTTIMO"}, {3, "0", "12"}, {4, "DSA", "L104"},
    };
    QHash<int, QPair<Cella, QString>> attesi; // by kind*2 (+1 for the changed value)
    for (const auto &c : cases) {
        SCOPED_TRACE(kCaptions[c.kind]);
        ASSERT_TRUE(window->MostraPagina(QString::fromLatin1(kCaptions[c.kind])));
        TqelStringGrid *g = griglia(c.kind);
        const QPoint vuota = trova(c.kind, false, c.nuovo);
        ASSERT_GE(vuota.x(), 0);
        digita(g, vuota, c.nuovo);
        attesi.insert(c.kind * 2, {cellaDi(c.kind, vuota.x(), vuota.y()), c.nuovo});
        const QPoint piena = trova(c.kind, true, c.cambiato);
        if (piena.x() >= 0) { // the demo has no proposed votes for 5A
            digita(g, piena, c.cambiato);
            attesi.insert(c.kind * 2 + 1, {cellaDi(c.kind, piena.x(), piena.y()), c.cambiato});
        }
        EXPECT_TRUE(g->Modificato());
    }
    QHash<int, QHash<Cella, QString>> prima;
    for (int kind = 0; kind <= 4; ++kind)
        prima.insert(kind, memorizzati(kind, k5A));

    // The save dialog offers exactly the five modified pages; Enter saves them.
    QStringList offered;
    DialogSeam::queueModalScript([&offered](QDialog *d) {
        auto *dialog = qobject_cast<TfmqevCarSave *>(d);
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
            if (box->isChecked() && box->isEnabled())
                offered << box->objectName();
            else
                EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
        }
        d->show();
        QTest::keyClick(d, Qt::Key_Return);
        return int(mrNone);
    });
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(fmqevCarCls(), nullptr);
    offered.sort();
    EXPECT_EQ(offered, (QStringList{"cbAiu", "cbAss", "cbTas", "cbVot", "cbVtp"}));

    // Exactly the typed cells changed, every other row is as it was.
    for (int kind = 0; kind <= 4; ++kind) {
        SCOPED_TRACE(kCaptions[kind]);
        QHash<Cella, QString> atteso = prima.value(kind);
        for (int i : {kind * 2, kind * 2 + 1}) {
            if (attesi.contains(i))
                atteso.insert(attesi.value(i).first, attesi.value(i).second);
        }
        EXPECT_EQ(memorizzati(kind, k5A), atteso);
    }
    // New rows carry the school year's first day as insert and start date, its last as end.
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TAss_Assenze A JOIN TAns_AnniScolast Y "
                                    "ON Y.iAnsId = 39 WHERE A.iSitId = ? AND A.iClsSesMatId = ? "
                                    "AND A.dStart = Y.dAnsVextoInizio AND CAST(A.dInsert AS DATE) "
                                    "= Y.dAnsVextoInizio AND A.dEnd = Y.dAnsVextoFine"),
                     {attesi.value(6).first.iSitId, attesi.value(6).first.iClsSesMatId})
                  .toInt(),
              1);
}

TEST_F(ClassWindow, EnteredTextIsCheckedWhenTheCursorLeavesTheCell)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    {
        // Typed, refused on the way out and put back with Esc: the page is as loaded, and
        // closing would ask nothing.
        ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
        TqelStringGrid *g = griglia(0);
        const QPoint cell = trova(0, true, QStringLiteral("7"));
        const QString letto = g->Cells(cell.x(), cell.y());
        ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
        QTest::keyClicks(g, QStringLiteral("X"));
        QTest::keyClick(g, Qt::Key_Right);
        EXPECT_TRUE(g->Modificato());
        QTest::keyClick(g, Qt::Key_Escape);
        EXPECT_EQ(g->Cells(cell.x(), cell.y()), letto);
        EXPECT_FALSE(g->Modificato());
    }
    const struct
    {
        int kind;
        QString text;
        bool accepted;
    } cases[] = {
        {0, "nc", false},    {0, "NC", true},     {0, " 7 ", true},    {0, "11", false},
        {0, "7\t", false},   {1, "6.5", true},    {1, "6,5", false},   {2, "ottimo", false},
        {2, "OTTIMO", true}, {3, "0", true},      {3, "-1", false},    {3, "2,5", false},
        {3, "+5", false},    {3, "99999", false}, {3, "9999", true},   {4, "ABCD", true},
        {4, "ABCDE", false}, {4, "\001A", false}, {4, "A\x1b", false}, {4, "\x7f", false},
    };
    // What each kind takes, as the help line says it to the office.
    const char *const prende[] = {"la scala Decimi accetta NC, 1, 2", "la scala", "la scala",
                                  "da 0 a 9999.", "al più 4 caratteri"};
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 '%2'").arg(kCaptions[c.kind], c.text).toStdString());
        ASSERT_TRUE(window->MostraPagina(QString::fromLatin1(kCaptions[c.kind])));
        TqelStringGrid *g = griglia(c.kind);
        // A cell of a column whose scale has levels like the one typed.
        static const char *const colonna[] = {"7", "6.5", "OTTIMO", "", ""};
        const QPoint cell = trova(c.kind, false, QString::fromLatin1(colonna[c.kind]));
        ASSERT_GE(cell.x(), 0);
        // Control characters are never typed: they come pasted from another program.
        QApplication::clipboard()->setText(c.text);
        ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
        QTest::keyClick(g, Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(g->Col() != cell.x() || g->Row() != cell.y(), c.accepted);
        auto rec = g->RecordAt<TRecVal>(cell.x(), cell.y());
        if (c.accepted) {
            EXPECT_EQ(rec->sValSDesc, c.text.trimmed());
            // The cell keeps what was typed until reloaded.
            EXPECT_EQ(g->Cells(cell.x(), cell.y()), c.text);
        } else {
            const QString help = window->FrameDi(c.kind)->PanelHelp->text();
            EXPECT_TRUE(help.startsWith(QStringLiteral(" Valore \"")) &&
                        help.contains(QString::fromUtf8(prende[c.kind])))
                << help.toStdString();
        }
        // Emptied with Delete, or Backspace outside the editor, the record forgets its value.
        ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()) || !c.accepted);
        QTest::keyClick(g, c.accepted ? Qt::Key_Delete : Qt::Key_Backspace);
        EXPECT_TRUE(g->Cells(cell.x(), cell.y()).isEmpty());
        EXPECT_EQ(rec->iValId, 0);
        EXPECT_TRUE(rec->sValSDesc.isEmpty());
        QTest::keyClick(g, Qt::Key_Return);
        EXPECT_NE(g->Col() * 1000 + g->Row(), cell.x() * 1000 + cell.y());
    }

    // A refused text keeps the cursor and the window open, naming the cell and why.
    TqelStringGrid *g = griglia(0);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    const QPoint cell = trova(0, true, QStringLiteral("7"));
    digita(g, cell, QStringLiteral("X"));
    DialogSeam::clearShown();
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(fmqevCarCls(), window);
    auto ana = g->RecordAt<TRecAna>(0, cell.y());
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Attenzione!\n\nImpossibile chiudere il caricamento dei "
                                         "voti.\n\nDato non valido: \n\nAlunno: %1\nMateria: %2 "
                                         "\nComponente: %3 \n\nValore \"X\" non valido: la "
                                         "scala Decimi accetta NC, 1, 2, 3, 4, 5, 6, 7, 8, 9, "
                                         "10.\n")
                              .arg((ana->sAnaCognome + ' ' + ana->sAnaNome).toUpper(),
                                   g->RecordAt<TRecMat>(cell.x(), 0)->sMatLDesc.toUpper(),
                                   g->RecordAt<TRecCmp>(cell.x(), 1)->sCmpLDesc.toUpper())});
    // Nor can the page change.
    DialogSeam::clearShown();
    EXPECT_FALSE(window->MostraPagina(QStringLiteral("Assenze")));
    EXPECT_EQ(window->PaginaAttiva(), QStringLiteral("Voti"));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
}

TEST_F(ClassWindow, DeletedThenRetypedValueIsOneNewRow)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TqelStringGrid *g = griglia(0);
    const QPoint cell = trova(0, true, QStringLiteral("9"));
    const Cella where = cellaDi(0, cell.x(), cell.y());
    auto rec = g->RecordAt<TRecVal>(cell.x(), cell.y());
    const int oldKey = rec->iPKId;
    ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
    QTest::keyClick(g, Qt::Key_F2);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(g, Qt::Key_Backspace);
    // "Salva griglia", Ctrl+S with the editor still open, asks first; the answer is Yes. An Esc
    // afterwards leaves the stored value on show.
    DialogSeam::queueAnswer(int(mrYes));
    QApplication::setActiveWindow(objects->mainWindow());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_TRUE(g->Cells(cell.x(), cell.y()).isEmpty());
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(rec->iPKId, 0);
    EXPECT_FALSE(memorizzati(0, k5A).contains(where));

    digita(g, cell, QStringLiteral("9"));
    DialogSeam::queueAnswer(int(mrYes));
    static_cast<TfrqevCarVot *>(window->FrameDi(0))->aSave->trigger();
    EXPECT_EQ(memorizzati(0, k5A).value(where), QStringLiteral("9"));
    EXPECT_NE(rec->iPKId, 0);
    EXPECT_NE(rec->iPKId, oldKey);
    EXPECT_EQ(scalar(QStringLiteral("SELECT iSitId FROM TVot_Voti WHERE iVotId = ?"), {rec->iPKId})
                  .toInt(),
              where.iSitId);
    // Saved again without a change: nothing is written.
    TfrqevCarVot *frame = window->frqevCarClsVot();
    DialogSeam::queueAnswer(int(mrYes));
    TVxStatementRecorder recorder;
    frame->aSave->trigger();
    EXPECT_EQ(scritture(recorder, frame->Store().Tabella()), 0);
    // "No" to the question saves nothing and keeps the grid modified.
    digita(g, cell, QStringLiteral("8"));
    DialogSeam::queueAnswer(int(mrNo));
    static_cast<TfrqevCarVot *>(window->FrameDi(0))->aSave->trigger();
    EXPECT_TRUE(g->Modificato());
    EXPECT_EQ(memorizzati(0, k5A).value(where), QStringLiteral("9"));
}

TEST_F(ClassWindow, VoteOfADeletedLevelCanBeLeftSavedAndClosed)
{
    // A level of a scale deleted after votes were given with it: those votes stay as stored.
    const int deleted = scalar(QStringLiteral("SELECT FIRST 1 V.iScaLivId FROM TVot_Voti V JOIN "
                                              "TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId "
                                              "JOIN TClsSesMat S ON S.iClsSesMatId = "
                                              "K.iClsSesMatId JOIN TScaLiv SL ON SL.iScaLivId = "
                                              "V.iScaLivId JOIN TLiv_Livelli L ON L.iLivId = "
                                              "SL.iLivId WHERE S.iClsSesId = ? AND "
                                              "TRIM(L.sLivSDesc) <> '6' ORDER BY V.iVotId"),
                               {k5A})
                            .toInt();
    ASSERT_NE(deleted, 0);
    runSql(QStringLiteral("UPDATE TScaLiv SET dDelete = CURRENT_DATE WHERE iScaLivId = ?"),
           {deleted});
    const QHash<Cella, QString> before = memorizzati(0, k5A);

    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TqelStringGrid *g = griglia(0);
    auto *frame = window->frqevCarClsVot();
    QPoint cell(-1, -1);
    for (int r = g->nRowIntest(); r < g->RowCount() && cell.x() < 0; ++r) {
        for (int c = g->nColIntest(); c < g->ColCount() && cell.x() < 0; ++c) {
            auto rec = g->RecordAt<TRecVal>(c, r);
            if (rec && !rec->bBloccato && rec->iPKId != 0 && rec->iValId == deleted)
                cell = {c, r};
        }
    }
    ASSERT_GE(cell.x(), 0);
    const QString text = g->Cells(cell.x(), cell.y()).trimmed();
    ASSERT_EQ(frame->Store().Livello(g->RecordAt<TRecCmp>(cell.x(), 1)->iCmpScaId, text), nullptr);

    // Passed through, then typed again as it stands: the cursor leaves it both times.
    ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
    ASSERT_TRUE(
        g->MoveCursor(cell.x(), cell.y() == g->nRowIntest() ? cell.y() + 1 : g->nRowIntest()));
    digita(g, cell, text);
    EXPECT_NE(QPoint(g->Col(), g->Row()), cell);
    // Another cell gets a new vote, so that closing has something to save.
    const QPoint nuova = trova(0, false, QStringLiteral("6"));
    ASSERT_GE(nuova.x(), 0);
    digita(g, nuova, QStringLiteral("6"));
    const Cella dove = cellaDi(0, nuova.x(), nuova.y());
    const int key = g->RecordAt<TRecVal>(cell.x(), cell.y())->iPKId;
    // Back on the stored vote, closing re-checks it.
    ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));

    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrOk)); // the save dialog: "Salva"
    EXPECT_TRUE(chiudi(window));
    EXPECT_EQ(fmqevCarCls(), nullptr);
    ASSERT_EQ(DialogSeam::shown().size(), 1) << DialogSeam::shownTexts().join("|").toStdString();
    EXPECT_EQ(DialogSeam::shown().first().detail, QStringLiteral("TfmqevCarSave"));
    QHash<Cella, QString> expected = before;
    expected.insert(dove, QStringLiteral("6"));
    EXPECT_EQ(memorizzati(0, k5A), expected);
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT iScaLivId FROM TVot_Voti WHERE iVotId = ?"), {key}).toInt(),
        deleted);
}

TEST_F(ClassWindow, FailedStatementRollsBackAndKeepsTheGridModified)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TqelStringGrid *g = griglia(3);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Assenze")));
    // Three new absences in one column, the second refused: it alone is taken back.
    QList<QPoint> vuote;
    for (int col = g->nColIntest(); col < g->ColCount() && vuote.size() < 3; ++col) {
        vuote.clear();
        for (int r = g->nRowIntest(); r < g->RowCount() && vuote.size() < 3; ++r) {
            auto rec = g->RecordAt<TRecVal>(col, r);
            if (!rec->bBloccato && rec->iPKId == 0)
                vuote << QPoint(col, r);
        }
    }
    ASSERT_EQ(vuote.size(), 3);
    const QPoint a = vuote[0], b = vuote[1], c = vuote[2];
    const QList<Cella> celle = {cellaDi(3, a.x(), a.y()), cellaDi(3, b.x(), b.y()),
                                cellaDi(3, c.x(), c.y())};
    const int refused = g->RecordAt<TRecAna>(0, b.y())->iSitId;
    runSql(QStringLiteral("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'"));
    runSql(QStringLiteral("CREATE TRIGGER T_RIFIUTO FOR TAss_Assenze BEFORE INSERT AS BEGIN "
                          "IF (NEW.iSitId = %1) THEN EXCEPTION E_RIFIUTO; END")
               .arg(refused));
    for (QPoint p : {a, b, c})
        digita(g, p, QStringLiteral("3"));

    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrOk)); // the save dialog: "Salva"
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(fmqevCarCls(), window);             // a failed save keeps the window
    ASSERT_EQ(DialogSeam::shownTexts().size(), 2) // the save dialog, then the failure
        << DialogSeam::shownTexts().join("|").toStdString();
    const QString failure = DialogSeam::shownTexts().last();
    EXPECT_TRUE(failure.startsWith(QStringLiteral("Impossibile salvare i dati.\n\nAlunno: ")));
    EXPECT_TRUE(failure.contains(QStringLiteral("rifiutato per prova")));
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    EXPECT_TRUE(g->Modificato());
    QHash<Cella, QString> stored = memorizzati(3, k5A);
    EXPECT_EQ(stored.value(celle[0]), QStringLiteral("3"));
    EXPECT_FALSE(stored.contains(celle[1]));
    EXPECT_EQ(stored.value(celle[2]), QStringLiteral("3"));
    EXPECT_EQ(g->RecordAt<TRecVal>(b.x(), b.y())->iPKId, 0);

    // Once the database accepts it, closing again saves what is left, and only that.
    runSql(QStringLiteral("DROP TRIGGER T_RIFIUTO"));
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrOk));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(fmqevCarCls(), nullptr);
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    stored = memorizzati(3, k5A);
    for (const Cella &cella : celle)
        EXPECT_EQ(stored.value(cella), QStringLiteral("3"));
}

TEST_F(ClassWindow, ProposedVotesBecomeTheClassVotes)
{
    // 5B has proposals and no votes: one pupil gets a vote to be replaced, another a vote in a
    // pair without proposal, to be kept; a vote of another class must stay.
    const QHash<Cella, QString> proposte = memorizzati(1, k5B);
    ASSERT_FALSE(proposte.isEmpty());
    const Cella replaced = proposte.keys().first();
    const int pair = scalar(QStringLiteral("SELECT iClsMatCmpId FROM TClsMatCmp WHERE "
                                           "iClsSesMatId = ? AND iCmpScaId = ?"),
                            {replaced.iClsSesMatId, replaced.iCmpScaId})
                         .toInt();
    runSql(QStringLiteral("DELETE FROM TVtp_Proposti WHERE iSitId = ? AND iClsMatCmpId <> ?"),
           {replaced.iSitId, pair});
    runSql(QStringLiteral("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) VALUES "
                          "(900001, ?, ?, 101)"),
           {pair, replaced.iSitId});
    const int otherPair =
        scalar(QStringLiteral("SELECT FIRST 1 K.iClsMatCmpId FROM TClsMatCmp K JOIN TClsSesMat S "
                              "ON S.iClsSesMatId = K.iClsSesMatId JOIN TCmpSca C ON C.iCmpScaId = "
                              "K.iCmpScaId WHERE S.iClsSesId = ? AND K.iClsMatCmpId <> ? AND "
                              "C.iScaId = 1"),
               {k5B, pair})
            .toInt();
    runSql(QStringLiteral("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) VALUES "
                          "(900002, ?, ?, 103)"),
           {otherPair, replaced.iSitId});
    const int otherClass = scalar(QStringLiteral("SELECT COUNT(*) FROM TVot_Voti V JOIN TClsMatCmp "
                                                 "K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN "
                                                 "TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId "
                                                 "WHERE S.iClsSesId <> ?"),
                                  {k5B})
                               .toInt();
    const QHash<Cella, QString> pending = memorizzati(1, k5B);

    TfmqevCarCls *window = apri(k5B);
    ASSERT_NE(window, nullptr);
    TfrqevCarVot *votes = window->frqevCarClsVot();
    ASSERT_TRUE(votes->aPass->isVisible());
    const QString question = QStringLiteral("ATTENZIONE!\n\nI voti già presenti saranno "
                                            "sostituiti\n\nContinuare?");
    // Only Yes transfers: No, the question closed, or Return on its default No copies nothing.
    for (int answer : {int(mrNo), int(mrCancel), int(mrNone)}) {
        DialogSeam::clearShown();
        if (answer != mrNone)
            DialogSeam::queueAnswer(answer);
        votes->aPass->trigger();
        EXPECT_EQ(DialogSeam::shownTexts(), QStringList{question});
        EXPECT_TRUE(
            scalar(QStringLiteral("SELECT 1 FROM TVot_Voti WHERE iVotId = 900001")).isValid());
    }
    // A proposal typed and not saved (for another pupil) is saved first, with its question.
    TqelStringGrid *vtp = griglia(1);
    QPoint cell = trova(1, false, QStringLiteral("6.5"));
    while (cell.y() > 0 && vtp->RecordAt<TRecAna>(0, cell.y())->iSitId == replaced.iSitId)
        cell = trova(1, false, QStringLiteral("6.5"), cell.y() + 1);
    ASSERT_GT(cell.y(), 0);
    digita(vtp, cell, QStringLiteral("6.5"));
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrNo)); // "Confermi il salvataggio dei voti proposti?"
    votes->aPass->trigger();
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{"Confermi il salvataggio dei voti proposti?",
                           "Impossibile eseguire il passaggio dei dati!\n\nI voti proposti non "
                           "sono stati salvati."}));
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrYes));
    DialogSeam::queueAnswer(int(mrYes));
    votes->aPass->trigger();
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{"Confermi il salvataggio dei voti proposti?", question}));

    // Every proposal's vote is the scale level the proposal stands for (6.5 is 6); the vote
    // without a proposal stays.
    QHash<Cella, QString> expected;
    QSqlQuery q = runSql(
        QStringLiteral(
            "SELECT V.iSitId, K.iClsSesMatId, K.iCmpScaId, TRIM(L.sLivSDesc) FROM TVtp_Proposti V "
            "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON "
            "S.iClsSesMatId = K.iClsSesMatId JOIN TPrpScaLiv PL ON PL.iPrpScaLivId = "
            "V.iPrpScaLivId "
            "JOIN TScaLiv SL ON SL.iScaLivId = PL.iScaLivId JOIN TLiv_Livelli L ON L.iLivId = "
            "SL.iLivId WHERE S.iClsSesId = ?"),
        {k5B});
    while (q.next())
        expected.insert({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()},
                        q.value(3).toString());
    EXPECT_EQ(expected.size(), pending.size() + 1);
    QSqlQuery kept = runSql(QStringLiteral("SELECT iClsSesMatId, iCmpScaId FROM TClsMatCmp WHERE "
                                           "iClsMatCmpId = ?"),
                            {otherPair});
    ASSERT_TRUE(kept.next());
    expected.insert({replaced.iSitId, kept.value(0).toInt(), kept.value(1).toInt()},
                    QStringLiteral("3"));
    EXPECT_EQ(memorizzati(0, k5B), expected);
    EXPECT_FALSE(scalar(QStringLiteral("SELECT 1 FROM TVot_Voti WHERE iVotId = 900001")).isValid());
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TVot_Voti V JOIN TClsMatCmp K ON "
                                    "K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON "
                                    "S.iClsSesMatId = K.iClsSesMatId WHERE S.iClsSesId <> ?"),
                     {k5B})
                  .toInt(),
              otherClass);
    // The votes page shows them, unmodified.
    EXPECT_FALSE(griglia(0)->Modificato());
    EXPECT_EQ(griglia(0)->Cells(cell.x(), cell.y()), QStringLiteral("6"));
}

TEST_F(ClassWindow, AFailedTransferKeepsTheRefusedPupilsVotesAndShowsTheNewOnes)
{
    // Proposed votes of 4A's pupils over their votes; the third pupil's insert is refused.
    QSqlQuery q = runSql(
        QStringLiteral(
            "SELECT DISTINCT V.iSitId FROM TVot_Voti V JOIN TClsMatCmp K ON K.iClsMatCmpId = "
            "V.iClsMatCmpId JOIN TClsSesMat S ON S.iClsSesMatId = K.iClsSesMatId WHERE S.iClsSesId "
            "= ? "
            "ORDER BY 1"),
        {k4A});
    QList<int> pupils;
    while (q.next())
        pupils << q.value(0).toInt();
    ASSERT_GE(pupils.size(), 3);
    runSql(
        QStringLiteral("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId) "
                       "SELECT iVotId + 5000000, iClsMatCmpId, iSitId, 613 FROM TVot_Voti V WHERE "
                       "V.iSitId IN (?, ?, ?) AND V.iScaLivId BETWEEN 101 AND 110"),
        {pupils[0], pupils[1], pupils[2]});
    runSql(QStringLiteral("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'"));
    runSql(QStringLiteral("CREATE TRIGGER T_RIFIUTO FOR TVot_Voti BEFORE INSERT AS BEGIN "
                          "IF (NEW.iSitId = %1) THEN EXCEPTION E_RIFIUTO; END")
               .arg(pupils[2]));
    const QHash<Cella, QString> before = memorizzati(0, k4A);
    const QHash<Cella, QString> proposed = memorizzati(1, k4A);
    ASSERT_FALSE(proposed.isEmpty());
    TfmqevCarCls *window = apri(k4A);
    ASSERT_NE(window, nullptr);
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrYes));
    window->frqevCarClsVot()->aPass->trigger();
    const QStringList told = DialogSeam::shownTexts();
    ASSERT_EQ(told.size(), 2); // the question, the failure
    EXPECT_TRUE(told[1].startsWith(QStringLiteral("Passaggio interrotto a ")) &&
                told[1].contains(QStringLiteral("sono già passati; rieseguire il comando")))
        << told[1].toStdString();
    EXPECT_TRUE(told[1].contains(QStringLiteral("rifiutato per prova")));
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    // The two pupils before the refused one have their proposals as votes; the refused one
    // keeps every old vote, as does everybody else.
    QHash<Cella, QString> expected = before;
    for (auto it = proposed.begin(); it != proposed.end(); ++it) {
        if (it.key().iSitId != pupils[2])
            expected.insert(it.key(), QStringLiteral("10"));
    }
    EXPECT_EQ(memorizzati(0, k4A), expected);

    // The votes page shows the new rows: a replaced vote emptied and saved is gone.
    TqelStringGrid *g = griglia(0);
    QPoint cell(-1, -1);
    for (int r = g->nRowIntest(); r < g->RowCount() && cell.x() < 0; ++r) {
        for (int c = g->nColIntest(); c < g->ColCount() && cell.x() < 0; ++c) {
            if (g->RecordAt<TRecAna>(0, r)->iSitId == pupils[0] &&
                proposed.contains(cellaDi(0, c, r)))
                cell = {c, r};
        }
    }
    ASSERT_GE(cell.x(), 0);
    const Cella where = cellaDi(0, cell.x(), cell.y());
    ASSERT_EQ(g->Cells(cell.x(), cell.y()), QStringLiteral("10"));
    ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
    QTest::keyClick(g, Qt::Key_F2);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(g, Qt::Key_Backspace);
    QTest::keyClick(g, Qt::Key_Return);
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrYes));
    window->frqevCarClsVot()->aSave->trigger();
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1); // the question only
    EXPECT_FALSE(memorizzati(0, k4A).contains(where));
}

TEST_F(ClassWindow, RunningTheCommandAgainAsksToSaveFirst)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TqelStringGrid *g = griglia(3);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Assenze")));
    const QPoint cell = trova(3, false);
    const Cella where = cellaDi(3, cell.x(), cell.y());
    digita(g, cell, QStringLiteral("4"));

    // Cancelled at the save question: no selection dialog, the edit stays.
    DialogSeam::clearShown();
    DialogSeam::queueAnswer(int(mrCancel));
    EXPECT_FALSE(dmqevActivations->xafCarCls->Execute());
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown().first().detail, QStringLiteral("TfmqevCarSave"));
    EXPECT_TRUE(g->Modificato());
    EXPECT_EQ(g->Cells(cell.x(), cell.y()), QStringLiteral("4"));

    // Saved, then another class chosen: the same window shows it.
    DialogSeam::queueAnswer(int(mrOk));
    EXPECT_EQ(apri(k4A), window);
    EXPECT_EQ(memorizzati(3, k5A).value(where), QStringLiteral("4"));
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("4A LICEO SCIENTIFICO")));
    EXPECT_FALSE(griglia(3)->Modificato());
}

TEST_F(ClassWindow, VotesThatDifferFromTheProposalAreOutlined)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    window->SetEvContrasto(true, false);
    TqelStringGrid *votes = griglia(tdVoti);
    TqelStringGrid *proposals = griglia(tdProposti);
    // Three votes of 7 of one pupil in subjects without an aid (an aid paints over).
    QList<QPoint> sette;
    for (int r = votes->nRowIntest(); r < votes->RowCount() && sette.size() < 3; ++r) {
        sette.clear();
        for (int c = votes->nColIntest(); c < votes->ColCount() && sette.size() < 3; ++c) {
            auto mat = votes->RecordAt<TRecMat>(c, 0);
            bool aided = false;
            for (int i = 1; i < griglia(tdAiuti)->ColCount(); ++i)
                aided = aided || (griglia(tdAiuti)->RecordAt<TRecMat>(i, 0)->iClsSesMatId ==
                                      mat->iClsSesMatId &&
                                  !griglia(tdAiuti)->Cells(i, r - 1).isEmpty());
            if (votes->Cells(c, r) == QStringLiteral("7") && !aided)
                sette << QPoint(c, r);
        }
    }
    ASSERT_EQ(sette.size(), 3);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti proposti")));
    digita(proposals, sette[0], QStringLiteral("6.5"));
    digita(proposals, sette[1], QStringLiteral("7"));
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    ASSERT_TRUE(votes->MoveCursor(votes->nColIntest(), votes->RowCount() - 1));
    QCoreApplication::processEvents(); // the maximised window lays its pages out
    const QImage image = votes->viewport()->grab().toImage();
    const QColor green(0, 128, 0);
    auto outlined = [&](QPoint cell) {
        const QRect rect = votes->CellRect(cell.x(), cell.y());
        return !rect.isEmpty() && image.pixelColor(rect.topLeft()) == green;
    };
    EXPECT_TRUE(outlined(sette[0]));  // 7 against 6.5
    EXPECT_FALSE(outlined(sette[1])); // 7 against 7
    EXPECT_FALSE(outlined(sette[2])); // no proposal
    window->SetEvContrasto(false, false);
    EXPECT_FALSE(votes->viewport()->grab().toImage().pixelColor(
                     votes->CellRect(sette[0].x(), sette[0].y()).topLeft()) == green);
}

// What the office types goes cell by cell along the line with the arrows; every column of a
// level page shows its levels' longest short text whole in the grid's font, a column the office
// widens keeps its width when the page loads again, the judgments take the room the names
// leave, and no button is captioned with a component's name.
TEST_F(ClassWindow, ArrowsTypeAlongTheLineAndEveryColumnShowsWhatItHolds)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    TqelStringGrid *g = griglia(0);
    auto *frame = static_cast<TfrqevCarVot *>(window->FrameDi(0));
    const auto takes = [&](int c, int r, const char *text) {
        auto rec = g->RecordAt<TRecVal>(c, r);
        auto cmp = g->RecordAt<TRecCmp>(c, 1);
        return rec && !rec->bBloccato && cmp &&
               frame->Store().Livello(cmp->iCmpScaId, QString::fromLatin1(text));
    };
    QPoint start(-1, -1);
    for (int r = g->nRowIntest(); r < g->RowCount() && start.x() < 0; ++r)
        for (int c = g->nColIntest(); c + 2 < g->ColCount() && start.x() < 0; ++c)
            if (takes(c, r, "8") && takes(c + 1, r, "6") && takes(c + 2, r, "7"))
                start = {c, r};
    ASSERT_GE(start.x(), 0);
    ASSERT_TRUE(g->MoveCursor(start.x(), start.y()));
    for (const char *text : {"8", "6", "7"}) {
        QTest::keyClicks(g, QString::fromLatin1(text));
        QTest::keyClick(g, Qt::Key_Right);
    }
    EXPECT_EQ((QStringList{g->Cells(start.x(), start.y()), g->Cells(start.x() + 1, start.y()),
                           g->Cells(start.x() + 2, start.y())}),
              (QStringList{"8", "6", "7"}));
    EXPECT_EQ(g->Col(), start.x() + 3);
    // A long text widens its column as it is typed; Esc puts the old text back, and the column
    // its width.
    ASSERT_TRUE(g->MoveCursor(start.x(), start.y()));
    const int fitted = g->ColWidths(start.x());
    QTest::keyClicks(g, QStringLiteral("sufficientissimo"));
    EXPECT_GT(g->ColWidths(start.x()), fitted);
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_EQ(g->Cells(start.x(), start.y()), QStringLiteral("8"));
    EXPECT_EQ(g->ColWidths(start.x()), fitted);

    const auto everyLevelWhole = [this](int kind) {
        TqelStringGrid *grid = griglia(kind);
        auto *levels = static_cast<TfrqevCarVot *>(fmqevCarCls()->FrameDi(kind));
        const QFontMetrics metrics(grid->font());
        int columns = 0;
        for (int c = grid->nColIntest(); c < grid->ColCount(); ++c) {
            auto cmp = grid->RecordAt<TRecCmp>(c, 1);
            if (!cmp)
                continue;
            ++columns;
            for (const TqevLivello &l : levels->Store().Livelli(cmp->iCmpScaId)) {
                // Two pixels of margin on each side of the text.
                EXPECT_GE(grid->ColWidths(c), metrics.horizontalAdvance(l.sValSDesc.trimmed()) + 4)
                    << kCaptions[kind] << " " << c << " " << l.sValSDesc.toStdString();
            }
        }
        EXPECT_GT(columns, 0) << kCaptions[kind];
    };
    for (int kind : {0, 2}) {
        ASSERT_TRUE(window->MostraPagina(QString::fromLatin1(kCaptions[kind])));
        everyLevelWhole(kind);
    }
    // With room to spare the headers read whole, not by their first word: the notes' subjects.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Note")));
    QCoreApplication::processEvents();
    TqelStringGrid *notes = griglia(tdNote);
    for (int c = notes->nColIntest(); c < notes->ColCount(); ++c)
        EXPECT_GE(notes->ColWidths(c),
                  notes->fontMetrics().horizontalAdvance(notes->Cells(c, 0)) + 4)
            << notes->Cells(c, 0).toStdString();
    EXPECT_LT(notes->CellRect(notes->ColCount() - 1, 0).right(), notes->viewport()->width());

    // The office widens a column by its header's border: the width stays through a reload.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    QTest::keyClick(g, Qt::Key_Escape);
    const int col = g->nColIntest();
    const QRect header = g->CellRect(col, 0);
    const auto mouse = [g](QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, g->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(g->viewport(), &event);
    };
    const QPoint border(header.right() + 1, header.center().y());
    const int wider = g->ColWidths(col) + 40;
    mouse(QEvent::MouseButtonPress, border);
    mouse(QEvent::MouseMove, border + QPoint(40, 0));
    mouse(QEvent::MouseButtonRelease, border + QPoint(40, 0));
    ASSERT_EQ(g->ColWidths(col), wider);
    window->CaricaFrames();
    EXPECT_EQ(g->ColWidths(col), wider);
    // ...and in the window opened again (within a pixel: kept in the widths' unit), until
    // "Parametri visualizzazione" sets the grid's widths anew.
    DialogSeam::queueAnswer(int(mrNo)); // "Non salvare", if asked
    ASSERT_TRUE(chiudi(window));
    if (DialogSeam::hasAnswer())
        DialogSeam::takeAnswer();
    window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    EXPECT_NEAR(griglia(0)->ColWidths(col), wider, 1);
    DialogSeam::queueAnswer(int(mrOk));
    window->FrameDi(tdVoti)->aParVis->trigger();
    EXPECT_LT(griglia(0)->ColWidths(col), wider - 20);
    ASSERT_TRUE(chiudi(window));
    window = apri(k5A);
    ASSERT_NE(window, nullptr);
    EXPECT_LT(griglia(0)->ColWidths(col), wider - 20);

    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Giudizio")));
    TqelStringGrid *judgments = window->FrameDi(tdGiudizio)->grGrid;
    QCoreApplication::processEvents();
    EXPECT_GE(judgments->CellRect(1, judgments->nRowIntest()).right(),
              judgments->viewport()->width() - 2);

    for (const QAction *action : window->findChildren<QAction *>()) {
        if (!action->text().isEmpty())
            EXPECT_NE(action->text(), action->objectName());
    }

    ASSERT_TRUE(chiudi(window));
    window = apri(k5B); // proposed votes only
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QString::fromLatin1(kCaptions[1])));
    everyLevelWhole(1);
}

TEST_F(ClassWindow, Screenshot)
{
    TqevParVisGriglia &p = dmqevParVis->Griglia(tdVoti, tcClasse);
    p.xpbInsuff.SetValore(true);
    p.xpiCol.SetValore(40);
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TqelStringGrid *g = griglia(0);
    const QPoint cell = trova(0, true, QStringLiteral("4"), 4);
    digita(g, cell, QStringLiteral("4"));
    ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
    auto *label = window->FrameDi(0)->laMedia;
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("Media: ")));
    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_carcls.png")));
}

#include "carcls_test.moc"
