#include "exports/qelpupilsummary.h"

#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QLocale>
#include <QSqlRecord>

#include <cmath>
#include <vector>

namespace {

const char kSchoolYears[] =
    "SELECT Ans.iAnsId, CAST(Ans.iAnsValore AS VARCHAR(4)) || '/' || "
    "CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) FROM TAns_AnniScolast Ans ORDER BY Ans.iAnsValore";

const char kSession[] = "SELECT Asd.iSfiId, Asd.iAnsSesDwgOrdine FROM TAnsSesDwg Asd "
                        "WHERE Asd.iAnsSesDwgId = :iAnsSesDwgId";

// The main situation of each pupil who started the year in a class of the institute that has
// the session, with that class session (one per class and session).
const char kPupils[] = "SELECT Sit.iSitId, ClsSes.iClsSesId FROM TSit_Situazioni Sit "
                       "INNER JOIN TAns_AnniScolast Ans ON (Ans.dAnsVextoInizio = Sit.dStart) "
                       "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
                       "INNER JOIN TCls_Classi Cls ON (Cls.iClsId = ClsPst.iClsId) "
                       "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsId = Cls.iClsId) "
                       "WHERE Sit.iSitOrdine = 1 AND Ans.iAnsId = :iAnsId "
                       "AND Cls.iDwgId = :iDwgId AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId ";
// A deferred session concerns only the pupils whose judgment was suspended.
const char kOnlySuspended[] = "AND Sit.iPosFinId_Sosp IS NOT NULL ";
const char kPupilOrder[] = "ORDER BY Sit.iSitId";

// The pupil's votes in the class sessions of the session.
const char kVotes[] = "FROM TVot_Voti Vot "
                      "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Vot.iScaLivId) "
                      "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = Vot.iClsMatCmpId) "
                      "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
                      "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = CmpSca.iCmpId) "
                      "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
                      "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
                      "INNER JOIN TMatRMa Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) ";
const char kOfPupil[] = "WHERE Vot.iSitId = :iSitId AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId ";
// A subject is found by its parent's name: applied mathematics counts as mathematics.
const char kOfParent[] = "INNER JOIN TMat_Materie MatP ON (MatP.iMatId = Mrm.iMatId_P) ";
const char kParentNamed[] = "AND UPPER(MatP.sMatLDesc) = :sMatLDesc ";
const char kWritten[] = "AND (Cmp.iCmpId = 1 OR UPPER(Cmp.sCmpLDesc) LIKE '%SCRITTO%')";
const char kNotWritten[] = "AND Cmp.iCmpId <> 1 AND UPPER(Cmp.sCmpLDesc) NOT LIKE '%SCRITTO%'";

// Averages of integer levels are taken over their values cast to FLOAT: over the INTEGER
// column the engine would truncate (6 and 7 would average 6, not 6.5).
const char kDistinctValue[] = "SELECT DISTINCT CAST(ScaLiv.iScaLivValore AS FLOAT) AS iValDato ";
const char kAverageValue[] = "SELECT AVG(CAST(ScaLiv.iScaLivValore AS FLOAT)) AS iValDato ";

const char kConduct[] = "SELECT DISTINCT ScaLiv.iScaLivValore AS iValDato ";
const char kOfConduct[] = "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Mrm.iMatId) ";
const char kConductCode[] = "AND Mat.sMatCodVexto = 'CONDOTTA'";

// A level without a value is not below 8.
const char kCounted[] = "SELECT COUNT(*), COUNT(CASE WHEN ScaLiv.iScaLivValore < 8 THEN 1 END) ";
const char kInAverage[] = "AND ScaLiv.iScaLivInMedia = 1";

// Every report-card session of the year up to the chosen one, never a deferred one.
const char kAbsences[] = "SELECT SUM(Ass.iAssOre) FROM TAss_Assenze Ass "
                         "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Ass.iClsSesMatId) "
                         "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
                         "INNER JOIN TAnsSesDwg Asd ON (Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
                         "WHERE Ass.iSitId = :iSitId AND Asd.iSfiId <> 3 "
                         "AND Asd.lAnsSesDwgPagella = 1 AND Asd.iAnsId = :iAnsId "
                         "AND Asd.iAnsSesDwgOrdine <= :iAnsSesDwgOrdine";

QString text(std::initializer_list<const char *> parts)
{
    QString sql;
    for (const char *part : parts)
        sql += QString::fromLatin1(part);
    return sql;
}

// Built once: the transaction finds its prepared statement by the text.
struct Statements
{
    QString pupils = text({kPupils, kPupilOrder});
    QString suspendedPupils = text({kPupils, kOnlySuspended, kPupilOrder});
    QString conduct = text({kConduct, kVotes, kOfConduct, kOfPupil, kConductCode});
    QString written = text({kDistinctValue, kVotes, kOfParent, kOfPupil, kParentNamed, kWritten});
    QString oral = text({kAverageValue, kVotes, kOfParent, kOfPupil, kParentNamed, kNotWritten});
    QString wholeSubject = text({kAverageValue, kVotes, kOfParent, kOfPupil, kParentNamed});
    // The level found from the vote, not the vote from the level ("+ 0"): with the filter on
    // the level the database would start from the levels and, for each, read the votes of the
    // level and of the pupil in two indexes, growing with the school.
    QString counted =
        text({kCounted, kVotes, kOfPupil, kInAverage})
            .replace(QStringLiteral("= Vot.iScaLivId)"), QStringLiteral("= Vot.iScaLivId + 0)"));
    QString absences = QString::fromLatin1(kAbsences);
};

const Statements &statements()
{
    static const Statements texts;
    return texts;
}

QString update(const char *column)
{
    return QStringLiteral("UPDATE TSit_Situazioni SET %1 = :%1 WHERE iSitId = :iSitId")
        .arg(QString::fromLatin1(column));
}

struct Pupil
{
    int iSitId = 0;
    int iClsSesId = 0;
};

// The first column of the first row, null when there is none; the rest are left unread, as the
// first of several distinct votes is the one taken.
QVariant firstValue(QSqlQuery &query)
{
    const QVariant value = fetchNext(query) ? query.value(0) : QVariant();
    query.finish();
    return value;
}

class Run
{
public:
    Run(const PupilSummaryRequest &request, const PupilSummaryProgress &progress)
        : m_request(request), m_progress(progress)
    {
    }

    void all()
    {
        readSession();
        readPupils();
        const auto &wanted = m_request.wanted;
        if (!m_pupils.empty())
            SetAnsIdMedia(m_request.iAnsId);
        if (wanted[psMediaVot] || wanted[psVotoCond])
            pass(wanted[psMediaVot] ? psMediaVot : psVotoCond, [this](const Pupil &p) {
                if (m_request.wanted[psMediaVot])
                    writeAverage(p);
                if (m_request.wanted[psVotoCond])
                    writeConduct(p);
            });
        const struct
        {
            TPupilSummaryValue value;
            void (Run::*write)(const Pupil &);
        } passes[] = {
            {psAssenze, &Run::writeAbsences},   {psVotoIta, &Run::writeItalian},
            {psVotoMat, &Run::writeMaths},      {psVotoIngl, &Run::writeEnglish},
            {psVotiMagg8, &Run::writeAtLeast8},
        };
        for (const auto &p : passes)
            if (wanted[p.value])
                pass(p.value, [this, &p](const Pupil &pupil) { (this->*p.write)(pupil); });
    }

private:
    void readSession()
    {
        VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kSession),
                  valuesOf({{"iAnsSesDwgId", m_request.iAnsSesDwgId}}),
                  [this](const QSqlQuery &q, const QSqlRecord &) {
                      m_iSfiId = q.value(0).toInt();
                      m_ordine = q.value(1);
                  });
    }

    void readPupils()
    {
        const Statements &sql = statements();
        VxEachRow(qqoVxGlobConn(), m_iSfiId == 3 ? sql.suspendedPupils : sql.pupils,
                  valuesOf({{"iAnsId", m_request.iAnsId},
                            {"iDwgId", m_request.iDwgId},
                            {"iAnsSesDwgId", m_request.iAnsSesDwgId}}),
                  [this](const QSqlQuery &q, const QSqlRecord &) {
                      m_pupils.push_back({q.value(0).toInt(), q.value(1).toInt()});
                  });
    }

    void pass(TPupilSummaryValue value, const std::function<void(const Pupil &)> &write)
    {
        if (m_progress.pass)
            m_progress.pass(QStringLiteral("Esportazione: ") +
                                QString::fromUtf8(pupilSummaryBoxes()[value].caption),
                            int(m_pupils.size()));
        TVxTransaction tr(qqoVxGlobConn());
        if (!tr.StartTransaction())
            throw EVxException(
                QStringLiteral("Impossibile avviare una transazione.\r\r%1").arg(tr.lastError()));
        m_tr = &tr;
        try {
            for (const Pupil &pupil : m_pupils) {
                write(pupil);
                if (m_progress.step)
                    m_progress.step();
            }
        } catch (const EVxException &) {
            // A statement the engine refuses changes nothing, so what ran before it is kept,
            // as it would be had each update committed by itself; the refusal is what the
            // office is told, even when the connection is gone and this commit fails too.
            try {
                tr.Commit();
            } catch (const EVxException &) {
            }
            throw;
        }
        tr.Commit();
    }

    QSqlQuery &select(const QString &sql, const Pupil &pupil,
                      std::initializer_list<std::pair<const char *, QVariant>> more = {})
    {
        TVxFieldValues values = valuesOf({{"iSitId", pupil.iSitId}});
        for (const auto &[name, value] : more)
            values.setValue(QString::fromLatin1(name), value);
        return m_tr->Exec(sql, values);
    }

    void write(const char *column, const Pupil &pupil, const QVariant &value)
    {
        m_tr->ExecRow(update(column), valuesOf({{column, value}, {"iSitId", pupil.iSitId}}));
    }

    void writeAverage(const Pupil &p)
    {
        const double average = MediaVoti(p.iSitId, -1, p.iClsSesId, false);
        if (average > 0)
            write("sSitVoto", p, FormatMediaVoti(average));
    }

    void writeConduct(const Pupil &p)
    {
        const QVariant vote =
            firstValue(select(statements().conduct, p, {{"iAnsSesDwgId", m_request.iAnsSesDwgId}}));
        write("sSitVotoCond", p, QString::number(vote.toInt()));
    }

    void writeAbsences(const Pupil &p)
    {
        const QVariant hours =
            firstValue(select(statements().absences, p,
                              {{"iAnsId", m_request.iAnsId}, {"iAnsSesDwgOrdine", m_ordine}}));
        write("iSitOreAssenza", p, hours.toInt());
    }

    QVariant subjectVote(const QString &sql, const Pupil &p, const char *subject)
    {
        return RoundUpToInt(firstValue(select(sql, p,
                                              {{"iAnsSesDwgId", m_request.iAnsSesDwgId},
                                               {"sMatLDesc", QString::fromLatin1(subject)}})));
    }

    void writeWrittenAndOral(const Pupil &p, const char *subject, const char *written,
                             const char *oral)
    {
        write(written, p, subjectVote(statements().written, p, subject));
        write(oral, p, subjectVote(statements().oral, p, subject));
    }

    void writeItalian(const Pupil &p)
    {
        writeWrittenAndOral(p, "ITALIANO", "iSitVotItaliano", "iSitVotItaOrale");
    }
    void writeMaths(const Pupil &p)
    {
        writeWrittenAndOral(p, "MATEMATICA", "iSitVotMatematica", "iSitVotMatOrale");
    }
    void writeEnglish(const Pupil &p)
    {
        write("iSitVotInglese", p, subjectVote(statements().wholeSubject, p, "INGLESE"));
    }

    void writeAtLeast8(const Pupil &p)
    {
        QSqlQuery &query =
            select(statements().counted, p, {{"iAnsSesDwgId", m_request.iAnsSesDwgId}});
        int counted = 0, below8 = 0;
        if (fetchNext(query)) {
            counted = query.value(0).toInt();
            below8 = query.value(1).toInt();
        }
        query.finish();
        write("iSitVotiMagg8", p, counted > 0 && below8 == 0 ? 1 : 0);
    }

    const PupilSummaryRequest &m_request;
    const PupilSummaryProgress &m_progress;
    int m_iSfiId = 0;
    QVariant m_ordine;
    std::vector<Pupil> m_pupils;
    TVxTransaction *m_tr = nullptr;
};

} // namespace

const std::array<PupilSummaryBox, psValueCount> &pupilSummaryBoxes()
{
    static const std::array<PupilSummaryBox, psValueCount> boxes = {{
        {"cbMediaVot", "Media voti"},
        {"cbVotoCond", "Voto condotta"},
        {"cbAssenze", "Ore di assenza"},
        {"cbVotoIta", "Voto Italiano"},
        {"cbVotoMat", "Voto Matematica"},
        {"cbVotoIngl", "Voto Inglese"},
        {"cbVotiMagg8", "Voti >= 8 in tutte le materie"},
    }};
    return boxes;
}

TVxEnumItems PupilSummaryExport::schoolYears() const
{
    TVxEnumItems items;
    LoadEnumValues(qqoVxGlobConn(), items, QString::fromLatin1(kSchoolYears));
    return items;
}

void PupilSummaryExport::run(const PupilSummaryRequest &request,
                             const PupilSummaryProgress &progress) const
{
    VxExplain(QStringLiteral("Esportazione interrotta: i valori scritti fin qui restano "
                             "registrati."),
              [&] { Run(request, progress).all(); });
}

QVariant RoundUpToInt(const QVariant &value)
{
    if (value.isNull())
        return QVariant(QMetaType::fromType<int>());
    return int(std::ceil(value.toDouble()));
}

QString FormatMediaVoti(double average)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(RoundTo(average, -2), 'f', 2);
    const QString zero = locale.zeroDigit();
    while (text.endsWith(zero))
        text.chop(zero.size());
    if (text.endsWith(locale.decimalPoint()))
        text.chop(locale.decimalPoint().size());
    // "#" prints no digit where the number has none: a leading zero goes.
    if (text.startsWith(zero + locale.decimalPoint()))
        text.remove(0, zero.size());
    return text;
}
