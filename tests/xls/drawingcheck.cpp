#include "drawingcheck.h"

#include "xlstestutil.h"

#include <QtEndian>

#include <functional>
#include <map>
#include <set>

namespace xlstest {

namespace {

quint16 w16(const QByteArray &b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : 0;
}
quint32 w32(const QByteArray &b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.constData() + at) : 0;
}

struct Node
{
    quint16 verInst = 0, type = 0;
    QByteArray data;
    qsizetype end = 0;
    std::vector<Node> children;
};

bool parse(const QByteArray &b, qsizetype &pos, qsizetype end, Node &n, int depth)
{
    if (end - pos < 8 || depth > 40)
        return false;
    n.verInst = w16(b, pos);
    n.type = w16(b, pos + 2);
    const quint32 len = w32(b, pos + 4);
    pos += 8;
    if (len > quint64(end - pos))
        return false;
    const qsizetype stop = pos + qsizetype(len);
    if ((n.verInst & 0xF) == 0xF) {
        while (pos < stop) {
            n.children.emplace_back();
            if (!parse(b, pos, stop, n.children.back(), depth + 1))
                return false;
        }
    } else {
        n.data = b.mid(pos, qsizetype(len));
        pos = stop;
    }
    n.end = pos;
    return true;
}

void collect(const Node &n, quint16 type, std::vector<const Node *> &out)
{
    if (n.type == type)
        out.push_back(&n);
    for (const Node &c : n.children)
        collect(c, type, out);
}

struct Client
{
    qsizetype offset;
    quint16 id;
    QByteArray data;
    QStringList text;
};

struct SheetBytes
{
    QByteArray escher;
    std::vector<Client> clients;
    std::vector<NoteSeen> notes;
    QString txoText;
};

QString readTxo(const std::vector<RawRecord> &recs, size_t i)
{
    const int length = w16(recs[i].data, 10);
    QString text;
    for (size_t k = i + 1; k < recs.size() && recs[k].id == 0x3C && text.size() < length; ++k) {
        const QByteArray &d = recs[k].data;
        const bool wide = d.size() > 0 && d.at(0) == 1;
        for (qsizetype p = 1; p + (wide ? 1 : 0) < d.size() && text.size() < length;
             p += wide ? 2 : 1)
            text.append(wide ? QChar(w16(d, p)) : QChar(quint8(d.at(p))));
    }
    return text;
}

} // namespace

DrawingSeen inspectDrawings(const QByteArray &stream)
{
    DrawingSeen seen;
    const std::vector<RawRecord> recs = splitRecords(stream);
    QByteArray group;
    std::vector<SheetBytes> sheets;
    std::vector<QStringList> texts;
    int depth = 0;
    int section = -1; // -1 globals, else sheet index
    quint16 last = 0;
    for (size_t i = 0; i < recs.size(); ++i) {
        const RawRecord &r = recs[i];
        const quint16 previous = last;
        if (r.id != 0x3C)
            last = r.id;
        if (r.id == 0x0809) {
            if (++depth == 1 && w16(r.data, 2) != 0x0005) {
                sheets.emplace_back();
                section = int(sheets.size()) - 1;
            }
        } else if (r.id == 0x000A) {
            --depth;
        } else if (depth == 1 && section < 0 &&
                   (r.id == 0xEB || (r.id == 0x3C && previous == 0xEB))) {
            group.append(r.data);
            continue; // a CONTINUE keeps the group going
        } else if (depth == 1 && section >= 0) {
            SheetBytes &s = sheets[size_t(section)];
            if (r.id == 0xEC || (r.id == 0x3C && previous == 0xEC)) {
                s.escher.append(r.data);
                continue;
            }
            if (r.id == 0x5D || r.id == 0x1B6) {
                s.clients.push_back({s.escher.size(), r.id, r.data, {}});
                if (r.id == 0x1B6)
                    s.clients.back().text << readTxo(recs, i);
            }
            if (r.id == 0x1C)
                s.notes.push_back({w16(r.data, 0), w16(r.data, 2), w16(r.data, 6)});
        }
    }

    // The group: clusters of shape ids per drawing.
    std::map<int, int> clusterOwner; // cluster number -> drawing id
    quint32 spidMax = 0, cspSaved = 0;
    if (!group.isEmpty()) {
        Node root;
        qsizetype pos = 0;
        if (!parse(group, pos, group.size(), root, 0) || pos != group.size())
            seen.problems << "drawing group does not parse";
        std::vector<const Node *> dggs, bses;
        collect(root, 0xF006, dggs);
        collect(root, 0xF007, bses);
        if (dggs.size() != 1) {
            seen.problems << "drawing group without exactly one dgg";
        } else {
            const QByteArray &d = dggs[0]->data;
            spidMax = w32(d, 0);
            const quint32 cidcl = w32(d, 4);
            cspSaved = w32(d, 8);
            if (d.size() != qsizetype(16 + 8 * (cidcl - 1)))
                seen.problems << "dgg cluster table does not match its count";
            for (quint32 c = 1; c < cidcl; ++c)
                clusterOwner[int(c)] = int(w32(d, 16 + (c - 1) * 8));
        }
        for (const Node *b : bses)
            seen.pictureUses.push_back(int(w32(b->data, 24)));
    }

    std::set<quint32> allIds;
    std::set<int> dgIds;
    quint32 maxId = 0, shapeCount = 0;
    for (SheetBytes &s : sheets) {
        SheetDrawingSeen out;
        out.notes = s.notes;
        if (s.escher.isEmpty()) {
            if (!s.clients.empty())
                seen.problems << "client records without a drawing";
            seen.sheets.push_back(out);
            continue;
        }
        Node root;
        qsizetype pos = 0;
        if (!parse(s.escher, pos, s.escher.size(), root, 0) || pos != s.escher.size()) {
            seen.problems << "sheet drawing does not parse";
            seen.sheets.push_back(out);
            continue;
        }
        std::vector<const Node *> dgs, sps;
        collect(root, 0xF008, dgs);
        collect(root, 0xF00A, sps);
        if (dgs.size() != 1) {
            seen.problems << "sheet drawing without exactly one dg";
            continue;
        }
        out.dgId = dgs[0]->verInst >> 4;
        if (!dgIds.insert(out.dgId).second)
            seen.problems << QStringLiteral("drawing id %1 used twice").arg(out.dgId);
        if (w32(dgs[0]->data, 0) != sps.size())
            seen.problems << QStringLiteral("dg %1 counts %2 shapes, holds %3")
                                 .arg(out.dgId)
                                 .arg(w32(dgs[0]->data, 0))
                                 .arg(sps.size());
        for (const Node *sp : sps) {
            const quint32 id = w32(sp->data, 0);
            shapeCount++;
            maxId = std::max(maxId, id);
            if (!allIds.insert(id).second)
                seen.problems << QStringLiteral("shape id %1 used twice").arg(id);
            if (id > w32(dgs[0]->data, 4))
                seen.problems << QStringLiteral("shape id %1 above its dg's last id").arg(id);
            if (!clusterOwner.empty() && clusterOwner[int(id / 1024)] != out.dgId)
                seen.problems
                    << QStringLiteral("shape id %1 outside its drawing's clusters").arg(id);
        }
        // Client records: each where its atom ends, in order.
        std::vector<const Node *> atoms;
        std::function<void(const Node &)> walk = [&](const Node &n) {
            if (n.type == 0xF011 || n.type == 0xF00D)
                atoms.push_back(&n);
            for (const Node &c : n.children)
                walk(c);
        };
        walk(root);
        if (atoms.size() != s.clients.size())
            seen.problems << "client records and client atoms differ in number";
        std::map<const Node *, const Client *> clientOf;
        for (size_t k = 0; k < std::min(atoms.size(), s.clients.size()); ++k) {
            const quint16 expected = atoms[k]->type == 0xF011 ? 0x5D : 0x1B6;
            if (s.clients[k].offset != atoms[k]->end || s.clients[k].id != expected)
                seen.problems << "client record out of place";
            clientOf[atoms[k]] = &s.clients[k];
        }
        std::set<int> objIds;
        std::map<int, int> commentIds; // obj id -> notes naming it
        std::vector<const Node *> patriarchs;
        collect(root, 0xF003, patriarchs);
        if (!patriarchs.empty())
            for (const Node &shape : patriarchs[0]->children) {
                const Node *sp = shape.type == 0xF003 && !shape.children.empty()
                                     ? &shape.children.front()
                                     : &shape;
                ShapeSeen ss;
                for (const Node &c : sp->children) {
                    if (c.type == 0xF00A)
                        ss.shapeId = int(w32(c.data, 0));
                    if (c.type == 0xF010) {
                        ss.firstCol = w16(c.data, 2);
                        ss.firstRow = w16(c.data, 6);
                        ss.lastRow = w16(c.data, 14);
                    }
                    if (c.type == 0xF00B)
                        for (int p = 0; p < (c.verInst >> 4); ++p)
                            if ((w16(c.data, p * 6) & 0xC000) == 0x4000)
                                ss.pictureId = int(w32(c.data, p * 6 + 2));
                    if ((c.type == 0xF011 || c.type == 0xF00D) && clientOf.count(&c)) {
                        const Client *cl = clientOf[&c];
                        if (cl->id == 0x5D) {
                            ss.objType = w16(cl->data, 4);
                            ss.objId = w16(cl->data, 6);
                        } else {
                            out.texts << cl->text;
                        }
                    }
                }
                if (ss.firstRow < 0)
                    continue; // the group's own shape
                if (ss.objId >= 0 && !objIds.insert(ss.objId).second)
                    seen.problems << QStringLiteral("object id %1 used twice").arg(ss.objId);
                if (ss.objType == 0x19)
                    commentIds[ss.objId] = 0;
                out.shapes.push_back(ss);
            }
        for (const NoteSeen &n : s.notes) {
            if (!commentIds.count(n.objId))
                seen.problems
                    << QStringLiteral("note at %1,%2 names no comment").arg(n.row).arg(n.col);
            else
                commentIds[n.objId]++;
        }
        for (const auto &[id, count] : commentIds)
            if (count != 1)
                seen.problems << QStringLiteral("comment %1 named by %2 notes").arg(id).arg(count);
        seen.sheets.push_back(out);
    }
    if (!group.isEmpty() && spidMax < maxId)
        seen.problems << "dgg's highest id below the shapes' ids";
    if (!group.isEmpty() && cspSaved != shapeCount)
        seen.problems << QStringLiteral("dgg counts %1 shapes, the drawings hold %2")
                             .arg(cspSaved)
                             .arg(shapeCount);
    return seen;
}

} // namespace xlstest
