#pragma once

// "Raccolta" (command "Raccolta (dischetti)"): what the teachers of the folder and medium modes
// entered comes back into the database. When shown, the window unpacks each web-folder
// teacher's returned "OUT_<iAnaId>.ZIP" into the folder recorded at sending (only inside it: a
// hostile archive writes nothing and is named with its teacher). OK collects, for each selected
// teacher whose folder's Info.ini names him, the ticked classes (one teacher: the folder and
// classes shown; several: each one's recorded folder, every class), marks him received when a
// class was collected, and shows the rows not written after "Operazione completata.".
//
// A recorded folder that is empty, or that neither exists nor could exist here (a path written
// by an office on Windows), is not looked at. The window's controls are off while it collects.

#include "exchange/qelwebteachergrid.h"
#include "exchange/qelxml.h"
#include "platform/multiselect.h"

#include <QList>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

class TfmqelRiceD : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelRiceD(QWidget *owner = nullptr);
    ~TfmqelRiceD() override;

    QLineEdit *eDir() const { return m_eDir; }
    QToolButton *SpeedButton1() const { return m_pick; }
    QListWidget *clCls() const { return m_classes; }
    QLabel *laLegend() const { return m_legend; }
    QelWebTeacherGrid &Teachers() { return *m_teachers; }
    TdmqelXML &Engine() { return m_xml; }

    // The returned archives are unpacked and the list read; once, when first shown.
    void FormShow();
    // The folder shown and its classes; OK only with a class to collect.
    void ShowTeacherFolder(const QString &folder);
    void done(int result) override;

    // A folder recorded at sending, as it lies here; empty when there is none or it names no
    // place here.
    static QString RecordedFolder(const QString &stored);

protected:
    void showEvent(QShowEvent *event) override;
    void OkClick() override;

private:
    struct Teacher
    {
        int iAaiId = 0;
        int iAnaId = 0;
        QString sDocNome;
        QString sAaiDirInviato;
    };

    void openList();
    void UnpackReturnedArchives();
    void FillClassList(const QString &folder);
    QList<int> tickedClasses() const;
    void Collect();
    void setBusy(bool on);
    void currentRowChanged();
    void updateOk();

    QLineEdit *m_eDir;
    QToolButton *m_pick;
    QListWidget *m_classes;
    QLabel *m_legend;
    std::unique_ptr<QelWebTeacherGrid> m_teachers;
    TdmqelXML m_xml;
    bool m_busy = false;
    bool m_shown = false;
};

void registerRiceDForms();
