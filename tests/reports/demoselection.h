#pragma once

// The selection dialog of the "Stampe" reports answered as the office would: the pupil M00007
// (3A) of a pupil report, the class 5A of a class report, in the working session.
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reports/qelfselrptansbs.h"

inline void queueDemoSelection()
{
    DialogSeam::queueModalScript([](QDialog *d) {
        d->show(); // the list is read as the dialog opens
        auto *selection = static_cast<TfmqelSelRptAnsSesBs *>(d);
        const TClientDataSet &list = *selection->ListDataSet();
        const TField *pupil = list.FindField("sAnaCagCode");
        const int field = (pupil ? pupil : list.FieldByName("sClsSDesc"))->Index();
        for (int row = 0; row < list.RecordCount(); ++row)
            if (QStringList({"M00007", "5A"}).contains(list.Value(row, field).toString()))
                selection->SetSelectedRows({row});
        return int(mrOk);
    });
}
