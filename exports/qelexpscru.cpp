#include "exports/qelexpscru.h"

#include "platform/connection.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "xls/xlsmessages.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

static void initExportTemplates()
{
    // Resources of a static library are registered by hand.
    Q_INIT_RESOURCE(exports);
}

namespace {

// Every count reads the votes of the working session of the pupils of the working year on
// the register (their first situation), by class, site and year of course. %1 is the subject
// whose code and description count: the main subject, or the subject itself. A subject with
// no main subject is its own.
const char kFromWhere[] =
    "FROM TSit_Situazioni Sit "
    "INNER JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = Sit.iAnaId) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "INNER JOIN TCls_Classi Cls ON (Cls.iClsId = ClsPst.iClsId) "
    "INNER JOIN TAcs_AnniCorso Acs ON (Acs.iAcsId = Cls.iAcsId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsId = Cls.iClsId) "
    "INNER JOIN TClsSesMat ClsSesMat ON (ClsSesMat.iClsSesId = ClsSes.iClsSesId) "
    "INNER JOIN TClsMatCmp ClsMatCmp ON (ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId) "
    "INNER JOIN TVot_Voti Vot ON (Vot.iClsMatCmpId = ClsMatCmp.iClsMatCmpId "
    "AND Vot.iSitId = Sit.iSitId) "
    "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Vot.iScaLivId) "
    "INNER JOIN TMatRma Rma ON (Rma.iMatRmaId = ClsSesMat.iMatRmaId) "
    "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = %1) "
    "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND Sit.iSitPosReg > 0 AND Sit.iSitOrdine = 1 "
    "AND Sit.dStart = (SELECT Ans.dAnsVextoInizio FROM TAns_AnniScolast Ans "
    "WHERE Ans.iAnsId = :iAnsId) "
    "AND (Cls.iDwgSedId = :iDwgSedId OR :iDwgSedId = 0) "
    "AND Acs.iAcsAnnoCorso BETWEEN 1 AND :iMaxAnno "
    "AND (Mat.sMatCodVexto IS NULL OR Mat.sMatCodVexto <> :sReligione)";

const char kMainSubject[] = "COALESCE(Rma.iMatId_P, Rma.iMatId)";
const char kOwnSubject[] = "Rma.iMatId";

// Pupils, not votes, for every measure: a pupil with two insufficient conduct components is one
// pupil with insufficient conduct.
const char kCountSelect[] = "SELECT Acs.iAcsAnnoCorso, COUNT(DISTINCT Sit.iSitId), "
                            "COUNT(DISTINCT CASE WHEN Ana.iSexId = :iSexIdF THEN Sit.iSitId END) ";

const char kInsufficient[] = " AND ScaLiv.iScaLivSufficiente = 0 AND ScaLiv.iScaLivInMedia = 1";
const char kNotClassified[] =
    " AND ScaLiv.iScaLivSufficiente = 0 AND EXISTS (SELECT 1 FROM TLiv_Livelli Liv "
    "WHERE Liv.iLivId = ScaLiv.iLivId AND Liv.sLivSDesc = :sNonClassif)";
// An insufficient conduct vote, and the pupil's other insufficient votes of the class session.
const char kConduct[] =
    " AND ScaLiv.iScaLivSufficiente = 0 AND Mat.sMatCodVexto = :sCondotta "
    "AND (SELECT COUNT(*) FROM TVot_Voti VotAltre "
    "INNER JOIN TClsMatCmp CmpAltre ON (CmpAltre.iClsMatCmpId = VotAltre.iClsMatCmpId) "
    "INNER JOIN TClsSesMat SesMatAltre ON (SesMatAltre.iClsSesMatId = CmpAltre.iClsSesMatId) "
    "INNER JOIN TScaLiv LivAltre ON (LivAltre.iScaLivId = VotAltre.iScaLivId) "
    "INNER JOIN TMatRma RmaAltre ON (RmaAltre.iMatRmaId = SesMatAltre.iMatRmaId) "
    "INNER JOIN TMat_Materie MatAltre ON "
    "(MatAltre.iMatId = COALESCE(RmaAltre.iMatId_P, RmaAltre.iMatId)) "
    "WHERE VotAltre.iSitId = Sit.iSitId AND SesMatAltre.iClsSesId = ClsSes.iClsSesId "
    "AND LivAltre.iScaLivSufficiente = 0 AND LivAltre.iScaLivInMedia = 1 "
    "AND (MatAltre.sMatCodVexto IS NULL "
    "OR MatAltre.sMatCodVexto NOT IN (:sCondotta, :sReligione))) %1";

const char kSubjectVotes[] =
    "SELECT Acs.iAcsAnnoCorso, Ana.iSexId, Sit.iSitId, Rma.iMatId, Mat.sMatLDesc, "
    "Mat.sMatCodVexto, ScaLiv.iScaLivValore, ScaLiv.iScaId ";

const char kSufficientValues[] =
    "SELECT ScaLiv.iScaLivValore FROM TScaLiv ScaLiv WHERE ScaLiv.iScaId = :iScaId "
    "AND ScaLiv.iScaLivSufficiente = 1 AND ScaLiv.iScaLivInMedia = 1";

const char kYearText[] =
    "SELECT VAns.sAnsAnnoDesc FROM VAns_AnniScolast VAns WHERE VAns.iAnsId = :iAnsId";

const char kSites[] = "SELECT VSed.iDwgSedId, VSed.sSedNomSDesc FROM VSed_Sedi VSed "
                      "WHERE VSed.iDwgId = :iDwgId";

const char kClasses[] =
    "SELECT VCls.iClsId, VCls.sClsDesc FROM VCls_Classi VCls "
    "LEFT JOIN TAns_AnniScolast Ans ON "
    "(VCls.dStart_Cls BETWEEN Ans.dAnsVextoInizio AND Ans.dAnsVextoFine) "
    "WHERE Ans.iAnsId = :iAnsId AND VCls.iDwgId = :iDwgId "
    "AND (VCls.iDwgSedId = :iDwgSedId OR :iDwgSedId = 0) ORDER BY VCls.iClsOrdine";

const int kSexGirls = 2;
const char kConductRow[] = "<MAT>Comportamento";
const int kConductOrder = 999;

const char *const kTemplates[] = {"ESI2G.XLS", "ESI1G.XLS"}; // upper, lower secondary

// The rows of the sheet that the tagged result rows start on, and the caption's row.
struct SheetLayout
{
    int esiti, mat, cond, caption;
};
const SheetLayout kUpperLayout = {30, 39, 48, 7};
const SheetLayout kLowerLayout = {24, 33, 42, 4};

// The subject's description as the sheet shows it: its first apostrophe gone, trimmed, so that
// "CIVILTA'" and "CIVILTA" share a row.
QString subjectDescription(QString text)
{
    const qsizetype apostrophe = text.indexOf(QLatin1Char('\''));
    if (apostrophe >= 0)
        text.remove(apostrophe, 1);
    return text.trimmed();
}

QString countColumn(int year, bool girls)
{
    return QString::number(year) + (girls ? QStringLiteral("f") : QString());
}

} // namespace

TdmQelExpScru::TdmQelExpScru(QObject *owner) : QObject(owner)
{
    XLSAdapter.setTemplateStore(&XlsTemplateStore);
    cdsRisultatoEsiti.AddFieldDef(QStringLiteral("Descrizione"), ftString, 150);
    for (const bool girls : {false, true})
        for (int year = 1; year <= 5; ++year)
            cdsRisultatoEsiti.AddFieldDef(countColumn(year, girls), ftInteger);
    cdsRisultatoEsiti.AddFieldDef(QStringLiteral("ordine"), ftInteger);
    cdsRisultatoEsiti.CreateDataSet();
    cdsRisultatoEsiti.AddIndex(QStringLiteral("ORDINE"), QStringLiteral("ordine"));
    cdsRisultatoEsiti.setIndexName(QStringLiteral("ORDINE"));
}

TdmQelExpScru::~TdmQelExpScru() = default;

void TdmQelExpScru::LoadSedi(QComboBox *items, int iDwgId)
{
    LoadEnumValues(qqoVxGlobConn(), items, QString::fromLatin1(kSites),
                   valuesOf({{"iDwgId", AggregateiDwgId(iDwgId)}}));
}

TVxEnumItems TdmQelExpScru::Classi(int iAnsId, int iDwgId, int iDwgSedId)
{
    return LoadEnumItems(
        qqoVxGlobConn(), QString::fromLatin1(kClasses),
        valuesOf(
            {{"iAnsId", iAnsId}, {"iDwgId", AggregateiDwgId(iDwgId)}, {"iDwgSedId", iDwgSedId}}));
}

QString TdmQelExpScru::TemplatesDir()
{
    return mainSubDir(QStringLiteral("USR/Qel"));
}

QString TdmQelExpScru::TemplatePath() const
{
    return resolvePath(TemplatesDir() + QString::fromLatin1(kTemplates[m_scuolaMedia ? 1 : 0]));
}

bool TdmQelExpScru::InstallTemplates()
{
    initExportTemplates();
    const QString dir = TemplatesDir();
    bool installed = true;
    for (const char *name : kTemplates) {
        const QString target = resolvePath(dir + QString::fromLatin1(name));
        if (QFileInfo::exists(target))
            continue;
        QFile source(QStringLiteral(":/exports/templates/") + QString::fromLatin1(name));
        if (!source.open(QIODevice::ReadOnly)) {
            installed = false;
            continue;
        }
        try {
            VxReplaceFile(target, source.readAll());
        } catch (const EVxException &) {
            installed = false;
        }
    }
    return installed;
}

void TdmQelExpScru::step(const QString &text)
{
    if (OnStep)
        OnStep(text);
}

TVxFieldValues TdmQelExpScru::commonValues() const
{
    TVxFieldValues values = valuesOf({{"iAnsSesDwgId", TVxWorkingContext::session()},
                                      {"iAnsId", TVxWorkingContext::schoolYear()},
                                      {"iDwgSedId", m_iDwgSedId},
                                      {"iMaxAnno", maxAnno()},
                                      {"sReligione", QStringLiteral("RELIGIONE")}});
    for (int i = 0; i < m_classi.size(); ++i)
        values.setValue(QStringLiteral("iClsId%1").arg(i), m_classi.at(i));
    return values;
}

QString TdmQelExpScru::countSql(const QString &subject) const
{
    QString sql = QString::fromLatin1(kFromWhere).arg(subject);
    // The chosen classes are bound one parameter each.
    if (!m_classi.isEmpty()) {
        QStringList names;
        for (int i = 0; i < m_classi.size(); ++i)
            names << QStringLiteral(":iClsId%1").arg(i);
        sql += QStringLiteral(" AND Cls.iClsId IN (") + names.join(QStringLiteral(", ")) +
               QLatin1Char(')');
    }
    return sql;
}

void TdmQelExpScru::countPupils(const QString &descrizione, const QString &measure,
                                const TVxFieldValues &extra)
{
    TVxFieldValues values = commonValues();
    values.setValue(QStringLiteral("iSexIdF"), kSexGirls);
    for (int i = 0; i < extra.size(); ++i)
        values.setValue(extra.name(i), extra.value(i));
    const QString sql = QString::fromLatin1(kCountSelect) +
                        countSql(QString::fromLatin1(kMainSubject)) + measure +
                        QStringLiteral(" GROUP BY Acs.iAcsAnnoCorso");
    Row row;
    row.descrizione = descrizione;
    row.ordine = int(m_rows.size());
    TVxTransactionScope scope(qqoVxGlobConn());
    QSqlQuery &q = scope.transaction().Exec(sql, values);
    while (fetchNext(q)) {
        const int year = q.value(0).toInt();
        row.counts[0][year - 1] = q.value(1).toInt();
        row.counts[1][year - 1] = q.value(2).toInt();
    }
    m_rows.push_back(row);
}

bool TdmQelExpScru::IsSufficientValue(int iScaId, int value)
{
    auto found = m_sufficientValues.constFind(iScaId);
    if (found == m_sufficientValues.constEnd()) {
        QSet<int> values;
        VxEachRow(
            qqoVxGlobConn(), QString::fromLatin1(kSufficientValues), valuesOf({{"iScaId", iScaId}}),
            [&values](const QSqlQuery &q, const QSqlRecord &) { values << q.value(0).toInt(); });
        found = m_sufficientValues.insert(iScaId, values);
    }
    return found->contains(value);
}

// One pupil's votes in one subject make a group; a group whose average, truncated, is no
// sufficient value of its scale counts once, in the row of its description (with the main
// subjects, the row of the main subject). Rows are made in the order the subjects appear.
void TdmQelExpScru::countSubjects()
{
    const bool mainSubjects = MateriePrincipali || m_classi.isEmpty();
    const QString sql = QString::fromLatin1(kSubjectVotes) +
                        countSql(QString::fromLatin1(mainSubjects ? kMainSubject : kOwnSubject)) +
                        QStringLiteral(" AND ScaLiv.iScaLivInMedia = 1 "
                                       "ORDER BY Acs.iAcsAnnoCorso, Sit.iSitId, Rma.iMatId");
    QHash<QString, size_t> rowOf;
    int nextOrder = int(m_rows.size());
    struct Group
    {
        int iSitId = 0, iMatId = 0, year = 0, iScaId = 0, votes = 0;
        bool girl = false;
        double sum = 0;
        size_t row = 0;
    } group;
    auto close = [this, &group] {
        if (group.votes == 0)
            return;
        const double average = group.sum / group.votes;
        if (!IsSufficientValue(group.iScaId, int(std::trunc(average)))) {
            Row &row = m_rows[group.row];
            ++row.counts[0][group.year - 1];
            if (group.girl)
                ++row.counts[1][group.year - 1];
        }
        group.votes = 0;
    };

    TVxTransactionScope scope(qqoVxGlobConn());
    QSqlQuery &q = scope.transaction().Exec(sql, commonValues());
    while (fetchNext(q)) {
        const int iSitId = q.value(2).toInt();
        const int iMatId = q.value(3).toInt();
        if (group.votes == 0 || iSitId != group.iSitId || iMatId != group.iMatId) {
            close();
            const QString descrizione =
                q.value(5).toString().trimmed() == QLatin1String("CONDOTTA")
                    ? QString::fromLatin1(kConductRow)
                    : QStringLiteral("<MAT>") + subjectDescription(q.value(4).toString());
            auto found = rowOf.constFind(descrizione);
            if (found == rowOf.constEnd()) {
                Row row;
                row.descrizione = descrizione;
                row.ordine =
                    descrizione == QLatin1String(kConductRow) ? kConductOrder : nextOrder++;
                m_rows.push_back(row);
                found = rowOf.insert(descrizione, m_rows.size() - 1);
            }
            group = Group{iSitId,
                          iMatId,
                          q.value(0).toInt(),
                          q.value(7).toInt(),
                          0,
                          q.value(1).toInt() == kSexGirls,
                          0,
                          *found};
        }
        group.sum += q.value(6).toDouble();
        ++group.votes;
    }
    close();
}

void TdmQelExpScru::fillResult()
{
    TClientDataSet &cds = cdsRisultatoEsiti;
    for (const Row &row : m_rows) {
        cds.Append();
        cds.FieldByName(QStringLiteral("Descrizione"))->setValue(row.descrizione);
        for (int girls = 0; girls < 2; ++girls)
            for (int year = 1; year <= maxAnno(); ++year)
                cds.FieldByName(countColumn(year, girls))->setValue(row.counts[girls][year - 1]);
        cds.FieldByName(QStringLiteral("ordine"))->setValue(row.ordine);
        cds.Post();
    }
    cds.First();
}

bool TdmQelExpScru::ComputeEsitiScrutinio()
{
    cdsRisultatoEsiti.EmptyDataSet();
    m_rows.clear();
    // One snapshot for every count: the rows tally with one another.
    TVxTransactionScope scope(qqoVxGlobConn());
    step(QStringLiteral("Calcolo scrutinati"));
    countPupils(QStringLiteral("<ESITI>Scrutinati"), QString());
    step(QStringLiteral("Calcolo scrutinati con insufficienze"));
    countPupils(QStringLiteral("<ESITI> con insufficienze"), QString::fromLatin1(kInsufficient));
    step(QStringLiteral("Calcolo scrutinati non classificati"));
    countPupils(QStringLiteral("<ESITI> non classificati"), QString::fromLatin1(kNotClassified),
                valuesOf({{"sNonClassif", QStringLiteral("NC")}}));
    const TVxFieldValues conduct = valuesOf({{"sCondotta", QStringLiteral("CONDOTTA")}});
    step(QStringLiteral("Calcolo rendimento e comportamento"));
    countPupils(QStringLiteral("<COND>Insufficienza solo comportamento"),
                QString::fromLatin1(kConduct).arg(QStringLiteral("= 0")), conduct);
    step(QStringLiteral("Calcolo rendimento e comportamento con insufficienze in 3 materie"));
    countPupils(QStringLiteral("<COND>Insufficienza comportamento e 3 discipline"),
                QString::fromLatin1(kConduct).arg(QStringLiteral(">= 3")), conduct);
    step(QStringLiteral("Calcolo insufficienze per disciplina"));
    countSubjects();
    scope.Commit();
    fillResult();
    return true;
}

void TdmQelExpScru::WriteEsitiWorkbook(const QString &templateName, const QString &outputName)
{
    const QString name = templateName.isEmpty() ? TemplatePath() : templateName;
    const SheetLayout &layout = m_scuolaMedia ? kLowerLayout : kUpperLayout;
    XlsTemplateStore.Templates.Add();
    XlsTemplateStore.Templates.GetTemplateItem(0).setFileName(name);
    std::unique_ptr<xls::TXLSFile> file = XLSAdapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(name);

    TClientDataSet &cds = cdsRisultatoEsiti;
    int r = 0;
    bool firstSubject = true;
    for (cds.First(); !cds.Eof(); cds.Next()) {
        const QString descrizione = cds.FieldByName(QStringLiteral("Descrizione"))->AsString();
        const bool subject = descrizione.contains(QLatin1String("<MAT>"));
        if (subject) {
            // Each further subject gets a copy of the template's subject row; everything below,
            // the conduct rows already written included, moves down one row.
            if (firstSubject)
                r = layout.mat;
            else
                file->InsertAndCopyRows(layout.mat, layout.mat, r, 1, false);
            firstSubject = false;
        } else if (descrizione.contains(QLatin1String("<ESITI>")) && layout.esiti >= r) {
            r = layout.esiti;
        } else if (descrizione.contains(QLatin1String("<COND>")) && layout.cond >= r) {
            r = layout.cond;
        }
        int col = subject ? 0 : 5;
        for (int f = 0; f < cds.FieldCount(); ++f) {
            const TField *field = cds.Fields(f);
            const QString fieldName = field->FieldName();
            const bool isDescription = fieldName == QLatin1String("Descrizione");
            if ((isDescription && !subject) || fieldName.toUpper() == QLatin1String("ORDINE") ||
                (m_scuolaMedia && fieldName.at(0).isDigit() && fieldName.at(0) > QLatin1Char('3')))
                continue;
            file->SetCellValue(r, col,
                               isDescription
                                   ? QVariant(QString(descrizione).remove(QLatin1String("<MAT>")))
                                   : QVariant(field->AsInteger()));
            // The template's formula cells are stepped over, never overwritten.
            ++col;
            if (file->GetCellValueX(r, col).IsFormula)
                ++col;
            if (subject && col == 1)
                col = 5;
        }
        ++r;
    }

    QString yearText;
    VxEachRow(
        qqoVxGlobConn(), QString::fromLatin1(kYearText),
        valuesOf({{"iAnsId", TVxWorkingContext::schoolYear()}}),
        [&yearText](const QSqlQuery &q, const QSqlRecord &) { yearText = q.value(0).toString(); });
    file->SetCellValue(layout.caption, 0, QStringLiteral("ANNO SCOLASTICO ") + yearText);

    // The library writes to the stream it is given; the old file is replaced only on commit.
    TVxFileReplacement out(outputName);
    if (!out.open())
        throw out.failure();
    try {
        file->Save(false, outputName, {}, {}, &out);
    } catch (const xls::EExcelException &) {
        // The stream's own refusal (a full disk) in the office's words, naming the file.
        if (out.failed())
            throw out.failure();
        throw;
    }
    out.commit();
    file->ReleaseWorkbook();
}
