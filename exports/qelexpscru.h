#pragma once

#include "platform/clientdataset.h"
#include "platform/enumvalues.h"
#include "xls/xlsadapter.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QComboBox;

// The supplementary survey of scrutiny outcomes ("Rilevazione integrativa"): for the working
// school year and session, the scrutinised pupils, those with insufficient votes, those not
// classified, insufficient conduct (alone, or with three more insufficient votes) and, subject
// by subject, the insufficient averages; each count by year of course, for all pupils and
// for girls. The counts are written into the school type's Excel template and saved as a new
// workbook. Nothing is written to the database.
//
// The caller sets the classes, school type, site and grouping, runs ComputeEsitiScrutinio and
// then WriteEsitiWorkbook. Database and workbook failures raise (EVxException, or the
// workbook library's EExcelException with its fixed text).
class TdmQelExpScru : public QObject
{
    Q_OBJECT
public:
    explicit TdmQelExpScru(QObject *owner = nullptr);
    ~TdmQelExpScru() override;

    // The classes counted; empty counts every class of the site (or of every site).
    void SetClassi(const QList<int> &iClsIds) { m_classi = iClsIds; }
    // Lower secondary (years 1-3, "ESI1G.XLS") or upper secondary (1-5, "ESI2G.XLS").
    void SetScuolaMedia(bool lowerSecondary) { m_scuolaMedia = lowerSecondary; }
    bool ScuolaMedia() const { return m_scuolaMedia; }
    // 0 counts every site.
    void SetSede(int iDwgSedId) { m_iDwgSedId = iDwgSedId; }
    // Subject rows named after the main subject (TMatRma.iMatId_P) rather than the subject.
    bool MateriePrincipali = true;

    // Told before each of the six steps, with its text.
    std::function<void(const QString &step)> OnStep;

    // The counts into cdsRisultatoEsiti, emptied first; always true.
    bool ComputeEsitiScrutinio();
    // The counts written into the template (the school type's when templateName is empty)
    // and saved under outputName. An existing output is replaced only once the new workbook
    // is complete: a failure leaves it as it was.
    void WriteEsitiWorkbook(const QString &templateName, const QString &outputName);

    // USR/Qel of the main folder, and the school type's template in it, names matched
    // without regard to case.
    static QString TemplatesDir();
    QString TemplatePath() const;
    // Puts the program's own templates into TemplatesDir where none is present; false when
    // one could not be written.
    static bool InstallTemplates();

    // The rows and their columns: "Descrizione", "1".."5", "1f".."5f", "ordine"; visible in
    // the order of "ordine" (index "ORDINE").
    TClientDataSet cdsRisultatoEsiti;

    xls::TXlsTemplateStore XlsTemplateStore;
    xls::TXLSAdapter XLSAdapter;

    // The lists of the window: the institute's sites, and the classes of the year (of one
    // site, or every site for 0) in their order.
    static void LoadSedi(QComboBox *items, int iDwgId);
    static TVxEnumItems Classi(int iAnsId, int iDwgId, int iDwgSedId);

    // Whether the scale has a level worth the (truncated) value that is sufficient and counts
    // in the average. One query per scale, kept for the run.
    bool IsSufficientValue(int iScaId, int value);

private:
    struct Row
    {
        QString descrizione;
        int ordine = 0;
        int counts[2][5] = {}; // [all pupils, girls][year of course - 1]
    };
    void step(const QString &text);
    TVxFieldValues commonValues() const;
    QString countSql(const QString &measure) const;
    void countPupils(const QString &descrizione, const QString &measure,
                     const TVxFieldValues &extra = {});
    void countSubjects();
    void fillResult();
    int maxAnno() const { return m_scuolaMedia ? 3 : 5; }

    QList<int> m_classi;
    bool m_scuolaMedia = false;
    int m_iDwgSedId = 0;
    std::vector<Row> m_rows;
    QHash<int, QSet<int>> m_sufficientValues; // by scale
};
