// The report functions as a template calls them: each call evaluated in a running report on a
// copy of the demo school, with the report data module on a pupil and subject.
#include "platform/helpers.h"
#include "platform/sqlparams.h"
#include "reportengine/reportengine.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptpupilreads.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>

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
            // A text, a number (a double or an int) or null, as the function answers.
            EXPECT_EQ(value.typeId(), c.expected.typeId());
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
        {"Voto_Altro(392, 'BREVE')", "", 1, 957, 12}, // its practical vote is the third one
        {"Voto_Altro('x', 'BREVE')", "", 0},
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
        const char *says = "GetPreside: la firma numero 7";
    } cases[] = {
        {"DataSessione('x')", true},
        {"SetFaseRecupero('')", true},
        {"GetRec('x', 1, 'BREVE')", true},
        {"GetElencoRec(1, 'x', 'BREVE')", true},
        {"GetProveQualifica('x', 39)", true},
        {"GetTotMatAssenze(39005, '', 0)", true},
        {"Percentuale_Assenze('x')", true},
        {"GetPreside(392, 7)", false}, // no such signature: said, not a syntax error
        // 2007/2008 is in no print setting: no component to leave out, the report ends.
        {"Voto_Altro(382, 'BREVE')", false, "Voto_Altro: la sessione 382 non è una delle tre"},
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
            EXPECT_TRUE(e.message().contains(c.says)) << e.message().toStdString();
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

TEST_F(RptFunctionsTest, AveragesOfVotesProposalsAndTaxonomies)
{
    module->SetSelAnsId(39);
    expectCalls({
        // By subject: the rows walked, a number; religion's judgment counts in no average.
        {"GetVoti(957, 4, 392)", 7.5},
        {"GetVoti(957, 13, 392)", ""},
        {"GetProposti(981, 1, 392)", 5.75},
        {"GetTassonomie(957, 14, 392)", ""}, // conduct's taxonomies are in no average
        {"GetTassonomie(957, 'SES', 392)", ""},
        // 2C's profit: 810 has 8 in Italian, 7 in mathematics and 9 in religion, which its
        // plan leaves out of the averages; 815's plan has no religion (6 and 7).
        {"GetTassonomie(810, 'SES', 392)", 7.5},
        {"GetTassonomie(810, 'ANS', 0)", 7.5},
        {"GetTassonomie(810, 13, 392)", 9.0},
        {"GetTassonomie(815, 'SES', 392)", 6.5},
        // By session or year: grade entry's average of the class session, conduct counting
        // from 2008/2009; 394 is no session of 5A's, and "ANS" reads its subject as one: both
        // take the final sessions' votes.
        {"GetVoti(957, 'SES', 392)", "6,72", 2},
        {"GetVoti(957, 'ses', 394)", "6,72", 2},
        {"GetVoti(957, 'ANS', 0)", "6,72", 2},
        {"GetProposti(981, 'SES', 392)", "5,68", 2},
        {"GetProposti(957, 'SES', 392)", "", 2},
        {"GetVoti(957, 'MEDIA', 392)", "6,72", 2}, // no mode: still grade entry's average
        {"GetTassonomie(957, 'MEDIA', 392)", ""},
        {"GetVoti('', 4, 392)", "", 0},
        {"GetVoti(957, 4, ' ')", "", 0},
        {"GetVoti('x', 4, 392)", "", 0},
        {"GetVoti(957, 'SES', 'x')", "", 0},
    });
    module->SetSelAnsId(38);
    expectCalls({{"GetVoti(957, 'SES', 392)", "6,44", 2}});
    // Six votes more beside the 7 and 8: 49 / 8 prints as "0.00" does, 6,13, not 6,12.
    runSql("ALTER TABLE TVot_Voti DROP CONSTRAINT UQ_TVot");
    for (const int level : {106, 106, 106, 106, 105, 105})
        runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
               "SELECT FIRST 1 GEN_ID(GEN_VXID, 1), V.iClsMatCmpId, V.iSitId, ? "
               "FROM TVot_Voti V "
               "JOIN TClsMatCmp C ON C.iClsMatCmpId = V.iClsMatCmpId "
               "JOIN TClsSesMat S ON S.iClsSesMatId = C.iClsSesMatId "
               "JOIN TClsSes CS ON CS.iClsSesId = S.iClsSesId "
               "JOIN TMatRma R ON R.iMatRmaId = S.iMatRmaId "
               "WHERE V.iSitId = 957 AND R.iMatId = 4 AND CS.iAnsSesDwgId = 392",
               {level});
    expectCalls({{"GetVoti(957, 4, 392)", 6.13}});
}

TEST_F(RptFunctionsTest, AbsencesAidsAndNotes)
{
    // Before the changes below: the class's pupils on the register, in its report-card
    // sessions (980 is off the register, 1029 a second situation).
    expectCalls({
        {"GetTotMatAssenze(39005, 0, 0)", 2372},
        {"GetTotMatAssenze(39005, 392, 1)", 210},
        {"GetTotMatAssenze(39005, 393, 0)", 0},
    });
    // The deferred session printed on report cards, with an absence in Italian; a later row of
    // 957's final Italian (the one counted) and a still later one without an insertion date
    // (never counted); a religion absence in the first term.
    runSql("UPDATE TAnsSesDwg SET lAnsSesDwgPagella = 1 WHERE iAnsSesDwgId = 393");
    runSql("ALTER TABLE TAss_Assenze DROP CONSTRAINT UQ_TAss");
    for (const auto &[id, csm, hours, inserted] : {std::tuple{990001, 1330, 3, true},
                                                   {990002, 1320, 20, true},
                                                   {990003, 1320, 100, false},
                                                   {990004, 1318, 4, true}})
        runSql("INSERT INTO TAss_Assenze (iAssId, iClsSesMatId, iSitId, iAssOre, dInsert) "
               "VALUES (?, ?, 957, ?, ?)",
               {id, csm, hours, inserted ? QVariant(QDateTime::currentDateTime()) : QVariant()});
    runSql("UPDATE TSit_Situazioni SET iSitOreAssenza = 30, iSitMonteOre = 240 WHERE iSitId = 957");
    runSql("UPDATE TSit_Situazioni SET iSitOreAssenza = 30 WHERE iSitId = 955");
    runSql("UPDATE TSit_Situazioni SET iSitOreAssenza = 33, iSitMonteOre = 1056 WHERE iSitId = 33");
    runSql("UPDATE TPst_PianiStudio SET iPstTotOre = 0 WHERE iPstId = 11");
    expectCalls({
        {"GetAssenze(957, 1, 0)", "20"}, // every session but the deferred one
        {"GetAssenze(957, 1, 393)", "3"},
        {"GetAssenze(957, 'ANS', 0)", "84"},
        {"GetAssenze(957, 'ANS', 1)", "23"}, // a subject, so the deferred session counts
        {"GetAssenze(957, 'SES', 0)", "84"}, // every session but the deferred one
        {"GetAssenze(957, 'SES', 392)", "41"},
        {"GetAssenze(957, 'SES', 394)", ""},
        {"GetAssenze(957, 'TOT', 0)", ""},
        {"GetAssenze(957, 'ANS', 'x')", "", 0},
        {"Assenze_Religione(957, 0)", "4"},
        {"Assenze_Religione(957, 392)", ""},
        {"Assenze_Religione(957, '')", "", 0},
        {"GetAiuti(33, 'ANS', 0)", "3"},
        {"GetAiuti(957, 'ANS', 0)", ""},
        {"GetNote(735, 8, 392)", "Carenze da colmare con lo studio individuale; verifica nella "
                                 "sessione differita."},
        {"GetNote(735, 1, 392)", ""},
        {"Percentuale_Assenze(957)", "12,50"},
        {"Percentuale_Assenze(33)", "3,13"},      // 3.125: a half rounds up
        {"Percentuale_Assenze(955)", QVariant()}, // no annual hours in the plan
        {"Percentuale_Assenze(999999)", QVariant()},
        {"MaxOre_Assenze_Consentite(957)", "0", 0},
        {"MinOre_Frequenza('x')", "0", 0},
    });
}

// Within a run a pupil's notes, aids and qualification tests are read with the next pupils the
// run prints, one statement for each, and answer as each pupil's own statement does.
TEST_F(RptFunctionsTest, NotesAidsAndTestsAreReadForTheNextPupilsAtOnce)
{
    const char *const calls[] = {"GetNote(735, 8, 392)",       "GetNote(33, 'ANS', 0)",
                                 "GetNote(957, 1, 392)",       "GetAiuti(735, 'ANS', 0)",
                                 "GetAiuti(33, 'SES', 392)",   "GetAiuti(957, 1, 0)",
                                 "GetProveQualifica(735, 39)", "GetProveQualifica(862, 39)"};
    QStringList alone;
    for (const char *text : calls)
        alone << calc(QString::fromLatin1(text)).toString();
    TfrReport report;
    TfrRun run(report);
    qelNotePupils(QelPupilKey::Situation, {735, 33, 957, 862});
    TVxStatementRecorder recorder;
    QStringList together;
    for (const char *text : calls)
        together << report.Calc(QString::fromLatin1(text)).toString();
    run.End();
    EXPECT_EQ(together, alone);
    EXPECT_EQ(recorder.statements().size(), 3);
}

// Each pupil of 5A against the same rows read by the database's own tool.
TEST_F(RptFunctionsTest, SubjectAveragesAgreeWithTheDatabaseTool)
{
    QMap<int, QVariant> averages;
    for (QSqlQuery q = runSql("SELECT S.iSitId FROM TSit_Situazioni S JOIN TClsPst P ON "
                              "P.iClsPstId = S.iClsPstId WHERE P.iClsId = 39005");
         q.next();)
        averages[q.value(0).toInt()] = calc(QString("GetVoti(%1, 4, 392)").arg(q.value(0).toInt()));
    const TVxConnectionSettings settings = db.database.connectionSettings();
    CloseConnection();
    const QByteArray script =
        "SET LIST ON;\n"
        "SELECT V.iSitId AS S, AVG(CAST(L.iScaLivValore AS DOUBLE PRECISION)) AS A "
        "FROM TVot_Voti V JOIN TClsMatCmp K ON K.iClsMatCmpId = V.iClsMatCmpId "
        "JOIN TCmpSca C ON C.iCmpScaId = K.iCmpScaId "
        "JOIN TClsSesMat M ON M.iClsSesMatId = K.iClsSesMatId "
        "JOIN TClsSes CS ON CS.iClsSesId = M.iClsSesId JOIN TMatRma R ON R.iMatRmaId = M.iMatRmaId "
        "JOIN TScaLiv L ON L.iScaLivId = V.iScaLivId "
        "WHERE CS.iAnsSesDwgId = 392 AND CS.iClsId = 39005 AND R.iMatId = 4 "
        "AND C.iCmpScaInMedia <> 0 AND L.iScaLivInMedia <> 0 GROUP BY V.iSitId;\n";
    const auto [code, output] = runIsql(settings, script);
    ASSERT_EQ(code, 0) << output.toStdString();
    QMap<int, QVariant> expected;
    const QRegularExpression row("S\\s+(\\d+)\\s+A\\s+([0-9.]+)");
    for (auto m = row.globalMatch(output); m.hasNext();) {
        const auto match = m.next();
        expected[match.captured(1).toInt()] = RoundTo(match.captured(2).toDouble(), -2);
    }
    EXPECT_GT(expected.size(), 20);
    for (auto it = averages.begin(); it != averages.end(); ++it)
        EXPECT_EQ(it.value(), expected.value(it.key(), QString())) << it.key();
}

TEST_F(RptFunctionsTest, WhatTheSchoolDecidedAboutAPupil)
{
    module->SetSelAnsId(39);
    runSql("UPDATE TCre_Crediti SET iCreCredito = 7 WHERE iSitId = 554"); // 957's fourth year
    // The qualification tests of a 3C pupil, in the exam session that has the qualification.
    runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) VALUES "
           "(990001, 2931, 862, 212)");
    runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) VALUES "
           "(990002, 2932, 862, 218)");
    expectCalls({
        // 957 owes Italian and Latin, in the plan's order, neither verified; 3 made up both.
        {"GetDebito(957, 0, 'MATSIGLA')", "ITA, LAT."},
        {"GetDebito(957, -1, 'matdescr')", "ITALIANO\rLATINO\r"},
        {"GetDebito(955, 0, 'MATSIGLA')", ""},
        {"GetDebito(957, 2, 'DEBESISTE')", "NO"},
        {"GetDebito(957, 2, 'SANATO')", "NO"},
        {"GetDebito(957, 7, 'DEBESISTE')", "SI"},
        {"GetDebito(957, 7, 'TIPOSIGLA')", "STUDIO"},
        {"GetDebito(957, 7, 'SANATO')", "NO"},
        {"GetDebito(957, 7, 'ESITODESCR')", ""},
        {"GetDebito(3, 2, 'SANATO')", "SI"},
        {"GetDebito(3, 2, 'ESITOSIGLA')", "SALD"},
        {"GetDebito(957, '', 'MATSIGLA')", "", 0},
        {"GetDebito('x', 0, 'MATSIGLA')", "", 0},
        {"Get_InfDebiti(955)", "0"},
        {"Get_InfDebiti(3)", "1"},
        {"Get_InfDebiti(957)", "2"},
        {"Get_InfDebiti(' ')", "0", 0},
        {"Get_InfDebiti('x')", "", 0},
        {"GetEsito(957, 'ESITODESCR')", "Sospensione del giudizio"},
        {"GetEsito(957, 'esitosigla')", "Sospeso"},
        {"GetEsito(957, 'ESITO')", "0"},
        {"GetEsito(957, '')", "", 0},
        {"GetGiudizio(957, 392)", "Il consiglio di classe sospende il giudizio: l'alunno deve "
                                  "recuperare 2 discipline."},
        {"GetGiudizio(13, 372)", "Il consiglio di classe sospende il giudizio: l'alunno deve "
                                 "recuperare 1 disciplina."},
        {"GetGiudizio(957, 391)", ""},
        {"GetGiudizio('x', 392)", "", 0},
        // Three years of 5 (the fourth now 7); 323's counted situation is a second one.
        {"GetTotCredito(160)", "17"},
        {"GetTotCredito(323)", "4"},
        {"GetTotCredito(409)", ""}, // in 1A
        {"Get_SituazioneId(160, 38)", "554"},
        {"Get_SituazioneId(160, 40)", ""},
        {"GetCredito(957, 'CREDITO4')", "7"},
        {"GetCredito(957, 'CREDITO3')", "5"},
        {"GetCredito(957, 'CREDITO')", "5"},
        {"GetCredito(957, 'CRERECUP4')", ""},
        {"GetCredito(957, 'CREDITO6')", "0"},
        {"GetCredito(957, 'ANNO')", "2008/2009"},
        {"GetCredito(957, 'CLASSE')", "5A"},
        {"GetCredito(1029, 'CREDITO5')", "4"},
        {"GetCredito(691, 'CREDITO')", ""}, // 1A: no credit
        {"GetCredito(955, '')", "", 0},
        {"GetProveQualifica(862, 38)", ""},
    });
    const QStringList tests =
        calc("GetProveQualifica(862, 39)").toString().split('\r', Qt::SkipEmptyParts);
    EXPECT_EQ(QSet<QString>(tests.begin(), tests.end()),
              QSet<QString>({"PRS: 60/100", "PRP: 90/100"}));
    // 1007 left with outcome 17: only its own id leaves it out, not 7 nor a last id without ";".
    for (const auto &[list, printed] :
         {std::pair{"3;7;", "SI"}, {" 17;", "NO"}, {"", "SI"}, {"3;17", "SI"}}) {
        parGen->xpsEsi.SetValore(list);
        expectCalls({{"EsitoInStampa(1007)", printed}});
    }
}
