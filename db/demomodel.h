#pragma once

// The demo school planned in memory before it is written: classes, pupils, their
// situations and final votes. Planning first lets each year's outcomes decide who moves up.

#include "db/seedrandom.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <map>
#include <vector>

namespace demo {

// Fixed keys the program and its tests rely on.
constexpr int kInstitute = 2;         // iDwgId; 1 is reserved by the suite
constexpr int kFirstYear = 37;        // iAnsId of 2006/2007
constexpr int kWorkingYear = 39;      // iAnsId of 2008/2009
constexpr int kTeacherBase = 1000000; // teachers are kTeacherBase + 1 ...

// Sessions (iSesId) and their kinds (iSfiId).
enum Session { FirstTerm = 1, Final = 2, Deferred = 3, Qualification = 4, Lumeno = 5 };

// Year-session key: iAnsId * 10 + iSesId (392 = final session of 2008/2009).
inline int yearSession(int ansId, int sesId)
{
    return ansId * 10 + sesId;
}
// Make-up phase of a year: iAnsId * 10 + iFreId.
inline int yearPhase(int ansId, int freId)
{
    return ansId * 10 + freId;
}

// Subjects (iMatId); the node of a subject (iMatRmaId) has the same key.
enum Subject {
    Italiano = 1,
    Storia,
    Matematica,
    Inglese,
    Scienze,
    Fisica,
    Latino,
    Economia,
    Informatica,
    Diritto,
    Laboratorio,
    EdFisica,
    Religione,
    Condotta,
    Ammissione,
    Qualifica,
    ProvaScritta,
    ProvaPratica,
    MatApplicata
};

// Component-scales (iCmpScaId).
enum CmpSca {
    WrittenTenths = 1,
    OralTenths,
    PracticalTenths,
    SingleTenths,
    SingleHundredths,
    ReligionJudgment,
    Commitment,
    Participation,
    MakeUpType,
    MakeUpOutcome,
    Other,
    Profit // a taxonomy in tenths that counts in the averages
};

// Levels of the scales (iScaLivId): tenths 100 + v (100 = "NC"), hundredths 200 + v / 5,
// judgments 301 (OTTIMO) .. 305 (INSUFFICIENTE), make-up types 401.., outcomes 501..
inline int tenthsLevel(int v)
{
    return 100 + v;
}
constexpr int kNotClassified = 100;
inline int hundredthsLevel(int v)
{
    return 200 + v / 5;
}
int judgmentLevel(int tenths); // a judgment level near a vote in tenths

// Final positions (iPosFinId).
enum Position { Admitted = 1, NotAdmitted = 2, Suspended = 11, Transferred = 17, Withdrawn = 19 };

// Three course types: a liceo, a technical and a vocational course whose third year ends
// with the qualification exam. Sections: index = copy * 3 + track (A liceo, B technical,
// C vocational at scale 1).
constexpr int kTracks = 3;
constexpr int kVocational = 2;
QString trackName(int track);
QVector<int> trackSubjects(int track); // ordinary subjects taught, in plan order
QString sectionName(int index);        // "A".."Z", then "A2".."Z2" ...

inline int planOf(int track, bool withoutReligion)
{
    return (track + 1) * 10 + (withoutReligion ? 2 : 1);
}

// Vote components of a subject (component-scales) in a session.
QVector<int> subjectComponents(int matId, int sesId);
// The subjects of the working year's 2C with the profit taxonomy in the final session.
inline QVector<int> profitSubjects()
{
    return {Italiano, Matematica, Religione};
}

struct Year
{
    int ansId;
    int valore;
    QDate start() const { return QDate(valore, 9, 1); }
    QDate end() const { return QDate(valore + 1, 8, 31); }
};
QVector<Year> years();
QDate sessionStart(int ansId, int sesId);
QDate sessionEnd(int ansId, int sesId);

struct Pupil
{
    int anaId = 0;
    QString surname;
    QString name;
    bool female = false;
    QDate birth;
    int ability = 65; // tenths of a vote: 65 = 6.5
    bool withoutReligion = false;
    int birthPlace = 1;   // iSrpcId
    int originSchool = 1; // iScuId
};

struct FinalVote
{
    int matId;
    int cmpScaId;
    int value; // tenths scale 1..10, hundredths 0..100, 0 = not classified
};

struct Situation
{
    int sitId = 0;
    int pupil = 0; // index into School::pupils
    int clsId = 0;
    int clsPstId = 0;
    int ordine = 1;
    int posReg = 0;
    int posFin = 0; // 0 = no outcome yet
    QDate leftOn;   // transfer or withdrawal date
    bool finalEntered = false;
    std::vector<FinalVote> finalVotes; // the final session's votes (when entered)
    std::vector<int> debts;            // subjects left insufficient (suspended pupils)
    std::vector<int> debtOutcomes;     // per debt: 0 still open, 1 made up, 2 not made up
};

struct SchoolClass
{
    int clsId = 0;
    int ansId = 0;
    int acs = 0; // course year 1..5
    int section = 0;
    int track = 0;
    int dwgSedId = 0;
    QString shortName;
    std::vector<int> situations; // indexes into School::situations, register order
    bool finalVotes = false;     // the working year's final votes are entered (else proposals)
    bool qualification() const { return track == kVocational && acs == 3; }
    int clsPst(bool withoutReligion) const { return clsId * 10 + (withoutReligion ? 2 : 1); }
    int clsSes(int sesId) const { return clsId * 10 + sesId; }
};

struct Teacher
{
    int anaId = 0;
    QString surname;
    QString name;
    bool female = false;
};

struct School
{
    explicit School(int scale);

    int scale;
    SeedRandom random;
    std::vector<Pupil> pupils;
    std::vector<Situation> situations;
    std::vector<SchoolClass> classes;
    std::vector<Teacher> teachers;
    // (group, section) -> teacher index; see teacherFor().
    std::map<std::pair<int, int>, int> teacherOf;

    int sections() const { return scale * kTracks; }
    const SchoolClass *findClass(int ansId, int section, int acs) const;
    int teacherFor(int matId, int section) const; // iAnaId, 0 when nobody teaches it
    int coordinatorOf(const SchoolClass &cls) const;
    int coordinatorSubject(const SchoolClass &cls) const;
    int labAssistant(int section) const; // the second teacher of the laboratory
    const Year &yearOf(int ansId) const;
    std::vector<Year> allYears;

private:
    void planTeachers();
    void planYear(const Year &year, const std::vector<std::vector<int>> &carried);
    void planFinalVotes(SchoolClass &cls);
    void decideOutcomes(SchoolClass &cls);
    void planSpecialCases();
    int m_debtsOfYear = 0;
    int newPupil(int ansId, int acs, int track);
};

} // namespace demo
