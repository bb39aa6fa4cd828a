// Run by tests/makeup/run_under_xvfb.sh on a private X server of 1366x768, the screen of many
// offices, where a window asks the window system for the keyboard as it does at an office: a
// class entered from the keyboard alone, QTest's key events sent where the keyboard is. The
// screenshots go to $TAVRIN_SCREENSHOTS.
#include "tests/gradeentry/gradewindows.h"

#include "gradeentry/qevfcarmat.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevfselcarclsdett.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcardeb.h"
#include "gradeentry/qevrcarfin.h"
#include "gradeentry/qevrcargdz.h"
#include "gradeentry/qevrcrelista.h"
#include "gradeentry/qevrselro.h"
#include "shell/qelmain.h"
#include "tests/makeup/x11support.h"
#include "tests/support/testfiles.h"
#include "tests/support/windowfaults.h"

#include <QApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int k5A = 390052; // 5A of 2008/2009, final session

using Keyboard = GradeWindows;

// Where the pick window stood as it was first shown: a window manager maps it there.
class FirstShown : public QObject
{
public:
    QRect at;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && at.isNull())
            if (auto *p = qobject_cast<TfmqevSelItem *>(watched))
                at = p->frameGeometry();
        return false;
    }
};

// The grid's current row on the screen.
QRect rowOnScreen(const TqelStringGrid *g)
{
    const QRect cell = g->CellRect(g->Col(), g->Row());
    return {g->viewport()->mapToGlobal(QPoint(0, cell.top())),
            QSize(g->viewport()->width(), cell.height())};
}

// Every command of the page's frames stands on its tool bar, none behind the bar's "»", with
// its key in its tooltip (a menu's, its items').
void everyCommandShows(QWidget *window)
{
    QCoreApplication::processEvents();
    for (TfrqevCarBs *frame : window->findChildren<TfrqevCarBs *>()) {
        if (!frame->isVisible())
            continue;
        for (QAction *action : frame->xoaCustom()->actions()) {
            QWidget *button = frame->xoaCustom()->widgetForAction(action);
            if (!action->isVisible() || action->isSeparator() || !button)
                continue;
            SCOPED_TRACE(frame->objectName().toStdString() + " " + action->text().toStdString());
            EXPECT_TRUE(button->isVisible());
            auto *menu = qobject_cast<QToolButton *>(button);
            const QList<QAction *> commands =
                menu && menu->menu() ? menu->menu()->actions() : QList<QAction *>{action};
            for (QAction *command : commands) {
                const QString key = command->shortcut().toString(QKeySequence::NativeText);
                EXPECT_FALSE(key.isEmpty()) << command->text().toStdString();
                EXPECT_TRUE(button->toolTip().contains(key)) << button->toolTip().toStdString();
            }
        }
    }
}

} // namespace

// "Caricamento per singolo" and "per materia" by keyboard alone: the class list's arrows to 3A,
// Tab into its pupils (subjects), where the keyboard shows (the class's row grey), End and Up to
// the one before the last, Return. The window opens on that one, the pupil window on its votes;
// Alt+PgDown, shown in its caption, goes to the last. On the pupil's "Finale" Tab leaves the
// judgment as typed for the outcome, named with its letter; "Ammesso", saved there, opens his
// year on "Crediti" at once to a credit typed. Ctrl+W closes each window as it was just opened.
TEST_F(Keyboard, APupilAndASubjectOf3AChosenByKeyboard)
{
    TfmqelMain *main = objects->mainWindow();
    main->setGeometry(main->screen()->geometry());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    for (TVxAttForm *command : {dmqevActivations->xafCarSng, dmqevActivations->xafCarMat}) {
        const bool pupil = command == dmqevActivations->xafCarSng;
        const char *field = pupil ? "iSitId" : "iClsSesMatId";
        const auto current = [pupil] {
            return pupil ? dmqevDataSets->iSitId : dmqevDataSets->iClsSesMatId;
        };
        SCOPED_TRACE(field);
        QVariant beforeLast, last;
        DialogSeam::queueModalScript([&](QDialog *d) {
            auto *dialog = qobject_cast<TfmqevSelCarClsDett *>(d);
            const auto classe = [dialog] {
                return dialog->frqevSelCls()->ValoreCorrente("sClsDesc").toString();
            };
            focus(dialog, dialog->frqevSelCls()->grGrid());
            EXPECT_EQ(windowFaults(dialog), QStringList());
            for (int i = 0; i < 30 && !classe().startsWith(QStringLiteral("3A")); ++i)
                key(Qt::Key_Down);
            key(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), dialog->frDettaglio()->grGrid());
            for (const Qt::Key k : {Qt::Key_End, Qt::Key_Up})
                key(k);
            const int rows = dialog->frDettaglio()->Righe();
            beforeLast = dialog->frDettaglio()->Valore(rows - 2, field);
            last = dialog->frDettaglio()->Valore(rows - 1, field);
            EXPECT_EQ(dialog->frDettaglio()->ValoreCorrente(field), beforeLast);
            // Of the two chosen rows, the one of the list with the keyboard in the highlight.
            for (QTableView *list :
                 {dialog->frqevSelCls()->grGrid(), dialog->frDettaglio()->grGrid()}) {
                const QModelIndex chosen = list->currentIndex().siblingAtColumn(list->columnAt(0));
                const QPoint inRow = list->visualRect(chosen).center() + QPoint(60, 0);
                EXPECT_EQ(highlighted(list->viewport(), inRow),
                          list == QApplication::focusWidget());
            }
            screenshot(dialog, QStringLiteral("gradeentry_keyboard_%1.png").arg(field));
            // Not admitted, and without a credit: his year opens to one only with an outcome
            // that bears one, and its total shows once the credit is there.
            if (pupil) {
                runSql("UPDATE TSit_Situazioni SET iPosFinId = 2 WHERE iSitId = ?", {last});
                for (const char *table : {"TCreSco", "TCreFrm", "TCre_Crediti"})
                    runSql(QStringLiteral("DELETE FROM %1 WHERE iCreId IN (SELECT iCreId FROM "
                                          "TCre_Crediti WHERE iSitId = ?)")
                               .arg(QLatin1String(table)),
                           {last});
            }
            key(Qt::Key_Return);
            return int(mrNone);
        });
        command->Execute();
        QMdiSubWindow *sub = main->mdiArea()->activeSubWindow();
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(current(), beforeLast.toInt());
        auto *window = qobject_cast<TfmqevCarBase *>(sub->widget());
        if (pupil)
            EXPECT_EQ(window->PaginaAttiva(), QStringLiteral("Voti"));
        focus(main, window->FrameAttivo()->grGrid);
        auto *next = window->findChild<QAction *>(pupil ? "aNextSit" : "aNextMat");
        EXPECT_TRUE(next->toolTip().endsWith(QStringLiteral("(Alt+PgDown)")));
        EXPECT_TRUE(next->iconText().endsWith(QStringLiteral("(Alt+PgDown)")));
        key(Qt::Key_PageDown, Qt::AltModifier);
        EXPECT_EQ(current(), last.toInt());
        if (pupil) {
            ASSERT_TRUE(window->MostraPagina(QStringLiteral("Finale")));
            auto *giudizio = static_cast<TfrqevCarGdz *>(window->FrameDi(tdGiudizio))->meGiudizio;
            giudizio->setFocus();
            giudizio->setPlainText(QStringLiteral("Ha lavorato."));
            key(Qt::Key_Tab);
            EXPECT_EQ(giudizio->toPlainText(), QStringLiteral("Ha lavorato."));
            auto *esito = static_cast<TfrqevCarFin *>(window->FrameDi(tdEsito))->cbEsito;
            EXPECT_EQ(QApplication::focusWidget(), esito);
            giudizio->setFocus();
            key(Qt::Key_E, Qt::AltModifier);
            EXPECT_EQ(QApplication::focusWidget(), esito);
            QTest::keyClicks(esito, QStringLiteral("Ammesso"));
            EXPECT_EQ(esito->currentText(), QStringLiteral("Ammesso"));
            EXPECT_EQ(windowFaults(main), QStringList());
            saveScreenshot(main, QStringLiteral("gradeentry_keyboard_finale.png"));
            DialogSeam::queueAnswer(int(mrYes));
            key(Qt::Key_S, Qt::ControlModifier);
            // To the credits: his year's credit typed at once, their total beside every command,
            // headers whole.
            key(Qt::Key_PageDown, Qt::ControlModifier);
            ASSERT_EQ(window->PaginaAttiva(), QStringLiteral("Crediti"));
            auto *crediti = static_cast<TfrqevCarCre *>(window->FrameDi(tdCrediti));
            TqelStringGrid *cg = crediti->grGrid;
            EXPECT_EQ(QApplication::focusWidget(), cg);
            const auto anno = crediti->RecordDi(1, cg->RowCount() - 1);
            ASSERT_NE(anno, nullptr);
            EXPECT_FALSE(CreditoBloccato(*anno));
            // His band by the calculation, the credit typed over it at the band's other end.
            key(Qt::Key_End, Qt::ControlModifier);
            for (int i = 0; i < 2; ++i)
                key(Qt::Key_Left); // "Credito"
            key(Qt::Key_M, Qt::ControlModifier);
            const QString banda = anno->sBndCre;
            ASSERT_FALSE(banda.isEmpty());
            const int fine = anno->iCreCredito == banda.section('-', 0, 0).toInt();
            const QString credito = banda.section(QLatin1Char('-'), fine, fine);
            QTest::keyClicks(QApplication::focusWidget(), credito);
            key(Qt::Key_Return);
            DialogSeam::queueAnswer(int(mrYes));
            key(Qt::Key_S, Qt::ControlModifier);
            const QString stored =
                QStringLiteral("SELECT iCreCredito FROM TCre_Crediti WHERE iSitId = ?");
            EXPECT_EQ(scalar(stored, {last}).toString(), credito);
            EXPECT_EQ(windowFaults(main), QStringList());
            saveScreenshot(main, QStringLiteral("gradeentry_keyboard_pupil_credits.png"));
            DialogSeam::queueAnswer(int(mrNo)); // the judgment typed is not kept
        }
        key(Qt::Key_W, Qt::ControlModifier);
        EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
    }
}

// A whole class as a clerk without a mouse enters it, on a screen of 1366x768: votes typed along
// a pupil's row, the pages by every page key, a credit with its check lists, a judgment written
// in the pick window, the saves; then a debt in the subject window. Keys only: the selection
// dialogs and the saves' questions are scripted.
TEST_F(Keyboard, AWholeClassAt1366x768)
{
    TfmqelMain *main = objects->mainWindow();
    ASSERT_EQ(main->screen()->size(), QSize(1366, 768));
    // No window manager maximises it here: the whole screen, as a maximised window has.
    main->setGeometry(main->screen()->geometry());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    // The last pupil without votes yet, and without marks in the credit check lists; no aids
    // for the class session; "Assegna debito" with the school's defaults.
    runSql("UPDATE TClsSes SET iClsSesAiu = 0 WHERE iClsSesId = ?", {k5A});
    for (const char *marks : {"TCreSco", "TCreFrm"})
        runSql(QStringLiteral("DELETE FROM %1").arg(QLatin1String(marks)));
    runSql("DELETE FROM TVot_Voti WHERE iSitId = (SELECT FIRST 1 S.iSitId FROM "
           "TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = S.iClsPstId WHERE P.iClsId = "
           "39005 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 ORDER BY S.iSitPosReg DESC)");
    xgvmGlobalVar.SetValues({{QStringLiteral("QELP_CarDeb_dAttr"), QStringLiteral("15/06/2009")},
                             {QStringLiteral("QELP_CarDeb_dVer"), QStringLiteral("2009-09-10")},
                             {QStringLiteral("QELP_CarDeb_Dtd"), 2},
                             {QStringLiteral("QELP_CarDeb_Ded"), 3}});
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    main->mdiArea()->activeSubWindow()->showMaximized();
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Voti")));
    TqelStringGrid *voti = window->FrameDi(tdVoti)->grGrid;
    voti->setFocus();

    // The last pupil's votes, typed along the row: Enter moves on, past the subjects he does
    // not take.
    const int riga = voti->RowCount() - 1;
    ASSERT_TRUE(voti->MoveCursor(voti->nColIntest(), riga));
    QStringList digitati;
    while (voti->Row() == riga && digitati.size() < 5) {
        const QString v = QString::number(6 + digitati.size() % 3);
        QTest::keyClicks(QApplication::focusWidget(), v);
        digitati << v;
        key(Qt::Key_Return);
    }
    EXPECT_TRUE(voti->Modificato());

    // The page keys, each a row: once round the shown pages from the votes, forward or back,
    // the hidden "Aiuti" and "Competenze" skipped, the keyboard in each page's grid.
    const QStringList pagine{"Voti",   "Voti proposti", "Tassonomie", "Assenze", "Note",
                             "Debiti", "Esito finale",  "Crediti",    "Giudizio"};
    const struct
    {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int passo;
    } tasti[] = {
        {"Ctrl+PgDn", Qt::Key_PageDown, Qt::ControlModifier, 1},
        {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, 1},
        {"Ctrl+PgUp", Qt::Key_PageUp, Qt::ControlModifier, -1},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, -1},
    };
    ASSERT_EQ(window->PaginaAttiva(), pagine.first());
    for (const auto &t : tasti) {
        SCOPED_TRACE(t.name);
        const qsizetype n = pagine.size();
        for (qsizetype i = 1; i <= n; ++i) {
            everyCommandShows(window);
            key(t.key, t.modifiers);
            EXPECT_EQ(window->PaginaAttiva(), pagine.at(((i * t.passo) % n + n) % n));
            EXPECT_EQ(QApplication::focusWidget(), window->FrameAttivo()->grGrid);
            if (window->PaginaAttiva() == QStringLiteral("Crediti") && t.passo > 0)
                saveScreenshot(main, QStringLiteral("gradeentry_keyboard_credits.png"));
        }
    }
    ASSERT_EQ(window->PaginaAttiva(), pagine.first());

    // The last pupil's credit of his last year, typed; Tab from the grid's last cell to the
    // school list, a kind ticked with Space, Tab to the training list and the same, Shift+Tab
    // back to the grid, Ctrl+S.
    for (int i = 0; i < 12 && window->PaginaAttiva() != QStringLiteral("Crediti"); ++i)
        key(Qt::Key_PageUp, Qt::ControlModifier);
    ASSERT_EQ(window->PaginaAttiva(), QStringLiteral("Crediti"));
    auto *crediti = qobject_cast<TfrqevCarCre *>(window->FrameDi(tdCrediti));
    ASSERT_NE(crediti, nullptr);
    TqelStringGrid *cg = crediti->grGrid;
    // The check lists take the right half whatever the help line says.
    key(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(QPoint(cg->Col(), cg->Row()), QPoint(cg->ColCount() - 1, cg->RowCount() - 1));
    EXPECT_TRUE(crediti->PanelHelp->text().contains(QStringLiteral("Banda credito")));
    EXPECT_LT(std::abs(crediti->paFrmSco->width() - crediti->width() / 2), 8);
    const std::shared_ptr<TRecCre> credito = crediti->RecordDi(cg->Col(), cg->Row());
    ASSERT_NE(credito->iCreId, 0);
    // 99 refused: the reason on the help line, whole, and the cell showing its value again;
    // the top of the row's band, which the credit rule takes.
    const QString prima = cg->Cells(cg->Col(), cg->Row());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("99"));
    key(Qt::Key_Return);
    EXPECT_TRUE(crediti->PanelHelp->text().contains(QStringLiteral("99")))
        << crediti->PanelHelp->text().toStdString();
    EXPECT_EQ(cg->Cells(cg->Col(), cg->Row()), prima);
    EXPECT_EQ(windowFaults(main), QStringList());
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_credit_refused.png"));
    const QString massimo = credito->sBndCre.section(QLatin1Char('-'), 1);
    ASSERT_FALSE(massimo.isEmpty());
    QTest::keyClicks(QApplication::focusWidget(), massimo);
    key(Qt::Key_Tab);
    QListWidget *scolastici = crediti->frqevCreSco->clbLista;
    QListWidget *formativi = crediti->frqevCreFrm->clbLista;
    EXPECT_EQ(QApplication::focusWidget(), scolastici);
    key(Qt::Key_Space);
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), formativi);
    key(Qt::Key_Space);
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_credit_lists.png"));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), scolastici);
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), cg);
    for (const char *table : {"TCreSco", "TCreFrm"})
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE iCreId = ?")
                             .arg(QLatin1String(table)),
                         {credito->iCreId})
                      .toInt(),
                  1)
            << table;
    DialogSeam::queueAnswer(int(mrYes));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(cg->Modificato());
    EXPECT_EQ(scalar(QStringLiteral("SELECT iCreCredito FROM TCre_Crediti WHERE iCreId = ?"),
                     {credito->iCreId})
                  .toString(),
              massimo);
    // His pupil window by Ctrl+U, closed by Ctrl+W: the keyboard back in the class's grid.
    key(Qt::Key_U, Qt::ControlModifier);
    ASSERT_NE(fmqevCarSng(), nullptr);
    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(fmqevCarSng(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), cg);

    // To the judgments.
    key(Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(window->PaginaAttiva(), QStringLiteral("Giudizio"));
    TqelStringGrid *giudizi = window->FrameDi(tdGiudizio)->grGrid;
    EXPECT_EQ(QApplication::focusWidget(), giudizi);
    key(Qt::Key_Down);
    const int alunno = giudizi->Row();
    key(Qt::Key_F4);
    TfmqevSelItem *p = pick();
    ASSERT_NE(p, nullptr);
    // The caption names whose judgment it writes; the window stands beside the pupil's row,
    // never over it, also once Ctrl+Enter has moved on to the next pupil.
    const auto nome = [giudizi](int riga) {
        return TfrqevCarBs::NomeAlunno(*giudizi->RecordAt<TRecAna>(0, riga));
    };
    const auto besideTheRow = [giudizi, p] {
        return !rowOnScreen(giudizi).isEmpty() &&
               !p->frameGeometry().intersects(rowOnScreen(giudizi));
    };
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Inserisci giudizio - ") + nome(alunno));
    EXPECT_TRUE(besideTheRow());
    // A tool window beside the main one takes the keyboard from it.
    EXPECT_TRUE(QTest::qWaitFor([p] { return QApplication::activeWindow() == p; }));
    EXPECT_EQ(QApplication::focusWidget(), p->meNota);
    key(Qt::Key_A, Qt::ControlModifier); // the text it had, written over
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Ha lavorato con impegno."));
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_pick_main.png"));
    saveScreenshot(p, QStringLiteral("gradeentry_keyboard_pick.png"));
    // Put over the next pupil's row (where a window manager may place it), it steps aside
    // when the walk reaches that row.
    const QRect prossima = giudizi->CellRect(1, alunno + 1);
    p->move(p->x(), giudizi->viewport()->mapToGlobal(prossima.topLeft()).y() - p->height() / 2);
    QTest::qWait(100);
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(giudizi->Cells(1, alunno), QStringLiteral("Ha lavorato con impegno."));
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Inserisci giudizio - ") + nome(alunno + 1));
    EXPECT_TRUE(besideTheRow());
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_pick_next.png"));
    // The next pupil's: Tab leaves the text as typed (no tab in it, "Assegna" as it was),
    // Ctrl and the keypad's Enter assign it.
    key(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Attento."));
    key(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), p->meNota);
    EXPECT_EQ(p->meNota->toPlainText(), QStringLiteral("Attento."));
    EXPECT_EQ(windowFaults(p), QStringList());
    // Tab on to "Precedente", framed as it has the keyboard.
    QWidget *precedente = p->findChild<QToolBar *>()->widgetForAction(p->tbPrior);
    for (int i = 0; i < 6 && QApplication::focusWidget() != precedente; ++i)
        key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), precedente);
    EXPECT_TRUE(highlighted(precedente, QPoint(1, precedente->height() / 2)));
    key(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(giudizi->Cells(1, alunno + 1), QStringLiteral("Attento."));
    key(Qt::Key_Escape);
    EXPECT_EQ(pick(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([main] { return QApplication::activeWindow() == main; }));
    EXPECT_EQ(QApplication::focusWidget(), giudizi);

    // The ninth pupil's outcome in the pick window: beside his row from the moment it shows.
    for (int i = 0; i < 12 && window->PaginaAttiva() != QStringLiteral("Esito finale"); ++i)
        key(Qt::Key_PageUp, Qt::ControlModifier);
    TqelStringGrid *esiti = window->FrameDi(tdEsito)->grGrid;
    ASSERT_TRUE(esiti->MoveCursor(1, 9));
    FirstShown shown;
    qApp->installEventFilter(&shown);
    key(Qt::Key_F4);
    qApp->removeEventFilter(&shown);
    ASSERT_NE(pick(), nullptr);
    EXPECT_FALSE(shown.at.intersects(rowOnScreen(esiti))) << pick()->windowTitle().toStdString();
    key(Qt::Key_Escape);

    // Back to the votes: leaving the page saves the judgments; Ctrl+S the votes.
    for (int i = 0; i < 12 && window->PaginaAttiva() != QStringLiteral("Voti"); ++i)
        key(Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(window->PaginaAttiva(), QStringLiteral("Voti"));
    EXPECT_EQ(QApplication::focusWidget(), voti);
    DialogSeam::queueAnswer(int(mrYes));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(voti->Modificato());
    const int iSitId = voti->RecordAt<TRecAna>(0, riga)->iSitId;
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT COUNT(*) FROM TVot_Voti WHERE iSitId = ?"), {iSitId}).toInt(),
        digitati.size());
    EXPECT_EQ(QString::fromUtf8(scalar(QStringLiteral("SELECT bGdzGiudizio FROM TGdz_Giudizi WHERE "
                                                      "iSitId = ? AND iAnsSesDwgId = 392"),
                                       {giudizi->RecordAt<TRecAna>(0, alunno)->iSitId})
                                    .toByteArray()),
              QStringLiteral("Ha lavorato con impegno."));
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_votes.png"));
    EXPECT_TRUE(chiudi(window));

    // A debt of the first subject, in the subject window: its page by keys, "Assegna debito"
    // by its key, the save by Ctrl+S.
    const int materia = dmqevDataSets->slMaterie.ObjectAs<TRecMat>(1)->iClsSesMatId;
    DialogSeam::queueModalScript([materia](QDialog *d) {
        auto *dialog = qobject_cast<TfmqevSelCarClsMat *>(d);
        return dialog && dialog->SelezionaClsSes(k5A) && dialog->SelezionaMateria(materia)
                   ? int(mrOk)
                   : int(mrCancel);
    });
    dmqevActivations->xafCarMat->Execute();
    TfmqevCarMat *perMateria = fmqevCarMat();
    ASSERT_NE(perMateria, nullptr);
    main->mdiArea()->activeSubWindow()->showMaximized();
    perMateria->FrameAttivo()->grGrid->setFocus();
    for (int i = 0; i < 12 && perMateria->PaginaAttiva() != QStringLiteral("Debiti"); ++i)
        key(Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(perMateria->PaginaAttiva(), QStringLiteral("Debiti"));
    auto *debiti = qobject_cast<TfrqevCarDeb *>(perMateria->FrameDi(tdDebiti));
    ASSERT_NE(debiti, nullptr);
    TqelStringGrid *g = debiti->grGrid;
    EXPECT_EQ(QApplication::focusWidget(), g);
    while (g->Row() < g->RowCount() - 1 &&
           (debiti->DebitoDi(1, g->Row())->bBloccato || debiti->DebitoDi(1, g->Row())->iDebId))
        key(Qt::Key_Down);
    const int conDebito = g->Row();
    key(Qt::Key_D, Qt::ControlModifier);
    // The debt's texts show whole at once.
    for (int c = 3; c <= 8; ++c)
        EXPECT_GE(g->ColWidths(c), g->fontMetrics().horizontalAdvance(g->Cells(c, conDebito)))
            << c << " " << g->Cells(c, conDebito).toStdString();
    saveScreenshot(main, QStringLiteral("gradeentry_keyboard_debt.png"));
    // Its date of assignment in the pick window, as wide as its long caption beside a title
    // bar's icon and three buttons (32 pixels each, more than most window managers draw).
    ASSERT_TRUE(g->MoveCursor(3, conDebito));
    key(Qt::Key_F4);
    ASSERT_NE(pick(), nullptr);
    QFont titolo = pick()->font();
    titolo.setBold(true);
    EXPECT_TRUE(pick()->windowTitle().startsWith(QStringLiteral("Seleziona data di attribuzione")));
    EXPECT_GE(pick()->width(),
              QFontMetrics(titolo).horizontalAdvance(pick()->windowTitle()) + 4 * 32);
    saveScreenshot(pick(), QStringLiteral("gradeentry_keyboard_pick_date.png"));
    QTest::keyClick(pick(), Qt::Key_Escape);
    focus(main, g);
    DialogSeam::queueAnswer(int(mrYes));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(g->Modificato());
    EXPECT_NE(debiti->DebitoDi(1, conDebito)->iDebId, 0);
}
