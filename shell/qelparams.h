#pragma once

#include <QObject>
#include <QPointer>

class QComboBox;
class QWidget;
class TVxParamManager;
struct TVxParamDef;

// The working-context parameters (institute, school year, working session) and the
// behaviour of the session parameter in the parameter dialog: its choices follow the
// institute and year chosen in the same dialog, and it stores the session's id. The suite's
// framework base of this module, TdmVxuParams, is the manager of platform/parammanager.h.
class TdmqelParams : public QObject
{
    Q_OBJECT
public:
    explicit TdmqelParams(QObject *owner = nullptr);
    ~TdmqelParams() override;

    TVxParamManager *xpmVxuParams;

    // Fills the combo box with the sessions of an institute and year, in the year's session
    // order (item text the description, item data the iAnsSesDwgId); empty when either id is
    // not positive.
    static void loadSessions(QComboBox *box, int iDwgId, int iAnsId);

private:
    void xpmVxuParamsAfterCreateCtrl(QWidget *control, TVxParamDef &param, bool &doDefault);
    void xpmVxuParamsFillListParam(QWidget *control, TVxParamDef &param, bool &doDefault);
    void xpmVxuParamsWriteParam(QWidget *control, TVxParamDef &param, bool &doDefault);
    void xpmVxuParamsReadParam(QWidget *control, TVxParamDef &param, bool &doDefault);
    void cbAnsChange();

    QPointer<QComboBox> m_cbDwg;
    QPointer<QComboBox> m_cbAns;
    QPointer<QComboBox> m_cbSes;
};

extern TdmqelParams *dmqelParams;

// Opens the parameter dialog of the manager (none: nothing happens).
void runParameterDialog(TVxParamManager *manager);
