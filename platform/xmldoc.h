#pragma once

// VxXmlDocument: the small XML document the exchange reads and writes.
//   loadText(text, what)      parses a reply or file text; malformed text raises EVxException,
//                             naming the document ("della risposta a statorichiesta.php")
//   loadFile(path)            the same from a file, named by its path
//   root()                    the document element (null when there is none)
//   element(parent, name)     the first child element of that name (null element when missing)
//   attribute(element, name)  the attribute's text, std::nullopt when missing
//   createRoot(name), addElement(parent, name, text) build a new document
//   saveToFile(path)          writes UTF-8 with an XML declaration, replacing the file atomically
// Names are matched exactly, as XML defines them. Documents come from outside: both loads
// refuse one over the limits below, or one that declares a DTD, before a DOM is built.

#include <QByteArrayView>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QStringView>

#include <optional>

// Limits of an XML document that comes from outside (a reply, a data packet, a teacher's
// file), checked in one streaming pass before a DOM is built: the DOM parser's time grows with
// the square of the nesting (50,000 levels in 350 KB take it seconds).
constexpr qint64 kVxXmlMaxBytes = 64LL * 1024 * 1024;
constexpr int kVxXmlMaxDepth = 256;
// One start tag: the readers' time grows with the square of its attributes (40,000 of them in
// 430 KB hold a reader for many seconds, 200,000 for minutes), and no document of the program
// needs a tag of thousands.
constexpr int kVxXmlMaxAttributes = 1000;
constexpr qint64 kVxXmlMaxTagLength = 1024 * 1024; // characters
// Throws EVxException, naming the document ("what", the words after "Il documento XML": a path,
// "ricevuto", "del modello del report"), the limit and, for a start tag, its line, when the
// text passes any; text that is not well formed is left to the parser's own message. The check
// stops at a DTD, which the caller's reader must refuse: the loads below do, before a DOM would
// expand its entities far past the limits (a few KB of nested entities make gigabytes).
void VxCheckXmlLimits(const QByteArray &xml, const QString &what);
void VxCheckXmlLimits(const QString &xml, const QString &what);

// The first start tag past kVxXmlMaxAttributes or kVxXmlMaxTagLength: where it starts and what
// it passes ("un elemento con più di 1000 attributi"). One pass that no tag makes longer than
// its length, run before any parser sees the text: every reader of the program (data packets,
// web replies, report templates) refuses such a document through it, in its own words.
struct TVxXmlTagFault
{
    qint64 line = 0;
    qint64 column = 0;
    QString what;
};
std::optional<TVxXmlTagFault> VxFindOversizedStartTag(QStringView xml);
std::optional<TVxXmlTagFault> VxFindOversizedStartTag(QByteArrayView xml);

class VxXmlDocument
{
public:
    void loadText(const QString &text, const QString &what = QStringLiteral("ricevuto"));
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
