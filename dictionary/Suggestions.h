#pragma once
// When a search box finds nothing, words the user probably meant: the dictionary form of an
// inflected word, the same word with the diacritics the keyboard lacked, or a spelling one
// edit away. Suggestions are only offered; the list itself stays what the search gave.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <future>
#include <map>
#include <memory>
#include <vector>

class Hunspell;
class MainWindow;
class QLineEdit;
struct sqlite3;

namespace dictionary {

struct Suggestion {
    QString text;
    long long pairs = 0; // counted up to Suggester::kCountCap + 1
};

// "pas (12)"; a count past the cap reads "1000+".
QString SuggestionLabel(const Suggestion& s);

// Finds the suggestions. Every candidate is checked with an indexed prefix probe on the
// dictionary connection, so the cost grows with the number of probes, not with the file.
class Suggester {
public:
    static constexpr int kMaxSuggestions = 3;
    static constexpr long long kCountCap = 1000;
    static constexpr int kMaxProbes = 300;

    // Folders searched, in order, for hr_HR.aff/.dic and en_US.aff/.dic.
    explicit Suggester(QStringList dictionaryFolders = DefaultFolders());
    ~Suggester();
    Suggester(const Suggester&) = delete;
    Suggester& operator=(const Suggester&) = delete;

    // Beside the program first (that is how the Windows build ships them), then the system's.
    static QStringList DefaultFolders();
    // Text with a letter and no LIKE wildcard: the only kind a suggestion is looked for.
    static bool IsPlainWord(const QString& text);

    // Starts reading the stemming dictionary of a field ("Engleski"/"Hrvatski") in the
    // background; it takes longer than a keystroke may.
    void Prepare(const QString& field);
    bool StemmerReady(const QString& field);

    // Up to kMaxSuggestions words that do have pairs where `typed` in `field` has none, the
    // other box's text narrowing them as it narrows the search. Waits for a stemmer still loading.
    // Nothing here throws: an engine failure just ends the search for more.
    std::vector<Suggestion> Find(sqlite3* db, const QString& typed, const QString& field, const QString& other,
                                 const QString& otherField);
    int LastProbes() const { return probes_; }

private:
    struct Stemmer {
        std::shared_future<std::shared_ptr<Hunspell>> loading;
    };
    // Where a candidate came from, most likely meant first.
    enum class Source { Stem, Restored, Swapped, Inserted, Edited };
    struct Candidate {
        Suggestion s;
        Source source;
        long long termPairs; // pairs of the term as it is (0: only the start of longer ones)
    };
    Stemmer& StemmerFor(const QString& field);
    long long Probe(const QString& prefix, bool count);
    long long PairsOfTerm(const QString& term);
    void Consider(QString candidate, Source source, std::vector<Candidate>& out);
    void Stems(const QString& word, Hunspell* h, std::vector<Candidate>& out);
    void Diacritics(const QString& typed, Hunspell* h, std::vector<Candidate>& out);
    QStringList NextLetters(const QString& head);
    void OneEdit(const QString& typed, std::vector<Candidate>& out);

    QStringList folders_;
    std::map<QString, Stemmer> stemmers_;
    // State of one Find.
    struct Query;
    Query* q_ = nullptr;
    int probes_ = 0;
};

// The main window's side of it: after the user pauses in a search box whose list came out
// empty, the status bar offers the suggestions; Ctrl+Enter takes the first one.
class SuggestionLine : public QObject {
    Q_OBJECT
public:
    static constexpr int kPauseMs = 250;

    explicit SuggestionLine(MainWindow* window, QStringList dictionaryFolders = Suggester::DefaultFolders());
    ~SuggestionLine() override;

    const std::vector<Suggestion>& Current() const { return current_; }
    QString Line() const { return line_; }
    // What the pause does; a test or Ctrl+Enter may call it early.
    void Offer();
    // The box last typed in takes the first suggestion and so runs its search; false if none.
    bool TakeFirst();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Changed(QLineEdit* box);
    QString Field(QLineEdit* box) const;

    MainWindow* w_;
    Suggester suggester_;
    QTimer pause_;
    QLineEdit* box_ = nullptr;
    std::vector<Suggestion> current_;
    QString line_;
};

} // namespace dictionary
