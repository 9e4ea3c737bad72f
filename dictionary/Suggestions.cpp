#include "dictionary/Suggestions.h"

#include "db/JetSql.h"
#include "db/Sqlite.h"
#include "dictionary/MainWindow.h"
#include "dictionary/WordGrid.h"

#include <hunspell.hxx>

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>

namespace dictionary {

QString SuggestionLabel(const Suggestion& s) {
    const QString n = s.pairs > Suggester::kCountCap ? QString::number(Suggester::kCountCap) + "+" : QString::number(s.pairs);
    return s.text + " (" + n + ")";
}

struct Suggester::Query {
    std::optional<db::Statement> stmt, next, exact;
    std::string typedKey;
    QHash<QString, std::pair<long long, bool>> probed; // prefix -> pairs, counted (not just seen)
    QHash<QByteArray, int> seen; // folded candidates already considered -> their place in the list, -1 none
};

Suggester::Suggester(QStringList dictionaryFolders) : folders_(std::move(dictionaryFolders)) {}

Suggester::~Suggester() = default; // a stemmer still loading is waited for by its future

QStringList Suggester::DefaultFolders() {
    QStringList f;
    if (QCoreApplication::instance()) f << QCoreApplication::applicationDirPath();
    f << "/usr/share/hunspell";
    return f;
}

bool Suggester::IsPlainWord(const QString& text) {
    bool letter = false;
    for (QChar c : text) {
        if (c == '*' || c == '?' || c == '#' || c == '[' || c == ']') return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

Suggester::Stemmer& Suggester::StemmerFor(const QString& field) {
    auto it = stemmers_.find(field);
    if (it != stemmers_.end()) return it->second;
    const QString name = field == "Hrvatski" ? "hr_HR" : "en_US";
    QString aff, dic;
    for (const QString& folder : folders_) {
        const QString a = folder + "/" + name + ".aff", d = folder + "/" + name + ".dic";
        if (QFileInfo::exists(a) && QFileInfo::exists(d)) {
            aff = a;
            dic = d;
            break;
        }
    }
    Stemmer s;
    if (aff.isEmpty()) { // no dictionary on this machine: the other sources still work
        std::promise<std::shared_ptr<Hunspell>> none;
        none.set_value(nullptr);
        s.loading = none.get_future().share();
    } else {
        s.loading = std::async(std::launch::async, [aff = QFile::encodeName(aff), dic = QFile::encodeName(dic)] {
                        auto h = std::make_shared<Hunspell>(aff.constData(), dic.constData());
                        // Candidates go in and come out as UTF-8; another encoding would garble them.
                        const std::string enc = h->get_dict_encoding();
                        return enc == "UTF-8" || enc == "utf-8" ? h : nullptr;
                    }).share();
    }
    return stemmers_.emplace(field, std::move(s)).first->second;
}

void Suggester::Prepare(const QString& field) { StemmerFor(field); }

bool Suggester::StemmerReady(const QString& field) {
    return StemmerFor(field).loading.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

long long Suggester::Probe(const QString& prefix, bool count) {
    if (auto it = q_->probed.constFind(prefix); it != q_->probed.cend()) {
        const auto [pairs, counted] = it.value();
        if (counted || !count || pairs == 0) return pairs;
    }
    const std::string lo = db::FoldKey(prefix.toStdString());
    if (lo.empty() || probes_ >= kMaxProbes) return 0;
    ++probes_;
    std::string hi = lo;
    hi.back() = char(static_cast<unsigned char>(hi.back()) + 1); // UTF-8 never holds 0xFF
    q_->stmt->BindBlob(1, lo);
    q_->stmt->BindBlob(2, hi);
    q_->stmt->Bind(3, db::Value(static_cast<long long>(count ? kCountCap + 1 : 1)));
    q_->stmt->Step();
    const long long n = q_->stmt->Int(0);
    q_->stmt->Reset();
    q_->probed[prefix] = {n, count};
    return n;
}

long long Suggester::PairsOfTerm(const QString& term) {
    if (probes_ >= kMaxProbes) return 0;
    ++probes_;
    q_->exact->BindBlob(1, db::FoldKey(term.toStdString()));
    q_->exact->Step();
    const long long n = q_->exact->Int(0);
    q_->exact->Reset();
    return n;
}

void Suggester::Consider(QString candidate, Source source, std::vector<Candidate>& out) {
    // A term stored with a space at its end is the same word to the user.
    candidate = candidate.trimmed();
    // A single letter finds too much to be what was meant. A term may hold a "#" or a "*":
    // as the box's text that would be a pattern, not the term.
    if (candidate.size() < 2 || !IsPlainWord(candidate)) return;
    const std::string key = db::FoldKey(candidate.toStdString());
    if (key == q_->typedKey) return;
    const QByteArray k = QByteArray::fromStdString(key);
    if (auto it = q_->seen.constFind(k); it != q_->seen.cend()) {
        // Found again by a likelier way: it ranks as that.
        if (it.value() >= 0 && source < out[size_t(it.value())].source) out[size_t(it.value())].source = source;
        return;
    }
    q_->seen.insert(k, -1);
    if (const long long n = Probe(candidate, true); n > 0) {
        q_->seen[k] = int(out.size());
        out.push_back({{candidate, n}, source, PairsOfTerm(candidate)});
    }
}

std::vector<Suggestion> Suggester::Find(sqlite3* db, const QString& typed, const QString& field, const QString& other,
                                        const QString& otherField) {
    std::vector<Suggestion> out;
    if (!db || !IsPlainWord(typed) || (field != "Engleski" && field != "Hrvatski")) return out;
    std::vector<Candidate> found;
    Query q;
    q_ = &q;
    probes_ = 0;
    try {
        // The same rows the search would show for the candidate: the prefix range the search's
        // index answers, and the other box's condition when that box holds more than spaces.
        std::string sql = "SELECT count(*) FROM (SELECT 1 FROM Vokabis WHERE vokabis_fold(" + field.toStdString() +
                          ") >= ?1 AND vokabis_fold(" + field.toStdString() + ") < ?2";
        const bool narrowed = !other.trimmed().isEmpty() && (otherField == "Engleski" || otherField == "Hrvatski");
        if (narrowed) sql += " AND " + otherField.toStdString() + " LIKE ?4";
        q.stmt.emplace(db, sql + " LIMIT ?3)");
        if (narrowed) q.stmt->Bind(4, (other + "*").toStdString());
        const std::string fold = "vokabis_fold(" + field.toStdString() + ")";
        q.next.emplace(db, "SELECT " + fold + " FROM Vokabis WHERE " + fold + " > ?1 AND " + fold + " < ?2 ORDER BY " + fold +
                               " LIMIT 1");
        q.exact.emplace(db, "SELECT count(*) FROM (SELECT 1 FROM Vokabis WHERE " + fold + " = ?1" +
                                (narrowed ? " AND " + otherField.toStdString() + " LIKE ?2" : std::string()) +
                                " LIMIT " + std::to_string(kCountCap + 1) + ")");
        if (narrowed) q.exact->Bind(2, (other + "*").toStdString());
        q.typedKey = db::FoldKey(typed.toStdString());
        q.seen.insert(QByteArray::fromStdString(q.typedKey), -1);
        Hunspell* h = StemmerFor(field).loading.get().get();
        Stems(typed.trimmed(), h, found);
        Diacritics(typed, h, found);
        // The spellings one letter away rank after these, so they are looked for only while
        // places are left.
        if (found.size() < size_t(kMaxSuggestions)) OneEdit(typed, found);
    } catch (const std::exception&) {
        // The suggestions are a courtesy: whatever was found before the failure is offered.
    }
    q_ = nullptr;
    // The base form first, then the same word with its diacritics, two letters swapped, a letter
    // left out, any other letter; within each, a whole stored term before the start of longer
    // ones, then the term with more pairs of its own (a start: more pairs beginning with it).
    const auto rank = [](const Candidate& c) {
        return std::tuple(c.source, c.termPairs == 0, -(c.termPairs ? c.termPairs : c.s.pairs));
    };
    std::stable_sort(found.begin(), found.end(), [&](const Candidate& a, const Candidate& b) { return rank(a) < rank(b); });
    for (const Candidate& c : found) {
        if (out.size() >= size_t(kMaxSuggestions)) break;
        out.push_back(c.s);
    }
    return out;
}

void Suggester::Stems(const QString& word, Hunspell* h, std::vector<Candidate>& out) {
    if (!h) return;
    for (const std::string& stem : h->stem(word.toStdString())) Consider(QString::fromStdString(stem), Source::Stem, out);
}

namespace {

// The letters a keyboard without Croatian keys turns into, and back; the case follows the typed letter.
QStringList Alternatives(const QString& typed, int at, int* consumed) {
    const QChar c = typed[at];
    const bool upper = c.isUpper();
    const QChar l = c.toLower();
    QStringList alt;
    *consumed = 1;
    if (l == u'c' || l == u'č' || l == u'ć') alt = {"c", "č", "ć"};
    else if (l == u's' || l == u'š') alt = {"s", "š"};
    else if (l == u'z' || l == u'ž') alt = {"z", "ž"};
    else if (l == u'đ') alt = {"đ", "dj", "d"};
    else if (l == u'd' && at + 1 < typed.size() && typed[at + 1].toLower() == u'j') {
        alt = {"dj", "đ"};
        *consumed = 2;
    } else if (l == u'd') alt = {"d", "đ"};
    else return {QString(c)};
    if (upper)
        for (QString& a : alt) a[0] = a[0].toUpper();
    // The letters as typed come first.
    const QString same = typed.mid(at, *consumed);
    alt.removeAll(same);
    alt.prepend(same);
    return alt;
}

} // namespace

void Suggester::Diacritics(const QString& typed, Hunspell* h, std::vector<Candidate>& out) {
    int found = 0;
    // Letter by letter, following only the prefixes that still have pairs: the index prunes
    // the variants, so a long word with many such letters costs few probes.
    std::function<void(int, const QString&)> walk = [&](int at, const QString& built) {
        if (found >= 8) return;
        if (at >= typed.size()) {
            const size_t before = out.size();
            Consider(built, Source::Restored, out);
            found += out.size() > before;
            return;
        }
        int consumed = 1;
        for (const QString& a : Alternatives(typed, at, &consumed)) {
            const QString next = built + a;
            if (Probe(next, false) > 0) walk(at + consumed, next);
        }
    };
    walk(0, QString());
    if (!h) return;
    // An inflected form with its diacritics restored is seldom a stored term itself (kućom):
    // every spelling Hunspell knows gives its base forms. Hunspell costs no probe.
    constexpr int kMaxSpellings = 256;
    QStringList spellings{QString()};
    for (int at = 0; at < typed.size();) {
        int consumed = 1;
        const QStringList alt = Alternatives(typed, at, &consumed);
        if (spellings.size() * alt.size() > kMaxSpellings) return;
        QStringList longer;
        for (const QString& s : spellings)
            for (const QString& a : alt) longer << s + a;
        spellings = longer;
        at += consumed;
    }
    for (const QString& s : spellings) {
        const std::string word = s.trimmed().toStdString();
        if (s != typed && h->spell(word)) Stems(s.trimmed(), h, out);
    }
}

QStringList Suggester::NextLetters(const QString& head) {
    // One seek per letter found: from the first term past the head, jump over every term
    // that continues with the same letter.
    const std::string lo = db::FoldKey(head.toStdString());
    std::string hi = lo;
    if (hi.empty()) hi = "\xFF";
    else hi.back() = char(static_cast<unsigned char>(hi.back()) + 1);
    QStringList letters;
    std::string from = lo;
    sqlite3_stmt* s = q_->next->get();
    while (probes_ < kMaxProbes) {
        ++probes_;
        q_->next->BindBlob(1, from);
        q_->next->BindBlob(2, hi);
        const bool found = q_->next->Step();
        const std::string key = found ? std::string(static_cast<const char*>(sqlite3_column_blob(s, 0)),
                                                    size_t(sqlite3_column_bytes(s, 0)))
                                      : std::string();
        q_->next->Reset();
        if (!found || key.size() <= lo.size()) break;
        size_t len = 1; // the whole UTF-8 sequence of the letter after the head
        while (lo.size() + len < key.size() && (static_cast<unsigned char>(key[lo.size() + len]) & 0xC0) == 0x80) ++len;
        const std::string letter = key.substr(lo.size(), len);
        letters << QString::fromStdString(letter);
        from = lo + letter + "\xFF"; // past every term that goes on with this letter
    }
    return letters;
}

void Suggester::OneEdit(const QString& typed, std::vector<Candidate>& out) {
    const int n = int(typed.size());
    // The longest prefix that still has pairs: the mistake is at or before its end, since any
    // edit further on keeps the first letters that already find nothing.
    int good = 0, bad = n;
    while (bad - good > 1) {
        const int mid = (good + bad) / 2;
        (Probe(typed.left(mid), false) > 0 ? good : bad) = mid;
    }
    // Two letters swapped or one too many, anywhere up to there: one probe each.
    for (int i = good; i >= 0; --i) {
        if (i + 1 < n) Consider(typed.left(i) + typed[i + 1] + typed[i] + typed.mid(i + 2), Source::Swapped, out);
        if (i < n) Consider(typed.left(i) + typed.mid(i + 1), Source::Edited, out);
    }
    const size_t before = out.size();
    int firstWhole = -1;
    for (int i = good; i >= 0 && probes_ < kMaxProbes; --i) { // nearest the mistake first: the probe budget goes there
        const QString head = typed.left(i);
        // A letter put in or changed here can only be one that some term has after the head.
        const QString here = i < n ? QString::fromStdString(db::FoldKey(QString(typed[i]).toStdString())) : QString();
        for (QString x : NextLetters(head)) {
            if (i < n && typed[i].isUpper()) x = x.toUpper();
            if (i < n && x.toLower() != here) Consider(head + x + typed.mid(i + 1), Source::Edited, out);
            Consider(head + x + typed.mid(i), Source::Inserted, out);
        }
        if (firstWhole < 0 && std::any_of(out.begin() + long(before), out.end(), [](const Candidate& c) { return c.termPairs > 0; })) firstWhole = i;
        // A correction more than two letters before the first whole term found is seldom meant.
        if (firstWhole >= 0 && i < firstWhole - 1) break;
    }
}

SuggestionLine::SuggestionLine(MainWindow* window, QStringList dictionaryFolders)
    : QObject(window), w_(window), suggester_(std::move(dictionaryFolders)) {
    setObjectName("SuggestionLine");
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, [this] {
        // The stemmer is read in the background; the window never waits for it.
        if (box_ && !suggester_.StemmerReady(Field(box_))) pause_.start(50);
        else Offer();
    });
    // Connected after the window's own handlers, so the search has run when Changed does, and
    // Ctrl+Enter is seen here before the window's Enter handling.
    for (QLineEdit* box : {w_->txtNadjiEngleski, w_->txtNadjiHrvatski}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] { Changed(box); });
        box->installEventFilter(this);
    }
}

SuggestionLine::~SuggestionLine() = default;

QString SuggestionLine::Field(QLineEdit* box) const { return box == w_->txtNadjiHrvatski ? "Hrvatski" : "Engleski"; }

void SuggestionLine::Changed(QLineEdit* box) {
    pause_.stop();
    current_.clear();
    if (!line_.isEmpty() && w_->StatusText() == line_) w_->SetStatusText(QString());
    line_.clear();
    box_ = box;
    if (Suggester::IsPlainWord(box->text())) {
        suggester_.Prepare(Field(box));
        pause_.start(kPauseMs);
    }
}

void SuggestionLine::Offer() {
    pause_.stop();
    if (!box_ || !current_.empty() || !w_->Data1.database()) return;
    if (w_->DBGrid1->model()->rowCount() != 0) return; // the search found pairs: nothing to offer
    QLineEdit* other = box_ == w_->txtNadjiEngleski ? w_->txtNadjiHrvatski : w_->txtNadjiEngleski;
    try {
        current_ = suggester_.Find(w_->Data1.database()->handle(), box_->text(), Field(box_), other->text(), Field(other));
    } catch (const std::exception&) {
        return; // a closed dictionary has nothing to suggest
    }
    if (current_.empty()) return;
    QStringList labels;
    for (const Suggestion& s : current_) labels << SuggestionLabel(s);
    line_ = "Nema parova. Možda: " + labels.join(", ");
    w_->SetStatusText(line_);
}

bool SuggestionLine::TakeFirst() {
    if (!box_) return false;
    if (pause_.isActive()) Offer();
    if (current_.empty()) return false;
    box_->setText(current_.front().text); // the box's own change runs the search
    return true;
}

bool SuggestionLine::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == box_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ControlModifier))
            return TakeFirst(); // without a suggestion, Enter's own behaviour
    }
    return QObject::eventFilter(watched, event);
}

} // namespace dictionary
