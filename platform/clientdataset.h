#pragma once

// TClientDataSet: the in-memory table of the grade data module and of the exchange packets.
// Operations carry the names of the query collection (TVxQueryCollection) where both have one.
//
// Columns and rows
//   ClearFieldDefs(), AddFieldDef(name, type, size), CreateDataSet()  an empty table
//   FillFromQuery(query)   the columns of an executed SELECT, in order, with their database
//                          types, and every row in the query's order (no change log)
//   Close(), Active(), EmptyDataSet()
//   FieldCount(), Fields(i), FindField(name) (nullptr when absent), FieldByName(name) (raises)
//     names match case-insensitively (Firebird returns them in capitals); field pointers
//     live until Close or the next CreateDataSet/FillFromQuery
// Cursor and editing
//   First(), Next(), Prior(), Last(), Eof(), Bof(), RecNo()/setRecNo() (0-based), RecordCount()
//   Append(), Insert() (before the current record), Edit(), Post(), Cancel(), Delete()
//   moving while editing posts first, as callers that append-set-next expect
//   Value(row, column) reads the visible records by position (grids, file writers)
// Search and order
//   Locate("ALU_ID;MAT_ID", {pupil, subject}): exact, case-sensitive; the first match in the
//     current order becomes the current record. Hash lookups: fast on a whole school.
//   AddIndex(name, "ALU_ID;SIT_ID"), setIndexName(name), DeleteIndex(name),
//   setIndexFieldNames(fields): the visible order (ascending, nulls first)
//   setFilter(text) + setFiltered(true): see RecordFilter for the language; the text is
//     checked against the columns while filtering is on
// Change log
//   ChangeCount(), UpdateStatus(), DeletedRecords(), MergeChangeLog() makes every change
//   part of the data
// Files (datapacket.h)
//   SaveToFile(path, dfXML or dfBinary[, sync[, access]]): merges the change log, then replaces
//     the file atomically (VxReplaceFile, fileaccess.h) with every record in the order of
//     posting, whatever the filter and index; TVxFileAccess::OwnerOnly for a file only its
//     owner may read
//   LoadFromFile(path): either form, the content decides; the records arrive unchanged
//
// Values are kept normalised per type (see fieldvalue.h); a null is an invalid QVariant.
// Strings longer than a String column's size are cut to it, as a packet's definition
// requires. Misuse (writing outside edit, an unknown column) raises EVxException.
// The file forms of the packets are read and written in datapacket.cpp over this class's
// public interface (FieldDefs, StoredRecord, Append and Post).

#include "platform/fieldvalue.h"
#include "platform/fileaccess.h"
#include "platform/recordfilter.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class QSqlQuery;
class TClientDataSet;

struct TFieldDef
{
    QString Name;
    TFieldType DataType = ftString;
    // Characters of a String column (0 = no limit); 8 for an Integer column whose database
    // type is 64-bit, so that its files say so even when the values are small.
    int Size = 0;
};

// The two file forms of a packet: our compact binary form (".cds") and the XML form
// (".xml") that other readers of the client-dataset layout read.
enum TDataPacketFormat { dfBinary, dfXML };

class TField
{
public:
    const QString &FieldName() const;
    TFieldType DataType() const;
    int Size() const;
    int Index() const { return m_index; }

    bool IsNull() const { return Value().isNull(); }
    QVariant Value() const;
    // Converts to the column's type; raises EVxException when the value does not convert
    // or the dataset is not in edit or insert state.
    void setValue(const QVariant &value);
    void Clear() { setValue(QVariant()); }

    // Null reads as 0, the empty text, an invalid date, false.
    qint64 AsLargeInt() const;
    int AsInteger() const { return int(AsLargeInt()); }
    double AsFloat() const;
    QString AsString() const;
    QDate AsDate() const;
    QDateTime AsDateTime() const;
    QByteArray AsBytes() const;
    bool AsBoolean() const;

private:
    friend class TClientDataSet;
    TField(TClientDataSet *dataSet, int index) : m_dataSet(dataSet), m_index(index) {}
    TClientDataSet *m_dataSet;
    int m_index;
};

// The columns of an executed select as the client datasets keep them: CHAR columns without
// the blanks that pad them, text BLOBs as text, times as "hh:mm:ss", every value in its
// column's form (fieldvalue.h); a column named twice is the second time "NAME_1". The same
// for every run of one statement.
struct TVxRowLayout
{
    enum class Source { Plain, FixedChar, TextBlob, Time };
    QList<TFieldDef> defs;
    QList<Source> sources;
    static TVxRowLayout of(const QSqlQuery &query);
};

// The rows of an executed select in that layout, for a reader that needs the values and not a
// table (the report datasets).
class TVxRowReader
{
public:
    explicit TVxRowReader(QSqlQuery &query);
    // A statement run again: its layout as an earlier run found it.
    TVxRowReader(QSqlQuery &query, const TVxRowLayout &layout);
    // Widths grow to the longest text read (a connection whose character set is not the
    // column's reports less).
    const QList<TFieldDef> &FieldDefs() const { return m_layout.defs; }
    const TVxRowLayout &Layout() const { return m_layout; }
    // The next row's values; false after the last. Throws EVxException as fetchNext does.
    bool Next(QList<QVariant> &values);

private:
    QSqlQuery &m_query;
    TVxRowLayout m_layout;
};

class TClientDataSet
{
public:
    enum State { dsInactive, dsBrowse, dsEdit, dsInsert };
    enum TUpdateStatus { usUnmodified, usModified, usInserted };

    TClientDataSet();
    ~TClientDataSet();
    TClientDataSet(const TClientDataSet &) = delete;
    TClientDataSet &operator=(const TClientDataSet &) = delete;

    // Definitions
    void ClearFieldDefs();
    void AddFieldDef(const QString &name, TFieldType type, int size = 0);
    const QList<TFieldDef> &FieldDefs() const { return m_defs; }
    void CreateDataSet();
    void FillFromQuery(QSqlQuery &query);
    void Close();
    bool Active() const { return m_state != dsInactive; }
    State state() const { return m_state; }
    void EmptyDataSet();

    // Fields of the current record
    int FieldCount() const { return int(m_fields.size()); }
    TField *Fields(int index) const { return m_fields.at(size_t(index)).get(); }
    TField *FindField(const QString &name) const;
    TField *FieldByName(const QString &name) const;

    // Cursor
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecNo() const { return m_cursor; }
    void setRecNo(int row);
    int RecordCount() const { return int(m_view.size()); }
    bool IsEmpty() const { return m_view.empty(); }
    QVariant Value(int row, int column) const;

    // Editing
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    // Search
    bool Locate(const QString &keyFields, const QVariantList &values);
    bool Locate(const QString &keyFields, const QVariant &value)
    {
        return Locate(keyFields, QVariantList{value});
    }

    // Indexes
    void AddIndex(const QString &name, const QString &fields);
    void DeleteIndex(const QString &name);
    void setIndexName(const QString &name);
    QString IndexName() const { return m_indexName; }
    void setIndexFieldNames(const QString &fields);
    QString IndexFieldNames() const { return m_indexFieldNames; }

    // Filter
    void setFilter(const QString &text);
    QString Filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool Filtered() const { return m_filtered; }

    // Change log
    int ChangeCount() const;
    TUpdateStatus UpdateStatus() const;
    const std::vector<QList<QVariant>> &DeletedRecords() const { return m_deleted; }
    void MergeChangeLog();

    // Files (defined in datapacket.cpp)
    void SaveToFile(const QString &path, TDataPacketFormat format = dfBinary,
                    TVxFileSync sync = TVxFileSync::Now,
                    TVxFileAccess access = TVxFileAccess::Shared);
    void LoadFromFile(const QString &path);

    // Every record in the order of posting, whatever the filter and the index: what a file
    // holds.
    int StoredRecordCount() const { return int(m_rows.size()); }
    const QList<QVariant> &StoredRecord(int row) const;
    // Opens on these columns and records at once, as a file reader gives them: values already
    // in their column's form (fieldvalue.h), names checked, no change log.
    void ReplaceData(const QList<TFieldDef> &defs, std::vector<QList<QVariant>> records);

    struct Row;
    struct KeyIndex;

private:
    friend class TField;

    void activate();
    void requireActive() const;
    int filterColumn(const QString &name) const;
    void checkBrowseMode();
    void clearRows();
    Row *currentRow() const;
    const QList<QVariant> &currentValues() const;
    void writeBuffer(int column, const QVariant &value);
    QList<int> resolveColumns(const QString &fields, const QString &purpose) const;

    bool viewIsNatural() const;
    bool passesFilter(const Row &row) const;
    void rebuildView();
    void removeFromView(Row *row);
    void insertIntoView(Row *row, size_t position);
    size_t sortedPosition(const Row &row) const;
    bool lessInIndex(const QList<QVariant> &a, const QList<QVariant> &b) const;
    void placeAfterPost(Row *row, qsizetype naturalPosition, bool orderChanged);
    size_t naturalViewPosition(qsizetype naturalPosition) const;
    void setCursorOn(Row *row, int fallback);

    void addToKeyIndexes(Row *row);
    void removeFromKeyIndexes(Row *row, const QList<QVariant> &values);

    QList<TFieldDef> m_defs;
    std::vector<std::unique_ptr<TField>> m_fields;
    QHash<QString, int> m_fieldIndex;      // upper-case name -> column
    mutable QHash<QString, int> m_asNamed; // FindField's names as given -> column, -1 none

    std::vector<std::unique_ptr<Row>> m_rows; // natural order
    std::vector<Row *> m_view;                // visible order: filtered, sorted
    int m_cursor = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = dsInactive;
    QList<QVariant> m_buffer;
    Row *m_editRow = nullptr;
    qsizetype m_insertAt = -1; // natural position of the record being inserted, -1 = end
    std::vector<QList<QVariant>> m_deleted; // logged deletions: the records' original values

    QHash<QString, QString> m_indexes; // name (upper) -> field list
    QString m_indexName;
    QString m_indexFieldNames;
    QList<int> m_sortColumns;

    QString m_filterText;
    bool m_filtered = false;
    RecordFilter m_filter;

    QHash<QString, std::shared_ptr<KeyIndex>> m_keyIndexes;
};
