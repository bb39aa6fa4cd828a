#pragma once

#include "makeup/qelcreditcodes.h"
#include "platform/childforms.h"

#include <optional>

class QFormLayout;
class QLabel;
class QLineEdit;
class QTableView;
class TVxQueryCollection;

// Credits recognised by code: each reading of the code reader (which types like a keyboard
// and ends with Enter) is handled and written at once; the pupil's items are listed below.
class TfmQelRiconoscimento : public TfmVxChildDB
{
    Q_OBJECT
public:
    explicit TfmQelRiconoscimento(QWidget *parent = nullptr);

    QLineEdit *edLettura() const { return m_reading; }
    QLabel *laLettura() const { return m_result; }
    QLabel *laConta() const { return m_count; }
    TVxQueryCollection *inseriti() const { return m_items; }
    // Whether the result line reports a failure (red) rather than a success (green).
    bool resultIsError() const { return m_resultIsError; }

    // Handles the text of the reading field as Enter does.
    void Leggi();

protected:
    void FormShow() override;
    void FormKeyDown(QKeyEvent *event) override;

private:
    // A reading that names an existing pupil and, for a credit code, an existing item.
    struct Reading
    {
        CreditCode code;
        CreditPupil pupil;
        QString item;
    };

    std::optional<Reading> ParseCreditCode(const CreditCode &code) const;
    void InserisciCredito(const Reading &reading);
    void MostraDati(const Reading &reading);
    void CancellaUltimaLettura();
    void PulisciCampi();
    void AggiornaInseriti();
    void showPupil(const CreditPupil &pupil);
    void showResult(const QString &text, bool error);
    QLineEdit *addField(QFormLayout *fields, const QString &name, const QString &label);

    CreditRecognition m_data;
    // The pupil of the last accepted reading, whose items are listed.
    int m_iSitId = 0;
    std::optional<CreditPupil> m_pupil;
    bool m_giaPresente = false;
    // The link that the last accepted reading inserted: what "09" takes back, once.
    std::optional<CreditLink> m_lastLink;

    QLineEdit *m_reading;
    QLineEdit *m_name;
    QLineEdit *m_class;
    QLineEdit *m_item;
    QLineEdit *m_kind;
    QLabel *m_result;
    QLabel *m_count;
    QTableView *m_grid;
    TVxQueryCollection *m_items;
    bool m_resultIsError = false;
};
