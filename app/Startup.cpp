#include "app/Startup.h"

#include "app/Activation.h"
#include "app/CommandLine.h"
#include "core/Module1.h"
#include "app/Safety.h"
#include "dictionary/MainWindow.h"
#include "printing/PrintPreview.h"
#include "printing/PrintSettings.h"
#include "ui/MsgBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
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

namespace {
// The text selected in any program: X11's primary selection, else (none, or nothing selected)
// the clipboard.
QString SelectedText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    QString text;
    if (clipboard->supportsSelection()) text = clipboard->text(QClipboard::Selection);
    if (MainWindow::LookUpText(text).isEmpty()) text = clipboard->text(QClipboard::Clipboard);
    return text;
}
} // namespace

void ShowLookUp(MainWindow* window, const LookUpRequest& request) {
    if (request.Asks()) {
        const QString text = request.selection ? SelectedText() : request.text;
        const auto box = request.box == LookUpRequest::Box::English    ? MainWindow::LookUpBox::English
                         : request.box == LookUpRequest::Box::Croatian ? MainWindow::LookUpBox::Croatian
                                                                       : MainWindow::LookUpBox::Either;
        if (!window->LookUp(text, box))
            window->SetStatusText(request.selection ? "Nema označenog teksta: označite riječ u nekom programu pa je ponovno potražite."
                                                    : "Nema riječi za traženje.");
    }
    BringToFront(window, request.startupId, request.activationToken, request.launchTime);
}
