#pragma once

#include "platform/images.h"
#include "platform/mdimain.h"

#include <QPointer>

class QAction;

// The main window "Tavrin": the command bar, the child windows and three panels of working
// context. The database connection is opened at the first activation; without it the
// window closes and the program ends.
class TfmqelMain : public TfmVxMDIMain
{
    Q_OBJECT
public:
    explicit TfmqelMain(QWidget *parent = nullptr);
    ~TfmqelMain() override;

    // Runs the first-activation work now unless it already ran (a window system without a
    // window manager may never activate the window).
    void ensureFirstActivation();
    bool firstActivationDone() const { return !FirstActivation; }

    // The text of a status panel (1 institute, 2 session, 3 school year); never raises.
    void GetPanelText(int panel, QString &text) const;

    QObject *reportDataModule() const { return m_reportModule; }
    QAction *acFaq() const { return m_acFaq; }

    // The 34 named command images, in their command-number order.
    static QStringList commandImageNames();

protected:
    void FormCreate() override;
    void FormActivate() override;
    bool FormClose() override;

private:
    void openFaq();

    bool FirstActivation = false;
    TVxImageList ilLast{32};
    QAction *m_acFaq = nullptr;
    QPointer<QObject> m_reportModule;
};

extern TfmqelMain *fmqelMain;
