#pragma once

// A digital register volume: the chosen classes of the working session printed through a
// register template into a PDF, encrypted, with its print-job descriptor (qelprintjob.h) and
// its page details, packed as "<stem>.kaf" in the register folder and listed in the catalogue
// "info.xml", where the volume management window finds it.
//
//   QelVolumeRun run{{39001, 39005}, 16169, "A4", "Registro generale dei voti"};
//   const QString stem = QelRegisterVolume::Export(*dmqelRptDataSets, rpt, run);
//
// The run stops at the first step that fails, with EVxException naming the step: nothing is
// packed, no catalogue row is added, the intermediate files are removed; a refusal before any
// file is written (no main seat, a customer code that is not 4 characters, a code that cannot
// stand in a file name) leaves the folder as it was. However it ends, the class query gets back
// its standard text and parameter and the volumes dataset loses the run's scroll handler.
//
// Several programs may share the register folder (offices on one main folder on the school's
// share). A run holds its volume's name ("<stem>.lck") from its choice to the catalogue row, so
// that two runs never make one name; the catalogue changes under a lock of its own
// ("info.xml.lck"). Every run first removes what runs whose program is gone (killed, crashed)
// left: the files named after their stems, but a volume already catalogued.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QListWidget;
class TVxSharedHold;
class TClientDataSet;
class TdmVxRptFR;
class TdmqelRptDataSets;

struct QelVolumeRun
{
    QList<int> classIds; // in the order chosen
    int reportId = 0;
    QString media; // "A4", "A3" or "Stampa personalizzata"
    QString title; // the catalogue's title of the volume
};

// The school's customer code (4 characters, the first of the volume's name) and ministry code.
struct QelSchoolCodes
{
    QString customer;
    QString mec;
};

// The steps a test may follow, and the clock that names the volume.
enum class QelVolumeStep { Named, Exported, DetailsSaved, Encrypted, Packed, Catalogued };
struct QelVolumeHooks
{
    std::function<QDateTime()> now;
    std::function<void(QelVolumeStep, const QString &folder, const QString &stem)> afterStep;
};
QelVolumeHooks &qelVolumeHooks();

namespace QelRegisterVolume {

// The main folder's "USR/Dati/Registro/", found case-insensitively and made when missing.
QString RegisterFolder();

// The main seat's two codes; EVxException with the office's words when the school has no open
// main seat or its customer code is not 4 characters (the volume could not be read back).
QelSchoolCodes ReadSchoolCodes();

// customer_mec_dd_MM_yyyy_Hmmss, whatever the desktop's locale: 9:05:07 gives "90507".
QString VolumeStem(const QelSchoolCodes &codes, const QDateTime &when);

// The name of a new volume, held while the object lives: the stem of this second, or of the
// next one free while another run holds a name or a volume has it. A folder that takes no
// lock (read-only, full) ends the search at once, saying why.
class VolumeName
{
public:
    VolumeName(const QString &folder, const QelSchoolCodes &codes);
    ~VolumeName();
    QString stem() const { return m_stem; }

private:
    QString m_stem;
    std::unique_ptr<TVxSharedHold> m_hold;
};

// Removes the files of the runs whose program is gone (their own names only).
void ClearAbandonedRuns(const QString &folder);
// Loads the catalogue "info.xml" of the folder (empty when missing) while no other program
// changes it, and saves it when the change says so.
void ChangeCatalogue(const QString &folder, const std::function<bool(TClientDataSet &)> &change);

// The print types offered for the format and the qualification box, and the register
// template of a print type's position; 0 when the position has none.
QStringList PrintTypes(bool a3, bool qualifica);
int ReportId(bool a3, bool qualifica, int position);
// Whether a stored template is a register: one of the print types' or a custom one (the
// numbers from 3000001 to 3009999), which only the wizard's volumes fill.
bool IsRegisterReport(int id);

// The working session's classes, and the custom templates (with a version), as list items:
// the description, the id as data.
void LoadSessionClasses(QListWidget *list, int iAnsSesDwgId);
void LoadCustomTemplates(QListWidget *list);
// The main situations with a register number in the classes.
int CountPupils(const QList<int> &classIds);

// Runs the whole export; returns the volume's stem.
QString Export(TdmqelRptDataSets &module, TdmVxRptFR &rpt, const QelVolumeRun &run);

} // namespace QelRegisterVolume
