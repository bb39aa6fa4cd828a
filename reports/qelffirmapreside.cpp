#include "reports/qelffirmapreside.h"

#include "platform/globalvars.h"
#include "platform/messagedlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kCaptions[] = {
    "Prima sessione: ", "Seconda sessione: ", "Sessione finale: ", "Sessione differita: "};
const char *const kNames[] = {"edFirmaSes1", "edFirmaSes2", "edFirmaSes3", "edFirmaDiff"};

QLabel *note(const QString &text, QVBoxLayout *layout)
{
    auto *label = new QLabel(text);
    label->setWordWrap(false);
    layout->addWidget(label);
    return label;
}

} // namespace

TfmQelFirmaPreside::TfmQelFirmaPreside(QWidget *owner) : TfmVxOkCancDlg(owner)
{
    setObjectName(QStringLiteral("fmQelFirmaPreside"));
    setWindowTitle(QStringLiteral("Variazioni della firma del Preside"));
    auto *layout = new QVBoxLayout(ClientArea());
    QFont bold = font();
    bold.setBold(true);
    note(QStringLiteral("In questa finestra è possibile indicare la firma del preside per le "
                        "diverse sessioni scolastiche"),
         layout)
        ->setFont(bold);
    note(QStringLiteral("Questa funzione può essere usata dalle scuole che cambiano il preside nel "
                        "corso dell'anno.\nLe firme indicate verranno utilizzate nella stampa "
                        "digitale"),
         layout);
    auto *form = new QFormLayout;
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        m_edits[i] = new QLineEdit;
        m_edits[i]->setObjectName(QString::fromLatin1(kNames[i]));
        m_edits[i]->setMaxLength(100);
        form->addRow(QString::fromLatin1(kCaptions[i]), m_edits[i]);
    }
    layout->addLayout(form);
    note(QStringLiteral("NB: se non viene indicata nessuna firma verrà utilizzata quella di "
                        "default impostata nella gestione \n        firme"),
         layout);

    m_read = RunShowingErrors(
        [this] { m_loaded = QelHeadmasterSignature::Load(TVxWorkingContext::schoolYear()); });
    for (std::size_t i = 0; i < m_edits.size(); ++i)
        m_edits[i]->setText(m_loaded ? (*m_loaded)[i] : QString());
    buOk()->setEnabled(m_read);
}

void TfmQelFirmaPreside::OkClick()
{
    QelHeadmasterSignature::Texts texts;
    for (std::size_t i = 0; i < m_edits.size(); ++i)
        texts[i] = m_edits[i]->text();
    const bool saved =
        m_read && RunShowingErrors([this, &texts] {
            QelHeadmasterSignature::Save(TVxWorkingContext::schoolYear(), texts, m_loaded);
        });
    if (!saved)
        SetModalResult(mrNone);
}
