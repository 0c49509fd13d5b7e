// Makes the user manual's PDF from its HTML source, with the screenshots
// found beside the source.
// Usage: reelsmith-manual-pdf SOURCE.html OUTPUT.pdf
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.html OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
    document.setHtml(QString::fromUtf8(source.readAll()));
    QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setTitle(QStringLiteral("Reelsmith User Manual"));
    pdf.setResolution(150);
    document.setPageSize(QSizeF(pdf.width(), pdf.height()));
    document.print(&pdf);
    return QFileInfo(QString::fromLocal8Bit(argv[2])).size() > 0 ? 0 : 1;
}
