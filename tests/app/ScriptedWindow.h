// The real window with a scripted user at the choosers, the message boxes and the
// pictures dialog.
#pragma once

#include "app/MainWindow.h"
#include "app/PictureDialog.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class ScriptedWindow : public MainWindow {
public:
    using MainWindow::MainWindow;

    int ShowMessage(const std::u16string& text, const std::u16string&, UINT) override
    {
        messages.push_back(QString::fromStdU16String(text));
        return kAnswerOk;
    }
    std::u16string ChooseFolder(const std::u16string&) override { return folder; }
    std::u16string ChooseOpenFile(const FileFilter*, int) override { return openFile; }
    std::u16string ChooseSaveFile(const FileFilter* filters, int, const std::u16string& extension) override
    {
        firstType = QString::fromStdU16String(filters[0].patterns);
        offeredExtension = QString::fromStdU16String(extension);
        return movie;
    }
    int ShowMessageWithActions(const std::u16string& text, const std::u16string& caption,
                               const std::vector<std::u16string>& choices) override
    {
        actions = choices;
        ShowMessage(text, caption, kMessageOk);
        return chosenAction;
    }
    void RunHelp() override { ++helpRuns; }

    QStringList messages;
    std::vector<std::u16string> actions;
    int chosenAction = -1;
    int helpRuns = 0;
    std::u16string folder;
    std::u16string movie;
    std::u16string openFile;
    // The file type the Save chooser offered first, and the extension it would add.
    QString firstType;
    QString offeredExtension;
    // What the user does in the pictures dialog before it closes; Cancel when unset.
    std::function<void(PictureDialog&)> arrangePictures;

protected:
    int RunPictureDialog(PictureDialog& shown) override
    {
        if (arrangePictures) arrangePictures(shown);
        return shown.result();
    }
};
