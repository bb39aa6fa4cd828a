// libFuzzer target over both packet readers: any input must be read or refused with the
// reader's message. What reads is written in both forms and must read back the same.
#include "platform/datapacket.h"
#include "platform/vxexception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    TClientDataSet ds;
    try {
        loadDataPacket(ds, readDataPacket(input, QStringLiteral("fuzz.cds")));
    } catch (const EVxException &) {
        return 0; // refused with the reader's message: what damaged input must get
    }
    for (const bool xml : {true, false}) {
        const QByteArray written = xml ? writeXmlPacket(ds) : writeBinaryPacket(ds);
        TClientDataSet back;
        try {
            loadDataPacket(back, readDataPacket(written, QStringLiteral("back")));
        } catch (const EVxException &) {
            std::abort(); // our own file refused by our own reader
        }
        if (back.StoredRecordCount() != ds.StoredRecordCount() ||
            back.FieldDefs().size() != ds.FieldDefs().size())
            std::abort();
    }
    return 0;
}
