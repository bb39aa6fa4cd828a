#include "platform/images.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

static void initImagesResource()
{
    Q_INIT_RESOURCE(images);
}

namespace {

QString resourceKey(const QString &name)
{
    QString key = name.trimmed().toUpper();
    key.replace(QLatin1Char(' '), QLatin1Char('_'));
    return key;
}

QString resourcePath(const QString &key, int size)
{
    return QStringLiteral(":/vximages/%1/%2.png").arg(size).arg(key);
}

// The status dots are plain coloured discs: no theme has them in these colours.
QIcon dotIcon(const QColor &colour)
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(colour.darker(150), size / 16.0));
        QRadialGradient gradient(size * 0.4, size * 0.4, size * 0.5);
        gradient.setColorAt(0, colour.lighter(160));
        gradient.setColorAt(1, colour);
        painter.setBrush(gradient);
        const qreal margin = size * 0.2;
        painter.drawEllipse(QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

const QHash<QString, QColor> &dotColours()
{
    static const QHash<QString, QColor> colours = {
        {QStringLiteral("PALLINOROSSO"), QColor(204, 0, 0)},
        {QStringLiteral("PALLINO"), QColor(78, 154, 6)},
        {QStringLiteral("PALLINOGRIGIO"), QColor(136, 138, 133)},
    };
    return colours;
}

} // namespace

void initPlatformResources()
{
    static bool done = false;
    if (!done) {
        initImagesResource();
        done = true;
    }
}

bool hasVxImage(const QString &name)
{
    initPlatformResources();
    const QString key = resourceKey(name);
    return dotColours().contains(key) || QFile::exists(resourcePath(key, 16));
}

QIcon VxImage(const QString &name)
{
    initPlatformResources();
    static QHash<QString, QIcon> cache;
    const QString key = resourceKey(name);
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    if (dotColours().contains(key)) {
        icon = dotIcon(dotColours().value(key));
    } else if (QFile::exists(resourcePath(key, 16))) {
        icon.addFile(resourcePath(key, 16), QSize(16, 16));
        icon.addFile(resourcePath(key, 32), QSize(32, 32));
    } else {
        icon = dotIcon(QColor(52, 101, 164));
    }
    cache.insert(key, icon);
    return icon;
}

QIcon TVxImageList::icon(int index) const
{
    return index >= 0 && index < count() ? m_icons.at(index) : QIcon();
}

QString TVxImageList::name(int index) const
{
    return index >= 0 && index < count() ? m_names.at(index) : QString();
}

int TVxImageList::indexOf(const QString &name) const
{
    const QString key = resourceKey(name);
    for (int i = 0; i < count(); ++i) {
        if (resourceKey(m_names.at(i)) == key)
            return i;
    }
    return -1;
}

int TVxImageList::add(const QIcon &icon, const QString &name)
{
    m_icons.append(icon);
    m_names.append(name);
    return count() - 1;
}

void TVxImageList::addImages(const TVxImageList &other)
{
    for (int i = 0; i < other.count(); ++i)
        add(other.icon(i), other.name(i));
}

void TVxImageList::clear()
{
    m_icons.clear();
    m_names.clear();
}

void LoadDefaultImages(TVxImageList &list, const QStringList &names, int imageType)
{
    if (list.count() == 0)
        list.setSize(imageType == itLarge ? 32 : 16);
    for (const QString &name : names)
        list.add(VxImage(name), name);
}

void LoadImages(TVxImageList &list, const QString &fileName, const QStringList &names,
                int imageType)
{
    if (fileName.isEmpty()) {
        LoadDefaultImages(list, names, imageType);
        return;
    }
    // An image strip: one square image per name, side by side, as the suite's files are.
    const QImage strip(fileName);
    const int side = strip.height();
    for (int i = 0; i < names.size(); ++i) {
        if (side > 0 && (i + 1) * side <= strip.width())
            list.add(QIcon(QPixmap::fromImage(strip.copy(i * side, 0, side, side))), names.at(i));
        else
            list.add(VxImage(names.at(i)), names.at(i));
    }
}

QStringList mainWindowExtraImageNames()
{
    return {QStringLiteral("INVIOPST"),          QStringLiteral("RACCOLTAPST"),
            QStringLiteral("INVIOSCR"),          QStringLiteral("RACCOLTASCR"),
            QStringLiteral("RICONOSCIMENTO"),    QStringLiteral("GIUDIZI"),
            QStringLiteral("AGGSTAMPE"),         QStringLiteral("EXPALUNNI"),
            QStringLiteral("RECUPERI"),          QStringLiteral("TIPIESITIREC"),
            QStringLiteral("INVIORECWEB"),       QStringLiteral("RACCOLTARECWEB"),
            QStringLiteral("SESSIONEDIFFERITA"), QStringLiteral("STAMPADIGITALE"),
            QStringLiteral("ASSISTENZA"),        QStringLiteral("CANCELLAGIUDIZIO"),
            QStringLiteral("RILINTEGRATIVA"),    QStringLiteral("CANCSESSIONEWEB"),
            QStringLiteral("PARAMINVIODOC"),     QStringLiteral("PARAMAPPL"),
            QStringLiteral("PARAMSTAMPE"),       QStringLiteral("CONTROLLORECUPERI"),
            QStringLiteral("ESITIRECUPERI"),     QStringLiteral("FIRMAPRESIDE"),
            QStringLiteral("CANCRECWEB"),        QStringLiteral("GESTIONEVOLUMI"),
            QStringLiteral("ESAMEQUALIFICA")};
}
