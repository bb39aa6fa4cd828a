#pragma once

#include "platform/dialogs.h"
#include "reports/qelregistridata.h"

#include <array>
#include <optional>

class QLineEdit;

// The headmaster's signature that the digital register prints for each session of the working
// school year, for schools whose headmaster changes during the year. An empty text leaves the
// signature of the suite's signers (GetPreside).
class TfmQelFirmaPreside : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQelFirmaPreside(QWidget *owner = nullptr);

    // 0 to 3: first, second, final and deferred session.
    QLineEdit *edFirma(int session) const { return m_edits[std::size_t(session)]; }

protected:
    // A save that fails is shown and keeps the dialog open; so does OK on a dialog whose
    // texts could not be read.
    void OkClick() override;

private:
    std::array<QLineEdit *, 4> m_edits{};
    std::optional<QelHeadmasterSignature::Texts> m_loaded;
    bool m_read = false;
};
