#include "exchange/qelrdocreceivecls.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

TfrqelDocReceiveCls::TfrqelDocReceiveCls(QWidget *parent)
    : TfrVxDBROGrid(parent), m_log(new QPlainTextEdit)
{
    setObjectName(QStringLiteral("frqelDocReceiveCls"));
    m_data.setCommandText(QStringLiteral(
        "SELECT ClsSes.iClsId, VDow.sDowLDesc, VCls.iClsOrdine, VCls.sClsDesc "
        "FROM TClsSes ClsSes "
        "  JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
        "  JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = Asd.iAnsId "
        "  LEFT JOIN VCls_Classi VCls ON VCls.iClsId = ClsSes.iClsId "
        "  LEFT JOIN VDow_DataOwner VDow ON VDow.iDwgId = Asd.iDwgId "
        "WHERE Wrk.iAnsSesDwgId = :iAnsSesDwgId "
        "ORDER BY VDow.sDowLDesc, VCls.iClsOrdine"));
    m_model.SetDataSet(&m_data);
    SetDataSource(&m_model);
    AddColumn(QStringLiteral("sDowLDesc"), QStringLiteral("Istituto"), 200);
    AddColumn(QStringLiteral("iClsOrdine"), QStringLiteral("Ordine"), 60);
    AddColumn(QStringLiteral("sClsDesc"), QStringLiteral("Classe"), 220);
    SetMultiSelect(true);

    auto *box = new QGroupBox(QStringLiteral("Docenti importati"));
    auto *boxLayout = new QVBoxLayout(box);
    m_log->setObjectName(QStringLiteral("meLog"));
    m_log->setReadOnly(true);
    m_log->setTabChangesFocus(true);
    boxLayout->addWidget(m_log);
    FrameLayout()->addWidget(box);
}

void TfrqelDocReceiveCls::OpenList()
{
    m_data.Close();
    m_data.Params() = valuesOf({{"iAnsSesDwgId", m_iAnsSesDwgId}});
    m_data.Open();
    m_model.Reload();
}

void TfrqelDocReceiveCls::CloseList()
{
    m_data.Close();
    m_model.Reload();
}

QString TfrqelDocReceiveCls::BuildClsFilter() const
{
    QStringList terms;
    const TField *id = m_data.Active() ? m_data.FindField(QStringLiteral("iClsId")) : nullptr;
    if (id)
        for (int row : SelectedSourceRows())
            terms << QStringLiteral("(iClsId = %1)").arg(m_data.Value(row, id->Index()).toInt());
    return terms.isEmpty() ? QStringLiteral("1 = 0") : terms.join(QLatin1String(" OR "));
}

QVBoxLayout *AddTeacherCollectionPages(QWidget *clientArea, QTabWidget *pages,
                                       QWidget *singlePage, QWidget *single, QWidget *classPage,
                                       TfrqelDocReceiveCls *classes)
{
    const auto pageLayout = [](QWidget *page) {
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        return layout;
    };
    auto *layout = pageLayout(clientArea);
    pages->setObjectName(QStringLiteral("pcTipologia"));
    singlePage->setObjectName(QStringLiteral("tsSingleDoc"));
    classPage->setObjectName(QStringLiteral("tsClasse"));
    single->setObjectName(QStringLiteral("frqelDocReceiveSingle_fm"));
    classes->setObjectName(QStringLiteral("frqelDocReceiveClasse_fm"));
    pageLayout(singlePage)->addWidget(single);
    pageLayout(classPage)->addWidget(classes);
    pages->addTab(singlePage, QStringLiteral("Singolo"));
    pages->addTab(classPage, QStringLiteral("Classe"));
    layout->addWidget(pages, 1);
    return layout;
}
