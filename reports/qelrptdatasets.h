#pragma once

// The report data module "dmqelRptDataSets": the datasets every report and digital register
// reads by name, their statements (qelrptqueries.h), and the master-detail chain that keeps each
// detail on the row being printed. The main window creates it at its first activation and frees
// it when it closes; it registers itself with the report tree (installReportParts). It writes
// nothing to the database.
//
//   dmqelRptDataSets->qquClsSes->ParamByName("iAnsSesDwgId").setValue(392);
//   dmqelRptDataSets->qquClsSes->Open();   // its scroll reopens qquClsAlu, the counts, ...
//   dmqelRptDataSets->CloseAllDataSets();  // the end of a report
//
// A detail "set only" by a scroll keeps its new parameters closed until a template reads it.
// Working institute, year and session are read through TVxWorkingContext (0 = not chosen).
//
// Before a report over frdClsSes or frdAlunni the engine shows the selection dialog
// "TfmqelSelRptAnsSesBs" (qelfselrptansbs.h); the module sets it up for classes or pupils and
// takes the choice into qquClsSes or qquAlunni and SelAnsId, SelAnsSesDwgId. A pupil report
// without a working institute or year says so and ends without pages.

#include "platform/clientdataset.h"
#include "platform/sqlparams.h"
#include "reportengine/reportdataset.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <utility>

class QWidget;
struct QelRptQueryText;

// Every query component, in component order.
// clang-format off
#define QEL_RPT_QUERIES(X)                                                                         \
    X(qquDataOwner) X(qquSedi) X(qquAlunni) X(qquVotiProve) X(qquAnaGme) X(qquAluNoAnsId)          \
    X(qquCommissioni) X(qquDebiti) X(qquGenitori) X(qquGenitoriDettagli) X(qquGenitoriDom)         \
    X(qquGenitoriRes) X(qquGenitoriRec) X(qquAlunniDom) X(qquAlunniRes) X(qquAlunniRec)            \
    X(qquAlunniFrazDom) X(qquAlunniFrazRes) X(qquAlunniFrazRec) X(qquGenitoriFrazDom)              \
    X(qquGenitoriFrazRes) X(qquGenitoriFrazRec) X(qquSituazioni) X(qquSituazDettagli)              \
    X(qquAluAna) X(qquGenAna) X(qquClassi) X(qquAluCls) X(qquAluMat) X(qquAluMatTas)               \
    X(qquAluCmp) X(qquAluTas) X(qquObbligoForm) X(qquEsoneri) X(qquScuolaProve)                    \
    X(qquScuolaTrasf) X(qquScuolTraDettagli) X(qquScuolProDettagli) X(qquAlunniDettagli)           \
    X(qquGenitoriTelEmail) X(qquGenitoriProfesTdStud) X(qquClsSes) X(qquNCmpCls) X(qquNTasCls)     \
    X(qquNMatCls) X(qquNMatDebCls) X(qquClsAlu) X(qquMatCmpCls) X(qquClsMat) X(qquClsMatAns)       \
    X(qquNCmpMat) X(qquMatTasCls) X(qquNTasMat) X(qquMatCls) X(qquMatClsDeb) X(qquCreAlu)          \
    X(qquCreFrmAlu) X(qquCreScoAlu) X(qquAnsSesDwg) X(qquAluMatSes) X(qquAluMatTasSes)             \
    X(qquAluCmpSesNoRel) X(qquAluCmpSes) X(qquAluTasSes) X(qquDebMat) X(qquAai) X(qquCreSco)       \
    X(qquCreFrm) X(qquAluRec) X(qquAluRecAllMat) X(qquAluMatRec) X(qquClsAnsCrs) X(qquGetDato)     \
    X(qquTotMatAss) X(qquGetPercentAss) X(qquGetAiuti) X(qquSessDiff)
// clang-format on

class TdmqelRptDataSets : public QObject, public TfrDataModule
{
    Q_OBJECT
public:
    explicit TdmqelRptDataSets(QObject *owner = nullptr);
    ~TdmqelRptDataSets() override;

#define QEL_RPT_DECLARE(name) TfrQuery *name = nullptr;
    QEL_RPT_QUERIES(QEL_RPT_DECLARE)
#undef QEL_RPT_DECLARE
    // Filled by the digital register wizard.
    TClientDataSet cdsTitoli;     // Volume, Titolo
    TClientDataSet cdsDettPagine; // iPage, sGoogleSearch, sShowCd

    // Gives every query its statement and its parameters, declared and null (a few start at
    // a value); closes them. A text another operation replaced is restored; the text qquClsAnsCrs
    // gets from the class scroll stays.
    void PreparaDataSets();
    // One query back to its standard text and parameters, closed.
    void PreparaDataSet(const TfrQuery *query);
    // Every dataset of the module closed, in component order: the end of a report.
    void CloseAllDataSets();
    // Opens and closes the two client datasets (qquAlunni, qquClsSes).
    void RefreshClientDataSets();

    // The named field of the first row of a select, its values bound; null when there is no
    // row. Read in the running report's transaction, else in one of its own; a failing
    // statement raises.
    QVariant GetSingleValue(const QString &sql, const QString &fieldName,
                            const TVxFieldValues &values = {});
    // The class session of the pupil's situation in the year-session; 0 when there is none.
    int GetClsSesId(int iSitId, int iAnsSesDwgId);
    // The make-up phase the three make-up queries read.
    void SetParamFreId(int iFreId);
    // The first three components the print settings give the report session that is
    // iAnsSesDwgId (the first of the three sessions equal to it); none when none is.
    QList<int> GetCmpSessione(qint64 iAnsSesDwgId) const;
    // The pupil's absence hours in percent of the annual lesson hours (the situation's own, else
    // the study plan's), "12,50"; null when it cannot be read or computed, whatever the cause.
    QVariant GetPercentualeAssenze(int iSitId);
    // The current debt row of qquGetDato as the selector of GetDebito asks ("TIPODESCR",
    // "SANATO", "MATSIGLA"...); the empty text for another selector.
    QString GetDebitoValue(const QString &selector) const;
    // The same of a row whose fields the function gives by name (null past the last row).
    static QString GetDebitoValue(const QString &selector,
                                  const std::function<QVariant(const char *field)> &field);

    // The report engine's variable request (qelrptvariables.cpp): the print date, the year and
    // session keys, the current teacher's credentials, the print settings' sessions and
    // components. A name it does not know keeps the value as passed. A failing read raises;
    // so does a web password without the school's ministry code.
    void ReportGetValue(const QString &name, QVariant &value);

    // The rows the report is on and the choice of the selection dialog.
    int CurPstId() const
    {
        return m_curPstId;
    }
    int CurSitId() const
    {
        return m_curSitId;
    }
    int CurMatId() const
    {
        return m_curMatId;
    }
    int CurClsId() const
    {
        return m_curClsId;
    }
    int SelAnsId() const
    {
        return m_selAnsId;
    }
    int SelAnsSesDwgId() const
    {
        return m_selAnsSesDwgId;
    }
    // The scrolls set them; a caller walking pupils and subjects by itself sets them directly.
    void SetCurSitId(int iSitId)
    {
        m_curSitId = iSitId;
    }
    void SetCurMatId(int iMatId)
    {
        m_curMatId = iMatId;
    }
    void SetCurClsId(int iClsId)
    {
        m_curClsId = iClsId;
    }
    // Written by the selection dialog's handlers and by the digital register wizard.
    void SetSelAnsId(int iAnsId)
    {
        m_selAnsId = iAnsId;
    }
    void SetSelAnsSesDwgId(int iAnsSesDwgId)
    {
        m_selAnsSesDwgId = iAnsSesDwgId;
    }

    // The bookkeeping of a digital register run.
    QString PrintJobText() const
    {
        return m_printJobText;
    }
    QString PrintMedia() const
    {
        return m_printMedia;
    }
    int RangeFirstPage() const
    {
        return m_rangeFirstPage;
    }
    int CurrentPage() const
    {
        return m_currentPage;
    }
    int StructCount() const
    {
        return m_structCount;
    }
    const QStringList &PageDetails() const
    {
        return m_pageDetails;
    }
    const QStringList &PageSearchTexts() const
    {
        return m_pageSearchTexts;
    }
    bool RangePending() const
    {
        return m_rangePending;
    }
    void SetPrintJobText(const QString &text)
    {
        m_printJobText = text;
    }
    void SetPrintMedia(const QString &media)
    {
        m_printMedia = media;
    }
    void SetRangeFirstPage(int page)
    {
        m_rangeFirstPage = page;
    }
    void SetCurrentPage(int page)
    {
        m_currentPage = page;
    }
    void SetStructCount(int count)
    {
        m_structCount = count;
    }
    void SetPageDetails(const QStringList &details)
    {
        m_pageDetails = details;
    }
    void SetPageSearchTexts(const QStringList &texts)
    {
        m_pageSearchTexts = texts;
    }
    void SetRangePending(bool pending)
    {
        m_rangePending = pending;
    }
    // The text grows by one entry per cover or pupil range: appended in place, since a copy
    // per page would cost a whole school's register the square of its length.
    void AppendPrintJobText(const QString &text)
    {
        m_printJobText += text;
    }
    // One text per page each (ScriviDettPagina, ScriviGoogleSearch).
    void AddPageDetail(const QString &text)
    {
        m_pageDetails << text;
    }
    void AddPageSearchText(const QString &text)
    {
        m_pageSearchTexts << text;
    }

private:
    void prepare(const QelRptQueryText &text);
    void bindChain();
    // The selection dialog before a class or pupil report (qelrptselect.cpp).
    void bindSelectForms();
    void frdClsSesBeforeSelectForm(TVxfrDBDataSet &sender, QWidget *form);
    void frdClsSesAfterSelectForm(TVxfrDBDataSet &sender, QWidget *form);
    void frdAlunniBeforeSelectForm(TVxfrDBDataSet &sender, QWidget *form);
    void frdAlunniAfterSelectForm(TVxfrDBDataSet &sender, QWidget *form);
    void LoadParamDwgIdBeforeOpen(TfrDataSet &dataSet);
    void clsSesAfterScroll(TfrDataSet &master);
    void clsAluAfterScroll(TfrDataSet &master);
    void alunniAfterScroll(TfrDataSet &master);
    void genitoriAfterScroll(TfrDataSet &master);
    void situazioniAfterScroll(TfrDataSet &master);
    void ansSesDwgAfterScroll(TfrDataSet &master);
    void matCmpClsAfterScroll(TfrDataSet &master);
    void setMaster(TfrQuery *master,
                   std::initializer_list<std::pair<const char *, QVariant>> values);

    int m_curPstId = 0;
    int m_curSitId = 0;
    int m_curMatId = 0;
    int m_curClsId = 0;
    int m_selAnsId = 0;
    int m_selAnsSesDwgId = 0;
    QString m_printJobText;
    QString m_printMedia;
    int m_rangeFirstPage = 0;
    int m_currentPage = 0;
    int m_structCount = 0;
    QStringList m_pageDetails;
    QStringList m_pageSearchTexts;
    bool m_rangePending = false;
    QHash<TfrQuery *, QList<TfrQuery *>> m_setMasters;
};

extern TdmqelRptDataSets *dmqelRptDataSets;

// Rewrites the report parameters' INI file from the database, before the report tree is used.
void UpdateParRptIni();
