#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The "Alunni" source of the statistics extraction: for one school year and one institute, the
// binary packets the research office's statistics program reads (subjects L, pupils A, their
// classes over the years C, their debts D, the teachers of the classes M and, from school year
// key 37, the make-up records R, phases F, types T, outcomes E and tests P), named
// "QewC" + year tag + letter + ".cds". With the split by site the whole set is written once per
// site code, into a sub-folder named after the code.
//
// The caller sets the fields, then runs ExportAluExtracts; errors raise EVxException and end
// the run, the files already written staying.
class TdmExportAlu : public QObject
{
    Q_OBJECT
public:
    explicit TdmExportAlu(QObject *owner = nullptr);
    ~TdmExportAlu() override;

    QString ExtractVersion; // written into the extracts as PrgVer
    int AnsId = 0;          // school year
    int DwgId = 0;          // institute
    QString OutputDir;      // folder of the set (of the site folders with the split)
    bool SplitBySite = false;

    // Told after each file is written: its path, and how many of all the run's files are done.
    std::function<void(const QString &path, int done, int total)> OnFileWritten;

    // Writes the set, once per entry of the site list; an empty list writes nothing.
    void ExportAluExtracts();
    // The site codes of the institute with the split, else the single pass "1=1".
    void FillSiteList(int iDwgId);

    const QStringList &SiteList() const { return m_siteList; }
    // The last two digits of the year's first calendar year and of the next ("0607").
    QString YearTag() const { return m_yearTag; }

    // The school years whose sets hold the make-up files.
    static bool hasMakeupExtracts(int iAnsId) { return iAnsId >= 37; }
    static QString fileName(const QString &yearTag, QChar letter);

private:
    QStringList m_siteList;
    QString m_yearTag;
    int m_done = 0;
    int m_total = 0;
};

// The distinct site codes (sSedMecCod) of the institute's sites, none left out but the
// missing ones: the folders of a split and the values its statements bind.
QStringList qelInstituteSiteCodes(int iDwgId);

// The single instance, created sixth at start-up.
extern TdmExportAlu *dmExportAlu;
