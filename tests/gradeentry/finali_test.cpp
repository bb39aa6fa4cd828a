// Notes, judgments and final outcomes entered through their frames and saved: in the class
// window, per pupil and per subject, every case checked in the database.
#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevnotstore.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarfin.h"
#include "gradeentry/qevrcargdz.h"
#include "gradeentry/qevrcarnot.h"
#include "platform/transaction.h"
#include "tests/gradeentry/gradewindows.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <functional>

namespace {

QString testoDi(const QVariant &blob)
{
    return blob.isNull() ? QString() : QString::fromUtf8(blob.toByteArray());
}

constexpr int k5A = 390052; // 5A of 2008/2009, final session
constexpr int k3C = 390232; // 3C, vocational: final-session notes of its debts

class FinalData : public GradeWindows
{
protected:
    // Lets the deletions a close asked for happen.
    static void eventi() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // A pupil's stored notes in a subject, by key: "date|teacher|text".
    static QStringList note(int iSitId, int iClsSesMatId)
    {
        QSqlQuery q = runSql(QStringLiteral("SELECT dNotData, iAnaId, bNotNota FROM TNot_Note "
                                            "WHERE iSitId = ? AND iClsSesMatId = ? ORDER BY "
                                            "iNotId"),
                             {iSitId, iClsSesMatId});
        QStringList rows;
        while (q.next())
            rows << q.value(0).toDate().toString(QStringLiteral("dd/MM/yyyy")) + '|' +
                        (q.value(1).isNull() ? QString() : q.value(1).toString()) + '|' +
                        testoDi(q.value(2));
        return rows;
    }

    // The pupil's judgment of the final session; none when there is no row.
    static std::optional<QString> giudizio(int iSitId)
    {
        QSqlQuery q = runSql(QStringLiteral("SELECT bGdzGiudizio FROM TGdz_Giudizi WHERE iSitId = "
                                            "? AND iAnsSesDwgId = 392"),
                             {iSitId});
        return q.next() ? std::optional<QString>(testoDi(q.value(0))) : std::nullopt;
    }

    static QVariant esito(int iSitId)
    {
        return scalar(QStringLiteral("SELECT iPosFinId FROM TSit_Situazioni WHERE iSitId = ?"),
                      {iSitId});
    }

    static std::function<void(TfmqevSelItem *)> data(const QDate &date)
    {
        return [date](TfmqevSelItem *p) { p->mcData->setSelectedDate(date); };
    }
    static std::function<void(TfmqevSelItem *)> voce(int id)
    {
        return [id](TfmqevSelItem *p) { p->SelezionaItem(id); };
    }

    // The grade data module on one pupil of a class session, as the pupil window leaves it.
    static void alunno(int clsSes, int row)
    {
        dmqevDataSets->iAnsSesDwgId = 392;
        dmqevDataSets->ApriClsSes(clsSes);
        auto ana = dmqevDataSets->slAlunni.ObjectAs<TRecAna>(row - 1);
        dmqevDataSets->iAnaId = ana->iAnaId;
        dmqevDataSets->SelezionaAlunno(ana->iSitId);
        dmqevDataSets->iPstIdSel = ana->iPstId;
    }
};

} // namespace

TEST_F(FinalData, NotesAreSavedNoteByNote)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Note")));
    auto *frame = qobject_cast<TfrqevCarNot *>(window->FrameDi(tdNote));
    TqelStringGrid *g = frame->grGrid;
    const int c = 2, r = 3;
    const int sit = g->RecordAt<TRecAna>(0, r)->iSitId;
    const int csm = g->RecordAt<TRecMat>(c, 0)->iClsSesMatId;
    auto nota = [&] { return g->RecordAt<TRecNot>(c, r); };
    ASSERT_TRUE(note(sit, csm).isEmpty());
    const int teacher = scalar(QStringLiteral("SELECT MIN(iAnaId) FROM TClsMatAna WHERE iClsId = "
                                              "39005"))
                            .toInt();
    const QString docente = QString::number(teacher);
    // Writes one part of the note through the menu's part and the pick dialog.
    auto parte = [&](QAction *action, const std::function<void(TfmqevSelItem *)> &setter) {
        action->trigger();
        scegli(frame, c, r, setter);
    };
    auto cancella = [&] {
        ASSERT_TRUE(g->MoveCursor(c, r));
        DialogSeam::queueAnswer(int(mrYes));
        frame->aDel->trigger();
    };
    int key = 0; // the note's row after the step before
    int lastKey = 0;
    const struct
    {
        const char *caso;
        std::function<void()> fai;
        QStringList attese;
        bool nuovaChiave; // the stored row is another than the step before's
    } passi[] = {
        {"new note",
         [&] {
             parte(frame->aNota, testo(QStringLiteral("Ritardi all'ingresso")));
             parte(frame->aDataNota, data(QDate(2008, 11, 12)));
             parte(frame->aDocNome, voce(teacher));
         },
         {"12/11/2008|" + docente + "|Ritardi all'ingresso"},
         true},
        {"saved twice without a change",
         [] {},
         {"12/11/2008|" + docente + "|Ritardi all'ingresso"},
         false},
        {"changed text",
         [&] { parte(frame->aNota, testo(QStringLiteral("Ritardi frequenti"))); },
         {"12/11/2008|" + docente + "|Ritardi frequenti"},
         false},
        {"deleted and written again before saving",
         [&] {
             cancella();
             parte(frame->aNota, testo(QStringLiteral("Disturba la lezione")));
         },
         {"||Disturba la lezione"},
         false},
        {"deleted", [&] { cancella(); }, {}, false},
        {"written again once the deletion is saved",
         [&] { parte(frame->aNota, testo(QStringLiteral("Assenze ingiustificate"))); },
         {"||Assenze ingiustificate"},
         true},
        {"text cleared with Backspace: an empty note goes",
         [&] {
             frame->aNota->trigger();
             ASSERT_TRUE(g->MoveCursor(c, r));
             QTest::keyClick(g, Qt::Key_Backspace);
         },
         {},
         false},
        {"only a teacher",
         [&] { parte(frame->aDocNome, voce(teacher)); },
         {"|" + docente + "|"},
         true},
    };
    for (const auto &p : passi) {
        SCOPED_TRACE(p.caso);
        p.fai();
        TVxStatementRecorder recorder;
        salva(frame);
        EXPECT_FALSE(g->Modificato());
        EXPECT_EQ(note(sit, csm), p.attese);
        EXPECT_EQ(nota()->iNotId != 0, !p.attese.isEmpty());
        if (p.nuovaChiave) {
            EXPECT_NE(nota()->iNotId, lastKey);
        } else if (!p.attese.isEmpty()) {
            EXPECT_EQ(nota()->iNotId, key);
        }
        key = nota()->iNotId;
        lastKey = key != 0 ? key : lastKey;
        if (std::string(p.caso) == "saved twice without a change") {
            EXPECT_EQ(scritture(recorder, QStringLiteral("TNOT_NOTE")), 0);
        }
    }
    // The note's key is the row's own, whatever the table holds beside it.
    EXPECT_EQ(scalar(QStringLiteral("SELECT iSitId FROM TNot_Note WHERE iNotId = ?"), {key}),
              QVariant(sit));

    // A statement the database refuses: rolled back, told, the grid still modified.
    runSql(QStringLiteral("CREATE EXCEPTION E_NOTA 'nota rifiutata per prova'"));
    runSql(QStringLiteral(
        "CREATE TRIGGER T_NOTA FOR TNot_Note BEFORE UPDATE AS BEGIN EXCEPTION E_NOTA; END"));
    parte(frame->aNota, testo(QStringLiteral("Rifiutata")));
    DialogSeam::clearShown();
    salva(frame);
    ASSERT_EQ(DialogSeam::shownTexts().size(), 2); // the question, then the failure
    EXPECT_TRUE(DialogSeam::shownTexts().last().contains(QStringLiteral("nota rifiutata")));
    EXPECT_TRUE(g->Modificato());
    EXPECT_FALSE(TVxTransaction::activeOn(qqoVxGlobConn()));
    EXPECT_EQ(note(sit, csm), QStringList{"|" + docente + "|"});
    runSql(QStringLiteral("DROP TRIGGER T_NOTA"));
    salva(frame);
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(note(sit, csm), QStringList{"|" + docente + "|Rifiutata"});
    EXPECT_EQ(g->Cells(c, r), QStringLiteral("Sì"));
    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        frame->aDocNome->trigger();
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_note.png")));
    }
}

TEST_F(FinalData, NotesOfOneSubject)
{
    // Per subject: 3C's notes on its suspended pupils' first debts; a second note of the same
    // pupil and subject, stored by another program, stays as it is.
    QSqlQuery q =
        runSql(QStringLiteral(
                   "SELECT FIRST 1 N.iSitId, N.iClsSesMatId, N.bNotNota FROM TNot_Note N JOIN "
                   "TClsSesMat S "
                   "ON S.iClsSesMatId = N.iClsSesMatId WHERE S.iClsSesId = ? ORDER BY N.iNotId"),
               {k3C});
    ASSERT_TRUE(q.next());
    const int sit = q.value(0).toInt();
    const int csm = q.value(1).toInt();
    const QString stored = testoDi(q.value(2));
    runSql(QStringLiteral("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, bNotNota) VALUES "
                          "(990001, ?, ?, 'Seconda nota')"),
           {csm, sit});
    dmqevDataSets->iAnsSesDwgId = 392;
    dmqevDataSets->iClsSesMatId = csm;
    dmqevDataSets->ApriClsSes(k3C);
    QWidget host;
    auto *perMateria = new TfrqevCarNot(&host);
    perMateria->TipoCar = tcMateria;
    perMateria->InitTipoDati(tdNote);
    TqelStringGrid *g = perMateria->grGrid;
    EXPECT_EQ(g->ColCount(), 4);
    int row = -1;
    for (int r = 1; r < g->RowCount(); ++r) {
        if (g->RecordAt<TRecAna>(0, r)->iSitId == sit)
            row = r;
    }
    ASSERT_GT(row, 0);
    EXPECT_EQ(g->RecordAt<TRecNot>(1, row)->bNotNota, stored);
    EXPECT_EQ(g->Cells(3, row), QStringLiteral("Sì"));
    EXPECT_FALSE(g->Cells(2, row).isEmpty()); // the teacher's name
    // Another pupil: the dialog walks date, teacher and text along his row.
    const int other = row == 1 ? 2 : 1;
    const int otherSit = g->RecordAt<TRecAna>(0, other)->iSitId;
    scegli(perMateria, 1, other, data(QDate(2009, 6, 10)));
    EXPECT_EQ(pick()->TipoSel, int(TfmqevSelItem::skDocenteNota));
    pick()->SelezionaItem(pick()->lvItems->topLevelItem(0)->data(0, Qt::UserRole).toInt());
    const int teacher = pick()->ItemSelezionato();
    pick()->AssegnaCella(true, true);
    EXPECT_EQ(pick()->TipoSel, int(TfmqevSelItem::skTestoNota));
    pick()->meNota->setPlainText(QStringLiteral("Lavoro estivo"));
    pick()->AssegnaCella(true, true);
    salva(perMateria);
    EXPECT_EQ(note(otherSit, csm),
              QStringList{"10/06/2009|" + QString::number(teacher) + "|Lavoro estivo"});
    EXPECT_EQ(note(sit, csm), (QStringList{note(sit, csm).value(0), "||Seconda nota"}));
}

TEST_F(FinalData, JudgmentsAreStoredExactlyAsTyped)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Giudizio")));
    auto *frame = qobject_cast<TfrqevCarGdz *>(window->FrameDi(tdGiudizio));
    TqelStringGrid *g = frame->grGrid;
    auto sitDi = [g](int r) { return g->RecordAt<TRecAna>(0, r)->iSitId; };
    QString lungo;
    for (int i = 0; i < 4000; ++i)
        lungo += QStringLiteral("Più che sufficiente; è migliorato. ");
    const struct
    {
        const char *caso;
        std::function<void(int row)> fai;
        std::optional<QString> atteso;
    } casi[] = {
        {"accents and line breaks",
         [&](int row) { scegli(frame, 1, row, testo(QStringLiteral("È maturato.\nPiù sicuro."))); },
         QStringLiteral("È maturato.\nPiù sicuro.")},
        {"a long text", [&](int row) { scegli(frame, 1, row, testo(lungo)); }, lungo},
        {"blanks around, kept",
         [&](int row) { scegli(frame, 1, row, testo(QStringLiteral("  Buono.  \n"))); },
         QStringLiteral("  Buono.  \n")},
        {"deleted with Backspace",
         [&](int row) {
             ASSERT_TRUE(g->MoveCursor(1, row));
             QTest::keyClick(g, Qt::Key_Backspace);
         },
         std::nullopt},
        {"deleted with the button",
         [&](int row) {
             ASSERT_TRUE(g->MoveCursor(1, row));
             DialogSeam::queueAnswer(int(mrYes));
             frame->tbCancella->trigger();
         },
         std::nullopt},
    };
    int row = 1;
    for (const auto &c : casi) {
        SCOPED_TRACE(c.caso);
        ASSERT_TRUE(giudizio(sitDi(row)).has_value()); // every pupil of 5A has one
        c.fai(row);
        salva(frame);
        EXPECT_FALSE(g->Modificato());
        EXPECT_EQ(giudizio(sitDi(row)), c.atteso);
        EXPECT_EQ(g->RecordAt<TRecGdz>(1, row)->iGdzId != 0, c.atteso.has_value());
        ++row;
    }
    // Written again after the deletion was saved: one new row. Read back: the texts as typed.
    scegli(frame, 1, 4, testo(QStringLiteral("Ritorna.")));
    salva(frame);
    EXPECT_EQ(giudizio(sitDi(4)), QStringLiteral("Ritorna."));
    frame->Carica();
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(g->RecordAt<TRecGdz>(1, r)->bGdzGiudizio, casi[r - 1].atteso.value());
    EXPECT_EQ(g->Cells(1, 3), QStringLiteral("Buono."));

    // A text stored with "\r\n" by another program goes through the dialog untouched, and an
    // unchanged text is not written.
    runSql(QStringLiteral("UPDATE TGdz_Giudizi SET bGdzGiudizio = ? WHERE iSitId = ? AND "
                          "iAnsSesDwgId = 392"),
           {QStringLiteral("Riga uno\r\nriga due"), sitDi(6)});
    frame->Carica();
    {
        TVxStatementRecorder recorder;
        scegli(frame, 1, 6, [](TfmqevSelItem *) {});
        salva(frame);
        EXPECT_EQ(recorder.executed(TqevGdzStore::SqlAggiorna()), 0);
    }
    EXPECT_EQ(giudizio(sitDi(6)), QStringLiteral("Riga uno\r\nriga due"));

    // Leaving the page saves without asking.
    scegli(frame, 1, 7, testo(QStringLiteral("Salvato uscendo.")));
    DialogSeam::clearShown();
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    EXPECT_EQ(giudizio(sitDi(7)), QStringLiteral("Salvato uscendo."));
}

// The key of a record that shows a stored text, with the text.
std::pair<int, QString> testoMostrato(TVxGridObject *o)
{
    if (auto *r = dynamic_cast<TRecNot *>(o))
        return {r->iNotId, r->bNotNota};
    if (auto *r = dynamic_cast<TRecDeb *>(o))
        return {r->iDebId, r->slNota.join('\n')};
    if (auto *r = dynamic_cast<TRecCre *>(o))
        return {r->iCreId, r->lsNota.join('\n')};
    if (auto *r = dynamic_cast<TRecGdz *>(o))
        return {r->iGdzId, r->bGdzGiudizio};
    return {0, QString()};
}

TEST_F(FinalData, TextsLongerThanTheirRowHoldsAreReadWhole)
{
    // The texts come in their rows up to 2000 characters (not bytes: "è" takes two); a longer
    // one is read again by itself, never cut.
    const QString pieno = QString(1999, QLatin1Char('a')) + QStringLiteral("è");
    const QString oltre = pieno + QStringLiteral("!");
    const struct
    {
        const char *tabella, *chiave, *colonna;
        int tipo;
        const char *righe; // two rows the class window of 3C shows
    } casi[] = {
        {"TNot_Note", "iNotId", "bNotNota", tdNote,
         "SELECT MIN(N.iNotId) FROM TNot_Note N JOIN TClsSesMat C ON C.iClsSesMatId = "
         "N.iClsSesMatId WHERE C.iClsSesId = 390232 GROUP BY N.iSitId, N.iClsSesMatId ORDER BY 1"},
        {"TDeb_Debiti", "iDebId", "bDebNota", tdDebiti,
         "SELECT D.iDebId FROM TDeb_Debiti D JOIN TSit_Situazioni S ON S.iSitId = D.iSitId JOIN "
         "TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39023 ORDER BY 1"},
        {"TCre_Crediti", "iCreId", "bCreNota", tdCrediti,
         "SELECT C.iCreId FROM TCre_Crediti C JOIN TSit_Situazioni S ON S.iSitId = C.iSitId JOIN "
         "TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39023 ORDER BY 1"},
        {"TGdz_Giudizi", "iGdzId", "bGdzGiudizio", tdGiudizio,
         "SELECT G.iGdzId FROM TGdz_Giudizi G JOIN TSit_Situazioni S ON S.iSitId = G.iSitId JOIN "
         "TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39023 AND G.iAnsSesDwgId = "
         "392 ORDER BY 1"},
    };
    QHash<int, QHash<int, QString>> scritti; // by kind, then by key
    for (const auto &c : casi) {
        QSqlQuery q = runSql(QString::fromLatin1(c.righe));
        for (const QString &text : {pieno, oltre}) {
            ASSERT_TRUE(q.next()) << c.tabella;
            runSql(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                       .arg(QLatin1String(c.tabella), QLatin1String(c.colonna),
                            QLatin1String(c.chiave)),
                   {text, q.value(0)});
            scritti[c.tipo].insert(q.value(0).toInt(), text);
        }
    }
    TfmqevCarCls *window = apri(k3C);
    ASSERT_NE(window, nullptr);
    for (const auto &c : casi) {
        SCOPED_TRACE(c.tabella);
        TqelStringGrid *g = window->FrameDi(c.tipo)->grGrid;
        QHash<int, QString> letti;
        for (int r = 0; r < g->RowCount(); ++r) {
            for (int col = 0; col < g->ColCount(); ++col) {
                const auto [chiave, text] = testoMostrato(g->Objects(col, r).get());
                if (scritti[c.tipo].contains(chiave))
                    letti.insert(chiave, text);
            }
        }
        EXPECT_EQ(letti, scritti[c.tipo]);
    }
}

TEST_F(FinalData, FinalOutcomesPerClassAndPerPupil)
{
    // Per pupil, without the class window: the drop-down shows the stored outcome; a choice
    // marks the frame and is saved.
    alunno(k5A, 1);
    QWidget host;
    auto *perAlunno = new TfrqevCarFin(&host);
    perAlunno->TipoCar = tcAlunno;
    perAlunno->InitTipoDati(tdEsito);
    const int sit = dmqevDataSets->iSitId;
    QComboBox *combo = perAlunno->cbEsito;
    ASSERT_GE(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentData(), esito(sit));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(perAlunno->grGrid->Modificato());
    const QVariant scelto = combo->currentData();
    salva(perAlunno);
    EXPECT_EQ(esito(sit), scelto);

    // A stored outcome whose detail is deleted shows no choice, and saving keeps it.
    runSql(QStringLiteral("UPDATE TStaFinDett SET dDelete = CURRENT_DATE WHERE iStaFinDettId = "
                          "11"));
    runSql(QStringLiteral("UPDATE TSit_Situazioni SET iPosFinId = 11 WHERE iSitId = ?"), {sit});
    perAlunno->InitTipoDati(tdEsito);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(combo->findData(11), -1);
    perAlunno->grGrid->setModificato(true);
    {
        TVxStatementRecorder recorder;
        salva(perAlunno);
        EXPECT_EQ(recorder.executed(TqevFinStore::SqlAggiorna()), 0);
    }
    EXPECT_EQ(esito(sit), QVariant(11));

    // Per class: an outcome emptied with Backspace is stored as none; only changed rows are
    // written.
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Esito finale")));
    TfrqevCarBs *frame = window->FrameDi(tdEsito);
    TqelStringGrid *g = frame->grGrid;
    EXPECT_EQ(g->RecordAt<TRecFin>(1, 1)->iPosFinId, 11);
    EXPECT_EQ(g->Cells(1, 1), QStringLiteral("Sospeso")); // the stored outcome's own text
    ASSERT_TRUE(g->MoveCursor(1, 2));
    QTest::keyClick(g, Qt::Key_Backspace);
    EXPECT_TRUE(g->Cells(1, 2).isEmpty());
    EXPECT_TRUE(g->Modificato());
    scegli(frame, 1, 3, voce(5));
    EXPECT_EQ(g->Cells(1, 3), QStringLiteral("Amm. esame"));
    TVxStatementRecorder recorder;
    salva(frame);
    EXPECT_EQ(recorder.executed(TqevFinStore::SqlAggiorna()), 2);
    EXPECT_TRUE(esito(g->RecordAt<TRecAna>(0, 2)->iSitId).isNull());
    EXPECT_EQ(esito(g->RecordAt<TRecAna>(0, 3)->iSitId), QVariant(5));
    EXPECT_EQ(esito(sit), QVariant(11));
}

TEST_F(FinalData, ThePupilWindowWorksOnTheClassWindowsNotesJudgmentAndOutcome)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    const int r = 4;
    // A note typed in the class window and not saved.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Note")));
    auto *classNotes = qobject_cast<TfrqevCarNot *>(window->FrameDi(tdNote));
    scegli(classNotes, 1, r, testo(QStringLiteral("Scritta in classe")));
    const int sit = classNotes->grGrid->RecordAt<TRecAna>(0, r)->iSitId;
    const int subject = classNotes->grGrid->RecordAt<TRecMat>(1, 0)->iClsSesMatId;
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Esito finale")));
    TfrqevCarBs *classFin = window->FrameDi(tdEsito);
    TqelStringGrid *classGdz = window->FrameDi(tdGiudizio)->grGrid;
    ASSERT_TRUE(classFin->grGrid->MoveCursor(1, r));
    classFin->aFormSel->trigger();
    classFin->aSingolo->trigger();
    TfmqevCarSng *pupil = fmqevCarSng();
    ASSERT_NE(pupil, nullptr);
    EXPECT_FALSE(dmqevActivations->SelItemAperto());
    EXPECT_EQ(pupil->PaginaAttiva(), QStringLiteral("Finale"));
    auto *gdz = qobject_cast<TfrqevCarGdz *>(pupil->FrameDi(tdGiudizio));
    auto *fin = qobject_cast<TfrqevCarFin *>(pupil->FrameDi(tdEsito));
    auto *notes = qobject_cast<TfrqevCarNot *>(pupil->FrameDi(tdNote));
    // The judgment and the outcome are the class window's own records; the notes copies.
    EXPECT_EQ(gdz->grGrid->RecordAt<TRecGdz>(0, 0), classGdz->RecordAt<TRecGdz>(1, r));
    EXPECT_EQ(fin->grGrid->RecordAt<TRecFin>(0, 0), classFin->grGrid->RecordAt<TRecFin>(1, r));
    EXPECT_EQ(gdz->meGiudizio->toPlainText(), giudizio(sit).value());
    EXPECT_EQ(fin->cbEsito->currentData(), esito(sit));
    ASSERT_EQ(notes->grGrid->RecordAt<TRecMat>(0, 1)->iClsSesMatId, subject);
    EXPECT_EQ(notes->grGrid->RecordAt<TRecNot>(1, 1)->bNotNota,
              QStringLiteral("Scritta in classe"));
    EXPECT_EQ(notes->grGrid->Cells(3, 1), QStringLiteral("Sì"));
    EXPECT_FALSE(classFin->aSave->isEnabled()); // read-only behind the pupil window

    QTest::keyClick(gdz->meGiudizio, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(gdz->meGiudizio, QStringLiteral(" Bravo."));
    const QString judgment = giudizio(sit).value() + QStringLiteral(" Bravo.");
    fin->cbEsito->setFocus();
    QTest::keyClick(fin->cbEsito, fin->cbEsito->currentIndex() > 0 ? Qt::Key_Up : Qt::Key_Down);
    const QVariant outcome = fin->cbEsito->currentData();
    const QString outcomeText = fin->cbEsito->currentText();
    ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Note")));
    scegli(notes, 3, 1, testo(QStringLiteral("Corretta dal singolo")));
    // A click on the read-only class grid behind does not take the dialog there.
    QTest::mouseClick(classNotes->grGrid->viewport(), Qt::LeftButton, {},
                      classNotes->grGrid->viewport()->rect().center());
    EXPECT_EQ(pick()->Griglia, notes->grGrid);
    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        ASSERT_TRUE(pupil->MostraPagina(QStringLiteral("Finale")));
        QCoreApplication::processEvents();
        EXPECT_TRUE(pupil->grab().save(dir + QStringLiteral("/gradeentry_finale.png")));
    }

    // Closing the pupil window offers the three pages and saves them; the class window shows
    // what was saved, and has nothing of it left to write.
    QStringList offered;
    DialogSeam::queueModalScript([&offered](QDialog *d) {
        for (QCheckBox *box : d->findChildren<QCheckBox *>()) {
            if (box->isChecked() && box->isEnabled())
                offered << box->objectName();
        }
        return int(mrOk);
    });
    ASSERT_TRUE(chiudi(pupil));
    offered.sort();
    EXPECT_EQ(offered, (QStringList{"cbFin", "cbGdz", "cbNot"}));
    EXPECT_EQ(note(sit, subject), QStringList{"||Corretta dal singolo"});
    EXPECT_EQ(giudizio(sit), judgment);
    EXPECT_EQ(esito(sit), outcome);
    EXPECT_EQ(classGdz->Cells(1, r), judgment.trimmed());
    EXPECT_EQ(classFin->grGrid->Cells(1, r), outcomeText);
    EXPECT_EQ(classNotes->grGrid->RecordAt<TRecNot>(1, r)->bNotNota,
              QStringLiteral("Corretta dal singolo"));
    TVxStatementRecorder recorder;
    DialogSeam::queueAnswer(int(mrOk)); // the class window's notes page is still modified
    ASSERT_TRUE(chiudi(window));
    for (const char *table : {"TNOT_NOTE", "TGDZ_GIUDIZI", "TSIT_SITUAZIONI"})
        EXPECT_EQ(scritture(recorder, QString::fromLatin1(table)), 0) << table;
}
