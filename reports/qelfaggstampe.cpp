#include "reports/qelfaggstampe.h"

#include "platform/comm.h"
#include "platform/desktop.h"
#include "platform/directoryedit.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qelpargen.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char kArchivePath[] = "/tools/repos/qeyStampe.zip";
const char kArchiveName[] = "qeyStampe.zip";
const char kBoardPath[] = "/index.php/Report_Tavrin_Scrutinio";
const char kFolderCaption[] = "Scegliere il percorso di destinazione del file";

} // namespace

TfmQelAggStampe::TfmQelAggStampe(QWidget *owner)
    : TfmVxOkCancDlg(owner), m_folder(new TVxDirectoryEdit(QString::fromUtf8(kFolderCaption))),
      m_download(new QPushButton(QStringLiteral("Scarica le stampe aggiornate"))),
      m_board(new QToolButton),
      m_browse(new QAction(QStringLiteral("Visualizza la bacheca on-line"), this)),
      m_comm(new TdmxComm(this))
{
    setObjectName(QStringLiteral("fmQelAggStampe"));
    setWindowTitle(QStringLiteral("Aggiorna stampe scrutinio"));
    WithParGen([this](const TdmqelParGen &parGen) { parGen.ApplyWebLimits(*m_comm); });
    auto *layout = new QVBoxLayout(ClientArea());

    layout->addWidget(new QLabel(QString::fromUtf8(kFolderCaption)));
    m_folder->setObjectName(QStringLiteral("dePercorso"));
    m_folder->setMinimumWidth(320);
    layout->addWidget(m_folder);

    m_download->setObjectName(QStringLiteral("buDwnLoadStampe"));
    layout->addWidget(m_download);

    auto *note = new QLabel(QStringLiteral("NB: la procedura scaricherà nel percorso \n"
                                           "selezionato il file qeyStampe.zip \n"
                                           "che dovrà essere importato nel Tavrin Scrutinio."));
    note->setObjectName(QStringLiteral("laNota"));
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);

    m_browse->setObjectName(QStringLiteral("BrowseURL1"));
    m_board->setObjectName(QStringLiteral("SpeedButton1"));
    m_board->setText(QStringLiteral(" Visualizza la bacheca on-line delle stampe personalizzate"));
    m_board->setAutoRaise(true);
    layout->addWidget(m_board);

    connect(m_download, &QPushButton::clicked, this,
            [this] { RunShowingErrors([this] { buDwnLoadStampeClick(); }); });
    connect(m_board, &QToolButton::clicked, m_browse, &QAction::trigger);
    connect(m_browse, &QAction::triggered, this,
            [this] { RunShowingErrors([this] { BrowseURL1Execute(); }); });
}

QString TfmQelAggStampe::ArchiveUrl()
{
    return dmqelParGen->SupportServerAddress() + QString::fromLatin1(kArchivePath);
}

void TfmQelAggStampe::buDwnLoadStampeClick()
{
    const QString folder = m_folder->Text().trimmed();
    if (folder.isEmpty()) {
        VxMessageDlg(QStringLiteral("Percorso di destinazione mancante"), mtInformation, mbOK);
        return;
    }
    // One separator between folder and name, whichever the office typed; a folder written
    // the Windows way is found in any letter case.
    if (ScaricaFile(ArchiveUrl(), LongDir(resolvePath(folder)) + QString::fromLatin1(kArchiveName)))
        VxMessageDlg(QStringLiteral("Aggiornamento completato"), mtInformation, mbOK);
}

bool TfmQelAggStampe::ScaricaFile(const QString &url, const QString &fileName)
{
    TVxHourglass hourglass;
    try {
        m_comm->http_get(url, fileName);
    } catch (const EVxException &e) {
        throw EVxException(QStringLiteral("Errore di comunicazione con il Server Veldrasoft: ") +
                               e.message(),
                           e.severity(), e.detail());
    }
    return true;
}

void TfmQelAggStampe::BrowseURL1Execute()
{
    const QUrl board(dmqelParGen->WikiServerAddress() + QString::fromLatin1(kBoardPath));
    if (!VxOpenUrl(board))
        VxMessageDlg(QStringLiteral("Impossibile aprire la pagina selezionata. Verificare che ci "
                                    "sia una connessione disponibile."),
                     mtWarning, mbOK);
}
