#include "reportengine/tuvpdf.h"

#include "platform/fileaccess.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFile>

// The library's own smart pointer gives way to std::shared_ptr.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace {

// Permission bits of a PDF's P entry (bit 1 is the lowest).
constexpr quint32 pPrint = 1u << 2;
constexpr quint32 pModify = 1u << 3;
constexpr quint32 pCopy = 1u << 4;
constexpr quint32 pAnnotate = 1u << 5;
constexpr quint32 pFillForms = 1u << 8;
constexpr quint32 pAccessibility = 1u << 9;
constexpr quint32 pAssemble = 1u << 10;
constexpr quint32 pPrintHighQuality = 1u << 11;
// Bits 7, 8 and 13 to 32 are reserved and must be set; bits 1 and 2 must be clear.
constexpr quint32 pReserved = 0xFFFFF0C0u;

QString shown(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}

// Passwords of revision 2 are bytes in the PDF's own encoding, which agrees with Latin-1 on
// every character a keyboard types in Italy.
QByteArray passwordBytes(const QString &password)
{
    return password.toLatin1();
}

} // namespace

TTuvPdf::TTuvPdf() = default;
TTuvPdf::~TTuvPdf() = default;

qint32 TTuvPdf::Permissions(const Rights &r)
{
    quint32 p = pReserved;
    p |= r.Print ? pPrint : 0;
    p |= r.Modify ? pModify : 0;
    p |= r.Copy ? pCopy : 0;
    p |= r.Annotate ? pAnnotate : 0;
    p |= r.FillForms ? pFillForms : 0;
    p |= r.Accessibility ? pAccessibility : 0;
    p |= r.Assemble ? pAssemble : 0;
    p |= r.PrintHighQuality ? pPrintHighQuality : 0;
    return qint32(p);
}

void TTuvPdf::LoadFromFile(const QString &fileName)
{
    m_pdf.reset();
    m_encryption.reset();
    m_fileName = fileName;
    if (!QFile::exists(fileName))
        throw EVxException(QStringLiteral("Il file PDF %1 non esiste: impossibile cifrarlo.")
                               .arg(shown(fileName)));
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processFile(QFile::encodeName(fileName).constData());
    } catch (const std::exception &e) {
        throw EVxException(
            QStringLiteral("Il file %1 non è un PDF leggibile: impossibile cifrarlo.")
                .arg(shown(fileName)),
            EVxException::Error, QString::fromLocal8Bit(e.what()));
    }
    m_pdf = std::move(pdf);
}

void TTuvPdf::Encrypt(const QString &ownerPassword, const QString &userPassword, int strength,
                      qint32 permissions)
{
    Q_ASSERT(m_pdf);
    Q_ASSERT(strength == 0);
    Q_UNUSED(strength);
    m_encryption =
        Encryption{passwordBytes(ownerPassword), passwordBytes(userPassword), permissions};
}

void TTuvPdf::SaveToFile(const QString &fileName)
{
    Q_ASSERT(m_pdf);
    std::shared_ptr<Buffer> bytes;
    try {
        QPDFWriter writer(*m_pdf);
        writer.setOutputMemory();
        if (m_encryption) {
            const quint32 p = quint32(m_encryption->permissions);
            writer.setR2EncryptionParametersInsecure(m_encryption->user.constData(),
                                                     m_encryption->owner.constData(), p & pPrint,
                                                     p & pModify, p & pCopy, p & pAnnotate);
        }
        writer.write();
        bytes = writer.getBufferSharedPointer();
    } catch (const std::exception &e) {
        throw EVxException(QStringLiteral("Il file %1 è danneggiato: impossibile cifrarlo.")
                               .arg(shown(m_fileName)),
                           EVxException::Error, QString::fromLocal8Bit(e.what()));
    }
    // A document the library had to mend while reading it is not one to seal as it stands.
    if (m_pdf->anyWarnings()) {
        QString detail;
        for (const QPDFExc &w : m_pdf->getWarnings())
            detail += QString::fromLocal8Bit(w.what()) + QLatin1Char('\n');
        throw EVxException(QStringLiteral("Il file %1 è danneggiato: impossibile cifrarlo.")
                               .arg(shown(m_fileName)),
                           EVxException::Error, detail.trimmed());
    }
    VxReplaceFile(fileName,
                  QByteArray::fromRawData(reinterpret_cast<const char *>(bytes->getBuffer()),
                                          qsizetype(bytes->getSize())));
}
