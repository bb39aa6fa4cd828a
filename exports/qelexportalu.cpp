#include "exports/qelexportalu.h"

#include "exports/qelextractsql.h"

#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/datapacket.h"
#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QDir>
#include <QSqlQuery>

TdmExportAlu *dmExportAlu = nullptr;

namespace {

// A class of the institute, with its site for the site condition.
#define CLASS_OF_SITUATION                                                                         \
    "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "                                     \
    "JOIN VCls_Classi Cls ON Cls.iClsId = ClsPst.iClsId "                                          \
    "LEFT JOIN VSed_Sedi Sed ON Sed.iDwgSedId = Cls.iDwgSedId "
// The pupils of the set: those with a main situation (iSitOrdine 1) in the chosen year.
#define PUPIL_OF_THE_YEAR                                                                          \
    "EXISTS (SELECT 1 FROM TSit_Situazioni Cur "                                                   \
    "JOIN TAns_AnniScolast CurAns ON CurAns.dAnsVextoInizio = Cur.dStart "                         \
    "WHERE Cur.iAnaId = Sit.iAnaId AND Cur.iSitOrdine = 1 AND CurAns.iAnsId = :indice)"

const char kSubjects[] = "SELECT Mat.*, Adi.sAdiLDesc, Adi.sAdiSDesc, " QEL_STAMP " "
                         "FROM TMat_Materie Mat "
                         "LEFT JOIN TAdi_AreeDiscip Adi ON Adi.iAdiId = Mat.iAdiId "
                         "ORDER BY Mat.iMatId";

const char kPupils[] =
    "SELECT " QEL_PUPIL_COLUMNS ", " QEL_GME_LDESC
    ", Sex.sSexSDesc, Cls.iClsId, Cls.sIndLDesc, Cls.sIndSDesc, Pst.sPstLDesc, "
    "Cls.iAcsAnnoCorso, " QEL_ACS_SEZ ", Cls.sSezSDesc, Ans.iAnsId, " QEL_ANNO_DESC
    ", " QEL_NOME_SCUOLA ", " QEL_STAMP ", Sit.iSitId "
    "FROM TSit_Situazioni Sit "
    "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Sit.dStart "
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId " CLASS_OF_SITUATION
    "LEFT JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId " QEL_PUPIL_JOINS
    "WHERE Ans.iAnsId = :indice AND Cls.iDwgId = :istituto%SITE% "
    "ORDER BY Ana.iAnaId, Sit.iSitId";

const char kClasses[] =
    "SELECT Sit.iAnaId, Sit.dSitTraRit, Cls.sIndLDesc, Cls.sIndSDesc, Pst.sPstLDesc, Cls.iClsId, "
    "Cls.iAcsAnnoCorso, " QEL_ACS_SEZ ", Cls.sSezSDesc, Cls.iAnsId, " QEL_ANNO_DESC ", "
    "Pos.iStaFinId, Pos.sStaFinDettLDesc, Sit.sSitVoto, " QEL_STAMP " "
    "FROM TSit_Situazioni Sit " CLASS_OF_SITUATION
    "LEFT JOIN TAns_AnniScolast Ans ON Ans.iAnsId = Cls.iAnsId "
    "LEFT JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId "
    "LEFT JOIN VPosFin Pos ON Pos.iPosFinId = Sit.iPosFinId "
    "WHERE Cls.iDwgId = :istituto AND " PUPIL_OF_THE_YEAR "%SITE% "
    "ORDER BY Sit.iAnaId, Sit.dStart, Sit.iSitId";

// The pupil's and the two teachers' ids are all named iAnaId: the packet tells them apart as
// IANAID, IANAID_1 (verifying) and IANAID_2 (assigning), the names the statistics program knows.
const char kDebts[] =
    "SELECT Sit.iAnaId, Sit.dSitTraRit, Cls.iClsId, Cls.sIndLDesc, Cls.sIndSDesc, "
    "Cls.iAcsAnnoCorso, " QEL_ACS_SEZ ", Cls.sSezSDesc, Cls.iAnsId, " QEL_ANNO_DESC ", Deb.iMatId, "
    "Mat.sMatLDesc, Dtd.sDtdLDesc AS sDtpLDescUser, DesDed.iDesId, Ded.sDedLDesc AS "
    "sDesLDescUser, DocVer.iAnaId, DocVer.sAnaCognome || ' ' || DocVer.sAnaNome AS sDoc_Ver, "
    "DocAttr.iAnaId, DocAttr.sAnaCognome || ' ' || DocAttr.sAnaNome AS sDoc_Attr, " QEL_STAMP " "
    "FROM TDeb_Debiti Deb "
    "JOIN TSit_Situazioni Sit ON Sit.iSitId = Deb.iSitId " CLASS_OF_SITUATION
    "JOIN TDtpDtd DtpDtd ON DtpDtd.iDtpDtdId = Deb.iDtpDtdId "
    "JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
    "LEFT JOIN TAns_AnniScolast Ans ON Ans.iAnsId = Cls.iAnsId "
    "LEFT JOIN TMat_Materie Mat ON Mat.iMatId = Deb.iMatId "
    "LEFT JOIN TDesDed DesDed ON DesDed.iDesDedId = Deb.iDesDedId "
    "LEFT JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
    "LEFT JOIN TAna_Anagrafiche DocVer ON DocVer.iAnaId = Deb.iAnaId_Ver "
    "LEFT JOIN TAna_Anagrafiche DocAttr ON DocAttr.iAnaId = Deb.iAnaId_Attr "
    "WHERE Cls.iDwgId = :istituto AND TRIM(Dtd.sDtdLDesc) <> '' AND " PUPIL_OF_THE_YEAR
    "%SITE% ORDER BY Sit.iAnaId, Deb.iDebId";

// Every year of the institute, and no site condition: the same file in every site folder.
const char kTeachers[] =
    "SELECT Cma.iClsMatAnaId, Ans.iAnsId, Cma.iClsId, Cls.sClsDesc, Cls.iAcsAnnoCorso, "
    "Cls.sSezSDesc, Cls.sIndLDesc, Cma.iMatId, Mat.sMatLDesc, Cma.iAnaId, "
    "Doc.sAnaCognome || ' ' || Doc.sAnaNome AS sDocCognomeNome, " QEL_STAMP " "
    "FROM TClsMatAna Cma "
    "JOIN VCls_Classi Cls ON Cls.iClsId = Cma.iClsId "
    "LEFT JOIN TAns_AnniScolast Ans ON Ans.dAnsInizio = Cma.dStart AND Ans.dAnsFine = Cma.dEnd "
    "LEFT JOIN TMat_Materie Mat ON Mat.iMatId = Cma.iMatId "
    "LEFT JOIN TAna_Anagrafiche Doc ON Doc.iAnaId = Cma.iAnaId "
    "WHERE Cls.iDwgId = :istituto ORDER BY Cma.iClsMatAnaId";

const char kMakeupRecords[] =
    "SELECT Rec.iRecId, Rec.iTreId, Tre.sTreLDesc, Tre.sTreSDesc, Tre.iTrePeso, Rec.iEreId, "
    "Ere.sEreLDesc, Ere.sEreSDesc, Rec.iMatId, Rec.iSitId, Rec.iAnsFreDwgId, Fre.sFreLDesc, "
    "Fre.sFreSDesc, Rec.iPvrId, Pvr.sPvrLDesc, Pvr.sPvrSDesc, Rec.dRecAttr, Rec.dRecVer "
    "FROM TRec_Recuperi Rec "
    "JOIN TAnsFreDwg Afd ON Afd.iAnsFreDwgId = Rec.iAnsFreDwgId "
    "LEFT JOIN TFre_FasiRec Fre ON Fre.iFreId = Afd.iFreId "
    "LEFT JOIN TTre_TipoRec Tre ON Tre.iTreId = Rec.iTreId "
    "LEFT JOIN TEre_EsitoRec Ere ON Ere.iEreId = Rec.iEreId "
    "LEFT JOIN TPvr_ProvaRecupero Pvr ON Pvr.iPvrId = Rec.iPvrId "
    "LEFT JOIN TSit_Situazioni Sit ON Sit.iSitId = Rec.iSitId "
    "LEFT JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
    "LEFT JOIN TCls_Classi Cls ON Cls.iClsId = ClsPst.iClsId "
    "LEFT JOIN VSed_Sedi Sed ON Sed.iDwgSedId = Cls.iDwgSedId "
    "WHERE Afd.iAnsId = :iAnsId%SITE% ORDER BY Rec.iRecId";

const char kMakeupPhases[] = "SELECT Afd.iAnsFreDwgId, Afd.iFreId, Fre.sFreSDesc, Fre.sFreLDesc "
                             "FROM TAnsFreDwg Afd "
                             "LEFT JOIN TFre_FasiRec Fre ON Fre.iFreId = Afd.iFreId "
                             "WHERE Afd.iAnsId = :iAnsId ORDER BY Afd.iAnsFreDwgId";
const char kMakeupTypes[] = "SELECT iTreId, sTreSDesc, sTreLDesc, lVisible, iTrePeso "
                            "FROM TTre_TipoRec ORDER BY iTreId";
const char kMakeupOutcomes[] = "SELECT iEreId, sEreSDesc, sEreLDesc, lVisible, iPesoRec "
                               "FROM TEre_EsitoRec ORDER BY iEreId";
const char kMakeupTests[] = "SELECT iPvrId, sPvrSDesc, sPvrLDesc FROM TPvr_ProvaRecupero "
                            "ORDER BY iPvrId";

const char kSiteCodes[] = "SELECT DISTINCT Sed.sSedMecCod FROM VSed_Sedi Sed "
                          "WHERE Sed.iDwgId = :iDwgId AND Sed.sSedMecCod IS NOT NULL";

struct Extract
{
    char letter;
    const char *sql;
};

const Extract kSetExtracts[] = {
    {'L', kSubjects}, {'A', kPupils}, {'C', kClasses}, {'D', kDebts}, {'M', kTeachers}};
const Extract kMakeupExtracts[] = {{'R', kMakeupRecords},
                                   {'F', kMakeupPhases},
                                   {'T', kMakeupTypes},
                                   {'E', kMakeupOutcomes},
                                   {'P', kMakeupTests}};

} // namespace

QStringList qelInstituteSiteCodes(int iDwgId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iDwgId"), iDwgId);
    QStringList codes;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kSiteCodes), values,
              [&codes](const QSqlQuery &q, const QSqlRecord &) { codes << q.value(0).toString(); });
    return codes;
}

TdmExportAlu::TdmExportAlu(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmExportAlu"));
}

TdmExportAlu::~TdmExportAlu()
{
    if (dmExportAlu == this)
        dmExportAlu = nullptr;
}

QString TdmExportAlu::fileName(const QString &yearTag, QChar letter)
{
    return QStringLiteral("QewC") + yearTag + letter + QStringLiteral(".cds");
}

void TdmExportAlu::FillSiteList(int iDwgId)
{
    m_siteList = SplitBySite ? qelInstituteSiteCodes(iDwgId) : QStringList{QStringLiteral("1=1")};
}

void TdmExportAlu::ExportAluExtracts()
{
    FillSiteList(DwgId);
    if (m_siteList.isEmpty())
        return;
    // One transaction for the whole run: every site folder shows the database as it was at one
    // moment, so that the teachers' file is the same in each.
    TVxTransactionScope scope(qqoVxGlobConn());
    TVxTransaction &tr = scope.transaction();
    m_yearTag = qelYearTag(qelSchoolYearStart(tr, AnsId));
    const bool makeup = hasMakeupExtracts(AnsId);
    m_done = 0;
    m_total = int(m_siteList.size()) *
              int(std::size(kSetExtracts) + (makeup ? std::size(kMakeupExtracts) : 0));
    for (const QString &code : std::as_const(m_siteList)) {
        // A code is the office's text: as a folder name it may neither climb out of the
        // output folder nor name a path of its own.
        const QString folder =
            VxMakeOwnFolder(OutputDir, SplitBySite ? TKIENormalizeString(code) : QString());
        TVxFieldValues values;
        values.setValue(QStringLiteral("indice"), AnsId);
        values.setValue(QStringLiteral("istituto"), DwgId);
        values.setValue(QStringLiteral("iAnsId"), AnsId);
        if (SplitBySite)
            values.setValue(QStringLiteral("sSedMecCod"), code);
        const auto write = [&](const Extract &extract) {
            const QString path = folder + QLatin1Char('/') + fileName(m_yearTag, extract.letter);
            qelWriteExtract(tr, qelExtractSql(extract.sql, ExtractVersion, SplitBySite), values,
                            path);
            ++m_done;
            if (OnFileWritten)
                OnFileWritten(path, m_done, m_total);
        };
        for (const Extract &extract : kSetExtracts)
            write(extract);
        if (makeup)
            for (const Extract &extract : kMakeupExtracts)
                write(extract);
    }
    scope.Commit();
}
