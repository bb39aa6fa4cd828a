#include "reports/qelfopzioniregistri.h"

#include "platform/frames.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reports/qelregistridata.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kExams[] = {"esame di qualifica.", "esame di stato."};

QList<int> classIds(const QListWidget *list)
{
    QList<int> ids;
    for (int row = 0; row < list->count(); ++row)
        ids << list->item(row)->data(Qt::UserRole).toInt();
    return ids;
}

} // namespace

TfmQelOpzioniRegistri::TfmQelOpzioniRegistri(QWidget *owner) : TfmVxWizard(owner)
{
    setObjectName(QStringLiteral("fmQelOpzioniRegistri"));
    setWindowTitle(QStringLiteral("Opzioni stampa digitale"));
    for (int tipo = 0; tipo < 2; ++tipo) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("tsElenco%1").arg(tipo));
        auto *layout = new QVBoxLayout(page);
        // One line: the exam in bold after its article, never the article alone at a line end.
        auto *exam = new QLabel(QStringLiteral("Indicare le classi che hanno sostenuto l'<b>%1</b>")
                                    .arg(QString::fromLatin1(kExams[tipo])));
        exam->setObjectName(QStringLiteral("laEsame%1").arg(tipo));
        exam->setTextFormat(Qt::RichText);
        layout->addWidget(exam);
        auto *list = new TfrVxDoubleListView;
        list->setObjectName(QStringLiteral("dlElenco%1").arg(tipo));
        layout->addWidget(list, 1);
        m_lists[std::size_t(tipo)] = list;
        AddPage(page);
    }
    resize(760, 440);
    GoToPage(0);
}

void TfmQelOpzioniRegistri::PageShown(int page)
{
    TfrVxDoubleListView *list = m_lists[std::size_t(page)];
    if (list->lvRight()->count() == 0) {
        m_loadFailed = !RunShowingErrors([this, list, page] {
            const int session = TVxWorkingContext::session();
            QelRegisterOptions::LoadAvailable(list->lvLeft(), session, page);
            QelRegisterOptions::LoadListed(list->lvRight(), session, page);
            m_loaded[std::size_t(page)] = classIds(list->lvRight());
        }) || m_loadFailed;
    }
    if (m_loadFailed)
        buFinish()->setEnabled(false);
}

bool TfmQelOpzioniRegistri::Finish()
{
    if (m_loadFailed)
        return false;
    const bool saved = RunShowingErrors([this] {
        QelRegisterOptions::Save(TVxWorkingContext::session(),
                                 {{{m_loaded[0], classIds(m_lists[0]->lvRight())},
                                   {m_loaded[1], classIds(m_lists[1]->lvRight())}}});
    });
    if (saved)
        VxMessageDlg(QStringLiteral("Operazione completata. Opzioni salvate."), mtCustom, mbOK);
    return saved;
}
