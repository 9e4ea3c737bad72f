#include "app/Startup.h"

#include "core/Module1.h"
#include "app/Safety.h"
#include "dictionary/MainWindow.h"
#include "printing/PrintPreview.h"
#include "printing/PrintSettings.h"
#include "ui/MsgBox.h"

#include <QMessageBox>
#include <QTimer>

MainWindow* StartUp(const QString& appPath) {
    try {
        Module1::OpenDictionaryAndReadSettings(appPath);
    } catch (const std::exception& e) {
        // Whatever was opened goes away before the user reads why.
        Module1::SettingsRs.reset();
        if (Module1::DictDb) Module1::DictDb->Close();
        Module1::DictDb.reset();
        QMessageBox::critical(nullptr, "Pogreška",
                              "Vokabis se ne može pokrenuti.\n\n" + QString::fromUtf8(e.what()));
        return nullptr;
    }
    WatchDictionary();
    auto* form4 = new MainWindow;
    form4->showPrintPreview = [form4] { ShowPrintPreview(form4->Data1.recordset(), form4); };
    form4->showPrintSettings = [form4] { ShowPrintSettings(form4); };
    form4->setAttribute(Qt::WA_DeleteOnClose);
    form4->show();
    if (!Module1::StartupNotice.isEmpty())
        QTimer::singleShot(0, form4, [form4] { ui::MsgBox(form4, Module1::StartupNotice, "Vokabis", 64); });
    return form4;
}
