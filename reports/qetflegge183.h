#pragma once

#include "platform/dialogs.h"

class QCheckBox;

// The question of the legal wordings a certificate prints: which of the three, and whether
// to ask again for reports of the same title.
class TfmQetLegge183 : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQetLegge183(QWidget *owner = nullptr);

    // The codes "1", "2", "3" of the ticked boxes, in this order ("13": first and third).
    QString Codes() const;
    bool NonChiedere() const;

protected:
    void OkClick() override;

private:
    QCheckBox *m_boxes[3];
    QCheckBox *m_nonChiedere;
};

struct Legge183Answer
{
    bool accepted = false; // "Sì"
    QString codes;         // the ticked boxes, whatever the answer
    bool nonChiedere = false;
};

// Asks modally (through the dialog seam); the caption is the report's title when it has one.
Legge183Answer ShowLegge183Dialog(const QString &title);
