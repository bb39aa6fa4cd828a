#include "platform/clientdataset.h"
#include "platform/cp1252.h"
#include "platform/datapacket.h"
#include "platform/helpers.h"
#include "platform/vxexception.h"

#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

const QString kFixtures = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/fixtures";

QByteArray allByteValues()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    return bytes;
}

// One column of every type, and rows that put each type's edges to the files.
void fillEveryType(TClientDataSet &ds)
{
    ds.ClearFieldDefs();
    ds.AddFieldDef(QStringLiteral("iId"), ftInteger);
    ds.AddFieldDef(QStringLiteral("iBig"), ftInteger, 8);
    ds.AddFieldDef(QStringLiteral("sText"), ftString, 30);
    ds.AddFieldDef(QStringLiteral("bMemo"), ftMemo);
    ds.AddFieldDef(QStringLiteral("dDate"), ftDate);
    ds.AddFieldDef(QStringLiteral("tStamp"), ftDateTime);
    ds.AddFieldDef(QStringLiteral("fValue"), ftFloat);
    ds.AddFieldDef(QStringLiteral("bData"), ftBlob);
    ds.AddFieldDef(QStringLiteral("lFlag"), ftBoolean);
    ds.AddFieldDef(QStringLiteral("Voto 1° quadr."), ftString, 5); // no XML name
    ds.AddFieldDef(QStringLiteral("RowState"), ftInteger);         // the layout's own word
    ds.AddFieldDef(QStringLiteral("\uFEFFsText"), ftString, 5);    // a name of its own
    ds.CreateDataSet();
    const QList<QVariantList> rows = {
        {}, // every value null
        {1, qlonglong(9223372036854775807LL), QStringLiteral("àèéìòù €"),
         QStringLiteral("  Va bene\r\nin\tclasse <&\"'>  "), QDate(2008, 2, 29),
         QDateTime(QDate(2008, 2, 29), QTime(23, 59, 58, 123)), 7.25, allByteValues(), true,
         QStringLiteral("8½"), 4},
        {qlonglong(-2147483648LL), qlonglong(-9223372036854775807LL - 1), QString(), QString(),
         QDate(1900, 3, 1), QDate(2000, 1, 1).startOfDay(), 0.1, QByteArray(), false,
         QStringLiteral(" "), 0},
        {0, 0, QStringLiteral("\uFEFFPiù"), QStringLiteral("\n"), QDate(9999, 12, 31),
         QDateTime(QDate(1970, 1, 1), QTime(0, 0, 0, 1)), -1.5e-300, QByteArray(1, '\0'), true,
         QVariant(), QVariant()},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), 1234567.875e10,
         QVariant(), QVariant(), QVariant(), QVariant()},
    };
    for (const QVariantList &row : rows) {
        ds.Append();
        for (int c = 0; c < row.size(); ++c)
            ds.Fields(c)->setValue(row.at(c));
        ds.Post();
    }
}

std::vector<QList<QVariant>> storedRows(const TClientDataSet &ds)
{
    std::vector<QList<QVariant>> rows;
    for (int r = 0; r < ds.StoredRecordCount(); ++r)
        rows.push_back(ds.StoredRecord(r));
    return rows;
}

void expectSameColumns(const QList<TFieldDef> &a, const QList<TFieldDef> &b, const char *where)
{
    ASSERT_EQ(a.size(), b.size()) << where;
    for (int c = 0; c < a.size(); ++c) {
        EXPECT_EQ(a[c].Name, b[c].Name) << where;
        EXPECT_EQ(a[c].DataType, b[c].DataType) << where << " " << a[c].Name.toStdString();
        EXPECT_EQ(a[c].Size, b[c].Size) << where << " " << a[c].Name.toStdString();
    }
}

void expectSameRows(const TClientDataSet &a, const TClientDataSet &b, const char *where)
{
    const auto ra = storedRows(a);
    const auto rb = storedRows(b);
    ASSERT_EQ(ra.size(), rb.size()) << where;
    for (size_t r = 0; r < ra.size(); ++r)
        for (int c = 0; c < ra[r].size(); ++c) {
            EXPECT_EQ(ra[r][c].isNull(), rb[r][c].isNull())
                << where << " row " << r << " col " << c;
            EXPECT_EQ(ra[r][c], rb[r][c]) << where << " row " << r << " col " << c;
        }
}

class DataPacketTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Saves the packet under the name and gives its path. Every packet the tests write goes
    // through here, so that each XML one is checked to be well-formed and to follow the
    // published layout.
    QString save(TClientDataSet &ds, const QString &name, TDataPacketFormat format) const
    {
        const QString file = path(name);
        ds.SaveToFile(file, format);
        if (format == dfXML)
            expectValidXml(file);
        return file;
    }

    void expectValidXml(const QString &file) const
    {
        QProcess lint;
        lint.start(QStringLiteral("xmllint"),
                   {QStringLiteral("--noout"), QStringLiteral("--schema"),
                    kFixtures + QStringLiteral("/datapacket.xsd"), file});
        ASSERT_TRUE(lint.waitForFinished(30000)) << "xmllint (libxml2-utils) did not run";
        EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
    }

    // The message a refused file gives, or "" when it loads.
    QString refusal(const QByteArray &bytes, const QString &name = QStringLiteral("pacchetto.cds"))
    {
        writeFileBytes(path(name), bytes);
        TClientDataSet ds;
        try {
            ds.LoadFromFile(path(name));
        } catch (const EVxException &e) {
            return e.message();
        }
        return QString();
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(DataPacketTest, EveryTypeReadsBackExactlyInBothFormsAndAcrossThem)
{
    // Numbers must not follow the office's locale into the files.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    TClientDataSet source;
    fillEveryType(source);
    TClientDataSet empty;
    fillEveryType(empty);
    empty.EmptyDataSet();

    const struct
    {
        const char *name;
        QList<TDataPacketFormat> route; // saved and loaded in these forms, in turn
    } cases[] = {{"xml", {dfXML}},
                 {"binary", {dfBinary}},
                 {"xml-binary-xml", {dfXML, dfBinary, dfXML}},
                 {"binary-xml-binary", {dfBinary, dfXML, dfBinary}}};
    for (TClientDataSet *original : {&source, &empty}) {
        for (const auto &c : cases) {
            TClientDataSet *from = original;
            std::vector<std::unique_ptr<TClientDataSet>> steps;
            QByteArray firstXml;
            for (int i = 0; i < c.route.size(); ++i) {
                const QString file =
                    save(*from, QStringLiteral("%1-%2").arg(c.name).arg(i), c.route[i]);
                if (c.route[i] == dfXML) {
                    if (firstXml.isEmpty())
                        firstXml = readFileBytes(file);
                    else
                        EXPECT_EQ(readFileBytes(file), firstXml) << c.name;
                }
                steps.push_back(std::make_unique<TClientDataSet>());
                steps.back()->LoadFromFile(file);
                from = steps.back().get();
            }
            expectSameColumns(original->FieldDefs(), from->FieldDefs(), c.name);
            expectSameRows(*original, *from, c.name);
            EXPECT_EQ(from->ChangeCount(), 0) << c.name;
        }
    }
    QLocale::setDefault(previous);

    // What another reader of the layout sees: values as the layout writes them; a control
    // character that XML cannot hold becomes a blank, the rest of the text stays.
    source.Last();
    source.Edit();
    source.FieldByName(QStringLiteral("bMemo"))
        ->setValue(QStringLiteral("a\x01"
                                  "b\x1F"));
    source.Post();
    const QString lookFile = save(source, QStringLiteral("look.xml"), dfXML);
    TClientDataSet look;
    look.LoadFromFile(lookFile);
    look.Last();
    EXPECT_EQ(look.FieldByName(QStringLiteral("bMemo"))->AsString(), QStringLiteral("a b "));
    const QByteArray xml = readFileBytes(lookFile);
    for (const char *piece :
         {"<?xml version=\"1.0\" encoding=\"UTF-8\"", "attrname=\"iBig\" fieldtype=\"i8\"",
          "attrname=\"iId\" fieldtype=\"i4\"", "fieldtype=\"string\" WIDTH=\"30\"",
          "fieldtype=\"bin.hex\" SUBTYPE=\"Text\"", "fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"",
          "fieldname=\"Voto 1° quadr.\"", "fieldname=\"RowState\"", " dDate=\"20080229\"",
          " tStamp=\"20080229T23:59:58123\"", " fValue=\"7.25\"", " fValue=\"0.1\"",
          "bMemo=\"  Va bene&#13;&#10;in&#9;classe &lt;&amp;&quot;&apos;&gt;  \"", "<ROW/>",
          " bData=\"AAECAwQFBgc"})
        EXPECT_TRUE(xml.contains(piece)) << piece;
}

TEST_F(DataPacketTest, TheContentDecidesTheFormAndDamagedFilesAreRefused)
{
    TClientDataSet ds;
    fillEveryType(ds);
    const QByteArray xml = readFileBytes(save(ds, QStringLiteral("xml"), dfXML));
    const QByteArray binary = readFileBytes(save(ds, QStringLiteral("bin"), dfBinary));

    // Either form under the other's name.
    EXPECT_EQ(refusal(xml, QStringLiteral("classe.cds")), QString());
    EXPECT_EQ(refusal(binary, QStringLiteral("classe.xml")), QString());

    // One column "A" (string): its row count at 24, the first value's length at 29.
    TClientDataSet one;
    one.AddFieldDef(QStringLiteral("A"), ftString, 10);
    one.CreateDataSet();
    one.Append();
    one.Fields(0)->setValue(QStringLiteral("abc"));
    one.Post();
    const QByteArray small = readFileBytes(save(one, QStringLiteral("one"), dfBinary));
    ASSERT_EQ(small.size(), 36);
    const auto patched = [&](int at, auto value) {
        QByteArray b = small;
        qToLittleEndian(value, b.data() + at);
        return b;
    };

    // Every value of every row empty: one bit each in the file, a whole value each in memory.
    const auto emptyRows = [&](quint32 columns, quint32 rows) {
        QByteArray b = small.left(10);
        const auto put = [&b](auto value) {
            char le[sizeof(value)];
            qToLittleEndian(value, le);
            b.append(le, sizeof(value));
        };
        put(columns);
        for (quint32 c = 0; c < columns; ++c) {
            const QByteArray name = "C" + QByteArray::number(c);
            put(quint32(name.size()));
            b.append(name);
            put(quint8(8));
            put(0u);
        }
        put(rows);
        return b + QByteArray(qsizetype(rows) * ((columns + 7) / 8), '\xFF');
    };

    // A packet with a DTD standing after the first start tag or the rows, whose entity the
    // row's value references.
    const auto dtdAt = [](const char *after) {
        QByteArray xml = "<?xml version=\"1.0\"?><DATAPACKET><METADATA><FIELDS><FIELD "
                         "attrname=\"A\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS></METADATA>"
                         "<ROWDATA><ROW A=\"&a;&a;\"/></ROWDATA></DATAPACKET>";
        return xml.insert(xml.indexOf(after) + qsizetype(strlen(after)),
                          "<!DOCTYPE x [<!ENTITY a \"aaaa\">]>");
    };
    const auto wideRow = [&](int attributes) {
        return dtdAt("<DATAPACKET>")
            .replace("<!DOCTYPE x [<!ENTITY a \"aaaa\">]>", "")
            .replace("<ROW A=\"&a;&a;\"", "<ROW" + xmlAttributes(attributes));
    };
    const QString utf16Dtd =
        QString::fromLatin1(dtdAt("<DATAPACKET>")).replace("?>", " encoding=\"UTF-16\"?>");
    const QByteArray inUtf16 =
        "\xFF\xFE" +
        QByteArray(reinterpret_cast<const char *>(utf16Dtd.utf16()), utf16Dtd.size() * 2);
    const struct
    {
        const char *what;
        QByteArray bytes;
        const char *says;
    } cases[] = {
        {"empty file", QByteArray(), "è vuoto"},
        {"plain text", "Voti della 5A\r\nRossi 7\r\n", "formato sconosciuto"},
        {"other XML", "<?xml version=\"1.0\"?><classe/>", "<classe>"},
        {"XML cut short", xml.left(xml.size() / 2), "XML non valido"},
        {"XML without its root's end", xml.left(xml.lastIndexOf("</DATAPACKET>")),
         "XML non valido"},
        {"no columns", patched(10, 0u), "non ha colonne"},
        {"columns overflow", patched(10, 0xFFFFFFFFu), "4294967295 colonne"},
        {"rows overflow", patched(24, 0xFFFFFFFFu), "4294967295 righe"},
        {"name overflow", patched(14, 0x7FFFFFFFu), "troncato"},
        {"text overflow", patched(29, 0xFFFFFFF0u), "troncato"},
        {"unknown type", patched(19, quint8(9)), "tipo sconosciuto"},
        {"unknown version", patched(8, quint16(2)), "versione"},
        {"bytes after the last row", small + "x", "dopo l'ultima riga"},
        {"empty rows asking for gigabytes", emptyRows(4096, 2100), "2100 righe di 4096 colonne"},
        {"entities declared",
         "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><DATAPACKET><METADATA><FIELDS><FIELD "
         "attrname=\"A\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS></METADATA><ROWDATA><ROW "
         "A=\"&b;&b;&b;&b;\"/></ROWDATA></DATAPACKET>",
         "DTD"},
        {"a DTD inside the packet's element", dtdAt("<DATAPACKET>"), "DTD"},
        {"a DTD inside the packet's element, in UTF-16", inUtf16, "DTD"},
        {"a DTD after the rows", dtdAt("</ROWDATA>").replace("&a;&a;", "b"), "DTD"},
        {"a DTD after the packet's element", dtdAt("</DATAPACKET>").replace("&a;&a;", "b"), "DTD"},
        {"a row of 40,000 attributes", wideRow(40000),
         "alla riga 1 un elemento con più di 1000 attributi"},
        {"a row of 200,000 attributes", wideRow(200000),
         "alla riga 1 un elemento con più di 1000 attributi"},
        {"nested past the cap of XML documents",
         "<DATAPACKET>" + QByteArray("<X>").repeated(300) + QByteArray("</X>").repeated(300) +
             "</DATAPACKET>",
         "annidati"},
    };
    for (const auto &c : cases) {
        const QString message = refusal(c.bytes);
        EXPECT_TRUE(message.contains(QStringLiteral("pacchetto.cds")))
            << c.what << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.says)))
            << c.what << ": " << message.toStdString();
    }

    // An XML packet past the cap of XML documents is refused before it is read.
    writeFileBytes(path(QStringLiteral("huge.xml")), xml);
    QFile huge(path(QStringLiteral("huge.xml")));
    ASSERT_TRUE(huge.resize(65 * 1024 * 1024));
    try {
        ds.LoadFromFile(huge.fileName());
        ADD_FAILURE() << "a 65 MB XML packet was read";
    } catch (const EVxException &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("64 MB"))) << e.message().toStdString();
    }
    huge.remove();

    // Every cut of a binary packet is refused; none reads past the end.
    for (qsizetype n = 1; n < binary.size(); ++n)
        ASSERT_NE(refusal(binary.left(n)), QString()) << n;

    // A refused file leaves the dataset as it was.
    writeFileBytes(path(QStringLiteral("cut.cds")), binary.left(binary.size() - 1));
    EXPECT_THROW(ds.LoadFromFile(path(QStringLiteral("cut.cds"))), EVxException);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_THROW(ds.LoadFromFile(path(QStringLiteral("none.cds"))), EVxException);

    // What the fuzz target found is refused, or read and then written in both forms that
    // read back.
    const QDir found(kFixtures + QStringLiteral("/packets/found"));
    for (const QFileInfo &f : found.entryInfoList(QDir::Files)) {
        TClientDataSet any;
        try {
            any.LoadFromFile(f.filePath());
        } catch (const EVxException &) {
            continue;
        }
        for (const TDataPacketFormat format : {dfXML, dfBinary}) {
            const QString again = save(any, QStringLiteral("found"), format);
            TClientDataSet back;
            EXPECT_NO_THROW(back.LoadFromFile(again)) << f.fileName().toStdString();
        }
    }
}

TEST_F(DataPacketTest, PacketsMadeElsewhereAreReadAsTheirCurrentRows)
{
    const QByteArray head = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    const struct
    {
        const char *what;
        QByteArray bytes;
        QStringList rows; // each row's values joined by "|", a null as "-"
    } cases[] = {
        {"Windows-1252 without a declaration",
         head + "<FIELD attrname=\"sNota\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS></METADATA>"
                "<ROWDATA><ROW sNota=\"Perch\xE9 \x80\x96\"/></ROWDATA></DATAPACKET>",
         {QStringLiteral("Perché €–")}},
        {"declared Windows-1252",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + head +
             "<FIELD attrname=\"sNota\" fieldtype=\"string\" WIDTH=\"3\"/></FIELDS></METADATA>"
             "<ROWDATA><ROW sNota=\"citt\xE0 pi\xF9 lunga\"/></ROWDATA></DATAPACKET>",
         {QStringLiteral("città più lunga")}},
        {"names in another letter case",
         "<datapacket VERSION=\"2.0\"><metadata><fields><field ATTRNAME=\"iClsId\" "
         "FieldType=\"I4\"/><field attrName=\"bNota\" fieldType=\"bin.hex\" subtype=\"text\"/>"
         "</fields><params change_log=\"2 0 4\"/></metadata><rowdata><row ICLSID=\"39005\" "
         "bnota=\"x\"/><Row rowstate=\"4\" iclsid=\"7\"/></rowdata></datapacket>",
         {QStringLiteral("39005|x"), QStringLiteral("7|-")}},
        {"the old library's empty date",
         head + "<FIELD attrname=\"dDebVer\" fieldtype=\"date\"/><FIELD attrname=\"tIns\" "
                "fieldtype=\"dateTime\"/></FIELDS></METADATA><ROWDATA><ROW dDebVer=\"18991230\" "
                "tIns=\"18991230T00:00:00000\"/><ROW dDebVer=\"18991231\" "
                "tIns=\"18991230T08:00:00000\"/></ROWDATA></DATAPACKET>",
         {QStringLiteral("-|-"), QStringLiteral("31/12/1899|30/12/1899 08:00:00")}},
        {"a change log: inserted, modified and deleted rows",
         readFileBytes(kFixtures + QStringLiteral("/packets/changelog.xml")),
         {QStringLiteral("101|1|106|6|10/06/2008"), QStringLiteral("102|1|107|7|10/06/2008"),
          QStringLiteral("104|2|108|8|12/06/2008")}},
    };
    for (const auto &c : cases) {
        writeFileBytes(path(QStringLiteral("altrove.xml")), c.bytes);
        TClientDataSet ds;
        try {
            ds.LoadFromFile(path(QStringLiteral("altrove.xml")));
        } catch (const EVxException &e) {
            ADD_FAILURE() << c.what << ": " << e.message().toStdString();
            continue;
        }
        QStringList rows;
        for (ds.First(); !ds.Eof(); ds.Next()) {
            QStringList values;
            for (int i = 0; i < ds.FieldCount(); ++i)
                values << (ds.Fields(i)->IsNull() ? QStringLiteral("-") : ds.Fields(i)->AsString());
            rows << values.join(QLatin1Char('|'));
        }
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(ds.ChangeCount(), 0) << c.what;
    }

    // A change log that does not fit its rows refuses the packet rather than importing
    // originals and changes side by side.
    const QByteArray good = readFileBytes(kFixtures + QStringLiteral("/packets/changelog.xml"));
    const QByteArray log = "CHANGE_LOG=\"4 0 4 5 2 8 3 0 2\"";
    const QByteArray modifiedRow = "<ROW RowState=\"8\" iValId=\"107\" sValSDesc=\"7\"/>";
    const struct
    {
        const char *what;
        QByteArray bytes;
    } broken[] = {
        {"a row past the end", QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 2 8 9 0 2\"")},
        {"a changed row left out", QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 2 8\"")},
        {"no log at all", QByteArray(good).replace(log, "")},
        {"a change without its original",
         QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 0 8 3 0 2\"")},
        {"an original that is not one",
         QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 1 8 3 0 2\"")},
        {"a state the row does not have",
         QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 2 4 3 0 2\"")},
        {"not in threes", QByteArray(good).replace(log, "CHANGE_LOG=\"4 0 4 5 2 8 3 0\"")},
        {"one change given to two originals",
         QByteArray(good)
             .replace("<ROW iSitId=\"101\"", "<ROW RowState=\"1\" iSitId=\"101\"")
             .replace(log, "CHANGE_LOG=\"4 0 4 5 2 8 3 0 2 5 1 8\"")},
        {"an original without its new version",
         QByteArray(good).replace(modifiedRow, "").replace(log, "CHANGE_LOG=\"4 0 4 3 0 2\"")},
    };
    // Nor is a packet read whose undeclared text mixes UTF-8 with Windows-1252.
    const QByteArray mixed = head + "<FIELD attrname=\"sNota\" fieldtype=\"string\" WIDTH=\"20\"/>"
                                    "</FIELDS></METADATA><ROWDATA><ROW sNota=\"perch\xE9\"/><ROW "
                                    "sNota=\"\xC3\xA8 \xE2\x80\x99\"/></ROWDATA></DATAPACKET>";
    for (const QByteArray &utf8 : {QByteArray("\xC3\xA8"), QByteArray("\xE2\x80\x99")})
        EXPECT_TRUE(refusal(QByteArray(mixed).replace("\xC3\xA8 \xE2\x80\x99", utf8), "ClsGdz.xml")
                        .contains(QStringLiteral("mescola")))
            << utf8.toHex().toStdString();
    for (const auto &b : broken) {
        ASSERT_NE(b.bytes, good) << b.what;
        const QString message = refusal(b.bytes, QStringLiteral("ClsVot.xml"));
        EXPECT_TRUE(message.contains(QStringLiteral("registro delle modifiche")))
            << b.what << ": " << message.toStdString();
    }

    // The codec the reader falls back on: every byte has a character, and back.
    const QString text = decodeCp1252(allByteValues());
    EXPECT_EQ(text.at(0x80), QChar(0x20AC));
    EXPECT_EQ(encodeCp1252(text), std::optional<QByteArray>(allByteValues()));
    EXPECT_EQ(encodeCp1252(QStringLiteral("€ ∑")), std::nullopt);
}

TEST_F(DataPacketTest, APacketFilledFromTheDemoSchoolKeepsItsTypesSizesAndNames)
{
    TestDatabase tdb;
    QSqlDatabase db = tdb.connect();
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT MIN(n.iNotId) FROM TNot_Note n")) && q.next());
    const int note = q.value(0).toInt();
    ASSERT_TRUE(q.prepare(QStringLiteral("UPDATE TNot_Note SET bNotNota = ? WHERE iNotId = ?")));
    q.addBindValue(QStringLiteral("Più attenzione\r\nnello studio."));
    q.addBindValue(note);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.prepare(QStringLiteral(
        "UPDATE TClsSes SET bClsSesRepos = ? WHERE iClsSesId = (SELECT csm.iClsSesId FROM "
        "TNot_Note n JOIN TClsSesMat csm ON csm.iClsSesMatId = n.iClsSesMatId WHERE n.iNotId = "
        "?)")));
    q.addBindValue(allByteValues());
    q.addBindValue(note);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();

    // The pupil's, the person's and the note author's iAnaId: three columns of one name.
    ASSERT_TRUE(q.prepare(QStringLiteral(
        "SELECT n.iSitId, n.bNotNota, cs.bClsSesRepos, CAST(? AS VARCHAR(3)) AS sSigla, "
        "(SELECT COUNT(*) FROM TVot_Voti v WHERE v.iSitId = n.iSitId) AS nVoti, "
        "sit.iAnaId, ana.iAnaId, n.iAnaId FROM TNot_Note n "
        "JOIN TClsSesMat csm ON csm.iClsSesMatId = n.iClsSesMatId "
        "JOIN TClsSes cs ON cs.iClsSesId = csm.iClsSesId "
        "JOIN TSit_Situazioni sit ON sit.iSitId = n.iSitId "
        "JOIN TAna_Anagrafiche ana ON ana.iAnaId = sit.iAnaId WHERE n.iNotId = ?")));
    q.addBindValue(QStringLiteral("più"));
    q.addBindValue(note);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    TClientDataSet filled;
    filled.FillFromQuery(q);
    ASSERT_EQ(filled.RecordCount(), 1);
    const QList<TFieldDef> expected = {
        {QStringLiteral("ISITID"), ftInteger, 0},    {QStringLiteral("BNOTNOTA"), ftMemo, 0},
        {QStringLiteral("BCLSSESREPOS"), ftBlob, 0}, {QStringLiteral("SSIGLA"), ftString, 3},
        {QStringLiteral("NVOTI"), ftInteger, 8},     {QStringLiteral("IANAID"), ftInteger, 0},
        {QStringLiteral("IANAID_1"), ftInteger, 0},  {QStringLiteral("IANAID_2"), ftInteger, 0}};
    expectSameColumns(filled.FieldDefs(), expected, "filled");

    for (const TDataPacketFormat format : {dfXML, dfBinary}) {
        const QString file = save(
            filled, format == dfXML ? QStringLiteral("n.xml") : QStringLiteral("n.cds"), format);
        if (format == dfXML)
            EXPECT_TRUE(readFileBytes(file).contains("attrname=\"NVOTI\" fieldtype=\"i8\""));
        TClientDataSet back;
        back.LoadFromFile(file);
        expectSameColumns(back.FieldDefs(), expected, file.toUtf8().constData());
        expectSameRows(filled, back, file.toUtf8().constData());
        EXPECT_EQ(back.FieldByName(QStringLiteral("sSigla"))->AsString(), QStringLiteral("più"));
        EXPECT_EQ(back.FieldByName(QStringLiteral("bNotNota"))->AsString(),
                  QStringLiteral("Più attenzione\r\nnello studio."));
        EXPECT_EQ(back.FieldByName(QStringLiteral("bClsSesRepos"))->AsBytes(), allByteValues());
    }

    // The make-up filter of the class collection, on rows with nulls and capital names.
    ASSERT_TRUE(
        q.exec(QStringLiteral("SELECT sit.iSitId, r.iMatId FROM TSit_Situazioni sit "
                              "LEFT JOIN TRec_Recuperi r ON r.iSitId = sit.iSitId UNION ALL "
                              "SELECT -sit.iSitId, 1 FROM TSit_Situazioni sit UNION ALL SELECT "
                              "NULL, 1 FROM RDB$DATABASE")));
    TClientDataSet recs;
    recs.FillFromQuery(q);
    int nulls = 0;
    int expectedMatches = 0;
    for (int r = 0; r < recs.StoredRecordCount(); ++r) {
        const QList<QVariant> &v = recs.StoredRecord(r);
        nulls += v[0].isNull() || v[1].isNull();
        expectedMatches +=
            !v[0].isNull() && !v[1].isNull() && v[0].toLongLong() > 0 && v[1].toLongLong() > 0;
    }
    ASSERT_GT(nulls, 1);
    ASSERT_GT(expectedMatches, 0);
    recs.LoadFromFile(save(recs, QStringLiteral("Rec.xml"), dfXML));
    recs.setFilter(QStringLiteral("iSitId>0 and iMatId>0"));
    recs.setFiltered(true);
    EXPECT_EQ(recs.RecordCount(), expectedMatches);
}

TEST_F(DataPacketTest, ASaveSyncedLaterStillReplacesTheWholeFileOrNothing)
{
    TClientDataSet ds;
    fillEveryType(ds);
    writeFileBytes(path("later"), "an older, longer packet that must go entirely");
    ds.SaveToFile(path("later"), dfXML, TVxFileSync::Later);
    EXPECT_EQ(readFileBytes(path("later")), readFileBytes(save(ds, "now", dfXML)));
    // A target that cannot be replaced (a folder) stays; no temporary file is left.
    ASSERT_TRUE(QDir().mkpath(path("folder/inside")));
    EXPECT_THROW(ds.SaveToFile(path("folder"), dfXML, TVxFileSync::Later), EVxException);
    EXPECT_EQ(QDir(path(QString())).entryList(QDir::Files), (QStringList{"later", "now"}));
    EXPECT_TRUE(SyncFolderToDisk(path(QString())) && !SyncFolderToDisk(path("missing")));
}
