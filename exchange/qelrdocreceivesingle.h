#pragma once

// The teachers of the working session with their send bookkeeping, in every mode, for the
// collection of one teacher's binary folder: the list (rows received since the last send in
// green), the folder field, which follows the current teacher's sending folder and may be
// typed over, and the classes found in that folder's clsmat.cds, each ticked.
//
//   frame.SetAnsSesDwgId(TVxWorkingContext::session());
//   frame.OpenList();
//   frame.dePath()->text()       // the folder to collect
//   frame.BuildClsFilter()       // "" every class, "1 = 0" none, else the ticked ones

#include "exchange/qelwebteachergrid.h"
#include "platform/dbgridframes.h"

#include <memory>

class QLineEdit;
class QListWidget;

class TfrqelDocReceiveSingle : public TfrVxDBROGrid
{
    Q_OBJECT
public:
    explicit TfrqelDocReceiveSingle(QWidget *parent = nullptr);
    ~TfrqelDocReceiveSingle() override;

    void SetAnsSesDwgId(int iAnsSesDwgId) { m_iAnsSesDwgId = iAnsSesDwgId; }
    void OpenList();
    void CloseList();
    QelWebTeacherGrid &Teachers() { return *m_teachers; }

    QLineEdit *dePath() const { return m_path; }
    QListWidget *clbClsList() const { return m_classes; }
    // The classes of the folder's clsmat.cds (either form), once each, ticked.
    void dePathChange();
    QString BuildClsFilter() const;

private:
    void xdsMainDataChange();

    int m_iAnsSesDwgId = 0;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;
    QLineEdit *m_path;
    QListWidget *m_classes;
};

// The condition on iClsId of a class check list's ticked items: empty when every item is ticked
// (also when there is none), "1 = 0" when none is.
QString BuildCheckedClsFilter(const QListWidget *list);
