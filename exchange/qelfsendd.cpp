#include "exchange/qelfsendd.h"

#include "exchange/qelfldname.h"
#include "exchange/qelsendbookkeeping.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/fileaccess.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelcommandtable.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>

namespace {

const QColor kSentColour(255, 255, 0); // yellow

const char kSendModes[] =
    "SELECT TMod.iModId, TMod.sModDesc FROM TMod_ModoInvio TMod WHERE TMod.iModId <> 5";

// Where each mode's missing-folder warning says the data were to go.
QString modePlace(int iModId)
{
    switch (iModId) {
    case kModeFloppy:
        return QStringLiteral("al Floppy da 3,5 pollici");
    case kModeNetwork:
        return QStringLiteral("in un percorso di rete");
    case kModeUsb:
        return QStringLiteral("alla chiave USB");
    case kModeWebFolder:
        return QStringLiteral("per Web");
    }
    return {};
}

const TVxParString *modeFolder(const TdmqelParGen &p, int iModId)
{
    switch (iModId) {
    case kModeFloppy:
        return &p.xpsDirFloppy;
    case kModeNetwork:
        return &p.xpsDirRete;
    case kModeUsb:
        return &p.xpsDirUSB;
    case kModeWebFolder:
        return &p.xpsDirWeb;
    }
    return nullptr;
}

// The program's general parameters, or a reading of its own where the program has none.
template <typename Work> auto withParGen(Work work)
{
    if (dmqelParGen)
        return work(*dmqelParGen);
    TdmqelParGen own;
    return work(own);
}

} // namespace

TfmqelSendD::TfmqelSendD(QWidget *owner)
    : TqelFolderTeachersWindow(owner, QStringLiteral("iAaiInviato"), kSentColour,
                               QStringLiteral("Dati inviati"),
                               {{"sDocNome", "Docente", 260},
                                {"dAaiInviato", "Data e ora di invio", 140},
                                {"sAaiDirInviato", "Percorso di invio", 260}}),
      m_cbMod(new QComboBox), m_laNoTeachers(new QLabel)
{
    setObjectName(QStringLiteral("fmqelSendD"));
    setWindowTitle(QStringLiteral("Invio dati ai docenti (dischetti e cartelle)"));

    auto *modeRow = new QHBoxLayout;
    auto *modeLabel = new QLabel(QStringLiteral("&Modalità di invio"));
    modeLabel->setBuddy(m_cbMod);
    m_cbMod->setObjectName(QStringLiteral("cbMod"));
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(m_cbMod, 1);
    // A mode nobody has shows an empty list: the office is told where teachers get a mode.
    m_laNoTeachers->setObjectName(QStringLiteral("laNessunDocente"));
    m_laNoTeachers->setWordWrap(true);
    m_laNoTeachers->hide();
    if (auto *layout = qobject_cast<QVBoxLayout *>(ClientArea()->layout())) {
        layout->insertLayout(0, modeRow);
        layout->addWidget(m_laNoTeachers);
    }
    connect(m_cbMod, &QComboBox::activated, this,
            [this] { RunShowingErrors([this] { cbModChange(); }); });
    resize(720, 480);

    // Every folder and medium mode's teachers read once, each mode shown from them: a statement
    // prepared again for each mode would be the window's only one prepared twice.
    RunShowingErrors([this] {
        LoadSendModes();
        Teachers().Open(SendBookkeeping::folderTeachersSql(),
                        valuesOf({{"iAnsSesDwgId", TVxWorkingContext::session()}}));
        cbModChange();
    });
}

TfmqelSendD::~TfmqelSendD() = default;

void TfmqelSendD::LoadSendModes()
{
    LoadEnumValues(qqoVxGlobConn(), m_cbMod, QString::fromLatin1(kSendModes));
    if (m_cbMod->count() > 0)
        m_cbMod->setCurrentIndex(0);
}

void TfmqelSendD::cbModChange()
{
    m_iModId = enumItemId(m_cbMod, m_cbMod->currentIndex());
    Teachers().Show(QStringLiteral("(iModId = %1)").arg(m_iModId));
    grSelect()->clearSelection();
    m_laNoTeachers->setText(QStringLiteral("Nessun docente ha la modalità \"%1\" nella sessione di "
                                           "lavoro: la modalità di invio si assegna ai docenti in "
                                           "\"%2\".")
                                .arg(m_cbMod->currentText(), qelCommandPath("xafCfgInvio")));
    m_laNoTeachers->setVisible(Teachers().RowCount() == 0);
}

void TfmqelSendD::Reload()
{
    // Only this window's send changes the marks it shows: the rows it marked are read again, in
    // the send's run.
    const SendBookkeeping book(qqoVxGlobConn());
    for (const int iAaiId : std::exchange(m_marked, {}))
        Teachers().Update(QStringLiteral("iAaiId"), iAaiId, book.marksOf(iAaiId));
    grSelect()->clearSelection();
}

QString TfmqelSendD::BaseFolder() const
{
    const QString value = withParGen([this](const TdmqelParGen &p) {
        const TVxParString *folder = modeFolder(p, m_iModId);
        return folder ? folder->GetValore().trimmed() : QString();
    });
    if (value.isEmpty()) {
        VxMessageDlg(QStringLiteral("Attenzione\r\rSi è scelto di inviare i dati ") +
                         modePlace(m_iModId) +
                         QStringLiteral(" senza impostare il percorso di invio.\r\rImpostarlo "
                                        "da ") +
                         SendFoldersCommand() + QStringLiteral(" per proseguire.\r\r"),
                     mtWarning, mbOK);
        return {};
    }
    const QString base = LongDir(resolvePath(value));
    // The diskette's drive is asked for teacher by teacher.
    if (m_iModId != kModeFloppy)
        RequireSendFolder(base, QStringLiteral("da ") + SendFoldersCommand());
    return base;
}

void TfmqelSendD::OkClick()
{
    if (Busy())
        return;
    std::optional<TdmqelXML::ReadsOfRun> run;
    RunShowingErrors([this, &run] { run.emplace(m_xml); });
    if (!run)
        return;
    m_run = &*run;
    TqelFolderTeachersWindow::OkClick();
    m_run = nullptr;
}

void TfmqelSendD::Run()
{
    const QList<Teacher> teachers = SelectedTeachers();
    if (teachers.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtWarning, mbOK);
        return;
    }
    if (modePlace(m_iModId).isEmpty())
        return;
    const QString base = BaseFolder();
    if (base.isEmpty())
        return;
    const int count = int(teachers.size());
    if (m_iModId == kModeFloppy &&
        VxMessageDlg(FloppySendQuestion(count), mtWarning, mbOKCancel) != mrOk)
        return;

    m_xml.lCancel = false;
    m_written.clear();
    m_setupMissingTold = false;
    bool cancelled = false;
    // The teacher whose folder, set-up copy or archive failed: the send ends there, the
    // failure told, and closes as after "Annulla", the web folder's list written.
    QString failedTeacher;
    for (qsizetype i = teachers.size() - 1; i >= 0 && failedTeacher.isEmpty(); --i) {
        if (m_xml.lCancel) {
            m_xml.lCancel = false;
            cancelled = true;
            break;
        }
        const Teacher &teacher = teachers.at(i);
        try {
            if (!SendTeacherFolder(base, teacher))
                failedTeacher = teacher.sDocNome;
            else if (m_run)
                m_run->Commit();
        } catch (const EVxException &e) {
            VxMessageDlg(e.message(), mtError, mbOK, 0, mrNone, e.detail());
            failedTeacher = teacher.sDocNome;
        }
        Reload();
    }
    if (m_iModId == kModeWebFolder)
        WriteDocentiXml(this, base + QStringLiteral("Docenti.xml"));
    if (!failedTeacher.isEmpty())
        VxMessageDlg(QStringLiteral("Procedura interrotta: i dati del docente %1 non sono stati "
                                    "inviati. I docenti inviati prima restano segnati come "
                                    "inviati.")
                         .arg(failedTeacher),
                     mtWarning, mbOK);
    else
        VxMessageDlg(cancelled ? QStringLiteral("Procedura annullata dall'utente.")
                               : QStringLiteral("Procedura completata."),
                     mtInformation, mbOK);
}

bool TfmqelSendD::AskForDiskette(const QString &base, const QString &name) const
{
    // The drive must be there and take files; the program's own current folder never moves.
    for (;;) {
        if (VxMessageDlg(
                QStringLiteral("Invio dati per il docente: ") + name + QStringLiteral("\r\r") +
                    QStringLiteral("Inserire un dischetto vuoto nel drive ") +
                    QDir::toNativeSeparators(base) + QStringLiteral(" ") + QStringLiteral("\r\r") +
                    QStringLiteral("Premere OK per proseguire o ANNULLA per annullare."),
                mtWarning, mbOKCancel) != mrOk)
            return false;
        const QFileInfo drive(base);
        if (drive.isDir() && drive.isWritable())
            return true;
    }
}

bool TfmqelSendD::SendTeacherFolder(const QString &base, const Teacher &teacher)
{
    const QString &name = teacher.sDocNome;
    if (name.isEmpty())
        return true;
    if (m_iModId == kModeFloppy && !AskForDiskette(base, name))
        return true;
    const TqelFolderChoice choice = AskFolderName(base, name, m_overwriteAlways, m_written);
    if (choice.name.isEmpty())
        return true;
    const QString folder = LongDir(VxMakeOwnFolder(base, choice.name));
    if (choice.overwrite)
        TdmqelXML::ClearFolder(folder);
    m_written.insert(choice.name);

    m_xml.iAnaId = teacher.iAnaId;
    m_xml.sDocNome = teacher.sDocNome;
    m_xml.sFolder = folder;
    m_xml.ExportTeacherData();
    if (m_iModId == kModeUsb)
        CopySetup(folder);
    if (m_iModId == kModeWebFolder &&
        !ZipDirAndRemove(folder, base + QString::number(teacher.iAnaId) + QStringLiteral(".ZIP")))
        return false;
    SendBookkeeping(qqoVxGlobConn()).markSentFolder(teacher.iAaiId, folder);
    m_marked << teacher.iAaiId;
    return true;
}

void TfmqelSendD::CopySetup(const QString &folder)
{
    const QString stored =
        withParGen([](const TdmqelParGen &p) { return p.xpsSetupDocenti.GetValore().trimmed(); });
    const QString source = stored.isEmpty() ? QString() : resolvePath(stored);
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        // The program has no set-up of the teachers' program on this system: said once a send.
        if (!m_setupMissingTold)
            VxMessageDlg(QStringLiteral("Il programma di installazione per i docenti (%1) non "
                                        "è stato trovato: le cartelle dei docenti vengono "
                                        "scritte senza di esso.\r\rIndicarlo in ETC\\ParGen.ini, "
                                        "sezione [Programmi], chiave SetupDocenti.")
                             .arg(QDir::toNativeSeparators(source.isEmpty() ? stored : source)),
                         mtWarning, mbOK);
        m_setupMissingTold = true;
        return;
    }
    const QString target = folder + QStringLiteral("Setup.exe");
    try {
        VxCopyFile(source, target);
    } catch (const EVxException &e) {
        // A key without the set-up is no complete folder: the teacher is not marked sent.
        throw EVxException(QStringLiteral("Impossibile copiare il programma di installazione per "
                                          "i docenti in %1:\r%2")
                               .arg(QDir::toNativeSeparators(target), e.message()));
    }
}

void registerSendDForms()
{
    TAVRIN_REGISTER_FORM(TfmqelSendD);
}
