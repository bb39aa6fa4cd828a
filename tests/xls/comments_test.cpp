#include "drawingcheck.h"
#include "xlstestutil.h"

#include "xls/escher.h"
#include "xls/workbook.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace xls;
using namespace xlstest;

// The file-level comment and picture operations on the "drawings" fixture (rows 1-based):
// comments on A4, C5 and B16, a PNG picture anchored on rows 4..6, a chart, a second sheet.
namespace {

class CommentsAndPictures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(fixture(QStringLiteral("drawings.xls")));
    }
    void TearDown() override { file->ReleaseWorkbook(); }
    QString saved(const QString &name)
    {
        const QString path = dir.filePath(name);
        file->Save(false, path);
        return path;
    }
    // xlrd's comments of the first sheet: [row, col, text].
    QJsonArray xlrdNotes(const QString &path)
    {
        return check(QStringLiteral("notes"), path).array()[0].toArray();
    }

    QTemporaryDir dir;
    TXLSAdapter adapter;
    std::unique_ptr<TXLSFile> file;
};

QJsonArray note(int row, int col, const QString &text)
{
    return QJsonArray{row, col, text};
}

} // namespace

TEST_F(CommentsAndPictures, CommentsAreCountedAndReadByRow)
{
    EXPECT_EQ(file->GetCommentsCount(4), 1);
    EXPECT_EQ(file->GetCommentsCount(5), 1);
    EXPECT_EQ(file->GetCommentsCount(6), 0);
    EXPECT_EQ(file->GetCommentsCount(500), 0);
    EXPECT_EQ(file->GetCommentText(4, 0), QStringLiteral("Nome della materia"));
    EXPECT_EQ(file->GetCommentText(5, 0), QStringLiteral("Seconda nota: città"));
    EXPECT_EQ(
        messageOf([&] { file->GetCommentText(6, 0); }),
        QStringLiteral("The index \"0\" of the property \"Comment\" is not in the range 0--1"));
    // A chart-free second sheet has none; a missing sheet answers empty.
    file->SetActiveSheet(2);
    EXPECT_EQ(file->GetCommentsCount(4), 0);
    file->SetActiveSheet(7);
    EXPECT_EQ(file->GetCommentText(4, 0), QString());
}

TEST_F(CommentsAndPictures, ChangedAndDeletedCommentsReachAnIndependentReader)
{
    file->SetCommentText(5, 0, QStringLiteral("Testo nuovo ŝ"));
    file->SetCommentText(16, 0, QString());
    EXPECT_EQ(file->GetCommentsCount(16), 0);
    const QString path = saved(QStringLiteral("changed.xls"));
    EXPECT_EQ(xlrdNotes(path), (QJsonArray{note(3, 0, QStringLiteral("Nome della materia")),
                                           note(4, 2, QStringLiteral("Testo nuovo ŝ"))}));
    const DrawingSeen seen = inspectDrawings(workbookStream(path));
    EXPECT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    EXPECT_EQ(seen.sheets[0].texts.size(), 2);
}

TEST_F(CommentsAndPictures, CopiedRowsGiveCommentsToTheCopiesForAnIndependentReader)
{
    file->InsertAndCopyRows(4, 6, 7, 1, false);
    file->SetCommentText(8, 0, QStringLiteral("Solo nella copia"));
    const QString path = saved(QStringLiteral("copied.xls"));
    EXPECT_EQ(xlrdNotes(path), (QJsonArray{note(3, 0, QStringLiteral("Nome della materia")),
                                           note(4, 2, QStringLiteral("Seconda nota: città")),
                                           note(6, 0, QStringLiteral("Nome della materia")),
                                           note(7, 2, QStringLiteral("Solo nella copia")),
                                           note(18, 1, QStringLiteral("Nota in fondo"))}));
}

TEST_F(CommentsAndPictures, PicturesAreFoundBySheetAndByRow)
{
    EXPECT_EQ(file->GetPicturesCount(0), 1);
    EXPECT_EQ(file->GetPicturesCount(4), 1);
    EXPECT_EQ(file->GetPicturesCount(5), 0);
    int type = -1;
    TXlsPictureAnchor anchor;
    const QByteArray png = file->GetPictureAnchor(4, 0, type, anchor);
    EXPECT_EQ(type, 3);
    EXPECT_TRUE(png.startsWith("\x89PNG"));
    EXPECT_GT(png.size(), 8192);
    EXPECT_EQ(anchor.Row1, 4);
    EXPECT_EQ(anchor.Row2, 6);
    EXPECT_EQ(anchor.Col1, 3);
    EXPECT_EQ(anchor.Kind, 0);
    EXPECT_EQ(file->GetPictureAnchor(-1, 0, type, anchor), png);
    EXPECT_EQ(
        messageOf([&] { file->GetPictureName(5, 0); }),
        QStringLiteral("The index \"0\" of the property \"Picture\" is not in the range 0--1"));

    // After copying rows the index names the copies by their own rows.
    file->InsertAndCopyRows(4, 6, 7, 2, false);
    EXPECT_EQ(file->GetPicturesCount(0), 3);
    EXPECT_EQ(file->GetPicturesCount(10), 1);
    file->GetPictureAnchor(10, 0, type, anchor);
    EXPECT_EQ(anchor.Row1, 10);
}

TEST_F(CommentsAndPictures, AnAssignedPictureReplacesTheShownOneAndSharesEqualEntries)
{
    QByteArray other("\x89PNG\r\n\x1a\n", 8);
    other.append(QByteArray(2000, 'q'));
    file->InsertAndCopyRows(4, 6, 7, 1, false);
    file->AssignPicture(4, 0, other, 3);
    file->AssignPicture(7, 0, other, 3);
    int type = -1;
    TXlsPictureAnchor anchor;
    EXPECT_EQ(file->GetPictureAnchor(4, 0, type, anchor), other);
    EXPECT_EQ(file->GetPictureAnchor(7, 0, type, anchor), other);
    const QString path = saved(QStringLiteral("assigned.xls"));
    const DrawingSeen seen = inspectDrawings(workbookStream(path));
    EXPECT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    // One new entry used by both pictures; the old one used by nobody.
    ASSERT_EQ(seen.pictureUses.size(), 2u);
    EXPECT_EQ(seen.pictureUses[0], 0);
    EXPECT_EQ(seen.pictureUses[1], 2);

    TXLSAdapter again;
    auto reread = again.NewExcelFile();
    reread->AttachWorkbook();
    reread->OpenFile(path);
    EXPECT_EQ(reread->GetPictureAnchor(7, 0, type, anchor), other);
    reread->ReleaseWorkbook();
}

TEST_F(CommentsAndPictures, APicturesNameComesFromItsNameProperty)
{
    // LibreOffice writes no name: the answer is empty.
    EXPECT_EQ(file->GetPictureName(4, 0), QString());
    TEscherRecord *picture = file->workbook()->WorkSheet(0)->Drawing->pictures().front();
    TEscherRecord *opt = picture->find(ET_Opt);
    const int count = opt->instance();
    // A complex property: its value is the length of the text that follows the table.
    QByteArray name;
    for (QChar ch : QStringLiteral("Logo scuola"))
        name += le16(ch.unicode());
    name += le16(0);
    opt->Data.insert(count * 6, le16(0x8380) + le32(quint32(name.size())));
    opt->Data.append(name);
    opt->VerInst = quint16((opt->VerInst & 0x000F) | ((count + 1) << 4));
    EXPECT_EQ(file->GetPictureName(4, 0), QStringLiteral("Logo scuola"));
    EXPECT_EQ(file->GetPictureName(0, 0), QStringLiteral("Logo scuola"));
}
