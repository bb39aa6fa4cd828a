// Debts in the subject window and in the debts window: assigned with the defaults, edited
// through the pick dialog and Backspace, deleted, and refused on subjects a pupil does not
// take; every case checked in the database.
#include "gradeentry/qevdebstore.h"
#include "gradeentry/qevfcardeb.h"
#include "gradeentry/qevfcarmat.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfselcarclsdett.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcardeb.h"
#include "tests/gradeentry/gradewindows.h"

#include <QAction>
#include <QCalendarWidget>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

namespace {

constexpr int k5A = 390052;      // 5A of 2008/2009, final session
constexpr int kReligione = 1328; // its RELIGIONE, not taken on plan of studies 12
constexpr int kMatReligione = 13;

// A pupil's stored debt in a subject of 2008/2009: "attr|ver|type|outcome|teacher|teacher|note".
QString debito(int iAnaId, int iMatId)
{
    QSqlQuery q = runSql(
        QStringLiteral("SELECT D.dDebAttr, D.dDebVer, D.iDtpDtdId, D.iDesDedId, D.iAnaId_Attr, "
                       "D.iAnaId_Ver, D.bDebNota, D.dStart FROM TDeb_Debiti D JOIN "
                       "TSit_Situazioni S ON S.iSitId = D.iSitId AND S.iSitOrdine = 1 WHERE "
                       "S.iAnaId = ? AND S.dStart = '2008-09-01' AND D.iMatId = ?"),
        {iAnaId, iMatId});
    if (!q.next())
        return QStringLiteral("none");
    QStringList values;
    for (int i = 0; i < 7; ++i) {
        const QVariant v = q.value(i);
        values << (v.isNull()                       ? QString()
                   : v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate)
                   : i == 6                         ? QString::fromUtf8(v.toByteArray())
                                                    : v.toString());
    }
    EXPECT_EQ(q.value(7).toDate(), QDate(2008, 9, 1));
    return values.join(QLatin1Char('|'));
}

class Debiti : public GradeWindows
{
protected:
    void SetUp() override
    {
        GradeWindows::SetUp();
        xgvmGlobalVar.SetValues(
            {{QStringLiteral("QELP_CarDeb_dAttr"), QStringLiteral("15/06/2009")},
             {QStringLiteral("QELP_CarDeb_dVer"), QStringLiteral("2009-09-10")},
             {QStringLiteral("QELP_CarDeb_Dtd"), 2},
             {QStringLiteral("QELP_CarDeb_Ded"), 3}});
    }

    TfrqevCarDeb *materia(int iClsSesMatId)
    {
        DialogSeam::queueModalScript([=](QDialog *d) {
            auto *dialog = qobject_cast<TfmqevSelCarClsMat *>(d);
            return dialog && dialog->SelezionaClsSes(k5A) && dialog->SelezionaMateria(iClsSesMatId)
                       ? int(mrOk)
                       : int(mrCancel);
        });
        dmqevActivations->xafCarMat->Execute();
        TfmqevCarMat *window = fmqevCarMat();
        if (!window || !window->MostraPagina(QStringLiteral("Debiti")))
            return nullptr;
        DialogSeam::clearShown();
        return qobject_cast<TfrqevCarDeb *>(window->FrameDi(tdDebiti));
    }

    // The teacher "Assegna debito" takes: the first of the subject in the class, by name.
    static int docente(int iMatId)
    {
        return scalar(QStringLiteral("SELECT FIRST 1 C.iAnaId FROM TClsMatAna C JOIN "
                                     "TAna_Anagrafiche A ON A.iAnaId = C.iAnaId WHERE C.iClsId = "
                                     "39005 AND C.iMatId = ? ORDER BY A.sAnaCognome || ' ' || "
                                     "A.sAnaNome, 1"),
                      {iMatId})
            .toInt();
    }
};

} // namespace

TEST_F(Debiti, ADebtIsAssignedEditedClearedAndDeletedAndLockedRowsTakeNothing)
{
    TfrqevCarDeb *frame = materia(kReligione);
    ASSERT_NE(frame, nullptr);
    TqelStringGrid *g = frame->grGrid;
    int libera = 0, bloccata = 0;
    for (int r = 1; r < g->RowCount(); ++r) {
        auto rec = frame->DebitoDi(1, r);
        ASSERT_NE(rec, nullptr);
        if (rec->bBloccato && !bloccata)
            bloccata = r;
        if (!rec->bBloccato && rec->iDebId == 0 && !libera)
            libera = r;
    }
    ASSERT_NE(libera, 0);
    ASSERT_NE(bloccata, 0);
    const int ana = g->RecordAt<TRecAna>(0, libera)->iAnaId;
    const int anaBloccata = g->RecordAt<TRecAna>(0, bloccata)->iAnaId;
    const QString teacher = QString::number(docente(kMatReligione));
    const int debts = scalar(QStringLiteral("SELECT COUNT(*) FROM TDeb_Debiti")).toInt();

    // A subject the pupil does not take: no command touches the row, no save writes it.
    // (Keys are not tried: the grid moves off a locked cell first.)
    ASSERT_TRUE(g->MoveCursor(4, bloccata));
    frame->aDebDef->trigger();
    frame->aFormSel->trigger();
    frame->aDel->trigger();
    EXPECT_EQ(pick(), nullptr);
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(g->Cells(4, bloccata), QString());
    // Typing is not taken in a debts grid at all.
    ASSERT_TRUE(g->MoveCursor(4, libera));
    QTest::keyClicks(g, QStringLiteral("x"));
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(g->Cells(4, libera), QString());
    // The help line says what writes it instead, with the keys.
    EXPECT_EQ(frame->PanelHelp->text(),
              QStringLiteral(" Il debito non si scrive nella griglia: si sceglie con \"Selezione "
                             "dati...\" (F4) o si assegna con \"Assegna debito\" (Ctrl+D)."));

    const QString assegnato = QStringLiteral("2009-06-15|2009-09-10|2|3|%1|%1|").arg(teacher);
    const struct
    {
        const char *step;
        std::function<void()> act;
        QString stored;
    } steps[] = {
        {"Assegna debito", [&] { frame->aDebDef->trigger(); }, assegnato},
        {"outcome from the pick dialog, beside a note another office saved meanwhile",
         [&] {
             runSql(QStringLiteral("UPDATE TDeb_Debiti SET bDebNota = 'Altra postazione' WHERE "
                                   "iDebId = ?"),
                    {frame->DebitoDi(1, libera)->iDebId});
             scegli(frame, 6, libera, [](TfmqevSelItem *p) { p->SelezionaItem(1); });
         },
         QStringLiteral("2009-06-15|2009-09-10|2|1|%1|%1|Altra postazione").arg(teacher)},
        {"date and note from the pick dialog, over the other office's note: told first",
         [&] {
             scegli(frame, 5, libera,
                    [](TfmqevSelItem *p) { p->mcData->setSelectedDate(QDate(2009, 9, 2)); });
             scegli(frame, 9, libera, testo(QStringLiteral("Prova di settembre")));
             DialogSeam::clearShown();
             salva(frame);
             EXPECT_TRUE(DialogSeam::shownTexts().join('|').contains(
                 QStringLiteral("modificato da un'altra postazione")));
             EXPECT_EQ(
                 debito(ana, kMatReligione),
                 QStringLiteral("2009-06-15|2009-09-10|2|1|%1|%1|Altra postazione").arg(teacher));
         },
         QStringLiteral("2009-06-15|2009-09-02|2|1|%1|%1|Prova di settembre").arg(teacher)},
        {"Backspace on the type",
         [&] {
             ASSERT_TRUE(g->MoveCursor(4, libera));
             QTest::keyClick(g, Qt::Key_Backspace);
             EXPECT_EQ(g->Cells(4, libera), QString());
         },
         QStringLiteral("2009-06-15|2009-09-02||1|%1|%1|Prova di settembre").arg(teacher)},
        {"Cancella answered No, asked naming whose debt",
         [&] {
             DialogSeam::clearShown();
             DialogSeam::queueAnswer(int(mrNo));
             frame->aDel->trigger();
             EXPECT_TRUE(DialogSeam::shownTexts().value(0).startsWith(
                 QStringLiteral("Confermi la cancellazione del debito?\n\nAlunno: %1\nMateria: ")
                     .arg(TfrqevCarBs::NomeAlunno(*g->RecordAt<TRecAna>(0, libera)))))
                 << DialogSeam::shownTexts().value(0).toStdString();
         },
         QStringLiteral("2009-06-15|2009-09-02||1|%1|%1|Prova di settembre").arg(teacher)},
        {"Cancella answered Yes, the debt replaced by another office meanwhile",
         [&] {
             runSql(QStringLiteral("UPDATE TDeb_Debiti SET iDebId = 990020 WHERE iDebId = ?"),
                    {frame->DebitoDi(1, libera)->iDebId});
             DialogSeam::queueAnswer(int(mrYes));
             frame->aDel->trigger();
             EXPECT_EQ(g->Cells(9, libera), QString());
             // Told, the new row kept: the save below deletes it.
             DialogSeam::clearShown();
             salva(frame);
             EXPECT_TRUE(DialogSeam::shownTexts().join('|').contains(
                 QStringLiteral("sostituito da un'altra postazione")));
             EXPECT_NE(debito(ana, kMatReligione), QStringLiteral("none"));
         },
         QStringLiteral("none")},
        {"a note of blanks alone is no debt",
         [&] { scegli(frame, 9, libera, testo(QStringLiteral("   "))); }, QStringLiteral("none")},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        ASSERT_TRUE(g->MoveCursor(3, libera));
        s.act();
        salva(frame);
        EXPECT_FALSE(g->Modificato());
        EXPECT_EQ(debito(ana, kMatReligione), s.stored);
        EXPECT_EQ(debito(anaBloccata, kMatReligione), QStringLiteral("none"));
    }
    // Saved twice over, the debt was one row, updated in place, then deleted.
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TDeb_Debiti")).toInt(), debts);
}

TEST_F(Debiti, TheDebtsWindowListsThePupilsSubjectsAndIsRefusedBesideAnotherWindow)
{
    const int iSitId = scalar(QStringLiteral("SELECT FIRST 1 S.iSitId FROM TSit_Situazioni S JOIN "
                                             "TClsPst P ON P.iClsPstId = S.iClsPstId WHERE "
                                             "P.iClsId = 39005 AND S.iSitOrdine = 1 AND "
                                             "S.dStart = '2008-09-01' ORDER BY S.iSitId"))
                           .toInt();
    const int iAnaId =
        scalar(QStringLiteral("SELECT iAnaId FROM TSit_Situazioni WHERE iSitId = ?"), {iSitId})
            .toInt();
    runSql(QStringLiteral("DELETE FROM TDeb_Debiti WHERE iSitId = ?"), {iSitId});
    DialogSeam::queueModalScript([=](QDialog *d) {
        auto *dialog = qobject_cast<TfmQevSelCarClsAlu *>(d);
        return dialog && dialog->SelezionaClsSes(k5A) && dialog->SelezionaAlunno(iSitId)
                   ? int(mrOk)
                   : int(mrCancel);
    });
    ASSERT_TRUE(dmqevActivations->xafCarDeb->Execute());
    TfmqevCarDeb *window = fmqevCarDeb();
    ASSERT_NE(window, nullptr);
    TfrqevCarDeb *frame = window->frqevCarDebDeb();
    TqelStringGrid *g = frame->grGrid;
    int matematica = 0;
    for (int r = 1; r < g->RowCount(); ++r) {
        if (g->RecordAt<TRecMat>(0, r)->sMatLDesc.trimmed() == QStringLiteral("MATEMATICA"))
            matematica = r;
    }
    ASSERT_NE(matematica, 0);
    // Away from the subject window the averages are read from what is stored.
    EXPECT_FALSE(g->Cells(2, matematica).isEmpty());
    // The other grade-entry windows are refused while it is open.
    DialogSeam::clearShown();
    EXPECT_FALSE(dmqevActivations->xafCarCls->Execute());
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral("debiti")));

    ASSERT_TRUE(g->MoveCursor(4, matematica));
    frame->aDebDef->trigger();
    frame->aFormSel->trigger();
    ASSERT_NE(pick(), nullptr);
    EXPECT_EQ(pick()->TipoSel, int(TfmqevSelItem::skTipoDebito));
    pick()->SelezionaItem(1);
    pick()->AssegnaCella(true, true);
    // Closing asks what to save; "Salva" saves the debt.
    DialogSeam::queueModalScript([](QDialog *) { return int(mrOk); });
    EXPECT_TRUE(chiudi(window));
    const QString teacher = QString::number(docente(3));
    EXPECT_EQ(debito(iAnaId, 3), QStringLiteral("2009-06-15|2009-09-10|1|3|%1|%1|").arg(teacher));
}

TEST_F(Debiti, TheClassWindowEntersTheTypeAndAPupilWindowTakesAndGivesBackTheDebts)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Debiti")));
    auto *frame = qobject_cast<TfrqevCarDeb *>(window->FrameDi(tdDebiti));
    TqelStringGrid *g = frame->grGrid;
    int matematica = 0, religione = 0;
    for (int c = 1; c < g->ColCount(); ++c) {
        const QString nome = g->RecordAt<TRecMat>(c, 0)->sMatLDesc.trimmed();
        if (nome == QStringLiteral("MATEMATICA"))
            matematica = c;
        if (nome == QStringLiteral("RELIGIONE"))
            religione = c;
    }
    ASSERT_NE(matematica, 0);
    int row = 0, bloccata = 0;
    for (int r = 1; r < g->RowCount(); ++r) {
        if (!row && frame->DebitoDi(matematica, r)->iDebId == 0)
            row = r;
        if (!bloccata && frame->DebitoDi(religione, r)->bBloccato)
            bloccata = r;
    }
    ASSERT_NE(row, 0);
    ASSERT_NE(bloccata, 0);
    auto ana = g->RecordAt<TRecAna>(0, row);
    const QString teacher = QString::number(docente(3));
    auto tipo = [](int id) {
        return scalar(QStringLiteral("SELECT TRIM(D.sDtdLDesc) FROM TDtpDtd T JOIN "
                                     "TDtd_DebTpDett D ON D.iDtdId = T.iDtdId WHERE T.iDtpDtdId "
                                     "= ?"),
                      {id})
            .toString();
    };

    ASSERT_TRUE(g->MoveCursor(religione, bloccata));
    frame->aDebDef->trigger();
    EXPECT_FALSE(g->Modificato());
    ASSERT_TRUE(g->MoveCursor(matematica, row));
    frame->aDebDef->trigger();
    EXPECT_EQ(g->Cells(matematica, row), tipo(2));
    frame->aFormSel->trigger();
    ASSERT_NE(pick(), nullptr);
    EXPECT_EQ(pick()->TipoSel, int(TfmqevSelItem::skTipoDebito));
    pick()->SelezionaItem(1);
    pick()->AssegnaCella(true, true);
    EXPECT_EQ(g->Cells(matematica, row), tipo(1));
    pick()->close();
    salva(frame);
    EXPECT_EQ(debito(ana->iAnaId, 3),
              QStringLiteral("2009-06-15|2009-09-10|1|3|%1|%1|").arg(teacher));

    // The votes page paints the pupil's votes in the subject in the debts colour.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    TqelStringGrid *voti = window->FrameDi(tdVoti)->grGrid;
    QCoreApplication::processEvents();
    const QImage image = voti->viewport()->grab().toImage();
    int dipinte = 0;
    for (int c = voti->nColIntest(); c < voti->ColCount(); ++c) {
        auto mat = voti->RecordAt<TRecMat>(c, 0);
        const QRect rect = voti->CellRect(c, row + 1);
        if (!mat || rect.isEmpty() || !voti->RecordAt<TRecVal>(c, row + 1))
            continue;
        const bool giallo = image.pixelColor(rect.right() - 3, rect.bottom() - 3) ==
                            dmqevParVis->gColorDebiti(tcClasse);
        EXPECT_EQ(giallo, mat->sMatLDesc.trimmed() == QStringLiteral("MATEMATICA"))
            << mat->sMatLDesc.toStdString();
        dipinte += giallo;
    }
    EXPECT_GT(dipinte, 0);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Debiti")));

    // The screenshots of the credits and debts pages.
    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        ASSERT_TRUE(g->MoveCursor(matematica, row));
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_carcls_debiti.png")));
        ASSERT_TRUE(window->MostraPagina(QStringLiteral("Crediti")));
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_carcls_crediti.png")));
        ASSERT_TRUE(window->MostraPagina(QStringLiteral("Debiti")));
    }

    // The pupil window opened from the class window shows the debt on the subject's row; what
    // it saves there the class window holds as stored.
    ASSERT_TRUE(g->MoveCursor(matematica, row));
    frame->aSingolo->trigger();
    TfmqevCarSng *pupil = fmqevCarSng();
    ASSERT_NE(pupil, nullptr);
    ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Debiti")));
    auto *sng = qobject_cast<TfrqevCarDeb *>(pupil->FrameDi(tdDebiti));
    int riga = 0;
    for (int r = 1; r < sng->grGrid->RowCount(); ++r) {
        if (sng->grGrid->RecordAt<TRecMat>(0, r)->sMatLDesc.trimmed() ==
            QStringLiteral("MATEMATICA"))
            riga = r;
    }
    ASSERT_NE(riga, 0);
    EXPECT_EQ(sng->grGrid->Cells(4, riga), tipo(1));
    EXPECT_EQ(sng->grGrid->Cells(6, riga),
              scalar(QStringLiteral("SELECT TRIM(D.sDedLDesc) FROM TDesDed T JOIN "
                                    "TDed_DebEsDett D ON D.iDedId = T.iDedId WHERE "
                                    "T.iDesDedId = 3"))
                  .toString());
    ASSERT_TRUE(sng->grGrid->MoveCursor(6, riga));
    QTest::keyClick(sng->grGrid, Qt::Key_Backspace);
    salva(sng);
    EXPECT_EQ(debito(ana->iAnaId, 3),
              QStringLiteral("2009-06-15|2009-09-10|1||%1|%1|").arg(teacher));
    EXPECT_EQ(frame->DebitoDi(matematica, row)->iDesDedId, 0);
    EXPECT_TRUE(chiudi(pupil));
    // Nothing left to save in the class window: it closes without asking.
    EXPECT_FALSE(g->Modificato());
    DialogSeam::clearShown();
    EXPECT_TRUE(chiudi(window));
    EXPECT_TRUE(DialogSeam::shown().isEmpty());
}

TEST_F(Debiti, TheAveragesBesideTheDebtsAreEachPupilsOwnBySubject)
{
    // 5A's first pupil gets the ITALIANO votes 6 and 9 (written, oral) and the proposals 6.5
    // and 7; the averages of the whole class are read at once.
    QSqlQuery primo = runSql(
        QStringLiteral("SELECT FIRST 1 S.iSitId, S.iAnaId FROM TSit_Situazioni S JOIN TClsPst P ON "
                       "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39005 AND S.iSitOrdine = 1 AND "
                       "S.iSitPosReg > 0 ORDER BY S.iSitPosReg"));
    ASSERT_TRUE(primo.next());
    const int sit = primo.value(0).toInt();
    const int ana = primo.value(1).toInt();
    const struct
    {
        int cmp, voto, proposta;
    } valori[] = {{1, 106, 606}, {2, 109, 607}};
    for (const auto &v : valori) {
        const QVariant cmc = scalar(QStringLiteral("SELECT iClsMatCmpId FROM TClsMatCmp WHERE "
                                                   "iClsSesMatId = 1320 AND iCmpScaId = ?"),
                                    {v.cmp});
        runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = ? WHERE iSitId = ? AND "
                              "iClsMatCmpId = ?"),
               {v.voto, sit, cmc});
        runSql(QStringLiteral("INSERT INTO TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, "
                              "iPrpScaLivId) VALUES (?, ?, ?, ?)"),
               {2000000 + v.cmp, cmc, sit, v.proposta});
    }
    using Medie = QHash<QPair<int, int>, TqevMedieDebito>;
    auto diAlunno = [](const Medie &medie, int iAnaId) {
        QStringList righe;
        for (auto it = medie.begin(); it != medie.end(); ++it) {
            if (it.key().first == iAnaId)
                righe << QStringLiteral("%1: %2 | %3")
                             .arg(it.key().second)
                             .arg(it->sMedVot, it->sMedVtp);
        }
        righe.sort();
        return righe;
    };
    const Medie classe = TqevDebStore::Medie(39, 0, 39005);
    EXPECT_EQ(classe.value({ana, 1}).sMedVot, QStringLiteral("7,5"));
    EXPECT_EQ(classe.value({ana, 1}).sMedVtp, QStringLiteral("6,75"));
    // Read by pupil, each pupil's are the same: no other pupil's values mix in.
    QSet<int> alunni;
    for (auto it = classe.begin(); it != classe.end(); ++it)
        alunni << it.key().first;
    EXPECT_GE(alunni.size(), 20);
    for (int a : alunni)
        EXPECT_EQ(diAlunno(TqevDebStore::Medie(39, a), a), diAlunno(classe, a)) << a;
}

TEST(DebitiMedie, AGridAverageCountsOnlyShownUnlockedValuesWhoseComponentCounts)
{
    // One pupil, four columns; each case spoils the third cell in one way.
    const struct
    {
        const char *caso;
        std::function<void(TRecVal &, TRecCmp &, QString &)> guasta;
        const char *media;
    } cases[] = {
        {"all count", [](TRecVal &, TRecCmp &, QString &) {}, "6,75"},
        {"locked", [](TRecVal &v, TRecCmp &, QString &) { v.bBloccato = true; }, "6,33"},
        {"level out of averages", [](TRecVal &v, TRecCmp &, QString &) { v.bValInMed = false; },
         "6,33"},
        {"component out of averages",
         [](TRecVal &, TRecCmp &c, QString &) { c.bCmpScaInMedia = false; }, "6,33"},
        {"emptied, record kept", [](TRecVal &, TRecCmp &, QString &t) { t.clear(); }, "6,33"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.caso);
        TqelStringGrid grid;
        grid.setRowCount(3);
        grid.setColCount(5);
        grid.setnRowIntest(2);
        grid.setnColIntest(1);
        auto ana = std::make_shared<TRecAna>();
        ana->iAnaId = 7;
        grid.setObjects(0, 2, ana);
        const double voti[] = {6, 7, 8, 6};
        for (int col = 1; col <= 4; ++col) {
            auto val = std::make_shared<TRecVal>();
            val->iValDato = voti[col - 1];
            val->bValInMed = true;
            val->sValSDesc = QString::number(voti[col - 1]);
            auto cmp = std::make_shared<TRecCmp>();
            cmp->bCmpScaInMedia = true;
            QString text = val->sValSDesc;
            if (col == 3)
                c.guasta(*val, *cmp, text);
            grid.setObjects(col, 2, val);
            grid.setObjects(col, 1, cmp);
            grid.setCells(col, 2, text);
        }
        EXPECT_EQ(TfrqevCarDeb::MediaGriglia(grid, 7), QString::fromLatin1(c.media));
        EXPECT_EQ(TfrqevCarDeb::MediaGriglia(grid, 8), QString());
    }
}
