#pragma once

// The pupils' history pages ("Scheda storica"): static HTML, school year by school year, of the
// votes, proposed votes, absences, debts, outcomes, credits and make-up courses of every pupil
// of the classes a class export sends, for the class coordinator's browser.
//
//   TdmqelHtml html;
//   html.CurrentAnsId = iAnsId;                       // the exported session's school year
//   const QString warning = html.BuildHistory("39005", folder);   // folder ends with "/"
//
// Under folder + "storico/<iSitId>/" each pupil gets main.html (the frames), intestazione.html,
// anni.html (the menu), Generale.html, one <yyyy>.html per school year and Recuperi.html;
// "qek_alunni.txt" beside the folder maps his iAnaId to that folder. Pages and list are
// Windows-1252 text with CR LF; a character outside it is a numeric character reference in a
// page and "?" in the list. Database texts are escaped: a page shows them as written.
//
// The whole class is read in one transaction (the caller's, or one of its own): each statement
// is prepared once and run again for every cell. A database or page error raises EVxException
// and leaves the list file as it was; a list file that cannot be saved is only the warning
// BuildHistory returns, the pages being written.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <vector>

class TVxFieldValues;
class TVxTransaction;

// A row read: its values and the names of its statement's columns, looked up without regard
// to case.
struct TqelHtmlRow
{
    const QStringList *names = nullptr;
    QVariantList values;
    QVariant value(const QString &name) const;
};

class TdmqelHtml
{
public:
    int CurrentAnsId = 0;

    // classIds: comma-separated decimal iClsId values. Returns the warning of a list file that
    // could not be saved, empty otherwise.
    QString BuildHistory(const QString &classIds, const QString &folder);

    // The cells; "&nbsp;" wherever the database has nothing to show.
    QString GetAbsenceHours(int iSitId, int iMatId, int iAnsSesDwgId);
    QString GetVoteText(int iSitId, int iMatId, const QString &field = QString());
    QString GetProposedVoteText(int iSitId, int iMatId, const QString &field = QString());
    QString GetSessionVoteText(int iSitId, int iMatId, int iCmpScaId, int iAnsSesDwgId,
                               const QString &field);
    QString GetSessionProposedText(int iSitId, int iMatId, int iCmpScaId, int iAnsSesDwgId,
                                   const QString &field);
    QString GetOutcomeText(int iSitId, const QString &field);
    // "Totali": the number of debts; "iDebSanato": "SI", "NO" or "NODEB"; else the field.
    QString GetDebtText(int iSitId, int iMatId, const QString &field);
    QString GetTotalCredits(int iAnaId);

private:
    using Rows = std::vector<TqelHtmlRow>;
    Rows rows(const QString &sql, const TVxFieldValues &values);
    QString firstField(const QString &sql, const TVxFieldValues &values, const QString &field);
    double average(int iSitId, bool proposed);

    void WriteClassHistories(const QString &classIds, const QString &folder);
    void WritePupilPages();
    void WriteHistoryPage(int iAnsId, int iSitId, const QString &pageName);
    void WriteGeneralPage();
    void WriteCurrentYearPage(int iSitId, const QString &fileName);
    void WriteYearPage(int iAnsId, int iSitId, const QString &pageName);
    void WriteRecuperiPage(const QString &folder);
    void SetPupilListEntry(const QString &key, const QString &value);

    TVxTransaction *m_transaction = nullptr;
    QString HistoryDir;
    QString PupilDir;
    QString PupilName;
    TqelHtmlRow m_pupil; // the current row of the class's pupils
    // The columns of each statement, asked of the driver once: for every column it asks the
    // database's catalogue, which would cost more than the read itself. A map: the rows keep
    // pointers to its names.
    std::map<QString, QStringList> m_columns;
    QStringList PupilList;
};
