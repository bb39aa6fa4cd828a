#include "exchange/qelfdocreceive.h"

#include "exchange/qeldocfolder.h"
#include "exchange/qelrdocreceivecls.h"
#include "exchange/qelrdocreceivesingle.h"
#include "exchange/qelsendbookkeeping.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

const char kNoClass[] = "Nessuna classe selezionata";

} // namespace

TfmqelDocReceive::TfmqelDocReceive(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_pages(new QTabWidget), m_singlePage(new QWidget),
      m_classPage(new QWidget), m_single(new TfrqelDocReceiveSingle),
      m_classes(new TfrqelDocReceiveCls)
{
    setObjectName(QStringLiteral("fmqelDocReceive"));
    setWindowTitle(QStringLiteral("Raccolta dati dei docenti (cartelle)"));
    buCancel()->setText(QStringLiteral("Chiudi"));
    AddTeacherCollectionPages(ClientArea(), m_pages, m_singlePage, m_single, m_classPage,
                              m_classes);
    m_pages->setCurrentWidget(m_singlePage);
    resize(700, 560);
}

TfmqelDocReceive::~TfmqelDocReceive() = default;

void TfmqelDocReceive::showEvent(QShowEvent *event)
{
    TfmVxOkCancDlg::showEvent(event);
    if (!m_shown)
        FormShow();
}

void TfmqelDocReceive::FormShow()
{
    m_shown = true;
    m_iAnsSesDwgId = TVxWorkingContext::session();
    m_iAnsId = TVxWorkingContext::schoolYear();
    RunShowingErrors([this] {
        m_single->SetAnsSesDwgId(m_iAnsSesDwgId);
        m_single->OpenList();
        m_classes->SetAnsSesDwgId(m_iAnsSesDwgId);
        m_classes->OpenList();
    });
}

void TfmqelDocReceive::OkClick()
{
    SetModalResult(mrNone);
    RunShowingErrors([this] {
        if (m_pages->currentWidget() == m_singlePage)
            CollectSingle();
        else
            CollectByClass();
    });
}

void TfmqelDocReceive::CollectSingle()
{
    QelWebTeacherGrid &teachers = m_single->Teachers();
    const int row = m_single->CurrentSourceRow();
    if (!teachers.IsOpen() || row < 0) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtWarning, mbOK);
        return;
    }
    const QString name = teachers.Value(row, QStringLiteral("sDocNome")).toString();
    const QString code = teachers.Value(row, QStringLiteral("sAnaCagCode")).toString();
    const QString folder = LongDir(m_single->dePath()->text().trimmed());
    const QString filter = m_single->BuildClsFilter();
    const QString folderCode = QelTeacherFolderCollector::ReadInfoCode(folder);
    if (VxMessageDlg(QStringLiteral("Selezionato docente %1. Confermi la raccolta dati?").arg(name),
                     mtWarning, mbYesNo) != mrYes)
        return;
    if (folderCode != code) {
        const QString info = folder + QelTeacherFolderWriter::InfoFileName();
        VxMessageDlg(
            !QFileInfo(info).isFile()
                ? QStringLiteral("Nella cartella %1 manca il file %2: non è una cartella "
                                 "scritta dall'invio, o il suo invio non è finito.")
                      .arg(QDir::toNativeSeparators(folder), QelTeacherFolderWriter::InfoFileName())
                : QStringLiteral("Il docente selezionato non è lo stesso del percorso "
                                 "specificato.\r\rLa cartella %1 è del docente con "
                                 "codice \"%2\".")
                      .arg(QDir::toNativeSeparators(folder), folderCode),
            mtError, mbOK);
        return;
    }
    if (filter == QLatin1String("1 = 0")) {
        VxMessageDlg(QLatin1String(kNoClass), mtError, mbOK);
        return;
    }
    TfmVxWait wait(this);
    wait.InitProgressBar(0, 1);
    wait.SetOperation(QStringLiteral("Docente: ") + name);
    wait.ShowWait();
    QelTeacherFolderCollector collector(m_iAnsSesDwgId, m_iAnsId);
    const QStringList notCollected =
        collector.ImportTeacherFolder(folder, teachers.Value(row, QStringLiteral("iAnaId")).toInt(),
                                      filter, QelTeacherFolderCollector::ReadShow(folder));
    wait.StepProgressBar();
    // What was told and refuses nothing (a debt deleted since the send) goes before the counts.
    QStringList told = collector.Notes();
    told << collector.Summary();
    const QString summary = told.join(QLatin1Char('\r'));
    // What did not come back is to be collected again: the teacher is not received yet.
    if (!notCollected.isEmpty()) {
        wait.CloseWait();
        VxMessageDlg(QStringLiteral("Alcuni dati del docente %1 non sono stati raccolti: il "
                                    "docente non è segnato come ricevuto.\r\r")
                             .arg(name) +
                         notCollected.join(QLatin1Char('\r')) + QStringLiteral("\r\r") + summary,
                     mtError, mbOK);
        return;
    }
    SendBookkeeping(qqoVxGlobConn())
        .markReceived(teachers.Value(row, QStringLiteral("iAaiId")).toInt());
    m_single->OpenList();
    m_single->SetCurrentSourceRow(row);
    wait.CloseWait();
    VxMessageDlg(QStringLiteral("Procedura completata.\r\r") + summary, mtInformation, mbOK);
}

void TfmqelDocReceive::CollectByClass()
{
    const QList<SendModeTeacher> teachers =
        SendBookkeeping(qqoVxGlobConn()).teachersOfMode(kModeNetwork, m_iAnsSesDwgId);
    const int selected = int(m_classes->SelectedSourceRows().size());
    if (selected == 0) {
        VxMessageDlg(QLatin1String(kNoClass), mtError, mbOK);
        return;
    }
    if (VxMessageDlg(CountText(selected,
                               QStringLiteral("Selezionata %1 classe. Confermi la raccolta dati?"),
                               QStringLiteral("Selezionate %1 classi. Confermi la raccolta dati?")),
                     mtWarning, mbYesNo) != mrYes)
        return;
    QPlainTextEdit *log = m_classes->meLog();
    log->clear();
    TfmVxWait wait(this);
    wait.InitProgressBar(0, int(teachers.size()));
    wait.ShowWait();
    const QString filter = m_classes->BuildClsFilter();
    QelTeacherFolderCollector collector(m_iAnsSesDwgId, m_iAnsId);
    QStringList refused;
    for (const SendModeTeacher &teacher : teachers) {
        const QString folder = LongDir(teacher.sAaiDirInviato.trimmed());
        wait.SetOperation(QStringLiteral("Docente: ") + teacher.sDocNome);
        const QString clsMat = folder + QelTeacherFolderWriter::PacketNames().at(0);
        if (!teacher.sAaiDirInviato.trimmed().isEmpty() && QFileInfo(clsMat).isFile()) {
            TClientDataSet assignments;
            assignments.LoadFromFile(clsMat);
            assignments.setFilter(filter);
            assignments.setFiltered(true);
            if (!assignments.IsEmpty()) {
                // A folder refused is told in the log, and the next teacher goes on.
                QStringList lines;
                try {
                    collector.CheckTeacherFolder(folder, teacher.iAnaId, filter,
                                                 QelTeacherFolderCollector::ReadShow(folder));
                } catch (const EVxException &e) {
                    lines << QStringLiteral("  ***ERRORE*** ") + OneLine(e.message());
                    refused << teacher.sDocNome;
                }
                QStringList summary;
                if (lines.isEmpty()) {
                    lines = collector.ImportCheckedFolder();
                    lines << collector.Notes();
                    summary = collector.Summary();
                }
                for (const QString &line : std::as_const(lines))
                    log->appendPlainText(line);
                log->appendPlainText(teacher.sAnaCagCode + QLatin1Char(' ') + teacher.sDocNome +
                                     QStringLiteral(" dalla directory ") + folder);
                for (assignments.First(); !assignments.Eof(); assignments.Next())
                    log->appendPlainText(
                        QStringLiteral("  classe: ") +
                        assignments.FieldByName(QStringLiteral("sClsDesc"))->AsString() +
                        QStringLiteral("  Materia: ") +
                        assignments.FieldByName(QStringLiteral("sMatLDesc"))->AsString());
                // What his folder changed closes his lines.
                for (const QString &line : std::as_const(summary))
                    log->appendPlainText(line);
            }
        }
        wait.StepProgressBar();
    }
    // The log ends naming every teacher whose folder was refused whole.
    if (!refused.isEmpty())
        log->appendPlainText(
            QStringLiteral("Docenti non raccolti: %1.").arg(refused.join(QStringLiteral(", "))));
    wait.CloseWait();
}

void TfmqelDocReceive::FormClose()
{
    m_single->CloseList();
    m_classes->CloseList();
}

void TfmqelDocReceive::done(int result)
{
    // OK runs a collection and stays open.
    if (result != mrOk)
        FormClose();
    TfmVxOkCancDlg::done(result);
}
