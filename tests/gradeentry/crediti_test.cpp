// School credits in the class window: the band of an average, the empty rows made on entering
// the page, typed credits, the calculation, and the two check lists by mouse and keyboard;
// every case checked in the database.
#include "gradeentry/qevcrestore.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcrelista.h"
#include "gradeentry/qevregolevalori.h"
#include "tests/gradeentry/gradewindows.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <limits>

namespace {

constexpr int k5A = 390052; // 5A of 2008/2009, final session; credits of its three last years

// A credit row as stored: every value column, NULL as "-".
QString riga(int iSitId)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT iCreCredito, iCrePerMedia, iBndId, iCreOutBanda, "
                                        "fCreMediaVoti, iCreFrmSco, iCreSosp, iCreRecup, iEncId "
                                        "FROM TCre_Crediti WHERE iSitId = ?"),
                         {iSitId});
    if (!q.next())
        return QStringLiteral("none");
    QStringList values;
    for (int i = 0; i < 9; ++i)
        values << (q.value(i).isNull() ? QStringLiteral("-") : q.value(i).toString());
    return values.join(QLatin1Char(' '));
}

int righe(int iSitId)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM TCre_Crediti WHERE iSitId = ?"), {iSitId})
        .toInt();
}

// The marks of a credit in a list's table, "kind:start" in kind order.
QStringList spunte(const char *table, const char *kind, int iCreId)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT %1, dStart FROM %2 WHERE iCreId = ? ORDER BY 1")
                             .arg(QLatin1String(kind), QLatin1String(table)),
                         {iCreId});
    QStringList marks;
    while (q.next())
        marks << q.value(0).toString() + ':' + q.value(1).toDate().toString(Qt::ISODate);
    return marks;
}

class Crediti : public GradeWindows
{
protected:
    // The class window on its credits page: the page, its grid, the grid's last column (the
    // class session's year) and the situations by row.
    void pagina(int clsSes = k5A)
    {
        window = apri(clsSes);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->MostraPagina(QStringLiteral("Crediti")));
        DialogSeam::clearShown();
        frame = qobject_cast<TfrqevCarCre *>(window->FrameDi(tdCrediti));
        ASSERT_NE(frame, nullptr);
        g = frame->grGrid;
        last = g->ColCount() - 1;
        sits = situazioni(frame);
    }

    // The situations of the class's pupils in the class session's year, by grid row.
    static QList<int> situazioni(const TfrqevCarCre *frame)
    {
        QList<int> sits;
        const int last = frame->grGrid->ColCount() - 1;
        for (int r = 1; r < frame->grGrid->RowCount(); ++r) {
            auto rec = frame->RecordDi(last, r);
            sits << (rec ? rec->iSitId : 0);
        }
        return sits;
    }

    // Types over what a cell holds, the editor left open: the cell is taken when it is left.
    static void scrivi(TqelStringGrid *g, int col, int row, const QString &text)
    {
        ASSERT_TRUE(g->MoveCursor(col, row));
        g->setEditorMode(true);
        QTest::keyClick(g, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(g, Qt::Key_Delete);
        QTest::keyClicks(g, text);
    }

    // A credit the rule takes on a row: its band's maximum (without a band, one the fifth
    // year's bands together hold).
    static QString nellaBanda(const TfrqevCarCre *frame, int col, int row)
    {
        const QString banda = frame->RecordDi(col, row)->sBndCre;
        return banda.isEmpty() ? QStringLiteral("5") : banda.section(QLatin1Char('-'), 1);
    }

    TfmqevCarCls *window = nullptr;
    TfrqevCarCre *frame = nullptr;
    TqelStringGrid *g = nullptr;
    int last = 0;
    QList<int> sits;
};

} // namespace

TEST_F(Crediti, TheBandOfAnAverageIsChosenAtItsEdgesAndNoneWhenNoRangeHoldsIt)
{
    QList<TqevBanda> bande = TqevCreStore::Bande(k5A);
    ASSERT_EQ(bande.size(), 6);
    QList<TqevBanda> conDieci = bande;
    conDieci.append({3999, QStringLiteral("M = 10"), 10, 10, 9, 9});
    const struct
    {
        double media;
        bool dieci; // with a band 10-10 beside 9-10
        const char *banda;
    } cases[] = {
        {6.0, false, "M = 6"},        // an exact band wins over 5-6 and 6-7
        {6.01, false, "6 < M <= 7"},  //
        {7.0, false, "6 < M <= 7"},   // the upper edge belongs to the band
        {9.99, false, "9 < M <= 10"}, //
        {10.0, false, "9 < M <= 10"}, //
        {10.0, true, "M = 10"},       // ... unless a band is that very number
        {5.0, false, "M < 6"},        //
        {5.5, false, nullptr},        // between 0-5 and 6-6: no band
        {0.75, false, nullptr},       // below 1: no band
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.media);
        const TqevBanda *b = BandaDi(c.dieci ? conDieci : bande, c.media);
        if (!c.banda)
            EXPECT_EQ(b, nullptr);
        else
            EXPECT_EQ(b ? b->sBndDesc : QString(), QString::fromUtf8(c.banda));
    }
}

TEST_F(Crediti, ACreditIsMeasuredAgainstTheBandsOfThePupilsCourseYearInTheDatabase)
{
    // A pupil's situation in a class of the course year (none: a situation that is not there).
    const auto situazione = [](int iAcsId) {
        return scalar("SELECT MIN(s.iSitId) FROM TSit_Situazioni s JOIN TClsPst p ON "
                      "p.iClsPstId = s.iClsPstId JOIN TCls_Classi c ON c.iClsId = p.iClsId "
                      "WHERE c.iAcsId = ?",
                      {iAcsId})
            .toInt();
    };
    // Third year: bands 1001-1006, credits 3-4, 4-5, 5-6, 6-7 (1004), 7-8, 2-3; fifth year:
    // 3001-3006, one point more (3005: 8-9); first year: none.
    const int terzo = situazione(3), quinto = situazione(5), primo = situazione(1);
    const QVariant no;
    const struct
    {
        int sit;
        QVariant banda, fuori, credito;
        const char *motivo; // the reason's beginning; "" taken
    } cases[] = {
        {terzo, 1004, no, 6, ""},
        {terzo, 1004, 0, 7, ""}, // the band's edges
        {terzo, 1004, no, 8, "il credito 8 è fuori dalla sua banda: la banda va da 6 a 7 punti."},
        {terzo, 1004, 1, 8, ""}, // one point beyond, either end, by the council's flag
        {terzo, 1004, 1, 5, ""},
        {terzo, 1004, 1, 9,
         "il credito 9 è fuori dalla sua banda: la banda va da 6 a 7 punti, "
         "un punto in più o in meno"},
        // The flag is 0 or 1, whatever the row claims.
        {terzo, 1004, 93, 99, "il credito fuori banda è segnato con 93: il segno è 0 oppure 1"},
        {terzo, 1004, 2, 8, "il credito fuori banda è segnato con 2"},
        {terzo, 1004, -1, 6, "il credito fuori banda è segnato con -1"},
        // Another year's band, and a band the database does not hold.
        {terzo, 3005, no, 9, "la banda 3005 non è una banda dell'anno di corso dell'alunno."},
        {terzo, 999999, no, no, "la banda 999999 non è una banda"},
        {quinto, 3005, no, 9, ""},
        // No band: the year's bands together.
        {terzo, 0, no, 99,
         "il credito 99 è fuori dalle bande del suo anno di corso, che vanno "
         "da 2 a 8 punti."},
        {terzo, no, no, 8, ""},
        {terzo, 0, no, 2, ""},
        {terzo, 0, no, 1, "il credito 1 è fuori dalle bande"},
        {quinto, 0, no, 9, ""},
        {terzo, 0, no, -4, "il credito -4 è negativo"},
        // Typed text: blanks around, not a whole number, beyond the column, far below 0.
        {terzo, 1004, no, " 6 ", ""},
        {terzo, 1004, no, "6,5", "il credito \"6,5\" non è un numero intero."},
        {terzo, 1004, no, "2147483648",
         "il credito 2147483648 è più grande di quanto il "
         "database possa contenere (al più 2147483647)."},
        {terzo, 1004, no, "99999999999999999999", "il credito 99999999999999999999 è più grande"},
        {terzo, 1004, no, "-99999999999999999999", "il credito -99999999999999999999 è negativo"},
        // No credit (empty, or 0 as the grid shows it): only the band and flag are measured.
        {terzo, 1004, no, "", ""},
        {terzo, 1004, no, 0, ""},
        {primo, no, no, no, ""},
        {primo, 0, no, 5, "l'anno di corso dell'alunno non ha bande del credito: il credito 5"},
        {primo, 1001, no, no,
         "l'anno di corso dell'alunno non ha bande del credito: la banda "
         "1001"},
        {0, 0, no, 5, "l'anno di corso dell'alunno non ha bande del credito"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4")
                         .arg(c.sit)
                         .arg(c.banda.toString(), c.fuori.toString(), c.credito.toString())
                         .toStdString());
        const QString motivo = TqevRegoleValori::CreditoNellaBanda(
            TqevCreStore::BandeDellaSituazione(c.sit), c.banda, c.fuori, c.credito);
        if (*c.motivo == 0)
            EXPECT_EQ(motivo, QString());
        else
            EXPECT_TRUE(motivo.startsWith(QString::fromUtf8(c.motivo))) << motivo.toStdString();
    }
    // Every year's bands at once hold the same as a situation's.
    const QHash<int, QList<TqevBanda>> corsi = TqevCreStore::BandeDeiCorsi();
    for (const int acs : {3, 5, 1}) {
        const int sit = situazione(acs);
        QStringList a, b;
        for (const TqevBanda &x : corsi.value(acs))
            a << QString::number(x.iBndId) + ' ' + x.sBndCre();
        for (const TqevBanda &x : TqevCreStore::BandeDellaSituazione(sit))
            b << QString::number(x.iBndId) + ' ' + x.sBndCre();
        EXPECT_EQ(a, b);
        EXPECT_EQ(a.size(), acs >= 3 ? 6 : 0);
    }
}

TEST_F(Crediti, EnteringThePageStoresOneRowPerSituationAndKeepsWhatIsStored)
{
    // Three pupils of the class: one without a credit row, one whose row holds only an
    // average and an out-of-band credit, one whose row another office stores while the
    // window is open.
    QList<int> sits;
    QSqlQuery q = runSql(
        QStringLiteral(
            "SELECT FIRST 3 S.iSitId FROM TSit_Situazioni S JOIN TClsSes C ON C.iClsSesId = ? JOIN "
            "TClsPst P ON P.iClsPstId = S.iClsPstId AND P.iClsId = C.iClsId JOIN TCre_Crediti R ON "
            "R.iSitId = S.iSitId WHERE S.iSitOrdine = 1 ORDER BY S.iSitId"),
        {k5A});
    while (q.next())
        sits << q.value(0).toInt();
    ASSERT_EQ(sits.size(), 3);
    const int nuovo = sits[0], vuoto = sits[1], altrove = sits[2];
    runSql(QStringLiteral("DELETE FROM TCre_Crediti WHERE iSitId IN (?, ?)"), {nuovo, altrove});
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iCreCredito = NULL, iCrePerMedia = NULL, "
                          "iBndId = NULL, iCreFrmSco = NULL, iCreSosp = NULL, iCreRecup = NULL, "
                          "iEncId = NULL, bCreNota = NULL, fCreMediaVoti = 7.25, iCreOutBanda = 2 "
                          "WHERE iSitId = ?"),
           {vuoto});

    TfmqevCarCls *w = apri(k5A);
    ASSERT_NE(w, nullptr);
    auto *frame = qobject_cast<TfrqevCarCre *>(w->FrameDi(tdCrediti));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->ListaAnni, (QStringList{QString(), "3 Anno", "4 Anno", "5 Anno"}));
    const QList<int> rows = situazioni(frame);
    ASSERT_TRUE(rows.contains(altrove));
    runSql(QStringLiteral("INSERT INTO TCre_Crediti (iCreId, iSitId, iCreCredito) VALUES "
                          "(990001, ?, 9)"),
           {altrove});
    ASSERT_TRUE(w->MostraPagina(QStringLiteral("Crediti")));

    EXPECT_EQ(riga(nuovo), QStringLiteral("- - - - - - - - -"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT dStart FROM TCre_Crediti WHERE iSitId = ?"), {nuovo})
                  .toDate(),
              QDate(2008, 9, 1));
    EXPECT_EQ(riga(vuoto), QStringLiteral("- - - 2 7.25 - - - -"));
    EXPECT_EQ(righe(altrove), 1);
    EXPECT_EQ(riga(altrove), QStringLiteral("9 - - - - - - - -"));
    const int last = frame->grGrid->ColCount() - 1;
    const int r = int(rows.indexOf(altrove)) + 1;
    EXPECT_EQ(frame->grGrid->Cells(last, r), QStringLiteral("9"));
    EXPECT_NE(frame->RecordDi(last, r)->iCreId, 0);
    // Saving what nobody changed writes nothing: the stored values stay.
    salva(frame);
    EXPECT_EQ(riga(vuoto), QStringLiteral("- - - 2 7.25 - - - -"));
    EXPECT_EQ(riga(altrove), QStringLiteral("9 - - - - - - - -"));
}

// A typed credit goes through the credit rule against the bands of the row's course year as
// the database holds them: taken when the cell is left, or refused there with the reason on the
// help line, the cursor staying and the cell showing its value again, nothing stored.
TEST_F(Crediti, ATypedCreditIsTakenWhenItsCellIsLeftOnlyWithinItsBand)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    // Two pupils of the year, and a cell the cursor can go to that takes no typing: a year
    // the pupil was not in, when there is one, else the first pupil's earliest year.
    const int r1 = int(sits.indexOf(sits.value(0))) + 1, r2 = r1 + 1;
    ASSERT_NE(sits.value(1), 0);
    QPoint fermo(1, r1);
    for (int r = 1; r < g->RowCount(); ++r) {
        for (int c = 1; c < last; ++c) {
            auto rec = frame->RecordDi(c, r);
            if (rec && rec->iSitId == 0)
                fermo = QPoint(c, r);
        }
    }
    // Both rows in the fifth year's band of credits 7-8, the second with the council's point
    // beyond it.
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iBndId = 3004, iCreOutBanda = NULL WHERE "
                          "iSitId = ?"),
           {sits[0]});
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iBndId = 3004, iCreOutBanda = 1 WHERE iSitId "
                          "= ?"),
           {sits[1]});
    frame->Carica();
    const struct
    {
        const char *typed;
        int row;
        QPoint leaveTo;
        const char *stored; // iCreCredito after the save
        const char *motivo; // the reason on the help line of a refused text
    } cases[] = {
        {"8", r1, QPoint(last, r2), "8", nullptr}, // the band's edges
        {" 7 ", r1, QPoint(last, r2), "7", nullptr},
        {"9", r1, QPoint(last, r2), "7", "Il credito 9 è fuori dalla sua banda"},
        {"9", r2, fermo, "9", nullptr}, // one beyond by the council's flag; the cell left decides
        {"6", r2, QPoint(last, r1), "6", nullptr},
        {"10", r2, QPoint(last, r1), "6", "Il credito 10 è fuori dalla sua banda"},
        {"-3", r1, QPoint(last, r2), "7", "Il credito -3 è negativo"},
        {"abc", r1, QPoint(last, r2), "7", "Il credito \"abc\" non è un numero intero."},
        {"2147483647", r1, QPoint(last, r2), "7", "Il credito 2147483647 è fuori dalla sua banda"},
        {"2147483648", r1, QPoint(last, r2), "7", "Il credito 2147483648 è più grande"},
        {"99999999999", r1, QPoint(last, r2), "7", "Il credito 99999999999 è più grande"},
        {"", r1, QPoint(last, r2), "-", nullptr}, // emptied: NULL, the row stays
    };
    // Another office's saves after the load, of a third pupil and of the first pupil's
    // "Integrazione": no save here writes them back.
    ASSERT_NE(sits.value(2), 0);
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iCreCredito = 11 WHERE iSitId = ?"), {sits[2]});
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iCreRecup = 3 WHERE iSitId = ?"), {sits[0]});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        const int sit = sits[c.row - 1];
        const QString stored = QString::fromLatin1(c.stored);
        scrivi(g, last, c.row, QString::fromLatin1(c.typed));
        EXPECT_EQ(g->MoveCursor(c.leaveTo.x(), c.leaveTo.y()), !c.motivo);
        if (c.motivo) {
            EXPECT_EQ(QPoint(g->Col(), g->Row()), QPoint(last, c.row));
            EXPECT_TRUE(frame->PanelHelp->text().contains(QString::fromUtf8(c.motivo)))
                << frame->PanelHelp->text().toStdString();
            EXPECT_EQ(g->Cells(last, c.row), stored);
            EXPECT_EQ(riga(sit).section(QLatin1Char(' '), 0, 0), stored);
            // Showing its value again, the cell lets the cursor go.
            ASSERT_TRUE(g->MoveCursor(c.leaveTo.x(), c.leaveTo.y()));
        }
        salva(frame);
        EXPECT_EQ(riga(sit).section(QLatin1Char(' '), 0, 0), stored);
        EXPECT_EQ(g->Cells(last, c.row), stored == "-" ? QString() : stored);
        EXPECT_EQ(righe(sit), 1);
        EXPECT_EQ(riga(sits[2]).section(QLatin1Char(' '), 0, 0), QStringLiteral("11"));
        EXPECT_EQ(riga(sits[0]).section(QLatin1Char(' '), 7, 7), QStringLiteral("3"));
    }
}

// The other numbers of a credit row, typed in their display modes, keep their rule against the
// row's band (7-8): no more than the band gives, the credit by average within it, nothing
// negative; and a total past what an int holds still shows.
TEST_F(Crediti, EveryCreditNumberIsHeldToItsRuleAndTheTotalShows)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    const int r1 = int(sits.indexOf(sits.value(0))) + 1;
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iBndId = 3004, iCreOutBanda = NULL WHERE "
                          "iSitId = ?"),
           {sits[0]});
    frame->Carica();
    const struct
    {
        int modo;
        const char *typed;
        const char *motivo; // nullptr: taken, and saved
        int colonna;        // of the stored row (riga)
    } cases[] = {
        {TfrqevCarCre::mcPerMedia, "9", "Il credito per media 9 è fuori dalla sua banda", 1},
        {TfrqevCarCre::mcPerMedia, "7", nullptr, 1},
        {TfrqevCarCre::mcFrmSco, "99", "Il credito formativo e scolastico 99 supera la sua", 5},
        {TfrqevCarCre::mcFrmSco, "1", nullptr, 5},
        {TfrqevCarCre::mcSosp, "2147483647", "Il credito sospeso 2147483647 supera la sua", 6},
        {TfrqevCarCre::mcSosp, "2", nullptr, 6},
        {TfrqevCarCre::mcRecup, "2147483647", "Il credito di integrazione 2147483647 supera", 7},
        {TfrqevCarCre::mcRecup, "-1", "Il credito di integrazione -1 è negativo", 7},
        {TfrqevCarCre::mcRecup, "8", nullptr, 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        frame->VisualizzaModo(c.modo);
        const QString prima = riga(sits[0]).section(QLatin1Char(' '), c.colonna, c.colonna);
        scrivi(g, last, r1, QString::fromLatin1(c.typed));
        EXPECT_EQ(g->MoveCursor(last, r1 + 1), !c.motivo);
        if (c.motivo) {
            EXPECT_TRUE(frame->PanelHelp->text().contains(QString::fromUtf8(c.motivo)))
                << frame->PanelHelp->text().toStdString();
            scrivi(g, last, r1, prima == "-" ? QString() : prima);
            ASSERT_TRUE(g->MoveCursor(last, r1 + 1));
        }
        salva(frame);
        EXPECT_EQ(riga(sits[0]).section(QLatin1Char(' '), c.colonna, c.colonna),
                  c.motivo ? prima : QString::fromLatin1(c.typed));
    }

    runSql(QStringLiteral("UPDATE TCre_Crediti SET iCreCredito = 8, iCreRecup = 2147483647 WHERE "
                          "iSitId = ?"),
           {sits[0]});
    frame->Carica();
    frame->AggiornaMedia(r1);
    qint64 totale = 0;
    for (int c = 1; c < g->ColCount(); ++c) {
        if (auto rec = frame->RecordDi(c, r1))
            totale += qint64(rec->iCreCredito) + rec->iCreRecup;
    }
    EXPECT_GT(totale, std::numeric_limits<int>::max());
    EXPECT_EQ(frame->laMedia->text().trimmed(), QStringLiteral("Credito totale: %1").arg(totale));
}

// While this office types a credit, another office deletes the pupil's row, then stores one
// with its own credit: each save is told and stores nothing; the next writes over it, one row.
TEST_F(Crediti, ACreditAnotherOfficeStoredMeanwhileIsToldBeforeItIsWrittenOver)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    const int sit = sits.value(0);
    ASSERT_NE(sit, 0);
    const QString mio = nellaBanda(frame, last, 1);
    ASSERT_NE(mio, QStringLiteral("9"));
    scrivi(g, last, 1, mio);
    ASSERT_TRUE(g->MoveCursor(last, 2));
    const char *const steps[][3] = {
        // The other office's change, what this office's save tells, the credit stored after.
        {"DELETE FROM TCre_Crediti WHERE iSitId = ?", "cancellato da un'altra postazione", nullptr},
        {"INSERT INTO TCre_Crediti (iCreId, iSitId, iCreCredito) VALUES (990001, ?, 9)",
         "inserito da un'altra postazione", "9"},
        {nullptr, nullptr, nullptr},
    };
    for (const char *marks : {"TCreSco", "TCreFrm"})
        runSql(QStringLiteral("DELETE FROM %1 WHERE iCreId IN (SELECT iCreId FROM TCre_Crediti "
                              "WHERE iSitId = ?)")
                   .arg(QLatin1String(marks)),
               {sit});
    for (const auto &step : steps) {
        SCOPED_TRACE(step[1] ? step[1] : "saved");
        if (step[0])
            runSql(QString::fromLatin1(step[0]), {sit});
        DialogSeam::clearShown();
        salva(frame);
        const QString told = DialogSeam::shownTexts().mid(1).join('|');
        if (step[1])
            EXPECT_TRUE(told.contains(QString::fromUtf8(step[1]))) << told.toStdString();
        else
            EXPECT_EQ(told, QString());
        EXPECT_EQ(righe(sit), step[1] && !step[2] ? 0 : 1);
        EXPECT_EQ(riga(sit).section(' ', 0, 0), step[2]   ? QString::fromLatin1(step[2])
                                                : step[1] ? QStringLiteral("none")
                                                          : mio);
    }
}

TEST_F(Crediti, TheCalculationTakesTheBandOfTheAverageAndClearsTheBandWhenNoneHoldsIt)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    ASSERT_GE(sits.size(), 2);
    const QList<TqevBanda> bande = TqevCreStore::Bande(k5A);
    // The first pupil keeps his votes; the second loses every vote, after a band and credits
    // were stored for him: no band holds an average of nothing.
    runSql(QStringLiteral("UPDATE TCre_Crediti SET iBndId = 3004, iCrePerMedia = 7, iCreCredito "
                          "= 8 WHERE iSitId = ?"),
           {sits[1]});
    runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = ?"), {sits[1]});
    frame->Carica();
    for (int r : {1, 2}) {
        ASSERT_TRUE(g->MoveCursor(last, r));
        frame->aCreMax->trigger();
    }
    salva(frame);
    const QStringList con = riga(sits[0]).split(QLatin1Char(' '));
    const double media = con[4].toDouble();
    const TqevBanda *banda = BandaDi(bande, media);
    ASSERT_GT(media, 1.0);
    ASSERT_NE(banda, nullptr) << media;
    EXPECT_EQ(con[2].toInt(), banda->iBndId);
    EXPECT_EQ(con[1].toInt(), banda->iBndCreMin);
    EXPECT_EQ(con[0].toInt(), banda->iBndCreMax);
    EXPECT_EQ(riga(sits[1]), QStringLiteral("- - - - - - - - -"));
    auto senza = frame->RecordDi(last, 2);
    EXPECT_EQ(senza->sBndDesc, QString());
    EXPECT_EQ(senza->sBndCre, QString());
    // Only the last year is calculated: the earlier ones are history.
    ASSERT_TRUE(g->MoveCursor(1, 1));
    EXPECT_FALSE(frame->aCalcCreMed->isEnabled());
}

TEST_F(Crediti, ThePupilsRowOfAnotherClassOfTheYearIsShownLockedAndNeverWritten)
{
    // A pupil of 5B who spent part of the year in 5A: his 5A credit row is marked to count, and
    // comes first (5A is the earlier class).
    QSqlQuery q = runSql(QStringLiteral(
        "SELECT FIRST 1 S.iSitId, S.iAnaId, S.dStart FROM TSit_Situazioni S JOIN "
        "TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39015 AND S.iSitOrdine = 1 AND "
        "S.iSitPosReg > 0 ORDER BY S.iSitPosReg"));
    ASSERT_TRUE(q.next());
    const int in5B = q.value(0).toInt();
    runSql(QStringLiteral("INSERT INTO TSit_Situazioni (iSitId, iAnaId, iClsPstId, iSitOrdine, "
                          "iSitPosReg, dStart) SELECT FIRST 1 990010, ?, iClsPstId, 2, 0, ? FROM "
                          "TClsPst WHERE iClsId = 39005"),
           {q.value(1), q.value(2)});
    runSql(QStringLiteral("INSERT INTO TCre_Crediti (iCreId, iSitId, iBndId, iCrePerMedia, "
                          "iCreCredito, fCreMediaVoti, lCreConsideraCurrDis) VALUES (990011, "
                          "990010, 3001, 3, 4, 6.0, 1)"));
    const QString stored = riga(990010);
    ASSERT_NO_FATAL_FAILURE(pagina(390152));
    ASSERT_EQ(g->RecordAt<TRecAna>(0, 1)->iSitId, in5B);
    ASSERT_EQ(frame->RecordDi(last, 1)->iSitId, 990010);

    // Locked: not typed into, not calculated (5B's average, of nothing, would clear it), not
    // saved.
    EXPECT_TRUE(g->Bloccata(last, 1));
    ASSERT_TRUE(g->MoveCursor(last, 1));
    EXPECT_FALSE(g->Options().testFlag(TVxStringGrid::goEditing));
    EXPECT_FALSE(frame->aCalcCreMed->isEnabled());
    frame->CalcolaCredito(false);
    salva(frame);
    EXPECT_EQ(riga(990010), stored);
}

TEST_F(Crediti, CheckListsTickOncePerClickOrKeyAndKeepTicksThatCouldNotBeSaved)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    // A credit of an earlier year: its marks take that year's dates.
    int col = 0, row = 0;
    for (int r = 1; r < g->RowCount() && !col; ++r) {
        auto rec = frame->RecordDi(1, r);
        if (rec && rec->iCreId != 0 && rec->iAnsId != 39) {
            col = 1;
            row = r;
        }
    }
    ASSERT_NE(col, 0);
    const int cre = frame->RecordDi(col, row)->iCreId;
    const QString inizio =
        scalar(QStringLiteral("SELECT dAnsVextoInizio FROM TAns_AnniScolast WHERE iAnsId = ?"),
               {frame->RecordDi(col, row)->iAnsId})
            .toDate()
            .toString(Qt::ISODate);
    runSql(QStringLiteral("DELETE FROM TCreSco WHERE iCreId = ?"), {cre});
    // A kind no longer shown, with a mark: never listed, never touched.
    runSql(QStringLiteral("INSERT INTO TSco_Scolastici (iScoId, sScoLDesc, sScoSDesc, iScoPeso, "
                          "iLocked, lScoVisible) VALUES (9, 'Dismesso', 'DISM', 1, 0, 0)"));
    runSql(QStringLiteral("INSERT INTO TCreSco (iCreScoId, iCreId, iScoId) VALUES (990001, ?, 9)"),
           {cre});
    ASSERT_TRUE(g->MoveCursor(col, row));
    QListWidget *list = frame->frqevCreSco->clbLista;
    ASSERT_EQ(list->count(), 3);
    auto mark = [&](int kind) { return QStringLiteral("%1:%2").arg(kind).arg(inizio); };
    const QString dismesso = QStringLiteral("9:");

    // The mouse on the first kind's box.
    const QRect box = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(box.left() + box.height() / 2, box.center().y()));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(spunte("TCreSco", "iScoId", cre), (QStringList{mark(1), dismesso}));
    // Space, then Enter, on the second: one change each.
    list->setFocus();
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(spunte("TCreSco", "iScoId", cre), (QStringList{mark(1), mark(2), dismesso}));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(spunte("TCreSco", "iScoId", cre), (QStringList{mark(1), dismesso}));
    // The office's place in the list stays while the grid goes to another credit and back;
    // the mark of the kind no longer shown stays through the ticks after it.
    ASSERT_TRUE(g->MoveCursor(col, row + 1));
    ASSERT_TRUE(g->MoveCursor(col, row));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(spunte("TCreSco", "iScoId", cre), (QStringList{mark(1), dismesso}));
    EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
    // A mark another office stored meanwhile is not stored twice.
    runSql(QStringLiteral("INSERT INTO TCreSco (iCreScoId, iCreId, iScoId) VALUES (990002, ?, 3)"),
           {cre});
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty())
        << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(spunte("TCreSco", "iScoId", cre).size(), 3);

    // The database refuses a mark: the tick stays, unsaved work of the page (closing asks),
    // and neither re-checking the cell nor pointing at the same credit drops it; leaving it
    // asks, and Cancel stays.
    runSql(QStringLiteral("CREATE EXCEPTION E_TEST_NOMARK 'spunta rifiutata'"));
    for (const char *table : {"TCreSco", "TCreFrm"})
        runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOMARK_%1 FOR %1 BEFORE INSERT OR DELETE AS "
                              "BEGIN EXCEPTION E_TEST_NOMARK; END")
                   .arg(QLatin1String(table)));
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(frame->frqevCreSco->bModificata);
    EXPECT_TRUE(g->Modificato());
    EXPECT_TRUE(frame->ValidaCella(QStringLiteral("x")));
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    DialogSeam::queueAnswer(int(mrCancel));
    g->MoveCursor(col, row + 1);
    EXPECT_EQ(g->Row(), row);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    // Both lists hold a refused tick: Yes saves the first, once the database takes it again,
    // Cancel on the second stays, and neither list leaves the cell's credit.
    QListWidget *formativi = frame->frqevCreFrm->clbLista;
    ASSERT_GT(formativi->count(), 0);
    formativi->setFocus();
    formativi->setCurrentRow(0);
    QTest::keyClick(formativi, Qt::Key_Space);
    EXPECT_TRUE(frame->frqevCreFrm->bModificata);
    runSql(QStringLiteral("DROP TRIGGER T_TEST_NOMARK_TCreSco"));
    DialogSeam::queueAnswer(int(mrYes));
    DialogSeam::queueAnswer(int(mrCancel));
    g->MoveCursor(col, row + 1);
    EXPECT_EQ(g->Row(), row);
    EXPECT_EQ(frame->frqevCreSco->iCreId, cre);
    EXPECT_EQ(frame->frqevCreFrm->iCreId, cre);
    runSql(QStringLiteral("DROP TRIGGER T_TEST_NOMARK_TCreFrm"));
    DialogSeam::queueAnswer(int(mrYes));
    ASSERT_TRUE(g->MoveCursor(col, row + 1));
    EXPECT_FALSE(frame->frqevCreFrm->bModificata);
    QStringList stored = spunte("TCreSco", "iScoId", cre);
    EXPECT_EQ(stored.size(), 4);
    EXPECT_TRUE(stored.contains(mark(2)));
    EXPECT_EQ(stored.last(), dismesso);

    // The page's save stores a refused tick.
    const int altro = frame->frqevCreSco->iCreId;
    ASSERT_NE(altro, cre);
    const QStringList prima = spunte("TCreSco", "iScoId", altro);
    runSql(QStringLiteral("CREATE TRIGGER T_TEST_NOMARK FOR TCreSco BEFORE INSERT OR DELETE AS "
                          "BEGIN EXCEPTION E_TEST_NOMARK; END"));
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Space);
    runSql(QStringLiteral("DROP TRIGGER T_TEST_NOMARK"));
    salva(frame);
    EXPECT_FALSE(frame->frqevCreSco->bModificata);
    EXPECT_NE(spunte("TCreSco", "iScoId", altro), prima);
    EXPECT_FALSE(g->Modificato());
}

TEST_F(Crediti, APupilWindowTakesTheClassWindowsUnsavedCreditAndGivesBackWhatItSaves)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    ASSERT_NE(sits.value(0), 0);
    // Typed in the class window and not saved.
    const QString mio = nellaBanda(frame, last, 1);
    scrivi(g, last, 1, mio);
    ASSERT_TRUE(g->MoveCursor(last - 1, 1));
    ASSERT_TRUE(g->MoveCursor(last, 1));
    frame->aSingolo->trigger();
    TfmqevCarSng *pupil = fmqevCarSng();
    ASSERT_NE(pupil, nullptr);
    ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Crediti")));
    auto *sng = qobject_cast<TfrqevCarCre *>(pupil->FrameDi(tdCrediti));
    TqelStringGrid *p = sng->grGrid;
    const int anno = p->RowCount() - 1;
    EXPECT_EQ(p->Row(), anno);
    ASSERT_EQ(sng->RecordDi(1, anno)->iSitId, sits[0]);
    EXPECT_EQ(p->Cells(6, anno), mio);
    // "Integrazione" typed per pupil and saved there.
    scrivi(p, 7, anno, QStringLiteral("2"));
    ASSERT_TRUE(p->MoveCursor(6, anno));
    salva(sng);
    EXPECT_EQ(riga(sits[0]).section(QLatin1Char(' '), 0, 0), mio);
    EXPECT_EQ(riga(sits[0]).section(QLatin1Char(' '), 7, 7), QStringLiteral("2"));
    EXPECT_EQ(frame->RecordDi(last, 1)->iCreRecup, 2);
    EXPECT_TRUE(chiudi(pupil));
    // What the pupil window saved is the class window's stored value: nothing to save there.
    ASSERT_TRUE(g->MoveCursor(last, 2));
    salva(frame);
    EXPECT_EQ(riga(sits[0]).section(QLatin1Char(' '), 7, 7), QStringLiteral("2"));
}

TEST_F(Crediti, TheCommendationAndTheNoteComeFromThePickDialogAndBackspaceClearsThem)
{
    ASSERT_NO_FATAL_FAILURE(pagina());
    const int sit = sits.value(0);
    ASSERT_NE(sit, 0);
    auto stored = [sit] {
        QSqlQuery q = runSql(
            QStringLiteral("SELECT iEncId, bCreNota FROM TCre_Crediti WHERE iSitId = ?"), {sit});
        if (!q.next())
            return QStringLiteral("none");
        return (q.value(0).isNull() ? QStringLiteral("-") : q.value(0).toString()) + '|' +
               QString::fromUtf8(q.value(1).toByteArray());
    };
    const struct
    {
        int modo;
        std::function<void(TfmqevSelItem *)> scegli;
        const char *cella;
        const char *dopo;
    } cases[] = {
        {TfrqevCarCre::mcEncomio, [](TfmqevSelItem *p) { p->SelezionaItem(2); }, "MEN", "2|"},
        {TfrqevCarCre::mcNota,
         [](TfmqevSelItem *p) { p->meNota->setPlainText(QStringLiteral("Certificato FCE")); }, "Sì",
         "2|Certificato FCE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.modo);
        frame->AzioniModo[c.modo]->trigger();
        EXPECT_FALSE(g->Options().testFlag(TVxStringGrid::goEditing));
        scegli(frame, last, 1, c.scegli);
        EXPECT_EQ(g->Cells(last, 1), QString::fromUtf8(c.cella));
        salva(frame);
        EXPECT_EQ(stored(), QString::fromLatin1(c.dopo));
    }
    pick()->close();
    // Backspace clears what the mode shows: the note, then the commendation.
    for (int modo : {int(TfrqevCarCre::mcNota), int(TfrqevCarCre::mcEncomio)}) {
        frame->AzioniModo[modo]->trigger();
        ASSERT_TRUE(g->MoveCursor(last, 1));
        QTest::keyClick(g, Qt::Key_Backspace);
        EXPECT_EQ(g->Cells(last, 1), QString());
    }
    salva(frame);
    EXPECT_EQ(stored(), QStringLiteral("-|"));

    // A course year the pupil was not in takes nothing from the dialog: its walk steps over
    // the year, and a choice made while the cursor stands on it is not kept unsaved.
    runSql(QStringLiteral("UPDATE TSit_Situazioni SET iPosFinId = 2 WHERE iSitId = ?"),
           {frame->RecordDi(1, 2)->iSitId});
    frame->LoadData();
    ASSERT_EQ(frame->RecordDi(1, 2)->iSitId, 0);
    frame->AzioniModo[TfrqevCarCre::mcEncomio]->trigger();
    ASSERT_TRUE(g->MoveCursor(1, 2));
    g->PrevCell();
    auto encomio = [](TfmqevSelItem *p) { p->SelezionaItem(2); };
    scegli(frame, g->Col(), g->Row(), encomio);
    EXPECT_NE(QPoint(g->Col(), g->Row()), QPoint(1, 2));
    ASSERT_TRUE(g->MoveCursor(1, 2));
    encomio(pick());
    pick()->AssegnaCella(true, true);
    EXPECT_EQ(frame->RecordDi(1, 2)->iEncId, 0);
    EXPECT_EQ(g->Cells(1, 2), QString());
    pick()->close();
}
