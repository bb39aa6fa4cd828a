#include "makeup/qelfgiudizi.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "tests/support/testdb.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

namespace {

class Templates : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(db.opened); }

    // The headings of the grid's visible columns.
    static QStringList visibleColumns(const TfrQelGiudizi *frame)
    {
        QStringList headings;
        QTableView *grid = frame->grGrid();
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            if (!grid->isColumnHidden(c))
                headings << grid->model()->headerData(c, Qt::Horizontal).toString();
        }
        return headings;
    }

    static QString templateText(int id)
    {
        return QString::fromUtf8(
            scalar(QStringLiteral("SELECT bGdtGiudizio FROM TGdt_GdzTemplate WHERE iGdtId = ?"),
                   {id})
                .toByteArray());
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
};

const QStringList kTitleOnly{QStringLiteral("Descr. breve giudizio")};

} // namespace

TEST_F(Templates, InsertEditDeleteAndRefreshKeepTheTitleColumnAlone)
{
    TfmQelGiudizi window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Giudizi predefiniti"));
    TfrQelGiudizi *frame = window.frame();
    TVxQueryCollection *rows = frame->xqcGiudizi();
    ASSERT_EQ(rows->RecordCount(), 3);
    EXPECT_EQ(visibleColumns(frame), kTitleOnly);

    const QString accented = QStringLiteral("L'alunna è più che sufficiente;\r\nperciò è ammessa.");
    const struct
    {
        const char *step;
        std::function<bool()> change;
        int records;
    } steps[] = {
        {"insert",
         [&] {
             frame->Insert();
             frame->VxDBEdit1()->setText(QStringLiteral("Ammessa con riserva"));
             frame->VxDBMemo1()->setPlainText(accented);
             return frame->PostChanges();
         },
         4},
        {"edit",
         [&] {
             frame->SetCurrentSourceRow(rows->RecNo());
             if (!frame->EditCurrent())
                 return false;
             frame->VxDBEdit1()->setText(QStringLiteral("Ammessa"));
             return frame->PostChanges();
         },
         4},
        {"refresh",
         [&] {
             frame->FrameAction(QStringLiteral("acRefresh"))->trigger();
             return true;
         },
         4},
        {"delete",
         [&] {
             rows->Locate(QStringLiteral("sGdttitolo"), QStringLiteral("Ammessa"));
             frame->SetCurrentSourceRow(rows->RecNo());
             DialogSeam::queueAnswer(int(mrYes));
             return frame->DeleteCurrent();
         },
         3},
    };
    int key = 0;
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        ASSERT_TRUE(s.change()) << DialogSeam::shownTexts().join('|').toStdString();
        EXPECT_EQ(rows->RecordCount(), s.records);
        EXPECT_EQ(visibleColumns(frame), kTitleOnly);
        if (key == 0) {
            // The new key comes from the database's key procedure, above every seeded key.
            key = scalar(QStringLiteral("SELECT iGdtId FROM TGdt_GdzTemplate WHERE sGdtTitolo = "
                                        "'Ammessa con riserva'"))
                      .toInt();
            EXPECT_GE(key, 1000000);
            EXPECT_EQ(templateText(key), accented);
        }
    }
    EXPECT_FALSE(
        scalar(QStringLiteral("SELECT iGdtId FROM TGdt_GdzTemplate WHERE iGdtId = ?"), {key})
            .isValid());
    EXPECT_TRUE(DialogSeam::shownTexts().size() == 1);
}

TEST_F(Templates, AnEditWritesBackOnlyWhatTheOfficeChanged)
{
    // A text stored by another program with bare line feeds, which the memo shows as CR LF.
    const int id = scalar(QStringLiteral("SELECT MIN(iGdtId) FROM TGdt_GdzTemplate")).toInt();
    runSql(QStringLiteral("UPDATE TGdt_GdzTemplate SET bGdtGiudizio = ? WHERE iGdtId = ?"),
           {QStringLiteral("Riga uno\nriga due"), id});
    TfmQelGiudizi window;
    TfrQelGiudizi *frame = window.frame();
    ASSERT_TRUE(frame->xqcGiudizi()->Locate(QStringLiteral("iGdtId"), id));
    frame->SetCurrentSourceRow(frame->xqcGiudizi()->RecNo());
    ASSERT_TRUE(frame->EditCurrent());
    // Another workstation rewrites the text meanwhile; this one retitles the template.
    runSql(QStringLiteral("UPDATE TGdt_GdzTemplate SET bGdtGiudizio = 'Riscritto altrove' WHERE "
                          "iGdtId = ?"),
           {id});
    frame->VxDBEdit1()->setText(QStringLiteral("Nuovo titolo"));
    ASSERT_TRUE(frame->PostChanges()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(templateText(id), QStringLiteral("Riscritto altrove"));
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT sGdtTitolo FROM TGdt_GdzTemplate WHERE iGdtId = ?"), {id})
            .toString(),
        QStringLiteral("Nuovo titolo"));
}

TEST_F(Templates, AnEmptyTableShowsTheSameSingleColumn)
{
    runSql(QStringLiteral("DELETE FROM TGdt_GdzTemplate"));
    TfmQelGiudizi window;
    EXPECT_EQ(window.frame()->xqcGiudizi()->RecordCount(), 0);
    EXPECT_EQ(visibleColumns(window.frame()), kTitleOnly);
}
