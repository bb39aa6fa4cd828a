#include "reports/qelrptdatasets.h"

#include "platform/globalvars.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptpupilreads.h"
#include "reports/qelrptqueries.h"
#include "shell/qelpargen.h"

#include <cstdlib>
#include <utility>

TdmqelRptDataSets *dmqelRptDataSets = nullptr;

namespace {

enum class Detail { Reopen, SetOnly };
using Values = std::initializer_list<std::pair<const char *, QVariant>>;

// A detail follows its master: closed, given its parameters and, unless set only, reopened,
// which scrolls it and moves its own details and the current rows in turn. A detail that moves
// nothing when it scrolls is only set: it reads its rows when a template first reads it (the
// engine opens a closed dataset), and never when no template does.
void follow(TfrQuery *detail, Values values, Detail how = Detail::Reopen)
{
    detail->Close();
    for (const auto &[name, value] : values)
        detail->ParamByName(QString::fromLatin1(name)).setValue(value);
    if (how == Detail::Reopen && detail->AfterScroll)
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

// Within a report run the query reads for many pupils at once (QelRptBatch), as long as it
// keeps its standard text and is opened on a pupil; each open keeps the rows its filters
// select, in the statement's columns. A read over persons makes the situations it finds the
// next the run reads.
std::optional<TfrRows> readForPupils(const QelRptQueryText &text, const TfrQuery &query,
                                     const TVxFieldValues &values)
{
    const QelRptBatch &batch = text.batch;
    const QVariant key = values.value(batch.key);
    if (query.SQL() != text.sql || key.isNull())
        return std::nullopt;
    TVxFieldValues bound;
    for (int i = 0; i < values.size(); ++i) {
        if (values.name(i).compare(batch.key, Qt::CaseInsensitive) != 0 &&
            !batch.filters.contains(values.name(i), Qt::CaseInsensitive))
            bound.setValue(values.name(i), values.value(i));
    }
    QelPupilRead read{text.name, batch.sql, batch.kind};
    if (batch.kind == QelPupilKey::Person) {
        read.onRead = [](const QList<int> &keys, const TfrRows &rows) {
            const int person = qelColumn(rows, "BatchKey");
            const int situation = qelColumn(rows, "iSitId");
            for (int k : keys) {
                QList<QVariant> found;
                for (const QList<QVariant> &row : rows.rows) {
                    if (row.value(person).toInt() == k)
                        found << row.value(situation);
                }
                qelNotePupils(QelPupilKey::Situation, found);
            }
        };
    }
    TfrRows rows = qelPupilRows(read, int(frToInteger(key)), bound);
    for (int f = 0; f < batch.filters.size(); ++f) {
        const int column = qelColumn(rows, qPrintable(QStringLiteral("BatchFilter%1").arg(f + 1)));
        const QVariant wanted = values.value(batch.filters.at(f));
        std::erase_if(rows.rows, [&](const QList<QVariant> &row) {
            const QVariant value = row.value(column);
            return wanted.isNull() || value.isNull() || frToInteger(value) != frToInteger(wanted);
        });
    }
    return qelOwnColumns(std::move(rows));
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
    query->RunReader = nullptr;
    if (!text.batch.sql.isEmpty())
        query->RunReader = [&text](const TfrQuery &q, const TVxFieldValues &values) {
            return readForPupils(text, q, values);
        };
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
    // Every class session of the pupil's class, read with the next pupils the run prints.
    static const QelPupilRead read{
        QStringLiteral("sessioni della classe"),
        QStringLiteral("SELECT TSit.iSitId AS BatchKey, TClsSes.iAnsSesDwgId, TClsSes.iClsSesId "
                       "FROM TSit_Situazioni TSit "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                       "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) "
                       "WHERE TSit.iSitId IN (%KEYS%) ORDER BY 1, 3"),
        QelPupilKey::Situation};
    for (const QList<QVariant> &row : qelPupilRows(read, iSitId).rows) {
        if (!row.value(1).isNull() && row.value(1).toInt() == iAnsSesDwgId)
            return row.value(2).toInt();
    }
    return 0;
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
        if (qelPrintSetting(*sessions[slot]) != iAnsSesDwgId)
            continue;
        QList<int> components;
        for (int n = 0; n < 3; ++n)
            components << qelPrintSetting(dmqelParGen->xpiCmp[slot][n]);
        return components;
    }
    return {};
}

QVariant TdmqelRptDataSets::GetPercentualeAssenze(int iSitId)
{
    const QString columns =
        QStringLiteral("TSit.iSitOreAssenza, CASE WHEN TSit.iSitMonteOre > 0 "
                       "THEN TSit.iSitMonteOre ELSE TPst.iPstTotOre END AS iMonteOre");
    const QString from =
        QStringLiteral(" FROM TSit_Situazioni TSit "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                       "INNER JOIN TPst_PianiStudio TPst ON (TPst.iPstId = TClsPst.iPstId) ");
    static const QelPupilRead read{QStringLiteral("percentuale assenze"),
                                   QStringLiteral("SELECT ") + columns +
                                       QStringLiteral(", TSit.iSitId AS BatchKey") + from +
                                       QStringLiteral("WHERE TSit.iSitId IN (%KEYS%)"),
                                   QelPupilKey::Situation};
    try {
        // The query keeps its statement, for a template that reads it; the run answers.
        qelSetQuery(*qquGetPercentAss,
                    QStringLiteral("SELECT ") + columns + from +
                        QStringLiteral("WHERE (TSit.iSitId = :iSitId)"),
                    {{"iSitId", iSitId}});
        const TfrRows rows = qelPupilRows(read, iSitId);
        const bool found = !rows.rows.empty();
        const QVariant hours = found ? rows.rows.front().value(0) : QVariant();
        const QVariant annual = found ? rows.rows.front().value(1) : QVariant();
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
    return GetDebitoValue(
        selector, [&q](const char *field) { return q.FieldByName(QLatin1String(field)).Value(); });
}

QString TdmqelRptDataSets::GetDebitoValue(const QString &selector,
                                          const std::function<QVariant(const char *)> &field)
{
    const auto text = [&field](const char *name) { return frDisplayText(field(name)); };
    const auto yes = [&field](const char *name, bool (*test)(qint64)) {
        const QVariant value = field(name);
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

    // Two masters whose scroll only gives their details their parameters are only set by their
    // own masters (setMaster), as the details that move nothing, and their details closed:
    // reading one of the details opens the master first, and the detail gets the master's first
    // row as it would have.
    m_setMasters = {{qquGenitori,
                     {qquGenitoriDettagli, qquGenitoriFrazDom, qquGenitoriFrazRes,
                      qquGenitoriFrazRec, qquGenitoriDom, qquGenitoriRes, qquGenitoriRec,
                      qquGenitoriProfesTdStud, qquGenitoriTelEmail, qquGenAna}},
                    {qquAluNoAnsId, {qquAnaGme}}};
    for (const auto &[master, details] : m_setMasters.asKeyValueRange()) {
        for (TfrQuery *detail : details) {
            detail->BeforeOpen = [master = master](TfrDataSet &) {
                if (!master->Active())
                    master->Open();
            };
        }
    }

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

void TdmqelRptDataSets::setMaster(TfrQuery *master,
                                  std::initializer_list<std::pair<const char *, QVariant>> values)
{
    follow(master, values, Detail::SetOnly);
    for (TfrQuery *detail : m_setMasters.value(master))
        detail->Close();
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

namespace {

// The pupils a master lists are those the run prints next, in its order: noted when it lands
// on a pupil the run does not know yet.
void notePupilsOf(const TfrDataSet &master)
{
    if (qelPupilNoted(QelPupilKey::Situation, key(master, "iSitId")))
        return;
    qelNotePupils(QelPupilKey::Situation, master.ColumnValues(QStringLiteral("iSitId")));
    qelNotePupils(QelPupilKey::Person, master.ColumnValues(QStringLiteral("iAnaId")));
}

} // namespace

void TdmqelRptDataSets::clsAluAfterScroll(TfrDataSet &m)
{
    notePupilsOf(m);
    const QVariant clsSes = field(*qquClsSes, "iClsSesId");
    const QVariant sit = field(m, "iSitId");
    const QVariant ana = field(m, "iAnaId");
    const QVariant plan = field(m, "iClsPstId");
    follow({qquMatCmpCls, qquMatTasCls, qquMatCls}, {{"iClsSesId", clsSes}, {"iSitId", sit}});
    follow(qquMatClsDeb, {{"iClsId", field(*qquClsSes, "iClsId")}, {"iSitId", sit}});
    setMaster(qquGenitori, {{"iAnaId", ana}});
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
    notePupilsOf(m);
    const QVariant sit = field(m, "iSitId");
    const QVariant ana = field(m, "iAnaId");
    setMaster(qquAluNoAnsId, {{"iDwgId", TVxWorkingContext::institute()}, {"iAnaId", ana}});
    follow(qquDebiti, {{"iSitId", sit}});
    setMaster(qquGenitori, {{"iAnaId", ana}});
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
