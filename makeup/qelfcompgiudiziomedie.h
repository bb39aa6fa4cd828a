#pragma once

#include "platform/dialogs.h"
#include "shell/qelformcalls.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QToolBar;

// Composes, copies or deletes the judgments of the chosen classes of the working session:
// mode 0 from the conduct taxonomies, 1 deletes, 2 from the conduct notes.
class TfmqelCompGiudizioMedie : public TfmVxOkCancDlg, public QelJudgmentModeForm
{
    Q_OBJECT
    Q_INTERFACES(QelJudgmentModeForm)
public:
    explicit TfmqelCompGiudizioMedie(QWidget *parent = nullptr);

    // Sets the mode with its caption and the options it shows.
    void SetModo(int modo) override;
    int Modo() const { return m_modo; }

    QListWidget *clbCls() const { return m_classes; }
    // The ids of the checked classes, in list order.
    QList<int> checkedClasses() const;

    void tbSelectAllClick();
    void tcUnselectAllClick();
    void tbInvertClick();

protected:
    // Asks, runs the mode's work and closes; a refusal or a failure keeps the dialog open.
    void OkClick() override;

private:
    void FormCreate();
    void ComponiDaTassonomie();
    void CancellaGiudizi();
    void CopiaDaNote();

    int m_modo = 0;
    QLineEdit *m_institute;
    QLineEdit *m_year;
    QLineEdit *m_session;
    QToolBar *m_toolBar;
    QListWidget *m_classes;
    QRadioButton *m_fromTaxonomies;
    QRadioButton *m_fromNotes;
    QCheckBox *m_replace;
};
