#include "makeup/qelfgiudizi.h"

#include "platform/connection.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TfrQelGiudizi::TfrQelGiudizi(QWidget *parent)
    : TfrVxDBRWGrid(parent), m_collection(new TVxQueryCollection(this)), m_title(new QLineEdit),
      m_text(new QPlainTextEdit)
{
    setObjectName(QStringLiteral("frQelGiudizi"));
    setToolTip(QStringLiteral("Giudizi"));
    m_collection->setObjectName(QStringLiteral("xqcGiudizi"));
    m_collection->setConnection(qqoVxGlobConn());
    m_collection->setSQL(QStringLiteral(
        "Select gdt.igdtId, gdt.sGdttitolo, gdt.bGdtGiudizio From TGdt_GdzTemplate Gdt"));
    // One table, key first: the writing statements and a new row's key come from the select.
    m_collection->setAutoBuildSQL(true);

    m_title->setObjectName(QStringLiteral("VxDBEdit1"));
    m_text->setObjectName(QStringLiteral("VxDBMemo1"));
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *layout = new QFormLayout(DetailArea());
    layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addRow(QStringLiteral("Titolo"), m_title);
    layout->addRow(QStringLiteral("Giudizio"), m_text);
    BindField(m_title, QStringLiteral("sGdttitolo"));
    BindField(m_text, QStringLiteral("bGdtGiudizio"));

    SetCollection(m_collection);
    // Connected after the grid's own handling, so the layout is applied to the new columns.
    connect(m_collection, &QAbstractItemModel::modelReset, this, &TfrQelGiudizi::ImpostaGriglia);
}

void TfrQelGiudizi::ImpostaGriglia()
{
    HideAllColumns();
    ShowColumn(QStringLiteral("sGdttitolo"), QStringLiteral("Descr. breve giudizio"));
}

TfmQelGiudizi::TfmQelGiudizi(QWidget *parent)
    : TfmVxChildDB(parent), m_frame(new TfrQelGiudizi(this))
{
    setObjectName(QStringLiteral("fmQelGiudizi"));
    setWindowTitle(QStringLiteral("Giudizi predefiniti"));
    resize(720, 460);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame, 1);
    m_frame->ShowListPage();
    RunShowingErrors([this] { m_frame->xqcGiudizi()->Open(); });
    m_frame->ImpostaGriglia();
}

void TfmQelGiudizi::FormShow()
{
    ShowMaximized();
}
