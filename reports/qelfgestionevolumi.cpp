#include "reports/qelfgestionevolumi.h"

#include "platform/clientdataset.h"
#include "platform/comm.h"
#include "platform/datasetmodel.h"
#include "platform/dbgridframes.h"
#include "platform/desktop.h"
#include "platform/fileaccess.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/uploadbody.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "platform/zip.h"
#include "reports/qelregistrovolume.h"
#include "shell/qelpargen.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>

namespace {

const char kUploadPath[] = "/Registro/upload_val.php";
const char kNotifyPath[] = "/Registro/mailfromphp.php?tipo=REGISTRO&nomefile=";
const char kFailurePath[] = "/Registro/Crash.html";

struct VolumeName
{
    QString customer;
    QString mec;
    QDate date;
    QString time; // hh:mm:ss
};

// The wizard's form: customer (4) _ mec _ dd _ MM _ yyyy _ H[H]mmss .kaf, read with fixed
// digits whatever the desktop's locale. Anything else gives nothing, so that one stray file
// does not hide the volumes beside it.
std::optional<VolumeName> parseVolumeName(const QString &fileName)
{
    if (fileName.size() < 6 || fileName.at(4) != QLatin1Char('_') ||
        !fileName.endsWith(QLatin1String(".kaf"), Qt::CaseInsensitive))
        return std::nullopt;
    const QStringList parts = fileName.mid(5).chopped(4).split(QLatin1Char('_'));
    if (parts.size() != 5)
        return std::nullopt;
    const auto number = [](const QString &text, int &value) {
        bool ok = !text.isEmpty();
        for (const QChar c : text)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        value = ok ? text.toInt(&ok) : 0;
        return ok;
    };
    const QString &digits = parts[4];
    const int hourDigits = digits.size() % 2 ? 1 : 2;
    int day = 0, month = 0, year = 0, hours = 0, minutes = 0, seconds = 0;
    if ((digits.size() != 5 && digits.size() != 6) || !number(parts[1], day) ||
        !number(parts[2], month) || !number(parts[3], year) ||
        !number(digits.left(hourDigits), hours) || !number(digits.mid(hourDigits, 2), minutes) ||
        !number(digits.right(2), seconds))
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hours, minutes, seconds);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return VolumeName{fileName.left(4), parts[0], date, time.toString(QStringLiteral("hh:mm:ss"))};
}

void createCatalogue(TClientDataSet &catalogue)
{
    catalogue.Close();
    catalogue.ClearFieldDefs();
    catalogue.AddFieldDef(QStringLiteral("sNomeFile"), ftString, 50);
    catalogue.AddFieldDef(QStringLiteral("sTitolo"), ftString, 100);
    catalogue.CreateDataSet();
}

void showError(const QString &text)
{
    VxMessageDlg(text, mtError, mbOK);
}

// A question that destroys or sends defaults to No; one that follows the office's own
// request (the preview it asked for) defaults to doing it.
bool confirm(const QString &text, TMsgDlgType type, int defaultButton = mrNo)
{
    return VxMessageDlg(text, type, mbYesNo, 0, defaultButton) == mrYes;
}

QToolButton *pictureButton(const char *name, const QString &hint, QStyle::StandardPixmap icon,
                           QWidget *owner)
{
    auto *button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setIcon(owner->style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    return button;
}

} // namespace

TfmQelGestioneVolumi::TfmQelGestioneVolumi(QWidget *parent)
    : TfmVxChildDB(parent), m_volumes(std::make_unique<TClientDataSet>()),
      m_model(new TVxClientDataSetModel(this)), m_grid(new TfrVxDBROGrid),
      m_preview(pictureButton("buAnteprima", QStringLiteral("Mostra anteprima"),
                              QStyle::SP_FileDialogContentsView, this)),
      m_delete(pictureButton("buCancella", QStringLiteral("Cancella selezionato"),
                             QStyle::SP_TrashIcon, this)),
      m_send(
          pictureButton("buInvia", QStringLiteral("Invia a Veldrasoft"), QStyle::SP_ArrowUp, this)),
      m_empty(new QPushButton(QStringLiteral("Svuota cartella"))), m_comm(new TdmxComm(this))
{
    setObjectName(QStringLiteral("fmQelGestioneVolumi"));
    setWindowTitle(QStringLiteral("Gestione volumi"));
    WithParGen([this](const TdmqelParGen &parGen) { parGen.ApplyWebLimits(*m_comm); });
    auto *layout = new QVBoxLayout(this);
    auto *header = new QLabel(QStringLiteral("Elenco dei volumi generati. Selezionare un volume e "
                                             "usare i tasti sulla destra per operare su di esso."));
    header->setObjectName(QStringLiteral("laIntestazione"));
    header->setWordWrap(true);
    layout->addWidget(header);
    auto *row = new QHBoxLayout;
    layout->addLayout(row, 1);
    m_grid->setObjectName(QStringLiteral("grVolumi"));
    row->addWidget(m_grid, 1);
    auto *buttons = new QVBoxLayout;
    row->addLayout(buttons);
    for (QToolButton *button : {m_preview, m_delete, m_send})
        buttons->addWidget(button);
    buttons->addStretch(1);
    m_empty->setObjectName(QStringLiteral("buSvuota"));
    buttons->addWidget(m_empty);

    m_volumes->AddFieldDef(QStringLiteral("sNomeCompleto"), ftString, 100);
    m_volumes->AddFieldDef(QStringLiteral("Codice Cliente"), ftString, 20);
    m_volumes->AddFieldDef(QStringLiteral("Codice Ministeriale"), ftString, 20);
    m_volumes->AddFieldDef(QStringLiteral("Titolo"), ftString, 100);
    m_volumes->AddFieldDef(QStringLiteral("Data"), ftDate, 0);
    m_volumes->AddFieldDef(QStringLiteral("Ora"), ftString, 8);
    m_volumes->CreateDataSet();
    m_model->SetDataSet(m_volumes.get());
    m_grid->SetDataSource(m_model);

    const auto handler = [this](void (TfmQelGestioneVolumi::*work)()) {
        return [this, work] { RunShowingErrors([this, work] { (this->*work)(); }); };
    };
    connect(m_preview, &QToolButton::clicked, this, handler(&TfmQelGestioneVolumi::preview));
    connect(m_delete, &QToolButton::clicked, this, handler(&TfmQelGestioneVolumi::deleteSelected));
    connect(m_send, &QToolButton::clicked, this, handler(&TfmQelGestioneVolumi::send));
    connect(m_empty, &QPushButton::clicked, this, handler(&TfmQelGestioneVolumi::emptyFolder));

    RunShowingErrors([this] {
        m_folder = QelRegisterVolume::RegisterFolder();
        LoadVolumi();
        clearPreviewFolder();
    });
    resize(760, 420);
}

TfmQelGestioneVolumi::~TfmQelGestioneVolumi() = default;

void TfmQelGestioneVolumi::LoadVolumi()
{
    // A folder that could not be made at opening is asked for again, never taken as the
    // current directory.
    if (m_folder.isEmpty())
        m_folder = QelRegisterVolume::RegisterFolder();
    m_volumes->EmptyDataSet();
    // Under the catalogue's lock: a volume run of another office adds its row meanwhile.
    QelRegisterVolume::ChangeCatalogue(m_folder, [this](TClientDataSet &catalogue) {
        TClientDataSet kept;
        createCatalogue(kept);
        const QFileInfoList files = QDir(m_folder).entryInfoList(
            {QStringLiteral("*.kaf")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo &file : files) {
            const QString name = file.fileName();
            const QString stem = name.chopped(4);
            QString title;
            if (catalogue.Locate(QStringLiteral("sNomeFile"), stem)) {
                title = catalogue.FieldByName(QStringLiteral("sTitolo"))->AsString();
                kept.Append();
                kept.FieldByName(QStringLiteral("sNomeFile"))->setValue(stem);
                kept.FieldByName(QStringLiteral("sTitolo"))->setValue(title);
                kept.Post();
            }
            const std::optional<VolumeName> parsed = parseVolumeName(name);
            m_volumes->Append();
            m_volumes->FieldByName(QStringLiteral("sNomeCompleto"))->setValue(name);
            m_volumes->FieldByName(QStringLiteral("Titolo"))->setValue(title);
            if (parsed) {
                m_volumes->FieldByName(QStringLiteral("Codice Cliente"))
                    ->setValue(parsed->customer);
                m_volumes->FieldByName(QStringLiteral("Codice Ministeriale"))
                    ->setValue(parsed->mec);
                m_volumes->FieldByName(QStringLiteral("Data"))->setValue(parsed->date);
                m_volumes->FieldByName(QStringLiteral("Ora"))->setValue(parsed->time);
            }
            m_volumes->Post();
        }
        // An emptied folder keeps its catalogue: the titles come back with a volume restored.
        if (files.isEmpty())
            return false;
        createCatalogue(catalogue);
        for (int row = 0; row < kept.RecordCount(); ++row) {
            catalogue.Append();
            for (int column = 0; column < 2; ++column)
                catalogue.Fields(column)->setValue(kept.Value(row, column));
            catalogue.Post();
        }
        return true;
    });

    m_volumes->First();
    m_model->Reload();
    // Every field but the file name, which the office reads in the other columns.
    m_grid->HideAllColumns();
    for (const auto &[field, width] : {std::pair{"Codice Cliente", 100},
                                       {"Codice Ministeriale", 140},
                                       {"Titolo", 220},
                                       {"Data", 90},
                                       {"Ora", 70}})
        m_grid->ShowColumn(QString::fromLatin1(field), QString::fromLatin1(field), width);
    if (m_volumes->RecordCount() > 0) {
        m_grid->SetCurrentSourceRow(0);
        m_grid->grGrid()->setCurrentIndex(m_grid->grGrid()->model()->index(0, 1));
    }
}

QString TfmQelGestioneVolumi::selectedVolume()
{
    const int row = m_grid->CurrentSourceRow();
    if (row < 0 || row >= m_volumes->RecordCount()) {
        VxMessageDlg(QStringLiteral("Selezionare un volume."), mtCustom, mbOK);
        return {};
    }
    m_volumes->setRecNo(row);
    return m_volumes->FieldByName(QStringLiteral("sNomeCompleto"))->AsString();
}

void TfmQelGestioneVolumi::preview()
{
    const QString name = selectedVolume();
    if (name.isEmpty() ||
        !confirm(QStringLiteral("Aprire un'anteprima del file?"), mtConfirmation, mrYes))
        return;
    const QString tmp = VxMakeOwnFolder(m_folder, QStringLiteral("tmp"));
    TZip zip;
    zip.setFileName(m_folder + name);
    zip.setExtractPath(tmp);
    zip.Extract();
    QCoreApplication::processEvents();
    VxOpenDocumentOrTell(tmp + QLatin1Char('/') + name.chopped(4) + QStringLiteral(".pdf"));
}

void TfmQelGestioneVolumi::deleteSelected()
{
    const QString name = selectedVolume();
    if (name.isEmpty() ||
        !confirm(QStringLiteral("Cancellare il volume selezionato?"), mtConfirmation))
        return;
    if (!QFile::remove(m_folder + name)) {
        showError(QStringLiteral("Impossibile eliminare il file selezionato."));
        return;
    }
    LoadVolumi();
}

void TfmQelGestioneVolumi::emptyFolder()
{
    if (!confirm(QStringLiteral("Questa operazione cancellerà dal disco tutti i volumi, anche "
                                "quelli non ancora inviati. Continuare?"),
                 mtWarning) ||
        !confirm(QStringLiteral("ATTENZIONE! Questa operazione è irreversibile. Svuotare la "
                                "cartella?"),
                 mtWarning))
        return;
    if (m_folder.isEmpty())
        m_folder = QelRegisterVolume::RegisterFolder();
    try {
        bool failed = false;
        for (const QFileInfo &file : QDir(m_folder).entryInfoList(
                 {QStringLiteral("*.kaf")}, QDir::Files | QDir::Hidden | QDir::System))
            failed = !QFile::remove(file.absoluteFilePath()) || failed;
        // And what volume runs whose program is gone left.
        QelRegisterVolume::ClearAbandonedRuns(m_folder);
        if (failed)
            showError(QStringLiteral("È stato impossibile cancellare uno o più file."));
    } catch (const std::exception &) {
        showError(QStringLiteral("Cancellazione cartella non riuscita"));
    }
    LoadVolumi();
}

void TfmQelGestioneVolumi::clearPreviewFolder()
{
    if (m_folder.isEmpty())
        return;
    try {
        bool failed = false;
        const QDir tmp(m_folder + QStringLiteral("tmp"));
        for (const QFileInfo &entry : tmp.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot)) {
            const bool removed = entry.isDir() && !entry.isSymLink()
                                     ? QDir(entry.absoluteFilePath()).removeRecursively()
                                     : QFile::remove(entry.absoluteFilePath());
            failed = !removed || failed;
        }
        if (failed)
            showError(QStringLiteral("È stato impossibile cancellare uno o più file dalla "
                                     "cartella temporanea"));
    } catch (const std::exception &) {
        showError(QStringLiteral("Cancellazione cartella temporanea non riuscita"));
    }
}

void TfmQelGestioneVolumi::send()
{
    const QString name = selectedVolume();
    if (name.isEmpty() ||
        !confirm(QStringLiteral("Inviare il volume selezionato al server Veldrasoft?"),
                 mtConfirmation))
        return;
    const QString server = dmqelParGen->WebServerAddress();
    const QString page = UploadVolume(m_folder + name, server + QLatin1String(kUploadPath))
                             ? QLatin1String(kNotifyPath) + name
                             : QString::fromLatin1(kFailurePath);
    VxOpenUrlOrTell(QUrl(server + page));
}

bool TfmQelGestioneVolumi::UploadVolume(const QString &filePath, const QString &url)
{
    QFile file;
    if (!VxOpenRegularFile(file, filePath))
        throw EVxException(QStringLiteral("Impossibile leggere il volume %1").arg(filePath));
    QByteArray body =
        uploadBody(filePath, file.readAll(), QStringLiteral("tipo"), QStringLiteral("Registro"));
    file.close();

    TfmVxWait wait(this);
    wait.SetTitle(QStringLiteral("Invio automatico dei registri"));
    wait.SetOperation(QStringLiteral("L'operazione potrebbe richiedere parecchi minuti..."));
    wait.ShowWait();
    wait.Refresh();
    QBuffer request(&body);
    request.open(QIODevice::ReadOnly);
    QByteArray replyBytes;
    QBuffer reply(&replyBytes);
    reply.open(QIODevice::WriteOnly);
    m_comm->setContentType(uploadContentType());
    try {
        m_comm->http_post(url, request, reply);
    } catch (const EVxException &e) {
        wait.CloseWait();
        throw EVxException(QStringLiteral("Errore di comunicazione con il Server Veldrasoft: ") +
                               e.message(),
                           e.severity(), e.detail());
    }
    wait.CloseWait();
    return replyBytes == "OK";
}

void TfmQelGestioneVolumi::FormClose(TCloseAction &action)
{
    TfmVxChildDB::FormClose(action);
    if (action != caNone)
        RunShowingErrors([this] { clearPreviewFolder(); });
}
