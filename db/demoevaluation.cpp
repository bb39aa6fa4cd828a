#include "db/demowriter.h"

#include "db/seedtable.h"
#include "platform/transaction.h"

#include <QDateTime>
#include <QSqlDatabase>

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

const char kAbsenceTotals[] =
    "UPDATE TSit_Situazioni Sit SET iSitOreAssenza = (SELECT COALESCE(SUM(Ass.iAssOre), 0) "
    "FROM TAss_Assenze Ass "
    "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Ass.iClsSesMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "INNER JOIN TAnsSesDwg Asd ON (Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
    "INNER JOIN TAns_AnniScolast Ans ON (Ans.iAnsId = Asd.iAnsId) "
    "WHERE Ass.iSitId = Sit.iSitId AND Asd.iSfiId <> 3 AND Asd.lAnsSesDwgPagella = 1 "
    "AND Ans.dAnsVextoInizio = Sit.dStart) "
    "WHERE Sit.iSitOrdine = 1";

QStringList cols(const char *list)
{
    return QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

bool isVoteComponent(int cmp)
{
    return cmp == WrittenTenths || cmp == OralTenths || cmp == PracticalTenths ||
           cmp == SingleTenths || cmp == SingleHundredths || cmp == ReligionJudgment;
}

bool isTenths(int cmp)
{
    return cmp == WrittenTenths || cmp == OralTenths || cmp == PracticalTenths ||
           cmp == SingleTenths;
}

int levelOf(const FinalVote &v)
{
    if (v.cmpScaId == SingleHundredths)
        return hundredthsLevel(v.value);
    if (v.cmpScaId == ReligionJudgment)
        return judgmentLevel(v.value);
    return v.value ? tenthsLevel(v.value) : kNotClassified;
}

QDateTime stamp(const QDate &date)
{
    return QDateTime(date, QTime(12, 0));
}

QString judgmentText(const Situation &sit, const Pupil &pupil)
{
    const QString who = pupil.female ? QStringLiteral("L'alunna") : QStringLiteral("L'alunno");
    switch (sit.posFin) {
    case NotAdmitted:
        return who + QStringLiteral(" presenta gravi e diffuse carenze: non è ammess") +
               (pupil.female ? QStringLiteral("a") : QStringLiteral("o")) +
               QStringLiteral(" alla classe successiva.");
    case Suspended:
        return QStringLiteral("Il consiglio di classe sospende il giudizio: %1 deve recuperare %2 "
                              "%3.")
            .arg(who.toLower())
            .arg(sit.debts.size())
            .arg(sit.debts.size() == 1 ? QStringLiteral("disciplina")
                                       : QStringLiteral("discipline"));
    default:
        break;
    }
    const char *level =
        pupil.ability >= 80 ? "ottima" : (pupil.ability >= 70 ? "buona" : "sufficiente");
    return who +
           QStringLiteral(" ha raggiunto una preparazione %1. È ammess").arg(QLatin1String(level)) +
           (pupil.female ? QStringLiteral("a.") : QStringLiteral("o."));
}

struct Tables
{
    explicit Tables(QSqlDatabase &db)
        : vot(db, QStringLiteral("TVot_Voti"),
              cols("iVotId,iClsMatCmpId,iSitId,iScaLivId,dInsert,dStart,dEnd")),
          vtp(db, QStringLiteral("TVtp_Proposti"),
              cols("iVtpId,iClsMatCmpId,iSitId,iPrpScaLivId,dInsert,dStart,dEnd")),
          tas(db, QStringLiteral("TTas_Tassonomie"),
              cols("iTasId,iClsMatCmpId,iSitId,iScaLivId,dInsert,dStart,dEnd")),
          ass(db, QStringLiteral("TAss_Assenze"),
              cols("iAssId,iClsSesMatId,iSitId,iAssOre,dInsert,dStart,dEnd")),
          aiu(db, QStringLiteral("TAiu_Aiuti"),
              cols("iAiuId,iClsSesMatId,iSitId,sAiuVal,dInsert,dStart,dEnd")),
          gdz(db, QStringLiteral("TGdz_Giudizi"),
              cols("iGdzId,iSitId,iAnsSesDwgId,bGdzGiudizio,dInsert,dStart,dEnd"))
    {
    }
    SeedTable vot, vtp, tas, ass, aiu, gdz;
};

class EvaluationWriter
{
public:
    EvaluationWriter(QSqlDatabase &db, const School &school, const WrittenKeys &keys)
        : m_school(school), m_keys(keys), m_t(db), m_random(7340033)
    {
    }

    void writeClass(const SchoolClass &c)
    {
        for (int s : c.situations) {
            const Situation &sit = m_school.situations[std::size_t(s)];
            if (sit.posFin == Transferred)
                continue; // left before the first scrutiny
            writeFirstTerm(c, sit);
            if (sit.finalEntered)
                writeFinal(c, sit);
            else if (c.ansId == kWorkingYear)
                writeProposals(c, sit);
            if (c.ansId != kWorkingYear && sit.posFin == Suspended)
                writeDeferred(c, sit);
        }
    }

    // The vocational classes of the working year kept the teachers' proposals of the pupils
    // whose judgment was suspended, one per vote in tenths: the deferred session starts from
    // them. Written after every other proposal, so the earlier rows keep their keys.
    void writeKeptProposals()
    {
        for (const SchoolClass &c : m_school.classes) {
            if (c.ansId != kWorkingYear || c.track != kVocational)
                continue;
            const int clsSes = c.clsSes(Final);
            const QDate on = sessionEnd(c.ansId, Final).addDays(-3);
            for (int s : c.situations) {
                const Situation &sit = m_school.situations[std::size_t(s)];
                if (sit.posFin != Suspended)
                    continue;
                const Year &y = yearOfSit(sit);
                for (const FinalVote &v : sit.finalVotes) {
                    if (!isTenths(v.cmpScaId))
                        continue;
                    // Proposals go from 4 to 10 by halves (601 .. 613).
                    const int half = std::clamp(v.value * 2, 8, 20);
                    m_t.vtp.add({++m_vtpKey, m_keys.clsMatCmpId(clsSes, v.matId, v.cmpScaId),
                                 sit.sitId, 600 + half - 7, stamp(on), y.start(), y.end()});
                }
            }
        }
    }

    // 2C's final profit: the rounded mean of the subject's votes, the judgment's value in
    // religion. After every other taxonomy, which keep their keys.
    void writeProfit()
    {
        const SchoolClass *c = m_school.findClass(kWorkingYear, kVocational, 2);
        const QDate on = sessionEnd(c->ansId, Final);
        for (int s : c->situations) {
            const Situation &sit = m_school.situations[std::size_t(s)];
            for (int matId : profitSubjects()) {
                int sum = 0, n = 0;
                for (const FinalVote &v : sit.finalVotes) {
                    if (v.matId != matId)
                        continue;
                    sum += v.cmpScaId == ReligionJudgment ? 310 - judgmentLevel(v.value) : v.value;
                    ++n;
                }
                if (n)
                    taxonomy(m_keys.clsMatCmpId(c->clsSes(Final), matId, Profit), sit,
                             tenthsLevel(int(std::lround(double(sum) / n))), on);
            }
        }
    }

private:
    void vote(int cmc, const Situation &sit, int level, const QDate &on)
    {
        const Year &y = yearOfSit(sit);
        m_t.vot.add({++m_votKey, cmc, sit.sitId, level, stamp(on), y.start(), y.end()});
    }

    void taxonomy(int cmc, const Situation &sit, int level, const QDate &on)
    {
        const Year &y = yearOfSit(sit);
        m_t.tas.add({++m_tasKey, cmc, sit.sitId, level, stamp(on), y.start(), y.end()});
    }

    void absence(int csm, const Situation &sit, int hours, const QDate &on)
    {
        const Year &y = yearOfSit(sit);
        m_t.ass.add({++m_assKey, csm, sit.sitId, hours, stamp(on), y.start(), y.end()});
    }

    const Year &yearOfSit(const Situation &sit) const { return m_school.yearOf(sit.clsId / 1000); }

    void writeFirstTerm(const SchoolClass &c, const Situation &sit)
    {
        const Pupil &p = m_school.pupils[std::size_t(sit.pupil)];
        const bool religion = sit.clsPstId != c.clsPst(true);
        const int clsSes = c.clsSes(FirstTerm);
        const QDate on = sessionEnd(c.ansId, FirstTerm);
        for (int matId : trackSubjects(c.track)) {
            if (matId == Religione && !religion)
                continue;
            const int csm = m_keys.clsSesMatId(clsSes, matId);
            const int affinity = m_random.bell(6);
            for (int cmp : subjectComponents(matId, FirstTerm)) {
                const int cmc = m_keys.clsMatCmp.at({csm, cmp});
                if (cmp == SingleTenths) {
                    vote(cmc, sit,
                         tenthsLevel(
                             std::clamp(p.ability / 10 + 2 + m_random.between(-2, 1), 5, 10)),
                         on);
                } else if (cmp == ReligionJudgment) {
                    vote(cmc, sit, judgmentLevel(p.ability + affinity), on);
                } else if (isTenths(cmp)) {
                    // A few first-term votes are "not classified".
                    const int v =
                        std::clamp((p.ability - 3 + affinity + m_random.bell(4) + 5) / 10, 2, 10);
                    vote(cmc, sit, m_random.percent(1) ? kNotClassified : tenthsLevel(v), on);
                } else if (cmp == Commitment || cmp == Participation) {
                    taxonomy(cmc, sit, judgmentLevel(p.ability + m_random.bell(8)), on);
                }
            }
            if (matId != Condotta && matId != Religione)
                absence(csm, sit, m_random.percent(30) ? 0 : m_random.between(1, 12), on);
        }
    }

    void writeFinal(const SchoolClass &c, const Situation &sit)
    {
        const Pupil &p = m_school.pupils[std::size_t(sit.pupil)];
        const int clsSes = c.clsSes(Final);
        const QDate on = sessionEnd(c.ansId, Final);
        const Year &y = yearOfSit(sit);
        int lastSubject = 0;
        for (const FinalVote &v : sit.finalVotes) {
            vote(m_keys.clsMatCmpId(clsSes, v.matId, v.cmpScaId), sit, levelOf(v), on);
            if (v.matId == lastSubject || v.matId == Condotta || v.matId == Religione ||
                v.matId == Ammissione)
                continue;
            lastSubject = v.matId;
            const int csm = m_keys.clsSesMatId(clsSes, v.matId);
            absence(csm, sit, m_random.percent(25) ? 0 : m_random.between(1, 18), on);
            if (v.value == 6 && m_random.percent(20))
                m_t.aiu.add({++m_aiuKey, csm, sit.sitId,
                             m_random.percent(50) ? QStringLiteral("SP") : QStringLiteral("CR"),
                             stamp(on), y.start(), y.end()});
        }
        for (int cmp : {int(Commitment), int(Participation)})
            taxonomy(m_keys.clsMatCmpId(clsSes, Condotta, cmp), sit,
                     judgmentLevel(p.ability + m_random.bell(8)), on);
        // The liceo's make-up types and outcomes were entered as taxonomies this year.
        if (c.ansId == kWorkingYear && c.track == 0) {
            for (std::size_t k = 0; k < sit.debts.size(); ++k) {
                const int matId = sit.debts[k];
                taxonomy(m_keys.clsMatCmpId(clsSes, matId, MakeUpType), sit, k % 2 ? 402 : 401, on);
                if (k % 2 == 0)
                    taxonomy(m_keys.clsMatCmpId(clsSes, matId, MakeUpOutcome), sit, 501, on);
            }
        }
        m_t.gdz.add({++m_gdzKey, sit.sitId, yearSession(c.ansId, Final), judgmentText(sit, p),
                     stamp(on), y.start(), y.end()});
    }

    // The technical classes of the working year: teachers proposed, the office has not
    // turned the proposals into votes yet.
    void writeProposals(const SchoolClass &c, const Situation &sit)
    {
        const Pupil &p = m_school.pupils[std::size_t(sit.pupil)];
        const int clsSes = c.clsSes(Final);
        const QDate on = sessionEnd(c.ansId, Final).addDays(-3);
        const Year &y = yearOfSit(sit);
        for (int matId : trackSubjects(c.track)) {
            if (matId == Religione)
                continue;
            const int affinity = m_random.bell(6);
            for (int cmp : subjectComponents(matId, Final)) {
                if (!isTenths(cmp))
                    continue;
                const int half = std::clamp((p.ability + affinity + m_random.bell(4)) / 5, 8, 20);
                m_t.vtp.add({++m_vtpKey, m_keys.clsMatCmpId(clsSes, matId, cmp), sit.sitId,
                             600 + half - 7, stamp(on), y.start(), y.end()});
            }
            if (matId != Condotta)
                absence(m_keys.clsSesMatId(clsSes, matId), sit, m_random.between(0, 15), on);
        }
    }

    // Earlier years: the deferred scrutiny's votes in the verified debts.
    void writeDeferred(const SchoolClass &c, const Situation &sit)
    {
        const int clsSes = c.clsSes(Deferred);
        const QDate on = sessionEnd(c.ansId, Deferred).addDays(-5);
        for (std::size_t k = 0; k < sit.debts.size(); ++k) {
            const int outcome = sit.debtOutcomes[k];
            if (outcome == 0)
                continue;
            for (int cmp : subjectComponents(sit.debts[k], Deferred)) {
                if (!isVoteComponent(cmp))
                    continue;
                const int v = outcome == 1 ? m_random.between(6, 7) : m_random.between(4, 5);
                vote(m_keys.clsMatCmpId(clsSes, sit.debts[k], cmp), sit, tenthsLevel(v), on);
            }
        }
    }

    const School &m_school;
    const WrittenKeys &m_keys;
    Tables m_t;
    SeedRandom m_random;
    int m_votKey = 0, m_vtpKey = 0, m_tasKey = 0, m_assKey = 0, m_aiuKey = 0, m_gdzKey = 0;
};

void writeNotesAndHours(QSqlDatabase &db, const School &school, const WrittenKeys &keys)
{
    SeedTable note(db, QStringLiteral("TNot_Note"),
                   cols("iNotId,iClsSesMatId,iSitId,dNotData,bNotNota,iAnaId,dInsert,dStart,dEnd"));
    SeedTable cno(db, QStringLiteral("TCno_ClassiNoteOre"),
                  cols("iCnoId,iClsSesMatId,iAnaId,iCnoOre,bCnoNota"));
    int noteKey = 0;
    int cnoKey = 0;
    for (const SchoolClass &c : school.classes) {
        if (c.ansId != kWorkingYear)
            continue;
        const Year &y = school.yearOf(c.ansId);
        const int csm = keys.clsSesMatId(c.clsSes(FirstTerm), Condotta);
        // Two conduct notes a class: one dated, one without a date.
        for (int i = 0; i < 2; ++i) {
            const Situation &sit = school.situations[std::size_t(c.situations[std::size_t(i)])];
            note.add({++noteKey, csm, sit.sitId, i == 0 ? QVariant(QDate(2008, 11, 12)) : sqlNull(),
                      i == 0 ? QStringLiteral("Ritardi frequenti all'ingresso.")
                             : QStringLiteral(
                                   "Disturba lo svolgimento delle lezioni; è stato richiamato."),
                      school.coordinatorOf(c), stamp(QDate(2008, 11, 12)), y.start(), y.end()});
        }
        if (c.section != 0)
            continue;
        for (int matId : trackSubjects(c.track)) {
            const int teacher = school.teacherFor(matId, c.section);
            if (!teacher)
                continue;
            cno.add({++cnoKey, keys.clsSesMatId(c.clsSes(Final), matId), teacher, 90 + matId,
                     QStringLiteral("Programma svolto regolarmente.")});
        }
    }
    // At the final scrutiny of the vocational classes the teacher of a suspended pupil's
    // first debt noted what to make up. After the other notes, which keep their keys.
    for (const SchoolClass &c : school.classes) {
        if (c.ansId != kWorkingYear || c.track != kVocational)
            continue;
        const Year &y = school.yearOf(c.ansId);
        const QDate on = sessionEnd(c.ansId, Final);
        for (int s : c.situations) {
            const Situation &sit = school.situations[std::size_t(s)];
            if (sit.posFin != Suspended || sit.debts.empty())
                continue;
            const int matId = sit.debts.front();
            note.add({++noteKey, keys.clsSesMatId(c.clsSes(Final), matId), sit.sitId, on,
                      QStringLiteral("Carenze da colmare con lo studio individuale; verifica nella "
                                     "sessione differita."),
                      school.teacherFor(matId, c.section), stamp(on), y.start(), y.end()});
        }
    }
    // The two teachers of 2C's laboratory each noted their hours and programme.
    const SchoolClass *c2 = school.findClass(kWorkingYear, kVocational, 2);
    const int lab = keys.clsSesMatId(c2->clsSes(Final), Laboratorio);
    cno.add({++cnoKey, lab, school.teacherFor(Laboratorio, c2->section), 132,
             QStringLiteral("Programma svolto; esercitazioni di videoscrittura completate.")});
    cno.add({++cnoKey, lab, school.labAssistant(c2->section), 66,
             QStringLiteral("Attività pratiche in compresenza svolte regolarmente.")});
}

void writeCompetences(QSqlDatabase &db, const School &school)
{
    SeedTable comp(
        db, QStringLiteral("TCOMP_COMPETENZE"),
        cols("ICOMPID,IANAID,ISITID,ICOMPASSEID,ICOMPLIVID,ILINGUASTRANIERAID,SCOMPNOTE"));
    const SchoolClass *a2 = school.findClass(kWorkingYear, 0, 2);
    int key = 0;
    for (int s : a2->situations) {
        const Situation &sit = school.situations[std::size_t(s)];
        const Pupil &p = school.pupils[std::size_t(sit.pupil)];
        const int level = std::clamp((p.ability - 50) / 10, 1, 4);
        for (int axis = 1; axis <= 4; ++axis)
            comp.add(
                {++key, p.anaId, sit.sitId, axis, level,
                 key == 1 ? QVariant(int(Inglese)) : sqlNull(),
                 key == 1 ? QVariant(QStringLiteral("Certificazione linguistica B1")) : sqlNull()});
    }
}

} // namespace

void writeEvaluation(QSqlDatabase &db, const School &school, const WrittenKeys &keys)
{
    {
        EvaluationWriter writer(db, school, keys);
        for (const SchoolClass &c : school.classes)
            writer.writeClass(c);
        writer.writeKeptProposals();
        writer.writeProfit();
    }
    writeNotesAndHours(db, school, keys);
    writeCompetences(db, school);
    // Each pupil's hours of absence in his year, as "Esportazione dati alunni" stores them at
    // the final session (the report cards print them as a share of the annual hours): those of
    // the sessions of the report card, the deferred one left out.
    TVxTransactionScope(db).transaction().Exec(QString::fromLatin1(kAbsenceTotals), {});
}

} // namespace demo
