#pragma once

// TfmqevCarDeb ("Caricamento debiti"): one pupil's debts of the open class session's year, one
// row per subject he takes (the debts frame in its own mode, tcDebiti). The launcher's command
// xafCarDeb opens it after the class-and-pupil selection; no command page offers that command.
//
//   launcher: xafCarDeb -> ("Seleziona alunno") -> TfmqevCarDeb -> CaricaFrames()
//
// One page, "Debiti" tsDeb / frqevCarDebDeb, shown when the class session enters debts.
// Closing asks what to save as the other grade-entry windows do.

#include "gradeentry/qevfcarbase.h"

class TfrqevCarDeb;

class TfmqevCarDeb : public TfmqevCarBase
{
    Q_OBJECT
public:
    explicit TfmqevCarDeb(QWidget *parent = nullptr);
    ~TfmqevCarDeb() override;

    TfrqevCarDeb *frqevCarDebDeb() const;

    // QevGradeWindow
    void CaricaFrames() override;
};

// The open debts window; none when it is closed.
TfmqevCarDeb *fmqevCarDeb();
