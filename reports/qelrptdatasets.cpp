#include "reports/qelrptdatasets.h"

#include "platform/globalvars.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptqueries.h"
#include "shell/qelpargen.h"

#include <cstdlib>
#include <utility>

TdmqelRptDataSets *dmqelRptDataSets = nullptr;

namespace {

enum class Detail { Reopen, SetOnly };
using Values = std::initializer_list<std::pair<const char *, QVariant>>;

// A detail follows its master: closed, given its parameters and, unless set only, reopened
// (which may scroll it and move its own details in turn).
void follow(TfrQuery *detail, Values values, Detail how = Detail::Reopen)
{
    detail->Close();
    for (const auto &[name, value] : values)
        detail->ParamByName(QString::fromLatin1(name)).setValue(value);
    if (how == Detail::Reopen)
        detail->Open();
}

void follow(std::initializer_list<TfrQuery *> details, Values values, Detail how = Detail::Reopen)
{
    for (TfrQuery *detail : details)
        follow(detail, values, how);
}

// A master that is not open (a template may open a detail by itself) gives no value.
QVariant field(const TfrDataSet &ds, const char *name)
{
    return ds.Active() ? ds.FieldByName(QString::fromLatin1(name)).Value() : QVariant();
}

// A key of the current row as the module's fields keep it: 0 when empty.
int key(const TfrDataSet &ds, const char *name)
{
    const QVariant value = field(ds, name);
    return value.isNull() ? 0 : value.toInt();
}

// The parameters of a text run once: integers as integers, any other value as text.
void declareValues(TfrQuery &query, const TVxFieldValues &values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QVariant value = values.value(i);
        const bool integer = value.typeId() == QMetaType::Int ||
                             value.typeId() == QMetaType::LongLong ||
                             value.typeId() == QMetaType::UInt;
        query.DeclareParam(values.name(i), integer ? TfrParamType::Integer : TfrParamType::Text)
            .setValue(value);
    }
}

} // namespace

TdmqelRptDataSets::TdmqelRptDataSets(QObject *owner)
    : QObject(owner), TfrDataModule(QStringLiteral("dmqelRptDataSets"))
{
    setObjectName(ModuleName());
#define QEL_RPT_CREATE(name) name = AddQuery(QStringLiteral(#name));
    QEL_RPT_QUERIES(QEL_RPT_CREATE)
#undef QEL_RPT_CREATE
    cdsTitoli.AddFieldDef(QStringLiteral("Volume"), ftInteger);
    cdsTitoli.AddFieldDef(QStringLiteral("Titolo"), ftString, 50);
    cdsDettPagine.AddFieldDef(QStringLiteral("iPage"), ftInteger);
    cdsDettPagine.AddFieldDef(QStringLiteral("sGoogleSearch"), ftString, 10000);
    cdsDettPagine.AddFieldDef(QStringLiteral("sShowCd"), ftString, 10000);
    TfrClientDataSet *titoli = AddClientDataSet(QStringLiteral("cdsTitoli"), &cdsTitoli);
    AddClientDataSet(QStringLiteral("cdsDettPagine"), &cdsDettPagine);

    // The names the templates bind their bands to. The class and pupil lists first ask for the
    // year, session and rows to print.
    for (auto [name, dataSet] : {std::pair{"frdAlunni", qquAlunni}, {"frdClsSes", qquClsSes}}) {
        TVxfrDBDataSet *select = AddSelectReportDataSet(QString::fromLatin1(name), dataSet);
        select->SelectForm = QStringLiteral("TfmqelSelRptAnsSesBs");
        select->ShowSelectForm = true;
        select->DoAfterSelect = true;
        select->KeyField =
            dataSet == qquAlunni ? QStringLiteral("iSitId") : QStringLiteral("iClsSesId");
    }
    const std::pair<const char *, TfrDataSet *> plain[] = {
        {"frdAlunniNoPopUp", qquAlunni},
        {"frdClsSesNoPopUp", qquClsSes},
        {"frdClsAlu", qquClsAlu},
        {"frdClsAnsCrs", qquClsAnsCrs},
        {"frdClsMat", qquClsMat},
        {"frdClsMatAns", qquClsMatAns},
        {"frdMatCmpCls", qquMatCmpCls},
        {"frdMatTasCls", qquMatTasCls},
        {"frdMatCls", qquMatCls},
        {"frdMatClsDeb", qquMatClsDeb},
        {"frdGenitori", qquGenitori},
        {"frdSituazioni", qquSituazioni},
        {"frdAluNoAnsId", qquAluNoAnsId},
        {"frdAnsSesDwg", qquAnsSesDwg},
        {"frdAluMat", qquAluMat},
        {"frdAluMatSes", qquAluMatSes},
        {"frdVotiProve", qquVotiProve},
        {"frdqquAai", qquAai},
        {"frdAluMatTas", qquAluMatTas},
        {"frdAluMatTasSes", qquAluMatTasSes},
        {"frdAluCmp", qquAluCmp},
        {"frdAluCmpSes", qquAluCmpSes},
        {"frdAluCmpSesNoRel", qquAluCmpSesNoRel},
        {"frdAluTas", qquAluTas},
        {"frdAluTasSes", qquAluTasSes},
        {"frdCreAlu", qquCreAlu},
        {"frdCreFrmAlu", qquCreFrmAlu},
        {"frdCreScoAlu", qquCreScoAlu},
        {"frdCreSco", qquCreSco},
        {"frdCreFrm", qquCreFrm},
        {"frdDebiti", qquDebiti},
        {"frdDebMat", qquDebMat},
        {"frdAluRecAllMat", qquAluRecAllMat},
        {"frdObbligoForm", qquObbligoForm},
        {"frdEsoneri", qquEsoneri},
        {"frdAnaGme", qquAnaGme},
        {"frdCommissioni", qquCommissioni},
        {"frdVolumi", titoli},
    };
    for (const auto &[name, dataSet] : plain)
        AddReportDataSet(QString::fromLatin1(name), dataSet);

    bindChain();
    bindSelectForms();
    PreparaDataSets();
    dmqelRptDataSets = this;
}

TdmqelRptDataSets::~TdmqelRptDataSets()
{
    if (dmqelRptDataSets == this)
        dmqelRptDataSets = nullptr;
}

void TdmqelRptDataSets::PreparaDataSets()
{
    for (const QelRptQueryText &text : qelRptQueryTexts())
        prepare(text);
}

void TdmqelRptDataSets::PreparaDataSet(const TfrQuery *query)
{
    for (const QelRptQueryText &text : qelRptQueryTexts()) {
        if (text.name == query->Name())
            prepare(text);
    }
}

void TdmqelRptDataSets::prepare(const QelRptQueryText &text)
{
    auto *query = static_cast<TfrQuery *>(FindDataSet(text.name));
    query->Close();
    query->setSQL(text.sql);
    query->Params().clear();
    for (const auto &[name, initial] : text.params)
        query->DeclareParam(name, TfrParamType::Integer).setValue(initial);
}

void TdmqelRptDataSets::CloseAllDataSets()
{
    for (TfrDataSet *dataSet : DataSets())
        dataSet->Close();
    cdsTitoli.Close();
    cdsDettPagine.Close();
}

void TdmqelRptDataSets::RefreshClientDataSets()
{
    for (TfrQuery *clientDataSet : {qquAlunni, qquClsSes}) {
        clientDataSet->Open();
        clientDataSet->Close();
    }
}

QVariant TdmqelRptDataSets::GetSingleValue(const QString &sql, const QString &fieldName,
                                           const TVxFieldValues &values)
{
    TfrQuery query(QStringLiteral("GetSingleValue"));
    query.setSQL(sql);
    declareValues(query, values);
    query.Open();
    return query.FieldByName(fieldName).Value();
}

int TdmqelRptDataSets::GetClsSesId(int iSitId, int iAnsSesDwgId)
{
    const QVariant id = GetSingleValue(
        QStringLiteral("SELECT TClsSes.iClsSesId FROM TSit_Situazioni TSit "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                       "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) "
                       "WHERE (TSit.iSitId = :iSitId) AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId)"),
        QStringLiteral("iClsSesId"),
        valuesOf({{"iSitId", iSitId}, {"iAnsSesDwgId", iAnsSesDwgId}}));
    return id.isNull() ? 0 : id.toInt();
}

void TdmqelRptDataSets::SetParamFreId(int iFreId)
{
    for (TfrQuery *query : {qquAluRec, qquAluRecAllMat, qquAluMatRec})
        query->ParamByName(QStringLiteral("iFreId")).setValue(iFreId);
}

QList<int> TdmqelRptDataSets::GetCmpSessione(qint64 iAnsSesDwgId) const
{
    if (!dmqelParGen)
        throw EVxException(QStringLiteral("Parametri di stampa non disponibili."));
    const TVxParInteger *sessions[] = {&dmqelParGen->xpiSes1, &dmqelParGen->xpiSes2,
                                       &dmqelParGen->xpiSes3};
    for (int slot = 0; slot < 3; ++slot) {
        if (sessions[slot]->GetValore() != iAnsSesDwgId)
            continue;
        QList<int> components;
        for (int n = 0; n < 3; ++n)
            components << dmqelParGen->xpiCmp[slot][n].GetValore();
        return components;
    }
    return {};
}

QVariant TdmqelRptDataSets::GetPercentualeAssenze(int iSitId)
{
    try {
        TfrQuery &q = qelOpenQuery(
            *qquGetPercentAss,
            QStringLiteral("SELECT TSit.iSitOreAssenza, CASE WHEN TSit.iSitMonteOre > 0 "
                           "THEN TSit.iSitMonteOre ELSE TPst.iPstTotOre END AS iMonteOre "
                           "FROM TSit_Situazioni TSit "
                           "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                           "INNER JOIN TPst_PianiStudio TPst ON (TPst.iPstId = TClsPst.iPstId) "
                           "WHERE (TSit.iSitId = :iSitId)"),
            {{"iSitId", iSitId}});
        const bool found = !q.Eof();
        const QVariant hours = q.Value(0);
        const QVariant annual = q.Value(1);
        q.Close();
        // Hours not entered count as none; annual hours missing leave nothing to divide by.
        const qint64 total = annual.isNull() ? 0 : frToInteger(annual);
        if (!found || total <= 0)
            return QVariant();
        // In hundredths of a percent, halves away from zero as "#0.00" prints them: whole hours
        // divide exactly, so 33 of 1056 (3.125) is "3,13", never the even "3,12".
        const qint64 absent = hours.isNull() ? 0 : frToInteger(hours);
        const qint64 hundredths = (std::abs(absent) * 20000 + total) / (2 * total);
        return QStringLiteral("%1%2,%3")
            .arg(absent < 0 ? QStringLiteral("-") : QString())
            .arg(hundredths / 100)
            .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    } catch (const EVxException &) {
        return QVariant();
    }
}

QString TdmqelRptDataSets::GetDebitoValue(const QString &selector) const
{
    const TfrQuery &q = *qquGetDato;
    const auto text = [&q](const char *field) {
        return q.FieldByName(QLatin1String(field)).DisplayText();
    };
    const auto yes = [&q](const char *field, bool (*test)(qint64)) {
        const QVariant value = q.FieldByName(QLatin1String(field)).Value();
        return !value.isNull() && test(frToInteger(value)) ? QStringLiteral("SI")
                                                           : QStringLiteral("NO");
    };
    if (selector == QLatin1String("TIPODESCR"))
        return text("sDebTipoDescr");
    if (selector == QLatin1String("TIPOSIGLA"))
        return text("sDebTipoSigla");
    if (selector == QLatin1String("ESITODESCR"))
        return text("sDebEsitoDescr");
    if (selector == QLatin1String("ESITOSIGLA"))
        return text("sDebEsitoSigla");
    if (selector == QLatin1String("SANATO"))
        return yes("iDebSanato", [](qint64 v) { return v == 1; });
    if (selector == QLatin1String("DEBESISTE"))
        return yes("DebEsiste", [](qint64 v) { return v != 0; });
    if (selector == QLatin1String("MATSIGLA"))
        return text("sMatSDesc");
    if (selector == QLatin1String("MATDESCR"))
        return text("sMatLDesc");
    return QString();
}

void TdmqelRptDataSets::bindChain()
{
    qquClsSes->AfterScroll = [this](TfrDataSet &m) { clsSesAfterScroll(m); };
    qquClsAlu->AfterScroll = [this](TfrDataSet &m) { clsAluAfterScroll(m); };
    qquAlunni->AfterScroll = [this](TfrDataSet &m) { alunniAfterScroll(m); };
    qquGenitori->AfterScroll = [this](TfrDataSet &m) { genitoriAfterScroll(m); };
    qquSituazioni->AfterScroll = [this](TfrDataSet &m) { situazioniAfterScroll(m); };
    qquAnsSesDwg->AfterScroll = [this](TfrDataSet &m) { ansSesDwgAfterScroll(m); };
    // A subject of the pupil's list is the current subject, and its debt follows it.
    for (TfrQuery *subjects : {qquAluMat, qquAluMatTas}) {
        subjects->AfterScroll = [this](TfrDataSet &m) {
            m_curMatId = key(m, "iMatId");
            follow(qquDebMat, {{"iSitId", field(m, "iSitId")}, {"iMatId", field(m, "iMatId")}});
        };
    }
    // In a session's subject list the make-up record of the subject follows.
    qquAluMatSes->AfterScroll = [this](TfrDataSet &m) {
        if (!qquAluMatSes->Active())
            return;
        m_curMatId = key(m, "iMatId");
        follow(qquAluRec, {{"iSitId", field(*qquAluMatSes, "iSitId")},
                           {"iMatId", m_curMatId},
                           {"iAnsSesDwgId", m_selAnsSesDwgId}});
    };
    qquAluMatTasSes->AfterScroll = [this](TfrDataSet &m) {
        m_curMatId = key(m, "iMatId");
        if (!m.Active())
            return;
        follow(qquAluRec, {{"iSitId", field(*qquAluMatTasSes, "iSitId")},
                           {"iMatId", m_curMatId},
                           {"iAnsSesDwgId", m_selAnsSesDwgId}});
    };
    // The three class subject lists share one body: the count follows qquMatCmpCls.
    for (TfrQuery *subjects : {qquMatCmpCls, qquClsMatAns, qquClsMat})
        subjects->AfterScroll = [this](TfrDataSet &m) { matCmpClsAfterScroll(m); };
    qquMatTasCls->AfterScroll = [this](TfrDataSet &) {
        follow(qquNTasMat, {{"iClsSesMatId", field(*qquMatTasCls, "iClsSesMatId")}});
    };
    qquAluNoAnsId->AfterScroll = [this](TfrDataSet &m) {
        follow(qquAnaGme, {{"iAnaId", field(m, "iAnaId")}});
    };

    // Parameters taken as the dataset opens.
    qquAai->BeforeOpen = [this](TfrDataSet &) {
        const int session = TVxWorkingContext::session();
        qquAai->ParamByName(QStringLiteral("iAnsSesDwgId"))
            .setValue(session != 0 ? QVariant(session) : QVariant());
    };
    // The first make-up phase unless a template chose another (the make-up functions open
    // qquAluMatRec without choosing one).
    for (TfrQuery *records : {qquAluRec, qquAluRecAllMat, qquAluMatRec}) {
        records->BeforeOpen = [records](TfrDataSet &) {
            TfrParam &phase = records->ParamByName(QStringLiteral("iFreId"));
            if (phase.IsNull())
                phase.setValue(1);
        };
    }
}

void TdmqelRptDataSets::clsSesAfterScroll(TfrDataSet &m)
{
    const QVariant cls = field(m, "iClsId");
    const QVariant session = field(m, "iAnsSesDwgId");
    follow(qquClsAlu, {{"iClsId", cls}});

    // The years of the class's course up to the chosen one; the chosen year alone before the
    // third course year.
    QList<int> years = ListaAnniCorso(key(m, "iAcsAnnoCorso"), m_selAnsId);
    if (years.isEmpty())
        years << m_selAnsId;
    qquClsAnsCrs->Close();
    qquClsAnsCrs->setSQL(qelClsAnsCrsSql());
    qquClsAnsCrs->DeclareParam(QStringLiteral("iAnsIdPrimo"), TfrParamType::Integer)
        .setValue(years.first());
    qquClsAnsCrs->DeclareParam(QStringLiteral("iAnsIdUltimo"), TfrParamType::Integer)
        .setValue(years.last());
    qquClsAnsCrs->Open();

    follow({qquNCmpCls, qquNTasCls, qquNMatCls}, {{"iClsId", cls}, {"iAnsSesDwgId", session}});
    follow(qquNMatDebCls, {{"iClsId", cls}, {"iAnsId", m_selAnsId}});
    follow(qquClsMat, {{"iClsId", cls}, {"iAnsSesDwgId", session}});
    follow(qquClsMatAns, {{"iClsId", cls}});
}

void TdmqelRptDataSets::clsAluAfterScroll(TfrDataSet &m)
{
    const QVariant clsSes = field(*qquClsSes, "iClsSesId");
    const QVariant sit = field(m, "iSitId");
    const QVariant ana = field(m, "iAnaId");
    const QVariant plan = field(m, "iClsPstId");
    follow({qquMatCmpCls, qquMatTasCls, qquMatCls}, {{"iClsSesId", clsSes}, {"iSitId", sit}});
    follow(qquMatClsDeb, {{"iClsId", field(*qquClsSes, "iClsId")}, {"iSitId", sit}});
    follow(qquGenitori, {{"iAnaId", ana}});
    follow({qquAlunniFrazDom, qquAlunniFrazRes, qquAlunniFrazRec}, {{"iAnaId", ana}},
           Detail::SetOnly);
    follow(qquSituazioni, {{"iAnaId", ana}});
    follow(qquSituazDettagli, {{"iSitId", sit}}, Detail::SetOnly);
    follow(qquAluAna, {{"iAnaId", ana}}, Detail::SetOnly);
    follow({qquAluMat, qquAluMatTas, qquAluCmp}, {{"iSitId", sit}});
    follow(qquClassi, {{"iClsPstId", plan}}, Detail::SetOnly);
    follow(qquAluCls, {{"iClsPstId", plan}});
    follow({qquObbligoForm, qquEsoneri}, {{"iSitId", sit}});
    follow({qquScuolaProve, qquScuolaTrasf, qquScuolTraDettagli, qquScuolProDettagli},
           {{"iSitId", sit}}, Detail::SetOnly);
    follow(qquAlunniDettagli, {{"iAnaId", ana}}, Detail::SetOnly);
    follow({qquCreAlu, qquCreFrmAlu, qquCreScoAlu}, {{"iSitId", sit}});
    follow({qquAlunniDom, qquAlunniRes, qquAlunniRec}, {{"iAnaId", ana}}, Detail::SetOnly);
}

void TdmqelRptDataSets::alunniAfterScroll(TfrDataSet &m)
{
    const QVariant sit = field(m, "iSitId");
    const QVariant ana = field(m, "iAnaId");
    follow(qquAluNoAnsId, {{"iDwgId", TVxWorkingContext::institute()}, {"iAnaId", ana}});
    follow(qquDebiti, {{"iSitId", sit}});
    follow(qquGenitori, {{"iAnaId", ana}});
    follow({qquAlunniFrazDom, qquAlunniFrazRes, qquAlunniFrazRec, qquAlunniDom, qquAlunniRes,
            qquAlunniRec},
           {{"iAnaId", ana}}, Detail::SetOnly);
    follow(qquSituazioni, {{"iAnaId", ana}});
    follow(qquSituazDettagli, {{"iSitId", sit}}, Detail::SetOnly);
    follow(qquAluAna, {{"iAnaId", ana}}, Detail::SetOnly);
    follow(qquAluCls, {{"iClsPstId", field(m, "iClsPstId")}});
    follow({qquObbligoForm, qquEsoneri}, {{"iSitId", sit}});
    follow({qquScuolaProve, qquScuolaTrasf, qquScuolTraDettagli, qquScuolProDettagli},
           {{"iSitId", sit}}, Detail::SetOnly);
    follow(qquAlunniDettagli, {{"iAnaId", ana}}, Detail::SetOnly);
    follow({qquCreAlu, qquCreFrmAlu, qquCreScoAlu}, {{"iSitId", sit}});
    follow({qquAluMat, qquAluMatTas, qquAluCmp}, {{"iSitId", sit}});
}

void TdmqelRptDataSets::genitoriAfterScroll(TfrDataSet &m)
{
    follow({qquGenitoriDettagli, qquGenitoriFrazDom, qquGenitoriFrazRes, qquGenitoriFrazRec,
            qquGenitoriDom, qquGenitoriRes, qquGenitoriRec, qquGenitoriProfesTdStud,
            qquGenitoriTelEmail, qquGenAna},
           {{"iAnaId", field(m, "iAnaId")}}, Detail::SetOnly);
}

void TdmqelRptDataSets::situazioniAfterScroll(TfrDataSet &m)
{
    m_curPstId = key(m, "iPstId");
    m_curSitId = key(m, "iSitId");
    m_curClsId = key(m, "iClsId");
    const QVariant sit = field(m, "iSitId");
    follow({qquCommissioni, qquSedi}, {{"iClsId", field(m, "iClsId")}});
    follow({qquVotiProve, qquAluMat, qquDebiti}, {{"iSitId", sit}});
    follow(qquSituazDettagli, {{"iSitId", sit}}, Detail::SetOnly);
    follow(qquAluMatTas, {{"iSitId", sit}});
    follow(qquClassi, {{"iClsPstId", field(m, "iClsPstId")}}, Detail::SetOnly);
    follow({qquAluCmp, qquAluTas, qquObbligoForm, qquEsoneri}, {{"iSitId", sit}});
    follow({qquScuolaProve, qquScuolaTrasf, qquScuolTraDettagli, qquScuolProDettagli},
           {{"iSitId", sit}}, Detail::SetOnly);
    follow({qquAnsSesDwg, qquCreAlu, qquCreFrmAlu, qquCreScoAlu}, {{"iSitId", sit}});
}

void TdmqelRptDataSets::ansSesDwgAfterScroll(TfrDataSet &m)
{
    const QVariant sit = field(*qquSituazioni, "iSitId");
    follow({qquAluMatSes, qquAluMatTasSes}, {{"iSitId", sit}, {"iAnsSesDwgId", m_selAnsSesDwgId}});
    follow({qquAluCmpSes, qquAluCmpSesNoRel, qquAluTasSes, qquAluRecAllMat},
           {{"iSitId", sit}, {"iAnsSesDwgId", field(m, "iAnsSesDwgId")}});
}

void TdmqelRptDataSets::matCmpClsAfterScroll(TfrDataSet &)
{
    if (qquMatCmpCls->Active())
        follow(qquNCmpMat, {{"iClsSesMatId", field(*qquMatCmpCls, "iClsSesMatId")}});
}

void UpdateParRptIni()
{
    dmqelParGen->WriteParRptIniFromDb();
}
