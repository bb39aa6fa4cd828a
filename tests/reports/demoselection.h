#pragma once

// The selection dialog of the "Stampe" reports answered as the office would: the pupil M00007
// (3A) of a pupil report, the class 5A of a class report, in the working session; or the rows
// of the codes or classes given; or, given none, every row: the whole school.
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reports/qelfselrptansbs.h"

inline void queueDemoSelection(const QStringList &chosen = {"M00007", "5A"})
{
    DialogSeam::queueModalScript([chosen](QDialog *d) {
        d->show(); // the list is read as the dialog opens
        auto *selection = static_cast<TfmqelSelRptAnsSesBs *>(d);
        const TClientDataSet &list = *selection->ListDataSet();
        const TField *pupil = list.FindField("sAnaCagCode");
        const int field = (pupil ? pupil : list.FieldByName("sClsSDesc"))->Index();
        QList<int> rows;
        for (int row = 0; row < list.RecordCount(); ++row)
            if (chosen.isEmpty() || chosen.contains(list.Value(row, field).toString()))
                rows << row;
        selection->SetSelectedRows(rows);
        return int(mrOk);
    });
}

