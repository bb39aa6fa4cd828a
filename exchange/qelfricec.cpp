#include "exchange/qelfricec.h"

#include "exchange/qelclassfolders.h"
#include "exchange/qelxml.h"
#include "platform/dbgridframes.h"
#include "platform/directoryedit.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTableView>

TfmqelRiceC::TfmqelRiceC(QWidget *parent)
    : TfmVxMultiSelect(parent), m_xml(std::make_unique<TdmqelXML>()),
      m_dir(AddClassFolderField(*this, QStringLiteral("Percorso classe:")))
{
    setObjectName(QStringLiteral("fmqelRiceC"));
    setWindowTitle(QStringLiteral("Raccolta scrutinio delle classi"));
    RunShowingErrors([this] { ShowClassList(*this, m_list, m_model, m_xml->iAnsSesDwgId); });
    m_dir->SetText(m_xml->ScrutinioBaseFolder());
    // The folder offered is the one the send wrote for the class chosen.
    connect(grSelect()->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        const int current = frSelect()->CurrentSourceRow();
        if (current >= 0)
            m_dir->SetText(ExpectedFolder(ClassRowAt(m_list, current)));
    });
}

QString TfmqelRiceC::ExpectedFolder(const TqelClassRow &row) const
{
    return m_xml->ScrutinioBaseFolder() + ClassFolderName(row) + QLatin1Char('/');
}

TfmqelRiceC::~TfmqelRiceC() = default;

void TfmqelRiceC::SetCurrentClass(int iClsId)
{
    for (int row = 0; m_list.Active() && row < m_list.RecordCount(); ++row)
        if (ClassRowAt(m_list, row).iClsId == iClsId)
            frSelect()->SetCurrentSourceRow(row);
}

void TfmqelRiceC::done(int result)
{
    if (!m_running)
        TfmVxMultiSelect::done(result);
}

void TfmqelRiceC::OkClick()
{
    SetModalResult(mrNone);
    const TqelRunningWork running(*this, m_running);
    RunShowingErrors([this] { Collect(); });
}

TqelClassRow TfmqelRiceC::TakeCurrentClass()
{
    const int current = frSelect()->CurrentSourceRow();
    if (current < 0)
        throw EVxException(QStringLiteral("Nessuna classe selezionata."), EVxException::Warning);
    const TqelClassRow row = ClassRowAt(m_list, current);
    if (const QString base = ParentFolder(m_dir->Text()); !base.isEmpty())
        m_xml->xpsPathScrutinio.SetValore(base);
    return row;
}

void TfmqelRiceC::Collect()
{
    const QString expected =
        frSelect()->CurrentSourceRow() < 0
            ? QString()
            : ExpectedFolder(ClassRowAt(m_list, frSelect()->CurrentSourceRow()));
    const TqelClassRow row = TakeCurrentClass();
    m_xml->iMode = 1;
    m_xml->LoadClassFlags(row.iClsId);
    m_xml->sFolder = ChosenFolder(m_dir->Text());
    m_xml->iClsSesId = row.iClsSesId;
    m_xml->sClsDesc = row.sClsDesc;
    if (const QString fault = m_xml->ClassFolderFault(row.iClsId, row.iClsSesId);
        !fault.isEmpty()) {
        // The folder the send wrote for the class is offered, never the one just refused.
        const auto same = [](const QString &a, const QString &b) {
            const QFileInfo x(a), y(b);
            return x.exists() && y.exists() ? x.canonicalFilePath() == y.canonicalFilePath()
                                            : QDir::cleanPath(a) == QDir::cleanPath(b);
        };
        const bool elsewhere = !expected.isEmpty() && !same(expected, m_xml->sFolder);
        VxMessageDlg(fault + (elsewhere ? QStringLiteral("\r\rLa classe %1 si raccoglie dalla "
                                                         "cartella che l'invio ha scritto per "
                                                         "lei: %2")
                                              .arg(row.sClsDesc, QDir::toNativeSeparators(expected))
                                        : QString()),
                     mtError, mbOK);
        return;
    }
    const QStringList log = m_xml->CollectData();
    VxMessageDlg(CollectionEndMessage(QStringLiteral("Operazione completata."), log,
                                      m_xml->CollectSummary()),
                 log.isEmpty() ? mtInformation : mtWarning, mbOK);
}
