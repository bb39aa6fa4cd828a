#pragma once

// TdmqevActivations (global dmqevActivations): the grade-entry launcher. It holds the commands
// that open grade entry per class, per pupil and per subject, runs the checks and selection
// dialogs before a window opens, loads the window once it is open, and answers which grade
// windows are open.
//
//   dmqevActivations->xafCarCls->Execute();          // as the "Gestione" page does
//   TdmqevActivations::CarClsAperto()                // asked of the open windows themselves
//   { TdmqevActivations::DaGriglia request;          // a frame's "Singolo alunno...":
//     dmqevActivations->xafCarSng->Execute(); }      // no exclusion and no dialog meanwhile
//
// The command table creates it (owner the table), sets Ruolo and places the commands on its
// page "Gestione"; the launcher places nothing itself. No "window open" flag is kept: a window
// counts as open while the form registry lists it, and the pick dialog while its guarded
// pointer lives, so no flag can outlive its window.
//
// A command run again while its own window is open is not refused: the framework brings the
// window forward and runs AfterExecute, which reloads it. So the BeforeExecute first asks that
// window to save its unsaved changes; a cancelled question or selection dialog changes nothing.

#include "platform/attivazioni.h"

#include <QObject>
#include <QPointer>
#include <QString>

class TfrqevCarBs;
class QWidget;

// What the launcher and the grade frames call on a grade-entry window (per class, per pupil,
// per subject). The windows name it in Q_INTERFACES.
class QevGradeWindow
{
public:
    virtual ~QevGradeWindow() = default;
    // Shows the page of every data kind enabled for the grade data module's class session and
    // loads it (the launcher calls it once the window is open, and again on a new selection).
    virtual void CaricaFrames() = 0;
    // Before the window's data is replaced or the window closes: re-checks the current cell of
    // each editable grid, then offers to save the modified pages. False when a cell was
    // refused, the office cancelled or a save failed: the window keeps every edit.
    virtual bool ChiediSalvataggio() = 0;
    // The frame of the active page, and of a data kind's page; none when there is none.
    virtual TfrqevCarBs *FrameAttivo() const = 0;
    virtual TfrqevCarBs *FrameDi(int TipoDati) const = 0;
    // Where a frame's "Singolo alunno..." notes the grid row and the data kind it came from.
    virtual void SetRigaSng(int row, int tipoDati) = 0;
    // The caption of the active page; making the page of a caption active (false: no such
    // visible page).
    virtual QString PaginaAttiva() const = 0;
    virtual bool MostraPagina(const QString &caption) = 0;
    // Every frame read-only (true), or editable again: while a pupil window opened from this
    // window is open.
    virtual void SetReadOnly(bool value);
};
Q_DECLARE_INTERFACE(QevGradeWindow, "it.vexto.tavrin.QevGradeWindow")

class TdmqevActivations : public TdmVxAttivazioni
{
    Q_OBJECT
public:
    explicit TdmqevActivations(QObject *owner = nullptr);
    ~TdmqevActivations() override;

    // The role of grade entry; the command table writes "Segreteria", the only value it takes.
    QString Ruolo;

    // "Caricamento per classe", "Caricamento per singolo", "Caricamento per materia": not
    // modal, one instance each. xafCarDeb ("Caricamento debiti", one pupil's debts) stands on
    // no page.
    TVxAttForm *xafCarCls;
    TVxAttForm *xafCarSng;
    TVxAttForm *xafCarMat;
    TVxAttForm *xafCarDeb;

    // The open grade window of a class name ("TfmqevCarCls", ...), none when closed. A
    // placeholder registered under the name of a window not built yet is no grade window.
    static QWidget *FinestraAperta(const QString &className);
    static QevGradeWindow *GradeWindow(const QString &className);
    static bool CarClsAperto();
    static bool CarSngAperto();
    static bool CarMatAperto();
    static bool CarDebAperto();
    // The window a pupil window works beside: the class window when open, else the subject
    // window. The pupil's frames load from its grids and write back into them, so that a
    // value is stored once whichever window saves it last; none when neither is open.
    static QevGradeWindow *FinestraOrigine();
    // Closes the open window of a class name with its own closing protocol; false when it
    // stays open (a refused cell, a cancelled question, a failed save).
    static bool ChiudiFinestra(const char *className);

    // Set while a grade frame's "Singolo alunno..." runs xafCarSng: the pupil is chosen already,
    // so neither the exclusion nor the dialog applies. Nested requests count.
    bool CarSngDaGriglia() const { return m_daGriglia > 0; }
    class DaGriglia
    {
    public:
        DaGriglia();
        ~DaGriglia();
        DaGriglia(const DaGriglia &) = delete;
        DaGriglia &operator=(const DaGriglia &) = delete;
    };

    // The shared pick dialog, while it exists.
    QPointer<QWidget> fmqevSelItem;
    bool SelItemAperto() const { return !fmqevSelItem.isNull(); }

    // The working-context checks: each shows its own warning when it fails. Stricter than
    // blank-only: a year or session that is not a key above 0 is none.
    static bool ControllaAnnoLavoro();
    static bool ControllaSessioneLavoro();

private:
    void xafCarClsBeforeExecute(bool &allow);
    void xafCarSngBeforeExecute(bool &allow);
    void xafCarMatBeforeExecute(bool &allow);
    void xafCarDebBeforeExecute(bool &allow);
    void xafCarSngAfterExecute();
    static void caricaFinestra(const QString &className);

    int m_daGriglia = 0;
};

extern TdmqevActivations *dmqevActivations;

// Class names of the grade-entry windows and their selection dialogs.
namespace QevForms {
inline constexpr const char CarCls[] = "TfmqevCarCls";
inline constexpr const char CarSng[] = "TfmqevCarSng";
inline constexpr const char CarMat[] = "TfmqevCarMat";
inline constexpr const char CarDeb[] = "TfmqevCarDeb";
inline constexpr const char SelCarCls[] = "TfmQevSelCarCls";
inline constexpr const char SelCarClsAlu[] = "TfmQevSelCarClsAlu";
inline constexpr const char SelCarClsMat[] = "TfmqevSelCarClsMat";
} // namespace QevForms
