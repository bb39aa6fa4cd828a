#include "platform/xmldoc.h"

#include "platform/vxexception.h"

#include <QFile>
#include <QSaveFile>

void VxXmlDocument::loadText(const QString &text)
{
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    if (!doc.setContent(text, &error, &line, &column))
        throw EVxException(QStringLiteral("Documento XML non valido (riga %1, colonna %2): %3")
                               .arg(line)
                               .arg(column)
                               .arg(error));
    m_doc = doc;
}

void VxXmlDocument::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EVxException(
            QStringLiteral("Impossibile leggere il file %1: %2").arg(path, file.errorString()));
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    // From the bytes, so that the declared encoding is honoured.
    if (!doc.setContent(file.readAll(), &error, &line, &column))
        throw EVxException(QStringLiteral("Il file %1 non è un documento XML valido "
                                          "(riga %2, colonna %3): %4")
                               .arg(path)
                               .arg(line)
                               .arg(column)
                               .arg(error));
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EVxException(
            QStringLiteral("Impossibile scrivere il file %1: %2").arg(path, file.errorString()));
    file.write(m_doc.toByteArray(2));
    if (!file.commit())
        throw EVxException(
            QStringLiteral("Impossibile scrivere il file %1: %2").arg(path, file.errorString()));
}
