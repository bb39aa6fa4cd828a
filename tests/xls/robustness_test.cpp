#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <random>

using namespace xls;
using namespace xlstest;

// Damaged input must end in the library's own error, never in a crash, a read out of bounds
// (run once under AddressSanitizer) or a foreign exception. The mutations are deterministic.
namespace {

enum class Outcome { Loaded, Refused };

// Loads, saves, reloads and touches the cells of a Workbook stream.
Outcome exerciseWorkbook(const QByteArray &stream)
{
    try {
        TWorkbook wb;
        wb.LoadFromStream(stream);
        for (int s = 0; s < wb.SheetCount(); ++s)
            if (TWorkSheet *ws = wb.WorkSheet(s)) {
                for (int r = 0; r < std::min(ws->Cells->maxRow(), 50); ++r)
                    for (int c = 0; c < 8; ++c)
                        ws->Cells->GetValue(r, c);
                ws->Cells->SetValue(1, 1, {QStringLiteral("valore"), -1, false});
            }
        for (int s = 0; s < wb.SheetCount(); ++s)
            if (TWorkSheet *ws = wb.WorkSheet(s)) {
                for (const auto &note : ws->Notes)
                    ws->NoteText(*note);
                if (!ws->Notes.empty())
                    ws->SetNoteText(ws->Notes.front().get(), QStringLiteral("nota"));
            }
        // Moving rows and copying sheets walks every formula, name, range and shape.
        if (wb.SheetCount() > 0) {
            wb.InsertAndCopyRows(0, 1, 2, 3, 2, false);
            wb.InsertAndCopyRows(0, 3, 5, 6, 2, false);
            wb.DeleteRows(0, 0, 1);
            wb.DeleteRows(0, 3, 4);
            wb.InsertSheets(0, 1, 1);
        }
        const QByteArray saved = wb.SaveToStream();
        TWorkbook again;
        again.LoadFromStream(saved);
        return Outcome::Loaded;
    } catch (const EExcelException &) {
        return Outcome::Refused;
    }
}

Outcome exerciseFile(const QByteArray &file)
{
    try {
        TXlsStorageList list;
        list.LoadFromBytes(file, QStringLiteral("mutated"));
        const QByteArray stream = list.FindStream(QStringLiteral("Workbook"));
        exerciseWorkbook(stream);
        buildCompoundFile(list, QStringLiteral("Workbook"), QStringLiteral("Workbook"), stream);
        return Outcome::Loaded;
    } catch (const EExcelException &) {
        return Outcome::Refused;
    }
}

const char *const fixtures[] = {"rich.xls",    "survey.xls",   "plain.xls",
                                "strings.xls", "formulas.xls", "drawings.xls"};

// XLS_FUZZ_ROUNDS multiplies the rounds for a longer run by hand (the default stays fast).
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
            EXPECT_NO_THROW(refused += exerciseWorkbook(stream.left(cut)) == Outcome::Refused)
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
            EXPECT_NO_THROW(exerciseWorkbook(m)) << name << " round " << round;
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
                EXPECT_NO_THROW(exerciseWorkbook(m)) << name << " record " << i << " size " << size;
            }
            // The record's own data shortened, the stream kept consistent.
            auto shorter = recs;
            shorter[i].data.truncate(qsizetype(rng() % quint32(shorter[i].data.size() + 1)));
            EXPECT_NO_THROW(exerciseWorkbook(joinRecords(shorter))) << name << " record " << i;
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
            EXPECT_NO_THROW(exerciseFile(m)) << name << " round " << round;
        }
        for (qsizetype cut = 0; cut < file.size(); cut += std::max<qsizetype>(1, file.size() / 40))
            EXPECT_EQ(exerciseFile(file.left(cut)) == Outcome::Refused || cut > 512, true);
    }
}
