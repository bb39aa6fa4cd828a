// The report variables: the values templates ask for by name ([Data stampe],
// [Codice Sessione 1], [Ses. 2 - Des. Componente 3] ...), answered by ReportGetValue.
#include "platform/formatdatetime.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/vxexception.h"
#include "reportengine/reportengine.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QHash>

namespace {

const char kNrFasiRecupero[] = "SELECT COUNT(TFre.iFreId) as iTotFasi   FROM TFre_FasiRec TFre ";
const char kSessioneDifferita[] =
    " SELECT Asd.iAnsSesDwgId    FROM TAnsSesDwg Asd   WHERE Asd.iSfiId=3     AND "
    "Asd.iDwgId=:iDwgId     AND Asd.iAnsId=:iAnsId";
// Every institute's deferred session of the year: the phase is the year's, whoever runs it.
const char kRecuperoDifferito[] =
    "SELECT Fre.iFreId FROM TAnsSesDwg Asd "
    "INNER JOIN TAnsFreDwg Afd ON (Afd.iAnsFreDwgId = Asd.iAnsFreDwgId) "
    "INNER JOIN TFre_FasiRec Fre ON (Fre.iFreId = Afd.iFreId) "
    "WHERE Asd.iSfiId = 3 AND Asd.iAnsId = :iAnsId ORDER BY Asd.iAnsSesDwgId";
const char kSessione[] =
    "SELECT Ses.sSesDesc FROM TAnsSesDwg AnsSesDwg INNER JOIN TSes_Sessione Ses ON "
    "(Ses.iSesId=AnsSesDwg.iSesId) WHERE AnsSesDwg.iAnsSesDwgId=:iAnsSesDwgId";
const char kDateSessione[] =
    "SELECT AnsSesDwg.dAnsSesDwgInizio, AnsSesDwg.dAnsSesDwgFine FROM TAnsSesDwg AnsSesDwg "
    "WHERE AnsSesDwg.iAnsSesDwgId=:iAnsSesDwgId";
const char kComponente[] =
    "SELECT Cmp.sCmpSDesc, Cmp.sCmpLDesc, Sca.sScaDesc FROM TCmpSca CmpSca INNER JOIN "
    "TCmp_Componenti Cmp ON (Cmp.iCmpId=CmpSca.iCmpId) INNER JOIN TSca_Scale Sca ON "
    "(Sca.iScaId=CmpSca.iScaId) WHERE CmpSca.iCmpScaId=:iCmpScaId";

enum class Var {
    DataStampe,
    NrFasiRecupero,
    SessioneLavoro,
    AnnoSelezionato,
    SessioneSelezionata,
    SessioneDifferita,
    RecuperoDifferito,
    AnnoLavoro,
    AnnoPrecedente,
    DueAnniPrecedenti,
    QedPasswd,
    TavrinWebUtente,
    TavrinWebPasswd,
    // Of a report session of the print settings (slot 0 to 2); kept before the components.
    CodiceSessione,
    DescrizioneSessione,
    InizioSessione,
    FineSessione,
    // Of a component (0 to 7) of a report session.
    CodComponente,
    DesComponente,
    SigComponente,
    ScaComponente,
};

struct Variable
{
    Var kind;
    int slot = 0;
    int component = 0;
};

// The 119 names, compared exactly (case and blanks count). They are all distinct, so the one
// match is also the first in the order templates have always been answered in.
const QHash<QString, Variable> &variables()
{
    static const QHash<QString, Variable> names = [] {
        QHash<QString, Variable> v = {
            {QStringLiteral("Data stampe"), {Var::DataStampe}},
            {QStringLiteral("NrFasiRecupero"), {Var::NrFasiRecupero}},
            {QStringLiteral("Codice sessione di lavoro"), {Var::SessioneLavoro}},
            {QStringLiteral("Anno ID selezionato"), {Var::AnnoSelezionato}},
            {QStringLiteral("Sessione ID selezionata"), {Var::SessioneSelezionata}},
            {QStringLiteral("Sessione ID Differita"), {Var::SessioneDifferita}},
            {QStringLiteral("Recupero Differito"), {Var::RecuperoDifferito}},
            {QStringLiteral("Codice anno scolastico lavoro"), {Var::AnnoLavoro}},
            {QStringLiteral("Codice anno scolastico precedente"), {Var::AnnoPrecedente}},
            {QStringLiteral("Codice due anni scolastici precedenti"), {Var::DueAnniPrecedenti}},
            {QStringLiteral("QedPasswd"), {Var::QedPasswd}},
            {QStringLiteral("TavrinWebUtente"), {Var::TavrinWebUtente}},
            {QStringLiteral("TavrinWebPasswd"), {Var::TavrinWebPasswd}},
        };
        const std::pair<const char *, Var> parts[] = {{"Cod", Var::CodComponente},
                                                      {"Des", Var::DesComponente},
                                                      {"Sig", Var::SigComponente},
                                                      {"Sca", Var::ScaComponente}};
        for (int slot = 0; slot < 3; ++slot) {
            const QString n = QString::number(slot + 1);
            v.insert(QStringLiteral("Codice Sessione ") + n, {Var::CodiceSessione, slot});
            v.insert(QStringLiteral("Descrizione Sessione ") + n, {Var::DescrizioneSessione, slot});
            // The third report session has never had dates.
            if (slot < 2) {
                v.insert(QStringLiteral("Data Inizio Sessione ") + n, {Var::InizioSessione, slot});
                v.insert(QStringLiteral("Data Fine Sessione ") + n, {Var::FineSessione, slot});
            }
            for (int k = 0; k < 8; ++k) {
                for (const auto &[tag, kind] : parts)
                    v.insert(QStringLiteral("Ses. %1 - %2. Componente %3")
                                 .arg(n, QLatin1String(tag))
                                 .arg(k + 1),
                             {kind, slot, k});
            }
        }
        return v;
    }();
    return names;
}

const TdmqelParGen &printSettings()
{
    if (!dmqelParGen)
        throw EVxException(QStringLiteral("Parametri di stampa non disponibili."));
    return *dmqelParGen;
}

// A field of the current row; null while the dataset is closed or past its end.
QVariant current(const TfrDataSet &ds, const QString &name)
{
    return ds.Active() ? ds.FieldByName(name).Value() : QVariant();
}

int integer(const QVariant &value)
{
    return value.isNull() ? 0 : int(frToInteger(value));
}

} // namespace

void TdmqelRptDataSets::ReportGetValue(const QString &name, QVariant &value)
{
    const auto found = variables().constFind(name);
    if (found == variables().constEnd())
        return;
    const Variable &var = *found;
    const auto teacher = [this](const char *field) {
        return current(*qquAai, QString::fromLatin1(field));
    };
    switch (var.kind) {
    case Var::DataStampe: {
        const QDate date = TVxWorkingContext::reportDate();
        if (date.isValid())
            value = FormatDateTime(
                xgvmGlobalVar.GetValues(TVxWorkingContext::reportDateFormatKey()).toString(),
                QDateTime(date, QTime(0, 0)));
        return;
    }
    case Var::NrFasiRecupero:
        value = integer(
            GetSingleValue(QString::fromLatin1(kNrFasiRecupero), QStringLiteral("iTotFasi")));
        return;
    case Var::SessioneLavoro:
        value = xgvmGlobalVar.GetValues(TVxWorkingContext::sessionKey());
        return;
    case Var::AnnoSelezionato:
        value = m_selAnsId;
        return;
    case Var::SessioneSelezionata:
        value = m_selAnsSesDwgId;
        return;
    case Var::SessioneDifferita:
        // Left open: a template may read the dataset qquSessDiff after the variable.
        qquSessDiff->Close();
        qquSessDiff->setSQL(QString::fromLatin1(kSessioneDifferita));
        qquSessDiff->Params().clear();
        qquSessDiff->DeclareParam(QStringLiteral("iDwgId"), TfrParamType::Integer)
            .setValue(TVxWorkingContext::institute());
        qquSessDiff->DeclareParam(QStringLiteral("iAnsId"), TfrParamType::Integer)
            .setValue(m_selAnsId);
        qquSessDiff->Open();
        value = integer(current(*qquSessDiff, QStringLiteral("iAnsSesDwgId")));
        return;
    case Var::RecuperoDifferito:
        value =
            integer(GetSingleValue(QString::fromLatin1(kRecuperoDifferito),
                                   QStringLiteral("iFreId"), valuesOf({{"iAnsId", m_selAnsId}})));
        return;
    case Var::AnnoLavoro:
        value = xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey());
        return;
    case Var::AnnoPrecedente:
    case Var::DueAnniPrecedenti: {
        // Keys, not years: the key before the working one.
        const QVariant year = xgvmGlobalVar.GetValues(TVxWorkingContext::schoolYearKey());
        const int back = var.kind == Var::AnnoPrecedente ? 1 : 2;
        value = year.isValid() ? QVariant(TVxWorkingContext::idOf(year) - back) : QVariant();
        return;
    }
    case Var::QedPasswd:
        // The year's own text ("2008/2009"), as the teachers' program checks it.
        value = MakeQedPasswd(integer(teacher("iAnaId")),
                              AnnoScolTextOfAnsId(TVxWorkingContext::schoolYear()), QString());
        return;
    case Var::TavrinWebUtente:
        value = MakeTavrinWebUtente(1, integer(teacher("iAnaId")), QString());
        return;
    case Var::TavrinWebPasswd: {
        if (!qquDataOwner->Active())
            qquDataOwner->Open();
        // A password made without the school's code is one the web service never accepts:
        // the report ends, saying why as the web commands do.
        std::optional<QString> seat;
        if (!qquDataOwner->Eof())
            seat = current(*qquDataOwner, QStringLiteral("sSedMecCod")).toString();
        QString code;
        if (!RunShowingErrors([&] { code = CheckedMainSeatMecCode(seat); }))
            throw EfrAbort();
        value = MakeTavrinWebPasswd(integer(teacher("iAnaId")), TVxWorkingContext::schoolYear(),
                                    code, teacher("sAnaPwPert").toString());
        return;
    }
    default:
        break;
    }

    const TdmqelParGen &settings = printSettings();
    const TVxParInteger *sessions[] = {&settings.xpiSes1, &settings.xpiSes2, &settings.xpiSes3};
    const int id = var.kind < Var::CodComponente
                       ? qelPrintSetting(*sessions[var.slot])
                       : qelPrintSetting(settings.xpiCmp[var.slot][var.component]);
    if (id == 0) {
        value = QString();
        return;
    }
    const auto read = [&](const char *sql, const char *key, const char *field) {
        return GetSingleValue(QString::fromLatin1(sql), QString::fromLatin1(field),
                              valuesOf({{key, id}}));
    };
    switch (var.kind) {
    case Var::CodiceSessione:
    case Var::CodComponente:
        value = QString::number(id);
        return;
    case Var::DescrizioneSessione:
        value = read(kSessione, "iAnsSesDwgId", "sSesDesc");
        return;
    case Var::InizioSessione:
        value = read(kDateSessione, "iAnsSesDwgId", "dAnsSesDwgInizio");
        return;
    case Var::FineSessione:
        value = read(kDateSessione, "iAnsSesDwgId", "dAnsSesDwgFine");
        return;
    case Var::DesComponente:
        value = read(kComponente, "iCmpScaId", "sCmpLDesc");
        return;
    case Var::SigComponente:
        value = read(kComponente, "iCmpScaId", "sCmpSDesc");
        return;
    case Var::ScaComponente:
        value = read(kComponente, "iCmpScaId", "sScaDesc");
        return;
    default:
        return;
    }
}
