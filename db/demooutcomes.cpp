#include "db/demowriter.h"

#include "db/seedtable.h"

#include <QDateTime>
#include <QSqlDatabase>

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

QStringList cols(const char *list)
{
    return QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QDateTime stamp(const QDate &date)
{
    return QDateTime(date, QTime(12, 0));
}

bool isOrdinarySubject(int matId)
{
    return matId != Religione && matId != Condotta && matId != Ammissione;
}

// The average the credit band is chosen from: the mean of the subjects' means, conduct
// counting from 2008/2009 on, rounded to hundredths.
double creditAverage(const Situation &sit, int ansId)
{
    std::map<int, std::pair<int, int>> sums;
    for (const FinalVote &v : sit.finalVotes) {
        const bool counts = isOrdinarySubject(v.matId) || (v.matId == Condotta && ansId >= 39);
        if (!counts || v.cmpScaId == ReligionJudgment || v.cmpScaId == SingleHundredths || !v.value)
            continue;
        sums[v.matId].first += v.value;
        sums[v.matId].second += 1;
    }
    double total = 0;
    for (const auto &[matId, sum] : sums)
        total += double(sum.first) / sum.second;
    return sums.empty() ? 0.0 : std::round(total / double(sums.size()) * 100.0) / 100.0;
}

// The band rows as written by writeLookups: exact band 6, then ranges min < M <= max.
struct Band
{
    int n, min, max, creMin;
};
int bandOf(double average, int type, int *creMin)
{
    static const Band bands[] = {{1, 6, 6, 3}, {2, 6, 7, 4},  {3, 7, 8, 5},
                                 {4, 8, 9, 6}, {5, 9, 10, 7}, {6, 0, 5, 2}};
    for (const Band &b : bands) {
        const bool inside =
            b.min == b.max ? average == b.min : (b.min < average && average <= b.max);
        if (inside) {
            *creMin = b.creMin + (type == 3 ? 1 : 0);
            return type * 1000 + b.n;
        }
    }
    return 0;
}

void writeCredits(QSqlDatabase &db, const School &school)
{
    SeedTable cre(db, QStringLiteral("TCre_Crediti"),
                  cols("iCreId,iSitId,iCreCredito,iCrePerMedia,iBndId,iCreOutBanda,fCreMediaVoti,"
                       "iCreSosp,iEncId,lCreConsideraCurrDis,lCreUnanimCre,iCreMediaVoti,dInsert,"
                       "dStart,dEnd,iCreRecup"));
    SeedTable frm(db, QStringLiteral("TCreFrm"),
                  cols("iCreFrmId,iCreId,iFrmId,dInsert,dStart,dEnd"));
    SeedTable sco(db, QStringLiteral("TCreSco"),
                  cols("iCreScoId,iCreId,iScoId,dInsert,dStart,dEnd"));
    // 2007/2008's 4A: the first pupil whose suspended judgment ended with every debt made
    // up regained a credit point.
    const SchoolClass *a4 = school.findClass(kFirstYear + 1, 0, 4);
    int regained = 0;
    for (int s : a4->situations) {
        const Situation &sit = school.situations[std::size_t(s)];
        if (sit.posFin == Suspended && std::count(sit.debtOutcomes.begin(), sit.debtOutcomes.end(),
                                                  1) == std::ptrdiff_t(sit.debtOutcomes.size())) {
            regained = sit.sitId;
            break;
        }
    }
    int key = 0;
    for (const SchoolClass &c : school.classes) {
        if (c.acs < 3)
            continue;
        const Year &y = school.yearOf(c.ansId);
        const QDateTime on = stamp(sessionEnd(c.ansId, Final));
        const bool a5 = c.ansId == kWorkingYear && c.section == 0 && c.acs == 5;
        for (std::size_t i = 0; i < c.situations.size(); ++i) {
            const Situation &sit = school.situations[std::size_t(c.situations[i])];
            if (!sit.finalEntered)
                continue;
            const double average = creditAverage(sit, c.ansId);
            int creMin = 0;
            const int band = sit.posFin == NotAdmitted ? 0 : bandOf(average, c.acs - 2, &creMin);
            QVariant credit;
            if (band) {
                const bool upper = sit.posFin == Admitted && average - std::floor(average) >= 0.5;
                credit = creMin + (upper ? 1 : 0);
            }
            QVariant outOfBand;
            if (a5 && i == 4 && band) { // one credit above its band, by the council's choice
                outOfBand = 1;
                credit = creMin + 2;
            }
            ++key;
            cre.add({key, sit.sitId, credit, credit, keyOrNull(band), outOfBand, average,
                     sit.posFin == Suspended ? QVariant(1) : sqlNull(),
                     a5 && i == 0 ? QVariant(1) : sqlNull(),
                     sit.ordine == 2 ? QVariant(1) : sqlNull(), key % 3 ? QVariant(1) : QVariant(0),
                     int(std::lround(average)), on, y.start(), y.end(),
                     sit.sitId == regained && credit.isValid() ? QVariant(1) : sqlNull()});
            if (credit.isValid() && key % 4 == 0)
                frm.add({key / 4, key, 1 + key % 3, on, y.start(), y.end()});
            if (credit.isValid() && key % 5 == 0)
                sco.add({key / 5, key, 1 + key % 3, on, y.start(), y.end()});
        }
    }
}

bool hasWrittenVote(int matId)
{
    for (int cmp : subjectComponents(matId, Final))
        if (cmp == WrittenTenths)
            return true;
    return false;
}

int lowestVote(const Situation &sit, int matId)
{
    int lowest = 10;
    for (const FinalVote &v : sit.finalVotes)
        if (v.matId == matId && v.value < lowest)
            lowest = v.value;
    return lowest;
}

void writeDebts(QSqlDatabase &db, const School &school)
{
    SeedTable deb(db, QStringLiteral("TDeb_Debiti"),
                  cols("iDebId,iSitId,iMatId,dDebAttr,dDebVer,iAnaId_Attr,iAnaId_Ver,iDesDedId,"
                       "iDtpDtdId,bDebNota,dInsert,dStart,dEnd"));
    SeedTable rec(db, QStringLiteral("TRec_Recuperi"),
                  cols("iRecId,iTreId,iEreId,iMatId,iSitId,iAnsFreDwgId,dRecAttr,dRecVer,iPvrId"));
    int debKey = 0;
    int recKey = 0;
    int workingRecs = 0;
    for (const SchoolClass &c : school.classes) {
        const Year &y = school.yearOf(c.ansId);
        const QDate assigned = sessionEnd(c.ansId, Final);
        for (int s : c.situations) {
            const Situation &sit = school.situations[std::size_t(s)];
            for (std::size_t k = 0; k < sit.debts.size(); ++k) {
                const int matId = sit.debts[k];
                const int outcome = sit.debtOutcomes[k];
                const int teacher = school.teacherFor(matId, c.section);
                const int type = lowestVote(sit, matId) <= 4 ? 1 : 2;
                const QVariant verified =
                    outcome ? QVariant(QDate(y.valore + 1, 8, 28)) : sqlNull();
                deb.add({++debKey, sit.sitId, matId, assigned, verified, keyOrNull(teacher),
                         outcome ? keyOrNull(teacher) : sqlNull(), keyOrNull(outcome), type,
                         outcome == 2 ? QVariant(QStringLiteral("Lacune non colmate.")) : sqlNull(),
                         stamp(assigned), y.start(), y.end()});
                // The make-up course of the first phase, with its outcome once verified.
                int ere = outcome;
                if (c.ansId == kWorkingYear) {
                    const int n = workingRecs++;
                    ere = n % 4 == 0 ? 1 : (n % 4 == 1 ? 2 : 0);
                }
                const QVariant recVerified = ere ? QVariant(QDate(y.valore + 1, 7, 15)) : sqlNull();
                const int pvr = hasWrittenVote(matId) ? 1 : 2;
                rec.add({++recKey, type, keyOrNull(ere), matId, sit.sitId, yearPhase(c.ansId, 1),
                         QDate(y.valore + 1, 6, 20), recVerified, pvr});
                // One record entered twice, for the duplicate check to find.
                if (c.ansId == kWorkingYear && workingRecs == 1)
                    rec.add({++recKey, type, sqlNull(), matId, sit.sitId, yearPhase(c.ansId, 1),
                             QDate(y.valore + 1, 6, 21), sqlNull(), pvr});
            }
        }
    }
}

void writeExchange(QSqlDatabase &db, const School &school)
{
    // Half the teachers send through the web service, two through a network folder (already
    // sent, the second one's data already collected), two through the teacher program's files.
    SeedTable aai(db, QStringLiteral("TAai_AnaAppInvio"),
                  cols("iAaiId,iAaiModulo,iAnaCagId,iModId,iAnsSesDwgId,iAaiInviato,dAaiInviato,"
                       "sAaiDirInviato,iAaiRicevuto,dAaiRicevuto"));
    const int n = int(school.teachers.size());
    const int session = yearSession(kWorkingYear, Final);
    for (int i = 0; i < n; ++i) {
        const int role = 500000 + i + 1;
        if (i < n / 2) {
            aai.add({i + 1, 1, role, 5, session, sqlNull(), sqlNull(), sqlNull(), sqlNull(),
                     sqlNull()});
        } else if (i < n / 2 + 2) {
            const bool collected = i == n / 2 + 1;
            aai.add(
                {i + 1, 1, role, 2, session, 1, QDateTime(QDate(2009, 6, 5), QTime(10, 30)),
                 QStringLiteral("\\\\server\\scambio\\D%1").arg(i + 1, 3, 10, QLatin1Char('0')),
                 collected ? QVariant(1) : sqlNull(),
                 collected ? QVariant(QDateTime(QDate(2009, 6, 8), QTime(16, 45))) : sqlNull()});
        } else if (i < n / 2 + 4) {
            aai.add({i + 1, 1, role, 4, session, sqlNull(), sqlNull(), sqlNull(), sqlNull(),
                     sqlNull()});
        }
    }

    // Exam lists of the working year's final session: 5A the state exam, 3C the qualification.
    SeedTable osd(db, QStringLiteral("TOsd_OpzStampaDig"),
                  cols("iOsdId,iAnsSesDwgId,iClsId,iTipoElenco"));
    osd.add({1, session, school.findClass(kWorkingYear, 0, 5)->clsId, 1});
    osd.add({2, session, school.findClass(kWorkingYear, kVocational, 3)->clsId, 0});

    // Two state-exam candidates of 5A with their exam votes.
    const SchoolClass *a5 = school.findClass(kWorkingYear, 0, 5);
    SeedTable can(
        db, QStringLiteral("TCan_Candidati"),
        cols("iCanId,iSitId,dStart,dEnd,sCanGiudizio,dCanDataEsami,iCstId,iShaId,iCmmId"));
    SeedTable cvt(db, QStringLiteral("TCvt_Voti"), cols("iCvtId,iCanId,iTvtId,iCvtVoto"));
    const Year &y = school.yearOf(kWorkingYear);
    for (int i = 0; i < 2; ++i) {
        const Situation &sit = school.situations[std::size_t(a5->situations[std::size_t(i)])];
        can.add({i + 1, sit.sitId, y.start(), y.end(), QStringLiteral("Ammesso all'esame"),
                 QDate(2009, 6, 22), 1, i == 1 ? QVariant(1) : sqlNull(), 1});
        for (int t = 1; t <= 3; ++t)
            cvt.add({i * 3 + t, i + 1, t, t == 3 ? 24 - i * 3 : 12 - i});
    }
}

} // namespace

void writeOutcomes(QSqlDatabase &db, const School &school, const WrittenKeys &keys)
{
    Q_UNUSED(keys);
    writeCredits(db, school);
    writeDebts(db, school);
    writeExchange(db, school);
}

} // namespace demo
