#include "platform/globalvars.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDomDocument>
#include <QFile>

namespace {

QDomElement readRoot(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QDomDocument doc;
    EXPECT_TRUE(bool(doc.setContent(&file)));
    return doc.documentElement();
}

} // namespace

TEST(TeachersXml, ListsTheTeachersOfSendMode4InNameOrder)
{
    ProgramDatabase db;
    ASSERT_TRUE(db.opened);
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 392);
    const QString path = db.mainDir.path() + QStringLiteral("docenti.xml");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("vecchio");
    old.close();

    WriteDocentiXml(nullptr, path);
    QDomElement root = readRoot(path);
    EXPECT_EQ(root.tagName(), QStringLiteral("ANAGRAFICHE"));
    const QDomNodeList teachers = root.elementsByTagName(QStringLiteral("ANAGRAFICA"));
    ASSERT_EQ(teachers.size(), 2);
    QStringList names;
    for (int i = 0; i < teachers.size(); ++i) {
        const QDomElement t = teachers.at(i).toElement();
        bool ok = false;
        t.firstChildElement(QStringLiteral("ID")).text().toInt(&ok);
        EXPECT_TRUE(ok);
        names << t.firstChildElement(QStringLiteral("COGNOME")).text() + QLatin1Char(' ') +
                     t.firstChildElement(QStringLiteral("NOME")).text();
    }
    QStringList sorted = names;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(names, sorted);

    // A session without teachers of that mode gives an empty root.
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 381);
    WriteDocentiXml(nullptr, path);
    root = readRoot(path);
    EXPECT_EQ(root.tagName(), QStringLiteral("ANAGRAFICHE"));
    EXPECT_FALSE(root.hasChildNodes());
}

TEST(SedeIni, ReadsFromTheMainFolderWithTheKeyOrDefaultWhenMissing)
{
    TestMainDir main;
    EXPECT_EQ(ReadSedeIni(QStringLiteral("TOIS00100X")), QStringLiteral("TOIS00100X"));
    EXPECT_EQ(ReadSedeAnno(QStringLiteral("Corrente"), 2008), 2008);

    // Folder names in another case, as a Windows installation leaves them.
    writeFileBytes(main.path() + QStringLiteral("etc/LUMENO/sede.ini"),
                   "[SEDE]\r\nTOIS00100X=Istituto 7\r\n[ANNO]\r\nCorrente=2009\r\n");
    EXPECT_EQ(ReadSedeIni(QStringLiteral("TOIS00100X")), QStringLiteral("Istituto 7"));
    EXPECT_EQ(ReadSedeIni(QStringLiteral("ALTRO")), QStringLiteral("ALTRO"));
    EXPECT_EQ(ReadSedeAnno(QStringLiteral("Corrente"), 2008), 2009);
    EXPECT_EQ(ReadSedeAnno(QStringLiteral("Manca"), 7), 7);
}
