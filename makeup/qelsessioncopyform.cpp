#include "makeup/qelsessioncopyform.h"

#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QComboBox *addSessionGroup(QBoxLayout *layout, QWidget *parent, const QString &title,
                           const QString &label, const QString &listName)
{
    auto *group = new QGroupBox(title, parent);
    auto *row = new QHBoxLayout(group);
    auto *caption = new QLabel(label, group);
    auto *list = new QComboBox(group);
    list->setObjectName(listName);
    list->setMinimumWidth(220);
    caption->setBuddy(list);
    row->addWidget(caption);
    row->addWidget(list, 1);
    layout->addWidget(group);
    return list;
}

} // namespace

void addCopyWarningPanel(QBoxLayout *layout, QWidget *parent, const QString &text)
{
    auto *panel = new QLabel(text, parent);
    panel->setObjectName(QStringLiteral("paWarning"));
    panel->setAlignment(Qt::AlignCenter);
    panel->setWordWrap(true);
    panel->setMargin(8);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, Qt::red);
    colours.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(colours);
    QFont bold = panel->font();
    bold.setBold(true);
    panel->setFont(bold);
    layout->addWidget(panel);
}

QelSessionCopyHeader addSessionCopyHeader(QWidget *client, const QString &warning,
                                          const QString &sourceTitle, const QString &targetTitle,
                                          const QString &targetLabel, const QString &targetName)
{
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    addCopyWarningPanel(layout, client, warning);
    QComboBox *source =
        addSessionGroup(layout, client, sourceTitle, QStringLiteral("Sessione Finale"),
                        QStringLiteral("cboSessione"));
    QComboBox *target = addSessionGroup(layout, client, targetTitle, targetLabel, targetName);
    return {layout, source, target};
}

bool loadSessionLists(QComboBox *source, int sourceKind, QComboBox *target, int targetKind)
{
    const bool loaded = RunShowingErrors([&] {
        loadSessionsOfKind(source, sourceKind);
        loadSessionsOfKind(target, targetKind);
    });
    source->setCurrentIndex(source->count() > 0 ? 0 : -1);
    target->setCurrentIndex(target->count() > 0 ? 0 : -1);
    if (!loaded)
        return false; // the database's refusal was shown
    if (source->count() > 0 && target->count() > 0)
        return true;
    VxMessageDlg(QStringLiteral("Non sono state configurate le sessioni necessarie al passaggio "
                                "dei dati. Impossibile continuare!"),
                 mtWarning, mbOK);
    return false;
}

int chosenSession(const QComboBox *list)
{
    return enumItemId(list, list->currentIndex());
}

bool confirmSessionCopy(const QComboBox *source, const QComboBox *target)
{
    const QString copy =
        QStringLiteral("Con la seguente procedura verranno copiate le voci selezionate dalla "
                       "sessione\r\r%1\r\ralla sessione\r\r%2\r\rContinuare?")
            .arg(source->currentText(), target->currentText());
    if (VxMessageDlg(copy, mtWarning, mbYesNo, 0, mrNo) != mrYes)
        return false;
    return VxMessageDlg(QStringLiteral("Procedendo verranno cancellati i dati già presenti nella "
                                       "sessione di destinazione.Continuare comunque?"),
                        mtWarning, mbYesNo, 0, mrNo) == mrYes;
}

std::optional<QelCopyResult> runCopyStep(const QelCopyStepTexts &step, int iSourceId, int iTargetId,
                                         int minimumVote, const QelCopyProgress &progress)
{
    QelCopyResult result;
    try {
        result = copySessionRows(qqoVxGlobConn(), step.kind, iSourceId, iTargetId, minimumVote,
                                 progress);
    } catch (const std::exception &e) {
        const auto *expected = dynamic_cast<const EVxException *>(&e);
        VxMessageDlg(QStringLiteral("Errore durante il passaggio %1: l'operazione è stata "
                                    "interrotta. Questi dati della sessione di destinazione sono "
                                    "rimasti come erano.\r\r%2")
                         .arg(QString::fromUtf8(step.what),
                              expected ? expected->message() : QString::fromUtf8(e.what())),
                     mtError, mbOK);
        return std::nullopt;
    }
    if (result.sourceRows == 0)
        VxMessageDlg(QString::fromUtf8(step.nothingToCopy), mtWarning, mbOK);
    return result;
}

QString rowWithoutPlaceLine(const QelRowWithoutPlace &row)
{
    return QStringLiteral("Classe: ") + row.sClsDesc + QStringLiteral(", Materia: ") +
           row.sMatSDesc;
}
