#include "platform/xmldoc.h"

#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/vxexception.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

EVxException tooLarge(const QString &what)
{
    return EVxException(QStringLiteral("Il documento XML %1 supera il limite di %2.")
                            .arg(what, SizeText(kVxXmlMaxBytes)));
}

void checkLimits(qint64 size, QXmlStreamReader &reader, const QString &what, bool refuseDtd)
{
    if (size > kVxXmlMaxBytes)
        throw tooLarge(what);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kVxXmlMaxDepth)
            throw EVxException(QStringLiteral("Il documento XML %1 ha più di %2 livelli di "
                                              "elementi annidati.")
                                   .arg(what)
                                   .arg(kVxXmlMaxDepth));
        if (token == QXmlStreamReader::EndElement)
            --depth;
        if (token == QXmlStreamReader::DTD) {
            if (refuseDtd)
                throw EVxException(QStringLiteral("Il documento XML %1 dichiara un DTD, che non "
                                                  "è ammesso.")
                                       .arg(what));
            return; // read no further: its entities would expand
        }
    }
}

// No document the program reads from outside declares a DTD.
template <typename Text> void checkDocument(const Text &xml, const QString &what)
{
    QXmlStreamReader reader(xml);
    checkLimits(xml.size(), reader, what, true);
}

} // namespace

void VxCheckXmlLimits(const QByteArray &xml, const QString &what)
{
    QXmlStreamReader reader(xml);
    checkLimits(xml.size(), reader, what, false);
}

void VxCheckXmlLimits(const QString &xml, const QString &what)
{
    QXmlStreamReader reader(xml);
    checkLimits(xml.size(), reader, what, false);
}

void VxXmlDocument::loadText(const QString &text, const QString &what)
{
    checkDocument(text, what);
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    // The reader's own text (English) goes under the details.
    if (!doc.setContent(text, &error, &line, &column))
        throw EVxException(
            QStringLiteral("Documento XML non valido (riga %1, colonna %2).").arg(line).arg(column),
            EVxException::Error, error);
    m_doc = doc;
}

void VxXmlDocument::loadFile(const QString &path)
{
    QFile file;
    if (!VxOpenRegularFile(file, path))
        throw EVxException(
            QStringLiteral("Impossibile leggere il file %1: %2").arg(path, VxFileErrorText(file)));
    if (file.size() > kVxXmlMaxBytes)
        throw tooLarge(path);
    const QByteArray bytes = file.read(kVxXmlMaxBytes + 1);
    checkDocument(bytes, path);
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    // From the bytes, so that the declared encoding is honoured.
    if (!doc.setContent(bytes, &error, &line, &column))
        throw EVxException(QStringLiteral("Il file %1 non è un documento XML valido "
                                          "(riga %2, colonna %3).")
                               .arg(path)
                               .arg(line)
                               .arg(column),
                           EVxException::Error, error);
    m_doc = doc;
}

QDomElement VxXmlDocument::element(const QDomNode &parent, const QString &name)
{
    return parent.isNull() ? QDomElement() : parent.firstChildElement(name);
}

std::optional<QString> VxXmlDocument::attribute(const QDomElement &element, const QString &name)
{
    if (element.isNull() || !element.hasAttribute(name))
        return std::nullopt;
    return element.attribute(name);
}

QDomElement VxXmlDocument::createRoot(const QString &name)
{
    m_doc = QDomDocument();
    m_doc.appendChild(m_doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement rootElement = m_doc.createElement(name);
    m_doc.appendChild(rootElement);
    return rootElement;
}

QDomElement VxXmlDocument::addElement(QDomElement &parent, const QString &name, const QString &text)
{
    QDomElement child = m_doc.createElement(name);
    if (!text.isEmpty())
        child.appendChild(m_doc.createTextNode(text));
    parent.appendChild(child);
    return child;
}

void VxXmlDocument::saveToFile(const QString &path) const
{
    VxReplaceFile(path, m_doc.toByteArray(2));
}
