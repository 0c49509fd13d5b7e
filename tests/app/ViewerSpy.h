// Stands in for the desktop's default handler of files and folders: records what
// it was asked to open (install it with QDesktopServices::setUrlHandler("file", ...)).
#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class ViewerSpy : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};
