#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// The compound-file (structured storage) layer: a template is read whole into an in-memory
// tree once, and every output is written as a brand-new compound file. Reads versions 3 and 4
// (512- and 4096-byte sectors); writes version 3.
namespace xls {

class TXlsStorageList;

// One element of the tree: a stream (Data) or a storage (Children).
class TXlsStorage
{
public:
    TXlsStorage();
    ~TXlsStorage();
    TXlsStorage(const TXlsStorage &) = delete;
    TXlsStorage &operator=(const TXlsStorage &) = delete;

    bool Compress = false;
    QString Name;
    QByteArray Data;
    std::unique_ptr<TXlsStorageList> Children;

    void SetCompress(bool value);
};

class TXlsStorageList
{
public:
    bool Compress = false;
    std::vector<std::unique_ptr<TXlsStorage>> Items;

    int count() const { return int(Items.size()); }
    TXlsStorage &at(int i) const { return *Items.at(size_t(i)); }
    TXlsStorage &append(const QString &name);
    void clear() { Items.clear(); }
    void SetCompress(bool value);

    // Reads the whole compound file; "The file "%s" is invalid" for anything that is not a
    // sound compound file.
    void LoadFromFile(const QString &fileName);
    void LoadFromBytes(const QByteArray &bytes, const QString &nameForMessages);

    // The bytes of the first element of that exact name; "Can't open Stream "%s"" otherwise.
    const QByteArray &FindStream(const QString &name) const;

    // The "TemplateData" storage-list form (count, then name, data and children per element).
    void SaveToStream(QByteArray &out) const;
    // Reads the same form from bytes at pos (advanced); every length is checked against what
    // is left before anything is allocated.
    void LoadFromStream(const QByteArray &in, qsizetype &pos);

private:
    void loadLevel(const QByteArray &in, qsizetype &pos, int depth);
};

// Builds a version-3 compound file: the elements in list order, then (when given) a last
// stream named lastName with lastData. Empty streams and empty storages are left out.
QByteArray buildCompoundFile(const TXlsStorageList &elements, const QString &skipName,
                             const QString &lastName, const QByteArray &lastData);

} // namespace xls
