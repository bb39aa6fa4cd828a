#include "exercise.h"
#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/escher.h"
#include "xls/formula.h"
#include "xls/workbook.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

using namespace xls;
using namespace xlstest;

// Damaged input must end in the library's own error, never in a crash, a read out of bounds
// (run once under AddressSanitizer) or a foreign exception. The mutations are deterministic.
namespace {

enum class Outcome { Loaded, Refused };

Outcome outcomeOfWorkbook(const QByteArray &stream)
{
    try {
        xlstest::exerciseWorkbook(stream);
        return Outcome::Loaded;
    } catch (const EExcelException &) {
        return Outcome::Refused;
    }
}

Outcome outcomeOfFile(const QByteArray &file)
{
    try {
        exerciseCompoundFile(file);
        return Outcome::Loaded;
    } catch (const EExcelException &) {
        return Outcome::Refused;
    }
}

const char *const fixtures[] = {"rich.xls",    "survey.xls",   "plain.xls",
                                "strings.xls", "formulas.xls", "drawings.xls"};

// XLS_FUZZ_ROUNDS multiplies the rounds for a longer run by hand (the default stays fast).
QByteArray escher(quint16 verInst, quint16 type, const QByteArray &body)
{
    return le16(verInst) + le16(type) + le32(quint32(body.size())) + body;
}

int rounds(int base)
{
    const int factor = qEnvironmentVariableIntValue("XLS_FUZZ_ROUNDS");
    return base * std::max(1, factor);
}

} // namespace

TEST(Robustness, TruncatedWorkbookStreamsAreRefused)
{
    for (const char *name : fixtures) {
        const QByteArray stream = workbookStream(fixture(QString::fromLatin1(name)));
        const int step = std::max<int>(1, int(stream.size() / 150));
        int refused = 0;
        for (qsizetype cut = 0; cut < stream.size(); cut += step) {
            EXPECT_NO_THROW(refused += outcomeOfWorkbook(stream.left(cut)) == Outcome::Refused)
                << name << " cut at " << cut;
        }
        EXPECT_GT(refused, 0) << name;
    }
}

TEST(Robustness, FlippedBytesInWorkbookStreams)
{
    std::mt19937 rng(20080630);
    for (const char *name : fixtures) {
        const QByteArray stream = workbookStream(fixture(QString::fromLatin1(name)));
        for (int round = 0; round < rounds(120); ++round) {
            QByteArray m = stream;
            const int flips = 1 + int(rng() % 8);
            for (int i = 0; i < flips; ++i)
                m[qsizetype(rng() % quint32(m.size()))] = char(rng() & 0xFF);
            EXPECT_NO_THROW(outcomeOfWorkbook(m)) << name << " round " << round;
        }
    }
}

TEST(Robustness, BadRecordLengths)
{
    std::mt19937 rng(7);
    for (const char *name : fixtures) {
        const QByteArray stream = workbookStream(fixture(QString::fromLatin1(name)));
        const auto recs = splitRecords(stream);
        for (size_t i = 0; i < recs.size(); i += std::max<size_t>(1, recs.size() / 60)) {
            for (quint16 size :
                 {quint16(0), quint16(1), quint16(3), quint16(recs[i].data.size() / 2),
                  quint16(recs[i].data.size() + 7), quint16(0xFFFF)}) {
                QByteArray m = stream;
                qToLittleEndian<quint16>(size, m.data() + recs[i].pos + 2);
                EXPECT_NO_THROW(outcomeOfWorkbook(m))
                    << name << " record " << i << " size " << size;
            }
            // The record's own data shortened, the stream kept consistent.
            auto shorter = recs;
            shorter[i].data.truncate(qsizetype(rng() % quint32(shorter[i].data.size() + 1)));
            EXPECT_NO_THROW(outcomeOfWorkbook(joinRecords(shorter))) << name << " record " << i;
        }
    }
}

TEST(Robustness, DamagedCompoundFiles)
{
    std::mt19937 rng(1234);
    for (const char *name : fixtures) {
        const QByteArray file = readFile(fixture(QString::fromLatin1(name)));
        // Header, FAT and directory sit in the first sectors: damage them often.
        for (int round = 0; round < rounds(150); ++round) {
            QByteArray m = file;
            const qsizetype area = round % 2 ? std::min<qsizetype>(m.size(), 4096) : m.size();
            const int flips = 1 + int(rng() % 4);
            for (int i = 0; i < flips; ++i)
                m[qsizetype(rng() % quint32(area))] = char(rng() & 0xFF);
            EXPECT_NO_THROW(outcomeOfFile(m)) << name << " round " << round;
        }
        for (qsizetype cut = 0; cut < file.size(); cut += std::max<qsizetype>(1, file.size() / 40))
            EXPECT_EQ(outcomeOfFile(file.left(cut)) == Outcome::Refused || cut > 512, true);
    }
}

// Damage that random flips reach only by luck, each made by hand.
TEST(Robustness, TemplateDataNestedDeeperThanAnyFileIsRefused)
{
    // Each level is an element count of 1 and an empty name and data: 12 bytes.
    QByteArray data = le16(1) + le32(0);
    for (int i = 0; i < 100000; ++i)
        data += le32(1) + le32(0) + le32(0);
    data += le32(0);
    TXlsTemplate t;
    EXPECT_EQ(messageOf([&] { t.setTemplateData(data); }), QStringLiteral("Error reading record"));
}

TEST(Robustness, AShapeRecordTooShortForItsIdIsRefusedOnLoad)
{
    const QByteArray anchor(18, '\0'); // rows 0..0, moved and sized with the cells
    const QByteArray group = escher(0x000F, 0xF004,
                                    escher(0x0001, 0xF009, QByteArray(16, '\0')) +
                                        escher(0x0002, 0xF00A, le32(1024) + le32(5)));
    const QByteArray shape =
        escher(0x000F, 0xF004, escher(0x0C92, 0xF00A, le16(1)) + escher(0, 0xF010, anchor));
    const QByteArray bytes = escher(0x000F, 0xF002,
                                    escher(0x0010, 0xF008, le32(2) + le32(1025)) +
                                        escher(0x000F, 0xF003, group + shape));
    TDrawing drawing;
    std::vector<TDrawing::ClientPiece> clients;
    EXPECT_EQ(messageOf([&] {
                  drawing.Load(bytes, clients);
                  drawing.DeleteRows(0, 1); // reads the id of the shape it removes
              }),
              QStringLiteral("Error loading Escher record"));
}

TEST(Robustness, TheFormulaWalkersStayInsideTheirBytes)
{
    // A span that claims more tokens than the bytes hold, as a damaged length would give.
    QByteArray tokens = QByteArray(1, char(0x24)) + le16(5) + le16(0xC000);
    const TSheetShiftInfo info{0, 0, {}, {}};
    for (auto walk : std::vector<std::function<void(QByteArray &)>>{
             [&](QByteArray &t) { ArrangeTokensInsertRows(t, 0, 10, 0, 2, 0, info, true); },
             [&](QByteArray &t) { ArrangeTokensInsertSheets(t, 0, 10, info); },
             [&](QByteArray &t) { OffsetRelativeReferences(t, 0, 10, 1, 1); },
             [&](QByteArray &t) { ArrangeTokensInsertRows(t, 4, 2, 0, 2, 0, info, true); }}) {
        QByteArray t = tokens;
        EXPECT_THROW(walk(t), ETokenException);
        EXPECT_EQ(t, tokens);
    }
    // The pointer to an array formula at the very end of the bytes.
    QByteArray exp = QByteArray(1, char(0x01)) + le16(3);
    EXPECT_THROW(ArrangeTokensInsertRows(exp, 0, 5, 0, 1, 0, info, true), ETokenException);
}

TEST(Robustness, DeletingMoreRowsThanTheSheetHasEndsAtItsLastRow)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("survey.xls"))));
    wb.DeleteRows(0, 40, std::numeric_limits<int>::max());
    EXPECT_LE(wb.WorkSheet(0)->Cells->maxRow(), 40);
    TWorkbook again;
    again.LoadFromStream(wb.SaveToStream());
}
