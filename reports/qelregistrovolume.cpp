#include "reports/qelregistrovolume.h"

#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/enumvalues.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/sleep.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/zip.h"
#include "reportengine/reportmodule.h"
#include "reportengine/tuvpdf.h"
#include "reports/qelprintjob.h"
#include "reports/qelrptdatasets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QScopeGuard>
#include <QSqlRecord>

#include <algorithm>

namespace {

const char kSchoolCodes[] =
    "SELECT vs.SSEDINFCODVEXTO, vs.sSedMecCod FROM VSED_SEDI vs WHERE vs.LDWGSEDMAIN = 1 "
    "AND vs.IDWGID IS NULL AND vs.DEND_SED IS NULL";
const char kSessionClasses[] =
    "SELECT Cls.iClsId, Cls.sClsDesc FROM VCls_Classi Cls "
    "INNER JOIN TClsSes ClsSes ON (Cls.iClsId = ClsSes.iClsId) "
    "INNER JOIN TAnsSesDwg ASD ON (ClsSes.iAnsSesDwgId = ASD.iAnsSesDwgId) "
    "WHERE ASD.iAnsSesDwgId = :iAnsSesDwgId";
// The custom templates' numbers: above the first, below the last.
constexpr int kCustomFirst = 3000000;
constexpr int kCustomEnd = 3010000;
const char kCustomTemplates[] =
    "SELECT rpt.iYRptId, rpt.sYRptDesc FROM TYRpt_RptTemplate rpt "
    "WHERE rpt.iYRptId > 3000000 AND rpt.iYRptId < 3010000 AND rpt.iYRptVersion IS NOT NULL";
const char kPupils[] = "SELECT COUNT(Sit.iSitId) FROM TSit_Situazioni Sit "
                       "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
                       "WHERE Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0 AND ClsPst.iClsId IN (%1)";
// The print service's tools look for the comment: it stays in the text.
const char kRegisterClasses[] =
    "SELECT DISTINCT VCls.iClsId, TClsSes.iClsSesId, TAnsSesDwg.iAnsSesDwgId, VCls.iClsOrdine, "
    "VCls.sIndLDesc, VCls.sIndSDesc, VCls.sIndCodMin, VCls.sIndCod, VCls.sSezLDesc, "
    "VCls.sSezSDesc, VCls.sAcsLDesc, VCls.sAcsSDesc, VCls.iAcsAnnoCorso, VCls.sClSDesc, "
    "VCls.sClsSDesc, VCls.sClsAnnoScol, VSed.sSedMecCod, TSes.sSesDesc, TSes.sSesNote, "
    "TSfi.sSfiLDesc, TSfi.sSfiSDesc FROM TClsSes "
    "INNER JOIN TAnsSesDwg ON (TAnsSesDwg.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
    "INNER JOIN TSes_Sessione TSes ON (TSes.iSesId = TAnsSesDwg.iSesId) "
    "INNER JOIN TSfi_SessFinale TSfi ON (TSfi.iSfiId = TAnsSesDwg.iSfiId) "
    "LEFT JOIN VCls_Classi VCls ON (VCls.iClsId = TClsSes.iClsId) "
    "LEFT JOIN VSed_Sedi VSed ON (VSed.iDwgSedId = VCls.iDwgSedId) "
    "WHERE TAnsSesDwg.iAnsSesDwgId = :iAnsSesDwgId /*VOLUME*/ AND TClsSes.iClsId IN (%1) "
    "ORDER BY VCls.iClsOrdine";

const char *const kIntermediates[] = {".pdf", ".ist", ".xml"};

// A school code makes part of a file name that Windows peers and the print service read too:
// none of the characters a file name may not hold there, no "_" (it separates the name's parts,
// which the volume management reads back), and no blank or "." at either end.
bool fitsFileName(const QString &code)
{
    if (code.isEmpty() || code.startsWith(QLatin1Char(' ')) || code.endsWith(QLatin1Char(' ')) ||
        code.startsWith(QLatin1Char('.')) || code.endsWith(QLatin1Char('.')))
        return false;
    return std::none_of(code.cbegin(), code.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7F ||
               QStringView(u"<>:\"/\\|?*_").contains(c);
    });
}

// One bound parameter per class: ":iClsId0, :iClsId1, ...".
QString classParams(const QList<int> &classIds)
{
    QStringList names;
    for (int i = 0; i < classIds.size(); ++i)
        names << QStringLiteral(":iClsId%1").arg(i);
    return names.join(QStringLiteral(", "));
}

// The print types of A3; A4 offers the first two, the qualification box leaves out the last.
const char *const kPrintTypes[] = {"Quadrimestri (3 componenti)", "Quadrimestri (4 componenti)",
                                   "Quadrimestri (6 componenti)", "Trimestri (3 componenti)",
                                   "Trimestri (4 componenti)"};
const int kReportIds[2][2][5] = {
    {{16169, 16171, 0, 0, 0}, {16182, 16183, 0, 0, 0}},
    {{16170, 16172, 16173, 16174, 16175}, {16179, 16180, 16181, 16184, 0}},
};

// Any entry makes a name taken: a link someone planted there, one pointing nowhere included,
// would carry the run's files wherever it points.
bool taken(const QString &folder, const QString &stem)
{
    for (const char *extension : {".kaf", ".pdf", ".ist", ".xml"}) {
        if (VxNameTaken(resolvePath(folder + stem + QLatin1String(extension))))
            return true;
    }
    return false;
}

// A run holds its name from the choice of the name to the catalogue row; once the hold is
// stale, its files are litter.
std::unique_ptr<TVxSharedHold> holdOf(const QString &folder, const QString &stem)
{
    return std::make_unique<TVxSharedHold>(folder + stem + QStringLiteral(".lck"));
}

// The catalogue is read, changed and written by one program at a time.
std::unique_ptr<TVxSharedHold> lockCatalogue(const QString &folder)
{
    auto lock = std::make_unique<TVxSharedHold>(folder + QStringLiteral("info.xml.lck"));
    if (!lock->tryTake(10000))
        throw EVxException(
            QStringLiteral("Il catalogo dei volumi %1 è in uso da un altro programma%2: "
                           "riprovare fra qualche istante.")
                .arg(QDir::toNativeSeparators(folder + QStringLiteral("info.xml")),
                     lock->holderText()));
    return lock;
}

void loadCatalogue(TClientDataSet &catalogue, const QString &path)
{
    if (QFileInfo::exists(path)) {
        catalogue.LoadFromFile(path);
        return;
    }
    catalogue.AddFieldDef(QStringLiteral("sNomeFile"), ftString, 50);
    catalogue.AddFieldDef(QStringLiteral("sTitolo"), ftString, 100);
    catalogue.CreateDataSet();
}

// What a run of the stem may have left: its intermediate files, its archive (unless the
// catalogue lists it: the run then ended but for letting its name go) and the temporary files
// of their writers, all named after the stem.
void removeRunFiles(const QString &folder, const QString &stem)
{
    bool catalogued = false;
    QelRegisterVolume::ChangeCatalogue(folder, [&](TClientDataSet &catalogue) {
        catalogued = catalogue.Locate(QStringLiteral("sNomeFile"), stem);
        return false;
    });
    // Compared as text: a code may hold a character that a name filter reads as a wildcard.
    const QString own = stem + QLatin1Char('.');
    const QString hidden = QLatin1Char('.') + own;
    for (const QFileInfo &file :
         QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString name = file.fileName();
        // A run writes no link: one named so is someone else's.
        if ((!name.startsWith(own) && !name.startsWith(hidden)) || file.isSymLink() ||
            name == stem + QStringLiteral(".lck") ||
            (catalogued && name == stem + QStringLiteral(".kaf")))
            continue;
        QFile::remove(file.absoluteFilePath());
    }
}

} // namespace

QelVolumeHooks &qelVolumeHooks()
{
    static QelVolumeHooks hooks;
    return hooks;
}

namespace QelRegisterVolume {

VolumeName::VolumeName(const QString &folder, const QelSchoolCodes &codes)
{
    // Two runs in one second would make one name, and the second would replace a volume that
    // may not have been sent: a name held by another run, or given to a volume, waits for the
    // next second.
    for (;;) {
        const QDateTime when =
            qelVolumeHooks().now ? qelVolumeHooks().now() : QDateTime::currentDateTime();
        m_stem = VolumeStem(codes, when);
        m_hold = holdOf(folder, m_stem);
        if (m_hold->tryTake()) {
            if (!taken(folder, m_stem))
                return;
            m_hold->release();
        }
        VxSleep(1000 - when.time().msec());
    }
}

VolumeName::~VolumeName() = default;

void ClearAbandonedRuns(const QString &folder)
{
    const QFileInfoList holds = QDir(folder).entryInfoList(
        {QStringLiteral("*.lck")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : holds) {
        const QString stem = file.completeBaseName();
        if (stem == QLatin1String("info.xml"))
            continue;
        // A hold that no live run keeps: its program is gone.
        const std::unique_ptr<TVxSharedHold> hold = holdOf(folder, stem);
        if (hold->tryTake())
            removeRunFiles(folder, stem);
    }
}

void ChangeCatalogue(const QString &folder, const std::function<bool(TClientDataSet &)> &change)
{
    const auto lock = lockCatalogue(folder);
    const QString path = resolvePath(folder + QStringLiteral("info.xml"));
    TClientDataSet catalogue;
    loadCatalogue(catalogue, path);
    if (change(catalogue))
        catalogue.SaveToFile(path, dfXML);
}

} // namespace QelRegisterVolume

namespace {

// Whatever happens to the run: the class query's own text back, the run's scroll handler
// gone, the datasets closed, the intermediate files removed, and the archive too unless the
// run reached its catalogue row.
class RunScope
{
public:
    RunScope(TdmqelRptDataSets &module, const QString &folder,
             std::unique_ptr<QelRegisterVolume::VolumeName> name)
        : m_module(module), m_folder(folder), m_stem(name->stem()), m_name(std::move(name))
    {
    }
    ~RunScope()
    {
        if (TfrDataSet *volumes = m_module.FindDataSet(QStringLiteral("cdsTitoli")))
            volumes->AfterScroll = nullptr;
        m_module.PreparaDataSet(m_module.qquClsSes);
        m_module.CloseAllDataSets();
        for (const char *extension : kIntermediates)
            QFile::remove(m_folder + m_stem + QLatin1String(extension));
        if (!m_kept)
            QFile::remove(m_folder + m_stem + QStringLiteral(".kaf"));
        // The name goes last: until then no other run may take it.
        m_name.reset();
    }
    void keepArchive() { m_kept = true; }

private:
    TdmqelRptDataSets &m_module;
    QString m_folder;
    QString m_stem;
    std::unique_ptr<QelRegisterVolume::VolumeName> m_name;
    bool m_kept = false;
};

template <typename Work> void step(const char *what, Work &&work)
{
    VxExplain(QStringLiteral("Il volume dei registri non è stato creato: errore durante %1.")
                  .arg(QString::fromUtf8(what)),
              work);
}

void after(QelVolumeStep done, const QString &folder, const QString &stem)
{
    if (qelVolumeHooks().afterStep)
        qelVolumeHooks().afterStep(done, folder, stem);
}

// The run's scroll handler: each volume reopens the class query on the chosen classes.
void attachVolumes(TdmqelRptDataSets &m, const QelVolumeRun &run, int session)
{
    const QString sql = QString::fromLatin1(kRegisterClasses).arg(classParams(run.classIds));
    m.FindDataSet(QStringLiteral("cdsTitoli"))->AfterScroll = [&m, sql, run,
                                                               session](TfrDataSet &) {
        TfrQuery *classes = m.qquClsSes;
        classes->Close();
        classes->setSQL(sql);
        classes->Params().clear();
        classes->DeclareParam(QStringLiteral("iAnsSesDwgId"), TfrParamType::Integer)
            .setValue(session);
        for (int i = 0; i < run.classIds.size(); ++i)
            classes->DeclareParam(QStringLiteral("iClsId%1").arg(i), TfrParamType::Integer)
                .setValue(run.classIds.at(i));
        classes->Open();
    };
}

// A descriptor that does not cover exactly the PDF's pages would be misprinted by the print
// service: a fault of the template, never packed.
void checkDescriptor(const TdmqelRptDataSets &m, int pdfPages, int reportId)
{
    const int covered = m.CurrentPage() - 1;
    if (covered != pdfPages)
        throw EVxException(QStringLiteral("Il descrittore di stampa copre %1 pagine, il PDF ne ha "
                                          "%2: il modello di stampa %3 non è corretto.")
                               .arg(covered)
                               .arg(pdfPages)
                               .arg(reportId));
}

// One row per text of the first list; a template that wrote fewer texts to the second list
// leaves the rest of its column empty.
void savePageDetails(TdmqelRptDataSets &m, const QString &path)
{
    TClientDataSet &details = m.cdsDettPagine;
    details.CreateDataSet();
    const QStringList &texts = m.PageDetails();
    const QStringList &searches = m.PageSearchTexts();
    for (int i = 0; i < texts.size(); ++i) {
        details.Append();
        details.FieldByName(QStringLiteral("iPage"))->setValue(i + 1);
        details.FieldByName(QStringLiteral("sGoogleSearch"))->setValue(texts.at(i));
        details.FieldByName(QStringLiteral("sShowCd"))->setValue(searches.value(i));
        details.Post();
    }
    details.SaveToFile(path, dfXML);
}

void pack(const QString &folder, const QString &stem)
{
    TZip zip;
    zip.setFileName(folder + stem + QStringLiteral(".kaf"));
    QStringList names;
    for (const char *extension : kIntermediates) {
        names << stem + QLatin1String(extension);
        zip.FileList() << folder + names.last();
    }
    zip.Add();
    if (zip.EntryNames() != names)
        throw EVxException(QStringLiteral("L'archivio %1 non contiene i tre file del volume.")
                               .arg(zip.FileName()));
}

void addCatalogueRow(const QString &folder, const QString &stem, const QString &title)
{
    QelRegisterVolume::ChangeCatalogue(folder, [&](TClientDataSet &catalogue) {
        catalogue.Append();
        catalogue.FieldByName(QStringLiteral("sNomeFile"))->setValue(stem);
        catalogue.FieldByName(QStringLiteral("sTitolo"))->setValue(title);
        catalogue.Post();
        return true;
    });
}

} // namespace

namespace QelRegisterVolume {

QString RegisterFolder()
{
    return VxMakeOwnFolder(resolvePath(GetMainDir() + QStringLiteral("USR/Dati/Registro"))) +
           QLatin1Char('/');
}

QelSchoolCodes ReadSchoolCodes()
{
    std::optional<QelSchoolCodes> codes;
    VxExplain(QStringLiteral("Impossibile leggere i codici della scuola."), [&] {
        VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kSchoolCodes), {},
                  [&codes](const QSqlQuery &q, const QSqlRecord &) {
                      if (!codes)
                          codes = QelSchoolCodes{q.value(0).toString().trimmed(),
                                                 q.value(1).toString().trimmed()};
                  });
    });
    if (!codes)
        throw EVxException(QStringLiteral("La scuola non ha una sede principale attiva: "
                                          "impossibile dare un nome al volume dei registri."));
    if (codes->customer.size() != 4)
        throw EVxException(QStringLiteral("Il codice cliente della sede principale (\"%1\") non è "
                                          "di 4 caratteri: impossibile dare un nome al volume "
                                          "dei registri.")
                               .arg(codes->customer));
    const std::pair<const char *, QString> named[] = {{"cliente", codes->customer},
                                                      {"meccanografico", codes->mec}};
    for (const auto &[what, code] : named) {
        if (!fitsFileName(code))
            throw EVxException(QStringLiteral("Il codice %1 della sede principale (\"%2\") non può "
                                              "stare nel nome di un file: impossibile dare un "
                                              "nome al volume dei registri. Correggere il codice "
                                              "nei dati della sede.")
                                   .arg(QLatin1String(what), code));
    }
    return *codes;
}

QString VolumeStem(const QelSchoolCodes &codes, const QDateTime &when)
{
    // Joined, never formatted: a code is the office's text, and a "%" in it is a character.
    const QTime t = when.time();
    const auto twoDigits = [](int n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    return codes.customer + QLatin1Char('_') + codes.mec + QLatin1Char('_') +
           when.date().toString(QStringLiteral("dd_MM_yyyy")) + QLatin1Char('_') +
           QString::number(t.hour()) + twoDigits(t.minute()) + twoDigits(t.second());
}

QStringList PrintTypes(bool a3, bool qualifica)
{
    QStringList types;
    const int count = !a3 ? 2 : qualifica ? 4 : 5;
    for (int i = 0; i < count; ++i)
        types << QString::fromLatin1(kPrintTypes[i]);
    return types;
}

int ReportId(bool a3, bool qualifica, int position)
{
    return position >= 0 && position < 5 ? kReportIds[a3][qualifica][position] : 0;
}

bool IsRegisterReport(int id)
{
    if (id > kCustomFirst && id < kCustomEnd)
        return true;
    for (const auto &format : kReportIds)
        for (const auto &types : format)
            if (id != 0 && std::find(std::begin(types), std::end(types), id) != std::end(types))
                return true;
    return false;
}

void LoadSessionClasses(QListWidget *list, int iAnsSesDwgId)
{
    VxExplain(QStringLiteral("Impossibile leggere le classi della sessione."), [&] {
        LoadEnumValues(qqoVxGlobConn(), list, QString::fromLatin1(kSessionClasses),
                       valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}));
    });
}

void LoadCustomTemplates(QListWidget *list)
{
    VxExplain(QStringLiteral("Impossibile leggere le stampe personalizzate."), [&] {
        LoadEnumValues(qqoVxGlobConn(), list, QString::fromLatin1(kCustomTemplates));
    });
}

int CountPupils(const QList<int> &classIds)
{
    if (classIds.isEmpty())
        return 0;
    TVxFieldValues values;
    for (int i = 0; i < classIds.size(); ++i)
        values.setValue(QStringLiteral("iClsId%1").arg(i), classIds.at(i));
    int count = 0;
    VxExplain(QStringLiteral("Impossibile contare gli alunni da stampare."), [&] {
        VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kPupils).arg(classParams(classIds)), values,
                  [&count](const QSqlQuery &q, const QSqlRecord &) { count = q.value(0).toInt(); });
    });
    return count;
}

QString Export(TdmqelRptDataSets &m, TdmVxRptFR &rpt, const QelVolumeRun &run)
{
    if (run.classIds.isEmpty())
        throw EVxException(QStringLiteral("Scegliere almeno una classe da stampare."));
    const QelSchoolCodes codes = ReadSchoolCodes();
    const QString folder = RegisterFolder();
    ClearAbandonedRuns(folder);
    auto name = std::make_unique<VolumeName>(folder, codes);
    const QString stem = name->stem();
    RunScope scope(m, folder, std::move(name));
    after(QelVolumeStep::Named, folder, stem);

    PrintJobStart(m, stem + QStringLiteral(".pdf"), run.media, codes.customer, codes.mec);
    m.cdsTitoli.CreateDataSet();
    m.cdsTitoli.Append();
    m.cdsTitoli.FieldByName(QStringLiteral("Volume"))->setValue(1);
    m.cdsTitoli.FieldByName(QStringLiteral("Titolo"))->setValue(run.title);
    m.cdsTitoli.Post();
    m.cdsTitoli.First();
    const int session = TVxWorkingContext::session();
    attachVolumes(m, run, session);
    m.SetSelAnsId(TVxWorkingContext::schoolYear());
    m.SetSelAnsSesDwgId(session);

    const QString pdf = folder + stem + QStringLiteral(".pdf");
    int pages = 0;
    // The report command's filter serves its other reports too: they keep their own title.
    const TfrPDFExportFilter filter = rpt.PDFExport;
    const int imageIndex = rpt.RptImageIndex();
    const auto restore = qScopeGuard([&] {
        rpt.PDFExport = filter;
        rpt.SetRptImageIndex(imageIndex);
    });
    step("la preparazione del registro", [&] {
        rpt.PDFExport.Title = QStringLiteral("Registro");
        rpt.PDFExport.Resolution = 600;
        rpt.SetRptImageIndex(4);
        rpt.LoadReportFromVxDB(run.reportId);
        if (!rpt.PrepareReport())
            throw EVxException(QStringLiteral("Il modello di stampa %1 non ha prodotto pagine.")
                                   .arg(run.reportId));
        pages = int(rpt.Pages().Pages.size());
    });
    step("l'esportazione in PDF", [&] { rpt.ExportTo(rpt.PDFExport, pdf); });
    m.qquClsSes->Close();
    after(QelVolumeStep::Exported, folder, stem);
    step("la scrittura del descrittore di stampa", [&] {
        // The last pupils' pages end with the PDF, however many pages each took.
        if (m.RangePending())
            m.SetCurrentPage(pages + 1);
        PrintJobEnd(m);
        checkDescriptor(m, pages, run.reportId);
        PrintJobWrite(folder + stem + QStringLiteral(".ist"), m.PrintJobText());
    });
    step("il salvataggio dei dettagli di pagina",
         [&] { savePageDetails(m, folder + stem + QStringLiteral(".xml")); });
    after(QelVolumeStep::DetailsSaved, folder, stem);
    step("la cifratura del PDF", [&] {
        TTuvPdf encrypted;
        encrypted.LoadFromFile(pdf);
        encrypted.Encrypt(QStringLiteral("MORDELVA"), QString(), 0, TTuvPdf::Permissions({}));
        encrypted.SaveToFile(pdf);
    });
    after(QelVolumeStep::Encrypted, folder, stem);
    step("la creazione dell'archivio", [&] { pack(folder, stem); });
    after(QelVolumeStep::Packed, folder, stem);
    step("l'aggiornamento del catalogo", [&] { addCatalogueRow(folder, stem, run.title); });
    scope.keepArchive();
    after(QelVolumeStep::Catalogued, folder, stem);
    return stem;
}

} // namespace QelRegisterVolume
