#pragma once

// The collections' matrix, generated from their table of rules (QelCollectedValues::Kinds): each
// kind on each route the table says brings it back, in each variant a row of it can come in.
// A cell writes the route's packets as its send does (for the teacher 1000001, or the class 5A;
// a credit also of 3C, whose plan keeps a subject out of the average), edits one row, collects,
// and compares the tables the collections write: a row refused changes nothing and is told once,
// naming its pupil, subject and cause, and counted nowhere; a row taken changes its value alone,
// counted; a debt the office deleted after the send is told and refuses nothing. Each kind on
// each route is a test of its own, on a database of its own: CTest runs them side by side.
#include "exchange/qelcollectedvalues.h"
#include "exchange/qeldocfolder.h"
#include "exchange/qelexportpst.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebrecupericollect.h"
#include "exchange/qelwebrecuperipackets.h"
#include "exchange/qelwebsessionpackets.h"
#include "exchange/qelxml.h"
#include "gradeentry/qevcrestore.h"
#include "platform/fieldvalue.h"
#include "platform/globalvars.h"
#include "platform/sqlclientdataset.h"
#include "platform/vxexception.h"
#include "shell/qelpargen.h"
#include "tests/support/classtables.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

#include <algorithm>

namespace {

enum Variant {
    Same,         // the row taken as the grid takes it, given twice
    Other,        // given twice, the second time with another value
    Negative,     // a number below zero
    OutOfBand,    // a credit beyond its band, named as of none
    OtherBand,    // a credit of the band of another average
    BandZero,     // a credit's band named as none: the average gives it
    OtherSession, // of another session, or a subject of another term
    Teacher,      // of a subject the teacher does not teach
    Unknown,      // a key the database lacks; a debt deleted after the send
    NoDate,       // a date of no day
    TextKey,      // given twice, the second time with another value, the pupil's key a text
                  // (" 955", then "0955": blanks and leading zeros)
    KeyBeyond,    // a key of 2^31, which 32 bits read as negative
    KeyWrapped,   // a key of 2^32-1, which 32 bits read as -1
    KeyNegative,  // a key of -1
    kVariants
};

// The cause a refused row's line gives (a pattern), where every route words it alike; a debt
// deleted after the send is told by its own.
const QHash<int, QString> kCauses = {
    {Other, "la riga è ripetuta con un altro valore: nessuna delle due è stata raccolta"},
    {TextKey, "la riga è ripetuta con un altro valore: nessuna delle due è stata raccolta"},
    {KeyBeyond, "un numero che il database non può contenere"},
    {KeyWrapped, "un numero che il database non può contenere"},
    {Negative, "\"-3\" non sono valide|-3 è negativo"},
    {OutOfBand, "è fuori dalla sua banda"},
    {OtherBand, "non è quella della media dei voti"},
    {NoDate, "la data \"31/02/2009\" non esiste"}};

constexpr unsigned kFolders = kRouteClassFolder | kRouteTeacherFolder | kRoutePlanFolders,
                   kClassRoutes = kRouteClassFolder | kRoutePlanFolders,
                   kWeb = kRouteWebByClass | kRouteWebByTeacher;
constexpr int kTeacher = 1000001;

// The classes sent: 5A, and 3C, whose plan keeps a subject out of the average (AMMISSIONE).
struct SentClass
{
    int cls, clsSes;
    const char *name;
};
const SentClass k5A{39005, 390052, "5A"}, k3C{39023, 390232, "3C"};

// Where a kind's row lies in a route's packets: its value, the key that places it, the row
// ("column=value ..."), and the table's letter in classTablesSnapshot; its class, and the
// variants it is tried in (all, unless named). Barbieri Elisa (955) in Italian (1320, the
// teacher's), debts and make-up courses of his subjects; in 3C, Conti Antonio (864), whose
// average without the subject out of it gives another band, and Gentile Luca (872), a change in
// his own band.
struct Place
{
    const char *kind;
    unsigned routes;
    const char *packet, *value, *key, *row, *letter;
    SentClass cls = k5A;
    std::initializer_list<Variant> variants = {};
};
#define QEL_955 "iSitId=955 iClsSesMatId=1320"
const Place kPlaces[] = {
    {"voti", kFolders, "ClsVot.xml", "iValId", "iCmpScaId", QEL_955, "V"},
    {"voti", kRouteBinaryFolder, "voti.cds", "iScaLivId_vot1", "iClsMatCmpId_vot1", QEL_955, "V"},
    {"voti proposti", kFolders, "ClsVtp.xml", "iValId", "iCmpScaId", QEL_955, "P"},
    {"voti proposti", kRouteBinaryFolder | kWeb, "voti", "iScaLivId_vtp1", "iClsMatCmpId_vtp1",
     QEL_955, "P"},
    {"tassonomie", kFolders, "ClsTas.xml", "iValId", "iCmpScaId", QEL_955, "T"},
    {"tassonomie", kRouteBinaryFolder | kWeb, "voti", "iScaLivId_tas1", "iClsMatCmpId_tas1",
     QEL_955, "T"},
    {"assenze", kFolders, "ClsAss.xml", "iValId", "iClsSesMatId", QEL_955, "A"},
    {"assenze", kRouteBinaryFolder | kWeb, "voti", "iAssOre", "iClsSesMatId", QEL_955, "A"},
    {"aiuti", kFolders, "ClsAiu.xml", "sValSDesc", "iClsSesMatId", QEL_955, "U"},
    {"aiuti", kRouteBinaryFolder | kWeb, "voti", "sAiuVal", "iClsSesMatId", QEL_955, "U"},
    {"note", kFolders, "ClsNot.xml", "bNotNota", "iClsSesMatId", QEL_955, "N"},
    {"note", kRouteBinaryFolder | kWeb, "voti", "bNotNota", "iClsSesMatId", QEL_955, "N"},
    {"note di classe", kWeb, "classenote.xml", "iClnOre", "iMatId", "iClsId=39005 iMatId=1", "Q"},
    {"giudizi", kFolders, "ClsGdz.xml", "bGdzGiudizio", "iAnsSesDwgId", "iSitId=955", "G"},
    {"esiti finali", kFolders, "ClsFin.xml", "iPosFinId", "iPosFinId", "iSitId=955", "S"},
    {"crediti", kFolders, "ClsCre.xml", "iCreCredito", "iEncId", "iSitId=955", "K"},
    {"debiti", kFolders, "ClsDeb.xml", "iDesDedId", "iDesDedId", "iSitId=957 iMatId=1", "D"},
    // A debt of an earlier year he verifies; a binary folder's, open; a teacher folder's, of the
    // year.
    {"verifiche dei debiti", kClassRoutes | kWeb, "debiti", "iDesDedId", "iMatId",
     "iSitId=561 iMatId=7", "D"},
    {"verifiche dei debiti", kRouteBinaryFolder, "debiti.cds", "iDesDedId", "iMatId",
     "iSitId=152 iMatId=1", "D"},
    {"verifiche dei debiti", kRouteTeacherFolder, "ClsDeb.xml", "iDesDedId", "iMatId",
     "iSitId=957 iMatId=1", "D"},
    {"recuperi", kFolders | kRouteMakeUpWeb, "recuperi", "iEreId", "iEreId", "iSitId=957 iMatId=7",
     "R"},
    {"crediti",
     kClassRoutes,
     "ClsCre.xml",
     "iCreCredito",
     "iEncId",
     "iSitId=864",
     "K",
     k3C,
     {OtherBand, OutOfBand}},
    {"crediti",
     kClassRoutes,
     "ClsCre.xml",
     "iCreCredito",
     "iEncId",
     "iSitId=872",
     "K",
     k3C,
     {Same}},
};

// A place's pupil.
int sitOf(const Place &place)
{
    return QString(place.row).section(u' ', 0, 0).section(u'=', 1).toInt();
}
#undef QEL_955

bool applies(const QelCollectKind &kind, unsigned route, const Place &place, Variant v)
{
    if (place.variants.size() > 0)
        return std::find(place.variants.begin(), place.variants.end(), v) != place.variants.end();
    return v == Negative                                       ? *kind.numbers
           : v == OutOfBand || v == OtherBand || v == BandZero ? kind.credit
           : v == OtherSession
               ? *kind.session ||
                     QString(kind.table).contains(QRegularExpression("Vot|Vtp|Tas|Ass|Aiu|Not"))
           : v == Teacher ? kind.teachers && (route & ~kClassRoutes)
           // dates travel as the teachers wrote them on the web
           : v == NoDate ? *kind.dates && (route & (kWeb | kRouteMakeUpWeb))
                         : true;
}

class CollectMatrix : public RunningProgram
{
protected:
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
        runSql("UPDATE TClsSes SET iClsSesCre = 1 WHERE iClsSesId = 390232");
        // The demo's make-up record entered twice, which the duplicate check clears before a send;
        // 955's proposals and taxonomies on both components, aid and note in Italian.
        runSql("DELETE FROM TRec_Recuperi WHERE dRecAttr = '2009-06-21'");
        for (const char *values :
             {"TVtp_Proposti SELECT 9700000 + C.iClsMatCmpId, C.iClsMatCmpId, 955, (SELECT "
              "MIN(P.iPrpScaLivId) FROM TPrpScaLiv P JOIN TScaLiv L ON L.iScaLivId = P.iScaLivId "
              "WHERE L.iScaId = S.iScaId AND P.lPrpScaLivVisible = 1)",
              "TTas_Tassonomie SELECT 9700000 + C.iClsMatCmpId, C.iClsMatCmpId, 955, (SELECT "
              "MIN(L.iScaLivId) FROM TScaLiv L WHERE L.iScaId = S.iScaId AND L.dDelete IS NULL)"})
            runSql("INSERT INTO " + QString(values) +
                   ", NULL, '2008-09-01', '2009-08-31' FROM TClsMatCmp C JOIN TCmpSca S ON "
                   "S.iCmpScaId = C.iCmpScaId WHERE C.iClsSesMatId = 1320 AND S.iCmpScaTass = " +
                   (QString(values).startsWith("TVtp") ? "0" : "1"));
        runSql(
            "INSERT INTO TAiu_Aiuti (iAiuId, iClsSesMatId, iSitId, sAiuVal, dStart, dEnd) VALUES "
            "(9700001, 1320, 955, 'R', '2008-09-01', '2009-08-31')");
        runSql(
            "INSERT INTO TNot_Note (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, dStart, "
            "dEnd) VALUES (9700002, 1320, 955, '2009-01-10', 'Nota', '2008-09-01', '2009-08-31')");
        reset();
    }

    // The binary folder's debt open again, to be sent; one note of the pupil in Italian, as the
    // web knows it.
    static void reset()
    {
        runSql("UPDATE TDeb_Debiti SET iDesDedId = NULL, dDebVer = NULL WHERE iDebId = 43");
        runSql("DELETE FROM TNot_Note WHERE iSitId = 955 AND iClsSesMatId = 1320 AND iNotId > "
               "(SELECT MIN(iNotId) FROM TNot_Note WHERE iSitId = 955 AND iClsSesMatId = 1320)");
    }

    QString folderOf(unsigned route, const SentClass &cls) const
    {
        return route == kRouteBinaryFolder
                   ? QelTeacherFolderWriter::FolderOf(base, {kTeacher, 1, "Docente", "B"})
                   : base + cls.name + u'/' + QString::number(route) + u'/';
    }

    // The route's packets, as its send writes them: written once, put back for each cell.
    void send(unsigned route, const SentClass &cls)
    {
        const QString folder = folderOf(route, cls);
        QMap<QString, QByteArray> &packets = sent[folder];
        for (const auto &[file, bytes] : packets.asKeyValueRange())
            writeFileBytes(file, bytes);
        if (!packets.isEmpty())
            return;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const auto classFolder = [&cls](const QString &into, int plan) {
            exportClassFolder(into, plan, cls.cls, cls.clsSes);
            writeSummary(into, "WHERE 1 = 0"); // no credit voted: no unanimity changes
        };
        TdmqelXML xml;
        xml.iAnaId = kTeacher;
        xml.sFolder = folder;
        const QelWebSendFlags flags{{"Vot", 1}, {"Vtp", 1}, {"Tas", 1}, {"Ass", 1},
                                    {"Aiu", 1}, {"Not", 1}, {"Deb", 1}};
        if (route == kRouteClassFolder)
            classFolder(folder, -1);
        for (const TqelClassPlan &plan :
             route == kRoutePlanFolders ? ClassPlans(cls.cls) : QList<TqelClassPlan>())
            classFolder(folder + PlanFolderName(plan.description) + u'/', plan.id);
        if (route == kRouteTeacherFolder)
            xml.ExportTeacherData();
        if (route == kRouteBinaryFolder)
            QelTeacherFolderWriter(392, 39, TVxWorkingContext::institute(), false, flags)
                .WriteTeacherFolder(base, {kTeacher, 1, "Docente", "B"});
        if (route == kRouteMakeUpWeb) {
            QelWebMakeUpPackets packets(1, 39);
            packets.AddTeacher(kTeacher);
            packets.Write(folder);
        }
        if (route & kWeb) {
            QelWebSessionPackets packets(392, 39, flags);
            packets.AddTeacher(kTeacher, "Docente", "x");
            packets.Write(folder);
            // The class notes, which only the service writes.
            TSQLClientDataSet notes;
            notes.setCommandText(
                "SELECT C.iAnaId AS iDocId, A.iSesId AS iAnsSesDwgId, S.iClsId, R.iMatId, "
                "C.iCnoOre AS iClnOre, C.bCnoNota AS bClnNota FROM TCno_ClassiNoteOre C JOIN "
                "TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId JOIN TClsSes S ON S.iClsSesId "
                "= M.iClsSesId JOIN TAnsSesDwg A ON A.iAnsSesDwgId = S.iAnsSesDwgId JOIN TMatRma "
                "R ON R.iMatRmaId = M.iMatRmaId WHERE C.iAnaId = 1000001 AND S.iClsSesId = "
                "390052");
            notes.Open();
            notes.SaveToFile(folder + "classenote.xml", dfXML);
        }
        for (QDirIterator f(folder, QDir::Files, QDirIterator::Subdirectories); f.hasNext();) {
            const QString file = f.next();
            packets.insert(file, readFileBytes(file));
        }
    }

    // The packet file holding the place's row: a plan's folder's, by extension the route's.
    QString packetFile(unsigned route, const Place &place) const
    {
        QString name = QLatin1String(place.packet);
        if (!name.contains(u'.'))
            name = route == kRouteBinaryFolder        ? name + ".cds"
                   : route & (kWeb | kRouteMakeUpWeb) ? name + ".xml"
                   : name == u"recuperi"              ? "Rec.xml"
                                                      : "ClsDeb.xml";
        QDirIterator files(folderOf(route, place.cls), {name}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            TClientDataSet p;
            p.LoadFromFile(files.next());
            if (find(p, place))
                return files.filePath();
        }
        return {};
    }

    // The packet's cursor on the place's row: false when it has none.
    static bool find(TClientDataSet &p, const Place &place)
    {
        const QStringList pairs = QString(place.row).split(u' ');
        for (p.First(); !p.Eof(); p.Next())
            if (std::all_of(pairs.cbegin(), pairs.cend(),
                            [&p](const QString &pair) {
                                const TField *f = p.FindField(pair.section(u'=', 0, 0));
                                return f && f->Value().toString() == pair.section(u'=', 1);
                            }) &&
                (!p.FindField("iDocId") || p.FieldByName("iDocId")->AsInteger() == kTeacher))
                return true;
        return false;
    }

    // The band of the place's pupil, by the average the credits grid calculated and stored.
    static TqevBanda bandOf(const Place &place)
    {
        const QList<TqevBanda> bands = TqevCreStore::BandeDellaSituazione(sitOf(place));
        const TqevBanda *band = BandaDi(
            bands, scalar("SELECT fCreMediaVoti FROM TCre_Crediti WHERE iSitId = ?", {sitOf(place)})
                       .toDouble());
        return band ? *band : TqevBanda{};
    }

    // A value of the kind other than the row's, that the grid would take.
    static QVariant newValue(const QelCollectKind &kind, const TClientDataSet &p,
                             const Place &place)
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
        if (kind.credit) {
            const TqevBanda band = bandOf(place);
            return now.toInt() == band.iBndCreMax ? band.iBndCreMin : band.iBndCreMax;
        }
        if (kind.hours)
            return now.toInt() + 5;
        if (!*kind.choices)
            return now.toString() == u"Z" ? "Y" : kind.aid ? "Z" : now.toString() + u'!';
        const QString choice = QString(kind.choices).section(u' ', 0, 0);
        return scalar(QStringLiteral("SELECT MIN(%1) FROM %2 WHERE %1 <> ?")
                          .arg(choice.section(u':', 0, 0), choice.section(u':', 1)),
                      {now.isNull() ? 0 : now});
    }

    // A key of another session (5A's first term, 390051), or of 5A's subject another teacher
    // teaches, as the row's is.
    static QVariant otherKey(const QString &key, const QVariant &now, bool session)
    {
        const QString subjects =
            session ? "SELECT iClsSesMatId FROM TClsSesMat WHERE iClsSesId = 390051"
                    : "SELECT M.iClsSesMatId FROM TClsSesMat M JOIN TMatRma R ON R.iMatRmaId = "
                      "M.iMatRmaId WHERE M.iClsSesId = 390052 AND R.iMatId NOT IN (SELECT "
                      "A.iMatId FROM TClsMatAna A WHERE A.iClsId = 39005 AND A.iAnaId = 1000001)";
        if (key == u"iMatId")
            return 3;
        if (!key.startsWith("iClsMatCmpId"))
            return scalar("SELECT MIN(iClsSesMatId) FROM (" + subjects + ") O");
        return scalar("SELECT MIN(C.iClsMatCmpId) FROM TClsMatCmp C JOIN TCmpSca S ON S.iCmpScaId "
                      "= C.iCmpScaId WHERE S.iCmpScaTass = (SELECT T.iCmpScaTass FROM TClsMatCmp "
                      "N JOIN TCmpSca T ON T.iCmpScaId = N.iCmpScaId WHERE N.iClsMatCmpId = ?) AND "
                      "C.iClsSesMatId IN (" +
                          subjects + ")",
                      {now});
    }

    // The row edited as the variant says; the debt it verifies deleted for Unknown.
    void edit(unsigned route, const QelCollectKind &kind, const Place &place, Variant v)
    {
        const QString file = packetFile(route, place);
        ASSERT_FALSE(file.isEmpty()) << place.kind << " " << route;
        TClientDataSet p;
        p.LoadFromFile(file);
        find(p, place);
        const int at = p.RecNo();
        const auto set = [&p](const QString &c, const QVariant &x) { setField(p, c, x); };
        const QString value = QLatin1String(place.value), key = QLatin1String(place.key);
        // What places a level of a folder elsewhere is its subject.
        const QString where = key == u"iCmpScaId" ? QStringLiteral("iClsSesMatId") : key;
        const QVariant taken = newValue(kind, p, place);
        const TqevBanda band = bandOf(place);
        if (kind.credit)
            set("iBndId", band.iBndId);
        if (v != Other && v != TextKey)
            set(value, taken);
        if (v == Same || v == Other || v == TextKey)
            repeatCurrentRow(p);
        if (v == Other || v == TextKey)
            set(value, newValue(kind, p, place));
        for (const QString &n : QString(kind.numbers).split(u' ', Qt::SkipEmptyParts))
            if (v == Negative)
                set(kind.credit ? n : value, n == u"iCreCredito" ? taken : QVariant(-3));
        if (v == OutOfBand || v == BandZero)
            set("iBndId", 0);
        if (v == OutOfBand)
            set(value, band.iBndCreMax + 2);
        for (const TqevBanda &b : TqevCreStore::BandeDellaSituazione(sitOf(place)))
            if (v == OtherBand &&
                (b.iBndCreMin > band.iBndCreMax + 1 || b.iBndCreMax < band.iBndCreMin - 1)) {
                set("iBndId", b.iBndId);
                set(value, b.iBndCreMax);
                set("iCrePerMedia", b.iBndCreMax); // the row wholly of that band
            }
        if (v == OtherSession && *kind.session && key != u"iEreId")
            set("iAnsSesDwgId", route & kWeb ? 1 : 391); // the first term's
        else if (v == OtherSession && route == kRouteMakeUpWeb)
            set("iFreId", 2);
        else if (v == OtherSession && *kind.session)
            set("iAnsFreDwgId",
                scalar("SELECT MIN(iAnsFreDwgId) FROM TAnsFreDwg WHERE iAnsId = 38"));
        else if (v == OtherSession)
            set(where, otherKey(where, p.FieldByName(where)->Value(), true));
        if (v == Teacher)
            set(route == kRouteMakeUpWeb ? "iMatId" : where,
                otherKey(route == kRouteMakeUpWeb ? "iMatId" : where, p.FieldByName(where)->Value(),
                         false));
        if (v == Unknown && QString(kind.name) == u"verifiche dei debiti") {
            QSqlQuery debt =
                runSql("SELECT * FROM TDeb_Debiti WHERE iSitId = ? AND iMatId = ?",
                       {p.FieldByName("iSitId")->Value(), p.FieldByName("iMatId")->Value()});
            ASSERT_TRUE(debt.next());
            for (deleted.clear(); deleted.size() < debt.record().count();)
                deleted << debt.value(deleted.size());
            runSql("DELETE FROM TDeb_Debiti WHERE iDebId = ?", {deleted[0]});
        } else if (v == Unknown) {
            set(key, 999999);
        }
        const QHash<int, qint64> keys = {
            {KeyBeyond, qint64(1) << 31}, {KeyWrapped, (qint64(1) << 32) - 1}, {KeyNegative, -1}};
        if (keys.contains(v))
            set(key, keys.value(v));
        // The line's names: the pupil (a class note's class) and the subject, as edited.
        const TField *subject =
            p.FindField("iClsSesMatId") ? p.FindField("iClsSesMatId") : p.FindField("iMatId");
        const int sit = p.FindField("iSitId") ? p.FieldByName("iSitId")->AsInteger() : 0;
        whoText = sit ? scalar("SELECT TRIM(A.sAnaCognome) || ' ' || TRIM(A.sAnaNome) || ' "
                               "(situazione ' || S.iSitId || ')' FROM TSit_Situazioni S JOIN "
                               "TAna_Anagrafiche A ON A.iAnaId = S.iAnaId WHERE S.iSitId = ?",
                               {sit})
                            .toString()
                      : "della classe 5A";
        const QVariant id = subject ? subject->Value() : QVariant();
        subjectName = scalar(subject && subject->FieldName().compare("iMatId", Qt::CaseInsensitive)
                                 ? "SELECT T.sMatLDesc FROM TClsSesMat M JOIN TMatRma R ON "
                                   "R.iMatRmaId = M.iMatRmaId JOIN TMat_Materie T ON T.iMatId = "
                                   "R.iMatId WHERE M.iClsSesMatId = ?"
                                 : "SELECT sMatLDesc FROM TMat_Materie WHERE iMatId = ?",
                             {id})
                          .toString()
                          .trimmed();
        if (subjectName.isEmpty())
            subjectName = id.toString();
        // The date as the teacher wrote it, a text of a day the calendar lacks (the other dates
        // as the web writes them); the pupil's key a text with blanks, and with leading zeros in
        // the row given again (the last).
        if (v == NoDate)
            asText(p, QString(kind.dates).section(u' ', -1), {{p.RecNo(), "31/02/2009"}});
        if (v == TextKey) {
            const QString column = p.FindField("iSitId") ? "iSitId" : "iClsId";
            const QString number = p.FieldByName(column)->AsString();
            asText(p, column, {{at, " " + number}, {p.StoredRecordCount() - 1, "0" + number}});
        }
        p.SaveToFile(file, file.endsWith(".cds") ? dfBinary : dfXML);
    }

    // The packet's column declared a text, its values as texts, some rows' given.
    static void asText(TClientDataSet &p, const QString &column, const QMap<int, QString> &given)
    {
        QList<TFieldDef> defs = p.FieldDefs();
        std::vector<QList<QVariant>> rows;
        bool ok = true;
        for (int r = 0; r < p.StoredRecordCount(); ++r)
            rows.push_back(p.StoredRecord(r));
        for (int c = 0; c < defs.size(); ++c)
            if (!defs[c].Name.compare(column, Qt::CaseInsensitive)) {
                defs[c] = {defs[c].Name, ftString, 12};
                for (QList<QVariant> &row : rows)
                    row[c] = normalizeFieldValue(ftString, row[c], &ok);
                for (const auto &[row, text] : given.asKeyValueRange())
                    rows[size_t(row)][c] = text;
            }
        p.ReplaceData(defs, rows);
    }

    // What the route's collection tells, and whether it refused nothing.
    std::pair<QString, bool> collect(unsigned route, const SentClass &cls)
    {
        const QString folder = folderOf(route, cls);
        QStringList lines, summary;
        bool whole = false;
        try {
            if (route & (kRouteClassFolder | kRouteTeacherFolder)) {
                TdmqelXML xml;
                xml.iMode = route == kRouteClassFolder;
                xml.iAnaId = route == kRouteClassFolder ? 0 : kTeacher;
                xml.sFolder = folder;
                xml.LoadClassFlags(cls.cls);
                lines = xml.CollectData();
                summary = xml.CollectSummary();
                whole = xml.RefusedRows() == 0;
            } else if (route == kRoutePlanFolders) {
                TdmqelExportPst plans;
                plans.LoadPstClassFlags(cls.cls);
                plans.iClsSesId = cls.clsSes;
                plans.sClsDesc = QLatin1String(cls.name);
                QStringList folders;
                for (const TqelClassPlan &plan : ClassPlans(cls.cls))
                    folders << folder + PlanFolderName(plan.description) + u'/';
                lines = plans.CollectPlanFolders(folders);
                summary = plans.CollectSummary();
                whole = lines.filter("non sono stati raccolti").isEmpty(); // a kind kept
            } else if (route == kRouteBinaryFolder) {
                QelTeacherFolderCollector collector(392, 39);
                lines = collector.ImportTeacherFolder(folder, kTeacher, {},
                                                      QelTeacherFolderCollector::ReadShow(folder));
                whole = lines.isEmpty();
                lines << collector.Notes() << collector.Summary();
            } else if (route == kRouteMakeUpWeb) {
                QelWebMakeUpCollection makeUps(folder, 39, 1);
                makeUps.ImportMakeUpResults(kTeacher, &lines);
                summary = makeUps.Summary();
            } else {
                QelWebCollection web(folder, 392);
                web.SetFlags(QelWebCollection::ReadFlags());
                web.SetClsFilter(route == kRouteWebByClass ? "(iClsId = 39005)" : QString());
                web.ImportTeacherWebData(kTeacher, &lines);
                summary = web.Summary();
            }
            if (route & (kWeb | kRouteMakeUpWeb))
                whole = lines.filter("***ERRORE***").isEmpty();
        } catch (const EVxException &e) {
            lines = e.message().split(u'\r');
        }
        return {(lines + summary).join(u'\n'), whole};
    }

    // The cells of a kind on a route: each place of the kind the route carries, in every variant
    // that applies.
    void runCells(const QelCollectKind &kind, unsigned route)
    {
        int cells = 0;
        for (const Place &place : kPlaces) {
            if (QString(place.kind) != QString(kind.name) || !(place.routes & route))
                continue;
            const QString sits = // every situation of the class's pupils
                scalar("SELECT LIST(ps.iSitId) FROM TSit_Situazioni ps JOIN TSit_Situazioni cs ON "
                       "cs.iAnaId = ps.iAnaId JOIN TClsPst cp ON cp.iClsPstId = cs.iClsPstId "
                       "WHERE cp.iClsId = ?",
                       {place.cls.cls})
                    .toString();
            QStringList last; // the tables as the last cell left them
            for (int variant = 0; variant < kVariants; ++variant) {
                const Variant v = Variant(variant);
                if (!applies(kind, route, place, v))
                    continue;
                SCOPED_TRACE(testing::Message() << kind.name << ", via " << route << ", "
                                                << place.row << ", variante " << v);
                ++cells;
                send(route, place.cls);
                // A folder carries a pupil's notes in a subject as rows: another is one more.
                const bool stored = v == Same || v == BandZero ||
                                    ((v == Other || v == TextKey) &&
                                     QString(kind.name) == u"note" && (route & kFolders));
                const bool told = v == Unknown && QString(kind.name) == u"verifiche dei debiti";
                edit(route, kind, place, v);
                if (last.isEmpty() || told)
                    last = classTablesSnapshot(sits);
                const auto [text, whole] = collect(route, place.cls);
                const auto [gone, come] = classTablesChanges(last, sits);
                if (told) // the debt back, as it was
                    runSql("INSERT INTO TDeb_Debiti VALUES (" +
                               QStringList(deleted.size(), "?").join(u',') + u')',
                           deleted);
                if (stored || told) {
                    reset();
                    sent.clear();
                    last.clear();
                }
                const int counted = text.count(
                    QRegularExpression(QStringLiteral("(^|\n)%1: righe").arg(kind.name)));
                if (stored) { // its value alone, counted once
                    EXPECT_TRUE(whole) << text.toStdString();
                    EXPECT_EQ(come.size(), 1) << come.join('\n').toStdString();
                    EXPECT_TRUE(come.value(0).startsWith(place.letter + QString(u'|')));
                    EXPECT_EQ(counted, 1) << text.toStdString();
                    continue;
                }
                // Nothing changed, nothing counted; one line, of this row: pupil, subject and
                // cause.
                EXPECT_EQ(gone + come, QStringList());
                EXPECT_EQ(counted, 0) << text.toStdString();
                EXPECT_EQ(whole, told) << text.toStdString();
                const QStringList lines = text.split(u'\n').filter(QRegularExpression("^  "));
                EXPECT_EQ(lines.size(), 1) << text.toStdString();
                EXPECT_TRUE(lines.value(0).contains(whoText) &&
                            lines.value(0).contains(subjectName) &&
                            lines.value(0).contains(QRegularExpression(
                                told ? QelCollectedValues::DebtDeleted() : kCauses.value(v))))
                    << (text + "\n" + whoText + ", " + subjectName).toStdString();
            }
        }
        // Every route the table names for a kind has its place: none fails.
        EXPECT_GT(cells, 0) << kind.name << " " << route;
    }

    QString base = db.mainDir.path() + QStringLiteral("matrice/");
    QMap<QString, QMap<QString, QByteArray>> sent; // each folder's packets, until a write
    QVariantList deleted;                          // the debt a cell deleted, to put back
    QString whoText, subjectName;                  // of the row edited, as its line names them
};

// A kind on a route: one test of the matrix.
struct MatrixPart
{
    int kind; // of QelCollectedValues::Kinds()
    unsigned route;
};

class CollectMatrixPart : public CollectMatrix, public ::testing::WithParamInterface<MatrixPart>
{
};

// Every kind on every route of those given that the table says brings it back, route by route:
// CTest's shards take every n-th, each of them a mix of the routes.
std::vector<MatrixPart> matrixParts(unsigned routes)
{
    std::vector<MatrixPart> parts;
    const auto kinds = QelCollectedValues::Kinds();
    for (unsigned route = 1; route <= kRouteMakeUpWeb; route <<= 1)
        for (int kind = 0; kind < int(kinds.size()); ++kind)
            if (kinds[size_t(kind)].routes & routes & route)
                parts.push_back({kind, route});
    return parts;
}

// "ClassFolder_voti_proposti"
std::string partName(const testing::TestParamInfo<MatrixPart> &info)
{
    static const QMap<unsigned, QString> routes = {
        {kRouteClassFolder, "ClassFolder"},   {kRouteTeacherFolder, "TeacherFolder"},
        {kRouteBinaryFolder, "BinaryFolder"}, {kRoutePlanFolders, "PlanFolders"},
        {kRouteWebByClass, "WebByClass"},     {kRouteWebByTeacher, "WebByTeacher"},
        {kRouteMakeUpWeb, "MakeUpWeb"}};
    return (routes.value(info.param.route) + u'_' +
            QString(QelCollectedValues::Kinds()[size_t(info.param.kind)].name).replace(u' ', u'_'))
        .toStdString();
}

TEST_P(CollectMatrixPart, EveryVariantAsTheGrid)
{
    runCells(QelCollectedValues::Kinds()[size_t(GetParam().kind)], GetParam().route);
}

} // namespace
