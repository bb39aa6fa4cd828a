#include "reports/qelfselrptansbs.h"

#include "platform/globalvars.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelselrptdata.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A filter's items: the "all" text first (key 0), then the list; the first chosen.
void fillChoice(QComboBox *combo, const QString &all, const TVxEnumItems &items)
{
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItem(all, 0);
    for (const TVxEnumItem &item : items)
        combo->addItem(item.text, item.id);
    combo->setCurrentIndex(0);
}

// A labelled drop-down list placed in the row at the place given (-1: at its end).
QComboBox *addChoice(QHBoxLayout *row, int place, QLabel *label, const char *name, int width)
{
    auto *combo = new QComboBox;
    combo->setObjectName(QString::fromLatin1(name));
    combo->setMinimumWidth(width);
    // Long outcome texts show in the open list; the closed box keeps the row's room.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(width / 10);
    label->setBuddy(combo);
    row->insertWidget(place, label);
    row->insertWidget(place < 0 ? -1 : place + 1, combo);
    return combo;
}

QLabel *label(const char *name, const char *text)
{
    auto *l = new QLabel(QString::fromUtf8(text));
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// Shown unless the data module hid it (the window itself may not be on screen yet).
bool shown(const QWidget *control)
{
    return !control->isHidden();
}

} // namespace

TfmqelSelRptAnsBs::TfmqelSelRptAnsBs(QWidget *parent) : TfmVxuSelRptAnnoScol(parent)
{
    setObjectName(QStringLiteral("fmqelSelRptAnsBs"));
}

void TfmqelSelRptAnsBs::InvertSelection()
{
    TVxHourglass hourglass;
    QTableView *grid = grSelect();
    const QModelIndex current = grid->currentIndex();
    grid->setUpdatesEnabled(false);
    TfmVxuSelRptAnnoScol::InvertSelection();
    grid->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    grid->setUpdatesEnabled(true);
}

void TfmqelSelRptAnsBs::cbAnnoScolChange()
{
    try {
        TfmVxuSelRptAnnoScol::cbAnnoScolChange();
    } catch (const EVxException &) {
        // the list of the year before stays; the session list that follows says what is wrong
    }
}

TfmqelSelRptAnsSesBs::TfmqelSelRptAnsSesBs(QWidget *parent)
    : TfmqelSelRptAnsBs(parent), m_laCls(label("laCls", "Seleziona la &classe:")),
      m_buCls(new QPushButton(QStringLiteral("A&pplica"))),
      m_laPosFin(label("laPosFin", "Seleziona l'&esito")),
      m_label2(label("Label2", "Selezionare lo s&tato"))
{
    setObjectName(QStringLiteral("fmqelSelRptAnsSesBs"));
    // After the year, before the row's closing stretch.
    m_cbAnsSesDwg = addChoice(paTop(), paTop()->count() - 1, label("laAnsSesDwg", "&Sessione"),
                              "cbAnsSesDwg", 200);
    auto *filters = new QHBoxLayout;
    m_cbCls = addChoice(filters, -1, m_laCls, "cbCls", 90);
    m_cbPosFin = addChoice(filters, -1, m_laPosFin, "cbPosFin", 180);
    m_cbStato = addChoice(filters, -1, m_label2, "cbStato", 120);
    m_buCls->setObjectName(QStringLiteral("buCls"));
    filters->addWidget(m_buCls);
    filters->addStretch();
    static_cast<QVBoxLayout *>(ClientArea()->layout())->insertLayout(1, filters);

    VxSetTabOrder(
        {cbAnnoScol(), m_cbAnsSesDwg, m_cbCls, m_cbPosFin, m_cbStato, m_buCls, grSelect()});

    connect(m_cbAnsSesDwg, &QComboBox::currentIndexChanged, this,
            [this] { RunShowingErrors([this] { cbAnsSesDwgChange(); }); });
    connect(m_buCls, &QPushButton::clicked, this,
            [this] { RunShowingErrors([this] { ApplicaClick(); }); });

    // The data module's class list reads the sessions this dialog offers; the list of the
    // dialog starts as that same list.
    if (dmqelRptDataSets) {
        TfrQuery *clsSes = dmqelRptDataSets->qquClsSes;
        clsSes->Close();
        clsSes->setSQL(qelSelRptClassSql());
        clsSes->DeclareParam(QStringLiteral("iAnsSesDwgId"), TfrParamType::Integer);
    }
    ListDataSet()->setCommandText(qelSelRptClassSql());
    ListDataSet()->Params().setValue(QStringLiteral("iAnsSesDwgId"),
                                     QVariant(QMetaType(QMetaType::Int)));
    resize(880, 540);
}

int TfmqelSelRptAnsSesBs::GetSelectedAnsSesDwgId() const
{
    return enumItemId(m_cbAnsSesDwg, m_cbAnsSesDwg->currentIndex());
}

void TfmqelSelRptAnsSesBs::FormShow()
{
    TfmqelSelRptAnsBs::FormShow();
    // The session change that ends it reads the list (for pupils, through "Applica").
    CaricaSessioni();
}

void TfmqelSelRptAnsSesBs::cbAnnoScolChange()
{
    TfmqelSelRptAnsBs::cbAnnoScolChange();
    CaricaSessioni();
}

void TfmqelSelRptAnsSesBs::CaricaSessioni()
{
    {
        const QSignalBlocker blocker(m_cbAnsSesDwg);
        m_cbAnsSesDwg->clear();
        for (const TVxEnumItem &item :
             qelSelRptSessions(TVxWorkingContext::institute(), GetSelectediAnsId()))
            m_cbAnsSesDwg->addItem(item.text, item.id);
        const int working = m_cbAnsSesDwg->findData(TVxWorkingContext::session());
        m_cbAnsSesDwg->setCurrentIndex(working >= 0 || m_cbAnsSesDwg->count() == 0 ? working : 0);
    }
    cbAnsSesDwgChange();
}

void TfmqelSelRptAnsSesBs::cbAnsSesDwgChange()
{
    const int session = GetSelectedAnsSesDwgId();
    // The pupil list does not read the session: "Applica" below reads it with the filters.
    if (!shown(m_buCls)) {
        CloseList();
        TVxFieldValues &params = ListDataSet()->Params();
        for (const auto &[name, value] :
             {std::pair{"iAnsSesDwgId", session}, {"iClsId", 0}, {"iAllId", 0}}) {
            if (VxStatementHasParam(ListDataSet()->CommandText(), QString::fromLatin1(name)))
                params.setValue(QString::fromLatin1(name), value);
        }
        OpenList();
    }
    if (shown(m_cbCls))
        fillChoice(m_cbCls, QStringLiteral("[Tutte]"), qelSelRptClasses(session));
    if (shown(m_cbPosFin))
        fillChoice(m_cbPosFin, QStringLiteral("[Tutti]"), qelSelRptOutcomes());
    if (shown(m_cbStato)) {
        fillChoice(m_cbStato, QStringLiteral("[Tutti]"), {});
        m_cbStato->addItems({QStringLiteral("NON SOSPESI"), QStringLiteral("SOSPESI")});
    }
    if (shown(m_buCls))
        ApplicaClick();
}

void TfmqelSelRptAnsSesBs::ApplicaClick()
{
    CloseList();
    ListDataSet()->setCommandText(qelSelRptPupilSql(m_cbStato->currentIndex()));
    // Past the first item ("[Tutte]", "[Tutti]") a filter takes the item's key.
    const int cls = m_cbCls->currentIndex();
    const int outcome = m_cbPosFin->currentIndex();
    ListDataSet()->Params() =
        valuesOf({{"iAnsId", GetSelectediAnsId()},
                  {"iDwgId", TVxWorkingContext::institute()},
                  {"iAllId", cls > 0 ? 1 : 0},
                  {"iClsId", cls > 0 ? enumItemId(m_cbCls, cls) : 0},
                  {"iAllPosFinId", outcome > 0 ? 1 : 0},
                  {"iPosFinId", outcome > 0 ? enumItemId(m_cbPosFin, outcome) : 0}});
    OpenList();
}
