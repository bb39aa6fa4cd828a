#include "exports/qelexpscru.h"
#include "exports/qelfrilintegr.h"
#include "exports/qelfselcls.h"
#include "platform/checklist.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "shell/qelactivations.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"
#include "tests/xls/xlstestutil.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <array>
#include <map>

namespace {

// Counts of a result row: years 1-5 for all pupils, then 1-5 for girls.
using Counts = std::array<int, 10>;
using Result = std::map<QString, Counts>;

// Classes of the demo's final session (392): 1A (39001, year 1), 2A (39002, year 2) with votes;
// 1B (39011, year 1) has none, and its MATEMATICA APPLICATA has MATEMATICA as main subject.
constexpr int k1A = 39001, k2A = 39002, k1B = 39011;
// Components of 1A: ITALIANO 2270-2273, LATINO 2274, STORIA 2278, MATEMATICA 2285-2286, FISICA
// 2289, SCIENZE 2292, RELIGIONE 2298, CONDOTTA 2299-2300; of 2A: MATEMATICA 2510-2511; of 1B:
// MATEMATICA APPLICATA 2355. Levels of scale 1 are worth their id - 100 (106 and up
// sufficient, 100 is "NC" and out of the average); 200 is worth 0 on scale 2.
class RilIntegr : public RunningProgram
{
protected:
    // Every vote of 1A and 2A made sufficient, then one case per pupil (F: a girl).
    void prepareCases()
    {
        const QString ofClasses = QStringLiteral(
            " WHERE iScaLivId BETWEEN ? AND ? AND iClsMatCmpId IN (SELECT Cmc.iClsMatCmpId FROM "
            "TClsMatCmp Cmc JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId WHERE "
            "Csm.iClsSesId IN (390012, 390022))");
        for (auto [from, to, level] : {std::array{100, 105, 107}, {200, 211, 214}, {305, 305, 303}})
            runSql(QStringLiteral("UPDATE TVot_Voti SET iScaLivId = ?") + ofClasses,
                   {level, from, to});
        runSql(QStringLiteral("UPDATE TLiv_Livelli SET sLivSDesc = 'NC' WHERE iLivId = "
                              "(SELECT iLivId FROM TScaLiv WHERE iScaLivId = 200)"));
        runSql(QStringLiteral("UPDATE TMat_Materie SET sMatLDesc = CASE iMatId WHEN 5 THEN "
                              "'L''ARTE' ELSE ' LARTE ' END WHERE iMatId IN (5, 6)"));
        // F: a girl. ITALIANO 5.75 (F) and 6.0; NC out of the average and in it (F, F); conduct
        // alone; two conduct components and three subjects (F); RELIGIONE (F); SCIENZE now
        // "L'ARTE" and FISICA " LARTE "; 2A (F); 1B's MATEMATICA APPLICATA (F).
        const std::array<int, 3> cases[] = {
            {691, 2270, 105}, {691, 2271, 106}, {691, 2272, 106}, {691, 2273, 106},
            {694, 2270, 105}, {694, 2271, 107}, {692, 2270, 100}, {693, 2285, 200},
            {693, 2286, 0},   {695, 2299, 105}, {696, 2299, 105}, {696, 2300, 105},
            {696, 2270, 104}, {696, 2271, 104}, {696, 2274, 104}, {696, 2278, 104},
            {697, 2298, 104}, {698, 2292, 104}, {699, 2289, 104}, {756, 2510, 104},
            {756, 2511, 105}, {713, 2355, 104}};
        for (auto [sit, cmp, level] : cases) {
            runSql(QStringLiteral("DELETE FROM TVot_Voti WHERE iSitId = ? AND iClsMatCmpId = ?"),
                   {sit, cmp});
            if (level)
                runSql(QStringLiteral("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, "
                                      "iScaLivId) VALUES (?, ?, ?, ?)"),
                       {nextVote++, cmp, sit, level});
        }
    }

    Result compute(const QList<int> &classes, bool mainSubjects = true, int site = 0)
    {
        TdmQelExpScru module;
        module.SetClassi(classes);
        module.MateriePrincipali = mainSubjects;
        module.SetSede(site);
        module.ComputeEsitiScrutinio();
        return rowsOf(module);
    }

    Result rowsOf(TdmQelExpScru &module)
    {
        Result rows;
        order.clear();
        orders.clear();
        TClientDataSet &cds = module.cdsRisultatoEsiti;
        for (cds.First(); !cds.Eof(); cds.Next()) {
            const QString d = cds.FieldByName(QStringLiteral("Descrizione"))->AsString();
            Counts &c = rows[d];
            for (int i = 0; i < 10; ++i)
                c[i] = cds.Fields(1 + i)->AsInteger();
            order << d;
            orders << cds.Fields(11)->AsInteger();
        }
        return rows;
    }

    int nextVote = 990001;
    QStringList order;
    QList<int> orders;
};

Counts at(const Result &r, const QString &d)
{
    const auto found = r.find(d);
    return found == r.end() ? Counts{} : found->second;
}

TEST_F(RilIntegr, CountsEachMeasureByYearForAllAndForGirls)
{
    prepareCases();
    const Result r = compute({k1A, k2A});
    const struct
    {
        const char *row;
        int y1, y1f, y2, y2f;
    } expected[] = {
        {"<ESITI>Scrutinati", 22, 13, 22, 8},
        {"<ESITI> con insufficienze", 7, 3, 1, 1},
        {"<ESITI> non classificati", 2, 2, 0, 0},
        {"<COND>Insufficienza solo comportamento", 1, 0, 0, 0},
        {"<COND>Insufficienza comportamento e 3 discipline", 1, 1, 0, 0},
        {"<MAT>ITALIANO", 2, 2, 0, 0},
        {"<MAT>LATINO", 1, 1, 0, 0},
        {"<MAT>STORIA", 1, 1, 0, 0},
        {"<MAT>MATEMATICA", 1, 1, 1, 1},
        {"<MAT>LARTE", 2, 0, 0, 0},
        {"<MAT>Comportamento", 2, 1, 0, 0},
        {"<MAT>INGLESE", 0, 0, 0, 0},
    };
    for (const auto &e : expected) {
        ASSERT_TRUE(r.count(QString::fromLatin1(e.row))) << e.row;
        const Counts c = r.at(QString::fromLatin1(e.row));
        EXPECT_EQ((std::array{c[0], c[5], c[1], c[6]}), (std::array{e.y1, e.y1f, e.y2, e.y2f}))
            << e.row;
    }
    EXPECT_FALSE(r.count(QStringLiteral("<MAT>RELIGIONE")));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(order[i], QString::fromLatin1(expected[i].row));
    EXPECT_EQ(order.last(), QStringLiteral("<MAT>Comportamento"));
    EXPECT_EQ(orders.mid(0, 6) << orders.last(), (QList<int>{0, 1, 2, 3, 4, 5, 999}));

    // A subject of 1B counts in its main subject's row unless the grouping is off; with no
    // class list the main subjects are used all the same.
    const QString applied = QStringLiteral("<MAT>MATEMATICA APPLICATA");
    const QString main = QStringLiteral("<MAT>MATEMATICA");
    EXPECT_EQ(at(compute({k1B}, true), main)[5], 1);
    EXPECT_FALSE(compute({k1B}, true).count(applied));
    EXPECT_EQ(at(compute({k1B}, false), applied)[5], 1);
    EXPECT_EQ(at(compute({k1B}, false), main)[5], 0);
    EXPECT_FALSE(compute({}, false).count(applied));

    // The demo institute's two sites split every count: 1A and 1B at the central site, 1C
    // (20 pupils with votes) at Sesto.
    const Result all = compute({}), central = compute({}, true, 2), sesto = compute({}, true, 3);
    EXPECT_EQ(at(central, QStringLiteral("<ESITI>Scrutinati"))[0], 23);
    EXPECT_EQ(at(sesto, QStringLiteral("<ESITI>Scrutinati"))[0], 20);
    for (const auto &[row, counts] : all)
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(counts[i], at(central, row)[i] + at(sesto, row)[i])
                << row.toStdString() << " " << i;
}

// The survey's workbooks as python3-xlrd, python3-olefile and LibreOffice read them.
TEST_F(RilIntegr, WritesTheCountsIntoTheSchoolTypesTemplate)
{
    prepareCases();
    ASSERT_TRUE(TdmQelExpScru::InstallTemplates());
    QTemporaryDir out;
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    for (const bool lower : {true, false}) {
        SCOPED_TRACE(lower ? "lower secondary" : "upper secondary");
        TdmQelExpScru module;
        module.SetClassi({k1A, k2A});
        module.SetScuolaMedia(lower);
        module.ComputeEsitiScrutinio();
        const Result r = rowsOf(module);
        const QString path =
            out.filePath(lower ? QStringLiteral("m.xls") : QStringLiteral("s.xls"));
        module.WriteEsitiWorkbook(QString(), path);

        // Template rows (0-based), the values' columns (years, then girls; the total columns
        // between them are formulas) and the caption's row.
        const int esiti = lower ? 23 : 29, mat = lower ? 32 : 38, cond = lower ? 41 : 47;
        const int years = lower ? 3 : 5, caption = lower ? 3 : 6;
        QStringList subjects;
        for (const QString &d : order)
            if (d.startsWith(QLatin1String("<MAT>")))
                subjects << d;
        const int shift = int(subjects.size()) - 1;
        std::map<std::pair<int, int>, QJsonValue> cells;
        for (const QJsonValue &c :
             xlstest::check(QStringLiteral("cells"), path)["sheets"][0]["cells"].toArray())
            cells[{c[0].toInt(), c[1].toInt()}] = c[3];
        auto cell = [&cells](int row, int col) { return cells[std::pair(row, col)]; };
        auto expectRow = [&](int row, const QString &d) {
            SCOPED_TRACE(d.toStdString());
            for (int y = 0; y < years; ++y) {
                EXPECT_EQ(cell(row, 5 + y).toDouble(), r.at(d)[y]);
                EXPECT_EQ(cell(row, 6 + years + y).toDouble(), r.at(d)[5 + y]);
            }
            EXPECT_TRUE(cell(row, 7 + 2 * years).isNull());
        };
        for (int i = 0; i < 3; ++i)
            expectRow(esiti + i, order[i]);
        for (int i = 0; i < subjects.size(); ++i) {
            expectRow(mat + i, subjects[i]);
            EXPECT_EQ(cell(mat + i, 0).toString(), subjects[i].mid(5));
        }
        expectRow(cond + shift, order[3]);
        expectRow(cond + shift + 1, order[4]);
        EXPECT_EQ(cell(caption, 0).toString(), QStringLiteral("ANNO SCOLASTICO 2008/2009"));

        // Two formulas (the totals) more per subject row; every other stream as it was.
        auto summary = [](const QString &file) {
            QStringList list;
            for (const QJsonValue &rec : xlstest::check(QStringLiteral("records"), file).array())
                if (rec[0].toInt() == 0x0006)
                    list << QStringLiteral("FORMULA");
            for (const QJsonValue &e :
                 xlstest::check(QStringLiteral("storage"), file)["entries"].toArray())
                if (e[0].toString() != QLatin1String("Workbook"))
                    list << e[0].toString() + e[3].toString();
            return list;
        };
        QStringList expected = summary(module.TemplatePath());
        for (int i = 0; i < 2 * shift; ++i)
            expected.prepend(QStringLiteral("FORMULA"));
        EXPECT_EQ(summary(path), expected);

        // LibreOffice recalculates the template's totals: the subject block's total row has
        // moved down with it and sums every subject row.
        if (soffice.isEmpty())
            continue;
        QProcess::execute(soffice, {"--headless", "--norestore",
                                    "-env:UserInstallation=file://" + out.path() + "/profile",
                                    "--convert-to", "csv", "--outdir", out.path(), path});
        const QStringList lines =
            QString::fromUtf8(xlstest::readFile(path.chopped(3) + QStringLiteral("csv")))
                .split('\n');
        ASSERT_GT(lines.size(), mat + shift + 2);
        const QStringList total = lines.value(mat + shift + 2).split(',');
        for (int col = 5; col < 7 + 2 * years; ++col) {
            int sum = 0;
            for (int i = 0; i <= shift; ++i)
                sum += lines.value(mat + i).split(',').value(col).toInt();
            EXPECT_EQ(total.value(col).toInt(), sum) << "column " << col;
        }
    }
}

class RilIntegrWindow : public RilIntegr
{
protected:
    // Opens the command; the script works the window and presses buttons.
    void run(const std::function<void(TfmQelRilIntegr *)> &script)
    {
        DialogSeam::queueModalScript([&](QDialog *d) {
            script(static_cast<TfmQelRilIntegr *>(d));
            return int(mrCancel);
        });
        DialogSeam::clearShown();
        dmqelActivations->Item(QStringLiteral("xafRilIntegr"))->Execute();
    }
    QStringList shown(const QString &kind)
    {
        QStringList texts;
        for (const DialogSeam::Shown &s : DialogSeam::shown())
            if (s.kind == kind)
                texts << s.text;
        return texts;
    }
    // The output chosen through the save dialog.
    static void choose(TfmQelRilIntegr *w, const QString &path)
    {
        DialogSeam::queueAnswer(path);
        w->btnOdSalva()->click();
    }

    ScriptedDialogs dialogs;
};

// Each stop shows its one message; a failed computation too, and none touches the old output.
TEST_F(RilIntegrWindow, StopsWithItsMessagesAndKeepsThePreviousOutputOnFailure)
{
    QTemporaryDir out;
    const QString output = out.filePath(QStringLiteral("esiti.xls"));
    const QString templ = mainSubDir(QStringLiteral("USR/Qel")) + QStringLiteral("ESI2G.XLS");
    const QString locked = QStringLiteral(
        "Il file indicato esiste già ma non può essere cancellato. Impossibile proseguire");
    QDir(out.path()).mkpath(QStringLiteral("ro/cartella.xls"));
    QDir(out.path()).mkpath(QStringLiteral("sparita"));
    xlstest::writeFile(out.filePath(QStringLiteral("ro/esiti.xls")), "previous");
    QFile::setPermissions(out.filePath(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner);
    const struct
    {
        QString output;
        std::function<void()> prepare;
        QString message; // empty: the workbook library's
    } cases[] = {
        {output, [&] { QFile::remove(templ); },
         QStringLiteral("Mancano uno o più file necessari alla generazione.")},
        // The chooser refuses a folder that is not there: nothing chosen, "Cerca" named.
        {out.filePath(QStringLiteral("none/esiti.xls")),
         {},
         QStringLiteral("Scegliere con \"Cerca\" il file in cui salvare la rilevazione.")},
        {out.filePath(QStringLiteral("sparita/esiti.xls")),
         [&] { QDir(out.filePath(QStringLiteral("sparita"))).removeRecursively(); },
         QStringLiteral("Il nome o la cartella del file da salvare non sono corretti.\n\n"
                        "Sceglierli di nuovo con \"Cerca\".")},
        {out.filePath(QStringLiteral("ro/cartella.xls")), {}, locked},
        // Permissions do not bind root.
        {geteuid() == 0 ? QString() : out.filePath(QStringLiteral("ro/esiti.xls")), {}, locked},
        {output, [&] { xlstest::writeFile(templ, "not a workbook"); }, QString()},
    };
    for (const auto &c : cases) {
        if (c.output.isEmpty())
            continue;
        SCOPED_TRACE(c.output.toStdString());
        xlstest::writeFile(output, "previous");
        run([&](TfmQelRilIntegr *w) {
            choose(w, c.output);
            if (c.prepare)
                c.prepare();
            w->buOk()->click();
            QFile::remove(templ);
            TdmQelExpScru::InstallTemplates();
        });
        const QStringList messages = shown(QStringLiteral("message"));
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(c.message.isEmpty() || messages[0] == c.message) << messages[0].toStdString();
        EXPECT_EQ(xlstest::readFile(output), QByteArray("previous"));
    }
}

TEST_F(RilIntegrWindow, ClassesChosenAgainReplaceTheFirstChoiceAndYesOpensTheFolder)
{
    QTemporaryDir out;
    const QString output = out.filePath(QStringLiteral("esiti.xls"));
    xlstest::writeFile(output, "previous");
    // The program's templates found under another spelling of their names.
    ASSERT_TRUE(TdmQelExpScru::InstallTemplates());
    QDir qel(mainSubDir(QStringLiteral("USR/Qel")));
    QFile::rename(qel.filePath(QStringLiteral("ESI2G.XLS")),
                  qel.filePath(QStringLiteral("esi2g.xls")));
    QList<int> first, second;
    run([&](TfmQelRilIntegr *w) {
        EXPECT_EQ(w->cbxSedi()->count(), 3);
        DialogSeam::queueAnswer(int(mrOk));
        w->btnSelCls()->click();
        first = w->Classi();
        DialogSeam::queueModalScript([](QDialog *d) {
            QListWidget *list = static_cast<TfmQelSelCls *>(d)->clClsSes();
            CheckAll(list, false);
            list->item(0)->setCheckState(Qt::Checked);
            // A message over the picker and its activation again reload nothing.
            VxMessageDlg(QStringLiteral("?"), mtInformation, mbOK);
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(d, &activate);
            EXPECT_EQ(CheckedIds(list), QList<int>{k1A});
            saveScreenshot(d, QStringLiteral("rilintegr-classi.png"));
            return int(mrOk);
        });
        w->btnSelCls()->click();
        second = w->Classi();
        choose(w, output.chopped(4));
        saveScreenshot(w, QStringLiteral("rilintegr.png"));
        DialogSeam::queueAnswer(int(mrYes));
        w->buOk()->click();
    });
    EXPECT_EQ(first.size(), 15);
    EXPECT_EQ(second, QList<int>{k1A});
    EXPECT_EQ(shown(QStringLiteral("message")).last(),
              QStringLiteral("I dati sono ora disponibili in: ") + output +
                  QStringLiteral(". Aprire la cartella?"));
    EXPECT_EQ(shown(QStringLiteral("open-document")), QStringList{out.path()});
    EXPECT_EQ(xlstest::readFile(output).left(4), QByteArray("\xD0\xCF\x11\xE0", 4));
}

} // namespace
