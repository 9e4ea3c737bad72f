// Times the page layout on a large list: one preview page, and 500 pages printed to PDF.
// Usage: print_bench [pairs] (default 1000000). Uses the generated file of the other benchmarks.
#include "Generate.h"
#include "Stats.h"
#include "core/Module1.h"
#include "db/DataSource.h"
#include "db/Recordset.h"
#include "printing/Layout.h"
#include "printing/QtTargets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long pairs = argc > 1 ? std::atol(argv[1]) : 1000000;
    const auto file = std::filesystem::path(BENCH_DATA_DIR) / ("generated-" + std::to_string(pairs) + ".mdb");
    bench::MakeDictionary(file, pairs);
    // The list as the window holds it: on the window's connection, with its page cache.
    db::DataSource source;
    source.DatabaseName = file.string();
    source.Connect = std::string(";pwd=") + db::kPassword;
    source.RecordSource = "OrderByEngleski";
    source.Refresh();
    const Module1::SettingsRecord settings = Module1::FromRow(db::SettingsRow{}); // a new dictionary's

    QElapsedTimer t;
    t.start();
    printing::PageLayout layout;
    layout.CountPages(source.recordset(), settings, 1);
    std::printf("%-44s %8.1f ms  (%d pages)\n", "count the pages", double(t.nsecsElapsed()) / 1e6, layout.PageCount);
    for (int page : {1, layout.PageCount / 2, layout.PageCount}) {
        printing::PictureTarget picture;
        t.restart();
        layout.DrawPage(picture, settings, source.recordset(), page);
        char label[64];
        std::snprintf(label, sizeof label, "draw preview page %d", page);
        std::printf("%-44s %8.1f ms\n", label, double(t.nsecsElapsed()) / 1e6);
    }
    // The preview of a list just run, jumped to its middle page: the ids before it are not read.
    bench::Stats jump;
    for (int i = 0; i < 10; ++i) {
        t.restart();
        source.Refresh();
        printing::PageLayout l;
        l.CountPages(source.recordset(), settings, 1);
        printing::PictureTarget picture;
        l.DrawPage(picture, settings, source.recordset(), l.PageCount / 2);
        jump.ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("%-44s p50 %6.1f ms  p95 %6.1f ms\n", "fresh list, preview of its middle page", jump.Pct(50), jump.Pct(95));
    const QString pdf = QString::fromStdString((std::filesystem::path(BENCH_DATA_DIR) / "print-500.pdf").string());
    QPrinter& printer = printing::AppPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    t.restart();
    {
        printing::PrinterTarget target(printer, "Vokabis – mjerenje");
        for (int page = 1; page <= 500; ++page) {
            layout.DrawPage(target, settings, source.recordset(), page);
            target.NewPage();
        }
        target.EndDoc();
    }
    std::printf("%-44s %8.1f ms  (%.1f MB)\n", "print 500 pages to PDF", double(t.nsecsElapsed()) / 1e6,
                double(std::filesystem::file_size(pdf.toStdString())) / 1e6);
    return 0;
}
