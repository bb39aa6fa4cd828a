// The collections' matrix, generated from their one table of rules (QelCollectedValues::Kinds):
// every kind on every route the table says brings it back, with every variant a row of it can
// come in. Each cell sends the route's baseline (the teacher 1000001 or the class 5A of the demo
// school), edits one row as the variant says, collects, and compares every table the
// collections write before and after: a refused row changes nothing and is told once, naming
// its pupil (with the subject, where the kind has one) and its cause; a row taken changes its
// value alone, counted; a debt the office deleted after the send is told and refuses nothing.
#include "exchange/qelcollectedvalues.h"
#include "exchange/qeldocfolder.h"
#include "exchange/qelexportpst.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebrecupericollect.h"
#include "exchange/qelwebrecuperipackets.h"
#include "exchange/qelwebsessionpackets.h"
#include "exchange/qelxml.h"
#include "gradeentry/qevcrestore.h"
#include "platform/clientdataset.h"
#include "platform/globalvars.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "tests/support/classtables.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

#include <optional>

namespace {

enum Variant {
    RepeatSame,
    RepeatOther,
    Negative,
    OutOfBand,
    OtherBand,
    BandZero,
    OtherSession,
    OtherTeacher,
    UnknownKey,
    NoSuchDate
};
const char *const kVariants[] = {"ripetuta uguale", "ripetuta diversa", "negativa",
                                 "fuori banda",     "altra banda",      "banda 0",
                                 "altra sessione",  "altro docente",    "chiave sconosciuta",
                                 "data inesistente"};

constexpr int kClass = 39005, kSession = 392, kFirstTerm = 390051, kTeacher = 1000001;
constexpr unsigned kFolders = kRouteClassFolder | kRouteTeacherFolder | kRoutePlanFolders,
                   kWeb = kRouteWebByClass | kRouteWebByTeacher;
// The routes of a teacher, and those whose packets hold dates as the teachers wrote them.
constexpr unsigned kTeacherRoutes =
    kRouteTeacherFolder | kRouteBinaryFolder | kWeb | kRouteMakeUpWeb;
constexpr unsigned kTextDates = kWeb | kRouteMakeUpWeb;

// Where a kind's rows lie in a route's packets: the value, and the key an unknown or another
// session's or teacher's value of which places the row elsewhere.
struct Place
{
    const char *kind;
    unsigned routes;
    const char *packet;
    const char *value;
    const char *key;
};
const Place kPlaces[] = {
    {"voti", kFolders, "ClsVot.xml", "iValId", "iCmpScaId"},
    {"voti", kRouteBinaryFolder, "voti.cds", "iScaLivId_vot1", "iClsMatCmpId_vot1"},
    {"voti proposti", kFolders, "ClsVtp.xml", "iValId", "iCmpScaId"},
    {"voti proposti", kRouteBinaryFolder, "voti.cds", "iScaLivId_vtp1", "iClsMatCmpId_vtp1"},
    {"voti proposti", kWeb, "voti.xml", "iScaLivId_vtp1", "iClsMatCmpId_vtp1"},
    {"tassonomie", kFolders, "ClsTas.xml", "iValId", "iCmpScaId"},
    {"tassonomie", kRouteBinaryFolder, "voti.cds", "iScaLivId_tas1", "iClsMatCmpId_tas1"},
    {"tassonomie", kWeb, "voti.xml", "iScaLivId_tas1", "iClsMatCmpId_tas1"},
    {"assenze", kFolders, "ClsAss.xml", "iValId", "iClsSesMatId"},
    {"assenze", kRouteBinaryFolder, "voti.cds", "iAssOre", "iClsSesMatId"},
    {"assenze", kWeb, "voti.xml", "iAssOre", "iClsSesMatId"},
    {"aiuti", kFolders, "ClsAiu.xml", "sValSDesc", "iClsSesMatId"},
    {"aiuti", kRouteBinaryFolder, "voti.cds", "sAiuVal", "iClsSesMatId"},
    {"aiuti", kWeb, "voti.xml", "sAiuVal", "iClsSesMatId"},
    {"note", kFolders, "ClsNot.xml", "bNotNota", "iClsSesMatId"},
    {"note", kRouteBinaryFolder, "voti.cds", "bNotNota", "iClsSesMatId"},
    {"note", kWeb, "voti.xml", "bNotNota", "iClsSesMatId"},
    {"note di classe", kWeb, "classenote.xml", "iClnOre", "iMatId"},
    {"giudizi", kFolders, "ClsGdz.xml", "bGdzGiudizio", "iAnsSesDwgId"},
    {"esiti finali", kFolders, "ClsFin.xml", "iPosFinId", "iPosFinId"},
    {"crediti", kFolders, "ClsCre.xml", "iCreCredito", "iEncId"},
    {"debiti", kFolders, "ClsDeb.xml", "iDesDedId", "iDesDedId"},
    {"verifiche dei debiti", kFolders, "ClsDeb.xml", "iDesDedId", "iMatId"},
    {"verifiche dei debiti", kRouteBinaryFolder, "debiti.cds", "iDesDedId", "iMatId"},
    {"verifiche dei debiti", kWeb, "debiti.xml", "iDesDedId", "iMatId"},
    {"recuperi", kFolders, "Rec.xml", "iEreId", "iEreId"},
    {"recuperi", kRouteMakeUpWeb, "recuperi.xml", "iEreId", "iEreId"},
};

// The letter of the kind's rows in classTablesSnapshot.
QString letterOf(const QString &kind)
{
    static const QHash<QString, QString> letters = {
        {"voti", "V"},           {"voti proposti", "P"}, {"tassonomie", "T"},
        {"assenze", "A"},        {"aiuti", "U"},         {"note", "N"},
        {"note di classe", "Q"}, {"giudizi", "G"},       {"esiti finali", "S"},
        {"crediti", "K"},        {"debiti", "D"},        {"verifiche dei debiti", "D"},
        {"recuperi", "R"}};
    return letters.value(kind);
}

bool applies(const QelCollectKind &kind, unsigned route, Variant v)
{
    switch (v) {
    case Negative:
        return *kind.numbers;
    case OutOfBand:
    case OtherBand:
    case BandZero:
        return kind.credit;
    case OtherSession:
        return *kind.session || kind.level >= 0 || kind.hours || kind.aid ||
               QLatin1String(kind.name) == u"note";
    case OtherTeacher:
        return kind.teachers && (route & kTeacherRoutes);
    case NoSuchDate:
        return *kind.dates && (route & kTextDates);
    default:
        return true;
    }
}

class CollectMatrix : public RunningProgram
{
protected:
    struct Outcome
    {
        QString text; // every line the office reads
        bool whole = false;
    };

    void SetUp() override
    {
        RunningProgram::SetUp();
        for (TVxParInteger *f : {&dmqelParGen->xpiVot, &dmqelParGen->xpiVtp, &dmqelParGen->xpiTas,
                                 &dmqelParGen->xpiAss, &dmqelParGen->xpiAiu, &dmqelParGen->xpiNot,
                                 &dmqelParGen->xpiDeb})
            f->SetValore(1);
        runSql("UPDATE TClsSes SET iClsSesVot = 1, iClsSesVtp = 1, iClsSesTas = 1, iClsSesAss = 1, "
               "iClsSesAiu = 1, iClsSesNot = 1, iClsSesDeb = 1, iClsSesEsi = 1, iClsSesGdz = 1, "
               "iClsSesCre = 1 WHERE iClsSesId = 390052");
        reset();
        // Barbieri Elisa's (955) values of every kind in Italian (1320, his subject), on both its
        // vote and both its taxonomy components.
        // The demo's make-up record entered twice, which the duplicate check clears before a send.
        runSql("DELETE FROM TRec_Recuperi WHERE dRecAttr = '2009-06-21'");
        for (const auto &[kind, table, component] :
             {std::tuple{1, "TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId", 3175},
              {1, "TVtp_Proposti (iVtpId, iClsMatCmpId, iSitId, iPrpScaLivId", 3176},
              {2, "TTas_Tassonomie (iTasId, iClsMatCmpId, iSitId, iScaLivId", 3177},
              {2, "TTas_Tassonomie (iTasId, iClsMatCmpId, iSitId, iScaLivId", 3178}}) {
            TqevValStore levels(kind);
            levels.CaricaLivelli();
            const int scale =
                scalar("SELECT iCmpScaId FROM TClsMatCmp WHERE iClsMatCmpId = ?", {component})
                    .toInt();
            runSql(QStringLiteral("UPDATE OR INSERT INTO %1, dStart, dEnd) VALUES (?, ?, 955, ?, "
                                  "'2008-09-01', '2009-08-31') MATCHING (iClsMatCmpId, iSitId)")
                       .arg(QLatin1String(table)),
                   {9700000 + component, component, levels.Livelli(scale).value(0).iValId});
        }
        runSql("UPDATE OR INSERT INTO TAiu_Aiuti (iAiuId, iClsSesMatId, iSitId, sAiuVal, dStart, "
               "dEnd) VALUES (9700001, 1320, 955, 'R', '2008-09-01', '2009-08-31') MATCHING "
               "(iClsSesMatId, iSitId)");
        runSql("INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, dStart, "
               "dEnd) VALUES (9700002, 1320, 955, '2009-01-10', 'Nota', '2008-09-01', "
               "'2009-08-31')");
        base = db.mainDir.path() + QStringLiteral("matrice/");
    }

    // The teacher's open debt to verify, of a pupil of 5A in an earlier year, open again; the
    // notes of a pupil in a subject one again, as the web knows them.
    static void reset()
    {
        runSql("UPDATE TDeb_Debiti SET iDesDedId = NULL, dDebVer = NULL WHERE iDebId = 43");
        runSql("DELETE FROM TNot_Note WHERE iSitId = 955 AND iClsSesMatId = 1320 AND iNotId > "
               "(SELECT MIN(iNotId) FROM TNot_Note WHERE iSitId = 955 AND iClsSesMatId = 1320)");
    }

    QString folderOf(unsigned route) const { return base + QString::number(route) + u'/'; }

    // The route's baseline, written as its send writes it.
    void send(unsigned route)
    {
        const QString folder = folderOf(route);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const auto exportClass = [](const QString &into, int plan) {
            QDir().mkpath(into);
            TdmqelXML xml;
            xml.iMode = 1;
            xml.SetSessionKind(2);
            xml.LoadClassFlags(kClass);
            xml.sFolder = into;
            xml.iClsSesId = 390052;
            xml.iPstId = plan;
            xml.ExportClassData();
            TClientDataSet summary;
            summary.AddFieldDef("iSitId", ftInteger);
            summary.AddFieldDef("Cr", ftFloat);
            summary.AddFieldDef("Cr_UM", ftString, 1);
            summary.CreateDataSet();
            QDir().mkpath(into + "outfin");
            summary.SaveToFile(into + "outfin/QEVAluRiep.xml", dfXML);
        };
        if (route == kRouteClassFolder) {
            exportClass(folder, -1);
        } else if (route == kRoutePlanFolders) {
            for (const TqelClassPlan &plan : ClassPlans(kClass))
                exportClass(folder + PlanFolderName(plan.description) + u'/', plan.id);
        } else if (route == kRouteTeacherFolder) {
            TdmqelXML xml;
            xml.iAnaId = kTeacher;
            xml.sFolder = folder;
            xml.ExportTeacherData();
        } else if (route == kRouteBinaryFolder) {
            QelTeacherFolderWriter(kSession, 39, TVxWorkingContext::institute(), false,
                                   {{"Vot", 1},
                                    {"Vtp", 1},
                                    {"Tas", 1},
                                    {"Ass", 1},
                                    {"Aiu", 1},
                                    {"Not", 1},
                                    {"Deb", 1}})
                .WriteTeacherFolder(base, {kTeacher, 1, "Docente", QString::number(route)});
        } else if (route == kRouteMakeUpWeb) {
            QelWebMakeUpPackets packets(1, 39);
            packets.AddTeacher(kTeacher);
            packets.Write(folder);
        } else {
            QelWebSessionPackets packets(kSession, 39,
                                         {{"Vot", 1},
                                          {"Vtp", 1},
                                          {"Tas", 1},
                                          {"Ass", 1},
                                          {"Aiu", 1},
                                          {"Not", 1},
                                          {"Deb", 1}});
            packets.AddTeacher(kTeacher, "Docente", "x");
            packets.Write(folder);
            // The class notes, which only the service writes.
            TClientDataSet notes;
            for (const char *c : {"iDocId", "iAnsSesDwgId", "iClsId", "iMatId", "iClnOre"})
                notes.AddFieldDef(c, ftInteger);
            notes.AddFieldDef("bClnNota", ftString, 200);
            notes.CreateDataSet();
            for (QSqlQuery q = runSql(
                     "SELECT C.iAnaId, A.iSesId, S.iClsId, R.iMatId, C.iCnoOre, C.bCnoNota FROM "
                     "TCno_ClassiNoteOre C JOIN TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId "
                     "JOIN TClsSes S ON S.iClsSesId = M.iClsSesId JOIN TAnsSesDwg A ON "
                     "A.iAnsSesDwgId = S.iAnsSesDwgId JOIN TMatRma R ON R.iMatRmaId = "
                     "M.iMatRmaId WHERE C.iAnaId = ? AND S.iClsSesId = 390052",
                     {kTeacher});
                 q.next();) {
                notes.Append();
                for (int i = 0; i < 6; ++i)
                    notes.Fields(i)->setValue(q.value(i));
                notes.Post();
            }
            notes.SaveToFile(folder + "classenote.xml", dfXML);
        }
    }

    // The file of the route's packet that holds the place's row (a plan folder's, a binary
    // folder under its teacher's name).
    QString packetFile(unsigned route, const Place &place) const
    {
        QString folder = folderOf(route);
        if (route == kRouteBinaryFolder)
            folder = QelTeacherFolderWriter::FolderOf(
                base, {kTeacher, 1, "Docente", QString::number(route)});
        if (route != kRoutePlanFolders)
            return folder + QLatin1String(place.packet);
        for (const QString &plan : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            TClientDataSet p;
            p.LoadFromFile(folder + plan + u'/' + QLatin1String(place.packet));
            for (p.First(); !p.Eof(); p.Next())
                if (usable(route, place, p))
                    return folder + plan + u'/' + QLatin1String(place.packet);
        }
        return {};
    }

    // The row a cell edits: of 5A (a debt's verification, of the year before; a debt, of this
    // year; a credit with a band of the pupil's average), with a value, for the teacher.
    bool usable(unsigned route, const Place &place, const TClientDataSet &p) const
    {
        const auto at = [&p](const char *c) {
            const TField *f = p.FindField(QLatin1String(c));
            return f ? f->Value() : QVariant();
        };
        const QString kind = QLatin1String(place.kind);
        // A debt's row has the class of its year.
        if (!at("iClsId").isNull() && at("iClsId").toInt() != kClass && !kind.contains("debiti"))
            return false;
        if (!at("iDocId").isNull() && at("iDocId").toInt() != kTeacher)
            return false;
        if (kind.contains("debiti"))
            return at("iSitId").toInt() == debtOf(route, kind == u"debiti").first &&
                   at("iMatId").toInt() == debtOf(route, kind == u"debiti").second;
        if (kind == u"crediti")
            return at("iCreId").toInt() != 0 && bandOf(at("iSitId").toInt()) &&
                   scalar("SELECT COUNT(*) FROM TSit_Situazioni S JOIN TClsPst P ON P.iClsPstId = "
                          "S.iClsPstId WHERE S.iSitId = ? AND P.iClsId = ?",
                          {at("iSitId"), kClass})
                           .toInt() == 1;
        if (kind == u"recuperi")
            return at("iMatId").toInt() == 1 && at("iSitId").toInt() == 957;
        Q_UNUSED(route);
        return (at("iSitId").isNull() || at("iSitId").toInt() == 955) &&
               (at("iClsSesMatId").isNull() || at("iClsSesMatId").toInt() == 1320) &&
               (at("iMatId").isNull() || at("iMatId").toInt() == 1) && !at(place.value).isNull() &&
               at(place.key).toInt() != 0;
    }

    // The debt a cell's row verifies (situation, subject): one of an earlier year that the
    // teacher verifies; in a teacher folder, which carries this year's, and for the debts of the
    // year, Bianchi Antonio's (957) in Italian.
    static std::pair<int, int> debtOf(unsigned route, bool thisYear)
    {
        // A binary folder carries the open ones, one the set-up opened.
        return thisYear || route == kRouteTeacherFolder ? std::pair{957, 1}
               : route == kRouteBinaryFolder            ? std::pair{152, 1}
                                                        : std::pair{561, 7};
    }

    static std::optional<TqevBanda> bandOf(int sit)
    {
        const QList<TqevBanda> bands = TqevCreStore::BandeDellaSituazione(sit);
        const TqevBanda *b = BandaDi(bands, TqevCreStore::MediaVotiFinale(sit));
        return b ? std::optional<TqevBanda>(*b) : std::nullopt;
    }

    // A value of the kind other than the row's, that the grid would take.
    QVariant newValue(const QelCollectKind &kind, const TClientDataSet &p, const Place &place)
    {
        const QVariant now = p.FieldByName(place.value)->Value();
        if (kind.level >= 0) {
            TqevValStore levels(kind.level);
            levels.CaricaLivelli();
            const QString scale = QString(place.key).replace("iClsMatCmpId_", "iCmpScaId_");
            for (const TqevLivello &l : levels.Livelli(p.FieldByName(scale)->AsInteger()))
                if (l.iValId != now.toInt())
                    return l.iValId;
        }
        const QString name = QLatin1String(kind.name);
        if (kind.hours)
            return now.toInt() + 5;
        if (kind.aid)
            return now.toString() == u"Z" ? "Y" : "Z";
        if (name == u"note" || name == u"giudizi")
            return now.toString() == u"Scritto" ? "Riscritto" : "Scritto";
        if (kind.credit) {
            const TqevBanda band = *bandOf(p.FieldByName("iSitId")->AsInteger());
            return now.toInt() == band.iBndCreMax ? band.iBndCreMin : band.iBndCreMax;
        }
        const QString choice = QString::fromLatin1(kind.choices).section(u' ', 0, 0);
        return scalar(QStringLiteral("SELECT MIN(%1) FROM %2 WHERE %1 <> ?")
                          .arg(choice.section(u':', 0, 0), choice.section(u':', 1)),
                      {now.isNull() ? 0 : now});
    }

    // A key of the same class and session as the row's, of another session, or of a subject
    // the teacher does not teach.
    static QVariant otherKey(const Place &place, const TClientDataSet &p, bool session)
    {
        const QString key = QLatin1String(place.key);
        const QVariant now = p.FieldByName(key)->Value();
        const QString subjects =
            session ? "SELECT O.iClsSesMatId FROM TClsSesMat O JOIN TClsSesMat M ON M.iMatRmaId = "
                      "O.iMatRmaId WHERE O.iClsSesId = 390051 AND M.iClsSesMatId = %1"
                    : "SELECT O.iClsSesMatId FROM TClsSesMat O JOIN TMatRma R ON R.iMatRmaId = "
                      "O.iMatRmaId WHERE O.iClsSesId = 390052 AND NOT EXISTS (SELECT 1 FROM "
                      "TClsMatAna A WHERE A.iClsId = 39005 AND A.iMatId = R.iMatId AND "
                      "A.iAnaId = 1000001)";
        // A component of the same kind of scale (a vote's, or a taxonomy's): of 5A's first
        // term, or of a subject he does not teach.
        if (key.startsWith("iClsMatCmpId"))
            return scalar(QStringLiteral("SELECT MIN(C.iClsMatCmpId) FROM TClsMatCmp C JOIN "
                                         "TCmpSca S ON S.iCmpScaId = C.iCmpScaId WHERE "
                                         "S.iCmpScaTass = (SELECT T.iCmpScaTass FROM TClsMatCmp N "
                                         "JOIN TCmpSca T ON T.iCmpScaId = N.iCmpScaId WHERE "
                                         "N.iClsMatCmpId = ?) AND C.iClsSesMatId IN (") +
                              (session ? QStringLiteral("SELECT iClsSesMatId FROM TClsSesMat "
                                                        "WHERE iClsSesId = 390051")
                                       : subjects) +
                              u')',
                          {now});
        if (key == u"iMatId")
            return session ? QVariant() : QVariant(3);
        return scalar(session ? QString(subjects).arg(p.FieldByName("iClsSesMatId")->AsInteger())
                              : subjects + QStringLiteral(" ORDER BY 1"));
    }

    // The packet's row for the cell, edited as the variant says; false when the variant leaves
    // the value to the database (a debt deleted).
    void edit(unsigned route, const QelCollectKind &kind, const Place &place, Variant v)
    {
        const QString file = packetFile(route, place);
        ASSERT_FALSE(file.isEmpty()) << place.kind;
        TClientDataSet p;
        p.LoadFromFile(file);
        p.First();
        while (!p.Eof() && !usable(route, place, p))
            p.Next();
        ASSERT_FALSE(p.Eof()) << place.packet << " " << place.kind;
        sit = p.FindField(QStringLiteral("iSitId")) ? p.FieldByName("iSitId")->AsInteger() : 0;
        const auto set = [&p](const QString &column, const QVariant &value) {
            p.Edit();
            p.FieldByName(column)->setValue(value);
            p.Post();
        };
        const QVariant value = newValue(kind, p, place);
        const QString column = QLatin1String(place.value);
        // The pupil and subject the row's line names, once edited.
        const auto named = [&] {
            const TField *subject = p.FindField(QStringLiteral("iClsSesMatId"));
            const bool bySubject = !subject;
            subject = subject ? subject : p.FindField(QStringLiteral("iMatId"));
            const QVariant key = subject ? subject->Value() : QVariant();
            subjectName =
                scalar(bySubject ? "SELECT TRIM(sMatLDesc) FROM TMat_Materie WHERE iMatId = ?"
                                 : "SELECT TRIM(T.sMatLDesc) FROM TClsSesMat M JOIN TMatRma R "
                                   "ON R.iMatRmaId = M.iMatRmaId JOIN TMat_Materie T ON T.iMatId "
                                   "= R.iMatId WHERE M.iClsSesMatId = ?",
                       {key})
                    .toString();
            if (subjectName.isEmpty() && !key.isNull())
                subjectName = key.toString();
            whoText =
                p.FindField(QStringLiteral("iSitId"))
                    ? QStringLiteral("(situazione %1)").arg(sit)
                    : QStringLiteral("della classe %1")
                          .arg(scalar("SELECT sClsDesc FROM VCls_Classi WHERE iClsId = ?", {kClass})
                                   .toString()
                                   .trimmed());
        };
        // A credit comes with the band of the pupil's average.
        if (kind.credit && (v == RepeatSame || v == UnknownKey))
            set("iBndId", bandOf(sit)->iBndId);
        switch (v) {
        case RepeatSame:
            set(column, value);
            repeatCurrentRow(p);
            break;
        case RepeatOther:
            repeatCurrentRow(p);
            set(column, value);
            break;
        case Negative:
            for (const QString &n : QString::fromLatin1(kind.numbers).split(u' '))
                if (p.FindField(n) && n != u"iCreCredito")
                    set(n, -3);
            if (!kind.credit)
                set(column, -3);
            break;
        case OutOfBand:
            set("iBndId", 0);
            set(column, bandOf(sit)->iBndCreMax + 2);
            break;
        case OtherBand: {
            const int band = bandOf(sit)->iBndId;
            for (const TqevBanda &b : TqevCreStore::BandeDellaSituazione(sit))
                if (b.iBndId != band && (b.iBndCreMax > bandOf(sit)->iBndCreMax + 1 ||
                                         b.iBndCreMax < bandOf(sit)->iBndCreMin - 1)) {
                    set("iBndId", b.iBndId);
                    set(column, b.iBndCreMax);
                }
            break;
        }
        case BandZero:
            set("iBndId", 0);
            set(column, value);
            break;
        case OtherSession:
            set(column, value);
            if (*kind.session && QLatin1String(place.key) != u"iEreId")
                set("iAnsSesDwgId",
                    route & kWeb ? scalar("SELECT iSesId FROM TAnsSesDwg WHERE iAnsSesDwgId = 391")
                                 : QVariant(391));
            else if (route == kRouteMakeUpWeb)
                set("iFreId", 2);
            else if (*kind.session)
                set("iAnsFreDwgId", scalar("SELECT MIN(iAnsFreDwgId) FROM TAnsFreDwg WHERE "
                                           "iAnsId = 38"));
            else
                set(place.key, otherKey(place, p, true));
            break;
        case OtherTeacher:
            set(column, value);
            if (route == kRouteMakeUpWeb)
                set("iMatId", 3);
            else
                set(place.key, otherKey(place, p, false));
            break;
        case UnknownKey:
            set(column, value);
            if (QLatin1String(kind.name) == u"verifiche dei debiti") {
                const auto [debtSit, debtSubject] = debtOf(route, false);
                deleted = runSql("SELECT * FROM TDeb_Debiti WHERE iSitId = ? AND iMatId = ?",
                                 {debtSit, debtSubject});
                ASSERT_TRUE(deleted.next());
                runSql("DELETE FROM TDeb_Debiti WHERE iSitId = ? AND iMatId = ?",
                       {debtSit, debtSubject});
            } else
                set(place.key, 999999);
            break;
        case NoSuchDate: {
            const QString date = QString::fromLatin1(kind.dates).section(u' ', -1);
            // The date as the teacher wrote it, a text the calendar lacks.
            TClientDataSet text;
            const auto is = [](const QString &name, const QString &c) {
                return name.compare(c, Qt::CaseInsensitive) == 0;
            };
            for (const TFieldDef &d : p.FieldDefs())
                text.AddFieldDef(d.Name, is(d.Name, date) ? ftString : d.DataType,
                                 is(d.Name, date) ? 10 : d.Size);
            text.CreateDataSet();
            const int row = p.RecNo();
            for (int r = 0; r < p.RecordCount(); ++r) {
                text.Append();
                for (int c = 0; c < p.FieldCount(); ++c) {
                    const QString name = p.FieldDefs()[c].Name;
                    text.Fields(c)->setValue(r != row           ? p.Value(r, c)
                                             : is(name, date)   ? QVariant("31/02/2009")
                                             : is(name, column) ? value
                                                                : p.Value(r, c));
                }
                text.Post();
            }
            text.SaveToFile(file, dfXML);
            named();
            return;
        }
        }
        named();
        p.SaveToFile(file, file.endsWith(".cds") ? dfBinary : dfXML);
    }

    Outcome collect(unsigned route)
    {
        const QString folder = folderOf(route);
        QStringList lines, summary;
        bool whole = false;
        try {
            if (route & (kRouteClassFolder | kRouteTeacherFolder)) {
                TdmqelXML xml;
                xml.iMode = route == kRouteClassFolder ? 1 : 0;
                xml.iAnaId = route == kRouteClassFolder ? 0 : kTeacher;
                xml.sFolder = folder;
                xml.LoadClassFlags(kClass);
                lines = xml.CollectData();
                summary = xml.CollectSummary();
                whole = xml.RefusedRows() == 0;
            } else if (route == kRoutePlanFolders) {
                TdmqelExportPst plans;
                plans.LoadPstClassFlags(kClass);
                plans.iClsSesId = 390052;
                plans.sClsDesc = QStringLiteral("5A");
                QStringList folders;
                for (const TqelClassPlan &plan : ClassPlans(kClass))
                    folders << folder + PlanFolderName(plan.description) + u'/';
                lines = plans.CollectPlanFolders(folders);
                summary = plans.CollectSummary();
                // A kind with a row refused is named as kept.
                whole = lines.filter("non sono stati raccolti").isEmpty();
            } else if (route == kRouteBinaryFolder) {
                QelTeacherFolderCollector collector(kSession, 39);
                const QString own = QelTeacherFolderWriter::FolderOf(
                    base, {kTeacher, 1, "Docente", QString::number(route)});
                lines = collector.ImportTeacherFolder(own, kTeacher, {},
                                                      QelTeacherFolderCollector::ReadShow(own));
                whole = lines.isEmpty();
                lines << collector.Notes();
                summary = collector.Summary();
            } else if (route == kRouteMakeUpWeb) {
                QelWebMakeUpCollection makeUps(folder, 39, 1);
                makeUps.ImportMakeUpResults(kTeacher, &lines);
                summary = makeUps.Summary();
                whole = lines.filter("***ERRORE***").isEmpty();
            } else {
                QelWebCollection web(folder, kSession);
                web.SetFlags(QelWebCollection::ReadFlags());
                web.SetClsFilter(route == kRouteWebByClass ? "(iClsId = 39005)" : QString());
                web.ImportTeacherWebData(kTeacher, &lines);
                summary = web.Summary();
                whole = lines.filter("***ERRORE***").isEmpty();
            }
        } catch (const EVxException &e) {
            lines = e.message().split(u'\r');
        }
        return {(lines + summary).join(u'\n'), whole};
    }

    QString base;
    QSqlQuery deleted;   // the debt a cell deleted, to put back
    int sit = 0;         // the pupil of the row edited
    QString whoText;     // how its line names him (a class note: the class)
    QString subjectName; // its subject
};

} // namespace

TEST_F(CollectMatrix, EveryKindOnEveryRouteWithEveryVariantAsTheGridWould)
{
    // The rows of 5A's pupils, of every year, and the class notes.
    QStringList pupils;
    for (QSqlQuery q = runSql("SELECT ps.iSitId FROM TSit_Situazioni ps JOIN TSit_Situazioni cs "
                              "ON cs.iAnaId = ps.iAnaId JOIN TClsPst cp ON cp.iClsPstId = "
                              "cs.iClsPstId WHERE cp.iClsId = 39005");
         q.next();)
        pupils << q.value(0).toString();
    const QString sits = pupils.join(u',');
    const QString pupil = "SELECT TRIM(A.sAnaCognome) || ' ' || TRIM(A.sAnaNome) FROM "
                          "TSit_Situazioni S JOIN TAna_Anagrafiche A ON A.iAnaId = S.iAnaId "
                          "WHERE S.iSitId = ?";
    // Each route's packets as sent, written again for each cell; sent again once the database
    // changed.
    QMap<unsigned, QMap<QString, QByteArray>> sent;
    QStringList last; // the tables as the last cell left them
    int cells = 0;
    for (const QelCollectKind &kind : QelCollectedValues::Kinds()) {
        for (unsigned route = 1; route <= kRouteMakeUpWeb; route <<= 1) {
            if (!(kind.routes & route))
                continue;
            const Place *place = nullptr;
            for (const Place &p : kPlaces)
                if (QLatin1String(p.kind) == QLatin1String(kind.name) && (p.routes & route))
                    place = &p;
            // A route the table names for a kind has its place here: none fails.
            ASSERT_NE(place, nullptr) << kind.name << " " << route;
            for (int v = RepeatSame; v <= NoSuchDate; ++v) {
                if (!applies(kind, route, Variant(v)))
                    continue;
                SCOPED_TRACE(QStringLiteral("%1, via %2, %3")
                                 .arg(QLatin1String(kind.name))
                                 .arg(route)
                                 .arg(QLatin1String(kVariants[v]))
                                 .toStdString());
                ++cells;
                const QDir folder(route == kRouteBinaryFolder ? base : folderOf(route));
                if (!sent.contains(route)) {
                    send(route);
                    QDirIterator files(folder.path(), QDir::Files, QDirIterator::Subdirectories);
                    while (files.hasNext()) {
                        const QString file = files.next();
                        sent[route].insert(file, readFileBytes(file));
                    }
                }
                for (auto file = sent[route].cbegin(); file != sent[route].cend(); ++file)
                    writeFileBytes(file.key(), file.value());
                // A folder carries a pupil's notes in a subject as rows of their own: another is
                // one more.
                const bool stored =
                    v == RepeatSame || v == BandZero ||
                    (v == RepeatOther && QLatin1String(kind.name) == u"note" && (route & kFolders));
                const bool told =
                    v == UnknownKey && QLatin1String(kind.name) == u"verifiche dei debiti";
                if (stored || told)
                    sent.clear();
                edit(route, kind, *place, Variant(v));
                // What the last cell left, unless the database changed since.
                if (last.isEmpty() || told)
                    last = classTablesSnapshot(sits);
                const QStringList before = last;
                const Outcome out = collect(route);
                const auto [gone, come] = classTablesChanges(before, sits);
                last = before;
                if (!gone.isEmpty() || !come.isEmpty() || told)
                    last.clear();
                // The debt deleted goes back; a value stored, as the set-up had it.
                if (told) {
                    QStringList columns, marks;
                    QVariantList values;
                    for (int i = 0; i < deleted.record().count(); ++i) {
                        columns << deleted.record().fieldName(i);
                        marks << "?";
                        values << deleted.value(i);
                    }
                    runSql("INSERT INTO TDeb_Debiti (" + columns.join(',') + ") VALUES (" +
                               marks.join(',') + ')',
                           values);
                }
                if (stored)
                    reset();
                if (stored) {
                    // Its value alone, once, and counted.
                    EXPECT_TRUE(out.whole) << out.text.toStdString();
                    EXPECT_EQ(come.size(), 1) << come.join('\n').toStdString();
                    EXPECT_TRUE(come.value(0).startsWith(letterOf(kind.name) + u'|'))
                        << come.join('\n').toStdString();
                    EXPECT_EQ(out.text.split(u'\n')
                                  .filter(QRegularExpression(
                                      QStringLiteral("^%1: righe").arg(QLatin1String(kind.name))))
                                  .size(),
                              1)
                        << out.text.toStdString();
                    continue;
                }
                // Nothing changed, told once by pupil, subject and cause.
                EXPECT_EQ(gone, QStringList());
                EXPECT_EQ(come, QStringList());
                EXPECT_EQ(out.whole, told) << out.text.toStdString();
                // Every line of a row is the one of this row.
                const QStringList named =
                    out.text.split(u'\n').filter(QRegularExpression(QStringLiteral("^  ")));
                EXPECT_EQ(named.size(), 1) << out.text.toStdString();
                EXPECT_TRUE(named.value(0).contains(whoText)) << out.text.toStdString();
                EXPECT_TRUE(sit == 0 || named.value(0).contains(scalar(pupil, {sit}).toString()))
                    << out.text.toStdString();
                EXPECT_TRUE(subjectName.isEmpty() || named.value(0).contains(subjectName))
                    << subjectName.toStdString() << "\n"
                    << out.text.toStdString();
            }
        }
    }
    EXPECT_GT(cells, 100);
}
