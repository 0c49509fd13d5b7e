#include "app/HelpDialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

HelpDialog::HelpDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Reelsmith Help"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(16);
    setFont(font);
    auto* text = new QLabel(QStringLiteral("\nIf the User Manual cannot be viewed, please visit the Adobe website to "
                                           "download the latest version of Adobe Acrobat Reader.\n"),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &HelpDialog::LaunchManual);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setModal(true);
    resize(420, 200);
}

QString HelpDialog::ManualPath()
{
    // The program's own path with symbolic links resolved, as the long form of its name.
    const QString folder = QDir(QCoreApplication::applicationDirPath()).canonicalPath();
    return folder + QLatin1Char('/') + QLatin1String(kManualName);
}

void HelpDialog::LaunchManual() { QDesktopServices::openUrl(QUrl::fromLocalFile(ManualPath())); }
