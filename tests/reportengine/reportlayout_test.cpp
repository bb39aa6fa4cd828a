// Banded layout: test templates laid out over in-memory datasets and over the demo school,
// compared with the dumps committed under tests/reportengine/data, and a function library that
// counts its calls, so that a band evaluated twice (or a page header out of order) shows.
#include "platform/sqlparams.h"
#include "platform/waitwindow.h"
#include "reportengine/reportengine.h"
#include "reportengine/reportrender.h"
#include "tests/reportengine/reportschool.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";

TfrTemplate readTestTemplate(const QString &name)
{
    return frReadTemplate(readFileBytes(kData + "/" + name + ".xml"));
}

// Conta('tag') answers "tag n", n counting that tag's calls, and notes the page it was called
// on; VotoProva(pupil, subject) gives a made-up vote, "NC" for some.
class CountingLibrary : public TfrFunctionLibrary
{
public:
    CountingLibrary()
    {
        List << "Conta"
             << "VotoProva";
    }
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &,
                    QVariant &val) override
    {
        if (FNo == 0) {
            const QString tag = frDisplayText(frParser.Calc(p1));
            calls.push_back({tag, int(frToInteger(frParser.Calc("PAGE#")))});
            val = tag + " " + QString::number(++counts[tag]);
            return;
        }
        const qint64 code = frToInteger(frParser.Calc(p1)) * 7 + frToInteger(frParser.Calc(p2)) * 3;
        if (code % 13 == 0)
            val = "NC";
        else
            val = 4 + double(code % 13) / 2;
    }
    static inline std::vector<std::pair<QString, int>> calls;
    static inline std::map<QString, int> counts;
};

// Rows in memory; a detail's rows may depend on a value its master's scroll handler sets.
class MemoryDataSet : public TfrDataSet
{
public:
    MemoryDataSet(const QString &name, const QStringList &columns,
                  std::function<std::vector<QList<QVariant>>()> rows)
        : TfrDataSet(name), m_columns(columns), m_rows(std::move(rows))
    {
    }

protected:
    void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) override
    {
        columns = m_columns;
        rows = m_rows();
    }

private:
    QStringList m_columns;
    std::function<std::vector<QList<QVariant>>()> m_rows;
};

class MemoryModule : public TfrDataModule
{
public:
    MemoryModule() : TfrDataModule("dmProve") {}
    TfrDataSet *add(const QString &name, const QStringList &columns,
                    std::function<std::vector<QList<QVariant>>()> rows)
    {
        TfrDataSet *d = own(std::make_unique<MemoryDataSet>(name, columns, std::move(rows)));
        AddReportDataSet(name, d);
        return d;
    }
};

const char *const kSurnames[] = {
    "Rossi",  "Bianchi",  "Verdi",   "Esposito", "Romano",  "Colombo", "Ricci",   "Marino",
    "Greco",  "Bruno",    "Gallo",   "Conti",    "De Luca", "Mancini", "Costa",   "Giordano",
    "Rizzo",  "Lombardi", "Moretti", "Barbieri", "Fontana", "Santoro", "Mariani", "Rinaldi",
    "Caruso", "Ferrara",  "Galli",   "Martini",  "Leone",   "Longo"};

QString note(int i)
{
    if (i == 17) { // taller than a page: it continues line by line
        QStringList lines;
        for (int l = 1; l <= 90; ++l)
            lines << QString("Riga %1 della relazione sull'alunno, che prosegue.").arg(l);
        return lines.join("\n");
    }
    if (i % 4 == 1)
        return "L'alunno ha partecipato con impegno costante alle attività della classe, "
               "mostrando interesse per le discipline scientifiche e una buona capacità di "
               "organizzare il proprio lavoro anche nei periodi più intensi dell'anno.";
    return i % 3 == 0 ? QString() : QString("Nota breve %1.").arg(i);
}

class ReportLayoutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frRegisterFunctionLibrary<CountingLibrary>();
        CountingLibrary::calls.clear();
        CountingLibrary::counts.clear();
        module.add("frdAlunniTutti", {"iId", "sCognome", "sNome", "sNota"}, [] {
            std::vector<QList<QVariant>> rows;
            for (int i = 0; i < 30; ++i)
                rows.push_back({i + 1, kSurnames[i], i % 2 ? "Anna" : "Marco", note(i)});
            return rows;
        });
        // Pupils per class: 1A 12 (one withdrawn), 2A none, 3A 30, 4A 8.
        classes = module.add("frdClassi", {"iClsId", "sClasse"}, [] {
            return std::vector<QList<QVariant>>{{1, "1A"}, {2, "2A"}, {3, "3A"}, {4, "4A"}};
        });
        module.add("frdAlunni", {"sCognome", "lRitirato"}, [this] {
            static const std::map<int, int> sizes = {{1, 12}, {2, 0}, {3, 30}, {4, 8}};
            std::vector<QList<QVariant>> rows;
            for (int i = 0; i < sizes.at(currentClass); ++i)
                rows.push_back({QString("%1 %2").arg(kSurnames[i]).arg(currentClass),
                                currentClass == 1 && i == 5 ? 1 : 0});
            return rows;
        });
        classes->AfterScroll = [this](TfrDataSet &master) {
            currentClass = int(master.FieldByName("iClsId").AsInteger());
            TfrDataSet *pupils = report.FindDataSet("frdAlunni");
            pupils->Close();
            pupils->Open();
        };
        module.add("frdMaterie", {"iMatId", "sMateria"}, [] {
            std::vector<QList<QVariant>> rows;
            for (int i = 1; i <= 24; ++i)
                rows.push_back({i, i % 5 == 0 ? QString("Lingua e letteratura %1").arg(i)
                                              : QString("Materia %1").arg(i)});
            return rows;
        });
    }
    void TearDown() override { frUnRegisterFunctionLibrary<CountingLibrary>(); }

    // Every call printed its answer exactly once: a band evaluated twice would print a text
    // twice or leave a number out, one evaluated for nothing would leave a number unprinted.
    void expectOneCallPerPrintedInstance()
    {
        const QString dump = report.Pages().dump();
        for (const auto &[tag, count] : CountingLibrary::counts) {
            for (int n = 1; n <= count; ++n) {
                const QString text = tag + " " + QString::number(n);
                const QRegularExpression printed("\\b" + QRegularExpression::escape(text) +
                                                 "(?!\\d)");
                EXPECT_EQ(dump.count(printed), 1) << text.toStdString();
            }
        }
    }

    // Page headers and footers called once per page, in page order.
    void expectOncePerPage(const QString &tag)
    {
        std::vector<int> pages;
        for (const auto &[t, page] : CountingLibrary::calls) {
            if (t == tag)
                pages.push_back(page);
        }
        std::vector<int> expected(report.Pages().Pages.size());
        std::iota(expected.begin(), expected.end(), 1);
        EXPECT_EQ(pages, expected) << tag.toStdString();
    }

    MemoryModule module;
    TfrDataSet *classes = nullptr;
    int currentClass = 0;
    TfrReport report;
};

TEST_F(ReportLayoutTest, MemoryTemplatesLayOutAsTheirReferences)
{
    struct Case
    {
        const char *name;
        const char *pageTags; // called once per page
        int pages;
    };
    const Case cases[] = {
        {"pagine", "testata piede", 3}, {"gruppi", "testata", 6}, {"tabellone", "", 1}};
    TfmVxWait wait; // the caller's: the run shows its pages there
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CountingLibrary::calls.clear();
        CountingLibrary::counts.clear();
        report.LoadFromTemplate(readTestTemplate(c.name));
        ASSERT_TRUE(report.PrepareReport());
        EXPECT_EQ(int(report.Pages().Pages.size()), c.pages);
        expectGolden(kData + "/" + c.name + ".txt", report.Pages().dump());
        expectOneCallPerPrintedInstance();
        for (const QString &tag : QString(c.pageTags).split(' ', Qt::SkipEmptyParts))
            expectOncePerPage(tag);
    }
    EXPECT_TRUE(wait.Operation().startsWith("Pagine preparate: "))
        << wait.Operation().toStdString();
}

// A run that prints nothing builds no page; one that fails says where and leaves no pages and
// no report in preparation.
TEST_F(ReportLayoutTest, RunsThatPrintNothingOrFail)
{
    struct Case
    {
        const char *what;
        QByteArray bands;
        const char *says; // nullptr: no failure, and no page
    };
    const Case cases[] = {
        {"an empty dataset", "<data name=\"Vuoti\" dataset=\"frdAlunni\" height=\"5\"/>", nullptr},
        {"an invisible title",
         "<report-title height=\"5\" visible=\"1 = 2\"><text name=\"T\" left=\"0\" top=\"0\" "
         "width=\"5\" height=\"5\">[Conta('x')]</text></report-title>",
         nullptr},
        {"an unknown dataset", "<data name=\"Fantasma\" dataset=\"frdNessuno\" height=\"5\"/>",
         "Banda: Fantasma"},
        {"a division by zero",
         "<data name=\"Righe\" dataset=\"frdClassi\" height=\"5\"><text name=\"Quoziente\" "
         "left=\"0\" top=\"0\" width=\"50\" height=\"5\">[1 / 0]</text></data>",
         "Oggetto: Quoziente"},
        {"no room between header and footer",
         "<page-header height=\"200\"/><page-footer height=\"90\"/>"
         "<data name=\"Righe\" dataset=\"frdClassi\" height=\"5\"/>",
         "non lasciano spazio sulla pagina 1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        currentClass = 2; // no pupils
        report.LoadFromTemplate(
            frReadTemplate("<report version=\"1\" title=\"Prova\">" + c.bands + "</report>"));
        if (!c.says) {
            EXPECT_FALSE(report.PrepareReport());
        } else {
            try {
                report.PrepareReport();
                ADD_FAILURE() << "prepared";
            } catch (const EVxException &e) {
                EXPECT_TRUE(e.message().contains(c.says)) << e.message().toStdString();
                EXPECT_TRUE(e.message().contains("«Prova»")) << e.message().toStdString();
            }
        }
        EXPECT_TRUE(report.Pages().Pages.empty());
        EXPECT_EQ(CurReport, nullptr);
    }
    EXPECT_TRUE(CountingLibrary::calls.empty()); // the invisible title evaluated nothing else
}

// What does not fit its box: a text shrinks to its smallest font, then wraps with its box and
// band growing and pushing what lies below; what still cannot fit ends in "…" and is recorded;
// columns past the margin are narrowed or go on in rows below; a band that fills the page
// exactly stays on it; a band kept whole moves to the next page with its header; the pages a
// class goes on to are headed by its continued band and its rows' repeated header.
TEST_F(ReportLayoutTest, WhatDoesNotFitShrinksWrapsOrEndsInAnEllipsis)
{
    const auto texts = [](const TfrDisplayList &list, const QString &object) {
        std::vector<const TfrDisplayItem *> found;
        for (const TfrPage &page : list.Pages)
            for (const TfrDisplayItem &item : page.Items)
                if (item.Kind == TfrItemKind::Text && item.Object == object)
                    found.push_back(&item);
        return found;
    };
    const QString cell =
        "<data name=\"Riga\" dataset=\"frdClassi\" height=\"5\"%1><text "
        "name=\"Cella\" left=\"0\" top=\"0\" width=\"14\" height=\"5\"%2>%3</text>"
        "<text name=\"Sotto\" left=\"0\" top=\"5\" width=\"14\" height=\"5\">x</text>"
        "</data>";
    const QString wide = QString(cell).replace("width=\"14\"", "width=\"60\"");
    // A line aligned right ends at its box's right side, less the inset, as it is drawn.
    const auto endsAtTheRight = [](const TfrDisplayItem &t) {
        const double width = TfrFontMetrics::of(t.Font).width(t.Text);
        return std::abs(t.Origin.x() + width - (t.Box.right() - 0.5)) < 0.01;
    };
    const QString judgment = QString("parola ").repeated(60);
    const QString tall =
        "<data name=\"Riga\" dataset=\"frdClassi\" height=\"%1\"><text "
        "name=\"Cella\" left=\"0\" top=\"0\" width=\"14\" height=\"5\">x</text></data>";
    const QString heading =
        "<data name=\"Righe\" dataset=\"%1\" height=\"%2\"%4><header height=\"5\" "
        "repeat=\"true\"><text name=\"Titolo\" left=\"0\" top=\"0\" width=\"50\" "
        "height=\"5\">Titolo</text></header><text name=\"Nome\" left=\"0\" top=\"0\" "
        "width=\"190\" height=\"5\" overflow=\"stretch\">[%1.\"%3\"]</text></data>";
    const QString across =
        "<data name=\"Riga\" dataset=\"frdClassi\" height=\"5\"><across name=\"Materie\" "
        "dataset=\"frdMaterie\" left=\"10\" width=\"16\" overflow=\"%1\"><text "
        "name=\"Materia\" left=\"0\" top=\"0\" width=\"16\" height=\"5\"%2>"
        "[frdMaterie.\"iMatId\"]</text></across></data>";
    struct Case
    {
        const char *what;
        QString bands;
        std::function<bool(const TfrDisplayList &)> holds;
    };
    const Case cases[] = {
        {"a word shrinks to fit its cell", cell.arg("", " min-font-size=\"6\"", "DISTINTO"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text == "DISTINTO" && t[0]->Font.Size == 7.5 &&
                    l.Cut.isEmpty();
         }},
        {"a word too wide at any size ends in an ellipsis",
         cell.arg("", " min-font-size=\"7\"", "INSUFFICIENTEMENTE"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text.endsWith("…") && l.Cut.size() == 4 &&
                    l.Cut[0] == "Riga Cella «INSUFFICIENTEMENTE»";
         }},
        {"a word too wide at its smallest font goes on on the next line of a growing box",
         cell.arg(" stretch=\"true\"", " min-font-size=\"7\" overflow=\"stretch\"",
                  "INSUFFICIENTEMENTE"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 12 &&
                    t[0]->Text + t[1]->Text + t[2]->Text == "INSUFFICIENTEMENTE" && l.Cut.isEmpty();
         }},
        {"lines below a box that cannot grow are left out, the last shown ending in …",
         cell.arg("", "", "uno due tre quattro"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text == "uno du…" && l.Cut.size() == 4;
         }},
        {"a text wraps at its smallest font, its band growing, what lies below moving down",
         cell.arg(" stretch=\"true\"", " min-font-size=\"7\" overflow=\"stretch\"", judgment),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             const auto below = texts(l, "Sotto");
             return t.size() > 8 && t[0]->Font.Size == 7 && !t[0]->Text.contains("…") &&
                    l.Cut.isEmpty() && below[0]->Box.top() >= t[t.size() / 4 - 1]->Box.bottom();
         }},
        {"columns past the margin narrowed to fit", across.arg("shrink", " min-font-size=\"4\""),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Materia");
             return t.size() == 4 * 24 && t[23]->Text == "24" &&
                    std::abs(t[23]->Box.right() - 200) < 0.01 && l.Cut.isEmpty();
         }},
        {"columns past the margin go on in rows below", across.arg("wrap", ""),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Materia");
             // 11 columns a row: 24 in three rows, the next class below the third
             return t.size() == 4 * 24 && t[11]->Box.top() == t[0]->Box.top() + 5 &&
                    t[22]->Box.left() == t[0]->Box.left() &&
                    t[24]->Box.top() >= t[23]->Box.bottom();
         }},
        {"a row of columns goes on below the columns of the row above that grew",
         QString(across)
             .replace("height=\"5\"><across", "height=\"5\" stretch=\"true\"><across")
             .arg("wrap", " min-font-size=\"6\" overflow=\"stretch\"")
             .replace("[frdMaterie.\"iMatId\"]", "[frdMaterie.\"sMateria\"]")
             .replace("width=\"16\"", "width=\"10\""),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Materia");
             for (size_t i = 0; i < t.size(); ++i)
                 for (size_t j = i + 1; j < t.size(); ++j)
                     if (t[i]->Box.intersected(t[j]->Box).height() > 0.01 &&
                         t[i]->Box.intersected(t[j]->Box).width() > 0.01)
                         return false;
             return t.size() > 4 * 24 && l.Cut.isEmpty();
         }},
        // Four classes of 69.25 mm fill the 277 mm between the margins of an A4 page.
        {"a band filling what is left of the page stays on it", tall.arg("69.25"),
         [&](const TfrDisplayList &l) { return l.Pages.size() == 1; }},
        {"a band a hair taller moves to the next page", tall.arg("69.26"),
         [&](const TfrDisplayList &l) { return l.Pages.size() == 2; }},
        {"a band kept whole starts on the next page with its header",
         "<report-title height=\"200\"/><data name=\"Alunni\" dataset=\"frdAlunniTutti\" "
         "height=\"3\" keep-whole=\"true\"><header height=\"5\"><text name=\"Titolo\" left=\"0\" "
         "top=\"0\" width=\"50\" height=\"5\">Alunni</text></header><text name=\"Nome\" "
         "left=\"0\" top=\"0\" width=\"50\" height=\"3\">[frdAlunniTutti.\"sCognome\"]</text>"
         "</data>",
         [&](const TfrDisplayList &l) {
             return l.Pages.size() == 2 && texts(l, "Titolo").size() == 1 &&
                    l.Pages[1].Items.front().Object == "Titolo" && texts(l, "Nome").size() == 30;
         }},
        // 3A's thirty pupils of 20 mm go on to two more pages, each headed by the class's
        // continued band (its LINE# the class's) and the pupils' header, evaluated there.
        {"a class goes on to pages headed by its continued band and its rows' header",
         "<data name=\"Classi\" dataset=\"frdClassi\" height=\"6\" new-page-before=\"true\">"
         "<continued height=\"6\"><text name=\"Segue\" left=\"0\" top=\"0\" width=\"90\" "
         "height=\"6\">[Conta('segue')] [frdClassi.\"sClasse\"] riga [LINE#]</text></continued>"
         "<data name=\"Alunni\" dataset=\"frdAlunni\" height=\"20\"><header height=\"5\" "
         "repeat=\"true\"><text name=\"Titolo\" left=\"0\" top=\"0\" width=\"50\" "
         "height=\"5\">[Conta('testa')]</text></header><text name=\"Nome\" left=\"0\" "
         "top=\"0\" width=\"50\" height=\"5\">[frdAlunni.\"sCognome\"]</text></data></data>",
         [&](const TfrDisplayList &l) {
             const auto segue = texts(l, "Segue");
             return l.Pages.size() == 6 && segue.size() == 2 &&
                    segue[1]->Text.endsWith(" 3A riga 3") &&
                    l.Pages[4].Items[0].Object == "Segue" &&
                    l.Pages[4].Items[1].Object == "Titolo" && texts(l, "Titolo").size() == 5;
         }},
        // Only 1A's withdrawn pupil prints: the other classes print no header and no footer,
        // and their bands of no height no page.
        {"a band whose rows print nothing prints neither header nor footer and opens no page",
         "<data name=\"Classi\" dataset=\"frdClassi\" height=\"0\" new-page-before=\"true\">"
         "<data name=\"Alunni\" dataset=\"frdAlunni\" height=\"5\" "
         "visible=\"frdAlunni.&quot;lRitirato&quot; = 1\"><header height=\"5\"><text "
         "name=\"Titolo\" left=\"0\" top=\"0\" width=\"50\" height=\"5\">Ritirati</text>"
         "</header><text name=\"Nome\" left=\"0\" top=\"0\" width=\"50\" height=\"5\">"
         "[frdAlunni.\"sCognome\"]</text><footer height=\"5\"><text name=\"Piede\" left=\"0\" "
         "top=\"0\" width=\"50\" height=\"5\">Fine</text></footer></data></data>",
         [&](const TfrDisplayList &l) {
             return l.Pages.size() == 1 && texts(l, "Titolo").size() == 1 &&
                    texts(l, "Nome").size() == 1 && texts(l, "Piede").size() == 1;
         }},
        // 265 mm of title leave 12 on the first page: room for the header, not for its row. In
        // another script, its shaped line goes with it (the table's check below).
        {"a heading that would stand alone at a page foot goes on with its first row",
         "<report-title height=\"265\"/>" +
             QString(heading)
                 .replace(">Titolo<", ">Titolo &#x5DB;&#x5D4;&#x5DF;<")
                 .arg("frdClassi", "20", "sClasse", ""),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Titolo");
             return l.Pages.size() == 2 && t.size() == 1 && t[0]->Text == "Titolo כהן" &&
                    l.Pages[1].Items.front().Object == "Titolo";
         }},
        // 270 mm leave room for the header and a slice of the first line of the pupil whose
        // note runs over two pages: the note starts on the next page under its heading, which
        // is repeated on the third.
        {"a heading goes on with a first row taller than a page, not with a slice of it",
         "<report-title height=\"270\"/>" +
             heading.arg("frdAlunniTutti", "5", "sNota",
                         " stretch=\"true\" visible=\"frdAlunniTutti.&quot;iId&quot; = 18\""),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Titolo");
             return l.Pages.size() == 3 && t.size() == 2 && l.Pages[0].Items.size() == 0 &&
                    l.Pages[1].Items.front().Object == "Titolo" && texts(l, "Nome").size() > 80;
         }},
        // Arabic joins its letters, narrower than they stand alone: a line aligned right ends
        // at its box's right side as drawn; in italics, from the fallback's upright face.
        {"a line in another script is measured as drawn, slanted or not",
         wide.arg("", " italic=\"true\" align=\"right\"",
                  "&#x639;&#x628;&#x62F; &#x627;&#x644;&#x631;&#x62D;&#x645;&#x646; Zo&#xEB;"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             const TfrFontMetrics m = TfrFontMetrics::of(t[0]->Font);
             double alone = 0;
             for (const QChar c : t[0]->Text)
                 alone += m.width(QString(c));
             return t.size() == 4 && l.Cut.isEmpty() && m.width(t[0]->Text) < alone &&
                    endsAtTheRight(*t[0]);
         }},
        // Blanks that end a text take no room: aligned right, it ends with its last letter.
        {"a text ending in blanks is aligned by its letters",
         wide.arg("", " align=\"right\"", "Rossi   "),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text == "Rossi" && endsAtTheRight(*t[0]);
         }},
        // The page count, known only at the end, beside a shaped word: nothing missing, and
        // the line aligned once the count is in.
        {"a page count beside a word in another script",
         wide.arg("", " align=\"right\"", "Pagina [PAGE#] di [TOTALPAGES] &#x639;&#x628;&#x62F;"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && l.Cut.isEmpty() && t[0]->Text == "Pagina 1 di 1 عبد" &&
                    endsAtTheRight(*t[0]);
         }},
        // The page count joined to text by an expression, beside the character that stands
        // for it while pages are made, stored in a text: that prints as stored, and is told.
        {"the page count only where the variable put it",
         wide.arg("", "", "&#xFDD0;[' di ' + TOTALPAGES + '.']"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text == "\uFDD0 di 1." && l.Cut.size() == 4;
         }},
        // Marks stored apart from their letters, another script, a character no font has.
        {"a text is laid out composed, and what no font can print is recorded",
         wide.arg("", "", "Zoe&#x308; &#x5DB;&#x5D4;&#x5DF; &#x4E2D;"),
         [&](const TfrDisplayList &l) {
             const auto t = texts(l, "Cella");
             return t.size() == 4 && t[0]->Text == "Zoë כהן 中" && l.Cut.size() == 4 &&
                    l.Cut[0] ==
                        "Riga Cella «Zoë כהן 中»: nessun carattere installato può stampare «中»";
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        report.LoadFromTemplate(frReadTemplate("<report version=\"1\" title=\"Prova\">" +
                                               c.bands.toUtf8() + "</report>"));
        ASSERT_TRUE(report.PrepareReport());
        EXPECT_TRUE(c.holds(report.Pages())) << report.Pages().dump().left(3000).toStdString();
        // A line only shaping measures is held by its page, with the page count in too: the
        // preview and the PDF draw it as laid out, never shaping it again.
        for (const TfrPage &page : report.Pages().Pages)
            for (const TfrDisplayItem &item : page.Items)
                EXPECT_TRUE(item.Kind != TfrItemKind::Text ||
                            TfrFontMetrics::of(item.Font).simple(item.Text) ||
                            std::any_of(page.Shaped.begin(), page.Shaped.end(),
                                        [&item](const auto &s) { return s->Text == item.Text; }))
                    << item.Text.toStdString();
    }
}

// The letters of the installed faces a PDF carries (outlines, TrueType or CFF, not a colour
// face), as fontconfig tells them: what a report prints rather than box and tell.
QSet<char32_t> lettersOfPrintingFaces()
{
    QString list;
    EXPECT_EQ(runChecker("fc-list", {"--format", "%{fontformat}|%{outline}|%{color}|%{charset}\n"},
                         &list),
              0);
    QSet<char32_t> letters;
    for (const QString &face : list.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = face.split('|');
        if (fields.size() != 4 || !QStringList{"TrueType", "CFF"}.contains(fields[0]) ||
            fields[1] != "True" || fields[2] != "False")
            continue;
        for (const QString &range : fields[3].split(' ', Qt::SkipEmptyParts)) {
            const QStringList ends = range.split('-');
            for (uint c = ends.front().toUInt(nullptr, 16); c <= ends.back().toUInt(nullptr, 16);
                 ++c)
                letters.insert(c);
        }
    }
    return letters;
}

// A letter of every script Qt knows (the first letter of each; a mark, digit, sign or private
// character where a script has no letter) in a name, and names whose marks have no composed
// form, printed beside the same letters without them, upright and in bold: each name prints,
// drawn or recorded and told as printable by no installed font, which none of the faces a PDF
// carries has (run by CTest with the tests' fonts, with them and faces of CFF outlines and of
// colour, and with every font of the machine); the PDF's text gives back each name as stored,
// composed, to poppler's pdftotext, to MuPDF, which reads the glyphs alone, and to a reader that
// takes a span's text in place of its glyphs.
TEST_F(ReportLayoutTest, ANameInAnyScriptPrintsAndReadsBackAsStored)
{
    struct Name
    {
        QString text;
        QString script; // its letter's, or empty
    };
    std::vector<Name> names;
    std::map<int, char32_t> sample;
    for (char32_t c = 0x21; c <= 0x10FFFF; ++c) {
        const int script = QChar::script(c);
        const QChar::Category category = QChar::category(c);
        const bool letter = QChar::isLetter(c);
        const auto found = sample.find(script);
        if ((found == sample.end() || (letter && !QChar::isLetter(found->second))) &&
            category != QChar::Other_NotAssigned && category != QChar::Other_Surrogate &&
            category != QChar::Other_Control && category != QChar::Other_Format &&
            !QChar::isSpace(c))
            sample[script] = c;
    }
    for (int script = 0; script < QChar::ScriptCount; ++script) {
        SCOPED_TRACE(script);
        ASSERT_TRUE(sample.count(script));
        names.push_back(
            {"Rossi " + QString::fromUcs4(&sample[script], 1), QString::number(script)});
    }
    // a vowel sign a bold face places apart, a non-joiner, marks of a right-to-left word, boxes
    // side by side, letters of a CFF face and of colour faces
    for (const char *name : {"Adébáyọ̀", "عَلِيّ Adébáyọ̀", "علي Ọ́lá", "Ọlá", "כֹּהֵן", "כהן",
                             "Nicolo\u0300", "ગુજરાતી", "مهر\u200Cناز", "فَاطِمَة", "欧阳小明",
                             "김민준", "Rossi \U0001F600", "Rossi \U0001F9D1", "ދިވެހި Rossi"})
        names.push_back({QString::fromUtf8(name), QString()});
    module.add("frdNomi", {"sNome"}, [&names] {
        std::vector<QList<QVariant>> rows;
        for (const Name &n : names)
            rows.push_back({n.text});
        return rows;
    });
    report.LoadFromTemplate(frReadTemplate(
        "<report version=\"1\" title=\"Nomi\"><data name=\"Nomi\" dataset=\"frdNomi\" "
        "height=\"12\"><text name=\"Nome\" left=\"0\" top=\"0\" width=\"190\" "
        "height=\"6\">[frdNomi.\"sNome\"]</text><text name=\"Grassetto\" left=\"0\" top=\"6\" "
        "width=\"190\" height=\"6\" bold=\"true\">[frdNomi.\"sNome\"]</text></data></report>"));
    ASSERT_TRUE(report.PrepareReport());
    const TfrDisplayList &pages = report.Pages();
    QTemporaryDir dir;
    frExportPdf(pages, dir.filePath("nomi.pdf"), "Nomi", 600);
    // pdftotext marks where the direction changes, and puts the blank between a right-to-left
    // word and the next inside its mark: what it gives back is read apart from the marks
    const auto linesOf = [](const QString &text) {
        static const QRegularExpression marks(
            QStringLiteral("[\\x{200E}\\x{200F}\\x{202A}-\\x{202E}]"));
        QStringList lines;
        for (const QString &line : text.split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!line.trimmed().isEmpty())
                lines << QString(line).replace(marks, " ").simplified();
        return lines;
    };
    QString text;
    ASSERT_EQ(runChecker("pdftotext", {dir.filePath("nomi.pdf"), "-"}, &text), 0);
    const QStringList poppler = linesOf(text);
    ASSERT_EQ(runChecker("mutool", {"draw", "-q", "-F", "txt", "-o", dir.filePath("nomi.txt"),
                                    dir.filePath("nomi.pdf")}),
              0);
    const QStringList mupdf = linesOf(QString::fromUtf8(readFileBytes(dir.filePath("nomi.txt"))));
    // A reader that takes a span's text in place of its glyphs, as the PDF standard reads it,
    // in the text's order: each span's text is a stretch of a name as stored.
    ASSERT_EQ(runChecker("qpdf", {"--qdf", "--object-streams=disable", dir.filePath("nomi.pdf"),
                                  dir.filePath("piano.pdf")}),
              0);
    const QString plain = QString::fromLatin1(readFileBytes(dir.filePath("piano.pdf")));
    static const QRegularExpression span(QStringLiteral("/ActualText\\s*<FEFF([0-9A-F]*)>"),
                                         QRegularExpression::CaseInsensitiveOption);
    qsizetype spans = 0;
    for (const QRegularExpressionMatch &m : span.globalMatch(plain)) {
        const QString actual =
            QStringDecoder(QStringDecoder::Utf16BE)(QByteArray::fromHex(m.captured(1).toLatin1()));
        EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&actual](const Name &n) {
            return n.text.normalized(QString::NormalizationForm_C).contains(actual);
        })) << actual.toStdString();
        ++spans;
    }
    EXPECT_EQ(plain.count(QStringLiteral("/ActualText")), spans);
    ASSERT_EQ(poppler.size(), qsizetype(2 * names.size())) << text.toStdString();
    ASSERT_EQ(mupdf.size(), qsizetype(2 * names.size())) << mupdf.join('\n').toStdString();
    const QSet<char32_t> printable = lettersOfPrintingFaces();
    qsizetype recorded = 0;
    for (size_t i = 0; i < 2 * names.size(); ++i) {
        const QString name = names[i / 2].text.normalized(QString::NormalizationForm_C);
        const TfrFontSpec spec{9, i % 2 == 1, false};
        SCOPED_TRACE(name.toStdString() + " script " + names[i / 2].script.toStdString() +
                     (spec.Bold ? " bold" : ""));
        EXPECT_EQ(poppler[qsizetype(i)], name);
        EXPECT_EQ(mupdf[qsizetype(i)], name);
        // drawn: every glyph of the name from an installed font, none an empty box
        bool drawn = TfrFontMetrics::of(spec).simple(name);
        if (!drawn) {
            drawn = true;
            for (const TfrGlyphRun &run : frShapeText(name, spec)->Runs)
                for (const TfrShapedGlyph &g : run.Glyphs)
                    drawn = drawn && (run.Plain || g.Glyph != 0);
        }
        const QString missing = TfrFontMetrics::of(spec).missing(name);
        const bool told =
            pages.Cut.contains(QString(spec.Bold ? "Nomi Grassetto «" : "Nomi Nome «") + name +
                               "»: nessun carattere installato può stampare «" + missing + "»");
        EXPECT_NE(drawn, told) << missing.toStdString();
        for (const char32_t c : missing.toUcs4())
            EXPECT_FALSE(printable.contains(c)) << "told, yet printable: U+" << std::hex << uint(c);
        recorded += told;
    }
    EXPECT_EQ(pages.Cut.size(), recorded);
    if (recorded > 10) {
        EXPECT_TRUE(pages.cutNotice().endsWith(QString("... e altri %1.").arg(recorded - 10)));
    }
    // The shaped lines kept for drawing: a page's as long as it lives, whatever was shaped
    // after it, and then the last asked within a bound (1 MB), which lines of a school's names
    // worth more push out: the page's line is shaped again once the pages are gone.
    const QString line = QString("عَلِيّ ").repeated(40);
    int pushed = 0;
    const auto pushOut = [&] {
        for (const int last = pushed + 600; pushed < last; ++pushed)
            frShapeText(line + QString::number(pushed), TfrFontSpec());
    };
    const QString printed = QString("عَلِيّ Adébáyọ̀").normalized(QString::NormalizationForm_C);
    pushOut();
    qint64 before = frShapedTexts();
    frShapeText(printed, TfrFontSpec());
    EXPECT_EQ(frShapedTexts(), before);
    report.LoadFromTemplate(frReadTemplate("<report version=\"1\" title=\"Vuoto\"/>"));
    report.PrepareReport(); // the names' pages let go
    pushOut();
    before = frShapedTexts();
    frShapeText(printed, TfrFontSpec());
    EXPECT_EQ(frShapedTexts(), before + 1);
}

// The demo school: classes of the working session, their pupils and subjects reopened by the
// classes' scroll handler, and a vote query whose parameters the pupil's and the subject's
// scroll handlers set and leave closed, opened by the cell that reads it.
TEST(ReportLayoutSchool, VotesByClassLayOutAsTheirReference)
{
    ProgramDatabase program;
    ASSERT_TRUE(program.opened);
    SchoolReportModule school;

    TfrReport report;
    report.LoadFromTemplate(readTestTemplate("scuola"));
    TVxStatementRecorder recorder;
    ASSERT_TRUE(report.PrepareReport());
    expectGolden(kData + "/scuola.txt", report.Pages().dump());
    // The vote is read afresh for every cell, and prepared once for the whole run.
    EXPECT_EQ(recorder.prepared(school.voto->StatementText()), 1);
    EXPECT_GT(recorder.executed(school.voto->StatementText()), 100);
}

} // namespace
