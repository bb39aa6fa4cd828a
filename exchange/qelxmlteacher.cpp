// The teacher folder: what one teacher's grade-entry program needs for the subjects he teaches
// in the working year-session, the templates to print them, and Info.ini.

#include "exchange/qelwait.h"
#include "exchange/qelxml.h"
#include "exchange/qelxmlsql.h"
#include "platform/vxexception.h"
#include "reportengine/reportstore.h"

#include <QDir>
#include <QSaveFile>

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
    const QString classes = TeacherClassList();
    exportGeneralTables(flags, true);
    if (flags.on(QStringLiteral("Vot")) || flags.on(QStringLiteral("Vtp")) ||
        flags.on(QStringLiteral("Tas")))
        writeTemplate(kVotiReport, QStringLiteral("Voti.frf"));
    if (flags.on(QStringLiteral("Not")))
        writeTemplate(kNoteReport, QStringLiteral("Note.frf"));
    if (flags.on(QStringLiteral("Deb")))
        writeTemplate(kDebitiReport, QStringLiteral("Debiti.frf"));
    if (!classes.isEmpty())
        exportTeacherClasses(classes, flags);
    scdExp.Close();
    SyncFolder();
    writeTeacherInfo(flags);
}

void TdmqelXML::writeTemplate(int reportId, const QString &fileName)
{
    // The stored body travels as it is: the teachers' program opens it with its own engine.
    const QByteArray bytes = TfrReportStore().Bytes(reportId);
    const QString path = FolderFile(fileName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1:\r%2")
                               .arg(QDir::toNativeSeparators(path), file.errorString()));
    afterPacket(fileName);
}

void TdmqelXML::exportTeacherClasses(const QString &classes, const ExpDocFlags &flags)
{
    using namespace QelXmlSql;
    TVxFieldValues session;
    session.setValue(QStringLiteral("iAnsSesDwgId"), iAnsSesDwgId);
    TVxFieldValues teacher = session;
    teacher.setValue(QStringLiteral("iAnaId"), iAnaId);
    TVxFieldValues verifier;
    verifier.setValue(QStringLiteral("iAnaId"), iAnaId);
    verifier.setValue(QStringLiteral("iAnaId1"), iAnaId);
    const QString years = QStringLiteral("(%1,%2)").arg(iAnsId - 1).arg(iAnsId);

    WritePacket(QStringLiteral("ClsDwg.xml"), teacherClsDwg().arg(classes));
    WritePacket(QStringLiteral("ClsSes.xml"), teacherClsSes().arg(classes), session);
    WritePacket(QStringLiteral("MatRmaPst.xml"), teacherMatRmaPst().arg(classes));
    WritePacket(QStringLiteral("ClsMat.xml"), teacherClsMat(), teacher);
    WritePacket(QStringLiteral("MatCls.xml"), teacherMatCls().arg(classes), teacher);
    WritePacket(QStringLiteral("ClsAlu.xml"), teacherClsAlu().arg(classes));
    const QString pupils = FieldValueList(QStringLiteral("iAnaId"));
    WritePacket(QStringLiteral("AluMat.xml"), teacherAluMat().arg(pupils, years), verifier);

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
            WritePacket(QLatin1String(packet.file), teacherValues(packet.select).arg(classes),
                        teacher);
    }
    if (flags.on(QStringLiteral("Not")))
        WritePacket(QStringLiteral("ClsNot.xml"), teacherClsNot().arg(classes), teacher);
    if (flags.on(QStringLiteral("Deb"))) {
        TVxFieldValues debts = verifier;
        debts.setValue(QStringLiteral("iAnsId"), iAnsId);
        WritePacket(QStringLiteral("ClsDeb.xml"), teacherClsDeb().arg(classes), debts);
        WritePacket(QStringLiteral("MVotDeb.xml"), mVotDeb().arg(pupils));
        WritePacket(QStringLiteral("MVtpDeb.xml"), mVtpDeb().arg(pupils));
    }
    WritePacket(QStringLiteral("DocCls.xml"), teacherDocCls().arg(classes));
}
