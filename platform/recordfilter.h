#pragma once

// RecordFilter: the record filter texts of the client dataset, compiled once and evaluated
// per record. The language is the one the callers write:
//   condition  := comparison | "(" expression ")" | NOT condition
//   expression := condition { (AND | OR) condition }      (AND binds tighter than OR)
//   comparison := operand ( = | <> | < | > | <= | >= ) operand
//   operand    := field name | number (12, -3, 8.5) | 'text' ('' for a quote)
// e.g. "(iClsId = 5) OR (iClsId = 7)", "1 = 0", "0=1 or iSitId=3", "ISCALIVVALORE < 8",
// "(iDocId = 4) AND ((iClsId = 1) OR (iClsId = 2))". Keywords and field names ignore case.
// Anything else raises EVxException naming the text, so a wrong filter never silently lets
// every record through. A comparison with a null value is false.

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class RecordFilter
{
public:
    RecordFilter();
    ~RecordFilter();
    RecordFilter(RecordFilter &&) noexcept;
    RecordFilter &operator=(RecordFilter &&) noexcept;

    // An empty (or blank) text gives a filter that every record passes.
    static RecordFilter parse(const QString &text);

    bool isEmpty() const { return !m_root; }

    // Binds field names to columns: columnOf returns the column, -1 for an unknown field and
    // -2 for a field that cannot be compared (dates, blobs). Raises EVxException naming it.
    void bind(const std::function<int(const QString &)> &columnOf);

    // The record's values by column (normalised: qlonglong, double, bool, QString...).
    bool matches(const QList<QVariant> &values) const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
    QString m_text;
};
