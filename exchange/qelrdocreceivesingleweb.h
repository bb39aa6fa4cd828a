#pragma once

// The teachers of the web service mode, for the collection of one teacher from the web: the
// list with its sent and received times (rows received since the last send in green) and the
// teacher's classes of the session, each ticked, to choose which to import.
//
//   frame.SetAnsSesDwgId(TVxWorkingContext::session());
//   frame.OpenList();                    // the classes follow the current teacher
//   frame.BuildClsFilter()               // "" every class, "1 = 0" none, else the ticked ones

#include "exchange/qelwebteachergrid.h"
#include "platform/dbgridframes.h"

#include <memory>

class QListWidget;

class TfrqelDocReceiveSingleWeb : public TfrVxDBROGrid
{
    Q_OBJECT
public:
    explicit TfrqelDocReceiveSingleWeb(QWidget *parent = nullptr);
    ~TfrqelDocReceiveSingleWeb() override;

    void SetAnsSesDwgId(int iAnsSesDwgId) { m_iAnsSesDwgId = iAnsSesDwgId; }
    int AnsSesDwgId() const { return m_iAnsSesDwgId; }
    void OpenList();
    QelWebTeacherGrid &Teachers() { return *m_teachers; }

    // "Classi da importare": each class of the current teacher's assignments in the session,
    // once, ticked.
    QListWidget *clbClassi() const { return m_classes; }
    void LoadTeacherClasses();
    // The condition on iClsId of the ticked classes, for the packets' filter.
    QString BuildClsFilter() const;

private:
    int m_iAnsSesDwgId = 0;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;
    QListWidget *m_classes;
};
