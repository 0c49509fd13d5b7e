// "Reelsmith Help": advice on getting a PDF reader and an Ok button that
// opens the user manual beside the program; it stays open until closed.
#pragma once

#include <QDialog>
#include <QString>

class HelpDialog : public QDialog {
public:
    static constexpr const char* kManualName = "02 - Reelsmith - User Manual.pdf";

    explicit HelpDialog(QWidget* parent = nullptr);

    // The manual's path in the running program's folder.
    static QString ManualPath();
    void LaunchManual();
};
