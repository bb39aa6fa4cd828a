#include "exchange/qelportalpackages.h"

#include "exchange/qelportalpackets.h"
#include "platform/connection.h"
#include "platform/fileaccess.h"
#include "platform/sqlclientdataset.h"
#include "platform/temppath.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/zip.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace QelPortalPackets;

namespace {

// The packets of the pupils' portal. The repository's are the same names in lower case.
const QString kEsitoFinale = QStringLiteral("EsitoFinale.cds");
const QString kVoti = QStringLiteral("Voti.cds");
const QString kVotiProp = QStringLiteral("VotiProp.cds");
const QString kTassonomie = QStringLiteral("Tassonomie.cds");
const QString kNote = QStringLiteral("Note.cds");
const QString kEsiCreGiu = QStringLiteral("EsiCreGiu.cds");
const QString kArchive = QStringLiteral("tmpqel.zip");
// Packages are committed together every few seconds: each commit waits for the disk, and the
// rows written stay locked for other offices no longer than that, well within their lock wait.
constexpr qint64 kCommitEveryMs = 5000;

const char kSessionKind[] =
    "SELECT TASD.iSfiId FROM TAnsSesDwg TASD INNER JOIN TSes_Sessione TSes "
    "ON (TSes.iSesId = TASD.iSesId) WHERE TASD.iAnsSesDwgId = :iAnsSesDwgId";
const char kStorePackage[] =
    "UPDATE TClsSes SET bClsSesRepos = :bClsSesRepos WHERE iClsSesId = :iClsSesId";
const char kClearPackage[] = "UPDATE TClsSes SET bClsSesRepos = NULL WHERE iClsSesId = :iClsSesId";

const char kInstitutes[] =
    "SELECT VDow.iDwgId, VDow.sDowSDesc FROM VDow_DataOwner VDow "
    "WHERE (VDow.iDowId IS NOT NULL) ORDER BY VDow.sDowSDesc, VDow.dStart_Dwg";
const char kClassSessions[] =
    "SELECT TClsSes.iClsSesId, VCls.sClsDesc FROM TClsSes TClsSes "
    "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsSes.iClsId) "
    "INNER JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = VCls.dStart_Cls) "
    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
    "WHERE %1 ORDER BY VCls.iClsOrdine";
const char kRepositoryClassSessions[] =
    "SELECT TClsSes.iClsSesId FROM TClsSes TClsSes "
    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
    "WHERE (TAsd.iDwgId = :iDwgId OR CAST(:iDwgId AS INTEGER) = 0) AND TAsd.iAnsId = :iAnsId "
    "AND (TAsd.iAnsSesDwgId = :iAnsSesDwgId OR CAST(:iAnsSesDwgId AS INTEGER) = 0)";

// The packets' sources. Every one binds the class session; the comments are placeholders
// replaced by the choice of suspended pupils (votes) and by the deferred session (outcomes).
const QString kSuspendedTag = QStringLiteral("/*TAG_SOSP*/");
const QString kDeferredTag = QStringLiteral("/*TAG_DIFF*/");

// Pupils' portal: from the class session's subjects to the situations of their plans and the
// components of the subjects.
#define WEB_CHAIN                                                                                  \
    "FROM TClsSesMat csm "                                                                         \
    "INNER JOIN TMatRmaPst mrp ON (mrp.iMatRmaId = csm.iMatRmaId) "                                \
    "INNER JOIN TMatRma mr ON (mr.iMatRmaId = mrp.iMatRmaId) "                                     \
    "INNER JOIN TMat_Materie mat ON (mat.iMatId = mr.iMatId) "                                     \
    "INNER JOIN TClsPst cp ON (cp.iPstId = mrp.iPstId) "                                           \
    "INNER JOIN TSit_Situazioni sit ON (sit.iClsPstId = cp.iClsPstId) "                            \
    "INNER JOIN TClsMatCmp cmc ON (cmc.iClsSesMatId = csm.iClsSesMatId) "                          \
    "INNER JOIN TCmpSca cs ON (cs.iCmpScaId = cmc.iCmpScaId) "                                     \
    "INNER JOIN TCmp_Componenti cmp ON (cmp.iCmpId = cs.iCmpId) "
#define WEB_GRADE_COLUMNS "SELECT DISTINCT sit.iAnaId, mat.iMatId, mat.sMatLDesc, cmp.sCmpLDesc, "
#define WEB_ORDER " ORDER BY sit.iSitId, mrp.iMatRmaPstOrdine"

const char kWebVotes[] = WEB_GRADE_COLUMNS
    "liv.sLivSDesc, mrp.iMatRmaPstOrdine " WEB_CHAIN
    "INNER JOIN TVot_Voti vot ON (vot.iSitId = sit.iSitId AND vot.iClsMatCmpId = cmc.iClsMatCmpId) "
    "INNER JOIN TScaLiv sl ON (sl.iScaLivId = vot.iScaLivId) "
    "INNER JOIN TLiv_Livelli liv ON (liv.iLivId = sl.iLivId) "
    "LEFT JOIN TPosFin pf ON (pf.iPosFinId = sit.iPosFinId) "
    "WHERE csm.iClsSesId = :iClsSesId /*TAG_SOSP*/" WEB_ORDER;
const char kWebProposed[] =
    WEB_GRADE_COLUMNS "prp.sPrpSDesc, mrp.iMatRmaPstOrdine " WEB_CHAIN
                      "INNER JOIN TVtp_Proposti vtp ON (vtp.iSitId = sit.iSitId AND "
                      "vtp.iClsMatCmpId = cmc.iClsMatCmpId) "
                      "INNER JOIN TPrpScaLiv psl ON (psl.iPrpScaLivId = vtp.iPrpScaLivId) "
                      "INNER JOIN TPrp_Proposti prp ON (prp.iPrpId = psl.iPrpId) "
                      "WHERE csm.iClsSesId = :iClsSesId" WEB_ORDER;
const char kWebTaxonomies[] =
    WEB_GRADE_COLUMNS "liv.sLivSDesc, mrp.iMatRmaPstOrdine " WEB_CHAIN
                      "INNER JOIN TTas_Tassonomie tas ON (tas.iSitId = sit.iSitId AND "
                      "tas.iClsMatCmpId = cmc.iClsMatCmpId) "
                      "INNER JOIN TScaLiv sl ON (sl.iScaLivId = tas.iScaLivId) "
                      "INNER JOIN TLiv_Livelli liv ON (liv.iLivId = sl.iLivId) "
                      "WHERE csm.iClsSesId = :iClsSesId" WEB_ORDER;
const char kWebAbsences[] =
    "SELECT DISTINCT sit.iAnaId, mat.iMatId, mat.sMatLDesc, ass.iAssOre, mrp.iMatRmaPstOrdine "
    "FROM TAss_Assenze ass "
    "INNER JOIN TSit_Situazioni sit ON (sit.iSitId = ass.iSitId) "
    "INNER JOIN TClsPst cp ON (cp.iClsPstId = sit.iClsPstId) "
    "INNER JOIN TPst_PianiStudio pst ON (pst.iPstId = cp.iPstId) "
    "INNER JOIN TMatRmaPst mrp ON (mrp.iPstId = pst.iPstId) "
    "INNER JOIN TMatRma mr ON (mr.iMatRmaId = mrp.iMatRmaId) "
    "INNER JOIN TClsSesMat csm ON (csm.iMatRmaId = mr.iMatRmaId AND "
    "csm.iClsSesMatId = ass.iClsSesMatId) "
    "INNER JOIN TMat_Materie mat ON (mat.iMatId = mr.iMatId) "
    "WHERE csm.iClsSesId = :iClsSesId" WEB_ORDER;
const char kWebNotes[] =
    "SELECT DISTINCT sit.iAnaId, mat.iMatId, mat.sMatLDesc, nt.dNotData, ana.sAnaCognome, "
    "ana.sAnaNome, nt.bNotNota, mrp.iMatRmaPstOrdine " WEB_CHAIN
    "INNER JOIN TNot_Note nt ON (nt.iSitId = sit.iSitId AND nt.iClsSesMatId = csm.iClsSesMatId) "
    "LEFT JOIN TAna_Anagrafiche ana ON (ana.iAnaId = sit.iAnaId) "
    "WHERE csm.iClsSesId = :iClsSesId" WEB_ORDER;

// Repository: from the evaluation to its situation and the subject of its class session.
#define REPOSITORY_CHAIN                                                                           \
    "INNER JOIN TMatRma TMatRma ON (TMatRma.iMatRmaId = TCsm.iMatRmaId) "                          \
    "INNER JOIN TMatRmaPst TMatRmaPst ON (TMatRmaPst.iMatRmaId = TMatRma.iMatRmaId) "              \
    "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TMatRma.iMatId) "
#define REPOSITORY_GRADE_FROM(table, alias)                                                        \
    "FROM " table " " alias " "                                                                    \
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = " alias ".iSitId) "                         \
    "INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsMatCmpId = " alias ".iClsMatCmpId) "                  \
    "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) " REPOSITORY_CHAIN      \
    "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "                          \
    "INNER JOIN TCmp_Componenti TCmp ON (TCmp.iCmpId = TCmpSca.iCmpId) "
#define REPOSITORY_GRADE_COLUMNS "SELECT DISTINCT TSit.iAnaId, TMat.iMatId, TMat.sMatLDesc, "
#define REPOSITORY_WHERE "WHERE TCsm.iClsSesId = :iClsSesId"
#define REPOSITORY_ORDER " ORDER BY TSit.iSitId, TMatRmaPst.iMatRmaPstOrdine"

const char kRepositoryVotes[] =
    REPOSITORY_GRADE_COLUMNS "TCmp.sCmpLDesc, TLiv.sLivSDesc " REPOSITORY_GRADE_FROM(
        "TVot_Voti",
        "TVot") "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TVot.iScaLivId) "
                "INNER JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = TScaLiv.iLivId AND TLiv.iLivId > "
                "0) "
                "LEFT JOIN TPosFin PosFin ON (PosFin.iPosFinId = TSit.iPosFinId) " REPOSITORY_WHERE
                " /*TAG_SOSP*/" REPOSITORY_ORDER;
const char kRepositoryProposed[] =
    REPOSITORY_GRADE_COLUMNS "TCmp.sCmpLDesc, TPrp.sPrpLDesc " REPOSITORY_GRADE_FROM(
        "TVtp_Proposti",
        "TVtp") "INNER JOIN TPrpScaLiv TPsl ON (TPsl.iPrpScaLivId = TVtp.iPrpScaLivId) "
                "INNER JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPsl.iPrpId) " REPOSITORY_WHERE
                    REPOSITORY_ORDER;
const char kRepositoryTaxonomies[] =
    REPOSITORY_GRADE_COLUMNS "TCmp.sCmpLDesc, TLiv.sLivLDesc " REPOSITORY_GRADE_FROM(
        "TTas_Tassonomie",
        "TTas") "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TTas.iScaLivId) "
                "INNER JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = TScaLiv.iLivId) " REPOSITORY_WHERE
                    REPOSITORY_ORDER;
const char kRepositoryAbsences[] = REPOSITORY_GRADE_COLUMNS
    "TAss.iAssOre FROM TAss_Assenze TAss "
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TAss.iSitId) "
    "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TAss.iClsSesMatId) " REPOSITORY_CHAIN
        REPOSITORY_WHERE REPOSITORY_ORDER;
const char kRepositoryNotes[] = REPOSITORY_GRADE_COLUMNS
    "TNot.dNotData, TAna.sAnaCognome || ' ' || TAna.sAnaNome "
    "AS sAnaCognNome, TNot.bNotNota FROM TNot_Note TNot "
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TNot.iSitId) "
    "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TNot.iClsSesMatId) " REPOSITORY_CHAIN
    "LEFT JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TNot.iAnaId) " REPOSITORY_WHERE
        REPOSITORY_ORDER;

// Outcome, credit and judgment of the class's situations; the portal's form keeps the main
// situation and the one whose credit counts here.
#define OUTCOMES_FROM                                                                              \
    "SELECT TSit.iAnaId, TSfd.sStaFinDettLDesc, TCre.iCreCredito, TGdz.bGdzGiudizio "              \
    "FROM TSit_Situazioni TSit "                                                                   \
    "INNER JOIN TClsPst TCp ON (TCp.iClsPstId = TSit.iClsPstId) "                                  \
    "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TCp.iClsId) "                                 \
    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "                    \
    "LEFT JOIN TPosFin TPf ON (TPf.iPosFinId = TSit.iPosFinId) "                                   \
    "LEFT JOIN TStaFinDett TSfd ON (TSfd.iStaFinDettId = TPf.iStaFinDettId) "                      \
    "LEFT JOIN TCre_Crediti TCre ON (TCre.iSitId = TSit.iSitId) "                                  \
    "LEFT JOIN TGdz_Giudizi TGdz ON (TGdz.iSitId = TSit.iSitId AND "                               \
    "TGdz.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "                                                   \
    "WHERE TClsSes.iClsSesId = :iClsSesId "

const char kWebOutcomes[] =
    OUTCOMES_FROM "AND (TSit.iSitOrdine = 1 OR TCre.lCreConsideraCurrDis = 1) /*TAG_DIFF*/ "
                  "ORDER BY TSit.iSitId";
const char kRepositoryOutcomes[] = OUTCOMES_FROM "/*TAG_DIFF*/ ORDER BY TSit.iSitId";

// The join on the session's subjects is kept as the portal has always had it: a pupil stands
// once per subject of the class session.
const char kFinalOutcomeRows[] =
    "SELECT TAna.iAnaId, TSfd.sStaFinDettLDesc FROM TAna_Anagrafiche TAna "
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iAnaId = TAna.iAnaId) "
    "INNER JOIN TClsPst TCp ON (TCp.iClsPstId = TSit.iClsPstId) "
    "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TCp.iClsId) "
    "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
    "LEFT JOIN TPosFin TPf ON (TPf.iPosFinId = TSit.iPosFinId) "
    "LEFT JOIN TStaFinDett TSfd ON (TSfd.iStaFinDettId = TPf.iStaFinDettId) "
    "WHERE TCsm.iClsSesId = :iClsSesId";

#undef WEB_CHAIN
#undef WEB_GRADE_COLUMNS
#undef WEB_ORDER
#undef REPOSITORY_CHAIN
#undef REPOSITORY_GRADE_FROM
#undef REPOSITORY_GRADE_COLUMNS
#undef REPOSITORY_WHERE
#undef REPOSITORY_ORDER
#undef OUTCOMES_FROM

// The portal's form, then the repository's, of each source.
const char *const kSources[][2] = {
    {kWebVotes, kRepositoryVotes},           {kWebProposed, kRepositoryProposed},
    {kWebTaxonomies, kRepositoryTaxonomies}, {kWebAbsences, kRepositoryAbsences},
    {kWebNotes, kRepositoryNotes},           {kWebOutcomes, kRepositoryOutcomes},
    {kFinalOutcomeRows, kFinalOutcomeRows},
};
// The level text of the grade sources: short in the portal's form, long in the repository's
// but for the votes.
const char *const kLevelFields[][2] = {
    {"sLivSDesc", "sLivSDesc"}, {"sPrpSDesc", "sPrpLDesc"}, {"sLivSDesc", "sLivLDesc"}};

// What "Sospesi" adds to the votes' condition, in each form's aliases.
QString suspendedCondition(QelSuspendedVotes choice, bool repository)
{
    switch (choice) {
    case QelSuspendedVotes::NoVotes:
        return repository ? QStringLiteral(" AND (COALESCE(PosFin.iStaFinId,0) <> 11) ")
                          : QStringLiteral(" AND (COALESCE(pf.ISTAFINID,0) <> 11) ");
    case QelSuspendedVotes::PassingOnly:
        return repository ? QStringLiteral(" AND (((TScaLiv.iScaLivSufficiente > 0) AND "
                                           "(COALESCE(PosFin.iStaFinId,0) = 11)) OR "
                                           "(COALESCE(PosFin.iStaFinId,0) <> 11)) ")
                          : QStringLiteral(" AND (((sl.ISCALIVSUFFICIENTE > 0) AND "
                                           "(COALESCE(pf.ISTAFINID,0) = 11)) OR "
                                           "(COALESCE(pf.ISTAFINID,0) <> 11)) ");
    case QelSuspendedVotes::AllVotes:
        break;
    }
    return kSuspendedTag;
}

QString replaceFirst(QString text, const QString &tag, const QString &replacement)
{
    const qsizetype at = text.indexOf(tag);
    if (at >= 0)
        text.replace(at, tag.size(), replacement);
    return text;
}

void startTransaction(TVxTransaction &transaction)
{
    if (!transaction.StartTransaction())
        throw EVxException(transaction.lastError());
}

QByteArray fileBytes(const QString &path)
{
    QFile file;
    if (!VxOpenRegularFile(file, path))
        throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2")
                               .arg(QDir::toNativeSeparators(path), VxFileErrorText(file)));
    return file.readAll();
}

void addColumns(TClientDataSet &packet, const QList<QPair<const char *, TFieldType>> &columns)
{
    for (const auto &[name, type] : columns)
        packet.AddFieldDef(QString::fromLatin1(name), type, type == ftString ? 100 : 0);
}

} // namespace

PortalPackageBuilder::PortalPackageBuilder(Form form, const QelPortalOptions &options,
                                           int iAnsSesDwgId)
    : m_form(form), m_options(options),
      m_reads(std::make_unique<TVxSideConnection>(qqoVxGlobConn())),
      m_snapshot(std::make_unique<TVxTransaction>(m_reads->database())),
      m_writes(std::make_unique<TVxTransaction>(qqoVxGlobConn()))
{
    startTransaction(*m_snapshot);
    VxEachRow(
        m_reads->database(), QString::fromLatin1(kSessionKind),
        valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}),
        [this](const QSqlQuery &q, const QSqlRecord &) { m_sessionKind = q.value(0).toInt(); });
    m_folder = VxNewTemporaryFolder(QStringLiteral("pagelle"));
}

PortalPackageBuilder::~PortalPackageBuilder() = default;

QString PortalPackageBuilder::path(const QString &packet) const
{
    return m_folder->filePath(m_form == Repository ? packet.toLower() : packet);
}

QString PortalPackageBuilder::sourceText(Source source) const
{
    const bool repository = m_form == Repository;
    QString text = QString::fromLatin1(kSources[source][repository ? 1 : 0]);
    // Only the votes carry the placeholder; the other texts stay as they are.
    text = replaceFirst(text, kSuspendedTag, suspendedCondition(m_options.suspended, repository));
    if (m_sessionKind == 3)
        text = replaceFirst(text, kDeferredTag,
                            QStringLiteral(" AND TSit.iPosFinId_Sosp IS NOT NULL "));
    return text;
}

void PortalPackageBuilder::openRows(TSQLClientDataSet &rows, Source source, int iClsSesId) const
{
    rows.setConnection(m_reads->database());
    rows.setCommandText(sourceText(source));
    rows.Params().setValue(QStringLiteral("iClsSesId"), iClsSesId);
    rows.Open();
}

void PortalPackageBuilder::saveListed(TClientDataSet &packet, const QString &name)
{
    SaveScratchPacket(packet, path(name));
    m_files << path(name);
}

// Merges into the packet the rows whose pupil and subject stand in the votes packet saved for
// this class session: the portal shows nothing of a subject without votes.
void PortalPackageBuilder::mergeInto(TClientDataSet &packet, Source source, int iClsSesId,
                                     const QStringList &mapping) const
{
    TClientDataSet reference;
    reference.LoadFromFile(path(m_form == Repository || m_options.votes ? kVoti : kVotiProp));
    TSQLClientDataSet rows;
    openRows(rows, source, iClsSesId);
    MergeMappedRows(packet, rows, mapping, reference);
}

void PortalPackageBuilder::saveFinalOutcomes(int iClsSesId)
{
    TClientDataSet packet;
    addColumns(
        packet,
        {{"ALU_ID", ftInteger}, {"DUMMY_1", ftString}, {"DUMMY_2", ftString}, {"Esito", ftString}});
    packet.CreateDataSet();
    TSQLClientDataSet rows;
    openRows(rows, FinalOutcomes, iClsSesId);
    const TField *pupil = rows.FieldByName(QStringLiteral("iAnaId"));
    const TField *outcome = rows.FieldByName(QStringLiteral("sStaFinDettLDesc"));
    for (rows.First(); !rows.Eof(); rows.Next()) {
        packet.Append();
        packet.Fields(0)->setValue(pupil->Value());
        packet.Fields(1)->setValue(QString());
        packet.Fields(2)->setValue(QString());
        packet.Fields(3)->setValue(outcome->Value());
        packet.Post();
    }
    saveListed(packet, kEsitoFinale);
}

void PortalPackageBuilder::saveGrades(int iClsSesId, Source source, const QString &name)
{
    const bool repository = m_form == Repository;
    const bool votesLike = source != Taxonomies;
    const bool absences = repository ? source == Votes : votesLike && m_options.absences;
    TClientDataSet packet;
    addColumns(packet, {{"ALU_ID", ftInteger}, {"MAT_ID", ftInteger}, {"Materia", ftString}});
    if (votesLike && !repository)
        packet.AddFieldDef(QStringLiteral("SIT_ID"), ftInteger);
    AddComponentFields(packet, m_reads->database(), iClsSesId, votesLike ? 0 : 1);
    if (absences)
        packet.AddFieldDef(QStringLiteral("Assenze"), ftInteger);
    packet.CreateDataSet();
    {
        TSQLClientDataSet rows;
        openRows(rows, source, iClsSesId);
        FillGradeRows(packet, rows, QString::fromLatin1(kLevelFields[source][repository]));
    }
    SaveScratchPacket(packet, path(name));
    if (absences) {
        mergeInto(packet, Absences, iClsSesId, {QStringLiteral("iAssOre;Assenze")});
        // The portal lists a pupil's subjects in the order of the plan of studies.
        if (repository)
            SaveScratchPacket(packet, path(name));
        else
            ResortPacket(packet, path(name));
    }
    m_files << path(name);
}

void PortalPackageBuilder::saveNotes(int iClsSesId)
{
    TClientDataSet packet;
    addColumns(packet, {{"ALU_ID", ftInteger}, {"MAT_ID", ftInteger}, {"Materia", ftString}});
    QStringList mapping;
    if (m_form == Repository) {
        packet.AddFieldDef(QStringLiteral("Data"), ftDate);
        packet.AddFieldDef(QStringLiteral("Docente"), ftString, 120);
        packet.AddFieldDef(QStringLiteral("Nota"), ftMemo);
        mapping << QStringLiteral("dNotData;Data") << QStringLiteral("sAnaCognNome;Docente");
    } else {
        addColumns(packet, {{"Nota", ftMemo}, {"SIT_ID", ftInteger}});
    }
    mapping << QStringLiteral("bNotNota;Nota");
    packet.CreateDataSet();
    mergeInto(packet, Notes, iClsSesId, mapping);
    saveListed(packet, kNote);
}

void PortalPackageBuilder::saveOutcomes(int iClsSesId)
{
    const bool all = m_form == Repository;
    TClientDataSet packet;
    addColumns(packet, {{"ALU_ID", ftInteger}, {"Dummy", ftInteger}});
    const struct
    {
        bool ticked;
        const char *column;
        TFieldType type;
        const char *mapping;
    } columns[] = {
        {m_options.finalOutcome, "Esito", ftString, "sStaFinDettLDesc;Esito"},
        {m_options.credits, "Credito", ftInteger, "iCreCredito;Credito"},
        {m_options.judgment, "Giudizio", ftMemo, "bGdzGiudizio;Giudizio"},
    };
    QStringList mapping;
    for (const auto &c : columns) {
        if (all || c.ticked) {
            addColumns(packet, {{c.column, c.type}});
            mapping << QString::fromLatin1(c.mapping);
        }
    }
    if (mapping.isEmpty())
        return;
    packet.CreateDataSet();
    TSQLClientDataSet rows;
    openRows(rows, Outcomes, iClsSesId);
    FillPupilRows(packet, rows, mapping);
    if (!packet.IsEmpty())
        saveListed(packet, kEsiCreGiu);
}

// A class session deleted meanwhile by another office is told, never taken as done.
void PortalPackageBuilder::packAndStore(int iClsSesId)
{
    TZip zip;
    zip.setFileName(m_folder->filePath(kArchive));
    zip.setFileList(m_files);
    zip.Add();
    const TVxFieldValues values =
        valuesOf({{"bClsSesRepos", fileBytes(zip.FileName())}, {"iClsSesId", iClsSesId}});
    if (!m_writes->InTransaction()) {
        startTransaction(*m_writes);
        m_writesStarted.start();
    }
    m_writes->ExecRow(QString::fromLatin1(kStorePackage), values);
    if (m_writesStarted.elapsed() >= kCommitEveryMs)
        m_writes->Commit();
    for (const QString &file : std::as_const(m_files))
        QFile::remove(file);
    QFile::remove(zip.FileName());
}

void PortalPackageBuilder::Build(int iClsSesId)
{
    try {
        buildPackage(iClsSesId);
    } catch (...) {
        // The packages built before the failure are kept; the failed statement changed nothing.
        Finish();
        throw;
    }
}

void PortalPackageBuilder::Finish()
{
    if (m_writes->InTransaction())
        m_writes->Commit();
}

void PortalPackageBuilder::buildPackage(int iClsSesId)
{
    m_files.clear();
    if (m_sessionKind == 2)
        saveFinalOutcomes(iClsSesId);
    if (m_options.votes)
        saveGrades(iClsSesId, Votes, kVoti);
    if (m_options.proposed)
        saveGrades(iClsSesId, Proposed, kVotiProp);
    if (m_options.taxonomies)
        saveGrades(iClsSesId, Taxonomies, kTassonomie);
    if (m_options.notes)
        saveNotes(iClsSesId);
    saveOutcomes(iClsSesId);
    packAndStore(iClsSesId);
}

void ClearPortalPackage(int iClsSesId)
{
    TVxTransaction transaction(qqoVxGlobConn());
    startTransaction(transaction);
    transaction.ExecRow(QString::fromLatin1(kClearPackage), valuesOf({{"iClsSesId", iClsSesId}}));
    transaction.Commit();
}

namespace QelPortalLists {

TVxEnumItems Institutes()
{
    return LoadEnumItems(qqoVxGlobConn(), QString::fromLatin1(kInstitutes));
}

TVxEnumItems ClassSessions(int iDwgId, int iAnsId, int iAnsSesDwgId)
{
    TVxFieldValues values;
    QString condition;
    if (iAnsSesDwgId != 0) {
        condition = QStringLiteral("TAsd.iAnsSesDwgId = :iAnsSesDwgId");
        values.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    } else {
        condition = QStringLiteral("TAsd.iAnsId = :iAnsId");
        values.setValue(QStringLiteral("iAnsId"), iAnsId);
        if (iDwgId != 0) {
            condition += QStringLiteral(" AND TAsd.iDwgId = :iDwgId");
            values.setValue(QStringLiteral("iDwgId"), iDwgId);
        }
    }
    return LoadEnumItems(qqoVxGlobConn(), QString::fromLatin1(kClassSessions).arg(condition),
                         values);
}

QList<int> RepositoryClassSessions(int iDwgId, int iAnsId, int iAnsSesDwgId)
{
    const TVxFieldValues values =
        valuesOf({{"iDwgId", iDwgId}, {"iAnsId", iAnsId}, {"iAnsSesDwgId", iAnsSesDwgId}});
    QList<int> ids;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kRepositoryClassSessions), values,
              [&ids](const QSqlQuery &q, const QSqlRecord &) { ids << q.value(0).toInt(); });
    return ids;
}

} // namespace QelPortalLists
