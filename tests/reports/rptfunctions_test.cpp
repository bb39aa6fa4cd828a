// The report functions as a template calls them: each call evaluated in a running report on a
// copy of the demo school, with the report data module on a pupil and subject.
#include "platform/sqlparams.h"
#include "reportengine/reportengine.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"

#include <memory>
#include <tuple>

namespace {

struct Call
{
    const char *text;
    QVariant expected;
    int statements = 1;
    int sit = 957; // 5A, 2008/2009: Italian 5 in the final session, make-up in ITA and LAT
    int mat = 1;
    int cls = 39005;
};

class RptFunctionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        installReportParts();
        parGen = std::make_unique<TdmqelParGen>();
        dmqelParGen = parGen.get();
        parGen->WriteParRptIniFromDb();
        module = std::make_unique<TdmqelRptDataSets>();
        module->SetSelAnsSesDwgId(392);
    }

    QVariant calc(const QString &text, int sit = 957, int mat = 1, int cls = 39005)
    {
        module->SetCurSitId(sit);
        module->SetCurMatId(mat);
        module->SetCurClsId(cls);
        TfrReport report;
        TfrRun run(report);
        const QVariant value = report.Calc(text);
        run.End();
        return value;
    }

    void expectCalls(std::initializer_list<Call> calls)
    {
        for (const Call &c : calls) {
            SCOPED_TRACE(c.text);
            TVxStatementRecorder recorder;
            const QVariant value = calc(QString::fromUtf8(c.text), c.sit, c.mat, c.cls);
            EXPECT_EQ(value.typeId(), QMetaType::QString);
            EXPECT_EQ(value.toString(), c.expected.toString());
            EXPECT_EQ(recorder.statements().size(), c.statements);
        }
    }

    ProgramDatabase db;
    std::unique_ptr<TdmqelParGen> parGen;
    std::unique_ptr<TdmqelRptDataSets> module;
};

} // namespace

TEST_F(RptFunctionsTest, VoteValuesFollowTheSelector)
{
    expectCalls({
        {"Voto(392, 1, 'BREVE')", "5"},
        {"Voto(392, 1, 'LUNGA')", "Cinque"},
        {"Voto(392, 1, 'VALORE')", "5"},
        {"Voto(392, 1, 'SUFF')", "NO"},
        {"Voto(392, 1, 'MEDIA')", "SI"},
        {"voto(392, 1, 'breve')", "5"},
        {"Voto(392, 1, ' BREVE')", "0"}, // blanks are part of the keyword
        {"Voto(392, 1, 'ALTRO')", "0"},
        {"Voto(392, 3, 'ALTRO')", ""}, // no practical vote in Italian: empty, whatever asked
        {"Voto(391, 1, 'BREVE')", "7"},
        {"Voto(392, '', 'BREVE')", "", 0},
        {"Voto(392, 1, '  ')", "", 0},
        {"Voto('x', 1, 'BREVE')", "", 0},
        {"Voto(99999999999, 1, 'BREVE')", "", 0},
        {"Voto_Proposto(392, 1, 'VALORE')", "6,5", 1, 713},
        {"Voto_Proposto(392, 1, 'BREVE')", "6.5", 1, 713},
        {"Voto_Proposto(392, 1, 'BREVE')", ""},
        {"Tassonomia(392, 7, 'BREVE')", "BUONO", 1, 957, 14},
        {"Voto_Religione(392, 'LUNGA')", "Buono"},
        {"Voto_Religione(392, 'MEDIA')", "NO"},
        {"Voto_Condotta(392, 'VALORE')", "9"},
        {"Voto_Condotta('', 'VALORE')", "", 0},
        // Beside written, oral and practical (the final session's first three): conduct's
        // single vote; Italian has none. The third argument is never evaluated.
        {"Voto_Altro(392, 'BREVE', 1)", "9", 1, 957, 14},
        {"Voto_Altro(392, 'BREVE', 1 / 0)", "9", 1, 957, 14},
        {"Voto_Altro(392, 'BREVE', 14)", ""},
        {"Voto_Altro('x', 'BREVE')", "", 0},
        // 2007/2008 is in no print setting: no component left out, none refused.
        {"Voto_Altro(382, 'BREVE')", "6", 1, 554},
    });
}

TEST_F(RptFunctionsTest, LookupsAndArithmetic)
{
    expectCalls({
        {"GetMatAlunno(957, 1)", "SI"},
        {"GetMatAlunno(957, 8)", "NO"}, // economics is not in the liceo's plan
        {"GetMatAlunno(957, '')", "", 0},
        {"GetMatAlunno('x', 1)", "", 0},
        {"GetCmpMateria(8, 392, 1)", "NO"},
        {"GetCmpMateria(8, 392, 1)", "SI", 1, 957, 1, 39011},
        {"RoundTo(7.456, -2)", "7,46", 0},
        {"RoundTo(7.456, -1)", "7,5", 0},
        {"RoundTo(2.5, 0)", "2", 0},
        {"RoundTo(3.5, 0)", "4", 0},
        {"RoundTo(1234, 1)", "1230", 0},
        {"RoundTo(7.456, 40)", "", 0},
        {"RoundTo(7.456, 99999999999)", "", 0},
        {"RoundTo('x', 1)", "", 0},
        {"Percentuale(1, 3)", "33,33", 0},
        {"Percentuale(1, 0)", "", 0},
        {"Percentuale(1.5, 0.0)", "", 0},
        {"Percentuale('x', 3)", "", 0},
        {"OreLezioneAnno(1101)", "132"},
        {"OreLezioneSett(1101)", "4"},
        {"OreLezioneAnno(999999)", ""},
        {"OreLezioneSett('')", "", 0},
        {"GetCoordinatore(39005)", "Marchetti Chiara"},
        {"GetCoordinatore(1)", ""},
        {"GetCoordinatore(' ')", "", 0},
        {"DataSessione(392)", "10/06/2009"},
        {"DataSessione(999)", ""},
        {"Ordine_Scuola()", "Scuola secondaria di secondo grado"},
    });
}

TEST_F(RptFunctionsTest, MakeUpRecordsFollowThePhase)
{
    // A phase-2 record, and a phase-1 record of another institute's phase, which is not ours.
    runSql("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, iAnsFreDwgId, iPvrId) "
           "VALUES (990001, 1, 1, 957, 392, 2)");
    runSql("INSERT INTO TDow_DataOwner (iDowId, iDwgId) VALUES (99, 99)");
    runSql("INSERT INTO TAnsFreDwg (iAnsFreDwgId, iAnsId, iFreId, iDwgId) VALUES (990, 39, 1, 99)");
    runSql("INSERT INTO TRec_Recuperi (iRecId, iTreId, iMatId, iSitId, iAnsFreDwgId) "
           "VALUES (990002, 1, 2, 957, 990)");
    // Two subjects in the order the database gives them, joined without a full stop.
    for (const auto &[kind, a, b] :
         {std::tuple{"BREVE", "ITA", "LAT"}, {"lunga", "ITALIANO", "LATINO"}}) {
        const QString list = calc(QString("GetElencoRec(1, 957, '%1')").arg(kind)).toString();
        EXPECT_TRUE(list == QString("%1, %2").arg(a, b) || list == QString("%2, %1").arg(a, b))
            << list.toStdString();
    }
    expectCalls({
        {"GetElencoRec(2, 957, 'BREVE')", "ITA"},
        {"GetElencoRec(1, 957, 'SIGLA')", ""},
        {"GetElencoRec(1, 956, 'BREVE')", ""},
        {"GetRec(957, 1, 'BREVE')", "SI"},
        {"GetRec(957, 1, 'LUNGA')", "Studio individuale"},
        {"GetEsitoRec(957, 7, 'BREVE')", "REC"},
        {"GetEsitoRec(957, 7, 'altro')", "Recuperato"},
        {"GetProvaRec(957, 1, 'LUNGA')", "Prova scritta"},
        {"SetFaseRecupero(2)", "", 0},
        {"GetRec(957, 1, 'BREVE')", "CR"},
        {"GetProvaRec(957, 1, 'BREVE')", "O"},
        {"GetRec(957, 7, 'BREVE')", ""},
    });
}

TEST_F(RptFunctionsTest, FailuresBeyondTheConvertingFunctionsEndTheReport)
{
    const struct
    {
        const char *text;
        bool conversion;
    } cases[] = {
        {"DataSessione('x')", true},
        {"SetFaseRecupero('')", true},
        {"GetRec('x', 1, 'BREVE')", true},
        {"GetElencoRec(1, 'x', 'BREVE')", true},
        {"GetPreside(392, 7)", false}, // no such signature: said, not a syntax error
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        try {
            calc(c.text);
            ADD_FAILURE() << "no error";
        } catch (const EfrConversionError &) {
            EXPECT_TRUE(c.conversion);
        } catch (const EVxException &e) {
            EXPECT_FALSE(c.conversion);
            EXPECT_TRUE(e.message().contains("GetPreside: la firma numero 7"))
                << e.message().toStdString();
        }
    }
    // A database failure is never taken for an empty value, in any function.
    runSql("ALTER TABLE TMatRmaPst DROP CONSTRAINT FK_TMatRmaPst_iOanId");
    runSql("DROP TABLE TOan_OreAn");
    EXPECT_THROW(calc("OreLezioneAnno(1101)"), EVxException);
}

TEST_F(RptFunctionsTest, TheLibraryKeepsItsNumbersAndDescriptions)
{
    for (const auto &[name, number] : {std::pair{"Voto", 0}, {"GetNote", 25}, {"voto_altro", 47}}) {
        TfrFunctionLibrary *library = nullptr;
        int found = -1;
        ASSERT_TRUE(frFindFunction(name, &library, &found)) << name;
        EXPECT_EQ(found, number) << name;
        EXPECT_EQ(library->List.size(), 48);
    }
    QStringList described;
    QString votoAltro;
    for (const TfrFunctionDesc &d : frFunctionDescs()) {
        if (d.Category != "Tavrin")
            continue;
        described << d.Name;
        if (d.Name == "Voto_Altro")
            votoAltro = d.Description;
        if (d.Name == "Ordine_Scuola") {
            EXPECT_EQ(d.Description, "");
        }
    }
    EXPECT_EQ(described.size(), 39);
    for (const char *none :
         {"NewVolume", "NewClasse", "NewAlunno", "ScriviDettPagina", "ScriviGoogleSearch",
          "RegistroEsami", "PaginaVuota", "GetPreside", "GetProveQualifica"})
        EXPECT_FALSE(described.contains(none)) << none;
    EXPECT_TRUE(described.contains("DataSessione"));
    EXPECT_EQ(votoAltro, "Voto_Altro(<Sessione>, <Valore da Stampare>, <Materia ID>)/Ritorna il "
                         "voto per la <Sessione> scelta e per le componenti diverse dalle prime 3 "
                         "selezionate.\rPossibili valori per <Val. da Stampare>: \"BREVE=>\"\r"
                         "descr. breve; \"LUNGA\"=>descr. lunga; \"VALORE\"=>valore\r\"SUFF\"=>"
                         "Sufficiente (Si/No); MEDIA=>In media (Si/No)");
}
