#include "makeup/qevrdettrec.h"

#include "platform/dateedit.h"
#include "platform/images.h"
#include "platform/messagedlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QComboBox *dropDownList(const QString &name, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->setMinimumWidth(220);
    return combo;
}

TVxDateEdit *dateEdit(const QString &name, QWidget *parent)
{
    auto *edit = new TVxDateEdit(parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

TfrQevDettRec::TfrQevDettRec(QWidget *parent)
    : TfrVxGen(parent), m_fields(new QGridLayout),
      m_cboTipo(dropDownList(QStringLiteral("cboTipo"), this)),
      m_deAssegna(dateEdit(QStringLiteral("deAssegna"), this)),
      m_cboEsito(dropDownList(QStringLiteral("cboEsito"), this)),
      m_deVerifica(dateEdit(QStringLiteral("deVerifica"), this)), m_buSave(new QToolButton(this))
{
    setObjectName(QStringLiteral("frQevDettRec"));
    FrameLayout()->addLayout(m_fields);
    m_fields->addWidget(new QLabel(QStringLiteral("Tipo di recupero"), this), 0, 0);
    m_fields->addWidget(m_cboTipo, 1, 0);
    m_fields->addWidget(new QLabel(QStringLiteral("Data assegnazione"), this), 0, 1);
    m_fields->addWidget(m_deAssegna, 1, 1);
    m_fields->addWidget(new QLabel(QStringLiteral("Esito recupero"), this), 0, 2);
    m_fields->addWidget(m_cboEsito, 1, 2);
    m_fields->addWidget(new QLabel(QStringLiteral("Data verifica"), this), 0, 3);
    m_fields->addWidget(m_deVerifica, 1, 3);
    m_buSave->setObjectName(QStringLiteral("buSave"));
    m_buSave->setText(QStringLiteral("Assegna recupero"));
    m_buSave->setIcon(VxImage(QStringLiteral("VXPOST")));
    m_buSave->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Its caption whole: the row narrows its lists, never the command.
    m_buSave->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    // Tab reaches it; a click leaves the keyboard on the grid's cell.
    m_buSave->setFocusPolicy(Qt::TabFocus);
    m_fields->addWidget(m_buSave, 1, 4);
    m_fields->setColumnStretch(5, 1);
    connect(m_buSave, &QToolButton::clicked, this, &TfrQevDettRec::assegnaRichiesto);
}

void TfrQevDettRec::Inizializza()
{
    m_deAssegna->SetDate(QDate::currentDate());
    m_deVerifica->Clear();
}

bool TfrQevDettRec::SelezionaTipoDaPeso(int)
{
    return TipoTrovato(false);
}

bool TfrQevDettRec::TipoTrovato(bool found)
{
    if (!found) {
        VxMessageDlg(QStringLiteral("Tipo corrispondente non trovato!"), mtCustom, mbOK);
        m_cboTipo->setCurrentIndex(-1);
    }
    return found;
}
