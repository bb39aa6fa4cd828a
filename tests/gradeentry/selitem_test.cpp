// The pick dialog: every kind writes its choice into the record behind the current cell and
// walks on, on the class window's pages and on grids of the debts and credits kinds; the dialog
// open only while it exists.
#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevfselitem.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarnot.h"
#include "gradeentry/qevrcarvot.h"
#include "tests/gradeentry/gradewindows.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <functional>

namespace {

constexpr int k5A = 390052; // 5A of 2008/2009, final session

class PickDialog : public GradeWindows
{
protected:
    // Lets the deletions a close asked for happen.
    static void eventi() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Clicks the first list item the test accepts, as the office does; its key.
    static int clicca(TfmqevSelItem *p, const std::function<bool(QTreeWidgetItem *)> &accept)
    {
        for (int i = 0; i < p->lvItems->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = p->lvItems->topLevelItem(i);
            if (!accept(item))
                continue;
            p->lvItems->scrollToItem(item);
            QTest::mouseClick(p->lvItems->viewport(), Qt::LeftButton, {},
                              p->lvItems->visualItemRect(item).center());
            return item->data(0, Qt::UserRole).toInt();
        }
        ADD_FAILURE() << "no such item";
        return 0;
    }

    static QStringList voci(TfmqevSelItem *p, int column = 0)
    {
        QStringList texts;
        for (int i = 0; i < p->lvItems->topLevelItemCount(); ++i)
            texts << p->lvItems->topLevelItem(i)->text(column);
        return texts;
    }

    static void assegna(TfmqevSelItem *p)
    {
        ASSERT_TRUE(p->buOk()->isEnabled());
        QTest::mouseClick(p->buOk(), Qt::LeftButton);
    }

    // A grid of a kind whose frame comes later (debts, credits): header row 0, pupils' rows
    // from 1, each row's record made by the test, the third row's debts locked; every credit
    // has its situation.
    template <typename Rec>
    static std::unique_ptr<TqelStringGrid> griglia(int tipoDati, int tipoCar, int cols, int first)
    {
        auto g = std::make_unique<TqelStringGrid>();
        g->setTipoDati(tipoDati);
        g->setTipoCar(tipoCar);
        g->setColCount(cols);
        g->setRowCount(5);
        g->setnColIntest(first);
        g->setFixedCols(first);
        for (int r = 1; r < 5; ++r) {
            for (int c = tipoCar == tcClasse ? first : 1; c < (tipoCar == tcClasse ? cols : 2);
                 ++c) {
                auto rec = std::make_shared<Rec>();
                if constexpr (std::is_same_v<Rec, TRecDeb>)
                    rec->bBloccato = r == 2;
                if constexpr (std::is_same_v<Rec, TRecCre>)
                    rec->iSitId = r;
                g->setObjects(c, r, rec);
            }
        }
        g->MoveCursor(first, 1);
        return g;
    }
};

} // namespace

TEST_F(PickDialog, LevelsAreChosenFromTheColumnsScaleSkippingLockedCells)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TfrqevCarVot *votes = window->frqevCarClsVot();
    TqelStringGrid *g = votes->grGrid;
    // The pupil without religion: his religion cell is locked.
    int row = -1, religion = -1;
    for (int r = g->nRowIntest(); r < g->RowCount() && row < 0; ++r) {
        for (int c = g->nColIntest() + 1; c < g->ColCount(); ++c) {
            if (g->RecordAt<TRecVal>(c, r)->bBloccato) {
                row = r;
                religion = c;
                break;
            }
        }
    }
    ASSERT_GE(row, 0);
    ASSERT_FALSE(g->RecordAt<TRecVal>(religion - 1, row)->bBloccato);
    ASSERT_TRUE(g->MoveCursor(religion - 1, row));
    auto rec = g->RecordAt<TRecVal>(religion - 1, row);
    auto cmp = g->RecordAt<TRecCmp>(religion - 1, 1);

    TVxStatementRecorder recorder;
    votes->aFormSel->trigger();
    TfmqevSelItem *p = pick();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(dmqevActivations->SelItemAperto());
    EXPECT_EQ(p->TipoSel, int(TfmqevSelItem::skVoto));
    // Whose vote: the pupil of the row, the subject of the column.
    EXPECT_EQ(p->windowTitle(), QStringLiteral("Seleziona Livello - %1, %2")
                                    .arg(TfrqevCarBs::NomeAlunno(*g->RecordAt<TRecAna>(0, row)),
                                         g->RecordAt<TRecMat>(religion - 1, 0)->sMatLDesc));
    // The column's own levels, long and short texts, the stored one selected.
    QStringList levels;
    for (const TqevLivello &l : votes->Store().Livelli(cmp->iCmpScaId))
        levels << l.sValSDesc;
    EXPECT_EQ(voci(p, 1), levels);
    EXPECT_EQ(p->ItemSelezionato(), rec->iValId);
    EXPECT_TRUE(p->buOk()->isEnabled()); // the stored one is selected: Enter assigns it

    const int chosen = clicca(
        p, [&](QTreeWidgetItem *i) { return i->data(0, Qt::UserRole).toInt() != rec->iValId; });
    assegna(p);
    EXPECT_EQ(rec->iValId, chosen);
    EXPECT_EQ(g->Cells(religion - 1, row), rec->sValSDesc.trimmed());
    EXPECT_TRUE(g->Modificato());
    // The locked cell is stepped over.
    EXPECT_NE(g->Col(), religion);
    EXPECT_TRUE(g->Col() == religion + 1 || (g->Row() == row + 1 && g->Col() == g->nColIntest()));
    // Every scale's levels of the kind are read once, whatever column the walk reaches.
    for (int i = 0; i < 6; ++i)
        p->tbNext->trigger();
    int reads = 0;
    for (const auto &s : recorder.statements())
        reads += s.sql.contains(QStringLiteral("TCmpSca.iCmpScaTass"));
    EXPECT_EQ(reads, 1);

    DialogSeam::queueAnswer(int(mrYes));
    votes->aSave->trigger();
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT iScaLivId FROM TVot_Voti WHERE iVotId = ?"), {rec->iPKId})
            .toInt(),
        chosen);

    // The cursor on the locked religion cell: "OTTIMO" chosen there writes nothing.
    int taker = g->nRowIntest();
    while (g->RecordAt<TRecVal>(religion, taker)->bBloccato)
        ++taker;
    ASSERT_TRUE(g->MoveCursor(religion, taker));
    votes->aFormSel->trigger();
    ASSERT_TRUE(g->MoveCursor(religion, row));
    clicca(p, [](QTreeWidgetItem *i) { return i->text(1).trimmed() == QLatin1String("OTTIMO"); });
    assegna(p);
    auto locked = g->RecordAt<TRecVal>(religion, row);
    EXPECT_EQ(locked->iValId, 0);
    EXPECT_EQ(g->Cells(religion, row), QString());
    EXPECT_FALSE(g->CellaModificata(religion, row));

    // Closing the window closes the dialog: no open state is left behind.
    DialogSeam::queueAnswer(int(mrNo)); // the walk left the grid modified: "Non salvare"
    window->close();
    EXPECT_FALSE(dmqevActivations->SelItemAperto());
    eventi();
    EXPECT_EQ(pick(), nullptr);
}

TEST_F(PickDialog, FinalOutcomesForOnePupilOrTheWholeColumn)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Esito finale")));
    TfrqevCarBs *frame = window->FrameDi(tdEsito);
    TqelStringGrid *g = frame->grGrid;
    ASSERT_TRUE(g->MoveCursor(1, 2));
    frame->aFormSel->trigger();
    TfmqevSelItem *p = pick();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->TipoSel, int(TfmqevSelItem::skEsito));
    EXPECT_TRUE(p->cbAll->isVisibleTo(p));
    EXPECT_EQ(p->ItemSelezionato(), g->RecordAt<TRecFin>(1, 2)->iPosFinId);
    // Every position whose detail is not deleted, the hidden one too.
    EXPECT_EQ(voci(p, 1).size(),
              scalar(QStringLiteral("SELECT COUNT(*) FROM TPosFin P JOIN TStaFinDett D ON "
                                    "D.iStaFinDettId = P.iStaFinDettId WHERE D.dDelete IS NULL"))
                  .toInt());

    const int next = g->RecordAt<TRecFin>(1, 3)->iPosFinId;
    const int chosen = clicca(p, [](QTreeWidgetItem *i) { return i->text(1) == "Idoneo"; });
    assegna(p);
    auto fin = g->RecordAt<TRecFin>(1, 2);
    EXPECT_EQ(fin->iPosFinId, chosen);
    EXPECT_EQ(fin->sStaFinDettSDesc, QStringLiteral("Idoneo"));
    EXPECT_EQ(g->Cells(1, 2), QStringLiteral("Idoneo"));
    EXPECT_EQ(g->Row(), 3);
    EXPECT_EQ(p->ValIdCorrente, next);

    const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        QCoreApplication::processEvents();
        EXPECT_TRUE(p->grab().save(dir + QStringLiteral("/gradeentry_selitem.png")));
        EXPECT_TRUE(window->grab().save(dir + QStringLiteral("/gradeentry_esito.png")));
    }

    // The whole column at once: the cursor stays, and stays on a walk too.
    p->cbAll->setChecked(true);
    const int chosenAll = clicca(p, [](QTreeWidgetItem *i) { return i->text(1) == "Ammesso"; });
    assegna(p);
    p->tbNext->trigger();
    p->tbPrior->trigger();
    EXPECT_EQ(g->Row(), 3);
    QStringList column;
    for (int r = 1; r < g->RowCount(); ++r)
        column << g->Cells(1, r);
    EXPECT_EQ(column, QStringList(g->RowCount() - 1, QStringLiteral("Ammesso")));
    DialogSeam::queueAnswer(int(mrYes));
    frame->aSave->trigger();
    for (int r = 1; r < g->RowCount(); ++r) {
        EXPECT_EQ(scalar(QStringLiteral("SELECT iPosFinId FROM TSit_Situazioni WHERE iSitId = ?"),
                         {g->RecordAt<TRecAna>(0, r)->iSitId}),
                  QVariant(chosenAll));
    }
    // A walk without a choice changes nothing: the grid stays as saved.
    p->cbAll->setChecked(false);
    p->tbNext->trigger();
    EXPECT_FALSE(g->Modificato());
    EXPECT_EQ(g->Row(), 4);
}

TEST_F(PickDialog, NotesAndJudgmentsTakeDatesTeachersAndTexts)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Note")));
    auto *notes = qobject_cast<TfrqevCarNot *>(window->FrameDi(tdNote));
    ASSERT_NE(notes, nullptr);
    TqelStringGrid *g = notes->grGrid;
    ASSERT_TRUE(g->MoveCursor(1, 1));
    notes->aFormSel->trigger();
    TfmqevSelItem *p = pick();
    ASSERT_NE(p, nullptr);

    // The part the cells show decides the kind; the dialog follows the "Carica" menu.
    const struct
    {
        const char *action;
        int kind;
        std::function<void(TfmqevSelItem *)> scegli;
        std::function<QString(const TRecNot &)> campo;
        QString atteso; // the record's field and, but for the text, the cell
        QString cella;
    } cases[] = {
        {"aNota", TfmqevSelItem::skTestoNota,
         [](TfmqevSelItem *d) {
             d->meNota->setPlainText(QStringLiteral("Attenzione: più\nimpegno"));
         },
         [](const TRecNot &n) { return n.bNotNota; }, "Attenzione: più\nimpegno", "Sì"},
        {"aDataNota", TfmqevSelItem::skDataNota,
         [](TfmqevSelItem *d) { d->mcData->setSelectedDate(QDate(2009, 5, 20)); },
         [](const TRecNot &n) { return n.dNotData.date().toString("dd/MM/yyyy"); }, "20/05/2009",
         "20/05/2009"},
        {"aDocNome", TfmqevSelItem::skDocenteNota,
         [](TfmqevSelItem *d) { clicca(d, [](QTreeWidgetItem *) { return true; }); },
         [](const TRecNot &n) { return n.sDocNome; }, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        notes->findChild<QAction *>(QString::fromLatin1(c.action))->trigger();
        EXPECT_EQ(p->TipoSel, c.kind);
        ASSERT_TRUE(g->MoveCursor(1, 1));
        notes->aFormSel->trigger();
        c.scegli(p);
        QTest::mouseClick(p->buOk(), Qt::LeftButton);
        auto nota = g->RecordAt<TRecNot>(1, 1);
        const QString atteso =
            c.kind == TfmqevSelItem::skDocenteNota ? g->Cells(1, 1) : QString(c.atteso);
        EXPECT_EQ(c.campo(*nota), atteso);
        if (c.kind != TfmqevSelItem::skDocenteNota) {
            EXPECT_EQ(g->Cells(1, 1), c.cella);
        }
        EXPECT_TRUE(g->CellaModificata(1, 1));
        EXPECT_EQ(g->Col() * 1000 + g->Row(), 2001);
    }
    // A text of blanks is no text to assign.
    notes->aNota->trigger();
    p->meNota->setPlainText(QStringLiteral("   "));
    EXPECT_FALSE(p->buOk()->isEnabled());

    // A teacher of several subjects of the class is listed once; "Doc. istituto" lists the
    // institute's staff and keeps the note's teacher chosen.
    const int teacher = g->RecordAt<TRecNot>(1, 1)->iAnaId;
    ASSERT_NE(teacher, 0);
    notes->aDocNome->trigger();
    ASSERT_TRUE(g->MoveCursor(1, 1));
    notes->aFormSel->trigger();
    QStringList names = voci(p);
    EXPECT_EQ(names.removeDuplicates(), 0);
    EXPECT_EQ(names.size(), scalar(QStringLiteral("SELECT COUNT(DISTINCT iAnaId) FROM TClsMatAna "
                                                  "WHERE iClsId = 39005"))
                                .toInt());
    EXPECT_EQ(p->ItemSelezionato(), teacher);
    QTest::mouseClick(p->buDocIst, Qt::LeftButton);
    EXPECT_EQ(p->TipoSel, int(TfmqevSelItem::skDocenteNotaIstituto));
    EXPECT_GT(p->lvItems->topLevelItemCount(), names.size());
    EXPECT_EQ(p->ItemSelezionato(), teacher);
    // Delete empties the part the cells show (the teacher) and keeps the rest.
    QTest::keyClick(g, Qt::Key_Delete);
    EXPECT_EQ(g->RecordAt<TRecNot>(1, 1)->iAnaId, 0);
    EXPECT_EQ(g->RecordAt<TRecNot>(1, 1)->bNotNota, QStringLiteral("Attenzione: più\nimpegno"));

    // A judgment: the record keeps the text as typed, the cell shows it trimmed, and the memo
    // moves on to the next pupil's text.
    ASSERT_TRUE(window->MostraPagina(QStringLiteral("Giudizio")));
    TfrqevCarBs *judgments = window->FrameDi(tdGiudizio);
    TqelStringGrid *gg = judgments->grGrid;
    ASSERT_TRUE(gg->MoveCursor(1, 1));
    judgments->aFormSel->trigger();
    EXPECT_EQ(p->TipoSel, int(TfmqevSelItem::skGiudizio));
    EXPECT_EQ(p->meNota->toPlainText(), gg->RecordAt<TRecGdz>(1, 1)->bGdzGiudizio);
    const QString text = QStringLiteral("  Partecipa con interesse;\nè cresciuto molto.  ");
    p->meNota->setPlainText(text);
    QTest::mouseClick(p->buOk(), Qt::LeftButton);
    EXPECT_EQ(gg->RecordAt<TRecGdz>(1, 1)->bGdzGiudizio, text);
    EXPECT_EQ(gg->Cells(1, 1), text.trimmed());
    EXPECT_EQ(gg->Row(), 2);
    EXPECT_EQ(p->meNota->toPlainText(), gg->RecordAt<TRecGdz>(1, 2)->bGdzGiudizio);
    // Typed into, the grid says where a judgment is written.
    QTest::keyClick(gg, Qt::Key_X);
    EXPECT_TRUE(judgments->PanelHelp->text().contains(QStringLiteral("\"Selezione dati...\"")));
}

TEST_F(PickDialog, DebtAndCreditKindsWalkTheirColumns)
{
    TfmqevCarCls *window = apri(k5A); // the class of the teacher lists
    ASSERT_NE(window, nullptr);
    // Debts, per subject: one record per row on column 1, row 2 locked; columns 3 to 9.
    auto g = griglia<TRecDeb>(tdDebiti, tcMateria, 10, 3);
    TfmqevSelItem *p = TfmqevSelItem::Apri(window, g.get());
    p->SetDataSelItem(QDate());
    EXPECT_EQ(p->mcData->selectedDate(), QDate::currentDate()); // no date shows today
    p->PreparaSelItem(TfmqevSelItem::skDataAttr);
    p->Mostra();
    auto deb = g->RecordAt<TRecDeb>(1, 1);
    const struct
    {
        int kind;
        std::function<void(TfmqevSelItem *)> scegli;
        std::function<QString()> campo;
        QString atteso;
    } steps[] = {
        {TfmqevSelItem::skDataAttr,
         [](TfmqevSelItem *d) { d->mcData->setSelectedDate(QDate(2009, 6, 15)); },
         [&] { return deb->dDebAttr.date().toString("dd/MM/yyyy"); }, "15/06/2009"},
        {TfmqevSelItem::skTipoDebito,
         [](TfmqevSelItem *d) {
             // Each description reads whole ("Corso di recupero pomeridiano").
             for (int i = 0; i < d->lvItems->topLevelItemCount(); ++i)
                 EXPECT_GE(d->lvItems->columnWidth(0), d->lvItems->fontMetrics().horizontalAdvance(
                                                           d->lvItems->topLevelItem(i)->text(0)))
                     << d->lvItems->topLevelItem(i)->text(0).toStdString();
             clicca(d, [](QTreeWidgetItem *i) { return i->text(0).startsWith("Studio"); });
         },
         [&] { return QString::number(deb->iDtpDtdId) + ' ' + deb->sDtdLDesc; },
         "2 Studio individuale guidato"},
        {TfmqevSelItem::skDataVer,
         [](TfmqevSelItem *d) { d->mcData->setSelectedDate(QDate(2009, 8, 31)); },
         [&] { return deb->dDebVer.date().toString("dd/MM/yyyy"); }, "31/08/2009"},
        {TfmqevSelItem::skEsitoDebito,
         [](TfmqevSelItem *d) {
             clicca(d, [](QTreeWidgetItem *i) { return i->text(0).endsWith("parzialmente"); });
         },
         [&] { return QString::number(deb->iDesDedId) + ' ' + deb->sDedLDesc; },
         "3 Debito saldato parzialmente"},
        {TfmqevSelItem::skDocAttr,
         [](TfmqevSelItem *d) { clicca(d, [](QTreeWidgetItem *) { return true; }); },
         [&] { return deb->sDocAttr.isEmpty() ? QString() : QStringLiteral("attr"); }, "attr"},
        {TfmqevSelItem::skDocVer,
         [](TfmqevSelItem *d) {
             QTest::mouseClick(d->buDocIst, Qt::LeftButton); // the institute's staff
             clicca(d, [](QTreeWidgetItem *) { return true; });
         },
         [&] { return deb->sDocVer.isEmpty() ? QString() : QStringLiteral("ver"); }, "ver"},
        {TfmqevSelItem::skNotaDebito,
         [](TfmqevSelItem *d) {
             d->meNota->setPlainText(QStringLiteral("Ripasso\ndel programma"));
         },
         [&] { return deb->slNota.join('|'); }, "Ripasso|del programma"},
    };
    int col = 3;
    for (const auto &s : steps) {
        SCOPED_TRACE(s.kind);
        ASSERT_EQ(g->Col(), col);
        ASSERT_EQ(p->TipoSel, s.kind);
        s.scegli(p);
        assegna(p);
        EXPECT_EQ(s.campo(), s.atteso);
        EXPECT_TRUE(g->CellaModificata(col, 1));
        ++col;
    }
    EXPECT_EQ(g->Cells(9, 1), QStringLiteral("Sì"));
    EXPECT_EQ(g->Cells(7, 1), deb->sDocAttr);
    // After the last column the walk skips the locked row and starts again on the dates.
    EXPECT_EQ(g->Row(), 3);
    EXPECT_EQ(g->Col(), 3);
    EXPECT_EQ(p->TipoSel, int(TfmqevSelItem::skDataAttr));

    // Credits per class: a commendation per cell; the walk shows the next cell's.
    auto cre = griglia<TRecCre>(tdCrediti, tcClasse, 3, 1);
    cre->RecordAt<TRecCre>(2, 1)->iEncId = 1;
    p->Griglia = cre.get();
    p->ValIdCorrente = 0;
    p->PreparaSelItem(TfmqevSelItem::skEncomio);
    EXPECT_EQ(voci(p, 1), (QStringList{"ENC", "MEN"}));
    const int menzione = clicca(p, [](QTreeWidgetItem *i) { return i->text(1) == "MEN"; });
    assegna(p);
    EXPECT_EQ(cre->RecordAt<TRecCre>(1, 1)->iEncId, menzione);
    EXPECT_EQ(cre->RecordAt<TRecCre>(1, 1)->sEncSDesc, QStringLiteral("MEN"));
    EXPECT_EQ(cre->Cells(1, 1), QStringLiteral("MEN"));
    EXPECT_EQ(p->ItemSelezionato(), 1);
    // Credits per pupil: only the note; every walk ends on column 8 with the next row's note.
    auto sng = griglia<TRecCre>(tdCrediti, tcAlunno, 13, 1);
    sng->RecordAt<TRecCre>(1, 2)->lsNota = QStringList{"Stage", "estivo"};
    ASSERT_TRUE(sng->MoveCursor(8, 1));
    p->Griglia = sng.get();
    p->SetTestoNota(QString());
    p->PreparaSelItem(TfmqevSelItem::skNotaCredito);
    p->meNota->setPlainText(QStringLiteral("Volontariato"));
    assegna(p);
    EXPECT_EQ(sng->RecordAt<TRecCre>(1, 1)->lsNota, QStringList{"Volontariato"});
    EXPECT_EQ(sng->Cells(8, 1), QStringLiteral("Sì"));
    EXPECT_EQ(sng->Col(), 8);
    EXPECT_EQ(sng->Row(), 2);
    EXPECT_EQ(p->meNota->toPlainText(), QStringLiteral("Stage\nestivo"));
}

TEST_F(PickDialog, TheOpenStateDiesWithTheDialog)
{
    TfmqevCarCls *window = apri(k5A);
    ASSERT_NE(window, nullptr);
    TfrqevCarBs *votes = window->FrameDi(tdVoti);
    auto closings = std::initializer_list<std::function<void(TfmqevSelItem *)>>{
        [](TfmqevSelItem *d) { QTest::mouseClick(d->buCancel(), Qt::LeftButton); },
        [](TfmqevSelItem *d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](TfmqevSelItem *d) {
            d->hide(); // as a page without a pick list leaves it
            d->close();
        },
    };
    for (const auto &chiudi : closings) {
        votes->aFormSel->trigger();
        TfmqevSelItem *p = pick();
        ASSERT_NE(p, nullptr);
        chiudi(p);
        // Not open from the moment it closes, before it is deleted.
        EXPECT_FALSE(dmqevActivations->SelItemAperto());
        eventi();
    }
    // The frame that owns it goes, and so does the open state.
    votes->aFormSel->trigger();
    ASSERT_TRUE(dmqevActivations->SelItemAperto());
    std::unique_ptr<TqelStringGrid> grid = griglia<TRecFin>(tdEsito, tcClasse, 2, 1);
    {
        auto owner = std::make_unique<QWidget>();
        pick()->close();
        eventi();
        TfmqevSelItem::Apri(owner.get(), grid.get())->PreparaSelItem(TfmqevSelItem::skEsito);
        EXPECT_TRUE(dmqevActivations->SelItemAperto());
    }
    EXPECT_FALSE(dmqevActivations->SelItemAperto());

    // Choosing with no current cell, or for a grid that is gone, writes nothing.
    TfmqevSelItem *p = TfmqevSelItem::Apri(window, grid.get());
    p->ValIdCorrente = 1;
    p->PreparaSelItem(TfmqevSelItem::skEsito);
    grid->setRowCount(1); // no pupil row left
    p->AssegnaCella(true, true);
    EXPECT_FALSE(grid->Modificato());
    grid.reset();
    p->AssegnaCella(true, true);
    p->tbNext->trigger();
    SUCCEED();
}
