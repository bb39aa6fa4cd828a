#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevresmecr.h"
#include "platform/dialogseam.h"
#include "platform/inifile.h"
#include "platform/messagedlg.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

// A new installation (an empty main folder) with the display-parameter module.
class DisplayParameters : public ::testing::Test
{
protected:
    void SetUp() override { dmqevParVis = &module; }
    void TearDown() override { dmqevParVis = nullptr; }

    static TVxINIFile ini() { return TVxINIFile(TdmqevParVis::FileName()); }

    // A grid of a kind, as a frame sets it up from its parameters.
    static void setUp(TqelStringGrid &grid, int tipoDati, int tipoCar)
    {
        grid.setTipoDati(tipoDati);
        grid.setTipoCar(tipoCar);
        grid.setColCount(4);
        grid.setRowCount(4);
        const TqevParVisGriglia &p = dmqevParVis->Griglia(tipoDati, tipoCar);
        grid.setnNomeDim(p.xpiFCol.GetValore());
        grid.setnColDim(p.xpiCol.GetValore());
        grid.setnRowDim(p.xpiRow.GetValore());
    }

    TestMainDir mainDir;
    TdmqevParVis module;
};

TEST_F(DisplayParameters, ANewInstallationStartsFromEachKindsDefaults)
{
    struct Case
    {
        int tipoDati, tipoCar, fCol, col;
    };
    for (const Case &c :
         {Case{tdVoti, tcClasse, 200, 20}, Case{tdCrediti, tcAlunno, 80, 55},
          Case{tdAssenze, tcMateria, 200, 100}, Case{tdNote, tcAlunno, 200, 120},
          Case{tdDebitiClasse, tcDebiti, 200, 100}, Case{tdGiudizio, tcAlunno, 200, 400}}) {
        SCOPED_TRACE(testing::Message() << c.tipoDati << "_" << c.tipoCar);
        const TqevParVisGriglia &p = module.Griglia(c.tipoDati, c.tipoCar);
        EXPECT_EQ(p.xpiFCol.GetValore(), c.fCol);
        EXPECT_EQ(p.xpiCol.GetValore(), c.col);
        EXPECT_EQ(p.xpiRow.GetValore(), 18);
        EXPECT_TRUE(p.xpbScorr.GetValore());
        EXPECT_FALSE(p.xpbRowCol.GetValore());
        EXPECT_FALSE(p.xpbInsuff.GetValore());
        EXPECT_EQ(p.xpiDesMat.GetValore(), 1);
        EXPECT_EQ(p.xpiDesCmp.GetValore(), 1);
        EXPECT_EQ(p.ColorInsuf(), QColor(255, 128, 128));
    }
    EXPECT_TRUE(module.gSetMaxCre(tcClasse));
    EXPECT_EQ(ColorToString(module.gColorTraccia(tcClasse)), QStringLiteral("clAqua"));
    EXPECT_FALSE(QFileInfo::exists(ini().resolvedPath())); // reading writes nothing

    // A damaged colour falls back to the default instead of failing the paint.
    ini().WriteString(QStringLiteral("0_0"), QStringLiteral("ColorInsuf"), QStringLiteral("$zz"));
    EXPECT_EQ(module.gColorInsuf(tcClasse), TqevParVisGriglia::DefaultColorInsuf());
}

TEST_F(DisplayParameters, GridsPaintingInTurnKeepTheirOwnSectionsAndDialogs)
{
    // The class window's vote grid with its side grid, and a pupil window's vote grid.
    TqelStringGrid classGrid;
    TqelStringGrid pupilGrid;
    TfrqevEsMeCr side;
    ini().WriteString(QStringLiteral("0_1"), QStringLiteral("ColorInsuf"), QStringLiteral("clRed"));
    ini().WriteInteger(QStringLiteral("0_1"), QStringLiteral("Row"), 25);
    ini().WriteInteger(QStringLiteral("0_0"), QStringLiteral("Row"), 22);
    setUp(classGrid, tdVoti, tcClasse);
    setUp(pupilGrid, tdVoti, tcAlunno);

    // The class grid's dialog stays open while both windows repaint.
    ScriptedDialogs scripted;
    TfmqevParVis dialog;
    dialog.SetGriglia(&classGrid);
    DialogSeam::queueModalScript([&](QDialog *d) {
        for (int turn = 0; turn < 3; ++turn) {
            pupilGrid.grab();
            side.RidimensionaGriglia();
            classGrid.grab();
        }
        d->findChild<QSpinBox *>(QStringLiteral("udCol"))->setValue(31);
        d->findChild<QCheckBox *>(QStringLiteral("cbRowCol"))->setChecked(true);
        d->findChild<QPushButton *>(QStringLiteral("buOk"))->click();
        return int(mrNone);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);

    EXPECT_EQ(ini().ReadInteger(QStringLiteral("0_0"), QStringLiteral("Col"), 0), 31);
    EXPECT_TRUE(ini().ReadBool(QStringLiteral("0_0"), QStringLiteral("EvRowCol"), false));
    EXPECT_FALSE(ini().ValueExists(QStringLiteral("0_1"), QStringLiteral("Col")));
    EXPECT_EQ(ini().ReadInteger(QStringLiteral("0_1"), QStringLiteral("Row"), 0), 25);
    EXPECT_EQ(classGrid.ColWidths(2), classGrid.LarghezzaScalata(31));
    EXPECT_TRUE(classGrid.EvRowCol());
    EXPECT_EQ(pupilGrid.ColWidths(2), pupilGrid.LarghezzaScalata(70));
    EXPECT_EQ(module.gColorInsuf(tcAlunno), QColor(Qt::red));
    EXPECT_EQ(module.gColorInsuf(tcClasse), TqevParVisGriglia::DefaultColorInsuf());
    // The side grid follows the class votes' rows: 22, the heading twice that.
    EXPECT_EQ(side.grDettaglio()->RowHeights(3), 22);
    EXPECT_EQ(side.grDettaglio()->RowHeights(0), 44);
    side.grDettaglio()->setRowHeights(0, 5);
    side.RidimensionaGriglia(); // row 1 already right: nothing changes
    EXPECT_EQ(side.grDettaglio()->RowHeights(0), 5);
}

TEST_F(DisplayParameters, AnAbsencesDialogsColourAndACancelAfterApplyLeaveTheVoteGridsAlone)
{
    TqelStringGrid absences;
    setUp(absences, tdAssenze, tcClasse);
    ScriptedDialogs scripted;
    {
        TfmqevParVis dialog;
        dialog.SetGriglia(&absences);
        EXPECT_FALSE(dialog.findChild<QCheckBox *>(QStringLiteral("cbInsuff"))->isEnabled());
        DialogSeam::queueModalScript([](QDialog *d) {
            DialogSeam::queueAnswer(QColor(Qt::green));
            d->findChild<QPushButton *>(QStringLiteral("buInsuf"))->click();
            return int(mrOk);
        });
        EXPECT_EQ(dialog.ShowModal(), mrOk);
    }
    EXPECT_EQ(module.Griglia(tdAssenze, tcClasse).ColorInsuf(), QColor(Qt::green));
    EXPECT_EQ(module.gColorInsuf(tcClasse), TqevParVisGriglia::DefaultColorInsuf());

    TqelStringGrid votes;
    setUp(votes, tdVoti, tcClasse);
    const QByteArray before = QFileInfo::exists(ini().resolvedPath())
                                  ? readFileBytes(ini().resolvedPath())
                                  : QByteArray();
    TfmqevParVis dialog;
    dialog.SetGriglia(&votes);
    DialogSeam::queueModalScript([](QDialog *d) {
        d->findChild<QSpinBox *>(QStringLiteral("udRow"))->setValue(30);
        d->findChild<QPushButton *>(QStringLiteral("buApply"))->click();
        DialogSeam::queueAnswer(QColor(Qt::blue));
        d->findChild<QPushButton *>(QStringLiteral("buInsuf"))->click();
        return int(mrCancel);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(votes.RowHeights(1), 30);
    EXPECT_EQ(readFileBytes(ini().resolvedPath()), before);
}

} // namespace
