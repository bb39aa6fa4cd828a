#include "platform/childforms.h"
#include "platform/clientdataset.h"
#include "platform/datasetmodel.h"
#include "platform/dbgridframes.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "platform/searchform.h"
#include "platform/vxexception.h"

#include "tests/support/testdb.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The demo school's course years, with one whose description has an apostrophe and one
// that was deleted.
void addCourseYears(QSqlDatabase db)
{
    QSqlQuery q(db);
    for (const char *sql :
         {"INSERT INTO TAcs_AnniCorso (iAcsId, iAcsAnnoCorso, sAcsLDesc, sAcsSDesc) "
          "VALUES (6, 6, 'Sesto anno dell''indirizzo', '6^')",
          "INSERT INTO TAcs_AnniCorso (iAcsId, iAcsAnnoCorso, sAcsLDesc, sAcsSDesc, dDelete) "
          "VALUES (7, 7, 'Anno cancellato', 'X', CURRENT_DATE)"}) {
        ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << q.lastError().text().toStdString();
    }
}

QStringList column(TVxQueryCollection &xqc, const QString &field)
{
    QStringList values;
    for (int row = 0; row < xqc.RecordCount(); ++row)
        values << xqc.Value(row, field).toString();
    return values;
}

struct BrowseEditFrameTest : ::testing::Test
{
    void SetUp() override
    {
        db = testDb.connect();
        // The demo school's training credits, read as their editor reads them.
        xqc.setConnection(db);
        xqc.setSQL(QStringLiteral("SELECT Frm.iFrmId, Frm.sFrmLDesc, Frm.sFrmSDesc, "
                                  "Frm.lFrmVisible, Frm.iLocked FROM TFrm_Formativi Frm "
                                  "ORDER BY Frm.lFrmVisible DESC, Frm.sFrmLDesc"));
        xqc.setAutoBuildSQL(true);
        xqc.Open();
        frame.SetCollection(&xqc);
        frame.HideAllColumns();
        frame.ShowColumn(QStringLiteral("sFrmLDesc"), QStringLiteral("Descrizione"), 380);
        frame.ShowColumn(QStringLiteral("sFrmSDesc"), QStringLiteral("Sigla"), 210);
        edDesc = new QLineEdit(frame.DetailArea());
        edDesc->setObjectName(QStringLiteral("edDesc"));
        edSigla = new QLineEdit(frame.DetailArea());
        edSigla->setObjectName(QStringLiteral("edSigla"));
        cbVisible = new QCheckBox(QStringLiteral("Visibile"), frame.DetailArea());
        cbVisible->setObjectName(QStringLiteral("cbVisible"));
        frame.BindField(edDesc, QStringLiteral("sFrmLDesc"));
        frame.BindField(edSigla, QStringLiteral("sFrmSDesc"));
        frame.BindField(cbVisible, QStringLiteral("lFrmVisible"), false);
        edLocked = new TVxDBNumericEdit(frame.DetailArea());
        edLocked->setObjectName(QStringLiteral("edLocked"));
        frame.BindField(edLocked, QStringLiteral("iLocked"));
    }

    QStringList stored()
    {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT sFrmLDesc FROM TFrm_Formativi ORDER BY iFrmId")));
        QStringList values;
        while (q.next())
            values << q.value(0).toString();
        return values;
    }

    void trigger(const char *name)
    {
        QAction *action = frame.FrameAction(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr);
        ASSERT_TRUE(action->isEnabled()) << name;
        action->trigger();
    }

    ScriptedDialogs scripted;
    TestDatabase testDb;
    QSqlDatabase db;
    TVxQueryCollection xqc;
    TfrVxDBRWGrid frame;
    QLineEdit *edDesc = nullptr;
    QLineEdit *edSigla = nullptr;
    QCheckBox *cbVisible = nullptr;
    TVxDBNumericEdit *edLocked = nullptr;
};

TEST_F(BrowseEditFrameTest, InsertsEditsAndDeletesThroughTheCollection)
{
    // Insert: the new row starts from the defaults (check box off) on the detail page.
    cbVisible->setChecked(true);
    trigger("acInsert");
    EXPECT_FALSE(frame.IsListPage());
    EXPECT_FALSE(cbVisible->isChecked());
    EXPECT_FALSE(frame.FrameAction(QStringLiteral("acInsert"))->isEnabled());
    QTest::keyClicks(edDesc, QStringLiteral("Corso dell'ente"));
    QTest::keyClicks(edSigla, QStringLiteral("E'A"));
    trigger("acPost");
    EXPECT_FALSE(frame.Editing());
    EXPECT_EQ(stored(), (QStringList{"Attività sportiva agonistica", "Volontariato",
                                     "Certificazione linguistica", "Corso dell'ente"}));
    EXPECT_EQ(xqc.Value(frame.CurrentSourceRow(), QStringLiteral("sFrmLDesc")).toString(),
              QStringLiteral("Corso dell'ente"));
    EXPECT_GE(xqc.Value(frame.CurrentSourceRow(), QStringLiteral("iFrmId")).toInt(), 1000000);

    // Edit the current row; Cancel leaves the database as it was.
    trigger("acEdit");
    edDesc->setText(QStringLiteral("Da scartare"));
    trigger("acCancel");
    EXPECT_EQ(edDesc->text(), QStringLiteral("Corso dell'ente"));
    trigger("acEdit");
    edDesc->setText(QStringLiteral("Corso d'inglese"));
    cbVisible->setChecked(true);
    trigger("acPost");
    EXPECT_EQ(stored(), (QStringList{"Attività sportiva agonistica", "Volontariato",
                                     "Certificazione linguistica", "Corso d'inglese"}));

    // Delete asks first: No keeps the row, Yes removes it.
    DialogSeam::queueAnswer(mrNo);
    EXPECT_FALSE(frame.DeleteCurrent());
    EXPECT_EQ(stored().size(), 4);
    DialogSeam::queueAnswer(mrYes);
    trigger("acDelete");
    EXPECT_EQ(stored(), (QStringList{"Attività sportiva agonistica", "Volontariato",
                                     "Certificazione linguistica"}));
    EXPECT_EQ(xqc.RecordCount(), 3);
    const QStringList texts = DialogSeam::shownTexts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QStringLiteral("Eliminare la riga selezionata?"));
}

TEST_F(BrowseEditFrameTest, SearchFindsTextWithApostropheInVisibleColumnsOnly)
{
    trigger("acInsert");
    edDesc->setText(QStringLiteral("Merito dell'impegno"));
    trigger("acPost");
    QTest::keyClicks(frame.edSearch(), QStringLiteral("DELL'"));
    EXPECT_EQ(frame.VisibleRowCount(), 1);
    EXPECT_EQ(xqc.Value(frame.CurrentSourceRow(), QStringLiteral("sFrmLDesc")).toString(),
              QStringLiteral("Merito dell'impegno"));
    // The hidden key column is not searched.
    frame.Search(QStringLiteral("1"));
    EXPECT_EQ(frame.VisibleRowCount(), 0);
    frame.Search(QStringLiteral("volont"));
    EXPECT_EQ(frame.VisibleRowCount(), 1);
    frame.Search(QString());
    EXPECT_EQ(frame.VisibleRowCount(), 4);
}

// A refused row keeps what was typed and the edit open, whoever refuses it: the frame (a text
// longer than its column, in an edit that does not stop at the column's length) or the
// database (a trigger injected here).
TEST_F(BrowseEditFrameTest, RefusedPostKeepsWhatWasTyped)
{
    EXPECT_EQ(edDesc->maxLength(), 100); // the column's length
    const struct
    {
        QString typed;
        const char *refusal; // a statement that makes the database refuse, if any
        QString said;
    } cases[] = {
        {QString(150, QLatin1Char('x')), nullptr,
         QStringLiteral("Il testo è troppo lungo per il campo sFrmLDesc (al massimo 100 "
                        "caratteri).")},
        {QStringLiteral("Rifiutato"),
         "CREATE TRIGGER TPrv_Rifiuta FOR TFrm_Formativi BEFORE INSERT AS BEGIN "
         "NEW.iFrmId = 1; END",
         QStringLiteral("Esiste già una voce con questi dati.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.said.toStdString());
        if (c.refusal)
            runSql(db, QString::fromLatin1(c.refusal));
        DialogSeam::clearShown();
        trigger("acInsert");
        edDesc->setMaxLength(1000);
        edDesc->setText(c.typed);
        trigger("acPost");
        EXPECT_TRUE(frame.Editing());
        EXPECT_EQ(edDesc->text(), c.typed);
        EXPECT_EQ(DialogSeam::shownTexts(), QStringList{c.said});
        EXPECT_EQ(stored().size(), 3);
        frame.CancelChanges();
    }
    // Closing the host while a row is in edit asks; Cancel keeps the edit, No drops it.
    trigger("acInsert");
    edDesc->setText(QStringLiteral("In sospeso"));
    DialogSeam::queueAnswer(mrCancel);
    EXPECT_FALSE(frame.CanClose());
    EXPECT_TRUE(frame.Editing());
    DialogSeam::queueAnswer(mrNo);
    EXPECT_TRUE(frame.CanClose());
    EXPECT_FALSE(frame.Editing());
    EXPECT_EQ(column(xqc, QStringLiteral("sFrmLDesc")),
              (QStringList{"Attività sportiva agonistica", "Certificazione linguistica",
                           "Volontariato"}));
}

// A tiled window narrower than the columns' widths shows every column whole, none narrower
// than its contents; given room again, the columns take their widths back.
TEST_F(BrowseEditFrameTest, ColumnsFitTheirContentsInANarrowWindow)
{
    QTableView *grid = frame.grGrid();
    frame.resize(1000, 300);
    frame.show();
    EXPECT_EQ(grid->columnWidth(1), 380);
    frame.resize(380, 300);
    QCoreApplication::processEvents();
    int total = 0;
    for (int c : {1, 2}) {
        EXPECT_GE(grid->columnWidth(c),
                  static_cast<QAbstractItemView *>(grid)->sizeHintForColumn(c));
        total += grid->columnWidth(c);
    }
    EXPECT_LE(total, grid->viewport()->width());
    frame.resize(1000, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(1), 380);
}

TEST_F(BrowseEditFrameTest, NumericEditStoresNumbersAndEmptyAsNull)
{
    trigger("acInsert");
    edDesc->setText(QStringLiteral("Con numero"));
    QTest::keyClicks(edLocked, QStringLiteral("1x2"));
    EXPECT_EQ(edLocked->text(), QStringLiteral("12"));
    trigger("acPost");
    trigger("acEdit");
    EXPECT_EQ(edLocked->text(), QStringLiteral("12"));
    edLocked->clear();
    trigger("acPost");
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT iLocked FROM TFrm_Formativi WHERE sFrmLDesc = "
                                      "'Con numero'")));
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q.value(0).isNull());
}

TEST_F(BrowseEditFrameTest, EditorWindowAsksBeforeClosingOnAPendingEdit)
{
    TfmVxChildDB window;
    frame.setParent(&window);
    window.show();
    trigger("acInsert");
    edDesc->setText(QStringLiteral("Nuovo corso"));
    DialogSeam::queueAnswer(mrCancel);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(frame.Editing());
    DialogSeam::queueAnswer(mrYes);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(stored().last(), QStringLiteral("Nuovo corso"));
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{"Salvare le modifiche?", "Salvare le modifiche?"}));
    frame.setParent(nullptr);
}

TEST_F(BrowseEditFrameTest, SortsByClickedColumn)
{
    frame.SetSortIndex(2, Qt::DescendingOrder);
    EXPECT_EQ(frame.SortIndex(), 2);
    EXPECT_EQ(xqc.Value(frame.SourceRowAt(0), QStringLiteral("sFrmSDesc")).toString(),
              QStringLiteral("VOLONT"));
}

TEST(ReadOnlyGrid, ShowsAnInMemoryDatasetWithTitlesSortAndDrawHook)
{
    TClientDataSet data;
    data.AddFieldDef(QStringLiteral("iSitId"), ftInteger);
    data.AddFieldDef(QStringLiteral("Cognome Nome"), ftString, 100);
    data.AddFieldDef(QStringLiteral("Data"), ftDate);
    data.CreateDataSet();
    for (const auto &[id, name, day] : {std::tuple{7, "1) Rossi Anna", QDate(2026, 12, 8)},
                                        std::tuple{3, "2) Bianchi Luca", QDate(2026, 6, 15)}}) {
        data.Append();
        data.FieldByName(QStringLiteral("iSitId"))->setValue(id);
        data.FieldByName(QStringLiteral("Cognome Nome"))->setValue(QString::fromUtf8(name));
        data.FieldByName(QStringLiteral("Data"))->setValue(day);
        data.Post();
    }
    TVxClientDataSetModel model;
    model.SetDataSet(&data);
    TfrVxDBROGrid frame;
    frame.SetDataSource(&model);
    // Dates with the whole year, sorted by day: June before December, whatever the texts' order.
    frame.SetSortIndex(2);
    EXPECT_EQ(frame.SourceRowAt(0), 1);
    EXPECT_EQ(frame.grGrid()->model()->index(1, 2).data().toString(), QStringLiteral("08/12/2026"));
    frame.HideAllColumns();
    frame.ShowColumn(QStringLiteral("cognome nome"), QStringLiteral("Alunno"), 150);
    EXPECT_TRUE(frame.grGrid()->isColumnHidden(0));
    EXPECT_EQ(frame.grGrid()->model()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("Alunno"));
    // The data's own header is untouched.
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Cognome Nome"));
    frame.SetSortIndex(0);
    EXPECT_EQ(frame.SourceRowAt(0), 1);

    QList<int> drawn;
    frame.OnDrawCell = [&drawn](QPainter *, const QStyleOptionViewItem &, const QModelIndex &i) {
        drawn << i.row() * 10 + i.column();
        return i.column() == 1;
    };
    frame.resize(400, 200);
    frame.grab();
    EXPECT_TRUE(drawn.contains(1));
    EXPECT_TRUE(drawn.contains(11));

    data.Append();
    data.FieldByName(QStringLiteral("iSitId"))->setValue(9);
    data.Post();
    model.Reload();
    EXPECT_EQ(frame.VisibleRowCount(), 3);

    // Several rows selected, in the visible order.
    frame.SetSortIndex(0);
    frame.SetMultiSelect(true);
    frame.InvertSelection();
    EXPECT_EQ(frame.SelectedSourceRows(), (QList<int>{1, 0, 2}));
    frame.grGrid()->selectRow(1);
    frame.InvertSelection();
    EXPECT_EQ(frame.SelectedSourceRows(), (QList<int>{1, 2}));
    frame.ClearSelection();
    EXPECT_TRUE(frame.SelectedSourceRows().isEmpty());
}

TEST(SearchForm, ReplacesWhereWithABoundCondition)
{
    ScriptedDialogs scripted;
    TestDatabase testDb;
    QSqlDatabase db = testDb.connect();
    addCourseYears(db);
    const QString select = QStringLiteral("SELECT iAcsId, sAcsLDesc, sAcsSDesc FROM TAcs_AnniCorso "
                                          "WHERE (##WHERE## AND dDelete IS NULL)");
    TVxSearchQuery query(db, select);
    EXPECT_EQ(query.Run({}, {}).size(), 6);
    TVxFieldValues binds;
    EXPECT_EQ(query.Statement({QStringLiteral("SACSLDESC")}, {}, &binds),
              QStringLiteral("SELECT iAcsId, sAcsLDesc, sAcsSDesc FROM TAcs_AnniCorso "
                             "WHERE (1=1 AND dDelete IS NULL)"));
    EXPECT_EQ(binds.size(), 0);
    const QString statement =
        query.Statement({QStringLiteral("SACSLDESC")}, QStringLiteral("dell'"), &binds);
    EXPECT_FALSE(statement.contains(QStringLiteral("dell")));
    ASSERT_EQ(binds.size(), 1);

    TfmVxSearch form(db, select);
    form.Prepare();
    // The lookup's set-up: key column hidden, both descriptions searched.
    form.Columns()[0].Visible = false;
    form.Columns()[1].Caption = QStringLiteral("Descrizione lunga");
    form.Columns()[2].Caption = QStringLiteral("Descrizione breve");
    form.Search(QStringLiteral("DELL'IND"));
    ASSERT_EQ(form.RowCount(), 1);
    EXPECT_EQ(form.SelectedValue(QStringLiteral("iAcsId")).toInt(), 6);
    // Wild cards typed by the user are plain characters.
    form.Search(QStringLiteral("%"));
    EXPECT_EQ(form.RowCount(), 0);
    form.Search(QStringLiteral("anno"));
    EXPECT_EQ(form.RowCount(), 6);
    form.Search(QStringLiteral("2"));
    EXPECT_EQ(form.RowCount(), 1);

    // Through the lookup edit: the script picks the second course year and presses OK.
    TVxDBLookupEdit lookup;
    lookup.Connection = db;
    lookup.ListSQL = select;
    lookup.KeyField = QStringLiteral("iAcsId");
    lookup.ListField = QStringLiteral("sAcsLDesc");
    lookup.OnShowSearchForm = [](TfmVxSearch *f) { f->Columns()[0].Visible = false; };
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *form = static_cast<TfmVxSearch *>(d);
        for (int row = 0; row < form->RowCount(); ++row) {
            form->SetCurrentRow(row);
            if (form->SelectedValue(QStringLiteral("iAcsId")).toInt() == 2)
                break;
        }
        return int(mrOk);
    });
    ASSERT_TRUE(lookup.ShowSearchForm());
    EXPECT_EQ(lookup.Value().toInt(), 2);
    EXPECT_EQ(lookup.DisplayText(), QStringLiteral("Secondo anno"));
    lookup.SetValue(7); // a deleted row is not offered: no text
    EXPECT_TRUE(lookup.DisplayText().isEmpty());
}

TEST(LookupEdit, ShowsTheTextOfExactlyItsKey)
{
    TestDatabase testDb;
    QSqlDatabase db = testDb.connect();
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(
        QStringLiteral("INSERT INTO TAcs_AnniCorso (iAcsId, iAcsAnnoCorso, sAcsLDesc, sAcsSDesc) "
                       "VALUES (10, 10, 'Decimo anno', '10^')")))
        << q.lastError().text().toStdString();

    // Key 10 is listed before key 1, so a partial match on "1" would take its row; the key
    // as text and as a number.
    for (const char *select :
         {"SELECT sKey, sText FROM (SELECT CAST(iAcsId AS VARCHAR(5)) AS sKey, "
          "sAcsLDesc AS sText FROM TAcs_AnniCorso) WHERE ##WHERE## ORDER BY sKey DESC",
          "SELECT sKey, sText FROM (SELECT iAcsId AS sKey, sAcsLDesc AS sText FROM "
          "TAcs_AnniCorso) WHERE ##WHERE## ORDER BY sKey DESC"}) {
        SCOPED_TRACE(select);
        TVxDBLookupEdit lookup;
        lookup.Connection = db;
        lookup.ListSQL = QString::fromLatin1(select);
        lookup.KeyField = QStringLiteral("sKey");
        lookup.ListField = QStringLiteral("sText");
        lookup.SetValue(1);
        EXPECT_EQ(lookup.DisplayText(), QStringLiteral("Primo anno"));
        lookup.SetValue(QStringLiteral(" 10 "));
        EXPECT_EQ(lookup.DisplayText(), QStringLiteral("Decimo anno"));
        lookup.SetValue(QStringLiteral("abc")); // no such key, and no driver error
        EXPECT_TRUE(lookup.DisplayText().isEmpty());
        lookup.SetValue(0);
        EXPECT_TRUE(lookup.DisplayText().isEmpty());
    }

    // A list the database cannot read is said, never shown as a blank that means "none".
    TVxDBLookupEdit lookup;
    lookup.Connection = db;
    lookup.ListSQL = QStringLiteral("SELECT iAcsId, sAcsLDesc || (1 / (iAcsId - 10)) AS sText "
                                    "FROM TAcs_AnniCorso WHERE ##WHERE##");
    lookup.KeyField = QStringLiteral("iAcsId");
    lookup.ListField = QStringLiteral("sText");
    EXPECT_THROW(lookup.SetValue(10), EVxException);
    EXPECT_EQ(lookup.Value().toInt(), 10);
    ScriptedDialogs dialogs;
    EXPECT_FALSE(lookup.ShowSearchForm());
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(
        DialogSeam::shownTexts().first().startsWith(QStringLiteral("Ricerca non riuscita")));
}

} // namespace
