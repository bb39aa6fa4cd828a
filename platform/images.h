#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

// The program's named images: each name the windows and commands use maps to an icon of a
// free icon theme compiled into the program (platform/images.qrc). Names are looked up
// without regard to case; a blank stands for an underscore ("BROGLIACCIO INVIO").

// Image types of the loaders: small tool-bar images or large command images.
enum TVxImageType { itSmall = 0, itLarge = 3 };

// Makes the compiled-in images available; called by every loader, harmless to repeat.
void initPlatformResources();

// True when the name has an image of its own (not the stand-in of unknown names).
bool hasVxImage(const QString &name);

// The named image (16 and 32 pixels); an unknown name gives a neutral stand-in, never a
// blank icon.
QIcon VxImage(const QString &name);

// An ordered list of images, addressed by index as the suite's image lists are: a command's
// or an action's image number is its index here.
class TVxImageList
{
public:
    explicit TVxImageList(int size = 16) : m_size(size) {}

    int size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    int count() const { return int(m_icons.size()); }
    // A null icon for an index outside the list (an entry without image).
    QIcon icon(int index) const;
    QString name(int index) const;
    int indexOf(const QString &name) const;
    int add(const QIcon &icon, const QString &name = {});
    // Appends every image of another list (the suite's AddImages).
    void addImages(const TVxImageList &other);
    void clear();

private:
    int m_size;
    QList<QIcon> m_icons;
    QStringList m_names;
};

// Appends the named default images in the order given.
void LoadDefaultImages(TVxImageList &list, const QStringList &names, int imageType = itSmall);

// Appends the named images from an image file (an empty file name means the program's own
// images, as LoadDefaultImages).
void LoadImages(TVxImageList &list, const QString &fileName, const QStringList &names,
                int imageType = itSmall);

// The main window's own 32-pixel images that follow its named command images (the command
// image numbers from 34 on), in order.
QStringList mainWindowExtraImageNames();
