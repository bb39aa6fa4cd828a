#pragma once

// VxXmlDocument: the small XML document the exchange reads and writes.
//   loadText(text)            parses a reply or file text; malformed text raises EVxException
//   loadFile(path)            the same from a file
//   root()                    the document element (null when there is none)
//   element(parent, name)     the first child element of that name (null element when missing)
//   attribute(element, name)  the attribute's text, std::nullopt when missing
//   createRoot(name), addElement(parent, name, text) build a new document
//   saveToFile(path)          writes UTF-8 with an XML declaration, replacing the file atomically
// Names are matched exactly, as XML defines them.

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include <optional>

class VxXmlDocument
{
public:
    void loadText(const QString &text);
    void loadFile(const QString &path);

    QDomElement root() const { return m_doc.documentElement(); }
    static QDomElement element(const QDomNode &parent, const QString &name);
    static std::optional<QString> attribute(const QDomElement &element, const QString &name);

    QDomElement createRoot(const QString &name);
    QDomElement addElement(QDomElement &parent, const QString &name,
                           const QString &text = QString());
    void saveToFile(const QString &path) const;

    QDomDocument &document() { return m_doc; }

private:
    QDomDocument m_doc;
};
