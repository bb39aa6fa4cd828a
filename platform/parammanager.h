#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QStringList>

#include <functional>

class QWidget;

// The school years as the year lists offer them: the key and "2007/2008", in their order.
QString VxSchoolYearsSql();

// One parameter of the working context as the parameter dialog shows it.
struct TVxParamDef
{
    enum Kind { List, Date, Text };
    QString Name;    // the global value's name, e.g. TVxWorkingContext::schoolYearKey()
    QString Caption; // the label in the dialog
    Kind kind = List;
    QString ListSQL;     // List: id and description columns
    QStringList Choices; // Text: the offered values (the text may be typed too)
    QString Value;       // the stored value as text ("" when unset)
    QString ApplCode;
};

// The parameter manager: its modal dialog sets the working context (institute, school year,
// working session, report date and its format) kept in the global values. The dialog is
// built from the parameters of the application codes in ApplCodeList ("VX=1.0" institute
// and school year, "QEL=1.0" session and report date). Each step has an event whose handler
// may do the step itself and clear doDefault; the parameter names compare without regard to
// case.
class TVxParamManager : public QObject
{
    Q_OBJECT
public:
    using ParamEvent = std::function<void(QWidget *control, TVxParamDef &param, bool &doDefault)>;

    explicit TVxParamManager(QObject *parent = nullptr);

    QStringList ApplCodeList;
    // The connection of the lists; the shared connection when not set.
    void SetConnection(const QSqlDatabase &db) { m_db = db; }
    QSqlDatabase Connection() const;

    ParamEvent AfterCreateCtrl; // a control was made for the parameter
    ParamEvent FillListParam;   // the control's choices are wanted
    ParamEvent ReadParam;       // the control shows the stored value
    ParamEvent WriteParam;      // the value is taken back from the control

    // The parameters of the application codes, in dialog order, with their stored values.
    QList<TVxParamDef> Definitions() const;

    // Shows the dialog; on OK stores every value, all of them or none, and returns true. A
    // failure is shown here, once, and answers false.
    bool Execute();
    // The dialog while it is open (for the event handlers), else none.
    TfmVxOkCancDlg *Dialog() const { return m_dialog; }
    QWidget *Control(const QString &name) const;

private:
    QSqlDatabase m_db;
    bool m_hasDb = false;
    QPointer<TfmVxOkCancDlg> m_dialog;
    QList<QPair<QString, QPointer<QWidget>>> m_controls;
};
