#include "gradeentry/qevactivations.h"

#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarbs.h"
#include "platform/formregistry.h"
#include "platform/messagedlg.h"
#include "shell/qelactivations.h"

#include <QDialog>

#include <memory>

TdmqevActivations *dmqevActivations = nullptr;

namespace {

const QString kClasse = QStringLiteral("classe");
const QString kSingolo = QStringLiteral("singolo");
const QString kMateria = QStringLiteral("materia");
const QString kDebiti = QStringLiteral("debiti");

void rifiuta(const QString &richiesto, const QString &aperto)
{
    VxMessageDlg(QStringLiteral("Impossibile attivare il caricamento per %1.\r\rÈ già stato "
                                "attivato il caricamento per %2.\r\rChiudere la finestra di "
                                "caricamento attuale per proseguire.")
                     .arg(richiesto, aperto),
                 mtWarning, mbOK);
}

// Shows a selection dialog by class name: true when it ends with OK. A dialog not in this
// version stands aside: the window behind it is not either, and says so itself.
bool selezione(const char *className)
{
    const QString name = QString::fromLatin1(className);
    if (!FormRegistry::isRegistered(name))
        return true;
    std::unique_ptr<QWidget> form(FormRegistry::create(name, nullptr));
    auto *dialog = qobject_cast<QDialog *>(form.get());
    return dialog && VxExecModal(dialog) == mrOk;
}

// A window asked to let its data go: it saves or drops its edits on the office's answer.
bool lasciaDati(const char *className)
{
    QevGradeWindow *window = TdmqevActivations::GradeWindow(QString::fromLatin1(className));
    return !window || window->ChiediSalvataggio();
}

// The pupil window's page that matches the page the office was looking at.
QString paginaSingolo(const QString &pagina, bool daClasse)
{
    static const QStringList comuni = {
        QStringLiteral("Voti"),    QStringLiteral("Voti proposti"), QStringLiteral("Tassonomie"),
        QStringLiteral("Assenze"), QStringLiteral("Aiuti"),         QStringLiteral("Note"),
        QStringLiteral("Debiti")};
    if (comuni.contains(pagina))
        return pagina;
    if (daClasse && pagina == QStringLiteral("Crediti"))
        return pagina;
    if (daClasse &&
        (pagina == QStringLiteral("Giudizio") || pagina == QStringLiteral("Esito finale")))
        return QStringLiteral("Finale");
    return QString();
}

} // namespace

TdmqevActivations::TdmqevActivations(QObject *owner) : TdmVxAttivazioni(owner)
{
    setObjectName(QStringLiteral("dmqevActivations"));
    xafCarCls = AddForm(QStringLiteral("xafCarCls"), QStringLiteral("Caricamento per classe"),
                        QString::fromLatin1(QevForms::CarCls), nullptr, 0, -1);
    xafCarSng = AddForm(QStringLiteral("xafCarSng"), QStringLiteral("Caricamento per singolo"),
                        QString::fromLatin1(QevForms::CarSng), nullptr, 0, -1);
    xafCarMat = AddForm(QStringLiteral("xafCarMat"), QStringLiteral("Caricamento per materia"),
                        QString::fromLatin1(QevForms::CarMat), nullptr, 0, -1);
    xafCarDeb = AddForm(QStringLiteral("xafCarDeb"), QStringLiteral("Caricamento debiti"),
                        QString::fromLatin1(QevForms::CarDeb), nullptr, 0, -1);

    xafCarCls->BeforeExecute = [this](TVxAttItem *, bool &allow) { xafCarClsBeforeExecute(allow); };
    xafCarSng->BeforeExecute = [this](TVxAttItem *, bool &allow) { xafCarSngBeforeExecute(allow); };
    xafCarMat->BeforeExecute = [this](TVxAttItem *, bool &allow) { xafCarMatBeforeExecute(allow); };
    xafCarDeb->BeforeExecute = [this](TVxAttItem *, bool &allow) { xafCarDebBeforeExecute(allow); };
    xafCarCls->AfterExecute = [](TVxAttItem *) { caricaFinestra(QevForms::CarCls); };
    xafCarMat->AfterExecute = [](TVxAttItem *) { caricaFinestra(QevForms::CarMat); };
    xafCarDeb->AfterExecute = [](TVxAttItem *) { caricaFinestra(QevForms::CarDeb); };
    xafCarSng->AfterExecute = [this](TVxAttItem *) { xafCarSngAfterExecute(); };
}

TdmqevActivations::~TdmqevActivations()
{
    if (dmqevActivations == this)
        dmqevActivations = nullptr;
}

QWidget *TdmqevActivations::FinestraAperta(const QString &className)
{
    for (QWidget *w : FormRegistry::instances(className)) {
        if (qobject_cast<QevGradeWindow *>(w))
            return w;
    }
    return nullptr;
}

QevGradeWindow *TdmqevActivations::GradeWindow(const QString &className)
{
    return qobject_cast<QevGradeWindow *>(FinestraAperta(className));
}

bool TdmqevActivations::CarClsAperto()
{
    return FinestraAperta(QString::fromLatin1(QevForms::CarCls));
}

bool TdmqevActivations::CarSngAperto()
{
    return FinestraAperta(QString::fromLatin1(QevForms::CarSng));
}

bool TdmqevActivations::CarMatAperto()
{
    return FinestraAperta(QString::fromLatin1(QevForms::CarMat));
}

bool TdmqevActivations::CarDebAperto()
{
    return FinestraAperta(QString::fromLatin1(QevForms::CarDeb));
}

QevGradeWindow *TdmqevActivations::FinestraOrigine()
{
    if (QevGradeWindow *cls = GradeWindow(QString::fromLatin1(QevForms::CarCls)))
        return cls;
    return GradeWindow(QString::fromLatin1(QevForms::CarMat));
}

bool TdmqevActivations::ChiudiFinestra(const char *className)
{
    QWidget *window = FinestraAperta(QString::fromLatin1(className));
    return !window || window->close();
}

void QevGradeWindow::SetReadOnly(bool value)
{
    for (int tipoDati = tdVoti; tipoDati <= tdEsito; ++tipoDati) {
        if (TfrqevCarBs *frame = FrameDi(tipoDati))
            frame->SetReadOnly(value);
    }
}

TdmqevActivations::DaGriglia::DaGriglia()
{
    if (dmqevActivations)
        ++dmqevActivations->m_daGriglia;
}

TdmqevActivations::DaGriglia::~DaGriglia()
{
    if (dmqevActivations)
        --dmqevActivations->m_daGriglia;
}

bool TdmqevActivations::ControllaAnnoLavoro()
{
    return TdmqelActivations::RequireSchoolYear();
}

bool TdmqevActivations::ControllaSessioneLavoro()
{
    return TdmqelActivations::RequireSession();
}

void TdmqevActivations::caricaFinestra(const QString &className)
{
    if (QevGradeWindow *window = GradeWindow(className))
        window->CaricaFrames();
}

void TdmqevActivations::xafCarClsBeforeExecute(bool &allow)
{
    allow = ControllaAnnoLavoro() && ControllaSessioneLavoro();
    if (!allow)
        return;
    if (CarSngAperto() || CarMatAperto() || CarDebAperto()) {
        rifiuta(kClasse, CarSngAperto() ? kSingolo : CarMatAperto() ? kMateria : kDebiti);
        allow = false;
        return;
    }
    allow = lasciaDati(QevForms::CarCls) && selezione(QevForms::SelCarCls);
}

void TdmqevActivations::xafCarSngBeforeExecute(bool &allow)
{
    allow = ControllaAnnoLavoro() && ControllaSessioneLavoro();
    if (!allow || CarSngDaGriglia())
        return;
    if (CarClsAperto() || CarMatAperto() || CarDebAperto()) {
        rifiuta(kSingolo, CarClsAperto() ? kClasse : CarMatAperto() ? kMateria : kDebiti);
        allow = false;
        return;
    }
    allow = lasciaDati(QevForms::CarSng) && selezione(QevForms::SelCarClsAlu);
}

void TdmqevActivations::xafCarMatBeforeExecute(bool &allow)
{
    allow = ControllaAnnoLavoro() && ControllaSessioneLavoro();
    if (!allow)
        return;
    if (CarSngAperto() || CarClsAperto() || CarDebAperto()) {
        rifiuta(kMateria, CarSngAperto() ? kSingolo : CarClsAperto() ? kClasse : kDebiti);
        allow = false;
        return;
    }
    allow = lasciaDati(QevForms::CarMat) && selezione(QevForms::SelCarClsMat);
}

void TdmqevActivations::xafCarDebBeforeExecute(bool &allow)
{
    allow = ControllaAnnoLavoro() && ControllaSessioneLavoro();
    if (!allow)
        return;
    if (CarClsAperto() || CarSngAperto() || CarMatAperto()) {
        rifiuta(kDebiti, CarClsAperto() ? kClasse : CarSngAperto() ? kSingolo : kMateria);
        allow = false;
        return;
    }
    allow = lasciaDati(QevForms::CarDeb) && selezione(QevForms::SelCarClsAlu);
}

void TdmqevActivations::xafCarSngAfterExecute()
{
    QevGradeWindow *pupil = GradeWindow(QString::fromLatin1(QevForms::CarSng));
    if (!pupil)
        return;
    pupil->CaricaFrames();
    const bool daClasse = CarClsAperto();
    QevGradeWindow *source = daClasse ? GradeWindow(QString::fromLatin1(QevForms::CarCls))
                                      : GradeWindow(QString::fromLatin1(QevForms::CarMat));
    if (!source)
        return;
    const QString pagina = paginaSingolo(source->PaginaAttiva(), daClasse);
    if (!pagina.isEmpty())
        pupil->MostraPagina(pagina);
}
