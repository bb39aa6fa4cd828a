#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reportengine/reportengine.h"
#include "reports/qetflegge183.h"
#include "reports/qetrptfunctions.h"

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString W1 = QStringLiteral("Il presente certificato non può essere prodotto agli organi "
                                  "della pubblica amministrazione o ai privati gestori di "
                                  "pubblici servizi.");
const QString W2 = QStringLiteral("La firma è omessa ai sensi dell’art. 3, D.to Lgs. 12/02/1993 n. 39.");
const QString W3 = QStringLiteral("Documento informatico firmato digitalmente ai sensi del D.Lgs. "
                                  "n. 82/2005 e norme correlate.");
const char *const kBoxNames[3] = {"chkcertnprod", "chkFirmaomessa", "chkfirmdig"};

// What the office does in the dialog: the boxes it ticks ("13"), "Non chiedere più", Sì or No.
struct Answer
{
    QString boxes;
    bool nonChiedere = false;
    bool yes = true;
};

void queueAnswer(const Answer &answer)
{
    DialogSeam::queueModalScript([answer](QDialog *dialog) {
        for (int i = 0; i < 3; ++i) {
            dialog->findChild<QCheckBox *>(QString::fromLatin1(kBoxNames[i]))
                ->setChecked(answer.boxes.contains(QChar(u'1' + i)));
        }
        dialog->findChild<QCheckBox *>(QStringLiteral("ckNonChiedere"))->setChecked(answer.nonChiedere);
        dialog->findChild<QPushButton *>(answer.yes ? QStringLiteral("buOk") : QStringLiteral("buCancel"))
            ->click();
        return int(mrNone);
    });
}

// One evaluation: the title, the answer when a dialog is expected (none: no dialog), the text.
struct Step
{
    QString title;
    std::optional<Answer> answer;
    QString expected;
};

class CertificateWording : public ::testing::Test
{
protected:
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(CertificateWording, AsksOncePerTitleOnlyWhenTold)
{
    const struct
    {
        const char *name;
        QList<Step> steps;
    } cases[] = {
        {"boxes 1 and 3, Sì", {{"Pagella", Answer{"13"}, W1 + "\r\n" + W3}}},
        {"all three, joined in code order", {{"Pagella", Answer{"321"}, W1 + "\r\n" + W2 + "\r\n" + W3}}},
        {"No asks again",
         {{"Pagella", Answer{"1", false, false}, ""}, {"Pagella", Answer{"2"}, W2}}},
        {"Sì without non chiedere asks again",
         {{"Pagella", Answer{"1"}, W1}, {"Pagella", Answer{"3"}, W3}}},
        {"No with non chiedere is remembered",
         {{"Pagella", Answer{"12", true, false}, ""}, {"Pagella", std::nullopt, ""}}},
        {"Sì with non chiedere is remembered",
         {{"Pagella", Answer{"2", true}, W2}, {"Pagella", std::nullopt, W2}}},
        {"two titles asked apart",
         {{"Pagella", Answer{"1", true}, W1},
          {"Certificato di frequenza", Answer{"3", true}, W3},
          {"Pagella", std::nullopt, W1},
          {"pagella", Answer{"2"}, W2}}},
        {"empty title remembered under it",
         {{"", Answer{"2", true}, W2}, {"", std::nullopt, W2}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TElencoReportL183 answers;
        for (const Step &step : c.steps) {
            SCOPED_TRACE(step.title.toStdString());
            DialogSeam::clearShown();
            if (step.answer)
                queueAnswer(*step.answer);
            EXPECT_EQ(GetDicituraL183(answers, step.title), step.expected);
            const QList<DialogSeam::Shown> shown = DialogSeam::shown();
            ASSERT_EQ(shown.size(), step.answer ? 1 : 0);
            if (step.answer) {
                EXPECT_EQ(shown[0].text, step.title.isEmpty() ? "Certificato" : step.title);
            }
            EXPECT_FALSE(DialogSeam::hasAnswer());
        }
    }
}

// "Sì" with no box ticked is refused and the dialog stays open for the next try.
TEST_F(CertificateWording, YesWithoutAWordingKeepsTheDialogOpen)
{
    queueAnswer(Answer{""});
    DialogSeam::queueAnswer(int(mrOk)); // the refusal's OK
    queueAnswer(Answer{"2"});
    const Legge183Answer answer = ShowLegge183Dialog(QStringLiteral("Nulla osta"));
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.codes, "2");
    const QList<DialogSeam::Shown> shown = DialogSeam::shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].kind, "message");
    EXPECT_EQ(shown[1].text, "Per continuare selezionare una dicitura da inserire nella stampa.");
}

// A template reaches the wording through the engine, by the title of the report it prints in.
TEST_F(CertificateWording, TemplateFunctionAnswersByTheReportsTitle)
{
    frRegisterFunctionLibrary<TfrQetFunctionLibrary>();
    TfrReport report;
    report.Title = QStringLiteral("Certificato di iscrizione (prova del motore)");
    queueAnswer(Answer{"13", true});
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(report.Calc(QStringLiteral("DicituraL183_2011_Art15()")).toString(), W1 + "\r\n" + W3);
    EXPECT_EQ(DialogSeam::shown().size(), 1);
    frUnRegisterFunctionLibrary<TfrQetFunctionLibrary>();
}
