#include "exchange/qelwait.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

TfmqelWait::TfmqelWait(const QString &text, Placement placement, bool &cancelFlag)
    : TfmVxWait(nullptr, true)
{
    setObjectName(QStringLiteral("fmqelWait"));
    setWindowTitle(QStringLiteral("Attendere"));
    setWindowModality(Qt::NonModal);
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    SetOperation(text);
    connect(buAnnulla(), &QPushButton::clicked, this, [&cancelFlag] { cancelFlag = true; });

    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        if (placement == BottomRight)
            move(area.width() - width() - 20, area.height() - height() - 40);
        else
            move(area.x() + (area.width() - width()) / 2,
                 area.y() + (area.height() - height()) / 2);
    }
}
