// The class window as a clerk works it from the keyboard: Delete, refusals that say why, the
// closing question, Ctrl+S, the judgments grid and the dialogs that take the keyboard.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevfcarsave.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "gradeentry/qevrselro.h"
#include "tests/support/testfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

namespace {

constexpr int k5A = 390052; // votes, absences, aids and notes stored

class Keyboard : public GradeWindows
{
protected:
    TfrqevCarBs *pagina(const char *caption, int kind)
    {
        EXPECT_TRUE(window->MostraPagina(QString::fromUtf8(caption)));
        return window->FrameDi(kind);
    }

    // The first open data cell holding text (or none, or that text): {-1, -1} when none.
    static QPoint cella(TqelStringGrid *g, bool piena, const QString &text = {})
    {
        for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
            for (int c = g->nColIntest(); c < g->ColCount(); ++c) {
                const QString t = g->Cells(c, r).trimmed();
                if (!g->Bloccata(c, r) && (text.isEmpty() ? t.isEmpty() != piena : t == text))
                    return {c, r};
            }
        }
        return {-1, -1};
    }

    // Closes the window answering the save question with the keyboard.
    void chiudiConTasto(Qt::Key key)
    {
        DialogSeam::queueModalScript([key](QDialog *d) {
            d->show();
            QTest::keyClick(d, key);
            return int(mrNone);
        });
        chiudi(window);
    }

    void SetUp() override
    {
        GradeWindows::SetUp();
        // The last pupil of 5A has no vote yet: the office enters them.
        runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = (SELECT FIRST 1 S.iSitId FROM "
                              "TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = S.iClsPstId "
                              "WHERE P.iClsId = 39005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 "
                              "ORDER BY S.iSitPosReg DESC)"));
        window = apri(k5A);
        ASSERT_NE(window, nullptr);
    }

    TfmqevCarCls *window = nullptr;
};

} // namespace

TEST_F(Keyboard, DeleteAndBackspaceEmptyTheCellAndTheSaveDeletesItsValue)
{
    const struct
    {
        const char *caption;
        int kind;
        Qt::Key key;
    } cases[] = {{"Voti", tdVoti, Qt::Key_Delete},  {"Assenze", tdAssenze, Qt::Key_Backspace},
                 {"Aiuti", tdAiuti, Qt::Key_Delete}, {"Note", tdNote, Qt::Key_Delete},
                 {"Note", tdNote, Qt::Key_Backspace}};
    QHash<int, Cella> svuotate;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.caption);
        TfrqevCarBs *frame = pagina(c.caption, c.kind);
        TqelStringGrid *g = frame->grGrid;
        // The demo's 5A has no notes: one is written first.
        const QPoint p = cella(g, c.kind != tdNote);
        ASSERT_GE(p.x(), 0);
        if (c.kind == tdNote)
            scegli(frame, p.x(), p.y(), testo(QStringLiteral("Da cancellare")));
        ASSERT_TRUE(g->MoveCursor(p.x(), p.y()));
        QTest::keyClick(g, c.key);
        EXPECT_FALSE(g->EditorMode());
        EXPECT_EQ(QPoint(g->Col(), g->Row()), p);
        EXPECT_EQ(g->Cells(p.x(), p.y()), QString());
        EXPECT_TRUE(g->CellaModificata(p.x(), p.y()));
        if (c.kind <= tdAiuti) {
            auto mat = g->RecordAt<TRecMat>(p.x(), 0);
            auto cmp = c.kind == tdVoti ? g->RecordAt<TRecCmp>(p.x(), 1) : nullptr;
            svuotate.insert(c.kind, Cella{g->RecordAt<TRecAna>(0, p.y())->iSitId,
                                          mat->iClsSesMatId, cmp ? cmp->iCmpScaId : 0});
        } else {
            auto nota = std::dynamic_pointer_cast<TRecNot>(g->RecordOf(p.x(), p.y()));
            EXPECT_TRUE(nota->bNotNota.isEmpty());
        }
    }
    // A note keeps its line breaks, where a code keeps none.
    TfrqevCarBs *note = pagina("Note", tdNote);
    const QPoint libera = cella(note->grGrid, false);
    ASSERT_GE(libera.x(), 0);
    scegli(note, libera.x(), libera.y(), testo(QStringLiteral("Prima riga\nseconda riga")));

    chiudiConTasto(Qt::Key_Return);
    EXPECT_EQ(fmqevCarCls(), nullptr);
    for (auto it = svuotate.cbegin(); it != svuotate.cend(); ++it)
        EXPECT_FALSE(memorizzati(it.key(), k5A).contains(it.value())) << it.key();
    QStringList testi;
    for (QSqlQuery q = runSql(QStringLiteral("SELECT bNotNota FROM TNot_Note")); q.next();)
        testi << QString::fromUtf8(q.value(0).toByteArray());
    EXPECT_TRUE(testi.contains(QStringLiteral("Prima riga\nseconda riga")));
}

TEST_F(Keyboard, ARefusedCellKeepsTheCursorAndSaysWhyUntilItIsEmptied)
{
    const QString livelli = QStringLiteral("la scala Decimi accetta NC, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10.");
    const QString ore = QStringLiteral("scritte in cifre, da 0 a 9999.");
    const QString codice = QStringLiteral("l'aiuto è un codice di al più 4 caratteri");
    const struct
    {
        const char *caption;
        int kind;
        const char *pasted;
        const char *shown; // the value as the help line names it; none: accepted
        QString reason;
    } cases[] = {
        {"Voti", tdVoti, "7\t", "7\\x09", livelli},
        {"Voti", tdVoti, "ottimo", "ottimo", livelli},
        {"Assenze", tdAssenze, "99999", "99999", ore},
        {"Assenze", tdAssenze, "+5", "+5", ore},
        {"Assenze", tdAssenze, "-1", "-1", ore},
        {"Assenze", tdAssenze, "1 2", "1 2", ore},
        {"Assenze", tdAssenze, "9999", nullptr, {}},
        {"Aiuti", tdAiuti, "\x01" "A", "\\x01A", codice},
        {"Aiuti", tdAiuti, "A\x1b", "A\\x1b", codice},
        {"Aiuti", tdAiuti, "\x7f", "\\x7f", codice},
        {"Aiuti", tdAiuti, "L1040", "L1040", codice},
        {"Aiuti", tdAiuti, "DSA", nullptr, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pasted);
        TfrqevCarBs *frame = pagina(c.caption, c.kind);
        TqelStringGrid *g = frame->grGrid;
        const QPoint p = cella(g, false);
        ASSERT_GE(p.x(), 0);
        ASSERT_TRUE(g->MoveCursor(p.x(), p.y()));
        // Pasted into the cell's editor, as from another program.
        QApplication::clipboard()->setText(QString::fromLatin1(c.pasted));
        QTest::keyClick(g, Qt::Key_F2);
        QTest::keyClick(g->focusWidget(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(g->focusWidget(), Qt::Key_Return);
        if (!c.shown) {
            EXPECT_NE(QPoint(g->Col(), g->Row()), p);
            continue;
        }
        const QString why =
            QStringLiteral("Valore \"%1\" non valido: ").arg(QString::fromLatin1(c.shown));
        EXPECT_EQ(QPoint(g->Col(), g->Row()), p);
        const QString help = frame->PanelHelp->text();
        EXPECT_TRUE(help.contains(why) && help.contains(c.reason)) << help.toStdString();
        // The save is refused with the same reason after the cell's name.
        DialogSeam::clearShown();
        frame->aSave->trigger();
        ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral(" \n\n") + why))
            << DialogSeam::shownTexts().first().toStdString();
        // Emptied, the cell lets the cursor go.
        QTest::keyClick(g, Qt::Key_Delete);
        QTest::keyClick(g, Qt::Key_Return);
        EXPECT_NE(QPoint(g->Col(), g->Row()), p);
    }
    // The judgments are not typed: the help line says where they are written.
    TfrqevCarBs *giudizi = pagina("Giudizio", tdGiudizio);
    for (Qt::Key key : {Qt::Key_X, Qt::Key_F2}) {
        giudizi->PanelHelp->clear();
        QTest::keyClick(giudizi->grGrid, key);
        EXPECT_FALSE(giudizi->grGrid->EditorMode());
        EXPECT_TRUE(giudizi->PanelHelp->text().contains(QStringLiteral("\"Selezione dati...\"")));
    }
}

TEST_F(Keyboard, CtrlSSavesThePageAndEnterInTheClosingQuestionSaves)
{
    TqelStringGrid *g = pagina("Assenze", tdAssenze)->grGrid;
    const QPoint p = cella(g, false);
    ASSERT_GE(p.x(), 0);
    const Cella dove{g->RecordAt<TRecAna>(0, p.y())->iSitId,
                     g->RecordAt<TRecMat>(p.x(), 0)->iClsSesMatId, 0};
    for (const char *ore : {"7", "8"}) {
        SCOPED_TRACE(ore);
        QApplication::setActiveWindow(objects->mainWindow());
        g->setEditorMode(false);
        ASSERT_TRUE(g->MoveCursor(p.x(), p.y()));
        g->setFocus();
        QTest::keyClicks(g, QString::fromLatin1(ore));
        if (QString::fromLatin1(ore) == QStringLiteral("7")) {
            DialogSeam::queueAnswer(int(mrYes)); // "Confermi il salvataggio delle assenze?"
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
            EXPECT_FALSE(g->Modificato());
        } else {
            QTest::keyClick(g, Qt::Key_Return);
            chiudiConTasto(Qt::Key_Return);
            EXPECT_EQ(fmqevCarCls(), nullptr);
        }
        EXPECT_EQ(memorizzati(tdAssenze, k5A).value(dove), QString::fromLatin1(ore));
    }
}

TEST_F(Keyboard, TheDialogsTakeTheKeyboardAndTheWindowsAreSeenAtTheirSize)
{
    objects->mainWindow()->resize(1280, 1024);
    // The pick dialog: arrows enable "Assegna", Enter in "Cerca" assigns what it found.
    TfrqevCarBs *voti = pagina("Voti", tdVoti);
    TqelStringGrid *g = voti->grGrid;
    const QPoint p = cella(g, false);
    ASSERT_GE(p.x(), 0);
    ASSERT_TRUE(g->MoveCursor(p.x(), p.y()));
    voti->aFormSel->trigger();
    TfmqevSelItem *scelta = pick();
    ASSERT_NE(scelta, nullptr);
    scelta->lvItems->clearSelection();
    EXPECT_FALSE(scelta->buOk()->isEnabled());
    QTest::keyClick(scelta->lvItems, Qt::Key_Down);
    EXPECT_TRUE(scelta->buOk()->isEnabled());
    const QList<QTreeWidgetItem *> dieci =
        scelta->lvItems->findItems(QStringLiteral("10"), Qt::MatchExactly, 1);
    ASSERT_EQ(dieci.size(), 1);
    QTest::keyClicks(scelta->eFind, dieci.first()->text(0));
    saveScreenshot(scelta, QStringLiteral("gradeentry_keyboard_pick.png"));
    QTest::keyClick(scelta->eFind, Qt::Key_Return);
    EXPECT_EQ(g->Cells(p.x(), p.y()), QStringLiteral("10"));
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_votes.png"));
    pagina("Giudizio", tdGiudizio);
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_judgments.png"));
    pagina("Voti", tdVoti)->aSingolo->trigger();
    QWidget *alunno = TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng));
    ASSERT_NE(alunno, nullptr);
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_pupil.png"));
    chiudi(alunno);
    DialogSeam::queueAnswer(int(mrNo)); // the class window: "Non salvare"
    ASSERT_TRUE(chiudi(fmqevCarCls()));

    // The class selection opens on its list: Down and Enter open the next class.
    int scelta2 = 0;
    DialogSeam::queueModalScript([&scelta2](QDialog *d) {
        d->show();
        QApplication::setActiveWindow(d);
        auto *lista = d->findChild<TfrqevSelRO *>()->grGrid();
        EXPECT_EQ(QApplication::focusWidget(), lista);
        QTest::keyClick(lista, Qt::Key_Down);
        scelta2 = d->findChild<TfrqevSelRO *>()->ValoreCorrente("iClsSesId").toInt();
        QTest::keyClick(lista, Qt::Key_Return);
        return int(mrNone);
    });
    dmqevActivations->xafCarCls->Execute();
    ASSERT_NE(fmqevCarCls(), nullptr);
    EXPECT_NE(scelta2, 0);
    EXPECT_EQ(dmqevDataSets->iClsSesId, scelta2);
}
