#include "exports/qelexportalu.h"

#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/datapacket.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QDir>
#include <QSqlQuery>

TdmExportAlu *dmExportAlu = nullptr;

namespace {

// Every statement is text of the program's own: %PRGVER% becomes the version as a quoted
// constant (the statistics program reads it as a text column, and the subjects' statement
// binds nothing), %SITE% the site condition below, whose code is always bound.
const char kSiteFilter[] = " AND Sed.sSedMecCod = :sSedMecCod";

// The year text of the statistics program: "2006-2007".
#define ANNO_DESC                                                                                  \
    "CAST(CAST(Ans.iAnsValore AS VARCHAR(4)) || '-' || CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) "    \
    "AS VARCHAR(9)) AS sAnnoDesc"
#define ACS_SEZ "COALESCE(Cls.sAcsSDesc, '') || COALESCE(Cls.sSezSDesc, '') AS sAcsSezSDesc"
#define STAMP "%PRGVER% AS PrgVer, CURRENT_DATE AS DataExport"
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

const char kSubjects[] = "SELECT Mat.*, Adi.sAdiLDesc, Adi.sAdiSDesc, " STAMP " "
                         "FROM TMat_Materie Mat "
                         "LEFT JOIN TAdi_AreeDiscip Adi ON Adi.iAdiId = Mat.iAdiId "
                         "ORDER BY Mat.iMatId";

const char kPupils[] =
    "SELECT Ana.iAnaId, AnaCag.sAnaCagCode, Ana.sAnaCognome || ' ' || Ana.sAnaNome AS "
    "COGNOMENOME, Ana.dAnaNascita, Ana.lAnaConsPrivacy, Srpc.sStaLDesc, Att.iStaAttId, "
    "Att.sStaAttDettLDesc, Sit.dSitTraRit, Scu.sScuLDesc AS sScuolaProv, "
    "Scu.sScuLDesc AS sScuolaMedia, "
    "(SELECT FIRST 1 Gme.sGmeLDesc FROM TAnaGme AnaGme "
    "JOIN TGme_GiuMatEleMed Gme ON Gme.iGmeId = AnaGme.iGmeId "
    "WHERE AnaGme.iAnaId = Ana.iAnaId AND AnaGme.iScuTypId = 3 ORDER BY AnaGme.iAnaGmeId) "
    "AS sGmeLDesc, "
    "Sex.sSexSDesc, Cls.iClsId, Cls.sIndLDesc, Cls.sIndSDesc, Pst.sPstLDesc, "
    "Cls.iAcsAnnoCorso, " ACS_SEZ ", Cls.sSezSDesc, Ans.iAnsId, " ANNO_DESC ", "
    "(SELECT FIRST 1 Main.sSedNomLDesc FROM VSed_Sedi Main WHERE Main.iDwgId IS NULL "
    "AND Main.lDwgSedMain = 1 AND Main.dEnd_DwgSed IS NULL AND Main.dEnd_Sed IS NULL "
    "ORDER BY Main.iDwgSedId) AS sNomeScuola, " STAMP ", Sit.iSitId "
    "FROM TSit_Situazioni Sit "
    "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Sit.dStart "
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId " CLASS_OF_SITUATION
    "LEFT JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId "
    "LEFT JOIN TAnaCag AnaCag ON AnaCag.iAnaId = Ana.iAnaId AND AnaCag.iCagId = 1 "
    "LEFT JOIN VSrpc Srpc ON Srpc.iSrpcId = Ana.iSrpcId "
    "LEFT JOIN vposatt Att ON Att.iPosAttId = Sit.iPosAttId "
    "LEFT JOIN TScu_Scuole Scu ON Scu.iScuId = Sit.iScuId_Prov "
    "LEFT JOIN TSex_Sesso Sex ON Sex.iSexId = Ana.iSexId "
    "WHERE Ans.iAnsId = :indice AND Cls.iDwgId = :istituto%SITE% "
    "ORDER BY Ana.iAnaId, Sit.iSitId";

const char kClasses[] =
    "SELECT Sit.iAnaId, Sit.dSitTraRit, Cls.sIndLDesc, Cls.sIndSDesc, Pst.sPstLDesc, Cls.iClsId, "
    "Cls.iAcsAnnoCorso, " ACS_SEZ ", Cls.sSezSDesc, Cls.iAnsId, " ANNO_DESC ", "
    "Pos.iStaFinId, Pos.sStaFinDettLDesc, Sit.sSitVoto, " STAMP " "
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
    "Cls.iAcsAnnoCorso, " ACS_SEZ ", Cls.sSezSDesc, Cls.iAnsId, " ANNO_DESC ", Deb.iMatId, "
    "Mat.sMatLDesc, Dtd.sDtdLDesc AS sDtpLDescUser, DesDed.iDesId, Ded.sDedLDesc AS "
    "sDesLDescUser, DocVer.iAnaId, DocVer.sAnaCognome || ' ' || DocVer.sAnaNome AS sDoc_Ver, "
    "DocAttr.iAnaId, DocAttr.sAnaCognome || ' ' || DocAttr.sAnaNome AS sDoc_Attr, " STAMP " "
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
    "Doc.sAnaCognome || ' ' || Doc.sAnaNome AS sDocCognomeNome, " STAMP " "
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

const char kYearStart[] = "SELECT dAnsInizio FROM TAns_AnniScolast WHERE iAnsId = :iAnsId";

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

QString sqlTextConstant(const QString &text)
{
    QString quoted = text;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString readYearTag(TVxTransaction &tr, int iAnsId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    QSqlQuery &q = tr.Exec(QString::fromLatin1(kYearStart), values);
    const QDate start = fetchNext(q) ? q.value(0).toDate() : QDate();
    q.finish();
    if (!start.isValid())
        throw EVxException(QStringLiteral("L'anno scolastico scelto non ha la data di inizio: "
                                          "impossibile dare il nome ai file da esportare."));
    const auto twoDigits = [](int year) {
        return QStringLiteral("%1").arg(year % 100, 2, 10, QLatin1Char('0'));
    };
    return twoDigits(start.year()) + twoDigits(start.year() + 1);
}

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
    m_yearTag = readYearTag(tr, AnsId);
    const bool makeup = hasMakeupExtracts(AnsId);
    m_done = 0;
    m_total = int(m_siteList.size()) *
              int(std::size(kSetExtracts) + (makeup ? std::size(kMakeupExtracts) : 0));
    const QString version = sqlTextConstant(ExtractVersion);
    for (const QString &code : std::as_const(m_siteList)) {
        // A code is the office's text: as a folder name it may neither climb out of the
        // output folder nor name a path of its own.
        const QString folder =
            SplitBySite ? OutputDir + QLatin1Char('/') + TKIENormalizeString(code) : OutputDir;
        if (!QDir().mkpath(folder))
            throw EVxException(QStringLiteral("Impossibile creare la cartella %1.")
                                   .arg(QDir::toNativeSeparators(folder)));
        TVxFieldValues values;
        values.setValue(QStringLiteral("indice"), AnsId);
        values.setValue(QStringLiteral("istituto"), DwgId);
        values.setValue(QStringLiteral("iAnsId"), AnsId);
        if (SplitBySite)
            values.setValue(QStringLiteral("sSedMecCod"), code);
        const auto write = [&](const Extract &extract) {
            QString sql = QString::fromLatin1(extract.sql);
            sql.replace(QStringLiteral("%SITE%"),
                        SplitBySite ? QString::fromLatin1(kSiteFilter) : QString());
            sql.replace(QStringLiteral("%PRGVER%"), version);
            const QString path = folder + QLatin1Char('/') + fileName(m_yearTag, extract.letter);
            VxExplain(QStringLiteral("Impossibile creare il file %1.")
                          .arg(QDir::toNativeSeparators(path)),
                      [&] {
                          TClientDataSet cds;
                          cds.FillFromQuery(tr.Exec(sql, values));
                          cds.SaveToFile(path, dfBinary);
                      });
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
