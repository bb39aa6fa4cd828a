// Two offices on one class session at once, and the server lost in the middle of a grade save:
// the class window of the real program (offscreen, every dialog scripted) against another
// office working on a connection and a thread of its own. The last save wins cell by cell;
// whatever the other office does, what was typed stays in the grid until it is saved, nothing
// is overwritten or lost unsaid, and no wait outlasts the other office's save unasked. Runs on
// the embedded engine and, as test_gradeentry_twooffices_server, on the run's Firebird server;
// the lost server is one of the test's own.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevcrestore.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcardeb.h"
#include "gradeentry/qevrcarfin.h"
#include "gradeentry/qevrcargdz.h"
#include "gradeentry/qevrcarnot.h"
#include "gradeentry/qevrcarvot.h"
#include "gradeentry/qevrcrelista.h"
#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfcompgiudiziomedie.h"
#include "makeup/qelfesitirecuperi.h"
#include "makeup/qelfgiudizi.h"
#include "makeup/qelfrec.h"
#include "makeup/qelrdettrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/lockwait.h"
#include "platform/stringgrid.h"
#include "platform/transaction.h"
#include "tests/makeup/makeupwindowtest.h"
#include "tests/support/evaluationwrites.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testfiles.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <chrono>
#include <thread>

namespace {

const QString kFallito = QStringLiteral("Impossibile salvare i dati.");

// A page of the class window as the other office writes its table: the row's key and value,
// what names the cell beside the pupil's situation, and the values the cases' cells take (none:
// three levels the first column's scale offers).
struct Pagina
{
    int kind;
    const char *caption;
    const char *tabella;
    const char *chiave;
    const char *colonna;
    const char *cella; // iClsMatCmpId (a subject's component) or iClsSesMatId
    const char *valori[3];
    const char *abilita = nullptr; // the class session's flag that shows the page, when it may not
};
const Pagina kVoti{tdVoti,      "Voti",         "TVot_Voti",    "iVotId",
                   "iScaLivId", "iClsMatCmpId", {"4", "5", "6"}};
const Pagina kProposti{tdProposti,     "Voti proposti", "TVtp_Proposti",  "iVtpId",
                       "iPrpScaLivId", "iClsMatCmpId",  {"4", "4.5", "5"}};
const Pagina kAssenze{tdAssenze, "Assenze",      "TAss_Assenze", "iAssId",
                      "iAssOre", "iClsSesMatId", {"3", "7", "5"}};
const Pagina kTassonomie{
    tdTassonomie, "Tassonomie", "TTas_Tassonomie", "iTasId", "iScaLivId", "iClsMatCmpId", {}};
const Pagina kAiuti{tdAiuti,   "Aiuti",        "TAiu_Aiuti",           "iAiuId",
                    "sAiuVal", "iClsSesMatId", {"DSA", "L104", "BES"}, "iClsSesAiu"};

// A cell of the class window, with the three values the case gives it: the one stored when
// the window opened (empty: none), this office's and the other office's (its level, or hours).
struct Bersaglio
{
    const Pagina *pagina = &kVoti;
    QPoint pos;
    Cella cella;
    int iCella = 0; // what names the cell in the table, with the pupil's situation
    int chiave = 0;
    QString originale;
    QString mio;
    QString suo;
    QVariant valoreSuo;
};

enum Valore { Originale, Mio, Suo, Nessuno };

// What the other office does to the cell, in a transaction it keeps open until `fine`, and
// what this office's first save then tells and leaves stored (nullptr: nothing, the save went
// through). A save that told is made once more, and stores what this office typed.
struct Caso
{
    const char *name;
    void (*altro)(OtherOffice &, const Bersaglio &); // inserisci: into a cell read empty
    bool svuota; // this office empties the cell (else it types its value)
    // 0: it commits before this office saves; > 0: it commits, < 0 it rolls back, that many
    // milliseconds into this office's first save.
    int fine;
    const char *messaggio;
    Valore dopo;
    bool altroPrima = false; // the other office saved before this office typed
    int lockWaitMs = 5000;
    QList<int> risposte = {}; // to the questions asked (as many) while the first save waits
    const Pagina *pagina = &kVoti;
};

void aggiorna(OtherOffice &o, const Bersaglio &b)
{
    o.hold(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
               .arg(b.pagina->tabella, b.pagina->colonna, b.pagina->chiave),
           {b.valoreSuo, b.chiave});
}
void inserisci(OtherOffice &o, const Bersaglio &b)
{
    o.hold(QStringLiteral("INSERT INTO %1 (%2, %3, iSitId, %4) VALUES (990001, ?, ?, ?)")
               .arg(b.pagina->tabella, b.pagina->chiave, b.pagina->cella, b.pagina->colonna),
           {b.iCella, b.cella.iSitId, b.valoreSuo});
}
void cancella(OtherOffice &o, const Bersaglio &b)
{
    o.hold(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(b.pagina->tabella, b.pagina->chiave),
           {b.chiave});
}
void sostituisci(OtherOffice &o, const Bersaglio &b)
{
    cancella(o, b);
    inserisci(o, b);
}

struct CasoTesto;

// What the office is told while the action runs.
QStringList detti(const std::function<void()> &azione)
{
    DialogSeam::clearShown();
    azione();
    return DialogSeam::shownTexts();
}

// The class window of 5A open on its votes; the last pupil has no vote yet (the empty cells).
class ClassSession : public GradeWindows
{
public:
    using GradeWindows::db;
    using GradeWindows::digita;

    void SetUp() override
    {
        GradeWindows::SetUp();
        runSql("DELETE FROM TVot_Voti WHERE iSitId = (SELECT FIRST 1 S.iSitId FROM "
               "TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = "
               "39005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 ORDER BY S.iSitPosReg DESC)");
        window = apri(k5A);
        ASSERT_NE(window, nullptr);
        usa(kVoti);
        DialogSeam::clearShown();
    }

    void casoPagina(const Caso &c);
    void casoDato(const CasoTesto &c);

    // The page the case works on.
    void usa(const Pagina &p)
    {
        pagina = &p;
        const QString caption = QString::fromUtf8(p.caption);
        if (!window->MostraPagina(caption) && p.abilita) {
            // A page the demo's class session hides is shown once its flag is set.
            runSql(QStringLiteral("UPDATE TClsSes SET %1 = 1 WHERE iClsSesId = ?").arg(p.abilita),
                   {k5A});
            ASSERT_TRUE(chiudi(window));
            window = apri(k5A);
            ASSERT_NE(window, nullptr);
        }
        ASSERT_TRUE(window->MostraPagina(caption));
        frame = qobject_cast<TfrqevCarVot *>(window->FrameDi(p.kind));
        ASSERT_NE(frame, nullptr);
        grid = frame->grGrid;
        valori.clear();
        for (const char *v : p.valori) {
            if (v)
                valori << QString::fromUtf8(v);
        }
        for (int c = grid->nColIntest(); valori.isEmpty() && c < grid->ColCount(); ++c) {
            auto cmp = grid->RecordAt<TRecCmp>(c, 1);
            for (const TqevLivello &l :
                 cmp ? frame->Store().Livelli(cmp->iCmpScaId) : QList<TqevLivello>()) {
                if (frame->Store().Livello(cmp->iCmpScaId, l.sValSDesc) && valori.size() < 3)
                    valori << l.sValSDesc;
            }
            if (valori.size() < 3)
                valori.clear();
        }
        ASSERT_EQ(valori.size(), 3);
        if (!celle(true).isEmpty())
            return;
        // A page of 5A with no stored value gets two, at its third value.
        const QList<QPoint> vuote = celle(false);
        for (int i = 0; i < 2 && i < vuote.size(); ++i) {
            const Bersaglio b = bersaglio(vuote.at(i));
            auto cmp = grid->RecordAt<TRecCmp>(b.pos.x(), 1);
            runSql(QStringLiteral("INSERT INTO %1 (%2, %3, iSitId, %4) VALUES (?, ?, ?, ?)")
                       .arg(p.tabella, p.chiave, p.cella, p.colonna),
                   {990101 + i, b.iCella, b.cella.iSitId, valore(cmp.get(), valori[2])});
        }
        frame->Carica();
    }

    void TearDown() override
    {
        setLockWaitTimeout(previousTimeout);
        GradeWindows::TearDown();
    }

    // The cells, column by column, of the columns that take the page's values (a scale with
    // them): open and stored, or open and empty.
    QList<QPoint> celle(bool stored) const
    {
        QList<QPoint> found;
        for (int c = grid->nColIntest(); c < grid->ColCount(); ++c) {
            auto cmp = grid->RecordAt<TRecCmp>(c, 1);
            const bool livelli = frame->Store().PerComponente();
            if (livelli && (!cmp || !frame->Store().Livello(cmp->iCmpScaId, valori[0]) ||
                            !frame->Store().Livello(cmp->iCmpScaId, valori[2])))
                continue;
            for (int r = grid->nRowIntest(); r < grid->RowCount(); ++r) {
                auto rec = grid->RecordAt<TRecVal>(c, r);
                if (rec && !rec->bBloccato && (rec->iPKId != 0) == stored)
                    found << QPoint(c, r);
            }
        }
        return found;
    }

    Bersaglio bersaglio(QPoint pos) const
    {
        Bersaglio b;
        b.pagina = pagina;
        b.pos = pos;
        auto rec = grid->RecordAt<TRecVal>(pos.x(), pos.y());
        auto mat = grid->RecordAt<TRecMat>(pos.x(), 0);
        const bool livelli = frame->Store().PerComponente();
        auto cmp = livelli ? grid->RecordAt<TRecCmp>(pos.x(), 1) : nullptr;
        b.cella = {grid->RecordAt<TRecAna>(0, pos.y())->iSitId, mat->iClsSesMatId,
                   cmp ? cmp->iCmpScaId : 0};
        b.iCella = livelli ? scalar("SELECT iClsMatCmpId FROM TClsMatCmp WHERE iClsSesMatId = ? "
                                    "AND iCmpScaId = ?",
                                    {mat->iClsSesMatId, cmp->iCmpScaId})
                                 .toInt()
                           : mat->iClsSesMatId;
        b.chiave = rec->iPKId;
        b.originale = grid->Cells(pos.x(), pos.y());
        QStringList altri = valori;
        altri.removeAll(b.originale);
        b.mio = altri.at(0);
        b.suo = altri.at(1);
        b.valoreSuo = valore(cmp.get(), b.suo);
        return b;
    }

    // What the table stores for a value the page shows: a level's key, an aid's text, hours.
    QVariant valore(const TRecCmp *cmp, const QString &text) const
    {
        if (cmp && frame->Store().PerComponente())
            return frame->Store().Livello(cmp->iCmpScaId, text)->iValId;
        return pagina->kind == tdAiuti ? QVariant(text) : QVariant(text.toInt());
    }

    // Types the text into the cell and presses Enter; an empty text empties it.
    void scrivi(QPoint cell, const QString &text)
    {
        if (!text.isEmpty()) {
            digita(grid, cell, text);
            return;
        }
        ASSERT_TRUE(grid->MoveCursor(cell.x(), cell.y()));
        QTest::keyClick(grid, Qt::Key_F2);
        for (qsizetype i = grid->Cells(cell.x(), cell.y()).size(); i > 0; --i)
            QTest::keyClick(grid, Qt::Key_Backspace);
        QTest::keyClick(grid, Qt::Key_Return);
    }

    // "Salva griglia" of the page (the votes' when none), Yes to its question, the answers
    // given to what follows: what the office was told after the question.
    QStringList salva(const QList<int> &risposte = {}, TfrqevCarBs *page = nullptr)
    {
        DialogSeam::queueAnswer(int(mrYes));
        for (int risposta : risposte)
            DialogSeam::queueAnswer(risposta);
        return detti([&] { (page ? page : frame)->aSave->trigger(); }).mid(1);
    }

    // Closes the window with "Salva" in the save dialog: whether it closed, and what the office
    // was told after the dialog.
    bool chiudiSalvando(QStringList *detto)
    {
        DialogSeam::clearShown();
        DialogSeam::queueAnswer(int(mrOk));
        const bool closed = chiudi(window);
        *detto = DialogSeam::shownTexts().mid(1);
        return closed;
    }

    // What the other office saves at once, on a connection of its own.
    void altrove(const QString &sql, const QVariantList &values = {})
    {
        OtherOffice(db.database).save(sql, values);
    }

    // The values of 5A's page as a new connection reads them: the shared one may be the lost one.
    QHash<Cella, QString> votiDi5A()
    {
        return memorizzati(pagina->kind, k5A, db.database.connect());
    }

    const Pagina *pagina = &kVoti;
    QStringList valori; // the page's three values
    TfmqevCarCls *window = nullptr;
    TfrqevCarVot *frame = nullptr;
    TqelStringGrid *grid = nullptr;
    int previousTimeout = lockWaitTimeout();
};

const char kInsieme[] = "Un'altra postazione ha salvato lo stesso dato nello stesso momento";
const char kCancellato[] = "cancellato da un'altra postazione";
const char kSostituito[] = "sostituito da un'altra postazione";
const char kModificato[] = "modificato da un'altra postazione";
const char kInserito[] = "inserito da un'altra postazione";
const char kCambiate[] = "cambiate da un'altra postazione";
const char kBloccati[] = "Salvataggio annullato: i dati sono bloccati";
const QString kAltriSalvati = QStringLiteral("Gli altri dati della griglia sono stati salvati.");

// What the office is told of another office's change: one message, the failure and the reason,
// none of the engine's English.
void detto(const QStringList &told, const char *perche)
{
    ASSERT_EQ(told.size(), 1) << told.join('|').toStdString();
    EXPECT_TRUE(told.first().startsWith(kFallito)) << told.first().toStdString();
    EXPECT_TRUE(told.first().contains(QString::fromUtf8(perche))) << told.first().toStdString();
    for (const char *engine : {"deadlock", "conflict", "violation", "cancelled"})
        EXPECT_FALSE(told.first().contains(engine)) << told.first().toStdString();
}

// A cell of a page of votes, proposals, taxonomies, absences or aids, as the case has both
// offices change it: the last save wins, and nothing is lost unsaid.
void ClassSession::casoPagina(const Caso &c)
{
    usa(*c.pagina);
    const QList<QPoint> candidates = celle(c.altro != inserisci);
    ASSERT_FALSE(candidates.isEmpty());
    const Bersaglio b = bersaglio(candidates.first());
    // Another cell this office changes in the same save, which the other office leaves alone.
    const Bersaglio altra = bersaglio(celle(true).constLast());
    ASSERT_NE(altra.pos, b.pos);
    const QString typed = c.svuota ? QString() : b.mio;
    auto testo = [&b, &typed](Valore v) {
        const QString texts[] = {b.originale, typed, b.suo, QString()};
        return texts[v];
    };
    setLockWaitTimeout(c.lockWaitMs);
    OtherOffice other(db.database);
    auto altro = [&] {
        c.altro(other, b);
        if (c.fine == 0)
            other.commit();
        else if (c.fine > 0)
            other.commitAfter(c.fine);
        else
            other.rollbackAfter(-c.fine);
    };
    if (c.altroPrima)
        altro();
    scrivi(b.pos, typed);
    scrivi(altra.pos, altra.mio);
    ASSERT_TRUE(grid->Modificato());
    if (!c.altroPrima)
        altro();

    for (int i = 0; i < (c.messaggio ? 2 : 1); ++i) {
        SCOPED_TRACE(QStringLiteral("save %1").arg(i + 1).toStdString());
        const char *messaggio = i == 0 ? c.messaggio : nullptr;
        QElapsedTimer clock;
        clock.start();
        QStringList told = salva(i == 0 ? c.risposte : QList<int>{});
        if (i == 0) {
            // No wait outlasts the other office's save unasked.
            EXPECT_LT(clock.elapsed(), 3000);
            other.rollback(); // what it still keeps open ends unsaved
            other.finish();
            const qsizetype questions = told.size();
            told.removeIf([](const QString &t) { return t.endsWith("Attendere ancora?"); });
            EXPECT_EQ(questions - told.size(), c.risposte.size());
        }
        if (messaggio)
            ASSERT_NO_FATAL_FAILURE(detto(told, messaggio));
        else
            EXPECT_EQ(told, QStringList());
        const QHash<Cella, QString> dopo = votiDi5A();
        EXPECT_EQ(dopo.value(b.cella), testo(i == 0 ? c.dopo : Mio));
        // The other cell is saved beside the one told, and the message says so; a save stopped
        // whole writes neither.
        const bool annullata = messaggio == kBloccati;
        EXPECT_TRUE(!messaggio || told.first().contains(kAltriSalvati) != annullata)
            << told.join('|').toStdString();
        EXPECT_EQ(dopo.value(altra.cella), annullata ? altra.originale : altra.mio);
        // What was typed is still in the cell, and the grid modified while it differs from the
        // database (not when both offices emptied the cell).
        EXPECT_EQ(grid->Cells(b.pos.x(), b.pos.y()), typed);
        EXPECT_EQ(grid->Modificato(),
                  dopo.value(b.cella) != typed || dopo.value(altra.cella) != altra.mio);
        EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    }
}

// The office's answers to "Attendere ancora?": it waits once more; then it stops waiting.
const QList<int> kAttendi{mrYes};
const QList<int> kAttendiPoiBasta{mrYes, mrNo};

const Caso kCasi[] = {
    // The other office's save ended before this one began.
    {"OtherChangedTheValueFirst", aggiorna, false, 0, kModificato, Suo},
    {"OtherChangedBeforeThisTyped", aggiorna, false, 0, kModificato, Suo, true},
    {"OtherEnteredANewValueFirst", inserisci, false, 0, kInserito, Suo},
    {"OtherDeletedTheValueFirst", cancella, false, 0, kCancellato, Nessuno},
    {"ThisEmptiesWhatTheOtherChanged", aggiorna, true, 0, kModificato, Suo},
    {"BothDeleteTheValue", cancella, true, 0, kCancellato, Nessuno},
    // Replaced by a new row (as the transfer of proposed votes does): emptying the cell is told,
    // and saving again deletes the new row.
    {"ThisEmptiesWhatTheOtherReplaced", sostituisci, true, 0, kSostituito, Suo},
    // The other office's save ends while this one waits for its rows.
    {"OtherChangeEndsWhileWaiting", aggiorna, false, 500, kInsieme, Suo},
    {"OtherNewValueEndsWhileWaiting", inserisci, false, 500, kInsieme, Suo},
    {"OtherDeletionEndsWhileWaiting", cancella, false, 500, kInsieme, Nessuno},
    {"OtherChangeEndsWhileThisEmpties", aggiorna, true, 500, kInsieme, Suo},
    {"OtherChangeUndoneWhileWaiting", aggiorna, false, -500, nullptr, Mio},
    // Another program keeps the row: the office is asked, and may stop waiting. It lets go after
    // the test's own way out, should the save wait unasked; or between the first wait's end and
    // the second's.
    {"OtherProgramKeepsTheRowUserStops", aggiorna, false, -5000, kBloccati, Originale, false, 400,
     kAttendiPoiBasta},
    {"OtherProgramLetsGoWhileTheUserWaits", aggiorna, false, -1500, nullptr, Mio, false, 1000,
     kAttendi},
};

// One datum of a pupil (a note, a judgment, a final outcome, a debt's type, a credit) that this
// office rewrites, redates or empties while the other office changes, deletes or replaces it (a
// new row for the same cell, as the class judgments do); a note cell empty when the window
// opened that both offices fill; a credit's school list that this office ticks after the other
// office cleared another of its kinds.
enum Mia { Scrive, Data, Svuota, Spunta, SpuntaFormativi };
enum Altro {
    Cambia,
    Cancella,
    Sostituisce,
    Inserisce,       // another program of the suite, before this office saves
    InserisceInsieme // another program, holding its note uncommitted while this office saves
};

struct CasoTesto
{
    const char *name;
    int kind;
    Mia mia;
    Altro altro;
    const char *messaggio;  // what the first save tells (nullptr: nothing, the save went through)
    const char *dopo;       // the value stored after it (nullptr: none)
    int tiene = 300;        // milliseconds the other program holds its note into this office's save
    bool perAlunno = false; // in the pupil window opened from the class window's page
    // What the other office changes, when not the datum's value: a column and its value.
    const char *colonnaSua = nullptr;
    const char *valoreSuo = nullptr;
};

// A kind's datum as the other office writes it, this office's value and the other's, and the
// write this office's save runs.
struct Dato
{
    int kind;
    const char *pagina; // of the class window
    const char *tabella;
    const char *chiave;  // the row's key column (a situation's own, for the outcome)
    const char *colonna; // the value
    const char *filtro;  // the pupil's stored values beside his situation, bound to the subject
    const char *letto;   // what the window reads, set by situation and subject (nullptr: none)
    const char *mio;
    const char *suo;
    const char *store;  // the file whose write this office's save runs
    const char *svuota; // what emptying the datum runs: "DELETE", or "UPDATE" of a row that stays
    const char *via = "TqevTabella";
};
const Dato kDati[] = {
    {tdNote, "Note", "TNot_Note", "iNotId", "bNotNota", "iClsSesMatId = ?",
     "INSERT INTO TNot_Note (iNotId, iSitId, iClsSesMatId, bNotNota) VALUES (990002, ?, ?, "
     "'Nota letta')",
     "Scritto in questa postazione", "Suo", "gradeentry/qevnotstore.cpp", "DELETE"},
    {tdGiudizio, "Giudizio", "TGdz_Giudizi", "iGdzId", "bGdzGiudizio",
     "iAnsSesDwgId = 392 AND 0 = ?", nullptr, "Scritto in questa postazione", "Suo",
     "gradeentry/qevfinalestore.cpp", "DELETE"},
    {tdEsito, "Esito finale", "TSit_Situazioni", "iSitId", "iPosFinId",
     "iPosFinId IS NOT NULL AND 0 = ?",
     "UPDATE TSit_Situazioni SET iPosFinId = 5 WHERE iSitId = ? AND 0 = ?", "1", "2",
     "gradeentry/qevfinalestore.cpp", "UPDATE", "statement"},
    {tdDebiti, "Debiti", "TDeb_Debiti", "iDebId", "iDtpDtdId", "iMatId = ?",
     "UPDATE OR INSERT INTO TDeb_Debiti (iDebId, iSitId, iMatId, iDtpDtdId) VALUES (990002, ?, "
     "?, 2) MATCHING (iSitId, iMatId)",
     "1", "3", "gradeentry/qevdebstore.cpp", "DELETE"},
    {tdCrediti, "Crediti", "TCre_Crediti", "iCreId", "iCreCredito",
     "iCreCredito IS NOT NULL AND 0 = ?",
     "UPDATE TCre_Crediti SET iCreCredito = 7 WHERE iSitId = ? AND 0 = ?", "5", "9",
     "gradeentry/qevcrestore.cpp", "UPDATE"},
};

const Dato &datoDi(int kind)
{
    return *std::find_if(std::begin(kDati), std::end(kDati),
                         [kind](const Dato &d) { return d.kind == kind; });
}

// The first column of the rows the query answers, a text blob as its text.
QStringList letti(const QString &sql, const QVariantList &values)
{
    QSqlQuery q = runSql(sql, values);
    QStringList texts;
    while (q.next()) {
        const QVariant v = q.value(0);
        texts << (v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray())
                                                      : v.toString());
    }
    return texts;
}

// The stored values of the pupil's datum: his notes in the subject, his judgments, his
// outcome, his debts' types in the subject, his credit in the year.
QStringList testi(const Dato &d, int iSitId, int materia)
{
    return letti(QStringLiteral("SELECT %1 FROM %2 WHERE iSitId = ? AND %3")
                     .arg(d.colonna, d.tabella, d.filtro),
                 {iSitId, materia});
}

// The column of the datum in the class window's grid.
int colonnaDi(int kind, const TqelStringGrid *g)
{
    if (kind == tdNote)
        return 2;
    if (kind == tdCrediti)
        return g->ColCount() - 1;
    for (int c = 1; kind == tdDebiti && c < g->ColCount(); ++c) {
        auto mat = g->RecordAt<TRecMat>(c, 0);
        if (mat && mat->iClsSesMatId == kMat)
            return c;
    }
    return 1;
}

// One datum of a pupil, as the case has both offices change it: the last save wins part by
// part, and what the other office did is told.
void ClassSession::casoDato(const CasoTesto &c)
{
    const Dato &d = datoDi(c.kind);
    const bool note = c.kind == tdNote;
    const bool testo = note || c.kind == tdGiudizio;
    ASSERT_TRUE(window->MostraPagina(QString::fromUtf8(d.pagina)));
    TfrqevCarBs *page = window->FrameDi(c.kind);
    auto *notes = qobject_cast<TfrqevCarNot *>(page);
    auto *crediti = qobject_cast<TfrqevCarCre *>(page);
    TqelStringGrid *g = page->grGrid;
    int col = colonnaDi(c.kind, g);
    int row = 3;
    const int sit = g->RecordAt<TRecAna>(0, row)->iSitId;
    const int materia = note                 ? g->RecordAt<TRecMat>(col, 0)->iClsSesMatId
                        : c.kind == tdDebiti ? kMat
                                             : 0;
    const bool vuota = c.altro >= Inserisce;
    if (d.letto && !vuota)
        runSql(QString::fromLatin1(d.letto), {sit, materia});
    page->Carica();
    const int key = note                   ? g->RecordAt<TRecNot>(col, row)->iNotId
                    : c.kind == tdGiudizio ? g->RecordAt<TRecGdz>(col, row)->iGdzId
                    : c.kind == tdDebiti
                        ? static_cast<TfrqevCarDeb *>(page)->DebitoDi(col, row)->iDebId
                    : crediti ? crediti->RecordDi(col, row)->iCreId
                              : sit;
    ASSERT_EQ(key != 0, !vuota);

    // The pupil window opened on the row: the outcome's drop-down, the debts' type column.
    TfmqevCarSng *pupil = nullptr;
    if (c.perAlunno) {
        ASSERT_TRUE(g->MoveCursor(col, row));
        page->aSingolo->trigger();
        pupil = fmqevCarSng();
        ASSERT_NE(pupil, nullptr);
        ASSERT_TRUE(pupil->MostraPagina(c.kind == tdEsito ? QStringLiteral("Finale")
                                                          : QString::fromUtf8(d.pagina)));
        page = pupil->FrameDi(c.kind);
        g = page->grGrid;
        col = c.kind == tdEsito ? 0 : 4;
        for (row = c.kind == tdEsito ? 0 : 1; c.kind == tdDebiti && row < g->RowCount(); ++row) {
            if (g->RecordAt<TRecMat>(0, row)->iClsSesMatId == materia)
                break;
        }
        ASSERT_LT(row, g->RowCount());
    }
    // What this office's grid holds.
    const auto scritto = [&]() -> QString {
        if (note)
            return g->RecordAt<TRecNot>(col, row)->bNotNota;
        if (!testo && c.kind != tdCrediti) {
            const int id = c.kind == tdEsito
                               ? g->RecordAt<TRecFin>(col, row)->iPosFinId
                               : static_cast<TfrqevCarDeb *>(page)->DebitoDi(col, row)->iDtpDtdId;
            return id ? QString::number(id) : QString();
        }
        return testo ? g->RecordAt<TRecGdz>(col, row)->bGdzGiudizio : g->Cells(col, row);
    };
    const QString mio = QString::fromUtf8(d.mio);

    // A credit's check list: the school kinds, or the training kinds.
    const bool spunta = c.mia == Spunta || c.mia == SpuntaFormativi;
    TfrqevCreLista *elenco = !crediti                   ? nullptr
                             : c.mia == SpuntaFormativi ? crediti->frqevCreFrm
                                                        : crediti->frqevCreSco;
    const QString segni = c.mia == SpuntaFormativi ? "TCreFrm" : "TCreSco";
    const QString segno = c.mia == SpuntaFormativi ? "iCreFrmId" : "iCreScoId";
    const QString tipo = c.mia == SpuntaFormativi ? "iFrmId" : "iScoId";
    QListWidget *lista = elenco ? elenco->clbLista : nullptr;
    const auto tipoDi = [&lista](int i) { return lista->item(i)->data(Qt::UserRole).toInt(); };
    if (spunta) {
        // The list shows the credit's first kind ticked.
        ASSERT_TRUE(g->MoveCursor(col, row));
        elenco->CaricaLista();
        ASSERT_GE(lista->count(), 2);
        runSql(QStringLiteral("DELETE FROM %1 WHERE iCreId = ?").arg(segni), {key});
        runSql(QStringLiteral("INSERT INTO %1 (%2, iCreId, %3) VALUES (990004, ?, ?)")
                   .arg(segni, segno, tipo),
               {key, tipoDi(0)});
        elenco->CaricaLista();
        ASSERT_EQ(lista->item(0)->checkState(), Qt::Checked);
    } else if (c.mia == Svuota) {
        ASSERT_TRUE(g->MoveCursor(col, row));
        if (c.kind == tdEsito || c.kind == tdCrediti) {
            QTest::keyClick(g, c.kind == tdEsito ? Qt::Key_Backspace : Qt::Key_Delete);
            QTest::keyClick(g, Qt::Key_Return);
        } else {
            DialogSeam::queueAnswer(int(mrYes));
            (note                 ? notes->aDel
             : c.kind == tdDebiti ? static_cast<TfrqevCarDeb *>(page)->aDel
                                  : static_cast<TfrqevCarGdz *>(page)->tbCancella)
                ->trigger();
        }
    } else if (c.mia == Data) {
        notes->aDataNota->trigger();
        scegli(page, col, row,
               [](TfmqevSelItem *p) { p->mcData->setSelectedDate(QDate(2009, 6, 10)); });
    } else if (c.kind == tdCrediti) {
        digita(g, QPoint(col, row), mio);
    } else if (pupil && c.kind == tdEsito) {
        auto *esito = static_cast<TfrqevCarFin *>(page)->cbEsito;
        esito->setCurrentIndex(esito->findData(mio.toInt()));
        emit esito->activated(esito->currentIndex());
    } else if (!testo) {
        scegli(page, col, row, [&mio](TfmqevSelItem *p) { p->SelezionaItem(mio.toInt()); });
    } else {
        if (note)
            notes->aNota->trigger();
        scegli(page, col, row, GradeWindows::testo(mio));
    }
    ASSERT_TRUE(spunta || g->Modificato());
    OtherOffice other(db.database);
    if (spunta)
        other.hold(QStringLiteral("INSERT INTO %1 (%2, iCreId, %3) VALUES (990005, ?, ?)")
                       .arg(segni, segno, tipo),
                   {key, tipoDi(1)});
    else if (c.altro == Cambia)
        other.hold(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                       .arg(d.tabella, QString::fromLatin1(c.colonnaSua ? c.colonnaSua : d.colonna),
                            d.chiave),
                   {QString::fromUtf8(c.valoreSuo ? c.valoreSuo : d.suo), key});
    else if (!vuota)
        other.hold(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(d.tabella, d.chiave), {key});
    if ((c.altro == Sostituisce || vuota) && note)
        other.hold("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, bNotNota) VALUES "
                   "(990003, ?, ?, 'Suo')",
                   {materia, sit});
    else if (c.altro == Sostituisce)
        other.hold("INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, bGdzGiudizio) "
                   "VALUES (990003, ?, 392, 'Suo')",
                   {sit});
    if (c.altro == InserisceInsieme) {
        other.commitAfter(c.tiene);
    } else {
        other.commit();
        other.finish();
    }

    if (spunta) {
        // The first kind, cleared here, is removed at once; the second, ticked there, shows as
        // stored, and the office is told.
        lista->setFocus();
        lista->setCurrentRow(0);
        const QStringList told = detti([lista] { QTest::keyClick(lista, Qt::Key_Space); });
        ASSERT_EQ(told.size(), 1) << told.join('|').toStdString();
        EXPECT_FALSE(told.first().startsWith(kFallito));
        EXPECT_TRUE(told.first().contains(QString::fromUtf8(c.messaggio)))
            << told.first().toStdString();
        EXPECT_TRUE(told.first().contains(lista->item(1)->text())) << told.first().toStdString();
        EXPECT_EQ(
            letti(QStringLiteral("SELECT %1 FROM %2 WHERE iCreId = ?").arg(tipo, segni), {key}),
            QStringList{QString::number(tipoDi(1))});
        EXPECT_EQ(lista->item(0)->checkState(), Qt::Unchecked);
        EXPECT_EQ(lista->item(1)->checkState(), Qt::Checked);
        EXPECT_FALSE(elenco->bModificata);
        return;
    }

    QStringList told = salva({}, page);
    other.finish();
    if (c.messaggio) {
        ASSERT_NO_FATAL_FAILURE(detto(told, c.messaggio));
        // One datum saved, none beside it.
        EXPECT_FALSE(told.first().contains(kAltriSalvati)) << told.first().toStdString();
        EXPECT_TRUE(g->Modificato());
        EXPECT_EQ(testi(d, sit, materia), c.dopo ? QStringList{c.dopo} : QStringList());
        // What this office typed stays in the cell, to be saved again.
        EXPECT_EQ(c.mia == Scrive ? scritto() : mio, mio);
        told = salva({}, page);
    }
    EXPECT_EQ(told, QStringList());
    // The last save wins part by part: a date written here leaves the other office's text.
    EXPECT_EQ(testi(d, sit, materia), c.mia == Scrive ? QStringList{mio}
                                      : c.mia == Data ? QStringList{d.suo}
                                                      : QStringList());
    EXPECT_EQ(c.mia == Scrive ? scritto() : mio, mio);
    EXPECT_FALSE(g->Modificato());
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    EXPECT_TRUE(!pupil || chiudi(pupil));
}

const CasoTesto kCasiTesto[] = {
    {"NoteChangedByTheOther", tdNote, Scrive, Cambia, kModificato, "Suo"},
    {"NoteDeletedByTheOther", tdNote, Scrive, Cancella, kCancellato, nullptr},
    {"JudgmentChangedByTheOther", tdGiudizio, Scrive, Cambia, kModificato, "Suo"},
    {"JudgmentDeletedByTheOther", tdGiudizio, Scrive, Cancella, kCancellato, nullptr},
    // The date is one cell, the text another: the other office's text stays.
    {"NoteRedatedHereRewrittenThere", tdNote, Data, Cambia, nullptr, nullptr},
    // The row emptied here was replaced there: deleting by the old key would leave the new one.
    {"NoteReplacedThereEmptiedHere", tdNote, Svuota, Sostituisce, kSostituito, "Suo"},
    {"JudgmentReplacedThereEmptiedHere", tdGiudizio, Svuota, Sostituisce, kSostituito, "Suo"},
    // An empty note filled by both: one note is stored, and saving again writes over the other's.
    {"EmptyNoteFilledFirstByAnotherProgram", tdNote, Scrive, Inserisce, kInserito, "Suo"},
    // Whatever program holds it, however long: one note, told.
    {"EmptyNoteHeld50msByAnother", tdNote, Scrive, InserisceInsieme, kInserito, "Suo", 50},
    {"EmptyNoteHeld2sByAnother", tdNote, Scrive, InserisceInsieme, kInserito, "Suo", 2000},
    // The final outcome chosen or emptied here, in the class grid or the pupil's drop-down,
    // after the other office set another.
    {"OutcomeChosenHereSetThere", tdEsito, Scrive, Cambia, kModificato, "2"},
    {"OutcomeEmptiedHereSetThere", tdEsito, Svuota, Cambia, kModificato, "2"},
    {"OutcomePerPupilSetThere", tdEsito, Scrive, Cambia, kModificato, "2", 300, true},
    // A debt's type chosen here, per class and per pupil, or the debt deleted here ("Cancella"),
    // after the other office changed its type.
    {"DebtTypeChosenHereChangedThere", tdDebiti, Scrive, Cambia, kModificato, "3"},
    {"DebtTypePerPupilSetThere", tdDebiti, Scrive, Cambia, kModificato, "3", 300, true},
    {"DebtDeletedHereChangedThere", tdDebiti, Svuota, Cambia, kModificato, "3"},
    // A credit typed or emptied here after the other office changed it.
    {"CreditTypedHereChangedThere", tdCrediti, Scrive, Cambia, kModificato, "9"},
    {"CreditEmptiedHereChangedThere", tdCrediti, Svuota, Cambia, kModificato, "9"},
    // A check list's first kind cleared here, its second ticked there.
    {"SchoolListClearedHereTickedThere", tdCrediti, Spunta, Cambia, kCambiate, nullptr},
    {"TrainingListClearedHereTickedThere", tdCrediti, SpuntaFormativi, Cambia, kCambiate, nullptr},
    // A debt deleted here ("Cancella") after the other office wrote a note to it: every column
    // is compared, not only those the deletion empties.
    {"DebtDeletedHereNoteAddedThere", tdDebiti, Svuota, Cambia, kModificato, "2", 300, false,
     "bDebNota", "Nota dell'altra postazione"},
};

// ---------------------------------------------------------------------------------------------
// The make-up windows and the judgment templates, as the other office changes what they read:
// a case for each write, beside the write it drives.

EvaluationWrite scrittura(const char *file, const char *kind, const QString &table,
                          const char *via = "TqevTabella")
{
    return {QString::fromLatin1(file), QString::fromLatin1(kind), table.toUpper(),
            QString::fromLatin1(via)};
}

// The demo's make-up types beside Bianchi's (2), each of its key as weight: "Corso di recupero"
// and "Sportello didattico".
constexpr int kCorso = 1;
constexpr int kSportello = 3;

// "Recuperi" on the class session the class window chose, its cursor on a pupil's subject.
struct Recuperi
{
    Recuperi(int iSitId, int iMatId) : window(std::make_unique<TfmQelRec>())
    {
        window->show();
        const QPoint p = recuperiCell(celle(), iSitId, iMatId);
        celle()->MoveCursor(p.x(), p.y());
    }
    TVxStringGrid *celle() const { return window->frQelGrigliaRec1()->dbgRec(); }
    TfrQelDettRec *panel() const { return window->frQelDettRec1(); }
    // A type's weight typed on the cell, the answer to the question queued first: what the
    // office was told.
    QStringList digita(int weight, int risposta = mrYes) const
    {
        DialogSeam::queueAnswer(risposta);
        return detti(
            [&] { QTest::keyClick(celle(), Qt::Key(Qt::Key_0 + weight), Qt::KeypadModifier); });
    }
    QStringList cancella() const
    {
        return detti([this] { window->tbDelete()->trigger(); });
    }
    std::unique_ptr<TfmQelRec> window;
};

// The outcomes of a pupil's make-up records in a subject, by record.
QList<QVariant> esitiDi(int iSitId, int iMatId)
{
    QList<QVariant> e;
    for (const StoredRecord &r : recordsOf(iSitId, iMatId))
        e << r.iEreId;
    return e;
}

// A judgment template whose text the other office rewrote: this office's edit of the text, or
// its deletion, is told and the other's text kept; doing it again writes.
void modello(ClassSession &t, bool elimina)
{
    const int id = scalar("SELECT MIN(iGdtId) FROM TGdt_GdzTemplate").toInt();
    const auto testo = [id] {
        return QString::fromUtf8(
            scalar("SELECT bGdtGiudizio FROM TGdt_GdzTemplate WHERE iGdtId = ?", {id})
                .toByteArray());
    };
    TfmQelGiudizi w;
    TfrQelGiudizi *frame = w.frame();
    ASSERT_TRUE(frame->xqcGiudizi()->Locate(QStringLiteral("iGdtId"), id));
    frame->SetCurrentSourceRow(frame->xqcGiudizi()->RecNo());
    ASSERT_TRUE(elimina || frame->EditCurrent());
    t.altrove("UPDATE TGdt_GdzTemplate SET bGdtGiudizio = 'Riscritto altrove' WHERE iGdtId = ?",
              {id});
    const auto fai = [&] {
        DialogSeam::clearShown();
        if (!elimina) {
            frame->VxDBMemo1()->setPlainText(QStringLiteral("Scritto qui"));
            return frame->PostChanges();
        }
        DialogSeam::queueAnswer(int(mrYes));
        return frame->DeleteCurrent();
    };
    EXPECT_FALSE(fai());
    const QStringList told = DialogSeam::shownTexts().mid(elimina ? 1 : 0);
    ASSERT_EQ(told.size(), 1) << told.join('|').toStdString();
    EXPECT_TRUE(told.first().contains(kModificato)) << told.first().toStdString();
    EXPECT_EQ(testo(), QStringLiteral("Riscritto altrove"));
    EXPECT_TRUE(fai()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(testo(), elimina ? QString() : QStringLiteral("Scritto qui"));
}

// A duplicate make-up record chosen for deletion, which the other office changes (the columns
// set) after the list was read.
void doppioCambiato(ClassSession &t, const char *set)
{
    addRecord(990003, kBianchi, kIta, {});
    TdmQelControllaRecuperi module;
    ASSERT_TRUE(module.CaricaRecuperiDoppi());
    t.altrove(QStringLiteral("UPDATE TRec_Recuperi SET %1 WHERE iRecId = 990003")
                  .arg(QLatin1String(set)));
    EXPECT_FALSE(module.CancellaRecuperi({QStringLiteral("990003")}));
    const QString error = module.LastError();
    EXPECT_TRUE(error.contains(kModificato) && error.startsWith("Bianchi Antonio"))
        << error.toStdString();
    EXPECT_EQ(recordsOf(kBianchi, kIta).size(), 2);
    ASSERT_TRUE(module.CaricaRecuperiDoppi());
    EXPECT_TRUE(module.CancellaRecuperi({QStringLiteral("990003")}))
        << module.LastError().toStdString();
    EXPECT_EQ(recordsOf(kBianchi, kIta).size(), 1);
}

struct CasoScrittura
{
    const char *name;
    EvaluationWrite scrittura;
    void (*prova)(ClassSession &);
};
const EvaluationWrite kDoppioCancella =
    scrittura("makeup/qelcontrollarecuperi.cpp", "DELETE", "TRec_Recuperi", "statement");
const EvaluationWrite kRecuperiAggiorna =
    scrittura("makeup/qelmakeuprecords.cpp", "UPDATE", "TRec_Recuperi");
const CasoScrittura kCasiScrittura[] = {
    // This office gives the Latin record another type, after the other office recorded its
    // outcome and verification date: the question names the type alone, and the outcome and
    // date stay the other office's.
    {"MakeupTypeChangedHereOutcomeSetThere", kRecuperiAggiorna,
     [](ClassSession &t) {
         Recuperi r(kBianchi, kLat);
         t.altrove(
             "UPDATE TRec_Recuperi SET iEreId = 2, dRecVer = '2009-07-20' WHERE iRecId = 295");
         EXPECT_EQ(r.digita(kCorso), QStringList{rewriting("Bianchi Antonio", "LAT",
                                                           "Tipo di recupero: Studio individuale "
                                                           "→ Corso di recupero")});
         EXPECT_EQ(recordsOf(kBianchi, kLat),
                   (QList<StoredRecord>{{295, kCorso, 2, QDate(2009, 6, 20), QDate(2009, 7, 20)}}));
     }},
    // The other office retypes the Italian record; this office, which read it before, types
    // another: told after the question, the other's type stays; typing again writes over it,
    // asking the question alone.
    {"MakeupTypeChangedInBothOffices", kRecuperiAggiorna,
     [](ClassSession &t) {
         Recuperi r(kBianchi, kIta);
         t.altrove("UPDATE TRec_Recuperi SET iTreId = ? WHERE iRecId = 294", {kSportello});
         QStringList told = r.digita(kCorso);
         ASSERT_EQ(told.size(), 2) << told.join('|').toStdString();
         detto(told.mid(1), kModificato);
         EXPECT_EQ(recordsOf(kBianchi, kIta).value(0).iTreId, QVariant(kSportello));
         told = r.digita(kCorso);
         EXPECT_EQ(told.size(), 1) << told.join('|').toStdString();
         EXPECT_EQ(recordsOf(kBianchi, kIta).value(0).iTreId, QVariant(kCorso));
     }},
    // Mathematics shows no record; the other office assigns one there. This office's type is
    // not stored with this panel's outcome and dates over it: told; typing again changes the
    // type alone.
    {"MakeupAssignedThereInACellShownEmpty", kRecuperiAggiorna,
     [](ClassSession &t) {
         Recuperi r(kBianchi, kMat);
         r.panel()->cboEsito()->setCurrentIndex(r.panel()->cboEsito()->findData(2));
         t.altrove("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, iAnsFreDwgId) "
                   "VALUES (990001, ?, ?, ?, ?)",
                   {kSportello, kMat, kBianchi, kPhase1});
         detto(r.digita(kCorso), kInserito);
         EXPECT_EQ(recordsOf(kBianchi, kMat),
                   (QList<StoredRecord>{{990001, kSportello, {}, {}, {}}}));
         EXPECT_EQ(r.digita(kCorso), QStringList{rewriting("Bianchi Antonio", "MAT",
                                                           "Tipo di recupero: Sportello "
                                                           "didattico → Corso di recupero")});
         EXPECT_EQ(recordsOf(kBianchi, kMat), (QList<StoredRecord>{{990001, kCorso, {}, {}, {}}}));
     }},
    // "Esiti recuperi" over a cell of two records: the other office gives the second an
    // outcome; this office's digit, which would write both, is told; typing again writes both.
    {"MakeupOutcomeOfADuplicatedCell", kRecuperiAggiorna,
     [](ClassSession &t) {
         addRecord(990002, kBianchi, kIta, {});
         TfmQelEsitiRecuperi w;
         w.show();
         w.dbgEsiti()->MoveCursor(w.ColOfSubject(kIta), w.RowOfPupil(kBianchi));
         t.altrove("UPDATE TRec_Recuperi SET iEreId = 2 WHERE iRecId = 990002");
         const auto digita = [&w] {
             return detti([&w] { QTest::keyClick(w.dbgEsiti(), Qt::Key_1, Qt::KeypadModifier); });
         };
         detto(digita(), kModificato);
         EXPECT_EQ(esitiDi(kBianchi, kIta), (QList<QVariant>{{}, 2}));
         EXPECT_EQ(digita(), QStringList());
         EXPECT_EQ(esitiDi(kBianchi, kIta), (QList<QVariant>{1, 1}));
     }},
    // "Cancella tutti gli esiti" after the other office changed Latin's: Latin is told and keeps
    // the other's, the rest is cleared, and the message says so.
    {"MakeupOutcomesClearedOneChangedThere", kRecuperiAggiorna,
     [](ClassSession &t) {
         runSql("UPDATE TRec_Recuperi SET iEreId = 1 WHERE iRecId = 294");
         TfmQelEsitiRecuperi w;
         w.show();
         t.altrove("UPDATE TRec_Recuperi SET iEreId = 2 WHERE iRecId = 295");
         const QStringList told = detti([&w] { w.tbDelAll()->trigger(); });
         detto(told, kModificato);
         EXPECT_TRUE(told.value(0).contains(kAltriSalvati));
         EXPECT_EQ(esitiDi(kBianchi, kLat), QList<QVariant>{2});
         EXPECT_EQ(esitiDi(kBianchi, kIta), QList<QVariant>{QVariant()});
     }},
    // "Cancella il recupero selezionato" after the other office gave the record an outcome:
    // told, kept; deleting again deletes it.
    {"MakeupDeletedHereOutcomeSetThere",
     scrittura("makeup/qelmakeuprecords.cpp", "DELETE", "TRec_Recuperi"),
     [](ClassSession &t) {
         Recuperi r(kBianchi, kLat);
         t.altrove("UPDATE TRec_Recuperi SET iEreId = 2 WHERE iRecId = 295");
         detto(r.cancella(), kModificato);
         EXPECT_EQ(esitiDi(kBianchi, kLat), QList<QVariant>{2});
         EXPECT_EQ(r.cancella(), QStringList());
         EXPECT_EQ(esitiDi(kBianchi, kLat), QList<QVariant>());
     }},
    // The correction of duplicate make-up records: a record chosen for deletion that the other
    // office gave an outcome, a verification date or a make-up test since the list was read is
    // not deleted, and the failure names it; run again on the list read anew, it is. Every
    // column is compared, as the other deletions do.
    {"DuplicateChosenForDeletionChangedThere", kDoppioCancella,
     [](ClassSession &t) { doppioCambiato(t, "iEreId = 2"); }},
    {"DuplicateChosenForDeletionVerifiedThere", kDoppioCancella,
     [](ClassSession &t) { doppioCambiato(t, "dRecVer = '2009-07-20'"); }},
    {"DuplicateChosenForDeletionTestSetThere", kDoppioCancella,
     [](ClassSession &t) { doppioCambiato(t, "iPvrId = 1"); }},
    {"TemplateRewrittenThereEditedHere",
     scrittura("makeup/qelfgiudizi.cpp", "UPDATE", "TGdt_GdzTemplate", "TVxQueryCollection"),
     [](ClassSession &t) { modello(t, false); }},
    {"TemplateRewrittenThereDeletedHere",
     scrittura("makeup/qelfgiudizi.cpp", "DELETE", "TGdt_GdzTemplate", "TVxQueryCollection"),
     [](ClassSession &t) { modello(t, true); }},
    // A credit typed within the band this window read, after the other office moved the row to
    // the next band (the credit kept, as "Credito minimo" does when the average rises): told,
    // the band and credit stored stay; saving again measures the typed credit against the
    // stored band and refuses it with the rule's reason.
    {"CreditTypedWithinAStaleBand",
     scrittura("gradeentry/qevcrestore.cpp", "UPDATE", "TCre_Crediti"),
     [](ClassSession &t) {
         ASSERT_TRUE(t.window->MostraPagina(QStringLiteral("Crediti")));
         auto *page = qobject_cast<TfrqevCarCre *>(t.window->FrameDi(tdCrediti));
         ASSERT_NE(page, nullptr);
         TqelStringGrid *g = page->grGrid;
         const int col = g->ColCount() - 1;
         const int row = 3;
         const int sit = page->RecordDi(col, row)->iSitId;
         const QList<TqevBanda> bande = TqevCreStore::BandeDellaSituazione(sit);
         const TqevBanda *prima = nullptr;
         const TqevBanda *dopo = nullptr;
         for (const TqevBanda &a : bande) {
             for (const TqevBanda &b : bande) {
                 if (!prima && a.iBndCreMin < b.iBndCreMin && b.iBndCreMin <= a.iBndCreMax &&
                     a.iBndCreMax <= b.iBndCreMax) {
                     prima = &a;
                     dopo = &b;
                 }
             }
         }
         ASSERT_NE(dopo, nullptr);
         runSql("UPDATE TCre_Crediti SET iBndId = ?, iCreCredito = ?, iCreOutBanda = NULL WHERE "
                "iSitId = ?",
                {prima->iBndId, prima->iBndCreMax, sit});
         page->Carica();
         t.altrove("UPDATE TCre_Crediti SET iBndId = ? WHERE iSitId = ?", {dopo->iBndId, sit});
         t.digita(g, QPoint(col, row), QString::number(prima->iBndCreMin));
         const auto stored = [sit] {
             QSqlQuery q =
                 runSql("SELECT iBndId, iCreCredito FROM TCre_Crediti WHERE iSitId = ?", {sit});
             return q.next() ? std::pair(q.value(0).toInt(), q.value(1).toInt()) : std::pair(0, 0);
         };
         for (const char *perche : {kModificato, "fuori dalla sua banda"}) {
             detto(t.salva({}, page), perche);
             EXPECT_EQ(stored(), std::pair(dopo->iBndId, prima->iBndCreMax));
         }
         EXPECT_EQ(g->Cells(col, row), QString::number(prima->iBndCreMin));
     }},
};

// ---------------------------------------------------------------------------------------------
// The commands that commit pupil by pupil over 5A ("Passaggio voti proposti a voti", the class
// judgments' three), stopped at a pupil by a row the other office holds (this office answering
// No to "Attendere ancora?") or by the database's refusal: the message names the pupils written
// and the one it stopped at, the tables hold exactly that, and running again completes it.

enum class Fermo { Attesa, Rifiuto };

struct Comando
{
    const char *name;
    EvaluationWrite scrittura;
    const char *interrotta; // the message's beginning, %1 the pupil it stopped at
    const char *fatti;      // %1 the pupils written
    const char *tabella;    // where the other office holds the pupil's row, and the refusal falls
    const char *rigaTenuta; // the row held, by the pupil's situation
    const char *rifiuta;    // which of the pupil's writes the database refuses
    int modo;               // the class judgments' mode; -1 the transfer
};

// The pupil's vote that his last proposal replaces: what comes before it in his step is
// written, and must be undone with it.
const char kUltimoProposto[] = "iSitId = ? AND iClsMatCmpId = (SELECT MAX(P.iClsMatCmpId) FROM "
                               "TVtp_Proposti P WHERE P.iSitId = TVot_Voti.iSitId)";
const Comando kTrasferimento{
    "Transfer",
    scrittura("gradeentry/qevpassavoti.cpp", "DELETE", "TVot_Voti", "statement"),
    "Passaggio interrotto a %1",
    "i voti di %1 sono già passati",
    "TVot_Voti",
    kUltimoProposto,
    "INSERTING AND NEW.iClsMatCmpId = (SELECT MAX(P.iClsMatCmpId) FROM "
    "TVtp_Proposti P WHERE P.iSitId = NEW.iSitId)",
    -1};
// A class judgments' command, which the other office stops at the pupil's judgment.
Comando giudizi(const char *name, const char *kind, const char *interrotta, const char *fatti,
                int modo)
{
    return {name,
            scrittura("makeup/qelclassjudgments.cpp", kind, "TGdz_Giudizi", "statement"),
            interrotta,
            fatti,
            "TGdz_Giudizi",
            "iSitId = ? AND iAnsSesDwgId = 392",
            "1 = 1",
            modo};
}
const Comando kComponi =
    giudizi("ComposeJudgments", "UPDATE", "Composizione dei giudizi interrotta a %1",
            "i giudizi di %1 sono già scritti", 0);
const Comando kCancella =
    giudizi("DeleteJudgments", "DELETE", "Cancellazione dei giudizi interrotta a %1",
            "i giudizi di %1 sono già cancellati", 1);
const Comando kCopiaNote =
    giudizi("CopyJudgmentsFromNotes", "UPDATE", "Copia dei giudizi dalle note interrotta a %1",
            "i giudizi di %1 sono già scritti", 2);

// The pupils the command walks, in its order: those with proposals (the first four of 5A get
// proposals that differ from their votes), or 5A's first situations of the year (each with a
// judgment that the command changes, and a conduct note).
QList<int> alunniDi(const Comando &c)
{
    const QString sql =
        c.modo < 0
            ? QStringLiteral("SELECT DISTINCT P.iSitId FROM TVtp_Proposti P JOIN TClsMatCmp K ON "
                             "K.iClsMatCmpId = P.iClsMatCmpId JOIN TClsSesMat S ON "
                             "S.iClsSesMatId = K.iClsSesMatId WHERE S.iClsSesId = ? ORDER BY 1")
            : QStringLiteral("SELECT S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                             "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39005 AND "
                             "S.iSitOrdine = 1 AND S.dStart = '2008-09-01' AND 0 < ? ORDER BY 1");
    QList<int> alunni;
    for (const QString &sit : letti(sql, {k5A}))
        alunni << sit.toInt();
    return alunni;
}

void preparaComando(const Comando &c)
{
    if (c.modo < 0) {
        runSql("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId) SELECT "
               "V.iVotId + 5000000, V.iClsMatCmpId, V.iSitId, 613 FROM TVot_Voti V JOIN TClsMatCmp "
               "K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON S.iClsSesMatId = "
               "K.iClsSesMatId WHERE S.iClsSesId = ? AND V.iSitId BETWEEN 955 AND 958 AND "
               "V.iScaLivId BETWEEN 101 AND 109",
               {k5A});
        return;
    }
    // A conduct note for every pupil of 5A (1329: its conduct subject).
    runSql("INSERT INTO TNot_Note (iNotId, iSitId, iClsSesMatId, bNotNota) SELECT 990000 + "
           "S.iSitId, S.iSitId, 1329, 'Nota di condotta' FROM TSit_Situazioni S JOIN TClsPst P ON "
           "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39005");
}

// What the command writes of each pupil: his votes in 5A, or his judgments in the session.
QList<QStringList> statiDi(const Comando &c, const QList<int> &alunni)
{
    const QHash<Cella, QString> voti = c.modo < 0 ? memorizzati(0, k5A) : QHash<Cella, QString>();
    QList<QStringList> stati;
    for (int sit : alunni) {
        QStringList stato = c.modo < 0 ? QStringList()
                                       : letti("SELECT bGdzGiudizio FROM TGdz_Giudizi WHERE "
                                               "iSitId = ? AND iAnsSesDwgId = 392",
                                               {sit});
        for (auto it = voti.cbegin(); it != voti.cend(); ++it) {
            if (it.key().iSitId == sit)
                stato << QStringLiteral("%1/%2 %3")
                             .arg(it.key().iClsSesMatId)
                             .arg(it.key().iCmpScaId)
                             .arg(it.value());
        }
        stato.sort();
        stati << stato;
    }
    return stati;
}

QString nomeDi(int iSitId)
{
    return scalar("SELECT TRIM(A.sAnaCognome) || ' ' || TRIM(A.sAnaNome) FROM TSit_Situazioni S "
                  "JOIN TAna_Anagrafiche A ON A.iAnaId = S.iAnaId WHERE S.iSitId = ?",
                  {iSitId})
        .toString();
}

// Runs the command on 5A with the answers to what follows its question: what the office was
// told after the question.
QStringList esegui(ClassSession &t, const Comando &c, const QList<int> &risposte)
{
    DialogSeam::queueAnswer(int(mrYes));
    for (int r : risposte)
        DialogSeam::queueAnswer(r);
    if (c.modo < 0)
        return detti([&] { t.window->frqevCarClsVot()->aPass->trigger(); }).mid(1);
    TfmqelCompGiudizioMedie dialog;
    dialog.SetModo(c.modo);
    dialog.tcUnselectAllClick();
    for (int i = 0; i < dialog.clbCls()->count(); ++i) {
        if (dialog.clbCls()->item(i)->data(Qt::UserRole).toInt() == 39005)
            dialog.clbCls()->item(i)->setCheckState(Qt::Checked);
    }
    dialog.findChild<QCheckBox *>(QStringLiteral("cbxSovrascrivi"))->setChecked(true);
    return detti([&] { dialog.buOk()->click(); }).mid(1);
}

void interrotto(ClassSession &t, const Comando &c, Fermo fermo, int a)
{
    preparaComando(c);
    const QList<int> alunni = alunniDi(c);
    ASSERT_GT(alunni.size(), a);
    const QList<QStringList> prima = statiDi(c, alunni);
    const int fermato = alunni.at(a);
    setLockWaitTimeout(300);
    OtherOffice other(t.db.database);
    if (fermo == Fermo::Attesa) {
        other.hold(QStringLiteral("UPDATE %1 SET iSitId = iSitId WHERE %2")
                       .arg(QLatin1String(c.tabella), QLatin1String(c.rigaTenuta)),
                   {fermato});
    } else {
        // The database refuses every write of the pupil's rows until the sequence moves on.
        runSql("CREATE SEQUENCE G_TEST_RIFIUTO");
        runSql("CREATE EXCEPTION E_TEST_RIFIUTO 'rifiutato per prova'");
        runSql(QStringLiteral("CREATE TRIGGER T_TEST_RIFIUTO FOR %1 BEFORE INSERT OR UPDATE OR "
                              "DELETE AS BEGIN IF (GEN_ID(G_TEST_RIFIUTO, 0) = 0 AND "
                              "COALESCE(NEW.iSitId, OLD.iSitId) = %2 AND %3) THEN EXCEPTION "
                              "E_TEST_RIFIUTO; END")
                   .arg(QLatin1String(c.tabella))
                   .arg(fermato)
                   .arg(QLatin1String(c.rifiuta)));
    }

    QStringList told = esegui(t, c, fermo == Fermo::Attesa ? QList<int>{int(mrNo)} : QList<int>{});
    other.rollback();
    other.finish();
    if (fermo == Fermo::Attesa) {
        ASSERT_FALSE(told.isEmpty());
        EXPECT_TRUE(told.takeFirst().endsWith("Attendere ancora?"));
    }
    ASSERT_EQ(told.size(), 1) << told.join('|').toStdString();
    QStringList scritti;
    for (int i = 0; i < a; ++i)
        scritti << nomeDi(alunni.at(i));
    const QString atteso = QString::fromUtf8(c.interrotta).arg(nomeDi(fermato)) + ": " +
                           QString::fromUtf8(c.fatti).arg(scritti.join(" e ")) +
                           "; rieseguire il comando per completare.\n\n";
    EXPECT_TRUE(told.first().startsWith(atteso)) << told.first().toStdString();
    EXPECT_TRUE(told.first().contains(fermo == Fermo::Attesa ? "bloccati da un'altra postazione"
                                                             : "rifiutato per prova"))
        << told.first().toStdString();
    EXPECT_FALSE(told.first().contains("annullat")) << told.first().toStdString();
    const QList<QStringList> dopo = statiDi(c, alunni);
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));

    // Running again, with nothing in the way, completes it: the pupils written before keep what
    // they had, and the rest is written as they were.
    if (fermo == Fermo::Rifiuto)
        scalar(
            "SELECT GEN_ID(G_TEST_RIFIUTO, 1) FROM RDB$DATABASE"); // read: it runs as it is fetched
    told = esegui(t, c, {});
    EXPECT_EQ(told, c.modo < 0 ? QStringList() : QStringList{"Operazione conclusa correttamente"});
    const QList<QStringList> finale = statiDi(c, alunni);
    for (qsizetype i = 0; i < alunni.size(); ++i) {
        SCOPED_TRACE(nomeDi(alunni.at(i)).toStdString());
        EXPECT_NE(finale.at(i), prima.at(i));
        EXPECT_EQ(dopo.at(i), i < a ? finale.at(i) : prima.at(i));
    }
}

// Each command stopped at the second or third pupil, both ways.
const struct
{
    const Comando *comando;
    Fermo fermo;
    int a; // the pupil it stops at, from 0
} kInterrotti[] = {
    {&kTrasferimento, Fermo::Attesa, 1}, {&kTrasferimento, Fermo::Rifiuto, 2},
    {&kCancella, Fermo::Attesa, 2},      {&kCancella, Fermo::Rifiuto, 1},
    {&kComponi, Fermo::Attesa, 1},       {&kComponi, Fermo::Rifiuto, 2},
    {&kCopiaNote, Fermo::Attesa, 2},     {&kCopiaNote, Fermo::Rifiuto, 1},
};

// ---------------------------------------------------------------------------------------------
// The two-office table, generated from the inventory of the program's writes: a row for each
// case of the write it drives, a failing row for a write no case drives.

// The statements no window writes from what it read, and why the table leaves them out: each
// named by the file and the beginning of its text, so that a new write in the same file has a
// row of its own to find. An exemption that no longer names a statement is struck from here by
// the check below.
struct Esente
{
    const char *file;
    const char *istruzione;
    const char *perche;
};
const char kRaccolta[] = "a collection writes what a teacher sent, under the collection's own "
                         "rules: no window read the rows";
const char kCopia[] = "the copy replaces the deferred session's rows with the final session's at "
                      "its run, after the warning that says so";
const char kCodici[] = "takes back the tick the window's last reading stored: the row holds only "
                       "its keys";
const Esente kEsenti[] = {
    {"db/demoevaluation.cpp", "UPDATE TSit_Situazioni Sit SET iSitOreAssenza",
     "the demo school's maker: no office works on it yet"},
    {"exchange/qeldocfoldersql.cpp", "UPDATE TDeb_Debiti SET iDesDedId", kRaccolta},
    {"exchange/qeldocfoldersql.cpp", "DELETE FROM %1 WHERE iSitId = :iSitId AND %2", kRaccolta},
    {"exchange/qeldocfoldersql.cpp", "UPDATE %1 SET %2 WHERE iSitId = :iSitId AND %3", kRaccolta},
    {"exchange/qelwebcollectsql.cpp", "UPDATE %1 SET %2 WHERE iSitId", kRaccolta},
    {"exchange/qelwebcollectsql.cpp", "DELETE FROM TCno_ClassiNoteOre", kRaccolta},
    {"exchange/qelwebcollectsql.cpp", "UPDATE TCno_ClassiNoteOre", kRaccolta},
    {"exchange/qelwebrecupericollect.cpp", "UPDATE TRec_Recuperi SET iEreId", kRaccolta},
    {"exchange/qelwebrecuperisql.cpp", "UPDATE TRec_Recuperi SET dRecVer = NULL WHERE dRecVer",
     "the make-up send takes the old library's day zero, its way of storing no date, back to "
     "none: no office's date"},
    {"exchange/qelxmlcollect.cpp", "UPDATE TSit_Situazioni SET iFreqId", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "UPDATE TSit_Situazioni t SET iPosFinId = NULL", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "UPDATE TSit_Situazioni t SET iPosFinId = :iPosFinId",
     kRaccolta},
    {"exchange/qelxmlcollect.cpp", "UPDATE TSit_Situazioni SET dSitEsito", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM %1 v WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TDeb_Debiti d WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "UPDATE TDeb_Debiti d SET", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TCOMP_COMPETENZE WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TGdz_Giudizi WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TCreFrm f WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TCreSco f WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TCre_Crediti k WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TRec_Recuperi r WHERE", kRaccolta},
    {"exchange/qelxmlcollect.cpp", "DELETE FROM TRec_Recuperi WHERE iSitId IN", kRaccolta},
    {"exports/qelpupilsummary.cpp", "UPDATE TSit_Situazioni SET %1",
     "the export stores in each situation the summary it computes, read in its own run"},
    {"gradeentry/qevpassavoti.cpp", "DELETE FROM TVOT_VOTI Vot",
     "the transfer replaces the votes in its scope with the proposals as stored when it runs, "
     "after its question: it writes nothing a window read"},
    {"makeup/qelclassjudgments.cpp", "UPDATE TGdz_Giudizi TGdz",
     "a command over whole classes, after its question: without \"Sostituisci\" its statement "
     "itself keeps every judgment written, with it the question says they are replaced"},
    {"makeup/qelclassjudgments.cpp", "DELETE FROM TGdz_Giudizi TGdz",
     "a command over whole classes, after its question, which says every judgment of their "
     "pupils in the session is deleted"},
    {"makeup/qelcreditcodes.cpp", "DELETE FROM TCreSco WHERE iCreScoId", kCodici},
    {"makeup/qelcreditcodes.cpp", "DELETE FROM TCreFrm WHERE iCreFrmId", kCodici},
    {"makeup/qelmakeupconversion.cpp", "DELETE FROM TRec_Recuperi Rec",
     "the type conversion replaces the phase's records from the taxonomy grades at its run, "
     "after the warning that says so"},
    {"makeup/qelmakeupconversion.cpp", "UPDATE TRec_Recuperi SET iEreId",
     "the outcome conversion writes over the outcomes recorded in the phase after its question, "
     "which counts them"},
    {"makeup/qelsessioncopy.cpp", "DELETE FROM TVot_Voti WHERE iClsMatCmpId IN", kCopia},
    {"makeup/qelsessioncopy.cpp", "DELETE FROM TVtp_Proposti WHERE iClsMatCmpId IN", kCopia},
    {"makeup/qelsessioncopy.cpp", "DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId", kCopia},
    {"makeup/qelsessioncopy.cpp", "DELETE FROM TNot_Note WHERE iClsSesMatId IN", kCopia},
    {"makeup/qelsessioncopy.cpp", "DELETE FROM TAss_Assenze WHERE iClsSesMatId IN", kCopia},
};

// Whether an exemption names the statement of the file.
bool esenta(const Esente &e, const QString &file, const QString &statement)
{
    return file == QLatin1String(e.file) &&
           statement.startsWith(QString::fromUtf8(e.istruzione), Qt::CaseInsensitive);
}

bool esente(const QString &file, const QString &statement)
{
    return std::any_of(std::begin(kEsenti), std::end(kEsenti),
                       [&](const Esente &e) { return esenta(e, file, statement); });
}

// A write every statement of which is exempt.
bool esente(const EvaluationWrite &w, const QList<EvaluationStatement> &statements)
{
    return std::all_of(statements.cbegin(), statements.cend(), [&w](const EvaluationStatement &s) {
        return !(s.write == w) || esente(w.file, s.text);
    });
}

// The write a page's case drives: the page's table, deleted where this office empties the
// cell.
EvaluationWrite scritturaDi(const Caso &c)
{
    return scrittura("gradeentry/qevvalstore.cpp", c.svuota ? "DELETE" : "UPDATE",
                     QString::fromLatin1(c.pagina->tabella));
}

EvaluationWrite scritturaDi(const CasoTesto &c)
{
    if (c.mia == Spunta || c.mia == SpuntaFormativi)
        return scrittura("gradeentry/qevcrestore.cpp", "DELETE",
                         c.mia == Spunta ? "TCreSco" : "TCreFrm", "statement");
    const Dato &d = datoDi(c.kind);
    return scrittura(d.store, c.mia == Svuota ? d.svuota : "UPDATE", d.tabella, d.via);
}

// A row of the table: the write, and the case that drives it (none: no case does). A write's
// first row shows that its case runs the write's statement.
struct Riga
{
    EvaluationWrite scrittura;
    std::string nome;
    std::function<void(ClassSession &)> prova;
    bool prima = false;
};

void PrintTo(const Riga &r, std::ostream *os)
{
    *os << r.scrittura.text().toStdString();
}

// Every case, with the write it drives.
std::vector<Riga> casi()
{
    std::vector<Riga> tutti;
    for (const Caso &c : kCasi)
        tutti.push_back({scritturaDi(c), c.name, [&c](ClassSession &t) { t.casoPagina(c); }});
    // Each page beside the votes: its cell changed there, then written or emptied here.
    for (const Pagina *p : {&kProposti, &kTassonomie, &kAssenze, &kAiuti}) {
        for (const bool svuota : {false, true}) {
            const Caso c{nullptr, aggiorna, svuota, 0, kModificato, Suo, false, 5000, {}, p};
            tutti.push_back({scritturaDi(c),
                             (svuota ? "ThisEmptiesWhatTheOtherChangedIn" : "OtherChangedFirstIn") +
                                 QString::fromLatin1(p->tabella).section('_', 1).toStdString(),
                             [c](ClassSession &t) { t.casoPagina(c); }});
        }
    }
    for (const CasoTesto &c : kCasiTesto)
        tutti.push_back({scritturaDi(c), c.name, [&c](ClassSession &t) { t.casoDato(c); }});
    for (const CasoScrittura &c : kCasiScrittura)
        tutti.push_back({c.scrittura, c.name, c.prova});
    for (const auto &i : kInterrotti) {
        tutti.push_back({i.comando->scrittura,
                         std::string(i.comando->name) +
                             (i.fermo == Fermo::Attesa ? "StoppedByAHeldRowAtPupil"
                                                       : "StoppedByARefusalAtPupil") +
                             std::to_string(i.a + 1),
                         [&i](ClassSession &t) { interrotto(t, *i.comando, i.fermo, i.a); }});
    }
    return tutti;
}

// For each write of the inventory, a row per case that drives it; a failing one when none does
// and the write is not left out; and a failing row for each case whose write the program no
// longer has: it drives something else now.
std::vector<Riga> righe(const QList<EvaluationStatement> &statements)
{
    const QList<EvaluationWrite> writes = writesOf(statements);
    const std::vector<Riga> tutti = casi();
    std::vector<Riga> table;
    for (const EvaluationWrite &w : writes) {
        bool prima = true;
        for (const Riga &c : tutti) {
            if (c.scrittura == w) {
                table.push_back({w, c.nome, c.prova, prima});
                prima = false;
            }
        }
        if (prima && !esente(w, statements))
            table.push_back({w, "NoCaseDrives_" + w.name().toStdString(), {}, true});
    }
    for (const Riga &c : tutti) {
        if (!writes.contains(c.scrittura))
            table.push_back({c.scrittura, "WriteGone_" + c.nome, {}, true});
    }
    return table;
}

// Whether the recorder saw the write's statement run.
bool eseguita(const TVxStatementRecorder &recorder, const EvaluationWrite &w)
{
    return std::any_of(recorder.statements().cbegin(), recorder.statements().cend(),
                       [&w](const TVxStatementRecorder::Statement &s) {
                           return s.sql.trimmed().startsWith(w.kind, Qt::CaseInsensitive) &&
                                  statementTable(s.sql) == w.table;
                       });
}

class EveryWrite : public ClassSession, public ::testing::WithParamInterface<Riga>
{
};

TEST_P(EveryWrite, AnotherOfficesChangeIsToldTheirValueKeptTheRestStored)
{
    const Riga &r = GetParam();
    ASSERT_TRUE(r.prova) << "no two-office case drives " << r.scrittura.text().toStdString()
                         << " (or the write it drove is gone): write one in this table";
    TVxStatementRecorder recorder;
    r.prova(*this);
    EXPECT_TRUE(!r.prima || eseguita(recorder, r.scrittura))
        << r.nome << " never ran " << r.scrittura.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Inventory, EveryWrite,
                         ::testing::ValuesIn(righe(evaluationStatements(TAVRIN_SOURCE_DIR))),
                         [](const auto &info) { return info.param.nome; });

// What an inventory leaves uncovered: the writes no case drives and no exemption leaves out,
// the unresolved statements no exemption names, and the exemptions of its files that name
// several statements (a new write in an exempt file begins as an exempt one does).
QStringList scoperteOEsenzioniDubbie(const QList<EvaluationStatement> &statements)
{
    const QList<EvaluationWrite> writes = writesOf(statements);
    QStringList found;
    for (const Riga &r : righe(statements)) {
        if (!r.prova && writes.contains(r.scrittura))
            found << r.scrittura.text();
    }
    for (const EvaluationStatement &s : statements) {
        if (s.write.via == QLatin1String("unresolved") && !esente(s.write.file, s.text))
            found << s.write.file + QStringLiteral(": ") + s.text;
    }
    for (const Esente &e : kEsenti) {
        QSet<QString> named;
        for (const EvaluationStatement &s : statements) {
            if (esenta(e, s.write.file, s.text))
                named << s.text;
        }
        if (named.size() > 1)
            found << QStringLiteral("%1: %2 names %3 statements")
                         .arg(QLatin1String(e.file), QString::fromUtf8(e.istruzione))
                         .arg(named.size());
    }
    return found;
}

// The inventory itself: every write the code holds is found, resolved, driven or left out with
// a reason; a new write of an evaluation table, in any of its shapes, is found and has no row;
// a statement a test runs that the scan did not find fails the run.
TEST(EvaluationWrites, EveryWriteOfTheCodeIsFoundAndDriven)
{
    const QList<EvaluationStatement> statements =
        evaluationStatements(QStringLiteral(TAVRIN_SOURCE_DIR));
    ASSERT_GE(writesOf(statements).size(), 30);
    for (const Esente &e : kEsenti) {
        EXPECT_TRUE(std::any_of(
            statements.cbegin(), statements.cend(),
            [&e](const EvaluationStatement &s) { return esenta(e, s.write.file, s.text); }))
            << e.file << " has no statement " << e.istruzione << " any more";
    }
    EXPECT_EQ(scoperteOEsenzioniDubbie(statements), QStringList());

    // A procedure of the schema that deletes absences, and one that calls it.
    const WritingProcedures procedures = writingProceduresOf(
        "CREATE PROCEDURE PZ_AZZERA (A INTEGER) AS BEGIN\n"
        "  -- UPDATE TVot_Voti is not what it does\n"
        "  DELETE FROM TAss_Assenze WHERE iSitId = :A;\nEND\n"
        "CREATE PROCEDURE PZ_TUTTO (A INTEGER) AS BEGIN EXECUTE PROCEDURE PZ_AZZERA(:A); END\n"
        "CREATE TABLE TAltra (a INTEGER);\n");
    EXPECT_EQ(procedures.value("PZ_TUTTO"),
              (QList<QPair<QString, QString>>{{"DELETE", "TASS_ASSENZE"}}));
    const QString copia = QString::fromUtf8(
        readFileBytes(QStringLiteral(TAVRIN_SOURCE_DIR "/makeup/qelsessioncopy.cpp")));
    ASSERT_FALSE(copia.isEmpty());
    const struct
    {
        const char *file;
        QString text;
        const char *found; // nullptr: nothing, as a comment or another table
    } planted[] = {
        {"makeup/qelfnuova.cpp",
         "const char kScrivi[] = \"UPDATE TRec_Recuperi SET iEreId = :iEreId \"\n"
         "                       \"WHERE iRecId = :iRecId\";",
         "makeup/qelfnuova.cpp: UPDATE TREC_RECUPERI (statement)"},
        {"gradeentry/qevnuovostore.cpp",
         "static const TqevTabella t{QStringLiteral(\"TASS_ASSENZE\"), "
         "QStringLiteral(\"iAssId\")};\n"
         "void f(TVxTransaction &tr) { CancellaCella(tr, t, 1, {}); }",
         "gradeentry/qevnuovostore.cpp: DELETE TASS_ASSENZE (TqevTabella)"},
        {"makeup/qelfnuovimodelli.cpp",
         "c->setSQL(QStringLiteral(\"Select g.iGdtId, g.sGdtTitolo From TGdt_GdzTemplate g\"));\n"
         "c->setAutoBuildSQL(true);",
         "makeup/qelfnuovimodelli.cpp: UPDATE TGDT_GDZTEMPLATE (TVxQueryCollection)"},
        {"makeup/qelfcommento.cpp", "// UPDATE TRec_Recuperi, as a comment says\n", nullptr},
        {"makeup/qelfaltra.cpp", "const char k[] = \"UPDATE TEnc_Encomio SET a = 1\";", nullptr},
        // A write built by a macro, its lines continued.
        {"makeup/qelfmacro.cpp",
         "#define PER_ALUNNO(table, what) \\\n  what \" FROM \" table \\\n"
         "  \" WHERE iSitId = :iSitId\"\nconst char k[] = PER_ALUNNO(\"TNot_Note\", \"DELETE\");",
         "makeup/qelfmacro.cpp: DELETE TNOT_NOTE (statement)"},
        // An escaped line break between the keyword and the table, spliced or written as \n.
        {"makeup/qelfriga.cpp", "const char k[] = \"UPDATE \\\n   TVot_Voti SET iScaLivId = 1\";",
         "makeup/qelfriga.cpp: UPDATE TVOT_VOTI (statement)"},
        {"makeup/qelfacapo.cpp", "const char k[] = \"UPDATE\\nTVtp_Proposti SET a = 1\";",
         "makeup/qelfacapo.cpp: UPDATE TVTP_PROPOSTI (statement)"},
        {"makeup/qelfmerge.cpp",
         "const char k[] = \"MERGE INTO TGdz_Giudizi G USING TSit_Situazioni S ON \"\n"
         "    \"G.iSitId = S.iSitId WHEN MATCHED THEN UPDATE SET bGdzGiudizio = NULL\";",
         "makeup/qelfmerge.cpp: MERGE TGDZ_GIUDIZI (statement)"},
        {"exchange/qelfore.cpp", "QStringLiteral(\"UPDATE TCno_ClassiNoteOre SET iCnoOre = 0\")",
         "exchange/qelfore.cpp: UPDATE TCNO_CLASSINOTEORE (statement)"},
        {"makeup/qelfazzera.cpp", "const char k[] = \"EXECUTE PROCEDURE PZ_TUTTO(:iSitId)\";",
         "makeup/qelfazzera.cpp: EXECUTE TASS_ASSENZE (PROCEDURE PZ_TUTTO)"},
        // New writes in a file whose other writes are left out: another kind, and a statement
        // that begins as a left-out one does.
        {"makeup/qelsessioncopy.cpp",
         copia + "const char kNuova[] = \"UPDATE TVot_Voti SET iScaLivId = 1 WHERE iVotId = 2\";",
         "makeup/qelsessioncopy.cpp: UPDATE TVOT_VOTI (statement)"},
        {"makeup/qelsessioncopy.cpp",
         copia + "const char kNuova[] = \"DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId = "
                 ":iAnsSesDwgId AND iSitId = :iSitId\";",
         "makeup/qelsessioncopy.cpp: DELETE FROM TGdz_Giudizi WHERE iAnsSesDwgId names 2 "
         "statements"},
    };
    for (const auto &p : planted) {
        SCOPED_TRACE(p.file);
        const QList<EvaluationStatement> found =
            evaluationStatementsOf(QString::fromLatin1(p.file), p.text, procedures);
        QStringList texts;
        for (const EvaluationWrite &w : writesOf(found))
            texts << w.text();
        const QStringList uncovered = scoperteOEsenzioniDubbie(found);
        EXPECT_EQ(uncovered.contains(QString::fromLatin1(p.found)), p.found != nullptr)
            << texts.join('|').toStdString() << " uncovered: " << uncovered.join('|').toStdString();
        EXPECT_TRUE(p.found || uncovered.isEmpty()) << uncovered.join('|').toStdString();
    }
    EXPECT_EQ(scoperteOEsenzioniDubbie(evaluationStatementsOf(
                  QStringLiteral("makeup/qelfnuova.cpp"),
                  QStringLiteral("QStringLiteral(\"DELETE FROM %1 WHERE k = :k\")"))),
              QStringList{"makeup/qelfnuova.cpp: DELETE FROM %1 WHERE k = :k"});

    // The statements tests run: those the scan found pass, in whatever text their placeholders
    // became; a write built where the scan cannot see it does not.
    const QStringList run{
        "DELETE FROM TVOT_VOTI Vot WHERE Vot.iClsMatCmpId = :iClsMatCmpId AND Vot.iSitId = "
        ":iSitId AND Vot.iClsMatCmpId IN (SELECT ClsMatCmp.iClsMatCmpId FROM TClsMatCmp "
        "ClsMatCmp WHERE 1 = 1)",
        "UPDATE TNOT_NOTE SET bNotNota = :bNotNota WHERE iNotId = :iNotId",
        "UPDATE TEnc_Encomio SET sEncLDesc = 'B'",
        "UPDATE TVot_Voti SET iScaLivId = :iScaLivId WHERE iClsMatCmpId = :c",
        "UPDATE TCno_ClassiNoteOre SET iCnoOre = 0 WHERE iCnoId = :iCnoId",
        "EXECUTE PROCEDURE PZ_TUTTO(:iSitId)",
    };
    EXPECT_EQ(writesNotInInventory(run, statements, procedures),
              (QStringList{run[3], run[4], run[5]}));
    // A test's own statement is allowed whole, not as the beginning of another.
    EXPECT_EQ(writesNotInInventory(run, statements, procedures,
                                   {"UPDATE TVot_Voti SET iScaLivId = :iScaLivId", run[5]}),
              (QStringList{run[3], run[4]}));
}

TEST_F(ClassSession, WhatTheOtherOfficeSavedStaysWhereThisOfficeTypedNothing)
{
    // After this window opened, the other office changes a vote, deletes one and enters one;
    // this office changes another vote and enters another, and saves on closing.
    const QList<QPoint> stored = celle(true);
    const QList<QPoint> empty = celle(false);
    ASSERT_GE(stored.size(), 4);
    ASSERT_GE(empty.size(), 2);
    const Bersaglio cambiato = bersaglio(stored[0]);
    const Bersaglio cancellato = bersaglio(stored[1]);
    const Bersaglio mio = bersaglio(stored[2]);
    const Bersaglio nuovo = bersaglio(empty[0]);
    const Bersaglio mioNuovo = bersaglio(empty[1]);
    QHash<Cella, QString> atteso = votiDi5A();
    {
        OtherOffice other(db.database);
        aggiorna(other, cambiato);
        cancella(other, cancellato);
        inserisci(other, nuovo);
        other.commit();
    }
    atteso.insert(cambiato.cella, cambiato.suo);
    atteso.remove(cancellato.cella);
    atteso.insert(nuovo.cella, nuovo.suo);

    scrivi(mio.pos, mio.mio);
    scrivi(mioNuovo.pos, mioNuovo.mio);
    atteso.insert(mio.cella, mio.mio);
    atteso.insert(mioNuovo.cella, mioNuovo.mio);
    QStringList told;
    EXPECT_TRUE(chiudiSalvando(&told));
    EXPECT_EQ(told, QStringList());
    EXPECT_EQ(votiDi5A(), atteso);
}

// The server stops under the program while a save waits for a row the other office holds.
class ServerGoneDuringSave : public ClassSession
{
protected:
    static void SetUpTestSuite()
    {
        // The twin run on the run's server would repeat this on a server of its own.
        if (!testServer())
            server = new PrivateTestServer;
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        if (!server)
            GTEST_SKIP() << "runs once, on a server of its own";
        ASSERT_TRUE(server->started());
        ClassSession::SetUp();
    }
    void TearDown() override
    {
        if (server)
            server->resume(); // a case that failed half-way leaves it stopped
        ClassSession::TearDown();
    }

    static PrivateTestServer *server;
};

PrivateTestServer *ServerGoneDuringSave::server = nullptr;

TEST_F(ServerGoneDuringSave, TheUserIsToldNothingTypedIsLostAndSavingAgainWorks)
{
    // Three cells of one column: two changed votes, the second held by the other office, and a
    // new vote.
    const QList<QPoint> empty = celle(false);
    ASSERT_FALSE(empty.isEmpty());
    QList<QPoint> column;
    for (QPoint p : celle(true)) {
        if (p.x() == empty.first().x() && column.size() < 2)
            column << p;
    }
    ASSERT_EQ(column.size(), 2);
    column << empty.first();
    QList<Bersaglio> cells;
    for (QPoint p : column) {
        cells << bersaglio(p);
        scrivi(p, cells.last().mio);
    }
    setLockWaitTimeout(60000);
    OtherOffice other(db.database);
    aggiorna(other, cells[1]);

    std::thread halter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        server->halt();
    });
    const QStringList told = salva();
    halter.join();
    ASSERT_NO_FATAL_FAILURE(detto(told, "La connessione al database si è interrotta"));
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));

    // While the server is away, closing saves nothing, says so, and keeps the window.
    QStringList closing;
    EXPECT_FALSE(chiudiSalvando(&closing));
    ASSERT_NO_FATAL_FAILURE(detto(closing, "il server non risponde"));
    for (const Bersaglio &b : cells)
        EXPECT_EQ(grid->Cells(b.pos.x(), b.pos.y()), b.mio);
    EXPECT_TRUE(grid->Modificato());

    // The save is one transaction: nothing of it was written.
    server->resume();
    QHash<Cella, QString> voti = votiDi5A();
    EXPECT_EQ(voti.value(cells[0].cella), cells[0].originale);
    EXPECT_EQ(voti.value(cells[1].cella), cells[1].originale);
    EXPECT_FALSE(voti.contains(cells[2].cella));

    // Back again: closing saves the rest and closes.
    EXPECT_TRUE(chiudiSalvando(&closing));
    EXPECT_EQ(closing, QStringList());
    voti = votiDi5A();
    for (const Bersaglio &b : cells)
        EXPECT_EQ(voti.value(b.cella), b.mio);
}

} // namespace
