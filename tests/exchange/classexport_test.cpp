#include "exchange/qelhistoryhook.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/fileaccess.h"
#include "platform/krypto.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// The packets in writing order, each class packet with the columns the coordinator reads.
const char kPackets[] = R"(InfoSed.xml Ans.xml LivVot_Tas.xml LivVtp.xml DebTip.xml DebEsi.xml
DocIst.xml ClsSes.xml: iClsSesId iAnsSesDwgId iClsId sClsDesc iSesId sSesDesc sSesNote iSfiId
  sSfiLDesc sSfiSDesc iAnsId sAnnoScol iAcsId iAcsAnnoCorso iClsSesVot iClsSesVtp iClsSesTas
  iClsSesAss iClsSesAiu iClsSesNot iClsSesDeb iClsSesEsi iClsSesCre iClsSesGdz iClsSesComp
  sPstLDesc iAnsFreDwgId ProteggiPwd
MatRmaPst.xml: iMatRmaPstInMedia iMatRmaId iPstId iMatRMaPstOrdine
ClsMat.xml: iClsSesMatId iMatRmaPstOrdine iMatId sMatLDesc sMatSDesc sMatCodUser sMatCodMin
  iCmpScaId iScaId iCmpScaTass iCmpScaInMedia sCmpLDesc sCmpSDesc iCmpPeso sScaDesc iAnsSesDwgId
  iClsId iClsSesId iMatRmaId iMatInMedia sMatCodVexto iCmpScaOrdine iClsMatCmpId iCompAsseId
ClsAlu.xml: ISITPOSREG SANACOGNOME SANANOME IANAID ISITID IPSTID ICLSID SSEXSDESC SABTINDIRIZZO
  SCOMDESC SPROSIGLA SCAPVALUE ISITOREASSENZA ISITGGASSENZA ISITTOTASSENZE IPSTTOTORE Frequenza
  IPSTPEI
AluMat.xml: iClsSesMatId iMatId sMatLDesc sMatSDesc sMatCodUser sMatCodMin sMatCodVexto iCmpScaId
  iScaId iCmpScaTass iCmpScaInMedia sCmpLDesc sCmpSDesc sScaDesc iSitId iClsSesId iAnaId iAnsId
  iClsId iMatRmaId iMatInMedia iCmpScaOrdine iMatRMaPstOrdine iClsMatCmpId
ClsVot.xml: iSitId iPKId iValId sValSDesc sValLDesc bValSuff iValDato bValInMed iClsId
  iClsSesMatId iCmpScaId iClsSesId dInsert dStart dEnd
ClsVtp.xml: as ClsVot.xml
ClsTas.xml: as ClsVot.xml
ClsAiu.xml: iSitId iPKId iValId sValSDesc sValLDesc iClsId iClsSesMatId iClsSesId dInsert dStart
  dEnd
ClsAss.xml: as ClsAiu.xml
ClsNot.xml: iNotId iSitId iClsSesMatId bNotNota dNotData iAnaId sDocNome iClsId iClsSesId dInsert
  dStart dEnd
ClsDeb.xml: iDebId iMatId sMatSDesc sMatLDesc sMatCodUser iDesSufficiente dDebAttr dDebVer
  iDesDedId sDedLDesc sDedSDesc iDtpDtdId sDtdLDesc sDtdSDesc iAnaId_Attr sDocAttr iAnaId_Ver
  sDocVer bDebNota dInsert dStart dEnd iClsId iAnaId iAnsId iSitId
MVotDeb.xml: iScaLivValore iMatId iAnaId iAnsId
MVtpDeb.xml: fPrpScaLivValore iMatId iAnaId iAnsId
InfDeb.xml: iDesSufficiente iSitId
ClsCre.xml: iSitId iCreId sClsSDesc sAnnoScol fCreMediaVoti iTbnId iBndId sBndMed sBndDesc
  sBndCre iCrePerMedia iCreOutBanda iCreFrmSco iCreSosp iCreRecup iCreCredito iEncId sEncSDesc
  bCreNota iAcsId iAcsAnnoCorso iAnsId iAnaId dInsert dStart dEnd
ClsCreSco.xml: iCreScoId iCreId iScoId dInsert dStart dEnd
ClsCreFrm.xml: iCreFrmId iCreId iFrmId dInsert dStart dEnd iClsId
AluMed.xml: iScaLivValore iSitId
Sco_Scol.xml: iScoId sScoLDesc sScoSDesc iScoPeso iLocked
Frm_Form.xml: iFrmId sFrmLDesc sFrmSDesc iFrmPeso
Enc_Encomio.xml: iEncId sEncLDesc sEncSDesc
Bnd_Bande.xml: iBndId iAcsId sAcsLDesc sBndDesc iBndMedMin iBndMedMax iBndCreMin iBndCreMax
  sBndMed sBndCre dDelete iLocked
DocCls.xml: iAnaId sDocNome iClsId iMatId sMatLDesc Login Password lClsMatAnaCoord iCnoOre
ClsGdz.xml: iGdzId iSitId iClsSesId iAnsSesDwgId bGdzGiudizio dInsert dStart dEnd iClsId
ClsFin.xml: iSitId iPosFinId sStaFinDettSDesc iClsId
Esi_Esito.xml: iPosFinId sStaFinDettLDesc sStaFinDettSDesc iStaFinId
Gdt_GdzTemplate.xml: iGdtId sGdtTitolo bGdtGiudizio
Cno_ClassiNoteOre.xml: iCnoId iClsSesMatId iAnaId iCnoOre bCnoNota iClsSesMatId_1 iClsSesId
  iMatRmaId
CmpSca.xml: iCmpScaId iCmpPeso
FasiRec.xml: IAnsFreDwgId iFreId sFreSDesc sFreLDesc
EsitoRec.xml: iEreId sEreSDesc sEreLDesc lVisible iPesoRec
TipoRec.xml: iTreId sTreSDesc sTreLDesc lVisible iTrePeso
Rec.xml: iRecId iTreid iEreid iMatid iSitid iAnsFreDwgId dRecAttr dRecVer iPvrId
ProvaRec.xml: iPvrId sPvrLDesc sPvrSDesc
Competenze.xml: ICOMPID IANAID ICOMPASSEID ICOMPLIVID ILINGUASTRANIERAID SCOMPNOTE SCOMPASSEDESC
  SCOMPLIVDESC ICOMPLIVVALUE ICOMPLIVFASCIAMIN ICOMPLIVFASCIAMAX ISITID
CompAssi.xml: ICOMPASSEID SCOMPASSEDESC
CompLiv.xml: ICOMPLIVID SCOMPLIVDESC ICOMPLIVVALUE ICOMPLIVFASCIAMIN ICOMPLIVFASCIAMAX
Firme.xml: iFirId iQufId sQuaDettLDesc sFirNome dStart dEnd)";

// File name -> its columns in lower case, blank-separated (empty for the general packets).
QList<QPair<QString, QString>> packetTable()
{
    QList<QPair<QString, QString>> table;
    const QStringList words = QString(kPackets).split(QRegularExpression("\\s+"));
    for (int i = 0; i < words.size(); ++i) {
        if (words[i].contains(".xml"))
            table.append({words[i].section(':', 0, 0), {}});
        else if (words[i] == "as") // the columns of a packet above
            for (const QString other = words[++i]; const auto &[file, columns] : table)
                table.last().second = file == other ? columns : table.last().second;
        else
            table.last().second += words[i].toLower() + ' ';
    }
    return table;
}

// Pupils ("P iAnaId iSitId surname") and votes ("V iSitId iVotId iScaLivId") of ClsAlu.xml and
// ClsVot.xml, as Python's own XML parser reads them.
const char kPythonReader[] =
    "import sys, xml.etree.ElementTree as E\n"
    "for t, f, k in ('P', 1, 'ianaid isitid sanacognome'), ('V', 2, 'isitid ipkid ivalid'):\n"
    " for r in E.parse(sys.argv[f]).iter('ROW'):\n"
    "  a = {n.lower(): v for n, v in r.attrib.items()}; print(t, *[a[x] for x in k.split()])\n";

class ClassExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
    }
    void TearDown() override { qelHistoryHooks().buildHistory = nullptr; }

    // The export as the class send window runs it, the class id by the demo's key rule; the
    // packets written, in order.
    QStringList exportClass(int clsSesId, int plan = -1, int session = 392, bool storico = false)
    {
        TdmqelXML xml;
        xml.iAnsSesDwgId = session;
        xml.SetSessionKind(session == 393 ? 3 : 2);
        xml.iMode = 1;
        xml.lStorico = storico;
        xml.lProteggiPwd = true;
        xml.LoadClassFlags(clsSesId / 10);
        xml.sFolder = folder;
        xml.iClsSesId = clsSesId;
        xml.iPstId = plan;
        QStringList written;
        xml.onPacketWritten = [&](const QString &file) {
            written << file;
            if (onPacket)
                onPacket(file);
        };
        xml.ExportClassData();
        return written;
    }
    // A packet's column (or blanks, with none), row by row; its column names.
    QStringList column(const QString &file, const char *field = nullptr, QString *names = nullptr)
    {
        TClientDataSet packet;
        packet.LoadFromFile(folder + file);
        for (const TFieldDef &def : packet.FieldDefs())
            if (names)
                *names += def.Name.toLower() + ' ';
        QStringList values;
        for (packet.First(); !packet.Eof(); packet.Next())
            values << (field ? packet.FieldByName(QLatin1String(field))->AsString() : QString());
        return values;
    }
    ProgramDatabase db;
    QString folder = db.mainDir.path() + QStringLiteral("Classi/5A/");
    std::function<void(const QString &)> onPacket;
};

} // namespace

TEST_F(ClassExport, WritesThePacketsThenTheHistoryThenInfoIniAndNothingHalfDone)
{
    // The history asked for with no writer installed: refused before anything is touched.
    runSql("UPDATE TClsSes SET iClsSesVot = 0 WHERE iClsSesId = 390052");
    EXPECT_THROW(exportClass(390052, -1, 392, true), EVxException);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(scalar("SELECT iClsSesVot FROM TClsSes WHERE iClsSesId = 390052").toInt(), 0);

    QStringList calls;
    qelHistoryHooks().buildHistory = [&](const QString &ids, const QString &dir, int year) {
        EXPECT_TRUE(QFileInfo::exists(folder + "Firme.xml"));
        EXPECT_FALSE(QFileInfo::exists(folder + "Info.ini"));
        calls << QStringLiteral("%1 %2 %3").arg(ids, dir).arg(year);
        return QStringLiteral("Elenco non salvato");
    };
    ScriptedDialogs dialogs;
    QStringList expected;
    for (const auto &[file, columns] : packetTable())
        expected << file;
    EXPECT_EQ(exportClass(390052, -1, 392, true), expected);
    EXPECT_EQ(calls, QStringList{"39005 " + folder + " 39"});
    EXPECT_TRUE(DialogSeam::shownTexts().contains("Elenco non salvato"));
    TdmqelXML back;
    back.sFolder = folder;
    EXPECT_TRUE(back.CheckClassInfo(39005, 390052));
    for (const auto &[file, columns] : packetTable().mid(7)) {
        QString names;
        column(file, nullptr, &names);
        EXPECT_EQ(names, columns) << file.toStdString();
    }
    EXPECT_EQ(column("ClsSes.xml", "ProteggiPwd"), QStringList{"1"});
    // The teachers' logins and passwords are for the folder's owner alone.
    for (const QString &file : QDir(folder).entryList(QDir::Files))
        EXPECT_EQ(VxIsOwnerOnly(folder + file), file == "DocCls.xml") << file.toStdString();

    QStringList arguments = {"--noout", "--schema",
                             TAVRIN_SOURCE_DIR "/tests/platform/fixtures/datapacket.xsd"};
    for (const QString &file : QDir(folder).entryList({"*.xml"}, QDir::Files))
        arguments << folder + file;
    EXPECT_EQ(QProcess::execute("xmllint", arguments), 0);
    QProcess python;
    python.start("python3", {"-c", kPythonReader, folder + "ClsAlu.xml", folder + "ClsVot.xml"});
    ASSERT_TRUE(python.waitForFinished(60000));
    QStringList read = QString(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QStringList stored;
    for (QSqlQuery q = runSql(
             "SELECT 'P ' || s.iAnaId || ' ' || s.iSitId || ' ' || a.sAnaCognome FROM "
             "TSit_Situazioni s JOIN TAna_Anagrafiche a ON a.iAnaId = s.iAnaId WHERE s.iClsPstId "
             "IN (390051, 390052) AND s.iSitOrdine = 1 AND s.iSitPosReg > 0 UNION ALL SELECT 'V "
             "' || iSitId || ' ' || iVotId || ' ' || iScaLivId FROM TVot_Voti WHERE iClsMatCmpId "
             "IN (SELECT iClsMatCmpId FROM VClsMatCmp WHERE iClsSesId = 390052)");
         q.next();)
        stored << q.value(0).toString();
    read.sort();
    stored.sort();
    EXPECT_EQ(read, stored);

    // Exported again over the complete folder, failing half-way: the old seal is gone.
    onPacket = [](const QString &file) {
        if (file == "ClsVot.xml")
            throw EVxException("disco pieno");
    };
    EXPECT_THROW(exportClass(390052), EVxException);
    EXPECT_FALSE(back.CheckClassInfo(39005, 390052) || QFileInfo::exists(folder + "Info.ini"));
}

TEST_F(ClassExport, EdgeCasesOfClassesSessionsPlansCreditsAndTeachers)
{
    const auto krypto = [](const char *text) {
        return Krypto(QLatin1String(text), "R5t", 20, QStringLiteral("Z"), QStringLiteral("A"));
    };
    const auto ins = [](const char *table, const char *columns, const char *values) {
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns, values);
    };
    struct Case
    {
        const char *what;
        int clsSesId, plan, session;
        QStringList setup;
        QStringList pupils; // the situations of ClsAlu.xml, when checked
        std::function<void(const QStringList &written)> check;
    };
    // clang-format off
    const Case cases[] = {
        {"a class without pupils", 390052, -1, 392,
         {"UPDATE TSit_Situazioni SET iSitPosReg = 0 WHERE iClsPstId IN (390051, 390052)"}, {},
         [&](const QStringList &) {
             for (const char *file : {"ClsAlu.xml", "AluMat.xml", "ClsDeb.xml", "MVotDeb.xml",
                                      "MVtpDeb.xml", "InfDeb.xml", "AluMed.xml", "Competenze.xml"})
                 EXPECT_EQ(column(file).size(), 0) << file;
             EXPECT_GT(column("ClsVot.xml").size(), 0);
         }},
        {"two plans; a final session with a band type keeps its credits", 390052, -1, 392,
         {"UPDATE TSit_Situazioni SET iFreqId = 2 WHERE iSitId = 955",
          "UPDATE TSit_Situazioni SET iFreqId = 3 WHERE iSitId = 957"}, {},
         [&](const QStringList &) {
             EXPECT_EQ(column("ClsSes.xml", "sPstLDesc"), QStringList{"Liceo scientifico ordinario"});
             EXPECT_EQ(column("ClsSes.xml", "iClsSesCre"), QStringList{"1"});
             EXPECT_EQ(column("ClsAlu.xml", "Frequenza").mid(0, 4), QStringList({"D", "", "N", ""}));
             // Conduct is 10th in the ordinary plan and 9th in the other: once, the 9th.
             QStringList components = column("ClsMat.xml", "iClsMatCmpId");
             EXPECT_EQ(components.removeDuplicates(), 0);
             const qsizetype conduct = column("ClsMat.xml", "iMatId").indexOf("14");
             EXPECT_EQ(column("ClsMat.xml", "iMatRmaPstOrdine").value(conduct), "9");
         }},
        {"one plan", 390052, 12, 392, {}, {"956"}, [&](const QStringList &) {
             EXPECT_EQ(column("ClsSes.xml", "sPstLDesc"), QStringList{"Liceo scientifico senza religione"});
             QStringList votes = column("ClsVot.xml", "iSitId");
             votes.removeDuplicates();
             EXPECT_EQ(votes, QStringList{"956"});
         }},
        {"a deferred session: its suspended pupils", 390053, -1, 393, {}, {"957"}, nullptr},
        {"a qualification class: its admitted pupils; the hours of report-card sessions before, "
         "the deferred one left out", 390234, -1, 394,
         {ins("TVot_Voti", "iVotId, iClsMatCmpId, iSitId, iScaLivId", "9000001, 2929, 862, 212"),
          ins("TVot_Voti", "iVotId, iClsMatCmpId, iSitId, iScaLivId", "9000002, 2929, 863, 200"),
          "UPDATE TAnsSesDwg SET lAnsSesDwgPagella = 1 WHERE iAnsSesDwgId = 393",
          ins("TAss_Assenze", "iAssId, iClsSesMatId, iSitId, iAssOre", "9000003, 1203, 862, 50")},
         {"862"}, [&](const QStringList &) {
             EXPECT_EQ(column("ClsAlu.xml", "iSitOreAssenza")[0], scalar("SELECT SUM(a.iAssOre) "
                 "FROM TAss_Assenze a JOIN TClsSesMat m ON m.iClsSesMatId = a.iClsSesMatId "
                 "WHERE a.iSitId = 862 AND m.iClsSesId IN (390231, 390232)").toString());
         }},
        {"no taxonomies", 390052, -1, 392,
         {"UPDATE TClsSes SET iClsSesTas = 0 WHERE iClsSesId = 390052"}, {},
         [&](const QStringList &written) {
             EXPECT_EQ(written.size(), 7 + 38);
             EXPECT_FALSE(written.contains("ClsTas.xml") || QFile::exists(folder + "ClsTas.xml"));
         }},
        {"a first term: credits off, votes and proposals on", 390051, -1, 391,
         {"UPDATE TClsSes SET iClsSesVot = 0, iClsSesVtp = 0 WHERE iClsSesId = 390051"}, {},
         [&](const QStringList &) {
             EXPECT_EQ(scalar("SELECT iClsSesVot || iClsSesVtp || iClsSesCre FROM TClsSes "
                              "WHERE iClsSesId = 390051").toString(), "110");
             EXPECT_EQ(column("ClsSes.xml", "iClsSesCre"), QStringList{"0"});
         }},
        {"credits: final states but 1, 3, 5, 11 and lower-school seats left out", 390052, -1, 392,
         {"UPDATE TSit_Situazioni SET iPosFinId = 17 WHERE iSitId = 955",
          "UPDATE TCls_Classi SET iDwgSedId = 3 WHERE iClsId = 38004",
          "UPDATE TSedInf_SedeInfo SET sSedMecCod = 'ABEE01001Y' WHERE iSedId = "
          "(SELECT iSedId FROM TDwgSed WHERE iDwgSedId = 3)"}, {},
         [&](const QStringList &) {
             const QStringList sits = column("ClsCre.xml", "iSitId");
             EXPECT_FALSE(sits.contains("955") || sits.contains("552")); // 552: last year's 4A
             EXPECT_TRUE(sits.contains("957") && sits.contains("142"));  // suspended; 3A of 37
         }},
        {"teachers: the query's login, a password without a personal one, no conduct",
         390052, -1, 392,
         {ins("TAna_Anagrafiche", "iAnaId, sAnaCognome, sAnaNome", "1100000, 'Zeta', 'Ultimo'"),
          ins("TClsMatAna", "iClsMatAnaId, iClsId, iMatId, iAnaId", "9000001, 39005, 1, 1100000"),
          ins("TClsMatAna", "iClsMatAnaId, iClsId, iMatId, iAnaId", "9000002, 39005, 14, 1100000"),
          "UPDATE TAna_Anagrafiche SET sAnaPwPert = NULL WHERE iAnaId = 1000003"}, {},
         [&](const QStringList &) {
             QStringList rows = column("DocCls.xml", "iAnaId");
             for (const char *field : {"iMatId", "Login", "Password", "lClsMatAnaCoord", "iCnoOre"})
                 for (int i = 0; i < rows.size(); ++i)
                     rows[i] += ' ' + column("DocCls.xml", field)[i];
             EXPECT_EQ(rows.filter(QRegularExpression("^\\d+ \\d+ \\d{5} [A-Z]{20} ")).size(), 10);
             EXPECT_TRUE(rows.contains("1000001 1 00001 " +
                                       krypto("00F4241#07D8#ABCD01000X#00007D8pw001") + " 1 91"));
             EXPECT_TRUE(rows.contains("1000003 4 00003 " +
                                       krypto("00F4243#07D8#ABCD01000X#0001788") + " 0 94"));
             EXPECT_EQ(rows.filter(QRegularExpression("^1100000 1 10000 [A-Z]{20}  $")).size(), 1);
         }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProgramDatabase fresh;
        ASSERT_TRUE(fresh.opened);
        setDemoWorkingContext();
        for (const QString &sql : c.setup)
            runSql(sql);
        TdmqelXML::ClearFolder(folder);
        const QStringList written = exportClass(c.clsSesId, c.plan, c.session);
        if (!c.pupils.isEmpty())
            EXPECT_EQ(column("ClsAlu.xml", "iSitId"), c.pupils);
        if (c.check)
            c.check(written);
    }
}
