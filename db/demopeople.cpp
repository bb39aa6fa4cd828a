#include "db/demowriter.h"

#include "db/demonames.h"
#include "db/seedtable.h"

#include <QSqlDatabase>

namespace demo {

namespace {

QStringList cols(const char *list)
{
    return QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

constexpr int kTeacherRoleBase = 500000; // teachers' TAnaCag keys; pupils' equal iAnaId
constexpr int kTransferSchool = 3;       // the school a transferred pupil moved to

QString sortKey(const QString &surname, const QString &name)
{
    return (surname + QLatin1Char(' ') + name).toUpper();
}

// A plausible, not valid, tax code: consonants of the names, birth date, a fixed town.
QString taxCode(const QString &surname, const QString &name, const QDate &birth, bool female)
{
    auto letters = [](const QString &s) {
        QString out;
        for (const QChar c : s.toUpper())
            if (c >= u'A' && c <= u'Z' && !QStringLiteral("AEIOU").contains(c))
                out += c;
        return (out + QStringLiteral("XXX")).left(3);
    };
    static const char months[] = "ABCDEHLMPRST";
    const int day = birth.day() + (female ? 40 : 0);
    return letters(surname) + letters(name) +
           QStringLiteral("%1").arg(birth.year() % 100, 2, 10, QLatin1Char('0')) +
           QLatin1Char(months[birth.month() - 1]) +
           QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0')) + QStringLiteral("F205X");
}

QString residence(const Pupil &p)
{
    static const char *streets[] = {"Via Manzoni", "Via Garibaldi", "Corso Venezia",
                                    "Via Dante",   "Viale Monza",   "Via Verdi"};
    return QStringLiteral("%1 %2").arg(QLatin1String(streets[p.anaId % 6])).arg(1 + p.anaId % 90);
}

QVector<int> sessionSubjects(const SchoolClass &cls, int sesId)
{
    if (sesId == Qualification)
        return {Ammissione, Qualifica, ProvaScritta, ProvaPratica};
    QVector<int> subjects = trackSubjects(cls.track);
    if (sesId == Final && cls.qualification())
        subjects << Ammissione;
    return subjects;
}

void writePeopleRows(QSqlDatabase &db, const School &school)
{
    SeedTable ana(db, QStringLiteral("TAna_Anagrafiche"),
                  cols("iAnaId,sAnaCognome,sAnaNome,sAnaCognomeNomeIdx,dAnaNascita,sAnaCodFiscale,"
                       "iSexId,sAnaPwPert,lAnaConsPrivacy,iSrpcId,iStcId,iVomId,sAnaCodSidi"),
                  kTeacherBase + 100000);
    SeedTable cag(db, QStringLiteral("TAnaCag"), cols("iAnaCagId,iAnaId,iCagId,sAnaCagCode"));
    SeedTable per(db, QStringLiteral("TAnaPer_Personale"),
                  cols("iAnaPerId,iAnaCagId,iDwgId,iStabPerId,iDctId,dStart"));
    int n = 0;
    for (const Teacher &t : school.teachers) {
        ++n;
        const QDate birth = QDate(1955 + n % 20, 1 + n % 12, 1 + n % 28);
        ana.add({t.anaId, t.surname, t.name, sortKey(t.surname, t.name), birth,
                 taxCode(t.surname, t.name, birth, t.female), t.female ? 2 : 1,
                 QStringLiteral("pw%1").arg(n, 3, 10, QLatin1Char('0')), 1, 1, 1, 1, sqlNull()});
        cag.add({kTeacherRoleBase + n, t.anaId, 3,
                 QStringLiteral("D%1").arg(n, 3, 10, QLatin1Char('0'))});
        per.add({n, kTeacherRoleBase + n, kInstitute, 1, 1, QDate(2000, 9, 1)});
    }

    SeedTable citt(db, QStringLiteral("TAnaCitt"), cols("iAnaCittId,iAnaId,iStaId"));
    SeedTable abt(db, QStringLiteral("TAbt_Abitazioni"),
                  cols("iAbtId,iAnaId,sAbtIndirizzo,iComCapId,iFraQuaId"));
    SeedTable loc(db, QStringLiteral("TAbtLoc"), cols("iAbtLocId,iAbtId,iLocId"));
    SeedTable gme(db, QStringLiteral("TAnaGme"),
                  cols("iAnaGmeId,iAnaId,iScuTypId,iGmeId,sAnaGmeVoto,sAnaGmeVotoAmm"));
    int cittKey = 0;
    int abtKey = 0;
    int gmeKey = 0;
    for (const Pupil &p : school.pupils) {
        ana.add({p.anaId, p.surname, p.name, sortKey(p.surname, p.name), p.birth,
                 taxCode(p.surname, p.name, p.birth, p.female), p.female ? 2 : 1, sqlNull(),
                 p.anaId % 17 ? 1 : 0, p.birthPlace, 1, 1,
                 QStringLiteral("S%1").arg(p.anaId, 7, 10, QLatin1Char('0'))});
        cag.add({p.anaId, p.anaId, 1, QStringLiteral("M%1").arg(p.anaId, 5, 10, QLatin1Char('0'))});
        // Italians, but for one French, one Albanian and one with both citizenships.
        const int state = p.anaId == 2 ? 2 : (p.anaId == 3 ? 3 : 1);
        citt.add({++cittKey, p.anaId, state});
        if (p.anaId == 4)
            citt.add({++cittKey, p.anaId, 2});
        const int town = 1 + p.anaId % 3;
        abt.add({++abtKey, p.anaId, residence(p), town, p.anaId % 5 ? sqlNull() : QVariant(1)});
        loc.add({abtKey, abtKey, 2});
        if (p.anaId == 1) { // one pupil lives elsewhere during the week, in a hamlet
            abt.add({++abtKey, p.anaId, QStringLiteral("Via Roma 5"), 3, QVariant(1)});
            loc.add({abtKey, abtKey, 1});
        }
        // Every pupil came with a lower-secondary licence judgment.
        const int judgment =
            p.ability >= 80 ? 1 : (p.ability >= 72 ? 2 : (p.ability >= 64 ? 3 : 4));
        gme.add({++gmeKey, p.anaId, 3, judgment, sqlNull(), sqlNull()});
    }

    // Some pupils get their post elsewhere: a correspondence address, a few in a hamlet.
    for (const Pupil &p : school.pupils) {
        if (p.anaId % 7)
            continue;
        abt.add({++abtKey, p.anaId,
                 QStringLiteral("Presso Studio Rossi, Via Torino %1").arg(p.anaId), 3,
                 p.anaId % 14 ? sqlNull() : QVariant(1)});
        loc.add({abtKey, abtKey, 3});
    }

    // The qualification class of the working year: admission scores already exported.
    for (const SchoolClass &cls : school.classes) {
        if (cls.ansId != kWorkingYear || !cls.qualification())
            continue;
        for (int s : cls.situations) {
            const Situation &sit = school.situations[std::size_t(s)];
            for (const FinalVote &v : sit.finalVotes)
                if (v.matId == Ammissione)
                    gme.add({++gmeKey, school.pupils[std::size_t(sit.pupil)].anaId, 4, sqlNull(),
                             sqlNull(), QString::number(v.value)});
        }
    }

    // Parents of the working year's 1A pupils, and one tutor.
    const SchoolClass *a1 = school.findClass(kWorkingYear, 0, 1);
    SeedTable gpt(db, QStringLiteral("TAnaGpt"), cols("iAnaGptId,iAnaId,iAnaId_Gpt,iGptId"));
    SeedTable tut(db, QStringLiteral("TAnaTut"), cols("iAnaTutId,iAnaId,iAnaId_Tut,iTutId"));
    int parentId = int(school.pupils.size());
    int locKey = abtKey; // one use for each address so far
    int gptKey = 0;
    for (int s : a1->situations) {
        const Pupil &p = school.pupils[std::size_t(school.situations[std::size_t(s)].pupil)];
        for (int g = 1; g <= 2; ++g) {
            const QString name =
                g == 1 ? demoFirstName(false, p.anaId) : demoFirstName(true, p.anaId);
            ++parentId;
            ana.add({parentId, p.surname, name, sortKey(p.surname, name), QDate(1965, 3, g * 10),
                     sqlNull(), g, sqlNull(), 1, 1, 1, 1, sqlNull()});
            cag.add({parentId, parentId, 2, sqlNull()});
            gpt.add({++gptKey, p.anaId, parentId, g});
            // The parents live where their child does; the school writes to the father.
            abt.add({++abtKey, parentId, residence(p), 1 + p.anaId % 3,
                     p.anaId % 5 ? sqlNull() : QVariant(1)});
            for (int use = 1; use <= (g == 1 ? 3 : 2); ++use)
                loc.add({++locKey, abtKey, use});
        }
        if (gptKey == 2)
            tut.add({1, p.anaId, parentId - 1, 1});
    }
}

void writeClasses(QSqlDatabase &db, const School &school, WrittenKeys &keys)
{
    SeedTable cls(db, QStringLiteral("TCls_Classi"),
                  cols("iClsId,iDwgId,iDwgSedId,iAcsId,iIndId,iSezId,iSpzId,iClsOrdine,sClsDesc,"
                       "sClsSDesc,dStart,dEnd"));
    SeedTable clsPst(db, QStringLiteral("TClsPst"), cols("iClsPstId,iClsId,iPstId,dStart,dEnd"));
    SeedTable clsSes(db, QStringLiteral("TClsSes"),
                     cols("iClsSesId,iAnsSesDwgId,iClsId,dStart,dEnd,iClsSesVot,iClsSesVtp,"
                          "iClsSesTas,iClsSesAss,iClsSesAiu,iClsSesNot,iClsSesDeb,iClsSesEsi,"
                          "iClsSesCre,iClsSesGdz,iClsSesComp,iTbnId"));
    SeedTable csm(db, QStringLiteral("TClsSesMat"), cols("iClsSesMatId,iClsSesId,iMatRmaId"));
    SeedTable cmc(db, QStringLiteral("TClsMatCmp"), cols("iClsMatCmpId,iClsSesMatId,iCmpScaId"));
    SeedTable cma(db, QStringLiteral("TClsMatAna"),
                  cols("iClsMatAnaId,iClsId,iMatId,iAnaId,lClsMatAnaCoord,dStart,dEnd"));
    int csmKey = 0;
    int cmcKey = 0;
    int cmaKey = 0;
    for (const SchoolClass &c : school.classes) {
        const Year &y = school.yearOf(c.ansId);
        // The first site teaches the liceo and the technical course, the second the vocational.
        cls.add({c.clsId, kInstitute, c.dwgSedId, c.acs, c.track + 1, c.section + 1,
                 c.track == 0 && c.section == 0 ? QVariant(1) : sqlNull(), c.acs * 1000 + c.section,
                 QStringLiteral("%1 %2").arg(c.shortName, trackName(c.track).toUpper()),
                 c.shortName, y.start(), y.end()});
        clsPst.add({c.clsPst(false), c.clsId, planOf(c.track, false), y.start(), y.end()});
        clsPst.add({c.clsPst(true), c.clsId, planOf(c.track, true), y.start(), y.end()});
        QVector<int> sessions = {FirstTerm, Final, Deferred};
        if (c.ansId == kWorkingYear && c.qualification())
            sessions << Qualification;
        const QVariant band = c.acs >= 3 ? QVariant(c.acs - 2) : sqlNull();
        for (int ses : sessions) {
            clsSes.add({c.clsSes(ses), yearSession(c.ansId, ses), c.clsId, y.start(), y.end(), 1, 1,
                        1, 1, 1, 1, 1, 1, 1, 1, 1, band});
            for (int matId : sessionSubjects(c, ses)) {
                csm.add({++csmKey, c.clsSes(ses), matId});
                keys.clsSesMat[{c.clsSes(ses), matId}] = csmKey;
                for (int cmp : subjectComponents(matId, ses)) {
                    cmc.add({++cmcKey, csmKey, cmp});
                    keys.clsMatCmp[{csmKey, cmp}] = cmcKey;
                }
            }
        }
        const int coordSubject = school.coordinatorSubject(c);
        for (int matId : trackSubjects(c.track)) {
            const int teacher = school.teacherFor(matId, c.section);
            if (!teacher)
                continue;
            cma.add({++cmaKey, c.clsId, matId, teacher, matId == coordSubject ? 1 : 0, y.start(),
                     y.end()});
            if (matId == Laboratorio) // taught by two teachers together
                cma.add({++cmaKey, c.clsId, matId, school.labAssistant(c.section), 0, y.start(),
                         y.end()});
        }
    }
    // The deferred scrutiny of the working year's qualification class also admits its
    // suspended pupils to the exam. After every other subject, which keep their keys.
    for (const SchoolClass &c : school.classes) {
        if (c.ansId != kWorkingYear || !c.qualification())
            continue;
        csm.add({++csmKey, c.clsSes(Deferred), int(Ammissione)});
        keys.clsSesMat[{c.clsSes(Deferred), int(Ammissione)}] = csmKey;
        for (int cmp : subjectComponents(Ammissione, Deferred)) {
            cmc.add({++cmcKey, csmKey, cmp});
            keys.clsMatCmp[{csmKey, cmp}] = cmcKey;
        }
    }
    // The working year's 2C also rates the final profit in Italian, mathematics and religion
    // as a taxonomy that counts in the averages (religion, out of the plan's average, stays
    // out of it). After every other component, which keep their keys.
    const SchoolClass *c2 = school.findClass(kWorkingYear, kVocational, 2);
    for (int matId : profitSubjects()) {
        const int csm = keys.clsSesMatId(c2->clsSes(Final), matId);
        cmc.add({++cmcKey, csm, int(Profit)});
        keys.clsMatCmp[{csm, int(Profit)}] = cmcKey;
    }
}

void writeSituations(QSqlDatabase &db, const School &school)
{
    SeedTable sit(db, QStringLiteral("TSit_Situazioni"),
                  cols("iSitId,iAnaId,iClsPstId,iSitOrdine,iSitPosReg,dStart,dEnd,iPosFinId,"
                       "iPosFinId_Sosp,lSitRelig,lSitEdFis,iFreqId,dSitEsito,iSitMonteOre,"
                       "dSitTraRit,dSitPreIscr,dSitIscr,iScuId_Prov,iScuId_Tras,iTfiId,iPosIniId,"
                       "iPosAttId,iIscId,iIesId,iDcrId,iAltId"));
    for (const SchoolClass &c : school.classes) {
        const Year &y = school.yearOf(c.ansId);
        for (int s : c.situations) {
            const Situation &st = school.situations[std::size_t(s)];
            const Pupil &p = school.pupils[std::size_t(st.pupil)];
            const bool withoutReligion = st.clsPstId == c.clsPst(true);
            // A suspended pupil has the suspended position both as outcome and as suspension.
            const QVariant sosp = st.posFin == Suspended ? QVariant(int(Suspended)) : sqlNull();
            const QVariant esito = st.posFin && st.posFin != Transferred
                                       ? QVariant(sessionEnd(c.ansId, Final))
                                       : sqlNull();
            sit.add({st.sitId,
                     p.anaId,
                     st.clsPstId,
                     st.ordine,
                     st.posReg,
                     y.start(),
                     y.end(),
                     keyOrNull(st.posFin),
                     sosp,
                     withoutReligion ? 0 : 1,
                     1,
                     1,
                     esito,
                     sqlNull(),
                     st.leftOn.isValid() ? QVariant(st.leftOn) : sqlNull(),
                     QDate(y.valore, 2, 15),
                     QDate(y.valore, 7, 1),
                     c.acs == 1 ? QVariant(p.originSchool) : sqlNull(),
                     st.posFin == Transferred ? QVariant(kTransferSchool) : sqlNull(),
                     1,
                     1,
                     1,
                     1,
                     1,
                     1,
                     withoutReligion ? QVariant(1) : sqlNull()});
        }
    }
    // One exemption and one training-obligation record, in the working year's 5A.
    const SchoolClass *a5 = school.findClass(kWorkingYear, 0, 5);
    const int first = school.situations[std::size_t(a5->situations.front())].sitId;
    SeedTable eso(db, QStringLiteral("TSitEso_Esoneri"), cols("iSitEsoId,iSitId,iMatId"));
    eso.add({1, first, int(EdFisica)});
    SeedTable obf(db, QStringLiteral("TSitObf"), cols("iSitObfId,iSitId,iObfId,dSitObfStart"));
    obf.add({1, first, 1, QDate(2008, 9, 1)});
}

} // namespace

int WrittenKeys::clsSesMatId(int clsSesId, int matId) const
{
    const auto it = clsSesMat.find({clsSesId, matId});
    return it == clsSesMat.end() ? 0 : it->second;
}

int WrittenKeys::clsMatCmpId(int clsSesId, int matId, int cmpScaId) const
{
    const auto it = clsMatCmp.find({clsSesMatId(clsSesId, matId), cmpScaId});
    return it == clsMatCmp.end() ? 0 : it->second;
}

void writeSchool(QSqlDatabase &db, const School &school, WrittenKeys &keys)
{
    writePeopleRows(db, school);
    writeClasses(db, school, keys);
    writeSituations(db, school);
}

} // namespace demo
