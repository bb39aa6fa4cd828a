// The class folder: everything the class coordinator's grade-entry program needs for one class
// session, the pupils' history pages when asked, and Info.ini.

#include "exchange/qelhistoryhook.h"
#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "exchange/qelxmlclasssql.h"
#include "exchange/qelxmlsql.h"
#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/krypto.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "shell/qeldatasets.h"

namespace {

// An integer in at least `width` upper-case hexadecimal digits, in 32 bits as the teachers'
// program computes it.
QString hex(qint64 value, int width)
{
    return QString::number(quint32(value), 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

TVxFieldValues values(std::initializer_list<std::pair<const char *, QVariant>> pairs)
{
    TVxFieldValues result;
    for (const auto &[name, value] : pairs)
        result.setValue(QLatin1String(name), value);
    return result;
}

} // namespace

QString MakeClassPasswd(int iAnaId, int yearValue, const QString &mecCode,
                        const QString &personalPart)
{
    const QString text = hex(iAnaId, 7) + QLatin1Char('#') + hex(yearValue, 4) + QLatin1Char('#') +
                         mecCode + QLatin1Char('#') +
                         hex((qint64(iAnaId) - 1000000) * yearValue, 7) + personalPart.trimmed();
    return Krypto(text, QStringLiteral("R5t"), 20, QStringLiteral("Z"), QStringLiteral("A"));
}

void TdmqelXML::ExportClassData()
{
    // Checked before anything is written: pages asked for are never skipped unsaid.
    const auto buildHistory = qelHistoryHooks().buildHistory;
    if (lStorico && !buildHistory)
        throw EVxException(QStringLiteral(
            "Lo storico HTML degli alunni non è disponibile in questo programma.\r\r"
            "Togliere la scelta \"Includi storico HTML\" per inviare i dati della classe."));
    QString historyWarning;
    {
        TVxHourglass hourglass;
        DeleteFolderInfo();
        exportGeneralTables({}, false);
        TfmqelWait wait(QStringLiteral("Invio dati della classe: ") + sClsDesc,
                        TfmqelWait::BottomRight, lCancel);
        m_wait = &wait;
        wait.ShowWait();
        PrepareClassSession();
        {
            // One snapshot for the folder: its packets agree with each other while another
            // office saves, and no read pays a commit of its own.
            TVxTransactionScope reads(qqoVxGlobConn());
            exportClassPackets();
            reads.Commit();
        }
        if (lStorico)
            historyWarning =
                buildHistory(QString::number(iClsId), LongDir(FolderFile(QString())), iAnsId);
        SyncFolder();
        WriteClassInfo();
        wait.Refresh();
    }
    // Shown once the wait window has gone, so that it does not cover the message.
    if (!historyWarning.isEmpty())
        VxMessageDlg(historyWarning, mtWarning, mbOK);
}

void TdmqelXML::PrepareClassSession()
{
    TVxTransaction transaction(qqoVxGlobConn());
    if (!transaction.StartTransaction())
        throw EVxException(transaction.lastError());
    transaction.ExecRow(QelXmlSql::prepareClassSession(), values({{"iClsSesId", iClsSesId}}));
    transaction.Commit();
}

void TdmqelXML::exportClassPackets()
{
    using namespace QelXmlSql;
    const auto filtered = [this](const QString &sql, const char *alias) {
        return BuildPstFilter(iPstId, sql, QLatin1String(alias), false);
    };
    const TVxFieldValues session = values({{"iClsSesId", iClsSesId}});

    scdExp.setCommandText(filtered(classClsSes(), "ClsPst"));
    scdExp.Params() = session;
    scdExp.Open();
    if (scdExp.IsEmpty())
        throw EVxException(QStringLiteral("La classe \"%1\" non ha un piano di studi da "
                                          "esportare nella sessione scelta.")
                               .arg(sClsDesc));
    iClsId = scdExp.FieldByName(QStringLiteral("iClsId"))->AsInteger();
    iAnsId = scdExp.FieldByName(QStringLiteral("iAnsId"))->AsInteger();
    WriteClsSes(scdExp);

    const TVxFieldValues cls = values({{"iClsId", iClsId}});
    const QString a = QString::number(iAnsId);
    const QString years = QStringLiteral("(%1,%2)").arg(iAnsId - 1).arg(iAnsId);
    WritePacket(QStringLiteral("MatRmaPst.xml"), filtered(classMatRmaPst(), "TClsPst"), cls);
    WritePacket(QStringLiteral("ClsMat.xml"), filtered(classClsMat(), "ClsPst"),
                values({{"iClsId", iClsId}, {"iAnsSesDwgId", 0}}));
    // Only the admitted pupils of a qualification class, the suspended of a deferred session.
    WritePacket(QStringLiteral("ClsAlu.xml"),
                BuildPstFilter(iPstId, classClsAlu(), QStringLiteral("TClsPst"), true),
                values({{"iClsId", iClsId}, {"iAnsSesDwgId", iAnsSesDwgId}}));
    const QString pupils = FieldValueList(QStringLiteral("iAnaId"));
    const QString sits = FieldValueList(QStringLiteral("iSitId"));
    WritePacket(QStringLiteral("AluMat.xml"),
                BuildPstFilter(-1, classAluMat(), QStringLiteral("TClsPst"), true)
                    .arg(pupils, a, pupils, QString::number(iAnsId - 1)));

    const struct
    {
        const char *file;
        QString select;
        bool written;
    } valuePackets[] = {{"ClsVot.xml", votSelect(), true},
                        {"ClsVtp.xml", vtpSelect(), true},
                        {"ClsTas.xml", tasSelect(), iTas == 1},
                        {"ClsAiu.xml", aiuSelect(), true},
                        {"ClsAss.xml", assSelect(), true}};
    for (const auto &packet : valuePackets) {
        if (packet.written)
            WritePacket(QLatin1String(packet.file), filtered(classValues(packet.select), "ClsPst"),
                        session);
    }
    WritePacket(QStringLiteral("ClsNot.xml"), filtered(classClsNot(), "ClsPst"), session);
    WritePacket(QStringLiteral("ClsDeb.xml"), classClsDeb().arg(pupils));
    WritePacket(QStringLiteral("MVotDeb.xml"), mVotDeb().arg(pupils));
    WritePacket(QStringLiteral("MVtpDeb.xml"), mVtpDeb().arg(pupils));
    WritePacket(QStringLiteral("InfDeb.xml"), classInfDeb().arg(pupils));
    WritePacket(QStringLiteral("ClsCre.xml"), classClsCre(), cls);
    WritePacket(QStringLiteral("ClsCreSco.xml"), classCreSco(), cls);
    WritePacket(QStringLiteral("ClsCreFrm.xml"), classCreFrm(), cls);
    WritePacket(QStringLiteral("AluMed.xml"), aluMed().arg(pupils));
    WritePacket(QStringLiteral("Sco_Scol.xml"), scoScol());
    WritePacket(QStringLiteral("Frm_Form.xml"), frmForm());
    WritePacket(QStringLiteral("Enc_Encomio.xml"), encEncomio());
    WritePacket(QStringLiteral("Bnd_Bande.xml"), filtered(classBands(), "TClsPst"), session);

    scdExp.setCommandText(filtered(classDocCls(), "ClsPst"));
    scdExp.Params() = values({{"iClsId", iClsId}, {"iAnsSesDwgId", iAnsSesDwgId}});
    scdExp.Open();
    WriteDocCls(scdExp);

    WritePacket(QStringLiteral("ClsGdz.xml"), filtered(classGdz(), "TClsPst"), session);
    WritePacket(QStringLiteral("ClsFin.xml"), filtered(classFin(), "TClsPst"), cls);
    WritePacket(QStringLiteral("Esi_Esito.xml"), esiEsito());
    WritePacket(QStringLiteral("Gdt_GdzTemplate.xml"), gdtTemplate());
    WritePacket(QStringLiteral("Cno_ClassiNoteOre.xml"), classCno(), session);
    WritePacket(QStringLiteral("CmpSca.xml"), cmpSca());
    WritePacket(QStringLiteral("FasiRec.xml"), fasiRec(), values({{"iAnsId", iAnsId}}));
    WritePacket(QStringLiteral("EsitoRec.xml"), esitoRec());
    WritePacket(QStringLiteral("TipoRec.xml"), tipoRec());
    WritePacket(QStringLiteral("Rec.xml"), classRec(), cls);
    WritePacket(QStringLiteral("ProvaRec.xml"), provaRec());
    WritePacket(QStringLiteral("Competenze.xml"),
                classCompetences().arg(sits, years, QString::number(iClsId)));
    WritePacket(QStringLiteral("CompAssi.xml"), compAssi());
    WritePacket(QStringLiteral("CompLiv.xml"), compLiv());
    WritePacket(QStringLiteral("Firme.xml"), firme(),
                values({{"iDwgId", AggregateiDwgId(TVxWorkingContext::institute())}}));
    scdExp.Close();
}

void TdmqelXML::saveBuiltPacket(TClientDataSet &packet, const QString &fileName,
                                TVxFileAccess access)
{
    packet.SaveToFile(FolderFile(fileName), dfXML, TVxFileSync::Later, access);
    afterPacket(fileName);
}

void TdmqelXML::WriteClsSes(const TClientDataSet &source)
{
    TClientDataSet packet;
    for (const TFieldDef &def : source.FieldDefs())
        packet.AddFieldDef(def.Name, def.DataType, def.Size);
    packet.AddFieldDef(QStringLiteral("ProteggiPwd"), ftInteger);
    packet.CreateDataSet();
    packet.Append();
    for (int i = 0; i < source.FieldCount(); ++i)
        packet.Fields(i)->setValue(source.Fields(i)->Value());
    packet.FieldByName(QStringLiteral("ProteggiPwd"))->setValue(BoolToInt(lProteggiPwd));
    packet.Post();
    saveBuiltPacket(packet, QStringLiteral("ClsSes.xml"));
}

void TdmqelXML::WriteDocCls(const TClientDataSet &source)
{
    const struct
    {
        const char *name;
        TFieldType type;
        int size;
    } fields[] = {
        {"iAnaId", ftInteger, 0},   {"sDocNome", ftString, 100},      {"iClsId", ftInteger, 0},
        {"iMatId", ftInteger, 0},   {"sMatLDesc", ftString, 100},     {"Login", ftString, 5},
        {"Password", ftString, 50}, {"lClsMatAnaCoord", ftString, 1}, {"iCnoOre", ftInteger, 0}};
    TClientDataSet packet;
    for (const auto &field : fields)
        packet.AddFieldDef(QLatin1String(field.name), field.type, field.size);
    packet.CreateDataSet();

    // Read once: every teacher's password is built on the same code.
    const QString mecCode = TdmqelDataSets::MainSeatMecCode().value_or(QString());
    const auto column = [&source](const char *name) {
        return source.FieldByName(QLatin1String(name));
    };
    for (int row = 0; row < source.RecordCount(); ++row) {
        const auto value = [&](const char *name) {
            return source.Value(row, column(name)->Index());
        };
        packet.Append();
        for (const char *copied :
             {"iAnaId", "sDocNome", "iClsId", "iMatId", "sMatLDesc", "Login", "iCnoOre"})
            packet.FieldByName(QLatin1String(copied))->setValue(value(copied));
        const QVariant coordinator = value("lClsMatAnaCoord");
        packet.FieldByName(QStringLiteral("lClsMatAnaCoord"))
            ->setValue(coordinator.isNull() ? QVariant() : QVariant(coordinator.toString()));
        packet.FieldByName(QStringLiteral("Password"))
            ->setValue(MakeClassPasswd(value("iAnaId").toInt(), value("iAnsValore").toInt(),
                                       mecCode, value("sAnaPwPert").toString()));
        packet.Post();
    }
    // The teachers' logins and passwords: read by the class folder's owner alone.
    saveBuiltPacket(packet, QStringLiteral("DocCls.xml"), TVxFileAccess::OwnerOnly);
}
