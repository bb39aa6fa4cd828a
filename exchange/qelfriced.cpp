#include "exchange/qelfriced.h"

#include "exchange/qelsendbookkeeping.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/temppath.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "platform/zip.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor kReceivedColour(0, 255, 0); // lime

QString webFolder()
{
    const QString value = dmqelParGen ? dmqelParGen->xpsDirWeb.GetValore().trimmed()
                                      : TdmqelParGen().xpsDirWeb.GetValore().trimmed();
    return value.isEmpty() ? QString() : LongDir(resolvePath(value));
}

} // namespace

TfmqelRiceD::TfmqelRiceD(QWidget *owner)
    : TqelFolderTeachersWindow(owner, QStringLiteral("iAaiRicevuto"), kReceivedColour,
                               QStringLiteral("Dati ricevuti"),
                               {{"sDocNome", "Docente", 240},
                                {"sModDesc", "Modalità invio", 140},
                                {"dAaiInviato", "Data e ora invio", 140},
                                {"dAaiRicevuto", "Data e ora ricevuto", 140}}),
      m_eDir(new QLineEdit), m_pick(new QToolButton), m_classes(new QListWidget)
{
    setObjectName(QStringLiteral("fmqelRiceD"));
    setWindowTitle(QStringLiteral("Raccolta dati dei docenti (dischetti e cartelle)"));

    auto *folderRow = new QHBoxLayout;
    auto *folderLabel = new QLabel(QStringLiteral("Percorso:"));
    folderLabel->setBuddy(m_eDir);
    m_eDir->setObjectName(QStringLiteral("eDir"));
    m_eDir->setReadOnly(true);
    m_pick->setObjectName(QStringLiteral("SpeedButton1"));
    m_pick->setText(QStringLiteral("..."));
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(m_eDir, 1);
    folderRow->addWidget(m_pick);
    auto *classLabel = new QLabel(QStringLiteral("Classi da importare:  "));
    m_classes->setObjectName(QStringLiteral("clCls"));
    m_classes->setFlow(QListView::TopToBottom);
    m_classes->setWrapping(true);
    m_classes->setMaximumHeight(110);
    classLabel->setBuddy(m_classes);
    if (auto *layout = qobject_cast<QVBoxLayout *>(ClientArea()->layout())) {
        layout->addLayout(folderRow);
        layout->addWidget(classLabel);
        layout->addWidget(m_classes);
    }
    connect(grSelect()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { currentRowChanged(); });
    connect(m_pick, &QToolButton::clicked, this, [this] {
        const QString chosen = VxSelectDirectory(this, QStringLiteral("Selezionare il percorso"),
                                                 LongDir(m_eDir->text()));
        if (!chosen.isEmpty())
            RunShowingErrors([&] { ShowTeacherFolder(chosen); });
    });
    connect(m_classes, &QListWidget::itemChanged, this, [this] { updateOk(); });
    resize(720, 560);
    ShowTeacherFolder(QString());
}

TfmqelRiceD::~TfmqelRiceD() = default;

QString TfmqelRiceD::RecordedFolder(const QString &stored)
{
    if (stored.trimmed().isEmpty())
        return {};
    const QString folder = LongDir(resolvePath(stored.trimmed()));
    // A web-folder teacher's folder was packed and removed at sending: its parent is enough.
    if (QFileInfo(folder).isDir() || QFileInfo(ShortDir(folder)).dir().exists())
        return folder;
    return {};
}

void TfmqelRiceD::showEvent(QShowEvent *event)
{
    TqelFolderTeachersWindow::showEvent(event);
    if (!m_shown)
        FormShow();
}

void TfmqelRiceD::FormShow()
{
    m_shown = true;
    RunShowingErrors([this] {
        Reload();
        UnpackReturnedArchives();
    });
}

void TfmqelRiceD::Reload()
{
    Teachers().Open(SendBookkeeping::folderTeachersSql(),
                    valuesOf({{"iAnsSesDwgId", TVxWorkingContext::session()}}));
    grSelect()->clearSelection();
    currentRowChanged();
}

void TfmqelRiceD::UnpackReturnedArchives()
{
    const QString web = webFolder();
    if (web.isEmpty())
        return;
    // Every archive left packed is told: its teacher's data would otherwise look never returned.
    QStringList left;
    for (int row = 0; row < Teachers().RowCount(); ++row) {
        if (Teachers().Value(row, QStringLiteral("iModId")).toInt() != kModeWebFolder)
            continue;
        const QString id = Teachers().Value(row, QStringLiteral("iAnaId")).toString();
        const QString archive =
            resolvePath(web + QStringLiteral("OUT_") + id + QStringLiteral(".ZIP"));
        if (!QFileInfo(archive).isFile())
            continue;
        const QString line = QStringLiteral("  %1 (%2): ")
                                 .arg(QDir::toNativeSeparators(archive),
                                      Teachers().Value(row, QStringLiteral("sDocNome")).toString());
        // Without a folder of its own the archive would land in the program's current folder.
        const QString stored =
            Teachers().Value(row, QStringLiteral("sAaiDirInviato")).toString().trimmed();
        const QString folder = RecordedFolder(stored);
        QString whose;
        if (folder.isEmpty())
            left << line + (stored.isEmpty() ? QStringLiteral("nessuna cartella registrata "
                                                              "all'invio.")
                                             : QStringLiteral("la cartella registrata all'invio "
                                                              "(%1) non c'è su questo computer.")
                                                   .arg(stored));
        else if (whose = ArchiveTeacherFault(archive, id.toInt()); !whose.isEmpty())
            left << line + whose;
        else if (!UnzipToDir(archive, folder))
            left << line + QStringLiteral("non è stato estratto.");
    }
    if (!left.isEmpty())
        VxMessageDlg(QStringLiteral("Alcuni dati restituiti dai docenti non sono stati estratti: "
                                    "gli archivi restano nella cartella Web.\r\r") +
                         left.join(QLatin1Char('\r')),
                     mtWarning, mbOK);
}

QString TfmqelRiceD::ArchiveTeacherFault(const QString &archive, int teacherId)
{
    // Read alone, into a folder of its own: another teacher's archive must not be unpacked
    // over this teacher's folder before it is found out.
    const std::unique_ptr<QTemporaryDir> look = VxNewTemporaryFolder(QStringLiteral("docente"));
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(look->path());
    zip.setOnlyEntries({QStringLiteral("Info.ini")});
    QStringList files;
    try {
        files = zip.Extract();
    } catch (const EVxException &e) {
        return QStringLiteral("non è un archivio leggibile (%1).").arg(OneLine(e.message()));
    }
    if (files.isEmpty())
        return QStringLiteral("non contiene il file Info.ini della cartella del docente.");
    const int named = TVxINIFile(files.first(), true)
                          .ReadInteger(QStringLiteral("Docente"), QStringLiteral("ID"), 0);
    if (named == teacherId)
        return {};
    if (named == 0)
        return QStringLiteral("il suo Info.ini non dice di quale docente è: non è stato estratto.");
    return QStringLiteral("il suo Info.ini è del docente %1, non di questo: non è stato estratto.")
        .arg(named);
}

void TfmqelRiceD::currentRowChanged()
{
    if (Busy())
        return;
    const int row = frSelect()->CurrentSourceRow();
    RunShowingErrors([&] {
        ShowTeacherFolder(row < 0
                              ? QString()
                              : Teachers().Value(row, QStringLiteral("sAaiDirInviato")).toString());
    });
}

void TfmqelRiceD::ShowTeacherFolder(const QString &folder)
{
    const QString shown = RecordedFolder(folder);
    if (!shown.isEmpty() && QFileInfo(shown).isDir()) {
        m_eDir->setText(QDir::toNativeSeparators(shown));
        FillClassList(shown);
    } else {
        m_eDir->clear();
        m_classes->clear();
    }
    updateOk();
}

void TfmqelRiceD::FillClassList(const QString &folder)
{
    m_classes->clear();
    const QString file =
        folder.isEmpty() ? QString() : resolvePath(folder + QStringLiteral("ClsSes.xml"));
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return;
    TClientDataSet sessions;
    sessions.LoadFromFile(file);
    const TField *id = sessions.FieldByName(QStringLiteral("iClsId"));
    const TField *desc = sessions.FieldByName(QStringLiteral("sClsDesc"));
    for (int row = 0; row < sessions.RecordCount(); ++row) {
        auto *item = new QListWidgetItem(sessions.Value(row, desc->Index()).toString().trimmed());
        item->setData(Qt::UserRole, sessions.Value(row, id->Index()).toInt());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        m_classes->addItem(item);
    }
}

QString TfmqelRiceD::className(int classId) const
{
    for (int i = 0; i < m_classes->count(); ++i)
        if (m_classes->item(i)->data(Qt::UserRole).toInt() == classId)
            return m_classes->item(i)->text();
    return QString::number(classId);
}

QList<int> TfmqelRiceD::tickedClasses() const
{
    QList<int> ids;
    for (int i = 0; i < m_classes->count(); ++i)
        if (m_classes->item(i)->checkState() == Qt::Checked)
            ids << m_classes->item(i)->data(Qt::UserRole).toInt();
    return ids;
}

void TfmqelRiceD::updateOk()
{
    buOk()->setEnabled(!Busy() && !tickedClasses().isEmpty());
}

void TfmqelRiceD::Run()
{
    const QList<Teacher> teachers = ShownTeachers();
    if (teachers.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtInformation, mbOK);
        return;
    }
    const bool single = teachers.size() == 1;
    const QString shown = m_eDir->text().trimmed();
    m_xml.iAnsSesDwgId = TVxWorkingContext::session();
    m_xml.iAnsId = TVxWorkingContext::schoolYear();
    m_xml.iMode = 0;
    // Told once, after the work: the teachers refused with their reasons, the rows not
    // collected, and what each collected class changed.
    QStringList refusedTeachers, log, summary;
    // Every teacher's folder in one run: each statement prepared once.
    TdmqelXML::CollectionRun run(m_xml);
    for (qsizetype i = teachers.size() - 1; i >= 0; --i) {
        const Teacher &t = teachers.at(i);
        m_xml.iAnaId = t.iAnaId;
        QString folder;
        if (single) {
            folder = shown.isEmpty() ? QString() : LongDir(shown);
        } else {
            folder = RecordedFolder(t.sAaiDirInviato);
            FillClassList(folder);
        }
        m_xml.sFolder = folder;
        const QString recorded = t.sAaiDirInviato.trimmed();
        const QString fault =
            !folder.isEmpty() ? m_xml.TeacherFolderFault(t.iAnaId)
            : recorded.isEmpty() || single
                ? QStringLiteral("Nessuna cartella indicata.")
                : QStringLiteral("La cartella registrata all'invio (%1) non c'è su questo "
                                 "computer.")
                      .arg(recorded);
        const auto refuse = [&](const QString &why) {
            refusedTeachers
                << QStringLiteral("Il docente %1 non è stato raccolto.\r%2").arg(t.sDocNome, why);
        };
        if (!fault.isEmpty()) {
            refuse(fault);
            continue;
        }
        const QList<int> classes = tickedClasses();
        const auto prepare = [&](int classId) {
            m_xml.sDocNome = t.sDocNome;
            m_xml.sClsDesc = className(classId);
            m_xml.LoadClassFlags(classId);
        };
        // The folder is checked whole, every ticked class, before its first row is written: a
        // refused one is told and the next teacher goes on.
        try {
            for (int classId : classes) {
                prepare(classId);
                m_xml.LoadCollectPackets();
            }
        } catch (const EVxException &e) {
            refuse(e.message());
            continue;
        }
        int refused = 0;
        for (int classId : classes) {
            prepare(classId);
            const QStringList lines = m_xml.CollectData();
            refused += m_xml.RefusedRows();
            if (!lines.isEmpty())
                log << t.sDocNome + QLatin1Char(':') << lines;
            summary << QStringLiteral("%1, classe %2:").arg(t.sDocNome, m_xml.sClsDesc);
            for (const QString &line : m_xml.CollectSummary())
                summary << QStringLiteral("  ") + line;
        }
        // A folder without classes brought nothing back, and one with rows not written did not
        // bring back all: the teacher is still to be collected.
        if (!classes.isEmpty() && refused == 0) {
            SendBookkeeping(qqoVxGlobConn()).markReceived(t.iAaiId);
            run.Commit();
        } else if (refused > 0)
            log << QStringLiteral("Il docente %1 non è segnato come ricevuto.").arg(t.sDocNome);
        Reload();
    }
    const bool whole = refusedTeachers.isEmpty() && log.isEmpty();
    QStringList parts;
    if (!refusedTeachers.isEmpty())
        parts << refusedTeachers;
    if (!log.isEmpty())
        parts << NotCollectedMessage(log);
    if (!summary.isEmpty())
        parts << summary.join(QLatin1Char('\r'));
    parts.prepend(whole ? QStringLiteral("Operazione completata.")
                        : QStringLiteral("Alcuni dati non sono stati raccolti."));
    VxMessageDlg(parts.join(QStringLiteral("\r\r")), whole ? mtInformation : mtWarning, mbOK);
}

void registerRiceDForms()
{
    TAVRIN_REGISTER_FORM(TfmqelRiceD);
}
