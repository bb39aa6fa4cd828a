#include "exchange/qelrdocreceivesingle.h"

#include "exchange/qeldocfolder.h"
#include "exchange/qeldocfoldersql.h"
#include "platform/checklist.h"
#include "platform/clientdataset.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

TfrqelDocReceiveSingle::TfrqelDocReceiveSingle(QWidget *parent)
    : TfrVxDBROGrid(parent), m_path(new QLineEdit), m_classes(new QListWidget)
{
    setObjectName(QStringLiteral("frqelDocReceiveSingle"));
    m_teachers = std::make_unique<QelWebTeacherGrid>(
        this, QStringLiteral("iAaiRicevuto"), QColor(0, 128, 0),
        QList<QelWebTeacherGrid::Column>{{"sAnaCagCode", "Codice", 80},
                                         {"sDocNome", "Docente", 220},
                                         {"sModDesc", "Modalità invio", 110},
                                         {"dAaiInviato", "Data e ora invio", 130},
                                         {"dAaiRicevuto", "Data e ora ricevuto", 130}});
    // Every mode of the session, not one.
    m_teachers->Data().setCommandText(QelDocFolderSql::teachersOfSession());

    auto *pathRow = new QFormLayout;
    m_path->setObjectName(QStringLiteral("dePath"));
    pathRow->addRow(QStringLiteral("Percorso"), m_path);
    FrameLayout()->addLayout(pathRow);
    auto *box = new QGroupBox(QStringLiteral("Classi da importare"));
    auto *boxLayout = new QVBoxLayout(box);
    m_classes->setObjectName(QStringLiteral("clbClsList"));
    boxLayout->addWidget(m_classes);
    FrameLayout()->addWidget(box);
    connect(grGrid()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { RunShowingErrors([this] { xdsMainDataChange(); }); });
    connect(m_path, &QLineEdit::textChanged, this,
            [this] { RunShowingErrors([this] { dePathChange(); }); });
}

TfrqelDocReceiveSingle::~TfrqelDocReceiveSingle() = default;

void TfrqelDocReceiveSingle::OpenList()
{
    m_teachers->Open(m_iAnsSesDwgId, 0);
    SetCurrentSourceRow(0);
    xdsMainDataChange();
}

void TfrqelDocReceiveSingle::CloseList()
{
    m_teachers->Close();
}

void TfrqelDocReceiveSingle::xdsMainDataChange()
{
    m_path->setText(
        m_teachers->Value(CurrentSourceRow(), QStringLiteral("sAaiDirInviato")).toString());
    // The same text sets no change off; the folder's files may have changed.
    dePathChange();
}

void TfrqelDocReceiveSingle::dePathChange()
{
    m_classes->clear();
    const QString file = LongDir(m_path->text().trimmed()) + QStringLiteral("clsmat.cds");
    if (m_path->text().trimmed().isEmpty() || !QFileInfo(file).isFile())
        return;
    TClientDataSet ds;
    ds.LoadFromFile(file);
    const TField *id = ds.FindField(QStringLiteral("iClsId"));
    const TField *text = ds.FindField(QStringLiteral("sClsDesc"));
    if (!id || !text)
        return;
    QSet<qlonglong> listed;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        if (listed.contains(id->AsLargeInt()))
            continue;
        listed.insert(id->AsLargeInt());
        AddCheckItem(m_classes, text->AsString(), id->AsInteger())->setCheckState(Qt::Checked);
    }
}

QString TfrqelDocReceiveSingle::BuildClsFilter() const
{
    return BuildCheckedClsFilter(m_classes);
}

QString BuildCheckedClsFilter(const QListWidget *list)
{
    const QList<int> checked = CheckedIds(list);
    if (checked.size() == list->count())
        return QString();
    if (checked.isEmpty())
        return QStringLiteral("1 = 0");
    QStringList terms;
    for (int iClsId : checked)
        terms << QStringLiteral("(iClsId = %1)").arg(iClsId);
    return terms.join(QLatin1String(" OR "));
}
