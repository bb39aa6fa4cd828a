#pragma once

// TClientDataSet: the in-memory table of the grade data module and of the exchange packets.
//
// Columns and rows
//   clearFieldDefs(), addFieldDef(name, type, size), createDataSet()  an empty table
//   fillFromQuery(query)   the columns of an executed SELECT, in order, with their database
//                          types, and every row in the query's order (no change log)
//   close(), active(), emptyDataSet()
//   fieldCount(), field(i), findField(name) (nullptr when absent), fieldByName(name) (raises)
//     names match case-insensitively (Firebird returns them in capitals)
// Cursor and editing
//   first(), next(), prior(), last(), eof(), bof(), recNo() (1-based), recordCount()
//   append(), insert() (before the current record), edit(), post(), cancel(), deleteRecord()
//   moving while editing posts first, as callers that append-set-next expect
//   valueAt(row, column) reads the visible records by position (grids, file writers)
// Search and order
//   locate("ALU_ID;MAT_ID", {pupil, subject}): exact, case-sensitive; the first match in the
//     current order becomes the current record. Hash lookups: fast on a whole school.
//   addIndex(name, "ALU_ID;SIT_ID"), setIndexName(name), deleteIndex(name),
//   setIndexFieldNames(fields): the visible order (ascending, nulls first)
//   setFilter(text) + setFiltered(true): see RecordFilter for the language
// Change log
//   changeCount(), updateStatus(), mergeChangeLog() makes every change part of the data
//
// Values are kept normalised per type (see fieldvalue.h); a null is an invalid QVariant.
// Strings longer than a String column's size are cut to it, as a packet's
// definition requires. Misuse (writing outside edit, an unknown column) raises EVxException.
// The file forms of the packets are written by separate readers and writers over this
// class's public interface (fieldDefs, valueAt, updateStatus).

#include "platform/fieldvalue.h"
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

struct FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters of a String column; 0 = no limit
};

class TField
{
public:
    const QString &fieldName() const;
    FieldType dataType() const;
    int size() const;
    int index() const { return m_index; }

    bool isNull() const { return value().isNull(); }
    QVariant value() const;
    // Converts to the column's type; raises EVxException when the value does not convert
    // or the dataset is not in edit or insert state.
    void setValue(const QVariant &value);
    void clear() { setValue(QVariant()); }

    // Null reads as 0, the empty text, an invalid date, false.
    qint64 asLargeInt() const;
    int asInteger() const { return int(asLargeInt()); }
    double asFloat() const;
    QString asString() const;
    QDate asDate() const;
    QDateTime asDateTime() const;
    QByteArray asBytes() const;
    bool asBoolean() const;

private:
    friend class TClientDataSet;
    TField(TClientDataSet *dataSet, int index) : m_dataSet(dataSet), m_index(index) {}
    TClientDataSet *m_dataSet;
    int m_index;
};

class TClientDataSet
{
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class UpdateStatus { Unmodified, Modified, Inserted };

    TClientDataSet();
    ~TClientDataSet();
    TClientDataSet(const TClientDataSet &) = delete;
    TClientDataSet &operator=(const TClientDataSet &) = delete;

    // Definitions
    void clearFieldDefs();
    void addFieldDef(const QString &name, FieldType type, int size = 0);
    const QList<FieldDef> &fieldDefs() const { return m_defs; }
    void createDataSet();
    void fillFromQuery(QSqlQuery &query);
    void close();
    bool active() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    void emptyDataSet();

    // Fields of the current record
    int fieldCount() const { return int(m_fields.size()); }
    TField *field(int index) const { return m_fields.at(size_t(index)).get(); }
    TField *findField(const QString &name) const;
    TField *fieldByName(const QString &name) const;

    // Cursor
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    int recNo() const { return m_cursor + 1; }
    int recordCount() const { return int(m_view.size()); }
    bool isEmpty() const { return m_view.empty(); }
    QVariant valueAt(int row, int column) const;

    // Editing
    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void deleteRecord();

    // Search
    bool locate(const QString &keyFields, const QVariantList &values);
    bool locate(const QString &keyFields, const QVariant &value)
    {
        return locate(keyFields, QVariantList{value});
    }

    // Indexes
    void addIndex(const QString &name, const QString &fields);
    void deleteIndex(const QString &name);
    void setIndexName(const QString &name);
    QString indexName() const { return m_indexName; }
    void setIndexFieldNames(const QString &fields);
    QString indexFieldNames() const { return m_indexFieldNames; }

    // Filter
    void setFilter(const QString &text);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Change log
    int changeCount() const;
    UpdateStatus updateStatus() const;
    const std::vector<QList<QVariant>> &deletedRecords() const { return m_deleted; }
    void mergeChangeLog();

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
    void placeAfterPost(Row *row, qsizetype naturalPosition);
    void setCursorOn(Row *row, int fallback);

    void addToKeyIndexes(Row *row);
    void removeFromKeyIndexes(Row *row, const QList<QVariant> &values);

    QList<FieldDef> m_defs;
    std::vector<std::unique_ptr<TField>> m_fields;
    QHash<QString, int> m_fieldIndex; // upper-case name -> column

    std::vector<std::unique_ptr<Row>> m_rows; // natural order
    std::vector<Row *> m_view;                // visible order: filtered, sorted
    int m_cursor = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Inactive;
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
