#pragma once

#include "xls/cells.h"
#include "xls/compoundfile.h"
#include "xls/formats.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QIODevice;

// The library's public face. The survey drives it in this order: add the template to the
// store, NewExcelFile, AttachWorkbook, OpenFile, copy rows / read and write cells, Save,
// ReleaseWorkbook. Rows are 1-based here and 0-based inside the library.
namespace xls {

class TWorkbook;
class TEscherRecord;
class TWorkSheet;
class TXLSFile;

// One template kept whole in memory, found later by its bare file name.
class TXlsTemplate
{
public:
    TXlsTemplate();
    QString FileName() const { return m_fileName; }
    // Reads the whole compound file, then keeps only the file-name part.
    void setFileName(const QString &path);
    QString DisplayName() const { return m_fileName; }
    void setDisplayName(const QString &name) { setFileName(name); }

    bool Compress = false;
    TXlsStorageList Storages;

    // The "TemplateData" form: version, name, storage list.
    QByteArray templateData() const;
    void setTemplateData(const QByteArray &data);

private:
    QString m_fileName;
};

class TXlsTemplateList
{
public:
    bool Compress = false;
    TXlsTemplate &Add();
    int count() const { return int(m_items.size()); }
    TXlsTemplate &GetTemplateItem(int index) const { return *m_items.at(size_t(index)); }
    void Delete(int index) { m_items.erase(m_items.begin() + index); }

private:
    std::vector<std::unique_ptr<TXlsTemplate>> m_items;
};

class TXlsBaseTemplateStore : public QObject
{
public:
    using QObject::QObject;
    virtual TXlsStorageList &GetStorages(const QString &fileName) = 0;
};

class TXlsTemplateStore : public TXlsBaseTemplateStore
{
public:
    explicit TXlsTemplateStore(QObject *parent = nullptr);
    TXlsTemplateList Templates;
    bool compress() const { return m_compress; }
    void setCompress(bool value);
    // The first template whose name equals the file-name part exactly (case counts);
    // "Can't find file "%s"" otherwise.
    TXlsStorageList &GetStorages(const QString &fileName) override;

private:
    bool m_compress = false;
};

class TExcelAdapter : public QObject
{
public:
    using QObject::QObject;
    virtual std::unique_ptr<TXLSFile> NewExcelFile() = 0;
};

class TXLSAdapter : public TExcelAdapter
{
public:
    using TExcelAdapter::TExcelAdapter;
    TXlsBaseTemplateStore *TemplateStore() const { return m_store; }
    void setTemplateStore(TXlsBaseTemplateStore *store) { m_store = store; }
    std::unique_ptr<TXLSFile> NewExcelFile() override;

private:
    TXlsBaseTemplateStore *m_store = nullptr;
};

// Rows (1-based) and the indexes of the pictures anchored in each, kept sorted by row.
class TRowComments
{
public:
    void Clear() { m_rows.clear(); }
    void Add(int row, int index) { m_rows[row].push_back(index); }
    // The row's indexes; an empty list for a row without any.
    const std::vector<int> &operator[](int row) const;

private:
    std::map<int, std::vector<int>> m_rows;
};

// Where a picture sits: the two corners, rows and columns 1-based, offsets as stored.
struct TXlsPictureAnchor
{
    int Kind = 0; // 0 move and size with cells, 2 move only, 1 and 3 fixed
    int Col1 = 0, Dx1 = 0, Row1 = 0, Dy1 = 0;
    int Col2 = 0, Dx2 = 0, Row2 = 0, Dy2 = 0;
};

class TXLSFile
{
public:
    using GetFileNameEvent = std::function<void(TXLSFile *, int, QString &)>;
    using GetOutStreamEvent = std::function<void(TXLSFile *, int, QIODevice *&)>;

    explicit TXLSFile(TXLSAdapter *adapter);
    ~TXLSFile();

    // Cells, absolute 1-based column.
    QVariant GetCellValueAbs(int row, int col) const;
    void SetCellValueAbs(int row, int col, const QVariant &value);
    TXlsCellValue GetCellValueXAbs(int row, int col) const;
    void SetCellValueXAbs(int row, int col, const TXlsCellValue &value);
    // Cells, column as a 0-based offset from the selected range's first column.
    QVariant GetCellValue(int row, int col) const;
    TXlsCellValue GetCellValueX(int row, int col) const;
    void SetCellValue(int row, int col, const QVariant &value);
    void SetCellValueX(int row, int col, const TXlsCellValue &value);

    int GetActiveSheet() const { return ActiveSheet; }
    void SetActiveSheet(int sheet) { ActiveSheet = sheet; }
    QString GetActiveSheetName() const;
    void SetActiveSheetName(const QString &name);
    int GetSheetCount() const;
    void SelectSheet(int sheet);
    bool IsWorksheet(int sheet) const;

    int GetColumnWidth(int col) const;
    void SetColumnWidth(int col, int width);
    int GetRowHeight(int row) const;
    void SetRowHeight(int row, int height);
    int GetDefaultColWidth() const;
    int GetDefaultRowHeight() const;
    bool GetAutoRowHeight(int row) const;
    void SetAutoRowHeight(int row, bool value);
    int GetColumnFormat(int col) const;
    void SetColumnFormat(int col, int xf);
    int GetRowFormat(int row) const;
    void SetRowFormat(int row, int xf);
    quint32 GetColorPalette(int index) const;
    void SetColorPalette(int index, quint32 color);
    TXlsCellFormat GetFormat(int xf) const;
    int GetFormatCount() const;
    bool GetShowGridLines() const;
    void SetShowGridLines(bool value);
    // The merged area holding the cell, or the cell itself; all bounds 1-based.
    void GetCellMergedBounds(int row, int col, int &firstRow, int &firstCol, int &lastRow,
                             int &lastCol) const;

    int GetMaxRow() const;
    int GetMaxCol() const;
    bool IsEmptyRow(int row) const;
    int GetColByIndex(int row, int index) const;
    int GetColIndexCount(int row) const;
    int GetColIndex(int row, int col) const;
    int GetRangeColCount(int row) const;
    int GetRangeFirstColOffset() const { return RangeFirstCol + 1; }

    void AttachWorkbook();
    void ReleaseWorkbook();
    void OpenFile(const QString &fileName);
    // The output is built whole in memory and then written atomically: a failed save never
    // leaves a half-written file under the name.
    void Save(bool autoClose, const QString &fileName, const GetFileNameEvent &onGetFileName = {},
              const GetOutStreamEvent &onGetOutStream = {}, QIODevice *dataStream = nullptr);

    // Rows firstRow..lastRow copied count times before destRow; everything below moves down.
    void InsertAndCopyRows(int firstRow, int lastRow, int destRow, int count, bool onlyFormulas);
    void DeleteRows(int row, int count);
    // Copies sheet copyFrom count times before sheet insertBefore (1-based).
    void InsertAndCopySheets(int copyFrom, int insertBefore, int count);
    // Every row whose cell in column A reads marker is deleted, from the last one up.
    void DeleteMarkedRows(const QString &marker);
    // Every row whose cell in column A reads marker gets a manual page break; the marker goes.
    void MakePageBreaks(const QString &marker);

    // Defined names (1-based index); bounds 1-based, -1 when the name is not an area.
    int GetRangeCount() const;
    QString GetRangeName(int index) const;
    int GetRangeFirstRow(int index) const;
    int GetRangeLastRow(int index) const;
    int GetRangeFirstCol(int index) const;
    int GetRangeLastCol(int index) const;
    int GetRangeSheet(int index) const;
    // Cell columns then count from the name's first column.
    void SelectRange(int index);

    // Cell comments of a row (1-based), in column order; index is 0-based. An empty text
    // deletes the comment with its shape.
    int GetCommentsCount(int row) const;
    QString GetCommentText(int row, int index) const;
    void SetCommentText(int row, int index, const QString &text);

    // Pictures: for row >= 1 the index-th (0-based) picture anchored in that row, through
    // RowPictures; for row < 1 the index-th picture of the sheet.
    int GetPicturesCount(int row) const;
    QString GetPictureName(int row, int index) const;
    void RefreshPictureIndex();
    // pictureType: 0 EMF, 1 WMF, 2 JPEG, 3 PNG, 4 DIB, 5 other.
    void AssignPicture(int row, int index, const QByteArray &data, int pictureType);
    QByteArray GetPictureAnchor(int row, int index, int &pictureType,
                                TXlsPictureAnchor &anchor) const;

    TWorkbook *workbook() const { return Workbook.get(); }

    TXLSAdapter *Adapter;
    int ActiveSheet = 1;
    std::unique_ptr<TWorkbook> Workbook;
    TXlsStorageList *Storages = nullptr;
    std::unique_ptr<TXlsStorageList> OwnStorages;
    int RangeFirstCol = 0;
    int RangeLastCol = 0;
    // Rebuilt when it is next read after rows moved: a survey copies thousands of rows one
    // call at a time and reads no picture in between.
    mutable TRowComments RowPictures;

private:
    const TRowComments &rowPictures() const;
    void buildPictureIndex() const;
    mutable bool m_picturesMoved = false;
    // The picture the row and index name, or null.
    TEscherRecord *pictureAt(int row, int index) const;
    TWorkSheet *activeWorkSheet() const;
    // The area bound of a name: 0 first row, 1 last row, 2 first column, 3 last column,
    // 4 sheet.
    int nameBound(int index, int which) const;
    QString markerText(int row) const;
    // "Index ... not in range" for a format the workbook lacks.
    void checkFormat(int xf) const;
};

// The file search of OpenFile without a template store: the name as given, then with ".xls",
// in the current folder, the program's folder and the executable search path.
QString searchFile(const QString &name);

} // namespace xls
