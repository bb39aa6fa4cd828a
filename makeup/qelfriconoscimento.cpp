#include "makeup/qelfriconoscimento.h"

#include "platform/connection.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QColor kSuccess(0, 128, 0);
const QColor kFailure(Qt::red);

QFont largeFont(const QWidget *widget)
{
    QFont font = widget->font();
    font.setPointSize(16);
    font.setBold(true);
    return font;
}

QLabel *panelLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setMargin(6);
    return label;
}

} // namespace

TfmQelRiconoscimento::TfmQelRiconoscimento(QWidget *parent)
    : TfmVxChildDB(parent), m_data(qqoVxGlobConn()), m_result(new QLabel(this)),
      m_count(new QLabel(this)), m_grid(new TVxTableView(this)),
      m_items(new TVxQueryCollection(this))
{
    setObjectName(QStringLiteral("fmQelRiconoscimento"));
    setWindowTitle(QStringLiteral("Riconoscimento crediti formativi/scolastici"));
    resize(900, 640);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panelLabel(
        QStringLiteral("paHeader"),
        QStringLiteral("Riconoscimento dei crediti scolastici e formativi assegnati agli alunni."),
        this));

    auto *fields = new QFormLayout;
    layout->addLayout(fields);
    m_reading = addField(fields, QStringLiteral("edLettura"), QStringLiteral("LETTURA CCD:"));
    m_name = addField(fields, QStringLiteral("edAlunno"), QStringLiteral("ALUNNO:"));
    m_class = addField(fields, QStringLiteral("edClasse"), QStringLiteral("CLASSE:"));
    m_item = addField(fields, QStringLiteral("edCredito"), QStringLiteral("CREDITO:"));
    m_kind = addField(fields, QStringLiteral("edTipoCredito"), QStringLiteral("TIPO CREDITO:"));
    m_reading->setReadOnly(false);

    m_result->setObjectName(QStringLiteral("laLettura"));
    m_result->setAlignment(Qt::AlignCenter);
    m_result->setFont(largeFont(this));
    m_result->setMinimumHeight(40);
    layout->addWidget(m_result);

    layout->addWidget(panelLabel(QStringLiteral("paInseriti"),
                                 QStringLiteral("Crediti scolastici/formativi inseriti."), this));
    m_count->setObjectName(QStringLiteral("laConta"));
    layout->addWidget(m_count);
    m_grid->setObjectName(QStringLiteral("dbgInseriti"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setFocusPolicy(Qt::NoFocus);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setModel(m_items);
    layout->addWidget(m_grid, 1);

    m_items->setSQL(CreditRecognition::itemsSql());
    m_items->setDisplayLabel(QStringLiteral("sDesc"),
                             QStringLiteral("Credito scolastico/formativo"));
    setFocusProxy(m_reading);
    // The list starts empty, for no pupil.
    RunShowingErrors([this] { AggiornaInseriti(); });
}

QLineEdit *TfmQelRiconoscimento::addField(QFormLayout *fields, const QString &name,
                                          const QString &label)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFont(largeFont(this));
    auto *caption = new QLabel(label, this);
    caption->setFont(largeFont(this));
    fields->addRow(caption, edit);
    return edit;
}

void TfmQelRiconoscimento::FormShow()
{
    ShowMaximized();
    m_reading->setFocus();
}

void TfmQelRiconoscimento::FormKeyDown(QKeyEvent *event)
{
    TfmVxChildDB::FormKeyDown(event);
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    event->accept();
    Leggi();
}

void TfmQelRiconoscimento::Leggi()
{
    m_giaPresente = false;
    // A misread number or a database failure is shown once; the field keeps what was read.
    RunShowingErrors([this] {
        const CreditCode code = parseCreditCode(m_reading->text());
        if (code.kind == CreditCode::Close) {
            close();
            return;
        }
        if (code.kind == CreditCode::Cancel) {
            CancellaUltimaLettura();
            PulisciCampi();
            if (m_pupil)
                showPupil(*m_pupil);
            AggiornaInseriti();
            return;
        }
        if (const std::optional<Reading> reading = ParseCreditCode(code)) {
            InserisciCredito(*reading);
            m_iSitId = reading->code.iSitId;
            m_pupil = reading->pupil;
            PulisciCampi();
            MostraDati(*reading);
        } else {
            showResult(QStringLiteral("Lettura errata"), true);
        }
        AggiornaInseriti();
        m_reading->clear();
    });
}

std::optional<TfmQelRiconoscimento::Reading>
TfmQelRiconoscimento::ParseCreditCode(const CreditCode &code) const
{
    if (code.kind != CreditCode::Pupil && code.kind != CreditCode::Credit)
        return std::nullopt;
    const std::optional<CreditPupil> pupil = m_data.pupil(code.iSitId);
    if (!pupil)
        return std::nullopt;
    Reading reading{code, *pupil, QString()};
    if (code.kind == CreditCode::Pupil)
        return reading;
    const std::optional<QString> item = m_data.itemDescription(code.itemKind, code.item);
    if (!item)
        return std::nullopt;
    reading.item = *item;
    return reading;
}

void TfmQelRiconoscimento::InserisciCredito(const Reading &reading)
{
    // Whatever this reading records is the only thing "09" may take back.
    m_lastLink.reset();
    if (reading.code.kind != CreditCode::Credit)
        return;
    m_lastLink = m_data.record(reading.code.iSitId, reading.code.itemKind, reading.code.item);
    m_giaPresente = !m_lastLink;
}

void TfmQelRiconoscimento::MostraDati(const Reading &reading)
{
    showPupil(reading.pupil);
    if (reading.code.kind == CreditCode::Credit) {
        m_item->setText(reading.item);
        m_kind->setText(creditKindText(reading.code.itemKind));
    }
    showResult(m_giaPresente ? QStringLiteral("Lettura corretta: già presente.")
                             : QStringLiteral("Lettura corretta"),
               false);
}

void TfmQelRiconoscimento::CancellaUltimaLettura()
{
    const bool cancelled = m_lastLink && m_data.cancel(*m_lastLink);
    m_lastLink.reset();
    if (cancelled)
        showResult(QStringLiteral("Lettura cancellata"), false);
    else
        showResult(QStringLiteral("Errore nella cancellazione. Impossibile eliminare."), true);
}

void TfmQelRiconoscimento::PulisciCampi()
{
    for (QLineEdit *edit : {m_name, m_class, m_item, m_kind, m_reading})
        edit->clear();
}

void TfmQelRiconoscimento::AggiornaInseriti()
{
    m_items->Close();
    m_items->setParamValue(QStringLiteral("iSitId"), m_iSitId);
    m_items->Open();
    m_count->setText(QStringLiteral("Crediti inseriti: %1").arg(m_items->RecordCount()));
}

void TfmQelRiconoscimento::showPupil(const CreditPupil &pupil)
{
    m_name->setText(pupil.name);
    m_class->setText(pupil.klass);
}

void TfmQelRiconoscimento::showResult(const QString &text, bool error)
{
    m_resultIsError = error;
    m_result->setText(text);
    QPalette palette = m_result->palette();
    palette.setColor(QPalette::WindowText, error ? kFailure : kSuccess);
    m_result->setPalette(palette);
}
