#pragma once

// What the families of report functions share: the numbers of the 48 functions, one call as
// DoFunction receives it, and the rules every function keeps in reading its arguments and the
// database. Inside reports/ only; templates see the library (qelrptfunctions.h).
//
//   void voto(QelFunctionCall &call) {
//       const QVariant session = call.arg(0);            // evaluated in the running report
//       if (qelBlank(session)) { call.val = QString(); return; }
//       TfrQuery &q = qelOpenScratch(sql, {{"iAnsSesDwgId", qelId(session)}});
//       call.val = q.FieldByName("sLivSDesc").DisplayText();
//       q.Close();
//   }
//   void qelAddVoteFunctions(QelFunctionHandlers &h) { h[fnVoto] = voto; }

#include "platform/params.h"
#include "reportengine/reportdataset.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <array>
#include <initializer_list>
#include <utility>

class TdmqelRptDataSets;

// A name's number is its place in the library's list: the order the templates were built on.
enum QelRptFunction {
    fnVoto,
    fnVoto_Proposto,
    fnTassonomia,
    fnVoto_Religione,
    fnVoto_Condotta,
    fnGetVoti,
    fnGetProposti,
    fnGetTassonomie,
    fnGetAssenze,
    fnGetAiuti,
    fnGetDebito,
    fnGetEsito,
    fnGetGiudizio,
    fnGetTotCredito,
    fnAssenze_Religione,
    fnGet_SituazioneId,
    fnGet_InfDebiti,
    fnGetCredito,
    fnGetMatAlunno,
    fnGetCmpMateria,
    fnRoundTo,
    fnOreLezioneAnno,
    fnOreLezioneSett,
    fnPercentuale,
    fnEsitoInStampa,
    fnGetNote,
    fnGetCoordinatore,
    fnGetElencoRec,
    fnSetFaseRecupero,
    fnGetRec,
    fnGetEsitoRec,
    fnGetProvaRec,
    fnNewVolume,
    fnNewClasse,
    fnNewAlunno,
    fnDataSessione,
    fnScriviDettPagina,
    fnScriviGoogleSearch,
    fnRegistroEsami,
    fnPaginaVuota,
    fnGetPreside,
    fnGetProveQualifica,
    fnPercentuale_Assenze,
    fnMaxOre_Assenze_Consentite,
    fnMinOre_Frequenza,
    fnGetTotMatAssenze,
    fnOrdine_Scuola,
    fnVoto_Altro,
    QelRptFunctionCount
};

// One call: the argument texts as the template writes them (missing ones empty) and the
// result, which starts as the text "0".
struct QelFunctionCall
{
    std::array<QString, 3> p;
    QVariant &val;

    // Argument index (0..2) evaluated in the report being prepared; null when missing.
    QVariant arg(int index) const;
};

using QelFunctionHandler = void (*)(QelFunctionCall &);
using QelFunctionHandlers = std::array<QelFunctionHandler, QelRptFunctionCount>;

// Each family puts its handlers in their places.
void qelAddVoteFunctions(QelFunctionHandlers &handlers);
void qelAddLookupFunctions(QelFunctionHandlers &handlers);
void qelAddTotalsFunctions(QelFunctionHandlers &handlers);
void qelAddPupilRecordFunctions(QelFunctionHandlers &handlers);
void qelAddRegisterFunctions(QelFunctionHandlers &handlers);

// An argument that prints as blanks only: the function answers the empty text and reads
// nothing.
bool qelBlank(const QVariant &value);
// A keyword argument: upper-cased, its blanks kept ("breve" selects as "BREVE", " BREVE" not).
QString qelSelector(const QVariant &value);
// An id argument; EfrConversionError when it is not a number or beyond the database's
// integers.
int qelId(const QVariant &value);

// The report data module the functions read their context from; EfrError when the main
// window has not created it.
TdmqelRptDataSets &qelRptModule();

// The module's scratch query qquGetDato closed, given the text and the parameters (integers,
// or text for a QString value; declared afresh, so nothing of an earlier call stays) and
// opened. The caller reads it and closes it unless the function leaves it open.
using QelParams = QList<std::pair<const char *, QVariant>>;
TfrQuery &qelOpenScratch(const QString &sql, const QelParams &params);
// The same left closed: a function that answers from what the run read for many pupils still
// leaves the scratch query as its own statement would, for a template that reads it after.
TfrQuery &qelSetScratch(const QString &sql, const QelParams &params);

// A function that answers from what the run read for many pupils: its statement for its own
// pupil, select + from + "WHERE (" pupil " = :iSitId)" + the condition, is left on the scratch
// query, closed, with the parameters, as the function's own statement would be; the rows are
// that statement's over the next pupils the run prints, without the condition: the select, the
// pupil as BatchKey and the columns given, from, and the tail (a GROUP BY).
TfrRows qelRowsOfPupil(const QString &select, const QString &from, const char *pupil, int sitId,
                       const QString &condition = {}, const QelParams &conditionParams = {},
                       const QString &columns = {}, const QString &tail = {});

// The same left open for the template, the scratch query's own rows: within a run they are the
// pupil's of one statement over the next pupils the run prints, select + the pupil as BatchKey
// + from + "WHERE (" pupil " IN (%KEYS%))" + the condition, its values bound beside the keys.
TfrQuery &qelOpenScratchOfPupil(const QString &select, const QString &from, const char *pupil,
                                int sitId, const QString &condition,
                                const QelParams &conditionParams);

// A pupil situation's grades of one kind in every session, subject and component, read with
// the next pupils the run prints (qelrptpupilreads.h): one row per grade by its id (twice when
// the pupil's plan lists its subject twice), the columns below. The vote functions and the
// averages answer from them as their own statements would.
enum class QelGrade { Voto, Proposta, Tassonomia };
enum QelGradeColumn {
    gcSituation,
    gcSubject,   // TMatRma.iMatId
    gcSession,   // iAnsSesDwgId of the class session
    gcComponent, // iCmpScaId of the class-session subject's component
    gcId,        // the grade's id, then its five values as the functions read them
    gcShort,
    gcLong,
    gcSufficient,
    gcValue,
    gcInAverage,
    gcSubjectCode,        // sMatCodVexto; null without the subject's row
    gcSubjectInAverage,   // of the pupil's plan; null when the plan has not the subject
    gcComponentInAverage, // iCmpScaInMedia; null without the component's row
    gcHasComponent,       // the component's row exists
    gcHasPlan             // the pupil's class plan exists
};
TfrRows qelGradeRows(QelGrade kind, int iSitId);
// The same on another query of the module (qquTotMatAss, qquGetPercentAss); set and left
// closed.
TfrQuery &qelOpenQuery(TfrQuery &query, const QString &sql, const QelParams &params);
TfrQuery &qelSetQuery(TfrQuery &query, const QString &sql, const QelParams &params);

// The call's first count arguments, evaluated into args; false, the result being the empty
// text, when one of them is blank.
bool qelArgsNotBlank(QelFunctionCall &call, int count, QList<QVariant> &args);
// The scratch query on the call's first arguments as its ids, in order, and further values;
// nullptr, the result being the empty text, when one of the arguments is blank.
TfrQuery *qelOpenOnIds(QelFunctionCall &call, const QString &sql,
                       std::initializer_list<const char *> ids, const QelParams &more = {});
// The first column of the first row as text (empty without one); the query is closed.
QString qelFirstText(TfrQuery &q);

// A print setting (qelParRpt.ini through dmqelParGen) as the run found it at its first read:
// the templates ask for the sessions and components at every cell, and the file is read once
// per run. Outside a run, as the file holds it now.
int qelPrintSetting(const TVxParInteger &setting);
QString qelPrintSetting(const TVxParString &setting);

// A number as "0.00" prints it: rounded to hundredths, halves away from zero (49 / 8 is
// "6,13"), with the decimal comma and both decimals ("7,50").
QString qelFixed2(double value);
