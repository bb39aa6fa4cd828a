#pragma once

class QWidget;

// What the command table needs of the duplicate make-up check. The make-up part supplies it
// at start-up (its module is the seventh start-up object); without it the program behaves
// as if there were no duplicates.
class QelDuplicateCheck
{
public:
    virtual ~QelDuplicateCheck() = default;
    // True when the working school year has duplicate make-up records.
    virtual bool HasRecuperiDoppi() = 0;
    // Shows the correction dialog modally and returns its modal result.
    virtual int ShowCorrectionDialog(QWidget *owner) = 0;
};

QelDuplicateCheck *qelDuplicateCheck();
void setQelDuplicateCheck(QelDuplicateCheck *check);
