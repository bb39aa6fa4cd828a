// The functions of the register templates: the paging that builds the print-job descriptor
// (qelprintjob.h), one text per page for the volume's page details, which exam a class took and
// the headmaster's signature. None of them catches a failure: a wrong argument ends the
// register, which must never come out with a page missing from its descriptor.
#include "reportengine/reportengine.h"
#include "reportengine/reportsignature.h"
#include "reports/qelprintjob.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"

#include <array>

namespace {

// The page a cover prints on, as the layout numbers it (0 outside a layout): the pupil pages
// before it end where the PDF's do, however many pages a pupil took.
int coverPage()
{
    const QVariant page = frParser.Calc(QStringLiteral("PAGE#"));
    return page.isNull() ? 0 : int(frToInteger(page));
}

// The paging functions evaluate their argument (a template may pass a field to check it is
// there) and answer the library's "0".
void newVolume(QelFunctionCall &call)
{
    call.arg(0);
    PrintJobNewVolume(qelRptModule(), coverPage());
}

void newClasse(QelFunctionCall &call)
{
    call.arg(0);
    PrintJobNewClasse(qelRptModule(), coverPage());
}

void newAlunno(QelFunctionCall &)
{
    PrintJobNewAlunno(qelRptModule());
}

// The names cross over: ScriviDettPagina's texts end in the page details' column
// sGoogleSearch and ScriviGoogleSearch's in sShowCd, because the receiving service reads the
// columns so. A template writes to both lists for every page, so they pair up by position.
void scriviDettPagina(QelFunctionCall &call)
{
    qelRptModule().AddPageDetail(frDisplayText(call.arg(0)));
    call.val = QString();
}

void scriviGoogleSearch(QelFunctionCall &call)
{
    qelRptModule().AddPageSearchText(frDisplayText(call.arg(0)));
    call.val = QString();
}

void paginaVuota(QelFunctionCall &call)
{
    call.arg(0);
    TdmqelRptDataSets &m = qelRptModule();
    m.AddPageDetail(QString());
    m.AddPageSearchText(QString());
    call.val = QString();
}

// A class may stand in both lists; the state exam (1) wins over the qualification (0).
void registroEsami(QelFunctionCall &call)
{
    const int cls = qelId(call.arg(0));
    const int session = qelId(call.arg(1));
    TfrQuery &q = qelOpenScratch(
        QStringLiteral("SELECT Osd.iTipoElenco FROM TOsd_OpzStampaDig Osd "
                       "WHERE Osd.iClsId = :iClsId AND Osd.iAnsSesDwgId = :iAnsSesDwgId "
                       "ORDER BY Osd.iTipoElenco DESC"),
        {{"iClsId", cls}, {"iAnsSesDwgId", session}});
    const QVariant list = q.Eof() ? QVariant() : q.Value(0);
    q.Close();
    call.val = QString();
    if (!list.isNull() && frToInteger(list) == 0)
        call.val = QStringLiteral("AMMISSIONE");
    else if (!list.isNull() && frToInteger(list) == 1)
        call.val = QStringLiteral("ESAME");
}

// The column is chosen by number, never pasted from the template: a number outside 1 to 4 is
// said, naming the function, before any statement runs. Without a text for the session the
// headmaster signing in the suite's signatures signs.
void getPreside(QelFunctionCall &call)
{
    static const std::array<const char *, 4> columns = {"sFirmaSes1", "sFirmaSes2", "sFirmaSes3",
                                                        "sFirmaDiff"};
    const int session = qelId(call.arg(0));
    const int number = qelId(call.arg(1));
    if (number < 1 || number > int(columns.size()))
        throw EfrError(QStringLiteral("GetPreside: la firma numero %1 non esiste; i numeri "
                                      "ammessi vanno da 1 a 4.")
                           .arg(number));
    TfrQuery &q =
        qelOpenScratch(QStringLiteral("SELECT CFP.%1 AS Firma FROM TCfp_FirmaPreside CFP "
                                      "INNER JOIN TAnsSesDwg ASD ON (ASD.iAnsId = CFP.iAnsId) "
                                      "WHERE ASD.iAnsSesDwgId = :iAnsSesDwgId")
                           .arg(QLatin1String(columns[std::size_t(number - 1)])),
                       {{"iAnsSesDwgId", session}});
    const QString stored = q.Eof() ? QString() : frDisplayText(q.Value(0));
    call.val = stored.isEmpty() ? Firma(QStringLiteral("DIRIGENTE.SCOL."), QStringLiteral("NOME"))
                                : stored;
}

} // namespace

void qelAddRegisterFunctions(QelFunctionHandlers &h)
{
    h[fnNewVolume] = newVolume;
    h[fnNewClasse] = newClasse;
    h[fnNewAlunno] = newAlunno;
    h[fnScriviDettPagina] = scriviDettPagina;
    h[fnScriviGoogleSearch] = scriviGoogleSearch;
    h[fnRegistroEsami] = registroEsami;
    h[fnPaginaVuota] = paginaVuota;
    h[fnGetPreside] = getPreside;
}
