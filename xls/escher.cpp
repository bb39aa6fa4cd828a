#include "xls/escher.h"

#include "xls/xlsmessages.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <algorithm>
#include <map>

namespace xls {

namespace {

// Deeper trees than this are not made by any program; a damaged file must not exhaust the
// stack.
constexpr int MaxEscherDepth = 32;
constexpr int MaxBiffData = 8224;

[[noreturn]] void badEscher()
{
    raiseXls(ErrorLoadingEscher);
}

quint16 rd16(const QByteArray &b, qsizetype pos)
{
    return qFromLittleEndian<quint16>(b.constData() + pos);
}

quint32 rd32(const QByteArray &b, qsizetype pos)
{
    return qFromLittleEndian<quint32>(b.constData() + pos);
}

void wr32(QByteArray &b, qsizetype pos, quint32 v)
{
    qToLittleEndian<quint32>(v, b.data() + pos);
}

void countTypes(const TEscherRecord &r, std::map<quint16, int> &counts)
{
    ++counts[r.Type];
    for (const auto &c : r.Children)
        countTypes(*c, counts);
}

// The simple properties of a shape-property record: (id, value, offset of the value).
struct OptProperty
{
    quint16 id;
    quint32 value;
    int offset;
};

std::vector<OptProperty> optProperties(const TEscherRecord &opt)
{
    std::vector<OptProperty> out;
    const int count = opt.instance();
    for (int i = 0; i < count && (i + 1) * 6 <= opt.Data.size(); ++i)
        out.push_back({rd16(opt.Data, i * 6), rd32(opt.Data, i * 6 + 2), i * 6 + 2});
    return out;
}

// Picture ids of a shape: simple properties with the "is a picture id" bit.
std::vector<int> pictureIds(TEscherRecord &shape)
{
    std::vector<TEscherRecord *> opts;
    shape.findAll(ET_Opt, opts);
    std::vector<int> ids;
    for (TEscherRecord *opt : opts)
        for (const OptProperty &p : optProperties(*opt))
            if ((p.id & 0x4000) && !(p.id & 0x8000) && p.value > 0 && p.value < 0x10000)
                ids.push_back(int(p.value));
    return ids;
}

bool isEmbeddedOle(const TBaseRecord &obj)
{
    int pos = 0;
    while (pos + 4 <= obj.DataSize()) {
        const int ft = obj.getWord(pos);
        const int cb = obj.getWord(pos + 2);
        if (ft == 0)
            break;
        if (ft == 0x0009)
            return true;
        pos += 4 + cb;
    }
    return false;
}

int clampRow(int row)
{
    return std::clamp(row, 0, 65535);
}

} // namespace

// --- records ------------------------------------------------------------------------------

qint64 TEscherRecord::totalSize() const
{
    if (!isContainer())
        return 8 + Data.size();
    qint64 size = 8;
    for (const auto &c : Children)
        size += c->totalSize();
    return size;
}

std::unique_ptr<TEscherRecord> TEscherRecord::copy() const
{
    auto r = std::make_unique<TEscherRecord>();
    r->VerInst = VerInst;
    r->Type = Type;
    r->Data = Data;
    for (const auto &c : Children)
        r->Children.push_back(c->copy());
    if (Client)
        r->Client = Client->CopyTo();
    for (const auto &c : ClientChart)
        r->ClientChart.push_back(c->CopyTo());
    return r;
}

TEscherRecord *TEscherRecord::find(quint16 type)
{
    if (Type == type)
        return this;
    for (auto &c : Children)
        if (TEscherRecord *f = c->find(type))
            return f;
    return nullptr;
}

void TEscherRecord::findAll(quint16 type, std::vector<TEscherRecord *> &out)
{
    if (Type == type)
        out.push_back(this);
    for (auto &c : Children)
        c->findAll(type, out);
}

void TEscherRecord::write(QByteArray &out) const
{
    const qint64 length = totalSize() - 8;
    if (length > 0x7FFFFFFF)
        raiseXls(ErrorWritingOutput);
    char h[8];
    qToLittleEndian<quint16>(VerInst, h);
    qToLittleEndian<quint16>(Type, h + 2);
    qToLittleEndian<quint32>(quint32(length), h + 4);
    out.append(h, 8);
    if (isContainer())
        for (const auto &c : Children)
            c->write(out);
    else
        out.append(Data);
}

EscherPtr parseEscher(const QByteArray &bytes, qsizetype &pos, qsizetype end, int depth)
{
    if (depth > MaxEscherDepth || end > bytes.size() || end - pos < 8)
        badEscher();
    auto r = std::make_unique<TEscherRecord>();
    r->VerInst = rd16(bytes, pos);
    r->Type = rd16(bytes, pos + 2);
    const quint32 length = rd32(bytes, pos + 4);
    pos += 8;
    if (length > quint64(end - pos))
        badEscher();
    const qsizetype stop = pos + qsizetype(length);
    if (r->isContainer()) {
        while (pos < stop)
            r->Children.push_back(parseEscher(bytes, pos, stop, depth + 1));
    } else {
        r->Data = bytes.mid(pos, qsizetype(length));
        pos = stop;
    }
    return r;
}

void writeSplit(ByteWriter &out, quint16 id, const QByteArray &bytes)
{
    qsizetype pos = 0;
    do {
        const qsizetype n = std::min<qsizetype>(MaxBiffData, bytes.size() - pos);
        out.header(pos == 0 ? id : quint16(RID_CONTINUE), n);
        out.append(bytes.mid(pos, n));
        pos += n;
    } while (pos < bytes.size());
}

// --- anchors ------------------------------------------------------------------------------

TClientAnchor::TClientAnchor(TEscherRecord *r) : Record(r) {}

int TClientAnchor::kind() const
{
    return rd16(Record->Data, 0) & 3;
}
int TClientAnchor::firstCol() const
{
    return rd16(Record->Data, 2);
}
int TClientAnchor::firstRow() const
{
    return rd16(Record->Data, 6);
}
int TClientAnchor::lastCol() const
{
    return rd16(Record->Data, 10);
}
int TClientAnchor::lastRow() const
{
    return rd16(Record->Data, 14);
}

void TClientAnchor::setRows(int first, int last)
{
    qToLittleEndian<quint16>(quint16(clampRow(first)), Record->Data.data() + 6);
    qToLittleEndian<quint16>(quint16(clampRow(last)), Record->Data.data() + 14);
}

void TClientAnchor::setFirstRowOffset(int v)
{
    qToLittleEndian<quint16>(quint16(v), Record->Data.data() + 8);
}

void TClientAnchor::setLastRowOffset(int v)
{
    qToLittleEndian<quint16>(quint16(v), Record->Data.data() + 16);
}

// --- drawing group ------------------------------------------------------------------------

void TDrawingGroup::LoadFromBytes(const QByteArray &bytes)
{
    qsizetype pos = 0;
    Root = parseEscher(bytes, pos, bytes.size());
    // Bytes after the first tree would be a second drawing group.
    if (pos != bytes.size())
        raiseXls(ErrorReadingExcelRecords);
    if (Root->Type != ET_DggContainer)
        badEscher();
    std::map<quint16, int> counts;
    countTypes(*Root, counts);
    if (counts[ET_Dgg] > 1)
        raiseXls(EscherDuplicatedDgg);
    if (counts[ET_BStoreContainer] > 1)
        raiseXls(EscherDuplicatedBStore);
    if (TEscherRecord *dgg = Dgg(); dgg && dgg->Data.size() < 16)
        badEscher();
}

void TDrawingGroup::SaveToStream(ByteWriter &out) const
{
    if (!Root)
        return;
    QByteArray bytes;
    Root->write(bytes);
    writeSplit(out, RID_MSODRAWINGGROUP, bytes);
}

TEscherRecord *TDrawingGroup::Dgg() const
{
    return Root ? Root->find(ET_Dgg) : nullptr;
}

TEscherRecord *TDrawingGroup::BStore(bool create)
{
    if (!Root)
        return nullptr;
    if (TEscherRecord *b = Root->find(ET_BStoreContainer))
        return b;
    if (!create)
        return nullptr;
    auto b = std::make_unique<TEscherRecord>();
    b->VerInst = 0x000F;
    b->Type = ET_BStoreContainer;
    // The store follows the drawing-group record.
    auto at = Root->Children.begin();
    while (at != Root->Children.end() && (*at)->Type != ET_Dgg)
        ++at;
    if (at != Root->Children.end())
        ++at;
    return Root->Children.insert(at, std::move(b))->get();
}

quint32 TDrawingGroup::NewShapeId(int dgId, quint32 lastId)
{
    TEscherRecord *dgg = Dgg();
    if (!dgg)
        return lastId + 1;
    QByteArray &d = dgg->Data;
    struct Cluster
    {
        quint32 dg, used;
    };
    std::vector<Cluster> clusters;
    const quint32 declared = rd32(d, 4);
    for (quint32 i = 0; i + 1 < declared && 16 + (i + 1) * 8 <= quint32(d.size()); ++i)
        clusters.push_back({rd32(d, 16 + i * 8), rd32(d, 20 + i * 8)});
    quint32 id = lastId + 1;
    const quint32 c = id / 1024;
    if (c >= 1 && c <= clusters.size() && clusters[c - 1].dg == quint32(dgId)) {
        clusters[c - 1].used = std::max(clusters[c - 1].used, id % 1024 + 1);
    } else {
        // The drawing's cluster is full (or it has none): a new one after every other, so
        // that the id belongs to no other drawing.
        clusters.push_back({quint32(dgId), 1});
        id = quint32(clusters.size()) * 1024;
    }
    if (id >= 0x03FFD7FF)
        raiseXls(ErrorProcessingEscher);
    QByteArray out = d.left(16);
    wr32(out, 0, std::max(rd32(d, 0), id + 1));
    wr32(out, 4, quint32(clusters.size()) + 1);
    wr32(out, 8, rd32(d, 8) + 1);
    for (const Cluster &cl : clusters) {
        char b[8];
        qToLittleEndian<quint32>(cl.dg, b);
        qToLittleEndian<quint32>(cl.used, b + 4);
        out.append(b, 8);
    }
    d = out;
    return id;
}

void TDrawingGroup::ShapeRemoved()
{
    if (TEscherRecord *dgg = Dgg(); dgg && rd32(dgg->Data, 8) > 0)
        wr32(dgg->Data, 8, rd32(dgg->Data, 8) - 1);
}

TEscherRecord *TDrawingGroup::BSE(int index) const
{
    TEscherRecord *store = Root ? Root->find(ET_BStoreContainer) : nullptr;
    if (!store || index < 1 || index > int(store->Children.size()))
        return nullptr;
    TEscherRecord *bse = store->Children[size_t(index - 1)].get();
    return bse->Type == ET_BSE && bse->Data.size() >= 36 ? bse : nullptr;
}

void TDrawingGroup::UseBSE(int index)
{
    if (TEscherRecord *bse = BSE(index))
        wr32(bse->Data, 24, rd32(bse->Data, 24) + 1);
}

void TDrawingGroup::ReleaseBSE(int index)
{
    TEscherRecord *bse = BSE(index);
    if (!bse)
        return;
    const quint32 refs = rd32(bse->Data, 24);
    if (refs > 1) {
        wr32(bse->Data, 24, refs - 1);
        return;
    }
    // Shapes refer to entries by position: an unused entry is emptied, not removed, so
    // that the later entries keep their numbers.
    wr32(bse->Data, 24, 0);
}

int TDrawingGroup::AddPicture(const QByteArray &picture, int pictureType)
{
    EscherPtr bse = makeBSE(picture, pictureType);
    TEscherRecord *store = BStore(true);
    if (!store)
        badEscher();
    for (size_t i = 0; i < store->Children.size(); ++i) {
        const TEscherRecord &e = *store->Children[i];
        if (e.Type == ET_BSE && e.Data.size() >= 36 && e.Data.at(0) == bse->Data.at(0) &&
            e.Data.mid(2, 16) == bse->Data.mid(2, 16))
            return int(i) + 1;
    }
    store->Children.push_back(std::move(bse));
    store->VerInst = quint16((store->Children.size() << 4) | 0x000F);
    return int(store->Children.size());
}

// --- pictures -----------------------------------------------------------------------------

namespace {
const quint8 blipCodes[] = {2, 3, 5, 6, 7, 1};
const quint16 blipTypes[] = {0xF01A, 0xF01B, 0xF01D, 0xF01E, 0xF01F, 0xF019};
const quint16 blipInstances[] = {0x03D4, 0x0216, 0x046A, 0x06E0, 0x07A8, 0};
} // namespace

EscherPtr makeBSE(const QByteArray &picture, int pictureType)
{
    const int kind = std::clamp(pictureType, 0, 5);
    const QByteArray uid = QCryptographicHash::hash(picture, QCryptographicHash::Md5);
    QByteArray blip = uid;
    if (kind >= 2 && kind <= 4) {
        blip.append(char(0xFF));
        blip.append(picture);
    } else if (kind <= 1) {
        // A metafile carries its header (size, bounds, stored size, no compression) before
        // its bytes; without them the picture would be lost.
        QByteArray header(34, '\0');
        wr32(header, 0, quint32(picture.size()));
        wr32(header, 28, quint32(picture.size()));
        header[32] = char(0xFE);
        header[33] = char(0xFE);
        blip.append(header);
        blip.append(picture);
    } else {
        blip.append(picture);
    }
    auto bse = std::make_unique<TEscherRecord>();
    bse->VerInst = quint16(2 | (blipCodes[kind] << 4));
    bse->Type = ET_BSE;
    QByteArray d(36, '\0');
    d[0] = char(blipCodes[kind]);
    d[1] = char(4);
    d.replace(2, 16, uid);
    qToLittleEndian<quint16>(0x00FF, d.data() + 18);
    wr32(d, 20, quint32(blip.size() + 8));
    char h[8];
    qToLittleEndian<quint16>(quint16(blipInstances[kind] << 4), h);
    qToLittleEndian<quint16>(blipTypes[kind], h + 2);
    qToLittleEndian<quint32>(quint32(blip.size()), h + 4);
    d.append(h, 8);
    d.append(blip);
    bse->Data = d;
    return bse;
}

QByteArray pictureOfBSE(const TEscherRecord &bse, int &pictureType)
{
    pictureType = 5;
    const QByteArray &d = bse.Data;
    // The entry's own 36 bytes and the BLIP header; a picture kept in another stream
    // (delayed) has no BLIP here.
    if (d.size() < 44 + 16)
        return {};
    const quint8 code = quint8(d.at(0));
    const int kinds[] = {-1, 5, 0, 1, -1, 2, 3, 4};
    pictureType = code < 8 && kinds[code] >= 0 ? kinds[code] : 5;
    const int instance = rd16(d, 36) >> 4;
    int start = 44 + 16;
    // An odd instance marks a second identifier.
    if (instance & 1)
        start += 16;
    if (pictureType >= 2 && pictureType <= 4)
        start += 1;
    if (pictureType <= 1) {
        if (start + 34 > d.size())
            return {};
        const quint32 size = rd32(d, start);
        const quint8 compression = quint8(d.at(start + 32));
        QByteArray data = d.mid(start + 34);
        // A damaged size must not make us reserve gigabytes: deflate does not shrink a
        // metafile a thousandfold.
        if (compression == 0 && size <= quint32(1000 * data.size() + 4096)) {
            QByteArray z(4, '\0');
            qToBigEndian<quint32>(size, z.data());
            data = qUncompress(z + data);
        }
        return data;
    }
    if (start > d.size())
        return {};
    QByteArray data = d.mid(start);
    if (pictureType == 4)
        data.prepend(QByteArray("BM") + QByteArray(12, '\0'));
    return data;
}

// --- charts -------------------------------------------------------------------------------

namespace {
template <class Walk> void walkChartLinks(RecordList &records, Walk walk)
{
    for (auto &r : records) {
        if (r->Id != 0x1051 || r->DataSize() < 8)
            continue;
        const int length = r->getWord(6);
        if (length == 0)
            continue; // a literal series
        if (8 + length > r->DataSize())
            raiseXls(ErrorReadingExcelRecords);
        try {
            walk(r->Data, 8, 8 + length);
        } catch (const ETokenException &e) {
            raiseXls(ErrorInChartFormula, {e.tokenId()});
        }
    }
}
} // namespace

void ArrangeChartInsertRows(RecordList &records, int pos, int delta, const TSheetShiftInfo &info)
{
    walkChartLinks(records, [&](QByteArray &data, int start, int end) {
        ArrangeTokensInsertRows(data, start, end, pos, delta, 0, info, false);
    });
}

void ArrangeChartCopySheet(RecordList &records, const TSheetShiftInfo &info)
{
    walkChartLinks(records, [&](QByteArray &data, int start, int end) {
        ArrangeTokensInsertSheets(data, start, end, info);
    });
}

// --- sheet drawing ------------------------------------------------------------------------

namespace {

// Attaches the client records to the client atoms, in the order both were written: each
// client record must come right where its atom's bytes end.
void attachClients(TEscherRecord &r, const QByteArray &bytes, qsizetype &pos,
                   std::vector<TDrawing::ClientPiece> &clients, size_t &next)
{
    pos += 8;
    if (r.isContainer()) {
        for (auto &c : r.Children)
            attachClients(*c, bytes, pos, clients, next);
        return;
    }
    pos += r.Data.size();
    if (r.Type != ET_ClientData && r.Type != ET_ClientTextbox)
        return;
    const quint16 expected = r.Type == ET_ClientData ? RID_OBJ : RID_TXO;
    if (next >= clients.size() || clients[next].Offset != pos ||
        clients[next].Record->Id != expected)
        raiseXls(UnsupportedDrawingRecord);
    r.Client = std::move(clients[next].Record);
    r.ClientChart = std::move(clients[next].Chart);
    ++next;
}

void writeDrawing(const TEscherRecord &r, QByteArray &buffer, ByteWriter &out)
{
    if (r.isContainer()) {
        char h[8];
        qToLittleEndian<quint16>(r.VerInst, h);
        qToLittleEndian<quint16>(r.Type, h + 2);
        qToLittleEndian<quint32>(quint32(r.totalSize() - 8), h + 4);
        buffer.append(h, 8);
        for (const auto &c : r.Children)
            writeDrawing(*c, buffer, out);
        return;
    }
    r.write(buffer);
    if (!r.Client)
        return;
    // The client record must follow the drawing bytes that end with its atom.
    writeSplit(out, RID_MSODRAWING, buffer);
    buffer.clear();
    r.Client->SaveToStream(out);
    for (const auto &c : r.ClientChart)
        c->SaveToStream(out);
}

} // namespace

void TDrawing::Load(const QByteArray &bytes, std::vector<ClientPiece> &clients)
{
    qsizetype pos = 0;
    m_indexed = false;
    Root = parseEscher(bytes, pos, bytes.size());
    if (pos != bytes.size() || Root->Type != ET_DgContainer)
        badEscher();
    std::map<quint16, int> counts;
    countTypes(*Root, counts);
    if (counts[ET_Dg] > 1)
        raiseXls(EscherDuplicatedDg);
    if (counts[ET_SolverContainer] > 1)
        raiseXls(EscherDuplicatedSolver);
    if (!Dg() || Dg()->Data.size() < 8 || !Patriarch())
        badEscher();
    if (counts[ET_AlignRule] > 0)
        raiseXls(NotImplementedRecord, {QStringLiteral("Align Rule")});
    // Every shape id is read when shapes are copied, removed or linked by rules.
    std::vector<TEscherRecord *> sps;
    Root->findAll(ET_Sp, sps);
    for (const TEscherRecord *sp : sps)
        if (sp->Data.size() < 4)
            badEscher();
    if (TEscherRecord *solver = Solver())
        for (const auto &rule : solver->Children)
            if (rule->Data.size() < (rule->Type == ET_ConnectorRule ? 16 : 8))
                badEscher();
    qsizetype at = 0;
    size_t next = 0;
    attachClients(*Root, bytes, at, clients, next);
    if (next != clients.size())
        raiseXls(UnsupportedDrawingRecord);
    std::vector<TEscherRecord *> data;
    Root->findAll(ET_ClientData, data);
    for (TEscherRecord *d : data)
        if (d->Client && d->Client->DataSize() >= 8 && d->Client->getWord(0) == 0x15)
            ObjectCounter = std::max<int>(ObjectCounter, d->Client->getWord(6));
    for (TEscherRecord *shape : shapes())
        if (!TClientAnchor(anchorOf(shape)).valid())
            badEscher();
}

void TDrawing::SaveToStream(ByteWriter &out) const
{
    if (!Root)
        return;
    QByteArray buffer;
    writeDrawing(*Root, buffer, out);
    if (!buffer.isEmpty())
        writeSplit(out, RID_MSODRAWING, buffer);
}

std::unique_ptr<TDrawing> TDrawing::clone(TDrawingGroup *group) const
{
    auto c = std::make_unique<TDrawing>();
    c->Root = Root ? Root->copy() : nullptr;
    c->Group = group;
    c->ObjectCounter = ObjectCounter;
    if (!c->Root || !group || !group->Dgg())
        return c;
    // A copied sheet gets a drawing of its own: a new drawing id and new shape ids, so that
    // no two shapes of the workbook share one.
    TEscherRecord *dgg = group->Dgg();
    quint32 dgId = 0;
    for (qsizetype at = 16; at + 8 <= dgg->Data.size(); at += 8)
        dgId = std::max(dgId, rd32(dgg->Data, at));
    ++dgId;
    wr32(dgg->Data, 12, rd32(dgg->Data, 12) + 1);
    TEscherRecord *dg = c->Dg();
    dg->VerInst = quint16((dg->VerInst & 0x000F) | (dgId << 4));
    std::vector<TEscherRecord *> sps;
    c->Root->findAll(ET_Sp, sps);
    quint32 last = 0;
    for (TEscherRecord *sp : sps) {
        if (sp->Data.size() < 4)
            badEscher();
        last = group->NewShapeId(int(dgId), last);
        wr32(sp->Data, 0, last);
    }
    wr32(dg->Data, 4, last);
    for (TEscherRecord *shape : c->shapes())
        for (int id : pictureIds(*shape))
            group->UseBSE(id);
    return c;
}

TEscherRecord *TDrawing::Dg() const
{
    return Root ? Root->find(ET_Dg) : nullptr;
}

TEscherRecord *TDrawing::Patriarch() const
{
    if (!Root)
        return nullptr;
    for (auto &c : Root->Children)
        if (c->Type == ET_SpgrContainer)
            return c.get();
    return nullptr;
}

TDrawing::TShapeEntry TDrawing::entryOf(TEscherRecord *shape) const
{
    return {shape, anchorOf(shape), objType(shape), objId(shape)};
}

const std::vector<TDrawing::TShapeEntry> &TDrawing::index() const
{
    if (m_indexed)
        return m_index;
    m_index.clear();
    m_charts.clear();
    if (TEscherRecord *p = Patriarch())
        for (auto &c : p->Children)
            if (anchorOf(c.get()))
                m_index.push_back(entryOf(c.get()));
    if (Root) {
        std::vector<TEscherRecord *> data;
        Root->findAll(ET_ClientData, data);
        for (TEscherRecord *d : data)
            if (!d->ClientChart.empty())
                m_charts.push_back(d);
    }
    m_indexed = true;
    return m_index;
}

const std::vector<TEscherRecord *> &TDrawing::charts() const
{
    index();
    return m_charts;
}

std::vector<TEscherRecord *> TDrawing::shapes() const
{
    std::vector<TEscherRecord *> out;
    for (const TShapeEntry &e : index())
        out.push_back(e.Shape);
    return out;
}

TEscherRecord *TDrawing::anchorOf(TEscherRecord *shape)
{
    if (shape->Type == ET_SpgrContainer && !shape->Children.empty())
        shape = shape->Children.front().get();
    if (shape->Type != ET_SpContainer)
        return nullptr;
    for (auto &c : shape->Children)
        if (c->Type == ET_ClientAnchor)
            return c.get();
    return nullptr;
}

TBaseRecord *TDrawing::objOf(TEscherRecord *shape)
{
    if (shape->Type == ET_SpgrContainer && !shape->Children.empty())
        shape = shape->Children.front().get();
    for (auto &c : shape->Children)
        if (c->Type == ET_ClientData && c->Client)
            return c->Client.get();
    return nullptr;
}

TBaseRecord *TDrawing::txoOf(TEscherRecord *shape)
{
    for (auto &c : shape->Children)
        if (c->Type == ET_ClientTextbox && c->Client)
            return c->Client.get();
    return nullptr;
}

int TDrawing::objType(TEscherRecord *shape)
{
    const TBaseRecord *obj = objOf(shape);
    return obj && obj->DataSize() >= 8 && obj->getWord(0) == 0x15 ? obj->getWord(4) : -1;
}

int TDrawing::objId(TEscherRecord *shape)
{
    const TBaseRecord *obj = objOf(shape);
    return obj && obj->DataSize() >= 8 && obj->getWord(0) == 0x15 ? obj->getWord(6) : -1;
}

namespace {
TEscherRecord *optOf(TEscherRecord *shape)
{
    if (shape->Type == ET_SpgrContainer && !shape->Children.empty())
        shape = shape->Children.front().get();
    for (auto &c : shape->Children)
        if (c->Type == ET_Opt)
            return c.get();
    return nullptr;
}
constexpr quint16 PropPictureId = 0x4104;
constexpr quint16 PropShapeName = 0x0380;
} // namespace

int TDrawing::pictureId(TEscherRecord *shape)
{
    if (TEscherRecord *opt = optOf(shape))
        for (const OptProperty &p : optProperties(*opt))
            if ((p.id & 0x3FFF) == (PropPictureId & 0x3FFF) && (p.id & 0x4000))
                return p.value < 0x10000 ? int(p.value) : 0;
    return 0;
}

void TDrawing::setPictureId(TEscherRecord *shape, int id)
{
    TEscherRecord *opt = optOf(shape);
    if (!opt)
        raiseXls(ErrorProcessingEscher);
    for (const OptProperty &p : optProperties(*opt))
        if ((p.id & 0x3FFF) == (PropPictureId & 0x3FFF)) {
            wr32(opt->Data, p.offset, quint32(id));
            return;
        }
    // Simple properties come first, sorted by id; the complex data follows them.
    const int count = opt->instance();
    int at = 0;
    for (const OptProperty &p : optProperties(*opt))
        if ((p.id & 0x3FFF) < (PropPictureId & 0x3FFF))
            at = p.offset + 4;
    if (count * 6 > opt->Data.size() || count >= 0xFFF)
        raiseXls(ErrorProcessingEscher);
    QByteArray prop(6, '\0');
    qToLittleEndian<quint16>(PropPictureId, prop.data());
    wr32(prop, 2, quint32(id));
    opt->Data.insert(at, prop);
    opt->VerInst = quint16((opt->VerInst & 0x000F) | ((count + 1) << 4));
}

QString TDrawing::shapeName(TEscherRecord *shape)
{
    TEscherRecord *opt = optOf(shape);
    if (!opt)
        return {};
    const std::vector<OptProperty> props = optProperties(*opt);
    qint64 complexAt = qint64(props.size()) * 6;
    for (const OptProperty &p : props) {
        if (!(p.id & 0x8000))
            continue;
        if ((p.id & 0x3FFF) == PropShapeName) {
            if (complexAt + p.value > opt->Data.size())
                return {};
            QString name;
            for (qint64 i = 0; i + 1 < qint64(p.value); i += 2) {
                const QChar ch(rd16(opt->Data, qsizetype(complexAt + i)));
                if (ch.isNull())
                    break;
                name.append(ch);
            }
            return name;
        }
        complexAt += p.value;
    }
    return {};
}

std::vector<TEscherRecord *> TDrawing::pictures() const
{
    std::vector<TEscherRecord *> out;
    for (const TShapeEntry &e : index())
        if (e.ObjType == OT_Picture)
            out.push_back(e.Shape);
    return out;
}

TEscherRecord *TDrawing::shapeByObjId(int id) const
{
    for (const TShapeEntry &e : index())
        if (e.ObjId == id)
            return e.Shape;
    return nullptr;
}

void TDrawing::MoveShape(TEscherRecord *shape, int rowOffset)
{
    TClientAnchor a(anchorOf(shape));
    if (a.valid())
        a.setRows(a.firstRow() + rowOffset, a.lastRow() + rowOffset);
}

void TDrawing::ArrangeInsertRows(int pos, int delta)
{
    for (const TShapeEntry &e : index()) {
        if (e.ObjType == OT_Comment)
            continue; // moved with its note
        TClientAnchor a(e.Anchor);
        const int first = a.firstRow();
        const int last = a.lastRow();
        if (a.kind() == 0) {
            int nf = first, nl = last;
            if (first >= pos) {
                nf = std::clamp(first + delta, pos, 65535);
                if (pos > first + delta)
                    a.setFirstRowOffset(0);
            }
            if (last >= pos) {
                nl = std::clamp(last + delta, pos, 65535);
                if (pos > last + delta)
                    a.setLastRowOffset(0);
            }
            a.setRows(nf, nl);
        } else if (a.kind() == 2 && pos <= first) {
            const int nf = std::clamp(first + delta, pos, 65535);
            a.setRows(nf, std::clamp(last + (nf - first), nf, 65535));
        }
    }
}

void TDrawing::CopyRows(int blockFirst, int blockLast, int dest, int copies)
{
    const int height = blockLast - blockFirst + 1;
    // The copies join the index as they are made: only the shapes there before are copied.
    const size_t originals = index().size();
    for (int k = 0; k < copies; ++k)
        for (size_t i = 0; i < originals; ++i) {
            const TShapeEntry e = m_index[i];
            if (e.ObjType == OT_Comment)
                continue; // copied with its note
            TClientAnchor a(e.Anchor);
            if ((a.kind() == 0 || a.kind() == 2) && a.firstRow() >= blockFirst &&
                a.lastRow() <= blockLast)
                CopyShape(e.Shape, dest + k * height - blockFirst);
        }
}

void TDrawing::DeleteRows(int row, int count)
{
    const std::vector<TShapeEntry> entries = index();
    for (const TShapeEntry &e : entries) {
        if (e.ObjType == OT_Comment)
            continue; // removed with its note
        TClientAnchor a(e.Anchor);
        if (a.kind() == 0 && a.firstRow() >= row && a.lastRow() <= row + count - 1)
            RemoveShape(e.Shape);
    }
    ArrangeInsertRows(row, -count);
}

void TDrawing::ArrangeCharts(int pos, int delta, const TSheetShiftInfo &info)
{
    for (TEscherRecord *d : charts())
        ArrangeChartInsertRows(d->ClientChart, pos, delta, info);
}

void TDrawing::ArrangeChartsCopySheet(const TSheetShiftInfo &info)
{
    for (TEscherRecord *d : charts())
        ArrangeChartCopySheet(d->ClientChart, info);
}

TEscherRecord *TDrawing::CopyShape(TEscherRecord *shape, int rowOffset)
{
    TEscherRecord *patriarch = Patriarch();
    TEscherRecord *dg = Dg();
    if (!patriarch || !dg)
        badEscher();
    std::vector<TEscherRecord *> clientData;
    shape->findAll(ET_ClientData, clientData);
    for (TEscherRecord *d : clientData)
        if (d->Client && isEmbeddedOle(*d->Client))
            raiseXls(CantCopyOleObjects);
    EscherPtr copy = shape->copy();
    std::vector<TEscherRecord *> sps;
    copy->findAll(ET_Sp, sps);
    for (TEscherRecord *sp : sps) {
        if (sp->Data.size() < 4)
            badEscher();
        const quint32 last = rd32(dg->Data, 4);
        const quint32 id = Group ? Group->NewShapeId(dg->instance(), last) : last + 1;
        wr32(dg->Data, 0, rd32(dg->Data, 0) + 1);
        wr32(dg->Data, 4, id);
        copyRules(rd32(sp->Data, 0), id);
        wr32(sp->Data, 0, id);
    }
    clientData.clear();
    copy->findAll(ET_ClientData, clientData);
    for (TEscherRecord *d : clientData)
        if (d->Client && d->Client->DataSize() >= 8 && d->Client->getWord(0) == 0x15) {
            if (ObjectCounter >= 0xFFFF)
                raiseXls(TooManyEntries, {ObjectCounter + 1, 0xFFFF});
            d->Client->setWord(6, quint16(++ObjectCounter));
        }
    if (Group)
        for (int id : pictureIds(*copy))
            Group->UseBSE(id);
    MoveShape(copy.get(), rowOffset);
    TEscherRecord *added = copy.get();
    patriarch->Children.push_back(std::move(copy));
    if (m_indexed) {
        if (anchorOf(added))
            m_index.push_back(entryOf(added));
        clientData.clear();
        added->findAll(ET_ClientData, clientData);
        for (TEscherRecord *d : clientData)
            if (!d->ClientChart.empty())
                m_charts.push_back(d);
    }
    return added;
}

void TDrawing::RemoveShape(TEscherRecord *shape)
{
    TEscherRecord *patriarch = Patriarch();
    TEscherRecord *dg = Dg();
    if (!patriarch || !dg)
        badEscher();
    auto it = std::find_if(patriarch->Children.begin(), patriarch->Children.end(),
                           [shape](const EscherPtr &c) { return c.get() == shape; });
    if (it == patriarch->Children.end())
        badEscher();
    std::vector<TEscherRecord *> sps;
    shape->findAll(ET_Sp, sps);
    for (size_t i = 0; i < sps.size(); ++i) {
        if (sps[i]->Data.size() < 4)
            badEscher();
        removeRules(rd32(sps[i]->Data, 0));
        if (rd32(dg->Data, 0) > 0)
            wr32(dg->Data, 0, rd32(dg->Data, 0) - 1);
        if (Group)
            Group->ShapeRemoved();
    }
    if (Group)
        for (int id : pictureIds(*shape))
            Group->ReleaseBSE(id);
    patriarch->Children.erase(it);
    m_indexed = false;
}

TEscherRecord *TDrawing::Solver() const
{
    if (!Root)
        return nullptr;
    for (auto &c : Root->Children)
        if (c->Type == ET_SolverContainer)
            return c.get();
    return nullptr;
}

namespace {
// The offset of the shape id that a rule belongs to: the connector itself, or the arc's or
// callout's shape.
int ownShapeOffset(const TEscherRecord &rule)
{
    switch (rule.Type) {
    case ET_ConnectorRule:
        return 12;
    case ET_ArcRule:
    case ET_CalloutRule:
        return 4;
    default:
        return -1;
    }
}
} // namespace

void TDrawing::copyRules(quint32 oldId, quint32 newId)
{
    TEscherRecord *solver = Solver();
    if (!solver)
        return;
    quint32 counter = 0;
    for (const auto &rule : solver->Children)
        counter = std::max(counter, rd32(rule->Data, 0));
    const size_t rules = solver->Children.size();
    for (size_t i = 0; i < rules; ++i) {
        const TEscherRecord &rule = *solver->Children[i];
        const int own = ownShapeOffset(rule);
        if (own < 0 || rd32(rule.Data, own) != oldId)
            continue;
        EscherPtr copy = rule.copy();
        counter += 2;
        wr32(copy->Data, 0, counter);
        wr32(copy->Data, own, newId);
        solver->Children.push_back(std::move(copy));
    }
    solver->VerInst = quint16((solver->VerInst & 0x000F) | (solver->Children.size() << 4));
}

void TDrawing::removeRules(quint32 id)
{
    TEscherRecord *solver = Solver();
    if (!solver)
        return;
    auto &rules = solver->Children;
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [id](const EscherPtr &r) {
                                   const int own = ownShapeOffset(*r);
                                   return own >= 0 && rd32(r->Data, own) == id;
                               }),
                rules.end());
    // A connector whose end shape is gone keeps its place but loses the link.
    for (auto &rule : rules)
        if (rule->Type == ET_ConnectorRule)
            for (int at : {4, 8})
                if (rd32(rule->Data, at) == id)
                    wr32(rule->Data, at, 0);
    solver->VerInst = quint16((solver->VerInst & 0x000F) | (rules.size() << 4));
}

// --- comment text -------------------------------------------------------------------------

QString txoText(const TBaseRecord &txo)
{
    const int length = txo.DataSize() >= 12 ? txo.getWord(10) : 0;
    QString text;
    const TBaseRecord *c = txo.Continue.get();
    if (length == 0 || !c)
        return text;
    // Long texts go on in further CONTINUE records, each starting with its own option byte.
    while (text.size() < length) {
        if (!c || c->DataSize() < 1)
            raiseXls(ErrorReadingExcelRecords);
        const quint8 option = c->getByte(0);
        if (option > 1)
            raiseXls(ErrorReadingExcelRecords);
        const int width = option == 1 ? 2 : 1;
        const int take = std::min<int>((c->DataSize() - 1) / width, length - int(text.size()));
        if (take <= 0)
            raiseXls(ErrorReadingExcelRecords);
        for (int i = 0; i < take; ++i)
            text.append(width == 2 ? QChar(c->getWord(1 + 2 * i)) : QChar(c->getByte(1 + i)));
        c = c->Continue.get();
    }
    return text;
}

void setTxoText(TBaseRecord &txo, const QString &text)
{
    if (text.size() > 0xFFFF)
        raiseXls(StringTooLarge);
    const int n = int(text.size());
    txo.setWord(10, quint16(n));
    txo.setWord(12, n >= 1 ? 16 : 0);
    txo.Continue.reset();
    if (n == 0)
        return;
    const bool wide =
        std::any_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() > 255; });
    const int perRecord = (MaxBiffData - 1) / (wide ? 2 : 1);
    TBaseRecord *tail = &txo;
    for (int start = 0; start < n; start += perRecord) {
        ByteWriter w;
        w.u8(wide ? 1 : 0);
        for (int i = start; i < std::min(n, start + perRecord); ++i) {
            if (wide)
                w.u16(text.at(i).unicode());
            else
                w.u8(quint8(text.at(i).unicode()));
        }
        tail->Continue = std::make_unique<TContinueRecord>(RID_CONTINUE, w.bytes);
        tail = tail->Continue.get();
    }
    QByteArray runs(16, '\0');
    qToLittleEndian<quint16>(quint16(n), runs.data() + 8);
    tail->Continue = std::make_unique<TContinueRecord>(RID_CONTINUE, runs);
}

} // namespace xls
