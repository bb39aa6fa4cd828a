// The teacher folder: what one teacher's grade-entry program needs for the subjects he teaches
// in the working year-session, the templates to print them, and Info.ini.

#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "exchange/qelxmlsql.h"
#include "platform/fileaccess.h"
#include "platform/vxexception.h"
#include "reportengine/reportstore.h"

namespace {

// The teachers' own report templates, by number.
constexpr int kVotiReport = 16089;
constexpr int kNoteReport = 16090;
constexpr int kDebitiReport = 16091;

} // namespace

void TdmqelXML::ExportTeacherData()
{
    const ExpDocFlags flags = readExpDoc();
    // Freed however the export ends: the window closes and the cursor comes back.
    TfmqelWait wait(QStringLiteral("Invio dati del docente: ") + sDocNome, TfmqelWait::Centred,
                    lCancel);
    m_wait = &wait;
    wait.ShowWait();

    DeleteFolderInfo();
    const bool classes = !TeacherClassList().isEmpty();
    exportGeneralTables(flags, true);
    if (flags.on(QStringLiteral("Vot")) || flags.on(QStringLiteral("Vtp")) ||
        flags.on(QStringLiteral("Tas")))
        writeTemplate(kVotiReport, QStringLiteral("Voti.frf"));
    if (flags.on(QStringLiteral("Not")))
        writeTemplate(kNoteReport, QStringLiteral("Note.frf"));
    if (flags.on(QStringLiteral("Deb")))
        writeTemplate(kDebitiReport, QStringLiteral("Debiti.frf"));
    if (classes)
        exportTeacherClasses(flags);
    scdExp.Close();
    SyncFolder();
    writeTeacherInfo(flags);
}

void TdmqelXML::writeTemplate(int reportId, const QString &fileName)
{
    // The stored body travels as it is: the teachers' program opens it with its own engine.
    const QByteArray bytes = TfrReportStore(readsConnection()).Bytes(reportId);
    // Made durable with the packets, by the folder's sync.
    VxReplaceFile(FolderFile(fileName), bytes, TVxFileSync::Later);
    afterPacket(fileName);
}

void TdmqelXML::exportTeacherClasses(const ExpDocFlags &flags)
{
    using namespace QelXmlSql;
    // Every statement names the teacher and the session, whatever else it needs.
    TVxFieldValues teacher;
    teacher.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    teacher.setValue(QStringLiteral("iAnaId"), iAnaId);
    TVxFieldValues verifier = teacher;
    verifier.setValue(QStringLiteral("iAnaId1"), iAnaId);
    TVxFieldValues years = verifier;
    years.setValue(QStringLiteral("iAnsIdPrec"), iAnsId - 1);
    years.setValue(QStringLiteral("iAnsId"), iAnsId);

    WritePacket(QStringLiteral("ClsDwg.xml"), teacherClsDwg(), teacher);
    WritePacket(QStringLiteral("ClsSes.xml"), teacherClsSes(), teacher);
    WritePacket(QStringLiteral("MatRmaPst.xml"), teacherMatRmaPst(), teacher);
    WritePacket(QStringLiteral("ClsMat.xml"), teacherClsMat(), teacher);
    WritePacket(QStringLiteral("MatCls.xml"), teacherMatCls(), teacher);
    WritePacket(QStringLiteral("ClsAlu.xml"), teacherClsAlu(), teacher);
    WritePacket(QStringLiteral("AluMat.xml"), teacherAluMat(), years);

    const struct
    {
        const char *key;
        const char *file;
        QString select;
    } values[] = {{"Vtp", "ClsVtp.xml", vtpSelect()},
                  {"Vot", "ClsVot.xml", votSelect()},
                  {"Tas", "ClsTas.xml", tasSelect()},
                  {"Aiu", "ClsAiu.xml", aiuSelect()},
                  {"Ass", "ClsAss.xml", assSelect()}};
    for (const auto &packet : values) {
        if (flags.on(QLatin1String(packet.key)))
            WritePacket(QLatin1String(packet.file), teacherValues(packet.select), teacher);
    }
    if (flags.on(QStringLiteral("Not")))
        WritePacket(QStringLiteral("ClsNot.xml"), teacherClsNot(), teacher);
    if (flags.on(QStringLiteral("Deb"))) {
        TVxFieldValues debts = verifier;
        debts.setValue(QStringLiteral("iAnsId"), iAnsId);
        WritePacket(QStringLiteral("ClsDeb.xml"), teacherClsDeb(), debts);
        WritePacket(QStringLiteral("MVotDeb.xml"), teacherMVotDeb(), teacher);
        WritePacket(QStringLiteral("MVtpDeb.xml"), teacherMVtpDeb(), teacher);
    }
    WritePacket(QStringLiteral("DocCls.xml"), teacherDocCls(), teacher);
}
