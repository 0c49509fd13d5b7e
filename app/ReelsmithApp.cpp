#include "app/ReelsmithApp.h"

#include "app/MainWindow.h"
#include "app/MovieEngineAdapter.h"
#include "app/TerminationWatch.h"
#include "app/Translations.h"
#include "platform/com/Com.h"
#include "platform/resource/MessageBox.h"

#include <QApplication>

int ReelsmithApp::Run(int argc, char** argv)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(true);
    const Translations translations;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        MainWindow window([] { return std::make_unique<MovieEngineAdapter>(); });
        InstallMessageBoxHandler([&window](HWND, const std::u16string& text, const std::u16string& caption, UINT type) {
            return window.ShowMessage(text, caption, type);
        });
        // Every event loop ends, message boxes included; the window and its engine
        // are then destroyed on the way out, which removes an unfinished movie.
        const TerminationWatch watch([] { QCoreApplication::exit(0); });
        window.Start();
        status = application.exec();
        InstallMessageBoxHandler({});
    }
    CoUninitialize();
    return status;
}
