#pragma once

#include "platform/clientdataset.h"
#include "platform/wizard.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QTableWidget;
class TfrVxDoubleListView;

// "Stampa digitale dei registri": the classes of the working session (page 1), the format,
// the print type or a custom template (page 2), the volume's title (page 3); Finish makes the
// volume (QelRegisterVolume::Export, qelregistrovolume.h). "Avanti" leaves page 1 only with a
// class chosen, saying so otherwise, and Finish stands enabled only with one; a run that fails
// is told and keeps the wizard open.
class TfmQelStampaVerbali : public TfmVxWizard
{
    Q_OBJECT
public:
    explicit TfmQelStampaVerbali(QWidget *owner = nullptr);

    TfrVxDoubleListView *dlClassi() const { return m_classes; }
    QRadioButton *rbA4() const { return m_a4; }
    QRadioButton *rbA3() const { return m_a3; }
    QListWidget *lbTipoStampa() const { return m_printTypes; }
    QCheckBox *cbQualifica() const { return m_qualifica; }
    QPushButton *buPersonalizzate() const { return m_customButton; }
    QListWidget *lbPersonalizzate() const { return m_customTemplates; }
    QTableWidget *grTitoli() const { return m_titles; }

    // Fixed when page 3 is shown.
    int ReportId() const { return m_reportId; }
    QString MediaName() const { return m_media; }
    QList<int> ClassIds() const { return m_classIds; }

protected:
    bool CanGoNext(int page) override;
    void PageShown(int page) override;
    bool Finish() override;

private:
    void refillPrintTypes();
    void toggleCustom();

    TfrVxDoubleListView *m_classes;
    QLabel *m_chosen;
    QGroupBox *m_format;
    QRadioButton *m_a4;
    QRadioButton *m_a3;
    QGroupBox *m_printTypeBox;
    QListWidget *m_printTypes;
    QCheckBox *m_qualifica;
    QPushButton *m_customButton;
    QGroupBox *m_customBox;
    QListWidget *m_customTemplates;
    QTableWidget *m_titles;
    QLabel *m_pupils;
    QLabel *m_formatChosen;

    TClientDataSet cdsTitoli; // Volume, Titolo
    QList<int> m_classIds;
    bool m_custom = false;
    int m_reportId = 0;
    QString m_media;
};
