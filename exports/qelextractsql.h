#pragma once

// What the statements of the statistics extracts share: the columns the statistics program
// reads alike in every file, and how a statement is completed and its packet written.
//
// A statement is text of the program's own: %PRGVER% becomes the version as a quoted constant
// (the statistics program reads it as a text column, and some statements bind nothing), %SITE%
// the site condition on the alias Sed, whose code is always bound as :sSedMecCod.
#include <QDate>
#include <QString>

#include <functional>

class TClientDataSet;
class TVxFieldValues;
class TVxTransaction;

// The year text of the statistics program: "2006-2007".
#define QEL_ANNO_DESC                                                                              \
    "CAST(CAST(Ans.iAnsValore AS VARCHAR(4)) || '-' || CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) "    \
    "AS VARCHAR(9)) AS sAnnoDesc"
#define QEL_ACS_SEZ "COALESCE(Cls.sAcsSDesc, '') || COALESCE(Cls.sSezSDesc, '') AS sAcsSezSDesc"
#define QEL_STAMP "%PRGVER% AS PrgVer, CURRENT_DATE AS DataExport"
#define QEL_COGNOMENOME "Ana.sAnaCognome || ' ' || Ana.sAnaNome AS COGNOMENOME"
// The pupil's first columns in the pupils' files, for a pupil Ana in a situation Sit with the
// joins below.
#define QEL_PUPIL_COLUMNS                                                                          \
    "Ana.iAnaId, AnaCag.sAnaCagCode, " QEL_COGNOMENOME ", Ana.dAnaNascita, Ana.lAnaConsPrivacy, "  \
    "Srpc.sStaLDesc, Att.iStaAttId, Att.sStaAttDettLDesc, Sit.dSitTraRit, "                        \
    "Scu.sScuLDesc AS sScuolaProv, Scu.sScuLDesc AS sScuolaMedia"
// The pupil's middle-school final judgement.
#define QEL_GME_LDESC                                                                              \
    "(SELECT FIRST 1 Gme.sGmeLDesc FROM TAnaGme AnaGme "                                           \
    "JOIN TGme_GiuMatEleMed Gme ON Gme.iGmeId = AnaGme.iGmeId "                                    \
    "WHERE AnaGme.iAnaId = Ana.iAnaId AND AnaGme.iScuTypId = 3 ORDER BY AnaGme.iAnaGmeId) "        \
    "AS sGmeLDesc"
// The school's own name: its main site that belongs to no institute and has not ended.
#define QEL_NOME_SCUOLA                                                                            \
    "(SELECT FIRST 1 Main.sSedNomLDesc FROM VSed_Sedi Main WHERE Main.iDwgId IS NULL "             \
    "AND Main.lDwgSedMain = 1 AND Main.dEnd_DwgSed IS NULL AND Main.dEnd_Sed IS NULL "             \
    "ORDER BY Main.iDwgSedId) AS sNomeScuola"
// The pupil's code, birthplace state, current status and school of provenance, for a pupil
// Ana in a situation Sit.
#define QEL_PUPIL_JOINS                                                                            \
    "LEFT JOIN TAnaCag AnaCag ON AnaCag.iAnaId = Ana.iAnaId AND AnaCag.iCagId = 1 "                \
    "LEFT JOIN VSrpc Srpc ON Srpc.iSrpcId = Ana.iSrpcId "                                          \
    "LEFT JOIN vposatt Att ON Att.iPosAttId = Sit.iPosAttId "                                      \
    "LEFT JOIN TScu_Scuole Scu ON Scu.iScuId = Sit.iScuId_Prov "                                   \
    "LEFT JOIN TSex_Sesso Sex ON Sex.iSexId = Ana.iSexId "
// The sum of credits and recovered credits over every situation of the pupil.
#define QEL_TOT_CREDITO                                                                            \
    "(SELECT COALESCE(SUM(COALESCE(Cre.iCreRecup, 0) + COALESCE(Cre.iCreCredito, 0)), 0) "         \
    "FROM TCre_Crediti Cre JOIN TSit_Situazioni CreSit ON CreSit.iSitId = Cre.iSitId "             \
    "WHERE CreSit.iAnaId = Sit.iAnaId)"

// The statement with the version and, when a site is given, its condition in place.
QString qelExtractSql(const char *sql, const QString &version, bool bySite);

// The first day of the school year (dAnsInizio), which names its files; raises EVxException
// when the year has none.
QDate qelSchoolYearStart(TVxTransaction &tr, int iAnsId);

// The tag of a school year in the file names: the last two digits of its first calendar year
// and of the next ("0607").
QString qelYearTag(const QDate &start);

// Runs the select in the transaction and saves its rows as a binary packet, once: the rows are
// completed in memory first (complete, when given), so that no reader ever finds them half
// done. A failure names the file.
void qelWriteExtract(TVxTransaction &tr, const QString &sql, const TVxFieldValues &values,
                     const QString &path,
                     const std::function<void(TClientDataSet &)> &complete = {});
