#pragma once

// The PDF package: a PDF loaded from its file, encrypted and saved, as a register volume is
// protected before it is packed.
//
//   TTuvPdf pdf;
//   pdf.LoadFromFile(path);                                  // a file that is no PDF raises
//   pdf.Encrypt("MORDELVA", "", 0, TTuvPdf::Permissions({})); // owner password, no right granted
//   pdf.SaveToFile(path);                                    // the same name: replaced when whole
//
// Strength 0, the only one, is 40-bit RC4 (revision 2): weak, yet what every PDF reader and
// print service opens. The user password opens the document (empty: anybody may read it);
// the owner password lifts the restrictions. Saving writes the whole document in memory first
// and replaces the file only then, so that a failure leaves the file as it was. Failures raise
// EVxException naming the file, the PDF library's text as the detail.

#include <QString>

#include <memory>
#include <optional>

class QPDF;

class TTuvPdf
{
public:
    TTuvPdf();
    ~TTuvPdf();
    TTuvPdf(const TTuvPdf &) = delete;
    TTuvPdf &operator=(const TTuvPdf &) = delete;

    // The eight rights a reader may be granted without the owner password.
    struct Rights
    {
        bool Print = false;
        bool Modify = false;
        bool Copy = false;
        bool Annotate = false;
        bool FillForms = false;
        bool Accessibility = false; // extracting text for accessibility
        bool Assemble = false;
        bool PrintHighQuality = false;
    };
    // The permission value of the rights, as a PDF's P entry holds it (every reserved bit set).
    static qint32 Permissions(const Rights &rights);

    // Loads the document; a file that is missing, no PDF or damaged raises, and the document
    // loaded before (if any) is dropped.
    void LoadFromFile(const QString &fileName);

    // Encrypts the document when it is next saved. Under strength 0 only the first four
    // rights of the permission value exist.
    void Encrypt(const QString &ownerPassword, const QString &userPassword, int strength,
                 qint32 permissions);

    void SaveToFile(const QString &fileName);

private:
    struct Encryption
    {
        QByteArray owner;
        QByteArray user;
        qint32 permissions = 0;
    };
    std::unique_ptr<QPDF> m_pdf;
    QString m_fileName;
    std::optional<Encryption> m_encryption;
};
