#include "exchange/qelfdocconfirmsendweb.h"

#include "exchange/qelwebsendsql.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/messagedlg.h"
#include "platform/sqlclientdataset.h"
#include "shell/qelutil.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char kFinalText[] = "ATTENZIONE!!\r\n\r\nSono stati selezionati %d docenti.";

// The texts keep the line breaks as the office's Windows program wrote them; a label breaks
// at "\n".
QString shown(const QString &text)
{
    return QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QLabel *label(QVBoxLayout *layout, const QString &text, const char *name = nullptr,
              bool bold = false)
{
    auto *l = new QLabel(shown(text));
    l->setWordWrap(true);
    if (name)
        l->setObjectName(QLatin1String(name));
    if (bold) {
        QFont font = l->font();
        font.setBold(true);
        l->setFont(font);
    }
    layout->addWidget(l);
    return l;
}

QWidget *page(const char *name, QVBoxLayout **layout)
{
    auto *widget = new QWidget;
    widget->setObjectName(QLatin1String(name));
    *layout = new QVBoxLayout(widget);
    return widget;
}

// The first value of a one-row read; empty when there is no row.
QString firstText(const QString &sql, const TVxFieldValues &params)
{
    TSQLClientDataSet ds;
    ds.setCommandText(sql);
    ds.Params() = params;
    ds.Open();
    return ds.IsEmpty() ? QString() : ds.Fields(0)->AsString().trimmed();
}

} // namespace

TfmqelDocConfirmSendWeb::TfmqelDocConfirmSendWeb(QWidget *owner) : TfmVxWizard(owner)
{
    setObjectName(QStringLiteral("fmqelDocConfirmSendWeb"));
    setWindowTitle(QStringLiteral("Invio dati a Tavrin-Web"));

    QVBoxLayout *layout = nullptr;
    QWidget *first = page("tsFirst", &layout);
    label(layout, QStringLiteral("ATTENZIONE!"), nullptr, true);
    label(layout, QStringLiteral("Si è scelto di inviare a web la seguente configurazione:"));
    m_istituto = label(layout, QString(), "laIstituto", true);
    m_sessione = label(layout, QString(), "laSessione", true);
    m_anno = label(layout, QString(), "laAnno", true);
    layout->addStretch();
    label(layout, QStringLiteral("Premi \"Avanti >\" per leggere le avvertenze..."));
    AddPage(first);

    QWidget *warnings = page("tsAvvertenze", &layout);
    label(layout, QStringLiteral("AVVERTENZE"), nullptr, true);
    label(layout, QStringLiteral("Hai cancellato su Web la sessione precedente?"));
    label(layout, QStringLiteral("Tra l'invio su Web e la raccolta successiva si raccomanda di "
                                 "NON FARE VARIAZIONI"));
    label(layout, QStringLiteral("In caso di necessità seguire la seguente procedura:"));
    label(layout, QStringLiteral("1. fare la raccolta completa di tutti i docenti;\r\n"
                                 "2. cancellare (subito) la sessione su Web;\r\n"
                                 "3. fai le variazioni;\r\n"
                                 "4. fare l'invio completo di tutti i docenti."));
    layout->addStretch();
    AddPage(warnings);

    QRadioButton *yes = nullptr;
    QRadioButton *no = nullptr;
    AddPage(questionPage("tsFirstSend", QStringLiteral("È il primo invio?"), &yes, &no));
    connect(yes, &QRadioButton::clicked, this,
            [this] { SetActivePath(QStringLiteral("FirstSend")); });
    connect(no, &QRadioButton::clicked, this, [this] { SetActivePath(QStringLiteral("All")); });

    m_modifyAlert = alertPage(
        "tsModifyConf",
        QStringLiteral("Dopo l'ultimo invio hai fatto qualche modifica alla configurazione?\r\n"
                       "(scale,docenti, componenti...)"),
        "laModifyAlert",
        QStringLiteral("ATTENZIONE: avresti dovuto fare prima la raccolta da Web!\r\nOra, facendo "
                       "una raccolta dopo una modifica devi mettere in bilancio\r\nla possibile "
                       "perdita di qualche dato."),
        true);
    m_receiveAlert =
        alertPage("tsReceive", QStringLiteral("Hai fatto la raccolta?"), "laReceiveAlert",
                  QStringLiteral("ATTENZIONE: prima di ogni invio è opportuno fare "
                                 "una raccolta dei dati"),
                  false);

    QWidget *final = page("tsFinal", &layout);
    m_final = label(layout, QString(), "laFinal", true);
    label(layout, QStringLiteral("Premere il bottone \"Fine\" per effettuare la spedizione dei "
                                 "dati al Server Veldrasoft"));
    label(layout, QStringLiteral("Questa operazione può cancellare i dati già caricati dai "
                                 "docenti.\r\nNel dubbio conviene prima fare una raccolta dei "
                                 "dati da Web."));
    layout->addStretch();
    AddPage(final);
    SetFinalText(QLatin1String(kFinalText));

    AddPath(QStringLiteral("All"), QStringLiteral("0;1;2;3"));
    AddPath(QStringLiteral("FirstSend"), QStringLiteral("0;3"));
    AddPath(QStringLiteral("New"), QStringLiteral("0;1;5"));
    SetActivePath(QStringLiteral("New"));
    GoToPage(tsFirst);
    resize(480, 340);
}

QWidget *TfmqelDocConfirmSendWeb::questionPage(const char *name, const QString &question,
                                               QRadioButton **yes, QRadioButton **no)
{
    QVBoxLayout *layout = nullptr;
    QWidget *widget = page(name, &layout);
    label(layout, question, nullptr, true);
    auto *group = new QButtonGroup(widget);
    *yes = new QRadioButton(QStringLiteral("Sì"));
    *no = new QRadioButton(QStringLiteral("No"));
    (*yes)->setObjectName(QStringLiteral("rbSi"));
    (*no)->setObjectName(QStringLiteral("rbNo"));
    for (QRadioButton *button : {*yes, *no}) {
        group->addButton(button);
        layout->addWidget(button);
        // The road may have changed: the buttons follow it.
        connect(button, &QRadioButton::clicked, this, [this] { SetActivePath(ActivePath()); });
    }
    layout->addStretch();
    return widget;
}

QLabel *TfmqelDocConfirmSendWeb::alertPage(const char *name, const QString &question,
                                           const char *alertName, const QString &alert,
                                           bool alertOnYes)
{
    QRadioButton *yes = nullptr;
    QRadioButton *no = nullptr;
    QWidget *widget = questionPage(name, question, &yes, &no);
    QLabel *shownAlert =
        label(static_cast<QVBoxLayout *>(widget->layout()), alert, alertName, true);
    shownAlert->hide();
    connect(alertOnYes ? yes : no, &QRadioButton::clicked, shownAlert, &QLabel::show);
    connect(alertOnYes ? no : yes, &QRadioButton::clicked, shownAlert, &QLabel::hide);
    AddPage(widget);
    return shownAlert;
}

QString TfmqelDocConfirmSendWeb::FinalText() const
{
    return m_finalText;
}

void TfmqelDocConfirmSendWeb::SetFinalText(const QString &text)
{
    m_finalText = text;
    m_final->setText(shown(text));
}

void TfmqelDocConfirmSendWeb::SetTeacherCount(int count)
{
    SetFinalText(CountText(count, QStringLiteral("ATTENZIONE!!\r\n\r\nÈ stato selezionato %1 docente."),
                           QString::fromLatin1(kFinalText).replace(QLatin1String("%d"),
                                                                   QLatin1String("%1"))));
}

void TfmqelDocConfirmSendWeb::PageShown(int page)
{
    if (page == tsFirst)
        fillConfiguration();
}

void TfmqelDocConfirmSendWeb::fillConfiguration()
{
    QString institute;
    QString session;
    QString year;
    RunShowingErrors([&] {
        institute = firstText(QelWebSendSql::instituteName(),
                              valuesOf({{"iDwgId", TVxWorkingContext::institute()}}));
        session = GetSessioneDesc(TVxWorkingContext::session());
        year = firstText(QelWebSendSql::schoolYearDashed(),
                         valuesOf({{"iAnsId", TVxWorkingContext::schoolYear()}}));
    });
    m_istituto->setText(QStringLiteral("Istituto: ") + institute);
    m_sessione->setText(QStringLiteral("Sessione: ") + session);
    m_anno->setText(QStringLiteral("Anno scolastico ") + year);
}
