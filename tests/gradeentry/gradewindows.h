#pragma once

// The grade-entry windows as the office starts them: the real command table and windows
// offscreen on a fresh demo database (context 2008/2009, final session), every dialog
// scripted, the database read straight from its tables after each step.

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevactivations.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfselcarcls.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevinstall.h"
#include "gradeentry/qevrcarbs.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "shell/qelmain.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <QAction>
#include <QCoreApplication>
#include <QHash>
#include <QPlainTextEdit>
#include <QPoint>
#include <QTest>

#include <functional>
#include <memory>

// What a cell holds: pupil situation, class-session subject, component (0 without).
struct Cella
{
    int iSitId;
    int iClsSesMatId;
    int iCmpScaId;
    bool operator==(const Cella &) const = default;
};
inline size_t qHash(const Cella &c, size_t seed = 0)
{
    return qHashMulti(seed, c.iSitId, c.iClsSesMatId, c.iCmpScaId);
}

// Every stored value of a kind (0 votes ... 4 aids) in a class session, as its text, read on
// the shared connection or the one given. A cell stored twice fails the test: two offices
// inserting one value would otherwise pass whichever row came last.
inline QHash<Cella, QString> memorizzati(int kind, int clsSes,
                                         const QSqlDatabase &db = qqoVxGlobConn())
{
    static const char *const sql[] = {
        "SELECT V.iSitId, K.iClsSesMatId, K.iCmpScaId, TRIM(L.sLivSDesc) FROM TVot_Voti V "
        "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON "
        "S.iClsSesMatId = K.iClsSesMatId JOIN TScaLiv SL ON SL.iScaLivId = V.iScaLivId JOIN "
        "TLiv_Livelli L ON L.iLivId = SL.iLivId WHERE S.iClsSesId = ?",
        "SELECT V.iSitId, K.iClsSesMatId, K.iCmpScaId, TRIM(P.sPrpSDesc) FROM TVtp_Proposti V "
        "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON "
        "S.iClsSesMatId = K.iClsSesMatId JOIN TPrpScaLiv PL ON PL.iPrpScaLivId = "
        "V.iPrpScaLivId JOIN TPrp_Proposti P ON P.iPrpId = PL.iPrpId WHERE S.iClsSesId = ?",
        "SELECT V.iSitId, K.iClsSesMatId, K.iCmpScaId, TRIM(L.sLivSDesc) FROM TTas_Tassonomie V "
        "JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId JOIN TClsSesMat S ON "
        "S.iClsSesMatId = K.iClsSesMatId JOIN TScaLiv SL ON SL.iScaLivId = V.iScaLivId JOIN "
        "TLiv_Livelli L ON L.iLivId = SL.iLivId WHERE S.iClsSesId = ?",
        "SELECT V.iSitId, V.iClsSesMatId, 0, V.iAssOre FROM TAss_Assenze V JOIN TClsSesMat S ON "
        "S.iClsSesMatId = V.iClsSesMatId WHERE S.iClsSesId = ?",
        "SELECT V.iSitId, V.iClsSesMatId, 0, TRIM(V.sAiuVal) FROM TAiu_Aiuti V JOIN TClsSesMat S "
        "ON S.iClsSesMatId = V.iClsSesMatId WHERE S.iClsSesId = ?",
    };
    QHash<Cella, QString> values;
    QSqlQuery q = runSql(db, QString::fromLatin1(sql[kind]), {clsSes});
    while (q.next()) {
        const Cella cella{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()};
        EXPECT_FALSE(values.contains(cella)) << "two rows for one cell";
        values.insert(cella, q.value(3).toString());
    }
    return values;
}

// How many inserts, updates and deletes of the table ran while the recorder lived.
inline int scritture(const TVxStatementRecorder &recorder, const QString &table)
{
    int count = 0;
    for (const auto &s : recorder.statements())
        count += statementTable(s.sql) == table.toUpper();
    return count;
}

class GradeWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        installGradeEntry();
        xgvmGlobalVar.SetValues({{TVxWorkingContext::instituteKey(), 2},
                                 {TVxWorkingContext::schoolYearKey(), 39},
                                 {TVxWorkingContext::sessionKey(), 392}});
        objects = std::make_unique<TavrinObjects>();
        TfmqelMain *main = objects->mainWindow();
        main->resize(1280, 800);
        main->show();
        main->ensureFirstActivation();
        DialogSeam::clearShown();
    }
    void TearDown() override { objects.reset(); }

    // Runs "Caricamento per classe", choosing the class session in the dialog.
    TfmqevCarCls *apri(int clsSes)
    {
        DialogSeam::queueModalScript([clsSes](QDialog *d) {
            auto *dialog = qobject_cast<TfmQevSelCarCls *>(d);
            return dialog && dialog->SelezionaClsSes(clsSes) ? int(mrOk) : int(mrCancel);
        });
        dmqevActivations->xafCarCls->Execute();
        return fmqevCarCls();
    }

    // Types the text into a cell from the keyboard and presses Enter.
    static void digita(TqelStringGrid *g, QPoint cell, const QString &text)
    {
        ASSERT_TRUE(g->MoveCursor(cell.x(), cell.y()));
        QTest::keyClicks(g, text);
        QTest::keyClick(g, Qt::Key_Return);
    }

    static TfmqevSelItem *pick()
    {
        return qobject_cast<TfmqevSelItem *>(dmqevActivations->fmqevSelItem.data());
    }

    // Opens the pick dialog on a cell and assigns what the setter chose there.
    static void scegli(TfrqevCarBs *frame, int col, int row,
                       const std::function<void(TfmqevSelItem *)> &setter)
    {
        ASSERT_TRUE(frame->grGrid->MoveCursor(col, row));
        frame->aFormSel->trigger();
        ASSERT_NE(pick(), nullptr);
        setter(pick());
        pick()->AssegnaCella(true, true);
    }

    // The setter that writes a text in the pick dialog.
    static std::function<void(TfmqevSelItem *)> testo(const QString &text)
    {
        return [text](TfmqevSelItem *p) { p->meNota->setPlainText(text); };
    }

    // "Salva griglia" of a page, answering Yes to the question.
    static void salva(TfrqevCarBs *frame)
    {
        DialogSeam::queueAnswer(int(mrYes));
        frame->aSave->trigger();
    }

    // Closes a window as its close box does; true when it went.
    static bool chiudi(QWidget *window)
    {
        const bool closed = window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return closed;
    }

    ProgramDatabase db; // quiet while it opens the database: the script starts after it
    ScriptedDialogs dialogs;
    std::unique_ptr<TavrinObjects> objects;
};
