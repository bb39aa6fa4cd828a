#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "platform/searchform.h"
#include "platform/vxexception.h"
#include "shell/qeldatasets.h"
#include "shell/qellookupeditors.h"
#include "tests/support/testdb.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace {

class LookupEditors : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        dmqelDataSets = &module;
        registerLookupEditors();
    }
    void TearDown() override { dmqelDataSets = nullptr; }

    std::unique_ptr<TfmqelLookupEditor> open(const char *className)
    {
        QWidget *w = FormRegistry::create(QString::fromLatin1(className));
        auto *editor = qobject_cast<TfmqelLookupEditor *>(w);
        EXPECT_NE(editor, nullptr) << className;
        return std::unique_ptr<TfmqelLookupEditor>(editor);
    }

    ProgramDatabase db;
    TdmqelDataSets module;
};

template <typename T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

} // namespace

TEST_F(LookupEditors, EachOpensWithItsCaptionAndListsItsRows)
{
    const struct
    {
        const char *cls;
        const char *caption;
        const char *table;
    } editors[] = {
        {"TfmqelBande", "Bande per credito per media", "TBnd_Bande"},
        {"TfmqelEncomio", "Encomio", "TEnc_Encomio"},
        {"TfmqelFrm", "Crediti formativi", "TFrm_Formativi"},
        {"TfmqelSco", "Crediti scolastici", "TSco_Scolastici"},
        {"TfmqelDesDed", "Esito debiti", "TDesDed WHERE dDelete IS NULL"},
        {"TfmqelDtpDtd", "Tipo debiti", "TDtpDtd WHERE dDelete IS NULL"},
    };
    for (const auto &e : editors) {
        SCOPED_TRACE(e.cls);
        auto editor = open(e.cls);
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->windowTitle(), QString::fromUtf8(e.caption));
        ASSERT_TRUE(editor->collection()->Active());
        const int rows =
            scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(e.table))).toInt();
        EXPECT_EQ(editor->collection()->RecordCount(), rows);
        EXPECT_GT(rows, 0);
    }
}

TEST_F(LookupEditors, CommendationsInsertEditAndDelete)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelEncomio");
    TfrqelLookup *frame = editor->frame();
    const int before = editor->collection()->RecordCount();

    frame->Insert();
    child<QLineEdit>(frame, "edEncLDesc")->setText(QStringLiteral("Encomio solenne"));
    child<QLineEdit>(frame, "edEncSDesc")->setText(QStringLiteral("SOL"));
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(scalar(QStringLiteral(
                         "SELECT COUNT(*) FROM TEnc_Encomio WHERE sEncLDesc = 'Encomio solenne'"))
                  .toInt(),
              1);

    ASSERT_TRUE(editor->collection()->Locate(QStringLiteral("sEncSDesc"), QStringLiteral("SOL")));
    frame->SetCurrentSourceRow(editor->collection()->RecNo());
    ASSERT_TRUE(frame->EditCurrent());
    child<QLineEdit>(frame, "edEncLDesc")->setText(QStringLiteral("Encomio d'onore"));
    ASSERT_TRUE(frame->PostChanges());
    EXPECT_EQ(scalar(QStringLiteral("SELECT sEncSDesc FROM TEnc_Encomio WHERE sEncLDesc = ?"),
                     {QStringLiteral("Encomio d'onore")})
                  .toString()
                  .trimmed(),
              QStringLiteral("SOL"));

    ASSERT_TRUE(editor->collection()->Locate(QStringLiteral("sEncSDesc"), QStringLiteral("SOL")));
    frame->SetCurrentSourceRow(editor->collection()->RecNo());
    DialogSeam::queueAnswer(int(mrYes));
    ASSERT_TRUE(frame->DeleteCurrent());
    EXPECT_EQ(editor->collection()->RecordCount(), before);

    // Closing and opening again reads the table afresh.
    runSql(QStringLiteral(
        "INSERT INTO TEnc_Encomio (iEncId, sEncLDesc, sEncSDesc) VALUES (99001, 'Altro', 'ALT')"));
    editor.reset();
    auto again = open("TfmqelEncomio");
    EXPECT_EQ(again->collection()->RecordCount(), before + 1);
}

TEST_F(LookupEditors, NewCreditIsNotVisibleAndVisibleOnesComeFirst)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelFrm");
    TfrqelLookup *frame = editor->frame();
    frame->Insert();
    EXPECT_FALSE(child<QCheckBox>(frame, "cbFrmVisible")->isChecked());
    child<QLineEdit>(frame, "edFrmLDesc")->setText(QStringLiteral("Laboratorio teatrale serale"));
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT COALESCE(lFrmVisible, 0) FROM TFrm_Formativi WHERE "
                                    "sFrmLDesc = 'Laboratorio teatrale serale'"))
                  .toInt(),
              0);
    editor->collection()->Refresh();
    bool seenHidden = false;
    for (int r = 0; r < editor->collection()->RecordCount(); ++r) {
        const bool visible =
            editor->collection()->Value(r, QStringLiteral("lFrmVisible")).toInt() != 0;
        EXPECT_FALSE(visible && seenHidden) << "row " << r;
        seenHidden = seenHidden || !visible;
    }
}

TEST_F(LookupEditors, DebtOutcomeEditorWritesTheDetailOfTheRowShown)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelDesDed");
    TfrqelLookup *frame = editor->frame();
    TVxQueryCollection *c = editor->collection();
    ASSERT_GT(c->RecordCount(), 0);
    frame->SetCurrentSourceRow(0);
    const int link = c->Value(0, QStringLiteral("iDesDedId")).toInt();
    const int detail = c->Value(0, QStringLiteral("iDedId")).toInt();
    ASSERT_TRUE(frame->EditCurrent());
    child<QLineEdit>(frame, "edDedLDesc")->setText(QStringLiteral("Recuperato in parte"));
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT sDedLDesc FROM TDed_DebEsDett WHERE iDedId = ?"), {detail})
            .toString()
            .trimmed(),
        QStringLiteral("Recuperato in parte"));
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT iDedId FROM TDesDed WHERE iDesDedId = ?"), {link}).toInt(),
        detail);
}

TEST_F(LookupEditors, CreditBandsOnlyTakeNewBands)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelBande");
    TfrqelLookup *frame = editor->frame();
    ASSERT_NE(editor->findChild<QLabel *>(QStringLiteral("laNota")), nullptr);
    frame->SetCurrentSourceRow(0);
    EXPECT_FALSE(frame->FrameAction(QStringLiteral("acEdit"))->isEnabled());
    EXPECT_FALSE(frame->FrameAction(QStringLiteral("acDelete"))->isEnabled());
    // Asked all the same (a double click), the edit is refused with a message.
    EXPECT_FALSE(frame->EditCurrent());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(frame->FrameAction(QStringLiteral("acInsert"))->isEnabled());
}

TEST_F(LookupEditors, DebtTypeEditorKeepsLinkAndDetailTogether)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelDtpDtd");
    TfrqelLookup *frame = editor->frame();
    TVxQueryCollection *c = editor->collection();
    const int before = c->RecordCount();

    frame->Insert();
    child<TVxDBLookupEdit>(frame, "xdliDtpDtdId")->SetValue(1);
    child<QLineEdit>(frame, "edDtdLDesc")->setText(QStringLiteral("Studio individuale guidato"));
    child<QLineEdit>(frame, "edDtdSDesc")->setText(QStringLiteral("SIG"));
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(c->RecordCount(), before + 1);
    const int detail =
        scalar(QStringLiteral("SELECT iDtdId FROM TDtd_DebTpDett WHERE sDtdSDesc = 'SIG'")).toInt();
    ASSERT_GT(detail, 0);
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT iDtpId FROM TDtpDtd WHERE iDtdId = ?"), {detail}).toInt(), 1);

    ASSERT_TRUE(c->Locate(QStringLiteral("iDtdId"), detail));
    frame->SetCurrentSourceRow(c->RecNo());
    ASSERT_TRUE(frame->EditCurrent());
    child<QLineEdit>(frame, "edDtdSDesc")->setText(QStringLiteral("SIG2"));
    ASSERT_TRUE(frame->PostChanges());
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT sDtdSDesc FROM TDtd_DebTpDett WHERE iDtdId = ?"), {detail})
            .toString()
            .trimmed(),
        QStringLiteral("SIG2"));

    ASSERT_TRUE(c->Locate(QStringLiteral("iDtdId"), detail));
    frame->SetCurrentSourceRow(c->RecNo());
    DialogSeam::queueAnswer(int(mrYes));
    ASSERT_TRUE(frame->DeleteCurrent());
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT COUNT(*) FROM TDtpDtd WHERE iDtdId = ?"), {detail}).toInt(),
        0);
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT COUNT(*) FROM TDtd_DebTpDett WHERE iDtdId = ?"), {detail})
            .toInt(),
        0);
    EXPECT_EQ(c->RecordCount(), before);
}

TEST_F(LookupEditors, SchoolCreditsEditAndDelete)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelSco");
    TfrqelLookup *frame = editor->frame();
    TVxQueryCollection *c = editor->collection();
    frame->Insert();
    child<QLineEdit>(frame, "edScoLDesc")->setText(QStringLiteral("Olimpiadi di matematica"));
    child<QLineEdit>(frame, "edScoSDesc")->setText(QStringLiteral("OLI"));
    child<QCheckBox>(frame, "cbScoVisible")->setChecked(true);
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT lScoVisible FROM TSco_Scolastici WHERE sScoSDesc = 'OLI'"))
            .toInt(),
        1);
    ASSERT_TRUE(c->Locate(QStringLiteral("sScoSDesc"), QStringLiteral("OLI")));
    frame->SetCurrentSourceRow(c->RecNo());
    DialogSeam::queueAnswer(int(mrYes));
    ASSERT_TRUE(frame->DeleteCurrent());
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TSco_Scolastici WHERE sScoSDesc = 'OLI'"))
                  .toInt(),
              0);
}

TEST_F(LookupEditors, OutcomeLookupOffersOnlyLiveOutcomesWhateverIsTyped)
{
    runSql(QStringLiteral("UPDATE TDes_DebEsito SET dDelete = CURRENT_DATE WHERE iDesId = 2"));
    auto editor = open("TfmqelDesDed");
    TVxDBLookupEdit *lookup = child<TVxDBLookupEdit>(editor->frame(), "xdliDesDedId");
    const int live =
        scalar(QStringLiteral("SELECT COUNT(*) FROM TDes_DebEsito WHERE dDelete IS NULL")).toInt();
    TVxSearchQuery query(qqoVxGlobConn(), lookup->ListSQL);
    EXPECT_EQ(query.Run({}, QString()).size(), live);
    // A typed text is a value, not SQL: it cannot reach the deleted rows.
    EXPECT_TRUE(query.Run({QStringLiteral("sDesLDescVexto")}, QStringLiteral("x' OR 1=1 OR 'a'='a"))
                    .isEmpty());
    for (const QVariantList &row :
         query.Run({QStringLiteral("sDesLDescVexto")}, QStringLiteral("o")))
        EXPECT_NE(row.value(0).toInt(), 2);
}

TEST_F(LookupEditors, NewDebtRowWithoutStateIsRefusedInWordsAndKeepsWhatWasTyped)
{
    const struct
    {
        const char *cls, *state, *longDesc, *shortDesc, *detailTable, *shortField;
    } editors[] = {
        {"TfmqelDesDed", "xdliDesDedId", "edDedLDesc", "edDedSDesc", "TDed_DebEsDett", "sDedSDesc"},
        {"TfmqelDtpDtd", "xdliDtpDtdId", "edDtdLDesc", "edDtdSDesc", "TDtd_DebTpDett", "sDtdSDesc"},
    };
    for (const auto &e : editors) {
        SCOPED_TRACE(e.cls);
        ScriptedDialogs dialogs;
        auto editor = open(e.cls);
        TfrqelLookup *frame = editor->frame();
        const QString countDetails =
            QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = 'NOST'")
                .arg(QLatin1String(e.detailTable), QLatin1String(e.shortField));
        frame->Insert();
        child<QLineEdit>(frame, e.longDesc)->setText(QStringLiteral("Senza stato"));
        child<QLineEdit>(frame, e.shortDesc)->setText(QStringLiteral("NOST"));
        EXPECT_FALSE(frame->PostChanges());
        ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(DialogSeam::shownTexts().first().contains(QStringLiteral("Stato")));
        EXPECT_FALSE(DialogSeam::shownTexts().first().contains(QStringLiteral("FOREIGN")));
        EXPECT_TRUE(frame->Editing());
        EXPECT_EQ(child<QLineEdit>(frame, e.longDesc)->text(), QStringLiteral("Senza stato"));
        EXPECT_EQ(scalar(countDetails).toInt(), 0);

        // Once the state is chosen the same row is written.
        child<TVxDBLookupEdit>(frame, e.state)->SetValue(1);
        ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
        EXPECT_EQ(scalar(countDetails).toInt(), 1);
    }
}

TEST_F(LookupEditors, CreditEditorsInsertEditAndDelete)
{
    const struct
    {
        const char *cls, *longEdit, *shortEdit, *table, *longField, *shortField;
    } editors[] = {
        {"TfmqelFrm", "edFrmLDesc", "edFrmSDesc", "TFrm_Formativi", "sFrmLDesc", "sFrmSDesc"},
        {"TfmqelSco", "edScoLDesc", "edScoSDesc", "TSco_Scolastici", "sScoLDesc", "sScoSDesc"},
    };
    for (const auto &e : editors) {
        SCOPED_TRACE(e.cls);
        ScriptedDialogs dialogs;
        auto editor = open(e.cls);
        TfrqelLookup *frame = editor->frame();
        TVxQueryCollection *c = editor->collection();
        const int before = c->RecordCount();
        const QString shortField = QString::fromLatin1(e.shortField);
        const QString longOf =
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                .arg(QLatin1String(e.longField), QLatin1String(e.table), shortField);

        frame->Insert();
        child<QLineEdit>(frame, e.longEdit)->setText(QStringLiteral("Corso di primo soccorso"));
        child<QLineEdit>(frame, e.shortEdit)->setText(QStringLiteral("PSO"));
        ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
        EXPECT_EQ(c->RecordCount(), before + 1);

        ASSERT_TRUE(c->Locate(shortField, QStringLiteral("PSO")));
        frame->SetCurrentSourceRow(c->RecNo());
        ASSERT_TRUE(frame->EditCurrent());
        child<QLineEdit>(frame, e.longEdit)->setText(QStringLiteral("Corso dell'anno"));
        ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
        EXPECT_EQ(scalar(longOf, {QStringLiteral("PSO")}).toString().trimmed(),
                  QStringLiteral("Corso dell'anno"));

        ASSERT_TRUE(c->Locate(shortField, QStringLiteral("PSO")));
        frame->SetCurrentSourceRow(c->RecNo());
        DialogSeam::queueAnswer(int(mrYes));
        ASSERT_TRUE(frame->DeleteCurrent());
        EXPECT_FALSE(scalar(longOf, {QStringLiteral("PSO")}).isValid());
        EXPECT_EQ(c->RecordCount(), before);
    }
}

namespace {

struct GridState
{
    QList<bool> hidden;
    QList<int> widths;
    QStringList titles;
    bool operator==(const GridState &) const = default;
};

GridState gridState(QTableView *grid)
{
    GridState state;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        state.hidden << grid->isColumnHidden(c);
        state.widths << grid->columnWidth(c);
        state.titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    }
    return state;
}

QVariant currentKey(TfmqelLookupEditor *editor)
{
    return editor->collection()->Value(editor->frame()->CurrentSourceRow(), 0);
}

QStringList detailTexts(TfrqelLookup *frame)
{
    QStringList texts;
    for (QLineEdit *edit : frame->DetailArea()->findChildren<QLineEdit *>())
        texts << edit->text();
    return texts;
}

} // namespace

// "Aggiorna" reads the rows again: the internal columns stay hidden, the widths and titles
// stay, the row stays chosen by its key (another office added one before it) and the detail
// page keeps showing it.
TEST_F(LookupEditors, RefreshKeepsColumnsRowAndPage)
{
    const struct
    {
        const char *cls;
        const char *addedBefore; // a row another office adds, sorted before the chosen one
    } editors[] = {
        {"TfmqelEncomio", "INSERT INTO TEnc_Encomio (iEncId, sEncLDesc) VALUES (99001, 'AAA')"},
        {"TfmqelFrm", "INSERT INTO TFrm_Formativi (iFrmId, sFrmLDesc, lFrmVisible) "
                      "VALUES (99001, 'AAA', 1)"},
        {"TfmqelSco", nullptr},
        {"TfmqelBande", nullptr},
        {"TfmqelDesDed", nullptr},
        {"TfmqelDtpDtd", nullptr},
    };
    for (const auto &e : editors) {
        SCOPED_TRACE(e.cls);
        ScriptedDialogs dialogs;
        auto editor = open(e.cls);
        editor->show();
        TfrqelLookup *frame = editor->frame();
        QTableView *grid = frame->grGrid();
        const int rows = editor->collection()->RecordCount();
        ASSERT_GE(rows, 2);
        frame->SetCurrentSourceRow(rows - 1);
        const QVariant key = currentKey(editor.get());
        const GridState before = gridState(grid);
        if (e.addedBefore)
            runSql(QString::fromLatin1(e.addedBefore));

        frame->FrameAction(QStringLiteral("acRefresh"))->trigger();
        EXPECT_EQ(gridState(grid), before);
        EXPECT_EQ(currentKey(editor.get()), key);
        EXPECT_EQ(editor->collection()->RecordCount(), rows + (e.addedBefore ? 1 : 0));
        EXPECT_TRUE(frame->IsListPage());

        frame->ShowDetailPage();
        const QStringList shown = detailTexts(frame);
        EXPECT_FALSE(shown.join(QString()).trimmed().isEmpty());
        frame->FrameAction(QStringLiteral("acRefresh"))->trigger();
        EXPECT_FALSE(frame->IsListPage());
        EXPECT_EQ(detailTexts(frame), shown);
        EXPECT_EQ(currentKey(editor.get()), key);
        EXPECT_TRUE(DialogSeam::shownTexts().isEmpty())
            << DialogSeam::shownTexts().join('|').toStdString();
    }
}

// A new row saved empty, or with a text longer than its column, never reaches the table: the
// office is told which field to fill, in its words, and the edit stays open.
TEST_F(LookupEditors, EmptyAndOverlongRowsAreRefusedAndNothingIsWritten)
{
    const struct
    {
        const char *cls, *firstField, *textEdit, *table;
        int columnLength;
    } editors[] = {
        {"TfmqelEncomio", "Descrizione", "edEncLDesc", "TEnc_Encomio", 100},
        {"TfmqelFrm", "Descrizione", "edFrmSDesc", "TFrm_Formativi", 30},
        {"TfmqelBande", "Anno di corso", "edBndDesc", "TBnd_Bande", 50},
        {"TfmqelDesDed", "Stato", "edDedLDesc", "TDed_DebEsDett", 100},
    };
    for (const auto &e : editors) {
        SCOPED_TRACE(e.cls);
        ScriptedDialogs dialogs;
        auto editor = open(e.cls);
        TfrqelLookup *frame = editor->frame();
        const QString count = QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(e.table));
        const int rows = scalar(count).toInt();

        frame->Insert();
        EXPECT_FALSE(frame->PostChanges());
        EXPECT_EQ(DialogSeam::shownTexts(),
                  QStringList{QStringLiteral("La riga è vuota: compilare almeno il campo \"%1\" "
                                             "prima di salvare.")
                                  .arg(QString::fromUtf8(e.firstField))});
        EXPECT_TRUE(frame->Editing());

        // Typing stops at the column's length.
        auto *edit = child<QLineEdit>(frame, e.textEdit);
        QTest::keyClicks(edit, QString(e.columnLength + 20, QLatin1Char('x')));
        EXPECT_EQ(edit->text().size(), e.columnLength);
        frame->CancelChanges();
        EXPECT_EQ(scalar(count).toInt(), rows);
    }

    // What reaches the engine too long all the same is refused in words, the engine's text
    // kept for the technician.
    auto editor = open("TfmqelEncomio");
    TVxQueryCollection *c = editor->collection();
    c->Append();
    c->SetFieldValue(QStringLiteral("sEncLDesc"), QString(150, QLatin1Char('x')));
    try {
        c->Post();
        ADD_FAILURE() << "an over-long text was written";
    } catch (const EVxException &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Il testo è troppo lungo per il campo SENCLDESC "
                                              "(al massimo 100 caratteri)."));
        EXPECT_TRUE(e.detail().contains(QStringLiteral("string right truncation")));
    }
    c->Cancel();
}

// The engine's refusals reach the office in Italian: an entry that pupils' credits use is kept,
// a duplicate is refused; the edit stays open on a refused save.
TEST_F(LookupEditors, EngineRefusalsAreToldInWordsAndTheRowsStay)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelEncomio");
    TfrqelLookup *frame = editor->frame();
    TVxQueryCollection *c = editor->collection();
    const QVariant used =
        scalar(QStringLiteral("SELECT FIRST 1 iEncId FROM TCre_Crediti WHERE iEncId IS NOT NULL"));
    ASSERT_TRUE(used.isValid());
    ASSERT_TRUE(c->Locate(QStringLiteral("iEncId"), used));
    frame->SetCurrentSourceRow(c->RecNo());
    const int rows = c->RecordCount();
    DialogSeam::queueAnswer(int(mrYes));
    EXPECT_FALSE(frame->DeleteCurrent());
    ASSERT_EQ(DialogSeam::shown().size(), 2);
    EXPECT_EQ(DialogSeam::shown()[1].text,
              QStringLiteral("La voce è in uso e non può essere eliminata."));
    EXPECT_TRUE(DialogSeam::shown()[1].technical.contains(QStringLiteral("FOREIGN KEY")));
    EXPECT_EQ(c->RecordCount(), rows);
    EXPECT_EQ(currentKey(editor.get()), used);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM TEnc_Encomio WHERE iEncId = ?"), {used})
                  .toInt(),
              1);

    // A school that keeps its abbreviations unique.
    runSql(QStringLiteral("CREATE UNIQUE INDEX UX_Prova_EncSigla ON TEnc_Encomio (sEncSDesc)"));
    const QString taken = c->Value(0, QStringLiteral("sEncSDesc")).toString().trimmed();
    DialogSeam::clearShown();
    frame->Insert();
    child<QLineEdit>(frame, "edEncLDesc")->setText(QStringLiteral("Doppione"));
    child<QLineEdit>(frame, "edEncSDesc")->setText(taken);
    EXPECT_FALSE(frame->PostChanges());
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Esiste già una voce con questi dati.")});
    EXPECT_TRUE(frame->Editing());
    EXPECT_EQ(child<QLineEdit>(frame, "edEncLDesc")->text(), QStringLiteral("Doppione"));
    EXPECT_EQ(c->RecordCount(), rows);
}

// Enter on the list edits the row, Ctrl+S saves and goes back to the list on it, Esc cancels
// (asking only when something was typed); where rows cannot change, Enter shows the row.
TEST_F(LookupEditors, KeyboardEditsSavesAndCancels)
{
    ScriptedDialogs dialogs;
    auto editor = open("TfmqelEncomio");
    editor->show();
    TfrqelLookup *frame = editor->frame();
    auto *description = child<QLineEdit>(frame, "edEncLDesc");
    frame->SetCurrentSourceRow(1);
    const QVariant key = currentKey(editor.get());
    const QString descriptionOf =
        QStringLiteral("SELECT sEncLDesc FROM TEnc_Encomio WHERE iEncId = ?");
    const QString stored = scalar(descriptionOf, {key}).toString();

    QTest::keyClick(frame->grGrid(), Qt::Key_Return);
    ASSERT_TRUE(frame->Editing());
    EXPECT_FALSE(frame->IsListPage());
    description->selectAll();
    QTest::keyClicks(description, QStringLiteral("Zelo nello studio"));
    QTest::keyClick(description, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(frame->Editing());
    EXPECT_TRUE(frame->IsListPage());
    EXPECT_EQ(currentKey(editor.get()), key);
    EXPECT_EQ(scalar(descriptionOf, {key}).toString(), QStringLiteral("Zelo nello studio"));

    // Esc with nothing typed: no question.
    QTest::keyClick(frame->grGrid(), Qt::Key_Enter);
    ASSERT_TRUE(frame->Editing());
    QTest::keyClick(description, Qt::Key_Escape);
    EXPECT_FALSE(frame->Editing());
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());

    // Esc after typing asks: No keeps the edit, Yes drops it.
    QTest::keyClick(frame->grGrid(), Qt::Key_Return);
    QTest::keyClicks(description, QStringLiteral(" e altro"));
    DialogSeam::queueAnswer(int(mrNo));
    QTest::keyClick(description, Qt::Key_Escape);
    EXPECT_TRUE(frame->Editing());
    DialogSeam::queueAnswer(int(mrYes));
    QTest::keyClick(description, Qt::Key_Escape);
    EXPECT_FALSE(frame->Editing());
    EXPECT_TRUE(frame->IsListPage());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
    EXPECT_EQ(scalar(descriptionOf, {key}).toString(), QStringLiteral("Zelo nello studio"));
    EXPECT_NE(stored, QStringLiteral("Zelo nello studio"));

    auto bands = open("TfmqelBande");
    bands->show();
    bands->frame()->SetCurrentSourceRow(0);
    QTest::keyClick(bands->frame()->grGrid(), Qt::Key_Return);
    EXPECT_FALSE(bands->frame()->Editing());
    EXPECT_FALSE(bands->frame()->IsListPage());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
}
