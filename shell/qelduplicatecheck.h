#pragma once

#include <QList>

class QWidget;

// One duplicate group: the records of one pupil situation, subject and make-up phase.
struct QelDuplicateGroup
{
    int iAnsFreDwgId = 0;
    int iSitId = 0;
    int iMatId = 0;
    int records = 0;
    bool operator==(const QelDuplicateGroup &) const = default;
};

// What the command table needs of the duplicate make-up check. The make-up part supplies it
// at start-up (its module is the seventh start-up object); without it the program behaves
// as if there were no duplicates.
class QelDuplicateCheck
{
public:
    virtual ~QelDuplicateCheck() = default;
    // True when the working school year has duplicate make-up records.
    virtual bool HasRecuperiDoppi() = 0;
    // The working school year's duplicate groups: a collection brought duplicates in when a
    // group is there afterwards that was not before, or has more records.
    virtual QList<QelDuplicateGroup> DuplicateGroups() = 0;
    // Shows the correction dialog modally and returns its modal result.
    virtual int ShowCorrectionDialog(QWidget *owner) = 0;
};

QelDuplicateCheck *qelDuplicateCheck();
void setQelDuplicateCheck(QelDuplicateCheck *check);
