#pragma once

#include "exchange/qelportalpackages.h"
#include "platform/wizard.h"

#include <memory>

class QCheckBox;
class QListWidget;
class QToolBar;
class QelPortalSelection;
class TfmVxWait;

// "Pagelle Web": builds the report-card packages of the pupils' portal for the ticked class
// sessions, or clears them. Pages: 0 institute, session, operation and suspended pupils; 1 the
// class sessions; 2 the export options (skipped when clearing).
class TfmqelPagelleWeb : public TfmVxWizard
{
    Q_OBJECT
public:
    explicit TfmqelPagelleWeb(QWidget *parent = nullptr);
    ~TfmqelPagelleWeb() override;

    QelPortalSelection *selection() const { return m_selection; }
    QListWidget *clbClassi() const { return m_classes; }
    QToolBar *tbClassi() const { return m_toolBar; }
    QCheckBox *cbVoti() const { return m_options[0]; }
    QCheckBox *cbVotiProposti() const { return m_options[1]; }
    QCheckBox *cbTassonomie() const { return m_options[2]; }
    QCheckBox *cbAssenze() const { return m_options[3]; }
    QCheckBox *cbNote() const { return m_options[4]; }
    QCheckBox *cbEsitoFinale() const { return m_options[5]; }
    QCheckBox *cbCrediti() const { return m_options[6]; }
    QCheckBox *cbGiudizio() const { return m_options[7]; }

    QelPortalOptions options() const;
    // The ticked class sessions, in list order.
    QList<int> checkedClassSessions() const;

protected:
    bool CanGoNext(int page) override;
    void PageShown(int page) override;
    // Runs the operation; the wizard closes whatever its outcome, which the office is told.
    bool Finish() override;

private:
    bool anyChecked() const;
    void updateNext();
    void CancellaSessione();
    void GeneraSessione();
    void BuildPortalPackages();

    QelPortalSelection *m_selection;
    QToolBar *m_toolBar;
    QListWidget *m_classes;
    QCheckBox *m_options[8];
    std::unique_ptr<TfmVxWait> m_wait;
};
