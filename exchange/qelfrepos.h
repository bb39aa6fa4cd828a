#pragma once

#include "platform/dialogs.h"

#include <memory>

class QCheckBox;
class QelPortalSelection;
class TfmVxWait;

// "Crea Repository": builds or clears the report-card packages of the pupils' portal for every
// class session of the chosen institute, school year and session at once, with the fixed set
// of packets of the repository. Opened only by its class name.
class TfmqelRepos : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelRepos(QWidget *parent = nullptr);
    ~TfmqelRepos() override;

    QelPortalSelection *selection() const { return m_selection; }
    QCheckBox *cbVoti() const { return m_boxes[0]; }
    QCheckBox *cbVotiProposti() const { return m_boxes[1]; }
    QCheckBox *cbNote() const { return m_boxes[2]; }
    QCheckBox *cbTassonomie() const { return m_boxes[3]; }

protected:
    void showEvent(QShowEvent *event) override;
    // Runs the operation on the whole selection; a failure keeps the window open.
    void OkClick() override;

private:
    void OperationChange();
    void BuildRepository(const QList<int> &classSessions);

    QelPortalSelection *m_selection;
    QCheckBox *m_boxes[4];
    std::unique_ptr<TfmVxWait> m_wait;
};
