#include "app/Artwork.h"

#include <QFile>
#include <QString>

QImage Artwork::Bitmap(int id) { return QImage(QStringLiteral(":/artwork/%1.bmp").arg(id)); }

QIcon Artwork::Icon(int id) { return QIcon(QStringLiteral(":/artwork/%1.png").arg(id)); }
