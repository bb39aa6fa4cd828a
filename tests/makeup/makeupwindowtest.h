#pragma once

// What the tests of the make-up windows share: the demo school's working context (institute 2,
// 2008/2009, its final session) and a class session chosen as the class dialog leaves it in
// the grade data module, which the windows read when they open.

#include "gradeentry/qevdatasets.h"
#include "makeup/qevrgrigliarec.h"
#include "tests/support/testdb.h"

#include <QPoint>

#include <memory>
#include <ostream>

// The demo school: 5A of 2008/2009 in the final session and the working year's first phase; the
// pupil Bianchi has records for Italian (294: type SI of weight 2, no outcome) and Latin (295:
// type SI, outcome REC verified on 15/07/2009), none for mathematics.
inline constexpr int k5A = 390052;
inline constexpr int kPhase1 = 391;
inline constexpr int kIta = 1;
inline constexpr int kLat = 7;
inline constexpr int kMat = 3;
inline constexpr int kBianchi = 957;
inline constexpr int kVilla = 1029; // 5A's second situation (iSitOrdine 2)

// The demo's class sessions are iClsId * 10 + iSesId, its classes iAnsId * 1000 + ...
inline void chooseClassSession(TdmqevDataSets &dm, int iClsSesId)
{
    const int year = iClsSesId / 10000;
    dm.iAnsId = year;
    dm.iAnsIdSel = year;
    dm.iAnsSesDwgId = year * 10 + iClsSesId % 10;
    dm.ApriClsSes(iClsSesId);
}

// A make-up record as stored, read apart from the windows' statements. A NULL comes back as no
// value: the driver's null of the column's type compares unequal to it.
struct StoredRecord
{
    int iRecId = 0;
    QVariant iTreId, iEreId, dRecAttr, dRecVer;
    bool operator==(const StoredRecord &) const = default;
};

inline void PrintTo(const StoredRecord &r, std::ostream *os)
{
    *os << r.iRecId << " type " << r.iTreId.toString().toStdString() << " outcome "
        << r.iEreId.toString().toStdString() << " " << r.dRecAttr.toString().toStdString() << " "
        << r.dRecVer.toString().toStdString();
}

// The records of a pupil's subject in a phase, by key.
inline QList<StoredRecord> recordsOf(int iSitId, int iMatId, int iAnsFreDwgId = kPhase1)
{
    QSqlQuery q = runSql(QStringLiteral("SELECT iRecId, iTreId, iEreId, dRecAttr, dRecVer FROM "
                                        "TRec_Recuperi WHERE iSitId = ? AND iMatId = ? AND "
                                        "iAnsFreDwgId = ? ORDER BY iRecId"),
                         {iSitId, iMatId, iAnsFreDwgId});
    const auto value = [](const QVariant &v) { return v.isNull() ? QVariant() : v; };
    QList<StoredRecord> rows;
    while (q.next())
        rows.append({q.value(0).toInt(), value(q.value(1)), value(q.value(2)), value(q.value(3)),
                     value(q.value(4))});
    return rows;
}

// A record of type 1 ("Corso di recupero"), assigned on 21/06/2009, with the outcome given.
inline void addRecord(int iRecId, int iSitId, int iMatId, const QVariant &iEreId,
                      int iAnsFreDwgId = kPhase1)
{
    runSql(QStringLiteral("INSERT INTO TRec_Recuperi (iRecId, iTreId, iEreId, iMatId, iSitId, "
                          "iAnsFreDwgId, dRecAttr) VALUES (?, 1, ?, ?, ?, ?, '2009-06-21')"),
           {iRecId, iEreId, iMatId, iSitId, iAnsFreDwgId});
}

// "Recuperi"'s question before a record is rewritten: the cell, and every value the answer writes
// (the dialog shows its line breaks as line feeds).
inline QString rewriting(const char *pupil, const char *subject, const char *changes)
{
    return QStringLiteral("Recupero già assegnato a %1 in %2. Cambiare il recupero?\n\n%3")
        .arg(QString::fromUtf8(pupil), QString::fromUtf8(subject), QString::fromUtf8(changes));
}

// Where "Recuperi" shows a pupil's subject (column 0: the pupil's name).
inline QPoint recuperiCell(const TVxStringGrid *cells, int iSitId, int iMatId = 0)
{
    for (int r = 1; r < cells->RowCount(); ++r) {
        const auto head = cells->ObjectAs<TqevRigaRec>(0, r);
        if (!head || head->iSitId != iSitId)
            continue;
        if (iMatId == 0)
            return {0, r};
        for (int c = 1; c < cells->ColCount(); ++c) {
            if (cells->ObjectAs<TqevCellaRec>(c, r)->iMatId == iMatId)
                return {c, r};
        }
    }
    ADD_FAILURE() << "no cell " << iSitId << "/" << iMatId;
    return {};
}

// A fresh database, scripted dialogs, the working context and a grade data module of the test's
// own; open() shows the window on a class session.
template <typename Window> class MakeupWindowTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        dmqevDataSets = &dm;
    }
    void TearDown() override
    {
        window.reset();
        dmqevDataSets = nullptr;
    }

    Window &open(int iClsSesId)
    {
        chooseClassSession(dm, iClsSesId);
        return openWindow();
    }
    Window &openWindow()
    {
        window = std::make_unique<Window>();
        window->show();
        return *window;
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
    TdmqevDataSets dm;
    std::unique_ptr<Window> window;
};
