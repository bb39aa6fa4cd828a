// The selection dialog of the class and pupil reports, in the program as started: set up by the
// report data module, driven through the dialog seam from the report tree, and the report then
// printing exactly the classes and pupils chosen, in the dataset's order.
#include "platform/dbgridframes.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reportengine/reportstore.h"
#include "reportengine/reporttree.h"
#include "reports/qelfselrptansbs.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"
#include "tests/support/windowfaults.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

namespace {

using Script = std::function<int(TfmqelSelRptAnsSesBs &)>;

class SelRptTest : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        objects->mainWindow()->show();
        objects->mainWindow()->ensureFirstActivation();
        for (const auto &[id, dataSet, fields] :
             {std::tuple{3900101, "frdClsSes", "sClsSDesc"},
              {3900102, "frdAlunni", "sAnaCognome\"] [frdAlunni.\"iSitId"},
              {3900103, "frdAlunniNoPopUp", "sAnaCognome"}})
            TfrReportStore().Save(
                {id, QString("Prova %1").arg(dataSet), std::nullopt, "QEL"},
                QString(R"(<report version="1" title="Prova"><data name="D" dataset="%1" )"
                        R"(height="5"><text name="T" left="0" top="0" width="150" height="5">)"
                        R"([%1."%2"]</text></data></report>)")
                    .arg(dataSet, fields)
                    .toUtf8());
        tree = qelReportTree(dmqelActivations);
        tree->Reload();
    }

    // Runs the stored report, the dialog shown and answered by the script; what it printed.
    QStringList run(int id, const Script &script = {})
    {
        EXPECT_TRUE(tree->SelectReport(id));
        if (script)
            DialogSeam::queueModalScript([&script](QDialog *d) {
                d->show();
                return script(*static_cast<TfmqelSelRptAnsSesBs *>(d));
            });
        ran = tree->Preview();
        QStringList printed;
        for (const TfrPage &page : tree->RptFR().Pages().Pages)
            for (const TfrDisplayItem &item : page.Items)
                printed << item.Text;
        return printed;
    }

    ScriptedDialogs dialogs;
    TVxRptTreeView *tree = nullptr;
    bool ran = false;
};

// The values of a field of the list, in the order the grid shows them.
QStringList shown(TfmqelSelRptAnsSesBs &d, const QString &field)
{
    QStringList values;
    for (int row = 0; row < d.frSelect()->VisibleRowCount(); ++row)
        values << d.ListDataSet()
                      ->Value(d.frSelect()->SourceRowAt(row),
                              d.ListDataSet()->FieldByName(field)->Index())
                      .toString()
                      .trimmed();
    return values;
}

QStringList columnTitles(TfmqelSelRptAnsSesBs &d)
{
    QStringList titles;
    const QHeaderView *header = d.grSelect()->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            titles << d.grSelect()->model()->headerData(column, Qt::Horizontal).toString();
    }
    return titles;
}

void choose(TfmqelSelRptAnsSesBs &d, const QString &field, const QStringList &values)
{
    QList<int> rows;
    for (int row = 0; row < d.ListDataSet()->RecordCount(); ++row)
        if (values.contains(d.ListDataSet()
                                ->Value(row, d.ListDataSet()->FieldByName(field)->Index())
                                .toString()))
            rows << row;
    d.SetSelectedRows(rows);
}

TEST_F(SelRptTest, AClassReportPrintsTheClassesChosenInTheSessionChosen)
{
    runSql("INSERT INTO TAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, dAnsVextoFine) "
           "VALUES (40, 2009, DATE '2009-09-01', DATE '2010-08-31')");
    const QStringList printed = run(3900101, [](TfmqelSelRptAnsSesBs &d) {
        EXPECT_EQ(d.windowTitle(), "Selezione sessione e classi da stampare");
        for (QWidget *w :
             std::initializer_list<QWidget *>{d.laCls(), d.cbCls(), d.buCls(), d.laPosFin(),
                                              d.cbPosFin(), d.cbStato(), d.Label2()})
            EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
        EXPECT_EQ(columnTitles(d), QStringList({"Ordine", "Classe", "Sede"}));
        // The working session, else the first of the year, else none.
        for (const auto &[year, session, classes] : {std::tuple{"2008/2009", 392, true},
                                                     {"2007/2008", 381, true},
                                                     {"2009/2010", 0, false}}) {
            d.cbAnnoScol()->setCurrentText(year);
            EXPECT_EQ(d.GetSelectedAnsSesDwgId(), session) << year;
            EXPECT_EQ(d.ListDataSet()->RecordCount() > 0, classes) << year;
            EXPECT_FALSE(d.buOk()->isEnabled());
        }
        d.cbAnnoScol()->setCurrentText("2008/2009");
        d.cbAnsSesDwg()->setCurrentText("Primo periodo");
        choose(d, "sClsSDesc", {"5B", "1C"});
        EXPECT_TRUE(d.buOk()->isEnabled());
        EXPECT_EQ(windowFaults(&d), QStringList()); // "Ordine" whole
        saveScreenshot(&d, "selezione-classi.png");
        return int(mrOk);
    });
    EXPECT_EQ(printed, QStringList({"1C", "5B"}));
    EXPECT_EQ(dmqelRptDataSets->qquClsSes->ParamByName("iAnsSesDwgId").Value(), 391);
    EXPECT_EQ(dmqelRptDataSets->SelAnsId(), 39);
    EXPECT_EQ(dmqelRptDataSets->SelAnsSesDwgId(), 391);

    // Cancel: nothing printed, and nothing said.
    EXPECT_TRUE(run(3900101, [](TfmqelSelRptAnsSesBs &) { return int(mrCancel); }).isEmpty());
    EXPECT_FALSE(ran);
    EXPECT_EQ(DialogSeam::shown().size(), 2);
    EXPECT_EQ(DialogSeam::shown().back().kind, "modal");
}

TEST_F(SelRptTest, APupilReportFiltersSortsAndPrintsThePupilsChosen)
{
    QList<int> counts; // every pupil, not suspended, suspended, of 5A
    QStringList chosen;
    const QStringList printed = run(3900102, [&](TfmqelSelRptAnsSesBs &d) {
        EXPECT_EQ(d.windowTitle(), "Selezione alunni da stampare");
        EXPECT_TRUE(d.cbCls()->isVisible() && d.buCls()->isVisible() && d.laCls()->isVisible());
        // By keyboard: it opens on its first field, the year; Shift+Tab at the grid's first cell
        // goes back to "Applica", never round to the last pupil; the three tools by their keys.
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        EXPECT_EQ(d.focusWidget(), d.cbAnnoScol());
        QTableView *grid = d.grSelect();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Backtab);
        EXPECT_EQ(d.focusWidget(), d.buCls());
        const int all = d.ListDataSet()->RecordCount();
        using Tool = std::tuple<Qt::Key, Qt::KeyboardModifiers, int, const char *>;
        for (const auto &[k, modifiers, rows, tool] :
             {Tool{Qt::Key_A, Qt::ControlModifier, all, "acSelectAll"},
              Tool{Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, 0, "acSelectNone"},
              Tool{Qt::Key_I, Qt::ControlModifier, all, "acSelectInvert"}}) {
            QTest::keyClick(grid, k, modifiers);
            EXPECT_EQ(d.SelectedRows().size(), rows) << tool;
            const QAction *action = d.findChild<QAction *>(QString::fromLatin1(tool));
            EXPECT_TRUE(action->toolTip().endsWith(
                QStringLiteral("(%1)").arg(action->shortcut().toString(QKeySequence::NativeText))));
        }
        d.SelectNone();
        EXPECT_EQ(columnTitles(d), QStringList({"Matricola", "Cognome", "Nome", "Classe"}));
        EXPECT_FALSE(d.XMLFilter().isEmpty());
        // By surname and name, first situations only: nobody twice.
        const QStringList pupils = shown(d, "iSitId");
        EXPECT_EQ(QSet<QString>(pupils.begin(), pupils.end()).size(), pupils.size());
        const QStringList byName = shown(d, "sAnaCognome");
        EXPECT_TRUE(std::is_sorted(byName.begin(), byName.end(),
                                   [](auto &a, auto &b) { return a.localeAwareCompare(b) < 0; }));
        for (int state : {0, 1, 2}) {
            d.cbStato()->setCurrentIndex(state);
            d.buCls()->click();
            counts << d.ListDataSet()->RecordCount();
        }
        // A new session lists again with every filter back to all.
        d.cbAnsSesDwg()->setCurrentIndex(0);
        EXPECT_EQ(d.cbStato()->currentText(), "[Tutti]");
        EXPECT_EQ(d.ListDataSet()->RecordCount(), counts[0]);

        // Columns 0, 1 and 3 sort by their fields; "Nome" does not.
        QHeaderView *header = d.grSelect()->horizontalHeader();
        const auto click = [&](int place) {
            int visual = -1;
            for (int seen = -1; seen < place;)
                seen += header->isSectionHidden(header->logicalIndex(++visual)) ? 0 : 1;
            emit header->sectionClicked(header->logicalIndex(visual));
        };
        for (const auto &[place, field, then] : {std::tuple{0, "sAnaCagCode", ""},
                                                 {1, "sAnaCognome", ""},
                                                 {3, "sClsSDesc", "sAnaCognome"},
                                                 {2, "sClsSDesc", "sAnaCognome"}}) {
            click(place);
            const QStringList first = shown(d, field), second = shown(d, *then ? then : field);
            for (int i = 1; i < first.size(); ++i) {
                const int c = first[i - 1].localeAwareCompare(first[i]);
                EXPECT_TRUE(c < 0 || (c == 0 && second[i - 1].localeAwareCompare(second[i]) <= 0))
                    << place << ": " << first[i].toStdString();
            }
        }
        // Grey text for the pupil of 5A without a register position, and only for him.
        const auto colour = [&](int sit) {
            QStyleOptionViewItem option;
            option.palette.setColor(QPalette::Text, Qt::black);
            const int row = int(shown(d, "iSitId").indexOf(QString::number(sit)));
            const QModelIndex index = d.DataSet()->index(d.frSelect()->SourceRowAt(row), 0);
            d.frSelect()->OnDrawCell(nullptr, option, index);
            return option.palette.color(QPalette::Text);
        };
        EXPECT_EQ(colour(980), QColor(0x808080));
        EXPECT_EQ(colour(957), QColor(Qt::black));

        d.cbCls()->setCurrentText("5A");
        d.buCls()->click();
        counts << d.ListDataSet()->RecordCount();
        EXPECT_EQ(shown(d, "sClsSDesc").count("5A"), counts.last());
        // Chosen in a grid sorted by surname backwards: the keys are those of the rows shown.
        click(1);
        click(1);
        d.SelectNone();
        for (int row : {3, 0})
            d.grSelect()->selectRow(row);
        chosen = QStringList{shown(d, "iSitId")[0], shown(d, "iSitId")[3]};
        QStringList keys;
        for (const QVariant &key : d.SelectedValues("iSitId"))
            keys << key.toString();
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()),
                  QSet<QString>(chosen.begin(), chosen.end()));
        EXPECT_EQ(windowFaults(&d), QStringList());
        saveScreenshot(&d, "selezione-alunni.png");
        return int(mrOk);
    });
    ASSERT_EQ(printed.size(), 2);
    for (const QString &sit : chosen)
        EXPECT_TRUE(printed.filter(QRegularExpression(" " + sit + "$")).size() == 1);
    EXPECT_LT(printed[0].localeAwareCompare(printed[1]), 0); // the dataset's order
    TfrQuery *alunni = dmqelRptDataSets->qquAlunni;
    EXPECT_EQ(alunni->ParamByName("iAllId").Value(), 1);
    EXPECT_EQ(alunni->ParamByName("iClsId").Value(), 39005);
    EXPECT_EQ(dmqelRptDataSets->SelAnsSesDwgId(), 391);

    // By keyboard: "Applica" by Return, every pupil by Ctrl+A, Return prints them all.
    int listed = 0;
    const QStringList all = run(3900102, [&listed](TfmqelSelRptAnsSesBs &d) {
        d.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        d.buCls()->setFocus();
        QTest::keyClick(d.buCls(), Qt::Key_Return);
        QTest::keyClick(d.focusWidget(), Qt::Key_A, Qt::ControlModifier);
        listed = d.ListDataSet()->RecordCount();
        QTest::keyClick(d.focusWidget(), Qt::Key_Return);
        return int(mrNone);
    });
    EXPECT_GT(listed, 0);
    EXPECT_EQ(all.size(), listed);

    // The same counts from the database's own tool.
    const TVxConnectionSettings settings = db.database.connectionSettings();
    CloseConnection();
    const QString pupils =
        "SELECT COUNT(*) FROM TSit_Situazioni S JOIN TAns_AnniScolast A ON S.dStart = "
        "A.dAnsVextoInizio JOIN TClsPst P ON P.iClsPstId = S.iClsPstId JOIN VCls_Classi V ON "
        "V.iClsId = P.iClsId WHERE A.iAnsId = 39 AND V.iDwgId = 2 AND S.iSitOrdine = 1 AND "
        "S.dDelete IS NULL";
    QByteArray script = "SET LIST ON;\n";
    for (const char *more : {"", "AND S.iPosFinId_Sosp IS NULL", "AND S.iPosFinId_Sosp IS NOT NULL",
                             "AND V.iClsId = 39005"})
        script += "SELECT (" + (pupils + " " + more).toUtf8() + ") AS N FROM RDB$DATABASE;\n";
    QStringList arguments{"-q", "-user", settings.User};
    if (!settings.Password.isEmpty())
        arguments << "-password" << settings.Password;
    const auto [code, output] = runDatabaseTool("isql-fb", arguments << settings.Database, script);
    ASSERT_EQ(code, 0) << output.toStdString();
    QList<int> expected;
    for (const auto &m : QRegularExpression("N\\s+(\\d+)").globalMatch(output))
        expected << m.captured(1).toInt();
    EXPECT_EQ(counts, expected);
    EXPECT_GT(expected.value(2), 0);
}

// Pupils of no institute or no year: the office is told, and the report ends without pages.
TEST_F(SelRptTest, APupilReportWithoutInstituteOrYearSaysSoAndPrintsNothing)
{
    const QString institute = "Non è stato selezionato l'istituto\n\nSelezionarlo in \"Utilità "
                              "e parametri - Parametri applicazione\".\nVoce: \"Istituto\".";
    for (const auto &[id, iDwgId, iAnsId, message] :
         {std::tuple{3900102, 0, 39, institute},
          {3900103, 0, 39, institute},
          {3900102, 2, 0, QString("Non è stato selezionato l'anno scolastico di lavoro.")}}) {
        DialogSeam::clearShown();
        TVxWorkingContext::setInstitute(iDwgId);
        TVxWorkingContext::setSchoolYear(iAnsId);
        EXPECT_TRUE(run(id).isEmpty());
        EXPECT_FALSE(ran);
        const QStringList shown = DialogSeam::shownTexts();
        ASSERT_EQ(shown.size(), 1) << id;
        EXPECT_TRUE(shown.front().startsWith(message)) << shown.front().toStdString();
    }
}

} // namespace
