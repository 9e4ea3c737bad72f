#pragma once
// A dictionary of generated pairs with the settings at their defaults, and its list as the
// main window would hold it.
#include "common/TempFiles.h"
#include "core/Module1.h"
#include "db/Recordset.h"

#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <memory>

struct ListFixture {
    TempDb file;
    std::unique_ptr<db::Database> database;
    std::unique_ptr<db::Recordset> list;

    // Pairs "en001"/"hr001" and so on; pass the SQL the list is opened with.
    explicit ListFixture(int pairs, const std::string& source = "OrderByEngleski") {
        Rows rows;
        for (int i = 1; i <= pairs; ++i) {
            char en[16], hr[16];
            std::snprintf(en, sizeof en, "en%03d", i);
            std::snprintf(hr, sizeof hr, "hr%03d", pairs + 1 - i); // the other order in Croatian
            rows.emplace_back(en, hr);
        }
        AddPairs(file.path, rows);
        database = std::make_unique<db::Database>(file.Open());
        list = database->OpenRecordset(source);
        Module1::Settings = {0, 0, 0, 0, "DejaVu Serif", 11, db::kFalse, db::kFalse, 50, db::kTrue};
    }
};

inline QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
inline int PdfPages(const QString& file) {
    const auto found = QRegularExpression("Pages:\\s+(\\d+)").match(RunTool("pdfinfo", {file}));
    return found.hasMatch() ? found.captured(1).toInt() : -1;
}
inline QString PdfPage(const QString& file, int page) {
    return RunTool("pdftotext", {"-layout", "-f", QString::number(page), "-l", QString::number(page), file, "-"});
}
