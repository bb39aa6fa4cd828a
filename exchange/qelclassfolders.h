#pragma once

#include <QList>
#include <QString>

class TClientDataSet;
class TfmVxMultiSelect;
class TfmVxOkCancDlg;
class TVxClientDataSetModel;
class TVxDirectoryEdit;
class TdmqelXML;
class TSQLClientDataSet;

// The pieces the class-folder windows share: sending and collecting by class, and by class and
// study plan.

// The base folder of a class folder the user picked for collection: the text trimmed, one
// trailing separator dropped, and, when that folder exists here, its text up to its last
// separator; empty otherwise. Both "/" and a "\" stored by an office on Windows separate.
QString ParentFolder(const QString &text);

// A class of the working session as the class windows list it.
struct TqelClassRow
{
    int iClsId = 0;
    int iClsSesId = 0;
    QString sClsSDesc;
    QString sClsDesc;
};

// The folder of a class under the base of the class windows: its short description trimmed and
// made safe as one folder name, as the sends name it.
QString ClassFolderName(const TqelClassRow &row);

// The classes of a year-session in the office's order: iClsId, iClsSesId, sClsSDesc, sClsDesc.
void OpenClassList(TSQLClientDataSet &list, int iAnsSesDwgId);
TqelClassRow ClassRowAt(const TClientDataSet &list, int row);
// TAnsSesDwg.iSfiId of a year-session (2 final, 3 deferred); 0 without one.
int SessionKindOf(int iAnsSesDwgId);
// The coordinators the class has among its teachers: a password-protected folder needs one.
int ClassCoordinatorCount(int iClsId);

// The folder the sends write into: base (ending with a separator) + the name the folder
// question gave; made with its missing parents, raising EVxException when it cannot be.
QString MakeClassFolder(const QString &base, const QString &name);
// "Sovrascrivi" of a class folder: the coordinator's working folders "out" and "outfin" are
// emptied and removed, then the folder's own files, and the folder itself once nothing else
// is left in it. Only files are deleted, never a link's target (TdmqelXML::ClearFolder).
void ClearClassFolderAndWork(const QString &folder);

// The engine's options for one class folder, then the export.
struct TqelClassExport
{
    bool storico = false;     // the pupils' history pages
    bool proteggiPwd = false; // the coordinator's program asks the teachers' passwords
    int iPstId = -1;          // every study plan
};
void ExportClassFolder(TdmqelXML &xml, const TqelClassRow &row, const QString &folder,
                       const TqelClassExport &options);

// The cancel test of every send loop, before the next class: "Annulla" pressed in the engine's
// wait window is taken (the flag cleared) and ends the loop.
bool TakeCancel(TdmqelXML &xml);
// "Procedura annullata dall'utente." or "Procedura completata.".
void ShowClassSendEnd(bool cancelled);

// What a class send does for each class besides the export.
struct TqelClassSendOptions
{
    TqelClassExport exportOptions;
    // Skip, with the office's warning, a class without coordinator under password protection.
    bool needsCoordinator = false;
    // "Sovrascrivi" also empties and removes "out" and "outfin"; otherwise only the class
    // folder's own files are deleted.
    bool clearWork = false;
};

// The send loop of the class windows: from the last class to the first, the cancel test, the
// folder question (overwriteAlways is the window's flag), xpsPathScrutinio := base, the
// overwrite, the folder, the export. Returns false when the office cancelled. Failures raise
// and end the loop; the classes written stay written.
bool SendClassFolders(TdmqelXML &xml, const QString &base, const QList<TqelClassRow> &classes,
                      const TqelClassSendOptions &options, bool &overwriteAlways);

// The folder typed or chosen in a class window's "eDir", ending with a separator; a stored
// Windows path is resolved here. An empty text raises: it would name the filesystem's root.
QString ChosenFolder(const QString &text);
// The same for a send, whose base folder must exist: one that is missing (a USB key not
// inserted, a share not mounted) is refused by name, never created.
QString ChosenSendFolder(const QString &text);

// While a class window sends or collects: its controls are off and `running` is set, which the
// window's done() honours by staying open. The engine lets the window's events run after every
// packet, so a second OK, or a close, would otherwise start inside the running work.
class TqelRunningWork
{
public:
    TqelRunningWork(TfmVxOkCancDlg &window, bool &running);
    ~TqelRunningWork();
    TqelRunningWork(const TqelRunningWork &) = delete;
    TqelRunningWork &operator=(const TqelRunningWork &) = delete;

private:
    TfmVxOkCancDlg &m_window;
    bool &m_running;
    bool m_okEnabled;
};

// The window's folder field "eDir" with its picker "SpeedButton1", on a labelled row placed
// above the window's other controls.
TVxDirectoryEdit *AddClassFolderField(TfmVxOkCancDlg &window, const QString &label);
// The class list of the working session in a multi-select grid: "Sigla", "Descrizione".
void ShowClassList(TfmVxMultiSelect &window, TSQLClientDataSet &list, TVxClientDataSetModel &model,
                   int iAnsSesDwgId);
