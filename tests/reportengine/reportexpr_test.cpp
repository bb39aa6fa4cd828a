// The report engine without a database: the expression language, text objects, values and
// their Italian display text, function libraries with frParser.Calc, variables, and the
// in-memory dataset read by name.
#include "platform/clientdataset.h"
#include "reportengine/reportengine.h"
#include "tests/reportengine/reporttestlibrary.h"
#include "tests/support/testdb.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A second library answering a name the first one has too: the first registered keeps it.
class ShadowLibrary : public TfrFunctionLibrary
{
public:
    ShadowLibrary()
    {
        List << "SOMMA"
             << "Doppio";
    }
    void DoFunction(int FNo, const QString &p1, const QString &, const QString &,
                    QVariant &val) override
    {
        val = FNo == 0 ? QVariant("ombra") : QVariant(2 * frToInteger(frParser.Calc(p1)));
    }
};

class ReportExprTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The display text must not follow the desktop: run under a locale with a dot.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        frRegisterFunctionLibrary<TestLibrary>();
        TestLibrary::calls.clear();
        report.Title = "Pagella";
        report.PrintDate = QDate(2024, 6, 15);
        report.OnGetValue = [](const QString &name, QVariant &value) {
            if (name == "Codice Sessione 1")
                value = "12";
            else if (name == "Anno")
                value = 38;
            else if (name == "Nulla")
                value = QVariant();
        };
        pupils.AddFieldDef("iSitId", ftInteger);
        pupils.AddFieldDef("sClsSDesc", ftString, 10);
        pupils.AddFieldDef("fMedia", ftFloat);
        pupils.CreateDataSet();
        const struct
        {
            int sit;
            const char *cls;
            double media;
        } rows[] = {{501, "3A", 6.5}, {502, "3B", 7.25}};
        for (const auto &r : rows) {
            pupils.Append();
            pupils.FieldByName("iSitId")->setValue(r.sit);
            pupils.FieldByName("sClsSDesc")->setValue(r.cls);
            pupils.FieldByName("fMedia")->setValue(r.media);
            pupils.Post();
        }
        module.AddReportDataSet("frdAlunni", module.AddClientDataSet("cdsAlunni", &pupils));
    }
    void TearDown() override
    {
        frUnRegisterFunctionLibrary<TestLibrary>();
        frUnRegisterFunctionLibrary<ShadowLibrary>();
        QLocale::setDefault(QLocale::system());
    }

    QString text(const QString &expression) { return frDisplayText(report.Calc(expression)); }

    TfrReport report;
    TClientDataSet pupils;
    TfrDataModule module{"dmProve"};
};

} // namespace

TEST_F(ReportExprTest, EvaluatesByPrecedenceAndKind)
{
    const struct
    {
        const char *expression;
        const char *display;
        TfrValueKind kind;
    } cases[] = {
        {"1 + 2 * 3", "7", vkInteger},
        {"(1 + 2) * 3", "9", vkInteger},
        {"10 - 4 - 3", "3", vkInteger},
        {"7 / 2", "3,5", vkFloat},
        {"-2 * -3", "6", vkInteger},
        {"9223372036854775807 + 1", "9223372036854776000", vkFloat},
        {"'2' * 3", "6", vkInteger},
        {"'a' + 1", "a1", vkText},
        {"1 + '2'", "12", vkText},
        {"'l''alunno'", "l'alunno", vkText},
        {"1 < 2 and 2 < 1 or not 0", "Vero", vkBoolean},
        {"not 1 = 2", "Vero", vkBoolean},
        {"2 <= 2", "Vero", vkBoolean},
        {"3 <= 2", "Falso", vkBoolean},
        {"2 > 2", "Falso", vkBoolean},
        {"3 > 2", "Vero", vkBoolean},
        {"2 >= 2", "Vero", vkBoolean},
        {"1 >= 2", "Falso", vkBoolean},
        {"10 < '9'", "Falso", vkBoolean},
        {"'10' < '9'", "Vero", vkBoolean},
        {"[Codice Sessione 1] = 12", "Vero", vkBoolean},
        {"IIF([Codice Sessione 1] = '12', 'si', 'no')", "si", vkText},
        {"iif(0, 1 / 0, 2)", "2", vkInteger},
        {"0 and 1 / 0", "Falso", vkBoolean},
        {"[Nulla] = ''", "Vero", vkBoolean},
        {"[Nulla] = 0", "Falso", vkBoolean},
        {"[Nulla] <> 0", "Vero", vkBoolean},
        {"[Nulla] + 1", "", vkNull},
        {"[Nulla] + 'x'", "x", vkText},
        {"DATE", "15/06/2024", vkDate},
        {"[DATE] = '15/06/2024'", "Vero", vkBoolean},
        {"frdAlunni.\"SCLSSDESC\"", "3A", vkText},
        {"CDSALUNNI.\"fmedia\" * 2", "13", vkFloat},
        {"Somma(Somma(1, 2), [Anno])", "41", vkInteger},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression);
        const QVariant v = report.Calc(c.expression);
        EXPECT_EQ(frDisplayText(v), QString(c.display));
        EXPECT_EQ(frValueKind(v), c.kind);
    }
}

TEST_F(ReportExprTest, MalformedExpressionsAreRefusedWithTheirPosition)
{
    const struct
    {
        const char *expression;
        int position;
        const char *what;
    } cases[] = {
        {"", 1, "atteso un valore"},
        {"1 +", 4, "atteso un valore"},
        {"(1 + 2", 7, "«)»"},
        {"'abc", 1, "apici non chiuso"},
        {"[Codice", 1, "senza «]»"},
        {"[]", 1, "variabile vuoto"},
        {"Voto(1, 2, 3, 4)", 15, "al massimo tre"},
        {"F(1,,2)", 5, "argomento vuoto"},
        {"1 = 2 = 3", 7, "atteso un operatore"},
        {"frdAlunni.sClsSDesc", 11, "tra virgolette"},
        {"IIF(1, 2)", 1, "tre argomenti"},
        {"IIF", 4, "«(»"},
        {"1 § 2", 3, "carattere non atteso"},
        {"and 1", 1, "atteso un valore"},
        {"2 + 3)", 6, "atteso un operatore"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression);
        try {
            TfrExpression::parse(c.expression);
            ADD_FAILURE() << "accepted";
        } catch (const EfrError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("posizione %1:").arg(c.position)))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.what)))
                << e.message().toStdString();
        }
    }
    // Nesting past the limit is refused, not a crash; at the limit it still evaluates.
    const int limit = TfrExpression::MaxDepth;
    EXPECT_THROW(TfrExpression::parse(QString(limit + 1, '(') + "1" + QString(limit + 1, ')')),
                 EfrError);
    EXPECT_THROW(TfrExpression::parse(QString(limit + 1, '-') + "1"), EfrError);
    EXPECT_EQ(text(QString(limit, '(') + "1" + QString(limit, ')')), "1");
}

TEST_F(ReportExprTest, LibrariesReceiveArgumentTextsAndCalculateThem)
{
    EXPECT_EQ(text("Echo( [Codice Sessione 1] , Somma(1, [Anno]) ,'a,b' )"),
              "[Codice Sessione 1]|Somma(1, [Anno])|'a,b'");
    EXPECT_EQ(text("ECHO()"), "||");
    EXPECT_EQ(text("echo(frdAlunni.\"iSitId\")"), "frdAlunni.\"iSitId\"||");
    ASSERT_EQ(TestLibrary::calls.size(), 3);
    EXPECT_EQ(TestLibrary::calls[0],
              (QStringList{"[Codice Sessione 1]", "Somma(1, [Anno])", "'a,b'"}));
    EXPECT_EQ(TestLibrary::calls[1], (QStringList{"", "", ""}));

    // A library's Calc reaches functions of every library; the first registered keeps a name.
    frRegisterFunctionLibrary<ShadowLibrary>();
    frRegisterFunctionLibrary<TestLibrary>(); // again: ignored, the same object stays
    EXPECT_EQ(frFunctionLibraries().size(), 2);
    EXPECT_EQ(text("Somma(Doppio(Somma(1, 1)), 1)"), "5");
    EXPECT_EQ(frFunctionDescs().size(), 2);
    EXPECT_EQ(frFunctionDescs()[0].Name, "Somma");
    frUnRegisterFunctionLibrary<TestLibrary>();
    EXPECT_EQ(text("Somma(1, 2)"), "ombra");
    EXPECT_TRUE(frFunctionDescs().isEmpty());

    // Outside a report there is nothing to calculate in.
    EXPECT_THROW(frParser.Calc("1"), EfrError);
}

TEST_F(ReportExprTest, ThreeErrorKindsReachALibraryApart)
{
    EXPECT_EQ(text("Tipo('abc' * 1)"), "conversione");
    EXPECT_EQ(text("Tipo(Somma([Nulla], 1))"), "conversione");
    EXPECT_EQ(text("Tipo(Arrotonda(1, 38))"), "arrotondamento");
    EXPECT_EQ(text("Tipo(Sconosciuta(1))"), "altro");
    EXPECT_EQ(text("Tipo(1 / 0)"), "altro");
    EXPECT_EQ(text("Tipo(frdAlunni.\"nessuno\")"), "altro");
    EXPECT_EQ(text("Tipo(Arrotonda('7,456', -2))"), "nessuno");
}

TEST_F(ReportExprTest, TextObjectsAndTheErrorThatEndsARun)
{
    ASSERT_THROW(TfrText::parse("Classe [x"), EfrError);
    try {
        TfrText::parse("Classe [1 +]");
        ADD_FAILURE();
    } catch (const EfrError &e) {
        EXPECT_TRUE(e.message().contains("posizione 12:")) << e.message().toStdString();
    }

    TfrRun run(report);
    EXPECT_EQ(report.ExpandText("Memo1", TfrText::parse("Classe [frdAlunni.\"sClsSDesc\"] "
                                                        "([[Codice Sessione 1]]) ['a]b' + 'c'] "
                                                        "[[Nessuno]][[Nulla]] [DATE] fine]")),
              "Classe 3A (12) a]bc  15/06/2024 fine]");
    EXPECT_EQ(report.UnansweredVariables(), QStringList{"Nessuno"});

    try {
        report.ExpandText("Memo7", TfrText::parse("Media: [Somma('a', 1)]"));
        ADD_FAILURE();
    } catch (const EfrRunError &e) {
        EXPECT_EQ(e.ObjectName(), "Memo7");
        EXPECT_EQ(e.Expression(), "Somma('a', 1)");
        EXPECT_TRUE(e.Cause().contains("Impossibile convertire «a» in numero intero"));
        EXPECT_TRUE(e.message().contains("«Pagella»"));
    }
}

TEST_F(ReportExprTest, AClosedDataSetOpensOnItsFirstRowWhenRead)
{
    TfrDataSet *ds = report.FindDataSet("FRDALUNNI");
    ASSERT_NE(ds, nullptr);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(text("frdAlunni.\"iSitId\""), "501");
    EXPECT_TRUE(ds->Active());
    ds->Next();
    EXPECT_EQ(text("cdsAlunni.\"fMedia\""), "7,25");
    ds->Next();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(frValueKind(report.Calc("frdAlunni.\"iSitId\"")), vkNull);
    EXPECT_THROW(report.Calc("frdNessuno.\"iSitId\""), EfrError);
}

TEST_F(ReportExprTest, DisplayTextIsItalianWhateverTheDesktop)
{
    QByteArray accented("Bont\xc3\xa0");
    const struct
    {
        QVariant value;
        const char *display;
    } cases[] = {
        {QVariant(qlonglong(1234567)), "1234567"},
        {QVariant(-42), "-42"},
        {QVariant(6.5), "6,5"},
        {QVariant(1234567.25), "1234567,25"},
        {QVariant(100.0 / 3.0), "33,333333333333336"},
        {QVariant(-0.0), "0"},
        {QVariant(QDate(2024, 6, 5)), "05/06/2024"},
        {QVariant(QDateTime(QDate(2024, 6, 5), QTime(0, 0))), "05/06/2024"},
        {QVariant(QDateTime(QDate(2024, 6, 5), QTime(14, 30, 5))), "05/06/2024 14:30:05"},
        {QVariant(QString("  3A  ")), "  3A  "},
        {QVariant(accented), "Bontà"},
        {QVariant(), ""},
        {QVariant(QMetaType::fromType<int>()), ""},
        {QVariant(QDate()), ""},
        {QVariant(true), "Vero"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.display);
        EXPECT_EQ(frDisplayText(c.value), QString::fromUtf8(c.display));
    }
}

TEST_F(ReportExprTest, ConversionsAndRounding)
{
    const struct
    {
        QVariant value;
        qint64 integer; // -999: conversion error
    } integers[] = {
        {"12", 12},  {" -7 ", -7},  {"6.5", 6}, {"7,5", 8},         {6.5, 6},
        {true, 1},   {"abc", -999}, {"", -999}, {QVariant(), -999}, {QDate(2024, 1, 1), -999},
        {1e30, -999}};
    for (const auto &c : integers) {
        SCOPED_TRACE(frDisplayText(c.value).toStdString());
        if (c.integer == -999)
            EXPECT_THROW(frToInteger(c.value), EfrConversionError);
        else
            EXPECT_EQ(frToInteger(c.value), c.integer);
    }
    EXPECT_EQ(frToDate("05/06/2024"), QDate(2024, 6, 5));
    EXPECT_EQ(frToDate("2024-06-05"), QDate(2024, 6, 5));
    EXPECT_THROW(frToDate("31/02/2024"), EfrConversionError);
    EXPECT_FALSE(frToBoolean(QVariant()));
    EXPECT_THROW(frToBoolean("si"), EfrConversionError);

    // The rounding itself is the framework's RoundTo; the runtime's checks come first.
    const struct
    {
        double value;
        int digits;
        const char *display; // nullptr: rounding error
    } rounding[] = {{7.456, -2, "7,46"}, {1235, 1, "1240"},   {100.0 / 3, -2, "33,33"},
                    {1.015, -2, "1,02"}, // halves as written, whichever side the double lies
                    {2.345, -2, "2,34"}, {1, 38, nullptr},    {1, -38, nullptr},
                    {NAN, 0, nullptr},   {1e300, -2, nullptr}};
    for (const auto &c : rounding) {
        SCOPED_TRACE(c.digits);
        if (!c.display)
            EXPECT_THROW(frRoundTo(c.value, c.digits), EfrRoundingError);
        else
            EXPECT_EQ(frDisplayText(frRoundTo(c.value, c.digits)), c.display);
    }
}
