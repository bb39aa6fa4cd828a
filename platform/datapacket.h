#pragma once

// The file forms of the client dataset's data packets (TClientDataSet::SaveToFile and
// LoadFromFile stand on these).
//   XML form: the published client-dataset layout (DATAPACKET, METADATA/FIELDS, ROWDATA/ROW),
//     UTF-8 with its declaration, so that other readers of that layout read our files.
//   Binary form: our own compact layout, described in datapacket_binary.md.
// Readers take the file's bytes and the file name for their messages, check everything
// before trusting it and refuse a damaged packet with EVxException; they never read out of
// bounds, and an XML packet keeps the size and nesting caps of XML documents (xmldoc.h). A packet
// made elsewhere with a change log is read as its current rows.
//   readDataPacket(bytes, name)   either form: the content decides, not the name
//   writeXmlPacket(ds), writeBinaryPacket(ds)   every stored record, the change log ignored
//   loadDataPacket(ds, packet)    replaces the dataset's columns and records; the old
//                                 library's empty date (30/12/1899) becomes null

#include "platform/clientdataset.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

struct TDataPacket
{
    QList<TFieldDef> defs;
    std::vector<QList<QVariant>> rows; // normalised values, a null as an invalid QVariant
};

TDataPacket readDataPacket(const QByteArray &bytes, const QString &fileName);
TDataPacket readXmlPacket(const QByteArray &bytes, const QString &fileName);
TDataPacket readBinaryPacket(const QByteArray &bytes, const QString &fileName);
bool hasBinaryPacketSignature(const QByteArray &bytes);

QByteArray writeXmlPacket(const TClientDataSet &ds);
QByteArray writeBinaryPacket(const TClientDataSet &ds);

void loadDataPacket(TClientDataSet &ds, TDataPacket packet);

// Shared by the readers: the messages of a refused packet, naming the file (an XML packet over
// the framework's size cap of XML documents among them), and a column added after the checks
// the dataset would make (a name, not repeated in any letter case). A library's own text (the
// XML reader's) goes to the detail, under the office's.
[[noreturn]] void refuseDataPacket(const QString &fileName, const QString &why,
                                   const QString &detail = {});
[[noreturn]] void refuseXmlPacketSize(const QString &fileName);
void addPacketColumn(TDataPacket &packet, const TFieldDef &def, const QString &fileName);
