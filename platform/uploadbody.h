#pragma once

// The body of an upload to the maker's web server, byte for byte as its upload pages read it:
// the exchange's archives and the register volumes go through the same builder.
//
//   uploadContentType()  "multipart/form-data; boundary=" and the boundary, 27 hyphens first
//   uploadBody(path, bytes, fieldName, fieldValue):
//       delimiter (29 hyphens and "7d63cc3b1f02ae")
//       Content-Disposition: form-data; name="uploadfile"; filename="<path as passed>"
//       Content-Type: application/x-zip-compressed
//       <empty line> the file's bytes unchanged, then CR LF
//       delimiter
//       Content-Disposition: form-data; name="<fieldName>"
//       <empty line> <fieldValue>
//       delimiter and "--"
//   every line ending in CR LF. The boundary is fixed (Qt's multipart class picks its own),
//   and the texts are written in Windows-1252, as the suite's Windows clients send them.
//   A path or field name that would break its header line (a double quote, a line break),
//   a text holding the boundary, or a character without a Windows-1252 byte raises
//   EVxException rather than send a body the server would misread.

#include <QByteArray>
#include <QString>

QString uploadContentType();
// The same refusal for the path alone, for a caller that would rather know before it writes
// the file than at the upload.
void checkUploadPath(const QString &filePath);
QByteArray uploadBody(const QString &filePath, const QByteArray &fileBytes,
                      const QString &fieldName, const QString &fieldValue);
