#include "platform/dbxml.h"

#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QRegularExpression>

bool GetDBXML(const QSqlDatabase &db, const QString &key, const QString &codAppl, QStringList &list)
{
    list.clear();
    return VxExplain(QStringLiteral("Impossibile leggere la definizione XML %1.").arg(key), [&] {
        TVxTransactionScope scope(db);
        QSqlQuery &q = scope.transaction().Exec(
            QStringLiteral("SELECT Xml.bYXmlText FROM TYXml_XmlDefinizioni Xml "
                           "WHERE Xml.sYXmlKey = :sYXmlKey AND Xml.sYXmlCodAppl = :sYXmlCodAppl"),
            valuesOf({{"sYXmlKey", key}, {"sYXmlCodAppl", codAppl}}));
        if (!fetchNext(q))
            return false;
        const QVariant text = q.value(0);
        // The driver gives a text BLOB as its bytes.
        const QString xml = text.typeId() == QMetaType::QByteArray
                                ? QString::fromUtf8(text.toByteArray())
                                : text.toString();
        if (!xml.isEmpty())
            list = xml.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
        return true;
    });
}
