#include "reports/qelrptfunctions.h"

#include "platform/helpers.h"
#include "reportengine/reportengine.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptpupilreads.h"

#include <QHash>
#include <QScopeGuard>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

// The help the report designer lists under "Tavrin": the syntax, "/", the help text, with
// carriage returns between its lines. The texts are the suite's own, slips included.
const char kVoteTail[] = "\r"
                         "Possibili valori per <Val. da Stampare>: \"BREVE=>\"\r"
                         "descr. breve; \"LUNGA\"=>descr. lunga; \"VALORE\"=>valore\r"
                         "\"SUFF\"=>Sufficiente (Si/No); MEDIA=>In media (Si/No)";
const char kAveragesTail[] = "\r"
                             "l'anno o la materia indicate. Possibili valori per <Tipo Media>:\r"
                             "ANS, SES, MAT, BREVE, DESCR E VALORE. <Parametro> \r"
                             "varia in base al valore di <Tipo Media>.";

struct Function
{
    const char *name;
    const char *description; // nullptr: not listed
    const char *tail;
};

// clang-format off
const Function kFunctions[] = {
    {"Voto",
     "Voto(<Sess.>, <Componente>, <Val. da stampare>)/Ritorna il voto per la <Sess.> e <Componente> scelte.",
     kVoteTail},
    {"Voto_Proposto",
     "Voto_Proposto(<Sess.>, <Componente>, <Val. da stampare>)/Ritorna il voto prop. per la <Sess.> e <Componente> scelte.",
     kVoteTail},
    {"Tassonomia",
     "Tassonomia(<Sess.>, <Componente>, <Val. da stampare>)/Ritorna il voto prop. per la <Sess.> e <Componente> scelte.",
     kVoteTail},
    {"Voto_Religione",
     "Voto_Religione(<Sessione>, <Val. da stampare>)/Ritorna il voto di Religione per la <Sessione> scelta.",
     kVoteTail},
    {"Voto_Condotta",
     "Voto_Condotta(<Sessione>, <Val. da stampare>)/Ritorna il voto di Condotta per la <Sessione> scelta.",
     kVoteTail},
    {"GetVoti",
     "GetVoti(<Situazione ID>, <Tipo media>, <Parametro>)/Ritorna il voto in una materia o la media dei voti per la sessione,",
     kAveragesTail},
    {"GetProposti",
     "GetProposti(<Situazione ID>, <Tipo media>, <Parametro>)/Ritorna il voto proposto in una materia o la media per la sessione,",
     kAveragesTail},
    {"GetTassonomie",
     "GetTassonomie(<Situazione ID>, <Tipo media>, <Parametro>)/Ritorna la tassonomia di una materia o la media per la sessione,",
     kAveragesTail},
    {"GetAssenze",
     "GetAssenze(<Situazione ID>, <Tipo totale>, <Parametro>)/Ritorna le assenze di una materia o il totale per la sessione," "\r"
     "l'anno o la materia indicate. Possibili valori per <Tipo Media>:" "\r"
     "ANS, SES, MAT. <Parametro> varia in base al valore di <Tipo Media>.",
     nullptr},
    {"GetAiuti",
     "GetAiuti(<Situazione ID>, <Tipo totale>, <Parametro>)/Ritorna l'aiuto di una materia o il numero di aiuti per la sessione," "\r"
     "l'anno o la materia indicate. Possibili valori per <Tipo Media>:" "\r"
     "ANS, SES, MAT. Il valore di <Parametro> varia in base al valore di <Tipo Media>.",
     nullptr},
    {"GetDebito",
     "GetDebito(<Situazione ID>, <Materia ID>, <RESULT>)/ Ritorna l'informazione sul debito per la <Situazione ID> e la" "\r"
     "<Materia ID> indicate. <RESULT> può valere: TIPODESCR, " "\r"
     "TIPOSIGLA, ESITODESCR, ESITOSIGLA, SANATO," "\r"
     "DEBESISTE, MATSIGLA, MATDESCR",
     nullptr},
    {"GetEsito",
     "GetEsito(<Situazione ID>, <RESULT>)/Ritorna l'informazione sull' esito per la <Situazione ID> indicata." "\r"
     "Il valore di ritorno dipende da <RESULT> che può avere i seguenti" "\r"
     "valori: ESITODESCR o ESITOSIGLA",
     nullptr},
    {"GetGiudizio",
     "GetGiudizio(<Situazione ID>, <Sessione ID>)/Ritorna il giudizio per la <Situazione ID> e la " "\r"
     "<Sessione ID> indicate.",
     nullptr},
    {"GetTotCredito",
     "GetTotCredito(<Anagrafica ID>)/Ritorna il credito per <Anagrafica ID> indicato ",
     nullptr},
    {"Assenze_Religione",
     "Assenze_Religione(<Situazione ID>, <Sessione ID>)/Ritorna le assenze di religione per la <Situazione ID> " "\r"
     "e la <Sessione ID> indicate.",
     nullptr},
    {"Get_SituazioneId",
     "GetSituazioneId(<Anagrafica ID>, <Anno>)/Ritorna il codice <Situazione ID> per il codice " "\r"
     "<Anagrafica ID> e <Anno> indicati.",
     nullptr},
    {"Get_InfDebiti",
     "Get_InfDebiti(<Situazione ID>)/Ritorna lo stato dei debiti per la <Situazione ID> indicata." "\r"
     "Possibili valori di ritorno: NESSUN DEBITO," "\r"
     "DEBITI NON SANATI, DEBITI SANATI ",
     nullptr},
    {"GetCredito",
     "GetCredito(<Situazione ID>, <RESULT>)/Ritorna il valore <RESULT> del credito associato alla <Situazione ID> indicata." "\r"
     "",
     nullptr},
    {"GetMatAlunno",
     "GetMatAlunno(<Situazione ID>, <Materia ID>)/ Ritorna SI se la materia <Materia ID> è associata al piano di studi " "\r"
     "dell'alunno indicato da <Situazione ID>, NO in caso contrario.",
     nullptr},
    {"GetCmpMateria",
     "GetCmpMateria(<Materia ID>, <Sessione ID>, <Componente ID>)/ Ritorna SI se la componente <Componente ID> è associata alla materia " "\r"
     "indicata da <Materia ID> per la <Materia ID> indicata, NO in caso contrario.",
     nullptr},
    {"RoundTo",
     "RoundTo(<Valore>, <Cifre>)/ Arrotonda un <Valore> con la virgola al numero di <Cifre> specificate.",
     nullptr},
    {"OreLezioneAnno",
     "OreLezioneAnno(<MatPst ID>)/ Ritorna il numero di ore di lezione in un anno per <MatPst> indicato.",
     nullptr},
    {"OreLezioneSett",
     "OreLezioneSett(<MatPst ID>)/ Ritorna il numero di ore di lezione in una settimana per <MatPst> indicato.",
     nullptr},
    {"Percentuale",
     "RoundTo(<Valore1>, <Valore2>)/ Calcola la percentuale tra <Valore1> e <Valore2>.",
     nullptr},
    {"EsitoInStampa",
     "EsitoInStampa(<Situazione ID>)/  <Situazione ID>.",
     nullptr},
    {"GetNote",
     "GetNote(<Situazione ID>, <Tipo totale>, <Parametro>)/Ritorna la nota di una materia," "\r"
     "l'anno o la materia indicate. Possibili valori per <Tipo Media>:" "\r"
     "MAT. Il valore di <Parametro> varia in base al valore di <Tipo Media>.",
     nullptr},
    {"GetCoordinatore",
     "GetCoordinatore(<Valore1>)/ Ritorna il nome del docente coordinatore per la classe passata.",
     nullptr},
    {"GetElencoRec",
     "GetElencoRec(<Sess. rec.>, <Id Situaz.>, <Tipo descr>)/ Restituisce la lista delle materie per le quali è necessario un recupero Se Tipo descr è: \"BREVE\" restituisce la sigla. Se Tipo descr è: \"LUNGA\" restituisce la materia ",
     nullptr},
    {"SetFaseRecupero",
     "(<Fase>)/Imposta la <Fase> selezionata",
     nullptr},
    {"GetRec",
     "GetRec(<Id Situaz.>, <Id Materia>, <Tipo descr>)/ Restituisce il recupero per alunno e materia indicati. Se Tipo descr è: \"BREVE\" restituisce la sigla. Se Tipo descr è: \"LUNGA\" restituisce la descrizione lunga ",
     nullptr},
    {"GetEsitoRec",
     "GetRec(<Id Situaz.>, <Id Materia>, <Tipo descr>)/ Restituisce l'esito recupero per alunno e materia indicati. Se Tipo descr è: \"BREVE\" restituisce la sigla. Se Tipo descr è: \"LUNGA\" restituisce la descrizione lunga ",
     nullptr},
    {"GetProvaRec",
     "GetRec(<Id Situaz.>, <Id Materia>, <Tipo descr>)/ Restituisce l'esito recupero per alunno e materia indicati. Se Tipo descr è: \"BREVE\" restituisce la sigla. Se Tipo descr è: \"LUNGA\" restituisce la descrizione lunga ",
     nullptr},
    {"NewVolume", nullptr, nullptr},
    {"NewClasse", nullptr, nullptr},
    {"NewAlunno", nullptr, nullptr},
    {"DataSessione",
     "DataSessione(<Sessione ID>/ Restituisce la data finale della sessione passata.",
     nullptr},
    {"ScriviDettPagina", nullptr, nullptr},
    {"ScriviGoogleSearch", nullptr, nullptr},
    {"RegistroEsami", nullptr, nullptr},
    {"PaginaVuota", nullptr, nullptr},
    {"GetPreside", nullptr, nullptr},
    {"GetProveQualifica", nullptr, nullptr},
    {"Percentuale_Assenze",
     "Percentuale assenze(<Id Situazione>)/ Restituisce la percentuale delle assenze dell'alunno",
     nullptr},
    {"MaxOre_Assenze_Consentite",
     "Max numero assenze(<Id Situazione>)/ Restituisce il numero massimo di assenze consentite (un quarto del monte ore annuale)",
     nullptr},
    {"MinOre_Frequenza",
     "Frequenza minima(<Id Situazione>)/ Restituisce la frequenza minima (tre quarti del monte ore annuale)",
     nullptr},
    {"GetTotMatAssenze",
     "GetTotMatAssenze(<Classe ID>, <Sessione ID>, <Materia ID>)/Ritorna il totale delle assenze di una materia per sessione o per tutte le sessioni.",
     nullptr},
    {"Ordine_Scuola", "", nullptr},
    {"Voto_Altro",
     "Voto_Altro(<Sessione>, <Valore da Stampare>, <Materia ID>)/Ritorna il voto per la <Sessione> scelta e per le componenti diverse dalle prime 3 selezionate.",
     kVoteTail},
};
// clang-format on
static_assert(std::size(kFunctions) == QelRptFunctionCount);

const QelFunctionHandlers &handlers()
{
    static const QelFunctionHandlers table = [] {
        QelFunctionHandlers h{};
        qelAddVoteFunctions(h);
        qelAddLookupFunctions(h);
        qelAddTotalsFunctions(h);
        qelAddPupilRecordFunctions(h);
        qelAddRegisterFunctions(h);
        return h;
    }();
    return table;
}

// Where a failed conversion or rounding only empties the result: an id that is not a number
// leaves a blank on the page, not a report that will not print.
bool conversionEmptiesResult(int number)
{
    return (number >= fnVoto && number <= fnGetCoordinatore) || number == fnVoto_Altro;
}

} // namespace

TfrQelFunctionLibrary::TfrQelFunctionLibrary()
{
    for (const Function &f : kFunctions)
        List << QString::fromLatin1(f.name);
    for (const Function &f : kFunctions) {
        if (f.description)
            AddFunctionDesc(QString::fromLatin1(f.name), QStringLiteral("Tavrin"),
                            QString::fromUtf8(f.description) + QString::fromUtf8(f.tail));
    }
}

void TfrQelFunctionLibrary::DoFunction(int FNo, const QString &p1, const QString &p2,
                                       const QString &p3, QVariant &val)
{
    val = QStringLiteral("0");
    const QelFunctionHandler handler =
        FNo >= 0 && FNo < QelRptFunctionCount ? handlers()[std::size_t(FNo)] : nullptr;
    if (!handler)
        throw EfrError(QStringLiteral("La funzione di stampa %1 non è ancora disponibile in "
                                      "Tavrin: il report non può essere preparato.")
                           .arg(List.value(FNo)));
    QelFunctionCall call{{p1, p2, p3}, val};
    try {
        handler(call);
    } catch (const EfrConversionError &) {
        if (!conversionEmptiesResult(FNo))
            throw;
        val = QString();
    } catch (const EfrRoundingError &) {
        if (!conversionEmptiesResult(FNo))
            throw;
        val = QString();
    }
}

// --- What every function keeps --------------------------------------------------------------

QVariant QelFunctionCall::arg(int index) const
{
    const QString &text = p.at(std::size_t(index));
    return text.trimmed().isEmpty() ? QVariant() : frParser.Calc(text);
}

bool qelBlank(const QVariant &value)
{
    return frDisplayText(value).trimmed().isEmpty();
}

QString qelSelector(const QVariant &value)
{
    return frDisplayText(value).toUpper();
}

int qelId(const QVariant &value)
{
    const qint64 id = frToInteger(value);
    if (id < std::numeric_limits<int>::min() || id > std::numeric_limits<int>::max())
        throw EfrConversionError(
            QStringLiteral("«%1» non è un codice valido.").arg(frDisplayText(value)));
    return int(id);
}

TdmqelRptDataSets &qelRptModule()
{
    if (!dmqelRptDataSets)
        throw EfrError(QStringLiteral("I dati delle stampe non sono disponibili: aprire la "
                                      "finestra principale di Tavrin."));
    return *dmqelRptDataSets;
}

TfrQuery &qelOpenScratch(const QString &sql, const QelParams &params)
{
    return qelOpenQuery(*qelRptModule().qquGetDato, sql, params);
}

TfrQuery &qelSetQuery(TfrQuery &q, const QString &sql, const QelParams &params)
{
    q.Close();
    q.setSQL(sql);
    q.Params().clear();
    for (const auto &[name, value] : params) {
        const bool text = value.typeId() == QMetaType::QString;
        q.DeclareParam(QString::fromLatin1(name), text ? TfrParamType::Text : TfrParamType::Integer)
            .setValue(value);
    }
    return q;
}

TfrQuery &qelSetScratch(const QString &sql, const QelParams &params)
{
    return qelSetQuery(*qelRptModule().qquGetDato, sql, params);
}

TfrQuery &qelOpenQuery(TfrQuery &q, const QString &sql, const QelParams &params)
{
    qelSetQuery(q, sql, params);
    q.Open();
    return q;
}

TfrRows qelRowsOfPupil(const QString &select, const QString &from, const char *pupil, int sitId,
                       const QString &condition, const QelParams &conditionParams,
                       const QString &columns, const QString &tail)
{
    const QString column = QLatin1String(pupil);
    qelSetScratch(select + from + QStringLiteral("WHERE (%1 = :iSitId)").arg(column) + condition,
                  QelParams{{"iSitId", sitId}} + conditionParams);
    return qelPupilRows({select + from,
                         select + QStringLiteral(", %1 AS BatchKey").arg(column) + columns + from +
                             QStringLiteral("WHERE %1 IN (%KEYS%)").arg(column) + tail,
                         QelPupilKey::Situation},
                        sitId);
}

TfrQuery &qelOpenScratchOfPupil(const QString &select, const QString &from, const char *pupil,
                                int sitId, const QString &condition,
                                const QelParams &conditionParams)
{
    const QString column = QLatin1String(pupil);
    TfrQuery &q = qelSetScratch(select + from + QStringLiteral("WHERE (%1 = :iSitId)").arg(column) +
                                    condition,
                                QelParams{{"iSitId", sitId}} + conditionParams);
    const QelPupilRead read{select + from + condition,
                            select + QStringLiteral(", %1 AS BatchKey").arg(column) + from +
                                QStringLiteral("WHERE (%1 IN (%KEYS%))").arg(column) + condition,
                            QelPupilKey::Situation};
    TVxFieldValues values;
    for (const auto &[name, value] : conditionParams)
        values.setValue(QLatin1String(name), value);
    q.RunReader = [&](const TfrQuery &, const TVxFieldValues &) -> std::optional<TfrRows> {
        return qelOwnColumns(qelPupilRows(read, sitId, values));
    };
    const auto readerGoes = qScopeGuard([&q] { q.RunReader = nullptr; });
    q.Open();
    return q;
}

bool qelArgsNotBlank(QelFunctionCall &call, int count, QList<QVariant> &args)
{
    for (int i = 0; i < count; ++i)
        args << call.arg(i);
    if (std::none_of(args.begin(), args.end(), qelBlank))
        return true;
    call.val = QString();
    return false;
}

TfrQuery *qelOpenOnIds(QelFunctionCall &call, const QString &sql,
                       std::initializer_list<const char *> ids, const QelParams &more)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, int(ids.size()), args))
        return nullptr;
    QelParams params;
    int i = 0;
    for (const char *id : ids)
        params.append({id, qelId(args.at(i++))});
    return &qelOpenScratch(sql, params + more);
}

QString qelFirstText(TfrQuery &q)
{
    const QString text = frDisplayText(q.Value(0));
    q.Close();
    return text;
}

namespace {

template <class T> T settingOfRun(const TVxPar<T> &setting)
{
    TfrRunCache *cache = TfrRunCache::current();
    if (!cache)
        return setting.GetValore();
    auto &read = cache->state<QHash<const void *, T>>(QStringLiteral("qelPrintSettings"));
    const auto found = read.constFind(&setting);
    return found != read.constEnd() ? *found : *read.insert(&setting, setting.GetValore());
}

} // namespace

int qelPrintSetting(const TVxParInteger &setting)
{
    return settingOfRun(setting);
}

QString qelPrintSetting(const TVxParString &setting)
{
    return settingOfRun(setting);
}

QString qelFixed2(double value)
{
    return QString::number(RoundHalfAway(value, -2), 'f', 2)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}
