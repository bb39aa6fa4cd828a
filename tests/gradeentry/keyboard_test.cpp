// The class window from the keyboard: Delete, refusals that say why, Ctrl+S, the closing
// question, the judgments grid and the dialogs.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevparvis.h"
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

constexpr int k5A = 390052;

class Keyboard : public GradeWindows
{
protected:
    void SetUp() override
    {
        GradeWindows::SetUp();
        window = apri(k5A);
        ASSERT_NE(window, nullptr);
    }
    // The page's grid, its cursor on the first open cell that is filled (or empty).
    TqelStringGrid *su(const char *caption, int kind, bool piena = true)
    {
        EXPECT_TRUE(window->MostraPagina(QString::fromUtf8(caption)));
        TqelStringGrid *g = window->FrameDi(kind)->grGrid;
        for (int r = g->nRowIntest(); r < g->RowCount(); ++r)
            for (int c = g->nColIntest(); c < g->ColCount(); ++c)
                if (!g->Bloccata(c, r) && g->Cells(c, r).isEmpty() != piena && g->MoveCursor(c, r))
                    return g;
        ADD_FAILURE() << caption;
        return g;
    }
    TfmqevCarCls *window = nullptr;
};

} // namespace

TEST_F(Keyboard, DeleteEmptiesACellAndARefusedOneKeepsTheCursorSayingWhy)
{
    const QString livelli = QStringLiteral("la scala Decimi accetta NC, 1, 2, 3, 4, 5, 6, 7, 8");
    const QString ore = QStringLiteral("scritte in cifre, da 0 a 9999.");
    const QString codice = QStringLiteral("l'aiuto è un codice di al più 4 caratteri");
    const struct
    {
        const char *caption;
        int kind;
        const char *pasted; // none: Delete (Backspace on absences)
        const char *shown;  // the value as the refusal names it; none: accepted
        QString reason;
    } cases[] = {
        {"Voti", tdVoti, nullptr, nullptr, {}},   {"Assenze", tdAssenze, nullptr, nullptr, {}},
        {"Aiuti", tdAiuti, nullptr, nullptr, {}}, {"Note", tdNote, nullptr, nullptr, {}},
        {"Voti", tdVoti, "7\t", "7\\x09", livelli}, {"Assenze", tdAssenze, "99999", "99999", ore},
        {"Assenze", tdAssenze, "+5", "+5", ore},  {"Assenze", tdAssenze, "-1", "-1", ore},
        {"Assenze", tdAssenze, "9999", nullptr, {}}, {"Aiuti", tdAiuti, "\x01" "A", "\\x01A", codice},
        {"Aiuti", tdAiuti, "\x7f", "\\x7f", codice}, {"Aiuti", tdAiuti, "DSA", nullptr, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.caption) + (c.pasted ? c.pasted : " Delete"));
        TfrqevCarBs *frame = window->FrameDi(c.kind);
        TqelStringGrid *g = su(c.caption, c.kind, c.kind != tdNote);
        const QPoint p(g->Col(), g->Row());
        if (!c.pasted) {
            // 5A has no notes: one is written, its line break kept, then deleted.
            if (c.kind == tdNote)
                scegli(frame, p.x(), p.y(), testo(QStringLiteral("Prima\nseconda")));
            auto nota = std::dynamic_pointer_cast<TRecNot>(g->RecordOf(p.x(), p.y()));
            EXPECT_TRUE(c.kind != tdNote || nota->bNotNota == QStringLiteral("Prima\nseconda"));
            ASSERT_TRUE(g->MoveCursor(p.x(), p.y()));
            QTest::keyClick(g, c.kind == tdAssenze ? Qt::Key_Backspace : Qt::Key_Delete);
            EXPECT_EQ(g->Cells(p.x(), p.y()), QString());
            EXPECT_TRUE(g->CellaModificata(p.x(), p.y()) && !g->EditorMode());
            EXPECT_TRUE(c.kind != tdNote || nota->bNotNota.isEmpty());
            continue;
        }
        // Pasted over the cell's text, as from another program.
        QApplication::clipboard()->setText(QString::fromLatin1(c.pasted));
        QTest::keyClick(g, Qt::Key_F2);
        QTest::keyClick(g->focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(g->focusWidget(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(g->focusWidget(), Qt::Key_Return);
        EXPECT_EQ(QPoint(g->Col(), g->Row()) == p, c.shown != nullptr);
        if (!c.shown)
            continue;
        const QString why = QStringLiteral("Valore \"%1\" non valido: ").arg(c.shown);
        const QString help = frame->PanelHelp->text();
        EXPECT_TRUE(help.contains(why) && help.contains(c.reason)) << help.toStdString();
        // The save is refused with the same reason after the cell's name; emptied, the cell
        // lets the cursor go.
        DialogSeam::clearShown();
        frame->aSave->trigger();
        EXPECT_TRUE(DialogSeam::shownTexts().value(0).contains(QStringLiteral(" \n\n") + why));
        QTest::keyClick(g, Qt::Key_Delete);
        QTest::keyClick(g, Qt::Key_Return);
        EXPECT_NE(QPoint(g->Col(), g->Row()), p);
    }
    // Judgments are not typed: the help line says where they are written.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Giudizio")));
    TfrqevCarBs *giudizi = window->FrameDi(tdGiudizio);
    for (Qt::Key key : {Qt::Key_X, Qt::Key_F2}) {
        giudizi->PanelHelp->clear();
        QTest::keyClick(giudizi->grGrid, key);
        EXPECT_TRUE(giudizi->PanelHelp->text().contains(QStringLiteral("Selezione dati...")));
    }
}

TEST_F(Keyboard, CtrlSSavesThePageAndEnterInTheClosingQuestionSaves)
{
    TqelStringGrid *g = su("Assenze", tdAssenze, false);
    const Cella dove{g->RecordAt<TRecAna>(0, g->Row())->iSitId,
                     g->RecordAt<TRecMat>(g->Col(), 0)->iClsSesMatId, 0};
    QApplication::setActiveWindow(objects->mainWindow());
    QTest::keyClicks(g, QStringLiteral("7"));
    DialogSeam::queueAnswer(int(mrYes)); // "Confermi il salvataggio delle assenze?"
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(memorizzati(tdAssenze, k5A).value(dove), QStringLiteral("7"));

    QTest::keyClick(g, Qt::Key_Backspace);
    QTest::keyClicks(g, QStringLiteral("8"));
    DialogSeam::queueModalScript([](QDialog *d) {
        d->show();
        QTest::keyClick(d, Qt::Key_Return);
        return int(mrNone);
    });
    EXPECT_TRUE(chiudi(window));
    EXPECT_EQ(memorizzati(tdAssenze, k5A).value(dove), QStringLiteral("8"));
}

TEST_F(Keyboard, TheDialogsTakeTheKeyboardAndTheWindowsAreSeenWhole)
{
    objects->mainWindow()->resize(1280, 1024);
    // The pick dialog: arrows enable "Assegna", Enter in "Cerca" assigns what it found.
    TqelStringGrid *g = su("Voti", tdVoti);
    const QPoint p(g->Col(), g->Row());
    window->FrameDi(tdVoti)->aFormSel->trigger();
    TfmqevSelItem *scelta = pick();
    ASSERT_NE(scelta, nullptr);
    scelta->lvItems->clearSelection();
    EXPECT_FALSE(scelta->buOk()->isEnabled());
    QTest::keyClick(scelta->lvItems, Qt::Key_Down);
    EXPECT_TRUE(scelta->buOk()->isEnabled());
    QTest::keyClicks(scelta->eFind,
                     scelta->lvItems->findItems(QStringLiteral("NC"), Qt::MatchExactly, 1).value(0)->text(0));
    saveScreenshot(scelta, QStringLiteral("gradeentry_keyboard_pick.png"));
    QTest::keyClick(scelta->eFind, Qt::Key_Return);
    EXPECT_EQ(g->Cells(p.x(), p.y()), QStringLiteral("NC"));
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_votes.png"));
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Giudizio")));
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_judgments.png"));
    window->FrameDi(tdGiudizio)->aSingolo->trigger();
    saveScreenshot(objects->mainWindow(), QStringLiteral("gradeentry_keyboard_pupil.png"));
    chiudi(TdmqevActivations::FinestraAperta(QString::fromLatin1(QevForms::CarSng)));
    DialogSeam::queueAnswer(int(mrNo)); // "Non salvare"
    ASSERT_TRUE(chiudi(window));

    // The class selection opens on its list: Down and Enter open the next class.
    QVariant scelto;
    DialogSeam::queueModalScript([&scelto](QDialog *d) {
        d->show();
        QApplication::setActiveWindow(d);
        auto *lista = d->findChild<TfrqevSelRO *>();
        EXPECT_EQ(QApplication::focusWidget(), lista->grGrid());
        QTest::keyClick(lista->grGrid(), Qt::Key_Down);
        scelto = lista->ValoreCorrente("iClsSesId");
        QTest::keyClick(lista->grGrid(), Qt::Key_Return);
        return int(mrNone);
    });
    dmqevActivations->xafCarCls->Execute();
    ASSERT_NE(fmqevCarCls(), nullptr);
    EXPECT_EQ(dmqevDataSets->iClsSesId, scelto.toInt());
}
