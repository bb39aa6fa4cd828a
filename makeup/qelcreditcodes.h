#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

// A reading of the credit code reader (or typed), compared whole.
//   "05"              close the window
//   "09"              cancel the item recorded by the last reading
//   7 digits          a pupil: the situation id iSitId
//   16 digits         a credit item: iSitId (8), item number (7), kind (1: 0 school, 1 formative)
// Anything else is a wrong reading.
struct CreditCode
{
    enum Kind { Close, Cancel, Pupil, Credit, Wrong };
    Kind kind = Wrong;
    int iSitId = 0;
    int item = 0;
    int itemKind = -1; // 0 school item, 1 formative item
};

// Throws EVxException naming the text when a part read as a number holds anything but the
// digits 0-9: a sign, a blank or a letter is a misread code, never a number.
CreditCode parseCreditCode(const QString &text);

// The two kinds of credit item.
enum CreditItemKind { SchoolItem = 0, FormativeItem = 1 };
QString creditKindText(int itemKind);

struct CreditPupil
{
    QString name;  // surname, a blank, first name
    QString klass; // the class description
};

// The link row a reading recorded, which "09" may take back.
struct CreditLink
{
    int itemKind = SchoolItem;
    int id = 0; // iCreScoId or iCreFrmId
};

// The credit items (TCreSco, TCreFrm) of pupils, recorded under the pupil's credit row.
class CreditRecognition
{
public:
    explicit CreditRecognition(const QSqlDatabase &db);

    std::optional<CreditPupil> pupil(int iSitId) const;
    // The item's long description; none when the kind's table has no such item.
    std::optional<QString> itemDescription(int itemKind, int item) const;

    // Records the item under the pupil's credit, making the credit row first when there is
    // none, in one transaction: a credit row never stays without the link it was made for.
    // Returns the new link, or none when the credit already holds the item.
    std::optional<CreditLink> record(int iSitId, int itemKind, int item) const;
    // Deletes the link; false when it is gone already.
    bool cancel(const CreditLink &link) const;

    // The long descriptions of the items recorded for the pupil (parameter iSitId), one
    // column.
    static QString itemsSql();

private:
    QSqlDatabase m_db;
};
