#include "db/demomodel.h"

#include "db/demonames.h"

#include <algorithm>

namespace demo {

namespace {

// Teachers are grouped by what they teach; one teacher of a group per section, except
// physical education and religion, one per three sections.
enum Group { Lettere, MatFis, Lingue, ScienzeG, EcoDir, Info, Lab, LabItp, EdFisG, RelG };

int groupOf(int matId)
{
    switch (matId) {
    case Italiano:
    case Storia:
    case Latino:
        return Lettere;
    case Matematica:
    case Fisica:
    case MatApplicata:
        return MatFis;
    case Inglese:
        return Lingue;
    case Scienze:
        return ScienzeG;
    case Economia:
    case Diritto:
        return EcoDir;
    case Informatica:
        return Info;
    case Laboratorio:
        return Lab;
    case EdFisica:
        return EdFisG;
    case Religione:
        return RelG;
    default:
        return -1;
    }
}

QVector<int> trackGroups(int track)
{
    switch (track) {
    case 0:
        return {Lettere, MatFis, Lingue, ScienzeG};
    case 1:
        return {Lettere, MatFis, Lingue, ScienzeG, EcoDir, Info};
    default:
        return {Lettere, MatFis, Lingue, EcoDir, Lab, LabItp};
    }
}

bool isOrdinary(int matId)
{
    return matId != Religione && matId != Condotta && matId != Ammissione && matId != Qualifica &&
           matId != ProvaScritta && matId != ProvaPratica;
}

int clampVote(int tenthsOfVote)
{
    // Rounded to the nearest whole vote, kept within 2..10.
    return std::clamp((tenthsOfVote + 5) / 10, 2, 10);
}

} // namespace

int judgmentLevel(int tenths)
{
    if (tenths >= 85)
        return 301;
    if (tenths >= 75)
        return 302;
    if (tenths >= 65)
        return 303;
    if (tenths >= 55)
        return 304;
    return 305;
}

QString trackName(int track)
{
    switch (track) {
    case 0:
        return QStringLiteral("Liceo scientifico");
    case 1:
        return QStringLiteral("Istituto tecnico commerciale");
    default:
        return QStringLiteral("Istituto professionale servizi commerciali");
    }
}

QVector<int> trackSubjects(int track)
{
    switch (track) {
    case 0:
        return {Italiano, Latino,  Storia,   Inglese,   Matematica,
                Fisica,   Scienze, EdFisica, Religione, Condotta};
    case 1:
        return {Italiano, Storia,      Inglese,  MatApplicata, Scienze, Economia,
                Diritto,  Informatica, EdFisica, Religione,    Condotta};
    default:
        return {Italiano, Storia,      Inglese,  Matematica, Economia,
                Diritto,  Laboratorio, EdFisica, Religione,  Condotta};
    }
}

QString sectionName(int index)
{
    const QString letter = QString(QChar(u'A' + index % 26));
    return index < 26 ? letter : letter + QString::number(index / 26 + 1);
}

QVector<int> subjectComponents(int matId, int sesId)
{
    QVector<int> components;
    switch (matId) {
    case Italiano:
    case Matematica:
    case Inglese:
    case Latino:
    case Economia:
    case MatApplicata:
        components = {WrittenTenths, OralTenths};
        break;
    case Storia:
    case Scienze:
    case Fisica:
    case Diritto:
        components = {OralTenths};
        break;
    case Informatica:
    case Laboratorio:
    case EdFisica:
        components = {PracticalTenths};
        break;
    case Religione:
        return {ReligionJudgment};
    case Condotta:
        components = {SingleTenths, Commitment, Participation};
        if (sesId == FirstTerm)
            components << Other;
        return components;
    default:
        return {SingleHundredths};
    }
    // The make-up type is decided at the final scrutiny, the outcome by the deferred one.
    if (sesId == Final)
        components << MakeUpType << MakeUpOutcome;
    else if (sesId == Deferred)
        components << MakeUpOutcome;
    return components;
}

QVector<Year> years()
{
    return {{37, 2006}, {38, 2007}, {39, 2008}};
}

QDate sessionStart(int ansId, int sesId)
{
    const int y = ansId - kFirstYear + 2006;
    switch (sesId) {
    case FirstTerm:
        return QDate(y, 9, 1);
    case Final:
        return QDate(y + 1, 2, 1);
    case Deferred:
        return QDate(y + 1, 6, 11);
    case Qualification:
        return QDate(y + 1, 6, 15);
    default:
        return QDate(y, 9, 1);
    }
}

QDate sessionEnd(int ansId, int sesId)
{
    const int y = ansId - kFirstYear + 2006;
    switch (sesId) {
    case FirstTerm:
        return QDate(y + 1, 1, 31);
    case Final:
        return QDate(y + 1, 6, 10);
    case Deferred:
        return QDate(y + 1, 8, 31);
    case Qualification:
        return QDate(y + 1, 7, 10);
    default:
        return QDate(y + 1, 8, 31);
    }
}

School::School(int scale) : scale(scale), random(20080901)
{
    const QVector<Year> list = years();
    allYears.assign(list.begin(), list.end());
    planTeachers();
    // carried[section][acs] = pupils who will sit in that class next year.
    std::vector<std::vector<int>> carried(std::size_t(sections()) * 6);
    for (const Year &year : allYears) {
        const std::size_t firstClass = classes.size();
        planYear(year, carried);
        if (year.ansId == kWorkingYear)
            break;
        std::vector<std::vector<int>> next(carried.size());
        for (std::size_t c = firstClass; c < classes.size(); ++c) {
            const SchoolClass &cls = classes[c];
            for (int s : cls.situations) {
                const Situation &sit = situations[std::size_t(s)];
                if (sit.ordine != 1 || sit.posFin == Transferred || sit.posFin == Withdrawn)
                    continue;
                const bool repeats =
                    sit.posFin == NotAdmitted ||
                    std::count(sit.debtOutcomes.begin(), sit.debtOutcomes.end(), 2) > 0;
                const int acs = repeats ? cls.acs : cls.acs + 1;
                if (acs <= 5)
                    next[std::size_t(cls.section * 6 + acs)].push_back(sit.pupil);
            }
        }
        carried.swap(next);
    }
}

const Year &School::yearOf(int ansId) const
{
    return allYears[std::size_t(ansId - kFirstYear)];
}

const SchoolClass *School::findClass(int ansId, int section, int acs) const
{
    for (const SchoolClass &cls : classes)
        if (cls.ansId == ansId && cls.section == section && cls.acs == acs)
            return &cls;
    return nullptr;
}

void School::planTeachers()
{
    auto hire = [this] {
        Teacher t;
        t.anaId = kTeacherBase + 1 + int(teachers.size());
        t.female = random.percent(60);
        t.name =
            (t.female ? demoFemaleNames() : demoMaleNames())
                .at(random.below(int((t.female ? demoFemaleNames() : demoMaleNames()).size())));
        t.surname = demoSurnames().at(random.below(int(demoSurnames().size())));
        teachers.push_back(t);
        return int(teachers.size()) - 1;
    };
    for (int copy = 0; copy < scale; ++copy) {
        for (int track = 0; track < kTracks; ++track) {
            const int section = copy * kTracks + track;
            for (int group : trackGroups(track))
                teacherOf[{group, section}] = hire();
        }
        teacherOf[{EdFisG, copy}] = hire();
        teacherOf[{RelG, copy}] = hire();
    }
}

int School::teacherFor(int matId, int section) const
{
    const int group = groupOf(matId);
    if (group < 0)
        return 0;
    const int key = (group == EdFisG || group == RelG) ? section / kTracks : section;
    const auto it = teacherOf.find({group, key});
    return it == teacherOf.end() ? 0 : teachers[std::size_t(it->second)].anaId;
}

int School::coordinatorSubject(const SchoolClass &cls) const
{
    // Literature teachers coordinate the odd course years, mathematics the even ones.
    return cls.acs % 2 ? Italiano : (cls.track == 1 ? MatApplicata : Matematica);
}

int School::coordinatorOf(const SchoolClass &cls) const
{
    return teacherFor(coordinatorSubject(cls), cls.section);
}

int School::labAssistant(int section) const
{
    const auto it = teacherOf.find({LabItp, section});
    return it == teacherOf.end() ? 0 : teachers[std::size_t(it->second)].anaId;
}

int School::newPupil(int ansId, int acs, int track)
{
    Pupil p;
    p.anaId = int(pupils.size()) + 1;
    p.female = random.percent(track == 1 ? 55 : 48);
    const QStringList &names = p.female ? demoFemaleNames() : demoMaleNames();
    p.name = names.at(random.below(int(names.size())));
    p.surname = demoSurnames().at(random.below(int(demoSurnames().size())));
    const int bornIn = (ansId - kFirstYear + 2006) - 13 - acs;
    p.birth = QDate(bornIn, 1, 1).addDays(random.below(365));
    p.ability = 69 + random.bell(14) + (track == 0 ? 2 : 0);
    p.withoutReligion = random.percent(7);
    p.birthPlace = random.percent(90) ? 1 + random.below(3) : 4 + random.below(2);
    p.originSchool = 1 + random.below(2);
    pupils.push_back(p);
    return int(pupils.size()) - 1;
}

void School::planYear(const Year &year, const std::vector<std::vector<int>> &carried)
{
    m_debtsOfYear = 0;
    const bool working = year.ansId == kWorkingYear;
    const std::size_t firstClass = classes.size();
    for (int acs = 1; acs <= 5; ++acs) {
        for (int section = 0; section < sections(); ++section) {
            SchoolClass cls;
            cls.ansId = year.ansId;
            cls.acs = acs;
            cls.section = section;
            cls.track = section % kTracks;
            cls.clsId = year.ansId * 1000 + section * 10 + acs;
            cls.dwgSedId = cls.track == kVocational ? 3 : 2;
            cls.shortName = QString::number(acs) + sectionName(section);
            // In the working year the technical classes have only proposed votes so far.
            cls.finalVotes = !working || cls.track != 1;

            std::vector<int> roster = carried[std::size_t(section * 6 + acs)];
            const int target = roster.empty() ? random.between(20, 25) : random.between(20, 22);
            while (int(roster.size()) < target)
                roster.push_back(newPupil(year.ansId, acs, cls.track));
            std::sort(roster.begin(), roster.end(), [this](int a, int b) {
                const Pupil &pa = pupils[std::size_t(a)];
                const Pupil &pb = pupils[std::size_t(b)];
                if (pa.surname != pb.surname)
                    return pa.surname < pb.surname;
                if (pa.name != pb.name)
                    return pa.name < pb.name;
                return pa.anaId < pb.anaId;
            });
            for (int p : roster) {
                Situation sit;
                sit.sitId = int(situations.size()) + 1;
                sit.pupil = p;
                sit.clsId = cls.clsId;
                sit.clsPstId = cls.clsPst(pupils[std::size_t(p)].withoutReligion);
                sit.posReg = int(cls.situations.size()) + 1;
                cls.situations.push_back(int(situations.size()));
                situations.push_back(sit);
            }
            classes.push_back(cls);
        }
    }
    if (working)
        planSpecialCases();
    for (std::size_t c = firstClass; c < classes.size(); ++c) {
        if (!classes[c].finalVotes)
            continue;
        planFinalVotes(classes[c]);
        decideOutcomes(classes[c]);
    }
}

// Class 5A of the working year holds the cases the office meets: a pupil without religion,
// one off the register, one who moved in from 5B (a second situation), one suspended, one
// not admitted; the others are admitted.
void School::planSpecialCases()
{
    SchoolClass *a5 = nullptr;
    SchoolClass *b5 = nullptr;
    for (SchoolClass &cls : classes) {
        if (cls.ansId == kWorkingYear && cls.acs == 5 && cls.section == 0)
            a5 = &cls;
        if (cls.ansId == kWorkingYear && cls.acs == 5 && cls.section == 1)
            b5 = &cls;
    }
    Situation &noReligion = situations[std::size_t(a5->situations[1])];
    pupils[std::size_t(noReligion.pupil)].withoutReligion = true;
    noReligion.clsPstId = a5->clsPst(true);
    for (int s : a5->situations)
        situations[std::size_t(s)].posReg = 0;

    // The pupil who moved: the main situation stays in 5B, ended by the transfer.
    Situation &left = situations[std::size_t(b5->situations.back())];
    left.posFin = Transferred;
    left.leftOn = QDate(2009, 1, 15);
    Situation moved;
    moved.sitId = int(situations.size()) + 1;
    moved.pupil = left.pupil;
    moved.clsId = a5->clsId;
    moved.clsPstId = a5->clsPst(pupils[std::size_t(left.pupil)].withoutReligion);
    moved.ordine = 2;
    a5->situations.insert(a5->situations.end() - 1, int(situations.size()));
    situations.push_back(moved);

    // Register numbers again; the last pupil stays off the register.
    int n = 0;
    for (std::size_t i = 0; i + 1 < a5->situations.size(); ++i)
        situations[std::size_t(a5->situations[i])].posReg = ++n;
}

void School::planFinalVotes(SchoolClass &cls)
{
    QVector<int> subjects = trackSubjects(cls.track);
    if (cls.qualification())
        subjects << Ammissione;
    for (int s : cls.situations) {
        Situation &sit = situations[std::size_t(s)];
        if (sit.posFin == Transferred)
            continue;
        const Pupil &pupil = pupils[std::size_t(sit.pupil)];
        sit.finalEntered = true;
        for (int matId : subjects) {
            if (matId == Religione && pupil.withoutReligion)
                continue;
            const int affinity = random.bell(10);
            for (int cmp : subjectComponents(matId, Final)) {
                int value = 0;
                if (cmp == SingleTenths)
                    value = std::clamp(pupil.ability / 10 + 2 + random.between(-1, 1), 6, 10);
                else if (cmp == SingleHundredths)
                    value = std::clamp((pupil.ability - 5 + random.bell(16)) / 5 * 5, 30, 100);
                else if (cmp == ReligionJudgment)
                    value = pupil.ability + affinity;
                else if (cmp == WrittenTenths || cmp == OralTenths || cmp == PracticalTenths)
                    value = clampVote(pupil.ability + affinity + random.bell(4));
                else
                    continue; // taxonomies are written later
                sit.finalVotes.push_back({matId, cmp, value});
            }
        }
    }
    if (cls.ansId != kWorkingYear || cls.acs != 5 || cls.section != 0)
        return;
    // Class 5A: force the outcomes the office's cases need.
    for (std::size_t i = 0; i < cls.situations.size(); ++i) {
        Situation &sit = situations[std::size_t(cls.situations[i])];
        int lowered = 0;
        const int wanted = i == 2 ? 2 : (i == 3 ? 5 : 0); // suspended, not admitted
        int lastSubject = 0;
        for (FinalVote &v : sit.finalVotes) {
            if (v.cmpScaId == SingleTenths || v.cmpScaId == ReligionJudgment ||
                v.cmpScaId == SingleHundredths)
                continue;
            if (v.matId != lastSubject) {
                lastSubject = v.matId;
                ++lowered;
            }
            v.value = lowered <= wanted ? (i == 3 ? 4 : 5) : std::max(v.value, 6);
        }
    }
}

void School::decideOutcomes(SchoolClass &cls)
{
    for (int s : cls.situations) {
        Situation &sit = situations[std::size_t(s)];
        if (!sit.finalEntered)
            continue;
        // A subject is insufficient when the mean of its vote components is below 6.
        std::map<int, std::pair<int, int>> sums;
        bool badConduct = false;
        for (const FinalVote &v : sit.finalVotes) {
            if (v.cmpScaId == SingleTenths && v.value < 6)
                badConduct = true;
            if (!isOrdinary(v.matId))
                continue;
            sums[v.matId].first += v.value;
            sums[v.matId].second += 1;
        }
        std::vector<int> insufficient;
        for (const auto &[matId, sum] : sums)
            if (sum.first < 6 * sum.second)
                insufficient.push_back(matId);
        if (badConduct || insufficient.size() >= 4) {
            sit.posFin = NotAdmitted;
        } else if (!insufficient.empty()) {
            sit.posFin = Suspended;
            sit.debts = insufficient;
            // Earlier years' debts were verified in a fixed pattern, so every year has debts
            // made up, not made up and still open; the working year's are all open.
            for (std::size_t i = 0; i < insufficient.size(); ++i) {
                const int k = m_debtsOfYear++;
                int outcome = 1;
                if (cls.ansId == kWorkingYear || k % 10 == 3)
                    outcome = 0;
                else if (k % 10 == 5 || k % 10 == 8)
                    outcome = 2;
                sit.debtOutcomes.push_back(outcome);
            }
        } else {
            sit.posFin = Admitted;
        }
    }
}

} // namespace demo
