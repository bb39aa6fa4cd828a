// Every report the demo school stores, prepared as the office runs it: from the report tree
// ("Stampe", "Docenti"), the registers through the register wizard's run. Each builds pages with
// no variable left unanswered (an unknown function, dataset or field ends the run), and its PDF
// prints real rows of the demo school. Together they evaluate every report function and find
// rows in every report dataset, so that a fault anywhere shows on a printed page.
#include "platform/globalvars.h"
#include "reportengine/reporttree.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunctions.h"
#include "reports/qetrptfunctions.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/reports/demoselection.h"
#include "tests/support/otheroffice.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QPushButton>
#include <QRegularExpression>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";

// The two libraries of the program answering through instances of their own, each name the
// reports evaluate counted on the way.
class CountingLibrary : public TfrFunctionLibrary
{
public:
    CountingLibrary() { List << qel.List << qet.List; }
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                    QVariant &val) override
    {
        evaluated().insert(List.at(FNo));
        const int first = int(qel.List.size());
        if (FNo < first)
            qel.DoFunction(FNo, p1, p2, p3, val);
        else
            qet.DoFunction(FNo - first, p1, p2, p3, val);
    }
    static QSet<QString> &evaluated()
    {
        static QSet<QString> names;
        return names;
    }

private:
    TfrQelFunctionLibrary qel;
    TfrQetFunctionLibrary qet;
};

// A word as pdftotext -bbox reads it off a PDF page, in millimetres from the page's corner.
struct PdfWord
{
    QString text;
    QRectF box;
};
struct PdfPage
{
    QSizeF size;
    std::vector<PdfWord> words;
};

std::vector<PdfPage> pdfWords(const QString &pdf)
{
    QString html;
    EXPECT_EQ(runChecker("pdftotext", {"-bbox", pdf, "-"}, &html), 0);
    constexpr double mm = 25.4 / 72;
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\">|<word xMin=\"([0-9.]+)\" "
                       "yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    std::vector<PdfPage> pages;
    for (const QRegularExpressionMatch &m : tag.globalMatch(html)) {
        if (!m.captured(1).isEmpty()) {
            pages.push_back({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) * mm, {}});
            continue;
        }
        QString text = m.captured(7);
        text.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&apos;", "'")
            .replace("&amp;", "&");
        pages.back().words.push_back(
            {text, QRectF(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()) * mm,
                          QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()) * mm)});
    }
    return pages;
}

// A text as pdftotext gives it back: a noncharacter read as the replacement character.
QString asPdftotextReads(QString text)
{
    return text.replace(QChar(0xFDD0), QChar(0xFFFD));
}

// What a reader would find wrong on the printed pages: a word outside its page, outside the
// box of the text that printed it (a glyph clipped or spilling into the next cell), or over
// another word.
QStringList printFaults(const TfrDisplayList &list, const std::vector<PdfPage> &pdf)
{
    QStringList faults;
    if (pdf.size() != list.Pages.size())
        faults << QStringLiteral("%1 PDF pages for %2").arg(pdf.size()).arg(list.Pages.size());
    constexpr double slack = 0.25; // pdftotext's boxes round the glyphs' outlines
    for (size_t p = 0; p < std::min(pdf.size(), list.Pages.size()); ++p) {
        const QString at = QStringLiteral("page %1: ").arg(p + 1);
        std::vector<PdfWord> words = pdf[p].words;
        const QRectF page = QRectF(QPointF(), pdf[p].size).adjusted(-slack, -slack, slack, slack);
        for (const PdfWord &w : words) {
            if (!page.contains(w.box))
                faults << at + "off the page: " + w.text;
            const bool inItsBox = std::any_of(
                list.Pages[p].Items.begin(), list.Pages[p].Items.end(),
                [&w, slack](const TfrDisplayItem &item) {
                    return item.Kind == TfrItemKind::Text &&
                           item.Box.adjusted(-slack, -slack, slack, slack).contains(w.box) &&
                           asPdftotextReads(item.Text).contains(w.text);
                });
            if (!inItsBox)
                faults << at + "outside its box: " + w.text;
        }
        std::sort(words.begin(), words.end(),
                  [](const PdfWord &a, const PdfWord &b) { return a.box.top() < b.box.top(); });
        for (size_t i = 0; i < words.size(); ++i) {
            for (size_t j = i + 1; j < words.size() && words[j].box.top() < words[i].box.bottom();
                 ++j) {
                const QRectF both = words[i].box.intersected(words[j].box);
                if (both.width() > slack && both.height() > slack)
                    faults << at + words[i].text + " over " + words[j].text;
            }
        }
    }
    return faults;
}

// The texts of a PDF page by page, as a reader reads them.
QStringList pageTexts(const std::vector<PdfPage> &pdf)
{
    QStringList texts;
    for (const PdfPage &page : pdf) {
        QStringList words;
        for (const PdfWord &w : page.words)
            words << w.text;
        texts << words.join(' ');
    }
    return texts;
}

// The reports of the store, the teachers' placeholders apart.
const int kStore[] = {16005, 16006, 16100, 16169, 16170, 16171,   16172,  16173, 16174,
                      16175, 16179, 16180, 16181, 16182, 16183,   16184,  16201, 16202,
                      16203, 16204, 16205, 16206, 16207, 3000001, 3000002};

class DemoReports : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        frUnRegisterFunctionLibrary<TfrQetFunctionLibrary>();
        frUnRegisterFunctionLibrary<TfrQelFunctionLibrary>();
        frRegisterFunctionLibrary<CountingLibrary>();
        objects->mainWindow()->show();
        objects->mainWindow()->ensureFirstActivation();
        UpdateParRptIni();
    }
    void TearDown() override
    {
        frUnRegisterFunctionLibrary<CountingLibrary>();
        frRegisterFunctionLibrary<TfrQelFunctionLibrary>();
        frRegisterFunctionLibrary<TfrQetFunctionLibrary>();
        RunningProgram::TearDown();
    }

    // The report datasets that landed on a row while the reports ran. The volumes' scroll is
    // the register run's own: the volume's title on the cover proves it.
    QSet<QString> datasetsWithRows = {"frdVolumi"};
    void watchDataSets()
    {
        for (TfrDBDataSet *report : dmqelRptDataSets->ReportDataSets()) {
            if (datasetsWithRows.contains(report->Name()))
                continue;
            auto scrolled = report->DataSet->AfterScroll;
            report->DataSet->AfterScroll = [this, scrolled, name = report->Name()](TfrDataSet &ds) {
                datasetsWithRows.insert(name);
                if (scrolled)
                    scrolled(ds);
            };
        }
    }

    static TdmVxRptFR &rpt() { return qelReportTree(dmqelActivations)->RptFR(); }
    static bool isRegister(int id) { return (id >= 16169 && id <= 16184) || id > 3000000; }

    // The report printed to the PDF as the office prints it. A register of the classes goes
    // through the wizard's run, its PDF copied before the run encrypts it; any other report
    // has its selection answered with the pupils or classes chosen (every row: none chosen),
    // the certificate the digital signature's wording.
    static void print(int id, const QString &pdf, const QStringList &chosen,
                      const QList<int> &classes = {})
    {
        if (isRegister(id)) {
            const bool a4 = QList<int>{16169, 16171, 16182, 16183}.contains(id);
            qelVolumeHooks().afterStep = [&](QelVolumeStep step, const QString &folder,
                                             const QString &stem) {
                if (step == QelVolumeStep::Exported)
                    QFile::copy(folder + stem + ".pdf", pdf);
            };
            EXPECT_NO_THROW(QelRegisterVolume::Export(*dmqelRptDataSets, rpt(),
                                                      {classes, id,
                                                       id > 3000000 ? "Stampa personalizzata"
                                                       : a4         ? "A4"
                                                                    : "A3",
                                                       "Registro generale dei voti"}));
            qelVolumeHooks() = {};
            return;
        }
        if (id > 16200)
            queueDemoSelection(chosen);
        if (id == 16201)
            DialogSeam::queueModalScript([](QDialog *d) {
                d->findChild<QCheckBox *>("chkfirmdig")->setChecked(true);
                d->findChild<QPushButton *>("buOk")->click();
                return int(mrNone);
            });
        rpt().SetDataStampe(QDate(2009, 6, 12));
        rpt().LoadReportFromVxDB(id);
        EXPECT_TRUE(rpt().PrepareReport());
        rpt().ExportTo(rpt().PDFExport, pdf);
    }

    // The text of the report's PDF: the pupil M00007 or the class 5A chosen in the selection
    // (the pupil sheet also of M00055 of 3C and M00021, who has parents), the digital
    // signature's wording on the certificate; a register of 5A (3C for the qualification's, both
    // for the custom one).
    QString run(int id)
    {
        const QString pdf = db.mainDir.path() + "stampa.pdf";
        print(id, pdf,
              id == 16206 // a pupil of the qualification class brings his admission score
                  ? QStringList{"M00007", "M00055", "M00021"}
                  : QStringList{"M00007", "5A"},
              id >= 16179 && id <= 16183 ? QList<int>{39023}
              : id > 3000000             ? QList<int>{39005, 39023}
                                         : QList<int>{39005});
        EXPECT_FALSE(rpt().Pages().Pages.empty());
        EXPECT_EQ(rpt().Report().UnansweredVariables(), QStringList());
        EXPECT_EQ(rpt().Pages().Cut, QStringList());
        QString text;
        EXPECT_EQ(runChecker("pdftotext", {"-layout", pdf, "-"}, &text), 0);
        QFile::remove(pdf);
        return text.simplified();
    }

    // The classes of the working session, in their order.
    static QList<int> sessionClasses()
    {
        QList<int> classes;
        for (QSqlQuery q = runSql("SELECT TClsSes.iClsId FROM TClsSes INNER JOIN VCls_Classi VCls "
                                  "ON (VCls.iClsId = TClsSes.iClsId) WHERE TClsSes.iAnsSesDwgId = "
                                  "392 ORDER BY VCls.iClsOrdine");
             q.next();)
            classes << q.value(0).toInt();
        return classes;
    }

    // The rows of the classes in the selection dialog, their pupils' codes and their names;
    // none (every row) for the whole school.
    static QStringList chosenOf(const QList<int> &classes)
    {
        QStringList chosen;
        if (classes == sessionClasses())
            return chosen;
        for (int cls : classes)
            for (QSqlQuery q = runSql("SELECT VCls.sClsSDesc, TAnaCag.sAnaCagCode FROM VCls_Classi "
                                      "VCls INNER JOIN TClsPst TClsPst ON (TClsPst.iClsId = "
                                      "VCls.iClsId) INNER JOIN TSit_Situazioni TSit ON "
                                      "(TSit.iClsPstId = TClsPst.iClsPstId) INNER JOIN TAnaCag "
                                      "TAnaCag ON (TAnaCag.iAnaId = TSit.iAnaId) WHERE "
                                      "VCls.iClsId = ?",
                                      {cls});
                 q.next();)
                chosen << q.value(0).toString() << q.value(1).toString();
        return chosen;
    }

    // Every template of the store but the teachers' placeholders, each printed over the whole
    // school or the classes given (a register over each class, the pupils and classes chosen
    // in the selection), read back from its PDF and checked as an office reads it: nothing cut
    // nor ending in "…", no word off its box, every page naming its class and, where a pupil's
    // pages go on, the pupil, and a register's page texts one a page. The pages of the reports
    // kept are returned for the caller's cases.
    struct Printed
    {
        std::vector<PdfPage> pdf;
        TfrDisplayList laidOut;
        QString text;   // as pdftotext reads it, in reading order (right to left where so written)
        QString glyphs; // as MuPDF reads it, glyph by glyph
    };
    // The letters given (boxed) are those no installed font prints: the office is told of them
    // alone. A part of the store given, its reports alone are printed.
    QMap<int, Printed>
    printTheWholeStore(const QList<int> &kept = {}, const QList<int> &classes = sessionClasses(),
                       const QString &boxed = QString(),
                       const QList<int> &reports = {std::begin(kStore), std::end(kStore)})
    {
        QMap<QString, QStringList> pupils; // the working session's classes and their pupils
        for (QSqlQuery q = runSql("SELECT VCls.sClsDesc, VCls.sClsSDesc FROM TClsSes TClsSes "
                                  "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsSes.iClsId) "
                                  "WHERE TClsSes.iAnsSesDwgId = 392");
             q.next();) {
            pupils[q.value(0).toString()];
            pupils[q.value(1).toString()];
        }
        for (QSqlQuery q = runSql("SELECT VCls.sClsDesc, VCls.sClsSDesc, TAna.sAnaCognome || ' ' "
                                  "|| TAna.sAnaNome FROM TSit_Situazioni TSit INNER JOIN "
                                  "TAna_Anagrafiche TAna ON (TAna.iAnaId = TSit.iAnaId) INNER "
                                  "JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                                  "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = TClsPst.iClsId)");
             q.next();)
            for (int column : {0, 1})
                if (pupils.contains(q.value(column).toString())) // as printed: composed
                    pupils[q.value(column).toString()]
                        << q.value(2).toString().normalized(QString::NormalizationForm_C);
        const QStringList chosen = chosenOf(classes);
        const QString pdf = db.mainDir.path() + "scuola.pdf";
        QMap<int, Printed> printed;
        for (int id : reports) {
            SCOPED_TRACE(id);
            QFile::remove(pdf);
            print(id, pdf, chosen, classes);
            Printed p;
            p.pdf = pdfWords(pdf);
            p.laidOut = rpt().Pages();
            static const QRegularExpression told("può stampare «([^»]*)»$");
            QStringList cut = p.laidOut.Cut;
            cut.removeIf([&boxed](const QString &line) {
                const QString letters = told.match(line).captured(1);
                return !letters.isEmpty() &&
                       std::all_of(letters.begin(), letters.end(),
                                   [&](QChar c) { return boxed.contains(c); });
            });
            EXPECT_EQ(cut, QStringList());
            EXPECT_EQ(printFaults(p.laidOut, p.pdf).mid(0, 20), QStringList());
            EXPECT_EQ(headingsAtFoot(p.laidOut), QStringList());
            EXPECT_EQ(unembeddedFonts(pdf), QStringList());
            EXPECT_EQ(unnamedPages(id, p.laidOut, pupils).mid(0, 20), QStringList());
            EXPECT_FALSE(pageTexts(p.pdf).join(' ').contains(QChar(0x2026)));
            if (isRegister(id)) { // a page text for each page, those a pupil goes on to too
                EXPECT_EQ(dmqelRptDataSets->PageDetails().size(), qsizetype(p.pdf.size()));
            }
            if (kept.contains(id)) {
                EXPECT_EQ(runChecker("pdftotext", {pdf, "-"}, &p.text), 0);
                p.text = p.text.simplified();
                EXPECT_EQ(
                    runChecker("mutool", {"draw", "-q", "-F", "txt", "-o", pdf + ".txt", pdf}), 0);
                p.glyphs = QString::fromUtf8(readFileBytes(pdf + ".txt")).simplified();
                printed[id] = std::move(p);
            }
        }
        return printed;
    }

    // The pages whose last line above the page footer is a table's heading, none of its rows
    // under it.
    static QStringList headingsAtFoot(const TfrDisplayList &list)
    {
        QStringList found;
        for (size_t p = 0; p < list.Pages.size(); ++p) {
            const TfrDisplayItem *last = nullptr;
            for (const TfrDisplayItem &item : list.Pages[p].Items)
                if (item.Kind == TfrItemKind::Text && item.Band != "page-footer")
                    last = &item;
            if (last && last->Band == "header")
                found << QStringLiteral("page %1: %2").arg(p + 1).arg(last->Text);
        }
        return found;
    }

    // The fonts of a PDF that pdffonts does not find embedded.
    static QStringList unembeddedFonts(const QString &pdf)
    {
        QString fonts;
        EXPECT_EQ(runChecker("pdffonts", {pdf}, &fonts), 0);
        QStringList lines = fonts.split('\n', Qt::SkipEmptyParts).mid(2);
        lines.removeIf([](const QString &line) {
            return line.contains(QRegularExpression("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+"));
        });
        return lines;
    }

    // The pages that do not say whose they are: any of a class (a register's volume cover and
    // the list of the credit items on offer apart) that names no class, and any of a pupil's
    // report, register or card that names no pupil of the class it names (a register's covers
    // apart).
    static QStringList unnamedPages(int id, const TfrDisplayList &list,
                                    const QMap<QString, QStringList> &pupils)
    {
        static const QList<int> classless = {16005, 16006, 16100};
        static const QList<int> pupilless = {16203, 16205, 16207};
        if (classless.contains(id))
            return {};
        QStringList unnamed;
        for (size_t p = 0; p < list.Pages.size(); ++p) {
            QStringList texts;
            QSet<QString> bands;
            for (const TfrDisplayItem &item : list.Pages[p].Items) {
                bands << item.Band;
                if (item.Kind == TfrItemKind::Text)
                    texts << item.Text;
            }
            const QString text = texts.join(' ') + ' ';
            if (bands.contains("Volumi") || (id == 16207 && !bands.contains("Alunni")))
                continue;
            QStringList named;
            for (auto it = pupils.begin(); it != pupils.end(); ++it)
                for (const char *word : {"lasse ", "LASSE "})
                    if (text.contains(QRegularExpression(
                            word + QRegularExpression::escape(it.key()) + "[^A-Za-z0-9]")))
                        named << it.key();
            const bool pupilNamed = std::any_of(named.begin(), named.end(), [&](const QString &c) {
                const QStringList &names = pupils[c];
                return std::any_of(names.begin(), names.end(),
                                   [&](const QString &n) { return text.contains(n); });
            });
            if (named.isEmpty())
                unnamed << QStringLiteral("page %1 names no class").arg(p + 1);
            else if (!pupilless.contains(id) && !bands.contains("Classi") && !pupilNamed)
                unnamed << QStringLiteral("page %1 names no pupil of %2")
                               .arg(p + 1)
                               .arg(named.join(' '));
        }
        return unnamed;
    }

    ScriptedDialogs dialogs;
};

// The texts of the school at the lengths its database keeps: a text of each of its rows made
// longer with the words given, an office's real words and blanks, to the column's length.
void lengthen(const QString &table, const QString &key, const QString &column, int length,
              const QStringList &words)
{
    std::vector<std::pair<QVariant, QString>> rows;
    for (QSqlQuery q = runSql(QStringLiteral("SELECT %1, %2 FROM %3").arg(key, column, table));
         q.next();)
        rows.emplace_back(q.value(0), QString::fromUtf8(q.value(1).toByteArray()).trimmed());
    for (auto &[id, text] : rows) {
        for (int i = 0; text.size() < length; ++i)
            text += (text.isEmpty() ? "" : " ") + words.at(i % words.size());
        text.truncate(length);
        if (text.endsWith(' '))
            text.back() = 'e';
        runSql(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(table, column, key),
               {text, id});
    }
}

// The tests whose rows are reports, each row named by its report.
class DemoReport : public DemoReports, public ::testing::WithParamInterface<int>
{
};
using DemoReportText = DemoReport;
using DemoReportOfTheStore = DemoReport;

} // namespace

TEST_F(DemoReports, EveryStoredReportPrintsTheDemoSchool)
{
    qelReportTree(dmqelActivations)->Reload();
    watchDataSets();
    CountingLibrary::evaluated().clear();
    // The office entered Caruso Giacomo's qualification exam (3C): the qualification and the
    // written and practical tests.
    for (const auto &[id, component, level] :
         {std::tuple{990001, 2930, 212}, {990002, 2931, 212}, {990003, 2932, 218}})
        runSql("INSERT INTO TVot_Voti (iVotId, iClsMatCmpId, iSitId, iScaLivId) "
               "VALUES (?, ?, 862, ?)",
               {id, component, level});
    // Pupils, votes, sessions, teachers and outcomes as each report prints them.
    const QString volume = "Registro generale dei voti";
    const QStringList in5A = {volume, "Barbieri Elisa", "Classe 5A", "Scrutinio finale"};
    const QStringList in3C = {volume, "Caruso Giacomo", "Classe 3C", "esame di qualifica",
                              "PRS: 60/100"};
    const QStringList custom = {volume,
                                "1. Barbieri Elisa",
                                "ITALIANO 4 11,36 8 8 8",
                                "Docente: Caruso Francesca",
                                "Classe 3C",
                                "Prova PROVA PRATICA (Unico): 90/100"};
    QMap<int, QStringList> proofs = {
        {16005, {"Marchetti Chiara", "1A 3A 5A"}},
        {16006, {"Marchetti Chiara", "1A 3A 5A"}},
        {16100, {"Al prof. Caruso Francesca"}},
        {16201, {"Gatti Francesco", "Marchetti Chiara", "Documento informatico firmato"}},
        {16202,
         {"Gatti Francesco, classe 3A", "Primo periodo Scrutinio finale Sessione differita",
          "ITALIANO 8 8 0 9 9 8", "Esito: Ammesso alla classe successiva",
          "Prof.ssa Maria Bianchi"}},
        {16203,
         {"Barbieri Vincenzo 8,44 41 Ammesso 8,0 8,0", "ITALIANO Marchetti Chiara (coordinatore)"}},
        {16204, {"ITALIANO Scritto Otto", "CONDOTTA Impegno (su 2) Buono", "chiusa il 10/06/2009"}},
        {16205, {"Bianchi Antonio", "ITA, LAT.", "LATINO Studio individuale guidato"}},
        {16206,
         {"Gatti Francesco - classe 3A", "Via Garibaldi 8", "Interesse e impegno",
          "Ammissione: 75"}},
        {16207, {"Barbieri Elisa 7,11 7 < M <= 8", "2006/2007 2007/2008 2008/2009"}},
        {3000001, custom},
        {3000002, custom}};
    for (int id : {16169, 16170, 16171, 16172, 16173, 16174, 16175, 16184})
        proofs[id] = in5A;
    for (int id : {16179, 16180, 16181, 16182, 16183})
        proofs[id] = in3C;
    // Religion's judgment and conduct's vote on every register: a line of their own where the
    // components printed are those of the other subjects.
    for (int id : {16169, 16170, 16171, 16172, 16174, 16175, 16184})
        proofs[id] << "Religione cattolica: Buono - Comportamento: 8";
    for (int id : {16179, 16180, 16182, 16183})
        proofs[id] << "Religione cattolica: Buono - Comportamento: 10";
    QSqlQuery q = runSql("SELECT iYRptId FROM TYRpt_RptTemplate WHERE sYRptCodAppl = 'QEL' AND "
                         "iYRptId NOT BETWEEN 16089 AND 16091 ORDER BY iYRptId");
    QList<int> stored;
    while (q.next())
        stored << q.value(0).toInt();
    EXPECT_EQ(stored, proofs.keys());
    EXPECT_EQ(stored, QList<int>(std::begin(kStore), std::end(kStore)))
        << "the rows of the whole school's print";
    QStringList registerReads; // of the general register and the registers
    for (int id : stored) {
        SCOPED_TRACE(id);
        TVxStatementRecorder recorder;
        const QString text = run(id);
        if (id == 16204 || isRegister(id))
            for (const TVxStatementRecorder::Statement &s : recorder.statements())
                registerReads << s.sql;
        for (const QString &proof : proofs.value(id))
            EXPECT_TRUE(text.contains(proof)) << proof.toStdString();
        if (id == 16202 || id == 16203)
            expectGolden(kData + (id == 16202 ? "/pagella.txt" : "/tabellone.txt"),
                         rpt().Pages().dump());
    }
    // Planned on the demo school, no read of a register goes through a whole table that grows
    // with the school (but the classes: a register lists those of its session).
    QStringList growing = tablesThatGrowWithTheSchool();
    growing.removeAll("TCLS_CLASSI");
    EXPECT_EQ(tablesReadWhole(qqoVxGlobConn(), registerReads, growing), QStringList());
    // Every function the templates may call, and every dataset the module offers them.
    const QStringList names = CountingLibrary().List;
    EXPECT_EQ(names.size(), 49);
    for (const QString &name : names)
        EXPECT_TRUE(CountingLibrary::evaluated().contains(name))
            << "never evaluated: " << name.toStdString();
    for (TfrDBDataSet *report : dmqelRptDataSets->ReportDataSets())
        EXPECT_TRUE(datasetsWithRows.contains(report->Name()))
            << "no row printed: " << report->Name().toStdString();
    // What a run reads stays with the run: a vote another office saves after the report card
    // above (Gatti Francesco's Italian in the final session, first component: 9, to 4) is
    // printed by the next.
    QVariantList four;
    {
        QSqlQuery vote = runSql("SELECT Four.iScaLivId, Vot.iVotId FROM TVot_Voti Vot "
                                "JOIN TClsMatCmp Cmc ON Cmc.iClsMatCmpId = Vot.iClsMatCmpId "
                                "JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId "
                                "JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId "
                                "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
                                "JOIN TMat_Materie Mat ON Mat.iMatId = Rma.iMatId "
                                "JOIN TSit_Situazioni Sit ON Sit.iSitId = Vot.iSitId "
                                "JOIN TAnaCag Cag ON Cag.iAnaId = Sit.iAnaId "
                                "JOIN TScaLiv Nine ON Nine.iScaLivId = Vot.iScaLivId "
                                "JOIN TScaLiv Four ON Four.iScaId = Nine.iScaId "
                                "JOIN TLiv_Livelli Liv ON Liv.iLivId = Four.iLivId "
                                "WHERE Cag.sAnaCagCode = 'M00007' AND Mat.sMatLDesc = 'ITALIANO' "
                                "AND Cs.iAnsSesDwgId = 392 AND Cmc.iCmpScaId = 1 "
                                "AND Liv.sLivSDesc = '4'");
        ASSERT_TRUE(vote.next());
        four = {vote.value(0), vote.value(1)};
    }
    OtherOffice(db.database).save("UPDATE TVot_Voti SET iScaLivId = ? WHERE iVotId = ?", four);
    EXPECT_TRUE(run(16202).contains("ITALIANO 8 8 0 4 9 8"));
}

// The reports whose text is kept, in the order of their digests: the report cards (16202), the
// boards (16203) and the registers.
const int kTextsKept[] = {16202, 16203, 16169, 16170, 16171, 16172, 16173, 16174,
                          16175, 16179, 16180, 16181, 16182, 16183, 16184, 3000001};

// The text of every page of the whole demo school's report cards (16202), boards (16203) and
// registers, one digest per report in data/digests-scale1.txt, each report a row: what the
// office prints cannot change unnoticed, however the reports come to read the database. A change
// that is meant (demo data, layout) is accepted with TAVRIN_UPDATE_GOLDEN=1; with
// TAVRIN_DEMO_SCALE=10 the school ten times larger is printed against data/digests-scale10.txt
// (tens of minutes). At scale 1 the class 5A is printed too, against data/digests-5A-scale1.txt:
// against the run's server, whose way to the database is what that run checks, it is all that is
// printed (the whole school's pages are the embedded engine's to check). The texts of the last
// run stay in the build folder's report-texts-scale1/ (5A's in report-texts-5A-scale1/;
// "-server" after them for the run against the run's server), to compare two runs.
TEST_P(DemoReportText, TheWholeSchoolPrintsTheSameText)
{
    const int id = GetParam();
    const int scale = std::max(1, qEnvironmentVariableIntValue("TAVRIN_DEMO_SCALE"));
    const struct
    {
        QString name;
        QList<int> classes;
    } prints[] = {{"5A-", scale == 1 ? QList<int>{39005} : QList<int>()},
                  {"", testServer() && scale == 1 ? QList<int>() : sessionClasses()}};
    for (const auto &printed : prints) {
        if (printed.classes.isEmpty())
            continue;
        SCOPED_TRACE(printed.name.toStdString());
        const QString texts = QStringLiteral(TAVRIN_TEST_BUILD_DIR "/report-texts-%1scale%2%3/")
                                  .arg(printed.name)
                                  .arg(scale)
                                  .arg(testServer() ? "-server" : "");
        QDir().mkpath(texts);
        const QString pdf = texts + QString::number(id) + ".pdf";
        QFile::remove(pdf);
        print(id, pdf, chosenOf(printed.classes), printed.classes);
        const int pages = int(rpt().Pages().Pages.size());
        ASSERT_EQ(runChecker("pdftotext", {"-layout", pdf, texts + QString::number(id) + ".txt"}),
                  0);
        QFile::remove(pdf);
        const QByteArray bytes = readFileBytes(texts + QString::number(id) + ".txt");
        EXPECT_EQ(bytes.count('\f'), pages);
        expectGoldenLine(
            kData + QStringLiteral("/digests-%1scale%2.txt").arg(printed.name).arg(scale),
            QString::number(id),
            QStringLiteral("%1 %2 %3")
                .arg(id)
                .arg(pages)
                .arg(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()));
    }
}
INSTANTIATE_TEST_SUITE_P(Kept, DemoReportText, ::testing::ValuesIn(kTextsKept),
                         ::testing::PrintToStringParamName());

// Each file of digests names the reports whose text is kept, each once, in their order: a report
// without its row would leave its digest unchecked.
TEST(DemoReportDigests, NameEveryReportKeptOnce)
{
    QStringList kept;
    for (int id : kTextsKept)
        kept << QString::number(id);
    for (const char *file :
         {"digests-scale1.txt", "digests-5A-scale1.txt", "digests-scale10.txt"}) {
        QStringList named;
        for (const QString &line :
             QString::fromUtf8(readFileBytes(kData + '/' + file)).split('\n', Qt::SkipEmptyParts))
            named << line.section(' ', 0, 0);
        EXPECT_EQ(named, kept) << file;
    }
}

// The whole store over the school whose names, subjects, levels and judgments are at the
// lengths its database keeps (the longest subject of the vocational classes, a 60 and 60
// character name, a level described in 250 characters, judgments of six and eighteen thousand):
// every value whole on its pages, and every page a pupil's card or register goes on to naming
// him. The pages of two classes show it, between them every kind a report prints: 3C's (the
// vocational plan, the qualification's registers with the exam list and the admission tests,
// debts, credits from the third year) and 5A's (the lyceum's plan, three years of credits); the
// whole school's pages are the other tests' to check.
TEST_F(DemoReports, TheLongestTextsTheDatabaseKeepsPrintWhole)
{
    const QStringList surnames = {"Della Valle", "Santangelo", "Di Montefeltro",
                                  "Bonaccorsi",  "Pignatelli", "Castelbarco"};
    const QStringList names = {"Maria", "Addolorata", "Giovanna", "Immacolata", "Francesca"};
    lengthen("TAna_Anagrafiche", "iAnaId", "sAnaCognome", 60, surnames);
    lengthen("TAna_Anagrafiche", "iAnaId", "sAnaNome", 60, names);
    // Names as a school's database may hold them: in Arabic and Hebrew script, with their marks
    // stored apart from their letters (composed, they are the names the pages give back), with
    // a noncharacter and a private character (pasted from another program), which no font
    // prints and the office is told of, and which the pages give back as stored.
    const struct
    {
        const char *pupil, *surname, *name;
    } written[] = {{"M00142", "عبد الرحمن الحسيني", "Nguye\u0302\u0303n Thi\u0323 Hoa\u0300ng"},
                   {"M00055", "כהן לוי", "Zoe\u0308"},
                   {"M00143", "S\u030cevc\u030ci\u0301kova\u0301", "Ana"},
                   {"M00140", "Bianchi\uFDD0", "Ludovica"},
                   {"M00144", "Rossi\uE000", "Emma"}};
    for (const auto &w : written)
        runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = ?, sAnaNome = ? WHERE iAnaId = "
               "(SELECT iAnaId FROM TAnaCag WHERE sAnaCagCode = ?)",
               {QString::fromUtf8(w.surname), QString::fromUtf8(w.name), w.pupil});
    runSql(
        "UPDATE TAna_Anagrafiche SET sAnaCognomeNomeIdx = UPPER(sAnaCognome || ' ' || sAnaNome)");
    lengthen("TMat_Materie", "iMatId", "sMatLDesc", 100,
             {"LABORATORIO DI TRATTAMENTO TESTI, CALCOLO, CONTABILITA' ELETTRONICA E "
              "APPLICAZIONI GESTIONALI"});
    lengthen("TMat_Materie", "iMatId", "sMatSDesc", 20, {"LABTRATTESTICONTABAPPL"});
    lengthen("TLiv_Livelli", "iLivId", "sLivLDesc", 250,
             {"livello raggiunto con continuità negli apprendimenti, nell'impegno e nella "
              "partecipazione alle attività proposte durante l'anno scolastico"});
    QStringList sentences;
    for (int n = 1; n <= 50; ++n)
        sentences << QStringLiteral("Nel periodo %1 l'alunno ha lavorato con impegno costante, "
                                    "ha partecipato alle attività e migliorato il metodo.")
                         .arg(n);
    lengthen("TGdz_Giudizi", "iGdzId", "bGdzGiudizio", 6000, sentences);
    // a pupil in four with three times as much, more than a register's page holds
    runSql("UPDATE TGdz_Giudizi SET bGdzGiudizio = bGdzGiudizio || ' ' || bGdzGiudizio || ' ' || "
           "bGdzGiudizio WHERE MOD(iSitId, 4) = 0");
    // notes that bring the register's absence headings to page feet
    lengthen("TNot_Note", "iNotId", "bNotNota", 6000, sentences);
    UpdateParRptIni();
    qelReportTree(dmqelActivations)->Reload();
    const QMap<int, Printed> store =
        printTheWholeStore({16202, 16203, 16204, 16207, 16174}, {39023, 39005}, "\uFDD0\uE000");
    // Each page a card or a class's credits go on to is headed by that pupil or class: its
    // continued band first, naming whom the page before named.
    const auto unheaded = [&store](int id, const QString &object) {
        QStringList found;
        QString named;
        int continuedPages = 0;
        const std::vector<TfrPage> &pages = store[id].laidOut.Pages;
        for (size_t p = 0; p < pages.size(); ++p) {
            QString first, own, continued;
            for (const TfrDisplayItem &item : pages[p].Items) {
                if (item.Kind != TfrItemKind::Text || item.Band.startsWith("page-"))
                    continue;
                if (first.isEmpty())
                    first = item.Band;
                if (item.Object == object)
                    (item.Band == "continued" ? continued : own) += item.Text + ' ';
            }
            if (!own.isEmpty())
                named = own.trimmed();
            else if (first != "continued" || named.isEmpty() || !continued.startsWith(named))
                found << QStringLiteral("page %1: %2").arg(p + 1).arg(continued);
            continuedPages += first == "continued";
        }
        if (!continuedPages)
            found << QStringLiteral("no page goes on");
        return found;
    };
    EXPECT_EQ(unheaded(16202, "Alunno"), QStringList());
    EXPECT_EQ(unheaded(16207, "Titolo"), QStringList());
    // each name given back whole, composed, on the card, the board, the register and a
    // volume, to pdftotext, and each word of it to MuPDF (which sets the words of a
    // right-to-left name from left to right); and every page count the count of its report's
    // pages
    static const QRegularExpression pageOf("Pagina (\\d+) di (\\d+)");
    for (auto it = store.begin(); it != store.end(); ++it) {
        for (const auto &w : written)
            for (const char *name : {w.surname, w.name}) {
                const QString stored =
                    QString::fromUtf8(name).normalized(QString::NormalizationForm_C);
                for (const QString &word : stored.split(' '))
                    EXPECT_TRUE(it->glyphs.contains(word)) << it.key() << " " << name;
                EXPECT_TRUE(it->text.contains(asPdftotextReads(stored))) << it.key() << " " << name;
            }
        const QStringList pages = pageTexts(it->pdf);
        for (qsizetype p = 0; p < pages.size(); ++p)
            for (const QRegularExpressionMatch &m : pageOf.globalMatch(pages[p]))
                EXPECT_EQ(m.captured(0),
                          QStringLiteral("Pagina %1 di %2").arg(p + 1).arg(pages.size()))
                    << it.key();
    }
    EXPECT_EQ(pageTexts(store[16174].pdf).join(' ').count(pageOf),
              qsizetype(store[16174].pdf.size()));
}

// Every report of the store over the whole demo school, each report a row, as the families and
// the school receive it: no word of the data cut, clipped, broken or over another, no column
// dropped, every page naming its class and pupil; then what went wrong on these pages once, each
// case a row of the table, checked on its report's pages.
TEST_P(DemoReportOfTheStore, TheWholeSchoolPrintsWithNothingCutNorDropped)
{
    const int id = GetParam();
    // Caruso Giacomo's (3C) judgments run over many lines; the boards leave out the votes of
    // the pupils not admitted (2) or whose judgment is suspended (11).
    QStringList sentences;
    for (int n = 1; n <= 12; ++n)
        sentences << QStringLiteral("Nel periodo %1 l'alunno ha lavorato con impegno costante "
                                    "e ha migliorato il metodo di studio.")
                         .arg(n);
    const QString judgment = sentences.join(' ') + " Fine del giudizio.";
    EXPECT_GT(runSql("UPDATE TGdz_Giudizi SET bGdzGiudizio = ? WHERE iSitId = 862", {judgment})
                  .numRowsAffected(),
              0);
    QSqlQuery settings = runSql("SELECT bParVal FROM TParVal WHERE iParValId = 1");
    ASSERT_TRUE(settings.next());
    runSql("UPDATE TParVal SET bParVal = ? WHERE iParValId = 1",
           {QString::fromUtf8(settings.value(0).toByteArray()) +
            "\r\n[Tabelloni]\r\nEsiti=2;11;\r\n"});
    UpdateParRptIni();
    qelReportTree(dmqelActivations)->Reload();

    QMap<int, Printed> store =
        printTheWholeStore({16202, 16203, 16204, 16205}, sessionClasses(), QString(), {id});
    const auto text = [&store](int id) { return pageTexts(store[id].pdf).join(' ') + ' '; };
    // The pages of a class: its board's, its register's.
    const auto classPages = [&store](int id, const QString &cls) {
        QStringList pages;
        for (const QString &page : pageTexts(store[id].pdf))
            if (page.contains("lasse " + cls + ' '))
                pages << page + ' ';
        return pages.join(' ');
    };
    // Every subject of every class of the working session on its board and in its register.
    for (QSqlQuery q = runSql(QStringLiteral("SELECT DISTINCT VCls.sClsDesc, TMat.sMatSDesc "
                                             "FROM TClsSes TClsSes "
                                             "INNER JOIN VCls_Classi VCls ON (VCls.iClsId = "
                                             "TClsSes.iClsId) ") +
                              "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
                              "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                              "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
                              "WHERE TClsSes.iAnsSesDwgId = 392");
         (id == 16203 || id == 16204) && q.next();) {
        const QString cls = q.value(0).toString(), subject = ' ' + q.value(1).toString() + ' ';
        EXPECT_TRUE(classPages(id, cls).contains(subject))
            << (id == 16203 ? "board " : "register ") << cls.toStdString() << subject.toStdString();
    }
    // The objects printed on the board row of a pupil, by the pupil's name: "text Voto" for a
    // vote, "rect Voto" for its cell.
    const auto boardRow = [&store](const QString &pupil) {
        QStringList row;
        for (const TfrPage &page : store[16203].laidOut.Pages)
            for (const TfrDisplayItem &name : page.Items)
                if (name.Object == "Alunno" && name.Text == pupil)
                    for (const TfrDisplayItem &item : page.Items)
                        if (item.Kind != TfrItemKind::Line &&
                            std::abs(item.Box.top() - name.Box.top()) < 0.35)
                            row << (item.Kind == TfrItemKind::Text ? "text " : "rect ") +
                                       item.Object;
        return row;
    };
    // Pages printing a band's rows without the header that names what they are.
    const auto headless = [&store](int id, const QString &band, const QString &header) {
        return std::count_if(store[id].laidOut.Pages.begin(), store[id].laidOut.Pages.end(),
                             [&](const TfrPage &page) {
                                 const auto has = [&page](const QString &object) {
                                     return std::any_of(page.Items.begin(), page.Items.end(),
                                                        [&](const TfrDisplayItem &item) {
                                                            return item.Band + ' ' + item.Object ==
                                                                   object;
                                                        });
                                 };
                                 return has(band) && !has(header);
                             });
    };
    const struct
    {
        int number;
        int report; // whose pages show it
        const char *what;
        std::function<bool()> holds;
    } cases[] = {
        {1, 16202, "the report card's religion judgments whole",
         [&] {
             const QString t = text(16202);
             return t.contains(" DISTINTO ") && t.contains(" SUFFICIENTE ") &&
                    t.contains(" INSUFFICIENTE ");
         }},
        {2, 16202, "a judgment of many lines whole, to its last word",
         [&] { return text(16202).contains(judgment); }},
        {3, 16203, "3C's twelfth column, the admission score, with its values",
         [&] {
             return classPages(16203, "3C").contains(" AMM ") &&
                    boardRow("Caruso Giacomo").count("rect Voto") == 12;
         }},
        {4, 16203, "the boards print no vote nor average of a pupil not admitted or suspended",
         [&] {
             QSqlQuery q = runSql("SELECT TAna.sAnaCognome || ' ' || TAna.sAnaNome "
                                  "FROM TSit_Situazioni TSit "
                                  "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TSit.iAnaId) "
                                  "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = "
                                  "TSit.iClsPstId) "
                                  "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) "
                                  "WHERE TClsSes.iAnsSesDwgId = 392 AND TSit.iPosFinId IN (2, 11) "
                                  "AND TSit.iSitOrdine = 1 AND TSit.iSitPosReg > 0");
             int rows = 0;
             for (; q.next(); ++rows) {
                 const QStringList row = boardRow(q.value(0).toString());
                 if (!row.contains("text Alunno") || row.contains("text Voto") ||
                     row.contains("text Media"))
                     return false;
             }
             return rows > 0;
         }},
        {5, 16203, "each council of the boards whole, under its heading",
         [&] {
             return text(16203).count("Il consiglio della classe") == 15 &&
                    headless(16203, "Docenti Materia", "header TitConsiglio") == 0;
         }},
        {6, 16204, "the register lists every subject of the year, 1A's religion too",
         [&] { return classPages(16204, "1A").contains(" REL "); }},
        {7, 16204, "the register's class heading whole above the session line",
         [&] {
             return classPages(16204, "1C")
                 .contains(
                     "Classe 1C ISTITUTO PROFESSIONALE SERVIZI COMMERCIALI - Primo anno, Sezione C "
                     "Scrutinio finale");
         }},
        {8, 16205,
         "the debt letter lists under each pupil exactly his own debts (2C's Bruno Alessia "
         "and Bruno Elisa two each, some in the same subjects), in the plan's order",
         [&] {
             QMap<QString, QStringList> printed, debts;
             QString pupil;
             for (const TfrPage &page : store[16205].laidOut.Pages)
                 for (const TfrDisplayItem &item : page.Items)
                     if (item.Kind == TfrItemKind::Text &&
                         item.Band + ' ' + item.Object == "Alunni Alunno")
                         pupil = item.Text;
                     else if (item.Kind == TfrItemKind::Text &&
                              item.Band + ' ' + item.Object == "Debiti Materia")
                         printed[pupil] << item.Text;
             for (QSqlQuery q = runSql(
                      "SELECT A.sAnaCognome || ' ' || A.sAnaNome, M.sMatLDesc FROM TDeb_Debiti D "
                      "JOIN TSit_Situazioni S ON S.iSitId = D.iSitId JOIN TClsPst P ON "
                      "P.iClsPstId = S.iClsPstId JOIN TClsSes C ON C.iClsId = P.iClsId JOIN "
                      "TAna_Anagrafiche A ON A.iAnaId = S.iAnaId JOIN TMat_Materie M ON M.iMatId "
                      "= D.iMatId JOIN TMatRmaPst R ON R.iMatRmaId = D.iMatId AND R.iPstId = "
                      "P.iPstId WHERE C.iAnsSesDwgId = 392 AND S.iSitOrdine = 1 "
                      "ORDER BY R.iMatRmaPstOrdine");
                  q.next();)
                 debts[q.value(0).toString()] << q.value(1).toString();
             const auto text = [](const QMap<QString, QStringList> &byPupil) {
                 QString out;
                 for (auto it = byPupil.begin(); it != byPupil.end(); ++it)
                     out += it.key() + ": " + it->join(' ') + "\n";
                 return out.toStdString();
             };
             EXPECT_EQ(text(printed), text(debts));
             return debts.value("Bruno Alessia").size() == 2 &&
                    debts.value("Bruno Elisa").size() == 2 && printed == debts;
         }},
        {9, 16205, "the debt letter prints no page of a class without debts",
         [&] {
             return std::all_of(store[16205].laidOut.Pages.begin(),
                                store[16205].laidOut.Pages.end(), [](const TfrPage &page) {
                                    return std::any_of(page.Items.begin(), page.Items.end(),
                                                       [](const TfrDisplayItem &item) {
                                                           return item.Band == "Alunni";
                                                       });
                                });
         }},
        {10, 16202, "the averages of a card's line in one format, two decimals (2C's taxonomies)",
         [&] {
             return text(16202).contains("media delle tassonomie: 7,50 ") &&
                    !text(16202).contains(QRegularExpression("tassonomie: \\d+(,\\d)? "));
         }},
        {11, 16202, "a clause of the card whose value is empty is left out with its words",
         [&] {
             return !text(16202).contains(QRegularExpression(
                 "(di cui in religione|proposti:|tassonomie:) (?![0-9])|cattolica: (?![A-Z])"));
         }},
    };
    for (const auto &c : cases) {
        if (c.report != id)
            continue;
        EXPECT_TRUE(c.holds()) << c.number << ": " << c.what;
    }
}
INSTANTIATE_TEST_SUITE_P(Store, DemoReportOfTheStore, ::testing::ValuesIn(kStore),
                         ::testing::PrintToStringParamName());
