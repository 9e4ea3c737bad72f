// Measures the suggestions an empty search is offered, in the main window: the keystroke that
// empties the list, the suggestion search after the pause, and both together, on the starter
// dictionary and on generated ones. Words are terms of the file itself with a typical mistake:
// the diacritics left out, two letters swapped, an inflected ending, a wrong letter.
// Usage: suggest_bench [FILE.mdb | pairs ...] (default: build/bin/Data/Vokabis.mdb 1000000). Offscreen.
#include "Generate.h"
#include "Stats.h"
#include "Typing.h"
#include "core/Module1.h"
#include "db/Recordset.h"
#include "dictionary/MainWindow.h"
#include "dictionary/Suggestions.h"
#include "dictionary/WordGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

using bench::Stats;

namespace {

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

double Keystroke(MainWindow& w, QLineEdit* box, const QString& ch) {
    QElapsedTimer t;
    t.start();
    bench::TypeInto(box, ch);
    w.DBGrid1->viewport()->repaint();
    return Ms(t);
}

QString WithoutDiacritics(QString s) {
    s.replace("č", "c").replace("ć", "c").replace("đ", "dj").replace("š", "s").replace("ž", "z");
    s.replace("Č", "C").replace("Ć", "C").replace("Đ", "Dj").replace("Š", "S").replace("Ž", "Z");
    return s;
}

QString Mistake(const QString& word, int kind, bool croatian, std::mt19937& rng) {
    std::uniform_int_distribution<int> at(1, int(word.size()) - 2);
    QString w = word;
    switch (kind) {
    case 0:
        if (WithoutDiacritics(w) != w) return WithoutDiacritics(w);
        [[fallthrough]];
    case 1: {
        const int i = at(rng);
        std::swap(w[i], w[i + 1]);
        return w;
    }
    case 2:
        return w + (croatian ? "ima" : "es");
    default:
        w[at(rng)] = 'q';
        return w;
    }
}

void Run(const std::filesystem::path& file, const char* label) {
    const auto folder = std::filesystem::path(BENCH_DATA_DIR) / (std::string("suggest-app-") + label);
    std::filesystem::create_directories(folder / "Data");
    std::filesystem::remove(folder / "Data/Vokabis.mdb");
    std::filesystem::create_symlink(std::filesystem::absolute(file), folder / "Data/Vokabis.mdb");
    Module1::OpenDictionaryAndReadSettings(QString::fromStdString(folder.string()));
    auto* w = new MainWindow;
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    auto* line = w->findChild<dictionary::SuggestionLine*>();

    std::mt19937 rng(11);
    // Terms to misspell, taken before typing replaces the record set.
    std::map<QString, std::vector<QString>> terms;
    {
        db::Recordset& rs = w->Data1.recordset();
        std::uniform_int_distribution<long> pick(0, rs.RowCount() - 1);
        std::printf("%s (%ld pairs)\n", label, rs.RowCount());
        for (const char* field : {"Engleski", "Hrvatski"})
            while (terms[field].size() < 2000) {
                const QString t = QString::fromStdString(db::CStr(rs.FieldAt(pick(rng), field)));
                if (t.size() >= 4 && t.size() <= 14 && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isLetter(); }))
                    terms[field].push_back(t);
            }
    }
    for (auto [box, field] : {std::pair{w->txtNadjiEngleski, "Engleski"}, {w->txtNadjiHrvatski, "Hrvatski"}}) {
        const bool croatian = box == w->txtNadjiHrvatski;
        // The first suggestion waits for the stemming dictionary that the first keystroke began to read.
        QElapsedTimer first;
        first.start();
        Keystroke(*w, box, "q");
        Keystroke(*w, box, "x");
        line->Offer();
        std::printf("  %s box: first suggestion search, stemmer still loading: %.1f ms\n", field, Ms(first));
        Keystroke(*w, box, QString());

        Stats keys, offers, together, probes;
        dictionary::Suggester alone;
        int words = 0, offered = 0;
        for (const QString& term : terms[field]) {
            if (words == 100) break;
            const QString typed = Mistake(term, words % 4, croatian, rng);
            double last = 0;
            for (QChar ch : typed) {
                last = Keystroke(*w, box, QString(ch));
                keys.ms.push_back(last);
            }
            if (w->DBGrid1->model()->rowCount() == 0) { // only an empty list is offered anything
                ++words;
                QElapsedTimer t;
                t.start();
                line->Offer();
                const double ms = Ms(t);
                offers.ms.push_back(ms);
                together.ms.push_back(last + ms);
                if (!line->Current().empty()) ++offered;
                alone.Find(Module1::DictDb->handle(), typed, field, QString(), croatian ? "Engleski" : "Hrvatski");
                probes.ms.push_back(alone.LastProbes());
            }
            Keystroke(*w, box, QString());
        }
        std::printf("  %s box, %d words with an empty list, %d offered a suggestion\n", field, words, offered);
        std::printf("    keystroke                     p50 %6.2f ms  p95 %6.2f ms\n", keys.Pct(50), keys.Pct(95));
        std::printf("    suggestion search             p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", offers.Pct(50),
                    offers.Pct(95), offers.Pct(100));
        std::printf("    index probes per search       p50 %6.0f     p95 %6.0f     max %6.0f\n", probes.Pct(50),
                    probes.Pct(95), probes.Pct(100));
        std::printf("    last keystroke + suggestions  p50 %6.2f ms  p95 %6.2f ms\n", together.Pct(50), together.Pct(95));
    }
    delete w;
    Module1::DictDb->Close();
    Module1::DictDb.reset();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) args = {STARTER_DICTIONARY, "1000000"};
    for (const std::string& a : args) {
        if (a.find(".mdb") != std::string::npos) {
            Run(a, "starter");
        } else {
            const auto file = std::filesystem::path(BENCH_DATA_DIR) / ("generated-" + a + ".mdb");
            bench::MakeDictionary(file, std::atol(a.c_str()));
            Run(file, ("generated-" + a).c_str());
        }
    }
    return 0;
}
