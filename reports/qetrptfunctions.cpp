#include "reports/qetrptfunctions.h"

#include "reportengine/reportengine.h"
#include "reports/qetflegge183.h"

namespace {

// By code "1", "2", "3".
const char *const kDiciture[3] = {
    "Il presente certificato non può essere prodotto agli organi della pubblica "
    "amministrazione o ai privati gestori di pubblici servizi.",
    "La firma è omessa ai sensi dell’art. 3, D.to Lgs. 12/02/1993 n. 39.",
    "Documento informatico firmato digitalmente ai sensi del D.Lgs. n. 82/2005 e norme "
    "correlate.",
};

} // namespace

TElencoReportL183::TElencoReportL183()
{
    AddFieldDef(QStringLiteral("Titolo"), ftString, 255);
    AddFieldDef(QStringLiteral("Stampa"), ftBoolean);
    AddFieldDef(QStringLiteral("TipoStampa"), ftString, 20);
    CreateDataSet();
}

TElencoReportL183 &ElencoReportL183()
{
    static TElencoReportL183 answers;
    return answers;
}

QString GetDicituraL183(TElencoReportL183 &answers, const QString &title)
{
    bool print = false;
    QString codes;
    if (answers.Locate(QStringLiteral("Titolo"), title)) {
        print = answers.FieldByName(QStringLiteral("Stampa"))->AsBoolean();
        codes = answers.FieldByName(QStringLiteral("TipoStampa"))->AsString();
    } else {
        const Legge183Answer answer = ShowLegge183Dialog(title);
        print = answer.accepted;
        codes = answer.codes;
        if (answer.nonChiedere) {
            answers.Append();
            answers.FieldByName(QStringLiteral("Titolo"))->setValue(title);
            answers.FieldByName(QStringLiteral("Stampa"))->setValue(answer.accepted);
            answers.FieldByName(QStringLiteral("TipoStampa"))->setValue(answer.codes);
            answers.Post();
        }
    }
    QString text;
    if (!print)
        return text;
    for (int i = 0; i < 3; ++i) {
        if (!codes.contains(QChar(u'1' + i)))
            continue;
        if (!text.isEmpty())
            text += QStringLiteral("\r\n");
        text += QString::fromUtf8(kDiciture[i]);
    }
    return text;
}

TfrQetFunctionLibrary::TfrQetFunctionLibrary()
{
    List << QStringLiteral("DicituraL183_2011_Art15");
    AddFunctionDesc(QStringLiteral("DicituraL183_2011_Art15"), QStringLiteral("VSCertificati"),
                    QStringLiteral("DicituraL183_2011_Art15()/Inserisce la dicitura di cui "
                                   "all'art. 15 della legge 183 del 12-11-2011"));
}

void TfrQetFunctionLibrary::DoFunction(int FNo, const QString &, const QString &, const QString &,
                                       QVariant &val)
{
    if (FNo == 0)
        val = GetDicituraL183(ElencoReportL183(), CurReport ? CurReport->Title : QString());
    else
        val = QString();
}
