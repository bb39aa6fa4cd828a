#include "exchange/qelrdocreceivesingleweb.h"

#include "exchange/qelrdocreceivesingle.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebsendsql.h"
#include "platform/checklist.h"
#include "platform/messagedlg.h"
#include "platform/sqlclientdataset.h"

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QSet>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>

TfrqelDocReceiveSingleWeb::TfrqelDocReceiveSingleWeb(QWidget *parent)
    : TfrVxDBROGrid(parent), m_classes(new QListWidget)
{
    setObjectName(QStringLiteral("frqelDocReceiveSingleWeb"));
    m_teachers = std::make_unique<QelWebTeacherGrid>(
        this, QStringLiteral("iAaiRicevuto"), QColor(Qt::darkGreen),
        QList<QelWebTeacherGrid::Column>{{"sAnaCagCode", "Codice", 80},
                                         {"sDocNome", "Docente", 220},
                                         {"sModDesc", "Modalità invio", 110},
                                         {"dAaiInviato", "Data e ora invio", 130},
                                         {"dAaiRicevuto", "Data e ora ricevuto", 130}});
    auto *box = new QGroupBox(QStringLiteral("Classi da importare"));
    auto *boxLayout = new QVBoxLayout(box);
    m_classes->setObjectName(QStringLiteral("clbClassi"));
    boxLayout->addWidget(m_classes);
    FrameLayout()->addWidget(box);
    connect(grGrid()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { RunShowingErrors([this] { LoadTeacherClasses(); }); });
}

TfrqelDocReceiveSingleWeb::~TfrqelDocReceiveSingleWeb() = default;

void TfrqelDocReceiveSingleWeb::OpenList()
{
    m_teachers->Open(m_iAnsSesDwgId, kModeWebService);
    SetCurrentSourceRow(0);
    LoadTeacherClasses();
}

void TfrqelDocReceiveSingleWeb::LoadTeacherClasses()
{
    m_classes->clear();
    const QVariant teacher = m_teachers->Value(CurrentSourceRow(), QStringLiteral("iAnaId"));
    if (!teacher.isValid())
        return;
    TSQLClientDataSet ds;
    ds.setCommandText(QelWebSendSql::clsMat());
    ds.Params() = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}, {"iAnaId", teacher}});
    ds.Open();
    const int id = ds.FieldByName(QStringLiteral("iClsId"))->Index();
    const int text = ds.FieldByName(QStringLiteral("sClsDesc"))->Index();
    QSet<qlonglong> listed;
    for (int row = 0; row < ds.StoredRecordCount(); ++row) {
        const QList<QVariant> &r = ds.StoredRecord(row);
        if (listed.contains(r.at(id).toLongLong()))
            continue;
        listed.insert(r.at(id).toLongLong());
        AddCheckItem(m_classes, r.at(text).toString(), r.at(id).toInt())
            ->setCheckState(Qt::Checked);
    }
}

QString TfrqelDocReceiveSingleWeb::BuildClsFilter() const
{
    return BuildCheckedClsFilter(m_classes);
}
