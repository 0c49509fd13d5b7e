#include "app/ReelsmithApp.h"

#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "platform/com/Com.h"
#include "platform/resource/MessageBox.h"

#include <QApplication>

int ReelsmithApp::Run(int argc, char** argv)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(true);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        MainWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        InstallMessageBoxHandler([&window](HWND, const std::u16string& text, const std::u16string& caption,
                                           UINT type) { return window.ShowMessage(text, caption, type); });
        window.Start();
        status = application.exec();
        InstallMessageBoxHandler({});
    }
    CoUninitialize();
    return status;
}
